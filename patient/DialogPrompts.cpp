#include "patient/DialogPrompts.h"

#include "widgets/MessageBox.h"

#include <QPointer>

namespace quenda {

DialogPrompts WithMessageBoxes(DialogPrompts prompts, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    if (!prompts.message) prompts.message = [owner](const QString& text) { ShowMessageBox(owner, text); };
    if (!prompts.confirm) prompts.confirm = [owner](const QString& text) { return AskOkCancel(owner, text); };
    return prompts;
}

}  // namespace quenda
