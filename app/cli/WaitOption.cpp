#include "app/cli/WaitOption.h"

#include <optional>

#include "platform/ActionLock.h"

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

bool ReadWaitOption(const ParsedArgs& args, std::chrono::milliseconds& wait, std::string& error) {
  wait = kDefaultLockWait;
  const std::optional<std::string> value = args.Value("wait");
  if (!value) return true;
  const auto ms = Milliseconds(*value);
  if (!ms) {
    error = "'" + *value + "' is not a number of seconds for --wait (up to a day)";
    return false;
  }
  wait = std::chrono::milliseconds(*ms);
  return true;
}

}  // namespace tastora
