// The dialogs' shared helpers: message boxes under the program's title, and
// the mailbox that brings work from worker threads to the UI thread in order.
#include "widgets/MessageBox.h"
#include "widgets/UiMailbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <thread>
#include <vector>

namespace quenda {

namespace {

// Presses `button` on the next message box once it is up, noting its caption.
void AnswerNextBox(QMessageBox::StandardButton button, QString& caption) {
    QTimer::singleShot(0, [button, &caption] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) qFatal("no message box");
        caption = box->windowTitle();
        box->button(button)->click();
    });
}

}  // namespace

class WidgetSupportTest : public QObject {
    Q_OBJECT
private slots:
    void messageBoxesCarryTheProgramsTitle() {
        QString caption;
        AnswerNextBox(QMessageBox::Ok, caption);
        ShowMessageBox(nullptr, "text");
        QCOMPARE(caption, QString("Quenda"));
        for (const auto& [button, answer] : {std::pair{QMessageBox::Ok, true}, std::pair{QMessageBox::Cancel, false}}) {
            caption.clear();
            AnswerNextBox(button, caption);
            QCOMPARE(AskOkCancel(nullptr, "sure?"), answer);
            QCOMPARE(caption, QString("Quenda"));
        }
    }

    void mailboxRunsWorkerPostsOnItsOwnThreadInOrder() {
        UiMailbox mailbox;
        std::vector<int> ran;
        bool allOnUiThread = true;
        std::thread worker([&] {
            for (int i = 0; i < 100; ++i) {
                mailbox.Post([&, i] {
                    allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
                    ran.push_back(i);
                });
            }
        });
        worker.join();
        QTRY_COMPARE(ran.size(), std::size_t(100));
        QVERIFY(std::is_sorted(ran.begin(), ran.end()));
        QVERIFY(allOnUiThread);
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::WidgetSupportTest)
#include "WidgetSupportTest.moc"
