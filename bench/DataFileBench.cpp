// Saving and opening a full 144-hour data set must each feel instant: the goal
// is under 50 ms for 518,400 records.
#include "bench/FullNight.h"
#include "store/DataFile.h"
#include "store/RecordingStore.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace quenda;
namespace fs = std::filesystem;

void FillFullDataSet(RecordingStore& store) {
    auto records = store.CurrentDataSet();
    for (int i = 0; i < kMaxSamples; ++i) records[static_cast<std::size_t>(i)] = bench::FullNightSample(i);
    store.CurrentId = 5;
    store.CurrentSampleCount = kMaxSamples;
}

void BM_SaveFullDataSet(benchmark::State& state) {
    test::TempDir dir;
    RecordingStore store;
    FillFullDataSet(store);
    for (auto _ : state) {
        const auto result = SaveCurrentDataSet(dir / "full.dat", store, "Report Title");
        if (!result.ok) state.SkipWithError(result.detail.c_str());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(dir / "full.dat")));
}
BENCHMARK(BM_SaveFullDataSet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadFullDataSet(benchmark::State& state) {
    test::TempDir dir;
    {
        RecordingStore source;
        FillFullDataSet(source);
        if (!SaveCurrentDataSet(dir / "full.dat", source, "Report Title").ok) state.SkipWithError("save failed");
    }
    RecordingStore store;
    std::string title;
    for (auto _ : state) {
        const auto result = LoadDataFileIntoStore(dir / "full.dat", store, title);
        if (!result.ok) state.SkipWithError(result.message.c_str());
        benchmark::DoNotOptimize(store.CurrentDataSet().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(dir / "full.dat")));
}
BENCHMARK(BM_LoadFullDataSet)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
