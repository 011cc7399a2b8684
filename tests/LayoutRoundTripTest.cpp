// Layout libraries built by the MinGW toolchain from our own sources type the
// same after the whole trip: read into the model, exported as markup,
// imported as `tastora build` prepares a data file, and written as a 64-bit
// and a 32-bit library. What a library types comes from the behaviour
// oracle, straight from its tables; first, the oracle itself on a few keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "datafile/LayoutDataFile.h"
#include "datafile/MarkupExport.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/LayoutBehaviour.h"
#include "tests/LayoutCheck.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"
#include "writer/LayoutLibraryWriter.h"
#include "writer/UnassignedKeys.h"

namespace tastora {
namespace {

using testing::DescribeDifferences;
using testing::DescribeTyped;
using testing::KeyState;
using testing::LayoutBehaviour;
using testing::MemoryFileSystem;
using testing::RecordingDialogs;
using testing::ReferenceWidth;
using testing::Zeros;

struct Build {
  const char* arch;
  ReferenceWidth width;
};
constexpr Build kBuilds[] = {
    {"x86_64", ReferenceWidth::Eight}, {"i686", ReferenceWidth::Eight}, {"i686-ref32", ReferenceWidth::Four}};
constexpr const char* kLayouts[] = {"us", "features", "central", "columns"};

void PrintTo(const Build& build, std::ostream* out) { *out << build.arch; }

std::optional<std::vector<uint8_t>> Compiled(const std::string& layout, const Build& build) {
  const std::string bytes =
      testing::ReadHost(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + layout + "-" + build.arch + ".dll");
  if (bytes.empty()) return std::nullopt;
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Through the offline loader, as the reader gets it.
std::optional<LayoutBehaviour> Behaviour(const std::vector<uint8_t>& image, ReferenceWidth width, Zeros zeros) {
  MemoryFileSystem files;
  files.Put("layout.dll", image);
  PeImageLoader loader(files);
  const auto library = loader.Load("layout.dll");
  if (!library) return std::nullopt;
  auto behaviour = testing::BehaviourOfLoadedLibrary(loader, *library, width, zeros);
  loader.Unload(*library);
  return behaviour;
}

struct Prepared {
  std::unique_ptr<KeyboardLayout> layout = std::make_unique<KeyboardLayout>();
  ProcessState state;
  std::vector<std::string> messages;
};

// Library -> model -> markup -> model, the last step as `tastora build`
// prepares a data file's layout (its preparation is private to the command,
// so it is repeated here): over the US layout, keypad VKs in the model's
// form, unassigned keys normalised.
Prepared ThroughTheModel(const std::vector<uint8_t>& library) {
  MemoryFileSystem files;
  files.Put("layout.dll", library);
  PeImageLoader loader(files);
  RecordingDialogs dialogs;
  IconvCodePages codePages;
  ProcessState readState;
  auto read = std::make_unique<KeyboardLayout>();
  Clear(*read, readState);
  ReadLayoutLibrary("layout.dll", *read, readState, {files, loader, dialogs});
  const std::vector<std::string> markup = ExportLayoutMarkup(*read, readState, "roundtrip");

  Prepared out;
  out.state.unattended = true;
  ResetToDefault(*out.layout, out.state);
  try {
    EXPECT_TRUE(LoadLayoutLines(markup, *out.layout, out.state, DataFilePorts{files, dialogs, codePages}));
  } catch (const std::exception& e) {
    ADD_FAILURE() << "the exported markup does not import: " << e.what();
  }
  AdjustNumpad(*out.layout, out.state);
  NormaliseUnassignedKeys(*out.layout, out.state);
  out.messages = dialogs.messages;
  return out;
}

std::string FirstDifferences(const LayoutBehaviour& expected, const LayoutBehaviour& actual) {
  constexpr size_t kShown = 12;
  const std::vector<std::string> lines = DescribeDifferences(expected, actual);
  std::string text = std::to_string(lines.size()) + " differences (original vs rebuilt):";
  for (size_t i = 0; i < std::min(lines.size(), kShown); ++i) text += "\n  " + lines[i];
  return text;
}

// What the original typed, with the three things a library we write always
// does differently and that no typist can tell: scan codes the original
// leaves without a key get their standard VK (the standard scan-code table
// is written whole); Break types ETX when the original has no VK_CANCEL row
// (the seed row); and a row for a VK that no scan code of the original
// produces, such as the VK_CAPITAL row of a layout whose Caps Lock is a Ctrl
// key, may go, since no key of the model sends that VK.
LayoutBehaviour AsRebuiltMayDiffer(LayoutBehaviour original, const LayoutBehaviour& rebuilt) {
  constexpr uint8_t kCancel = 0x03;
  constexpr uint16_t kNumpadFlag = 0x0800;
  constexpr std::array<uint8_t, 11> kNumpadVks{0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6E};
  for (const auto& [scan, vk] : rebuilt.scanCodes) original.scanCodes.emplace(scan, vk);
  std::set<uint8_t> reached, typedBefore, typedAfter;
  for (const auto& [scan, vk] : original.scanCodes) {
    reached.insert(uint8_t(vk & 0xFF));
    if (vk & kNumpadFlag) reached.insert(kNumpadVks.begin(), kNumpadVks.end());  // with Num Lock on
  }
  for (const auto& [state, typed] : original.typed) typedBefore.insert(state.vk);
  for (const auto& [state, typed] : rebuilt.typed) typedAfter.insert(state.vk);
  std::erase_if(original.typed, [&](const auto& entry) {
    const uint8_t vk = entry.first.vk;
    return !reached.contains(vk) && !typedAfter.contains(vk);
  });
  if (!typedBefore.contains(kCancel))
    for (const auto& [state, typed] : rebuilt.typed)
      if (state.vk == kCancel) original.typed.emplace(state, typed);
  return original;
}

class LayoutRoundTrip : public ::testing::TestWithParam<std::tuple<const char*, Build>> {};

TEST_P(LayoutRoundTrip, RebuiltLibrariesTypeAsTheOriginal) {
  const auto& [layout, build] = GetParam();
  const auto file = Compiled(layout, build);
  if (!file) GTEST_SKIP() << "no MinGW-built libraries";
  const auto original = Behaviour(*file, build.width, Zeros::AsNothing);
  ASSERT_TRUE(original);
  ASSERT_EQ(original->problems, std::vector<std::string>{});
  ASSERT_FALSE(original->typed.empty());

  const Prepared model = ThroughTheModel(*file);
  EXPECT_EQ(model.messages, std::vector<std::string>{});
  using BuildFn = LayoutImage (*)(const KeyboardLayout&, const ProcessState&, std::string_view);
  const struct {
    const char* what;
    BuildFn build;
    ReferenceWidth width;
  } images[] = {{"64-bit", &BuildLayoutImage64, ReferenceWidth::Eight},
                {"32-bit", &BuildLayoutImage32, ReferenceWidth::Eight},
                {"32-bit Windows", &BuildLayoutImageNative32, ReferenceWidth::Four}};
  for (const auto& kind : images) {
    SCOPED_TRACE(kind.what);
    const LayoutImage image = kind.build(*model.layout, model.state, "layout.dll");
    ASSERT_TRUE(image.fits());
    EXPECT_EQ(testing::CheckLayoutLibrary(image.bytes, unsigned(kind.width)), std::vector<std::string>{});
    const auto rebuilt = Behaviour(image.bytes, kind.width, Zeros::Kept);
    ASSERT_TRUE(rebuilt);
    const LayoutBehaviour expected = AsRebuiltMayDiffer(*original, *rebuilt);
    EXPECT_TRUE(expected == *rebuilt) << FirstDifferences(expected, *rebuilt);
  }
}

std::string CaseName(const ::testing::TestParamInfo<LayoutRoundTrip::ParamType>& info) {
  std::string name = std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).arch;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(CompiledLayouts, LayoutRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kLayouts), ::testing::ValuesIn(kBuilds)), CaseName);

// ---------------------------------------------------------------------------
// The oracle on keys whose answer is known from the sources.

constexpr uint8_t kShift = testing::kShift, kCtrl = testing::kCtrl, kAlt = testing::kAlt;
constexpr uint8_t kAltGr = kCtrl | kAlt;

struct TypedCase {
  const char* layout;
  uint8_t vk, modifiers;
  bool caps;
  const char* typed;  // as DescribeTyped writes it; with literal zeros kept
};

const TypedCase kTypedCases[] = {
    {"central", 'E', kShift | kAltGr, false, "'e'"},  // unused masks type the plain column
    {"central", 'E', kAlt, false, "'e'"},
    {"central", 'E', kAltGr, false, "U+20AC"},
    {"central", 'E', kShift | kCtrl, false, "nothing"},  // SHFT_INVALID
    {"central", 'E', 0, true, "'E'"},
    {"central", 'E', kAltGr, true, "U+20AC"},  // CAPLOK leaves AltGr alone
    {"central", 'S', kAltGr, true, "'s'"},     // CAPLOKALTGR: Shift+AltGr, the plain column
    {"central", 'S', kShift | kAltGr, true, "U+0111"},
    {"central", 0x6E, 0, false, "','"},  // VK_DECIMAL: the first table's row
    {"central", 0x6E, kShift, false, "','"},
    {"central", 0xBA, 0, false, "U+016F"},
    {"central", 0xBA, 0, true, "U+016E"},  // the Caps Lock row of VK 0xFF
    {"central", 0xBA, kShift, true, "'\"'"},
    {"central", 0xDD, 0, false, "')'"},
    {"central", 0xDD, 0, true, "dead U+02DB"},  // a dead key in the Caps Lock set
    {"central", 0xDD, kShift, true, "'('"},
    {"central", 0xBB, kShift, false, "dead U+02C7"},
    {"central", 0x03, kCtrl, false, "U+0003"},
    {"central", '1', kCtrl, false, "nothing"},  // beyond a two-column table
    {"central", 0xFF, 0, false, "nothing"},
    {"columns", '6', kShift | kCtrl, false, "U+001E"},
    {"columns", '2', kShift | kCtrl, false, "U+200D"},
    {"columns", '2', kCtrl, false, "literal 0"},
    {"columns", 'A', kAlt, false, "U+00E5"},
    {"columns", 'A', kShift | kAlt, true, "U+00C5"},  // no Caps Lock with Alt
    {"columns", 'A', kAltGr, false, "nothing"},       // above wMaxModBits
    {"columns", 'A', 0, true, "'A'"},
    {"columns", 'O', kShift | kAlt, false, "ligature 'OE'"},
    {"columns", 0x67, 0, false, "ligature '1/7'"},  // VK_NUMPAD7
    {"columns", 0xDF, kShift, false, "U+00A7"},     // VK_OEM_8
    {"columns", 0xC1, kShift, false, "'?'"},
    {"columns", 0xC2, 0, false, "'.'"},
    {"features", 'A', kAltGr, true, "U+00C6"},
    {"features", 0xDE, kShift, false, "dead U+00A8"},
    {"features", 0xBA, kShift, true, "U+00C8"},  // SGCAPS row of the key's own VK
    {"features", 'Q', kAltGr, false, "'@'"},     // a ligature entry but no WCH_LGTR
    {"us", 'A', kCtrl, false, "nothing"},
};

struct MapCase {
  const char* layout;
  const char* what;  // "scan" (0xE000 added for E0) or "compose" (accent << 16 | base)
  uint32_t key;
  uint16_t value;  // 0: none
};

const MapCase kMapCases[] = {
    {"columns", "scan", 0x35, 0xDF},     {"columns", "scan", 0x73, 0xC1},   {"columns", "scan", 0x7E, 0xC2},
    {"columns", "scan", 0x7F, 0},        {"us", "scan", 0x36, 0x01A1},      {"us", "scan", 0x59, 0x0C},
    {"us", "scan", 0xE01C, 0x010D},      {"features", "scan", 0xE01C, 0x0E}, {"us", "scan", 0x00, 0},
    {"central", "compose", 0x02DB0061, 0x0105}, {"central", "compose", 0x00B40020, 0x00B4},
    {"central", "compose", 0x02C70061, 0},
};

template <typename Map, typename Key>
uint16_t ValueOrZero(const Map& map, const Key& key) {
  const auto found = map.find(key);
  return found == map.end() ? 0 : found->second;
}

TEST(LayoutBehaviourOracle, KnownKeysOfTheCompiledLayouts) {
  for (const Build& build : kBuilds) {
    for (const char* layout : kLayouts) {
      SCOPED_TRACE(std::string(layout) + "-" + build.arch);
      const auto file = Compiled(layout, build);
      if (!file) GTEST_SKIP() << "no MinGW-built libraries";
      const auto kept = Behaviour(*file, build.width, Zeros::Kept);
      const auto asNothing = Behaviour(*file, build.width, Zeros::AsNothing);
      ASSERT_TRUE(kept && asNothing);
      EXPECT_EQ(kept->problems, std::vector<std::string>{});
      for (const TypedCase& c : kTypedCases) {
        if (c.layout != std::string(layout)) continue;
        const auto found = kept->typed.find(KeyState{c.vk, c.modifiers, c.caps});
        EXPECT_EQ(DescribeTyped(found == kept->typed.end() ? std::nullopt : std::optional(found->second)), c.typed)
            << "VK " << int(c.vk) << " " << testing::DescribeState(c.modifiers, c.caps);
      }
      for (const MapCase& c : kMapCases) {
        if (c.layout != std::string(layout)) continue;
        const uint16_t value = c.what == std::string("scan")
                                   ? ValueOrZero(kept->scanCodes, uint16_t(c.key))
                                   : ValueOrZero(kept->compositions, std::pair{uint16_t(c.key >> 16), uint16_t(c.key)});
        EXPECT_EQ(value, c.value) << c.what << " " << std::hex << c.key;
      }
      // Only literal zeros tell the two apart.
      auto zerosDropped = kept->typed;
      std::erase_if(zerosDropped, [](const auto& e) { return e.second.kind == testing::Typed::Kind::Zero; });
      EXPECT_EQ(zerosDropped, asNothing->typed);
    }
  }
}

}  // namespace
}  // namespace tastora
