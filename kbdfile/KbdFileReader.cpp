#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "kbdfile/KbdFile.h"
#include "kbdfile/KbdFormat.h"
#include "model/Bytes.h"
#include "model/KeyFunctions.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"

namespace tastora {
namespace {

using namespace kbdfile;

constexpr std::string_view kCaption = "Error";
constexpr int kLastNumpadDigitKey = 59;

// Where the format keeps the pairs of one of the five tables.
struct TablePlace {
  uint16_t chars;
  uint16_t vks;
  uint8_t length;
};

// The file as the reader walks it. Bytes outside the file read as 0, so a
// damaged offset yields empty data rather than a failure.
class KbdWalk {
 public:
  KbdWalk(std::span<const uint8_t> bytes, KeyboardLayout& work, Dialogs& dialogs)
      : file_(bytes), work_(work), dialogs_(dialogs) {}

  void Run();

 private:
  uint8_t FileU8(uint64_t at) const { return file_.U8(at).value_or(0); }
  uint8_t U8(uint64_t offset) const { return FileU8(dataHeader_ + offset); }
  uint16_t U16(uint64_t offset) const { return file_.U16(dataHeader_ + offset).value_or(0); }
  uint16_t Field(size_t field) const { return U16(field); }
  // How many of `count` entries of `entrySize` bytes at `offset` start inside the file.
  uint32_t EntriesInFile(uint16_t offset, uint32_t count, uint32_t entrySize) const;
  void Error(std::string_view text) { dialogs_.ShowError(text, kCaption); }

  void CheckHeader();
  void MapScanCodes();
  void FindTables();
  void ReadCapsLock();
  void ReadLigatures();
  void ReadKana();
  void ListUnresolved();
  void FillCharacters();
  void ReadDeadKeys();
  void ReadCompositions();

  ByteReader file_;
  KeyboardLayout& work_;
  Dialogs& dialogs_;
  uint64_t dataHeader_ = 0;
  uint32_t scanCount_ = 0;
  std::array<int, 256> keyOfVk_{};  // 0 = no key
  std::array<std::optional<TablePlace>, kStateSlots.size()> tables_;
};

int ModifierWeight(uint8_t vk) {
  switch (vk) {
    case 0x10: return 2;  // Shift
    case 0x11: return 4;  // Ctrl
    case 0x12: return 1;  // Alt
    case 0x14: return 8;  // Caps Lock
    default: return 16;
  }
}

std::optional<size_t> SlotOfCode(int code) {
  for (size_t r = 0; r < kStateSlots.size(); ++r)
    if (kStateSlots[r].code == code) return r;
  return std::nullopt;
}

// Ligature entries also name Alt alone; anything else goes to the spare column.
int LigatureColumn(uint8_t code) {
  if (const auto slot = SlotOfCode(code)) return kStateSlots[*slot].column;
  return code == 1 ? 4 : 8;
}

uint32_t KbdWalk::EntriesInFile(uint16_t offset, uint32_t count, uint32_t entrySize) const {
  const uint64_t start = dataHeader_ + offset;
  if (start >= file_.size()) return 0;
  const uint64_t room = (file_.size() - start + entrySize - 1) / entrySize;
  return static_cast<uint32_t>(std::min<uint64_t>(count, room));
}

void KbdWalk::CheckHeader() {
  dataHeader_ = file_.U32(kDataHeaderPointer).value_or(0);
  const uint16_t size = file_.U16(kDataSize).value_or(0);
  if (dataHeader_ < kFileHeaderSize) Error("Problems with dataHdr pointer!");
  if (dataHeader_ + size > file_.size() + 1) Error("Data out of KBD!");
}

void KbdWalk::MapScanCodes() {
  for (int n = 1; n <= kKeyCount; ++n) work_.Key(n).vk = DefaultVk(n, false);
  // Entries past the end of the file are not entries: a damaged count must
  // not fill the unresolved list with zeros.
  scanCount_ = EntriesInFile(Field(kScanCodes), Field(kScanCount), 1);
  for (uint32_t i = 0; i < scanCount_; ++i) {
    const int key = FindKeyByScan(U8(uint64_t(Field(kScanCodes)) + i));
    if (key <= 0) continue;
    const uint8_t vk = U8(uint64_t(Field(kScanVks)) + i);
    keyOfVk_[vk] = key;
    KeyRecord& record = work_.Key(key);
    record.Mapped = FunctionIdOfGenericVk(vk);
    if (record.Mapped == 0) record.vk = vk;
  }
  // The keypad keeps its digit VKs whatever the file says.
  work_.Key(kFirstKeypadKey).vk = 0x6E;
  for (int n = kFirstKeypadKey + 1; n <= kLastNumpadDigitKey; ++n)
    work_.Key(n).vk = static_cast<uint16_t>(0x60 + (n - kFirstKeypadKey - 1));
}

void KbdWalk::FindTables() {
  std::array<int, 8> weights{};
  const size_t modifiers = std::min<size_t>(Field(kModifierCount), weights.size());
  for (size_t j = 0; j < modifiers; ++j) weights[j] = ModifierWeight(U8(Field(kModifiers) + 2 * j));

  // The byte before the list is state 0, the state without modifiers.
  const uint64_t stateBytes = dataHeader_ + Field(kStates);
  if (stateBytes > 0 && FileU8(stateBytes - 1) != 0) Error("Problems with Shift States!");
  const uint32_t stateCount = uint32_t(Field(kLastState)) + 1;
  std::array<bool, 256> tableSeen{};
  for (uint32_t s = 0; s < stateCount; ++s) {
    const uint8_t table = U8(uint64_t(Field(kStateTables)) + s);
    if (tableSeen[table]) continue;
    tableSeen[table] = true;
    // State 0 has no modifiers whatever the byte before the list says.
    const uint8_t held = s == 0 ? 0 : FileU8(stateBytes + s - 1);
    int weight = 0;
    for (size_t j = 0; j < weights.size(); ++j)
      if (held & (1u << j)) weight += weights[j];
    if (const auto slot = SlotOfCode(weight))
      tables_[*slot] = TablePlace{U16(uint64_t(Field(kCharOffsets)) + 2 * s), U16(uint64_t(Field(kVkOffsets)) + 2 * s),
                                  U8(uint64_t(Field(kTableLengths)) + s)};
  }
}

void KbdWalk::ReadCapsLock() {
  for (int v = 0; v < 256; ++v) {
    const uint8_t bits = U8(uint64_t(Field(kCapsLock)) + uint64_t(v / 8));
    if ((bits & (1u << (v & 7))) && keyOfVk_[size_t(v)] != 0) work_.Key(keyOfVk_[size_t(v)]).CapsAware = 1;
  }
}

void KbdWalk::ReadLigatures() {
  if (Field(kLigatures) == 0) return;
  // Ends at a zero entry; past the end of the file everything reads as 0.
  for (uint64_t at = Field(kLigatures); U16(at) != 0;) {
    const uint8_t first = U8(at), vk = U8(at + 1), code = U8(at + 2);
    const int length = U8(at + 4) + 1;
    const uint64_t rest = at + kLigatureHeadSize;
    at = rest + 2 * uint64_t(length - 1);
    const int key = FindKeyByVk(work_, vk);
    if (key == 0) continue;
    // A cell holds 32 characters; a longer sequence keeps its first 32.
    LigatureCell& cell = work_.ligatures[size_t(key)][size_t(LigatureColumn(code))];
    cell.length = std::min(length, kMaxLigatureLength);
    cell.chars[0] = first;
    for (int i = 1; i < cell.length; ++i) cell.chars[size_t(i)] = U8(rest + 2 * uint64_t(i - 1));
  }
}

void KbdWalk::ReadKana() {
  if (Field(kKana) == 0) return;
  for (uint32_t i = 0; i < scanCount_; ++i) {
    const int key = FindKeyByScan(U8(uint64_t(Field(kScanCodes)) + i));
    if (key > 0) work_.Key(key).Kana = U16(uint64_t(Field(kKana)) + 2 * i);
  }
}

void KbdWalk::ListUnresolved() {
  bool dropped = false;
  for (uint32_t i = 0; i < scanCount_; ++i) {
    const uint8_t scan = U8(uint64_t(Field(kScanCodes)) + i);
    if (FindKeyByScan(scan) > 0) continue;
    if (work_.unresolvedCount >= kMaxUnresolved) {
      dropped = true;
      continue;
    }
    work_.unresolved[size_t(work_.unresolvedCount++)] = {U8(uint64_t(Field(kScanVks)) + i), scan, 0};
  }
  // Once, not once per code: a damaged count can make thousands of them.
  if (dropped) Error("Too many scancodes!");
}

void KbdWalk::FillCharacters() {
  for (size_t r = 0; r < kStateSlots.size(); ++r) {
    if (!tables_[r]) continue;
    const TablePlace& place = *tables_[r];
    for (uint32_t i = 0; i < place.length; ++i) {
      const int key = keyOfVk_[U8(uint64_t(place.vks) + i)];
      if (key != 0) work_.Key(key).chars[size_t(kStateSlots[r].column)] = U8(uint64_t(place.chars) + i);
    }
  }
}

void KbdWalk::ReadDeadKeys() {
  const uint16_t block = Field(kDeadKeys);
  if (block == 0) return;
  const uint16_t count = Field(kDeadKeyCount);
  // A character 0 is no character: it never makes a slot dead.
  if (U8(uint64_t(block) + 3) == 0) {
    for (uint32_t e = 0; e < EntriesInFile(block, count, kDeadKeyEntrySize); ++e) {
      const uint64_t at = uint64_t(block) + kDeadKeyEntrySize * e;
      const uint8_t accent = U8(at);
      const auto slot = SlotOfCode(U8(at + 2));
      const int key = FindKeyByVk(work_, U8(at + 1));
      if (!slot || key == 0 || accent == 0) continue;
      KeyRecord& record = work_.Key(key);
      const size_t column = size_t(kStateSlots[*slot].column);
      record.dead[column] = 1;
      record.chars[column] = accent;
    }
    return;
  }
  std::array<bool, 256> accents{};
  for (uint32_t e = 0; e < EntriesInFile(block, count, 1); ++e) accents[U8(uint64_t(block) + e)] = true;
  accents[0] = false;
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& record = work_.Key(n);
    for (const StateSlot& slot : kStateSlots) {
      const uint16_t ch = record.chars[size_t(slot.column)];
      if (ch < accents.size() && accents[ch]) record.dead[size_t(slot.column)] = 1;
    }
  }
}

void KbdWalk::ReadCompositions() {
  const uint16_t block = Field(kCompositions);
  if (block == 0) return;
  const uint16_t stated = U16(block);
  const uint64_t pairs = uint64_t(block) + 2, results = pairs + 2 * uint64_t(stated);
  work_.deadCount = std::min<int32_t>(stated, kMaxDeadKeys);
  for (int32_t i = 0; i < work_.deadCount; ++i) {
    DeadKeyEntry& entry = work_.deadKeys[size_t(i)];
    entry.accent = U8(pairs + 2 * uint64_t(i));
    entry.base = U8(pairs + 2 * uint64_t(i) + 1);
    entry.result = U8(results + uint64_t(i));
  }
}

void KbdWalk::Run() {
  CheckHeader();
  MapScanCodes();
  FindTables();
  ReadCapsLock();
  ReadLigatures();
  ReadKana();
  ListUnresolved();
  FillCharacters();
  ReadDeadKeys();
  ReadCompositions();
  work_.altgr_used = (Field(kFlags) & kFlagAltGr) ? 1 : 0;
  work_.lcid = file_.U16(kLanguage).value_or(0);
}

// What the format cannot say about the keys, settled after the read.
void SettleKeys(KeyboardLayout& layout) {
  // Its scan code comes with the prefix the format lacks: whatever reached it
  // came through a VK shared with another key.
  KeyRecord& slash = layout.Key(kLastKeypadKey);
  slash.chars.fill(0);
  slash.dead.fill(0);
  for (int n = kFirstNonTypingKey; n <= kKeyCount; ++n) {
    KeyRecord& key = layout.Key(n);
    if (std::any_of(key.chars.begin(), key.chars.begin() + 8, [](uint16_t ch) { return ch != 0; })) {
      key.Mapped = 0;
      key.AssignedChar = 1;
    }
  }
}

}  // namespace

bool IsKbdFile(std::span<const uint8_t> bytes) { return ByteReader(bytes).U16(0) == kSignature; }

bool ReadKbdImage(std::span<const uint8_t> bytes, KeyboardLayout& layout, ProcessState& state, Dialogs& dialogs) {
  if (!IsKbdFile(bytes)) {
    dialogs.ShowError("Not a KBD file", kCaption);
    return false;
  }
  // Value-initialised, so zeroed; the companion tables stay as they are.
  auto work = std::make_unique<KeyboardLayout>();
  for (int n = 1; n <= kKeyCount; ++n) work->Key(n).index = n;
  KbdWalk(bytes, *work, dialogs).Run();
  SettleKeys(*work);
  layout = *work;

  const ByteReader file(bytes);
  KbdFileHeader& header = state.kbdHeader;
  header.read = true;
  for (size_t i = 0; i < kCarriedCount; ++i) header.bytes2to7[i] = file.U8(kCarriedBytes + i).value_or(0);
  const uint64_t dataHeader = file.U32(kDataHeaderPointer).value_or(0);
  header.flags = file.U16(dataHeader + kFlags).value_or(0);
  return true;
}

bool ReadKbdFile(const std::string& path, KeyboardLayout& layout, ProcessState& state, const KbdReaderPorts& ports) {
  // Opened for writing, as the file is written back at the end of an install.
  const auto bytes = ports.files.ReadFile(path, kKbdReadLimit, true);
  if (!bytes) {
    ports.dialogs.ShowError("Error while opening: " + path + ". Perhaps it is read-only.", kCaption);
    return false;
  }
  return ReadKbdImage(*bytes, layout, state, ports.dialogs);
}

}  // namespace tastora
