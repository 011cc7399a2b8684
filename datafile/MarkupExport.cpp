#include "datafile/MarkupExport.h"

#include "datafile/LineWriter.h"
#include "datafile/NumberText.h"
#include "datafile/XmlTag.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

// Attribute values are written unescaped, so keep a layout name to characters
// that cannot end a value or a tag.
std::string SafeName(std::string_view name) {
  std::string out;
  for (char ch : name) {
    const unsigned char u = static_cast<unsigned char>(ch);
    out += (u < 0x20 || u >= 0x7F || ch == '"' || ch == '<' || ch == '>' || ch == '\\' || ch == '/') ? '_' : ch;
  }
  return out;
}

std::string Hex(uint32_t value, int width = 1) { return HexText(value, width); }

void WriteSpecialKeys(LineWriter& w, const ProcessState& state) {
  w.AddLine("<SPECKEYS >");
  w.Indent();
  for (int j = 1; j <= kSpecialKeyCount; ++j) {
    TXMLTag speckey("SPECKEY");
    speckey.AddAttribute("INDEX", std::to_string(j));
    w.AddLine(speckey.OpenTagText());
    w.Indent();
    TXMLTag value("VALUE");
    for (int s = 1; s <= kSpecialKeyStates; ++s) value.AddAttribute(std::to_string(s), Hex(state.specialKeys.At(j, s), 4));
    w.AddLine(value.EmptyTagText());
    w.Outdent();
    w.AddLine(speckey.CloseTagText());
  }
  w.Outdent();
  w.AddLine("</SPECKEYS>");
}

void WriteKey(LineWriter& w, int number, const KeyRecord& key) {
  TXMLTag tag("KEY");
  tag.AddAttribute("SCAN", Hex(KeyRow(number).scan, 2));
  tag.AddAttribute("VK", Hex(key.vk, 4));
  w.AddLine(tag.OpenTagText());
  w.Indent();
  TXMLTag value("VALUE");
  TXMLTag dead("DEADKEY");
  for (int s = 0; s < kSlotCount; ++s) {
    if (key.chars[static_cast<size_t>(s)] != 0) value.AddAttribute(std::to_string(s), Hex(key.chars[static_cast<size_t>(s)], 4));
    if (key.dead[static_cast<size_t>(s)] != 0) dead.AddAttribute(std::to_string(s), Hex(key.dead[static_cast<size_t>(s)]));
  }
  if (value.AttributeCount() > 0) w.AddLine(value.EmptyTagText());
  if (dead.AttributeCount() > 0) w.AddLine(dead.EmptyTagText());
  TXMLTag flags("FLAGS");
  flags.AddAttribute("CAPSAWARE", Hex(key.CapsAware));
  flags.AddAttribute("CAPSAWARE2", Hex(key.CapsAware2));
  flags.AddAttribute("SHIFTLOCK", Hex(key.ShiftLock));
  flags.AddAttribute("KANA", Hex(key.Kana, 4));
  flags.AddAttribute("MAPPED", Hex(static_cast<uint32_t>(key.Mapped)));
  flags.AddAttribute("ASSIGNEDCHAR", Hex(key.AssignedChar));
  w.AddLine(flags.EmptyTagText());
  w.Outdent();
  w.AddLine(tag.CloseTagText());
}

// `key` names the attribute that holds each entry's scan code (or accent).
void WriteNames(LineWriter& w, const char* element, const KeyNameTable& table, const char* key = "SCAN") {
  w.AddLine(std::string("<") + element + " >");
  w.Indent();
  for (int i = 0; i < table.count && i < kMaxKeyNames; ++i) {
    const KeyNameEntry& entry = table.entries[static_cast<size_t>(i)];
    TXMLTag name("NAME");
    name.AddAttribute(key, Hex(entry.scan, 4));
    std::string line = name.OpenTagText() + " ";
    for (char16_t ch : entry.name) {
      TXMLTag c("C");
      c.AddAttribute("U", Hex(ch, 4));
      line += c.EmptyTagText();
    }
    w.AddLine(line + " " + name.CloseTagText());
  }
  w.Outdent();
  w.AddLine(std::string("</") + element + ">");
}

}  // namespace

std::vector<std::string> ExportLayoutMarkup(const KeyboardLayout& layout, const ProcessState& state,
                                            std::string_view layoutName) {
  LineWriter w;
  TXMLTag root("VYR_DAT_FILE");
  root.AddAttribute("LAYOUTNAME", SafeName(layoutName));
  root.AddAttribute("VERSION", kExportVersion);
  w.AddLine(root.OpenTagText());
  w.Indent();
  w.AddLine("");

  TXMLTag created("CREATED");
  created.AddAttribute("ORGSYSTEM", "WinNT");
  w.AddLine(created.EmptyTagText());
  w.AddLine("");

  TXMLTag settings("SETTINGS");
  settings.AddAttribute("FONT_SCRIPT", "0");
  settings.AddAttribute("ALTGR_USED", Hex(layout.altgr_used));
  settings.AddAttribute("SHIFTLOCKORIG", Hex(layout.ShiftLockOrig));
  settings.AddAttribute("LRMRLM", Hex(layout.LRMRLM));
  settings.AddAttribute("LCID", Hex(layout.lcid, 8));
  w.AddLine(settings.EmptyTagText());
  w.AddLine("");

  WriteSpecialKeys(w, state);
  w.AddLine("");

  w.AddLine("<KEYS >");
  w.Indent();
  for (int n = 1; n <= kKeyCount; ++n) WriteKey(w, n, layout.Key(n));
  // Keys beyond the key table only when they type something, so that files
  // of layouts without them stay as they were.
  for (int n = kFirstExtraKey; n <= kLastKey; ++n)
    if (HasCharacters(layout.Key(n))) WriteKey(w, n, layout.Key(n));
  w.Outdent();
  w.AddLine("</KEYS>");
  w.AddLine("");

  w.AddLine("<DIACRITICS >");
  w.Indent();
  for (int i = 0; i < layout.deadCount && i < kMaxDeadKeys; ++i) {
    const DeadKeyEntry& d = layout.deadKeys[static_cast<size_t>(i)];
    TXMLTag tag("DIACRITIC");
    tag.AddAttribute("KVACICA", Hex(d.accent, 4));
    tag.AddAttribute("NOSAC", Hex(d.base, 4));
    tag.AddAttribute("REZULTAT", Hex(d.result, 4));
    w.AddLine(tag.EmptyTagText());
  }
  w.Outdent();
  w.AddLine("</DIACRITICS>");
  w.AddLine("");

  w.AddLine("<LIGATURES >");
  w.Indent();
  for (int row = 0; row < kLigatureRows; ++row) {
    for (int col = 0; col < kLigatureColumns; ++col) {
      const LigatureCell& cell = layout.ligatures[static_cast<size_t>(row)][static_cast<size_t>(col)];
      if (cell.length <= 0) continue;
      TXMLTag tag("LIGATURE");
      tag.AddAttribute("VK", Hex(static_cast<uint32_t>(row), 2));
      tag.AddAttribute("STATE", Hex(static_cast<uint32_t>(col)));
      w.AddLine(tag.OpenTagText());
      w.Indent();
      for (int i = 0; i < cell.length && i < kMaxLigatureLength; ++i) {
        TXMLTag s("S");
        s.AddAttribute("U", Hex(cell.chars[static_cast<size_t>(i)], 4));
        w.AddLine(s.EmptyTagText());
      }
      w.Outdent();
      w.AddLine(tag.CloseTagText());
    }
  }
  w.Outdent();
  w.AddLine("</LIGATURES>");
  w.AddLine("");

  w.AddLine("<UNRESOLVED >");
  w.Indent();
  for (int i = 0; i < layout.unresolvedCount && i < kMaxUnresolved; ++i) {
    const UnresolvedKey& u = layout.unresolved[static_cast<size_t>(i)];
    TXMLTag tag("DEF");
    tag.AddAttribute("VK", Hex(u.vk, 4));
    tag.AddAttribute("SCAN", Hex(u.scan, 2));
    tag.AddAttribute("ANSI", Hex(u.extended, 2));
    w.AddLine(tag.EmptyTagText());
  }
  w.Outdent();
  w.AddLine("</UNRESOLVED>");
  w.AddLine("");

  WriteNames(w, "KEY_NAMES", state.keyNames);
  w.AddLine("");
  WriteNames(w, "KEY_NAMES_EXT", state.extendedKeyNames);
  w.AddLine("");
  // Only when there are any, so that files of layouts without them stay as
  // they were; readers that do not know the element skip it.
  if (state.deadKeyNames.count > 0) {
    WriteNames(w, "KEY_NAMES_DEAD", state.deadKeyNames, "CHAR");
    w.AddLine("");
  }
  w.Outdent();
  w.AddLine(root.CloseTagText());
  return w.Lines();
}

std::string JoinMarkupLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace tastora
