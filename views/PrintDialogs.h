#pragma once

#include "views/Printing.h"

#include <QSize>

class QWidget;

namespace quenda {

// Print: landscape A4 at quality 600, one page, through the print dialog (with
// no printer installed it offers "Print to File (PDF)"). A cancelled dialog
// prints nothing; a job that cannot start says "Could not start print job.".
void PrintWithDialog(QWidget* parent, const PagePainter& paint);

// The preview window's size: four fifths of the main window's, and never
// smaller than Qt's own preview size.
inline constexpr int kMinPreviewWidth = 692;
inline constexpr int kMinPreviewHeight = 503;
QSize PreviewWindowSize(const QSize& mainWindow);

// PrintPreView: the same page in the preview window, sized by
// PreviewWindowSize and zoomed to show the whole page.
void PrintPreview(QWidget* parent, const PagePainter& paint);

}  // namespace quenda
