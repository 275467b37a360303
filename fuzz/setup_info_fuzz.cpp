// libFuzzer harness for the setup information record: any bytes read without a crash, and what
// was read encodes and reads back to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/core/setup_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSetupInfoFile info;
  info.ReadFromBuffer(data, size);
  const std::string encoded = info.Encode();
  TSetupInfoFile again;
  again.ReadFromBuffer(encoded.data(), encoded.size());
  if (!(again == info)) std::abort();
  return 0;
}
