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
    SummaryLayout Layout() const { return LayOutSummary(summary_, {0, 0, width(), height()}); }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    const NightsSummary& summary_;
};

}  // namespace quenda
