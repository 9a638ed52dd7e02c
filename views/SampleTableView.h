#pragma once

#include "views/PageLayout.h"
#include "views/PagedView.h"
#include "views/TablePainter.h"
#include "views/TableViewSource.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>

class QPainter;

namespace quenda {

// The table view: in Table mode (2) the current data set as numbered rows of
// date, time, SpO2 and pulse rate in two halves, one page at a time, under a
// header with the report title, the patient and the recording's start and
// end; in Analysis mode (3) the analysis report on a white A4-shaped sheet.
// The mode is read at every paint and every paging action.
//
// Like the trend view, every paint draws into an off-screen pixmap and copies
// it in one go; the background is never erased.
class SampleTableView : public QWidget, public PagedView {
    Q_OBJECT
public:
    SampleTableView(const TableViewSource& source, std::int32_t& currentPageIndex, PageSink pageSink,
                    QWidget* parent = nullptr);

    // What a printed page shows on `page` (logical units): in Table mode the
    // current table page with as many rows as fit, in Analysis mode the report
    // on the whole page. Touches none of the view's members.
    void PaintPrintPage(QPainter& painter, const LayoutRect& page) const override;

    int RollStep() const override { return rollStep_; }
    void SetRollStep(int pages) override { rollStep_ = pages; }
    // Follows the window height in Table mode; kept as it was in Analysis mode.
    int PageCount() const override { return pageCount_; }
    // The grid of the last Table-mode paint, the part paging repaints.
    const LayoutRect& TableArea() const { return tableArea_; }

public slots:
    // Table mode only; in any other mode they do nothing.
    void PageUp() override;
    void PageDown() override;

signals:
    void FirstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool Paging() const;
    void AfterPaging();
    void PostPageUpdate(int pageIndex, int pageCount);

    const TableViewSource& source_;
    std::int32_t& currentPageIndex_;
    PageSink pageSink_;
    TableFonts fonts_;
    int rollStep_ = 1;
    int pageCount_ = 0;
    LayoutRect tableArea_;
    QPixmap offscreen_;
    bool shown_ = false;
};

}  // namespace quenda
