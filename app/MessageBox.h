#pragma once

#include <QMessageBox>

namespace quenda {

// A modal message box with an OK button under the program's title. Call on
// the UI thread.
void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon);

}  // namespace quenda
