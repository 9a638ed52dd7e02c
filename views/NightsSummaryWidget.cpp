#include "views/NightsSummaryWidget.h"

#include "views/NightsPage.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace quenda {

NightsSummaryWidget::NightsSummaryWidget(const NightsSummary& summary, QWidget* parent)
    : QWidget(parent), summary_(summary) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    Refresh();
}

void NightsSummaryWidget::Refresh() {
    // Its height follows from its width alone, so setting it never asks for
    // another width.
    const int needed = SummaryHeight(summary_.beforeAfter.has_value(), width(), SummaryTextMeasure(font()));
    if (height() != needed || minimumHeight() != needed) setFixedHeight(needed);
    update();
}

SummaryLayout NightsSummaryWidget::Layout() const {
    return LayOutSummary(summary_, {0, 0, width(), height()}, SummaryTextMeasure(font()));
}

QString NightsSummaryWidget::ToolTipAt(const QPoint& pos) const {
    const SummaryTextWidth measure = SummaryTextMeasure(font());
    for (const SummaryCell& cell : Layout().cells) {
        const LayoutRect& r = cell.rect;
        if (pos.x() < r.left || pos.x() >= r.right || pos.y() < r.top || pos.y() >= r.bottom) continue;
        if (measure(cell.text, cell.bold) > r.Width() - 2 * kSummaryCellPadding)
            return QString::fromStdString(cell.text);
    }
    return {};
}

bool NightsSummaryWidget::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        e->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
}

void NightsSummaryWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintNightsSummary(painter, Layout());
}

void NightsSummaryWidget::resizeEvent(QResizeEvent*) { Refresh(); }

}  // namespace quenda
