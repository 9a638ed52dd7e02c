#pragma once

class QWidget;

namespace quenda {

// Passes the texts of a dialog built from a .ui file through UiText: the window
// title and the texts of its labels, buttons and group boxes. Call once after
// setupUi(), so a resource library can replace them by their built-in text.
void ApplyUiText(QWidget* dialog);

}  // namespace quenda
