// Selecting spans in the trend view and leaving them out of the clinical
// figures: Shift+drag, Shift+Left/Right, Edit's four commands, the shading,
// and a failure to keep the change.
#include "analysis/ClinicalState.h"
#include "app/LibraryExclusionStore.h"
#include "base/CommandIds.h"
#include "document/AppContext.h"
#include "nights/Library.h"
#include "store/DataFile.h"
#include "support/TempDir.h"
#include "tools/sim/Recording.h"
#include "views/TrendViewWindow.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>

namespace quenda {

namespace {

void SaveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty() || !QDir().mkpath(dir)) return;
    widget->grab().save(dir + "/" + name + ".png");
}

// A keeper that refuses, or records what it was given.
class FakeStore final : public ExclusionStore {
public:
    Exclusions Load(int, std::span<const SampleRecord>) override {
        ++loads;
        return kept;
    }
    bool Save(int, std::span<const SampleRecord>, const Exclusions& exclusions, std::string& error) override {
        if (refuse) {
            error = "disk full";
            return false;
        }
        kept = exclusions;
        return true;
    }
    Exclusions kept;
    bool refuse = false;
    int loads = 0;
};

struct Fixture {
    explicit Fixture(bool artefactsAside) {
        context.settings = Settings(dir / "Quenda.ini");
        WriteClinicalSetup(context.settings, {artefactsAside, 0});
        for (auto r : sim::GenerateRecording(3, 2 * 3600, sim::DateTime{2026, 12, 6, 22, 30, 0}, 7))
            context.store.AppendSample(r);
        context.store.SelectId(3);
        context.clinical.SetExclusionStore(&store);
        view = std::make_unique<TrendViewWindow>(context);
        view->resize(1200, 700);
        view->show();
    }
    int GraphLeft() const { return view->ScreenLayout().spo2.graph.left; }
    int GraphMiddle() const {
        const LayoutRect& g = view->ScreenLayout().spo2.graph;
        return (g.top + g.bottom) / 2;
    }
    void Mouse(QEvent::Type type, int x, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
        const QPointF at(x, GraphMiddle());
        QMouseEvent e(type, at, view->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, modifiers);
        QApplication::sendEvent(view.get(), &e);
    }
    void ShiftDrag(int fromColumn, int toColumn) {
        Mouse(QEvent::MouseButtonPress, GraphLeft() + fromColumn, Qt::LeftButton, Qt::ShiftModifier);
        Mouse(QEvent::MouseMove, GraphLeft() + toColumn, Qt::LeftButton, Qt::ShiftModifier);
        Mouse(QEvent::MouseButtonRelease, GraphLeft() + toColumn, Qt::NoButton, Qt::ShiftModifier);
    }
    std::vector<SampleSpan> Spans() { return context.clinical.CurrentExclusions().Spans(); }

    test::TempDir dir{"quenda-trend-exclusion"};
    AppContext context;
    FakeStore store;
    std::unique_ptr<TrendViewWindow> view;
};

}  // namespace

class TrendExclusionTest : public QObject {
    Q_OBJECT
private slots:
    void selectsExcludesIncludesAndTrims() {
        Fixture f(true);
        QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
        QTRY_VERIFY(f.view->ScreenLayout().spo2.graph.Width() > 300);
        for (int id : {cmd::kExcludeSpan, cmd::kIncludeSpan, cmd::kExcludeBeforeCursor, cmd::kExcludeAfterCursor})
            QVERIFY(!f.view->HandlesCommand(id));  // nothing selected, no cursor yet

        // Shift+drag from column 100 to 200 (either direction) selects those samples.
        f.ShiftDrag(200, 100);
        QCOMPARE(f.view->Selection(), std::optional<SampleSpan>(SampleSpan{100, 200}));
        QVERIFY(f.view->HandlesCommand(cmd::kExcludeSpan));
        f.view->RunCommand(cmd::kExcludeSpan);
        QCOMPARE(f.Spans(), (std::vector<SampleSpan>{{100, 200}}));
        QCOMPARE(f.store.kept.Spans(), f.Spans());  // kept at once
        QVERIFY(!f.view->Selection());

        // Including a span inside splits the exclusion.
        f.ShiftDrag(150, 160);
        f.view->RunCommand(cmd::kIncludeSpan);
        QCOMPARE(f.Spans(), (std::vector<SampleSpan>{{100, 149}, {161, 200}}));

        // A click without Shift drops a selection.
        f.ShiftDrag(10, 20);
        f.Mouse(QEvent::MouseButtonPress, f.GraphLeft() + 30, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!f.view->Selection());

        // From the keyboard: Right puts the cursor on a sample, Shift+Right
        // selects from there.
        QTest::keyClick(f.view.get(), Qt::Key_Right);
        const std::int64_t cursor = f.view->CursorSample();
        QVERIFY(cursor >= 0);
        for (int i = 0; i < 5; ++i) QTest::keyClick(f.view.get(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(f.view->Selection(), std::optional<SampleSpan>(SampleSpan{static_cast<std::int32_t>(cursor),
                                                                           static_cast<std::int32_t>(cursor + 5)}));
        QTest::keyClick(f.view.get(), Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(f.view->Selection()->last, static_cast<std::int32_t>(cursor + 4));
        QTest::keyClick(f.view.get(), Qt::Key_Left);
        QVERIFY(!f.view->Selection());

        // Trimming both ends around the cursor (now at 300).
        f.Mouse(QEvent::MouseButtonPress, f.GraphLeft() + 300, Qt::LeftButton, Qt::NoModifier);
        QTest::keyClick(f.view.get(), Qt::Key_Right);
        const auto at = static_cast<std::int32_t>(f.view->CursorSample());
        f.view->RunCommand(cmd::kExcludeBeforeCursor);
        f.view->RunCommand(cmd::kExcludeAfterCursor);
        const auto last = static_cast<std::int32_t>(f.context.store.CurrentSamples().size()) - 1;
        QCOMPARE(f.Spans(), (std::vector<SampleSpan>{{0, at - 1}, {at + 1, last}}));
        QCOMPARE(f.context.clinical.Summary().countedSamples, 1);
    }

    // A drag leaves the cursor at its end: Shift+Left/Right go on with the
    // span just dragged, whichever way it went.
    void keysGoOnFromTheEndOfADrag() {
        Fixture f(true);
        QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
        QTRY_VERIFY(f.view->ScreenLayout().spo2.graph.Width() > 300);
        const struct {
            int from, to;
            Qt::Key key;
            SampleSpan extended;
        } drags[] = {{100, 200, Qt::Key_Right, {100, 201}}, {200, 100, Qt::Key_Left, {99, 200}}};
        for (const auto& d : drags) {
            f.ShiftDrag(d.from, d.to);
            QCOMPARE(f.view->CursorSample(), std::int64_t{d.to});
            QTest::keyClick(f.view.get(), d.key, Qt::ShiftModifier);
            QCOMPARE(f.view->Selection(), std::optional<SampleSpan>(d.extended));
        }
    }

    // Readings the recorder did not have (SpO2 127, pulse 255) are shaded like
    // artefacts, under the raw profile too; the curves are drawn as before.
    void invalidReadingsAreShaded() {
        Fixture f(false);
        auto samples = f.context.store.CurrentDataSet();
        for (int i = 300; i < 320; ++i) samples[static_cast<std::size_t>(i)].spo2 = 127;
        for (int i = 400; i < 410; ++i) samples[static_cast<std::size_t>(i)].pulseRate = 255;
        ++f.context.store.DataSetGeneration;
        QCOMPARE(f.context.clinical.ShadedSpans(), (std::vector<SampleSpan>{{300, 319}, {400, 409}}));
        f.view->resize(1400, 760);
        QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
        QTRY_VERIFY(f.view->ScreenLayout().spo2.graph.Width() > 500);
        const QImage page = f.view->grab().toImage();
        const LayoutRect& g = f.view->ScreenLayout().pulse.graph;
        for (const int column : {300, 319, 405})
            QCOMPARE(page.pixelColor(g.left + column, g.top + 2), QColor(214, 214, 214));
        QVERIFY(page.pixelColor(g.left + 320, g.top + 2) != QColor(214, 214, 214));
        SaveScreenshot(f.view.get(), "trend_view_invalid");
    }

    void aChangeThatCannotBeKeptChangesNothing() {
        Fixture f(true);
        QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
        QTRY_VERIFY(f.view->ScreenLayout().spo2.graph.Width() > 300);
        QString shown;
        f.view->showMessage = [&shown](const QString& text) { shown = text; };
        f.store.refuse = true;
        f.ShiftDrag(10, 20);
        f.view->RunCommand(cmd::kExcludeSpan);
        QVERIFY(shown.contains("disk full"));
        QVERIFY(f.Spans().empty());
        QVERIFY(f.view->Selection());  // still there to try again
    }

    void exclusionsComeBackWithTheirDataSet() {
        Fixture f(true);
        std::string error;
        QVERIFY(f.context.clinical.Exclude({5, 9}, error));
        // Another data set, then this one again: each time loaded from the keeper.
        f.context.store.SelectId(3);
        QCOMPARE(f.Spans(), (std::vector<SampleSpan>{{5, 9}}));
        QVERIFY(f.store.loads >= 2);
    }

    void exclusionsSurviveARestartInTheLibrary() {
        test::TempDir dir("quenda-trend-exclusion");
        const auto library = dir / "library.sqlite";
        const auto night = sim::GenerateRecording(3, 3600, sim::DateTime{2026, 12, 6, 22, 30, 0}, 7);
        QVERIFY(WriteDataFile(dir / "ID3.dat", 3, night, "Report Title"));
        const std::filesystem::path paths[] = {dir / "ID3.dat"};
        QVERIFY(AddToLibrary(library, paths, {}).result);

        std::string error;
        {
            AppContext context;
            context.settings = Settings(dir / "Quenda.ini");
            LibraryExclusionStore store([&] { return library; }, context.settings);
            context.clinical.SetExclusionStore(&store);
            for (const auto& r : night) context.store.AppendSample(r);
            context.store.SelectId(3);
            QVERIFY2(context.clinical.Exclude({0, 299}, error), error.c_str());
            QVERIFY2(context.clinical.Exclude({1000, 1099}, error), error.c_str());
        }
        // The program again, the same data set opened: the spans come back, and
        // the library's figures have them applied.
        AppContext context;
        context.settings = Settings(dir / "Quenda.ini");
        LibraryExclusionStore store([&] { return library; }, context.settings);
        context.clinical.SetExclusionStore(&store);
        for (const auto& r : night) context.store.AppendSample(r);
        context.store.SelectId(3);
        QCOMPARE(context.clinical.CurrentExclusions().Spans(), (std::vector<SampleSpan>{{0, 299}, {1000, 1099}}));
        FileResult opened;
        auto nights = NightLibrary::Open(library, opened);
        QVERIFY(nights);
        std::vector<NightRow> rows;
        QVERIFY(nights->List({}, rows));
        QCOMPARE(rows.size(), std::size_t{1});
        QVERIFY(rows[0].clinicalJson.find("\"excluded_seconds\":400") != std::string::npos);

        // A data set the library does not hold yet is kept as a data file of
        // its own and added first; its exclusion then lives in its new night.
        AppContext other;
        other.settings = Settings(dir / "Quenda.ini");
        LibraryExclusionStore otherStore([&] { return library; }, other.settings);
        other.clinical.SetExclusionStore(&otherStore);
        for (auto r : sim::GenerateRecording(5, 600, sim::DateTime{2026, 12, 9, 22, 0, 0}, 9))
            other.store.AppendSample(r);
        other.store.SelectId(5);
        QVERIFY2(other.clinical.Exclude({0, 9}, error), error.c_str());
        rows.clear();
        QVERIFY(nights->List({}, rows));
        QCOMPARE(rows.size(), std::size_t{2});
        const auto added = std::find_if(rows.begin(), rows.end(), [](const NightRow& r) { return r.id == 5; });
        QVERIFY(added != rows.end());
        QVERIFY(std::filesystem::exists(added->source));
        std::vector<SampleSpan> spans;
        QVERIFY(nights->Exclusions(added->night, spans));
        QCOMPARE(spans, (std::vector<SampleSpan>{{0, 9}}));
    }

    void exclusionsOfANightPutRightGoToThatNight() {
        // A broken night merged, its clock shifted, opened from the library.
        test::TempDir dir("quenda-trend-exclusion");
        const auto library = dir / "library.sqlite";
        auto samples = sim::GenerateRecording(3, 1800, sim::DateTime{2026, 12, 6, 22, 30, 0}, 7);
        const auto after = sim::GenerateRecording(3, 1800, sim::DateTime{2026, 12, 7, 0, 6, 40}, 8);
        samples.insert(samples.end(), after.begin(), after.end());
        QVERIFY(WriteDataFile(dir / "ID3.dat", 3, samples, "Report Title"));
        FileResult opened;
        auto nights = NightLibrary::Open(library, opened);
        QVERIFY(nights);
        QCOMPARE(nights->AddFile(dir / "ID3.dat", {}).added, 2);
        QVERIFY(nights->Merge(1, 2));
        QVERIFY(nights->Shift(1, 3600));
        std::vector<SampleRecord> night;
        QVERIFY(nights->LoadNight(1, night));

        std::string error;
        const std::vector<SampleSpan> spans{{0, 9}, {1850, 1859}};
        {
            AppContext context;
            context.settings = Settings(dir / "Quenda.ini");
            LibraryExclusionStore store([&] { return library; }, context.settings);
            context.clinical.SetExclusionStore(&store);
            for (const auto& r : night) context.store.AppendSample(r);
            context.store.SelectId(3);
            for (const SampleSpan& span : spans) QVERIFY2(context.clinical.Exclude(span, error), error.c_str());
        }
        std::vector<SampleSpan> kept;
        QVERIFY(nights->Exclusions(1, kept));
        QCOMPARE(kept, spans);
        std::vector<NightRow> rows;
        QVERIFY(nights->List({}, rows));
        QCOMPARE(rows.size(), std::size_t{1});
        // Opened again, the night's exclusions come back.
        AppContext again;
        again.settings = Settings(dir / "Quenda.ini");
        LibraryExclusionStore store([&] { return library; }, again.settings);
        again.clinical.SetExclusionStore(&store);
        for (const auto& r : night) again.store.AppendSample(r);
        again.store.SelectId(3);
        QCOMPARE(again.clinical.CurrentExclusions().Spans(), spans);
    }

    void paintsAsBeforeWithNothingExcludedUnderTheRawProfile() {
        Fixture f(false);
        QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
        // The same page drawn by the plain view over a fixed source, which
        // knows nothing of exclusions.
        AppTrendSource appSource(f.context);
        FixedTrendSource fixed(f.context.store.CurrentSamples(), appSource.Header());
        std::int32_t page = 0;
        TrendView plain(fixed, page, {});
        plain.resize(f.view->size());
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QCOMPARE(f.view->grab().toImage(), plain.grab().toImage());

        // Excluding a span shades it light grey behind the curves.
        std::string error;
        QVERIFY(f.context.clinical.Exclude({100, 200}, error));
        const QImage shaded = f.view->grab().toImage();
        QVERIFY(shaded != plain.grab().toImage());
        const LayoutRect& g = f.view->ScreenLayout().pulse.graph;
        QCOMPARE(shaded.pixelColor(g.left + 150, g.top + 2), QColor(214, 214, 214));
        QCOMPARE(shaded.pixelColor(g.left + 250, g.top + 2),
                 plain.grab().toImage().pixelColor(g.left + 250, g.top + 2));
    }

    void savesAShadedPage() {
        // Default profile: a few probe spikes and a no-finger minute, the first
        // ten minutes trimmed and a span excluded by hand.
        Fixture f(true);
        auto samples = f.context.store.CurrentDataSet();
        for (int i : {700, 760, 1000}) samples[static_cast<std::size_t>(i)].spo2 = 70;
        for (int i = 850; i < 880; ++i) samples[static_cast<std::size_t>(i)].spo2 = 127;
        ++f.context.store.DataSetGeneration;  // as a new data set would arrive
        std::string error;
        QVERIFY(f.context.clinical.Exclude({0, 599}, error));
        QVERIFY(f.context.clinical.Exclude({1100, 1250}, error));
        f.view->resize(1400, 760);
        QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
        QTest::qWait(50);
        f.view->update();
        SaveScreenshot(f.view.get(), "trend_view_shaded");
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::TrendExclusionTest)
#include "TrendExclusionTest.moc"
