#pragma once
// ".klc" layout source files: read into the layout model and written from it.
// What one side cannot hold is reported by line, never dropped unseen.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tastora {

class CodePages;
class Dialogs;
class FileSystem;
struct KeyboardLayout;
struct ProcessState;

// The reader looks at no more than this many bytes of a file.
inline constexpr size_t kKlcReadLimit = 4u << 20;

// What a file says about the layout beyond its keys.
struct KlcHeader {
  std::u16string name = u"layout";  // KBD: the library's base name
  std::u16string description;       // KBD: the layout's text
  std::u16string copyright;
  std::u16string company;
  std::u16string localeName;
  uint32_t localeId = 0;
  std::u16string version = u"1.0";
  std::vector<std::pair<uint16_t, std::u16string>> descriptions;   // per language
  std::vector<std::pair<uint16_t, std::u16string>> languageNames;  // per language

  // The layout's name for `create`: the first description, else the KBD text.
  std::u16string LayoutName() const;
};

struct KlcProblem {
  int line;  // 1-based; 0 when it concerns no one line
  std::string text;
};

// The text of a file: UTF-16LE or UTF-16BE with their byte-order marks,
// UTF-8 with or without one.
std::u16string DecodeKlcText(std::span<const uint8_t> bytes);
// UTF-16LE with a byte-order mark, as the creator writes its files.
std::vector<uint8_t> EncodeKlcText(std::u16string_view text);
// Whether the bytes start (after blank and comment lines) with the KBD keyword.
bool IsKlcFile(std::span<const uint8_t> head);
bool IsKlcFileName(const std::string& path);

// Reads the text into `layout` (cleared first) and the key-name tables of
// `state`; `header` gets the rest. Everything the model cannot carry is in
// `problems`, and was left out.
void ParseKlc(std::u16string_view text, KeyboardLayout& layout, ProcessState& state, KlcHeader& header,
              std::vector<KlcProblem>& problems);

struct KlcReaderPorts {
  FileSystem& files;
  Dialogs& dialogs;
  CodePages& codePages;
};

// Loads the file into `layout`. When part of it cannot be carried, the user
// is shown what, by line, and asked whether to go on; `layout` and `state`
// change only when the load goes through (true).
bool ImportKlcFile(const std::string& path, KeyboardLayout& layout, ProcessState& state, const KlcReaderPorts& ports,
                   KlcHeader* header = nullptr);

// The file's text for `layout`; what a file cannot hold is in `problems`.
std::u16string WriteKlcText(const KeyboardLayout& layout, const ProcessState& state, const KlcHeader& header,
                            std::vector<std::string>& problems);

// Text of a problem list for a message box: one "line N: ..." per problem.
std::string DescribeKlcProblems(const std::vector<KlcProblem>& problems);

}  // namespace tastora
