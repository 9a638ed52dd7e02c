#pragma once

#include "views/ReportLayout.h"
#include "views/TableLayout.h"

#include <QFont>

class QPainter;

namespace quenda {

// The table view's six fonts: Arial (Liberation Sans where Arial is missing)
// at the cell heights of table_font_height.
struct TableFonts {
    QFont title;  // bold, italic
    QFont label;  // bold
    QFont value;
    QFont cell;
    QFont reportLabel;  // bold
    QFont reportValue;

    const QFont& Get(TableFont font) const;
};

TableFonts MakeTableFonts();

// The average character widths the pages' boxes count in (see
// ArialAverageCharWidth).
int TableValueCharWidth(const TableFonts& fonts);
int ReportValueCharWidth(const TableFonts& fonts);

// Draws a laid-out Table-mode page: background, rules, grid, texts.
void PaintTablePage(QPainter& painter, const TablePageLayout& layout, const TableFonts& fonts);

// Draws a laid-out report page onto its paper, which it fills white first.
void PaintReportPage(QPainter& painter, const ReportPageLayout& layout, const TableFonts& fonts);

// The plain routines the views, the printer and the command line share.
struct TablePageContent {
    std::span<const SampleRecord> samples;
    TrendHeader header;
    int pageIndex = 0;
    std::span<const ScoredMark> scored;  // a scored study's: the Event column
};
// Lays out and draws the Table-mode page on `drawing`; returns the layout.
TablePageLayout DrawTablePage(QPainter& painter, const LayoutRect& drawing, const TablePageContent& content,
                              const TableFonts& fonts);
// The report page on the whole of `paper` (a printed page).
void DrawReportPage(QPainter& painter, const LayoutRect& paper, const ReportContent& content, const TableFonts& fonts);
// The Analysis mode on screen: the grey background and the report on an
// A4-proportioned sheet at 30 % of the width.
void DrawAnalysisSheet(QPainter& painter, const LayoutRect& view, const ReportContent& content,
                       const TableFonts& fonts);

}  // namespace quenda
