#include "setup/archive/sound_entry.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "setup/io/byte_io.h"

namespace sound_entry {

namespace {

constexpr int16_t kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int8_t kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct WavHeader {
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint32_t byte_rate = 0;
  uint16_t bits = 0;
  int32_t data_size = 0;
};

std::optional<WavHeader> ParseWavHeader(std::string_view content) {
  if (content.size() < kWavHeaderSize) return std::nullopt;
  archive_io::ByteReader r(content);
  WavHeader h;
  if (r.Bytes(4) != "RIFF") return std::nullopt;
  r.U32();
  if (r.Bytes(4) != "WAVE" || r.Bytes(4) != "fmt ") return std::nullopt;
  if (r.U32() != 16) return std::nullopt;
  r.U16();  // format tag: not checked
  h.channels = r.U16();
  h.sample_rate = r.U32();
  h.byte_rate = r.U32();
  r.U16();  // block align
  h.bits = r.U16();
  if (r.Bytes(4) != "data") return std::nullopt;
  h.data_size = r.I32();
  if (!r.ok() || h.data_size <= 0) return std::nullopt;
  return h;
}

struct LoopPoints {
  int32_t start = -1;
  int32_t end = -1;
  uint8_t to_end = 0;
};

// Scans the chunks after the sample data for a "cue " chunk: its first point is the loop start,
// its second the loop end, both as byte offsets into the PCM data.
LoopPoints ScanCuePoints(std::string_view content, const WavHeader& h) {
  bool have_start = false, have_end = false;
  int64_t start = -1, end = -1;
  const int64_t bytes_per_sample = h.byte_rate / h.sample_rate;
  uint64_t p = kWavHeaderSize + static_cast<uint64_t>(h.data_size);
  while (p < content.size()) {
    archive_io::ByteReader r(content);
    r.Seek(static_cast<size_t>(p));
    std::string_view id = r.Bytes(4);
    if (!r.ok()) break;
    uint32_t chunk_size = r.U32();
    if (!r.ok()) break;
    if (id == "cue ") {
      uint32_t count = r.U32();
      // Only points wholly inside the content are read; a count beyond it ends the list.
      for (uint32_t i = 0; i < count && r.ok(); ++i) {
        r.U32();  // point id
        uint32_t position = r.U32();
        r.Skip(16);
        if (!r.ok()) break;
        int64_t offset = bytes_per_sample * static_cast<int64_t>(position);
        if (i == 0) {
          start = offset;
          have_start = true;
        } else if (i == 1) {
          end = offset;
          have_end = true;
        }
      }
    }
    p += 8 + static_cast<uint64_t>(chunk_size);
  }
  LoopPoints loop;
  if (have_start && have_end) {
    if (start > end) std::swap(start, end);
    loop.start = static_cast<int32_t>(start);
    loop.end = static_cast<int32_t>(end);
  } else if (have_start) {
    loop.start = static_cast<int32_t>(start);
    loop.end = h.data_size;
    loop.to_end = 1;
  }
  return loop;
}

// Packs 4-bit codes two per byte, the first of a pair in the high nibble; an odd last code goes
// alone into the high nibble of a final byte.
void PackCodes(const std::vector<uint8_t>& codes, std::string& out) {
  for (size_t i = 0; i < codes.size(); i += 2) {
    uint8_t byte = static_cast<uint8_t>(codes[i] << 4);
    if (i + 1 < codes.size()) byte |= codes[i + 1];
    out.push_back(static_cast<char>(byte));
  }
}

int16_t SampleAt(std::string_view pcm, size_t index) {
  return static_cast<int16_t>(static_cast<uint8_t>(pcm[2 * index]) |
                              (static_cast<uint8_t>(pcm[2 * index + 1]) << 8));
}

void WriteState(const AdpcmState& left, const AdpcmState& right, std::string& out) {
  archive_io::ByteWriter w(out);
  w.I16(static_cast<int16_t>(left.predictor));
  w.U8(static_cast<uint8_t>(left.index));
  w.I16(static_cast<int16_t>(right.predictor));
  w.U8(static_cast<uint8_t>(right.index));
}

}  // namespace

uint8_t EncodeAdpcmSample(int16_t sample, AdpcmState& state) {
  int32_t diff = static_cast<int32_t>(sample) - state.predictor;
  uint8_t code = 0;
  if (diff < 0) {
    code = 8;
    diff = -diff;
  }
  int32_t step = kStepTable[state.index];
  int32_t delta = step >> 3;
  if (diff >= step) {
    code |= 4;
    diff -= step;
    delta += step;
  }
  step >>= 1;
  if (diff >= step) {
    code |= 2;
    diff -= step;
    delta += step;
  }
  step >>= 1;
  if (diff >= step) {
    code |= 1;
    delta += step;
  }
  state.predictor += (code & 8) ? -delta : delta;
  state.predictor = std::clamp(state.predictor, -32768, 32767);
  state.index = std::clamp(state.index + kIndexTable[code], 0, 88);
  return code;
}

int16_t DecodeAdpcmSample(uint8_t code, AdpcmState& state) {
  int32_t step = kStepTable[state.index];
  int32_t delta = step >> 3;
  if (code & 4) delta += step;
  if (code & 2) delta += step >> 1;
  if (code & 1) delta += step >> 2;
  state.predictor += (code & 8) ? -delta : delta;
  state.predictor = std::clamp(state.predictor, -32768, 32767);
  state.index = std::clamp(state.index + kIndexTable[code & 15], 0, 88);
  return static_cast<int16_t>(state.predictor);
}

std::optional<std::string> EncodeSoundEntry(std::string_view content, std::string_view entry_name) {
  std::optional<WavHeader> parsed = ParseWavHeader(content);
  if (!parsed) return std::nullopt;
  WavHeader h = *parsed;
  // The sample data must be there, and the cue positions need a sample rate to scale by.
  if (static_cast<uint64_t>(h.data_size) > content.size() - kWavHeaderSize) return std::nullopt;
  if (h.sample_rate == 0) return std::nullopt;

  LoopPoints loop = ScanCuePoints(content, h);
  const bool pack = h.bits == 16 && loop.start == -1 && loop.end == -1 &&
                    entry_name.find("\\Effects\\") == std::string_view::npos;

  uint32_t d = static_cast<uint32_t>(h.data_size);
  uint32_t s = d;
  size_t blocks = 0;
  if (pack) {
    d &= h.channels == 1 ? ~3u : ~7u;
    // Less than one whole frame of samples would leave an entry announcing no data, which no
    // reader (this file's decoder included) takes for a sound: refused like any other misfit.
    if (d == 0) return std::nullopt;
    blocks = (d + kPcmBlockBytes - 1) / kPcmBlockBytes;
    s = (d + 3) / 4 + static_cast<uint32_t>(kBlockStateBytes * blocks);
  }

  std::string out(content.substr(0, kWavHeaderSize));
  archive_io::StoreU32(out.data() + 40, d);
  out.reserve(kEntryHeaderSize + s);
  archive_io::ByteWriter w(out);
  w.U8(pack ? 1 : 0);
  w.I32(loop.start);
  w.I32(loop.end);
  w.U8(loop.to_end);
  w.U32(s);

  std::string_view pcm = content.substr(kWavHeaderSize, d);
  if (!pack) {
    out.append(pcm);
  } else {
    AdpcmState left, right;
    std::vector<uint8_t> codes;
    for (size_t f = 0; f < blocks; ++f) {
      size_t begin = f * kPcmBlockBytes;
      size_t l = std::min(kPcmBlockBytes, pcm.size() - begin);
      std::string_view block = pcm.substr(begin, l);
      size_t samples = l / 2;
      if (h.channels == 2) {
        for (int channel = 0; channel < 2; ++channel) {
          AdpcmState& state = channel == 0 ? left : right;
          codes.clear();
          for (size_t i = channel; i < samples; i += 2) {
            codes.push_back(EncodeAdpcmSample(SampleAt(block, i), state));
          }
          PackCodes(codes, out);
        }
      } else {
        codes.clear();
        for (size_t i = 0; i < samples; ++i) {
          codes.push_back(EncodeAdpcmSample(SampleAt(block, i), left));
        }
        PackCodes(codes, out);
      }
      WriteState(left, right, out);
    }
  }
  if (out.size() != kEntryHeaderSize + s) {
    throw std::logic_error("EncodeSoundEntry: coded size differs from the announced size");
  }
  return out;
}

std::optional<std::string> DecodeSoundEntry(std::string_view stored) {
  if (stored.size() < kEntryHeaderSize) return std::nullopt;
  std::optional<WavHeader> parsed = ParseWavHeader(stored.substr(0, kWavHeaderSize));
  if (!parsed) return std::nullopt;
  const WavHeader h = *parsed;
  const uint8_t packed = static_cast<uint8_t>(stored[kPackedFlagOffset]);
  const uint32_t s = archive_io::LoadU32(stored.data() + kSoundSizeOffset);
  std::string_view sound = stored.substr(kEntryHeaderSize);
  if (s != sound.size()) return std::nullopt;
  const uint32_t d = static_cast<uint32_t>(h.data_size);

  std::string out(stored.substr(0, kWavHeaderSize));
  if (packed == 0) {
    if (d != s) return std::nullopt;
    out.append(sound);
    return out;
  }
  if (packed != 1 || h.bits != 16 || d % (h.channels == 1 ? 4 : 8) != 0) return std::nullopt;
  const size_t blocks = (d + kPcmBlockBytes - 1) / kPcmBlockBytes;
  if (static_cast<uint64_t>(s) != d / 4 + kBlockStateBytes * blocks) return std::nullopt;

  out.reserve(kWavHeaderSize + d);
  std::string pcm(d, '\0');
  AdpcmState left, right;
  size_t in = 0;
  auto put = [&pcm](size_t index, int16_t v) {
    pcm[2 * index] = static_cast<char>(v & 0xFF);
    pcm[2 * index + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  auto code_at = [&sound](size_t byte_start, size_t k) {
    uint8_t byte = static_cast<uint8_t>(sound[byte_start + k / 2]);
    return static_cast<uint8_t>(k % 2 == 0 ? byte >> 4 : byte & 15);
  };
  for (size_t f = 0; f < blocks; ++f) {
    size_t begin = f * kPcmBlockBytes;
    size_t l = std::min<size_t>(kPcmBlockBytes, d - begin);
    size_t samples = l / 2;
    size_t first_sample = begin / 2;
    if (h.channels == 2) {
      size_t half = samples / 2;
      for (int channel = 0; channel < 2; ++channel) {
        AdpcmState& state = channel == 0 ? left : right;
        size_t byte_start = in + channel * ((half + 1) / 2);
        for (size_t k = 0; k < half; ++k) {
          put(first_sample + 2 * k + channel, DecodeAdpcmSample(code_at(byte_start, k), state));
        }
      }
      in += 2 * ((half + 1) / 2);
    } else {
      for (size_t k = 0; k < samples; ++k) {
        put(first_sample + k, DecodeAdpcmSample(code_at(in, k), left));
      }
      in += (samples + 1) / 2;
    }
    // Each block restarts from the state stored after the previous one.
    archive_io::ByteReader r(sound.substr(in, kBlockStateBytes));
    left.predictor = r.I16();
    left.index = std::min<int32_t>(r.U8(), 88);
    right.predictor = r.I16();
    right.index = std::min<int32_t>(r.U8(), 88);
    if (!r.ok()) return std::nullopt;
    in += kBlockStateBytes;
  }
  out.append(pcm);
  return out;
}

}  // namespace sound_entry
