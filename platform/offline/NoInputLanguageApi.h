#pragma once
// A root folder has no running Windows to ask: the system writes the
// language list's registry keys itself, with tags from its own table.

#include "platform/InputLanguageApi.h"

namespace tastora {

class NoInputLanguageApi final : public InputLanguageApi {
 public:
  std::optional<bool> InstallLayoutOrTip(std::string_view, uint32_t) override { return std::nullopt; }
  std::string LanguageTag(uint16_t) override { return {}; }
};

}  // namespace tastora
