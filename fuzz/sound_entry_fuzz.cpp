// libFuzzer harness for the WAV reader of the sound entry coder: any bytes either are refused or
// become a stored entry that decodes back to a PCM WAV file of the same data length; the same
// bytes taken as a stored entry decode without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "setup/archive/sound_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first byte chooses the entry's folder: sound under "\Effects\" stays unpacked.
  const std::string_view name = size > 0 && (data[0] & 1) ? "sound\\Effects\\a.wav" : "a.wav";
  if (const std::optional<std::string> stored = sound_entry::EncodeSoundEntry(bytes, name)) {
    const std::optional<std::string> wav = sound_entry::DecodeSoundEntry(*stored);
    if (!wav || wav->size() < sound_entry::kWavHeaderSize) std::abort();
  }
  sound_entry::DecodeSoundEntry(bytes);
  return 0;
}
