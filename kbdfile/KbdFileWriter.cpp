#include <algorithm>
#include <array>

#include "kbdfile/KbdFile.h"
#include "kbdfile/KbdFormat.h"
#include "model/Bytes.h"
#include "model/KbdFileHeader.h"
#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/FileWriter.h"
#include "platform/Platform.h"

namespace tastora {
namespace {

using namespace kbdfile;

constexpr size_t kStateCount = 8;
// Eight states over the modifiers Alt, Shift, Ctrl: state s holds the
// modifiers of the bits of s, and uses this table.
constexpr std::array<uint8_t, kStateCount> kTableOfState{0, 0, 1, 1, 2, 3, 2, 4};
constexpr std::array<uint8_t, 3> kModifierVks{0x12, 0x10, 0x11};

struct Pair {
  uint8_t ch;
  uint8_t vk;
};

// What an empty table gets, so that every state has a table to point at.
constexpr std::array<Pair, kStateSlots.size()> kFillerPairs{{
    {0x31, 0x31},
    {0x21, 0x31},
    {0x1B, 0xDB},
    {0x1F, 0xBD},
    {0x1F, 0xBD},
}};

// The largest file the model can ask for: every table full, every slot of
// every key dead and carrying a full ligature, every composition and every
// unresolved scan code. All of it must stay addressable by 16-bit offsets.
constexpr size_t kLargestData =
    kDataHeaderSize + 2 * kModifierVks.size() + kStateCount + kStateCount + 3 * (kKeyCount + kMaxUnresolved) +
    kCapsBitmapSize + kStateSlots.size() * 2 * kKeyCount + kStateCount * (2 + 2 + 1) +
    kKeyCount * kStateSlots.size() * kDeadKeyEntrySize + 2 + 3 * kMaxDeadKeys +
    kKeyCount * kStateSlots.size() * (kLigatureHeadSize + 2 * (kMaxLigatureLength - 1)) + 2;
static_assert(kLargestData <= 0xFFFF, "a full layout must fit the 16-bit offsets of a .kbd file");
static_assert(kKeyCount <= 0xFF, "table lengths are 8-bit");

uint8_t Low(uint32_t v) { return static_cast<uint8_t>(v & 0xFF); }

// Appends blocks after the data header; offsets are counted from it.
class Blocks {
 public:
  Blocks() : out_(kFileHeaderSize + kDataHeaderSize), end_(kFileHeaderSize + kDataHeaderSize) {}

  uint16_t Here() const { return static_cast<uint16_t>(end_ - kFileHeaderSize); }
  void Byte(uint8_t v) { out_.U8(end_++, v); }
  void Word(uint16_t v) {
    out_.U16(end_, v);
    end_ += 2;
  }
  void Field(size_t field, uint16_t value) { out_.U16(kFileHeaderSize + field, value); }
  ByteWriter& out() { return out_; }
  size_t end() const { return end_; }

 private:
  ByteWriter out_;
  size_t end_;
};

struct ScanEntry {
  uint8_t scan;
  uint8_t vk;
  uint8_t third;
};

struct Content {
  std::array<std::vector<Pair>, kStateSlots.size()> tables;
  std::vector<ScanEntry> scans;
  std::array<uint8_t, kCapsBitmapSize> caps{};
};

Content Collect(const KeyboardLayout& layout) {
  Content c;
  for (int n = 1; n <= kKeyCount; ++n) {
    const KeyRecord& key = layout.Key(n);
    const uint8_t vk = Low(key.vk);
    const uint8_t scan = Low(KeyRow(n).scan);
    bool typing = false;
    if (key.Mapped == 0) {
      for (size_t r = 0; r < kStateSlots.size(); ++r) {
        const uint16_t ch = key.chars[size_t(kStateSlots[r].column)];
        if (ch == 0) continue;
        c.tables[r].push_back({Low(ch), vk});
        typing = true;
      }
    }
    // The scan-code array holds one byte per scan code: a key with the 0xE0
    // prefix would take the entry of the plain key that shares its low byte
    // (Num / would turn the "/" key into a second Num /).
    const bool extended = (KeyRow(n).scan & kE0Prefix) != 0;
    if (typing) {
      if (!extended) c.scans.push_back({scan, vk, Low(key.CapsAware ? key.chars[1] : key.chars[0])});
      if (key.CapsAware) c.caps[vk / 8] |= static_cast<uint8_t>(1u << (vk & 7));
    } else if (key.Mapped != 0 && !extended) {
      c.scans.push_back({scan, Low(GenericVkOfFunction(key.Mapped)), 0});
    }
  }
  // Scan codes without a key came from the file this layout was read from;
  // dropping them would lose those keys. Prefixed ones the format cannot name.
  const int unresolved = std::clamp(layout.unresolvedCount, 0, kMaxUnresolved);
  for (int i = 0; i < unresolved; ++i) {
    const UnresolvedKey& u = layout.unresolved[size_t(i)];
    if (u.extended == 0 && FindKeyByScan(u.scan) < 0) c.scans.push_back({u.scan, Low(u.vk), 0});
  }
  for (size_t r = 0; r < kStateSlots.size(); ++r)
    if (c.tables[r].empty()) c.tables[r].push_back(kFillerPairs[r]);
  return c;
}

void WriteStates(Blocks& b) {
  b.Field(kModifierCount, kModifierVks.size());
  b.Field(kModifiers, b.Here());
  for (uint8_t vk : kModifierVks) {
    b.Byte(vk);
    b.Byte(0x80);
  }
  // The stored offset points past state 0, which readers take as the byte before.
  b.Field(kLastState, kStateCount - 1);
  b.Field(kStates, static_cast<uint16_t>(b.Here() + 1));
  for (size_t s = 0; s < kStateCount; ++s) b.Byte(static_cast<uint8_t>(s));
  b.Field(kStateTables, b.Here());
  for (uint8_t t : kTableOfState) b.Byte(t);
}

void WriteScanCodes(Blocks& b, const Content& c) {
  b.Field(kScanCount, static_cast<uint16_t>(c.scans.size()));
  b.Field(kScanCodes, b.Here());
  for (const ScanEntry& e : c.scans) b.Byte(e.scan);
  b.Field(kScanVks, b.Here());
  for (const ScanEntry& e : c.scans) b.Byte(e.vk);
  b.Field(kThirdArray, b.Here());
  for (const ScanEntry& e : c.scans) b.Byte(e.third);
  b.Field(kCapsLock, b.Here());
  for (uint8_t bits : c.caps) b.Byte(bits);
}

void WriteTables(Blocks& b, const Content& c) {
  std::array<uint16_t, kStateSlots.size()> chars{}, vks{};
  std::array<bool, kStateSlots.size()> placed{};
  for (uint8_t t : kTableOfState) {
    if (placed[t]) continue;
    placed[t] = true;
    chars[t] = b.Here();
    for (const Pair& p : c.tables[t]) b.Byte(p.ch);
    vks[t] = b.Here();
    for (const Pair& p : c.tables[t]) b.Byte(p.vk);
  }
  b.Field(kCharOffsets, b.Here());
  for (uint8_t t : kTableOfState) b.Word(chars[t]);
  b.Field(kVkOffsets, b.Here());
  for (uint8_t t : kTableOfState) b.Word(vks[t]);
  b.Field(kTableLengths, b.Here());
  for (uint8_t t : kTableOfState) b.Byte(static_cast<uint8_t>(c.tables[t].size()));
}

void WriteDeadKeys(Blocks& b, const KeyboardLayout& layout) {
  const uint16_t start = b.Here();
  uint16_t count = 0;
  for (int n = 1; n <= kKeyCount; ++n) {
    const KeyRecord& key = layout.Key(n);
    for (const StateSlot& slot : kStateSlots) {
      if (!key.dead[size_t(slot.column)]) continue;
      b.Byte(Low(key.chars[size_t(slot.column)]));
      b.Byte(Low(key.vk));
      b.Byte(slot.code);
      b.Byte(0);
      ++count;
    }
  }
  b.Field(kDeadKeyCount, count);
  b.Field(kDeadKeys, count == 0 ? 0 : start);
}

void WriteCompositions(Blocks& b, const KeyboardLayout& layout) {
  const int count = std::clamp(layout.deadCount, 0, kMaxDeadKeys);
  b.Field(kCompositions, b.Here());
  b.Word(static_cast<uint16_t>(count));
  for (int i = 0; i < count; ++i) {
    b.Byte(Low(layout.deadKeys[size_t(i)].accent));
    b.Byte(Low(layout.deadKeys[size_t(i)].base));
  }
  for (int i = 0; i < count; ++i) b.Byte(Low(layout.deadKeys[size_t(i)].result));
}

void WriteLigatures(Blocks& b, const KeyboardLayout& layout) {
  b.Field(kLigatures, b.Here());
  uint16_t count = 0;
  for (int n = 1; n <= kKeyCount; ++n) {
    const uint8_t vk = Low(layout.Key(n).vk);
    for (const StateSlot& slot : kStateSlots) {
      const LigatureCell& cell = layout.ligatures[size_t(n)][size_t(slot.column)];
      const int length = std::min(cell.length, kMaxLigatureLength);
      // An entry starting with two zero bytes would read as the end of the block.
      if (length <= 0 || (Low(cell.chars[0]) == 0 && vk == 0)) continue;
      b.Byte(Low(cell.chars[0]));
      b.Byte(vk);
      b.Byte(slot.code);
      b.Byte(0);
      b.Byte(static_cast<uint8_t>(length - 1));
      for (int i = 1; i < length; ++i) b.Word(Low(cell.chars[size_t(i)]));
      ++count;
    }
  }
  b.Word(0);
  b.Field(kLigatureCount, count);
}

}  // namespace

std::vector<uint8_t> BuildKbdFile(const KeyboardLayout& layout, const KbdFileHeader& carried) {
  const Content content = Collect(layout);
  Blocks b;
  WriteStates(b);
  WriteScanCodes(b, content);
  WriteTables(b, content);
  WriteDeadKeys(b, layout);
  WriteCompositions(b, layout);
  WriteLigatures(b, layout);

  const uint16_t flags = static_cast<uint16_t>((carried.flags & ~kFlagAltGr) | (layout.altgr_used ? kFlagAltGr : 0) |
                                               kFlagCompositions);
  b.Field(kFlags, flags);

  ByteWriter& out = b.out();
  out.U16(0, kSignature);
  if (carried.read) {
    for (size_t i = 0; i < kCarriedCount; ++i) out.U8(kCarriedBytes + i, carried.bytes2to7[i]);
  } else {
    // Nothing to carry over: the layout's own language is the best there is.
    out.U16(kLanguage, layout.lcid);
  }
  out.U32(kDataHeaderPointer, kFileHeaderSize);
  out.U16(kDataSize, static_cast<uint16_t>(b.end() - kFileHeaderSize));
  return out.Take();
}

bool WriteKbdFile(const std::string& path, const KeyboardLayout& layout, const ProcessState& state,
                  const KbdWriterPorts& ports) {
  const std::vector<uint8_t> bytes = BuildKbdFile(layout, state.kbdHeader);
  // Archive alone, so that a read-only, hidden or system file can be replaced.
  (void)ports.files.SetAttributes(path, kFileAttributeArchive);
  if (ports.files.WriteWhole(path, bytes) == FileWriter::Outcome::Written) return true;
  ports.dialogs.ShowWarning(kKbdCouldNotWrite);
  return false;
}

}  // namespace tastora
