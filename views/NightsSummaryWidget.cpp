#include "views/NightsSummaryWidget.h"

#include "views/NightsPage.h"

#include <QPainter>

namespace quenda {

NightsSummaryWidget::NightsSummaryWidget(const NightsSummary& summary, QWidget* parent)
    : QWidget(parent), summary_(summary) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    Refresh();
}

void NightsSummaryWidget::Refresh() {
    // Its height follows from its width alone, so setting it never asks for
    // another width.
    const int needed = SummaryHeight(summary_.split.has_value(), width());
    if (height() != needed || minimumHeight() != needed) setFixedHeight(needed);
    update();
}

void NightsSummaryWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintNightsSummary(painter, Layout());
}

void NightsSummaryWidget::resizeEvent(QResizeEvent*) { Refresh(); }

}  // namespace quenda
