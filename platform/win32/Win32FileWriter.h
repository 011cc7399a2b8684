#pragma once

#include "platform/FileWriter.h"

namespace tastora {

class Win32FileWriter final : public FileWriter {
 public:
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  Outcome WriteWhole(const std::string& path, std::span<const uint8_t> bytes) override;
};

}  // namespace tastora
