#pragma once
// The ports through which the core reaches the platform. Each has a Windows
// implementation (platform/win32) and an offline one (platform/offline).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/CodePages.h"

namespace tastora {

// What the duplicate-key report shows for a pair of keys that share a VK.
struct DuplicateKeyPair {
  int key1Index = 0;  // each key's own number, shown as "(n)"
  int key2Index = 0;
  uint16_t key1Chars[2] = {0, 0};  // slots 0 and 1 of each key
  uint16_t key2Chars[2] = {0, 0};
  bool wideChars = true;  // 16-bit characters (NT family) or 8-bit code-page ones
  std::string vkName;     // the VK-name list entry of the shared VK's low byte
};

inline constexpr char kDuplicateKeyCaption[] = "Error in layout";
inline constexpr char kDuplicateKeyText[] =
    "This layout currently contains two keys with the same  virtual key. In this situation the system cannot "
    "distinguish these keys one from the other. All assignments made for one (or both) of them can be "
    "permanently lost.  ";
inline constexpr char kDuplicateKeyQuestion[] =
    "You should click on the ResolveVKs button to fix this problem. Do you want to proceed?";

// Message boxes. Texts are passed exactly as the system words them; a
// carriage return is a line break.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void ShowMessage(std::string_view text) = 0;
  virtual void ShowWarning(std::string_view text) = 0;
  virtual void ShowError(std::string_view text, std::string_view caption) = 0;
  virtual bool AskYesNo(std::string_view text) = 0;
  // Yes/No with a caption ("Warning!" for a restore).
  virtual bool AskYesNoCaptioned(std::string_view text, std::string_view caption) {
    (void)caption;
    return AskYesNo(text);
  }
  // The duplicate-key report; true only when the user pressed Yes. Without a
  // window of its own it is asked as one Yes/No question.
  virtual bool ShowDuplicateKeys(const DuplicateKeyPair& pair);
};

// Files. Paths are the platform's own (on Windows a Windows path; offline a
// host path, or a Windows path inside the folder tree where a port says so).
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Reads up to `maxBytes` from the start of the file. With `openForWriting`
  // the file is opened for reading and writing, so a read-only file fails.
  // No value when the file cannot be opened or read.
  virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                                       bool openForWriting) = 0;
};

}  // namespace tastora
