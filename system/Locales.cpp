#include "system/Locales.h"

#include <algorithm>
#include <vector>

#include "system/LanguageTable.h"

namespace tastora {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Upper(c);
  return out;
}

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return uint8_t(Upper(x)) < uint8_t(Upper(y)); });
}

bool SameNoCase(const std::string& a, const std::string& b) { return !LessNoCase(a, b) && !LessNoCase(b, a); }

// Characters 5 to 8, counted from 1; fewer when the text is shorter.
std::string_view Chars5To8(std::string_view text) { return text.size() <= 4 ? std::string_view() : text.substr(4, 4); }

const LanguageRow* FindLanguage(std::string_view languageId) {
  const std::string key = UpperCase(languageId);
  for (const LanguageRow& row : LanguageTable)
    if (row.key == key) return &row;
  return nullptr;
}

}  // namespace

std::string TLocales::LanguageNameOf(std::string_view languageId) {
  const LanguageRow* row = FindLanguage(languageId);
  if (!row) return "";
  const size_t semicolon = row->value.find(';');
  return semicolon == std::string_view::npos ? "" : std::string(row->value.substr(semicolon + 1));
}

std::string TLocales::LanguageTagOf(std::string_view languageId) {
  const LanguageRow* row = FindLanguage(languageId);
  if (!row) return "";
  std::string tag(row->value.substr(0, 2));
  if (!tag.empty() && uint8_t(tag[0]) > 96) tag[0] = char(tag[0] - 32);
  return tag;
}

LayoutEntry TLocales::Get(int position) const {
  if (position < 0 || position >= count_) return LayoutEntry{};
  return entries_[size_t(position)];
}

void TLocales::SetLayoutFile(const LayoutEntry& entry, std::string_view fileName) {
  // Every entry on that registration: the preload list may name it twice,
  // or once directly and once through a substitute.
  const std::string klid = entry.EffectiveKlid();
  for (int i = 0; i < count_; ++i)
    if (SameNoCase(entries_[size_t(i)].EffectiveKlid(), klid)) entries_[size_t(i)].LayoutFile = fileName;
}

void TLocales::ReadRegistration(TRegistryEnhanced& machine, LayoutEntry& entry) const {
  machine.SetKey(std::string(kLayoutsKey) + "\\" + entry.EffectiveKlid());
  entry.LayoutText = machine.ReadText("Layout Text");
  entry.LayoutId = machine.ReadText("Layout Id");
  entry.LayoutFile = machine.ReadText("Layout File");
}

int TLocales::Keep(size_t found, Dialogs& dialogs) {
  if (found <= size_t(kCatalogueCapacity)) return int(found);
  // The catalogue has room for 321 entries; the rest is left out, not written past the end.
  dialogs.ShowWarning("The preload list holds " + std::to_string(found) + " keyboard layouts; only the first " +
                      std::to_string(kCatalogueCapacity) + " are listed, " +
                      std::to_string(found - size_t(kCatalogueCapacity)) + " were left out.");
  return kCatalogueCapacity;
}

void TLocales::CreateNt(TRegistryEnhanced& user, TRegistryEnhanced& machine, TRegistryEnhanced& third,
                        Dialogs& dialogs) {
  third_ = &third;
  entries_.fill(LayoutEntry{});
  count_ = 0;

  user.SetKey(kPreloadKey);
  std::vector<std::string> names = user.GetValueNames();
  // Text order: "10" comes before "2".
  std::stable_sort(names.begin(), names.end(), LessNoCase);
  const int kept = Keep(names.size(), dialogs);

  for (int i = 0; i < kept; ++i) {
    LayoutEntry& entry = entries_[size_t(i)];
    user.SetKey(kPreloadKey);
    entry.Id = user.ReadText(names[size_t(i)]);
    user.SetKey(kSubstitutesKey);
    entry.Substitute = user.ReadText(entry.Id.Str());

    const std::string effective = entry.EffectiveKlid();
    entry.LanguageId = Chars5To8(effective);
    entry.LanguageName = LanguageNameOf(entry.LanguageId.View());
    entry.LanguageTag = UpperCase(LanguageTagOf(entry.LanguageId.View()));
    entry.LayoutLanguageId = Chars5To8(effective);
    ReadRegistration(machine, entry);
    entry.LocaleName = entry.LanguageName.View();
    if (progress_) progress_(i + 1, kept);
  }
  count_ = kept;
}

void TLocales::Create9x(TRegistryEnhanced& user, TRegistryEnhanced& machine, TRegistryEnhanced& locale,
                        Dialogs& dialogs) {
  entries_.fill(LayoutEntry{});
  count_ = 0;

  user.SetKey(kPreloadKey);
  std::vector<std::string> subkeys = user.GetKeyNames();
  std::stable_sort(subkeys.begin(), subkeys.end(), LessNoCase);

  // Identifiers by position; a repeated identifier (regardless of case)
  // keeps its lowest position and leaves the later one unused.
  std::vector<std::string> collected;
  std::vector<std::string> items;
  for (size_t position = 0; position < subkeys.size(); ++position) {
    user.SetKey(std::string(kPreloadKey) + "\\" + subkeys[position]);
    std::string id = user.ReadText("");
    if (std::any_of(collected.begin(), collected.end(), [&](const std::string& c) { return SameNoCase(c, id); }))
      continue;
    collected.push_back(id);
    if (items.size() < position + 1) items.resize(position + 1, kEmptyPosition);
    items[position] = std::move(id);
  }

  const int kept = Keep(items.size(), dialogs);
  for (int i = 0; i < kept; ++i) {
    LayoutEntry& entry = entries_[size_t(i)];
    entry.Id = items[size_t(i)];
    if (entry.Id == kEmptyPosition) continue;

    user.SetKey(std::string(kSubstitutesKey) + "\\" + entry.Id.Str());
    entry.Substitute = user.ReadText("");
    entry.LanguageId = Chars5To8(entry.Id.View());
    entry.LanguageName = LanguageNameOf(entry.LanguageId.View());
    entry.LanguageTag = LanguageTagOf(entry.LanguageId.View());
    entry.LayoutLanguageId = Chars5To8(entry.EffectiveKlid());
    ReadRegistration(machine, entry);
    locale.SetKey(kLocaleKey);
    const std::string localeName = locale.ReadText("0000" + UpperCase(entry.LanguageId.View()));
    entry.LocaleName = localeName.empty() ? entry.LanguageName.View() : std::string_view(localeName);
    if (progress_) progress_(i + 1, kept);
  }
  count_ = kept;
}

std::optional<int> PreloadNumber(std::string_view name) {
  if (name.empty() || name.size() > 6 || name[0] == '0') return std::nullopt;
  int n = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace tastora
