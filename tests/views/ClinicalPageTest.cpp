// The clinical page: its layout as numbers, renders to PNG for a person to
// look at, and one landscape A4 PDF page through the printer.
#include "analysis/Clinical.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/sim/Recording.h"
#include "views/ClinicalLayout.h"
#include "views/ClinicalPage.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QtTest>

namespace quenda {

namespace {

// Eight hours as the simulator's sleeper breathes them, with the finger off
// the sensor for ten minutes in the middle.
std::vector<SampleRecord> Night() {
    auto samples = sim::GenerateRecording(3, 8 * 3600, sim::DateTime{2026, 3, 5, 22, 30, 0}, 20260305);
    for (std::size_t i = 4 * 3600; i < 4 * 3600 + 600; ++i) samples[i].spo2 = 127;
    return samples;
}

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    QVERIFY(image.save(dir + "/" + name + ".png"));
}

QImage Render(const QSize& size, const std::vector<SampleRecord>& samples) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    QPainter painter(&image);
    PaintClinicalPage(painter, image.rect(), ComputeClinicalSummary(samples), samples, {"Night of 5 March", 3});
    return image;
}

}  // namespace

class ClinicalPageTest : public QObject {
    Q_OBJECT
private slots:
    void layoutStaysOnThePageWithoutOverlaps();
    void nightIsSpreadOverThePlotWidth();
    void rendersAtAnySizeWithEventsMarked();
    void printsOneLandscapeA4Page();
};

void ClinicalPageTest::layoutStaysOnThePageWithoutOverlaps() {
    const ClinicalLayout l = MakeClinicalLayout();
    const std::vector<QRect> blocks{l.title,    l.info,       l.figures,   l.overviewTitle,
                                    l.spo2Plot, l.eventStrip, l.pulsePlot, l.timeAxis};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        QVERIFY2(l.page.contains(blocks[i]), qPrintable(QString("block %1").arg(i)));
        if (i > 0) QVERIFY2(blocks[i].top() > blocks[i - 1].bottom(), qPrintable(QString("block %1").arg(i)));
    }
    QVERIFY(l.page.contains(l.bands));
    QVERIFY(!l.bands.intersects(l.figures));
    QVERIFY(l.bands.left() + l.bandLabelWidth + l.bandBarWidth < l.bands.right());
    QVERIFY(l.labelWidth + l.valueWidth < l.figures.width());
    QCOMPARE(l.spo2Plot.width(), l.pulsePlot.width());

    // A printer's full page at 1/96 inch is the page itself; a window twice
    // as wide as high centres a scaled page.
    const PageFit same = FitPage(QRect(0, 0, kClinicalPageWidth, kClinicalPageHeight));
    QCOMPARE(same.scale, 1.0);
    QCOMPARE(same.dx, 0.0);
    const PageFit wide = FitPage(QRect(10, 0, 2 * 397, 397));
    QCOMPARE(wide.scale, 0.5);
    QCOMPARE(wide.dx, 10 + (794 - 561) / 2.0);
}

void ClinicalPageTest::nightIsSpreadOverThePlotWidth() {
    struct Case {
        std::int64_t i, n;
        int width, column;
    };
    for (const Case c : {Case{0, 28800, 1034, 0}, Case{28799, 28800, 1034, 1033}, Case{14400, 28800, 1034, 516},
                         Case{499, 500, 1034, 1033}, Case{0, 1, 1034, 0}, Case{518399, 518400, 1034, 1033}}) {
        QCOMPARE(ColumnOfSample(c.i, c.n, c.width), c.column);
    }
    const QRect plot(0, 100, 50, 101);
    QCOMPARE(PlotY(plot, 100, 50, 100), 100);
    QCOMPARE(PlotY(plot, 50, 50, 100), 200);
    QCOMPARE(PlotY(plot, 127, 50, 100), 100);  // clamped
    QCOMPARE(PlotY(plot, 0, 50, 100), 200);
}

void ClinicalPageTest::rendersAtAnySizeWithEventsMarked() {
    const auto samples = Night();
    const ClinicalSummary summary = ComputeClinicalSummary(samples);
    QVERIFY(!summary.events3.empty());

    const QImage page = Render(QSize(kClinicalPageWidth, kClinicalPageHeight), samples);
    SaveScreenshot(page, "clinical_page");
    // The first event is marked in the strip across its length.
    const ClinicalLayout l = MakeClinicalLayout();
    const ClinicalEvent& e = summary.events3.front();
    const int x =
        l.eventStrip.left() + ColumnOfSample(e.start, static_cast<std::int64_t>(samples.size()), l.eventStrip.width());
    QCOMPARE(page.pixelColor(x, l.eventStrip.center().y()), QColor(200, 0, 0));
    // The ≥ 95 bar is drawn, and the sheet is white to its corners.
    QCOMPARE(page.pixelColor(l.bands.left() + l.bandLabelWidth + 2, l.bands.top() + l.bandRowHeight * 3 / 2),
             QColor(0, 150, 0));
    QCOMPARE(page.pixelColor(1, 1), QColor(Qt::white));
    QCOMPARE(page.pixelColor(kClinicalPageWidth - 2, kClinicalPageHeight - 2), QColor(Qt::white));

    // In a window of other proportions the sheet keeps its own, on grey.
    const QImage window = Render(QSize(1400, 700), samples);
    SaveScreenshot(window, "clinical_page_wide");
    QCOMPARE(window.pixelColor(5, 350), QColor(128, 128, 128));
    QCOMPARE(window.pixelColor(700, 5), QColor(Qt::white));

    // No samples at all: the figures read zero and nothing else is drawn.
    SaveScreenshot(Render(QSize(kClinicalPageWidth, kClinicalPageHeight), {}), "clinical_page_empty");
}

void ClinicalPageTest::printsOneLandscapeA4Page() {
    const test::TempDir dir("quenda-clinical-pdf");
    const QString pdf = QString::fromStdString((dir.Path() / "clinical.pdf").string());
    const auto samples = Night();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setFullPage(true);
        QPainter painter(&printer);
        QVERIFY(painter.isActive());
        // One logical unit per 1/96 inch, as every printed page of the program.
        painter.setWindow(0, 0, kClinicalPageWidth, kClinicalPageHeight);
        PaintClinicalPage(painter, QRect(0, 0, kClinicalPageWidth, kClinicalPageHeight),
                          ComputeClinicalSummary(samples), samples, {"Night of 5 March", 3});
    }
    const test::CommandRun info = test::RunInDirectory(dir.Path(), "pdfinfo", {"clinical.pdf"});
    QCOMPARE(info.exitCode, 0);
    const QString details = QString::fromStdString(info.out);
    QVERIFY2(details.contains(QRegularExpression("Pages:\\s+1\\n")), info.out.c_str());
    // Landscape A4 in points, wider than high.
    QVERIFY2(details.contains(QRegularExpression("Page size:\\s+842 x 595 pts \\(A4\\)")), info.out.c_str());
    const test::CommandRun text = test::RunInDirectory(dir.Path(), "pdftotext", {"-layout", "clinical.pdf", "-"});
    for (const char* expected : {"Night of 5 March", "Clinical Summary", "ODI 3 %", "T90", "Time in SpO2 bands"}) {
        QVERIFY2(text.out.find(expected) != std::string::npos, expected);
    }
    // A picture of the page for a person to look at.
    const QString shots = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        test::RunInDirectory(
            dir.Path(), "pdftoppm",
            {"-png", "-r", "96", "-singlefile", "clinical.pdf", (shots + "/clinical_pdf").toStdString()});
    }
}

}  // namespace quenda

QTEST_MAIN(quenda::ClinicalPageTest)
#include "ClinicalPageTest.moc"
