#include "views/SampleTableView.h"

#include "base/DisplayState.h"
#include "views/PagePaint.h"
#include "views/TrendPaging.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <optional>
#include <utility>

namespace quenda {

SampleTableView::SampleTableView(const TableViewSource& source, std::int32_t& currentPageIndex, PageSink pageSink,
                                 QWidget* parent)
    : QWidget(parent),
      source_(source),
      currentPageIndex_(currentPageIndex),
      pageSink_(std::move(pageSink)),
      fonts_(MakeTableFonts()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
}

void SampleTableView::PaintPrintPage(QPainter& painter, const LayoutRect& page) const {
    if (source_.Mode() == kModeAnalysis) {
        DrawReportPage(painter, page, source_.Report(), fonts_);
    } else {
        DrawTablePage(painter, page, {source_.Samples(), source_.Header(), currentPageIndex_, source_.ScoredMarks()},
                      fonts_);
    }
}

void SampleTableView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    emit FirstShown();
    PostPageUpdate(currentPageIndex_, pageCount_);
}

void SampleTableView::paintEvent(QPaintEvent*) {
    const QRect drawing = rect();
    if (drawing.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = drawing.size() * ratio;
    if (offscreen_.size() != pixels) {
        offscreen_ = QPixmap(pixels);
        offscreen_.setDevicePixelRatio(ratio);
    }
    const LayoutRect area = ToLayoutRect(drawing);
    const std::span<const SampleRecord> samples = source_.Samples();
    std::optional<std::pair<int, int>> update;  // page index, page count
    {
        QPainter page(&offscreen_);
        if (source_.Mode() == kModeAnalysis) {
            DrawAnalysisSheet(page, area, source_.Report(), fonts_);
            update = {0, 1};
        } else {
            TablePageLayout layout =
                LayoutTablePage(area, currentPageIndex_, samples, source_.Header(), TableValueCharWidth(fonts_),
                                source_.ScoredMarks());
            if (layout.pageCount) {
                pageCount_ = *layout.pageCount;
                // A taller window has fewer pages: show the last one rather
                // than an empty grid past the end.
                if (const int clamped = ClampPageIndex(currentPageIndex_, pageCount_); clamped != currentPageIndex_) {
                    currentPageIndex_ = clamped;
                    layout = LayoutTablePage(area, currentPageIndex_, samples, source_.Header(),
                                             TableValueCharWidth(fonts_), source_.ScoredMarks());
                }
                update = {currentPageIndex_, pageCount_};
            }
            PaintTablePage(page, layout, fonts_);
            tableArea_ = layout.table;
        }
    }
    QPainter(this).drawPixmap(0, 0, offscreen_);
    if (update) PostPageUpdate(update->first, update->second);
}

bool SampleTableView::Paging() const { return source_.Mode() == kModeTable; }

void SampleTableView::PageUp() {
    if (!Paging()) return;
    currentPageIndex_ = PageIndexAfterPageUp(currentPageIndex_, rollStep_);
    AfterPaging();
}

void SampleTableView::PageDown() {
    if (!Paging()) return;
    // Unlike the trend view, no data leaves the page count at 0.
    currentPageIndex_ = std::max(0, PageIndexAfterPageDown(currentPageIndex_, rollStep_, pageCount_).pageIndex);
    AfterPaging();
}

void SampleTableView::AfterPaging() {
    // The header does not change with the page.
    update(ToQRect(tableArea_));
    PostPageUpdate(currentPageIndex_, pageCount_);
}

void SampleTableView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp) {
        PageUp();
    } else if (event->key() == Qt::Key_PageDown) {
        PageDown();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void SampleTableView::wheelEvent(QWheelEvent* event) { PageByWheel(event, *this); }

void SampleTableView::PostPageUpdate(int pageIndex, int pageCount) {
    if (pageSink_) pageSink_(pageIndex, pageCount);
}

}  // namespace quenda
