#include "views/NightsPage.h"

#include "base/AtomicFile.h"
#include "views/Printing.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <cmath>

namespace quenda {

namespace {

const QColor kSeriesColours[] = {QColor(0, 90, 200),   QColor(200, 60, 30), QColor(0, 140, 70),
                                 QColor(150, 60, 170), QColor(200, 130, 0), QColor(0, 140, 160)};
const QColor kMissingText(150, 150, 150);

QColor SeriesColour(const ChartLayout& chart, int id) {
    const auto it = std::find(chart.ids.begin(), chart.ids.end(), id);
    return NightsSeriesColour(static_cast<std::size_t>(it - chart.ids.begin()));
}

QRect ToRect(const LayoutRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kPrintDpi = 600;

// A summary is a patient's: page one carries the first ID's, and the pages
// after the table those of the others, one below the other.
constexpr int kSummaryGap = 16;

std::size_t SummariesPerPage(const NightsPrintLayout& layout, bool beforeAfter) {
    const int each = SummaryHeight(beforeAfter, layout.summary.Width()) + kSummaryGap;
    return static_cast<std::size_t>(std::max(1, (layout.tableBottom - layout.tableTop) / each));
}

int SummaryPages(const NightsPrintLayout& layout, std::size_t summaries, bool beforeAfter) {
    if (summaries <= 1) return 0;
    const std::size_t per = SummariesPerPage(layout, beforeAfter);
    return static_cast<int>((summaries - 1 + per - 1) / per);
}

std::vector<NightsSummary> Summaries(const NightsReport& report) {
    std::vector<NightsSummary> all = SummarizeById(report.rows, report.dividingDate);
    // No nights: page one says so in a summary of none.
    if (all.empty()) all.push_back(SummarizeListed({}, 0, report.dividingDate));
    return all;
}

}  // namespace

QColor NightsSeriesColour(std::size_t index) {
    if (index < std::size(kSeriesColours)) return kSeriesColours[index];
    // Each step turns the hue by the golden angle: however many there are,
    // no two land on the same hue, and neighbours in the list lie far apart.
    // The first lands on magenta, the widest gap the fixed colours leave.
    constexpr double kGoldenAngle = 137.50776405;
    const double hue = std::fmod(330.0 + kGoldenAngle * static_cast<double>(index - std::size(kSeriesColours)), 360.0);
    return QColor::fromHsvF(static_cast<float>(hue / 360.0), 0.85f, 0.75f);
}

void PaintNightsChart(QPainter& painter, const ChartLayout& chart, std::optional<std::size_t> hot) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(ToRect(chart.area), Qt::white);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QRect plot = ToRect(chart.plot);
    painter.setPen(Qt::black);
    QFont bold = font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(chart.area.left, chart.area.top, chart.area.Width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
                     Q(chart.title));
    painter.setFont(font);

    // The value grid and its labels.
    for (const ChartTick& tick : chart.valueTicks) {
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(plot.left(), tick.position, plot.right(), tick.position);
        painter.setPen(Qt::black);
        painter.drawText(QRect(chart.area.left, tick.position - 8, chart.plot.left - chart.area.left - 4, 16),
                         Qt::AlignRight | Qt::AlignVCenter, Q(tick.label));
    }
    // The clinical cut-offs, dashed, named at the right.
    QPen cut(QColor(190, 40, 40), 1, Qt::DashLine);
    for (const ChartTick& tick : chart.cutOffs) {
        painter.setPen(cut);
        painter.drawLine(plot.left(), tick.position, plot.right(), tick.position);
        painter.setPen(QColor(190, 40, 40));
        painter.drawText(QRect(plot.right() - 40, tick.position - 14, 38, 13), Qt::AlignRight | Qt::AlignBottom,
                         Q(tick.label));
    }
    for (const ChartTick& tick : chart.dateTicks) {
        painter.setPen(QColor(160, 160, 160));
        painter.drawLine(tick.position, chart.plot.bottom, tick.position, chart.plot.bottom + 3);
        painter.setPen(Qt::black);
        painter.drawText(QRect(tick.position - 40, chart.plot.bottom + 3, 80, 16), Qt::AlignCenter, Q(tick.label));
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));

    if (chart.empty) {
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No nights to show"));
        painter.restore();
        return;
    }
    painter.setClipRect(plot.adjusted(-6, -6, 6, 6));
    for (std::size_t i = 0; i < chart.lines.size(); ++i) {
        const LayoutLine& line = chart.lines[i];
        painter.setPen(QPen(SeriesColour(chart, chart.lineIds[i]), 1.5));
        painter.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);
    }
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        const ChartPoint& p = chart.points[i];
        const QColor colour = SeriesColour(chart, p.id);
        const int r = hot && *hot == i ? 5 : 3;
        painter.setPen(QPen(colour, 1));
        painter.setBrush(hot && *hot == i ? QBrush(Qt::white) : QBrush(colour));
        painter.drawEllipse(QPoint(p.at.x, p.at.y), r, r);
    }
    painter.setClipping(false);
    if (chart.dividingTick) {
        // The split date: a line between the nights before it and those from
        // it on, named at the top of the plot on its right.
        const int x = chart.dividingTick->position;
        painter.setPen(QPen(QColor(90, 40, 140), 1.5));
        painter.drawLine(x, plot.top(), x, plot.bottom());
        const QString label = Q(chart.dividingTick->label);
        const int width = painter.fontMetrics().horizontalAdvance(label) + 6;
        const bool room = x + 2 + width <= plot.right();
        const QRect box(room ? x + 2 : x - 2 - width, plot.top() + 2, width, 14);
        painter.fillRect(box, QColor(255, 255, 255, 220));
        painter.drawText(box, Qt::AlignCenter, label);
    }
    // The key, also for a single ID (one filtered out of many).
    if (!chart.ids.empty()) {
        int x = chart.area.left + 160;
        for (const int id : chart.ids) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(SeriesColour(chart, id));
            painter.drawEllipse(QPoint(x, chart.area.top + 10), 4, 4);
            painter.setPen(Qt::black);
            painter.drawText(QRect(x + 7, chart.area.top, 50, 20), Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("ID %1").arg(id));
            x += 60;
            if (x > chart.area.right - 60) break;
        }
    }
    painter.restore();
}

namespace {

QFont SummaryFont(QFont font, bool bold) {
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

}  // namespace

SummaryTextWidth SummaryTextMeasure(const QFont& base) {
    return [plain = QFontMetrics(SummaryFont(base, false)), bold = QFontMetrics(SummaryFont(base, true))](
               const std::string& text, bool isBold) { return (isBold ? bold : plain).horizontalAdvance(Q(text)); };
}

void PaintNightsSummary(QPainter& painter, const SummaryLayout& summary) {
    painter.save();
    painter.fillRect(ToRect(summary.area), Qt::white);
    const QFont font = SummaryFont(painter.font(), false);
    const QFont bold = SummaryFont(painter.font(), true);
    for (const LayoutRect& header : summary.headers) painter.fillRect(ToRect(header), QColor(235, 235, 235));
    painter.setPen(QColor(220, 220, 220));
    for (const LayoutLine& rule : summary.rules) painter.drawLine(rule.from.x, rule.from.y, rule.to.x - 1, rule.to.y);
    painter.setPen(Qt::black);
    for (const SummaryCell& cell : summary.cells) {
        painter.setFont(cell.bold ? bold : font);
        const QRect r = ToRect(cell.rect).adjusted(kSummaryCellPadding, 0, -kSummaryCellPadding, 0);
        painter.drawText(r, (cell.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(Q(cell.text), Qt::ElideRight, r.width()));
    }
    painter.restore();
}

int NightsReportPageCount(const NightsReport& report, const LayoutRect& page) {
    const NightsPrintLayout layout = LayOutNightsPrint(page);
    return NightsPageCount(layout, report.rows.size()) +
           SummaryPages(layout, Summaries(report).size(), !report.dividingDate.empty());
}

void PaintNightsPage(QPainter& painter, const LayoutRect& page, const NightsReport& report, int pageIndex) {
    const NightsPrintLayout layout = LayOutNightsPrint(page);
    const std::vector<NightsSummary> summaries = Summaries(report);
    const int tablePages = NightsPageCount(layout, report.rows.size());
    const int pages = tablePages + SummaryPages(layout, summaries.size(), !report.dividingDate.empty());
    painter.save();
    painter.fillRect(ToRect(page), Qt::white);
    QFont font = painter.font();
    font.setFamily(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRect header = ToRect(layout.header);
    painter.drawText(header, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Nights"));
    font.setBold(false);
    font.setPixelSize(11);
    painter.setFont(font);
    const QString filter = Q(FilterText(report.filter)) + QStringLiteral(" · %1 nights").arg(report.rows.size());
    painter.drawText(header, Qt::AlignLeft | Qt::AlignBottom, filter);
    painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, Q(report.library));
    painter.drawLine(header.left(), header.bottom() + 2, header.right(), header.bottom() + 2);

    const auto pageNumber = [&] {
        painter.setPen(Qt::black);
        painter.drawText(QRect(page.left, layout.tableBottom, page.Width(), 20), Qt::AlignCenter,
                         QStringLiteral("Page %1 of %2").arg(pageIndex + 1).arg(pages));
    };
    if (pageIndex >= tablePages) {
        const std::size_t per = SummariesPerPage(layout, !report.dividingDate.empty());
        const std::size_t first = 1 + static_cast<std::size_t>(pageIndex - tablePages) * per;
        LayoutRect area = layout.summary;
        area.top = layout.tableTop;
        for (std::size_t i = first; i < std::min(first + per, summaries.size()); ++i) {
            const SummaryTextWidth measure = SummaryTextMeasure(painter.font());
            area.bottom = area.top + SummaryHeight(summaries[i].beforeAfter.has_value(), area.Width(), measure);
            PaintNightsSummary(painter, LayOutSummary(summaries[i], area, measure));
            area.top = area.bottom + kSummaryGap;
        }
        pageNumber();
        painter.restore();
        return;
    }
    int top = layout.tableTop;
    if (pageIndex == 0) {
        PaintNightsChart(painter, LayOutNightsChart(report.rows, report.figure, layout.chart, report.dividingDate));
        PaintNightsSummary(painter,
                           LayOutSummary(summaries.front(), layout.summary, SummaryTextMeasure(painter.font())));
        top = layout.firstTableTop;
    }
    painter.setFont(font);
    const auto [first, count] = NightsPageRows(layout, report.rows.size(), pageIndex);
    const int right = layout.columnLeft.back();
    auto cell = [&](int column, int y) {
        return QRect(layout.columnLeft[column] + 3, y, layout.columnLeft[column + 1] - layout.columnLeft[column] - 6,
                     layout.rowHeight);
    };
    // The column titles, bold, on every page.
    QFont bold = font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.fillRect(QRect(layout.columnLeft.front(), top, right - layout.columnLeft.front(), layout.titleHeight),
                     QColor(235, 235, 235));
    for (int c = 0; c < kNightPrintColumnCount; ++c) {
        const QRect title = cell(c, top).adjusted(0, 0, 0, layout.titleHeight - layout.rowHeight);
        painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                         QString::fromUtf8(NightPrintColumnTitle(c)));
    }
    painter.setFont(font);
    int y = top + layout.titleHeight;
    for (std::size_t i = first; i < first + count; ++i) {
        const NightRow& row = report.rows[i];
        painter.setPen(row.missing ? kMissingText : QColor(Qt::black));
        for (int c = 0; c < kNightPrintColumnCount; ++c) {
            QString text = Q(NightPrintCellText(row, c));
            if (c == kNightPrintColumnCount - 1 && row.missing)  // the note
                text = text.isEmpty() ? QStringLiteral("file missing") : QStringLiteral("file missing; ") + text;
            const QRect r = cell(c, y);
            painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                             painter.fontMetrics().elidedText(text, Qt::ElideRight, r.width()));
        }
        painter.setPen(QColor(220, 220, 220));
        painter.drawLine(layout.columnLeft.front(), y + layout.rowHeight - 1, right, y + layout.rowHeight - 1);
        y += layout.rowHeight;
    }
    if (report.rows.empty()) {
        painter.setPen(Qt::black);
        painter.drawText(QRect(layout.columnLeft.front(), y, right - layout.columnLeft.front(), layout.rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("No nights yet: download from the recorder, or add data files"));
    }
    pageNumber();
    painter.restore();
}

bool PaintNightsPages(QPagedPaintDevice& device, const NightsReport& report) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const LayoutRect page = UseLogicalUnits(painter, device);
    const int pages = NightsReportPageCount(report, page);
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage()) return false;
        PaintNightsPage(painter, page, report, i);
    }
    return painter.end();
}

bool WriteNightsPdf(const std::filesystem::path& path, const NightsReport& report, std::string& error) {
    if (report.rows.empty()) {
        error = NoNightsText(report.filter);
        return false;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kPrintDpi);
        pdf.setCreator(QStringLiteral("Quenda"));
        pdf.setTitle(QStringLiteral("Nights"));
        SetUpLandscapeA4(pdf);
        if (!PaintNightsPages(pdf, report)) {
            error = "the pages could not be drawn";
            return false;
        }
    }
    const QByteArray& bytes = buffer.data();
    return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               error);
}

}  // namespace quenda
