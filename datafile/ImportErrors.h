#pragma once
// Errors that stop an import and travel to the caller, which shows them and
// abandons its command. The layout being imported into never changes.

#include <stdexcept>
#include <string>

namespace tastora {

class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A number text that does not convert: "'%s' is not a valid integer value".
class ConversionError : public ImportError {
 public:
  explicit ConversionError(const std::string& text)
      : ImportError("'" + text + "' is not a valid integer value") {}
};

// A value beyond what a layout can hold.
class CapacityError : public ImportError {
 public:
  using ImportError::ImportError;
};

}  // namespace tastora
