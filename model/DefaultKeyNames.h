#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tastora {

struct KeyNameTable;

struct DefaultKeyName {
  uint8_t scan;
  const char16_t* name;
};

std::span<const DefaultKeyName> DefaultKeyNames();          // 52 entries
std::span<const DefaultKeyName> DefaultExtendedKeyNames();  // 23 entries

// Looked up by scan code alone: first the key names, then the extended key
// names; empty when neither has one.
std::u16string DefaultNameOfScan(uint8_t scan);

void FillDefaultKeyNames(KeyNameTable& keyNames, KeyNameTable& extendedKeyNames);

}  // namespace tastora
