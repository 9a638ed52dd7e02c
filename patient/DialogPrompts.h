#pragma once

#include <QString>

#include <functional>
#include <string_view>

class QWidget;

namespace quenda {

// How a dialog speaks to the user besides its own controls: plain messages
// (an OK button, no icon) and OK/Cancel questions. Message boxes by default;
// tests put in functions that record the texts instead.
struct DialogPrompts {
    std::function<void(const QString&)> message;
    std::function<bool(const QString&)> confirm;  // true for OK
};

// Fills whatever `prompts` leaves empty with message boxes over `parent`.
DialogPrompts WithMessageBoxes(DialogPrompts prompts, QWidget* parent);

// A user text from the string table, as a QString.
QString UiQString(std::string_view builtIn);
QString UiQString(int stringId, std::string_view builtIn);

// Passes the texts a Designer form put on its window, labels, buttons and
// group boxes through the string table.
void ApplyUiTexts(QWidget* root);

}  // namespace quenda
