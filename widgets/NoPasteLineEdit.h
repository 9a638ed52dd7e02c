#pragma once

#include <QLineEdit>

namespace quenda {

// The edit box of the program's dialogs. It refuses pasting: Ctrl+V (and the
// other paste keys) and the right mouse button, which would open the context
// menu with Paste, are swallowed. Typing is unaffected. The dialogs validate
// every keystroke, and pasted text would bypass that.
class NoPasteLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NoPasteLineEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace quenda
