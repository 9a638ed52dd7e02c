#pragma once

#include <QDialog>

class QProgressBar;

namespace quenda {

// The progress window of the workbook export: a bar from 0 to the sample
// count, shown without a modal loop while the export runs on the UI thread.
// Advance() repaints it and lets the main window repaint too (user input is
// held back until the export ends, so nothing can start in between).
class ExportProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportProgressDialog(int maximum, QWidget* parent = nullptr);

    void Advance(int position);
    QProgressBar* Bar() const { return bar_; }

private:
    QProgressBar* bar_;
};

}  // namespace quenda
