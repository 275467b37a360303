// libFuzzer harness for the language table reader: any bytes must read without a crash; a table
// either loads or raises SetupError, and its texts expand (or raise) within their length bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/core/setup_error.h"
#include "setup/text/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLanguages languages;
  try {
    languages.AddLanguage(data, size);
  } catch (const SetupError&) {
    // A malformed table is reported by the caller; what was read stays usable.
  }
  languages.Current = 0;
  for (const TLID& item : languages.Items[0]->Texts) {
    try {
      const std::u16string text = languages.ExpandLangTokens(item.Text);
      if (text.size() > TLanguages::kMaxExpandedLength + size) std::abort();
    } catch (const SetupError&) {
    }
  }
  return 0;
}
