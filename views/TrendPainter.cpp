#include "views/TrendPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QVarLengthArray>

#include <cmath>

namespace quenda {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QRect ToQRect(const LayoutRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// The raised outer edge of the header box and the panels: light on the top
// and left, dark on the bottom and right, one unit wide inside the rectangle.
constexpr Rgb kEdgeLight{227, 227, 227};
constexpr Rgb kEdgeShadow{105, 105, 105};

// Flat caps make a one-unit line stop short of its end point, which is how
// every length of the layout is counted (a 4-unit dash covers 4 units).
QPen LinePen(Rgb colour, int width = 1) {
    QPen pen(ToQColor(colour));
    pen.setWidth(width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void FillRaised(QPainter& painter, const LayoutRect& r, Rgb fill) {
    const QRect q = ToQRect(r);
    painter.fillRect(q, ToQColor(fill));
    if (q.width() <= 0 || q.height() <= 0) return;
    painter.fillRect(QRect(q.left(), q.top(), q.width(), 1), ToQColor(kEdgeLight));
    painter.fillRect(QRect(q.left(), q.top(), 1, q.height()), ToQColor(kEdgeLight));
    painter.fillRect(QRect(q.left(), q.bottom(), q.width(), 1), ToQColor(kEdgeShadow));
    painter.fillRect(QRect(q.right(), q.top(), 1, q.height()), ToQColor(kEdgeShadow));
}

void DrawLines(QPainter& painter, const std::vector<LayoutLine>& lines) {
    QVarLengthArray<QLine, 256> q;
    q.reserve(static_cast<qsizetype>(lines.size()));
    for (const LayoutLine& l : lines) q.append(QLine(l.from.x, l.from.y, l.to.x, l.to.y));
    painter.drawLines(q.constData(), static_cast<int>(q.size()));
}

int QtAlignment(TextAlign align) {
    switch (align) {
    case TextAlign::LeftTop: return Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    case TextAlign::LeftMiddle: return Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    case TextAlign::Center: return Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    }
    return Qt::TextSingleLine;
}

void DrawText(QPainter& painter, const TrendFonts& fonts, const TextBox& box) {
    if (box.text.empty()) return;
    painter.setFont(fonts.Get(box.font));
    painter.drawText(ToQRect(box.rect), QtAlignment(box.align), QString::fromStdString(box.text));
}

void DrawTexts(QPainter& painter, const TrendFonts& fonts, const std::vector<TextBox>& boxes) {
    for (const TextBox& box : boxes) DrawText(painter, fonts, box);
}

void DrawCurve(QPainter& painter, TrendChannel channel, const TrendPageLayout& layout, const PanelLayout& panel,
               std::span<const SampleRecord> samples, Rgb colour) {
    std::vector<LayoutPoint> points;
    CurvePoints(channel, samples, layout.firstSample, layout.geometry.samplesPerPage, panel.graph, points);
    if (points.size() < 2) return;
    QPolygon polygon(static_cast<qsizetype>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) polygon.setPoint(static_cast<int>(i), points[i].x, points[i].y);
    painter.setPen(LinePen(colour));
    painter.drawPolyline(polygon);
}

void DrawPanel(QPainter& painter, const TrendPageLayout& layout, const PanelLayout& panel, TrendChannel channel,
               std::span<const SampleRecord> samples, const ReadoutTexts& readout, const TrendFonts& fonts) {
    const bool spo2 = channel == TrendChannel::Spo2;
    FillRaised(painter, panel.panel, spo2 ? trend_colour::kSpo2Panel : trend_colour::kPulsePanel);

    painter.setPen(ToQColor(trend_colour::kText));
    DrawTexts(painter, fonts, panel.labels);
    const std::string* values[3] = {&readout.date, &readout.time, spo2 ? &readout.spo2 : &readout.pulseRate};
    for (int i = 0; i < 3; ++i) {
        DrawText(painter, fonts, {panel.readout[static_cast<std::size_t>(i)], TrendFont::Value, TextAlign::LeftTop, *values[i]});
    }
    DrawTexts(painter, fonts, panel.timeLabels);

    // Round ends close the corner where the two thick axes meet.
    QPen axisPen = LinePen(trend_colour::kAxis, kAxisPenWidth);
    axisPen.setCapStyle(Qt::RoundCap);
    painter.setPen(axisPen);
    for (const LayoutLine& l : panel.axes) painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);

    painter.setPen(LinePen(trend_colour::kText));
    DrawLines(painter, panel.levelTicks);
    DrawLines(painter, panel.gridDashes);
    DrawLines(painter, panel.timeTicks);

    DrawCurve(painter, channel, layout, panel, samples, spo2 ? trend_colour::kSpo2Curve : trend_colour::kPulseCurve);
}

void DrawHeader(QPainter& painter, const HeaderLayout& header, const TrendFonts& fonts) {
    FillRaised(painter, header.box, trend_colour::kHeaderBox);
    painter.setPen(LinePen(trend_colour::kHeaderRule));
    for (const LayoutLine& l : header.rules) painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
    painter.setPen(ToQColor(trend_colour::kText));
    DrawTexts(painter, fonts, header.texts);
}

}  // namespace

const QFont& TrendFonts::Get(TrendFont font) const {
    switch (font) {
    case TrendFont::Title: return title;
    case TrendFont::Label: return label;
    case TrendFont::Value: return value;
    case TrendFont::Axis: return axis;
    }
    return value;
}

int PixelSizeForCellHeight(const QFont& font, int cellHeight) {
    QFont f(font);
    for (int px = 1; px <= cellHeight; ++px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).height() == cellHeight) return px;
    }
    return std::max(1, static_cast<int>(std::lround(cellHeight * 2048.0 / 2288.0)));
}

TrendFonts MakeTrendFonts() {
    auto make = [](int cellHeight, bool bold, bool italic) {
        QFont f(QStringLiteral("Arial"));
        f.setStyleHint(QFont::SansSerif);
        f.setBold(bold);
        f.setItalic(italic);
        f.setPixelSize(PixelSizeForCellHeight(f, cellHeight));
        return f;
    };
    TrendFonts fonts;
    fonts.title = make(trend_font_height::kTitle, true, true);
    fonts.label = make(trend_font_height::kLabel, true, false);
    fonts.value = make(trend_font_height::kValue, false, false);
    fonts.axis = make(trend_font_height::kAxis, false, false);
    return fonts;
}

void PaintTrendPage(QPainter& painter, const TrendPageLayout& layout, std::span<const SampleRecord> samples,
                    const ReadoutTexts& readout, const TrendFonts& fonts) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.fillRect(ToQRect(layout.drawing), ToQColor(trend_colour::kBackground));
    DrawHeader(painter, layout.header, fonts);
    DrawPanel(painter, layout, layout.spo2, TrendChannel::Spo2, samples, readout, fonts);
    DrawPanel(painter, layout, layout.pulse, TrendChannel::PulseRate, samples, readout, fonts);
    painter.restore();
}

void PaintReadoutArrows(QPainter& painter, const ReadoutArrow& spo2Arrow, const ReadoutArrow& pulseArrow) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(LinePen(trend_colour::kReadoutArrow));
    for (const ReadoutArrow* arrow : {&spo2Arrow, &pulseArrow}) {
        if (arrow->IsParked()) continue;
        for (const LayoutLine& l : ArrowLines(*arrow)) painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
    }
    painter.restore();
}

}  // namespace quenda
