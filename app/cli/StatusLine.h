#pragma once
// One line of progress on a terminal, rewritten in place: for work that can
// take long, so that the person waiting sees it move. Where the stream is no
// terminal (a file, a pipe, a test) nothing at all is written.

#include <cstdio>
#include <string>
#include <string_view>

namespace tastora {

class StatusLine {
 public:
  StatusLine(std::FILE* stream, bool terminal) : stream_(terminal ? stream : nullptr) {}
  // The standard error stream, when it is a terminal.
  static StatusLine OnStandardError();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;
  ~StatusLine() { Clear(); }

  void Show(std::string_view text);
  // "what done/total", rewritten only when the percentage moves.
  void Progress(std::string_view what, int done, int total);
  // Wipes the line, before anything else is written to the terminal.
  void Clear();

 private:
  std::FILE* stream_;
  size_t shown_ = 0;
  int percent_ = -1;
};

}  // namespace tastora
