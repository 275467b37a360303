// libFuzzer harness for the pak archive readers: tail, trailer and directory, the stored entry
// decoders, and the sound entry coder on arbitrary WAV content. Build with clang against a
// normal build's libraries (the archive sources themselves instrumented), for example:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address -I. fuzz/pak_archive_fuzz.cpp \
//     setup/archive/{pak_format,pak_contents,sound_entry,zlib_stream,archive_text}.cpp \
//     build/setup/libsetupkit_engine.a build/platform/libplatform.a -lz -lcrypto -lpthread \
//     -o pak_archive_fuzz
// Seeds: archives written by `setup-archive pak create` (all three --tail forms, with a .wav).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "setup/archive/pak_contents.h"
#include "setup/archive/pak_format.h"
#include "setup/archive/sound_entry.h"

namespace {

const std::string& InputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("pak_fuzz_" + std::to_string(getpid()))).string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  platform::WriteFileBytes(InputPath(), bytes.data(), bytes.size());
  if (std::optional<platform::File> file =
          platform::File::Open(InputPath(), platform::File::Mode::kRead)) {
    if (std::optional<pak::PakLayout> layout = pak::ReadLayout(*file)) {
      for (const pak::PakRecord& r : layout->records) {
        if (!pak::RecordInData(r, layout->directory_start)) continue;
        pak::DecodeEntry(r, bytes.substr(r.offset, r.stored_size));
      }
    }
  }
  pak::VerifyArchive(InputPath());
  // The same bytes as WAV content and as a stored sound entry.
  if (auto stored = sound_entry::EncodeSoundEntry(bytes, "a.wav")) {
    sound_entry::DecodeSoundEntry(*stored);
  }
  sound_entry::DecodeSoundEntry(bytes);
  return 0;
}
