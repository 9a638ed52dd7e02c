#include "views/ClinicalPage.h"

#include "analysis/ClinicalText.h"
#include "base/StringFormat.h"
#include "base/UiText.h"
#include "views/ClinicalLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>

namespace quenda {

namespace {

const QColor kText(0, 0, 0);
const QColor kMutedText(90, 90, 90);
const QColor kGrid(160, 160, 160);
// Darker than the report page's pure green, which is faint on paper.
const QColor kSpo2Curve(0, 150, 0);
const QColor kPulseCurve(0, 0, 250);
const QColor kEventShade(230, 40, 40, 60);
const QColor kEventMark(200, 0, 0);
const QColor kLeftOut(214, 214, 214);  // as in the trend view
// One colour per band, ≥ 95 first.
const std::array<QColor, kSpo2BandCount> kBandColours{QColor(0, 150, 0), QColor(150, 190, 0), QColor(240, 170, 0),
                                                      QColor(230, 100, 0), QColor(200, 0, 0)};

QFont PageFont(int pixelSize, bool bold = false, bool italic = false) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

void PaintHeader(QPainter& p, const ClinicalLayout& l, std::span<const SampleRecord> samples, const ClinicalSummary& s,
                 const ClinicalPageHeader& header) {
    p.setPen(kText);
    p.setFont(PageFont(kClinicalTitlePx, true, true));
    p.drawText(l.title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(header.title));
    p.setFont(PageFont(kClinicalHeadingPx, true));
    p.drawText(l.title, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, Q(UiText("Clinical Summary")));
    p.drawLine(l.title.left(), l.titleRule, l.title.right(), l.titleRule);

    // The patient block: bold labels, plain values.
    const std::vector<ClinicalField> fields = ClinicalPatientFields(header);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].value.empty()) continue;
        const int left = l.patientFieldLeft[i];
        const int right = i + 1 < fields.size() ? l.patientFieldLeft[i + 1] - 10 : l.patient.right();
        const QRect box(left, l.patient.top(), right - left, l.patient.height());
        const QString label = Q(fields[i].label).trimmed() + QLatin1Char(' ');
        p.setFont(PageFont(kClinicalLabelPx, true));
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
        const int labelWidth = QFontMetrics(p.font()).horizontalAdvance(label);
        p.setFont(PageFont(kClinicalLabelPx));
        const QRect valueBox = box.adjusted(labelWidth, 0, 0, 0);
        p.drawText(valueBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetrics(p.font()).elidedText(Q(fields[i].value), Qt::ElideRight, valueBox.width()));
    }

    if (samples.empty()) return;
    const std::string info = FullTimeStamp(samples.front()) + "  \u2013  " + FullTimeStamp(samples.back()) + "     " +
                             UiText("recorded") + " " + Duration(static_cast<long long>(samples.size())) + ", " +
                             UiText("valid") + " " + Duration(s.validSamples);
    p.setFont(PageFont(kClinicalLabelPx));
    p.drawText(l.info, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(info));
    p.drawText(l.coverage, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(CoverageLine(s)));
}

// Right of the coverage line, in the colour of the events: the figures below
// are a data set's of several nights, no night's own.
void PaintManyNights(QPainter& p, const ClinicalLayout& l, std::span<const SampleRecord> samples) {
    const std::string notice = ManyNightsNotice(samples);
    if (notice.empty()) return;
    p.setPen(kEventMark);
    p.setFont(PageFont(kClinicalLabelPx, true));
    p.drawText(l.coverage, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, Q(notice));
}

void PaintCriteria(QPainter& p, const ClinicalLayout& l, const ClinicalSummary& s,
                   const ClinicalPageCounting& counting) {
    std::string line = CriteriaLine(s.profile, counting.averagingSeconds);
    if (!counting.scoringSource.empty()) {
        line += " " + UiText("Scored events and stages:") + " " + counting.scoringSource + "; " +
                UiText("hypoxic burden as published by Azarbarzin et al. (2019).");
    }
    p.setPen(kMutedText);
    p.setFont(PageFont(kClinicalTextPx));
    p.drawText(l.criteria, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, Q(line));
}

// The scored study's figures: label and value rows under a heading.
std::vector<std::pair<std::string, std::string>> ScoredRows(const ScoredFigures& f) {
    const auto figure = [](double v, std::string text) { return HasFigure(v) ? text : std::string("-"); };
    const std::string basis = UiText(f.sleepBasis ? "asleep" : "with a reading");
    std::vector<std::pair<std::string, std::string>> rows = {
        {UiText("Apneas / hypopneas"), Format("%d / %d", f.apneas, f.hypopneas)},
        {UiText("AHI"), figure(f.ahi, Format("%.1f /h", f.ahi))},
        {UiText("Hours"), Format("%.2f h ", f.hours) + basis},
    };
    if (f.hasBurden) {
        const HypoxicBurden& b = f.burden;
        rows.push_back({UiText("Hypoxic burden"), figure(b.value, Format("%.2f %%\u00b7min/h", b.value))});
        rows.push_back({UiText("Window"), Format("%d to %d s", b.window.start, b.window.end) + " (" +
                                              std::to_string(b.eventsUsed) + " " + UiText("events") + ")"});
    } else {
        rows.push_back({UiText("Hypoxic burden"), UiText("no respiratory event")});
    }
    return rows;
}

void PaintScored(QPainter& p, const ClinicalLayout& l, const ScoredFigures& f) {
    if (l.scored.isEmpty()) return;
    const QRect& b = l.scored;
    const int h = l.scoredRowHeight;
    const int labelWidth = l.shapeLabelWidth + 16;  // "Apneas / hypopneas"
    p.setPen(kText);
    p.setFont(PageFont(kClinicalHeadingPx, true));
    p.drawText(QRect(b.left(), b.top(), b.width(), h), Qt::AlignLeft | Qt::AlignVCenter, Q(UiText("Scored study")));
    const auto rows = ScoredRows(f);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int top = b.top() + static_cast<int>(i + 1) * h;
        p.setFont(PageFont(kClinicalTextPx, true));
        p.drawText(QRect(b.left(), top, labelWidth, h), Qt::AlignLeft | Qt::AlignVCenter, Q(rows[i].first));
        p.setFont(PageFont(kClinicalTextPx));
        p.drawText(QRect(b.left() + labelWidth, top, b.width() - labelWidth, h), Qt::AlignLeft | Qt::AlignVCenter,
                   Q(rows[i].second));
    }
}

void PaintFigures(QPainter& p, const ClinicalLayout& l, const NightAnalysis& night,
                  std::span<const SampleRecord> samples) {
    const QFont label = PageFont(kClinicalLabelPx, true);
    const QFont value = PageFont(kClinicalLabelPx);
    const QFont definition = PageFont(kClinicalTextPx);
    const int lineHeight = l.figureRowHeight / 2;
    const std::vector<ClinicalLine> lines = ClinicalLines(night, samples);
    for (std::size_t row = 0; row < lines.size(); ++row) {
        const ClinicalLine& line = lines[row];
        const int x = l.figures.left();
        const int y = FigureRowTop(l, static_cast<int>(row));
        p.setPen(kText);
        p.setFont(label);
        p.drawText(QRect(x, y, l.labelWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, Q(line.label));
        p.setFont(value);
        p.drawText(QRect(x + l.labelWidth, y, l.valueWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   Q(line.value));
        p.setPen(kMutedText);
        p.setFont(definition);
        p.drawText(QRect(x + 10, y + lineHeight, l.figures.width() - 10, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   Q(line.definition));
    }
    // The ODI counts differ from the report page's desaturation count; the
    // note says why, so the two pages are not read as contradicting.
    p.setPen(kMutedText);
    p.setFont(PageFont(kClinicalTextPx, false, true));
    p.drawText(OdiNoteRect(l).adjusted(10, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Q(ClinicalOdiNote()));
}

void PaintBands(QPainter& p, const ClinicalLayout& l, const ClinicalSummary& s) {
    const QRect& b = l.bands;
    p.setPen(kText);
    p.setFont(PageFont(kClinicalHeadingPx, true));
    p.drawText(QRect(b.left(), b.top(), b.width(), l.bandRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
               Q(UiText("Time in SpO2 bands")));
    const int barHeight = l.bandRowHeight * 3 / 5;
    for (int i = 0; i < kSpo2BandCount; ++i) {
        const Spo2Band& band = s.bands[static_cast<std::size_t>(i)];
        const int top = b.top() + (i + 1) * l.bandRowHeight;
        const QRect row(b.left(), top, b.width(), l.bandRowHeight);
        p.setPen(kText);
        p.setFont(PageFont(kClinicalLabelPx, true));
        p.drawText(QRect(row.left(), top, l.bandLabelWidth, row.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   Q(BandLabel(band)));
        const int barLeft = row.left() + l.bandLabelWidth;
        const int barTop = top + (row.height() - barHeight) / 2;
        p.setPen(kGrid);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(barLeft, barTop, l.bandBarWidth, barHeight));
        const int length = static_cast<int>(band.percent * l.bandBarWidth / 100.0 + 0.5);
        if (length > 0)
            p.fillRect(QRect(barLeft, barTop, length, barHeight), kBandColours[static_cast<std::size_t>(i)]);
        p.setPen(kText);
        p.setFont(PageFont(kClinicalTextPx));
        const QString text = QString::asprintf("%.1f min  %.1f %%", band.minutes, band.percent);
        p.drawText(QRect(barLeft + l.bandBarWidth + 6, top, row.right() - barLeft - l.bandBarWidth - 6, row.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

void PaintShape(QPainter& p, const ClinicalLayout& l, const NightAnalysis& night,
                std::span<const SampleRecord> samples) {
    const QRect& b = l.shape;
    p.setPen(kText);
    p.setFont(PageFont(kClinicalHeadingPx, true));
    p.drawText(QRect(b.left(), b.top(), b.width(), l.shapeRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
               Q(ShapeHeading()));
    const std::vector<ClinicalLine> lines = ShapeLines(night, samples);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int top = b.top() + static_cast<int>(i + 1) * l.shapeRowHeight;
        p.setFont(PageFont(kClinicalTextPx, true));
        p.drawText(QRect(b.left(), top, l.shapeLabelWidth, l.shapeRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   Q(lines[i].label));
        p.setFont(PageFont(kClinicalTextPx));
        p.drawText(QRect(b.left() + l.shapeLabelWidth, top, b.width() - l.shapeLabelWidth, l.shapeRowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, Q(lines[i].value));
    }
}

// Grid lines with their labels at the given values.
void PaintGrid(QPainter& p, const QRect& plot, int axisLabelWidth, std::initializer_list<int> values, int min,
               int max) {
    p.setFont(PageFont(kClinicalTextPx));
    for (const int v : values) {
        const int y = PlotY(plot, v, min, max);
        p.setPen(QPen(kGrid, 1, Qt::DotLine));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(kText);
        p.drawText(QRect(plot.left() - axisLabelWidth, y - 8, axisLabelWidth - 6, 16),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    p.setPen(kText);
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.adjusted(0, 0, -1, -1));
}

// One channel, compressed to the plot's width: the samples of one column are
// drawn as a stroke from their lowest to their highest value, joined to the
// column before; an invalid sample leaves a gap. With fewer samples than
// columns the samples are joined across the columns between them.
void PaintCurve(QPainter& p, const QRect& plot, std::span<const SampleRecord> samples, bool spo2, int min, int max) {
    const auto n = static_cast<std::int64_t>(samples.size());
    QPainterPath path;
    bool joined = false;
    int column = -1;
    int low = 0;
    int high = 0;
    const auto flush = [&] {
        if (column < 0) return;
        const double x = plot.left() + column + 0.5;
        if (joined) {
            path.lineTo(x, PlotY(plot, high, min, max));
        } else {
            path.moveTo(x, PlotY(plot, high, min, max));
        }
        path.lineTo(x, PlotY(plot, low, min, max));
        joined = true;
    };
    for (std::int64_t i = 0; i < n; ++i) {
        const SampleRecord& r = samples[static_cast<std::size_t>(i)];
        if (!IsValidSample(r)) {
            flush();
            column = -1;
            joined = false;
            continue;
        }
        const int v = spo2 ? r.spo2 : r.pulseRate;
        const int c = ColumnOfSample(i, n, plot.width());
        if (c != column) {
            flush();
            column = c;
            low = high = v;
        } else {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    flush();
    p.setPen(QPen(spo2 ? kSpo2Curve : kPulseCurve, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void PaintOverview(QPainter& p, const ClinicalLayout& l, const ClinicalSummary& s,
                   std::span<const SampleRecord> samples, const std::vector<SampleSpan>& leftOut) {
    p.setPen(kText);
    p.setFont(PageFont(kClinicalHeadingPx, true));
    p.drawText(l.overviewTitle, Qt::AlignLeft | Qt::AlignVCenter, Q(UiText("Whole night")));
    p.setFont(PageFont(kClinicalTextPx));
    p.drawText(l.overviewTitle, Qt::AlignRight | Qt::AlignVCenter,
               Q(UiText(leftOut.empty() ? "SpO2 % (green) and pulse bpm (blue); shaded: desaturations of 3 % or more"
                                        : "SpO2 % (green) and pulse bpm (blue); shaded: desaturations of 3 % or "
                                          "more; grey: not counted")));

    const auto n = static_cast<std::int64_t>(samples.size());
    const int width = l.spo2Plot.width();
    // What the figures leave out, under everything else.
    for (const SampleSpan& span : leftOut) {
        if (span.first >= n) break;
        const int first = ColumnOfSample(span.first, n, width);
        const int last = ColumnOfSample(std::min<std::int64_t>(span.last, n - 1), n, width);
        for (const QRect* plot : {&l.spo2Plot, &l.pulsePlot})
            p.fillRect(QRect(plot->left() + first, plot->top(), last - first + 1, plot->height()), kLeftOut);
    }
    // The events first, under the curve.
    for (const ClinicalEvent& e : s.events3) {
        const int first = ColumnOfSample(e.start, n, width);
        const int last = ColumnOfSample(e.start + e.length - 1, n, width);
        const int x = l.spo2Plot.left() + first;
        const int w = last - first + 1;
        p.fillRect(QRect(x, l.spo2Plot.top(), w, l.spo2Plot.height()), kEventShade);
        p.fillRect(QRect(x, l.eventStrip.top(), w, l.eventStrip.height()), kEventMark);
    }
    PaintGrid(p, l.spo2Plot, l.axisLabelWidth, {100, 90, 80, 70, 60, 50}, kOverviewSpo2Min, kOverviewSpo2Max);
    PaintGrid(p, l.pulsePlot, l.axisLabelWidth, {180, 140, 100, 60}, kOverviewPulseMin, kOverviewPulseMax);
    p.setPen(kText);
    p.drawRect(l.eventStrip.adjusted(0, 0, -1, -1));
    p.setFont(PageFont(kClinicalTextPx));
    p.drawText(QRect(l.eventStrip.left() - l.axisLabelWidth, l.eventStrip.top() - 2, l.axisLabelWidth - 6,
                     l.eventStrip.height() + 4),
               Qt::AlignRight | Qt::AlignVCenter, Q(UiText("3 %")));
    PaintCurve(p, l.spo2Plot, samples, true, kOverviewSpo2Min, kOverviewSpo2Max);
    PaintCurve(p, l.pulsePlot, samples, false, kOverviewPulseMin, kOverviewPulseMax);

    // The start and end times at the ends, whole clock hours between.
    p.setPen(kText);
    for (const ClinicalTick& tick : ClinicalTimeTicks(samples, width)) {
        const int x = l.timeAxis.left() + tick.column;
        p.drawLine(x, l.timeAxis.top(), x, l.timeAxis.top() + 4);
        if (tick.label.empty()) continue;
        const Qt::Alignment align = tick.align == ClinicalTick::kLeft    ? Qt::AlignLeft
                                    : tick.align == ClinicalTick::kRight ? Qt::AlignRight
                                                                         : Qt::AlignHCenter;
        const int boxLeft = tick.align == ClinicalTick::kLeft    ? x
                            : tick.align == ClinicalTick::kRight ? x - 100
                                                                 : x - 50;
        p.drawText(QRect(boxLeft, l.timeAxis.top() + 5, 100, 16), align | Qt::AlignTop, Q(tick.label));
    }
}

}  // namespace

void PaintClinicalPage(QPainter& painter, const QRect& target, const NightAnalysis& night,
                       std::span<const SampleRecord> samples, const ClinicalPageHeader& header,
                       const ClinicalPageCounting& counting) {
    const ClinicalSummary& summary = night.clinical;
    const ClinicalLayout layout = MakeClinicalLayout(night.scored.scored);
    const PageFit fit = FitPage(target);
    painter.save();
    painter.translate(fit.dx, fit.dy);
    painter.scale(fit.scale, fit.scale);
    painter.fillRect(layout.page, Qt::white);
    PaintHeader(painter, layout, samples, summary, header);
    if (!counting.oneNight) PaintManyNights(painter, layout, samples);
    PaintFigures(painter, layout, night, samples);
    PaintBands(painter, layout, summary);
    PaintShape(painter, layout, night, samples);
    PaintScored(painter, layout, night.scored);
    PaintOverview(painter, layout, summary, samples, counting.leftOut);
    PaintCriteria(painter, layout, summary, counting);
    painter.restore();
}

}  // namespace quenda
