#pragma once
// Port fakes shared by the tests: dialogs that record what they were asked to
// show, and files held in memory.

#include <algorithm>
#include <deque>
#include <map>
#include <span>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileWriter.h"
#include "platform/LibraryLoader.h"
#include "platform/Platform.h"

namespace tastora::testing {

// Dialogs that record what they show and what they ask, and answer from
// `answers` first, then with `answer`.
class RecordingDialogs final : public Dialogs {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void ShowWarning(std::string_view text) override { messages.emplace_back(text); }
  void ShowError(std::string_view text, std::string_view caption) override {
    messages.emplace_back(std::string(caption) + ": " + std::string(text));
  }
  bool AskYesNo(std::string_view text) override {
    questions.emplace_back(text);
    return Answer();
  }
  bool AskYesNoCaptioned(std::string_view text, std::string_view caption) override {
    questions.push_back(std::string(caption) + "|" + std::string(text));
    return Answer();
  }
  bool ShowDuplicateKeys(const DuplicateKeyPair& pair) override {
    pairs.push_back(pair);
    return Answer();
  }

  // Whether a message shown so far contains `text`.
  bool Shown(std::string_view text) const {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::string& message) { return message.find(text) != std::string::npos; });
  }

  std::vector<std::string> messages;  // messages, warnings and "caption: text" errors, in order
  std::vector<std::string> questions;  // Yes/No questions; captioned ones as "caption|text"
  std::vector<DuplicateKeyPair> pairs;  // duplicate-key reports
  std::deque<bool> answers;
  bool answer = true;

 private:
  bool Answer() {
    if (answers.empty()) return answer;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
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

  // What a reader asked for.
  struct Read {
    std::string path;
    size_t maxBytes;
    bool openForWriting;
  };

  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes,
                                               bool openForWriting) override {
    reads.push_back({path, maxBytes, openForWriting});
    auto found = files.find(path);
    if (found == files.end() || (openForWriting && found->second.readOnly)) return std::nullopt;
    const auto& bytes = found->second.bytes;
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(std::min(maxBytes, bytes.size())));
  }

  std::map<std::string, File> files;
  std::vector<Read> reads;  // every read, in order
};

// A library loader that loads nothing, so readers take the file road.
class FailingLoader final : public LibraryLoader {
 public:
  std::optional<LibraryHandle> Load(const std::string&) override { return std::nullopt; }
  std::optional<uint64_t> FindExport(LibraryHandle, const std::string&) override { return std::nullopt; }
  std::optional<uint64_t> CallDescriptor(LibraryHandle, uint64_t) override { return std::nullopt; }
  bool ReadMemory(LibraryHandle, uint64_t, std::span<uint8_t>) override { return false; }
  void Unload(LibraryHandle) override {}
};

// A file writer that records what it was asked and answers as scripted.
class ScriptedWriter final : public FileWriter {
 public:
  explicit ScriptedWriter(Outcome outcome, bool attributesSet = true)
      : outcome_(outcome), attributesSet_(attributesSet) {}
  bool SetAttributes(const std::string& path, uint32_t attributes) override {
    calls.push_back("attributes " + path + " " + std::to_string(attributes));
    return attributesSet_;
  }
  Outcome WriteWhole(const std::string& path, std::span<const uint8_t> bytes) override {
    calls.push_back("write " + path);
    written.assign(bytes.begin(), bytes.end());
    return outcome_;
  }
  std::vector<std::string> calls;
  std::vector<uint8_t> written;

 private:
  Outcome outcome_;
  bool attributesSet_;
};

}  // namespace tastora::testing
