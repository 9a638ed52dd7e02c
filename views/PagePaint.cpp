#include "views/PagePaint.h"

#include <QFontMetrics>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace quenda {

LayoutRect ToLayoutRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

QPen LinePen(Rgb colour, int width) {
    QPen pen(ToQColor(colour));
    pen.setWidth(width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void DrawLayoutLines(QPainter& painter, const std::vector<LayoutLine>& lines) {
    QVarLengthArray<QLine, 256> q;
    q.reserve(static_cast<qsizetype>(lines.size()));
    for (const LayoutLine& l : lines) q.append(QLine(l.from.x, l.from.y, l.to.x, l.to.y));
    painter.drawLines(q.constData(), static_cast<int>(q.size()));
}

void DrawColumnSpans(QPainter& painter, const std::vector<ColumnSpan>& spans, Rgb colour) {
    // Filled one-unit rectangles rather than stroked lines: exactly the pixels
    // of the span on screen, whatever the rasteriser does with line ends, and
    // sharp rectangles on paper.
    QVarLengthArray<QRect, 1024> rects;
    rects.reserve(static_cast<qsizetype>(spans.size()));
    for (const ColumnSpan& s : spans) rects.append(QRect(s.x, s.top, 1, s.bottom - s.top + 1));
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(colour));
    painter.drawRects(rects.constData(), static_cast<int>(rects.size()));
    painter.restore();
}

int QtAlignment(TextAlign align) {
    switch (align) {
        case TextAlign::LeftTop: return Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
        case TextAlign::LeftMiddle: return Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        case TextAlign::Center: return Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    }
    return Qt::TextSingleLine;
}

int PixelSizeForCellHeight(const QFont& font, int cellHeight) {
    QFont f(font);
    for (int px = 1; px <= cellHeight; ++px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).height() == cellHeight) return px;
    }
    return std::max(1, static_cast<int>(std::lround(cellHeight * 2048.0 / 2288.0)));
}

QFont MakeArialFont(int cellHeight, bool bold, bool italic) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    f.setItalic(italic);
    f.setPixelSize(PixelSizeForCellHeight(f, cellHeight));
    return f;
}

}  // namespace quenda
