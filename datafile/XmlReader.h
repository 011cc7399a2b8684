#pragma once
// The layout data files' own markup reader: a character-level state machine
// that turns text into element-opened and element-closed events. It reports
// no syntax errors; malformed input becomes elements or text. Elements the
// text leaves open are reported as such, never as closed: a document cut
// short must not pass for a whole one.

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/XmlTag.h"

namespace tastora {

class FileSystem;

// A file that cannot be opened, or is too large to be read whole.
class FileOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text as one string with line breaks dropped; reads past the end return
// the end marker 0x1A and set Eof.
class TBufferedReader {
 public:
  static constexpr char kEndMarker = 0x1A;

  void Load(const std::vector<std::string>& lines);
  char NextChar();
  void Back();
  static bool IsWhitespace(char ch);

  bool Eof = false;
  std::string Text;
  int Position = 1;  // 1-based index of the next character
};

// Splits text into lines at CR, LF or CR LF; a NUL byte ends the text.
std::vector<std::string> SplitLines(std::string_view text);
// The same lines joined without separators, as the parser reads them.
std::string JoinedText(std::string_view text);

// Layout data files are a few hundred kilobytes at most; a markup file larger
// than this is refused, not read in part.
inline constexpr size_t kMaxMarkupFileBytes = size_t{64} << 20;

class TXMLReader {
 public:
  TXMLReader() = default;
  TXMLReader(const TXMLReader&) = delete;
  TXMLReader& operator=(const TXMLReader&) = delete;
  // Discards any open elements without raising events.
  ~TXMLReader();

  std::function<void(const TXMLTag&)> OnTagOpen;
  std::function<void(const TXMLTag&)> OnTagClose;
  std::function<void(const std::string&)> OnText;
  // Each element still open when the text ends, innermost first, and first
  // of all a start tag the text ends inside once its name has been read; no
  // close event is raised for them.
  std::function<void(const TXMLTag&)> OnUnclosed;

  std::vector<std::string> Lines;

  // Throws FileOpenError when the file cannot be opened or is larger than
  // kMaxMarkupFileBytes. The file's text is parsed directly: Lines is left empty.
  void LoadFromFile(const std::string& fileName, FileSystem& files);
  void LoadFromStrings(const std::vector<std::string>& lines);

  void Push(std::unique_ptr<TXMLTag> tag);
  std::unique_ptr<TXMLTag> Pop();
  bool IsEmpty() const { return stack_.empty(); }
  const TXMLTag* Top() const { return stack_.empty() ? nullptr : stack_.back().get(); }
  void Clear();

 private:
  void Parse();
  void Parse(TBufferedReader& source);
  // A closing tag: closes every open element down to the nearest one of its
  // name, or all of them when none has it. Closed elements go to `spare`.
  void CloseDownTo(std::unique_ptr<TXMLTag> closer, std::vector<std::unique_ptr<TXMLTag>>& spare);
  // The text has ended: `unfinished` (a start tag it ended inside) and then
  // every open element, innermost first, are reported as never closed.
  void ReportUnclosed(const TXMLTag* unfinished);

  std::vector<std::unique_ptr<TXMLTag>> stack_;  // back() is the top
};

}  // namespace tastora
