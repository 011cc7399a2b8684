// The layout library reader, on libraries built by the MinGW toolchain (and
// clang with lld-link, for ARM64) from our own sources and on images laid out here: through the offline loader,
// through the file walk (the loader made to fail), and on broken input.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "TestPorts.h"
#include "model/Bytes.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "reader/LayoutWalk.h"

namespace tastora {
namespace {

using testing::MemoryFileSystem;
using testing::FailingLoader;
using testing::RecordingDialogs;

const std::string kRunAsAdministrator =
    "Could not open layout. If you are running Vista or Windows 7 OS,\rplease make sure that you run this "
    "program as administrator.\rRight click on the VYR icon and choose Run as administrator option.";


// OlderSystem loads with the offline loader, OlderUnloadable fails to load.
enum class Road { Loader, FileImage, OlderSystem, OlderUnloadable };

struct Outcome {
  std::unique_ptr<KeyboardLayout> layout = std::make_unique<KeyboardLayout>();
  ProcessState state;
  std::vector<std::string> messages;

  const KeyRecord& Key(int n) const { return layout->Key(n); }
};

Outcome Read(const std::optional<std::vector<uint8_t>>& file, Road road) {
  MemoryFileSystem files;
  if (file) files.Put("layout.dll", *file);
  PeImageLoader offline(files);
  FailingLoader failing;
  RecordingDialogs dialogs;
  Outcome out;
  const bool older = road == Road::OlderSystem || road == Road::OlderUnloadable;
  const bool loads = road == Road::Loader || road == Road::OlderSystem;
  out.state.windowsVersion.major = older ? 5 : 10;
  Clear(*out.layout, out.state);
  out.state.keyNames.count = 77;  // shows whether the names were replaced
  ReadLayoutLibrary("layout.dll", *out.layout, out.state,
                    {files, loads ? static_cast<LibraryLoader&>(offline) : failing, dialogs});
  out.messages = dialogs.messages;
  return out;
}

std::optional<std::vector<uint8_t>> CompiledLayout(const std::string& name) {
  std::ifstream in(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Probe = int (*)(const Outcome&);
struct Expectation {
  const char* layout;
  const char* what;
  Probe probe;
  int value;
};

// What every road gives for the compiled libraries.
const Expectation kCompiled[] = {
    {"us", "key 27 a", [](const Outcome& o) { return int(o.Key(27).chars[0]); }, 'a'},
    {"us", "key 27 A", [](const Outcome& o) { return int(o.Key(27).chars[1]); }, 'A'},
    {"us", "key 27 Caps Lock aware", [](const Outcome& o) { return int(o.Key(27).CapsAware); }, 1},
    {"us", "key 2 shifted", [](const Outcome& o) { return int(o.Key(2).chars[1]); }, '!'},
    {"us", "VK_RETURN row to main Enter", [](const Outcome& o) { return int(o.Key(104).chars[2]); }, '\n'},
    {"us", "keypad Enter gets none", [](const Outcome& o) { return int(o.Key(74).chars[0]); }, 0},
    {"us", "keypad Enter VK", [](const Outcome& o) { return int(o.Key(74).vk); }, 0x010D},
    {"us", "keypad . repaired", [](const Outcome& o) { return int(o.Key(49).vk); }, 0x6E},
    {"us", "keypad 7", [](const Outcome& o) { return int(o.Key(57).chars[0]); }, '7'},
    {"us", "Num Lock flags", [](const Outcome& o) { return int(o.Key(77).vk); }, 0x0390},
    {"us", "Power not in the E0 table", [](const Outcome& o) { return int(o.Key(124).vk); }, 0x5E},
    {"us", "special Backspace Ctrl", [](const Outcome& o) { return int(o.state.specialKeys.At(2, 5)); }, 0x7F},
    {"us", "Tab not assigned", [](const Outcome& o) { return int(o.Key(75).AssignedChar); }, 0},
    {"us", "unresolved", [](const Outcome& o) { return o.layout->unresolvedCount; }, 4},
    {"us", "unresolved 3 print screen", [](const Outcome& o) { return int(o.layout->unresolved[2].scan); }, 0x37},
    {"us", "unresolved 3 extended", [](const Outcome& o) { return int(o.layout->unresolved[2].extended); }, 1},
    {"us", "unresolved 3 keeps KBDEXT", [](const Outcome& o) { return int(o.layout->unresolved[2].vk); }, 0x012C},
    {"us", "unresolved 4 break", [](const Outcome& o) { return int(o.layout->unresolved[3].scan); }, 0x46},
    {"us", "unresolved 1 plain", [](const Outcome& o) { return int(o.layout->unresolved[0].vk); }, 0x0C},
    {"us", "no ligatures", [](const Outcome& o) { return int(o.layout->ligatureEntrySize); }, 0},
    {"features", "AltGr", [](const Outcome& o) { return int(o.Key(27).chars[6]); }, 0xE6},
    {"features", "Shift+AltGr", [](const Outcome& o) { return int(o.Key(27).chars[7]); }, 0xC6},
    {"features", "none in Ctrl", [](const Outcome& o) { return int(o.Key(27).chars[2]); }, 0},
    {"features", "Caps Lock on AltGr", [](const Outcome& o) { return int(o.Key(27).CapsAware2); }, 1},
    {"features", "dead in Shift", [](const Outcome& o) { return int(o.Key(37).dead[1]); }, 1},
    {"features", "accent in slot 1", [](const Outcome& o) { return int(o.Key(37).chars[1]); }, 0xA8},
    {"features", "normal beside dead", [](const Outcome& o) { return int(o.Key(37).chars[0]); }, '\''},
    {"features", "dead entries", [](const Outcome& o) { return o.layout->deadCount; }, 3},
    {"features", "dead accent", [](const Outcome& o) { return int(o.layout->deadKeys[1].accent); }, 0xA8},
    {"features", "dead base", [](const Outcome& o) { return int(o.layout->deadKeys[1].base); }, 'o'},
    {"features", "dead result", [](const Outcome& o) { return int(o.layout->deadKeys[1].result); }, 0xF6},
    {"features", "SGCAPS ShiftLock", [](const Outcome& o) { return int(o.Key(36).ShiftLock); }, 1},
    {"features", "SGCAPS first row", [](const Outcome& o) { return int(o.Key(36).chars[1]); }, 0xE8},
    {"features", "SGCAPS Caps set", [](const Outcome& o) { return int(o.Key(36).chars[8]); }, 0xDC},
    {"features", "SGCAPS Caps shifted", [](const Outcome& o) { return int(o.Key(36).chars[9]); }, 0xC8},
    {"features", "Caps Lock is Left Ctrl", [](const Outcome& o) { return o.Key(73).Mapped; }, 103},
    {"features", "keeps its VK", [](const Outcome& o) { return int(o.Key(73).vk); }, 0x14},
    {"features", "and no characters", [](const Outcome& o) { return int(o.Key(73).chars[0]); }, 0},
    {"features", "keypad Enter's own VK", [](const Outcome& o) { return int(o.Key(74).chars[0]); }, '='},
    {"features", "assigned to keypad Enter", [](const Outcome& o) { return int(o.Key(74).AssignedChar); }, 1},
    {"features", "main Enter", [](const Outcome& o) { return int(o.Key(104).chars[0]); }, '\r'},
    {"features", "special Space AltGr", [](const Outcome& o) { return int(o.state.specialKeys.At(5, 3)); }, 0xA0},
    {"features", "special Tab from no row", [](const Outcome& o) { return int(o.state.specialKeys.At(1, 1)); }, 0},
    {"features", "ligature length cut", [](const Outcome& o) { return o.layout->ligatures[15][6].length; }, 3},
    {"features", "ligature chars", [](const Outcome& o) { return int(o.layout->ligatures[15][6].chars[2]); }, 'i'},
    {"features", "ligature Shift", [](const Outcome& o) { return o.layout->ligatures[27][1].length; }, 2},
    {"features", "ligature full", [](const Outcome& o) { return o.layout->ligatures[27][0].length; }, 4},
    {"features", "no ligature for Ctrl key", [](const Outcome& o) { return o.layout->ligatures[73][0].length; }, 0},
    {"features", "ligature width", [](const Outcome& o) { return int(o.layout->ligatureWidth); }, 4},
    {"features", "ligature entry size", [](const Outcome& o) { return int(o.layout->ligatureEntrySize); }, 12},
    {"features", "AltGr flag", [](const Outcome& o) { return int(o.layout->altgr_used); }, 1},
    {"features", "LRM/RLM flag", [](const Outcome& o) { return int(o.layout->LRMRLM); }, 1},
    {"features", "Shift Lock flag", [](const Outcome& o) { return int(o.layout->ShiftLockOrig); }, 0},
    {"scancodes", "kept", [](const Outcome& o) { return o.layout->unresolvedCount; }, 500},
    {"scancodes", "first", [](const Outcome& o) { return int(o.layout->unresolved[0].scan); }, 0},
    {"scancodes", "last plain", [](const Outcome& o) { return int(o.layout->unresolved[40].scan); }, 0x7F},
    {"scancodes", "first E0", [](const Outcome& o) { return int(o.layout->unresolved[41].vk); }, 0x0180},
    {"scancodes", "last kept", [](const Outcome& o) { return int(o.layout->unresolved[499].scan); }, 0x7A},
    {"scancodes", "plain VKs", [](const Outcome& o) { return int(o.Key(2).vk); }, 0x41},
    {"scancodes", "no names", [](const Outcome& o) { return o.state.keyNames.count; }, 0},
    {"features", "no dead key names", [](const Outcome& o) { return o.state.deadKeyNames.count; }, 0},
    {"names", "dead key names, two left out", [](const Outcome& o) { return o.state.deadKeyNames.count; }, 4},
    {"names", "dead keys", [](const Outcome& o) { return o.layout->deadCount; }, 2},
    {"scancodes", "Shift Lock flag", [](const Outcome& o) { return int(o.layout->ShiftLockOrig); }, 1},
};

enum class NameList { Key, Extended, Dead };

struct NameExpectation {
  const char* layout;
  NameList list;
  int index;
  uint16_t scan;  // the accent, in the dead-key names
  std::u16string name;  // the same through the library and through the file walk
};

const std::u16string kCut = u"The quick brown fox jumps over the lazy dog and keeps on runnin";

const NameExpectation kNames[] = {
    {"us", NameList::Key, 0, 0x01, u"Escape"},
    {"us", NameList::Key, 2, 0x39, u"Space Bar"},
    {"us", NameList::Extended, 1, 0x1D, u"Right Ctrl"},
    {"features", NameList::Key, 0, 0x01, u"Esc"},  // the entry for scan 0 is skipped
    {"features", NameList::Key, 1, 0x0E, u"ABCDEFGHIJKLMNOPQRST"},
    {"features", NameList::Key, 2, 0x0F, u"ABCDEFGHIJKLMNOPQRSTU"},
    {"features", NameList::Key, 3, 0x1C, u"Enter"},      // a tab inside: the default
    {"features", NameList::Key, 4, 0x3A, u"Caps Lock"},  // 1234 leads nowhere: the default
    {"features", NameList::Key, 5, 0x39, u"Space\u0201"},
    {"features", NameList::Key, 6, 0x70, u"Kana"},
    {"features", NameList::Extended, 0, 0x1C, u""},      // 1234 leads nowhere: empty
    {"features", NameList::Extended, 1, 0x1D, u"Ctrl"},  // one space: the default (plain table first)
    {"features", NameList::Extended, 2, 0x35, u"Keypad Slash Key Name Long"},
    {"features", NameList::Extended, 3, 0x53, u"Del"},
    {"names", NameList::Key, 0, 0x01, u"\u0415\u0441\u043A\u0435\u0439\u043F"},
    {"names", NameList::Key, 1, 0x0E, u"\u03A0\u03AF\u03C3\u03C9"},
    {"names", NameList::Key, 2, 0x0F, u"\u062C\u062F\u0648\u0644"},
    {"names", NameList::Key, 3, 0x1C, kCut},  // exactly 63
    {"names", NameList::Key, 4, 0x1D, kCut},  // 70, cut
    {"names", NameList::Key, 5, 0x2A, u"Shift"},
    {"names", NameList::Key, 6, 0x36, u"Right Shift"},
    {"names", NameList::Key, 7, 0x38, u""},
    {"names", NameList::Key, 8, 0x39, u"Espace ins\u00E9cable\u00A0"},
    {"names", NameList::Extended, 0, 0x1C, u"\u0395\u03B9\u03C3\u03B1\u03B3\u03C9\u03B3\u03AE"},
    {"names", NameList::Extended, 1, 0x1D, u"Ctrl"},
    {"names", NameList::Extended, 2, 0x35, kCut},
    {"names", NameList::Extended, 3, 0x53, u""},
    {"names", NameList::Dead, 0, 0xB4, u"ACUTE"},
    {"names", NameList::Dead, 1, '`', u"GRAVE"},
    {"names", NameList::Dead, 2, 0xA8, u"\u0422\u0440\u0435\u043C\u0430"},
    {"names", NameList::Dead, 3, '~', kCut},
};

const KeyNameTable& NamesOf(const ProcessState& state, NameList list) {
  switch (list) {
    case NameList::Key: return state.keyNames;
    case NameList::Extended: return state.extendedKeyNames;
    case NameList::Dead: break;
  }
  return state.deadKeyNames;
}

TEST(LayoutLibraryReader, CompiledLibrariesOnEveryRoad) {
  struct Case {
    const char* layout;
    const char* arch;
    Road road;
    int keyNames, extendedKeyNames;
  };
  const Case cases[] = {
      {"us", "i686", Road::Loader, 4, 3},       {"us", "i686", Road::FileImage, 4, 3},
      {"us", "i686", Road::OlderSystem, 4, 3},  {"us", "x86_64", Road::Loader, 4, 3},
      {"features", "i686", Road::Loader, 7, 4}, {"features", "i686", Road::FileImage, 7, 4},
      {"features", "i686", Road::OlderSystem, 7, 4}, {"features", "x86_64", Road::Loader, 7, 4},
      {"features", "i686-packed", Road::Loader, 7, 4},
      {"scancodes", "i686", Road::Loader, 0, 0}, {"scancodes", "i686", Road::FileImage, 0, 0},
      {"scancodes", "x86_64", Road::Loader, 0, 0},
      {"names", "i686", Road::Loader, 9, 4}, {"names", "i686", Road::FileImage, 9, 4},
      {"names", "i686", Road::OlderSystem, 9, 4}, {"names", "x86_64", Road::Loader, 9, 4},
      // The libraries of a Windows that is 32-bit throughout: 4-byte references.
      {"us", "i686-ref32", Road::Loader, 4, 3},       {"us", "i686-ref32", Road::FileImage, 4, 3},
      {"features", "i686-ref32", Road::Loader, 7, 4}, {"features", "i686-ref32", Road::FileImage, 7, 4},
      {"names", "i686-ref32", Road::Loader, 9, 4},    {"names", "i686-ref32", Road::FileImage, 9, 4},
      // ARM64, linked by lld-link (last: skipped without clang's AArch64 target).
      {"us", "arm64", Road::Loader, 4, 3},       {"us", "arm64", Road::FileImage, 4, 3},
      {"features", "arm64", Road::Loader, 7, 4}, {"features", "arm64", Road::FileImage, 7, 4},
      {"scancodes", "arm64", Road::Loader, 0, 0}, {"scancodes", "arm64", Road::FileImage, 0, 0},
      {"names", "arm64", Road::Loader, 9, 4},    {"names", "arm64", Road::FileImage, 9, 4},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.layout) + "-" + c.arch + ".dll";
    SCOPED_TRACE(name + " road " + std::to_string(int(c.road)));
    const auto file = CompiledLayout(name);
    if (!file) GTEST_SKIP() << "no compiled libraries " << name;
    const Outcome o = Read(file, c.road);
    const bool tooMany = std::string(c.layout) == "scancodes";
    EXPECT_EQ(o.messages, tooMany ? std::vector<std::string>{"Too many scancodes!"} : std::vector<std::string>{});
    for (const Expectation& e : kCompiled)
      if (e.layout == std::string(c.layout)) {
        EXPECT_EQ(e.probe(o), e.value) << e.what;
      }
    EXPECT_EQ(o.state.keyNames.count, c.keyNames);
    EXPECT_EQ(o.state.extendedKeyNames.count, c.extendedKeyNames);
    for (const NameExpectation& n : kNames) {
      if (n.layout != std::string(c.layout)) continue;
      const KeyNameEntry& entry = NamesOf(o.state, n.list).entries[size_t(n.index)];
      EXPECT_EQ(entry.scan, n.scan) << int(n.list) << " " << n.index;
      EXPECT_TRUE(entry.name == n.name) << int(n.list) << " " << n.index << " " << entry.name.size();
    }
  }
}

TEST(LayoutLibraryReader, KeypadEnterReceivesRowsOnlyForItsExactVk) {
  ProcessState state;
  auto layout = std::make_unique<KeyboardLayout>();
  struct Case {
    uint16_t keypadVk, mainVk;
    int mainMapped, keypadEnterVk;
    uint8_t rowVk;
    int key;
  };
  const Case cases[] = {
      {0x010D, 0x0D, 0, 0x010D, 0x0D, 104},  // the usual library
      {0x000E, 0x0D, 0, 0x000E, 0x0E, 74},   // a VK of its own
      {0x010E, 0x0D, 0, 0x010E, 0x0E, 104},  // same low byte but flags: main Enter
      {0x000D, 0x0D, 103, 0x000D, 0x0D, 74}, // main Enter made Ctrl
      {0x000D, 0x0D, 103, 0x010D, 0x0D, 104},
      {0x010D, 0x0D, 0, 0x010D, 0x41, 27},
      {0x010D, 0x0D, 0, 0x010D, 0xE8, 0},
  };
  for (const Case& c : cases) {
    Clear(*layout, state);
    layout->Key(74).vk = c.keypadVk;
    layout->Key(104).vk = c.mainVk;
    layout->Key(104).Mapped = c.mainMapped;
    EXPECT_EQ(KeyForVk(*layout, c.keypadEnterVk, c.rowVk), c.key) << std::hex << int(c.rowVk) << " " << c.keypadVk;
  }
}

// A PE32 layout library laid out by hand in the two shapes the file walk
// knows: headers up to 0xC0 with the section (RVA 0x1000) at file offset
// 0x400, or headers up to 0x80 with file offsets equal to RVAs.
struct HandLayout {
  uint16_t lfanew = 0x80;
  int charTableEntries = 1;  // entries of the table list, all naming the same rows
  int deadKeys = 1;
  int names = 1;
  uint8_t ligatureEntrySize = 8;
};

constexpr uint32_t kHandBase = 0x10000000;
constexpr uint32_t kTablesAt = 0x100;  // in the section

struct HandImage {
  std::vector<uint8_t> file;
  size_t tablesOffset;  // in the file
  size_t sectionOffset;
};

HandImage BuildHand(const HandLayout& h) {
  ByteWriter s;  // the section
  uint32_t next = 0x200;
  auto va = [](uint32_t at) { return kHandBase + 0x1000 + at; };
  auto place = [&](ByteWriter data) {
    const uint32_t at = next;
    s.Bytes(at, data.bytes());
    next = (at + uint32_t(data.size()) + 15) & ~15u;
    return va(at);
  };
  auto words = [](std::initializer_list<uint16_t> list) {
    ByteWriter w;
    for (uint16_t v : list) w.U16(w.size(), v);
    return w;
  };
  auto ref = [&](uint32_t field, uint32_t target) { s.U32(kTablesAt + field, target); };
  s.U8(0, 0xB8);  // mov eax, tables; ret
  s.U32(1, va(kTablesAt));
  s.U8(5, 0xC3);
  s.U32(0x10 + 20, 1);  // export directory
  s.U32(0x10 + 24, 1);
  s.U32(0x10 + 28, 0x1000 + 0x40);
  s.U32(0x10 + 32, 0x1000 + 0x44);
  s.U32(0x10 + 36, 0x1000 + 0x48);
  s.U32(0x40, 0x1000);
  s.U32(0x44, 0x1000 + 0x50);
  const std::string name = "KbdLayerDescriptor";
  s.Bytes(0x50, std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size() + 1));

  ref(0x00, place(words({0, 0, 0, 0, 1, 0x0100})));  // wMaxModBits 1, columns 0 and 1
  const uint32_t rows = place(words({0x0141, 'a', 'A', 0x00DE, 0xF001, '"', 0x00FF, 0xB4, 0xF000, 0}));
  ByteWriter list;
  for (int i = 0; i < h.charTableEntries; ++i) {
    list.U32(size_t(i) * 16, rows);
    list.U16(size_t(i) * 16 + 8, 0x0602);  // 2 columns, rows of 6 bytes
  }
  list.U64(size_t(h.charTableEntries) * 16, 0);
  list.U64(size_t(h.charTableEntries) * 16 + 8, 0);
  ref(0x08, place(std::move(list)));
  ByteWriter dead;
  for (int i = 0; i < h.deadKeys; ++i) {
    dead.U16(size_t(i) * 8, 'e');
    dead.U16(size_t(i) * 8 + 2, 0xB4);
    dead.U16(size_t(i) * 8 + 4, 0xE9);
  }
  dead.U64(size_t(h.deadKeys) * 8, 0);
  ref(0x10, place(std::move(dead)));
  const uint32_t escape = place(words({'E', 's', 'c', 'a', 'p', 'e', 0}));
  ByteWriter names;
  for (int i = 0; i < h.names; ++i) {
    names.U8(size_t(i) * 16, 0x01);
    names.U32(size_t(i) * 16 + 8, escape);
  }
  names.U64(size_t(h.names) * 16 + 8, 0);
  ref(0x18, place(std::move(names)));
  ByteWriter deadNames;
  deadNames.U32(0, place(words({0xB4, 'A', 'C', 'U', 'T', 'E', 0})));
  deadNames.U64(8, 0);
  ref(0x28, place(std::move(deadNames)));
  ByteWriter scan(0x80);
  for (int i = 0; i < 0x40; ++i) scan.U16(size_t(i) * 2, 0xFF);
  scan.U16(0x1E * 2, 0x41);
  scan.U16(0x28 * 2, 0xDE);
  ref(0x30, place(std::move(scan)));
  s.U8(kTablesAt + 0x38, 0x40);
  ref(0x40, place(words({0x37, 0x012C, 0x1C, 0x010D, 0, 0})));
  s.U8(kTablesAt + 0x54, 2);
  s.U8(kTablesAt + 0x55, h.ligatureEntrySize);
  ref(0x58, place(words({'A', 1, 'a', 'e', 0, 0, 0, 0})));
  s.Reserve((next + 0x1FF) & ~0x1FFu);

  const size_t sectionOffset = h.lfanew == 0xC0 ? 0x400 : 0x1000;
  ByteWriter w(sectionOffset);
  w.U16(0, 0x5A4D);
  w.U32(0x3C, h.lfanew);
  w.U32(h.lfanew, 0x4550);
  w.U16(h.lfanew + 4, 0x014C);
  w.U16(h.lfanew + 6, 1);
  w.U16(h.lfanew + 20, 0xE0);
  const size_t opt = h.lfanew + 24;
  w.U16(opt, 0x10B);
  w.U32(opt + 28, kHandBase);
  w.U32(opt + 32, 0x1000);
  w.U32(opt + 36, 0x200);
  w.U32(opt + 56, 0x1000 + ((uint32_t(s.size()) + 0xFFF) & ~0xFFFu));
  w.U32(opt + 60, uint32_t(sectionOffset));
  w.U32(opt + 92, 16);
  w.U32(opt + 96, 0x1010);
  w.U32(opt + 100, 0x60);
  w.U32(opt + 0xE0 + 8, uint32_t(s.size()));
  w.U32(opt + 0xE0 + 12, 0x1000);
  w.U32(opt + 0xE0 + 16, uint32_t(s.size()));
  w.U32(opt + 0xE0 + 20, uint32_t(sectionOffset));
  w.Bytes(sectionOffset, s.bytes());
  return {w.Take(), sectionOffset + kTablesAt, sectionOffset};
}

TEST(LayoutLibraryReader, HandBuiltImagesThroughTheFileWalk) {
  struct Case {
    uint16_t lfanew;
    Road road;
  };
  for (const Case& c : {Case{0xC0, Road::FileImage}, Case{0x80, Road::FileImage}, Case{0x80, Road::Loader}}) {
    SCOPED_TRACE(c.lfanew);
    const Outcome o = Read(BuildHand({.lfanew = c.lfanew}).file, c.road);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(o.Key(27).chars[1], 'A');
    EXPECT_EQ(o.Key(37).dead[0], 1);
    EXPECT_EQ(o.Key(37).chars[0], 0xB4);
    EXPECT_EQ(o.Key(37).chars[1], '"');
    EXPECT_EQ(o.layout->deadCount, 1);
    EXPECT_EQ(o.layout->deadKeys[0].result, 0xE9);
    EXPECT_EQ(o.layout->unresolvedCount, 1);
    EXPECT_EQ(o.layout->unresolved[0].vk, 0x012C);
    EXPECT_EQ(o.layout->ligatures[27][1].length, 2);
    EXPECT_EQ(o.layout->ligatures[27][1].chars[1], 'e');
    EXPECT_TRUE(o.state.keyNames.entries[0].name == u"Escape");
    ASSERT_EQ(o.state.deadKeyNames.count, 1);
    EXPECT_EQ(o.state.deadKeyNames.entries[0].scan, 0xB4);
    EXPECT_TRUE(o.state.deadKeyNames.entries[0].name == u"ACUTE");
  }
}

TEST(LayoutLibraryReader, BrokenLibrariesEndWithTheirMessage) {
  const auto patch32 = [](HandImage& image, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image.file[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  struct Case {
    const char* what;
    HandLayout layout;
    void (*mutate)(HandImage&, void (*)(HandImage&, size_t, uint32_t));
    Road road;
    std::vector<std::string> messages;
    int deadCount, keyNames, ligatureLength;  // what was filled before the end
  };
  using Patch = void (*)(HandImage&, size_t, uint32_t);
  const std::vector<std::string> none, admin{kRunAsAdministrator}, bad{"Bad layout."};
  const std::vector<std::string> neither{
      "Bad layout.\rIts tables are in neither form of keyboard layout tables: with references of 4 bytes "
      "(32-bit Windows) or of 8 bytes (64-bit Windows)."};
  const std::vector<std::string> itanium{
      "This layout library is built for the Itanium (IA64) processor (machine 0x0200).\rOnly layout libraries for "
      "x86, x64 and ARM64 processors can be read."};
  const Case cases[] = {
      {"file cut inside the tables", {}, [](HandImage& i, Patch) { i.file.resize(i.tablesOffset + 0x20); },
       Road::FileImage, admin, 0, 77, 0},
      {"no file at all", {}, [](HandImage& i, Patch) { i.file.clear(); }, Road::FileImage, admin, 0, 77, 0},
      {"older system, no loading", {}, [](HandImage&, Patch) {}, Road::OlderUnloadable, {"Could not open layout."},
       0, 77, 0},
      {"character tables outside the file", {},
       [](HandImage& i, Patch p) { p(i, i.tablesOffset + 0x08, kHandBase + 0xFFF0); }, Road::FileImage, admin, 1, 1, 2},
      {"character tables outside the library", {},
       [](HandImage& i, Patch p) { p(i, i.tablesOffset + 0x08, kHandBase + 0xFFF0); }, Road::Loader, bad, 1, 1, 2},
      {"tables below the file's start", {.lfanew = 0xC0},
       [](HandImage& i, Patch p) { p(i, i.sectionOffset + 1, kHandBase + 0x0100); }, Road::FileImage, admin, 0, 77, 0},
      {"no descriptor export", {}, [](HandImage& i, Patch) { i.file[i.sectionOffset + 0x50] = 'X'; }, Road::Loader,
       bad, 0, 77, 0},
      {"E0 table without end", {},
       [](HandImage& i, Patch p) {
         for (size_t k = i.file.size() - 8; k < i.file.size(); ++k) i.file[k] = 0x11;
         p(i, i.tablesOffset + 0x40, kHandBase + uint32_t(i.file.size()) - 8);  // file offsets are RVAs
       },
       Road::FileImage, admin, 0, 77, 0},
      // The dead-key names were never needed to read a layout: they just end.
      {"dead-key names outside the file", {},
       [](HandImage& i, Patch p) { p(i, i.tablesOffset + 0x28, kHandBase + 0xFFF0); }, Road::FileImage, none, 1, 1, 2},
      {"list of ten character tables", {.charTableEntries = 10}, [](HandImage&, Patch) {}, Road::FileImage, none, 1, 1, 2},
      {"1300 dead keys", {.deadKeys = 1300}, [](HandImage&, Patch) {}, Road::FileImage, none, 1200, 1, 2},
      {"300 names", {.names = 300}, [](HandImage&, Patch) {}, Road::FileImage, none, 1, 256, 2},
      {"ligature entries of 0 bytes", {.ligatureEntrySize = 0}, [](HandImage&, Patch) {}, Road::FileImage, none, 1, 1, 2},
      // The upper half of a wide reference holds a value, and read narrow
      // there is no scan-code table length: neither form.
      {"tables in neither form, loaded", {}, [](HandImage& i, Patch p) { p(i, i.tablesOffset + 4, 0x12345678); },
       Road::Loader, neither, 0, 77, 0},
      {"tables in neither form, from the file", {},
       [](HandImage& i, Patch p) { p(i, i.tablesOffset + 4, 0x12345678); }, Road::FileImage, neither, 0, 77, 0},
      {"a library for another processor", {},
       [](HandImage& i, Patch) {
         const size_t pe = i.file[0x3C] | size_t(i.file[0x3D]) << 8;
         i.file[pe + 4] = 0x00;
         i.file[pe + 5] = 0x02;
       },
       Road::Loader, itanium, 0, 77, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HandImage image = BuildHand(c.layout);
    c.mutate(image, patch32);
    const Outcome o = Read(image.file, c.road);
    EXPECT_EQ(o.messages, c.messages);
    EXPECT_EQ(o.layout->deadCount, c.deadCount);
    EXPECT_EQ(o.state.keyNames.count, c.keyNames);
    EXPECT_EQ(o.layout->ligatures[27][1].length, c.ligatureLength);
  }
}

}  // namespace
}  // namespace tastora
