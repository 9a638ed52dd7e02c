// Printing through QPrinter into PDFs (no print server here): one landscape A4
// page per view, checked with poppler's pdfinfo, pdftoppm and pdftotext.
#include "analysis/Analysis.h"
#include "tools/sim/Recording.h"
#include "views/PrintDialogs.h"
#include "views/SampleTableView.h"
#include "views/TrendView.h"

#include "support/RunCommand.h"
#include "views/TrendTestData.h"

#include <QApplication>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <regex>

namespace quenda {

namespace {

QString OutputDir(const QTemporaryDir& fallback) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty() || !QDir().mkpath(dir)) return fallback.path();
    return dir;
}

// Prints `view`'s page into `name`.pdf as the Print command does after "Print
// to File (PDF)", renders it to `name`.png, and returns pdfinfo's report.
std::string PrintToPdf(const PagedView& view, const QString& dir, const QString& name) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir + "/" + name + ".pdf";
    printer.setOutputFileName(pdf);
    if (!PaintOnePage(printer, [&view](QPainter& p, const LayoutRect& page) { view.PaintPrintPage(p, page); })) {
        return {};
    }
    const std::string quoted = test::ShellQuote(pdf.toStdString());
    test::CommandOutput("pdftoppm -png -r 96 -singlefile " + quoted + " " +
                        test::ShellQuote((dir + "/" + name).toStdString()));
    return test::CommandOutput("pdfinfo " + quoted);
}

void CheckOneLandscapeA4Page(const std::string& info) {
    QVERIFY2(std::regex_search(info, std::regex("Pages:\\s+1\n")), info.c_str());
    // A4 with the width first: landscape.
    QVERIFY2(std::regex_search(info, std::regex("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts \\(A4\\)")),
             info.c_str());
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        samples_ = sim::GenerateRecording(1, 8 * 3600, sim::DateTime{2024, 3, 5, 22, 30, 0}, 20240305);
        TrendHeader header = test::TestHeader();
        header.title = "Overnight oximetry";
        table_.trend = FixedTrendSource(samples_, header);
        ComputeStatistics(samples_, Thresholds{}, table_.analysis);
    }

    void trendPage() {
        std::int32_t page = 3;
        TrendView view(table_.trend, page, {});
        CheckOneLandscapeA4Page(PrintToPdf(view, OutputDir(tmp_), "print_trend"));
    }

    void tablePage() {
        std::int32_t page = 2;
        table_.mode = 2;
        SampleTableView view(table_, page, {});
        CheckOneLandscapeA4Page(PrintToPdf(view, OutputDir(tmp_), "print_table"));
        // As many rows as fit the paper: the page holds its own samples.
        const std::string text = test::CommandOutput(
            "pdftotext -layout " + test::ShellQuote((OutputDir(tmp_) + "/print_table.pdf").toStdString()) + " -");
        QVERIFY2(text.find("Item") != std::string::npos, text.c_str());
    }

    void reportPage() {
        std::int32_t page = 0;
        table_.mode = 3;
        SampleTableView view(table_, page, {});
        const QString dir = OutputDir(tmp_);
        CheckOneLandscapeA4Page(PrintToPdf(view, dir, "print_report"));
        const std::string text = test::CommandOutput(
            "pdftotext -layout " + test::ShellQuote((dir + "/print_report.pdf").toStdString()) + " -");
        const AnalysisResults& r = table_.analysis;
        for (const std::string& expected : std::vector<std::string>{
                 "Overnight oximetry", "Total Events.", "Graphic Summary", "Max Time.Event.(Sec)", "SpO2 > 94",
                 std::to_string(r.statistics.spo2HighCount), std::to_string(r.desaturation.summary.timeInEvents),
                 std::to_string(r.pulse.summary.longestEvent)}) {
            QVERIFY2(text.find(expected) != std::string::npos, (expected + " missing in:\n" + text).c_str());
        }
    }

    // A job that cannot start is reported, not taken for printed.
    void jobThatCannotStartFails() {
        QPrinter printer(QPrinter::HighResolution);
        SetUpPrinter(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(tmp_.path() + "/missing/folder/out.pdf");
        bool painted = false;
        QVERIFY(!PaintOnePage(printer, [&painted](QPainter&, const LayoutRect&) { painted = true; }));
        QVERIFY(!painted);
    }

    // The preview draws the same page, offscreen too.
    void previewPaintsThePage() {
        int painted = 0;
        QTimer::singleShot(200, [] {
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        PrintPreview(nullptr, [&painted](QPainter&, const LayoutRect& page) {
            ++painted;
            QCOMPARE(page.Width(), 1122);
            QVERIFY(page.Height() == 793 || page.Height() == 794);
        });
        QVERIFY(painted >= 1);
    }

private:
    QTemporaryDir tmp_;
    std::vector<SampleRecord> samples_;
    FixedTableSource table_;
};

}  // namespace quenda

QTEST_MAIN(quenda::PrintTest)
#include "PrintTest.moc"
