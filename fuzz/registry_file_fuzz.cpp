// libFuzzer harness for the registry hive reader (the registry-export text of one root): any
// bytes parse without a crash, and what was parsed serialises and parses back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using platform::internal::RegistryDocument;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const RegistryDocument document = RegistryDocument::Parse(bytes, "HKEY_CURRENT_USER");
  const std::string text = document.Serialize("HKEY_CURRENT_USER");
  const RegistryDocument again = RegistryDocument::Parse(text, "HKEY_CURRENT_USER");
  if (again.Serialize("HKEY_CURRENT_USER") != text) std::abort();
  return 0;
}
