// libFuzzer harness for the compiled lines: any bytes read without a crash, every line's count
// matches its arguments, and what was read encodes and reads back to the same lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/core/compiled_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCompLines lines;
  lines.LoadFromBuffer(data, size);
  if (lines.Lines.size() > kMaxCompiledLines) std::abort();
  for (const TCompLine& line : lines.Lines) {
    if (line.ArgCount < 0 || static_cast<size_t>(line.ArgCount) != line.Arguments.size()) {
      std::abort();
    }
  }
  // The count alone can ask for 65,535 lines that are all empty past the data; the round trip
  // of those tells nothing new and would slow every run, so it is made when the lines fit.
  if (lines.Lines.size() > size / kLineHeaderSize + 1) return 0;
  if (const std::optional<std::string> encoded = lines.Encode()) {
    TCompLines again;
    again.LoadFromBuffer(encoded->data(), encoded->size());
    if (!(again == lines)) std::abort();
  }
  return 0;
}
