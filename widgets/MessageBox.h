#pragma once

#include <QMessageBox>

namespace quenda {

// The program's message boxes: modal, under the program's title (string 128,
// "Quenda"), as the recorder's own program showed every message. Call on the
// UI thread.

// An OK button.
void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon);

// OK and Cancel, OK the default; true for OK.
bool AskOkCancel(QWidget* parent, const QString& text);

}  // namespace quenda
