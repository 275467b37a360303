// libFuzzer harness for the pak archive readers: tail, trailer and directory, the stored entry
// decoders (sound entries among them) and the whole-archive check. The input is the whole
// archive file, held in memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/memory_file.h"
#include "platform/files.h"
#include "setup/archive/pak_contents.h"
#include "setup/archive/pak_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile input;
  input.Fill(data, size);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (std::optional<platform::File> file =
          platform::File::Open(input.Path(), platform::File::Mode::kRead)) {
    if (std::optional<pak::PakLayout> layout = pak::ReadLayout(*file)) {
      for (const pak::PakRecord& r : layout->records) {
        if (!pak::RecordInData(r, layout->directory_start)) continue;
        pak::DecodeEntry(r, bytes.substr(r.offset, r.stored_size));
      }
    }
  }
  pak::VerifyArchive(input.Path());
  return 0;
}
