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

// The pixel size whose text cell (ascent + descent) is `cellHeight`, as the
// heights have always been given. Where no size gives that height exactly,
// the size Arial's own proportions give (cell = 2288/2048 em) is used.
int PixelSizeForCellHeight(const QFont& font, int cellHeight);

// Draws one trend page as laid out: background, header box, both panels with
// their labels, readout texts, axes, grid, time axes and curves. Everything is
// drawn in the layout's logical units; the painter's transform maps them to
// the device (identity on screen, 1/96 inch on paper).
void PaintTrendPage(QPainter& painter, const TrendPageLayout& layout, std::span<const SampleRecord> samples,
                    const ReadoutTexts& readout, const TrendFonts& fonts);

// The two readout arrows; parked arrows draw nothing.
void PaintReadoutArrows(QPainter& painter, const ReadoutArrow& spo2Arrow, const ReadoutArrow& pulseArrow);

}  // namespace quenda
