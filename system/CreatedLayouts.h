#pragma once
// The layouts this program created, as "loader.ini" records them: section
// "Created", one key per layout identifier, its value the name of the
// template copy made for it ("00010407=KBD0.dll"). Only a layout the record
// (or, for one made before the record was kept, its library) calls ours is
// ever removed.

#include <optional>
#include <string>
#include <string_view>

namespace tastora {

class Profile;

inline constexpr char kCreatedSection[] = "Created";

// Records a new layout and the copy made for it. False when "loader.ini"
// could not be written.
bool RecordCreatedLayout(Profile& profile, const std::string& klid, const std::string& copyName);
// The copy recorded for the layout; nothing when it has no record.
std::optional<std::string> CreatedLayoutCopy(Profile& profile, const std::string& klid);

// Whether `name` is a copy's name, "KBD" and a decimal number with the
// platform's extension (".dll", or ".kbd" on the 8-bit family), regardless
// of case, as only a new layout's library is named (but Windows' own
// kbd101.dll, kbd103.dll and kbd106.dll).
bool IsNewLayoutCopyName(std::string_view name, bool ntPlatform);

}  // namespace tastora
