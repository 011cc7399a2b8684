#include "tests/LayoutBehaviour.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

#include "model/Bytes.h"

namespace tastora::testing {
namespace {

constexpr uint8_t kCapLok = 0x01, kSgCaps = 0x02, kCapLokAltGr = 0x04;
constexpr uint8_t kShiftInvalid = 0x0F;
constexpr uint8_t kNoVk = 0xFF;
constexpr uint16_t kWchNone = 0xF000, kWchDead = 0xF001, kWchLgtr = 0xF002;

// Caps that keep a broken image from being walked forever.
constexpr int kMaxTables = 64;
constexpr int kMaxRows = 4096;
constexpr int kMaxEntries = 10000;

// Where the fields lie in each form.
struct Form {
  unsigned ref;  // bytes of a reference
  // KBDTABLES
  unsigned modifiers, charTables, deadKeys, scanCodes, maxScan, scanE0, lgMax, lgEntrySize, ligatures, tablesSize;
  // MODIFIERS
  unsigned maxModBits, modNumber;
  // VK_TO_WCHAR_TABLE
  unsigned tableEntry, modifications, rowSize;
};

constexpr Form kEightByteForm{8, 0x00, 0x08, 0x10, 0x30, 0x38, 0x40, 0x54, 0x55, 0x58, 0x60, 8, 10, 16, 8, 9};
constexpr Form kFourByteForm{4, 0x00, 0x04, 0x08, 0x18, 0x1C, 0x20, 0x2C, 0x2D, 0x30, 0x34, 4, 6, 8, 4, 5};

using Bytes = std::vector<uint8_t>;

uint16_t U16(const Bytes& b, size_t at) { return ByteReader(b).U16(at).value_or(0); }

struct CharTable {
  uint64_t rows;
  unsigned width, rowSize;
  std::vector<Bytes> read;  // the rows up to the one of VK 0, which is kept
};

class Oracle {
 public:
  Oracle(const ReadMemoryFn& read, ReferenceWidth width, Zeros zeros)
      : read_(read), form_(width == ReferenceWidth::Eight ? kEightByteForm : kFourByteForm), zeros_(zeros) {}

  LayoutBehaviour Run(uint64_t tables) {
    const auto t = Read(tables, form_.tablesSize, "KBDTABLES");
    if (!t) return std::move(out_);
    const ByteReader k(*t);
    ligatures_ = Ref(k, form_.ligatures);
    lgMax_ = *k.U8(form_.lgMax);
    lgEntrySize_ = *k.U8(form_.lgEntrySize);
    if (Modifiers(Ref(k, form_.modifiers)) && CharTables(Ref(k, form_.charTables))) Typing();
    Compositions(Ref(k, form_.deadKeys));
    ScanCodes(Ref(k, form_.scanCodes), *k.U8(form_.maxScan));
    ScanCodesE0(Ref(k, form_.scanE0));
    return std::move(out_);
  }

 private:
  std::optional<Bytes> Read(uint64_t address, size_t size, const char* what) {
    Bytes bytes(size);
    if (address != 0 && read_(address, bytes)) return bytes;
    out_.problems.push_back(std::string(what) + " runs out of the image");
    return std::nullopt;
  }
  uint64_t Ref(const ByteReader& r, uint64_t at) const {
    return form_.ref == 8 ? r.U64(at).value_or(0) : r.U32(at).value_or(0);
  }

  bool Modifiers(uint64_t at) {
    const auto head = Read(at, form_.maxModBits + 2, "MODIFIERS");
    if (!head) return false;
    maxModBits_ = U16(*head, form_.maxModBits);
    // The list holds wMaxModBits + 1 numbers; no more of it is read.
    const auto numbers = Read(at + form_.modNumber, std::min(maxModBits_, 7u) + 1, "the modification numbers");
    if (!numbers) return false;
    std::copy(numbers->begin(), numbers->end(), modNumber_.begin());
    return true;
  }

  bool CharTables(uint64_t at) {
    for (int t = 0; t < kMaxTables; ++t) {
      const auto entry = Read(at + uint64_t(t) * form_.tableEntry, form_.tableEntry, "VK_TO_WCHAR_TABLE");
      if (!entry) return false;
      const ByteReader e(*entry);
      CharTable table{Ref(e, 0), *e.U8(form_.modifications), *e.U8(form_.rowSize), {}};
      if (table.rows == 0) return true;
      if (table.rowSize < 2 + 2 * table.width) {
        out_.problems.push_back("a row size does not hold its characters");
        return false;
      }
      for (int i = 0; i < kMaxRows; ++i) {
        auto row = Read(table.rows + uint64_t(i) * table.rowSize, table.rowSize, "VK_TO_WCHARS");
        if (!row) return false;
        table.read.push_back(std::move(*row));
        if (table.read.back()[0] == 0) break;
      }
      tables_.push_back(std::move(table));
    }
    return true;
  }

  // Row `index` of a table; rows past the end row are read when a row before
  // it leads there.
  std::optional<Bytes> Row(const CharTable& table, size_t index) {
    if (index < table.read.size()) return table.read[index];
    return Read(table.rows + index * table.rowSize, table.rowSize, "VK_TO_WCHARS");
  }

  void Typing() {
    for (unsigned vk = 1; vk < kNoVk; ++vk) {
      for (const CharTable& table : tables_) {
        const auto row = std::find_if(table.read.begin(), table.read.end(), [&](const Bytes& r) { return r[0] == vk; });
        if (row == table.read.end()) continue;
        for (bool caps : {false, true})
          for (uint8_t m = 0; m < 8; ++m)
            if (auto typed = Type(table, size_t(row - table.read.begin()), uint8_t(vk), m, caps))
              out_.typed.emplace(KeyState{uint8_t(vk), m, caps}, std::move(*typed));
        break;
      }
    }
  }

  std::optional<Typed> Type(const CharTable& table, size_t index, uint8_t vk, uint8_t m, bool caps) {
    const uint8_t attributes = table.read[index][1];
    if (caps) {
      if ((attributes & kCapLok) && (m & (kCtrl | kAlt)) == 0) m ^= kShift;
      if ((attributes & kCapLokAltGr) && (m & (kCtrl | kAlt)) == (kCtrl | kAlt)) m ^= kShift;
      if (attributes & kSgCaps) ++index;
    }
    if (m > maxModBits_) return std::nullopt;
    const unsigned column = modNumber_[m];
    if (column == kShiftInvalid || column >= table.width) return std::nullopt;
    const auto row = Row(table, index);
    if (!row) return std::nullopt;
    const uint16_t ch = U16(*row, 2 + 2 * column);
    if (ch == kWchNone) return std::nullopt;
    if (ch == kWchLgtr) return Ligature(vk, column);
    if (ch != kWchDead) return Character(ch);
    const auto accentRow = Row(table, index + 1);
    if (!accentRow) return std::nullopt;
    return Typed{Typed::Kind::Dead, {char16_t(U16(*accentRow, 2 + 2 * column))}};
  }

  std::optional<Typed> Character(uint16_t ch) const {
    if (ch != 0) return Typed{Typed::Kind::Character, {char16_t(ch)}};
    if (zeros_ == Zeros::AsNothing) return std::nullopt;
    return Typed{Typed::Kind::Zero, {}};
  }

  // The characters of the entry for this VK and column, up to WCH_NONE. One
  // character types as that character.
  std::optional<Typed> Ligature(uint8_t vk, unsigned column) {
    if (ligatures_ == 0) return std::nullopt;
    if (lgEntrySize_ < 4 + 2 * lgMax_) {
      out_.problems.push_back("the ligature entry size does not hold its characters");
      return std::nullopt;
    }
    for (int i = 0; i < kMaxEntries; ++i) {
      const auto entry = Read(ligatures_ + uint64_t(i) * lgEntrySize_, lgEntrySize_, "LIGATURE");
      if (!entry || (*entry)[0] == 0) return std::nullopt;
      if ((*entry)[0] != vk || U16(*entry, 2) != column) continue;
      std::u16string text;
      for (unsigned c = 0; c < lgMax_ && U16(*entry, 4 + 2 * c) != kWchNone; ++c)
        text += char16_t(U16(*entry, 4 + 2 * c));
      if (text.empty()) return std::nullopt;
      if (text.size() == 1) return Character(text[0]);
      return Typed{Typed::Kind::Ligature, text};
    }
    return std::nullopt;
  }

  // The first entry of an (accent, base) pair is the one that composes.
  void Compositions(uint64_t at) {
    for (int i = 0; at != 0 && i < kMaxEntries; ++i) {
      const auto entry = Read(at + 8 * uint64_t(i), 8, "DEADKEY");
      if (!entry) return;
      const uint32_t both = ByteReader(*entry).U32(0).value_or(0);
      if (both == 0) return;
      out_.compositions.emplace(std::pair{uint16_t(both >> 16), uint16_t(both)}, U16(*entry, 4));
    }
  }

  void ScanCodes(uint64_t at, unsigned count) {
    if (at == 0 || count == 0) return;
    const auto table = Read(at, 2 * size_t(count), "the scan-code table");
    if (!table) return;
    for (unsigned scan = 0; scan < count; ++scan) Key(uint16_t(scan), U16(*table, 2 * scan));
  }

  void ScanCodesE0(uint64_t at) {
    for (int i = 0; at != 0 && i < kMaxEntries; ++i) {
      const auto entry = Read(at + 4 * uint64_t(i), 4, "VSC_VK");
      if (!entry || (*entry)[0] == 0) return;
      Key(uint16_t(0xE000 | (*entry)[0]), U16(*entry, 2));
    }
  }

  // The first entry of a scan code is the one that counts, a keyless one too.
  void Key(uint16_t scan, uint16_t vk) {
    if (!seenScans_.insert(scan).second) return;
    if (vk != 0 && vk != kNoVk) out_.scanCodes.emplace(scan, vk);
  }

  const ReadMemoryFn& read_;
  const Form form_;
  const Zeros zeros_;
  unsigned maxModBits_ = 0;
  std::array<uint8_t, 8> modNumber_{};
  std::vector<CharTable> tables_;
  uint64_t ligatures_ = 0;
  unsigned lgMax_ = 0, lgEntrySize_ = 0;
  std::set<uint16_t> seenScans_;
  LayoutBehaviour out_;
};

std::string Hex(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string DescribeChar(char16_t ch) {
  if (ch >= 0x20 && ch < 0x7F) return std::string("'") + char(ch) + "'";
  return Hex("U+%04X", ch);
}

std::string DescribeText(const std::u16string& text) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; }))
    return "'" + std::string(text.begin(), text.end()) + "'";
  std::string out;
  for (char16_t c : text) out += (out.empty() ? "" : " ") + DescribeChar(c);
  return out;
}

// Calls `report(key, expected, actual)` for every key whose values differ,
// a missing one as nullptr.
template <typename Map, typename Report>
void EachDifference(const Map& expected, const Map& actual, Report report) {
  auto e = expected.begin();
  auto a = actual.begin();
  while (e != expected.end() || a != actual.end()) {
    if (a == actual.end() || (e != expected.end() && e->first < a->first)) {
      report(e->first, &e->second, nullptr);
      ++e;
    } else if (e == expected.end() || a->first < e->first) {
      report(a->first, nullptr, &a->second);
      ++a;
    } else {
      if (!(e->second == a->second)) report(e->first, &e->second, &a->second);
      ++e;
      ++a;
    }
  }
}

}  // namespace

LayoutBehaviour ComputeBehaviour(const ReadMemoryFn& read, uint64_t tables, ReferenceWidth width, Zeros zeros) {
  return Oracle(read, width, zeros).Run(tables);
}

std::optional<LayoutBehaviour> BehaviourOfLoadedLibrary(LibraryLoader& loader, LibraryHandle library,
                                                        ReferenceWidth width, Zeros zeros) {
  const auto entry = loader.FindExport(library, "KbdLayerDescriptor");
  const auto tables = entry ? loader.CallDescriptor(library, *entry) : std::nullopt;
  if (!tables) return std::nullopt;
  return ComputeBehaviour(
      [&](uint64_t address, std::span<uint8_t> out) { return loader.ReadMemory(library, address, out); }, *tables,
      width, zeros);
}

std::string DescribeState(uint8_t modifiers, bool capsLock) {
  static constexpr std::array<const char*, 8> kNames{"plain", "Shift",     "Ctrl",  "Shift+Ctrl",
                                                     "Alt",   "Shift+Alt", "AltGr", "Shift+AltGr"};
  return std::string(kNames[modifiers & 7]) + (capsLock ? " caps" : "");
}

std::string DescribeTyped(const std::optional<Typed>& typed) {
  if (!typed) return "nothing";
  switch (typed->kind) {
    case Typed::Kind::Character: return DescribeChar(typed->text.at(0));
    case Typed::Kind::Dead: return "dead " + DescribeChar(typed->text.at(0));
    case Typed::Kind::Ligature: return "ligature " + DescribeText(typed->text);
    case Typed::Kind::Zero: return "literal 0";
  }
  return "?";
}

std::vector<std::string> DescribeDifferences(const LayoutBehaviour& expected, const LayoutBehaviour& actual) {
  std::vector<std::string> lines;
  const auto typed = [](const Typed* t) { return DescribeTyped(t ? std::optional<Typed>(*t) : std::nullopt); };
  EachDifference(expected.typed, actual.typed, [&](const KeyState& s, const Typed* e, const Typed* a) {
    lines.push_back(Hex("VK 0x%02X ", s.vk) + DescribeState(s.modifiers, s.capsLock) + ": " + typed(e) + " vs " +
                    typed(a));
  });
  const auto composed = [](const uint16_t* c) { return c ? DescribeChar(char16_t(*c)) : std::string("none"); };
  EachDifference(expected.compositions, actual.compositions,
                 [&](const std::pair<uint16_t, uint16_t>& k, const uint16_t* e, const uint16_t* a) {
                   lines.push_back("dead " + DescribeChar(char16_t(k.first)) + " + " + DescribeChar(char16_t(k.second)) +
                                   ": " + composed(e) + " vs " + composed(a));
                 });
  const auto vk = [](const uint16_t* v) { return v ? Hex("VK 0x%04X", *v) : std::string("no key"); };
  EachDifference(expected.scanCodes, actual.scanCodes, [&](uint16_t scan, const uint16_t* e, const uint16_t* a) {
    lines.push_back((scan >= 0xE000 ? Hex("scan E0 0x%02X", scan & 0xFF) : Hex("scan 0x%02X", scan)) + ": " + vk(e) +
                    " vs " + vk(a));
  });
  if (expected.problems != actual.problems) {
    for (const std::string& p : expected.problems) lines.push_back("expected side: " + p);
    for (const std::string& p : actual.problems) lines.push_back("actual side: " + p);
  }
  return lines;
}

}  // namespace tastora::testing
