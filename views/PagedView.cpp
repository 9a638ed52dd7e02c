#include "views/PagedView.h"

#include <QWheelEvent>

namespace quenda {

void PageByWheel(QWheelEvent* event, PagedView& view) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    if (delta > 0) {
        view.PageUp();
    } else {
        view.PageDown();
    }
    event->accept();
}

}  // namespace quenda
