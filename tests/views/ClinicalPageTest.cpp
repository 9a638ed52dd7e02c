// The clinical page: its layout as numbers, renders to PNG for a person to
// look at, and one landscape A4 PDF page through the printer.
#include "analysis/Clinical.h"
#include "analysis/ClinicalText.h"
#include "analysis/NightAnalysis.h"
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

TrendHeader Header() {
    TrendHeader h;
    h.title = "Night of 5 March";
    h.patientName = "Anna \u00c5lund";
    h.female = true;
    h.age = 54;
    h.id = 3;
    h.height = "165 cm";
    h.weight = "61 kg";
    return h;
}

// Every valid sample counted, as the summary has always been.
NightAnalysis Analysis(const std::vector<SampleRecord>& samples) {
    return AnalyzeNight(samples, {}, {{}, ClinicalProfile::Raw});
}

QImage Render(const QSize& size, const std::vector<SampleRecord>& samples) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    QPainter painter(&image);
    PaintClinicalPage(painter, image.rect(), Analysis(samples), samples, Header());
    return image;
}

}  // namespace

class ClinicalPageTest : public QObject {
    Q_OBJECT
private slots:
    void layoutStaysOnThePageWithoutOverlaps();
    void nightIsSpreadOverThePlotWidth();
    void patientBlockAndOdiNoteHaveTheirPlaces();
    void timeAxisTicksFallOnWholeClockHours();
    void rendersAtAnySizeWithEventsMarked();
    void printsOneLandscapeA4Page();
};

void ClinicalPageTest::layoutStaysOnThePageWithoutOverlaps() {
    const ClinicalLayout l = MakeClinicalLayout();
    const std::vector<QRect> blocks{l.title,         l.patient,  l.info,       l.figures,  l.overviewTitle,
                                    l.spo2Plot, l.eventStrip, l.pulsePlot, l.timeAxis};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        QVERIFY2(l.page.contains(blocks[i]), qPrintable(QString("block %1").arg(i)));
        if (i > 0) QVERIFY2(blocks[i].top() > blocks[i - 1].bottom(), qPrintable(QString("block %1").arg(i)));
    }
    QVERIFY(l.page.contains(l.bands));
    QVERIFY(!l.bands.intersects(l.figures));
    // The shape of the desaturations under the bars, beside the figures.
    QVERIFY(l.shape.top() > l.bands.bottom());
    QCOMPARE(l.shape.bottom(), l.figures.bottom());
    // ...with a row for every line of it, none painted below the block.
    QCOMPARE(ShapeLines(NightAnalysis{}, {}).size(), static_cast<std::size_t>(kClinicalShapeRows));
    QCOMPARE(l.shape.left(), l.bands.left());
    QVERIFY(l.shape.right() < l.page.right());
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

void ClinicalPageTest::patientBlockAndOdiNoteHaveTheirPlaces() {
    const std::vector<ClinicalField> fields = ClinicalPatientFields(Header());
    std::vector<std::string> values;
    for (const ClinicalField& f : fields) values.push_back(f.value);
    QCOMPARE(values, (std::vector<std::string>{"Anna \u00c5lund", "female", "54", "3", "165 cm", "61 kg"}));
    QCOMPARE(fields.front().label, std::string("Name :"));
    QCOMPARE(fields.back().label, std::string("Weight : "));
    // An empty record: only the ID is said; a record with anything in it
    // keeps its gender, male being the field's zero.
    TrendHeader none;
    none.id = 7;
    none.height = "0 in";
    none.weight = "0 lb";
    const auto valuesOf = [](const TrendHeader& h) {
        std::vector<std::string> v;
        for (const ClinicalField& f : ClinicalPatientFields(h)) v.push_back(f.value);
        return v;
    };
    QCOMPARE(valuesOf(none), (std::vector<std::string>{"", "", "", "7", "", ""}));
    none.weight = "150 lb";
    QCOMPARE(valuesOf(none), (std::vector<std::string>{"", "male", "", "7", "", "150 lb"}));

    const ClinicalLayout l = MakeClinicalLayout();
    QCOMPARE(fields.size(), l.patientFieldLeft.size());
    QCOMPARE(l.patientFieldLeft.front(), l.patient.left());
    QVERIFY(std::ranges::is_sorted(l.patientFieldLeft));
    QVERIFY(l.patientFieldLeft.back() + 150 < l.patient.right());
    QVERIFY(l.patientFieldLeft[1] - l.patientFieldLeft[0] >= 300);  // room for a long name

    // The note sits under the ODI rows, pushing the rows after it down, and
    // the last row still ends inside the figures.
    const auto lines = ClinicalLines(Analysis(Night()), Night());
    QCOMPARE(lines[kClinicalOdiRows - 1].label, std::string("ODI 4 % per counted h"));
    const QRect note = OdiNoteRect(l);
    QCOMPARE(note.top(), FigureRowTop(l, kClinicalOdiRows - 1) + l.figureRowHeight);
    QCOMPARE(FigureRowTop(l, kClinicalOdiRows), note.bottom() + 1);
    QCOMPARE(FigureRowTop(l, static_cast<int>(lines.size())), l.figures.bottom() + 1);
}

void ClinicalPageTest::timeAxisTicksFallOnWholeClockHours() {
    struct Case {
        const char* name;
        sim::DateTime start;
        int seconds;
        std::vector<std::string> labels;  // start, hours, end; an hour near an end has no label
    };
    const std::vector<Case> cases{
        {"8 h from 22:30", {2026, 3, 5, 22, 30, 0}, 8 * 3600,
         {"22:30:00", "23:00", "00:00", "01:00", "02:00", "03:00", "04:00", "05:00", "06:00", "06:29:59"}},
        {"12 h: every 2", {2026, 3, 5, 21, 47, 13}, 12 * 3600,
         {"21:47:13", "00:00", "02:00", "04:00", "06:00", "08:00", "09:47:12"}},
        {"30 h: every 3", {2026, 3, 5, 20, 0, 0}, 30 * 3600,
         {"20:00:00", "00:00", "03:00", "06:00", "09:00", "12:00", "15:00", "18:00", "21:00", "00:00",
          "01:59:59"}},
        {"on the hour", {2026, 3, 5, 23, 0, 0}, 3 * 3600 + 1, {"23:00:00", "00:00", "01:00", "02:00:00"}},
    };
    const int width = MakeClinicalLayout().spo2Plot.width();
    for (const Case& c : cases) {
        const auto samples = sim::GenerateRecording(3, c.seconds, c.start, 1);
        const auto ticks = ClinicalTimeTicks(samples, width);
        std::vector<std::string> labels;
        for (const ClinicalTick& t : ticks) {
            if (!t.label.empty()) labels.push_back(t.label);
        }
        QVERIFY2(labels == c.labels, c.name);
        QCOMPARE(ticks.front().column, 0);
        QCOMPARE(ticks.back().column, width - 1);
        QVERIFY(std::ranges::is_sorted(ticks, {}, &ClinicalTick::column));
    }
    // An hour is where its sample is: 23:00 is sample 1800 of the 8-hour night.
    const auto night = sim::GenerateRecording(3, 8 * 3600, {2026, 3, 5, 22, 30, 0}, 1);
    QCOMPARE(ClinicalTimeTicks(night, width)[1].column, ColumnOfSample(1800, 8 * 3600, width));
    // An hour too near an end keeps its tick but not its label.
    const auto late = sim::GenerateRecording(3, 8 * 3600, {2026, 3, 5, 22, 58, 0}, 1);
    const auto lateTicks = ClinicalTimeTicks(late, width);
    QCOMPARE(lateTicks[1].label, std::string());
    QCOMPARE(lateTicks[2].label, std::string("00:00"));
    QVERIFY(ClinicalTimeTicks({}, width).empty());
    QCOMPARE(ClinicalHourStep(36 * 3600), 4);
    QCOMPARE(ClinicalHourStep(144 * 3600), 24);
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
        PaintClinicalPage(painter, QRect(0, 0, kClinicalPageWidth, kClinicalPageHeight), Analysis(samples), samples,
                          Header());
    }
    // A data set of three nights says so above its figures, unless it is one
    // library night (a merged one, which the night rule cuts in two).
    std::vector<SampleRecord> nights;
    for (const int day : {5, 6, 7}) {
        const auto night = sim::GenerateRecording(3, 3600, sim::DateTime{2026, 3, day, 22, 30, 0}, day);
        nights.insert(nights.end(), night.begin(), night.end());
    }
    for (const bool oneNight : {false, true}) {
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString((dir.Path() / "nights.pdf").string()));
            printer.setFullPage(true);
            QPainter painter(&printer);
            painter.setWindow(0, 0, kClinicalPageWidth, kClinicalPageHeight);
            PaintClinicalPage(painter, QRect(0, 0, kClinicalPageWidth, kClinicalPageHeight), Analysis(nights), nights,
                              Header(), {{}, 0, {}, oneNight});
        }
        const std::string said = test::RunInDirectory(dir.Path(), "pdftotext", {"nights.pdf", "-"}).out;
        QCOMPARE(said.find("3 nights, 3 h: open one night from the Nights window for its figures") != std::string::npos,
                 !oneNight);
    }

    const test::CommandRun info = test::RunInDirectory(dir.Path(), "pdfinfo", {"clinical.pdf"});
    QCOMPARE(info.exitCode, 0);
    const QString details = QString::fromStdString(info.out);
    QVERIFY2(details.contains(QRegularExpression("Pages:\\s+1\\n")), info.out.c_str());
    // Landscape A4 in points, wider than high.
    QVERIFY2(details.contains(QRegularExpression("Page size:\\s+842 x 595 pts \\(A4\\)")), info.out.c_str());
    const test::CommandRun text = test::RunInDirectory(dir.Path(), "pdftotext", {"-layout", "clinical.pdf", "-"});
    // Every rate names the hours it divides by, and shows them beside it.
    const std::string countedHours =
        QString::asprintf(" / %.2f h)", Analysis(samples).clinical.countedHours).toStdString();
    for (const std::string& expected : {std::string("Night of 5 March"),
                                        std::string("Clinical Summary"),
                                        std::string("T90"),
                                        std::string("Time in SpO2 bands"),
                                        std::string("Anna \u00c5lund"),
                                        std::string("female"),
                                        std::string("165 cm"),
                                        std::string("61 kg"),
                                        std::string("23:00"),
                                        std::string("06:29:59"),
                                        std::string("Counted against a 2-minute baseline"),
                                        std::string("ODI 3 % per counted h"),
                                        std::string("ODI 4 % per counted h"),
                                        std::string("Burden per counted h"),
                                        std::string("Pulse rises per counted h"),
                                        "events" + countedHours + ", mild",
                                        "%\u00b7min" + countedHours,
                                        std::string("Shape of the 3 % desaturations"),
                                        std::string("In desaturation"),
                                        std::string("Pulse rise: 10 bpm")}) {
        QVERIFY2(text.out.find(expected) != std::string::npos, expected.c_str());
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
