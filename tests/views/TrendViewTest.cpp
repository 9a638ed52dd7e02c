#include "views/TrendView.h"

#include "tools/sim/Recording.h"
#include "views/TrendTestData.h"

#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace quenda {

namespace {

using PageUpdate = std::pair<int, int>;

// A view over its own data with a recording page sink, shown offscreen at the
// given size and painted once.
struct ShownView {
    std::vector<SampleRecord> samples;
    FixedTrendSource source;
    std::int32_t pageIndex = 0;
    std::vector<PageUpdate> updates;
    std::unique_ptr<TrendView> view;

    ShownView(std::vector<SampleRecord> data, QSize size, int page = 0) : samples(std::move(data)), pageIndex(page) {
        const TrendHeader header = test::TestHeader();
        source = FixedTrendSource(samples, header);
        view = std::make_unique<TrendView>(source, pageIndex,
                                           [this](int index, int count) { updates.emplace_back(index, count); });
        view->resize(size);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get())) qFatal("view not exposed");
        Paint();
    }

    QImage Paint() { return view->grab().toImage(); }

    const TrendPageLayout& Layout() const { return view->ScreenLayout(); }

    QPoint Spo2Point(std::int64_t n) const {
        const LayoutRect& g = Layout().spo2.graph;
        const std::int64_t first = FirstSampleOfPage(pageIndex, view->SamplesPerPage());
        return {g.left + static_cast<int>(n - first), CurveY(TrendChannel::Spo2, samples[n], g)};
    }

    void MoveTo(QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view.get(), &move);
    }

    void Wheel(int deltaY) {
        const QPointF at(100, 100);
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.get(), &wheel);
    }
};

bool IsColour(QRgb pixel, Rgb c) { return qRed(pixel) == c.r && qGreen(pixel) == c.g && qBlue(pixel) == c.b; }

int CountPixels(const QImage& image, const LayoutRect& r, Rgb c) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) n += IsColour(image.pixel(x, y), c) ? 1 : 0;
    }
    return n;
}

bool AllPixels(const QImage& image, const LayoutRect& r, Rgb c) {
    return CountPixels(image, r, c) == r.Width() * r.Height();
}
bool AnyPixel(const QImage& image, const LayoutRect& r, Rgb c) { return CountPixels(image, r, c) > 0; }

int DarkPixels(const QImage& image, const LayoutRect& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) n += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    }
    return n;
}

std::vector<SampleRecord> Overnight() {
    // Eight hours from 22:30, as the simulator's sleeper breathes them.
    return sim::GenerateRecording(1, 8 * 3600, sim::DateTime{2024, 3, 5, 22, 30, 0}, 20240305);
}

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    QVERIFY(image.save(dir + "/" + name + ".png"));
}

}  // namespace

class TrendViewTest : public QObject {
    Q_OBJECT
private slots:
    void fontsHaveTheirCellHeights();
    void pageGeometryFollowsTheWindow();
    void pointingExactlyAtASpo2PointReadsTheSample();
    void leftAtTheFirstPositionTurnsBackAPage();
    void rightAtTheRightEndTurnsOnAPage();
    void missingMinuteHasItsTickButNoLabel();
    void pageUpdatesReachTheSink();
    void pagingAndResizingParkTheArrows();
    void wheelPages();
    void paintCoversTheWholeViewAndPrintingTouchesNothing();
    void printedPageShowsTheReadoutOnlyOfItsOwnSample();
    void everyReadoutPointIsACurvePixel_data();
    void everyReadoutPointIsACurvePixel();
    void shrinkingPageCountShowsTheLastPage();
    void screenshots_data();
    void screenshots();
};

void TrendViewTest::fontsHaveTheirCellHeights() {
    const TrendFonts fonts = MakeTrendFonts();
    QCOMPARE(QFontMetrics(fonts.title).height(), trend_font_height::kTitle);
    QCOMPARE(QFontMetrics(fonts.label).height(), trend_font_height::kLabel);
    QVERIFY(fonts.title.bold() && fonts.title.italic());
    QVERIFY(fonts.label.bold() && !fonts.label.italic());
    QVERIFY(!fonts.value.bold() && !fonts.axis.bold());
    // 18 and 13 have no exact pixel size here; they must come within one unit.
    QVERIFY(std::abs(QFontMetrics(fonts.value).height() - trend_font_height::kValue) <= 1);
    QVERIFY(std::abs(QFontMetrics(fonts.axis).height() - trend_font_height::kAxis) <= 1);
    // Liberation Sans stands in for Arial where Arial is missing.
    const QString family = QFontInfo(fonts.value).family();
    QVERIFY2(family == "Arial" || family == "Liberation Sans", qPrintable(family));
}

void TrendViewTest::pageGeometryFollowsTheWindow() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700});
    QCOMPARE(v.view->SamplesPerPage(), 840);
    QCOMPARE(v.view->PageCount(), 12);
    v.view->resize(1920, 1080);
    v.Paint();
    QCOMPARE(v.view->SamplesPerPage(), 1680);
    QCOMPARE(v.view->PageCount(), 6);
    // Too narrow for a minute: one empty page, and the paint survives it.
    v.view->resize(60, 300);
    v.Paint();
    QCOMPARE(v.view->SamplesPerPage(), 0);
    QCOMPARE(v.view->PageCount(), 1);
}

void TrendViewTest::pointingExactlyAtASpo2PointReadsTheSample() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 1);
    const QPoint at = v.Spo2Point(845);  // 22:14:05, SpO2 85, pulse 95

    for (int dy : {-1, 1}) {
        v.MoveTo(at + QPoint(0, dy));
        QVERIFY(v.view->Readout().date.empty());
        QVERIFY(v.view->Spo2Arrow().IsParked());
    }

    v.MoveTo(at);
    QCOMPARE(v.view->Readout(), (ReadoutTexts{"2024/03/05", "22:14:05", "85", "95"}));
    QCOMPARE(v.view->Spo2Arrow().point, (LayoutPoint{at.x(), at.y()}));
    const LayoutRect& pulse = v.Layout().pulse.graph;
    QCOMPARE(v.view->PulseArrow().point, (LayoutPoint{at.x(), CurveY(TrendChannel::PulseRate, v.samples[845], pulse)}));

    // The readout shows in both panels, the arrows on both curves.
    const QImage image = v.Paint();
    QVERIFY(DarkPixels(image, v.Layout().spo2.readout[0]) > 0);
    QVERIFY(DarkPixels(image, v.Layout().pulse.readout[2]) > 0);
    QVERIFY(IsColour(image.pixel(at.x(), at.y() + 10), trend_colour::kReadoutArrow));  // from below in the SpO2 graph

    // One unit off the next point changes nothing: the last readout stays.
    v.MoveTo(v.Spo2Point(846) + QPoint(0, 1));
    QCOMPARE(v.view->Readout().time, std::string("22:14:05"));
}

void TrendViewTest::leftAtTheFirstPositionTurnsBackAPage() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 2);
    v.MoveTo(v.Spo2Point(1680));  // the first position of page 3 (index 2)
    QCOMPARE(v.view->Spo2Arrow().point.x, v.Layout().spo2.graph.left);

    QTest::keyClick(v.view.get(), Qt::Key_Left);
    QCOMPARE(v.pageIndex, 1);
    const int left = v.Layout().spo2.graph.left;
    QCOMPARE(v.view->Cursor().x, left + 840 - 1);
    QCOMPARE(v.view->Cursor().sample, std::int64_t{1679});
    QCOMPARE(v.view->Spo2Arrow().point.x, left + 839);
    QCOMPARE(v.view->Readout().time, std::string("22:27:59"));
    QCOMPARE(v.updates.back(), PageUpdate(1, 12));

    // And on to the left, one sample per key.
    QTest::keyClick(v.view.get(), Qt::Key_Left);
    QCOMPARE(v.view->Readout().time, std::string("22:27:58"));
    QCOMPARE(v.pageIndex, 1);
}

void TrendViewTest::rightAtTheRightEndTurnsOnAPage() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 0);
    v.MoveTo(v.Spo2Point(840));  // the right end shows the next page's first sample
    QTest::keyClick(v.view.get(), Qt::Key_Right);
    QCOMPARE(v.pageIndex, 1);
    QCOMPARE(v.view->Cursor().x, v.Layout().spo2.graph.left + 1);
    QCOMPARE(v.view->Readout().time, std::string("22:14:01"));

    // A cursor that starts without an arrow starts at the graph's left edge.
    ShownView fresh(test::SecondsFrom2200(10'000), {1000, 700}, 0);
    QTest::keyClick(fresh.view.get(), Qt::Key_Right);
    QCOMPARE(fresh.view->Readout().time, std::string("22:00:01"));
}

void TrendViewTest::missingMinuteHasItsTickButNoLabel() {
    // Last page (index 11) of 10,000 samples at 1000 wide: samples 9240 … 9999,
    // so the minute label at column 780 (sample 10,020) has no sample.
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 11);
    const QImage image = v.Paint();
    for (const PanelLayout* p : {&v.Layout().spo2, &v.Layout().pulse}) {
        const int x0 = p->graph.left;
        const int y0 = p->graph.bottom;
        const LayoutRect present = p->timeLabels.back().rect;  // column 720, 22:12:00 past the page start
        QCOMPARE(present.left, x0 + 720 - 25);
        QVERIFY(DarkPixels(image, present) > 0);
        const LayoutRect missing{x0 + 780 - 25, present.top, x0 + 780 + 25, present.bottom};
        const Rgb panel = p == &v.Layout().spo2 ? trend_colour::kSpo2Panel : trend_colour::kPulsePanel;
        QVERIFY(AllPixels(image, missing, panel));
        // Its long tick is there, black, below the axis.
        QVERIFY(IsColour(image.pixel(x0 + 780, y0 + 4), trend_colour::kText));
        QVERIFY(IsColour(image.pixel(x0 + 750, y0 + 2), trend_colour::kText));
    }
}

void TrendViewTest::pageUpdatesReachTheSink() {
    ShownView v(test::SecondsFrom2200(840 * 3), {1000, 700});
    QVERIFY(!v.updates.empty());
    QCOMPARE(v.updates.back(), PageUpdate(0, 3));

    v.view->SetRollStep(2);
    v.view->PageDown();
    QCOMPARE(v.updates.back(), PageUpdate(2, 3));
    QTest::keyClick(v.view.get(), Qt::Key_PageDown);
    QCOMPARE(v.updates.back(), PageUpdate(2, 3));
    v.Paint();
    QCOMPARE(v.updates.back(), PageUpdate(2, 3));
    QTest::keyClick(v.view.get(), Qt::Key_PageUp);
    QCOMPARE(v.updates.back(), PageUpdate(0, 3));

    // Without data page down counts one page until the next paint counts none.
    ShownView empty({}, {1000, 700});
    QCOMPARE(empty.updates.back(), PageUpdate(0, 0));
    empty.view->PageDown();
    QCOMPARE(empty.updates.back(), PageUpdate(0, 1));
    empty.Paint();
    QCOMPARE(empty.updates.back(), PageUpdate(0, 0));
}

void TrendViewTest::pagingAndResizingParkTheArrows() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 1);
    v.MoveTo(v.Spo2Point(900));
    v.view->resize(1100, 700);
    QVERIFY(v.view->Spo2Arrow().IsParked() && v.view->PulseArrow().IsParked());
    QCOMPARE(v.view->Readout().time, std::string("22:15:00"));

    v.Paint();
    v.MoveTo(v.Spo2Point(1000));  // at 1100 wide a page holds 960 samples
    QVERIFY(!v.view->PulseArrow().IsParked());
    v.view->PageUp();  // keeps the readout texts
    QVERIFY(v.view->Spo2Arrow().IsParked() && v.view->PulseArrow().IsParked());
    QCOMPARE(v.view->Readout().time, std::string("22:16:40"));
    v.view->PageDown();  // clears them
    QVERIFY(v.view->Readout().date.empty() && v.view->Readout().pulseRate.empty());
}

void TrendViewTest::wheelPages() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 5);
    v.Wheel(120);  // away from the user
    QCOMPARE(v.pageIndex, 4);
    v.Wheel(-120);
    v.Wheel(-120);
    QCOMPARE(v.pageIndex, 6);
    v.Wheel(0);  // a sideways swipe
    QCOMPARE(v.pageIndex, 6);
}

void TrendViewTest::paintCoversTheWholeViewAndPrintingTouchesNothing() {
    ShownView v(Overnight(), {1000, 700});
    QVERIFY(v.view->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage screen = v.Paint();
    QVERIFY(IsColour(screen.pixel(0, 0), trend_colour::kBackground));
    QVERIFY(IsColour(screen.pixel(999, 699), trend_colour::kBackground));
    QVERIFY(IsColour(screen.pixel(970, 30), trend_colour::kHeaderBox));

    // The printer draws the same page into its own rectangle; the screen's
    // layout, page count and readout stay as they were.
    v.MoveTo(v.Spo2Point(300));
    const TrendPageLayout before = v.Layout();
    QImage paper(1122, 794, QImage::Format_RGB32);
    paper.fill(Qt::white);
    {
        QPainter painter(&paper);
        v.view->PaintPage(painter, QRect(0, 0, 1122, 794));
    }
    QVERIFY(IsColour(paper.pixel(1121, 793), trend_colour::kBackground));
    QVERIFY(IsColour(paper.pixel(600, 100), trend_colour::kHeaderBox));
    QCOMPARE(v.view->ScreenLayout().spo2.graph, before.spo2.graph);
    QCOMPARE(v.view->SamplesPerPage(), 840);
    QVERIFY(!v.view->Spo2Arrow().IsParked());
    // No arrows on paper: their colour appears nowhere.
    QVERIFY(!AnyPixel(paper, {0, 0, paper.width(), paper.height()}, trend_colour::kReadoutArrow));
}

void TrendViewTest::printedPageShowsTheReadoutOnlyOfItsOwnSample() {
    // Screen page 2 holds samples 840 ... 1679; the paper's page 2 others.
    const int perPaperPage = ComputePageGeometry(1122, 10'000).samplesPerPage;
    QVERIFY(perPaperPage > 845 && perPaperPage < 1500 && 2 * perPaperPage > 1500);
    auto paper = [](ShownView& v) {
        QImage image(1122, 794, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        v.view->PaintPage(painter, image.rect());
        return image;
    };
    ShownView none(test::SecondsFrom2200(10'000), {1000, 700}, 1);
    const QImage without = paper(none);
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 1);
    v.MoveTo(v.Spo2Point(845));  // on the screen's page, not on the paper's
    QVERIFY(!v.view->Readout().date.empty());
    QVERIFY(paper(v) == without);
    v.MoveTo(v.Spo2Point(1500));  // on both
    QVERIFY(paper(v) != without);

    const ReadoutTexts texts{"2024/03/05", "22:25:00", "97", "60"};
    QCOMPARE(ReadoutOnPage(texts, 1500, 1, 960), texts);
    QCOMPARE(ReadoutOnPage(texts, 959, 1, 960), ReadoutTexts{});
    QCOMPARE(ReadoutOnPage(texts, 1920, 1, 960), ReadoutTexts{});
    QCOMPARE(ReadoutOnPage(texts, -1, 0, 960), ReadoutTexts{});
}

void TrendViewTest::everyReadoutPointIsACurvePixel_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("page");
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 8;
    QTest::newRow("1280x800") << QSize(1280, 800) << 3;
    QTest::newRow("1000x700 last page") << QSize(1000, 700) << 34;
}

// Where the pointer test reads a sample, the curve must have drawn a pixel:
// otherwise pointing at the visible curve shows nothing.
void TrendViewTest::everyReadoutPointIsACurvePixel() {
    QFETCH(QSize, size);
    QFETCH(int, page);
    ShownView v(Overnight(), size, page);
    const QImage image = v.Paint();
    const TrendPageLayout& layout = v.Layout();
    const std::int64_t first = layout.firstSample;
    const auto last = std::min<std::int64_t>(first + layout.geometry.samplesPerPage, std::ssize(v.samples) - 1);
    QVERIFY(last > first);
    int misses = 0;
    // Column x0 belongs to the axis; the curve starts at x0 + 1.
    for (std::int64_t n = first + 1; n <= last; ++n) {
        const auto& s = v.samples[static_cast<std::size_t>(n)];
        for (const auto& [graph, channel, colour] :
             {std::tuple{layout.spo2.graph, TrendChannel::Spo2, trend_colour::kSpo2Curve},
              std::tuple{layout.pulse.graph, TrendChannel::PulseRate, trend_colour::kPulseCurve}}) {
            const LayoutPoint at{graph.left + static_cast<int>(n - first), CurveY(channel, s, graph)};
            const auto hit = HitReadout(at, {layout.spo2.graph, layout.pulse.graph, first}, v.samples);
            QVERIFY(hit && hit->sample == n);
            if (!IsColour(image.pixel(at.x, at.y), colour)) ++misses;
        }
    }
    QCOMPARE(misses, 0);
}

void TrendViewTest::shrinkingPageCountShowsTheLastPage() {
    ShownView v(test::SecondsFrom2200(10'000), {1000, 700}, 11);  // the last of 12 pages
    v.view->resize(1920, 700);                                    // 6 pages now
    const QImage image = v.Paint();
    QCOMPARE(v.pageIndex, 5);
    QCOMPARE(v.updates.back(), PageUpdate(5, 6));
    QVERIFY(AnyPixel(image, v.Layout().spo2.graph, trend_colour::kSpo2Curve));
    // Growing again keeps the page.
    v.view->resize(1000, 700);
    v.Paint();
    QCOMPARE(v.pageIndex, 5);
}

void TrendViewTest::screenshots_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("1280x800") << QSize(1280, 800);
    QTest::newRow("1920x1080") << QSize(1920, 1080);
}

void TrendViewTest::screenshots() {
    QFETCH(QSize, size);
    const QString name = QString("trend_view_%1x%2").arg(size.width()).arg(size.height());

    // Page 8 of the night: well into sleep, with dips.
    ShownView v(Overnight(), size, 8);
    SaveScreenshot(v.Paint(), name);

    // The readout at the deepest dip of the page.
    const std::int64_t first = FirstSampleOfPage(8, v.view->SamplesPerPage());
    const auto page = std::span<const SampleRecord>(v.samples).subspan(
        static_cast<std::size_t>(first), static_cast<std::size_t>(v.view->SamplesPerPage()));
    const auto lowest = std::min_element(page.begin(), page.end(),
                                         [](const SampleRecord& a, const SampleRecord& b) { return a.spo2 < b.spo2; });
    const std::int64_t n = first + (lowest - page.begin());
    v.MoveTo(v.Spo2Point(n));
    QVERIFY(!v.view->Readout().date.empty());
    SaveScreenshot(v.Paint(), name + "_readout");

    ShownView empty({}, size);
    SaveScreenshot(empty.Paint(), name + "_empty");
}

}  // namespace quenda

QTEST_MAIN(quenda::TrendViewTest)
#include "TrendViewTest.moc"
