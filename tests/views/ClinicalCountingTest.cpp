// The clinical page's account of what it counted: the coverage line under the
// recording's times, the criteria line at the foot, and the samples left out
// shaded grey in the whole-night graph.
#include "analysis/Clinical.h"
#include "analysis/ClinicalText.h"
#include "analysis/NightAnalysis.h"
#include "tools/sim/Recording.h"
#include "views/ClinicalLayout.h"
#include "views/ClinicalPage.h"

#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>

namespace quenda {

class ClinicalCountingTest : public QObject {
    Q_OBJECT
private slots:
    void linesHaveTheirPlaces() {
        const ClinicalLayout l = MakeClinicalLayout();
        QVERIFY(l.coverage.top() > l.info.bottom());
        QVERIFY(l.figures.top() > l.coverage.bottom());
        QVERIFY(l.criteria.top() > l.timeAxis.bottom());
        QVERIFY(l.page.contains(l.criteria));
        // The longest criteria line fits its two lines at the page's text size.
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(kClinicalTextPx);
        const QRect needed = QFontMetrics(font).boundingRect(
            l.criteria, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
            QString::fromStdString(CriteriaLine(ClinicalProfile::Default, 16)));
        QVERIFY2(needed.height() <= l.criteria.height(), qPrintable(QString::number(needed.height())));
    }

    void coverageAndCriteriaTexts() {
        ClinicalSummary s;
        s.samples = 11 * 3600 + 32 * 60 + 26;
        s.countedSamples = 10 * 3600 + 42 * 60 + 11;
        s.artefactSamples = 35 * 60;
        s.marginSamples = 2;
        s.excludedSamples = 15 * 60 + 13;
        QCOMPARE(QString::fromStdString(CoverageLine(s)),
                 QString("Counted 10:42:11 of 11:32:26 (92.7 %) \u2014 artefacts 0:35:02, excluded 0:15:13"));
        const std::string raw = CriteriaLine(ClinicalProfile::Raw, 0);
        QVERIFY(raw.starts_with("Raw profile"));
        QVERIFY(raw.find("120 s") != std::string::npos && raw.find("10 s") != std::string::npos);
        QVERIFY(raw.find("not stated") != std::string::npos);
        QVERIFY(raw.find("Pulse rise: 10 bpm or more above the mean of the 30 s before (of 15 counted samples or more), "
                         "until within 5 bpm of it, "
                         "lasting 3 s or more; it answers a 3 % fall from its start to 30 s after its end.") !=
                std::string::npos);
        QVERIFY(raw.find("Artefacts") == std::string::npos);
        const std::string byDefault = CriteriaLine(ClinicalProfile::Default, 4);
        QVERIFY(byDefault.find("Artefacts: 5 s") != std::string::npos);
        QVERIFY(byDefault.find("averaging 4 s") != std::string::npos);
    }

    void rendersTheCountedNightWithItsShading() {
        auto samples = sim::GenerateRecording(3, 8 * 3600, sim::DateTime{2026, 3, 5, 22, 30, 0}, 20260305);
        for (std::size_t i = 4 * 3600; i < 4 * 3600 + 600; ++i) samples[i].spo2 = 127;
        for (std::size_t i = 5 * 3600; i < 5 * 3600 + 3000; i += 97) samples[i].pulseRate = 180;  // a moving hand
        Exclusions exclusions;
        exclusions.Exclude({0, 15 * 60 - 1});                 // getting into bed
        exclusions.Exclude({2 * 3600, 2 * 3600 + 20 * 60});  // up at night
        const NightAnalysis night = AnalyzeNight(samples, exclusions, {});
        QVERIFY(night.clinical.artefactSamples > 0);

        QImage page(QSize(kClinicalPageWidth, kClinicalPageHeight), QImage::Format_RGB32);
        page.fill(Qt::gray);
        {
            QPainter painter(&page);
            TrendHeader header;
            header.title = "Night of 5 March";
            header.patientName = "Anna Lund";
            header.id = 3;
            PaintClinicalPage(painter, page.rect(), night, samples, header, {LeftOutSpans(night.marks.marks), 4, {}, false});
        }
        const ClinicalLayout l = MakeClinicalLayout();
        // Inside the trimmed start, near the pulse plot's bottom (under any curve).
        const int column = ColumnOfSample(5 * 60, static_cast<std::int64_t>(samples.size()), l.pulsePlot.width());
        QCOMPARE(page.pixelColor(l.pulsePlot.left() + column, l.pulsePlot.bottom() - 3), QColor(214, 214, 214));
        // Inside the ten minutes without a reading: shaded as well.
        const int invalid =
            ColumnOfSample(4 * 3600 + 300, static_cast<std::int64_t>(samples.size()), l.pulsePlot.width());
        QCOMPARE(page.pixelColor(l.pulsePlot.left() + invalid, l.pulsePlot.bottom() - 3), QColor(214, 214, 214));
        const int counted = ColumnOfSample(3 * 3600, static_cast<std::int64_t>(samples.size()), l.pulsePlot.width());
        QCOMPARE(page.pixelColor(l.pulsePlot.left() + counted, l.pulsePlot.bottom() - 3), QColor(Qt::white));

        const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir)) QVERIFY(page.save(dir + "/clinical_page_counting.png"));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ClinicalCountingTest)
#include "ClinicalCountingTest.moc"
