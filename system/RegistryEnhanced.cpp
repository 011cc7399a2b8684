#include "system/RegistryEnhanced.h"

#include <algorithm>
#include <bit>

namespace tastora {
namespace {

std::vector<std::string> Pieces(const std::string& path) {
  std::vector<std::string> pieces;
  size_t from = 0;
  while (from <= path.size()) {
    size_t cut = path.find('\\', from);
    if (cut == std::string::npos) cut = path.size();
    if (cut > from) pieces.push_back(path.substr(from, cut - from));
    from = cut + 1;
  }
  return pieces;
}

// The 8 bytes of a currency or date value, little-endian as Windows stores them.
RegistryData Binary(uint64_t bits) {
  RegistryData data{kRegBinary, {}};
  for (int i = 0; i < 8; ++i) data.bytes.push_back(uint8_t(bits >> (8 * i)));
  return data;
}

}  // namespace

std::string VariantText(const RegistryVariant& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "True" : "False";
  return "";
}

bool TRegistryEnhanced::Resolve(const std::string& valuePath, bool lastIsValue, Target& target) const {
  if (key_.empty()) return false;
  std::string key = key_;
  if (key.back() == '\\') key.pop_back();
  if (key.size() > 1 && key.front() == '\\') key.erase(0, 1);
  // The key opened is "\" + key + pieces; the leading backslash makes the
  // path absolute, that is relative to the root.
  target.keyPath = key;
  std::vector<std::string> pieces = Pieces(valuePath);
  if (lastIsValue && !pieces.empty()) {
    target.valueName = pieces.back();
    pieces.pop_back();
  }
  for (const std::string& piece : pieces) target.keyPath += "\\" + piece;
  return true;
}

RegistryVariant TRegistryEnhanced::ReadValue(const std::string& valuePath) {
  Target target;
  if (!Resolve(valuePath, true, target)) return {};
  auto key = backend_.Open(root_, target.keyPath, false);
  if (!key) return {};
  const auto data = key->QueryValue(target.valueName);
  if (!data) return {};
  if (data->type == kRegSz || data->type == kRegExpandSz) {
    // Text ends at its first zero.
    const auto end = std::find(data->bytes.begin(), data->bytes.end(), uint8_t(0));
    return std::string(data->bytes.begin(), end);
  }
  if (data->type == kRegDword && data->bytes.size() == 4) {
    const uint32_t bits = data->bytes[0] | (data->bytes[1] << 8) | (data->bytes[2] << 16) | (uint32_t(data->bytes[3]) << 24);
    return static_cast<int32_t>(bits);
  }
  return {};
}

bool TRegistryEnhanced::WriteValue(const std::string& valuePath, const RegistryVariant& value) {
  RegistryData data;
  if (const auto* text = std::get_if<std::string>(&value)) {
    data.type = kRegSz;
    data.bytes.assign(text->begin(), text->end());
    data.bytes.push_back(0);
  } else if (const auto* number = std::get_if<int32_t>(&value)) {
    const auto bits = static_cast<uint32_t>(*number);
    data = RegistryData{kRegDword, {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)}};
  } else if (const auto* flag = std::get_if<bool>(&value)) {
    data = RegistryData{kRegDword, {uint8_t(*flag ? 1 : 0), 0, 0, 0}};
  } else if (const auto* currency = std::get_if<RegistryCurrency>(&value)) {
    data = Binary(static_cast<uint64_t>(currency->tenThousandths));
  } else if (const auto* date = std::get_if<RegistryDate>(&value)) {
    data = Binary(std::bit_cast<uint64_t>(date->days));
  } else {
    return false;
  }
  Target target;
  if (!Resolve(valuePath, true, target)) return false;
  auto key = backend_.Open(root_, target.keyPath, true);
  return key && key->SetValue(target.valueName, data);
}

std::vector<std::string> TRegistryEnhanced::ReadStrings(const std::string& valuePath) {
  Target target;
  if (!Resolve(valuePath, true, target)) return {};
  auto key = backend_.Open(root_, target.keyPath, false);
  const auto data = key ? key->QueryValue(target.valueName) : std::nullopt;
  if (!data || data->type != kRegMultiSz) return {};
  // Each string ends at a zero; the list ends at an empty one.
  std::vector<std::string> strings;
  auto from = data->bytes.begin();
  while (from != data->bytes.end()) {
    const auto end = std::find(from, data->bytes.end(), uint8_t(0));
    if (end == from) break;
    strings.emplace_back(from, end);
    from = end == data->bytes.end() ? end : end + 1;
  }
  return strings;
}

bool TRegistryEnhanced::WriteStrings(const std::string& valuePath, const std::vector<std::string>& strings) {
  RegistryData data{kRegMultiSz, {}};
  for (const std::string& text : strings) {
    if (text.empty() || text.find('\0') != std::string::npos) return false;  // would end the list early
    data.bytes.insert(data.bytes.end(), text.begin(), text.end());
    data.bytes.push_back(0);
  }
  data.bytes.push_back(0);
  Target target;
  if (!Resolve(valuePath, true, target)) return false;
  auto key = backend_.Open(root_, target.keyPath, true);
  return key && key->SetValue(target.valueName, data);
}

bool TRegistryEnhanced::DeleteValue(const std::string& valuePath) {
  Target target;
  if (!Resolve(valuePath, true, target)) return false;
  auto key = backend_.Open(root_, target.keyPath, false);
  return !key || !key->QueryValue(target.valueName) || key->DeleteValue(target.valueName);
}

bool TRegistryEnhanced::DeleteKey(const std::string& subPath) {
  Target target;
  if (!Resolve(subPath, false, target)) return false;
  if (!backend_.Open(root_, target.keyPath, false)) return true;
  return backend_.DeleteKey(root_, target.keyPath);
}

std::vector<std::string> TRegistryEnhanced::GetValueNames(const std::string& subPath) {
  Target target;
  if (!Resolve(subPath, false, target)) return {};
  auto key = backend_.Open(root_, target.keyPath, false);
  return key ? key->ValueNames() : std::vector<std::string>{};
}

std::vector<std::string> TRegistryEnhanced::GetKeyNames(const std::string& subPath) {
  Target target;
  if (!Resolve(subPath, false, target)) return {};
  auto key = backend_.Open(root_, target.keyPath, false);
  return key ? key->SubkeyNames() : std::vector<std::string>{};
}

}  // namespace tastora
