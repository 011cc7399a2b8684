#pragma once
// The two binary layout data file forms that came before the markup form,
// marked "VYR32" and "VYR2000". Each is converted into markup lines for the
// markup loader; the key-name tables of the process are filled on the way.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/ProcessState.h"
#include "platform/Platform.h"

namespace tastora {

// Bytes of a data file that are read; a longer file is cut, a shorter one
// reads as if followed by zeros.
inline constexpr size_t kDataFileBufferSize = 300001;

// Read the file and convert it. An empty list when the file cannot be read,
// lacks the magic or is refused; the user has then been told why, and which
// file it was.
std::vector<std::string> ConvertVyr32File(const std::string& fileName, FileSystem& files, Dialogs& dialogs,
                                          ProcessState& state);
std::vector<std::string> ConvertVyr2000File(const std::string& fileName, FileSystem& files, Dialogs& dialogs,
                                            ProcessState& state);

// The same on the file's bytes as read. The key-name tables are written only
// when the whole file converts.
std::vector<std::string> ConvertVyr32Bytes(std::span<const uint8_t> fileBytes, Dialogs& dialogs,
                                           ProcessState& state);
std::vector<std::string> ConvertVyr2000Bytes(std::span<const uint8_t> fileBytes, Dialogs& dialogs,
                                             ProcessState& state);

}  // namespace tastora
