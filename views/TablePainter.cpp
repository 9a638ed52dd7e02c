#include "views/TablePainter.h"

#include "views/PagePaint.h"
#include "views/TrendLayout.h"

#include <QPainter>

namespace quenda {

const QFont& TableFonts::Get(TableFont font) const {
    switch (font) {
        case TableFont::Title: return title;
        case TableFont::Label: return label;
        case TableFont::Value: return value;
        case TableFont::Cell: return cell;
        case TableFont::ReportLabel: return reportLabel;
        case TableFont::ReportValue: return reportValue;
    }
    return value;
}

TableFonts MakeTableFonts() {
    using namespace table_font_height;
    TableFonts fonts;
    fonts.title = MakeArialFont(kTitle, true, true);
    fonts.label = MakeArialFont(kLabel, true, false);
    fonts.value = MakeArialFont(kValue, false, false);
    fonts.cell = MakeArialFont(kCell, false, false);
    fonts.reportLabel = MakeArialFont(kReportLabel, true, false);
    fonts.reportValue = MakeArialFont(kReportValue, false, false);
    return fonts;
}

int TableValueCharWidth(const TableFonts& fonts) { return ArialAverageCharWidth(fonts.value.pixelSize()); }

int ReportValueCharWidth(const TableFonts& fonts) { return ArialAverageCharWidth(fonts.reportValue.pixelSize()); }

void PaintTablePage(QPainter& painter, const TablePageLayout& layout, const TableFonts& fonts) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.fillRect(ToQRect(layout.drawing), ToQColor(table_colour::kBackground));
    painter.setPen(LinePen(table_colour::kGrid));
    DrawLayoutLines(painter, layout.grid);
    painter.setPen(LinePen(table_colour::kText));
    DrawLayoutLines(painter, layout.rules);
    DrawPageTexts(painter, fonts, layout.texts);
    painter.restore();
}

void PaintReportPage(QPainter& painter, const ReportPageLayout& layout, const TableFonts& fonts) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.fillRect(ToQRect(layout.paper), ToQColor(table_colour::kPaper));
    painter.setPen(LinePen(report_colour::kText));
    DrawLayoutLines(painter, layout.lines);
    for (const EventStrip* strip : {&layout.desaturationStrip, &layout.pulseStrip}) {
        if (strip->frame.Width() > 0) painter.drawRect(ToQRect(strip->frame));
    }
    QPen dotted = LinePen(report_colour::kText);
    dotted.setStyle(Qt::DotLine);
    painter.setPen(dotted);
    DrawLayoutLines(painter, layout.dotted);
    DrawColumnSpans(painter, layout.spo2Curve, report_colour::kSpo2);
    DrawColumnSpans(painter, layout.pulseCurve, report_colour::kPulse);
    for (const auto& [strip, colour] : {std::pair{&layout.desaturationStrip, report_colour::kSpo2},
                                        std::pair{&layout.pulseStrip, report_colour::kPulse}}) {
        for (const LayoutRect& mark : strip->marks) painter.fillRect(ToQRect(mark), ToQColor(colour));
    }
    painter.setPen(ToQColor(report_colour::kText));
    DrawPageTexts(painter, fonts, layout.texts);
    painter.restore();
}

TablePageLayout DrawTablePage(QPainter& painter, const LayoutRect& drawing, const TablePageContent& content,
                              const TableFonts& fonts) {
    TablePageLayout layout =
        LayoutTablePage(drawing, content.pageIndex, content.samples, content.header, TableValueCharWidth(fonts),
                        content.scored);
    PaintTablePage(painter, layout, fonts);
    return layout;
}

void DrawReportPage(QPainter& painter, const LayoutRect& paper, const ReportContent& content, const TableFonts& fonts) {
    PaintReportPage(painter, LayoutReportPage(paper, content, ReportValueCharWidth(fonts)), fonts);
}

void DrawAnalysisSheet(QPainter& painter, const LayoutRect& view, const ReportContent& content,
                       const TableFonts& fonts) {
    painter.fillRect(ToQRect(view), ToQColor(table_colour::kAnalysisBackground));
    DrawReportPage(painter, AnalysisPaper(view), content, fonts);
}

}  // namespace quenda
