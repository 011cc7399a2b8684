// Every example data file survives import -> export -> import unchanged, and
// an export of an export is byte-identical to it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/ExportLayout.h"
#include "datafile/LayoutDataFile.h"
#include "datafile/MarkupExport.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "platform/offline/HostFileSystem.h"
#include "platform/offline/IconvCodePages.h"
#include "tests/TestFiles.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

bool SameNames(const KeyNameTable& a, const KeyNameTable& b) {
  if (a.count != b.count) return false;
  for (int i = 0; i < a.count; ++i)
    if (a.entries[size_t(i)].scan != b.entries[size_t(i)].scan || a.entries[size_t(i)].name != b.entries[size_t(i)].name)
      return false;
  return true;
}

TEST(Examples, ImportExportImportKeepsTheLayoutAndExportIsAFixedPoint) {
  const auto paths = testing::ExampleFiles();
  ASSERT_GE(paths.size(), 5u);
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    HostFileSystem host;
    testing::MemoryFileSystem memory;
    testing::RecordingDialogs dialogs;
    IconvCodePages codePages;
    ProcessState state;
    state.unattended = true;

    auto first = std::make_unique<KeyboardLayout>();
    Clear(*first, state);
    ASSERT_TRUE(ImportLayoutFile(path, *first, state, DataFilePorts{host, dialogs, codePages}));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    const ProcessState afterFirst = state;
    const std::string exported = JoinMarkupLines(ExportLayoutMarkup(*first, state, LayoutNameOfPath(path)));

    // No dead-key names in the examples: the export has no element for them.
    EXPECT_EQ(exported.find("KEY_NAMES_DEAD"), std::string::npos);

    // Disturb the companion tables: the second import must bring them back,
    // and a file without dead-key names leaves none.
    state.keyNames.Empty();
    state.extendedKeyNames.Empty();
    state.deadKeyNames.count = 1;
    state.deadKeyNames.entries[0] = {0xB4, u"ACUTE"};
    memory.Put("again.vyr2000", exported);
    auto second = std::make_unique<KeyboardLayout>();
    Clear(*second, state);
    ASSERT_TRUE(ImportLayoutFile("again.vyr2000", *second, state, DataFilePorts{memory, dialogs, codePages}));
    EXPECT_EQ(std::memcmp(first.get(), second.get(), sizeof *first), 0);
    EXPECT_TRUE(SameNames(state.keyNames, afterFirst.keyNames));
    EXPECT_TRUE(SameNames(state.extendedKeyNames, afterFirst.extendedKeyNames));
    EXPECT_EQ(state.deadKeyNames.count, 0);
    EXPECT_EQ(state.specialKeys.cells, afterFirst.specialKeys.cells);

    const std::string again = JoinMarkupLines(ExportLayoutMarkup(*second, state, LayoutNameOfPath(path)));
    EXPECT_EQ(again, exported);

    // Sanity of the example itself: it is a whole layout.
    int typing = 0;
    for (int n = 1; n <= 48; ++n) typing += first->Key(n).chars[0] != 0;
    EXPECT_GE(typing, 46);
  }
}

}  // namespace
}  // namespace tastora
