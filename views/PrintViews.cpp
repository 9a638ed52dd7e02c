#include "views/PrintViews.h"

#include "analysis/NightAnalysis.h"
#include "views/ClinicalPage.h"
#include "views/PagePaint.h"
#include "views/TablePainter.h"
#include "views/TrendPaging.h"
#include "views/TrendPainter.h"

#include <array>

namespace quenda {

namespace {

int OnePage(const ReportContent&, const LayoutRect&) { return 1; }

void PaintReport(QPainter& painter, const LayoutRect& page, const ReportContent& data, int) {
    DrawReportPage(painter, page, data, MakeTableFonts());
}

int TrendPages(const ReportContent& data, const LayoutRect& page) {
    return ComputePageGeometry(page.Width(), static_cast<int>(data.samples.size())).pageCount;
}

void PaintTrend(QPainter& painter, const LayoutRect& page, const ReportContent& data, int pageIndex) {
    const SampleMarks marks = MarkSamples(data.samples, data.clinical.profile, data.clinical.exclusions);
    const std::vector<ScoredMark> scored = ScoredMarksOf(data.samples, data.scoring);
    DrawTrendPage(painter, page, {data.samples, data.header, pageIndex, {}, {LeftOutSpans(marks.marks), {}, scored}},
                  MakeTrendFonts());
}

int TablePages(const ReportContent& data, const LayoutRect& page) {
    const TablePageLayout layout = LayoutTablePage(page, 0, {}, data.header, 0);
    return TablePageCount(layout.rows, static_cast<int>(data.samples.size())).value_or(0);
}

void PaintTable(QPainter& painter, const LayoutRect& page, const ReportContent& data, int pageIndex) {
    const std::vector<ScoredMark> scored = ScoredMarksOf(data.samples, data.scoring);
    DrawTablePage(painter, page, {data.samples, data.header, pageIndex, scored}, MakeTableFonts());
}

void PaintClinical(QPainter& painter, const LayoutRect& page, const ReportContent& data, int) {
    // The thresholds change nothing on this page: only the clinical part is read.
    const NightAnalysis night =
        AnalyzeNight(data.samples, data.clinical.exclusions, {{}, data.clinical.profile}, data.scoring);
    PaintClinicalPage(painter, ToQRect(page), night, data.samples, data.header,
                      {LeftOutSpans(night.marks.marks), data.averagingSeconds, data.scoring.source});
}

constexpr std::array<PrintViewKind, 4> kKinds{{
    {"report", OnePage, PaintReport},
    {"trend", TrendPages, PaintTrend},
    {"table", TablePages, PaintTable},
    {"clinical", OnePage, PaintClinical},
}};

}  // namespace

std::span<const PrintViewKind> PrintViewKinds() { return kKinds; }

const PrintViewKind* FindPrintViewKind(std::string_view name) {
    for (const PrintViewKind& kind : kKinds) {
        if (name == kind.name) return &kind;
    }
    return nullptr;
}

}  // namespace quenda
