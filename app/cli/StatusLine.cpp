#include "app/cli/StatusLine.h"

#include "platform/PlatformFactory.h"

namespace tastora {

StatusLine StatusLine::OnStandardError() { return StatusLine(stderr, StandardErrorIsTerminal()); }

void StatusLine::Show(std::string_view text) {
  if (!stream_) return;
  // Spaces over what a longer line before left; no terminal codes, so that
  // every console shows it alike.
  std::string line = "\r" + std::string(text);
  if (text.size() < shown_) line += std::string(shown_ - text.size(), ' ') + "\r" + std::string(text);
  std::fputs(line.c_str(), stream_);
  std::fflush(stream_);
  shown_ = text.size();
}

void StatusLine::Progress(std::string_view what, int done, int total) {
  if (!stream_ || total <= 0) return;
  const int percent = int(static_cast<long long>(done) * 100 / total);
  if (percent == percent_) return;
  percent_ = percent;
  Show(std::string(what) + " " + std::to_string(done) + "/" + std::to_string(total));
}

void StatusLine::Clear() {
  if (!stream_ || shown_ == 0) return;
  std::fputs(("\r" + std::string(shown_, ' ') + "\r").c_str(), stream_);
  std::fflush(stream_);
  shown_ = 0;
  percent_ = -1;
}

}  // namespace tastora
