#include "platform/offline/HostFileWriter.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tastora {
namespace {

constexpr uint32_t kReadOnly = 0x01;

}  // namespace

bool HostFileWriter::SetAttributes(const std::string& path, uint32_t attributes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  const auto write = std::filesystem::perms::owner_write;
  const auto change = (attributes & kReadOnly) ? std::filesystem::perm_options::remove
                                               : std::filesystem::perm_options::add;
  std::filesystem::permissions(path, write, change, error);
  return !error;
}

FileWriter::Outcome HostFileWriter::WriteWhole(const std::string& path, std::span<const uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return Outcome::NotOpened;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  // fclose flushes: a full disk shows up here as often as in fwrite.
  const bool closed = std::fclose(file) == 0;
  return written && closed ? Outcome::Written : Outcome::WriteFailed;
}

}  // namespace tastora
