// PutFile into large VFS containers: 10,000 small files into 100,000 blocks and 20,000 into
// 200,000, 100 files per folder. The time per file must stay about flat as both grow (no scan
// of the whole block table or node list per file). A third run puts 10,000 files into 200,000
// blocks to tell the file's size apart from the number of files.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"

namespace {

constexpr int kFilesPerFolder = 100;

double UserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6;
}

std::string ScratchPath() {
  return (std::filesystem::temp_directory_path() /
          ("vfs_bench_" + std::to_string(::getpid()) + ".vfs"))
      .string();
}

void BM_PutSmallFiles(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  const uint32_t blocks = static_cast<uint32_t>(state.range(1));
  const std::string path = ScratchPath();
  std::string content(100, '\0');
  double user_seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TVFSFile::CreateEmptyContainer(path, {'B', 'E', 'N', 'C'}, "bench", 256, blocks, 256);
    TVFSFile container;
    container.OpenContainer(path, true);
    state.ResumeTiming();
    const double user_start = UserSeconds();
    for (int i = 0; i < files; ++i) {
      for (size_t k = 0; k < content.size(); ++k) {
        content[k] = static_cast<char>((i * 131 + k * 31) ^ (k >> 2));
      }
      const std::string name =
          "folder" + std::to_string(i / kFilesPerFolder) + "\\file" + std::to_string(i) + ".dat";
      container.Tree().PutFile(name, content.data(), content.size());
    }
    user_seconds += UserSeconds() - user_start;
    state.PauseTiming();
    container.CloseContainer();
    std::filesystem::remove(path);
    std::filesystem::remove(TVFSHashFile::HashFilePath(path));
    state.ResumeTiming();
  }
  state.counters["files"] = files;
  // Time in this process's own code (the kernel's share of the writes grows with file size).
  state.counters["user_per_file"] =
      user_seconds / (static_cast<double>(files) * state.iterations());
  state.counters["per_file"] =
      benchmark::Counter(static_cast<double>(files) * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_PutSmallFiles)
    ->Args({10000, 100000})
    ->Args({20000, 200000})
    ->Args({10000, 200000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
