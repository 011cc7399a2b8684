#include "datafile/LineWriter.h"

namespace tastora {

void LineWriter::AddLine(std::string_view text) {
  std::string line(static_cast<size_t>(indent_), ' ');
  line += text;
  lines_.push_back(std::move(line));
}

void LineWriter::Indent() { indent_ += 2; }

// An unbalanced Outdent stays at the margin rather than going negative.
void LineWriter::Outdent() { indent_ = indent_ >= 2 ? indent_ - 2 : 0; }

}  // namespace tastora
