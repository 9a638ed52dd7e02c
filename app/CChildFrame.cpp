#include "app/CChildFrame.h"

#include "app/CTalloDoc.h"

namespace quenda {

CChildFrame::CChildFrame(CTalloDoc* document, QWidget* view) : document_(document) {
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSystemMenu(nullptr);
    document->setParent(this);
    setWidget(view);
    setWindowTitle(document->Title());
}

void CChildFrame::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    if (!isMaximized()) showMaximized();
}

}  // namespace quenda
