#pragma once

#include <QString>

#include <string_view>

class QWidget;

namespace quenda {

// A user text from the string table, as a QString.
QString UiQString(std::string_view builtIn);
QString UiQString(int stringId, std::string_view builtIn);

// Passes the texts of a dialog built from a .ui file through the string table:
// the window title and the texts of its labels, buttons and group boxes. Call
// once after setupUi(), so a resource library can replace them by their
// built-in text.
void ApplyUiText(QWidget* dialog);

}  // namespace quenda
