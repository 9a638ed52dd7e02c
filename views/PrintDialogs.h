#pragma once

#include "views/Printing.h"

class QWidget;

namespace quenda {

// Print: landscape A4 at quality 600, one page, through the print dialog (with
// no printer installed it offers "Print to File (PDF)"). A cancelled dialog
// prints nothing; a job that cannot start says "Could not start print job.".
void PrintWithDialog(QWidget* parent, const PagePainter& paint);

// PrintPreView: the same page in the preview window.
void PrintPreview(QWidget* parent, const PagePainter& paint);

}  // namespace quenda
