#pragma once
// TLocales: the layout catalogue, the layouts the current user has loaded,
// each joined to its machine-wide registration and a language from
// LanguageTable. Built whole from the registry; afterwards only an entry's
// layout file name changes.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Platform.h"
#include "system/RegistryEnhanced.h"

namespace tastora {

// 8-bit text of fixed capacity; a longer value is cut when it is stored.
// Plain bytes, so records holding it copy whole.
template <size_t Capacity>
class FixedText {
 public:
  FixedText& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  void Assign(std::string_view text) {
    length_ = static_cast<uint8_t>(text.size() < Capacity ? text.size() : Capacity);
    chars_.fill('\0');
    for (size_t i = 0; i < length_; ++i) chars_[i] = text[i];
  }
  std::string_view View() const { return std::string_view(chars_.data(), length_); }
  std::string Str() const { return std::string(View()); }
  bool Empty() const { return length_ == 0; }
  bool operator==(std::string_view text) const { return View() == text; }
  static constexpr size_t capacity = Capacity;

 private:
  static_assert(Capacity < 256);
  std::array<char, Capacity> chars_{};
  uint8_t length_ = 0;
};

struct LayoutEntry {
  FixedText<8> Id;                // the identifier as the preload list has it
  FixedText<8> Substitute;        // the user's substitute for Id, if any
  FixedText<4> LanguageId;
  FixedText<50> LanguageName;
  FixedText<10> LanguageTag;
  FixedText<4> LayoutLanguageId;  // characters 5 to 8 of the effective identifier
  FixedText<50> LayoutText;
  FixedText<10> LayoutId;
  FixedText<20> LayoutFile;       // the layout library in the system folder
  FixedText<50> LocaleName;       // shown in the first column of the list

  // The identifier the layout is registered under: Substitute, else Id.
  std::string EffectiveKlid() const { return Substitute.Empty() ? Id.Str() : Substitute.Str(); }
};

inline constexpr int kCatalogueCapacity = 321;
// The identifier of an unused position in the 9x form.
inline constexpr char kEmptyPosition[] = "prazna?";

inline constexpr char kPreloadKey[] = "\\Keyboard Layout\\Preload";
// A Preload name as Windows counts it: a decimal number from 1.
std::optional<int> PreloadNumber(std::string_view name);
inline constexpr char kSubstitutesKey[] = "\\Keyboard Layout\\Substitutes";
inline constexpr char kLayoutsKey[] = "\\System\\CurrentControlSet\\Control\\Keyboard Layouts";
inline constexpr char kLocaleKey[] = "\\System\\CurrentControlSet\\Control\\Nls\\Locale";

class TLocales {
 public:
  // NT family: preload values, substitute values. `third` is only kept.
  // More preload entries than the catalogue holds: the first 321 are kept
  // and `dialogs` tells how many were left out.
  void CreateNt(TRegistryEnhanced& user, TRegistryEnhanced& machine, TRegistryEnhanced& third, Dialogs& dialogs);
  // 9x: preload and substitute subkeys with default values; `locale` gives
  // the machine's locale names.
  void Create9x(TRegistryEnhanced& user, TRegistryEnhanced& machine, TRegistryEnhanced& locale, Dialogs& dialogs);

  // Told after each entry read by the next Create: entries read, entries to
  // read. A long preload list takes a while to join to its registrations.
  void SetProgress(std::function<void(int done, int total)> report) { progress_ = std::move(report); }

  int Count() const { return count_; }
  // A copy of the entry; an empty one for a position outside 0 to Count - 1.
  LayoutEntry Get(int position) const;
  // Sets LayoutFile of every entry registered where `entry` is (the same
  // effective identifier, regardless of case).
  void SetLayoutFile(const LayoutEntry& entry, std::string_view fileName);

  static std::string LanguageNameOf(std::string_view languageId);
  static std::string LanguageTagOf(std::string_view languageId);

 private:
  void ReadRegistration(TRegistryEnhanced& machine, LayoutEntry& entry) const;
  int Keep(size_t found, Dialogs& dialogs);

  TRegistryEnhanced* third_ = nullptr;
  std::function<void(int, int)> progress_;
  int count_ = 0;
  std::array<LayoutEntry, kCatalogueCapacity> entries_{};
};

}  // namespace tastora
