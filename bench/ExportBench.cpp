// The exports of a full 144-hour data set (518,400 samples). Goals: the text,
// EDF+ and CSV exports under 0.5 s each, the workbook under 3 s.
#include "bench/FullNight.h"
#include "formats/Export.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace quenda;

std::vector<SampleRecord> FullNight() {
    std::vector<SampleRecord> samples(kMaxSamples);
    for (int i = 0; i < kMaxSamples; ++i) samples[static_cast<std::size_t>(i)] = bench::FullNightSample(i);
    return samples;
}

void BM_Export(benchmark::State& state, ExportKind kind, const char* name) {
    test::TempDir dir;
    const auto samples = FullNight();
    ExportRequest request;
    request.samples = samples;
    request.currentId = 5;
    for (auto _ : state) {
        const FileResult result = ExportDataSet(kind, dir / name, request);
        if (!result.ok) state.SkipWithError(result.detail.c_str());
    }
}
BENCHMARK_CAPTURE(BM_Export, Text, ExportKind::Text, "full.txt")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Export, Edf, ExportKind::Edf, "full.edf")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Export, Csv, ExportKind::Csv, "full.csv")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Export, Workbook, ExportKind::Workbook, "full.xlsx")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
