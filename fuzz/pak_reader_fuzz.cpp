// libFuzzer harness for the package container: trailer, directory and entries (CRC check,
// inflation, group walk). The input is the whole package file, held in memory.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_file.h"
#include "fuzz/silent_presenter.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SilenceMessageBoxes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file;
  file.Fill(data, size);
  TPak pak(file.Path(), false, false);
  for (int i = 0; i < pak.EntryCount(); ++i) {
    try {
      pak.VerifyEntry(i);
      pak.LoadEntry(i);
    } catch (const SetupError&) {
      // A stream that passes its CRC but does not inflate is raised by design.
    }
  }
  for (TGroupItem item = pak.FirstInGroup(1, false); item.found; item = pak.NextInGroup(1, false)) {
  }
  return 0;
}
