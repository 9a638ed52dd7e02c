#include "views/NightsChartWidget.h"

#include "views/NightsPage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace quenda {

NightsChartWidget::NightsChartWidget(const std::vector<NightRow>& rows, const NightFigure& figure,
                                     const std::string& dividingDate, QWidget* parent)
    : QWidget(parent), rows_(rows), figure_(figure), dividingDate_(dividingDate) {
    setMouseTracking(true);
    setMinimumHeight(180);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void NightsChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const ChartLayout chart = Layout();
    std::optional<std::size_t> hot;
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        if (selectedRow && chart.points[i].row == *selectedRow) hot = i;
    }
    PaintNightsChart(painter, chart, hot);
}

void NightsChartWidget::mouseMoveEvent(QMouseEvent* event) {
    const ChartLayout chart = Layout();
    const QPoint at = event->position().toPoint();
    if (const auto point = ChartPointAt(chart, {at.x(), at.y()})) {
        const NightRow& row = rows_[chart.points[*point].row];
        QToolTip::showText(event->globalPosition().toPoint(), QString::fromStdString(ChartPointText(row, figure_)),
                           this);
    } else {
        QToolTip::hideText();
    }
}

void NightsChartWidget::mousePressEvent(QMouseEvent* event) {
    const ChartLayout chart = Layout();
    const QPoint at = event->position().toPoint();
    if (const auto point = ChartPointAt(chart, {at.x(), at.y()}); point && clicked) clicked(chart.points[*point].row);
}

}  // namespace quenda
