#include "views/TrendView.h"

#include "views/PagePaint.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace quenda {

TrendView::TrendView(const TrendViewSource& source, std::int32_t& currentPageIndex, PageSink pageSink, QWidget* parent)
    : QWidget(parent),
      source_(source),
      currentPageIndex_(currentPageIndex),
      pageSink_(std::move(pageSink)),
      fonts_(MakeTrendFonts()) {
    // The paint covers every pixel: no background erase, so nothing flashes
    // between the erase and the copy of the finished page.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    // The readout follows the pointer without a button held.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

TrendPageLayout TrendView::LayoutFor(const QRect& drawing, const TrendHeader& header) const {
    return LayoutTrendPage(ToLayoutRect(drawing), currentPageIndex_, source_.Samples(), header,
                           ArialAverageCharWidth(fonts_.value.pixelSize()));
}

void TrendView::PaintPage(QPainter& painter, const QRect& drawing) const {
    // Page N of another width (the paper's) holds other samples than the
    // screen's page N: the readout goes along only when its sample is there.
    const std::span<const SampleRecord> samples = source_.Samples();
    const PageGeometry geometry = ComputePageGeometry(drawing.width(), static_cast<int>(samples.size()));
    DrawTrendPage(painter, ToLayoutRect(drawing),
                  {samples, source_.Header(), currentPageIndex_,
                   ReadoutOnPage(readout_, readoutSample_, currentPageIndex_, geometry.samplesPerPage), Shading()},
                  fonts_);
}

void TrendView::PaintPrintPage(QPainter& painter, const LayoutRect& page) const { PaintPage(painter, ToQRect(page)); }

void TrendView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    const PageGeometry geometry = ComputePageGeometry(width(), static_cast<int>(source_.Samples().size()));
    samplesPerPage_ = geometry.samplesPerPage;
    pageCount_ = geometry.pageCount;
    emit FirstShown();
    PostPageUpdate();
}

void TrendView::paintEvent(QPaintEvent*) {
    const QRect drawing = rect();
    // A wider window has fewer pages: a page index beyond the new last page
    // would show an empty graph, so the last page is shown instead.
    const PageGeometry geometry = ComputePageGeometry(drawing.width(), static_cast<int>(source_.Samples().size()));
    currentPageIndex_ = ClampPageIndex(currentPageIndex_, geometry.pageCount);
    layout_ = LayoutFor(drawing, source_.Header());
    samplesPerPage_ = layout_.geometry.samplesPerPage;
    pageCount_ = layout_.geometry.pageCount;

    if (!drawing.isEmpty()) {
        const qreal ratio = devicePixelRatioF();
        const QSize pixels = drawing.size() * ratio;
        if (offscreen_.size() != pixels) {
            offscreen_ = QPixmap(pixels);
            offscreen_.setDevicePixelRatio(ratio);
        }
        {
            QPainter page(&offscreen_);
            PaintTrendPage(page, layout_, source_.Samples(), readout_, fonts_, Shading());
            PaintReadoutArrows(page, spo2Arrow_, pulseArrow_);
        }
        QPainter(this).drawPixmap(0, 0, offscreen_);
    }
    PostPageUpdate();
}

void TrendView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The arrows' points belong to the old size; the readout texts stay.
    ParkArrows();
}

ReadoutGraphs TrendView::Graphs() const {
    return {layout_.spo2.graph, layout_.pulse.graph, FirstSampleOfPage(currentPageIndex_, samplesPerPage_)};
}

TrendShading TrendView::Shading() const { return {source_.ShadedSpans(), selection_, source_.ScoredMarks()}; }

std::int64_t TrendView::SampleAtColumn(int x) const {
    const auto count = static_cast<std::int64_t>(source_.Samples().size());
    const int offset = std::clamp(x - layout_.spo2.graph.left, 0, samplesPerPage_);
    return std::clamp<std::int64_t>(FirstSampleOfPage(currentPageIndex_, samplesPerPage_) + offset, 0,
                                    std::max<std::int64_t>(0, count - 1));
}

void TrendView::SelectTo(std::int64_t sample) {
    if (anchor_ < 0 || source_.Samples().empty()) return;
    selection_ = SampleSpan{static_cast<std::int32_t>(std::min(anchor_, sample)),
                            static_cast<std::int32_t>(std::max(anchor_, sample))};
    update();
}

void TrendView::DragTo(int x) {
    const std::int64_t sample = SampleAtColumn(x);
    if (anchor_ < 0) anchor_ = sample;
    SelectTo(sample);
    // The readout, and with it the keyboard cursor, goes to the drag's end, so
    // Shift+Left/Right go on from there with the span just dragged.
    const int column =
        layout_.spo2.graph.left + static_cast<int>(sample - FirstSampleOfPage(currentPageIndex_, samplesPerPage_));
    if (auto hit = ReadoutAtColumn(column, Graphs(), source_.Samples())) ApplyReadout(*hit);
}

void TrendView::ClearSelection() {
    anchor_ = -1;
    if (!selection_) return;
    selection_.reset();
    update();
}

void TrendView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        anchor_ = -1;
        DragTo(event->position().toPoint().x());
    } else {
        ClearSelection();
    }
    event->accept();
}

void TrendView::ApplyReadout(const ReadoutHit& hit) {
    readout_ = hit.texts;
    readoutSample_ = hit.sample;
    spo2Arrow_ = hit.spo2Arrow;
    pulseArrow_ = hit.pulseArrow;
    update();
}

void TrendView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if ((event->buttons() & Qt::LeftButton) && (event->modifiers() & Qt::ShiftModifier) && anchor_ >= 0) {
        DragTo(at.x());
        return;
    }
    // Anywhere but exactly on a curve point leaves the last readout as it is.
    if (auto hit = HitReadout({at.x(), at.y()}, Graphs(), source_.Samples())) ApplyReadout(*hit);
}

void TrendView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_PageUp && key != Qt::Key_PageDown && key != Qt::Key_Left && key != Qt::Key_Right) {
        QWidget::keyPressEvent(event);
        return;
    }
    // The cursor starts from wherever the readout arrow was put last, by the
    // pointer or by the previous key.
    cursor_ = CursorAtArrow(spo2Arrow_, layout_.spo2.graph.left, FirstSampleOfPage(currentPageIndex_, samplesPerPage_));
    if (key == Qt::Key_PageUp) {
        PageUp();
    } else if (key == Qt::Key_PageDown) {
        PageDown();
    } else {
        const bool shift = event->modifiers() & Qt::ShiftModifier;
        const std::int64_t from = cursor_.sample;
        StepCursor(key);
        if (!shift) {
            ClearSelection();
        } else if (from >= 0 && cursor_.sample >= 0) {
            // The first Shift step anchors the selection where the cursor was.
            if (anchor_ < 0)
                anchor_ = std::min<std::int64_t>(from, static_cast<std::int64_t>(source_.Samples().size()) - 1);
            SelectTo(std::min<std::int64_t>(cursor_.sample, static_cast<std::int64_t>(source_.Samples().size()) - 1));
        }
    }
    event->accept();
}

void TrendView::StepCursor(int key) {
    const int left = layout_.spo2.graph.left;
    const std::span<const SampleRecord> samples = source_.Samples();
    const CursorStep step = key == Qt::Key_Left
                                ? StepCursorLeft(cursor_, left, samplesPerPage_)
                                : StepCursorRight(cursor_, left, samplesPerPage_, static_cast<int>(samples.size()));
    if (step.paging == CursorPaging::PageUp) PageUp();
    if (step.paging == CursorPaging::PageDown) PageDown();
    cursor_.x = step.x;
    cursor_.sample = FirstSampleOfPage(currentPageIndex_, samplesPerPage_) + (step.x - left);
    if (auto hit = ReadoutAtColumn(step.x, Graphs(), samples)) ApplyReadout(*hit);
}

void TrendView::wheelEvent(QWheelEvent* event) { PageByWheel(event, *this); }

void TrendView::PageUp() {
    currentPageIndex_ = PageIndexAfterPageUp(currentPageIndex_, rollStep_);
    ParkArrows();
    update();
    PostPageUpdate();
}

void TrendView::PageDown() {
    const PageDownResult next = PageIndexAfterPageDown(currentPageIndex_, rollStep_, pageCount_);
    pageCount_ = next.pageCount;
    currentPageIndex_ = next.pageIndex;
    ParkArrows();
    // Unlike page up, page down also clears the readout.
    readout_ = {};
    readoutSample_ = -1;
    update();
    PostPageUpdate();
}

void TrendView::ParkArrows() {
    spo2Arrow_ = {};
    pulseArrow_ = {};
}

void TrendView::PostPageUpdate() {
    if (pageSink_) pageSink_(currentPageIndex_, pageCount_);
}

}  // namespace quenda
