#pragma once

#include "widgets/UiTexts.h"

#include <QString>

#include <functional>

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

}  // namespace quenda
