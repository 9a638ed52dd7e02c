#include "views/ClinicalViewWindow.h"

#include "app/AppContext.h"
#include "app/CommandIds.h"
#include "app/MessageBox.h"
#include "app/PageUpdate.h"
#include "app/UiText.h"
#include "views/ClinicalPage.h"

#include <QPainter>

namespace quenda {

namespace {

// The grey around the sheet, as behind the analysis page.
const QColor kBackground(128, 128, 128);
constexpr int kSheetMargin = 10;

}  // namespace

ClinicalViewWindow::ClinicalViewWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), summary_(ComputeClinicalSummary(context.store.CurrentSamples())) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool ClinicalViewWindow::HandlesCommand(int commandId) const {
    switch (commandId) {
        case cmd::kPrint:
        case cmd::kPrintPreview:
        case cmd::kPageUp:
        case cmd::kPageDown:
            return true;
        default:  // the roll step belongs to the paged views
            return false;
    }
}

void ClinicalViewWindow::RunCommand(int commandId) {
    if (commandId == cmd::kPageUp || commandId == cmd::kPageDown) {
        PostPage();
        return;
    }
    ShowMessageBox(this, QString::fromStdString(UiText("This command is not available yet.")),
                   QMessageBox::Information);
}

QRect ClinicalViewWindow::SheetArea(const QRect& window) {
    return window.adjusted(kSheetMargin, kSheetMargin, -kSheetMargin, -kSheetMargin);
}

void ClinicalViewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setRenderHint(QPainter::Antialiasing, false);
    PaintClinicalPage(painter, SheetArea(rect()), summary_, context_.store.CurrentSamples(),
                      {context_.reportTitle.Text(), context_.store.CurrentId});
}

void ClinicalViewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    // The first update of a view: it becomes the view other commands repaint.
    shown_ = true;
    context_.currentViewWindow = this;
    PostPage();
}

void ClinicalViewWindow::PostPage() { PostPageUpdate(window(), 0, 1); }

}  // namespace quenda
