#include "views/PrintDialogs.h"

#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QPrintDialog>
#include <QAction>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <algorithm>

namespace quenda {

void PrintWithDialog(QWidget* parent, const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, 1);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!PaintOnePage(printer, paint)) {
        ShowMessageBox(parent, UiQString("Could not start print job."), QMessageBox::Warning);
    }
}

QSize PreviewWindowSize(const QSize& mainWindow) {
    return {std::max(kMinPreviewWidth, mainWindow.width() * 4 / 5),
            std::max(kMinPreviewHeight, mainWindow.height() * 4 / 5)};
}

void PrintPreview(QWidget* parent, const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    QPrintPreviewDialog preview(&printer, parent);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter* target) { PaintOnePage(*target, paint); });
    // Qt's own size shows the sheet at half size in a small window: the
    // preview takes most of the main window, with the whole page in view.
    if (parent) preview.resize(PreviewWindowSize(parent->window()->size()));
    if (auto* fitPage = preview.findChild<QAction*>(QStringLiteral("fitPageAction"))) fitPage->trigger();
    if (auto* widget = preview.findChild<QPrintPreviewWidget*>()) widget->setZoomMode(QPrintPreviewWidget::FitInView);
    preview.exec();
}

}  // namespace quenda
