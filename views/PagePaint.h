#pragma once

#include "views/PageLayout.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <vector>

namespace quenda {

// Drawing the pieces of a laid-out page with a QPainter. Everything is in the
// layout's logical units; the painter's transform maps them to the device.

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
inline QRect ToQRect(const LayoutRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
LayoutRect ToLayoutRect(const QRect& r);

// Flat caps make a one-unit line stop short of its end point, which is how
// every length of the layout is counted (a 4-unit dash covers 4 units).
QPen LinePen(Rgb colour, int width = 1);

void DrawLayoutLines(QPainter& painter, const std::vector<LayoutLine>& lines);

// A curve as its column spans (CurveColumns), one unit wide each.
void DrawColumnSpans(QPainter& painter, const std::vector<ColumnSpan>& spans, Rgb colour);

int QtAlignment(TextAlign align);

// Arial (Liberation Sans where Arial is missing) at a text cell height
// (ascent + descent) in logical units, as the page fonts have always been
// given.
QFont MakeArialFont(int cellHeight, bool bold, bool italic);

// The pixel size whose text cell (ascent + descent) is `cellHeight`. Where no
// size gives that height exactly, the size Arial's own proportions give
// (cell = 2288/2048 em) is used.
int PixelSizeForCellHeight(const QFont& font, int cellHeight);

// Texts of a page; `fonts` maps the page's font enum to a QFont (Get(font)).
template <typename Fonts, typename Font>
void DrawPageText(QPainter& painter, const Fonts& fonts, const LaidOutText<Font>& box) {
    if (box.text.empty()) return;
    painter.setFont(fonts.Get(box.font));
    painter.drawText(ToQRect(box.rect), QtAlignment(box.align), QString::fromStdString(box.text));
}

template <typename Fonts, typename Font>
void DrawPageTexts(QPainter& painter, const Fonts& fonts, const std::vector<LaidOutText<Font>>& boxes) {
    for (const LaidOutText<Font>& box : boxes) DrawPageText(painter, fonts, box);
}

}  // namespace quenda
