// Decoding one LZMA block: the runtime's own decoder against liblzma's, on the same stream.
// The stream is the file named by SETUPKIT_LZMA_BENCH (made with `xz --format=lzma -9e`, as
// setupc codes a solid block), or else 8 MiB of generated text and noise coded here.
#include <benchmark/benchmark.h>
#include <lzma.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "setup/io/lzma_stream.h"

namespace {

std::string Generated() {
  std::mt19937 random(1);
  std::string data;
  while (data.size() < (8u << 20)) {
    data += random() % 16 == 0 ? std::string(300, static_cast<char>(random()))
                               : "word" + std::to_string(random() % 3000) + ' ';
  }
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME);
  lzma_stream z = LZMA_STREAM_INIT;
  std::string out(data.size(), '\0');
  if (lzma_alone_encoder(&z, &options) != LZMA_OK) std::abort();
  z.next_in = reinterpret_cast<const uint8_t*>(data.data());
  z.avail_in = data.size();
  z.next_out = reinterpret_cast<uint8_t*>(out.data());
  z.avail_out = out.size();
  if (lzma_code(&z, LZMA_FINISH) != LZMA_STREAM_END) std::abort();
  out.resize(out.size() - z.avail_out);
  lzma_end(&z);
  return out;
}

const std::string& Stream() {
  static const std::string stream = [] {
    const char* path = std::getenv("SETUPKIT_LZMA_BENCH");
    if (path == nullptr) return Generated();
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }();
  return stream;
}

size_t Liblzma(const std::string& stream, std::string& out) {
  lzma_stream z = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&z, UINT64_MAX) != LZMA_OK) std::abort();
  z.next_in = reinterpret_cast<const uint8_t*>(stream.data());
  z.avail_in = stream.size();
  z.next_out = reinterpret_cast<uint8_t*>(out.data());
  z.avail_out = out.size();
  if (lzma_code(&z, LZMA_FINISH) != LZMA_STREAM_END) std::abort();
  const size_t produced = out.size() - z.avail_out;
  lzma_end(&z);
  return produced;
}

// The decoded size, counted by liblzma through a small buffer.
size_t DecodedSize() {
  static const size_t size = [] {
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&z, UINT64_MAX) != LZMA_OK) std::abort();
    z.next_in = reinterpret_cast<const uint8_t*>(Stream().data());
    z.avail_in = Stream().size();
    std::string scratch(1 << 20, '\0');
    lzma_ret ret = LZMA_OK;
    while (ret == LZMA_OK) {
      z.next_out = reinterpret_cast<uint8_t*>(scratch.data());
      z.avail_out = scratch.size();
      ret = lzma_code(&z, LZMA_FINISH);
    }
    if (ret != LZMA_STREAM_END) std::abort();
    const size_t total = z.total_out;
    lzma_end(&z);
    return total;
  }();
  return size;
}

void BM_Ours(benchmark::State& state) {
  std::string out(DecodedSize(), '\0');
  for (auto _ : state) {
    size_t produced = 0;
    if (archive_io::LzmaDecodeInto(Stream(), out.data(), out.size(), true, &produced) !=
        archive_io::InflateStatus::kExact) {
      state.SkipWithError("not decoded");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}

void BM_Liblzma(benchmark::State& state) {
  std::string out(DecodedSize(), '\0');
  for (auto _ : state) benchmark::DoNotOptimize(Liblzma(Stream(), out));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}

BENCHMARK(BM_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Liblzma)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
