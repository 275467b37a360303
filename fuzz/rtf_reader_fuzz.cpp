// libFuzzer harness for the rich text reader of change logs: any bytes parse (or are refused as
// not rich text) without a crash, and the plain text of what was read can be taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "setup/session/rtf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto document = setup_session::ParseRtf(bytes);
  if (document.has_value() != setup_session::LooksLikeRtf(bytes)) std::abort();
  if (document) document->PlainText();
  return 0;
}
