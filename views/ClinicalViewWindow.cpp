#include "views/ClinicalViewWindow.h"

#include "base/CommandIds.h"
#include "document/AppContext.h"
#include "views/ClinicalPage.h"
#include "views/PagePaint.h"
#include "views/PrintDialogs.h"
#include "views/TrendViewWindow.h"
#include "widgets/PageUpdate.h"

#include <QPainter>

namespace quenda {

namespace {

// The grey around the sheet, as behind the analysis page.
const QColor kBackground(128, 128, 128);
constexpr int kSheetMargin = 10;

}  // namespace

ClinicalViewWindow::ClinicalViewWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), night_(context.clinical.Analysis()),
      counting_{context.clinical.ShadedSpans(), context.clinical.Setup().averagingSeconds,
                context.clinical.Scoring().source, context.oneLibraryNight} {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool ClinicalViewWindow::HandlesCommand(int commandId) const {
    switch (commandId) {
        case cmd::kPrint:
        case cmd::kPrintPreview:
        case cmd::kPageUp:
        case cmd::kPageDown: return true;
        default:  // the roll step belongs to the paged views
            return false;
    }
}

void ClinicalViewWindow::RunCommand(int commandId) {
    if (commandId == cmd::kPageUp || commandId == cmd::kPageDown) {
        PostPage();
        return;
    }
    const PagePainter page = [this](QPainter& painter, const LayoutRect& rect) { PaintPrintPage(painter, rect); };
    if (commandId == cmd::kPrint)
        PrintWithDialog(this, page);
    else if (commandId == cmd::kPrintPreview)
        PrintPreview(this, page);
}

void ClinicalViewWindow::PaintPrintPage(QPainter& painter, const LayoutRect& page) const {
    PaintClinicalPage(painter, ToQRect(page), night_, context_.store.CurrentSamples(), Header(), counting_);
}

ClinicalPageHeader ClinicalViewWindow::Header() const {
    // The patient block as the other pages show it, read at every paint.
    return AppTrendSource(context_).Header();
}

QRect ClinicalViewWindow::SheetArea(const QRect& window) {
    return window.adjusted(kSheetMargin, kSheetMargin, -kSheetMargin, -kSheetMargin);
}

void ClinicalViewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setRenderHint(QPainter::Antialiasing, false);
    PaintClinicalPage(painter, SheetArea(rect()), night_, context_.store.CurrentSamples(), Header(), counting_);
    // As the analysis page does: every paint says "1 of 1", so the "no page"
    // a mode switch posts after the first one does not stay in the status bar.
    PostPage();
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
