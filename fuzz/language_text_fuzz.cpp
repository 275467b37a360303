// libFuzzer harness for the language table and sectioned text readers: any bytes must read
// without a crash; a table either loads or raises SetupError, its texts expand (or raise) in
// bounded time, and sectioned text yields trimmed, non-empty lines without CR. Build with clang:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address -I. fuzz/language_text_fuzz.cpp \
//     setup/wizard/text/*.cpp setup/core/*.cpp setup/commands/*.cpp setup/archive/*.cpp \
//     setup/vfs/*.cpp setup/errorlog/*.cpp platform/*.cpp -lz -lcrypto -o language_text_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/core/setup_error.h"
#include "setup/text/languages.h"
#include "setup/text/sectioned_text.h"

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

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ReadSections(bytes, [](const TStringList& section) {
    if (section.count() == 0) std::abort();
    for (int i = 0; i < section.count(); ++i) {
      const std::string& line = section.Get(i);
      if (line.empty() || line.find('\r') != std::string::npos || TrimControl(line) != line) {
        std::abort();
      }
    }
  });
  return 0;
}
