#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ExportLayout.h"
#include "kbdfile/KbdFile.h"
#include "kbdfile/KbdFormat.h"
#include "model/Bytes.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/FileWriter.h"
#include "platform/offline/IconvCodePages.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

using testing::ScriptedWriter;

using namespace kbdfile;
using testing::MemoryFileSystem;
using testing::RecordingDialogs;

constexpr char kPath[] = "C:\\WINDOWS\\SYSTEM\\KBDUS.KBD";
const std::string kError = "Error: ";

using Pairs = std::vector<std::pair<uint8_t, uint8_t>>;  // {character or scan code, VK}

// A .kbd file put together by hand, block after block, independently of the writer.
struct HandFile {
  std::array<uint8_t, 6> bytes2to7{0x1A, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};
  uint16_t flags = 0x0A;
  std::vector<uint8_t> modifiers{0x12, 0x10, 0x11};
  uint8_t stateZero = 0;
  std::vector<uint8_t> states{1, 2, 3, 4, 5, 6, 7};  // states 1..n-1
  std::vector<uint8_t> stateTables{0, 0, 1, 1, 2, 3, 2, 4};
  std::vector<Pairs> tables = std::vector<Pairs>(5);
  Pairs scans;
  std::vector<uint8_t> capsVks;
  uint16_t deadCount = 0;
  std::vector<uint8_t> deadBlock;  // none when empty
  std::optional<std::vector<std::array<uint8_t, 3>>> compositions;
  std::vector<uint8_t> ligatureBlock;  // none when empty
  std::vector<uint16_t> kana;          // none when empty
};

std::vector<uint8_t> Build(const HandFile& f) {
  ByteWriter w(kFileHeaderSize + kDataHeaderSize);
  size_t end = w.size();
  auto here = [&] { return static_cast<uint16_t>(end - kFileHeaderSize); };
  auto field = [&](size_t at, size_t value) { w.U16(kFileHeaderSize + at, static_cast<uint16_t>(value)); };
  auto byte = [&](uint8_t v) { w.U8(end++, v); };
  auto word = [&](uint16_t v) {
    w.U16(end, v);
    end += 2;
  };
  auto bytes = [&](const std::vector<uint8_t>& v) {
    for (uint8_t b : v) byte(b);
  };

  field(kFlags, f.flags);
  field(kModifierCount, f.modifiers.size());
  field(kModifiers, here());
  for (uint8_t vk : f.modifiers) {
    byte(vk);
    byte(0x80);
  }
  field(kLastState, f.states.size());
  byte(f.stateZero);
  field(kStates, here());
  bytes(f.states);
  field(kStateTables, here());
  bytes(f.stateTables);

  field(kScanCount, f.scans.size());
  field(kScanCodes, here());
  for (auto [scan, vk] : f.scans) byte(scan);
  field(kScanVks, here());
  for (auto [scan, vk] : f.scans) byte(vk);
  field(kThirdArray, here());
  for (size_t i = 0; i < f.scans.size(); ++i) byte(0);
  field(kCapsLock, here());
  std::array<uint8_t, 32> caps{};
  for (uint8_t vk : f.capsVks) caps[vk / 8] |= static_cast<uint8_t>(1u << (vk & 7));
  for (uint8_t b : caps) byte(b);

  std::vector<uint16_t> chars, vks;
  for (const Pairs& table : f.tables) {
    chars.push_back(here());
    for (auto [ch, vk] : table) byte(ch);
    vks.push_back(here());
    for (auto [ch, vk] : table) byte(vk);
  }
  field(kCharOffsets, here());
  for (uint8_t t : f.stateTables) word(chars.at(t));
  field(kVkOffsets, here());
  for (uint8_t t : f.stateTables) word(vks.at(t));
  field(kTableLengths, here());
  for (uint8_t t : f.stateTables) byte(static_cast<uint8_t>(f.tables.at(t).size()));

  field(kDeadKeyCount, f.deadCount);
  if (!f.deadBlock.empty()) {
    field(kDeadKeys, here());
    bytes(f.deadBlock);
  }
  if (f.compositions) {
    field(kCompositions, here());
    word(static_cast<uint16_t>(f.compositions->size()));
    for (const auto& c : *f.compositions) {
      byte(c[0]);
      byte(c[1]);
    }
    for (const auto& c : *f.compositions) byte(c[2]);
  }
  if (!f.ligatureBlock.empty()) {
    field(kLigatures, here());
    bytes(f.ligatureBlock);
  }
  if (!f.kana.empty()) {
    field(kKana, here());
    for (uint16_t k : f.kana) word(k);
  }

  w.U8(0, 'D');
  w.U8(1, 'S');
  for (size_t i = 0; i < 6; ++i) w.U8(2 + i, f.bytes2to7[i]);
  w.U32(kDataHeaderPointer, kFileHeaderSize);
  w.U16(kDataSize, static_cast<uint16_t>(end - kFileHeaderSize));
  return w.Take();
}

uint16_t DataField(const std::vector<uint8_t>& file, size_t field) {
  return ByteReader(file).U16(kFileHeaderSize + field).value_or(0xDEAD);
}

void SetDataField(std::vector<uint8_t>& file, size_t field, uint16_t value) {
  file.at(kFileHeaderSize + field) = static_cast<uint8_t>(value);
  file.at(kFileHeaderSize + field + 1) = static_cast<uint8_t>(value >> 8);
}

uint8_t DataByte(const std::vector<uint8_t>& file, size_t offset) { return file.at(kFileHeaderSize + offset); }

// The {character, VK} pairs that state `s` of a file uses.
Pairs StatePairs(const std::vector<uint8_t>& file, size_t s) {
  const uint16_t chars = DataField(file, kCharOffsets), vks = DataField(file, kVkOffsets);
  const uint16_t charsAt = ByteReader(file).U16(kFileHeaderSize + chars + 2 * s).value();
  const uint16_t vksAt = ByteReader(file).U16(kFileHeaderSize + vks + 2 * s).value();
  const uint8_t length = DataByte(file, DataField(file, kTableLengths) + s);
  Pairs pairs;
  for (size_t i = 0; i < length; ++i) pairs.emplace_back(DataByte(file, charsAt + i), DataByte(file, vksAt + i));
  return pairs;
}

std::vector<uint8_t> Ligature(uint8_t first, uint8_t vk, uint8_t code, std::vector<uint16_t> rest) {
  std::vector<uint8_t> entry{first, vk, code, 0, static_cast<uint8_t>(rest.size())};
  for (uint16_t ch : rest) {
    entry.push_back(static_cast<uint8_t>(ch));
    entry.push_back(static_cast<uint8_t>(ch >> 8));
  }
  return entry;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct ReadResult {
  bool ok = false;
  std::unique_ptr<KeyboardLayout> layout;
  ProcessState state;
  std::vector<std::string> messages;
};

ReadResult Read(std::vector<uint8_t> bytes) {
  ReadResult r;
  r.state.windowsVersion.platformId = kPlatformWin32Windows;
  r.layout = std::make_unique<KeyboardLayout>();
  Clear(*r.layout, r.state);
  MemoryFileSystem files;
  files.Put(kPath, std::move(bytes));
  RecordingDialogs dialogs;
  r.ok = ReadKbdFile(kPath, *r.layout, r.state, {files, dialogs});
  r.messages = dialogs.messages;
  return r;
}

ReadResult Read(const HandFile& f) { return Read(Build(f)); }

// An export of the file: whether it gave markup, and the messages shown.
struct ExportResult {
  bool exported = false;
  std::vector<std::string> messages;
};

ExportResult Export(std::vector<uint8_t> bytes) {
  ProcessState state;
  state.unattended = true;
  MemoryFileSystem files;
  files.Put(kPath, std::move(bytes));
  RecordingDialogs dialogs;
  IconvCodePages codePages;
  testing::FailingLoader loader;
  const bool exported = ExportLayoutFile(kPath, state, LayoutSourcePorts{files, dialogs, codePages, loader}).has_value();
  return {exported, dialogs.messages};
}

// The messages of a read, as an export shows them: the file named under each.
std::vector<std::string> Named(const std::vector<std::string>& messages) {
  std::vector<std::string> named;
  for (const std::string& m : messages) named.push_back(m + "\r" + kPath);
  return named;
}

int DeadFlagCount(const KeyboardLayout& layout) {
  int count = 0;
  for (int n = 1; n <= kKeyCount; ++n)
    for (uint8_t d : layout.Key(n).dead) count += d;
  return count;
}

// ---------------------------------------------------------------- reading

TEST(KbdFileSignature, RecognisesOnlyDS) {
  const struct {
    std::vector<uint8_t> bytes;
    bool kbd;
  } cases[] = {
      {{'D', 'S'}, true}, {{'D', 'S', 0, 0}, true}, {{'D'}, false}, {{}, false}, {{'S', 'D'}, false}, {{'M', 'Z'}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsKbdFile(c.bytes), c.kbd) << c.bytes.size();
}

TEST(KbdFileReader, NormalTableCharacterReachesTheKeyOfItsScanCode) {
  HandFile f;
  f.tables[0] = {{0x61, 0x41}};
  f.scans = {{0x1E, 0x41}};
  const ReadResult r = Read(f);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.layout->Key(27).chars[0], 0x61);
  EXPECT_EQ(r.layout->Key(27).vk, 0x41);
}

TEST(KbdFileReader, ScanCodeVkGivesAKeyFunctionOrItsVk) {
  const struct {
    uint8_t scan, vk;
    int key;
    int32_t mapped;
    uint16_t vkAfter;
  } cases[] = {
      {0x3A, 0x11, 73, 103, 0x14},   // Caps Lock made into Ctrl keeps its own VK
      {0x1E, 0x41, 27, 0, 0x41},
      {0x1E, 0x51, 27, 0, 0x51},     // letters moved around
      {0x2A, 0x10, 67, 105, 0x10},
      {0x36, 0x10, 72, 105, 0x10},   // both Shift keys become the generic Shift
      {0x39, 0x20, 103, 203, 0x20},
      {0x52, 0x2D, 50, 501, 0x60},   // the keypad keeps its digit VKs
      {0x53, 0x2E, 49, 502, 0x6E},
      {0x4E, 0x6B, 60, 704, 0x6B},
  };
  for (const auto& c : cases) {
    HandFile f;
    f.scans = {{c.scan, c.vk}};
    const ReadResult r = Read(f);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.layout->Key(c.key).Mapped, c.mapped) << int(c.scan);
    EXPECT_EQ(r.layout->Key(c.key).vk, c.vkAfter) << int(c.scan);
  }
}

TEST(KbdFileReader, TablesTakeTheirRoleFromTheFirstStateByModifierWeight) {
  HandFile f;
  // Ctrl, Alt, Shift and Caps Lock as modifier bits 0..3.
  f.modifiers = {0x11, 0x12, 0x10, 0x14};
  f.states = {0b0100, 0b0011, 0b0001, 0b0111, 0b1000, 0b0010, 0b0000};
  f.stateTables = {3, 1, 4, 0, 2, 5, 6, 5};
  f.tables = {{{'c', 0x41}}, {{'S', 0x41}}, {{'X', 0x41}}, {{'n', 0x41}},
              {{'g', 0x41}}, {{'K', 0x41}}, {{'L', 0x41}}};
  f.scans = {{0x1E, 0x41}};
  const ReadResult r = Read(f);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  // Caps Lock (weight 8) and Alt alone (1) have no role; the later Normal
  // state does not give table 5 one either.
  const std::array<uint16_t, 16> expected{'n', 'S', 'c', 0, 0, 0, 'g', 'X'};
  EXPECT_EQ(r.layout->Key(27).chars, expected);
}

TEST(KbdFileReader, CapsLockBitmapMarksTheKeysOfItsVks) {
  HandFile f;
  f.scans = {{0x1E, 0x41}, {0x02, 0x31}, {0x10, 0x51}};
  f.capsVks = {0x41, 0x31, 0x99};
  const ReadResult r = Read(f);
  EXPECT_EQ(r.layout->Key(27).CapsAware, 1);
  EXPECT_EQ(r.layout->Key(2).CapsAware, 1);
  EXPECT_EQ(r.layout->Key(15).CapsAware, 0);
}

TEST(KbdFileReader, FourByteDeadKeysSetTheFlagAndTheAccent) {
  HandFile f;
  f.deadBlock = {0x5E, 0x36, 2, 0,  0x7E, 0x31, 5, 0,  0x60, 0xC0, 0, 0,  0xB4, 0x45, 7, 0,
                 0x1D, 0xDD, 4, 0,  0xA8, 0x41, 3, 0,  0xA8, 0x99, 0, 0,  0x00, 0x41, 0, 0,
                 0x2F, 0x6F, 0, 0};
  f.deadCount = 9;
  const ReadResult r = Read(f);
  ASSERT_TRUE(r.ok);
  const struct {
    int key, column;
    uint16_t accent;
  } dead[] = {{7, 1, 0x5E}, {2, 6, 0x7E}, {1, 0, 0x60}, {17, 7, 0xB4}, {26, 2, 0x1D}};
  for (const auto& d : dead) {
    EXPECT_EQ(r.layout->Key(d.key).dead[size_t(d.column)], 1) << d.key;
    EXPECT_EQ(r.layout->Key(d.key).chars[size_t(d.column)], d.accent) << d.key;
  }
  // Unknown state code, unknown VK and accent 0 are skipped; the keypad slash
  // cannot keep characters.
  EXPECT_EQ(DeadFlagCount(*r.layout), 5);
  EXPECT_EQ(r.layout->Key(27).chars[0], 0);
  EXPECT_EQ(r.layout->Key(63).chars[0], 0);
}

TEST(KbdFileReader, AccentListMarksEverySlotHoldingTheAccent) {
  HandFile f;
  f.tables[0] = {{0x5E, 0x36}, {'a', 0x41}};
  f.tables[1] = {{0x60, 0xC0}, {0x5E, 0x41}};
  f.tables[3] = {{0x5E, 0x31}};
  f.scans = {{0x07, 0x36}, {0x1E, 0x41}, {0x29, 0xC0}, {0x02, 0x31}};
  f.deadBlock = {0x5E, 0x60, 0x00, 0x27};  // fourth byte not 0: the list form
  f.deadCount = 4;
  const ReadResult r = Read(f);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.layout->Key(7).dead[0], 1);
  EXPECT_EQ(r.layout->Key(27).dead[1], 1);
  EXPECT_EQ(r.layout->Key(27).dead[0], 0);
  EXPECT_EQ(r.layout->Key(2).dead[6], 1);
  EXPECT_EQ(r.layout->Key(1).dead[1], 1);
  // The 0 in the list does not make every empty slot dead.
  EXPECT_EQ(DeadFlagCount(*r.layout), 4);
}

TEST(KbdFileReader, LigatureBlockFillsCellsByStateCode) {
  std::vector<uint16_t> long40;
  for (int i = 0; i < 39; ++i) long40.push_back(static_cast<uint16_t>(0x0141 + i));
  HandFile f;
  f.ligatureBlock = Concat({Ligature('a', 0x41, 0, {'b', 'c'}), Ligature('x', 0x41, 1, {}),
                            Ligature('y', 0x41, 3, {}), Ligature('z', 0x99, 0, {'q'}),
                            Ligature('d', 0x44, 7, long40), Ligature('e', 0x45, 2, {}), {0, 0},
                            Ligature('f', 0x46, 0, {})});
  const ReadResult r = Read(f);
  ASSERT_TRUE(r.ok);
  const auto& lig = r.layout->ligatures;
  EXPECT_EQ(lig[27][0].length, 3);
  EXPECT_EQ((std::vector<uint16_t>(lig[27][0].chars.begin(), lig[27][0].chars.begin() + 3)),
            (std::vector<uint16_t>{'a', 'b', 'c'}));
  EXPECT_EQ(lig[27][4].length, 1);  // Alt alone
  EXPECT_EQ(lig[27][4].chars[0], 'x');
  EXPECT_EQ(lig[27][8].length, 1);  // any other code
  // Forty characters keep the cell's 32, each the low byte.
  EXPECT_EQ(lig[29][7].length, kMaxLigatureLength);
  EXPECT_EQ(lig[29][7].chars[0], 'd');
  EXPECT_EQ(lig[29][7].chars[31], 0x41 + 30);
  // The entries after the long one and the one without a key still read.
  EXPECT_EQ(lig[17][1].length, 1);  // code 2 is Shift
  EXPECT_EQ(lig[17][1].chars[0], 'e');
  EXPECT_EQ(lig[30][0].length, 0);  // after the end mark
}

TEST(KbdFileReader, KanaValuesGoToTheKeysOfTheScanCodes) {
  HandFile f;
  f.scans = {{0x1E, 0x41}, {0x73, 0xC1}, {0x10, 0x51}};
  f.kana = {0x1234, 0x5678, 0x9ABC};
  const ReadResult r = Read(f);
  EXPECT_EQ(r.layout->Key(27).Kana, 0x1234);
  EXPECT_EQ(r.layout->Key(15).Kana, 0x9ABC);
  EXPECT_EQ(r.layout->Key(28).Kana, 0);
  ASSERT_EQ(r.layout->unresolvedCount, 1);
  EXPECT_EQ(r.layout->unresolved[0].vk, 0xC1);
  EXPECT_EQ(r.layout->unresolved[0].scan, 0x73);
  EXPECT_EQ(r.layout->unresolved[0].extended, 0);
}

TEST(KbdFileReader, CompositionsAndHeaderSettings) {
  HandFile f;
  f.flags = 0x2A;
  f.compositions = {{{0x5E, 'a', 0xE2}, {0x5E, ' ', 0x5E}, {0x7E, 'n', 0xF1}}};
  const ReadResult r = Read(f);
  ASSERT_EQ(r.layout->deadCount, 3);
  EXPECT_EQ(r.layout->deadKeys[2].accent, 0x7E);
  EXPECT_EQ(r.layout->deadKeys[2].base, 'n');
  EXPECT_EQ(r.layout->deadKeys[2].result, 0xF1);
  EXPECT_EQ(r.layout->altgr_used, 1);
  EXPECT_EQ(r.layout->lcid, 0x041A);
  EXPECT_TRUE(r.state.kbdHeader.read);
  EXPECT_EQ(r.state.kbdHeader.flags, 0x2A);
  EXPECT_EQ(r.state.kbdHeader.bytes2to7, f.bytes2to7);
}

TEST(KbdFileReader, MoreCompositionsThanTheLayoutHoldsKeepTheFirst1200) {
  HandFile f;
  f.compositions.emplace();
  for (int i = 0; i < 1300; ++i)
    f.compositions->push_back({uint8_t(i), uint8_t(i >> 8), uint8_t(i * 7)});
  const ReadResult r = Read(f);
  ASSERT_EQ(r.layout->deadCount, kMaxDeadKeys);
  EXPECT_EQ(r.layout->deadKeys[1199].accent, uint8_t(1199));
  EXPECT_EQ(r.layout->deadKeys[1199].base, uint8_t(1199 >> 8));
  EXPECT_EQ(r.layout->deadKeys[1199].result, uint8_t(1199 * 7));
}

TEST(KbdFileReader, MoreThan500UnlistedScanCodesAreDroppedWithOneMessage) {
  HandFile f;
  for (int i = 0; i < 600; ++i) f.scans.emplace_back(0x73, uint8_t(i));
  const ReadResult r = Read(f);
  EXPECT_EQ(r.layout->unresolvedCount, kMaxUnresolved);
  EXPECT_EQ(r.layout->unresolved[499].vk, 499 & 0xFF);
  EXPECT_EQ(r.messages, std::vector<std::string>{kError + "Too many scancodes!"});
  // Every message of the reader is an error: the export stops at it.
  const ExportResult e = Export(Build(f));
  EXPECT_FALSE(e.exported);
  EXPECT_EQ(e.messages, Named(r.messages));
}

TEST(KbdFileReader, NonTypingKeysWithCharactersBecomeAssignedKeys) {
  HandFile f;
  f.tables[0] = {{'x', 0x70}};
  f.scans = {{0x3B, 0x70}, {0x3C, 0x71}};
  const ReadResult r = Read(f);
  EXPECT_EQ(r.layout->Key(90).chars[0], 'x');
  EXPECT_EQ(r.layout->Key(90).Mapped, 0);
  EXPECT_EQ(r.layout->Key(90).AssignedChar, 1);
  EXPECT_EQ(r.layout->Key(91).Mapped, 2);  // F2 without characters keeps its function
  EXPECT_EQ(r.layout->Key(91).AssignedChar, 0);
}

TEST(KbdFileReader, HeaderProblemsAreReportedAndTheReadGoesOn) {
  HandFile f;
  f.tables[0] = {{'a', 0x41}};
  f.scans = {{0x1E, 0x41}};
  const std::vector<uint8_t> good = Build(f);
  auto pointer = [](std::vector<uint8_t> b, uint32_t h) {
    ByteWriter w;
    w.Bytes(0, b);
    w.U32(kDataHeaderPointer, h);
    return w.Take();
  };
  auto size = [](std::vector<uint8_t> b, int delta) {
    const uint16_t s = ByteReader(b).U16(kDataSize).value();
    b[kDataSize] = uint8_t(s + delta);
    b[kDataSize + 1] = uint8_t((s + delta) >> 8);
    return b;
  };
  std::vector<uint8_t> badStateZero = good;
  badStateZero.at(kFileHeaderSize + DataField(good, kStates) - 1) = 1;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<std::string> messages;
    bool charactersRead;
  } cases[] = {
      {"intact", good, {}, true},
      {"stated size short of the end", size(good, -1), {}, true},
      {"stated size one past the end", size(good, 1), {}, true},
      {"stated size two past the end", size(good, 2), {kError + "Data out of KBD!"}, true},
      {"pointer into the file header", pointer(good, 20), {kError + "Problems with dataHdr pointer!"}, false},
      {"pointer far outside", pointer(good, 0xFFFFFFF0u), {kError + "Data out of KBD!"}, false},
      {"header cut short", {'D', 'S', 1, 2, 3, 4, 5, 6}, {kError + "Problems with dataHdr pointer!"}, false},
      {"state 0 holds a modifier", badStateZero, {kError + "Problems with Shift States!"}, true},
  };
  for (const auto& c : cases) {
    const ReadResult r = Read(c.bytes);
    EXPECT_TRUE(r.ok) << c.name;
    EXPECT_EQ(r.messages, c.messages) << c.name;
    EXPECT_EQ(r.layout->Key(27).chars[0] == 'a', c.charactersRead) << c.name;
    // An install reads past the damage (the data file replaces the layout);
    // an export of a damaged file gives nothing.
    const ExportResult e = Export(c.bytes);
    EXPECT_EQ(e.exported, c.messages.empty()) << c.name;
    EXPECT_EQ(e.messages, Named(c.messages)) << c.name;
  }
}

TEST(KbdFileReader, FailuresLeaveTheLayoutAndTheCarriedHeaderAlone) {
  const struct {
    const char* name;
    std::optional<std::vector<uint8_t>> bytes;
    bool readOnly;
    std::string message;
  } cases[] = {
      {"missing", std::nullopt, false,
       kError + "Error while opening: C:\\WINDOWS\\SYSTEM\\KBDUS.KBD. Perhaps it is read-only."},
      {"read-only", Build(HandFile{}), true,
       kError + "Error while opening: C:\\WINDOWS\\SYSTEM\\KBDUS.KBD. Perhaps it is read-only."},
      {"not a kbd file", std::vector<uint8_t>{'M', 'Z', 0, 0}, false, kError + "Not a KBD file"},
      {"empty", std::vector<uint8_t>{}, false, kError + "Not a KBD file"},
  };
  for (const auto& c : cases) {
    ProcessState state;
    auto layout = std::make_unique<KeyboardLayout>();
    ResetToDefault(*layout, state);
    layout->lcid = 0x0409;
    MemoryFileSystem files;
    if (c.bytes) files.Put(kPath, *c.bytes, c.readOnly);
    RecordingDialogs dialogs;
    EXPECT_FALSE(ReadKbdFile(kPath, *layout, state, {files, dialogs})) << c.name;
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(layout->Key(27).chars[0], 'a') << c.name;
    EXPECT_EQ(layout->lcid, 0x0409) << c.name;
    EXPECT_FALSE(state.kbdHeader.read) << c.name;
  }
}

TEST(KbdFileReader, LeavesTheCompanionTablesAlone) {
  ProcessState state;
  state.specialKeys.At(2, 5) = 0x1234;
  state.keyNames.count = 7;
  auto layout = std::make_unique<KeyboardLayout>();
  RecordingDialogs dialogs;
  const std::vector<uint8_t> bytes = Build(HandFile{});
  ASSERT_TRUE(ReadKbdImage(bytes, *layout, state, dialogs));
  EXPECT_EQ(state.specialKeys.At(2, 5), 0x1234);
  EXPECT_EQ(state.keyNames.count, 7);
}

TEST(KbdFileReader, LooksAtNoMoreThan10001Bytes) {
  HandFile f;
  f.compositions.emplace(1200, std::array<uint8_t, 3>{1, 2, 3});
  for (uint8_t vk = 0x41; vk < 0x50; ++vk) {
    const std::vector<uint8_t> entry = Ligature('a', vk, 0, std::vector<uint16_t>(255, 'b'));
    f.ligatureBlock.insert(f.ligatureBlock.end(), entry.begin(), entry.end());
  }
  f.ligatureBlock = Concat({f.ligatureBlock, Ligature('e', 0x5A, 0, {}), {0, 0}});
  std::vector<uint8_t> bytes = Build(f);
  ASSERT_GT(bytes.size(), kKbdReadLimit);
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  RecordingDialogs dialogs;
  ASSERT_TRUE(ReadKbdImage(bytes, *layout, state, dialogs));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(layout->ligatures[38][0].length, 1);
  // Through the file the last ligature lies beyond what is read.
  const ReadResult r = Read(bytes);
  EXPECT_EQ(r.messages, std::vector<std::string>{kError + "Data out of KBD!"});
  EXPECT_EQ(r.layout->ligatures[38][0].length, 0);
}

// Every field of the data header set to values that point outside the file
// or count far more than it holds.
TEST(KbdFileReader, DamagedFieldsNeverReadOutsideTheFile) {
  HandFile f;
  f.tables[0] = {{'a', 0x41}};
  f.scans = {{0x1E, 0x41}, {0x73, 0xC1}};
  f.deadBlock = {0x5E, 0x36, 2, 0};
  f.deadCount = 1;
  f.compositions = {{{0x5E, 'a', 0xE2}}};
  f.ligatureBlock = Concat({Ligature('a', 0x41, 0, {'b'}), {0, 0}});
  f.kana = {1, 2};
  const std::vector<uint8_t> good = Build(f);
  for (size_t field = 0; field < kDataHeaderSize; field += 2) {
    for (uint16_t value : {uint16_t(0), uint16_t(1), uint16_t(0x7FFF), uint16_t(0xFFFF)}) {
      std::vector<uint8_t> bad = good;
      SetDataField(bad, field, value);
      const ReadResult r = Read(bad);
      EXPECT_TRUE(r.ok);
      EXPECT_LE(r.layout->unresolvedCount, kMaxUnresolved);
      EXPECT_LE(r.layout->deadCount, kMaxDeadKeys);
      for (const auto& row : r.layout->ligatures)
        for (const LigatureCell& cell : row) ASSERT_LE(cell.length, kMaxLigatureLength);
    }
  }
  // A scan count far past the file adds no zero entries.
  std::vector<uint8_t> bad = good;
  SetDataField(bad, kScanCount, 0xFFFF);
  SetDataField(bad, kScanCodes, static_cast<uint16_t>(bad.size() - kFileHeaderSize - 3));
  const ReadResult r = Read(bad);
  EXPECT_LE(r.layout->unresolvedCount, 3);
}

TEST(KbdFileReader, EveryTruncationReadsWithoutFault) {
  HandFile f;
  f.tables[0] = {{'a', 0x41}};
  f.scans = {{0x1E, 0x41}};
  f.deadBlock = {0x5E, 0x36, 2, 0};
  f.deadCount = 1;
  f.compositions = {{{0x5E, 'a', 0xE2}}};
  f.ligatureBlock = Concat({Ligature('a', 0x41, 0, {'b'}), {0, 0}});
  f.kana = {1};
  const std::vector<uint8_t> whole = Build(f);
  for (size_t length = 0; length < whole.size(); ++length) {
    const ReadResult r = Read(std::vector<uint8_t>(whole.begin(), whole.begin() + long(length)));
    EXPECT_EQ(r.ok, length >= 2) << length;
    if (length >= kDataSize + 2 && length + 1 < whole.size()) {
      EXPECT_NE(std::find(r.messages.begin(), r.messages.end(), kError + "Data out of KBD!"), r.messages.end())
          << length;
    }
  }
}

// ---------------------------------------------------------------- writing

std::unique_ptr<KeyboardLayout> EmptyLayout() {
  ProcessState state;
  state.windowsVersion.platformId = kPlatformWin32Windows;
  auto layout = std::make_unique<KeyboardLayout>();
  Clear(*layout, state);
  return layout;
}

TEST(KbdFileWriter, FixedStatesAndModifiers) {
  const std::vector<uint8_t> file = BuildKbdFile(*EmptyLayout(), KbdFileHeader{});
  EXPECT_EQ(DataField(file, kModifierCount), 3);
  const uint16_t mods = DataField(file, kModifiers);
  EXPECT_EQ((std::vector<uint8_t>(file.begin() + kFileHeaderSize + mods, file.begin() + kFileHeaderSize + mods + 6)),
            (std::vector<uint8_t>{0x12, 0x80, 0x10, 0x80, 0x11, 0x80}));
  EXPECT_EQ(DataField(file, kLastState), 7);
  // The stored offset is that of state 1; the byte before it is state 0.
  const uint16_t states = DataField(file, kStates);
  for (uint8_t s = 0; s < 8; ++s) EXPECT_EQ(DataByte(file, states - 1 + s), s);
  const uint16_t map = DataField(file, kStateTables);
  EXPECT_EQ((std::vector<uint8_t>(file.begin() + kFileHeaderSize + map, file.begin() + kFileHeaderSize + map + 8)),
            (std::vector<uint8_t>{0, 0, 1, 1, 2, 3, 2, 4}));
  EXPECT_EQ(DataField(file, kKana), 0);
  EXPECT_EQ(DataField(file, kDeadKeys), 0);
  EXPECT_EQ(DataField(file, kDeadKeyCount), 0);
  // Compositions and ligatures are always there, if only as a count and an end mark.
  EXPECT_NE(DataField(file, kCompositions), 0);
  EXPECT_EQ(ByteReader(file).U16(kFileHeaderSize + DataField(file, kCompositions)), 0);
  EXPECT_EQ(ByteReader(file).U16(kFileHeaderSize + DataField(file, kLigatures)), 0);
  EXPECT_EQ(DataField(file, kLigatureCount), 0);
  EXPECT_EQ(DataField(file, kLigatures) + 2u, file.size() - kFileHeaderSize);
}

TEST(KbdFileWriter, EmptyTablesGetOnePlaceholderPair) {
  auto layout = EmptyLayout();
  layout->Key(27).chars[0] = 'a';
  const std::vector<uint8_t> file = BuildKbdFile(*layout, KbdFileHeader{});
  const struct {
    size_t state;
    Pairs pairs;
  } cases[] = {
      {0, {{'a', 0x41}}}, {1, {{'a', 0x41}}},   {2, {{0x21, 0x31}}}, {3, {{0x21, 0x31}}},
      {4, {{0x1B, 0xDB}}}, {5, {{0x1F, 0xBD}}}, {6, {{0x1B, 0xDB}}}, {7, {{0x1F, 0xBD}}},
  };
  for (const auto& c : cases) EXPECT_EQ(StatePairs(file, c.state), c.pairs) << c.state;
}

TEST(KbdFileWriter, FlagsComeFromTheFileReadLast) {
  const struct {
    bool read;
    uint16_t flags;
    uint8_t altgr;
    uint16_t written;
  } cases[] = {
      {false, 0x0A, 0, 0x22}, {false, 0x0A, 1, 0x2A},
      {true, 0x0A, 0, 0x22},  // the file read had AltGr; the layout no longer has
      {true, 0x4B, 0, 0x63},  {true, 0x43, 1, 0x6B}, {true, 0xFFFF, 0, 0xFFF7},
  };
  for (const auto& c : cases) {
    auto layout = EmptyLayout();
    layout->altgr_used = c.altgr;
    KbdFileHeader header;
    header.read = c.read;
    header.flags = c.flags;
    EXPECT_EQ(DataField(BuildKbdFile(*layout, header), kFlags), c.written) << c.flags << " " << int(c.altgr);
  }
}

TEST(KbdFileWriter, FileHeaderCarriesTheBytesOfTheFileReadLast) {
  HandFile f;
  ReadResult r = Read(f);
  r.layout->lcid = 0x0407;  // the carried language wins
  const std::vector<uint8_t> file = BuildKbdFile(*r.layout, r.state.kbdHeader);
  EXPECT_EQ(file[0], 'D');
  EXPECT_EQ(file[1], 'S');
  EXPECT_TRUE(std::equal(f.bytes2to7.begin(), f.bytes2to7.end(), file.begin() + 2));
  EXPECT_EQ(ByteReader(file).U32(kDataHeaderPointer), kFileHeaderSize);
  EXPECT_EQ(ByteReader(file).U16(kDataSize), file.size() - kFileHeaderSize);
  EXPECT_TRUE(std::all_of(file.begin() + 14, file.begin() + 28, [](uint8_t b) { return b == 0; }));

  // Without a file read before, the layout's own language.
  auto fresh = EmptyLayout();
  fresh->lcid = 0x0415;
  const std::vector<uint8_t> unread = BuildKbdFile(*fresh, KbdFileHeader{});
  EXPECT_EQ((std::vector<uint8_t>(unread.begin() + 2, unread.begin() + 8)),
            (std::vector<uint8_t>{0x15, 0x04, 0, 0, 0, 0}));
}

TEST(KbdFileWriter, ScanCodeEntriesForTypingMappedAndUnlistedKeys) {
  auto layout = EmptyLayout();
  layout->Key(27).chars = {'a', 'A'};
  layout->Key(27).CapsAware = 1;
  layout->Key(2).chars = {'1', '!'};
  layout->Key(73).Mapped = 103;  // Caps Lock as Left Ctrl
  layout->Key(69).Mapped = 102;  // Right Alt has no generic VK
  layout->Key(28).Mapped = 103;  // a mapped key's characters are not written
  layout->Key(28).chars[0] = 's';
  layout->unresolvedCount = 3;
  layout->unresolved[0] = {0xC1, 0x73, 0};
  layout->unresolved[1] = {0x5F, 0x5F, 1};  // prefixed: the format has no room for it
  layout->unresolved[2] = {0x99, 0x1E, 0};  // a key's scan code
  const std::vector<uint8_t> file = BuildKbdFile(*layout, KbdFileHeader{});
  const size_t count = DataField(file, kScanCount);
  std::vector<std::array<uint8_t, 3>> entries;
  for (size_t i = 0; i < count; ++i)
    entries.push_back({DataByte(file, DataField(file, kScanCodes) + i), DataByte(file, DataField(file, kScanVks) + i),
                       DataByte(file, DataField(file, kThirdArray) + i)});
  // Keys 2, 27, 28, 69 and 73 in order, then the unlisted scan code.
  const std::vector<std::array<uint8_t, 3>> expected{
      {0x02, 0x31, '1'}, {0x1E, 0x41, 'A'}, {0x1F, 0x11, 0}, {0x38, 0xFF, 0}, {0x3A, 0x11, 0}, {0x73, 0xC1, 0}};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(StatePairs(file, 0), (Pairs{{'1', 0x31}, {'a', 0x41}}));
  const uint16_t caps = DataField(file, kCapsLock);
  for (size_t i = 0; i < 32; ++i) EXPECT_EQ(DataByte(file, caps + i), i == 8 ? 0x02 : 0) << i;
}

TEST(KbdFileWriter, WritesTheWholeFileOnceOrWarns) {
  const struct {
    FileWriter::Outcome outcome;
    bool ok;
    std::vector<std::string> messages;
  } cases[] = {
      {FileWriter::Outcome::Written, true, {}},
      {FileWriter::Outcome::NotOpened, false, {"Could not write to the file."}},
      {FileWriter::Outcome::WriteFailed, false, {"Could not write to the file."}},
  };
  for (const auto& c : cases) {
    auto layout = EmptyLayout();
    layout->Key(27).chars[0] = 'a';
    ProcessState state;
    ScriptedWriter files(c.outcome);
    RecordingDialogs dialogs;
    EXPECT_EQ(WriteKbdFile(kPath, *layout, state, {files, dialogs}), c.ok);
    EXPECT_EQ(dialogs.messages, c.messages);
    EXPECT_EQ(files.calls, (std::vector<std::string>{std::string("attributes ") + kPath + " 32",
                                                     std::string("write ") + kPath}));
    EXPECT_EQ(files.written, BuildKbdFile(*layout, state.kbdHeader));
  }
}

// ---------------------------------------------------------------- round trips

// What the format carries of a layout. It has no room for: slots 3 to 5 and
// the Caps Lock set 8 to 15, ShiftLock, CapsAware2, ShiftLockOrig, LRMRLM,
// prefixed unresolved scan codes, ligature columns other than the five
// states, the high bytes of characters, the source library's ligature
// fields, and key 63's characters. Kana values are read but, as in layout
// libraries, never written.
void ExpectSameCarried(const KeyboardLayout& a, const KeyboardLayout& b) {
  for (int n = 1; n <= kKeyCount; ++n) {
    const KeyRecord &x = a.Key(n), &y = b.Key(n);
    for (int c : {0, 1, 2, 6, 7}) {
      EXPECT_EQ(x.chars[size_t(c)], y.chars[size_t(c)]) << "key " << n << " slot " << c;
      EXPECT_EQ(x.dead[size_t(c)], y.dead[size_t(c)]) << "key " << n << " slot " << c;
      const LigatureCell &lx = a.ligatures[size_t(n)][size_t(c)], &ly = b.ligatures[size_t(n)][size_t(c)];
      ASSERT_EQ(lx.length, ly.length) << "ligature " << n << " " << c;
      for (int i = 0; i < lx.length; ++i) EXPECT_EQ(lx.chars[size_t(i)], ly.chars[size_t(i)]);
    }
    EXPECT_EQ(x.vk, y.vk) << "key " << n;
    EXPECT_EQ(x.CapsAware, y.CapsAware) << "key " << n;
    EXPECT_EQ(x.Mapped, y.Mapped) << "key " << n;
    EXPECT_EQ(x.AssignedChar, y.AssignedChar) << "key " << n;
  }
  ASSERT_EQ(a.deadCount, b.deadCount);
  for (int i = 0; i < a.deadCount; ++i) {
    EXPECT_EQ(a.deadKeys[size_t(i)].accent, b.deadKeys[size_t(i)].accent);
    EXPECT_EQ(a.deadKeys[size_t(i)].base, b.deadKeys[size_t(i)].base);
    EXPECT_EQ(a.deadKeys[size_t(i)].result, b.deadKeys[size_t(i)].result);
  }
  EXPECT_EQ(a.altgr_used, b.altgr_used);
  EXPECT_EQ(a.lcid, b.lcid);
}

std::unique_ptr<KeyboardLayout> SampleLayout() {
  ProcessState state;
  state.windowsVersion.platformId = kPlatformWin32Windows;
  auto l = std::make_unique<KeyboardLayout>();
  ResetToDefault(*l, state);
  l->Key(17).chars[6] = 0x80;
  l->Key(17).chars[7] = 0xA4;
  l->Key(25).chars[2] = 0x1B;
  std::swap(l->Key(15).vk, l->Key(27).vk);
  l->Key(2).CapsAware = 1;
  l->Key(7).dead[1] = 1;  // ^
  l->Key(2).chars[6] = 0x7E;
  l->Key(2).dead[6] = 1;
  l->Key(37).dead[0] = 1;  // '
  l->Key(20).chars[7] = 0xB4;
  l->Key(20).dead[7] = 1;
  l->Key(26).chars[2] = 0x1D;
  l->Key(26).dead[2] = 1;
  const DeadKeyEntry compositions[] = {{0x5E, 'a', 0xE2}, {0x5E, ' ', 0x5E}, {0x7E, 'n', 0xF1}, {0x27, 'e', 0xE9}};
  for (const DeadKeyEntry& d : compositions) l->deadKeys[size_t(l->deadCount++)] = d;
  l->ligatures[20][0] = {2, {'a', 'b'}};
  l->ligatures[21][7].length = kMaxLigatureLength;
  for (int i = 0; i < kMaxLigatureLength; ++i) l->ligatures[21][7].chars[size_t(i)] = uint16_t(0x41 + i);
  l->ligatures[22][2] = {1, {'z'}};
  l->Key(90).chars[0] = 'x';  // F1 typing a character
  l->Key(90).AssignedChar = 1;
  l->Key(73).Mapped = 103;  // Caps Lock as Ctrl
  l->altgr_used = 1;
  l->lcid = 0x041A;
  l->unresolvedCount = 3;
  l->unresolved[0] = {0xC1, 0x73, 0};
  l->unresolved[1] = {0x5F, 0x5F, 1};
  l->unresolved[2] = {0xEB, 0x7B, 0};
  return l;
}

TEST(KbdFileRoundTrip, ModelThroughWrittenFileAndBack) {
  const auto model = SampleLayout();
  ProcessState writing;
  ScriptedWriter files(FileWriter::Outcome::Written);
  RecordingDialogs dialogs;
  ASSERT_TRUE(WriteKbdFile(kPath, *model, writing, {files, dialogs}));
  const ReadResult r = Read(files.written);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  ExpectSameCarried(*model, *r.layout);
  ASSERT_EQ(r.layout->unresolvedCount, 2);
  EXPECT_EQ(r.layout->unresolved[0].scan, 0x73);
  EXPECT_EQ(r.layout->unresolved[0].vk, 0xC1);
  EXPECT_EQ(r.layout->unresolved[1].scan, 0x7B);
  EXPECT_EQ(r.layout->unresolved[1].vk, 0xEB);
  EXPECT_EQ(DataField(files.written, kDeadKeyCount), 5);
  EXPECT_EQ(DataField(files.written, kLigatureCount), 3);
}

// Num / shares its scan code's low byte with the "/" key: written as one
// more entry for that byte, it turned the "/" key into a second Num /.
TEST(KbdFileRoundTrip, ExtendedKeysLeaveThePlainKeysScanCodesAlone) {
  ProcessState state;
  auto model = std::make_unique<KeyboardLayout>();
  ResetToDefault(*model, state);
  const ReadResult r = Read(BuildKbdFile(*model, state.kbdHeader));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.layout->Key(47).vk, 0xBF);
  EXPECT_EQ(r.layout->Key(47).chars[0], u'/');
  EXPECT_EQ(r.layout->Key(47).chars[1], u'?');
  EXPECT_EQ(r.layout->Key(28).chars[0], u's');
}

TEST(KbdFileRoundTrip, ReadWriteReadIsStable) {
  HandFile f;
  f.flags = 0x4B;
  f.tables[0] = {{'a', 0x41}, {0x5E, 0x36}, {'x', 0x70}};
  f.tables[1] = {{'A', 0x41}};
  f.tables[3] = {{0x80, 0x45}};
  f.scans = {{0x1E, 0x41}, {0x07, 0x36}, {0x12, 0x45}, {0x3B, 0x70}, {0x3A, 0x11}, {0x73, 0xC1}};
  f.capsVks = {0x41};
  f.deadBlock = {0x5E, 0x60, 0x27, 0x7E};
  f.deadCount = 4;
  f.compositions = {{{0x5E, 'a', 0xE2}}};
  f.ligatureBlock = Concat({Ligature('a', 0x41, 0, {'e'}), {0, 0}});
  const ReadResult first = Read(f);
  ASSERT_TRUE(first.ok);
  const std::vector<uint8_t> written = BuildKbdFile(*first.layout, first.state.kbdHeader);
  const ReadResult second = Read(written);
  ExpectSameCarried(*first.layout, *second.layout);
  EXPECT_EQ(second.state.kbdHeader.bytes2to7, f.bytes2to7);
  EXPECT_EQ(second.state.kbdHeader.flags, 0x6B);
  EXPECT_EQ(BuildKbdFile(*second.layout, second.state.kbdHeader), written);
}

TEST(KbdFileRoundTrip, AFullLayoutFitsTheFormat) {
  auto l = EmptyLayout();
  for (int n = 1; n <= kKeyCount; ++n) {
    for (int c : {0, 1, 2, 6, 7}) {
      l->Key(n).chars[size_t(c)] = uint16_t(0x80 + c);
      l->Key(n).dead[size_t(c)] = 1;
      l->ligatures[size_t(n)][size_t(c)].length = kMaxLigatureLength;
      l->ligatures[size_t(n)][size_t(c)].chars.fill(uint16_t('a' + c));
    }
  }
  l->deadCount = kMaxDeadKeys;
  for (auto& d : l->deadKeys) d = {0x5E, 'a', 0xE2};
  l->unresolvedCount = kMaxUnresolved;
  for (auto& u : l->unresolved) u = {0xC1, 0x73, 0};
  const std::vector<uint8_t> file = BuildKbdFile(*l, KbdFileHeader{});
  ASSERT_LE(file.size(), kFileHeaderSize + 0xFFFF);
  EXPECT_EQ(ByteReader(file).U16(kDataSize), file.size() - kFileHeaderSize);
  EXPECT_EQ(DataField(file, kDeadKeyCount), kKeyCount * 5);
  EXPECT_EQ(DataField(file, kLigatureCount), kKeyCount * 5);
  int plainKeys = 0;  // keys with the 0xE0 prefix have no scan-code entry
  for (const KeyTableRow& row : KeyTable()) plainKeys += (row.scan & kE0Prefix) == 0;
  EXPECT_EQ(DataField(file, kScanCount), plainKeys + kMaxUnresolved);

  ProcessState state;
  auto back = std::make_unique<KeyboardLayout>();
  RecordingDialogs dialogs;
  ASSERT_TRUE(ReadKbdImage(file, *back, state, dialogs));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(back->deadCount, kMaxDeadKeys);
  EXPECT_EQ(back->deadKeys[kMaxDeadKeys - 1].result, 0xE2);
  EXPECT_EQ(back->unresolvedCount, kMaxUnresolved);
  EXPECT_EQ(back->ligatures[27][7].length, kMaxLigatureLength);
  EXPECT_EQ(back->ligatures[27][7].chars[31], 'a' + 7);
  EXPECT_EQ(back->Key(27).chars[7], 0x87);
  EXPECT_EQ(back->Key(27).dead[7], 1);
}

}  // namespace
}  // namespace tastora
