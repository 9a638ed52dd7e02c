// The exports of a full 144-hour data set (518,400 samples). Goals: the text,
// EDF+ and CSV exports under 0.5 s each, the workbook under 3 s; the text and
// CSV exports at most 2 x writing the same bytes once (BM_WriteSameBytes);
// the whole `quenda-cli export` to CSV at most 3 x copying the data file and
// the result once (BM_CopyDataFileAndResult).
#include "base/AtomicFile.h"
#include "bench/FullNight.h"
#include "formats/Edf.h"
#include "formats/Export.h"
#include "formats/ExportText.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
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

// The floor under an export: its bytes, already made, written safely once.
void BM_WriteSameBytes(benchmark::State& state, bool text) {
    test::TempDir dir;
    const auto samples = FullNight();
    const std::string bytes =
        text ? TextExportBytes(MakePatientBlock(PatientRecord{}, 5, 0), samples) : CsvBytes(samples);
    std::string error;
    for (auto _ : state) {
        if (!WriteFileAtomically(dir / "same", bytes, error)) state.SkipWithError(error.c_str());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK_CAPTURE(BM_WriteSameBytes, Text, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_WriteSameBytes, Csv, false)->Unit(benchmark::kMillisecond)->UseRealTime();

struct CliFiles {
    test::TempDir dir{"quenda-export-cli-bench"};
    CliFiles() {
        if (!WriteDataFile(dir / "full.dat", 5, FullNight(), "Report Title")) std::abort();
    }
};

const CliFiles& TheCliFiles() {
    static const CliFiles files;
    return files;
}

void BM_CliExportCsv(benchmark::State& state) {
    const auto& files = TheCliFiles();
    const std::string command = std::string("cd '") + files.dir.Path().string() + "' && '" QUENDA_CLI_PATH
                                "' export full.dat full.csv --patients .";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("quenda-cli export failed");
    }
}
BENCHMARK(BM_CliExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

// `cp` of the data file and of the CSV it becomes, as one shell command.
void BM_CopyDataFileAndResult(benchmark::State& state) {
    const auto& files = TheCliFiles();
    if (!std::filesystem::exists(files.dir / "full.csv")) {
        WriteCsv(files.dir / "full.csv", FullNight());
    }
    const std::string command = std::string("cd '") + files.dir.Path().string() +
                                "' && cp full.dat copy.dat && cp full.csv copy.csv && sync copy.dat copy.csv";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    }
}
BENCHMARK(BM_CopyDataFileAndResult)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
