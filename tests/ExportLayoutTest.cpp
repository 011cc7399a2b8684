// Export of layout libraries: what the reader read comes back from the data
// file whole.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "app/ExportLayout.h"
#include "datafile/LayoutDataFile.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/PeImageLoader.h"
#include "reader/LayoutLibraryReader.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

TEST(ExportLayout, LibrariesExportToDataFilesThatImportToTheSameLayout) {
  for (const char* name :
       {"features-i686.dll", "features-x86_64.dll", "us-i686.dll", "scancodes-x86_64.dll", "names-i686.dll"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + name;
    if (!std::ifstream(path)) GTEST_SKIP() << "no MinGW-built libraries";
    HostFileSystem host;
    testing::MemoryFileSystem memory;
    testing::RecordingDialogs dialogs;
    IconvCodePages codePages;
    PeImageLoader loader;
    ProcessState state;
    state.unattended = true;

    auto read = std::make_unique<KeyboardLayout>();
    Clear(*read, state);
    ReadLayoutLibrary(path, *read, state, LayoutReaderPorts{host, loader, dialogs});
    const ProcessState tablesRead = state;

    const auto markup = ExportLayoutFile(path, state, LayoutSourcePorts{host, dialogs, codePages, loader});
    ASSERT_TRUE(markup);
    memory.Put("x.vyr2000", *markup);
    auto imported = std::make_unique<KeyboardLayout>();
    Clear(*imported, state);
    ASSERT_TRUE(ImportLayoutFile("x.vyr2000", *imported, state, DataFilePorts{memory, dialogs, codePages}));

    // A data file does not carry the source library's ligature header, nor the
    // fillers the reader leaves past a ligature's length (never written out).
    for (auto& row : read->ligatures)
      for (LigatureCell& cell : row)
        for (int i = cell.length; i < kMaxLigatureLength; ++i) cell.chars[size_t(i)] = 0;
    imported->ligatureWidth = read->ligatureWidth;
    imported->ligatureEntrySize = read->ligatureEntrySize;
    imported->ligatureSource = read->ligatureSource;
    EXPECT_EQ(std::memcmp(read.get(), imported.get(), sizeof *read), 0);
    EXPECT_EQ(state.keyNames.count, tablesRead.keyNames.count);
    for (int i = 0; i < state.keyNames.count; ++i)
      EXPECT_TRUE(state.keyNames.entries[size_t(i)].name == tablesRead.keyNames.entries[size_t(i)].name);
    // The dead-key names travel in an element of their own, written only when there are any.
    const bool hasDeadNames = tablesRead.deadKeyNames.count > 0;
    EXPECT_EQ(hasDeadNames, std::string(name).rfind("names", 0) == 0);
    EXPECT_EQ(markup->find("<KEY_NAMES_DEAD >") != std::string::npos, hasDeadNames);
    if (hasDeadNames) {
      EXPECT_NE(markup->find(R"(<NAME CHAR="00B4"> <C U="0041"/>)"), std::string::npos);
    }
    EXPECT_EQ(state.deadKeyNames.count, tablesRead.deadKeyNames.count);
    for (int i = 0; i < state.deadKeyNames.count; ++i) {
      EXPECT_EQ(state.deadKeyNames.entries[size_t(i)].scan, tablesRead.deadKeyNames.entries[size_t(i)].scan);
      EXPECT_TRUE(state.deadKeyNames.entries[size_t(i)].name == tablesRead.deadKeyNames.entries[size_t(i)].name);
    }
    EXPECT_EQ(state.specialKeys.cells, tablesRead.specialKeys.cells);
  }
}

TEST(ExportLayout, BrokenLibrariesAndUnknownFilesExportNothing) {
  testing::MemoryFileSystem files;
  testing::RecordingDialogs dialogs;
  IconvCodePages codePages;
  PeImageLoader loader;
  ProcessState state;
  files.Put("broken.dll", std::string("MZ") + std::string(100, '\x01'));
  files.Put("text.vyr2000", std::string("hello, world"));
  const LayoutSourcePorts ports{files, dialogs, codePages, loader};
  EXPECT_FALSE(ExportLayoutFile("broken.dll", state, ports));
  EXPECT_FALSE(dialogs.messages.empty());
  dialogs.messages.clear();
  EXPECT_FALSE(ExportLayoutFile("text.vyr2000", state, ports));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Could not read file\rtext.vyr2000"});
  EXPECT_FALSE(ExportLayoutFile("missing.dll", state, ports));
}

}  // namespace
}  // namespace tastora
