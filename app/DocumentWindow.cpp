#include "app/DocumentWindow.h"

#include "app/ViewDocument.h"

namespace quenda {

DocumentWindow::DocumentWindow(ViewDocument* document, QWidget* view) : document_(document) {
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSystemMenu(nullptr);
    document->setParent(this);
    setWidget(view);
    setWindowTitle(document->Title());
}

void DocumentWindow::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    if (!isMaximized()) showMaximized();
}

}  // namespace quenda
