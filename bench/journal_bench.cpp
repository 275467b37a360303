// What the rollback journal costs an install: the same install of a tree of several thousand
// small files into tmpfs, once with the journal and once without, in one run. Each iteration
// installs into a folder that does not exist yet (removed between iterations, off the clock),
// and each result is checked: every file of the tree is there with its bytes.
//
//   journal_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "setup/commands/register_commands.h"
#include "setup/commands/script_compiler.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/runtime/setup_thread.h"
#include "tests/common/compiled_package.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 40;
constexpr int kFilesPerFolder = 100;  // 4,000 files

// tmpfs where the machine has one (/dev/shm), so the figures are the journal's own cost and
// not the disk's.
fs::path ScratchParent() {
  std::error_code error;
  if (fs::is_directory("/dev/shm", error)) return "/dev/shm";
  return fs::temp_directory_path();
}

// The source tree, its package and a SETUP_ROOT, made once per process.
class BenchInstall {
 public:
  BenchInstall() {
    std::string pattern = (ScratchParent() / "setupkit-journal-XXXXXX").string();
    base_ = mkdtemp(pattern.data());
    setenv("SETUP_ROOT", (base_ / "root").c_str(), 1);
    fs::create_directories(base_ / "root" / "drive_c");
    std::mt19937 random(7);
    for (int folder = 0; folder < kFolders; ++folder) {
      const fs::path dir = base_ / "src" / "Tree" / ("f" + std::to_string(folder));
      fs::create_directories(dir);
      for (int file = 0; file < kFilesPerFolder; ++file) {
        std::string bytes(512 + random() % 3584, '\0');
        for (char& c : bytes) c = static_cast<char>('a' + random() % 16);
        const std::string name = "file" + std::to_string(file) + ".dat";
        std::ofstream(dir / name, std::ios::binary) << bytes;
        expected_.push_back({fs::path("f" + std::to_string(folder)) / name, bytes});
      }
    }
    TScriptCompiler compiler;
    compiler.SourceFolder = (base_ / "src").string();
    compiler.DataFolder = (base_ / "data").string();
    compiler.Compile(ParseScriptText(
        "name Bench\nprefix Bench\nuninstallpages plain\nfile Tree\\\n"
        "createdirectory $INSTDIR\\Saves\nwriteregstr HKCU Software\\Bench Folder $INSTDIR\n"));
    package_ = (base_ / "bench.pak").string();
    TPak writer(package_, true, false);
    setupkit_test::AddCompiledEntries(writer, compiler);
    writer.WriteDirectory();
    writer.Close();
  }
  ~BenchInstall() {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }

  // Fresh state and package, as a newly started installer has them.
  void Prepare() {
    std::error_code ignored;
    fs::remove_all(Target(), ignored);
    SetupState& state = SetupState::Instance();
    state.Reset();
    TUninstallList::Instance().Clear();
    state.package = std::make_unique<TPak>(package_, false, false);
    const std::optional<std::string> info = state.package->FindEntry("SetupInfo", 0);
    const std::optional<std::string> lines = state.package->FindEntry("CompiledLines", 0);
    state.SetupInfo().ReadFromBuffer(info->data(), info->size());
    state.SetupInfo().InstallDir = "C:\\Bench\\";
    state.CompiledLines().LoadFromBuffer(lines->data(), lines->size());
    RegisterCommands(state.Commands());
    state.SetCurrentLine(-1);
  }

  // Whether the run finished and the installed tree holds every file with its bytes.
  bool Check() const {
    if (SetupState::Instance().StopRequested()) return false;
    for (const auto& [relative, bytes] : expected_) {
      std::ifstream in(Target() / relative, std::ios::binary);
      const std::string got{std::istreambuf_iterator<char>(in), {}};
      if (got != bytes) return false;
    }
    return fs::exists(Target() / "Bench_install.log");
  }

  fs::path Target() const { return base_ / "root" / "drive_c" / "Bench"; }

 private:
  fs::path base_;
  std::string package_;
  std::vector<std::pair<fs::path, std::string>> expected_;
};

BenchInstall& Install() {
  static BenchInstall install;
  return install;
}

void BM_InstallTree(benchmark::State& state) {
  const bool journal = state.range(0) != 0;
  BenchInstall& install = Install();
  TSetupThread runner;
  runner.SetJournalEnabled(journal);
  for (auto _ : state) {
    state.PauseTiming();
    install.Prepare();
    state.ResumeTiming();
    runner.PerformRun();
    state.PauseTiming();
    if (!install.Check()) {
      state.SkipWithError("the installed tree differs from its source");
      break;
    }
    state.ResumeTiming();
  }
  state.SetLabel(journal ? "with journal" : "without journal");
  state.counters["files"] = kFolders * kFilesPerFolder;
}
BENCHMARK(BM_InstallTree)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
