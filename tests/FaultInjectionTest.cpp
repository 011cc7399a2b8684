// Installs whose file, registry or settings writes fail, one write at a time,
// and programs killed at each step: the registration must never name a
// missing or incomplete library, the system's own file must never change,
// and "loader.ini" must stay whole and record the system file of every
// registration on one of our copies.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "app/MainActions.h"
#include "app/cli/RootOption.h"
#include "datafile/LayoutDataFile.h"
#include "kbdfile/KbdFile.h"
#include "model/Keypad.h"
#include "model/ProcessState.h"
#include "platform/offline/IconvCodePages.h"
#include "platform/offline/OfflineActionLock.h"
#include "platform/offline/OfflineProfile.h"
#include "platform/offline/OfflineSystemFiles.h"
#include "platform/offline/PeImageLoader.h"
#include "system/LayoutInstaller.h"
#include "tests/TestFiles.h"
#include "tests/TestRoots.h"

namespace tastora::testing {
namespace {
namespace fs = std::filesystem;

const std::string kGerman = std::string(TASTORA_SOURCE_DIR) + "/examples/german.vyr2000";

// The program here is told No to every question (a restart above all).
RecordingDialogs DialogsAnsweringNo() {
  RecordingDialogs dialogs;
  dialogs.answer = false;
  return dialogs;
}

struct Platform {
  const char* name;
  RootWindows windows;
  const char* wineVersion;
  const char* folder32;
  const char* systemFile;
  bool native64;
  bool keepsSystemFile;  // Windows 2000 and later, and the rename route of 98
};

const Platform kPlatforms[] = {
    {"Windows 10", RootWindows::Windows10, nullptr, "syswow64", "kbdus.dll", true, true},
    {"Windows XP", RootWindows::WindowsXp, nullptr, "system32", "kbdus.dll", false, true},
    {"Windows 2000", RootWindows::WindowsXp, "win2k", "system32", "kbdus.dll", false, true},
    {"Windows NT 4", RootWindows::WindowsXp, "nt40", "system32", "kbdus.dll", false, false},
    {"Windows 98", RootWindows::Windows98, nullptr, "system", "KBDUS.KBD", false, true},
    {"Windows 95", RootWindows::Windows95, nullptr, "system", "KBDUS.KBD", false, false},
};

struct Root : InitializedRoot {
  explicit Root(const Platform& platform) : InitializedRoot(platform.windows, platform.wineVersion) {}
};

struct Program {
  // `wrap` may put ports of its own around the system's before the program starts.
  explicit Program(const Root& root, const std::function<void(SystemPorts&)>& wrap = {}) {
    std::string error;
    system = OpenSystem(root.Path(), codePages, dialogs, error);
    EXPECT_TRUE(system) << error;
    files = dynamic_cast<OfflineSystemFiles*>(system->systemFiles.get());
    if (wrap) wrap(*system);
    actions = std::make_unique<MainActions>(*system, codePages, dialogs, *state);
    actions->Start();
  }
  IconvCodePages codePages;
  RecordingDialogs dialogs = DialogsAnsweringNo();
  std::optional<SystemPorts> system;
  OfflineSystemFiles* files = nullptr;
  std::unique_ptr<ProcessState> state = std::make_unique<ProcessState>();
  std::unique_ptr<MainActions> actions;
};

// Counts the operations of one kind and fails the one numbered `failAt` (from 0).
struct Fault {
  Fault(FileOperation op, int at) : operation(op), failAt(at) {}
  bool Veto(FileOperation op) { return op == operation && seen++ == failAt; }

  FileOperation operation;
  int failAt;  // -1: none, only count
  int seen = 0;
};

const char* NameOf(FileOperation op) {
  switch (op) {
    case FileOperation::Open: return "open";
    case FileOperation::Write: return "write";
    case FileOperation::Close: return "close";
    case FileOperation::Rename: return "rename";
    case FileOperation::Copy: return "copy";
    case FileOperation::Remove: return "remove";
    case FileOperation::Redirect: return "redirect";
  }
  return "?";
}

// The registered file is there, whole, in every folder the system loads it from.
void ExpectRegisteredFileWhole(const Root& root, const Platform& platform, const std::string& registered) {
  const bool family9x = platform.windows == RootWindows::Windows98 || platform.windows == RootWindows::Windows95;
  std::vector<fs::path> places{root.File(platform.folder32, registered)};
  if (platform.native64) places.push_back(root.File("system32", registered));
  for (const fs::path& place : places) {
    const std::string bytes = ReadHost(place);
    ASSERT_FALSE(bytes.empty()) << place;
    if (family9x) {
      EXPECT_TRUE(IsKbdFile(std::vector<uint8_t>(bytes.begin(), bytes.end()))) << place;
      continue;
    }
    // Our loader maps the whole image: a cut file does not load.
    PeImageLoader loader;
    const auto library = loader.Load(place.string());
    ASSERT_TRUE(library) << place;
    const auto descriptor = loader.FindExport(*library, "KbdLayerDescriptor");
    ASSERT_TRUE(descriptor) << place;
    EXPECT_TRUE(loader.CallDescriptor(*library, *descriptor)) << place;
  }
}

// "Count" records, each whole, one per layout; a layout marked as recorded
// has its record; and every registration on one of our copies ("l_" or "o_"
// and the name of a system file) has the record of the file it replaced.
void ExpectLoaderIniWhole(const Root& root) {
  const std::string countText = root.Ini("Existing", "Count");
  const int count = countText.empty() ? 0 : std::stoi(countText);
  std::map<std::string, std::string> records;
  for (int n = 1; n <= count; ++n) {
    const std::string id = root.Ini("Existing", std::to_string(n) + "key");
    const std::string file = root.Ini("Existing", std::to_string(n) + "file");
    EXPECT_FALSE(id.empty()) << "record " << n;
    EXPECT_FALSE(file.empty()) << "record " << n;
    EXPECT_EQ(records.count(id), 0u) << "a second record of " << id;
    records[id] = file;
  }
  for (const char* id : {"00000409", "d0010409", "00000407", "00010409", "00030409"}) {
    const std::string marked = root.Ini("Existing", id);
    if (!marked.empty()) {
      EXPECT_EQ(records[id], marked) << id;
    }
  }
  Program program(root);
  const TLocales& catalogue = program.actions->Catalogue();
  for (int i = 0; i < catalogue.Count(); ++i) {
    const LayoutEntry entry = catalogue.Get(i);
    const std::string file = entry.LayoutFile.Str();
    if (file.size() < 3 || (file[0] != 'l' && file[0] != 'o') || file[1] != '_') continue;
    EXPECT_EQ(records[entry.Id.Str()], file.substr(2)) << entry.Id.Str() << " on " << file;
    EXPECT_EQ(root.Ini("Existing", entry.Id.Str()), file.substr(2)) << entry.Id.Str() << " on " << file;
  }
}

constexpr FileOperation kWriteSteps[] = {FileOperation::Open, FileOperation::Write, FileOperation::Close,
                                         FileOperation::Rename};

// Every write of an install fails in turn, over a system layout and over an
// earlier install. Afterwards the registration is as it was and names a whole
// file, and the next install goes on from there.
TEST(FaultInjection, EachFailedWriteLeavesTheRegistrationOnAWholeFile) {
  for (const Platform& platform : kPlatforms) {
    for (bool earlierInstall : {false, true}) {
      const Root before(platform);
      if (earlierInstall) {
        Program program(before);
        ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
      }
      // How many operations of each kind one install makes.
      std::map<FileOperation, int> counts;
      {
        const Root root(before);
        Program program(root);
        program.files->SetVeto([&](FileOperation op, const std::string&) {
          ++counts[op];
          return false;
        });
        ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
      }
      for (FileOperation operation : kWriteSteps) {
        const int count = counts[operation];
        ASSERT_GT(count, 0) << platform.name << " " << NameOf(operation);
        for (int failAt = 0; failAt < count; ++failAt) {
          SCOPED_TRACE(std::string(platform.name) + (earlierInstall ? ", second install" : ", first install") +
                       ": " + NameOf(operation) + " #" + std::to_string(failAt + 1) + " of " + std::to_string(count));
          const Root root(before);
          Program program(root);
          const std::string registered = root.Registered("00000409");
          const std::string systemFile = ReadHost(root.File(platform.folder32, platform.systemFile));
          const std::string loaderIni = root.LoaderIni();
          const std::string wininitIni = ReadHost(root.dir / "root" / "drive_c" / "windows" / "wininit.ini");
          program.dialogs.messages.clear();

          Fault fault{operation, failAt};
          program.files->SetVeto([&](FileOperation op, const std::string&) { return fault.Veto(op); });
          EXPECT_EQ(program.actions->Edit(0, kGerman), InstallResult::Failed);
          EXPECT_TRUE(program.dialogs.Shown(kNotInstalled));
          EXPECT_FALSE(program.dialogs.Shown(kImportedSuccessfully));
          EXPECT_EQ(root.Registered("00000409"), registered);
          EXPECT_EQ(program.actions->Catalogue().Get(0).LayoutFile, registered);
          ExpectRegisteredFileWhole(root, platform, registered);
          if (platform.keepsSystemFile) {
            EXPECT_EQ(ReadHost(root.File(platform.folder32, platform.systemFile)), systemFile);
          }
          EXPECT_EQ(root.LoaderIni(), loaderIni);
          // A file that did not come whole is never scheduled to replace the layout.
          EXPECT_EQ(ReadHost(root.dir / "root" / "drive_c" / "windows" / "wininit.ini"), wininitIni);

          program.files->SetVeto({});
          ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
          ExpectRegisteredFileWhole(root, platform, root.Registered("00000409"));
          if (platform.keepsSystemFile && platform.windows != RootWindows::Windows98) {
            EXPECT_EQ(root.Registered("00000409"), InstalledFileName(registered, platform.systemFile));
          }
          ExpectLoaderIniWhole(root);
        }
      }
    }
  }
}

// Creating a layout and installing onto it is whole or nothing: when a copy
// or a write fails, everything the action made is taken back.
TEST(FaultInjection, CreateIsWholeOrNothing) {
  const Platform& platform = kPlatforms[0];
  for (FileOperation operation :
       {FileOperation::Copy, FileOperation::Open, FileOperation::Write, FileOperation::Close, FileOperation::Rename}) {
    for (int failAt = 0; failAt < 2; ++failAt) {
      SCOPED_TRACE(std::string(NameOf(operation)) + " #" + std::to_string(failAt + 1));
      const Root root(platform);
      const std::string userReg = ReadHost(root.dir / "root" / "user.reg");
      Program program(root);
      const int before = program.actions->Catalogue().Count();
      Fault fault{operation, failAt};
      program.files->SetVeto([&](FileOperation op, const std::string&) { return fault.Veto(op); });
      CommandLine commandLine;
      commandLine.position = 0;
      commandLine.dataFile = kGerman;
      commandLine.create = CommandLine::Create{0x0409, "Mine"};
      EXPECT_EQ(program.actions->RunCommandLine(commandLine), InstallResult::Failed);

      EXPECT_TRUE(program.dialogs.Shown("What was made for it has been removed again."));
      EXPECT_EQ(root.Registered("00030409"), "");
      EXPECT_EQ(ReadHost(root.dir / "root" / "user.reg"), userReg);
      EXPECT_EQ(program.actions->Catalogue().Count(), before);
      for (const char* folder : {"syswow64", "system32"})
        for (const char* file : {"KBD0.dll", "l_KBD0.dll"}) EXPECT_FALSE(fs::exists(root.File(folder, file))) << file;
      EXPECT_EQ(root.LoaderIni(), "");
      EXPECT_EQ(root.Registered("00000409"), "kbdus.dll");
    }
  }
}

// The registry and the settings file fail through ports of their own.
class FailingRegistry final : public RegistryBackend {
 public:
  explicit FailingRegistry(RegistryBackend& inner) : inner_(inner) {}
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override {
    auto key = inner_.Open(root, path, create);
    if (!key) return key;
    return std::make_unique<ReadOnlyKey>(std::move(key));
  }

 private:
  class ReadOnlyKey final : public RegistryKey {
   public:
    explicit ReadOnlyKey(std::unique_ptr<RegistryKey> inner) : inner_(std::move(inner)) {}
    std::optional<RegistryData> QueryValue(const std::string& name) override { return inner_->QueryValue(name); }
    bool SetValue(const std::string&, const RegistryData&) override { return false; }
    std::vector<std::string> ValueNames() override { return inner_->ValueNames(); }
    std::vector<std::string> SubkeyNames() override { return inner_->SubkeyNames(); }

   private:
    std::unique_ptr<RegistryKey> inner_;
  };
  RegistryBackend& inner_;
};

class FailingProfile final : public Profile {
 public:
  FailingProfile(Profile& inner, int failAt) : inner_(inner), failAt_(failAt) {}
  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue) override {
    return inner_.ReadString(file, section, key, defaultValue);
  }
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    if (writes++ == failAt_) return false;
    return inner_.WriteString(file, section, key, value);
  }
  bool WriteKeys(const std::string& file, const std::string& section,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) override {
    if (writes++ == failAt_) return false;
    return inner_.WriteKeys(file, section, changes);
  }
  int writes = 0;

 private:
  Profile& inner_;
  int failAt_;
};

// The install through an editor whose registry or profile port is swapped.
InstallResult InstallWith(Program& program, RegistryBackend& registry, Profile& profile, TLocales& catalogue,
                          int position) {
  SystemPorts& system = *program.system;
  const InstallPorts ports{registry, profile, *system.session, *system.systemFiles, *system.writer, program.dialogs};
  LayoutInstaller editor(*program.state, ports, catalogue);
  editor.EditorEntry = catalogue.Get(position);
  editor.EditorPath = system.systemFiles->SystemDirectory() + "\\" + editor.EditorEntry.LayoutFile.Str();
  IconvCodePages codePages;
  EXPECT_TRUE(ImportLayoutFile(kGerman, editor.Layout(), *program.state,
                               DataFilePorts{*system.files, program.dialogs, codePages}));
  AdjustNumpad(editor.Layout(), *program.state);
  return editor.Install();
}

TEST(FaultInjection, ARegistrationThatCannotBeWrittenIsAFailure) {
  const Root root(kPlatforms[0]);
  Program program(root);
  FailingRegistry registry(*program.system->registry);
  auto catalogue = std::make_unique<TLocales>(program.actions->Catalogue());
  EXPECT_EQ(InstallWith(program, registry, *program.system->profile, *catalogue, 0), InstallResult::Failed);
  EXPECT_TRUE(program.dialogs.Shown("Could not write \"Layout File\" = l_kbdus.dll"));
  EXPECT_EQ(root.Registered("00000409"), "kbdus.dll");
  EXPECT_EQ(catalogue->Get(0).LayoutFile, "kbdus.dll");
  // Nothing was replaced, so nothing is recorded.
  EXPECT_EQ(root.LoaderIni(), "");
}

// The record comes first: when it cannot be written, nothing else is.
TEST(FaultInjection, ARecordThatCannotBeWrittenStopsTheInstall) {
  const Root root(kPlatforms[0]);
  Program program(root);
  auto catalogue = std::make_unique<TLocales>(program.actions->Catalogue());
  FailingProfile profile(*program.system->profile, 0);
  EXPECT_EQ(InstallWith(program, *program.system->registry, profile, *catalogue, 0), InstallResult::Failed);
  EXPECT_TRUE(program.dialogs.Shown("Could not write the record of the replaced system file kbdus.dll to loader.ini."));
  EXPECT_EQ(root.Registered("00000409"), "kbdus.dll");
  EXPECT_EQ(root.LoaderIni(), "");
  for (const char* folder : {"syswow64", "system32"}) EXPECT_FALSE(fs::exists(root.File(folder, "l_kbdus.dll")));
  // The next install records whole.
  FailingProfile working(*program.system->profile, -1);
  EXPECT_EQ(InstallWith(program, *program.system->registry, working, *catalogue, 0), InstallResult::Installed);
  ExpectLoaderIniWhole(root);
  EXPECT_EQ(root.Ini("Existing", "00000409"), "kbdus.dll");
}

TEST(FaultInjection, ARenameEntryThatCannotBeWrittenIsAFailure) {
  const Root root(kPlatforms[4]);
  Program program(root);
  auto catalogue = std::make_unique<TLocales>(program.actions->Catalogue());
  FailingProfile profile(*program.system->profile, 0);
  EXPECT_EQ(InstallWith(program, *program.system->registry, profile, *catalogue, 0), InstallResult::Failed);
  EXPECT_TRUE(program.dialogs.Shown("Could not write the rename entry to wininit.ini."));
  EXPECT_TRUE(program.dialogs.Shown(kNotInstalled));
}

// --- killed at each step ----------------------------------------------------------

// Counts the steps of an action that leave something on disk - file
// operations (through the fault hook), registry writes, settings writes -
// and ends the process, as a kill would, before the one numbered `killAt`.
struct KillSwitch {
  static constexpr int kKilled = 77;
  void Step() {
    if (steps++ == killAt) ::_exit(kKilled);
  }
  int killAt = -1;  // -1: only count
  int steps = 0;
};

class KillingRegistry final : public RegistryBackend {
 public:
  KillingRegistry(std::unique_ptr<RegistryBackend> inner, KillSwitch& kill) : inner_(std::move(inner)), kill_(kill) {}
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override {
    auto key = inner_->Open(root, path, create);
    if (!key) return key;
    return std::make_unique<Key>(std::move(key), kill_);
  }
  bool DeleteKey(RootKey root, const std::string& path) override {
    kill_.Step();
    return inner_->DeleteKey(root, path);
  }
  bool RefreshIfChanged() override { return inner_->RefreshIfChanged(); }
  void BeginWrites() override { inner_->BeginWrites(); }
  bool EndWrites() override {
    kill_.Step();
    return inner_->EndWrites();
  }

 private:
  class Key final : public RegistryKey {
   public:
    Key(std::unique_ptr<RegistryKey> inner, KillSwitch& kill) : inner_(std::move(inner)), kill_(kill) {}
    std::optional<RegistryData> QueryValue(const std::string& name) override { return inner_->QueryValue(name); }
    bool SetValue(const std::string& name, const RegistryData& data) override {
      kill_.Step();
      return inner_->SetValue(name, data);
    }
    bool DeleteValue(const std::string& name) override {
      kill_.Step();
      return inner_->DeleteValue(name);
    }
    std::vector<std::string> ValueNames() override { return inner_->ValueNames(); }
    std::vector<std::string> SubkeyNames() override { return inner_->SubkeyNames(); }

   private:
    std::unique_ptr<RegistryKey> inner_;
    KillSwitch& kill_;
  };
  std::unique_ptr<RegistryBackend> inner_;
  KillSwitch& kill_;
};

class KillingProfile final : public Profile {
 public:
  KillingProfile(std::unique_ptr<Profile> inner, KillSwitch& kill) : inner_(std::move(inner)), kill_(kill) {}
  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue) override {
    return inner_->ReadString(file, section, key, defaultValue);
  }
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    kill_.Step();
    return inner_->WriteString(file, section, key, value);
  }
  bool WriteKeys(const std::string& file, const std::string& section,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) override {
    kill_.Step();
    return inner_->WriteKeys(file, section, changes);
  }

 private:
  std::unique_ptr<Profile> inner_;
  KillSwitch& kill_;
};

// The program on `root` with every step counted by `kill`.
std::unique_ptr<Program> KillableProgram(const Root& root, KillSwitch& kill) {
  auto program = std::make_unique<Program>(root, [&](SystemPorts& system) {
    system.registry = std::make_unique<KillingRegistry>(std::move(system.registry), kill);
    system.profile = std::make_unique<KillingProfile>(std::move(system.profile), kill);
  });
  program->files->SetVeto([&](FileOperation, const std::string&) {
    kill.Step();
    return false;
  });
  return program;
}

// Every registration names a whole file, in every folder it is loaded from.
void ExpectEveryRegistrationWhole(const Root& root, const Platform& platform) {
  IconvCodePages codePages;
  RecordingDialogs dialogs;
  std::string error;
  auto system = OpenSystem(root.Path(), codePages, dialogs, error);
  ASSERT_TRUE(system) << error;
  TRegistryEnhanced machine(*system->registry, RootKey::hkLocalMachine);
  machine.SetKey(kLayoutsKey);
  for (const std::string& klid : machine.GetKeyNames()) {
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    const std::string file = machine.ReadText("Layout File");
    SCOPED_TRACE(klid + " on " + file);
    if (!file.empty()) ExpectRegisteredFileWhole(root, platform, file);
  }
}

// Temporary files of our naming in the folders the program writes.
std::vector<std::string> Temporaries(const Root& root) {
  std::vector<std::string> found;
  for (const fs::path& folder : {root.dir / "root", root.dir / "root" / "drive_c" / "windows",
                                 root.File("system32", ""), root.File("syswow64", ""), root.File("system", "")}) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (TemporaryTarget(it->path().filename().string())) found.push_back(it->path().string());
  }
  return found;
}

// A program killed at each step of an install or a create leaves the old
// state or the new one, with its record; the next action goes on from there
// and clears away the temporary files the killed one left.
TEST(FaultInjection, AKillAtAnyStepLeavesAWholeSystemWithItsRecord) {
  struct Case {
    const char* what;
    const Platform& platform;
    bool earlierInstall;
    bool create;
  };
  const Case cases[] = {
      {"install over the system file", kPlatforms[0], false, false},
      {"install over our own copy", kPlatforms[0], true, false},
      {"install on 32-bit Windows XP", kPlatforms[1], false, false},
      {"install on Windows 98", kPlatforms[4], false, false},
      {"create", kPlatforms[0], false, true},
  };
  CommandLine create;
  create.position = 0;
  create.dataFile = kGerman;
  create.create = CommandLine::Create{0x0409, "Mine"};
  auto act = [&](Program& program, bool isCreate) {
    return isCreate ? program.actions->RunCommandLine(create) : program.actions->Edit(0, kGerman);
  };
  for (const Case& c : cases) {
    const Root before(c.platform);
    if (c.earlierInstall) {
      Program program(before);
      ASSERT_EQ(program.actions->Edit(0, kGerman), InstallResult::Installed);
    }
    KillSwitch count;
    {
      const Root root(before);
      auto program = KillableProgram(root, count);
      ASSERT_EQ(act(*program, c.create), InstallResult::Installed) << c.what;
    }
    ASSERT_GT(count.steps, 3) << c.what;
    for (int killAt = 0; killAt < count.steps; ++killAt) {
      SCOPED_TRACE(std::string(c.what) + ": killed before step " + std::to_string(killAt + 1) + " of " +
                   std::to_string(count.steps));
      const Root root(before);
      const std::string registered = root.Registered("00000409");
      std::fflush(nullptr);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        KillSwitch kill;
        kill.killAt = killAt;
        auto program = KillableProgram(root, kill);
        act(*program, c.create);
        ::_exit(0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), KillSwitch::kKilled);

      ExpectEveryRegistrationWhole(root, c.platform);
      ExpectLoaderIniWhole(root);
      if (!c.create) {
        const std::string now = root.Registered("00000409");
        EXPECT_TRUE(now == registered || now == InstalledFileName(registered, c.platform.systemFile)) << now;
      }

      // The next program finds a system it can act on.
      Program next(root);
      if (c.create) {
        // The layout of the killed create, when it got as far, is one more layout like any other.
        EXPECT_EQ(next.actions->RunCommandLine(create), InstallResult::Installed);
      } else {
        EXPECT_EQ(next.actions->Edit(0, kGerman), InstallResult::Installed);
      }
      ExpectEveryRegistrationWhole(root, c.platform);
      ExpectLoaderIniWhole(root);
      EXPECT_EQ(Temporaries(root), std::vector<std::string>{});
    }
  }
}

}  // namespace
}  // namespace tastora::testing
