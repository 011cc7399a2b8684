#pragma once
// Whole-file writes on the host, by host path.

#include "platform/FileWriter.h"

namespace tastora {

class HostFileWriter final : public FileWriter {
 public:
  // The host has no archive or hidden bits; what matters is that a read-only
  // file can be replaced, so any attributes without the read-only bit make
  // the file writable by its owner.
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  Outcome WriteWhole(const std::string& path, std::span<const uint8_t> bytes) override;
};

}  // namespace tastora
