#include "views/PrintDialogs.h"

#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

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

void PrintPreview(QWidget* parent, const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    QPrintPreviewDialog preview(&printer, parent);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter* target) { PaintOnePage(*target, paint); });
    preview.exec();
}

}  // namespace quenda
