#pragma once

#include "views/NightsSummaryLayout.h"

#include <QWidget>

namespace quenda {

// The period summary under the Nights window's chart: one paint routine with
// the printed page. It draws the window's summary as it is at each paint and
// takes the height the summary needs at its width.
class NightsSummaryWidget : public QWidget {
public:
    NightsSummaryWidget(const NightsSummary& summary, QWidget* parent);

    // After the summary changed: its height again, and a paint.
    void Refresh();
    // The cut-off columns as wide as their texts in the widget's font.
    SummaryLayout Layout() const;
    // The whole text of the cell at `pos` when it is cut short there; empty
    // otherwise. Shown as the tooltip.
    QString ToolTipAt(const QPoint& pos) const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    const NightsSummary& summary_;
};

}  // namespace quenda
