// A scored study as the views show it: the events and the hypnogram under
// the trend's SpO2, the table's Event column and the clinical page's block.
#include "analysis/ClinicalState.h"
#include "document/AppContext.h"
#include "store/NightRule.h"
#include "support/TempDir.h"
#include "tools/sim/Recording.h"
#include "views/ClinicalLayout.h"
#include "views/ClinicalPage.h"
#include "views/PagePaint.h"
#include "views/TableLayout.h"
#include "views/TrendViewWindow.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace quenda {

namespace {

void SaveImage(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty() || !QDir().mkpath(dir)) return;
    image.save(dir + "/" + name + ".png");
}

// Gives the data set a scoring: stages W, N1, N2, N3, R in turn every 30 s,
// an apnea from 5.5 s for 4 s and a hypopnea every 10 minutes.
class ScoringStore final : public ExclusionStore {
public:
    Exclusions Load(int, std::span<const SampleRecord>) override { return {}; }
    bool Save(int, std::span<const SampleRecord>, const Exclusions&, std::string&) override { return true; }
    ScoredStudy LoadScoring(int, std::span<const SampleRecord> samples) override {
        const std::int64_t t0 = *SampleSeconds(samples.front()) * 1000;
        ScoredStudy study{"night.xml", {}};
        const SleepStage cycle[] = {SleepStage::Wake, SleepStage::N1, SleepStage::N2, SleepStage::N3, SleepStage::Rem};
        for (std::int64_t s = 0; s < static_cast<std::int64_t>(samples.size()); s += 30) {
            const SleepStage stage = cycle[(s / 1800) % 5];
            study.annotations.push_back({t0 + s * 1000, 30000, AnnotationKind::Stage, stage, StageText(stage)});
        }
        study.annotations.push_back({t0 + 5500, 4000, AnnotationKind::Apnea, SleepStage::None, "Obstructive apnea"});
        for (std::int64_t s = 300; s < static_cast<std::int64_t>(samples.size()); s += 600)
            study.annotations.push_back({t0 + s * 1000, 25000, AnnotationKind::Hypopnea, SleepStage::None, "Hypopnea"});
        SortAnnotations(study.annotations);
        return study;
    }
};

}  // namespace

class ScoredViewsTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheScoring() {
        test::TempDir dir("quenda-scored-views");
        AppContext context;
        context.settings = Settings(dir / "Quenda.ini");
        for (auto r : sim::GenerateRecording(3, 2 * 3600, sim::DateTime{2026, 12, 6, 22, 30, 0}, 7))
            context.store.AppendSample(r);
        context.store.SelectId(3);
        ScoringStore store;
        context.clinical.SetExclusionStore(&store);
        const auto samples = context.store.CurrentSamples();

        // The table: an Event column naming the apnea on samples 7 to 10, the
        // seconds from its onset (5.5 s) to its end (9.5 s).
        const TablePageLayout table =
            LayoutTablePage({0, 0, 1600, 1000}, 0, samples, {}, 8, context.clinical.ScoredMarks());
        std::vector<std::string> apneaRows;
        for (std::size_t i = 0; i < table.texts.size(); ++i) {
            if (table.texts[i].text == "Apnea") apneaRows.push_back(table.texts[i - 5].text);  // the row's Item
        }
        QCOMPARE(apneaRows, (std::vector<std::string>{"7", "8", "9", "10"}));
        QVERIFY(
            std::any_of(table.texts.begin(), table.texts.end(), [](const TableText& t) { return t.text == "Event"; }));
        // Without scoring, the five columns as ever.
        const TablePageLayout plain = LayoutTablePage({0, 0, 1600, 1000}, 0, samples, {}, 8);
        QVERIFY(
            std::none_of(plain.texts.begin(), plain.texts.end(), [](const TableText& t) { return t.text == "Event"; }));

        // The trend: hypopnea marks and the hypnogram along the foot of the SpO2 graph.
        TrendViewWindow view(context);
        view.resize(1600, 900);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage shot = view.grab().toImage();
        SaveImage(shot, "scored-trend");
        const LayoutRect& graph = view.ScreenLayout().spo2.graph;
        const auto count = [&](Rgb colour, int top, int bottom) {
            int n = 0;
            for (int y = top; y <= bottom; ++y)
                for (int x = graph.left; x <= graph.right; ++x) n += shot.pixelColor(x, y) == ToQColor(colour);
            return n;
        };
        const int strip = graph.bottom - 1 - kHypnogramRows * kHypnogramRow;
        QVERIFY(count(trend_colour::kHypopnea, strip - 2 - kEventMarkHeight, strip - 1) > 0);
        QVERIFY(count(trend_colour::kStage, strip, graph.bottom) > 0);

        // The clinical page: the block fits between the bars and the shape, all on one sheet.
        const ClinicalLayout l = MakeClinicalLayout(true);
        QVERIFY(l.scored.top() > l.bands.bottom());
        QVERIFY(l.scored.bottom() < l.shape.top());
        QVERIFY(l.criteria.bottom() < kClinicalPageHeight);
        QVERIFY(context.clinical.Analysis().scored.scored);
        QImage page(kClinicalPageWidth, kClinicalPageHeight, QImage::Format_RGB32);
        QPainter painter(&page);
        PaintClinicalPage(painter, page.rect(), context.clinical.Analysis(), samples, {},
                          {context.clinical.ShadedSpans(), 0, context.clinical.Scoring().source});
        painter.end();
        SaveImage(page, "scored-clinical");
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ScoredViewsTest)
#include "ScoredViewsTest.moc"
