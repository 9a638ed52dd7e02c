#include "widgets/NoPasteLineEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace quenda {

class NoPasteLineEditTest : public QObject {
    Q_OBJECT
private slots:
    void pasteKeysInsertNothingButTypingWorks() {
        QApplication::clipboard()->setText("12345");
        NoPasteLineEdit edit;
        edit.show();
        QTest::keyClicks(&edit, "4v");
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(edit.text(), QString("4v"));
    }
    void mouseButtonsThatPasteAreSwallowed() {
        QApplication::clipboard()->setText("999", QClipboard::Selection);
        NoPasteLineEdit edit;
        edit.show();
        QTest::mouseClick(&edit, Qt::MiddleButton);
        QTest::mouseClick(&edit, Qt::RightButton);
        QCOMPARE(edit.text(), QString());
        QCOMPARE(edit.contextMenuPolicy(), Qt::PreventContextMenu);
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::NoPasteLineEditTest)
#include "NoPasteLineEditTest.moc"
