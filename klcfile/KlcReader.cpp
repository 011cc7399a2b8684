// Reads ".klc" text into the layout model. A line is a keyword line (its
// first word names a section) or a line of the section it stands in; what
// the model has no room for is noted by line and left out.

#include <algorithm>
#include <memory>
#include <optional>

#include "klcfile/KlcFile.h"
#include "klcfile/KlcFormat.h"
#include "klcfile/KlcText.h"
#include "model/FontScripts.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"

namespace tastora {
namespace {

using klc::Section;
using klc::SameKeyword;
using klc::ToUtf8;

constexpr uint16_t kLigatureMark = 0xF002;  // a cell that types its ligature
constexpr int kNoSlot = -1;
constexpr int kNumpadMultiplyKey = 62;

struct Token {
  std::u16string text;
  bool quoted = false;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Words of a line, quoted texts whole. "//" starts a comment anywhere a word
// could start; ";" too, except in LAYOUT lines, where it may be a character.
std::vector<Token> Tokenize(std::u16string_view line, bool semicolonComments) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line.substr(i, 2) == u"//" || (semicolonComments && line[i] == u';')) break;
    Token token;
    if (line[i] == u'"') {
      const size_t end = line.find(u'"', i + 1);
      token.text = line.substr(i + 1, end == std::u16string_view::npos ? std::u16string_view::npos : end - i - 1);
      token.quoted = true;
      i = end == std::u16string_view::npos ? line.size() : end + 1;
    } else {
      const size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      token.text = line.substr(start, i - start);
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::optional<uint32_t> Hex(std::u16string_view text, size_t maxDigits = 8) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint32_t value = 0;
  for (char16_t c : text) {
    unsigned digit;
    if (c >= u'0' && c <= u'9') digit = unsigned(c - u'0');
    else if (c >= u'a' && c <= u'f') digit = unsigned(c - u'a' + 10);
    else if (c >= u'A' && c <= u'F') digit = unsigned(c - u'A' + 10);
    else return std::nullopt;
    value = value * 16 + digit;
  }
  return value;
}

std::optional<int> Decimal(std::u16string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return value;
}

std::string Quote(std::u16string_view text) { return "'" + ToUtf8(text) + "'"; }

std::string HexText(uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (int d = digits - 1; d >= 0; --d) out += kDigits[(value >> (4 * d)) & 0xF];
  return out;
}

// One cell of LAYOUT, LIGATURE or DEADKEY.
struct Cell {
  enum class Kind : uint8_t { None, Character, Ligature } kind = Kind::None;
  uint16_t ch = 0;
  bool dead = false;
};

class KlcReader {
 public:
  KlcReader(KeyboardLayout& layout, ProcessState& state, KlcHeader& header, std::vector<KlcProblem>& problems)
      : layout_(layout), state_(state), header_(header), problems_(problems) {}

  void Run(std::u16string_view text) {
    Clear(layout_, state_);
    state_.deadKeyNames.Empty();
    // The keys without a LAYOUT line send what the compiler gives them.
    for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
      const uint16_t expected = KeyRow(n).expectedVk;
      if (expected != 0 && (expected & 0xFF) == (layout_.Key(n).vk & 0xFF)) layout_.Key(n).vk = expected;
    }
    layout_.Key(kNumpadMultiplyKey).vk |= kVkMultiVk;
    for (const klc::FixedKey& fixed : klc::kFixedKeys)
      std::copy(fixed.chars.begin(), fixed.chars.end(), layout_.Key(fixed.key).chars.begin());
    size_t at = 0;
    while (at <= text.size() && section_ != Section::EndKbd) {
      const size_t end = std::min(text.find(u'\n', at), text.size());
      std::u16string_view line = text.substr(at, end - at);
      if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
      ++line_;
      Line(line);
      at = end + 1;
    }
    if (section_ != Section::EndKbd) Note(0, "the file ends without ENDKBD; it may have been cut short");
    if (pendingSgCap_) Note(pendingSgCap_->line, "SGCap without the line of its Caps Lock characters after it");
    Finish();
  }

 private:
  struct SgCap {
    int key;
    int line;
  };

  void Note(int line, std::string text) { problems_.push_back({line, std::move(text)}); }
  void Note(std::string text) { Note(line_, std::move(text)); }

  void Line(std::u16string_view line) {
    std::vector<Token> tokens = Tokenize(line, true);
    if (tokens.empty()) return;
    if (!tokens[0].quoted)
      for (const klc::SectionName& s : klc::kSections)
        if (SameKeyword(tokens[0].text, s.keyword)) return Keyword(s.section, tokens);
    switch (section_) {
      case Section::Attributes: return Attribute(tokens[0].text);
      case Section::ShiftState: return ShiftState(tokens[0].text);
      case Section::Layout: return LayoutLine(Tokenize(line, false));
      case Section::Ligature: return LigatureLine(tokens);
      case Section::DeadKey: return DeadKeyLine(tokens);
      case Section::KeyName: return KeyNameLine(tokens, state_.keyNames);
      case Section::KeyNameExt: return KeyNameLine(tokens, state_.extendedKeyNames);
      case Section::KeyNameDead: return KeyNameLine(tokens, state_.deadKeyNames);
      case Section::Descriptions: return LanguageLine(line, header_.descriptions);
      case Section::LanguageNames: return LanguageLine(line, header_.languageNames);
      default: Note("a line outside any section this program reads: " + Quote(line));
    }
  }

  // The quoted or plain text after the keyword.
  std::u16string Argument(const std::vector<Token>& tokens, size_t index) {
    if (tokens.size() > index) return tokens[index].text;
    Note("the keyword " + Quote(tokens[0].text) + " lacks its value");
    return u"";
  }

  void Keyword(Section section, const std::vector<Token>& tokens) {
    section_ = section;
    switch (section) {
      case Section::Kbd:
        header_.name = Argument(tokens, 1);
        header_.description = Argument(tokens, 2);
        break;
      case Section::Copyright: header_.copyright = Argument(tokens, 1); break;
      case Section::Company: header_.company = Argument(tokens, 1); break;
      case Section::LocaleName: header_.localeName = Argument(tokens, 1); break;
      case Section::Version: header_.version = Argument(tokens, 1); break;
      case Section::LocaleId: {
        const std::u16string text = Argument(tokens, 1);
        if (const auto id = Hex(text)) header_.localeId = *id;
        else Note("LOCALEID " + Quote(text) + " is not a hexadecimal locale");
        break;
      }
      case Section::Attributes: attributesSeen_ = true; break;
      case Section::KeyName: state_.keyNames.count = 0; break;
      case Section::KeyNameExt: state_.extendedKeyNames.count = 0; break;
      case Section::KeyNameDead: state_.deadKeyNames.count = 0; break;
      case Section::DeadKey: {
        const Cell accent = Character(Argument(tokens, 1), false);
        accent_ = accent.kind == Cell::Kind::Character ? accent.ch : 0;
        break;
      }
      default: break;
    }
  }

  void Attribute(std::u16string_view name) {
    if (SameKeyword(name, klc::kAttrAltGr)) altGr_ = true;
    else if (SameKeyword(name, klc::kAttrShiftLock)) layout_.ShiftLockOrig = 1;
    else if (SameKeyword(name, klc::kAttrLrmRlm)) layout_.LRMRLM = 1;
    else Note("the attribute " + Quote(name) + " has no counterpart in the layout");
  }

  void ShiftState(std::u16string_view text) {
    const auto state = Decimal(text);
    int slot = kNoSlot;
    if (!state || *state > klc::kMaxShiftState)
      Note("shift state " + Quote(text) + " has no column in the layout (states 0 to 7 have); its column is left out");
    else if (std::find(columns_.begin(), columns_.end(), *state) != columns_.end())
      Note("shift state " + Quote(text) + " is given twice; its second column is left out");
    else
      slot = *state;
    columns_.push_back(slot);
  }

  // A character: one character as itself, else hexadecimal; "@" after it
  // makes it a dead key, "%%" is a ligature, "-1" nothing.
  Cell Character(std::u16string_view text, bool deadAllowed) {
    Cell cell;
    if (SameKeyword(text, klc::kNoCharacter) || text.empty()) return cell;
    if (SameKeyword(text, klc::kLigatureCell)) {
      cell.kind = Cell::Kind::Ligature;
      return cell;
    }
    std::u16string_view body = text;
    if (body.size() > 1 && body.back() == klc::kDeadSuffix) {
      body.remove_suffix(1);
      cell.dead = true;
      if (!deadAllowed) {
        Note("the dead key " + Quote(text) + " follows another dead key (a chained dead key); the layout's dead "
             "keys compose one character, so this entry is left out");
        return Cell{};
      }
    }
    uint32_t value;
    const bool pair = body.size() == 2 && body[0] >= 0xD800 && body[0] < 0xDC00;
    if (body.size() == 1) {
      value = body[0];
    } else if (pair) {
      value = 0x10000 + ((uint32_t(body[0]) - 0xD800) << 10) + (uint32_t(body[1]) - 0xDC00);
    } else if (const auto hex = Hex(body, 6)) {
      value = *hex;
    } else {
      Note(Quote(text) + " is not a character");
      return Cell{};
    }
    if (value > 0xFFFF) {
      Note("U+" + HexText(value, 5) + " lies beyond the 16-bit characters a layout holds; left out");
      return Cell{};
    }
    if (value == 0) {
      Note("the character 0000 cannot be held by the layout (0 means no character); left out");
      return Cell{};
    }
    cell.kind = Cell::Kind::Character;
    cell.ch = uint16_t(value);
    return cell;
  }

  std::optional<uint8_t> Vk(std::u16string_view text) {
    std::u16string_view name = text;
    if (name.size() > 3 && SameKeyword(name.substr(0, 3), "VK_")) name.remove_prefix(3);
    if (name.size() == 1) {
      char16_t c = name[0];
      if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
      if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z')) return uint8_t(c);
    }
    for (const klc::VkName& v : klc::kVkNames)
      if (SameKeyword(name, v.name)) return v.vk;
    return std::nullopt;
  }

  // Cells from the fourth word on, one per SHIFTSTATE column.
  void Cells(const std::vector<Token>& tokens, KeyRecord& key, int offset) {
    for (size_t i = 3; i < tokens.size(); ++i) {
      const size_t column = i - 3;
      if (column >= columns_.size()) {
        Note("more characters than SHIFTSTATE has columns; the rest of the line is left out");
        return;
      }
      const int slot = columns_[column];
      const Cell cell = Character(tokens[i].text, true);
      if (slot == kNoSlot) {
        if (cell.kind != Cell::Kind::None)
          Note(Quote(tokens[i].text) + " stands in a column the layout has no room for");
        continue;
      }
      const size_t s = size_t(slot + offset);
      if (cell.kind == Cell::Kind::Ligature) {
        if (offset != 0) {
          Note("a ligature in a Caps Lock column cannot be held by the layout; left out");
          continue;
        }
        key.chars[s] = kLigatureMark;
      } else if (cell.kind == Cell::Kind::Character) {
        key.chars[s] = cell.ch;
        key.dead[s] = cell.dead ? 1 : 0;
      }
    }
  }

  void LayoutLine(const std::vector<Token>& tokens) {
    if (tokens.size() < 3) return Note("a LAYOUT line needs a scan code, a VK and a Caps Lock value");
    if (SameKeyword(tokens[0].text, klc::kNoCharacter)) {
      if (!pendingSgCap_) return Note("a Caps Lock line without an SGCap line before it; left out");
      Cells(tokens, layout_.Key(pendingSgCap_->key), kCapsLockSlotOffset);
      pendingSgCap_.reset();
      return;
    }
    if (pendingSgCap_) {
      Note(pendingSgCap_->line, "SGCap without the line of its Caps Lock characters after it");
      layout_.Key(pendingSgCap_->key).ShiftLock = 0;
      pendingSgCap_.reset();
    }
    std::u16string_view scanText = tokens[0].text;
    int scan = 0;
    if (scanText.size() == 4 && SameKeyword(scanText.substr(0, 2), "E0")) {
      scan = kE0Prefix;
      scanText.remove_prefix(2);
    }
    const auto low = Hex(scanText, 2);
    const int number = low ? FindAnyKeyByScan(scan | int(*low)) : -1;
    if (number <= 0) return Note("scan code " + Quote(tokens[0].text) + " is not a key the layout holds; left out");
    if (std::find(keysRead_.begin(), keysRead_.end(), number) != keysRead_.end())
      return Note("scan code " + Quote(tokens[0].text) + " has a line already; this one is left out");
    const auto vk = Vk(tokens[1].text);
    if (!vk) return Note("the VK " + Quote(tokens[1].text) + " is not one this program knows; the key is left out");

    KeyRecord& key = layout_.Key(number);
    key.chars.fill(0);
    key.dead.fill(0);
    key.vk = *vk;
    key.Mapped = 0;
    key.AssignedChar = number >= kFirstNonTypingKey && number <= kKeyCount ? 1 : 0;
    if (SameKeyword(tokens[2].text, klc::kSgCap)) {
      key.ShiftLock = 1;
      pendingSgCap_ = SgCap{number, line_};
    } else if (const auto cap = Decimal(tokens[2].text); cap && (*cap & ~(klc::kCapLock | klc::kCapLockAltGr)) == 0) {
      key.CapsAware = (*cap & klc::kCapLock) ? 1 : 0;
      key.CapsAware2 = (*cap & klc::kCapLockAltGr) ? 1 : 0;
    } else {
      Note("the Caps Lock value " + Quote(tokens[2].text) + " is not 0, 1, 4, 5 or SGCap; taken as 0");
    }
    keysRead_.push_back(number);
    Cells(tokens, key, 0);
  }

  void LigatureLine(const std::vector<Token>& tokens) {
    if (tokens.size() < 3) return Note("a LIGATURE line needs a VK, a column and characters");
    const auto vk = Vk(tokens[0].text);
    const auto it = std::find_if(keysRead_.begin(), keysRead_.end(),
                                 [&](int n) { return vk && (layout_.Key(n).vk & 0xFF) == *vk; });
    if (it == keysRead_.end()) return Note("no key of LAYOUT has the VK " + Quote(tokens[0].text) + "; left out");
    const auto column = Decimal(tokens[1].text);
    if (!column || size_t(*column) >= columns_.size() || columns_[size_t(*column)] == kNoSlot)
      return Note("the ligature's column " + Quote(tokens[1].text) + " is not a SHIFTSTATE column; left out");
    if (tokens.size() - 2 > size_t(kMaxLigatureLength))
      return Note("the ligature has more than " + std::to_string(kMaxLigatureLength) +
                  " characters, more than a layout holds; left out");
    LigatureCell cell{};
    for (size_t i = 2; i < tokens.size(); ++i) {
      const Cell c = Character(tokens[i].text, false);
      if (c.kind != Cell::Kind::Character) return;
      cell.chars[size_t(cell.length++)] = c.ch;
    }
    layout_.ligatures[size_t(*it)][size_t(columns_[size_t(*column)])] = cell;
  }

  void DeadKeyLine(const std::vector<Token>& tokens) {
    if (tokens.size() < 2) return Note("a DEADKEY line needs a character and what it makes");
    if (accent_ == 0) return;  // the section's accent was reported
    const Cell base = Character(tokens[0].text, false);
    const Cell result = Character(tokens[1].text, false);
    if (base.kind != Cell::Kind::Character || result.kind != Cell::Kind::Character) return;
    if (layout_.deadCount >= kMaxDeadKeys)
      return Note("more than " + std::to_string(kMaxDeadKeys) +
                  " dead-key entries, more than a layout holds; left out");
    layout_.deadKeys[size_t(layout_.deadCount++)] = DeadKeyEntry{accent_, base.ch, result.ch};
  }

  // The name is the rest of the line, quoted or not.
  void KeyNameLine(const std::vector<Token>& tokens, KeyNameTable& table) {
    if (tokens.size() < 2) return Note("a key name line needs a code and a name");
    uint16_t code;
    if (&table == &state_.deadKeyNames) {
      const Cell accent = Character(tokens[0].text, false);
      if (accent.kind != Cell::Kind::Character) return;
      code = accent.ch;
    } else if (const auto scan = Hex(tokens[0].text, 2)) {
      code = uint16_t(*scan);
    } else {
      return Note(Quote(tokens[0].text) + " is not a scan code");
    }
    if (table.count >= kMaxKeyNames)
      return Note("more than " + std::to_string(kMaxKeyNames) + " names in one list, more than a layout holds");
    std::u16string name = tokens[1].text;
    for (size_t i = 2; i < tokens.size(); ++i) name += u" " + tokens[i].text;
    table.entries[size_t(table.count++)] = KeyNameEntry{code, std::move(name)};
  }

  void LanguageLine(std::u16string_view line, std::vector<std::pair<uint16_t, std::u16string>>& list) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    const auto language = Hex(line.substr(start, i - start), 4);
    if (!language) return Note(Quote(line.substr(start, i - start)) + " is not a language number");
    while (i < line.size() && IsBlank(line[i])) ++i;
    std::u16string_view text = line.substr(i);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') text = text.substr(1, text.size() - 2);
    list.emplace_back(uint16_t(*language), std::u16string(text));
  }

  void Finish() {
    const bool altGrColumn = std::find(columns_.begin(), columns_.end(), kColumnAltGr) != columns_.end();
    layout_.altgr_used = (attributesSeen_ ? altGr_ : altGrColumn) ? 1 : 0;
    layout_.lcid = uint16_t(header_.localeId & 0xFFFF);
    for (int n : keysRead_)
      for (int s = 0; s < kLigatureColumns; ++s) {
        const bool marked = s < kSlotCount && layout_.Key(n).chars[size_t(s)] == kLigatureMark;
        if (marked && layout_.ligatures[size_t(n)][size_t(s)].length == 0) {
          Note(0, "the key of scan code " + HexText(KeyRow(n).scan & 0xFF, 2) +
                      " has a ligature (%%) without a LIGATURE line for it; it types nothing there");
          layout_.Key(n).chars[size_t(s)] = 0;
        }
      }
  }

  KeyboardLayout& layout_;
  ProcessState& state_;
  KlcHeader& header_;
  std::vector<KlcProblem>& problems_;
  Section section_ = Section::None;
  int line_ = 0;
  std::vector<int> columns_;  // slot of each SHIFTSTATE column, kNoSlot where there is none
  std::vector<int> keysRead_;
  std::optional<SgCap> pendingSgCap_;
  uint16_t accent_ = 0;
  bool attributesSeen_ = false;
  bool altGr_ = false;
};

}  // namespace

void ParseKlc(std::u16string_view text, KeyboardLayout& layout, ProcessState& state, KlcHeader& header,
              std::vector<KlcProblem>& problems) {
  KlcReader(layout, state, header, problems).Run(text);
}

bool ImportKlcFile(const std::string& path, KeyboardLayout& layout, ProcessState& state, const KlcReaderPorts& ports,
                   KlcHeader* header) {
  const auto bytes = ports.files.ReadFile(path, kKlcReadLimit, false);
  if (!bytes) {
    ports.dialogs.ShowMessage("Could not read file\r" + path);
    return false;
  }
  auto work = std::make_unique<KeyboardLayout>();
  auto scratch = std::make_unique<ProcessState>(state);
  KlcHeader read;
  std::vector<KlcProblem> problems;
  ParseKlc(DecodeKlcText(*bytes), *work, *scratch, read, problems);
  if (!problems.empty() &&
      !ports.dialogs.AskYesNo("The layout file " + path + " holds what a layout cannot carry:\r" +
                              DescribeKlcProblems(problems) + "Load the rest of it?"))
    return false;
  // The file's characters are Unicode: a platform of 8-bit code pages gets them narrowed.
  if (!scratch->IsNtPlatform()) NarrowLayout(*work, true, *scratch, ports.codePages);
  layout = *work;
  state = *scratch;
  if (header) *header = std::move(read);
  return true;
}

}  // namespace tastora
