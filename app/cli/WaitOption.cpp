#include "app/cli/WaitOption.h"

#include <optional>

namespace tastora {
namespace {

constexpr long long kLongest = 24LL * 3600 * 1000;

// "12", "0.5", "2.25": whole milliseconds, digits past the third dropped.
std::optional<long long> Milliseconds(const std::string& text) {
  long long whole = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    whole = whole * 10 + (text[i] - '0');
    if (whole * 1000 > kLongest) return std::nullopt;
  }
  const bool digits = i > 0;
  long long fraction = 0;
  bool fractionDigits = false;
  if (i < text.size() && text[i] == '.') {
    long long scale = 100;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, fractionDigits = true) {
      fraction += (text[i] - '0') * scale;
      scale /= 10;
    }
  }
  if (i != text.size() || !(digits || fractionDigits)) return std::nullopt;
  const long long total = whole * 1000 + fraction;
  if (total > kLongest) return std::nullopt;
  return total;
}

}  // namespace

bool TakeWaitOption(std::vector<std::string>& args, std::chrono::milliseconds& wait, std::string& error) {
  bool seen = false;
  for (size_t i = 0; i < args.size();) {
    std::string value;
    size_t taken = 1;
    if (args[i] == "--wait") {
      if (i + 1 >= args.size()) {
        error = "--wait needs a number of seconds";
        return false;
      }
      value = args[i + 1];
      taken = 2;
    } else if (args[i].rfind("--wait=", 0) == 0) {
      value = args[i].substr(7);
    } else {
      ++i;
      continue;
    }
    if (seen) {
      error = "--wait is given twice";
      return false;
    }
    const auto ms = Milliseconds(value);
    if (!ms) {
      error = "'" + value + "' is not a number of seconds for --wait (up to a day)";
      return false;
    }
    wait = std::chrono::milliseconds(*ms);
    seen = true;
    args.erase(args.begin() + long(i), args.begin() + long(i + taken));
  }
  return true;
}

}  // namespace tastora
