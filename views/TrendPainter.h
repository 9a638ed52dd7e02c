#pragma once

#include "store/SampleRecord.h"
#include "views/TrendLayout.h"
#include "views/TrendReadout.h"

#include <QFont>

#include <span>

class QPainter;

namespace quenda {

// The trend view's four fonts: Arial (Liberation Sans where Arial is missing)
// at the cell heights of trend_font_height.
struct TrendFonts {
    QFont title;  // bold, italic
    QFont label;  // bold
    QFont value;
    QFont axis;

    const QFont& Get(TrendFont font) const;
};

TrendFonts MakeTrendFonts();

// Draws one trend page as laid out: background, header box, both panels with
// their labels, readout texts, axes, grid, time axes and curves. Everything is
// drawn in the layout's logical units; the painter's transform maps them to
// the device (identity on screen, 1/96 inch on paper).
void PaintTrendPage(QPainter& painter, const TrendPageLayout& layout, std::span<const SampleRecord> samples,
                    const ReadoutTexts& readout, const TrendFonts& fonts);

// What one trend page shows besides its drawing rectangle.
struct TrendPageContent {
    std::span<const SampleRecord> samples;
    TrendHeader header;
    int pageIndex = 0;
    ReadoutTexts readout;  // empty on paper
};

// Lays out and draws the trend page for `drawing`: the plain routine the view,
// the printer and the command line share. No arrows, which belong to the
// screen.
void DrawTrendPage(QPainter& painter, const LayoutRect& drawing, const TrendPageContent& content,
                   const TrendFonts& fonts);

// The two readout arrows; parked arrows draw nothing.
void PaintReadoutArrows(QPainter& painter, const ReadoutArrow& spo2Arrow, const ReadoutArrow& pulseArrow);

}  // namespace quenda
