#pragma once
// Port fakes shared by the tests: dialogs that record what they were asked to
// show, and files held in memory.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tastora::testing {

class RecordingDialogs final : public Dialogs {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void ShowWarning(std::string_view text) override { messages.emplace_back(text); }
  void ShowError(std::string_view text, std::string_view caption) override {
    messages.emplace_back(std::string(caption) + ": " + std::string(text));
  }
  bool AskYesNo(std::string_view text) override {
    messages.emplace_back(text);
    return answer;
  }

  std::vector<std::string> messages;
  bool answer = true;
};

class MemoryFileSystem final : public FileSystem {
 public:
  struct File {
    std::vector<uint8_t> bytes;
    bool readOnly = false;
  };

  void Put(const std::string& path, std::string_view text, bool readOnly = false) {
    files[path] = File{std::vector<uint8_t>(text.begin(), text.end()), readOnly};
  }
  void Put(const std::string& path, std::vector<uint8_t> bytes, bool readOnly = false) {
    files[path] = File{std::move(bytes), readOnly};
  }

  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                               bool openForWriting) override {
    auto found = files.find(path);
    if (found == files.end() || (openForWriting && found->second.readOnly)) return std::nullopt;
    const auto& bytes = found->second.bytes;
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(std::min(maxBytes, bytes.size())));
  }

  std::map<std::string, File> files;
};

}  // namespace tastora::testing
