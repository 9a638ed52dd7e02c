#include "views/ClinicalLayout.h"

#include <algorithm>

namespace quenda {

namespace {

constexpr int kMargin = 24;
constexpr int kFiguresWidth = 720;
constexpr int kColumnGap = 30;
constexpr int kAxisLabelWidth = 40;

}  // namespace

ClinicalLayout MakeClinicalLayout() {
    ClinicalLayout l{};
    const int inner = kClinicalPageWidth - 2 * kMargin;
    l.page = QRect(0, 0, kClinicalPageWidth, kClinicalPageHeight);
    l.title = QRect(kMargin, 16, inner, 36);
    l.titleRule = l.title.bottom() + 4;
    l.info = QRect(kMargin, l.titleRule + 6, inner, 20);

    // Each figure row: label and value on one line, the definition under them.
    l.figureRowHeight = 30;
    l.labelWidth = 190;
    l.valueWidth = 250;
    l.figures = QRect(kMargin, l.info.bottom() + 12, kFiguresWidth, kClinicalFigureRows * l.figureRowHeight);

    const int bandsLeft = l.figures.right() + 1 + kColumnGap;
    l.bands = QRect(bandsLeft, l.figures.top(), kClinicalPageWidth - kMargin - bandsLeft, l.figures.height());
    l.bandRowHeight = l.bands.height() / (kClinicalBandRows + 1);  // the heading takes one row
    l.bandLabelWidth = 50;
    l.bandBarWidth = l.bands.width() - l.bandLabelWidth - 110;  // room for "444.2 min  92.5 %"

    l.axisLabelWidth = kAxisLabelWidth;
    const int plotLeft = kMargin + kAxisLabelWidth;
    const int plotWidth = kClinicalPageWidth - kMargin - plotLeft;
    l.overviewTitle = QRect(kMargin, l.figures.bottom() + 12, inner, 20);
    l.spo2Plot = QRect(plotLeft, l.overviewTitle.bottom() + 8, plotWidth, 130);
    l.eventStrip = QRect(plotLeft, l.spo2Plot.bottom() + 7, plotWidth, 12);
    l.pulsePlot = QRect(plotLeft, l.eventStrip.bottom() + 13, plotWidth, 110);
    l.timeAxis = QRect(plotLeft, l.pulsePlot.bottom() + 2, plotWidth,
                       kClinicalPageHeight - kMargin - (l.pulsePlot.bottom() + 2));
    return l;
}

int ColumnOfSample(std::int64_t i, std::int64_t n, int width) {
    if (n <= 1 || width <= 1) return 0;
    return static_cast<int>(std::clamp<std::int64_t>(i, 0, n - 1) * (width - 1) / (n - 1));
}

int PlotY(const QRect& plot, int value, int min, int max) {
    const int v = std::clamp(value, min, max);
    return plot.top() + (max - v) * (plot.height() - 1) / (max - min);
}

PageFit FitPage(const QRect& target) {
    PageFit fit;
    fit.scale = std::min(static_cast<double>(target.width()) / kClinicalPageWidth,
                         static_cast<double>(target.height()) / kClinicalPageHeight);
    fit.dx = target.x() + (target.width() - kClinicalPageWidth * fit.scale) / 2;
    fit.dy = target.y() + (target.height() - kClinicalPageHeight * fit.scale) / 2;
    return fit;
}

}  // namespace quenda
