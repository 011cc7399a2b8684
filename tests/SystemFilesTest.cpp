// The files of a Windows root by Windows path: the system folder of each
// Windows, the redirection switch that every file port of a session follows,
// copies that never replace a file, and writes that never leave half a file.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/cli/RootOption.h"
#include "platform/PlatformFactory.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineSystemFiles.h"
#include "reader/LibraryMachine.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"

namespace tastora {
namespace {

using testing::TempDir;
using testing::ReadHost;
namespace fs = std::filesystem;
using testing::RecordingDialogs;



std::string Text(const std::optional<std::vector<uint8_t>>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
}

bool ReadOnly(const fs::path& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

// A root opened as a session, with its system folders at hand.
struct Root {
  explicit Root(RootWindows windows, bool withLayouts = false)
      : ports(testing::MakeOpenedRoot(dir.path.string(), windows, codePages, dialogs,
                                      withLayouts ? testing::RootContents::kInitialized
                                                  : testing::RootContents::kEmpty)) {}
  fs::path Folder(const std::string& name) const { return dir.path / "drive_c" / "windows" / name; }
  void Put(const std::string& folder, const std::string& name, const std::string& content) const {
    std::ofstream(Folder(folder) / name, std::ios::binary) << content;
  }
  OfflineSystemFiles& Files() { return dynamic_cast<OfflineSystemFiles&>(*ports.systemFiles); }
  // Names in a folder that are not `expected`: the temporary files a failure left behind.
  std::vector<std::string> Leftovers(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Folder(folder)))
      if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
    return names;
  }

  TempDir dir{"tastora-files"};
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  SystemPorts ports;
};

TEST(OfflineSystemFiles, TheSystemFolderAndTheSwitchFollowTheRootsWindows) {
  struct Case {
    RootWindows windows;
    std::string directory;
    bool canSwitch;
  };
  const Case cases[] = {
      {RootWindows::Windows10, "C:\\windows\\system32", true},
      {RootWindows::WindowsXp, "C:\\windows\\system32", false},
      {RootWindows::Windows98, "C:\\windows\\system", false},
      {RootWindows::Windows95, "C:\\windows\\system", false},
  };
  for (const Case& c : cases) {
    Root root(c.windows);
    SystemFiles& files = *root.ports.systemFiles;
    EXPECT_EQ(files.SystemDirectory(), c.directory);
    {
      RedirectionOff off(files);
      EXPECT_EQ(off.Succeeded(), c.canSwitch) << c.directory;
      EXPECT_EQ(files.SystemDirectory(), c.directory);
      EXPECT_EQ(root.Files().Redirected(), !c.canSwitch);
    }
    EXPECT_TRUE(root.Files().Redirected());
  }
}

// The processor comes from the registry value Windows keeps it in; without
// it, the folders decide.
TEST(OfflineSystemFiles, TheNativeMachineIsTheRootsProcessor) {
  struct Case {
    RootWindows windows;
    const char* architecture;  // none: the value is not there (or as init wrote it)
    Processor machine;
    testing::RootContents contents = testing::RootContents::kEmpty;
    uint16_t nativeLibrary = 0;  // the machine of init's native US library
  };
  const Case cases[] = {
      {RootWindows::Windows10, nullptr, Processor::X64},   {RootWindows::WindowsXp, nullptr, Processor::X86},
      {RootWindows::Windows10, "ARM64", Processor::Arm64}, {RootWindows::Windows10, "arm64", Processor::Arm64},
      {RootWindows::Windows10, "AMD64", Processor::X64},   {RootWindows::WindowsXp, "x86", Processor::X86},
      {RootWindows::Windows10, "IA64", Processor::X64},    {RootWindows::WindowsXp, "", Processor::X86},
      {RootWindows::Windows11Arm64, nullptr, Processor::Arm64, testing::RootContents::kInitialized, 0xAA64},
      {RootWindows::Windows11, nullptr, Processor::X64, testing::RootContents::kInitialized, 0x8664},
      {RootWindows::Windows81, nullptr, Processor::X64, testing::RootContents::kInitialized, 0x8664},
      {RootWindows::WindowsXp, nullptr, Processor::X86, testing::RootContents::kInitialized, 0x014C},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(WineNameOf(c.windows)) + " " + (c.architecture ? c.architecture : "(none)"));
    TempDir dir{"tastora-files"};
    testing::MakeRoot(dir.path.string(), c.windows, c.contents);
    if (c.architecture) testing::SetProcessorArchitecture(dir.path.string(), c.architecture);
    if (c.nativeLibrary) {
      const std::string library = ReadHost(dir.path / "drive_c" / "windows" / "system32" / "kbdus.dll");
      EXPECT_EQ(LibraryMachine(std::span(reinterpret_cast<const uint8_t*>(library.data()), library.size())),
                c.nativeLibrary);
    }
    IconvCodePages codePages;
    RecordingDialogs dialogs;
    std::string error;
    auto system = OpenSystem(dir.path.string(), codePages, dialogs, error);
    ASSERT_TRUE(system) << error;
    EXPECT_EQ(system->systemFiles->NativeMachine(), c.machine);
  }
}

TEST(OfflineSystemFiles, WindowsPathsMapIntoTheRootAsTheSwitchSays) {
  Root root(RootWindows::Windows10);
  root.Put("system32", "x.dll", "native");
  root.Put("syswow64", "x.dll", "wow64");
  const std::string hostNative = (root.Folder("system32") / "x.dll").string();
  struct Case {
    std::string path;
    bool off;
    std::string content;
  };
  const Case cases[] = {
      {"C:\\windows\\system32\\x.dll", false, "wow64"},
      {"C:\\windows\\system32\\x.dll", true, "native"},
      {"c:\\WINDOWS\\System32\\X.DLL", false, "wow64"},
      {"C:/windows/system32/x.dll", true, "native"},
      {"C:\\windows\\sysnative\\x.dll", false, "native"},
      {"C:\\windows\\syswow64\\x.dll", true, "wow64"},
      {"C:\\windows\\system32\\..\\system32\\x.dll", false, "wow64"},
      {"\\windows\\system32\\x.dll", false, "wow64"},  // the current drive is C:
      {"Q:\\windows\\system32\\x.dll", false, "<none>"},
      {"C:\\windows\\system32\\y.dll", false, "<none>"},
      {"C:\\windows\\system32", false, "<none>"},
      {hostNative, false, "native"},  // a host path is not redirected
      {"", false, "<none>"},
  };
  SystemFiles& files = *root.ports.systemFiles;
  for (const Case& c : cases) {
    if (c.off) {
      ASSERT_TRUE(files.DisableRedirection());
    }
    EXPECT_EQ(Text(root.ports.files->ReadFile(c.path, 100, false)), c.content) << c.path << (c.off ? " off" : " on");
    if (c.off) files.RevertRedirection();
  }
}

TEST(OfflineSystemFiles, SwitchingOffNestsAsTheWindowsPairDoes) {
  Root root(RootWindows::Windows10);
  root.Put("system32", "x.dll", "native");
  root.Put("syswow64", "x.dll", "wow64");
  SystemFiles& files = *root.ports.systemFiles;
  auto seen = [&] { return Text(root.ports.files->ReadFile("C:\\windows\\system32\\x.dll", 100, false)); };

  files.RevertRedirection();  // without a disable: nothing to restore
  EXPECT_EQ(seen(), "wow64");
  ASSERT_TRUE(files.DisableRedirection());
  ASSERT_TRUE(files.DisableRedirection());
  files.RevertRedirection();
  EXPECT_EQ(seen(), "native") << "the inner revert restores the state before it: off";
  files.RevertRedirection();
  EXPECT_EQ(seen(), "wow64");
}

TEST(OfflineSystemFiles, EveryPortOfASessionFollowsOneSwitch) {
  Root root(RootWindows::Windows10, true);
  // The 32-bit view's library is broken; the native one is the real thing.
  root.Put("syswow64", "kbdus.dll", "not a library");
  const std::string library = "C:\\windows\\system32\\kbdus.dll";
  SystemPorts& ports = root.ports;

  EXPECT_FALSE(ports.loader->Load(library));
  EXPECT_EQ(ports.writer->WriteWhole("C:\\windows\\system32\\l_kbdus.dll", std::vector<uint8_t>{'3', '2'}),
            FileWriter::Outcome::Written);
  {
    RedirectionOff off(*ports.systemFiles);
    ASSERT_TRUE(off.Succeeded());
    const auto handle = ports.loader->Load(library);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(ports.loader->FindExport(*handle, "KbdLayerDescriptor"));
    ports.loader->Unload(*handle);
    EXPECT_EQ(ports.writer->WriteWhole("C:\\windows\\system32\\l_kbdus.dll", std::vector<uint8_t>{'6', '4'}),
              FileWriter::Outcome::Written);
    EXPECT_EQ(Text(ports.files->ReadFile("C:\\windows\\system32\\l_kbdus.dll", 10, false)), "64");
    EXPECT_TRUE(ports.systemFiles->FileExists("C:\\windows\\system32\\l_kbdus.dll"));
  }
  EXPECT_EQ(Text(ports.files->ReadFile("C:\\windows\\system32\\l_kbdus.dll", 10, false)), "32");
  EXPECT_EQ(ReadHost(root.Folder("syswow64") / "l_kbdus.dll"), "32");
  EXPECT_EQ(ReadHost(root.Folder("system32") / "l_kbdus.dll"), "64");

  // Each port keeps the files alive on its own.
  auto loader = std::move(ports.loader);
  auto systemFiles = std::move(ports.systemFiles);
  ports = SystemPorts{};
  RedirectionOff off(*systemFiles);
  const auto handle = loader->Load(library);
  ASSERT_TRUE(handle);
  loader->Unload(*handle);
}

TEST(OfflineSystemFiles, FileExistsMeansAFile) {
  Root root(RootWindows::Windows10);
  root.Put("syswow64", "KBDUS.DLL", "x");
  const std::pair<std::string, bool> cases[] = {
      {"C:\\windows\\system32\\kbdus.dll", true},
      {"C:\\windows\\system32\\KBDUS.DLL", true},
      {"C:\\windows\\system32\\kbdgr.dll", false},
      {"C:\\windows\\system32", false},
      {"C:\\windows\\system32\\", false},
      {"Q:\\kbdus.dll", false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(root.ports.systemFiles->FileExists(path), exists) << path;
}

TEST(OfflineSystemFiles, CopyNeverReplacesAFileAndLeavesNothingWhenItFails) {
  struct Case {
    const char* what;
    std::string from;
    std::string to;
    bool failNext;
    bool copied;
  };
  const std::string sys = "C:\\windows\\system32\\";
  const Case cases[] = {
      {"a new file", sys + "kbdus.dll", sys + "KBD0.dll", false, true},
      {"the source found regardless of case", sys + "KBDUS.DLL", sys + "KBD0.dll", false, true},
      {"the target exists", sys + "kbdus.dll", sys + "kbdgr.dll", false, false},
      {"the target exists in another case", sys + "kbdus.dll", sys + "KBDGR.DLL", false, false},
      {"the source is missing", sys + "kbdfr.dll", sys + "KBD0.dll", false, false},
      {"the source is a folder", "C:\\windows\\system32", sys + "KBD0.dll", false, false},
      {"the target folder is missing", sys + "kbdus.dll", "C:\\windows\\nowhere\\KBD0.dll", false, false},
      {"the hook fails it", sys + "kbdus.dll", sys + "KBD0.dll", true, false},
  };
  for (const Case& c : cases) {
    Root root(RootWindows::Windows10);
    root.Put("syswow64", "kbdus.dll", "US");
    root.Put("syswow64", "kbdgr.dll", "German");
    if (c.failNext) root.Files().FailNext(FileOperation::Copy);

    EXPECT_EQ(root.ports.systemFiles->CopyFile(c.from, c.to), c.copied) << c.what;
    EXPECT_EQ(ReadHost(root.Folder("syswow64") / "kbdgr.dll"), "German") << c.what;
    EXPECT_EQ(fs::exists(root.Folder("syswow64") / "KBD0.dll"), c.copied) << c.what;
    if (c.copied) {
      EXPECT_EQ(ReadHost(root.Folder("syswow64") / "KBD0.dll"), "US") << c.what;
    }
    EXPECT_TRUE(fs::is_empty(root.Folder("system32"))) << c.what;
    EXPECT_TRUE(root.Leftovers("syswow64").empty()) << c.what;
  }
}

TEST(OfflineSystemFiles, ACopyKeepsTheReadOnlyAttributeAndAFailureHookFiresOnce) {
  Root root(RootWindows::Windows10);
  root.Put("syswow64", "kbdus.dll", "US");
  SystemFiles& files = *root.ports.systemFiles;
  ASSERT_TRUE(root.ports.writer->SetAttributes("C:\\windows\\system32\\kbdus.dll", 0x21));
  root.Files().FailNext(FileOperation::Copy);
  EXPECT_FALSE(files.CopyFile("C:\\windows\\system32\\kbdus.dll", "C:\\windows\\system32\\a.dll"));
  EXPECT_TRUE(files.CopyFile("C:\\windows\\system32\\kbdus.dll", "C:\\windows\\system32\\a.dll"));
  EXPECT_TRUE(ReadOnly(root.Folder("syswow64") / "a.dll"));
}

TEST(OfflineSystemFiles, AWriteReplacesTheFileWholeOrNotAtAll) {
  using Outcome = FileWriter::Outcome;
  struct Case {
    const char* what;
    std::string path;
    std::optional<FileOperation> fail;
    bool existing;
    bool readOnly;
    Outcome outcome;
  };
  const std::string target = "C:\\windows\\system32\\l_kbdus.dll";
  const Case cases[] = {
      {"a new file", target, std::nullopt, false, false, Outcome::Written},
      {"an existing file", target, std::nullopt, true, false, Outcome::Written},
      {"a read-only file", target, std::nullopt, true, true, Outcome::NotOpened},
      {"a failed open", target, FileOperation::Open, true, false, Outcome::NotOpened},
      {"a failed write", target, FileOperation::Write, true, false, Outcome::WriteFailed},
      {"a failed close", target, FileOperation::Close, true, false, Outcome::WriteFailed},
      {"a failed rename", target, FileOperation::Rename, true, false, Outcome::WriteFailed},
      {"a failed write of a new file", target, FileOperation::Write, false, false, Outcome::WriteFailed},
      {"a folder", "C:\\windows\\system32", std::nullopt, false, false, Outcome::NotOpened},
      {"a missing folder", "C:\\windows\\nowhere\\l_kbdus.dll", std::nullopt, false, false, Outcome::NotOpened},
      {"an unknown drive", "Q:\\l_kbdus.dll", std::nullopt, false, false, Outcome::NotOpened},
  };
  for (const Case& c : cases) {
    Root root(RootWindows::Windows10);
    const fs::path host = root.Folder("syswow64") / "l_kbdus.dll";
    if (c.existing) root.Put("syswow64", "l_kbdus.dll", "old");
    if (c.readOnly) fs::permissions(host, fs::perms::owner_write, fs::perm_options::remove);
    if (c.fail) root.Files().FailNext(*c.fail);

    EXPECT_EQ(root.ports.writer->WriteWhole(c.path, std::vector<uint8_t>{'n', 'e', 'w'}), c.outcome) << c.what;
    const bool written = c.outcome == Outcome::Written;
    EXPECT_EQ(fs::exists(host), written || c.existing) << c.what;
    if (fs::exists(host)) {
      EXPECT_EQ(ReadHost(host), written ? "new" : "old") << c.what;
    }
    EXPECT_TRUE(root.Leftovers("syswow64").empty()) << c.what;
    EXPECT_TRUE(fs::is_empty(root.Folder("system32"))) << c.what;
  }
}

TEST(OfflineSystemFiles, TheVetoSeesEachOperationWithItsPath) {
  Root root(RootWindows::Windows10);
  root.Put("syswow64", "kbdus.dll", "US");
  std::vector<std::pair<FileOperation, std::string>> asked;
  // Set on one handle, it holds for every port of the session.
  root.Files().SetVeto([&](FileOperation op, const std::string& path) {
    asked.emplace_back(op, path);
    return path.find("l_") != std::string::npos;
  });
  const std::string sys = "C:\\windows\\system32\\";
  EXPECT_EQ(root.ports.writer->WriteWhole(sys + "l_kbdus.dll", std::vector<uint8_t>{1}),
            FileWriter::Outcome::NotOpened);
  EXPECT_EQ(root.ports.writer->WriteWhole(sys + "o_kbdus.dll", std::vector<uint8_t>{}), FileWriter::Outcome::Written);
  EXPECT_FALSE(root.ports.systemFiles->CopyFile(sys + "kbdus.dll", sys + "l_x.dll"));
  EXPECT_EQ(ReadHost(root.Folder("syswow64") / "o_kbdus.dll"), "");
  const std::vector<std::pair<FileOperation, std::string>> expected = {
      {FileOperation::Open, sys + "l_kbdus.dll"}, {FileOperation::Open, sys + "o_kbdus.dll"},
      {FileOperation::Write, sys + "o_kbdus.dll"}, {FileOperation::Close, sys + "o_kbdus.dll"},
      {FileOperation::Rename, sys + "o_kbdus.dll"}, {FileOperation::Copy, sys + "l_x.dll"}};
  EXPECT_EQ(asked, expected);
}

TEST(OfflineSystemFiles, ReadOnlyFilesAreReadButNotOpenedForWriting) {
  Root root(RootWindows::Windows10);
  root.Put("syswow64", "kbdus.dll", "0123456789");
  const std::string path = "C:\\windows\\system32\\kbdus.dll";
  FileSystem& files = *root.ports.files;
  FileWriter& writer = *root.ports.writer;

  EXPECT_EQ(Text(files.ReadFile(path, 4, false)), "0123");
  ASSERT_TRUE(writer.SetAttributes(path, 0x01));
  EXPECT_TRUE(ReadOnly(root.Folder("syswow64") / "kbdus.dll"));
  EXPECT_EQ(Text(files.ReadFile(path, 100, false)), "0123456789");
  EXPECT_EQ(Text(files.ReadFile(path, 100, true)), "<none>");
  EXPECT_EQ(writer.WriteWhole(path, std::vector<uint8_t>{'x'}), FileWriter::Outcome::NotOpened);
  ASSERT_TRUE(writer.SetAttributes(path, kFileAttributeArchive));
  EXPECT_EQ(Text(files.ReadFile(path, 100, true)), "0123456789");
  EXPECT_FALSE(writer.SetAttributes("C:\\windows\\system32\\missing.dll", kFileAttributeArchive));
}

}  // namespace
}  // namespace tastora
