// The table page and the report page over a full 144-hour data set (518,400
// samples). Goals: one table page painted off-screen at 1920 × 1080 under
// 5 ms; the report page drawn off-screen at A4 landscape, 96 dpi, under 20 ms;
// the report as a PDF under 1 s and under 1 MB (counter "pdfBytes"), also
// through quenda-cli print.
#include "analysis/Analysis.h"
#include "store/DataFile.h"
#include "tools/sim/Recording.h"
#include "views/Printing.h"
#include "views/TablePainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using namespace quenda;

const std::vector<SampleRecord>& FullDataSet() {
    static const std::vector<SampleRecord> samples =
        sim::GenerateRecording(1, kMaxSamples, sim::DateTime{2024, 3, 5, 22, 0, 0}, 518400);
    return samples;
}

ReportContent FullReport() {
    ReportContent content;
    content.samples = FullDataSet();
    content.header.title = "Report Title";
    content.header.patientName = "Jane Doe";
    ComputeStatistics(content.samples, Thresholds{}, content.results);
    return content;
}

void BM_TablePage(benchmark::State& state) {
    const TableFonts fonts = MakeTableFonts();
    QImage target(1920, 1080, QImage::Format_RGB32);
    const TablePageContent content{FullDataSet(), {}, static_cast<int>(state.range(0)), {}};
    for (auto _ : state) {
        QPainter painter(&target);
        DrawTablePage(painter, {0, 0, 1920, 1080}, content, fonts);
    }
}
BENCHMARK(BM_TablePage)->Arg(100)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_ReportPage(benchmark::State& state) {
    const TableFonts fonts = MakeTableFonts();
    const ReportContent content = FullReport();
    const LayoutRect page = LandscapeA4Page();
    QImage target(page.Width(), page.Height(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        DrawReportPage(painter, page, content, fonts);
    }
}
BENCHMARK(BM_ReportPage)->Unit(benchmark::kMillisecond);

void BM_ReportPdf(benchmark::State& state) {
    const TableFonts fonts = MakeTableFonts();
    const ReportContent content = FullReport();
    const auto path = std::filesystem::temp_directory_path() / "quenda-bench-report.pdf";
    for (auto _ : state) {
        std::string error;
        if (!WritePagePdf(
                path, [&](QPainter& p, const LayoutRect& r) { DrawReportPage(p, r, content, fonts); }, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["pdfBytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReportPdf)->Unit(benchmark::kMillisecond);

// The whole command as a user runs it: read the data file, analyse, draw,
// write the PDF; `view` is --view's value.
void BM_CliPrint(benchmark::State& state, const char* view) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto data = dir / "quenda-bench-full.dat";
    const auto pdf = dir / "quenda-bench-cli.pdf";
    if (!WriteDataFile(data, 1, FullDataSet(), "Report Title").ok) {
        state.SkipWithError("cannot write the data file");
        return;
    }
    const std::string command =
        std::string(QUENDA_CLI_PATH) + " print " + data.string() + " " + pdf.string() + " --view " + view;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("quenda-cli print failed");
            break;
        }
    }
    if (std::filesystem::exists(pdf)) state.counters["pdfBytes"] = static_cast<double>(std::filesystem::file_size(pdf));
    std::filesystem::remove(data);
    std::filesystem::remove(pdf);
}
BENCHMARK_CAPTURE(BM_CliPrint, Report, "report")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CliPrint, Clinical, "clinical")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
