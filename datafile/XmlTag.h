#pragma once
// One element of the layout data files' markup: a name and an ordered list of
// attributes held as "NAME=VALUE" entries in normalised form.

#include <string>
#include <string_view>
#include <vector>

namespace tastora {

// Trims blanks and control characters from both ends and strips one pair of
// surrounding double quotes, repeatedly; then upper-cases a..z.
std::string NormalizeToken(std::string_view s);

class TXMLTag {
 public:
  explicit TXMLTag(std::string name) : Name(std::move(name)) {}

  std::string Name;                     // exactly as written
  std::vector<std::string> Attributes;  // "NAME=VALUE", in the order added

  void AddAttribute(std::string_view name, std::string_view value);
  // Replaces the value of the first entry named `name` (trimmed, upper-cased);
  // does nothing when there is none.
  void SetAttribute(std::string_view name, std::string_view value);
  // Value of the first entry named `name` upper-cased; empty when none.
  std::string GetAttribute(std::string_view name) const;
  // GetAttribute, or `def` when that is empty.
  std::string GetAttributeDef(std::string_view name, std::string_view def) const;
  // Whether an entry of that name exists (upper-cased), even with an empty value.
  bool HasAttribute(std::string_view name) const;
  int AttributeCount() const { return static_cast<int>(Attributes.size()); }
  std::string AttributeName(int index) const;   // text before the first "="
  std::string AttributeValue(int index) const;  // text after the first "="

  std::string AttributesText() const;  // NAME="VALUE" NAME="VALUE"
  std::string OpenTagText() const;     // "<" Name " " attributes ">"
  std::string EmptyTagText() const;    // "<" Name " " attributes "/>"
  std::string CloseTagText() const;    // "</" Name ">"
};

}  // namespace tastora
