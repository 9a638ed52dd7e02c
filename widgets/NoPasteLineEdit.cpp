#include "widgets/NoPasteLineEdit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace quenda {

NoPasteLineEdit::NoPasteLineEdit(QWidget* parent) : QLineEdit(parent) {
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Dropping text is pasting by another road.
    setAcceptDrops(false);
}

void NoPasteLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) ||
        (event->key() == Qt::Key_Insert && event->modifiers() & Qt::ShiftModifier)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void NoPasteLineEdit::mousePressEvent(QMouseEvent* event) {
    // The middle button pastes the X selection on Linux.
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void NoPasteLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void NoPasteLineEdit::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

}  // namespace quenda
