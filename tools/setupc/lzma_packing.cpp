#include "tools/setupc/lzma_packing.h"

#include <lzma.h>

#include <algorithm>

namespace setupc {
namespace {

// Whether the bytes are text: at least 95 in 100 of a sample are printable ASCII or line
// breaks and tabs. Text compresses smaller with four bits of literal context and no position
// bits (half a percent on source trees); program code and other binaries do better with LZMA's
// defaults.
bool LooksLikeText(std::string_view data) {
  const size_t step = std::max<size_t>(1, data.size() / 65536);
  size_t sampled = 0;
  size_t text = 0;
  for (size_t i = 0; i < data.size(); i += step) {
    const auto c = static_cast<unsigned char>(data[i]);
    text += (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r' || c == '\t';
    ++sampled;
  }
  return text * 100 >= sampled * 95;
}

}  // namespace

std::optional<std::string> LzmaCompress(std::string_view data, int level) {
  lzma_options_lzma options;
  const uint32_t preset = static_cast<uint32_t>(std::clamp(level, 0, kMaxLzmaLevel));
  if (lzma_lzma_preset(&options, preset | LZMA_PRESET_EXTREME)) return std::nullopt;
  // The encoder's memory grows with the dictionary: a block smaller than the preset's
  // dictionary gets one just large enough, which compresses it as well.
  uint32_t dictionary = LZMA_DICT_SIZE_MIN;
  while (dictionary < options.dict_size && dictionary < data.size()) dictionary *= 2;
  options.dict_size = std::min(dictionary, options.dict_size);
  if (LooksLikeText(data)) {
    options.lc = 4;
    options.pb = 0;
  }

  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_encoder(&stream, &options) != LZMA_OK) return std::nullopt;
  // Room for incompressible bytes: the range coder adds little, the header 13 bytes.
  std::string out(data.size() + data.size() / 64 + 4096, '\0');
  stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
  stream.avail_in = data.size();
  stream.next_out = reinterpret_cast<uint8_t*>(out.data());
  stream.avail_out = out.size();
  const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  const size_t written = out.size() - stream.avail_out;
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) return std::nullopt;
  out.resize(written);
  return out;
}

}  // namespace setupc
