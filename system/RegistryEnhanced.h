#pragma once
// TRegistryEnhanced: the registry accessor every registry access of the
// system goes through. It keeps a root and a key path; each operation opens
// its own key with full access and closes it before returning.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/RegistryBackend.h"

namespace tastora {

// Currency and date values, written as the 8 bytes of their binary form.
struct RegistryCurrency {
  int64_t tenThousandths = 0;
};
struct RegistryDate {
  double days = 0;  // days since 30 December 1899
};

// What a read gives and what a write takes: empty, text, integer, boolean,
// currency or date. A byte is not written.
using RegistryVariant =
    std::variant<std::monostate, std::string, int32_t, bool, RegistryCurrency, RegistryDate, uint8_t>;

// A variant as text: an integer as its decimal text, empty as empty.
std::string VariantText(const RegistryVariant& value);

class TRegistryEnhanced {
 public:
  explicit TRegistryEnhanced(RegistryBackend& backend, RootKey root = RootKey::hkCurrentUser)
      : backend_(backend), root_(root) {}

  RootKey Root() const { return root_; }
  void SetRoot(RootKey root) { root_ = root; }
  const std::string& Key() const { return key_; }
  void SetKey(std::string key) { key_ = std::move(key); }

  // Text for a string value, an integer for a 32-bit integer value, empty
  // for any other value and for a missing key or value.
  RegistryVariant ReadValue(const std::string& valuePath);
  // ReadValue as text.
  std::string ReadText(const std::string& valuePath) { return VariantText(ReadValue(valuePath)); }
  // Creates the key when needed. False when nothing was written.
  bool WriteValue(const std::string& valuePath, const RegistryVariant& value);
  // Take back what a failed action wrote. True when the value (or the key
  // below Key, which must have no subkeys) is not there afterwards.
  // The strings of a list value (REG_MULTI_SZ); none for a missing value
  // or one of another type.
  std::vector<std::string> ReadStrings(const std::string& valuePath);
  bool WriteStrings(const std::string& valuePath, const std::vector<std::string>& strings);
  bool DeleteValue(const std::string& valuePath);
  bool DeleteKey(const std::string& subPath = "");
  std::vector<std::string> GetValueNames(const std::string& subPath = "");
  std::vector<std::string> GetKeyNames(const std::string& subPath = "");

 private:
  struct Target {
    std::string keyPath;  // relative to the root
    std::string valueName;
  };
  // The key and value a value path names; nothing when Key is empty.
  bool Resolve(const std::string& valuePath, bool lastIsValue, Target& target) const;

  RegistryBackend& backend_;
  RootKey root_;
  std::string key_;
};

}  // namespace tastora
