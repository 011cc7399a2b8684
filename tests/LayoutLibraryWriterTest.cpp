// The layout library writer: its tables, its 32-bit and 64-bit images, the
// files it writes, and what real readers make of them (our reader, the
// MinGW objdump, and the Windows loader under Wine). Every image written here
// also passes the layout check.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "datafile/LayoutDataFile.h"
#include "format/EntryCode.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/FileWriter.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/HostFileWriter.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/LayoutCheck.h"
#include "app/cli/Program.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"
#include "tests/WineHost.h"
#include "writer/LayoutLibraryWriter.h"
#include "writer/LayoutTables.h"
#include "writer/PeImage.h"
#include "writer/UnassignedKeys.h"

namespace tastora {
namespace {

using testing::TempDir;
using testing::ReadHost;
using testing::WindowsPath;

using testing::MemoryFileSystem;
using testing::FailingLoader;
using testing::RecordingDialogs;
using testing::ScriptedWriter;

namespace fs = std::filesystem;

using Layout = std::unique_ptr<KeyboardLayout>;

// ---------------------------------------------------------------------------
// Layouts to write.

struct Source {
  std::string name;
  Layout layout = std::make_unique<KeyboardLayout>();
  ProcessState state;
};

Source UsLayout() {
  Source s;
  s.name = "us";
  ResetToDefault(*s.layout, s.state);
  NormaliseUnassignedKeys(*s.layout, s.state);
  return s;
}

// A small layout with one of everything: AltGr, a dead key, a Caps Lock set,
// a ligature, a key given another key's function, unresolved scan codes.
Source FeaturesLayout() {
  Source s = UsLayout();
  s.name = "features";
  KeyboardLayout& l = *s.layout;
  l.altgr_used = 1;
  l.LRMRLM = 1;
  KeyRecord& a = l.Key(27);
  a.chars[6] = 0xE6;
  a.chars[7] = 0xC6;
  a.CapsAware2 = 1;
  KeyRecord& quote = l.Key(37);
  quote.chars[1] = 0xA8;
  quote.dead[1] = 1;
  l.deadKeys[0] = {0xA8, 'o', 0xF6};
  l.deadKeys[1] = {0xA8, 'a', 0xE4};
  l.deadKeys[2] = {0xA8, ' ', 0xA8};
  l.deadCount = 3;
  KeyRecord& semicolon = l.Key(36);
  semicolon.ShiftLock = 1;
  semicolon.chars[8] = 0xDC;
  semicolon.chars[9] = 0xC8;
  l.ligatures[17][6] = {3, {'f', 'f', 'i'}};
  l.ligatures[17][7] = {2, {'F', 'F'}};
  l.Key(73).Mapped = 103;  // Caps Lock is Left Ctrl
  l.unresolved[0] = {0x0C, 0x59, 0};
  l.unresolved[1] = {0x2C, 0x37, 1};
  l.unresolvedCount = 2;
  return s;
}

// As `tastora build` and the install prepare a data file's layout.
Source Example(const std::string& path) {
  Source s;
  s.name = fs::path(path).stem().string();
  s.state.unattended = true;
  HostFileSystem files;
  RecordingDialogs dialogs;
  IconvCodePages codePages;
  ResetToDefault(*s.layout, s.state);
  EXPECT_TRUE(ImportLayoutFile(path, *s.layout, s.state, DataFilePorts{files, dialogs, codePages})) << path;
  AdjustNumpad(*s.layout, s.state);
  NormaliseUnassignedKeys(*s.layout, s.state);
  return s;
}

std::vector<Source> Examples() {
  std::vector<Source> all;
  for (const std::string& path : testing::ExampleFiles()) all.push_back(Example(path));
  return all;
}

std::u16string Repeat(char16_t ch, size_t n) { return std::u16string(n, ch); }

// Beyond every working capacity a writer might keep: 1200 dead keys,
// ligatures in every cell of `ligatureSlots`, both name tables full, three
// rows for every key, so the data section spans many pages.
Source StressLayout(size_t nameLength, std::vector<int> ligatureSlots = {0, 1, 2, 6, 7}) {
  Source s = UsLayout();
  s.name = "stress";
  KeyboardLayout& l = *s.layout;
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& key = l.Key(n);
    if (n >= kFirstNonTypingKey) {
      if (key.vk == 0x09 || key.vk == 0x08 || key.vk == 0x1B || key.vk == 0x0D || key.vk == 0x20) continue;
      key.AssignedChar = 1;
    }
    for (int slot : {0, 1, 2, 6, 7, 8, 9, 10, 14, 15}) key.chars[size_t(slot)] = char16_t(0x100 + n + slot);
    key.ShiftLock = 1;
    key.dead[9] = 1;  // a dead character in the Caps Lock set: three rows
    for (int slot : ligatureSlots) {
      LigatureCell& cell = l.ligatures[size_t(n)][size_t(slot)];
      cell.length = kMaxLigatureLength;
      for (int c = 0; c < kMaxLigatureLength; ++c) cell.chars[size_t(c)] = char16_t('a' + (n + c) % 26);
    }
  }
  for (int i = 0; i < kMaxDeadKeys; ++i) l.deadKeys[size_t(i)] = {uint16_t(0x300 + i % 40), uint16_t(0x41 + i / 40), uint16_t(0x1E00 + i)};
  l.deadCount = kMaxDeadKeys;
  for (KeyNameTable* table : {&s.state.keyNames, &s.state.extendedKeyNames}) {
    table->count = kMaxKeyNames;
    for (int i = 0; i < kMaxKeyNames; ++i) table->entries[size_t(i)] = {uint16_t(1 + i % 255), Repeat(u'N', nameLength)};
  }
  return s;
}

// ---------------------------------------------------------------------------
// Reading back.


struct ReadBack {
  Layout layout = std::make_unique<KeyboardLayout>();
  ProcessState state;
  std::vector<std::string> messages;
};

// Through our loader, or through the file walk when `loads` is false. The
// non-typing keys are normalised as before a write: a library hands the
// characters of Tab, Enter and the like to the special-key table.
ReadBack Read(const std::vector<uint8_t>& image, bool loads) {
  MemoryFileSystem files;
  files.Put("layout.dll", image);
  PeImageLoader offline(files);
  FailingLoader failing;
  RecordingDialogs dialogs;
  ReadBack out;
  Clear(*out.layout, out.state);
  ReadLayoutLibrary("layout.dll", *out.layout, out.state,
                    {files, loads ? static_cast<LibraryLoader&>(offline) : failing, dialogs});
  NormaliseUnassignedKeys(*out.layout, out.state);
  out.messages = dialogs.messages;
  return out;
}

// What a layout library can carry of a layout, as the reader gives it back;
// everything else is cleared on both sides before they are compared:
// - Kana and lcid have no place in the tables;
// - the ligature header fields describe the library a layout was read from;
// - characters in slots 3 to 5 (Shift+Ctrl, Alt, Shift+Alt) have no column,
//   nor have slots 8 to 15 of a key without a Caps Lock set;
// - a key given another key's function has no character row, so its
//   characters, Caps Lock flags and ligatures stay behind;
// - ligatures in slots 3 to 5 have no column, and slot 8 is never written;
// - the keypad slash's VK is the 0xE0 table's entry for its scan code;
// - unresolved scan codes come back in table order (compared as sets apart).
void KeepWhatALibraryCarries(KeyboardLayout& l) {
  l.unresolvedCount = 0;
  l.unresolved = {};
  if (l.Key(63).Mapped == 0) l.Key(63).vk = ExpectedVk(0);
  l.lcid = 0;
  l.ligatureWidth = 0;
  l.ligatureEntrySize = 0;
  l.ligatureSource = {};
  for (int n = 1; n <= kKeyCount; ++n) {
    KeyRecord& key = l.Key(n);
    key.Kana = 0;
    for (int slot = 3; slot <= 5; ++slot) key.chars[size_t(slot)] = key.dead[size_t(slot)] = 0;
    if (key.ShiftLock == 0)
      for (int slot = 8; slot < kSlotCount; ++slot) key.chars[size_t(slot)] = key.dead[size_t(slot)] = 0;
    auto& cells = l.ligatures[size_t(n)];
    for (int slot : {3, 4, 5, 8}) cells[size_t(slot)] = {};
    if (key.Mapped != 0) {
      key.chars = {};
      key.dead = {};
      key.CapsAware = key.CapsAware2 = key.ShiftLock = 0;
      cells = {};
    }
  }
}

// Field by field, naming each difference.
std::vector<std::string> Differences(const KeyboardLayout& a, const KeyboardLayout& b) {
  std::vector<std::string> out;
  auto diff = [&](bool same, const std::string& what) {
    if (!same) out.push_back(what);
  };
  for (int n = 1; n <= kKeyCount; ++n) {
    const KeyRecord& x = a.Key(n);
    const KeyRecord& y = b.Key(n);
    const std::string k = "key " + std::to_string(n) + " ";
    for (int s = 0; s < kSlotCount; ++s) {
      diff(x.chars[size_t(s)] == y.chars[size_t(s)], k + "chars[" + std::to_string(s) + "]");
      diff(x.dead[size_t(s)] == y.dead[size_t(s)], k + "dead[" + std::to_string(s) + "]");
    }
    diff(x.CapsAware == y.CapsAware, k + "CapsAware");
    diff(x.CapsAware2 == y.CapsAware2, k + "CapsAware2");
    diff(x.ShiftLock == y.ShiftLock, k + "ShiftLock");
    diff(x.vk == y.vk, k + "vk");
    diff(x.Mapped == y.Mapped, k + "Mapped");
    diff(x.AssignedChar == y.AssignedChar, k + "AssignedChar");
    diff(x.index == y.index, k + "index");
    diff(x.Kana == y.Kana, k + "Kana");
    for (int c = 0; c < kLigatureColumns; ++c) {
      const LigatureCell& p = a.ligatures[size_t(n)][size_t(c)];
      const LigatureCell& q = b.ligatures[size_t(n)][size_t(c)];
      diff(p.length == q.length && std::equal(p.chars.begin(), p.chars.begin() + std::clamp(p.length, 0, 32), q.chars.begin()),
           k + "ligature " + std::to_string(c));
    }
  }
  diff(a.deadCount == b.deadCount, "deadCount");
  for (int i = 0; i < std::min(a.deadCount, b.deadCount); ++i) {
    const DeadKeyEntry& x = a.deadKeys[size_t(i)];
    const DeadKeyEntry& y = b.deadKeys[size_t(i)];
    diff(x.accent == y.accent && x.base == y.base && x.result == y.result, "dead key " + std::to_string(i));
  }
  diff(a.altgr_used == b.altgr_used, "altgr_used");
  diff(a.ShiftLockOrig == b.ShiftLockOrig, "ShiftLockOrig");
  diff(a.LRMRLM == b.LRMRLM, "LRMRLM");
  diff(a.lcid == b.lcid, "lcid");
  diff(a.unresolvedCount == b.unresolvedCount, "unresolvedCount");
  for (int i = 0; i < std::min(a.unresolvedCount, b.unresolvedCount); ++i) {
    const UnresolvedKey& x = a.unresolved[size_t(i)];
    const UnresolvedKey& y = b.unresolved[size_t(i)];
    diff(x.vk == y.vk && x.scan == y.scan && x.extended == y.extended, "unresolved " + std::to_string(i));
  }
  return out;
}

// The reader keeps the first 63 characters of a name (the names here have
// no control characters); it stops at the first entry after the first whose
// scan code is 0.
using NameList = std::vector<std::pair<uint16_t, std::u16string>>;

NameList NamesAsRead(const KeyNameTable& t) {
  NameList names;
  for (int i = 0; i < t.count; ++i) {
    if (t.entries[size_t(i)].scan == 0) {
      if (i == 0) continue;
      break;
    }
    names.emplace_back(t.entries[size_t(i)].scan, t.entries[size_t(i)].name.substr(0, 63));
  }
  return names;
}

NameList Names(const KeyNameTable& t) {
  NameList names;
  for (int i = 0; i < t.count; ++i) names.emplace_back(t.entries[size_t(i)].scan, t.entries[size_t(i)].name);
  return names;
}

// ---------------------------------------------------------------------------
// The tables as text, through the layout check's walk.

struct Tables {
  SerialisedTables serialised;
  testing::TablesWalk walk;

  // The indented lines under the first line that starts with `header` (and
  // holds `also`).
  std::vector<std::string> Block(const std::string& header, const std::string& also = "") const {
    std::istringstream in(walk.dump);
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
      if (inside && line.rfind(' ', 0) != 0) break;
      if (inside) lines.push_back(line);
      if (!inside && line.rfind(header, 0) == 0 && line.find(also) != std::string::npos) inside = true;
    }
    return lines;
  }
  std::vector<std::string> Rows(int width) const {
    return Block("table ", " modifications " + std::to_string(width) + " ");
  }
  std::string Line(const std::string& header) const {
    std::istringstream in(walk.dump);
    for (std::string line; std::getline(in, line);)
      if (line.rfind(header, 0) == 0) return line;
    return {};
  }
  uint16_t ScanCode(unsigned s) const {
    std::vector<std::string> lines = Block("scan codes");
    std::istringstream values(lines.at(s / 16));
    std::string v;
    for (unsigned i = 0; i <= s % 16; ++i) values >> v;
    return uint16_t(std::stoul(v, nullptr, 16));
  }
};

unsigned ReferenceWidth(ImageKind kind) { return kind == ImageKind::X86Native ? 4 : 8; }

Tables Serialise(const KeyboardLayout& layout, const ProcessState& state, ImageKind kind = ImageKind::X86) {
  Tables t{SerialiseLayoutTables(layout, state, kind, ImageBaseOf(kind)), {}};
  const uint64_t start = uint64_t{ImageBaseOf(kind)} + DataSection::kStartRva;
  const auto bytes = t.serialised.section.bytes();
  t.walk = testing::WalkLayoutTables(
      [&](uint64_t address, std::span<uint8_t> out) {
        if (address < start || address - start + out.size() > bytes.size()) return false;
        std::copy_n(bytes.begin() + long(address - start), out.size(), out.begin());
        return true;
      },
      uint64_t{ImageBaseOf(kind)} + t.serialised.tablesRva, ReferenceWidth(kind));
  return t;
}

LayoutImage BuildImage(ImageKind kind, const Source& s, std::string_view name) {
  switch (kind) {
    case ImageKind::X86:
      return BuildLayoutImage32(*s.layout, s.state, name);
    case ImageKind::X64:
      return BuildLayoutImage64(*s.layout, s.state, name);
    case ImageKind::Arm64:
      return BuildLayoutImageArm64(*s.layout, s.state, name);
    case ImageKind::X86Native:
      break;
  }
  return BuildLayoutImageNative32(*s.layout, s.state, name);
}

bool Contains(const std::vector<std::string>& lines, const std::vector<std::string>& run) {
  return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

bool AnyHas(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// ---------------------------------------------------------------------------
// Tables.

TEST(LayoutTables, KeysBecomeRowsAndScanCodes) {
  struct Case {
    const char* what;
    std::function<void(KeyboardLayout&, ProcessState&)> change;
    std::function<void(const Tables&)> expect;
  };
  const Case cases[] = {
      {"US a and 1", [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(2), {" 41 01 0061 0041"}));
         EXPECT_TRUE(Contains(t.Rows(2), {" 31 00 0031 0021"}));
         EXPECT_EQ(t.Rows(2).front(), " df 00 f000 f000");  // the seed rows come first
         EXPECT_EQ(t.Rows(3).front(), " 03 00 0003 0003 0003");
       }},
      {"no dead keys still has a dead-key table",
       [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) {
         // Two zero entries, then the next item: the VK_TO_BIT list.
         const std::string dead = t.Line("dead keys @-");
         const std::string bits = t.Block("modifiers").front();
         ASSERT_FALSE(dead.empty());
         EXPECT_TRUE(t.Block("dead keys").empty());
         const unsigned long deadBack = std::stoul(dead.substr(dead.find('@') + 2), nullptr, 16);
         const unsigned long bitsBack = std::stoul(bits.substr(bits.find('@') + 2), nullptr, 16);
         EXPECT_EQ(deadBack - bitsBack, 16u);
       }},
      {"dead Shift character without a Caps Lock set",
       [](KeyboardLayout& l, ProcessState&) {
         l.Key(37).chars[1] = 0xA8;
         l.Key(37).dead[1] = 1;
       },
       [](const Tables& t) { EXPECT_TRUE(Contains(t.Rows(2), {" de 00 0027 f001", " ff 00 f000 00a8"})); }},
      {"Caps Lock set without dead characters",
       [](KeyboardLayout& l, ProcessState&) {
         l.Key(36).ShiftLock = 1;
         l.Key(36).chars[8] = 0xDC;
         l.Key(36).chars[9] = 0xC8;
       },
       [](const Tables& t) { EXPECT_TRUE(Contains(t.Rows(2), {" ba 02 003b 003a", " ba 00 00dc 00c8"})); }},
      {"Caps Lock set with a dead character: exactly two rows",
       [](KeyboardLayout& l, ProcessState&) {
         KeyRecord& k = l.Key(36);
         k.ShiftLock = 1;
         k.chars[1] = 0xA8;
         k.dead[1] = 1;
         k.chars[8] = 0xDC;
         k.chars[9] = 0xC8;
       },
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(2), {" ba 02 003b f001", " ff 02 00dc 00a8", " de 00 0027 0022"}));
       }},
      {"Caps Lock set with a dead character of its own: its accents in a third row",
       [](KeyboardLayout& l, ProcessState&) {
         KeyRecord& k = l.Key(36);
         k.ShiftLock = 1;
         k.chars[8] = 0xDC;
         k.chars[9] = 0xB4;
         k.dead[9] = 1;
       },
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(2), {" ba 02 003b 003a", " ba 00 00dc f001", " ff 00 f000 00b4"}));
       }},
      {"AltGr only: width 3, no Ctrl column, empty slots are WCH_NONE",
       [](KeyboardLayout& l, ProcessState&) { l.Key(27).chars = {0, 0, 0, 0, 0, 0, 0xE6}; },
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(3), {" 41 01 f000 f000 00e6"}));
         EXPECT_FALSE(AnyHas(t.Rows(2), " 41 "));
       }},
      {"Shift+Ctrl, Alt and Shift+Alt get columns after Ctrl",
       [](KeyboardLayout& l, ProcessState& s) {
         l.Key(27).chars = {0, 0, 0, 0x33, 0x44, 0x55};
         s.patch.ShiftCtrlPatch = true;  // not with Shift+Ctrl characters of its own
       },
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(8), {" 41 01 f000 f000 f000 f000 f000 0033 0044 0055"}));
         const std::string line = t.Block("modifiers").front();
         EXPECT_EQ(line.substr(line.find(" max")), " max 7 numbers 00 01 04 05 06 07 02 03");
       }},
      {"only the states in use get a column",
       [](KeyboardLayout& l, ProcessState&) { l.Key(27).chars[4] = 0x44; },
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(6), {" 41 01 0061 0041 f000 f000 f000 0044"}));
         const std::string line = t.Block("modifiers").front();
         EXPECT_EQ(line.substr(line.find(" max")), " max 7 numbers 00 01 04 0f 05 0f 02 03");
       }},
      {"a key typing with VK_OEM_8 takes the place of the seed row",
       [](KeyboardLayout& l, ProcessState&) {
         l.Key(12).vk = 0xDF;
         l.Key(12).chars = {'!', 0xA7};
       },
       [](const Tables& t) {
         EXPECT_TRUE(Contains(t.Rows(2), {" df 00 0021 00a7"}));
         EXPECT_FALSE(AnyHas(t.Rows(2), " df 00 f000"));
         EXPECT_TRUE(Contains(t.Rows(3), {" 03 00 0003 0003 0003"}));  // the other seed stays
       }},
      {"a keypad ligature carries the VK of its row",
       [](KeyboardLayout& l, ProcessState&) {
         l.Key(57).chars[0] = 0xF002;
         l.ligatures[57][0] = {2, {'7', '7'}};
       },
       [](const Tables& t) {
         EXPECT_EQ(t.ScanCode(0x47), 0x0C24);
         EXPECT_TRUE(Contains(t.Block("ligatures"), {" 0067 0000 0037 0037"}));
       }},
      {"keypad slash is not in the scan-code table; its 0xE0 entry stays",
       [](KeyboardLayout& l, ProcessState&) { l.Key(63).vk = 0x41; },
       [](const Tables& t) {
         EXPECT_EQ(t.ScanCode(0x35), 0x00BF);
         EXPECT_TRUE(Contains(t.Block("e0"), {" 35 016f"}));
       }},
      {"keypad slash given a key function",
       [](KeyboardLayout& l, ProcessState&) { l.Key(63).Mapped = 103; },
       [](const Tables& t) { EXPECT_TRUE(Contains(t.Block("e0"), {" 35 00a2"})); }},
      {"unresolved 0xE0 entry for the keypad slash",
       [](KeyboardLayout& l, ProcessState&) {
         l.unresolved[0] = {0x6F, 0x35, 1};
         l.unresolvedCount = 1;
       },
       [](const Tables& t) { EXPECT_TRUE(Contains(t.Block("e0"), {" 35 006f"})); }},
      {"non-typing key with characters but not assigned gives no row",
       [](KeyboardLayout& l, ProcessState&) { l.Key(90).chars[0] = 'x'; },
       [](const Tables& t) { EXPECT_FALSE(AnyHas(t.Rows(1), " 70 ")); }},
      {"a key given the Tab function becomes a Tab key",
       [](KeyboardLayout& l, ProcessState& s) {
         l.Key(73).Mapped = 202;
         s.specialKeys.At(1, 1) = 0x2409;
       },
       [](const Tables& t) {
         EXPECT_EQ(t.ScanCode(0x3A), 0x0009);
         EXPECT_TRUE(Contains(t.Rows(2), {" 09 00 2409 0009"}));
       }},
      {"ThinkPad: no 0xE0 entry for scan code 0x63",
       [](KeyboardLayout& l, ProcessState& s) {
         s.patch.ThinkPad = true;
         l.unresolved[0] = {0x41, 0x63, 1};
         l.unresolvedCount = 1;
       },
       [](const Tables& t) {
         EXPECT_FALSE(AnyHas(t.Block("e0"), " 63 "));
         EXPECT_TRUE(Contains(t.Block("e0"), {" 5f 015f"}));
       }},
      {"without ThinkPad, Wake has its 0xE0 entry",
       [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) { EXPECT_TRUE(Contains(t.Block("e0"), {" 63 01e4"})); }},
      {"ligature filled to the longest",
       [](KeyboardLayout& l, ProcessState&) {
         l.ligatures[27][0] = {3, {'a', 'b', 'c'}};
         l.ligatures[2][6] = {5, {'1', '2', '3', '4', '5'}};
       },
       [](const Tables& t) {
         EXPECT_NE(t.Line("ligatures").find(" max 5 size 14"), std::string::npos);
         EXPECT_TRUE(Contains(t.Block("ligatures"), {" 0031 0002 0031 0032 0033 0034 0035", " 0041 0000 0061 0062 0063 f000 f000"}));
       }},
      {"no ligatures: the source library's entry size stays",
       [](KeyboardLayout& l, ProcessState&) { l.ligatureWidth = 4; },
       [](const Tables& t) { EXPECT_EQ(t.Line("ligatures"), "ligatures @null max 0 size 12"); }},
      {"keypad key with its numeric-pad VK",
       [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) {
         EXPECT_EQ(t.ScanCode(0x47), 0x0C24);
         EXPECT_TRUE(AnyHas(t.Rows(1), " 67 00 0037") || AnyHas(t.Rows(2), " 67 00 0037"));
       }},
      {"Windows before build 2195: no version in the locale flags",
       [](KeyboardLayout& l, ProcessState& s) {
         s.windowsVersion = {kPlatformWin32Nt, 4, 0, 1381};
         l.altgr_used = l.ShiftLockOrig = l.LRMRLM = 1;
       },
       [](const Tables& t) { EXPECT_EQ(t.Line("flags"), "flags 00000007 type 00000000 subtype 00000000"); }},
      {"Windows 2000 and later: version 1",
       [](KeyboardLayout& l, ProcessState&) { l.altgr_used = 1; },
       [](const Tables& t) { EXPECT_EQ(t.Line("flags"), "flags 00010001 type 00000000 subtype 00000000"); }},
      {"Kana never reaches the library",
       [](KeyboardLayout& l, ProcessState&) {
         for (int n = 1; n <= kKeyCount; ++n) l.Key(n).Kana = 0xFFFF;
       },
       [](const Tables& t) {
         for (int w = 1; w <= 8; ++w)
           for (const std::string& row : t.Rows(w)) EXPECT_EQ(std::stoul(row.substr(4, 2), nullptr, 16) & 0x08, 0u) << row;
       }},
      {"modifiers as published",
       [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) {
         EXPECT_EQ(t.Block("modifiers").front().substr(t.Block("modifiers").front().find(" max")),
                   " max 7 numbers 00 01 04 0f 0f 0f 02 03");
       }},
      {"Shift+Ctrl patch: Shift+Ctrl types what Ctrl types; wMaxModBits stays 7",
       [](KeyboardLayout&, ProcessState& s) { s.patch.ShiftCtrlPatch = true; },
       [](const Tables& t) {
         const std::string line = t.Block("modifiers").front();
         EXPECT_EQ(line.substr(line.find(" max")), " max 7 numbers 00 01 04 04 0f 0f 02 03");
       }},
      {"the scan-code table ends before 0x7F",
       [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) {
         EXPECT_NE(t.Line("scan codes").find(" max 127"), std::string::npos);
         EXPECT_EQ(t.ScanCode(0x3A), 0x0014);
       }},
      {"no dead-key names: the field stays null",
       [](KeyboardLayout&, ProcessState&) {},
       [](const Tables& t) { EXPECT_EQ(t.Line("dead key names"), "dead key names @null"); }},
      {"dead-key names: the accent, then the name, each text at a multiple of 8",
       [](KeyboardLayout&, ProcessState& s) {
         s.deadKeyNames.count = 2;
         s.deadKeyNames.entries[0] = {0xB4, u"ACUTE"};
         s.deadKeyNames.entries[1] = {'`', u""};
       },
       [](const Tables& t) {
         const std::vector<std::string> names = t.Block("dead key names");
         ASSERT_EQ(names.size(), 2u);
         EXPECT_EQ(names[0].substr(names[0].find(' ', 1)), " 00b4 0041 0043 0055 0054 0045");
         EXPECT_EQ(names[1].substr(names[1].find(' ', 1)), " 0060");
         for (const std::string& line : names) EXPECT_EQ(std::stoul(line.substr(3), nullptr, 16) % 8, 0u) << line;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Source s = UsLayout();
    c.change(*s.layout, s.state);
    const Layout before = std::make_unique<KeyboardLayout>(*s.layout);
    const Tables t = Serialise(*s.layout, s.state);
    EXPECT_TRUE(t.walk.problems.empty()) << t.walk.problems.front();
    c.expect(t);
    EXPECT_EQ(std::memcmp(before.get(), s.layout.get(), sizeof *before), 0) << "the caller's layout changed";
  }
}

// ---------------------------------------------------------------------------
// Images.

TEST(LayoutImage, PlacesSectionsAsLaidOut) {
  struct Case {
    uint32_t dataEnd, relocSize;
    uint32_t d, g, relocRva, fileSize, sizeOfImage;
  };
  const Case cases[] = {
      {0x1800, 0x20, 0x1800, 0x2000, 0x3000, 0x1C00, 0x4000},
      {0x2000, 0x20, 0x2000, 0x2000, 0x3000, 0x2400, 0x4000},
      {0x2010, 0x20, 0x2200, 0x3000, 0x4000, 0x2600, 0x5000},
      // More relocations than one raw block holds: .reloc grows.
      {0x2010, 0x1F8, 0x2200, 0x3000, 0x4000, 0x2600, 0x5000},
      {0x2010, 0x200, 0x2200, 0x3000, 0x4000, 0x2600, 0x5000},
      {0x2010, 0x201, 0x2200, 0x3000, 0x4000, 0x2800, 0x5000},
      {0x9000, 0x1000, 0x9000, 0x9000, 0xA000, 0xA200, 0xC000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataEnd);
    const ImagePlan p = PlanImage(c.dataEnd, 0, 0, c.relocSize);
    EXPECT_EQ(p.resourceOffset, c.d);
    EXPECT_EQ(p.dataRawSize, c.d - 0x1000);
    EXPECT_EQ(p.resourceRva, c.g);
    EXPECT_EQ(p.relocRva, c.relocRva);
    EXPECT_EQ(p.relocOffset, c.d + 0x200);
    EXPECT_EQ(p.fileSize, c.fileSize);
    EXPECT_EQ(p.sizeOfImage, c.sizeOfImage);
  }
  // Wherever the relocations fit one raw block, the image size is the one
  // the file size gives: 0x4000, plus the file beyond 0x2400 in whole pages.
  for (uint32_t end = 0x1008; end < 0x40000; end += 0x1F8) {
    const ImagePlan p = PlanImage(end, 0, 0, 0x1F0);
    const uint32_t byFile = p.fileSize <= 0x2400 ? 0x4000 : 0x4000 + (p.fileSize - 0x2400 + 0xFFF) / 0x1000 * 0x1000;
    ASSERT_EQ(p.sizeOfImage, byFile) << end;
  }
}

TEST(LayoutImage, RelocationBlocksOnePerPage) {
  struct Case {
    ImageKind kind;
    std::vector<uint32_t> references;
    std::vector<uint8_t> blocks;
  };
  const Case cases[] = {
      {ImageKind::X86, {0x1008, 0x1010}, {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x08, 0x30, 0x10, 0x30}},
      // Odd counts are padded so that the next block starts at a multiple of 4.
      {ImageKind::X64, {0x2004, 0x1FF8, 0x1008},
       {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0xF8, 0xAF, 0x08, 0xA0, 0x00, 0x20, 0, 0, 12, 0, 0, 0, 0x04, 0xA0, 0, 0}},
      {ImageKind::X86, {}, {}},
  };
  for (const Case& c : cases) {
    const uint16_t type = c.kind == ImageKind::X86 ? 3 : 10;
    EXPECT_EQ(BuildRelocationBlocks(c.references, type), c.blocks);
  }
}

TEST(LayoutImage, HeadersEntryCodeAndExports) {
  const Source s = FeaturesLayout();
  for (const char* fileName : {"l_kbdus.dll", "KBDUSX12.DLL", "l_kbdfrench.dll"}) {
    for (ImageKind kind : {ImageKind::X86, ImageKind::X64}) {
      SCOPED_TRACE(std::string(fileName) + (kind == ImageKind::X86 ? " x86" : " x64"));
      const LayoutImage image = kind == ImageKind::X86 ? BuildLayoutImage32(*s.layout, s.state, fileName)
                                                       : BuildLayoutImage64(*s.layout, s.state, fileName);
      ASSERT_TRUE(image.fits());
      EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes), std::vector<std::string>{});
      const ByteReader r(image.bytes);
      const bool x64 = kind == ImageKind::X64;
      EXPECT_EQ(r.U16(0x84), x64 ? 0x8664 : 0x014C);
      EXPECT_EQ(r.U16(0x96), x64 ? 0x2022 : 0x210E);
      EXPECT_EQ(r.U32(0xD8), 0xE8E6u);
      const uint32_t exports = *r.U32(x64 ? 0x108 : 0xF8);
      EXPECT_EQ(r.U32(0xA0), exports);  // SizeOfInitializedData
      const auto name = r.Slice(exports + 50, 13);
      const std::string expected = std::string(fileName).substr(0, 12);
      EXPECT_EQ(std::string(name->begin(), name->begin() + long(expected.size())), expected);
      EXPECT_EQ((*name)[expected.size()], 0);
      const uint32_t entry = *r.U32(*r.U32(exports + 28));
      const uint32_t sectionEnd = *r.U32(x64 ? 0x190 : 0x180) + 0x1000;
      EXPECT_EQ(exports, entry + 8) << "the export directory follows the entry code";
      EXPECT_EQ(sectionEnd, exports + 88);
      if (x64) {
        EXPECT_EQ(entry % 16, 0u);
        const uint32_t tables = entry + 7 + *r.U32(entry + 3);
        EXPECT_EQ(entry, (tables + 0x68 + 15) / 16 * 16) << "the code follows KBDTABLES at the next multiple of 16";
      } else {
        EXPECT_EQ(*r.U32(entry + 1) - kImageBase32 + 0x68, entry) << "the code follows KBDTABLES";
      }
      EXPECT_EQ(image.bytes.size(), image.plannedSize);
    }
  }
}

// A layout far beyond any fixed working capacity still becomes a whole,
// loadable library whose references are right at any base (the layout
// check moves every image it checks).
TEST(LayoutImage, LargeLayoutsAreWrittenWholeAndRelocateEverywhere) {
  const Source s = StressLayout(60);
  for (ImageKind kind : {ImageKind::X86, ImageKind::X64, ImageKind::Arm64}) {
    const Tables t = Serialise(*s.layout, s.state, kind);
    EXPECT_GT(t.serialised.section.referenceList().size(), 514u);
    const LayoutImage image = BuildImage(kind, s, "stress.dll");
    ASSERT_TRUE(image.fits());
    EXPECT_GT(image.bytes.size(), 0x10000u);
    EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes), std::vector<std::string>{});
    // Everything, as a loader finds it in the image.
    PeImageLoader loader;
    const auto walk = testing::WalkLoadedLibrary(loader, *loader.LoadFromBytes(image.bytes));
    ASSERT_TRUE(walk);
    EXPECT_EQ(walk->dump, t.walk.dump);
    EXPECT_GT(t.Rows(5).size(), 256u);
    EXPECT_GT(t.Block("ligatures").size() * (4 + 2 * 32), 40002u);
    size_t cells = 0;
    for (int n = 1; n <= kKeyCount; ++n)
      for (int slot = 0; slot < 8; ++slot) cells += s.layout->ligatures[size_t(n)][size_t(slot)].length > 0;
    EXPECT_EQ(t.Block("ligatures").size(), cells);
    EXPECT_EQ(t.Block("dead keys").size(), size_t(kMaxDeadKeys));
    EXPECT_EQ(t.Block("key names").size(), size_t(kMaxKeyNames));
    EXPECT_EQ(t.Block("ext key names").size(), size_t(kMaxKeyNames));
  }
}

// A layout beyond the working tables whose data section stays within 64 KB
// comes back on both roads.
TEST(LayoutLibraryRoundTrip, BeyondTheWorkingTablesWithinTheReadersReach) {
  const Source s = StressLayout(2, {0, 7});
  for (ImageKind kind : {ImageKind::X86, ImageKind::X64, ImageKind::X86Native, ImageKind::Arm64}) {
    SCOPED_TRACE(int(kind));
    const Tables t = Serialise(*s.layout, s.state, kind);
    EXPECT_GT(t.serialised.section.referenceList().size(), 514u);
    EXPECT_GT(t.Rows(5).size(), 256u);
    const LayoutImage image = BuildImage(kind, s, "stress.dll");
    ASSERT_LT(image.bytes.size(), 0x10000u);
    EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes, ReferenceWidth(kind)), std::vector<std::string>{});
    const ReadBack back = Read(image.bytes, true);
    EXPECT_TRUE(back.messages.empty());
    EXPECT_EQ(back.layout->deadCount, kMaxDeadKeys);
    EXPECT_EQ(back.layout->deadKeys[1199].result, 0x1E00 + 1199);
    EXPECT_EQ(back.layout->Key(47).chars[15], 0x100 + 47 + 15);
    EXPECT_EQ(back.layout->Key(26).chars[6], 0x100 + 26 + 6);
    EXPECT_EQ(back.layout->ligatures[125][7].length, 32);
    EXPECT_EQ(back.layout->ligatures[125][7].chars[31], 'a' + (125 + 31) % 26);
    EXPECT_EQ(Names(back.state.keyNames), Names(s.state.keyNames));
    EXPECT_EQ(Names(back.state.extendedKeyNames), Names(s.state.extendedKeyNames));
  }
}

// Past 64 KB, references no longer share their upper 16 bits with the
// descriptor's address; through a loaded library they must still be read
// from the library.
TEST(LayoutLibraryRoundTrip, DataSectionsBeyond64KbReadBackThroughTheLoader) {
  const Source s = StressLayout(60);
  for (ImageKind kind : {ImageKind::X86, ImageKind::X64, ImageKind::X86Native, ImageKind::Arm64}) {
    SCOPED_TRACE(int(kind));
    const LayoutImage image = BuildImage(kind, s, "stress.dll");
    ASSERT_GT(image.bytes.size(), 0x10000u);
    const ReadBack back = Read(image.bytes, true);
    EXPECT_TRUE(back.messages.empty());
    EXPECT_EQ(back.layout->deadCount, kMaxDeadKeys);
    EXPECT_EQ(back.layout->deadKeys[1199].result, s.layout->deadKeys[1199].result);
    // (Slot 1 is left out: this layout's dead Caps Lock characters do not
    // come back there, a limit of the library format's dead rows.)
    for (int n = 1; n <= 48; ++n)
      for (int slot : {0, 6, 7}) {
        EXPECT_EQ(back.layout->Key(n).chars[size_t(slot)], s.layout->Key(n).chars[size_t(slot)]) << n << "/" << slot;
      }
    for (int slot : {0, 1, 2, 6, 7}) {
      const LigatureCell& cell = back.layout->ligatures[125][size_t(slot)];
      EXPECT_EQ(cell.length, s.layout->ligatures[125][size_t(slot)].length);
      EXPECT_EQ(cell.chars[31], s.layout->ligatures[125][size_t(slot)].chars[31]);
    }
    EXPECT_EQ(back.state.keyNames.count, s.state.keyNames.count);
  }
}

TEST(LayoutImage, TooLargeIsRefusedAndNothingIsTouched) {
  struct CountingWriter final : FileWriter {
    bool SetAttributes(const std::string&, uint32_t) override { return ++calls, true; }
    Outcome WriteWhole(const std::string&, std::span<const uint8_t>) override { return ++calls, Outcome::Written; }
    int calls = 0;
  } files;
  RecordingDialogs dialogs;
  const Source s = StressLayout(400);
  const LayoutImage image = BuildLayoutImage64(*s.layout, s.state, "big.dll");
  EXPECT_FALSE(image.fits());
  EXPECT_GT(image.plannedSize, kImageBufferSize);
  EXPECT_EQ(WriteLayoutLibrary32("big.dll", *s.layout, s.state, {files, dialogs}), LibraryWriteResult::TooLarge);
  EXPECT_EQ(WriteLayoutLibrary64("big.dll", *s.layout, s.state, {files, dialogs}), LibraryWriteResult::TooLarge);
  EXPECT_EQ(files.calls, 0);
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0].rfind("The layout is too large for a layout library", 0), 0u);
  // The largest layout that still fits.
  const Source fits = StressLayout(100);
  EXPECT_TRUE(BuildLayoutImage64(*fits.layout, fits.state, "fits.dll").fits());
}

// The check itself: each fault it exists for is reported, with its message.
TEST(LayoutCheck, ReportsEachBrokenRule) {
  const Source s = FeaturesLayout();
  const std::vector<uint8_t> x86 = BuildLayoutImage32(*s.layout, s.state, "f.dll").bytes;
  const std::vector<uint8_t> x64 = BuildLayoutImage64(*s.layout, s.state, "f.dll").bytes;
  struct Case {
    const char* what;
    bool x64;
    std::function<void(std::vector<uint8_t>&)> breakIt;
    std::string message;
  };
  const Case cases[] = {
      {"entry point", false, [](auto& b) { b[0xA8] = 0x10; }, "optional header: the entry point is not 0"},
      {"imports", true, [](auto& b) { b[0x110] = 0x10; }, "data directory import is not empty"},
      {"size of image", false, [](auto& b) { b[0xD1] += 0x10; }, "optional header: the size of image is not the end of the last section"},
      {"section gap", false, [](auto& b) { b[0x1AD] += 0x10; }, "section .rsrc: does not start where the one before it ends"},
      {"raw data past the end", true, [](auto& b) { b[0x1ED] += 0x10; }, "section .reloc: the raw data runs past the end of the file"},
      {"not executable", false, [](auto& b) { b[0x19F] = 0x40; }, "export directory: the function's section is not executable"},
      {"export name", true, [](auto& b) {
         const ByteReader r(b);
         const uint32_t names = *r.U32(*r.U32(0x108) + 32);
         b[*r.U32(names)] = 'k';
       }, "export directory: the name is not KbdLayerDescriptor"},
      {"entry code", true, [](auto& b) {
         const ByteReader r(b);
         b[*r.U32(*r.U32(*r.U32(0x108) + 28))] = 0x90;
       }, "entry code: not a form that returns the address of KBDTABLES"},
      {"a relocation lost", false, [](auto& b) {
         const uint32_t block = *ByteReader(b).U32(0x1DC);
         b[block + 8] = 0;
         b[block + 9] = 0;  // now an absolute entry
       }, ""},
      {"wrong relocation type", true, [](auto& b) { b[*ByteReader(b).U32(0x1EC) + 9] = 0x30; }, "base relocations: an entry of type 3"},
      {"misplaced relocation", false, [](auto& b) { b[*ByteReader(b).U32(0x1DC) + 8] ^= 0x04; }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> broken = c.x64 ? x64 : x86;
    c.breakIt(broken);
    const std::vector<std::string> problems = testing::CheckLayoutLibrary(broken);
    ASSERT_FALSE(problems.empty());
    if (!c.message.empty())
      EXPECT_NE(std::find(problems.begin(), problems.end(), c.message), problems.end()) << problems.front();
    else
      EXPECT_TRUE(AnyHas(problems, "has no relocation")) << problems.front();
  }
  // What only an ARM64 image must keep.
  const std::vector<uint8_t> arm64 = BuildLayoutImageArm64(*s.layout, s.state, "f.dll").bytes;
  const std::pair<std::function<void(std::vector<uint8_t>&)>, std::string> arm64Cases[] = {
      {[](auto& b) { b[0xDE] = 0x00; }, "optional header: an ARM64 image not marked as movable anywhere and NX compatible"},
      {[](auto& b) { b[*ByteReader(b).U32(*ByteReader(b).U32(*ByteReader(b).U32(0x108) + 28)) + 8] = 0; },
       "entry code: not a form that returns the address of KBDTABLES"},
  };
  for (const auto& [breakIt, message] : arm64Cases) {
    std::vector<uint8_t> broken = arm64;
    breakIt(broken);
    const std::vector<std::string> problems = testing::CheckLayoutLibrary(broken);
    EXPECT_NE(std::find(problems.begin(), problems.end(), message), problems.end()) << message;
  }
}

// ---------------------------------------------------------------------------
// Round trips through our reader.

using ScanCodeSet = std::set<std::tuple<int, int, int>>;  // extended, scan, VK with its flags

// Scan codes of the default tables that have no key in the key table: every
// library carries them, and they come back as unresolved entries.
const ScanCodeSet kDefaultUnresolved{
    {0, 0x59, 0x0C}, {0, 0x5A, 0xEE}, {0, 0x5B, 0xF1}, {0, 0x5C, 0xEA}, {0, 0x5D, 0xF9}, {0, 0x5E, 0xF5},
    {0, 0x5F, 0xF3}, {0, 0x62, 0xFB}, {0, 0x63, 0x2F}, {0, 0x64, 0x7C}, {0, 0x65, 0x7D}, {0, 0x66, 0x7E},
    {0, 0x67, 0x7F}, {0, 0x68, 0x80}, {0, 0x69, 0x81}, {0, 0x6A, 0x82}, {0, 0x6B, 0x83}, {0, 0x6C, 0x84},
    {0, 0x6D, 0x85}, {0, 0x6E, 0x86}, {0, 0x6F, 0xED}, {0, 0x71, 0xE9}, {0, 0x73, 0xC1}, {0, 0x76, 0x87},
    {0, 0x7B, 0xEB}, {0, 0x7C, 0x09}, {0, 0x7E, 0xC2}, {1, 0x37, 0x012C}, {1, 0x46, 0x0103}};

ScanCodeSet Unresolved(const KeyboardLayout& l) {
  ScanCodeSet set;
  for (int i = 0; i < l.unresolvedCount; ++i)
    set.emplace(l.unresolved[size_t(i)].extended, l.unresolved[size_t(i)].scan, l.unresolved[size_t(i)].vk);
  return set;
}

// The layout's own unresolved entries, and the defaults for the scan codes it does not name.
ScanCodeSet UnresolvedAsCarried(const KeyboardLayout& l) {
  ScanCodeSet set = Unresolved(l);
  for (const auto& d : kDefaultUnresolved)
    if (std::none_of(set.begin(), set.end(), [&](const auto& e) {
          return std::get<0>(e) == std::get<0>(d) && std::get<1>(e) == std::get<1>(d);
        }))
      set.insert(d);
  return set;
}

void ExpectSameLayout(const Source& s, const ReadBack& back) {
  EXPECT_EQ(Unresolved(*back.layout), UnresolvedAsCarried(*s.layout));
  const Layout expected = std::make_unique<KeyboardLayout>(*s.layout);
  const Layout actual = std::make_unique<KeyboardLayout>(*back.layout);
  KeepWhatALibraryCarries(*expected);
  KeepWhatALibraryCarries(*actual);
  const std::vector<std::string> diffs = Differences(*expected, *actual);
  std::string listed;
  for (size_t i = 0; i < std::min<size_t>(diffs.size(), 12); ++i) listed += " " + diffs[i] + ";";
  EXPECT_TRUE(diffs.empty()) << diffs.size() << " differences:" << listed;
  EXPECT_EQ(back.state.specialKeys.cells, s.state.specialKeys.cells);
}

TEST(LayoutLibraryRoundTrip, ExamplesComeBackThroughTheLoaderAndTheFile) {
  std::vector<Source> sources = Examples();
  ASSERT_GE(sources.size(), 5u);
  sources.push_back(UsLayout());
  sources.push_back(FeaturesLayout());
  for (const Source& s : sources) {
    for (ImageKind kind : {ImageKind::X86, ImageKind::X64, ImageKind::Arm64}) {
      SCOPED_TRACE(s.name + " kind " + std::to_string(int(kind)));
      const LayoutImage image = BuildImage(kind, s, s.name + ".dll");
      ASSERT_TRUE(image.fits());
      EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes), std::vector<std::string>{});
      const ReadBack loaded = Read(image.bytes, true);
      EXPECT_EQ(loaded.messages, std::vector<std::string>{});
      ExpectSameLayout(s, loaded);
      EXPECT_EQ(Names(loaded.state.keyNames), NamesAsRead(s.state.keyNames));
      EXPECT_EQ(Names(loaded.state.extendedKeyNames), NamesAsRead(s.state.extendedKeyNames));
      // The file walk: 16-bit addresses of a 32-bit image, or the code of a
      // 64-bit one, which a 32-bit program cannot load.
      {
        const ReadBack walked = Read(image.bytes, false);
        EXPECT_EQ(walked.messages, std::vector<std::string>{});
        ExpectSameLayout(s, walked);
        EXPECT_EQ(Names(walked.state.keyNames), NamesAsRead(s.state.keyNames));
        EXPECT_EQ(Names(walked.state.extendedKeyNames), NamesAsRead(s.state.extendedKeyNames));
      }
    }
  }
}

std::optional<std::vector<uint8_t>> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Libraries the MinGW toolchain (and clang with lld-link, for ARM64) built
// from our own sources: read, written again, read again, the same.
TEST(LayoutLibraryRoundTrip, CompiledLibrariesSurviveARewrite) {
  int seen = 0;
  for (const char* name : {"us-i686.dll", "us-x86_64.dll", "features-i686.dll", "features-x86_64.dll", "names-i686.dll",
                           "names-x86_64.dll", "central-i686-ref32.dll", "central-x86_64.dll", "columns-i686-ref32.dll",
                           "columns-x86_64.dll", "us-arm64.dll", "features-arm64.dll", "names-arm64.dll",
                           "central-arm64.dll", "columns-arm64.dll"}) {
    const auto file = FileBytes(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + name);
    if (!file) continue;
    ++seen;
    SCOPED_TRACE(name);
    ReadBack first = Read(*file, true);
    Source s;
    s.name = name;
    *s.layout = *first.layout;
    s.state = first.state;
    for (ImageKind kind : {ImageKind::X86, ImageKind::X64, ImageKind::Arm64}) {
      const LayoutImage image = BuildImage(kind, s, "again.dll");
      EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes), std::vector<std::string>{});
      const ReadBack second = Read(image.bytes, true);
      ExpectSameLayout(s, second);
      EXPECT_EQ(Names(second.state.keyNames), NamesAsRead(s.state.keyNames));
      EXPECT_EQ(Names(second.state.extendedKeyNames), NamesAsRead(s.state.extendedKeyNames));
      EXPECT_EQ(Names(second.state.deadKeyNames), Names(s.state.deadKeyNames));
      // A library read back and written again is written the same way.
      Source secondSource;
      *secondSource.layout = *second.layout;
      secondSource.state = second.state;
      const LayoutImage again = BuildImage(kind, secondSource, "again.dll");
      EXPECT_EQ(again.bytes, image.bytes);
    }
  }
  if (seen == 0) GTEST_SKIP() << "no MinGW-built layout libraries";
}

// ---------------------------------------------------------------------------
// Golden images.

TEST(LayoutImage, GoldenImagesByteForByte) {
  const bool update = std::getenv("TASTORA_UPDATE_GOLDEN") && std::string(std::getenv("TASTORA_UPDATE_GOLDEN")) == "1";
  const std::string dir = std::string(TASTORA_TEST_DATA) + "/golden";
  std::vector<Source> sources;
  sources.push_back(UsLayout());
  sources.push_back(FeaturesLayout());
  for (const Source& s : sources) {
    const struct {
      const char* suffix;
      ImageKind kind;
    } kinds[] = {{"-x86.dll", ImageKind::X86},
                 {"-x64.dll", ImageKind::X64},
                 {"-x86native.dll", ImageKind::X86Native},
                 {"-arm64.dll", ImageKind::Arm64}};
    for (const auto& kind : kinds) {
      const std::string file = s.name + kind.suffix;
      SCOPED_TRACE(file);
      const LayoutImage image = BuildImage(kind.kind, s, "kbd" + s.name + ".dll");
      // Beside each image, its tables as text: a change shows which table moved.
      PeImageLoader loader;
      const auto walk = testing::WalkLoadedLibrary(loader, *loader.LoadFromBytes(image.bytes), ReferenceWidth(kind.kind));
      ASSERT_TRUE(walk);
      if (update) {
        fs::create_directories(dir);
        std::ofstream(dir + "/" + file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes.data()), std::streamsize(image.bytes.size()));
        std::ofstream(dir + "/" + file + ".txt", std::ios::binary) << walk->dump;
      }
      EXPECT_EQ(walk->dump, testing::ReadHost(dir + "/" + file + ".txt"));
      const auto golden = FileBytes(dir + "/" + file);
      ASSERT_TRUE(golden) << "missing; run with TASTORA_UPDATE_GOLDEN=1 to write it";
      ASSERT_EQ(golden->size(), image.bytes.size());
      const auto mismatch = std::mismatch(golden->begin(), golden->end(), image.bytes.begin());
      EXPECT_TRUE(mismatch.first == golden->end()) << "first difference at offset 0x" << std::hex
                                                   << (mismatch.first - golden->begin());
    }
  }
}

// ---------------------------------------------------------------------------
// Files.

TEST(LayoutLibraryWriter, WritesOnceAndReportsWhatFailed) {
  const Source s = FeaturesLayout();
  const std::string path = "C:\\Windows\\SysWOW64\\l_kbdfeatures.dll";
  struct Case {
    FileWriter::Outcome outcome;
    std::optional<LibraryWriteResult> result;  // none: an error is raised
    std::vector<std::string> messages;
  };
  // The warning as the user reads it, word for word.
  const std::string couldNotWrite =
      "Could not write to the file.\rIf you are running Windows Vista, please check if you are running the "
      "program as administrator\r(right click, option \"Run as administrator\" from the popup menu),\rreboot "
      "and check if the changes were saved.\rIf the changes were not saved, please contact the authors.";
  const Case cases[] = {
      {FileWriter::Outcome::Written, LibraryWriteResult::Written, {}},
      {FileWriter::Outcome::NotOpened, LibraryWriteResult::NotOpened, {couldNotWrite}},
      {FileWriter::Outcome::WriteFailed, std::nullopt, {}},
  };
  for (const Case& c : cases) {
    for (bool x64 : {false, true}) {
      ScriptedWriter files(c.outcome, false);
      RecordingDialogs dialogs;
      auto write = [&] {
        return x64 ? WriteLayoutLibrary64(path, *s.layout, s.state, {files, dialogs})
                   : WriteLayoutLibrary32(path, *s.layout, s.state, {files, dialogs});
      };
      if (c.result) {
        EXPECT_EQ(write(), *c.result);
      } else {
        EXPECT_THROW((void)write(), LibraryWriteError);
      }
      EXPECT_EQ(files.calls, (std::vector<std::string>{"attributes " + path + " 32", "write " + path}));
      EXPECT_EQ(dialogs.messages, c.messages);
      // The export directory names the file without its folder, cut to 12.
      const LayoutImage image = x64 ? BuildLayoutImage64(*s.layout, s.state, "l_kbdfeatures.dll")
                                    : BuildLayoutImage32(*s.layout, s.state, "l_kbdfeatures.dll");
      EXPECT_EQ(files.written, image.bytes);
    }
  }
}


TEST(HostFileWriter, ReplacesReadOnlyFilesAndTellsOpenFromWriteFailures) {
  TempDir dir{"tastora-writer"};
  HostFileWriter files;
  const std::vector<uint8_t> bytes{'M', 'Z', 1, 2, 3};
  EXPECT_FALSE(files.SetAttributes(dir / "new.dll", kFileAttributeArchive)) << "no file yet";
  EXPECT_EQ(files.WriteWhole(dir / "new.dll", bytes), FileWriter::Outcome::Written);
  EXPECT_EQ(FileBytes(dir / "new.dll"), bytes);

  std::ofstream(dir / "old.dll") << "a longer file that was there before";
  fs::permissions(dir / "old.dll", fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_TRUE(files.SetAttributes(dir / "old.dll", kFileAttributeArchive));
  EXPECT_NE(fs::status(dir / "old.dll").permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(files.WriteWhole(dir / "old.dll", bytes), FileWriter::Outcome::Written);
  EXPECT_EQ(FileBytes(dir / "old.dll"), bytes) << "truncated and rewritten";

  EXPECT_EQ(files.WriteWhole(dir / "missing/x.dll", bytes), FileWriter::Outcome::NotOpened);
  if (fs::exists("/dev/full")) {
    EXPECT_EQ(files.WriteWhole("/dev/full", bytes), FileWriter::Outcome::WriteFailed);
  }
}

TEST(BuildCommand, WritesBothLibrariesOrSaysWhy) {
  TempDir dir{"tastora-writer"};
  const std::string demo = std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000";
  EXPECT_EQ(RunProgram({"build", demo, "-o", dir / "demo32.dll", "--x64", dir / "demo64.dll", "--arm64", dir / "demoa64.dll"}), 0);
  for (const char* name : {"demo32.dll", "demo64.dll", "demoa64.dll"}) {
    const auto bytes = FileBytes(dir / name);
    ASSERT_TRUE(bytes) << name;
    EXPECT_EQ(testing::CheckLayoutLibrary(*bytes), std::vector<std::string>{}) << name;
  }
  const Source s = Example(demo);
  EXPECT_EQ(FileBytes(dir / "demo32.dll"), BuildLayoutImage32(*s.layout, s.state, "demo32.dll").bytes);
  EXPECT_EQ(FileBytes(dir / "demoa64.dll"), BuildLayoutImageArm64(*s.layout, s.state, "demoa64.dll").bytes);
  EXPECT_EQ(RunProgram({"build", demo, "-o", dir / "only32.dll"}), 0);
  EXPECT_FALSE(fs::exists(dir / "only64.dll"));

  EXPECT_EQ(RunProgram({"build", demo}), 2) << "no output";
  EXPECT_EQ(RunProgram({"build", "-o", dir / "x.dll"}), 2) << "no input";
  EXPECT_EQ(RunProgram({"build", demo, "-o", dir / "a.dll", "--bogus"}), 2);
  EXPECT_EQ(RunProgram({"build", dir / "missing.vyr2000", "-o", dir / "a.dll"}), 1);
  EXPECT_EQ(RunProgram({"build", demo, "-o", dir / "a.dll", "--x64", dir / "no/such/dir.dll"}), 1) << "64-bit not written";
  EXPECT_TRUE(fs::exists(dir / "a.dll"));
}

// ---------------------------------------------------------------------------
// Real readers.

std::vector<std::pair<std::string, std::vector<uint8_t>>> AllLibraries() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> all;
  std::vector<Source> sources = Examples();
  sources.push_back(UsLayout());
  sources.push_back(FeaturesLayout());
  sources.push_back(StressLayout(60));
  // Layouts built by another tool (here the C compiler), read and written anew.
  for (const char* name : {"central", "columns", "names"}) {
    const auto file = FileBytes(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + name + "-x86_64.dll");
    if (!file) continue;
    ReadBack read = Read(*file, true);
    Source s;
    s.name = std::string("rebuilt-") + name;
    *s.layout = *read.layout;
    s.state = read.state;
    sources.push_back(std::move(s));
  }
  for (const Source& s : sources) {
    all.emplace_back(s.name + "-x86.dll", BuildLayoutImage32(*s.layout, s.state, s.name + ".dll").bytes);
    all.emplace_back(s.name + "-x64.dll", BuildLayoutImage64(*s.layout, s.state, s.name + ".dll").bytes);
    all.emplace_back(s.name + "-x86native.dll", BuildLayoutImageNative32(*s.layout, s.state, s.name + ".dll").bytes);
    all.emplace_back(s.name + "-arm64.dll", BuildLayoutImageArm64(*s.layout, s.state, s.name + ".dll").bytes);
  }
  return all;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(LayoutLibraryTools, ObjdumpReadsEveryLibraryWithoutComplaint) {
  const std::string objdump = TASTORA_OBJDUMP;
  if (objdump.empty() || !fs::exists(objdump)) GTEST_SKIP() << "no MinGW objdump";
  TempDir dir{"tastora-writer"};
  for (const auto& [name, bytes] : AllLibraries()) {
    // The MinGW tools know no ARM64; the LLVM tools read those below.
    if (name.find("arm64") != std::string::npos) continue;
    SCOPED_TRACE(name);
    WriteFile(dir / name, bytes);
    const std::string command = "'" + objdump + "' -p '" + (dir / name) + "' > '" + (dir / "out.txt") + "' 2> '" +
                                (dir / "err.txt") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadHost(dir / "err.txt"), "");
    const std::string out = ReadHost(dir / "out.txt");
    EXPECT_NE(out.find("KbdLayerDescriptor"), std::string::npos);
    EXPECT_NE(out.find(name.find("x64") != std::string::npos ? "pei-x86-64" : "pei-i386"), std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// ARM64: our images beside those clang and lld-link make of our C layouts.

TEST(LayoutImage, Arm64CodeReachesItsTablesFromAnyPage) {
  struct Case {
    uint32_t entry, tables;
  };
  const Case cases[] = {{0x1000, 0x1000}, {0x1FF0, 0x1008}, {0x24010, 0x1FFF}, {0x1000, 0x7FFFFFF8},
                        {0x7FFFF000, 0x1000}, {0x3008, 0x3FF8}};
  for (const Case& c : cases) {
    ByteWriter w;
    for (uint32_t word : entry::Arm64Code(c.entry, c.tables)) w.U32(w.size(), word);
    const std::vector<uint8_t> code = w.Take();
    ASSERT_EQ(code.size(), entry::kArm64Size);
    // Mapped anywhere that keeps the page offsets, as Windows maps images.
    for (uint64_t base : {uint64_t{0x5FFE0000}, uint64_t{0x7FF612340000}}) {
      EXPECT_EQ(entry::ReturnedAddress(ByteReader(code), 0, base + c.entry, 0xAA64), base + c.tables)
          << std::hex << c.entry << " " << c.tables;
    }
  }
}

TEST(LayoutImage, Arm64HeadersAndEntryCode) {
  const Source s = FeaturesLayout();
  const LayoutImage image = BuildLayoutImageArm64(*s.layout, s.state, "l_kbdfeatures.dll");
  const LayoutImage x64 = BuildLayoutImage64(*s.layout, s.state, "l_kbdfeatures.dll");
  ASSERT_TRUE(image.fits());
  EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes), std::vector<std::string>{});
  EXPECT_EQ(image.bytes.size(), image.plannedSize);
  const ByteReader r(image.bytes), x(x64.bytes);
  EXPECT_EQ(r.U16(0x84), 0xAA64);
  EXPECT_EQ(r.U16(0x96), 0x2022);
  EXPECT_EQ(r.U16(0x98), 0x020B);
  EXPECT_EQ(r.U16(0xDE), 0x0160) << "dynamic base, high-entropy VA, NX compatible";
  EXPECT_EQ(x.U16(0xDE), 0x0000) << "the x64 image keeps its own header";
  // The x64 image's tables, at the same addresses, and its entry's place.
  const uint32_t exports = *r.U32(0x108);
  const uint32_t entry = *r.U32(*r.U32(exports + 28));
  const uint32_t x64Entry = *x.U32(*x.U32(*x.U32(0x108) + 28));
  ASSERT_EQ(entry, x64Entry);
  EXPECT_TRUE(std::equal(image.bytes.begin() + 0x1000, image.bytes.begin() + entry, x64.bytes.begin() + 0x1000));
  EXPECT_EQ(exports, entry + 16) << "the export directory follows the 12 bytes of code";
  const uint32_t tables = x64Entry + 7 + *x.U32(x64Entry + 3);
  const uint32_t pages = (tables >> 12) - (entry >> 12);  // two's complement, as adrp takes it
  EXPECT_EQ(r.U32(entry), 0x90000000u | (pages & 3) << 29 | ((pages >> 2) & 0x7FFFF) << 5) << "adrp x0";
  EXPECT_EQ(r.U32(entry + 4), 0x91000000u | (tables & 0xFFF) << 10) << "add x0, x0, #offset";
  EXPECT_EQ(r.U32(entry + 8), 0xD65F03C0u) << "ret";
}

// The ARM64 libraries lld-link linked from our C layouts; none without the tools.
std::vector<std::pair<std::string, std::vector<uint8_t>>> LinkedArm64Libraries() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> all;
  for (const char* name : {"us", "features", "names", "central", "columns", "scancodes"})
    if (auto file = FileBytes(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + name + "-arm64.dll"))
      all.emplace_back(std::string("linked-") + name + "-arm64.dll", std::move(*file));
  return all;
}

// Ours, then the linked ones.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Arm64Libraries() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> all;
  for (auto& library : AllLibraries())
    if (library.first.find("arm64") != std::string::npos) all.push_back(std::move(library));
  for (auto& library : LinkedArm64Libraries()) all.push_back(std::move(library));
  return all;
}

// The distance from KbdLayerDescriptor to the tables it returns, as our loader evaluates it.
std::optional<int64_t> TablesDistance(const std::vector<uint8_t>& bytes) {
  PeImageLoader loader;
  const auto library = loader.LoadFromBytes(bytes);
  const auto entry = library ? loader.FindExport(*library, "KbdLayerDescriptor") : std::nullopt;
  const auto tables = entry ? loader.CallDescriptor(*library, *entry) : std::nullopt;
  if (!tables) return std::nullopt;
  return int64_t(*tables - *entry);
}

TEST(LayoutLibraryTools, LlvmToolsReadEveryArm64Library) {
  const std::string objdump = TASTORA_LLVM_OBJDUMP, readobj = TASTORA_LLVM_READOBJ;
  if (objdump.empty() || readobj.empty()) GTEST_SKIP() << "no llvm-objdump or llvm-readobj";
  TempDir dir{"tastora-writer"};
  const std::regex adrp(R"(<KbdLayerDescriptor>:\n\s*([0-9a-f]+):\s+adrp\s+x0, 0x([0-9a-f]+)[^\n]*\n)"
                        R"(\s*[0-9a-f]+:\s+add\s+x0, x0, #(0x[0-9a-f]+|[0-9]+)\n\s*[0-9a-f]+:\s+ret\s*\n)");
  for (const auto& [name, bytes] : Arm64Libraries()) {
    SCOPED_TRACE(name);
    WriteFile(dir / name, bytes);
    const testing::ShellRun headers = testing::RunShell(testing::Quote(readobj) + " --file-headers --coff-exports " +
                                                        "--coff-basereloc " + testing::Quote(dir / name));
    EXPECT_EQ(headers.status, 0);
    EXPECT_EQ(headers.err, "");
    for (const char* wanted : {"Machine: IMAGE_FILE_MACHINE_ARM64", "IMAGE_DLL_CHARACTERISTICS_DYNAMIC_BASE",
                               "IMAGE_DLL_CHARACTERISTICS_HIGH_ENTROPY_VA", "IMAGE_DLL_CHARACTERISTICS_NX_COMPAT",
                               "Name: KbdLayerDescriptor", "Type: DIR64"})
      EXPECT_NE(headers.out.find(wanted), std::string::npos) << wanted;
    for (const char* unwanted : {"Type: HIGHLOW", "IMAGE_FILE_RELOCS_STRIPPED"})
      EXPECT_EQ(headers.out.find(unwanted), std::string::npos) << unwanted;

    const testing::ShellRun code = testing::RunShell(testing::Quote(objdump) + " -d --no-show-raw-insn " +
                                                     "--disassemble-symbols=KbdLayerDescriptor " +
                                                     testing::Quote(dir / name));
    EXPECT_EQ(code.status, 0);
    EXPECT_EQ(code.err, "");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(code.out, m, adrp)) << code.out;
    const int64_t distance = int64_t(std::stoull(m[2].str(), nullptr, 16) + std::stoull(m[3].str(), nullptr, 0) -
                                     std::stoull(m[1].str(), nullptr, 16));
    EXPECT_EQ(TablesDistance(bytes), distance) << "our loader and the disassembly agree on the tables";
  }
}

TEST(LayoutLibraryTools, PefileChecksEveryArm64Library) {
  const std::string python = TASTORA_SYSTEM_PYTHON;
  if (python.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  const std::string script = std::string(TASTORA_SOURCE_DIR) + "/tests/pe/check-library.py";
  TempDir dir{"tastora-writer"};
  std::set<std::string> exports;
  for (const auto& [name, bytes] : Arm64Libraries()) {
    SCOPED_TRACE(name);
    WriteFile(dir / name, bytes);
    const std::string check = testing::Quote(python) + " " + testing::Quote(script) + " ";
    const testing::ShellRun run = testing::RunShell(check + testing::Quote(dir / name) + " arm64");
    if (run.status == 77) GTEST_SKIP() << "no pefile";
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    exports.insert(testing::RunShell(check + "--exports " + testing::Quote(dir / name)).out);
  }
  // Ours and the linker's export the same.
  EXPECT_EQ(exports, std::set<std::string>{"KbdLayerDescriptor\n"});
}

// The linker's ARM64 libraries read as the MinGW x64 ones of the same
// sources, on both roads; the linker's own image base lies above 4 GB, so
// our loader moves them.
TEST(LayoutLibraryRoundTrip, LinkedArm64LibrariesReadAsTheirX64Twins) {
  const auto linked = LinkedArm64Libraries();
  if (linked.empty()) GTEST_SKIP() << "no clang with the AArch64 target, or no lld-link";
  for (const auto& [name, bytes] : linked) {
    SCOPED_TRACE(name);
    const std::string source = name.substr(std::string("linked-").size(), name.size() - 17);
    const auto twin = FileBytes(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + source + "-x86_64.dll");
    if (!twin) GTEST_SKIP() << "no MinGW x86_64 libraries";
    const ReadBack expected = Read(*twin, true);
    for (bool loads : {true, false}) {
      const ReadBack read = Read(bytes, loads);
      EXPECT_EQ(read.messages, expected.messages) << loads;
      EXPECT_EQ(Differences(*read.layout, *expected.layout), std::vector<std::string>{}) << loads;
      EXPECT_EQ(read.state.specialKeys.cells, expected.state.specialKeys.cells) << loads;
    }
  }
}

// Windows' own loader, under Wine: every 64-bit library is loaded in one
// process, so all but the first are moved away from their image base, and
// the tables reached through the moved references must be the ones our
// loader sees at the image base.
class WineLoader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = new TempDir;  // Wine makes the prefix inside it on first use
  }
  static void TearDownTestSuite() {
    const fs::path server = fs::path(TASTORA_WINE64).parent_path() / "wineserver";
    if (fs::exists(server)) {
      const std::string kill = "WINEPREFIX='" + (prefix_->path / "prefix").string() + "' '" + server.string() + "' -k 2>/dev/null";
      (void)std::system(kill.c_str());
    }
    delete prefix_;
    prefix_ = nullptr;
  }
  static TempDir* prefix_;
};
TempDir* WineLoader::prefix_ = nullptr;

TEST_F(WineLoader, LoadsEveryLibraryAndRelocatesTheSecondCopy) {
  const std::string wine = TASTORA_WINE64;
  const std::string program = TASTORA_WINE_DUMP;
  if (wine.empty() || !fs::exists(wine)) GTEST_SKIP() << "no wine64";
  if (program.empty() || !fs::exists(program)) GTEST_SKIP() << "no MinGW x86_64 compiler for the test program";
  const TempDir& dir = *prefix_;
  std::map<std::string, std::string> expected;  // Windows path -> our loader's walk
  std::string arguments;
  auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFile(dir / name, bytes);
    PeImageLoader loader;
    const auto handle = loader.LoadFromBytes(bytes);
    ASSERT_TRUE(handle) << name;
    const auto walk = testing::WalkLoadedLibrary(loader, *handle);
    ASSERT_TRUE(walk) << name;
    expected[WindowsPath(dir / name)] = walk->dump;
    arguments += " '" + WindowsPath(dir / name) + "'";
  };
  for (const auto& [name, bytes] : AllLibraries())
    if (name.find("x64") != std::string::npos) add(name, bytes);
  // The same image twice: the loader must move the second.
  const Source demo = Example(std::string(TASTORA_SOURCE_DIR) + "/examples/tastora-demo.vyr2000");
  const std::vector<uint8_t> image = BuildLayoutImage64(*demo.layout, demo.state, "copy.dll").bytes;
  add("copy-a.dll", image);
  add("copy-b.dll", image);

  const std::string command = "cd '" + dir.path.string() + "' && WINEPREFIX='" + (dir.path / "prefix").string() +
                              "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' timeout 300 '" + wine + "' '" +
                              program + "'" + arguments + " > out.txt 2> err.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadHost(dir / "err.txt");

  std::istringstream out(ReadHost(dir / "out.txt"));
  std::map<std::string, std::string> dumps, bases;
  std::string current;
  for (std::string line; std::getline(out, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows program's text output
    if (line.rfind("== end", 0) == 0) {
      current.clear();
    } else if (line.rfind("== ", 0) == 0) {
      current = line.substr(3);
    } else if (line.rfind("base ", 0) == 0) {
      bases[current] = line.substr(5);
    } else if (!current.empty()) {
      EXPECT_NE(line[0], '!') << current << ": " << line;
      dumps[current] += line + "\n";
    }
  }
  std::set<std::string> distinct;
  for (const auto& [path, dump] : expected) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(bases.count(path)) << "not loaded; Wine said: " << ReadHost(dir / "err.txt");
    distinct.insert(bases[path]);
    EXPECT_EQ(dumps[path], dump);
  }
  EXPECT_EQ(distinct.size(), expected.size()) << "libraries share an address";
  EXPECT_NE(bases[WindowsPath(dir / "copy-b.dll")], "5ffe0000") << "the second copy was not moved";
}

}  // namespace
}  // namespace tastora
