// The table view offscreen: Table and Analysis modes, paging, the page clamp
// after a resize, the roll-step dialog, and renders for a person to look at.
#include "analysis/Analysis.h"
#include "tools/sim/Recording.h"
#include "views/RollStepDialog.h"
#include "views/SampleTableView.h"
#include "views/TrendTestData.h"
#include "widgets/NoPasteLineEdit.h"
#include "widgets/StepArrows.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <utility>
#include <vector>

namespace quenda {

namespace {

using PageUpdate = std::pair<int, int>;

struct ShownTable {
    std::vector<SampleRecord> samples;
    FixedTableSource source;
    std::int32_t pageIndex = 0;
    std::vector<PageUpdate> updates;
    std::unique_ptr<SampleTableView> view;

    ShownTable(std::vector<SampleRecord> data, QSize size, int mode, int page = 0)
        : samples(std::move(data)), pageIndex(page) {
        const TrendHeader header = test::TestHeader();
        source.trend = FixedTrendSource(samples, header);
        source.mode = mode;
        ComputeStatistics(samples, Thresholds{}, source.analysis);
        view = std::make_unique<SampleTableView>(source, pageIndex,
                                                 [this](int index, int count) { updates.emplace_back(index, count); });
        view->resize(size);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get())) qFatal("view not exposed");
        Paint();
    }

    QImage Paint() { return view->grab().toImage(); }
};

std::vector<SampleRecord> Overnight() {
    return sim::GenerateRecording(1, 8 * 3600, sim::DateTime{2024, 3, 5, 22, 30, 0}, 20240305);
}

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    QVERIFY(image.save(dir + "/" + name + ".png"));
}

bool IsColour(QRgb pixel, Rgb c) { return qRed(pixel) == c.r && qGreen(pixel) == c.g && qBlue(pixel) == c.b; }

// Runs the roll-step dialog, lets `act` work on it once it is up, and
// collects the messages it shows.
struct RollStepRun {
    std::optional<int> result;
    std::vector<QString> messages;

    RollStepRun(int pageCount, int rollStep, const std::function<void(RollStepDialog&)>& act) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<RollStepDialog*>(QApplication::activeModalWidget());
            if (!dialog) qFatal("no roll-step dialog");
            act(*dialog);
        });
        result = RunRollStepDialog(nullptr, pageCount, rollStep, [this](const QString& m) { messages.push_back(m); });
    }
};

}  // namespace

class SampleTableViewTest : public QObject {
    Q_OBJECT
private slots:
    void tablePagesByTheRollStep();
    void analysisModeIgnoresPagingAndShowsOnePage();
    void shrinkingPageCountShowsTheLastPage();
    void rollStepDialog();
    void confirmedRollStepMovesThePageDown();
    void screenshots_data();
    void screenshots();
};

void SampleTableViewTest::tablePagesByTheRollStep() {
    // 651 units high: 21 rows, 38 samples a page, 100 samples on 3 pages.
    ShownTable t(test::SecondsFrom2200(100), {1000, 651}, 2);
    QCOMPARE(t.view->PageCount(), 3);
    QCOMPARE(t.updates.back(), PageUpdate(0, 3));
    t.view->SetRollStep(2);
    QTest::keyClick(t.view.get(), Qt::Key_PageDown);
    QCOMPARE(t.updates.back(), PageUpdate(2, 3));
    t.view->PageDown();
    QCOMPARE(t.pageIndex, 2);
    t.view->PageUp();
    QCOMPARE(t.updates.back(), PageUpdate(0, 3));

    // Without data: header and an empty grid, no pages.
    ShownTable empty({}, {1000, 651}, 2);
    QCOMPARE(empty.updates.back(), PageUpdate(0, 0));
    empty.view->PageDown();
    QCOMPARE(empty.pageIndex, 0);
}

void SampleTableViewTest::analysisModeIgnoresPagingAndShowsOnePage() {
    ShownTable t(Overnight(), {1000, 700}, 3);
    QCOMPARE(t.updates.back(), PageUpdate(0, 1));
    t.view->PageDown();
    QTest::keyClick(t.view.get(), Qt::Key_PageDown);
    QCOMPARE(t.pageIndex, 0);
    const QImage image = t.Paint();
    QCOMPARE(t.updates.back(), PageUpdate(0, 1));
    // Grey around a white sheet from x 300 to 780.
    QVERIFY(IsColour(image.pixel(299, 350), table_colour::kAnalysisBackground));
    QVERIFY(IsColour(image.pixel(300, 10), table_colour::kPaper));
    QVERIFY(IsColour(image.pixel(779, 689), table_colour::kPaper));
    QVERIFY(IsColour(image.pixel(780, 350), table_colour::kAnalysisBackground));

    // No samples: the sheet stays white.
    ShownTable empty({}, {1000, 700}, 3);
    const QImage blank = empty.Paint();
    for (int y = 10; y < 690; y += 7) QVERIFY(IsColour(blank.pixel(540, y), table_colour::kPaper));
}

void SampleTableViewTest::shrinkingPageCountShowsTheLastPage() {
    ShownTable t(test::SecondsFrom2200(1000), {1000, 651}, 2, 26);  // 38 a page: 27 pages
    QCOMPARE(t.updates.back(), PageUpdate(26, 27));
    t.view->resize(1000, 1200);  // 46 rows, 88 a page: 12 pages
    t.Paint();
    QCOMPARE(t.pageIndex, 11);
    QCOMPARE(t.updates.back(), PageUpdate(11, 12));
}

void SampleTableViewTest::rollStepDialog() {
    // At the page count the upper arrow stays; at 1 the lower arrow stays.
    RollStepRun up(5, 5, [](RollStepDialog& d) {
        d.Spin()->UpButton()->click();
        QCOMPARE(d.Field()->text(), QString("5"));
        d.Field()->setText("1");
        d.Spin()->DownButton()->click();
        QCOMPARE(d.Field()->text(), QString("1"));
        // Emptying the field puts 1 back at once.
        d.Field()->clear();
        QCOMPARE(d.Field()->text(), QString("1"));
        d.reject();
    });
    QVERIFY(!up.result);

    // No pages: every click gives 1, and confirming 1 is refused.
    RollStepRun none(0, 1, [](RollStepDialog& d) {
        d.Spin()->UpButton()->click();
        QCOMPARE(d.Field()->text(), QString("1"));
        d.Spin()->DownButton()->click();
        QCOMPARE(d.Field()->text(), QString("1"));
        d.accept();
    });
    QVERIFY(!none.result);
    QCOMPARE(none.messages, std::vector<QString>{"Please input a num which is between 1 and 0"});

    // Typing accepts any number; the page count is checked after OK.
    RollStepRun typed(7, 1, [](RollStepDialog& d) {
        QTest::keyClicks(d.Field(), "2");  // "12"
        d.accept();
    });
    QVERIFY(!typed.result);
    QCOMPARE(typed.messages, std::vector<QString>{"Please input a num which is between 1 and 7"});
}

void SampleTableViewTest::confirmedRollStepMovesThePageDown() {
    ShownTable t(test::SecondsFrom2200(38 * 7), {1000, 651}, 2);
    QCOMPARE(t.view->PageCount(), 7);
    RollStepRun run(t.view->PageCount(), t.view->RollStep(), [](RollStepDialog& d) {
        d.Field()->setText("3");
        d.accept();
    });
    QCOMPARE(run.result, std::optional<int>(3));
    t.view->SetRollStep(*run.result);
    t.view->PageDown();
    QCOMPARE(t.pageIndex, 3);
}

void SampleTableViewTest::screenshots_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("mode");
    for (const QSize size : {QSize(1280, 800), QSize(1920, 1080)}) {
        for (const int mode : {2, 3}) {
            const QString name = QString("%1_%2x%3")
                                     .arg(mode == 2 ? "table_view" : "analysis_view")
                                     .arg(size.width())
                                     .arg(size.height());
            QTest::newRow(qPrintable(name)) << size << mode;
        }
    }
}

void SampleTableViewTest::screenshots() {
    QFETCH(QSize, size);
    QFETCH(int, mode);
    ShownTable t(Overnight(), size, mode, 40);
    SaveScreenshot(t.Paint(), QTest::currentDataTag());
}

}  // namespace quenda

QTEST_MAIN(quenda::SampleTableViewTest)
#include "SampleTableViewTest.moc"
