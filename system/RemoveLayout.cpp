#include "system/RemoveLayout.h"

#include <algorithm>
#include <optional>

#include "system/CreatedLayouts.h"
#include "system/LayoutInstaller.h"
#include "system/NewKbd.h"
#include "system/RegistryEnhanced.h"

namespace tastora {
namespace {

// More numbered records than any system has layouts, as the install reads them.
constexpr int32_t kMaxRecords = 1000;

bool Contains(const std::vector<std::string>& list, std::string_view text) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& item) { return SamePath(item, text); });
}

std::string Shown(const RemovalPlan& plan) {
  return plan.name.empty() ? plan.klid : plan.klid + " (" + plan.name + ")";
}

// The user's Preload and Substitutes entries, NT values or 9x subkeys with
// default values, read and changed alike.
class UserLists {
 public:
  UserLists(RegistryBackend& registry, bool nt) : user_(registry, RootKey::hkCurrentUser), nt_(nt) {}

  std::vector<std::pair<std::string, std::string>> Read(const char* list) {
    std::vector<std::pair<std::string, std::string>> entries;
    user_.SetKey(list);
    const std::vector<std::string> names = nt_ ? user_.GetValueNames() : user_.GetKeyNames();
    for (const std::string& name : names) {
      if (!nt_) user_.SetKey(std::string(list) + "\\" + name);
      entries.emplace_back(name, user_.ReadText(nt_ ? name : ""));
    }
    return entries;
  }
  bool Write(const char* list, const std::string& name, const std::string& value) {
    user_.SetKey(nt_ ? std::string(list) : std::string(list) + "\\" + name);
    return user_.WriteValue(nt_ ? name : "", value);
  }
  bool Remove(const char* list, const std::string& name) {
    user_.SetKey(list);
    return nt_ ? user_.DeleteValue(name) : user_.DeleteKey(name);
  }

 private:
  TRegistryEnhanced user_;
  bool nt_;
};

// What a removal has done and met so far.
struct RemovalRun {
  const RemovePorts& ports;
  std::vector<std::string> done;       // the steps taken
  std::vector<std::string> scheduled;  // files Windows deletes at the next restart
  std::vector<std::string> left;       // files that could not be removed at all
  std::string error;
};

bool TakeOutOfUserLists(const RemovalPlan& plan, RemovalRun& run) {
  UserLists lists(run.ports.registry, plan.ntPlatform);
  bool ok = true;
  for (const auto& [name, id] : plan.preloadAfter) {
    const auto was = std::find_if(plan.preloadBefore.begin(), plan.preloadBefore.end(),
                                  [&wanted = name](const auto& entry) { return entry.first == wanted; });
    if (was == plan.preloadBefore.end() || was->second != id) ok = lists.Write(kPreloadKey, name, id) && ok;
  }
  for (const auto& [name, id] : plan.preloadBefore) {
    const bool kept = std::any_of(plan.preloadAfter.begin(), plan.preloadAfter.end(),
                                  [&wanted = name](const auto& entry) { return entry.first == wanted; });
    if (!kept) ok = lists.Remove(kPreloadKey, name) && ok;
  }
  for (const std::string& name : plan.substitutes) ok = lists.Remove(kSubstitutesKey, name) && ok;
  if (!ok) run.error = "Could not change the user's list of layouts.";
  return ok;
}

bool TakeOutOfLanguageList(const RemovalPlan& plan, RemovalRun& run) {
  if (plan.languageList.empty() || !run.ports.languageList) return true;
  if (RemoveFromUserLanguageList(plan.languageList, *run.ports.languageList)) return true;
  run.error = "Could not take the layout out of the user's language list.";
  return false;
}

bool Unregister(const RemovalPlan& plan, RemovalRun& run) {
  TRegistryEnhanced machine(run.ports.registry, RootKey::hkLocalMachine);
  machine.SetKey(kLayoutsKey);
  if (machine.DeleteKey(plan.klid)) return true;
  run.error = "Could not delete the registration " + plan.klid + ".";
  return false;
}

// Each of our libraries in the folder the switch shows now.
void RemoveFrom(const RemovalPlan& plan, RemovalRun& run) {
  SystemFiles& files = run.ports.files;
  const std::string folder = files.SystemDirectory() + "\\";
  for (const std::string& name : plan.files) {
    const std::string path = folder + name;
    if (!files.FileExists(path) || files.RemoveFile(path)) continue;
    // In use, most likely: the layout is loaded in a session.
    if (files.RemoveFileAtRestart(path)) run.scheduled.push_back(path);
    else run.left.push_back(path);
  }
}

bool RemoveLibraries(const RemovalPlan& plan, RemovalRun& run) {
  SystemFiles& files = run.ports.files;
  RemoveFrom(plan, run);
  if (files.HasNativeFolder()) {
    const RedirectionOff off(files);
    if (!off.Succeeded()) {
      run.error = kCannotRedirect;
      return false;
    }
    RemoveFrom(plan, run);
  }
  if (run.left.empty()) return true;
  run.error = "Could not delete these files:";
  for (const std::string& path : run.left) run.error += "\r" + path;
  return false;
}

bool ForgetRecords(const RemovalPlan& plan, RemovalRun& run) {
  Profile& profile = run.ports.profile;
  std::vector<std::pair<std::string, std::optional<std::string>>> existing;
  const int32_t count = profile.ReadInteger(kLoaderIni, kExistingSection, "Count", 0);
  const int32_t last = std::clamp(count, 0, kMaxRecords);
  int32_t highest = 0;  // the last record that stays
  for (int32_t n = 1; n <= last; ++n) {
    const std::string number = std::to_string(n);
    const std::string key = profile.ReadString(kLoaderIni, kExistingSection, number + "key", "");
    if (Contains(plan.ids, key)) {
      existing.push_back({number + "key", std::nullopt});
      existing.push_back({number + "file", std::nullopt});
    } else if (!key.empty()) {
      highest = n;
    }
  }
  if (!existing.empty() && highest != count)
    existing.push_back({"Count", highest == 0 ? std::nullopt : std::optional<std::string>(std::to_string(highest))});
  for (const std::string& id : plan.ids)
    if (!profile.ReadString(kLoaderIni, kExistingSection, id, "").empty()) existing.push_back({id, std::nullopt});

  bool ok = existing.empty() || profile.WriteKeys(kLoaderIni, kExistingSection, existing);
  if (CreatedLayoutCopy(profile, plan.klid))
    ok = profile.WriteKeys(kLoaderIni, kCreatedSection, {{plan.klid, std::nullopt}}) && ok;
  if (!plan.ntPlatform) {
    // An install on Windows 98 leaves the copy's replacement to the next start.
    const std::string path = run.ports.files.SystemDirectory() + "\\" + plan.copy;
    if (!profile.ReadString(kWininitFile, kRenameSection, path, "").empty())
      ok = profile.WriteKeys(kWininitFile, kRenameSection, {{path, std::nullopt}}) && ok;
  }
  if (!ok) run.error = std::string("Could not take the layout's records out of ") + kLoaderIni + ".";
  return ok;
}

// The steps, in order. The registry steps come first and are written
// together before the first file goes, so that no registration names a
// deleted library.
struct RemovalStep {
  const char* what;
  bool registry;
  bool (*run)(const RemovalPlan&, RemovalRun&);
};
constexpr RemovalStep kRemovalSteps[] = {
    {"its entries in the user's list of layouts", true, TakeOutOfUserLists},
    {"its entries in the user's language list", true, TakeOutOfLanguageList},
    {"its registration", true, Unregister},
    {"its libraries", false, RemoveLibraries},
    {"its records in loader.ini", false, ForgetRecords},
};

// Our names for the layout's copy, but none another registration uses.
std::vector<std::string> UnusedLibraries(const RemovalPlan& plan, RegistryBackend& registry) {
  std::vector<std::string> names = {plan.copy, "l_" + plan.copy, "o_" + plan.copy};
  if (!plan.ntPlatform) names.push_back(plan.copy.substr(0, plan.copy.size() - 3) + "vyr");
  TRegistryEnhanced machine(registry, RootKey::hkLocalMachine);
  machine.SetKey(kLayoutsKey);
  std::vector<std::string> used;
  for (const std::string& klid : machine.GetKeyNames()) {
    if (SamePath(klid, plan.klid)) continue;
    machine.SetKey(std::string(kLayoutsKey) + "\\" + klid);
    used.push_back(machine.ReadText("Layout File"));
  }
  std::vector<std::string> files;
  for (const std::string& name : names)
    if (!Contains(used, name)) files.push_back(name);
  return files;
}

// The template copy whose layout this is, when its name and "Layout Id" say
// it was made by a New of an earlier version: the copy's "KBDn" name, and a
// "Layout Id" exactly when the identifier has a variant above 0000, as New
// writes one only then.
bool LooksCreated(const LayoutEntry& entry, const std::string& copy, bool ntPlatform) {
  if (!IsNewLayoutCopyName(copy, ntPlatform)) return false;
  const std::string klid = entry.EffectiveKlid();
  if (klid.size() != 8) return false;
  const bool variant = klid.compare(0, 4, "0000") != 0;
  return variant != entry.LayoutId.Empty();
}

// The copy made for the layout, when it is ours.
LayoutOrigin Origin(const LayoutEntry& entry, bool ntPlatform, const RemovePorts& ports, std::string& copy) {
  const std::string file = entry.LayoutFile.Str();
  if (const auto recorded = CreatedLayoutCopy(ports.profile, entry.EffectiveKlid())) {
    copy = *recorded;
    if (!IsPlainFileName(copy) || copy.size() < 4) return LayoutOrigin::NotOurs;
    if (SamePath(file, copy) || IsOwnCopyName(file, copy)) return LayoutOrigin::Recorded;
    return LayoutOrigin::NotOurs;  // the registration names a file the record does not know
  }
  copy = file;
  // An install replaced the copy: the record of the replaced file names it.
  const std::string replaced = ports.profile.ReadString(kLoaderIni, kExistingSection, entry.Id.Str(), "");
  if (IsOwnCopyName(file, replaced)) copy = replaced;
  if (!IsPlainFileName(copy) || !LooksCreated(entry, copy, ntPlatform)) return LayoutOrigin::NotOurs;
  return ports.files.FileExists(ports.files.SystemDirectory() + "\\" + copy) ? LayoutOrigin::Recognised
                                                                              : LayoutOrigin::NotOurs;
}

bool Refuse(const RemovePorts& ports, const std::string& text) {
  ports.dialogs.ShowWarning(text);
  return false;
}

}  // namespace

LayoutOrigin OriginOf(const LayoutEntry& entry, bool ntPlatform, const RemovePorts& ports) {
  std::string copy;
  return Origin(entry, ntPlatform, ports, copy);
}

bool PlanRemoval(const TLocales& catalogue, int position, bool ntPlatform, const RemovePorts& ports,
                 RemovalPlan& plan) {
  if (position < 0 || position >= catalogue.Count())
    return Refuse(ports, "There is no layout at position " + std::to_string(position) + " of the list.");
  const LayoutEntry entry = catalogue.Get(position);
  plan = RemovalPlan{};
  plan.klid = entry.EffectiveKlid();
  plan.name = entry.LayoutText.Str();
  plan.ntPlatform = ntPlatform;
  plan.origin = Origin(entry, ntPlatform, ports, plan.copy);
  if (plan.origin == LayoutOrigin::NotOurs)
    return Refuse(ports, "The layout " + Shown(plan) + " was not created by this program, so it cannot be " +
                             "removed. A system layout that an install replaced is restored instead.");

  // Every Preload entry that leads to it goes; the rest close up from 1.
  UserLists lists(ports.registry, ntPlatform);
  const auto substitutes = lists.Read(kSubstitutesKey);
  auto effective = [&](const std::string& id) {
    for (const auto& [name, value] : substitutes)
      if (SamePath(name, id) && !value.empty()) return value;
    return id;
  };
  plan.preloadBefore = lists.Read(kPreloadKey);
  std::vector<std::pair<int, std::string>> kept;
  plan.ids = {plan.klid};
  bool isDefault = false;
  for (const auto& [name, id] : plan.preloadBefore) {
    if (SamePath(effective(id), plan.klid)) {
      if (name == "1") isDefault = true;
      if (!Contains(plan.ids, id)) plan.ids.push_back(id);
    } else if (const auto number = PreloadNumber(name)) {
      kept.emplace_back(*number, id);
    } else {
      plan.preloadAfter.emplace_back(name, id);  // not one Windows reads; left as it is
    }
  }
  if (kept.empty() && plan.preloadAfter.empty())
    return Refuse(ports, "The layout " + Shown(plan) + " is the only layout of this user, so it cannot be removed.");
  if (isDefault)
    return Refuse(ports, "The layout " + Shown(plan) + " is this user's default layout, so it cannot be removed. " +
                             "Make another layout the default first.");
  std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < kept.size(); ++i) plan.preloadAfter.emplace_back(std::to_string(i + 1), kept[i].second);
  for (const auto& [name, value] : substitutes)
    if (SamePath(value, plan.klid)) plan.substitutes.push_back(name);
  if (ports.languageList) plan.languageList = LanguageListPlacesOf(plan.klid, ports.languageList->registry);

  plan.files = UnusedLibraries(plan, ports.registry);
  return true;
}

void FinishCutRemovals(bool ntPlatform, const RemovePorts& ports) {
  TRegistryEnhanced machine(ports.registry, RootKey::hkLocalMachine);
  machine.SetKey(kLayoutsKey);
  const std::vector<std::string> registered = machine.GetKeyNames();
  // No registrations at all is a registry that could not be read, not one
  // whose layouts are all gone.
  if (registered.empty()) return;
  for (const std::string& klid : ports.profile.ReadKeys(kLoaderIni, kCreatedSection)) {
    if (Contains(registered, klid)) continue;
    RemovalPlan plan;
    plan.klid = klid;
    plan.ntPlatform = ntPlatform;
    plan.copy = CreatedLayoutCopy(ports.profile, klid).value_or("");
    if (!IsPlainFileName(plan.copy) || plan.copy.size() < 4) continue;
    plan.ids = {klid};
    plan.files = UnusedLibraries(plan, ports.registry);
    RemovalRun run{ports, {}, {}, {}, {}};
    // What cannot go yet keeps its record, to be tried again.
    if (RemoveLibraries(plan, run)) (void)ForgetRecords(plan, run);
  }
}

RemoveResult RemoveLayout(const TLocales& catalogue, int position, bool ntPlatform, bool confirm,
                          const RemovePorts& ports) {
  RemovalPlan plan;
  if (!PlanRemoval(catalogue, position, ntPlatform, ports, plan)) return RemoveResult::Refused;
  if (plan.origin == LayoutOrigin::Recognised) {
    if (!ports.dialogs.AskYesNo("The layout " + Shown(plan) + " has no record in " + kLoaderIni + ", but its " +
                                "library " + plan.copy + " is one this program makes for a new layout. Remove " +
                                "the layout with its libraries?"))
      return RemoveResult::Cancelled;
  } else if (confirm && !ports.dialogs.AskYesNo("Remove the layout " + Shown(plan) + " with its libraries?")) {
    return RemoveResult::Cancelled;
  }

  RemovalRun run{ports, {}, {}, {}, {}};
  auto take = [&](const RemovalStep& step) {
    if (!step.run(plan, run)) return false;
    run.done.push_back(step.what);
    return true;
  };
  bool ok = true;
  {
    RegistryWrites batch(ports.registry);
    for (const RemovalStep& step : kRemovalSteps)
      if (step.registry && !(ok = take(step))) break;
    if (!batch.Commit() && ok) {
      ok = false;
      run.done.clear();
      run.error = "Could not write the registry.";
    }
  }
  for (const RemovalStep& step : kRemovalSteps)
    if (ok && !step.registry) ok = take(step);

  if (!run.error.empty()) {
    std::string text = "The layout " + Shown(plan) + " was not removed whole. " + run.error;
    if (!run.done.empty()) {
      text += "\rRemoved so far:";
      for (const std::string& what : run.done) text += "\r" + what;
    }
    ports.dialogs.ShowError(text, "Error");
    return RemoveResult::Failed;
  }
  std::string text = "The layout " + Shown(plan) + " has been removed.";
  if (!run.scheduled.empty()) {
    text += "\rWindows holds its library open; it will be deleted at the next restart:";
    for (const std::string& path : run.scheduled) text += "\r" + path;
  }
  ports.dialogs.ShowMessage(text);
  return RemoveResult::Removed;
}

}  // namespace tastora
