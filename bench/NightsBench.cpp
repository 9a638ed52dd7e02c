// The library of nights and the per-night EDF+ writer. Goals:
//   - adding a kept download of three 8-hour IDs: under 100 ms;
//   - `quenda-cli nights list --json` over 1,000 nights, the whole process:
//     under 100 ms;
//   - the library: under 4 KB per night (counter "bytes_per_night");
//   - EDF+ of 518,400 samples: at most 1.5 x a bare EDFlib loop writing the
//     same 30-s records;
//   - the first listing after a settings change, which works every night out
//     again from its file (no goal: reported per 100 nights);
//   - the period summary of 1,000 listed nights, in process: under 50 ms;
//   - `quenda-cli nights summary --json` over 1,000 nights, the whole process:
//     within 2 x `nights list --json` of the same library.
// At a clinic's scale, on a local PostgreSQL server (ClinicLibrary.h):
//   - `nights list --json` over 10,000 nights, the whole process: under
//     0.5 s, and at most 2 x the same listing of the same nights in a file;
//   - adding a kept download of three 8-hour IDs to the server: under 200 ms.
#include "ClinicLibrary.h"
#include "formats/Edf.h"
#include "nights/Library.h"
#include "nights/SqliteLibrary.h"
#include "nights/PeriodSummary.h"
#include "store/DataFile.h"

#include <benchmark/benchmark.h>
#include <edflib.h>
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace quenda {
namespace {

namespace fs = std::filesystem;

constexpr int kNightSeconds = 8 * 3600;

// An 8-hour "night" of ID `id` from 13:00 to 21:00 on day `day` (from 1
// January 2026; it never crosses midnight, so 28-day months can serve):
// SpO2 around 95 with a 20-s dip to 88 every five minutes (ODI about 12 an
// hour, so each night stores a realistic event list), pulse drifting.
void AppendNight(std::vector<SampleRecord>& out, int id, int day) {
    for (int i = 0; i < kNightSeconds; ++i) {
        const int t = 13 * 3600 + i;
        const int d = day;
        // 28-day months keep the arithmetic plain.
        const int month = (d - 1) / 28;
        SampleRecord r{static_cast<std::uint8_t>(id),
                       static_cast<std::uint8_t>(26 + month / 12),
                       static_cast<std::uint8_t>(1 + month % 12),
                       static_cast<std::uint8_t>(1 + (d - 1) % 28),
                       static_cast<std::uint8_t>(t / 3600 % 24),
                       static_cast<std::uint8_t>(t / 60 % 60),
                       static_cast<std::uint8_t>(t % 60),
                       static_cast<std::uint8_t>(i % 300 < 20 ? 88 : 94 + i % 3),
                       static_cast<std::uint8_t>(58 + i / 600 % 20 + i % 3),
                       static_cast<std::uint16_t>(i % 512)};
        out.push_back(r);
    }
}

fs::path BenchDir() {
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "quenda-nights-bench-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()));
    }();
    return dir;
}

void RemoveLibrary(const fs::path& file) {
    for (const char* side : {"", "-wal", "-shm", ".journal"}) {
        fs::path p = file;
        p += side;
        std::error_code ec;
        fs::remove(p, ec);
    }
}

// A kept download of three 8-hour IDs, written once.
const fs::path& KeptFolder() {
    static const fs::path folder = [] {
        const fs::path kept = BenchDir() / "kept";
        fs::create_directories(kept);
        for (int id = 1; id <= 3; ++id) {
            std::vector<SampleRecord> samples;
            AppendNight(samples, id, id);
            WriteDataFile(kept / ("ID" + std::to_string(id) + ".dat"), static_cast<std::uint8_t>(id), samples, "");
        }
        return kept;
    }();
    return folder;
}

void BM_AddKeptDownloadOfThree8HourIds(benchmark::State& state) {
    const fs::path folder = KeptFolder();
    const fs::path library = BenchDir() / "add.sqlite";
    const fs::path paths[] = {folder};
    for (auto _ : state) {
        state.PauseTiming();
        RemoveLibrary(library);
        state.ResumeTiming();
        const AddResult added = AddToLibrary(library, paths, {});
        if (added.added != 3) state.SkipWithError("the nights were not added");
    }
    RemoveLibrary(library);
}
BENCHMARK(BM_AddKeptDownloadOfThree8HourIds)->Unit(benchmark::kMillisecond);

// The same add to a server library, each time into a fresh one.
void BM_AddKeptDownloadOfThree8HourIdsToServer(benchmark::State& state) {
    if (bench::NewServerLibrary("empty").empty()) return state.SkipWithError("no server library");
    const fs::path paths[] = {KeptFolder()};
    for (auto _ : state) {
        state.PauseTiming();
        const std::string library = bench::NewServerLibrary("added", "empty");
        state.ResumeTiming();
        const AddResult added = AddToLibrary(library, paths, {});
        if (added.added != 3) state.SkipWithError("the nights were not added");
    }
}
BENCHMARK(BM_AddKeptDownloadOfThree8HourIdsToServer)->Unit(benchmark::kMillisecond)->Iterations(10);

// 1,000 nights of 8 hours, added once; their sources are named, not written
// (a listing never reads them).
const fs::path& ThousandNights() {
    static const fs::path file = [] {
        const fs::path library = BenchDir() / "thousand.sqlite";
        FileResult opened;
        auto lib = NightLibrary::Open(library, opened);
        for (int n = 0; n < 1000; ++n) {
            std::vector<SampleRecord> samples;
            AppendNight(samples, 1 + n % 3, 1 + n / 3);
            lib->AddSamples(BenchDir() / "sources" / ("night" + std::to_string(n)) / "ID1.dat", 1 + n % 3, samples, {});
        }
        lib.reset();
        return library;
    }();
    return file;
}

// `quenda-cli nights COMMAND --json --library FILE`, its output thrown away;
// false when it did not start or failed.
bool RunNightsJson(const char* command, const fs::path& library) {
    const std::string libraryText = library.string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {QUENDA_CLI_PATH, "nights", command, "--json", "--library", libraryText.c_str(), nullptr};
    pid_t pid = 0;
    const bool started =
        posix_spawn(&pid, QUENDA_CLI_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ListJsonOf1000NightsWholeProcess(benchmark::State& state) {
    const fs::path& library = ThousandNights();
    for (auto _ : state) {
        if (!RunNightsJson("list", library)) state.SkipWithError("quenda-cli failed");
    }
    state.counters["bytes_per_night"] = static_cast<double>(fs::file_size(library)) / 1000.0;
}
BENCHMARK(BM_ListJsonOf1000NightsWholeProcess)->Unit(benchmark::kMillisecond);

// Read against the listing above: the same library, the same start.
void BM_SummaryJsonOf1000NightsWholeProcess(benchmark::State& state) {
    const fs::path& library = ThousandNights();
    for (auto _ : state) {
        if (!RunNightsJson("summary", library)) state.SkipWithError("quenda-cli failed");
    }
}
BENCHMARK(BM_SummaryJsonOf1000NightsWholeProcess)->Unit(benchmark::kMillisecond);

void BM_ListJsonOf10000NightsWholeProcess(benchmark::State& state) {
    const std::string& library = bench::ClinicLibrary(BenchDir(), state.range(0) == 1);
    if (library.empty()) return state.SkipWithError("no library of 10,000 nights");
    for (auto _ : state) {
        if (!RunNightsJson("list", library)) state.SkipWithError("quenda-cli failed");
    }
}
BENCHMARK(BM_ListJsonOf10000NightsWholeProcess)->ArgName("server")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same listing inside one process: what the Nights window pays.
void BM_ListOf1000NightsInProcess(benchmark::State& state) {
    FileResult opened;
    auto lib = NightLibrary::Open(ThousandNights(), opened);
    for (auto _ : state) {
        std::vector<NightRow> rows;
        lib->List({}, rows);
        if (rows.size() != 1000) state.SkipWithError("not 1,000 nights");
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_ListOf1000NightsInProcess)->Unit(benchmark::kMillisecond);

// The summary of 1,000 listed nights whose figures all differ, as the Nights
// window would work it out from the rows it holds.
void BM_SummaryOf1000Nights(benchmark::State& state) {
    std::vector<NightRow> rows(1000);
    std::uint64_t x = 1;
    const auto next = [&x](double range) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(x >> 40) / static_cast<double>(1ull << 24) * range;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        NightRow& r = rows[i];
        char date[16];
        std::snprintf(date, sizeof date, "%04zu-%02zu-%02zu", 2026 + i / 336, 1 + i / 28 % 12, 1 + i % 28);
        r.date = date;
        r.samples = 28800;
        NightFigures& f = r.figures;
        f.odi3 = next(40);
        f.odi4 = f.odi3 * 0.7;
        f.t90 = next(30);
        f.t88Minutes = next(60);
        f.nadirSpo2 = 70 + static_cast<int>(next(20));
        f.spo2Mean = 90 + next(8);
        f.pulseMean = 50 + next(40);
        f.desaturationBurden = next(80);
        f.coverage = i % 50 == 0 ? 0 : 90 + next(10);
    }
    for (auto _ : state) {
        const BeforeAfterSummary s = SummarizeBeforeAfter(rows, "2026-07-01");
        benchmark::DoNotOptimize(s.before.figures.data());
    }
}
BENCHMARK(BM_SummaryOf1000Nights)->Unit(benchmark::kMillisecond);

// Listing and summary together, night by night, as `nights summary` does it.
void BM_ListAndSummaryOf1000NightsInProcess(benchmark::State& state) {
    FileResult opened;
    auto lib = NightLibrary::Open(ThousandNights(), opened);
    for (auto _ : state) {
        PeriodSummaryBuilder builder;
        NightFilter filter;
        filter.checkMissing = false;
        lib->ForEach(filter, [&](const NightRow& row) { builder.Add(row); });
        const PeriodSummary s = builder.Finish();
        if (s.nights != 1000) state.SkipWithError("not 1,000 nights");
    }
}
BENCHMARK(BM_ListAndSummaryOf1000NightsInProcess)->Unit(benchmark::kMillisecond);

// A change of the thresholds or the profile and the listing after: 100 nights of
// 8 hours (20 kept files of 5 nights each) worked out again from their files.
void BM_ListOf100NightsAfterASettingsChange(benchmark::State& state) {
    const fs::path library = BenchDir() / "hundred.sqlite";
    RemoveLibrary(library);
    FileResult opened;
    auto lib = NightLibrary::Open(library, opened);
    for (int f = 0; f < 20; ++f) {
        std::vector<SampleRecord> samples;
        for (int n = 0; n < 5; ++n) AppendNight(samples, 1, 1 + f * 5 + n);
        const fs::path file = BenchDir() / "hundred" / ("ID1-" + std::to_string(f) + ".dat");
        fs::create_directories(file.parent_path());
        if (!WriteDataFile(file, 1, samples, "") || !lib->AddFile(file, {}).result) state.SkipWithError("no library");
    }
    FigureSettings raw;
    raw.profile = ClinicalProfile::Raw;
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3_exec(SqliteHandle(*lib), "UPDATE nights SET computed_under=''", nullptr, nullptr, nullptr);
        state.ResumeTiming();
        lib->SetFigureSettings(raw);
        // Where the settings change (the setup dialogs): stored once, so
        // the listing after reads them.
        if (!lib->UpdateFigures()) state.SkipWithError("not stored");
        std::vector<NightRow> rows;
        lib->List({}, rows);
        if (rows.size() != 100) state.SkipWithError("not 100 nights");
    }
}
BENCHMARK(BM_ListOf100NightsAfterASettingsChange)->Unit(benchmark::kMillisecond);

// The start of the whole process alone, to read the figure above by.
void BM_CliVersionWholeProcess(benchmark::State& state) {
    for (auto _ : state) {
        const char* argv[] = {QUENDA_CLI_PATH, "--version", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        posix_spawn(&pid, QUENDA_CLI_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ);
        int status = 0;
        waitpid(pid, &status, 0);
        posix_spawn_file_actions_destroy(&actions);
    }
}
BENCHMARK(BM_CliVersionWholeProcess)->Unit(benchmark::kMillisecond);

// 518,400 continuous samples: one night of 144 hours.
const std::vector<SampleRecord>& LongRecording() {
    static const std::vector<SampleRecord> samples = [] {
        std::vector<SampleRecord> out;
        for (int d = 0; d < 18; ++d) AppendNight(out, 5, 1 + d);
        // Make it continuous: re-stamp every second from the first.
        for (std::size_t i = 0; i < out.size(); ++i) {
            const int t = 22 * 3600 + static_cast<int>(i);
            const int day = 1 + t / 86400;
            out[i].month = static_cast<std::uint8_t>(1 + (day - 1) / 28);
            out[i].day = static_cast<std::uint8_t>(1 + (day - 1) % 28);
            out[i].hour = static_cast<std::uint8_t>(t / 3600 % 24);
            out[i].minute = static_cast<std::uint8_t>(t / 60 % 60);
            out[i].second = static_cast<std::uint8_t>(t % 60);
        }
        return out;
    }();
    return samples;
}

void BM_EdfPerNightWriter518400(benchmark::State& state) {
    const auto& samples = LongRecording();
    const fs::path file = BenchDir() / "long.edf";
    for (auto _ : state) {
        if (!WriteEdf(file, samples, {}, 5, {})) state.SkipWithError("WriteEdf failed");
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}
BENCHMARK(BM_EdfPerNightWriter518400)->Unit(benchmark::kMillisecond);

// EDFlib alone writing the same header and 30-s records, no checks, no
// safe replacement: the floor the writer above is measured against.
void BM_EdfBareEdflibLoop518400(benchmark::State& state) {
    const auto& samples = LongRecording();
    const fs::path file = BenchDir() / "bare.edf";
    for (auto _ : state) {
        const int h = edfopen_file_writeonly(file.c_str(), EDFLIB_FILETYPE_EDFPLUS, 2);
        edf_set_datarecord_duration(h, 30 * 100'000);
        for (int s = 0; s < 2; ++s) {
            edf_set_samplefrequency(h, s, 30);
            edf_set_label(h, s, s == 0 ? "SpO2" : "Pulse");
            edf_set_physical_dimension(h, s, s == 0 ? "%" : "bpm");
            edf_set_physical_minimum(h, s, -1);
            edf_set_physical_maximum(h, s, s == 0 ? 127 : 255);
            edf_set_digital_minimum(h, s, -1);
            edf_set_digital_maximum(h, s, s == 0 ? 127 : 255);
        }
        edf_set_startdatetime(h, 2026, 1, 1, 22, 0, 0);
        short record[60];
        for (std::size_t r = 0; r < samples.size() / 30; ++r) {
            for (int j = 0; j < 30; ++j) {
                record[j] = samples[r * 30 + static_cast<std::size_t>(j)].spo2;
                record[30 + j] = samples[r * 30 + static_cast<std::size_t>(j)].pulseRate;
            }
            edf_blockwrite_digital_short_samples(h, record);
        }
        edfclose_file(h);
    }
}
BENCHMARK(BM_EdfBareEdflibLoop518400)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quenda

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    if (!std::getenv("QUENDA_BENCH_KEEP")) std::filesystem::remove_all(quenda::BenchDir(), ec);
    return 0;
}
