// Compose-and-save of a badge sheet, as the Save button and the command-line mode do it: 100
// badges at 10 a row on the Walnut template, read from the shipped artwork beside the program.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "medalor/sheet_composer.h"

namespace {

void ComposeAndSave(benchmark::State& state, bool half_size) {
  medalor::TSheetComposer composer = medalor::TSheetComposer::BesideProgram();
  composer.LoadBadgeImages();
  if (composer.BadgeNames().empty()) {
    state.SkipWithError("no badges beside the program (build the medalor_data target)");
    return;
  }
  composer.SelectBackground("Walnut");
  std::vector<std::string> names;
  for (size_t i = 0; i < 100; ++i) {
    names.push_back(composer.BadgeNames()[i % composer.BadgeNames().size()]);
  }
  const std::string out =
      (std::filesystem::temp_directory_path() / "medalor_bench_sheet.png").string();
  for (auto _ : state) {
    composer.SaveSheet(out, names, 10, half_size, /*FILTER_CATMULLROM*/ 4);
  }
  std::filesystem::remove(out);
}

void BM_ComposeAndSave100(benchmark::State& state) { ComposeAndSave(state, false); }
void BM_ComposeAndSave100HalfSize(benchmark::State& state) { ComposeAndSave(state, true); }

BENCHMARK(BM_ComposeAndSave100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndSave100HalfSize)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
