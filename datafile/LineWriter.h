#pragma once
// Collects markup lines in memory, each prefixed by the current indentation.

#include <string>
#include <string_view>
#include <vector>

namespace tastora {

class LineWriter {
 public:
  // Appends indentation-many blanks followed by `text`; an empty text gives a
  // line of blanks only.
  void AddLine(std::string_view text);
  void Indent();
  void Outdent();

  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string> TakeLines() { return std::move(lines_); }

 private:
  std::vector<std::string> lines_;
  int indent_ = 0;
};

}  // namespace tastora
