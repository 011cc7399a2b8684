// Feeds arbitrary bytes to the .klc reader, then writes what it read and
// reads that back: neither step may fault, and what the writer wrote must
// read without a problem about a line it wrote.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "klcfile/KlcFile.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tastora;
  static auto layout = std::make_unique<KeyboardLayout>();
  static auto again = std::make_unique<KeyboardLayout>();
  auto state = std::make_unique<ProcessState>();
  KlcHeader header;
  std::vector<KlcProblem> problems;
  ParseKlc(DecodeKlcText(std::span(data, size)), *layout, *state, header, problems);

  std::vector<std::string> left;
  const std::u16string text = WriteKlcText(*layout, *state, header, left);
  std::vector<KlcProblem> reread;
  KlcHeader header2;
  ParseKlc(text, *again, *state, header2, reread);
  for (const KlcProblem& p : reread)
    if (p.line > 0) std::abort();
  return 0;
}
