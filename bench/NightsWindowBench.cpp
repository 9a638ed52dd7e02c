// The Nights window over a library of 1,000 nights, goals:
//   - the window made and filled (list, chart, first paint) under 300 ms;
//   - the chart repainted (layout and paint) under 16 ms;
//   - the period summary of the 1,000 nights in the window, worked out again
//     (a split date set or cleared) and painted, under 50 ms;
//   - `quenda-cli nights report` of the 1,000 nights, the whole process,
//     under 2 s and a PDF under 2 MB;
//   - at a clinic's scale, the window filled from 10,000 nights under 1 s,
//     from a file and from a local PostgreSQL server (ClinicLibrary.h).
#include "ClinicLibrary.h"
#include "document/AppContext.h"
#include "nights/Library.h"
#include "views/NightsSummaryWidget.h"
#include "views/NightsWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace quenda {
namespace {

namespace fs = std::filesystem;

fs::path BenchDir() {
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "quenda-nights-window-bench-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()));
    }();
    return dir;
}

// 1,000 nights of three IDs over a year and more, each a 20-minute run with a
// dip every few minutes, so that the figures differ from night to night.
const fs::path& ThousandNights() {
    static const fs::path file = [] {
        const fs::path library = BenchDir() / "thousand.sqlite";
        FileResult opened;
        auto lib = NightLibrary::Open(library, opened);
        for (int n = 0; n < 1000; ++n) {
            const int id = 1 + n % 3;
            const int day = n / 3;
            std::vector<SampleRecord> samples;
            for (int i = 0; i < 1200; ++i) {
                const int t = 22 * 3600 + i;
                SampleRecord r{static_cast<std::uint8_t>(id),
                               static_cast<std::uint8_t>(26 + day / 336),
                               static_cast<std::uint8_t>(1 + day / 28 % 12),
                               static_cast<std::uint8_t>(1 + day % 28),
                               static_cast<std::uint8_t>(t / 3600),
                               static_cast<std::uint8_t>(t / 60 % 60),
                               static_cast<std::uint8_t>(t % 60),
                               static_cast<std::uint8_t>(i % (120 + n % 200) < 15 ? 87 : 95),
                               static_cast<std::uint8_t>(60 + i % 9),
                               0};
                samples.push_back(r);
            }
            lib->AddSamples(BenchDir() / ("night" + std::to_string(n)) / "ID1.dat", id, samples, {});
        }
        return library;
    }();
    return file;
}

void BM_WindowFilledFrom1000Nights(benchmark::State& state) {
    const fs::path& library = ThousandNights();
    AppContext context;
    for (auto _ : state) {
        NightsWindow window(context, library, {});
        window.resize(1280, 800);
        // Made, listed, laid out and painted once, as on the screen.
        const QImage shown = window.grab().toImage();
        if (window.Rows().size() != 1000) state.SkipWithError("not 1,000 nights");
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_WindowFilledFrom1000Nights)->Unit(benchmark::kMillisecond);

void BM_WindowFilledFrom10000Nights(benchmark::State& state) {
    const std::string& library = bench::ClinicLibrary(BenchDir(), state.range(0) == 1);
    if (library.empty()) return state.SkipWithError("no library of 10,000 nights");
    AppContext context;
    for (auto _ : state) {
        NightsWindow window(context, library, {});
        window.resize(1280, 800);
        const QImage shown = window.grab().toImage();
        if (window.Rows().size() != bench::kClinicNights) state.SkipWithError("not 10,000 nights");
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_WindowFilledFrom10000Nights)->ArgName("server")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ChartRepaint1000Nights(benchmark::State& state) {
    AppContext context;
    NightsWindow window(context, ThousandNights(), {});
    window.resize(1280, 800);
    window.grab();
    QWidget* chart = window.ChartWidget();
    QImage image(chart->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        chart->render(&painter);
    }
    state.counters["points"] = static_cast<double>(window.Chart().points.size());
}
BENCHMARK(BM_ChartRepaint1000Nights)->Unit(benchmark::kMillisecond);

// As the user sets or clears the before/after date: the summary of every
// listed night (and of both sides) worked out, laid out and painted.
void BM_Summary1000NightsInWindow(benchmark::State& state) {
    AppContext context;
    NightsWindow window(context, ThousandNights(), {});
    window.resize(1280, 800);
    window.grab();
    NightsSummaryWidget* summary = window.SummaryWidget();
    bool split = false;
    for (auto _ : state) {
        split = !split;
        window.SetDividingDate(split ? "2027-01-01" : "");
        QImage image(summary->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        summary->render(&painter);
    }
    window.SetDividingDate("");
    state.counters["nights"] = static_cast<double>(window.Summary().period.nights);
}
BENCHMARK(BM_Summary1000NightsInWindow)->Unit(benchmark::kMillisecond);

void BM_Report1000NightsWholeProcess(benchmark::State& state) {
    const std::string library = ThousandNights().string();
    const std::string out = (BenchDir() / "report.pdf").string();
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {QUENDA_CLI_PATH, "nights", "report", out.c_str(), "--library", library.c_str(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, QUENDA_CLI_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            state.SkipWithError("quenda-cli did not start");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        posix_spawn_file_actions_destroy(&actions);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("quenda-cli failed");
    }
    state.counters["pdf_bytes"] = static_cast<double>(fs::file_size(out));
}
BENCHMARK(BM_Report1000NightsWholeProcess)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quenda

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // The window reads and writes the settings file of the working folder.
    QDir::setCurrent(QString::fromStdString(quenda::BenchDir().string()));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(quenda::BenchDir(), ec);
    return 0;
}
