// Importing a full 144-hour data set (518,400 samples). Goals: the CSV import
// at most 3 x reading the file's bytes (BM_ReadCsvBytes); the EDF+ import at
// most 2 x EDFlib reading the same file alone (BM_EdflibReadsAlone).
#include "bench/FullNight.h"
#include "formats/Edf.h"
#include "formats/Import.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>
#include <edflib.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

using namespace quenda;

struct Files {
    test::TempDir dir{"quenda-import-bench"};
    std::filesystem::path csv = dir / "full.csv";
    std::filesystem::path edf = dir / "full.edf";
    Files() {
        std::vector<SampleRecord> samples(kMaxSamples);
        for (int i = 0; i < kMaxSamples; ++i) samples[static_cast<std::size_t>(i)] = bench::FullNightSample(i);
        if (!WriteCsv(csv, samples) || !WriteEdf(edf, samples, PatientRecord{}, 5, AnalysisResults{}, {}))
            std::abort();
    }
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void BM_ReadCsvBytes(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) benchmark::DoNotOptimize(Slurp(files.csv));
}
BENCHMARK(BM_ReadCsvBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportCsv(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        const ImportResult result = ImportFile(files.csv, {});
        if (result.samples.size() != static_cast<std::size_t>(kMaxSamples)) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EdflibReadsAlone(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        auto header = std::make_unique<edf_hdr_struct>();
        if (edfopen_file_readonly(files.edf.c_str(), header.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0) {
            state.SkipWithError("EDFlib refused the file");
            break;
        }
        // Record by record, as the import reads.
        std::vector<double> spo2(static_cast<std::size_t>(header->signalparam[0].smp_in_datarecord));
        std::vector<double> pulse(static_cast<std::size_t>(header->signalparam[1].smp_in_datarecord));
        for (long long r = 0; r < header->datarecords_in_file; ++r) {
            edfread_physical_samples(header->handle, 0, static_cast<int>(spo2.size()), spo2.data());
            edfread_physical_samples(header->handle, 1, static_cast<int>(pulse.size()), pulse.data());
            benchmark::DoNotOptimize(spo2.data());
            benchmark::DoNotOptimize(pulse.data());
        }
        edfclose_file(header->handle);
    }
}
BENCHMARK(BM_EdflibReadsAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportEdf(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        const ImportResult result = ImportFile(files.edf, {});
        if (result.samples.size() != static_cast<std::size_t>(kMaxSamples)) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ImportEdf)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
