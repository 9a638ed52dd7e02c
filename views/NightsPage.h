#pragma once

#include "views/NightsLayout.h"
#include "views/NightsSummaryLayout.h"

#include <QColor>
#include <QFont>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace quenda {

// What the printed Nights pages show: the listed rows in the list's order,
// the figure of the chart, the filter that chose the rows and the date the
// summary divides them at (empty: none).
struct NightsReport {
    std::vector<NightRow> rows;
    NightFigure figure = NightFigure::Odi3;
    NightSearch filter;
    std::string dividingDate;
    std::string library;  // the library file, named in the header
};

// The colour of the chart's series `index` (its place in ChartLayout::ids):
// the first few fixed, every further one a hue of its own, so any number of
// IDs each get a colour no other has.
QColor NightsSeriesColour(std::size_t index);

// The chart, onto any painter: the window, the printer and the PDF share it.
// `hot`: a point drawn larger (the one under the pointer or selected).
void PaintNightsChart(QPainter& painter, const ChartLayout& chart, std::optional<std::size_t> hot = std::nullopt);

// The period summary, onto any painter: the window and the printed page. Its
// texts are drawn in `base` at the summary's size; SummaryTextMeasure gives
// the layout their widths in that font.
void PaintNightsSummary(QPainter& painter, const SummaryLayout& summary);
SummaryTextWidth SummaryTextMeasure(const QFont& base);

// One page of the Nights report on a sheet `page` in 1/96-inch units: the
// chart, the first ID's period summary and the table's start on page one,
// the table on the pages after it, then the other IDs' summaries (a summary
// is a patient's, never one of every listed night).
int NightsReportPageCount(const NightsReport& report, const LayoutRect& page);
void PaintNightsPage(QPainter& painter, const LayoutRect& page, const NightsReport& report, int pageIndex);

// Every page onto a begun device (printer, preview, PDF), landscape A4.
bool PaintNightsPages(QPagedPaintDevice& device, const NightsReport& report);
// The report as a PDF, all or nothing (written safely beside the target and
// renamed over it). False with `error` set when it cannot be written; a report
// of no nights is not written either (NoNightsText): a PDF that holds none
// would pass for a patient without findings.
bool WriteNightsPdf(const std::filesystem::path& path, const NightsReport& report, std::string& error);

}  // namespace quenda
