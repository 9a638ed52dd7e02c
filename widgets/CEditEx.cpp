#include "widgets/CEditEx.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace quenda {

CEditEx::CEditEx(QWidget* parent) : QLineEdit(parent) {
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Dropping text is pasting by another road.
    setAcceptDrops(false);
}

void CEditEx::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) ||
        (event->key() == Qt::Key_Insert && event->modifiers() & Qt::ShiftModifier)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CEditEx::mousePressEvent(QMouseEvent* event) {
    // The middle button pastes the X selection on Linux.
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void CEditEx::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CEditEx::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

}  // namespace quenda
