#include "views/TrendPainter.h"

#include "views/PagePaint.h"

#include <QPainter>

#include <algorithm>

namespace quenda {

namespace {

// The raised outer edge of the header box and the panels: light on the top
// and left, dark on the bottom and right, one unit wide inside the rectangle.
constexpr Rgb kEdgeLight{227, 227, 227};
constexpr Rgb kEdgeShadow{105, 105, 105};

void FillRaised(QPainter& painter, const LayoutRect& r, Rgb fill) {
    const QRect q = ToQRect(r);
    painter.fillRect(q, ToQColor(fill));
    if (q.width() <= 0 || q.height() <= 0) return;
    painter.fillRect(QRect(q.left(), q.top(), q.width(), 1), ToQColor(kEdgeLight));
    painter.fillRect(QRect(q.left(), q.top(), 1, q.height()), ToQColor(kEdgeLight));
    painter.fillRect(QRect(q.left(), q.bottom(), q.width(), 1), ToQColor(kEdgeShadow));
    painter.fillRect(QRect(q.right(), q.top(), 1, q.height()), ToQColor(kEdgeShadow));
}

void DrawLines(QPainter& painter, const std::vector<LayoutLine>& lines) { DrawLayoutLines(painter, lines); }

void DrawText(QPainter& painter, const TrendFonts& fonts, const TextBox& box) { DrawPageText(painter, fonts, box); }

void DrawTexts(QPainter& painter, const TrendFonts& fonts, const std::vector<TextBox>& boxes) {
    DrawPageTexts(painter, fonts, boxes);
}

void DrawCurve(QPainter& painter, TrendChannel channel, const TrendPageLayout& layout, const PanelLayout& panel,
               std::span<const SampleRecord> samples, Rgb colour) {
    std::vector<LayoutPoint> points;
    CurvePoints(channel, samples, layout.firstSample, layout.geometry.samplesPerPage, panel.graph, points);
    std::vector<ColumnSpan> spans;
    CurveColumns(points, spans);
    DrawColumnSpans(painter, spans, colour);
}

void Shade(QPainter& painter, const TrendPageLayout& layout, const LayoutRect& graph, SampleSpan span, Rgb colour) {
    const ColumnRange c = SpanColumns(span, layout.firstSample, layout.geometry.samplesPerPage, graph);
    if (c.left > c.right) return;
    painter.fillRect(QRect(c.left, graph.top, c.right - c.left + 1, graph.Height()), ToQColor(colour));
}

// The hypnogram row of a stage, from the top; none for ? (unscored).
int HypnogramRow(SleepStage stage) {
    switch (stage) {
        case SleepStage::Wake: return 0;
        case SleepStage::Rem: return 1;
        case SleepStage::N1: return 2;
        case SleepStage::N2: return 3;
        case SleepStage::N3:
        case SleepStage::N4: return 4;
        default: return -1;
    }
}

void DrawScored(QPainter& painter, const TrendPageLayout& layout, const LayoutRect& graph,
                std::span<const ScoredMark> marks) {
    const int stripTop = graph.bottom - 1 - kHypnogramRows * kHypnogramRow;
    const int marksTop = stripTop - 2 - kEventMarkHeight;
    if (marksTop <= graph.top) return;
    for (const ScoredMark& m : marks) {
        const ColumnRange c = SpanColumns(m.span, layout.firstSample, layout.geometry.samplesPerPage, graph);
        if (c.left > c.right) continue;
        const int width = c.right - c.left + 1;
        if (m.kind == AnnotationKind::Stage) {
            const int row = HypnogramRow(m.stage);
            if (row < 0) continue;
            painter.fillRect(QRect(c.left, stripTop + row * kHypnogramRow + 1, width, kHypnogramRow - 2),
                             ToQColor(trend_colour::kStage));
        } else {
            const Rgb colour = m.kind == AnnotationKind::Apnea ? trend_colour::kApnea : trend_colour::kHypopnea;
            painter.fillRect(QRect(c.left, marksTop, width, kEventMarkHeight), ToQColor(colour));
        }
    }
}

void DrawPanel(QPainter& painter, const TrendPageLayout& layout, const PanelLayout& panel, TrendChannel channel,
               std::span<const SampleRecord> samples, const ReadoutTexts& readout, const TrendFonts& fonts,
               const TrendShading& shading) {
    const bool spo2 = channel == TrendChannel::Spo2;
    FillRaised(painter, panel.panel, spo2 ? trend_colour::kSpo2Panel : trend_colour::kPulsePanel);
    // Behind everything else in the graph: grid, axes and curves stay on top.
    for (const SampleSpan& span : shading.spans) Shade(painter, layout, panel.graph, span, trend_colour::kLeftOut);
    if (shading.selection) Shade(painter, layout, panel.graph, *shading.selection, trend_colour::kSelection);
    if (spo2 && !shading.scored.empty()) DrawScored(painter, layout, panel.graph, shading.scored);

    painter.setPen(ToQColor(trend_colour::kText));
    DrawTexts(painter, fonts, panel.labels);
    const std::string* values[3] = {&readout.date, &readout.time, spo2 ? &readout.spo2 : &readout.pulseRate};
    for (int i = 0; i < 3; ++i) {
        DrawText(painter, fonts,
                 {panel.readout[static_cast<std::size_t>(i)], TrendFont::Value, TextAlign::LeftTop, *values[i]});
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

ColumnRange SpanColumns(SampleSpan span, std::int64_t firstSample, int samplesPerPage, const LayoutRect& graph) {
    const std::int64_t lastOnPage = firstSample + samplesPerPage;
    const std::int64_t from = std::max<std::int64_t>(span.first, firstSample);
    const std::int64_t to = std::min<std::int64_t>(span.last, lastOnPage);
    if (from > to) return {};
    const auto column = [&](std::int64_t sample) {
        return graph.left + static_cast<int>(std::max<std::int64_t>(1, sample - firstSample));
    };
    return {column(from), column(to)};
}

const QFont& TrendFonts::Get(TrendFont font) const {
    switch (font) {
        case TrendFont::Title: return title;
        case TrendFont::Label: return label;
        case TrendFont::Value: return value;
        case TrendFont::Axis: return axis;
    }
    return value;
}

TrendFonts MakeTrendFonts() {
    TrendFonts fonts;
    fonts.title = MakeArialFont(trend_font_height::kTitle, true, true);
    fonts.label = MakeArialFont(trend_font_height::kLabel, true, false);
    fonts.value = MakeArialFont(trend_font_height::kValue, false, false);
    fonts.axis = MakeArialFont(trend_font_height::kAxis, false, false);
    return fonts;
}

void PaintTrendPage(QPainter& painter, const TrendPageLayout& layout, std::span<const SampleRecord> samples,
                    const ReadoutTexts& readout, const TrendFonts& fonts, const TrendShading& shading) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.fillRect(ToQRect(layout.drawing), ToQColor(trend_colour::kBackground));
    DrawHeader(painter, layout.header, fonts);
    DrawPanel(painter, layout, layout.spo2, TrendChannel::Spo2, samples, readout, fonts, shading);
    DrawPanel(painter, layout, layout.pulse, TrendChannel::PulseRate, samples, readout, fonts, shading);
    painter.restore();
}

void DrawTrendPage(QPainter& painter, const LayoutRect& drawing, const TrendPageContent& content,
                   const TrendFonts& fonts) {
    const TrendPageLayout layout = LayoutTrendPage(drawing, content.pageIndex, content.samples, content.header,
                                                   ArialAverageCharWidth(fonts.value.pixelSize()));
    PaintTrendPage(painter, layout, content.samples, content.readout, fonts, content.shading);
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
