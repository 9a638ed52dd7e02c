#pragma once

#include "views/PagedView.h"
#include "views/TrendLayout.h"
#include "views/TrendPainter.h"
#include "views/TrendReadout.h"
#include "views/TrendViewSource.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace quenda {

// The trend view: the current data set as two time-aligned graphs, SpO2 above
// and pulse rate below, one page of samples at a time, under a header box with
// the report title, the patient and the start and end of the recording.
//
// It pages with PageUp()/PageDown() (the toolbar's commands), the Page Up and
// Page Down keys and the wheel, by the roll step; it reads single samples
// where the pointer stands exactly on a curve point, or where the Left and
// Right keys move the cursor.
//
// Dragging with Shift held, or Shift+Left/Right from the cursor, selects a span
// of samples (shaded behind the curves); a drag leaves the cursor at its end,
// so the keys go on from there. A click without Shift, or Left/Right without
// it, drops the selection. The samples the source reports as left out
// of the clinical figures are shaded light grey.
//
// Every paint lays out and draws the whole page into an off-screen pixmap and
// copies it in one go, and the background is never erased, so paging and the
// readout do not flicker.
class TrendView : public QWidget, public PagedView {
    Q_OBJECT
public:
    // `currentPageIndex` is the page index the views share; the shell owns it
    // and resets it on mode switches and when the store is emptied.
    TrendView(const TrendViewSource& source, std::int32_t& currentPageIndex, PageSink pageSink,
              QWidget* parent = nullptr);

    // Draws the page with the current page index into `drawing` (logical
    // units): header box, both panels, curves and readout texts; no arrows,
    // which belong to the screen. The screen and the printer both draw
    // through here. Touches none of the view's members.
    void PaintPage(QPainter& painter, const QRect& drawing) const;
    void PaintPrintPage(QPainter& painter, const LayoutRect& page) const override;

    // Pages moved by one paging action; set by the roll-step dialog.
    int RollStep() const override { return rollStep_; }
    void SetRollStep(int pages) override { rollStep_ = pages; }

    // Both follow the window width and are recomputed at every paint.
    int PageCount() const override { return pageCount_; }
    int SamplesPerPage() const { return samplesPerPage_; }

    const ReadoutTexts& Readout() const { return readout_; }
    const ReadoutArrow& Spo2Arrow() const { return spo2Arrow_; }
    const ReadoutArrow& PulseArrow() const { return pulseArrow_; }
    const KeyboardCursor& Cursor() const { return cursor_; }
    // The selected span, ends in order; none when nothing is selected.
    const std::optional<SampleSpan>& Selection() const { return selection_; }
    void ClearSelection();
    // The sample the readout shows (pointer or keyboard cursor); -1 for none.
    std::int64_t CursorSample() const { return readoutSample_; }
    // The page as the last screen paint laid it out.
    const TrendPageLayout& ScreenLayout() const { return layout_; }
    const TrendFonts& Fonts() const { return fonts_; }

public slots:
    void PageUp() override;
    void PageDown() override;

signals:
    // The first time the view is shown: it then becomes the view that title,
    // unit and patient changes repaint.
    void FirstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    TrendPageLayout LayoutFor(const QRect& drawing, const TrendHeader& header) const;
    ReadoutGraphs Graphs() const;
    void ApplyReadout(const ReadoutHit& hit);
    void StepCursor(int key);
    void ParkArrows();
    void PostPageUpdate();
    TrendShading Shading() const;
    // The sample drawn at column x of the graphs on the page shown, kept inside
    // the page and the data set.
    std::int64_t SampleAtColumn(int x) const;
    void SelectTo(std::int64_t sample);
    // Shift+drag at column x: the selection and the cursor go there.
    void DragTo(int x);

    const TrendViewSource& source_;
    std::int32_t& currentPageIndex_;
    PageSink pageSink_;

    // The view's own state.
    int samplesPerPage_ = kInitialSamplesPerPage;
    TrendFonts fonts_;
    // Drawing rectangle, header box, panels, graphs and readout rectangles of
    // the last screen paint; the pointer test uses its graphs.
    TrendPageLayout layout_;
    ReadoutTexts readout_;
    std::int64_t readoutSample_ = -1;  // the sample readout_ reads; -1 with none
    ReadoutArrow spo2Arrow_;
    ReadoutArrow pulseArrow_;
    int pageCount_ = 0;
    int rollStep_ = 1;
    KeyboardCursor cursor_;
    std::optional<SampleSpan> selection_;
    std::int64_t anchor_ = -1;  // where the selection being made started
    QPixmap offscreen_;
    bool shown_ = false;
};

}  // namespace quenda
