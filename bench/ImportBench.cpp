// Importing a full 144-hour data set (518,400 samples). Goals: the CSV import
// at most 3 x reading the file's bytes (BM_ReadCsvBytes); the EDF+ import at
// most 2 x EDFlib reading the same file alone (BM_EdflibReadsAlone); the ring
// and wrist apps' CSV shape ("22:20:56 Mar 06 2025,97,61,0,0,0,") at most
// 1.2 x our own ISO shape (BM_ImportCsv), row for row (BM_ImportAppCsv) and as
// the ring writes it, a row every 4 s (BM_ImportAppCsv4s).
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

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

using namespace quenda;

// 518,400 seconds in the phone apps' shape, a row every `step` seconds.
std::string AppCsv(int step) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string out = "Time,Oxygen Level,Pulse Rate,Motion,O2 Reminder,PR Reminder,\n";
    char line[64];
    for (int i = 0; i < kMaxSamples; i += step) {
        const SampleRecord r = bench::FullNightSample(i);
        const int n = std::snprintf(line, sizeof line, "%02d:%02d:%02d %s %02d %d,%d,%d,0,0,0,\n", r.hour, r.minute,
                                    r.second, kMonths[r.month - 1], r.day, 2000 + r.year, r.spo2, r.pulseRate);
        out.append(line, static_cast<std::size_t>(n));
    }
    return out;
}

struct Files {
    test::TempDir dir{"quenda-import-bench"};
    std::filesystem::path csv = dir / "full.csv";
    std::filesystem::path edf = dir / "full.edf";
    std::filesystem::path app = dir / "app.csv";
    std::filesystem::path app4 = dir / "app-4s.csv";
    Files() {
        std::vector<SampleRecord> samples(kMaxSamples);
        for (int i = 0; i < kMaxSamples; ++i) samples[static_cast<std::size_t>(i)] = bench::FullNightSample(i);
        if (!WriteCsv(csv, samples) || !WriteEdf(edf, samples, PatientRecord{}, 5, {}))
            std::abort();
        std::ofstream(app, std::ios::binary) << AppCsv(1);
        std::ofstream(app4, std::ios::binary) << AppCsv(4);
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

void BM_ImportAppCsv(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        const ImportResult result = ImportFile(files.app, {});
        if (result.samples.size() != static_cast<std::size_t>(kMaxSamples)) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ImportAppCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportAppCsv4s(benchmark::State& state) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        const ImportResult result = ImportFile(files.app4, {});
        if (result.samples.size() != static_cast<std::size_t>(kMaxSamples)) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ImportAppCsv4s)->Unit(benchmark::kMillisecond)->UseRealTime();

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
