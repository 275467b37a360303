// Sound entries of pak archives: a plain PCM WAV file becomes its 44-byte header, a 14-byte block
// of playback information and either the PCM data or IMA ADPCM blocks that can each be decoded
// on their own (the coder state after every block is stored with it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sound_entry {

inline constexpr size_t kWavHeaderSize = 44;
inline constexpr size_t kEntryHeaderSize = 58;
inline constexpr size_t kPcmBlockBytes = 2048;  // PCM bytes covered by one ADPCM block
inline constexpr size_t kBlockStateBytes = 6;   // coder state stored after each block
inline constexpr size_t kFullBlockBytes = 518;  // 512 code bytes + state

// Field offsets of the 58-byte entry header.
inline constexpr size_t kPackedFlagOffset = 44;
inline constexpr size_t kLoopStartOffset = 45;
inline constexpr size_t kLoopEndOffset = 49;
inline constexpr size_t kLoopToEndOffset = 53;
inline constexpr size_t kSoundSizeOffset = 54;

// IMA ADPCM coder state of one channel.
struct AdpcmState {
  int32_t predictor = 0;
  int32_t index = 0;
};

// Codes one 16-bit sample and moves the state on; answers the 4-bit code.
uint8_t EncodeAdpcmSample(int16_t sample, AdpcmState& state);
// Decodes one 4-bit code and moves the state on; answers the sample.
int16_t DecodeAdpcmSample(uint8_t code, AdpcmState& state);

// Turns WAV content into the stored bytes of a sound entry; nothing when the content is not a
// plain PCM WAV file (or its data size does not fit in the content, or a packed entry would hold
// less than one whole frame of samples), which the caller passes over. `entry_name` decides whether
// sound under "\Effects\" stays unpacked.
std::optional<std::string> EncodeSoundEntry(std::string_view content, std::string_view entry_name);

// The inverse for tools: the stored bytes back to a PCM WAV file (header + data). Nothing when
// the stored bytes are not a consistent sound entry.
std::optional<std::string> DecodeSoundEntry(std::string_view stored);

}  // namespace sound_entry
