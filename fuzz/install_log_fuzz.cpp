// libFuzzer harness for the install log reader: any bytes must decode without a crash, and what
// decodes must encode and decode again to the same lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "setup/commands/uninstall_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TUninstallList list;
  list.DecodeLog(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto encoded = list.EncodeLog();
  if (!encoded) std::abort();  // a decoded log always fits the format
  TUninstallList again;
  if (!again.DecodeLog(*encoded) || again.Files() != list.Files() ||
      again.RegistryEntries() != list.RegistryEntries() || again.Folders() != list.Folders()) {
    std::abort();
  }
  return 0;
}
