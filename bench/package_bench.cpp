// Throughput of the package container: CRC-32, and loading entries from a 64 MiB package of
// mixed compressible and incompressible data.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "setup/core/crc32.h"
#include "setup/core/pak.h"

namespace {

constexpr size_t kEntrySize = 1 << 20;
constexpr int kEntryCount = 64;

std::string RandomBytes(size_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// Text-like data from a small vocabulary: compresses to roughly a third, like program text.
std::string WordBytes(size_t size, std::mt19937& random) {
  static const char* const kWords[] = {"setup",  "install", "folder", "file",   "registry",
                                       "value",  "group",   "entry",  "badge",  "sheet",
                                       "window", "page",    "layout", "script", "line"};
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    text += kWords[random() % std::size(kWords)];
    text += (random() % 12 == 0) ? "\r\n" : " ";
    if (random() % 7 == 0) text += std::to_string(random() % 100000);
  }
  text.resize(size);
  return text;
}

// Builds the package once per process and removes it at exit.
class MixedPackage {
 public:
  MixedPackage() {
    std::string pattern = (std::filesystem::temp_directory_path() / "setupkit-bench-XXXXXX");
    folder_ = mkdtemp(pattern.data());
    path_ = folder_ + "/mixed.pak";
    std::mt19937 random(42);
    TPak pak(path_, true, false);
    for (int i = 0; i < kEntryCount; ++i) {
      const std::string data =
          (i % 2 == 0) ? WordBytes(kEntrySize, random) : RandomBytes(kEntrySize, random);
      pak.StoreFromMemory(pak.AddEntry("entry" + std::to_string(i), "", 1), data.data(),
                          data.size());
    }
    pak.WriteDirectory();
  }
  ~MixedPackage() { std::filesystem::remove_all(folder_); }
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

const MixedPackage& Package() {
  static const MixedPackage package;
  return package;
}

void BM_Crc32(benchmark::State& state) {
  std::mt19937 random(1);
  const std::string data = RandomBytes(static_cast<size_t>(state.range(0)), random);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeCrc32(data.data(), data.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(64)->Arg(4096)->Arg(1 << 20)->Arg(16 << 20);

// Loads every entry of the package (CRC check plus inflation or copy).
void BM_LoadEntryMixed64MiB(benchmark::State& state) {
  TPak pak(Package().path(), false, false);
  int64_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < pak.EntryCount(); ++i) {
      std::optional<std::string> data = pak.LoadEntry(i);
      if (!data) state.SkipWithError("entry failed to load");
      bytes += static_cast<int64_t>(data ? data->size() : 0);
      benchmark::DoNotOptimize(data);
    }
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_LoadEntryMixed64MiB)->Unit(benchmark::kMillisecond);

// Only the compressed half or only the raw half, to separate inflation from plain reading.
void BM_LoadEntryByKind(benchmark::State& state) {
  TPak pak(Package().path(), false, false);
  const bool compressed = state.range(0) == 1;
  int64_t bytes = 0;
  for (auto _ : state) {
    for (int i = compressed ? 0 : 1; i < pak.EntryCount(); i += 2) {
      std::optional<std::string> data = pak.LoadEntry(i);
      bytes += static_cast<int64_t>(data ? data->size() : 0);
      benchmark::DoNotOptimize(data);
    }
  }
  state.SetBytesProcessed(bytes);
  state.SetLabel(compressed ? "compressed" : "raw");
}
BENCHMARK(BM_LoadEntryByKind)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Preparing (compressing at level 9 and checksumming) one 1 MiB text entry, as the packer does.
void BM_PrepareEntryText1MiB(benchmark::State& state) {
  std::mt19937 random(3);
  const std::string data = WordBytes(kEntrySize, random);
  for (auto _ : state) {
    benchmark::DoNotOptimize(PrepareEntry(data.data(), data.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_PrepareEntryText1MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
