// Writes the layout model as ".klc" text in the creator's own arrangement:
// its sections in its order, tab-separated columns, CRLF line ends and its
// column comments, so that the creator loads the file as one of its own.

#include <algorithm>
#include <array>

#include "format/StandardScanCodes.h"
#include "klcfile/KlcFile.h"
#include "klcfile/KlcFormat.h"
#include "klcfile/KlcText.h"
#include "model/CompanionTables.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

namespace tastora {
namespace {

using klc::FromUtf8;

constexpr uint16_t kLigatureMark = 0xF002;
constexpr int kSpaceKey = 103;
constexpr int kLastLayoutKey = 49;  // typing keys and the keypad's decimal key
// Slots of the special-key table's states: Normal, Shift, AltGr, Shift+AltGr, Ctrl.
constexpr std::array<int, kSpecialKeyStates> kSpecialStateSlots{0, 1, 6, 7, 2};

std::u16string Hex(uint32_t value, int digits) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string out;
  for (int d = digits - 1; d >= 0; --d) out += kDigits[(value >> (4 * d)) & 0xF];
  return out;
}

std::string KeyText(int n) {
  const std::string scan = klc::ToUtf8(Hex(KeyRow(n).scan, 2));
  if (n < kFirstKeypadKey) return "the key of scan code " + scan;
  return std::string(KeyRow(n).description) + " (scan code " + scan + ")";
}

// Letters and digits stand as themselves, everything else in hexadecimal.
std::u16string CharacterCell(uint16_t ch) {
  if ((ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z'))
    return std::u16string(1, char16_t(ch));
  return Hex(ch, 4);
}

// The comment's view of a character: itself where it shows.
std::u16string Shown(uint16_t ch) {
  if (ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0) || (ch >= 0xD800 && ch < 0xE000)) {
    std::u16string hex = Hex(ch, 4);
    for (char16_t& c : hex)
      if (c >= u'a' && c <= u'f') c = char16_t(c - 32);
    return u"U+" + hex;
  }
  return std::u16string(1, char16_t(ch));
}

// A name in quotes when it holds blanks, as the creator writes it.
std::u16string Name(const std::u16string& name) {
  const bool blank = name.empty() || name.find_first_of(u" \t") != std::u16string::npos;
  return blank ? u"\"" + name + u"\"" : name;
}

std::u16string Quoted(std::u16string text) {
  std::replace(text.begin(), text.end(), u'"', u'\'');
  return u"\"" + text + u"\"";
}

class KlcWriter {
 public:
  KlcWriter(const KeyboardLayout& layout, const ProcessState& state, const KlcHeader& header,
            std::vector<std::string>& problems)
      : layout_(layout), state_(state), header_(header), problems_(problems) {
    defaults_.ResetToDefaults();
  }

  std::u16string Run() {
    ChooseKeys();
    ChooseColumns();
    Header();
    ShiftStates();
    Layout();
    Ligatures();
    DeadKeys();
    Names(u"KEYNAME", state_.keyNames, false);
    Names(u"KEYNAME_EXT", state_.extendedKeyNames, false);
    if (state_.deadKeyNames.count > 0) Names(u"KEYNAME_DEAD", state_.deadKeyNames, true);
    Languages();
    Line(u"ENDKBD");
    return out_;
  }

 private:
  void Line(std::u16string_view text) {
    out_ += text;
    out_ += u"\r\n";
  }
  void Note(std::string text) { problems_.push_back(std::move(text)); }

  // The characters of key n as they type: the special-key table's for the
  // keys that take theirs from it.
  KeyRecord Typing(int n) const {
    KeyRecord key = layout_.Key(n);
    if (key.AssignedChar || key.Mapped != 0) return key;
    for (int j = 1; j <= kSpecialKeyCount; ++j) {
      if (key.vk != SpecialKeyVk(j)) continue;
      key.chars.fill(0);
      key.dead.fill(0);
      for (int s = 1; s <= kSpecialKeyStates; ++s)
        key.chars[size_t(kSpecialStateSlots[size_t(s - 1)])] = state_.specialKeys.At(j, s);
    }
    return key;
  }

  bool TypesAsFixed(int n, const KeyRecord& key) const {
    for (const klc::FixedKey& fixed : klc::kFixedKeys)
      if (fixed.key == n)
        return std::equal(fixed.chars.begin(), fixed.chars.end(), key.chars.begin()) &&
               std::all_of(key.chars.begin() + 3, key.chars.end(), [](uint16_t c) { return c == 0; });
    return false;
  }

  bool IsSpecialDefault(const KeyRecord& key) const {
    for (int j = 1; j <= kSpecialKeyCount; ++j) {
      if (key.vk != SpecialKeyVk(j) || key.AssignedChar) continue;
      for (int s = 1; s <= kSpecialKeyStates; ++s)
        if (state_.specialKeys.At(j, s) != defaults_.At(j, s)) return false;
      return true;
    }
    return false;
  }

  // LAYOUT has a line for every typing key and the space bar, and for any
  // other key given characters of its own; what the rest type is fixed.
  void ChooseKeys() {
    for (int n = 1; n <= kLastKey; ++n) {
      const KeyRecord& key = layout_.Key(n);
      if (key.Mapped != 0) {
        Note(KeyText(n) + " has a key function (" + std::to_string(key.Mapped) + "), which a .klc file cannot hold");
        continue;
      }
      const KeyRecord typing = Typing(n);
      const bool own = n <= kLastLayoutKey || n == kSpaceKey;
      const bool given = HasCharacters(typing) && (n >= kFirstExtraKey || (key.AssignedChar && n > kLastKeypadKey));
      if (own || given)
        keys_.push_back(n);
      else if (n >= kFirstKeypadKey && n <= kLastKeypadKey && !TypesAsFixed(n, typing))
        Note(KeyText(n) + " types otherwise than a .klc file lets the keypad type; its own characters are left out");
      else if (n > kLastKeypadKey && HasCharacters(typing) && !IsSpecialDefault(typing) && !key.AssignedChar)
        Note(KeyText(n) + " types characters a .klc file has no line for; they are left out");
    }
    for (int i = 0; i < layout_.unresolvedCount; ++i) {
      const UnresolvedKey& u = layout_.unresolved[size_t(i)];
      if (kbd::IsStandardScanCode(u.scan, u.extended != 0, u.vk)) continue;
      Note("scan code " + std::string(u.extended ? "E0 " : "") + klc::ToUtf8(Hex(u.scan, 2)) + " (VK " +
           klc::ToUtf8(Hex(u.vk & 0xFF, 2)) + ") is not a key a .klc file has a line for; left out");
    }
  }

  bool SlotUsed(int slot) const {
    for (int n : keys_) {
      const KeyRecord key = Typing(n);
      if (key.chars[size_t(slot)] != 0 || layout_.ligatures[size_t(n)][size_t(slot)].length > 0) return true;
      if (key.ShiftLock && key.chars[size_t(slot + kCapsLockSlotOffset)] != 0) return true;
    }
    return false;
  }

  void ChooseColumns() {
    for (const klc::ShiftStateColumn& column : klc::kColumns) {
      const bool always = column.state <= kColumnCtrl;
      const bool altGr = column.state >= kColumnAltGr && layout_.altgr_used;
      if (always || altGr || SlotUsed(column.state)) columns_.push_back(column);
    }
    for (int slot : {4, 5})
      for (int n : keys_) {
        const KeyRecord key = Typing(n);
        if (key.chars[size_t(slot)] != 0 || (key.ShiftLock && key.chars[size_t(slot + kCapsLockSlotOffset)] != 0))
          Note(KeyText(n) + " types with " + (slot == 4 ? "Alt" : "Shift+Alt") +
               ", a shift state a .klc file has no column for; left out");
      }
  }

  // The KBD name stands bare and names the compiled files: letters, digits and '_' only.
  std::u16string KbdName() const {
    std::u16string name;
    for (char16_t c : header_.name)
      if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_') name += c;
    return name.empty() ? u"layout" : name;
  }

  void Header() {
    const bool plainVersion =
        !header_.version.empty() && header_.version.find_first_of(u" \t\"") == std::u16string::npos;
    Line(u"KBD\t" + KbdName() + u"\t" + Quoted(header_.description));
    Line(u"");
    Line(u"COPYRIGHT\t" + Quoted(header_.copyright));
    Line(u"");
    Line(u"COMPANY\t" + Quoted(header_.company));
    Line(u"");
    // Files of the creator's older versions have no locale name, and it reads them.
    if (!header_.localeName.empty()) {
      Line(u"LOCALENAME\t" + Quoted(header_.localeName));
      Line(u"");
    }
    Line(u"LOCALEID\t\"" + Hex(header_.localeId, 8) + u"\"");
    Line(u"");
    Line(u"VERSION\t" + (plainVersion ? header_.version : u"1.0"));
    Line(u"");
    if (layout_.altgr_used || layout_.ShiftLockOrig || layout_.LRMRLM) {
      Line(u"ATTRIBUTES");
      if (layout_.altgr_used) Line(FromUtf8(klc::kAttrAltGr));
      if (layout_.ShiftLockOrig) Line(FromUtf8(klc::kAttrShiftLock));
      if (layout_.LRMRLM) Line(FromUtf8(klc::kAttrLrmRlm));
      Line(u"");
    }
  }

  void ShiftStates() {
    Line(u"SHIFTSTATE");
    Line(u"");
    int number = klc::kFirstStateColumn;
    for (const klc::ShiftStateColumn& column : columns_)
      Line(Hex(uint32_t(column.state), 1) + u"\t//Column " + FromUtf8(std::to_string(number++)) +
           FromUtf8(column.label));
    Line(u"");
  }

  std::u16string Cell(const KeyRecord& key, int n, int slot, std::u16string& comment) {
    const uint16_t ch = key.chars[size_t(slot)];
    if (!comment.empty()) comment += u", ";
    if (slot < kCapsLockSlotOffset && ch == kLigatureMark && layout_.ligatures[size_t(n)][size_t(slot)].length > 0) {
      comment += u"<ligature>";
      return FromUtf8(klc::kLigatureCell);
    }
    if (ch == 0) {
      comment += u"<none>";
      return FromUtf8(klc::kNoCharacter);
    }
    if (key.dead[size_t(slot)]) {
      comment += u"dead " + Shown(ch);
      return Hex(ch, 4) + klc::kDeadSuffix;
    }
    comment += Shown(ch);
    return CharacterCell(ch);
  }

  std::u16string Row(std::u16string head, const KeyRecord& key, int n, int offset) {
    std::u16string comment;
    for (const klc::ShiftStateColumn& column : columns_) head += u"\t" + Cell(key, n, column.state + offset, comment);
    return head + u"\t// " + comment;
  }

  void Layout() {
    std::u16string columns = u"//SC\tVK_\t\tCap";
    std::u16string rule = u"//--\t----\t\t----";
    for (const klc::ShiftStateColumn& column : columns_) {
      columns += u"\t" + Hex(uint32_t(column.state), 1);
      rule += u"\t----";
    }
    Line(u"LAYOUT\t\t;an extra '@' at the end is a dead key");
    Line(u"");
    Line(columns);
    Line(rule);
    Line(u"");
    std::vector<int> written;
    for (int n : keys_) {
      const KeyRecord key = Typing(n);
      std::array<char, 2> own{};
      const auto vk = klc::NameOfVk(uint8_t(key.vk & 0xFF), own);
      if (!vk) {
        if (HasCharacters(key))
          Note(KeyText(n) + " sends VK " + klc::ToUtf8(Hex(key.vk & 0xFF, 2)) +
               ", which has no name in a .klc file; the key is left out");
        continue;
      }
      written.push_back(n);
      const uint16_t scan = KeyRow(n).scan;
      const std::u16string sc = (scan & kE0Prefix ? u"e0" : u"") + Hex(scan & 0xFF, 2);
      const std::u16string vkName = FromUtf8(*vk);
      std::u16string cap;
      if (key.ShiftLock) {
        cap = FromUtf8(klc::kSgCap);
        if (key.CapsAware || key.CapsAware2)
          Note(KeyText(n) + " has both Caps Lock characters of its own and Caps Lock as Shift; a .klc file keeps "
               "only the former");
      } else {
        cap = Hex(uint32_t((key.CapsAware ? klc::kCapLock : 0) | (key.CapsAware2 ? klc::kCapLockAltGr : 0)), 1);
      }
      Line(Row(sc + u"\t" + vkName + (vkName.size() < 8 ? u"\t\t" : u"\t") + cap, key, n, 0));
      if (key.ShiftLock) Line(Row(u"-1\t-1\t\t0", key, n, kCapsLockSlotOffset));
    }
    keys_ = written;
    Line(u"");
  }

  void Ligatures() {
    std::vector<std::u16string> lines;
    for (int n : keys_) {
      std::array<char, 2> own{};
      const std::u16string vk = FromUtf8(*klc::NameOfVk(uint8_t(layout_.Key(n).vk & 0xFF), own));
      for (int slot = 0; slot < kCapsLockSlotOffset; ++slot) {
        const LigatureCell& cell = layout_.ligatures[size_t(n)][size_t(slot)];
        if (cell.length <= 0 || layout_.Key(n).chars[size_t(slot)] != kLigatureMark) continue;
        const auto column = std::find_if(columns_.begin(), columns_.end(),
                                         [&](const klc::ShiftStateColumn& c) { return c.state == slot; });
        if (column == columns_.end()) {
          Note(KeyText(n) + " has a ligature in a shift state a .klc file has no column for; left out");
          continue;
        }
        int length = std::min(cell.length, kMaxLigatureLength);
        if (length > klc::kMaxLigatureLength) {
          Note(KeyText(n) + " has a ligature of " + std::to_string(length) + " characters; a .klc file holds " +
               std::to_string(klc::kMaxLigatureLength) + ", so the rest is left out");
          length = klc::kMaxLigatureLength;
        }
        std::u16string line = vk + (vk.size() < 8 ? u"\t\t" : u"\t") +
                              FromUtf8(std::to_string(column - columns_.begin()));
        std::u16string comment;
        for (int i = 0; i < length; ++i) {
          line += u"\t" + Hex(cell.chars[size_t(i)], 4);
          comment += (i ? u" " : u"") + Shown(cell.chars[size_t(i)]);
        }
        lines.push_back(line + u"\t// " + comment);
      }
    }
    if (lines.empty()) return;
    Line(u"LIGATURE");
    Line(u"");
    Line(u"//VK_\tMod#\tChar0\tChar1\tChar2\tChar3");
    Line(u"//----\t\t----\t----\t----\t----\t----");
    Line(u"");
    for (const std::u16string& line : lines) Line(line);
    Line(u"");
  }

  // One DEADKEY section per accent, in the order the accents first appear.
  void DeadKeys() {
    std::vector<uint16_t> accents;
    for (int i = 0; i < layout_.deadCount; ++i) {
      const uint16_t accent = layout_.deadKeys[size_t(i)].accent;
      if (std::find(accents.begin(), accents.end(), accent) == accents.end()) accents.push_back(accent);
    }
    for (uint16_t accent : accents) {
      Line(u"DEADKEY\t" + Hex(accent, 4));
      Line(u"");
      for (int i = 0; i < layout_.deadCount; ++i) {
        const DeadKeyEntry& e = layout_.deadKeys[size_t(i)];
        if (e.accent != accent) continue;
        if (e.base == 0 || e.result == 0) {
          Note("the dead key " + klc::ToUtf8(Hex(accent, 4)) + " has an entry with the character 0000, which a "
               ".klc file cannot hold; left out");
          continue;
        }
        Line(Hex(e.base, 4) + u"\t" + Hex(e.result, 4) + u"\t// " + Shown(e.base) + u" -> " + Shown(e.result));
      }
      Line(u"");
    }
  }

  void Names(std::u16string_view keyword, const KeyNameTable& table, bool dead) {
    Line(keyword);
    Line(u"");
    for (int i = 0; i < table.count && i < kMaxKeyNames; ++i) {
      const KeyNameEntry& e = table.entries[size_t(i)];
      Line((dead ? Hex(e.scan, 4) : Hex(e.scan & 0xFF, 2)) + u"\t" + Name(e.name));
    }
    Line(u"");
  }

  void Languages() {
    auto descriptions = header_.descriptions;
    if (descriptions.empty()) descriptions.emplace_back(uint16_t(header_.localeId & 0xFFFF), header_.description);
    Line(u"DESCRIPTIONS");
    Line(u"");
    for (const auto& entry : descriptions) Line(Hex(entry.first, 4) + u"\t" + entry.second);
    Line(u"");
    if (header_.languageNames.empty()) return;
    Line(u"LANGUAGENAMES");
    Line(u"");
    for (const auto& entry : header_.languageNames) Line(Hex(entry.first, 4) + u"\t" + entry.second);
    Line(u"");
  }

  const KeyboardLayout& layout_;
  const ProcessState& state_;
  const KlcHeader& header_;
  std::vector<std::string>& problems_;
  SpecialKeyTable defaults_;
  std::vector<int> keys_;
  std::vector<klc::ShiftStateColumn> columns_;
  std::u16string out_;
};

}  // namespace

std::u16string WriteKlcText(const KeyboardLayout& layout, const ProcessState& state, const KlcHeader& header,
                            std::vector<std::string>& problems) {
  return KlcWriter(layout, state, header, problems).Run();
}

}  // namespace tastora
