// Importing a full 144-hour data set (518,400 samples). Goals: the CSV import
// at most 3 x reading the file's bytes (BM_ReadCsvBytes); the EDF+ import at
// most 2 x EDFlib reading the same file alone (BM_EdflibReadsAlone).
//
// Reading a file the page cache holds is a copy at memory speed, which no text
// parser keeps up with; the *Cold pair drops the file from the cache first, as
// for a file just copied off a card or another computer.
#include "bench/FullNight.h"
#include "formats/Edf.h"
#include "formats/Import.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>
#include <edflib.h>
#include <fcntl.h>
#include <unistd.h>

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
        if (!WriteCsv(csv, samples) || !WriteEdf(edf, samples, PatientRecord{}, 5, {}))
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

// Asks the kernel to forget the file's cached pages (they are clean: the
// writers flush what they write), so the next read goes to the disk.
void DropFromCache(benchmark::State& state, const std::filesystem::path& path) {
    state.PauseTiming();
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) state.SkipWithError("can't drop the cache");
    if (fd >= 0) ::close(fd);
    state.ResumeTiming();
}

void BM_ReadCsvBytesCold(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        DropFromCache(state, files.csv);
        benchmark::DoNotOptimize(Slurp(files.csv));
    }
}
BENCHMARK(BM_ReadCsvBytesCold)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportCsvCold(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        DropFromCache(state, files.csv);
        const ImportResult result = ImportFile(files.csv, {});
        if (result.samples.size() != static_cast<std::size_t>(kMaxSamples)) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ImportCsvCold)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parse alone, of bytes already in memory.
void BM_ParseCsv(benchmark::State& state) {
    const std::string bytes = Slurp(TheFiles().csv);
    for (auto _ : state) {
        const ImportResult result = ImportCsv(bytes, {});
        if (result.samples.size() != static_cast<std::size_t>(kMaxSamples)) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ParseCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

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
