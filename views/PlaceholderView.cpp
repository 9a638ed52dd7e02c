#include "views/PlaceholderView.h"

#include "app/AppContext.h"
#include "base/CommandIds.h"
#include "app/DisplayState.h"
#include "app/PageUpdate.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

namespace quenda {

PlaceholderView::PlaceholderView(AppContext& context, QWidget* parent) : QWidget(parent), context_(context) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
}

bool PlaceholderView::HandlesCommand(int commandId) const { return IsViewCommand(commandId); }

void PlaceholderView::RunCommand(int commandId) {
    if (commandId == cmd::kPageUp || commandId == cmd::kPageDown) {
        PostPage();
        return;
    }
    ShowMessageBox(this, UiQString("This command is not available yet."), QMessageBox::Information);
}

void PlaceholderView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    // The first update of a view: it becomes the view other commands repaint.
    shown_ = true;
    context_.currentViewWindow = this;
    PostPage();
}

void PlaceholderView::PostPage() { PostPageUpdate(window(), context_.views.currentPageIndex, 0); }

}  // namespace quenda
