#pragma once

#include "nights/PeriodSummary.h"
#include "views/PageLayout.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// The period summary of the listed nights, as the Nights window shows it
// under its chart and the first printed Nights page carries it: a table of
// one row per figure, or with a date, the nights before it beside those from
// it on and the change of each median. No widgets: the window, the printer
// and the tests share it.

// A summary is one patient's (IdSummary): the window shows that of one ID
// of the listed nights, the printed pages one per ID.
using NightsSummary = IdSummary;
// The summary of the listed nights of `id`, the others left out (none listed:
// a summary of no nights). `dividingDate`: "YYYY-MM-DD", or empty for none.
NightsSummary SummarizeListed(std::span<const NightRow> rows, int id, const std::string& dividingDate);

// The summary's texts: two lines above the table, the table's header and one
// row of cells per figure, in NightFigure's order ("–" where there is nothing
// to say).
struct SummaryTable {
    std::string title;
    std::string overview;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};
SummaryTable SummaryTableOf(const NightsSummary& summary);

struct SummaryCell {
    LayoutRect rect;
    std::string text;
    bool bold = false;
    bool right = false;  // numbers
};
struct SummaryLayout {
    LayoutRect area;
    // The figures' rows in one block, or in two side by side (the first half
    // of the figures on the left) where the width has room for both.
    int blocks = 1;
    int rowHeight = 15;
    std::vector<SummaryCell> cells;
    std::vector<LayoutRect> headers;  // each block's header row, shaded
    std::vector<LayoutLine> rules;    // under each row of figures
    int height = 0;                   // what it takes from the top of the area
};
// The width a cell's text takes in the font it is drawn in (bold: a header).
using SummaryTextWidth = std::function<int(const std::string& text, bool bold)>;
// With `measure`, the cut-off columns are as wide as their widest possible
// text ("≥ 5: 100.0% · ≥ 15: 100.0% · ≥ 30: 100.0%"), not a fixed width, so
// nothing is cut off where the area has the room; without it, fixed widths.
SummaryLayout LayOutSummary(const NightsSummary& summary, const LayoutRect& area, const SummaryTextWidth& measure = {});
// The height LayOutSummary takes at `width`, with or without a split.
int SummaryHeight(bool beforeAfter, int width, const SummaryTextWidth& measure = {});
// The room a cell's text has inside its rectangle.
inline constexpr int kSummaryCellPadding = 3;  // each side

}  // namespace quenda
