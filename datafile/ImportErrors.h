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

// A markup document whose root element is never closed: a file cut short,
// which would otherwise load as the keys read so far.
class IncompleteFileError : public ImportError {
 public:
  IncompleteFileError() : ImportError("The layout data file is incomplete: it ends before </VYR_DAT_FILE>.") {}
};

}  // namespace tastora
