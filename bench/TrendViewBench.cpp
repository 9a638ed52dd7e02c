// Time to paint one trend page at 1920 × 1080 over a full 144-hour data set
// (518,400 samples). Goal: under 5 ms per paint, so paging and the readout
// never lag. Runs offscreen; the page index is the benchmark's argument
// (308 is the last page at this width, 100 a full one).
#include "tools/sim/Recording.h"
#include "views/TrendView.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace quenda;

const std::vector<SampleRecord>& FullDataSet() {
    static const std::vector<SampleRecord> samples =
        sim::GenerateRecording(1, kMaxSamples, sim::DateTime{2024, 3, 5, 22, 0, 0}, 518400);
    return samples;
}

struct BenchView {
    FixedTrendSource source;
    std::int32_t pageIndex = 0;
    int pageUpdates = 0;  // one per paint: proves repaint() really painted
    std::unique_ptr<TrendView> view;

    explicit BenchView(int page) : pageIndex(page) {
        TrendHeader header;
        header.title = "Report Title";
        header.patientName = "Jane Doe";
        header.height = "165 cm";
        header.weight = "62 kg";
        source = FixedTrendSource(FullDataSet(), header);
        view = std::make_unique<TrendView>(source, pageIndex, [this](int, int) { ++pageUpdates; });
        view->resize(1920, 1080);
        view->show();
        QApplication::processEvents();
    }
};

// The widget's own paint: lay out, draw the page and the arrows into its
// off-screen pixmap, copy that to the window in one go.
void BM_TrendViewRepaint(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)));
    b.view->repaint();
    const int before = b.pageUpdates;
    for (auto _ : state) b.view->repaint();
    state.counters["paintsPerRepaint"] =
        static_cast<double>(b.pageUpdates - before) / static_cast<double>(state.iterations());
    state.counters["samplesPerPage"] = b.view->SamplesPerPage();
    state.counters["pageCount"] = b.view->PageCount();
}
BENCHMARK(BM_TrendViewRepaint)->Arg(308)->Arg(100)->Unit(benchmark::kMillisecond);

// The drawing alone, into a pixmap of the same size (what printing reuses).
void BM_TrendPaintPage(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)));
    QPixmap target(1920, 1080);
    for (auto _ : state) {
        QPainter painter(&target);
        b.view->PaintPage(painter, target.rect());
    }
}
BENCHMARK(BM_TrendPaintPage)->Arg(308)->Arg(100)->Unit(benchmark::kMillisecond);

// The layout arithmetic without drawing.
void BM_TrendLayout(benchmark::State& state) {
    const TrendHeader header;
    for (auto _ : state) {
        TrendPageLayout page = LayoutTrendPage({0, 0, 1920, 1080}, static_cast<int>(state.range(0)), FullDataSet(),
                                               header, ArialAverageCharWidth(16));
        benchmark::DoNotOptimize(page);
    }
}
BENCHMARK(BM_TrendLayout)->Arg(308)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
