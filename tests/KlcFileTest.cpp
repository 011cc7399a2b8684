// ".klc" files written by hand for the features, each beside a C layout of
// the same keys built by MinGW: the library our writer makes from the file
// types as the compiled one does; what the model cannot carry is reported
// by line; the text survives a trip through the model unchanged, and the
// typing a trip through a library.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ExportLayout.h"
#include "app/LayoutFileImport.h"
#include "klcfile/KlcFile.h"
#include "klcfile/KlcText.h"
#include "model/KeyboardLayout.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/LayoutBehaviour.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"
#include "writer/LayoutLibraryWriter.h"
#include "writer/UnassignedKeys.h"

namespace tastora {
namespace {

using testing::LayoutBehaviour;
using testing::MemoryFileSystem;
using testing::RecordingDialogs;
using testing::ReferenceWidth;
using testing::Zeros;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::optional<LayoutBehaviour> Behaviour(const std::vector<uint8_t>& image, Zeros zeros) {
  MemoryFileSystem files;
  files.Put("layout.dll", image);
  PeImageLoader loader(files);
  const auto library = loader.Load("layout.dll");
  if (!library) return std::nullopt;
  auto behaviour = testing::BehaviourOfLoadedLibrary(loader, *library, ReferenceWidth::Eight, zeros);
  loader.Unload(*library);
  return behaviour;
}

std::string Differences(const LayoutBehaviour& expected, const LayoutBehaviour& actual) {
  std::string text;
  for (const std::string& line : testing::DescribeDifferences(expected, actual)) text += "\n  " + line;
  return text;
}

struct Loaded {
  std::unique_ptr<KeyboardLayout> layout = std::make_unique<KeyboardLayout>();
  std::unique_ptr<ProcessState> state = std::make_unique<ProcessState>();
  KlcHeader header;
  std::vector<std::string> questions;
};

// As `tastora build` prepares a file (over the US layout, keypad VKs in the
// model's form, unassigned keys normalised), the user agreeing to what is left out.
Loaded Load(const std::vector<uint8_t>& bytes, const char* name = "layout.klc") {
  MemoryFileSystem files;
  files.Put(name, bytes);
  RecordingDialogs dialogs;
  IconvCodePages codePages;
  Loaded out;
  out.state->unattended = true;
  ResetToDefault(*out.layout, *out.state);
  const DataFilePorts ports{files, dialogs, codePages};
  EXPECT_TRUE(ImportUserLayoutFile(name, *out.layout, *out.state, ports, &out.header));
  AdjustNumpad(*out.layout, *out.state);
  NormaliseUnassignedKeys(*out.layout, *out.state);
  out.questions = dialogs.questions;
  return out;
}

std::u16string Written(const Loaded& loaded, std::vector<std::string>* problems = nullptr) {
  std::vector<std::string> ignored;
  return WriteKlcText(*loaded.layout, *loaded.state, loaded.header, problems ? *problems : ignored);
}

// The library read back into the model, as `tastora export` reads one.
Loaded ReadLibrary(const std::vector<uint8_t>& image, const KlcHeader& header) {
  MemoryFileSystem files;
  files.Put("layout.dll", image);
  PeImageLoader loader(files);
  RecordingDialogs dialogs;
  Loaded out;
  Clear(*out.layout, *out.state);
  ReadLayoutLibrary("layout.dll", *out.layout, *out.state, {files, loader, dialogs});
  out.header = header;
  return out;
}

struct KlcCase {
  const char* file;      // tests/data/klc
  const char* compiled;  // tests/data/layouts, built for x86_64
  std::vector<int> leftOut;  // lines reported as what the layout cannot carry
  bool asWritten;        // the file is in the writer's own arrangement
  size_t exportProblems;  // what a .klc file cannot hold of the layout read from it
};

TEST(KlcFile, FilesTypeAsTheirCompiledLayoutsAndSurviveTheTrips) {
  const KlcCase cases[] = {
      {"basic.klc", "klc_basic", {}, true, 0},
      {"columns.klc", "klc_columns", {}, false, 0},
      {"refused.klc", "klc_refused", {9, 11, 16, 19, 20, 21, 34}, false, 1},
  };
  for (const KlcCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string file = testing::ReadHost(std::string(TASTORA_TEST_DATA) + "/klc/" + c.file);
    ASSERT_FALSE(file.empty());
    // Recognised by what it holds, whatever its name.
    EXPECT_TRUE(IsKlcFile(Bytes(file)));
    const Loaded loaded = Load(Bytes(file), "layout.txt");

    auto scratch = std::make_unique<KeyboardLayout>();
    ProcessState scratchState;
    KlcHeader header;
    std::vector<KlcProblem> problems;
    ParseKlc(DecodeKlcText(Bytes(file)), *scratch, scratchState, header, problems);
    std::vector<int> lines;
    for (const KlcProblem& p : problems) lines.push_back(p.line);
    EXPECT_EQ(lines, c.leftOut) << DescribeKlcProblems(problems);
    EXPECT_EQ(loaded.questions.size(), c.leftOut.empty() ? 0u : 1u);

    // klc -> model -> klc: the text is stable.
    std::vector<std::string> exportProblems;
    const std::u16string once = Written(loaded, &exportProblems);
    EXPECT_EQ(exportProblems.size(), c.exportProblems);
    const std::vector<uint8_t> onceBytes = EncodeKlcText(once);
    EXPECT_EQ(Written(Load(onceBytes)), once);
    if (c.asWritten) {
      EXPECT_EQ(once, DecodeKlcText(Bytes(file)));
    }

    // The library made from it types as the compiled one.
    const LayoutImage image = BuildLayoutImage64(*loaded.layout, *loaded.state, "layout.dll");
    const auto ours = Behaviour(image.bytes, Zeros::Kept);
    ASSERT_TRUE(ours);
    const std::string compiled =
        testing::ReadHost(std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + c.compiled + "-x86_64.dll");
    if (!compiled.empty()) {
      const auto theirs = Behaviour(Bytes(compiled), Zeros::AsNothing);
      ASSERT_TRUE(theirs);
      EXPECT_TRUE(*theirs == *ours) << "compiled vs ours:" << Differences(*theirs, *ours);
    }

    // klc -> library -> klc -> library: the typing is kept, where nothing was reported left out.
    if (c.exportProblems != 0) continue;
    const Loaded fromLibrary = ReadLibrary(image.bytes, loaded.header);
    const Loaded again = Load(EncodeKlcText(Written(fromLibrary)));
    const auto rebuilt = Behaviour(BuildLayoutImage64(*again.layout, *again.state, "layout.dll").bytes, Zeros::Kept);
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(*ours == *rebuilt) << "first vs rebuilt:" << Differences(*ours, *rebuilt);
  }
}

// What the user is asked, and what the program takes from a file for itself.
TEST(KlcFile, AskedBeforeLeavingOutAndNamedByTheFile) {
  const std::string data = std::string(TASTORA_TEST_DATA) + "/klc/";
  const struct {
    const char* file;
    bool agree;
    bool loaded;
    std::optional<std::pair<int32_t, std::string>> languageAndName;  // for `create` without LANG and NAME
  } cases[] = {
      {"basic.klc", false, true,
       std::pair{0x0409, "Basic test layout with a long name for the registry and the language bar"}},
      {"columns.klc", false, true, std::pair{0x041A, "Columns out of order"}},
      {"refused.klc", true, true, std::pair{0x0407, "What a layout cannot carry"}},
      {"refused.klc", false, false, std::pair{0x0407, "What a layout cannot carry"}},
      {"../../../examples/tastora-demo.vyr2000", true, true, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.agree ? " agreed" : " declined"));
    testing::MemoryFileSystem files;
    files.Put("in", testing::ReadHost(data + c.file));
    RecordingDialogs dialogs;
    dialogs.answer = c.agree;
    IconvCodePages codePages;
    ProcessState state;
    auto layout = std::make_unique<KeyboardLayout>();
    ResetToDefault(*layout, state);
    const auto before = std::make_unique<KeyboardLayout>(*layout);
    const bool loaded = ImportUserLayoutFile("in", *layout, state, DataFilePorts{files, dialogs, codePages});
    EXPECT_EQ(loaded, c.loaded);
    if (!loaded) {
      EXPECT_EQ(std::memcmp(layout.get(), before.get(), sizeof *layout), 0);
    }

    std::string error;
    const auto given = LanguageAndNameOfFile("in", files, error);
    ASSERT_EQ(given.has_value(), c.languageAndName.has_value()) << error;
    if (given) {
      EXPECT_EQ(std::pair(given->language, given->name), *c.languageAndName);
    }
  }
}

// A library with states a .klc file has no column for: said, and written only when the user agrees.
TEST(KlcFile, ExportSaysWhatItLeavesOut) {
  const std::string path = std::string(TASTORA_TEST_LAYOUTS_DIR) + "/columns-x86_64.dll";
  if (testing::ReadHost(path).empty()) GTEST_SKIP() << "no MinGW-built libraries";
  HostFileSystem host;
  IconvCodePages codePages;
  PeImageLoader loader;
  for (const bool agree : {false, true}) {
    RecordingDialogs dialogs;
    dialogs.answer = agree;
    ProcessState state;
    const auto bytes = ExportLayoutAs(path, "out.klc", state, LayoutSourcePorts{host, dialogs, codePages, loader});
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_NE(dialogs.questions[0].find("Shift+Alt, a shift state a .klc file has no column for"), std::string::npos);
    ASSERT_EQ(bytes.has_value(), agree);
    if (!bytes) continue;
    const std::u16string text = DecodeKlcText(Bytes(*bytes));
    EXPECT_EQ(bytes->substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(klc::ToUtf8(text.substr(0, 11)), "KBD\tcolumns");
    // A library names no language: the creator's default, with its name.
    EXPECT_NE(text.find(u"LOCALENAME\t\"en-US\"\r\n\r\nLOCALEID\t\"00000409\""), std::u16string::npos);
    EXPECT_NE(text.find(u"\r\nENDKBD\r\n"), std::u16string::npos);
  }
}

}  // namespace
}  // namespace tastora
