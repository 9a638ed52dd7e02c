#pragma once

#include "views/PageLayout.h"

class QPainter;
class QWheelEvent;

namespace quenda {

// What the view commands (page up and down, roll step, print, preview) need
// of a view, whichever page it shows.
class PagedView {
public:
    virtual ~PagedView() = default;
    virtual int PageCount() const = 0;
    virtual int RollStep() const = 0;
    virtual void SetRollStep(int pages) = 0;
    virtual void PageUp() = 0;
    virtual void PageDown() = 0;
    // What the view prints, on a page in 1/96-inch units.
    virtual void PaintPrintPage(QPainter& painter, const LayoutRect& page) const = 0;
};

// The wheel pages a view: turned away from the user one page action up,
// towards the user one down. Events with no vertical turn (touchpad phases,
// sideways swipes) page nowhere and are passed on.
void PageByWheel(QWheelEvent* event, PagedView& view);

}  // namespace quenda
