#pragma once

#include "views/NightsLayout.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quenda {

// The chart under the Nights window's list: one paint routine with the
// printed page; the pointer over a point names its night, a click selects its
// row. It draws the window's rows, figure and dividing date as they are at each
// paint.
class NightsChartWidget : public QWidget {
public:
    NightsChartWidget(const std::vector<NightRow>& rows, const NightFigure& figure, const std::string& dividingDate,
                      QWidget* parent);

    // A click on a point: the row of its night.
    std::function<void(std::size_t row)> clicked;
    // The row whose point is drawn as the selected one.
    std::optional<std::size_t> selectedRow;

    ChartLayout Layout() const { return LayOutNightsChart(rows_, figure_, {0, 0, width(), height()}, dividingDate_); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const std::vector<NightRow>& rows_;
    const NightFigure& figure_;
    const std::string& dividingDate_;
};

}  // namespace quenda
