// The small dialogs around the capture dialog: the clock and delete dialogs,
// the "Deleting Data ..." window, the message sink, the Bluetooth radio
// chooser and the "Find bluetooth radio" command.
#include "device/BluetoothRadioDialog.h"
#include "device/CaptureDialog.h"
#include "device/DeleteDataDialog.h"
#include "device/Messages.h"
#include "device/RecorderClockDialog.h"
#include "device_ui/CaptureTestSupport.h"
#include "link/Clock.h"
#include "store/RecordingStore.h"
#include "support/FakeSerialLink.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace quenda {

namespace {

const QDateTime kOpening(QDate(2010, 8, 3), QTime(7, 5, 9));

void Choose(QComboBox* box, int index) {
    // As the user does: the current entry changes, then the choice is reported.
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QStringList Entries(const QComboBox* box) {
    QStringList entries;
    for (int i = 0; i < box->count(); ++i) entries << box->itemText(i);
    return entries;
}

// Radios for BluetoothLink without a radio stack: a fixed search result and
// socketpair "connections".
class FakeRadios final : public RadioAccess {
public:
    explicit FakeRadios(std::vector<RadioInfo> radios, std::string scanError = {})
        : radios_(std::move(radios)), scanError_(std::move(scanError)) {}
    ~FakeRadios() override {
        if (peer_ >= 0) close(peer_);
    }
    bool Scan(std::vector<RadioInfo>& found, std::string& error) override {
        if (!scanError_.empty()) {
            error = scanError_;
            return false;
        }
        found = radios_;
        return true;
    }
    int Connect(const std::string& address, std::string& error) override {
        connectedTo = address;
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            error = "socketpair failed";
            return -1;
        }
        if (peer_ >= 0) close(peer_);
        peer_ = pair[1];
        return pair[0];
    }
    std::string connectedTo;

private:
    std::vector<RadioInfo> radios_;
    std::string scanError_;
    int peer_ = -1;
};

}  // namespace

class DeviceDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void captureDialogHasTheTemplatesControls() {
        test::TempSettings temp;
        RecordingStore store;
        store.UseSerialLink = false;  // and no Bluetooth port: nothing starts by itself
        test::FakeSerialLink serial;
        test::FakeEnumerator ports;
        SystemClock clock;
        test::RecordingSink sink;
        test::FakeHost host;
        CaptureDialog dialog(host, store, *temp.settings, CaptureLinks{serial, ports, clock, {}}, &sink);
        QCOMPARE(dialog.windowTitle(), QString("New Data Capture"));
        QVERIFY(dialog.isModal());

        struct Control {
            const char* name;
            int id;
            QString caption;
            bool enabled;
        };
        const Control controls[] = {
            {"idList", 1003, "", true},
            {"progressBar", 1004, "", true},
            {"startButton", 1002, "Start", true},
            {"stopButton", 1005, "Stop", false},
            {"deleteDataButton", 32804, "DeleteData", true},
            {"setDateAndTimeButton", 1043, "SetDateAndTime", true},
            {"cancelButton", 2, "Cancel", true},
            {"extendButton", 4, "Extend >>", false},
            {"separator", 1035, "", true},
            {"portBox", 1037, "", true},
        };
        for (const Control& c : controls) {
            auto* widget = dialog.findChild<QWidget*>(c.name);
            QVERIFY2(widget, c.name);
            QVERIFY2(widget->property("controlId").toInt() == c.id, c.name);
            QVERIFY2(widget->isEnabled() == c.enabled, c.name);
            if (auto* button = qobject_cast<QPushButton*>(widget)) QVERIFY2(button->text() == c.caption, c.name);
        }
        QCOMPARE(dialog.findChild<QGroupBox*>("dataInfoGroup")->title(), QString("Data Info"));
        QCOMPARE(dialog.findChild<QGroupBox*>("manualSetupGroup")->title(), QString("Manual Setup"));
        QCOMPARE(dialog.findChild<QLabel*>("portLabel")->text(), QString("PORT"));

        dialog.show();
        QTest::qWait(20);
        QVERIFY(host.calls.empty());
        QVERIFY(serial.opens.empty());
        QVERIFY(dialog.findChild<QPushButton*>("extendButton")->isHidden());
        // Cut at the separator's bottom edge: the Manual Setup group is never seen.
        const auto* separator = dialog.findChild<QFrame*>("separator");
        QCOMPARE(dialog.height(), separator->geometry().bottom() + 1);
        QVERIFY(dialog.FullHeight() > dialog.height());
        QVERIFY(dialog.findChild<QGroupBox*>("manualSetupGroup")->y() >= dialog.height());
        QVERIFY(dialog.findChild<QProgressBar*>("progressBar")->geometry().bottom() < separator->y());
    }

    void clockDialogOpensOnTheCurrentTime() {
        test::RecordingSink sink;
        RecorderClockDialog dialog(sink, kOpening);
        QCOMPARE(dialog.findChild<QDateEdit*>("datePicker")->date(), QDate(2010, 8, 3));
        QCOMPARE(dialog.findChild<QLineEdit*>("hourEdit")->text(), QString("7"));
        QCOMPARE(dialog.findChild<QLineEdit*>("minuteEdit")->text(), QString("5"));
        QCOMPARE(dialog.findChild<QLineEdit*>("secondEdit")->text(), QString("9"));
        QVERIFY(sink.Messages().empty());
        QCOMPARE(dialog.findChild<QDateEdit*>("datePicker")->property("controlId").toInt(), 1051);
    }

    void clockBoxesRefuseWhatIsNotATime_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("message");
        QTest::newRow("letter in the hour") << "hourEdit"
                                            << "7a"
                                            << "0"
                                            << "Please input a Num !";
        QTest::newRow("hour 24") << "hourEdit"
                                 << "24"
                                 << "0"
                                 << "Please input a legal value !";
        QTest::newRow("hour 23") << "hourEdit"
                                 << "23"
                                 << "23"
                                 << "";
        QTest::newRow("minute 60") << "minuteEdit"
                                   << "60"
                                   << "0"
                                   << "Please input a legal value !";
        QTest::newRow("minute 59") << "minuteEdit"
                                   << "59"
                                   << "59"
                                   << "";
        QTest::newRow("sign after the second") << "secondEdit"
                                               << "1-"
                                               << "0"
                                               << "Please input a Num !";
        // Typing goes on in the reset box.
        QTest::newRow("sign before the second") << "secondEdit"
                                                << "-1"
                                                << "01"
                                                << "Please input a Num !";
        QTest::newRow("leading zero") << "secondEdit"
                                      << "07"
                                      << "07"
                                      << "";
    }
    void clockBoxesRefuseWhatIsNotATime() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, left);
        QFETCH(QString, message);
        test::RecordingSink sink;
        RecorderClockDialog dialog(sink, kOpening);
        auto* edit = dialog.findChild<QLineEdit*>(box);
        edit->clear();  // an empty box is fine while typing
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), left);
        const auto expected =
            message.isEmpty() ? std::vector<std::string>{} : std::vector<std::string>{message.toStdString()};
        QCOMPARE(sink.Messages(), expected);
    }

    void clockBoxLeftEmptyBecomesZero() {
        test::RecordingSink sink;
        RecorderClockDialog dialog(sink, kOpening);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* minute = dialog.findChild<QLineEdit*>("minuteEdit");
        minute->setFocus();
        QTRY_VERIFY(minute->hasFocus());
        QTest::keyClick(minute, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(minute, Qt::Key_Backspace);
        QCOMPARE(minute->text(), QString());
        QVERIFY(sink.Messages().empty());
        dialog.findChild<QLineEdit*>("secondEdit")->setFocus();
        QTRY_COMPARE(minute->text(), QString("0"));
        QCOMPARE(sink.Messages(), std::vector<std::string>{"Please input a Num !"});
    }

    void clockWordOfTheChosenDateAndTime_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("second");
        QTest::addColumn<uint>("word");
        // Bytes 0A 0E go out with the low command, 26 E2 with the high one.
        QTest::newRow("2010-08-03 12:34:56") << QDate(2010, 8, 3) << "12"
                                             << "34"
                                             << "56" << 0xE2260E0Au;
        QTest::newRow("last the recorder can hold") << QDate(2063, 12, 31) << "23"
                                                    << "59"
                                                    << "59" << 0xEFBBFF3Fu;
        QTest::newRow("first day of 2000") << QDate(2000, 1, 1) << "0"
                                           << "0"
                                           << "0" << 0x440u;
        QTest::newRow("empty hour counts as 0") << QDate(2010, 8, 3) << ""
                                                << "34"
                                                << "56" << 0xE2200E0Au;
    }
    void clockWordOfTheChosenDateAndTime() {
        QFETCH(QDate, date);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QFETCH(QString, second);
        QFETCH(uint, word);
        test::RecordingSink sink;
        RecorderClockDialog dialog(sink, kOpening);
        dialog.findChild<QDateEdit*>("datePicker")->setDate(date);
        dialog.findChild<QLineEdit*>("hourEdit")->setText(hour);
        dialog.findChild<QLineEdit*>("minuteEdit")->setText(minute);
        dialog.findChild<QLineEdit*>("secondEdit")->setText(second);
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Taken().year, QString::number(date.year()));
        QCOMPARE(dialog.Taken().hour, hour);
        QCOMPARE(dialog.ClockWord(), word);
    }

    void clockDatePickerKeepsToYearsTheRecorderCanHold() {
        test::RecordingSink sink;
        RecorderClockDialog dialog(sink, kOpening);
        auto* picker = dialog.findChild<QDateEdit*>("datePicker");
        picker->setDate(QDate(1999, 12, 31));
        QCOMPARE(picker->date(), QDate(2000, 1, 1));
        picker->setDate(QDate(2064, 1, 1));
        QCOMPARE(picker->date(), QDate(2063, 12, 31));
        QVERIFY(picker->displayFormat().contains("yyyy"));
    }

    void deleteDialogLists() {
        RecordingStore store;
        for (int id : {9, 2}) {
            SampleRecord sample;
            sample.id = static_cast<std::uint8_t>(id);
            store.AppendSample(sample);
        }
        QCOMPARE(DeleteDataDialog::IdsWithGroups(store), (std::vector<int>{2, 9}));

        DeleteDataDialog dialog(DeleteDataDialog::IdsWithGroups(store), 2);
        auto* ids = dialog.findChild<QComboBox*>("idBox");
        auto* types = dialog.findChild<QComboBox*>("dataTypeBox");
        QCOMPARE(Entries(ids), QStringList({"All", "2", "9"}));
        QCOMPARE(Entries(types), QStringList({"All", "SpO2&Pr"}));
        QCOMPARE(ids->property("controlId").toInt(), 1044);
        QCOMPARE(types->property("controlId").toInt(), 1045);
        QCOMPARE(dialog.IdText(), QString("All"));
        QCOMPARE(dialog.Id(), 0);
        QCOMPARE(dialog.DataTypeCode(), 0);
        QVERIFY(ids->isEnabled());
    }

    void deleteDialogTiesTheDataTypeToOneId() {
        DeleteDataDialog dialog({3, 5, 12}, 14);
        auto* ids = dialog.findChild<QComboBox*>("idBox");
        auto* types = dialog.findChild<QComboBox*>("dataTypeBox");

        Choose(types, 1);  // with "All" IDs the type snaps back
        QCOMPARE(types->currentIndex(), 0);
        QCOMPARE(dialog.DataTypeCode(), 0);

        Choose(ids, 2);
        Choose(types, 1);
        QCOMPARE(dialog.Id(), 5);
        QCOMPARE(dialog.DataTypeCode(), 1);

        Choose(ids, 3);  // another ID keeps the type
        QCOMPARE(dialog.IdText(), QString("12"));
        QCOMPARE(dialog.DataTypeCode(), 1);

        Choose(ids, 0);  // back to "All" resets the type
        QCOMPARE(types->currentIndex(), 0);
        QCOMPARE(dialog.Id(), 0);
        QCOMPARE(dialog.DataTypeCode(), 0);

        // The same through the keyboard.
        dialog.show();
        QTest::keyClick(ids, Qt::Key_Down);
        QCOMPARE(dialog.IdText(), QString("3"));
        QCOMPARE(dialog.Id(), 3);
    }

    void deleteDialogOffersOnlyAllWhenTheRecorderErasesEverything() {
        for (int code : {0, 3, 4, 11}) {
            DeleteDataDialog dialog({3, 5}, code);
            QVERIFY(!dialog.findChild<QComboBox*>("idBox")->isEnabled());
            QCOMPARE(dialog.Id(), 0);
        }
        for (int code : {1, 2, 14}) {
            DeleteDataDialog dialog({3, 5}, code);
            QVERIFY(dialog.findChild<QComboBox*>("idBox")->isEnabled());
        }
    }

    void deletingWindowComesAndGoesCentredOverTheDialog() {
        QWidget owner;
        owner.setGeometry(100, 100, 420, 300);
        owner.show();
        CaptureMessageSink sink(&owner);
        sink.ShowDeleting(true);
        QWidget* window = sink.DeletingWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!window->isModal());
        QCOMPARE(window->findChild<QLabel*>("deletingLabel")->text(), QString("Deleting Data ..."));
        for (const char* name : {"okButton", "cancelButton"}) {
            auto* button = window->findChild<QPushButton*>(name);
            QVERIFY(!button->isVisible());
            QVERIFY(!button->isEnabled());
        }
        QVERIFY((window->geometry().center() - owner.frameGeometry().center()).manhattanLength() <= 2);
        test::SaveScreenshot(*window, "deleting-data.png");
        QTest::keyClick(window, Qt::Key_Escape);  // the erase decides, not the user
        QVERIFY(window->isVisible());
        sink.ShowDeleting(false);
        QVERIFY(!sink.DeletingWindow());

        // From another thread the window is put up on the UI thread.
        std::thread([&sink] { sink.ShowDeleting(true); }).join();
        QVERIFY(!sink.DeletingWindow());
        QTRY_VERIFY(sink.DeletingWindow() && sink.DeletingWindow()->isVisible());
        sink.ShowDeleting(false);
    }

    void workerMessagesDoNotWaitForTheUser() {
        QWidget owner;
        CaptureMessageSink sink(&owner);
        // The worker is gone before any box is up: it never waits for a click.
        std::thread([&sink] { sink.ShowMessage(msg::kReadTimeout); }).join();
        QVERIFY(!QApplication::activeModalWidget());
        QString shown;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QTRY_COMPARE(shown, QString(msg::kReadTimeout));
    }

    void radioDialogListsWhatTheSearchFound() {
        const std::vector<RadioInfo> radios = {{"00:11:22:33:44:55", "Recorder"}, {"66:77:88:99:AA:BB", ""}};
        BluetoothRadioDialog dialog(radios);
        auto* list = dialog.findChild<QListWidget*>("radioList");
        auto* connectButton = dialog.findChild<QPushButton*>("connectButton");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QString("Recorder (00:11:22:33:44:55)"));
        QCOMPARE(list->item(1)->text(), QString("66:77:88:99:AA:BB"));
        QCOMPARE(dialog.Chosen(), std::optional<std::size_t>(0));
        dialog.show();
        test::SaveScreenshot(dialog, "bluetooth-radios.png");
        list->clearSelection();
        QVERIFY(!connectButton->isEnabled());
        QCOMPARE(dialog.Chosen(), std::nullopt);
        list->setCurrentRow(1);
        QVERIFY(connectButton->isEnabled());
        QCOMPARE(dialog.Chosen(), std::optional<std::size_t>(1));
    }

    void radioChooserReturnsTheLineConnected() {
        const std::vector<RadioInfo> radios = {{"00:11:22:33:44:55", "A"}, {"66:77:88:99:AA:BB", "B"}};
        const RadioChooser choose = MakeRadioChooser(nullptr);
        for (const bool connect : {true, false}) {
            QTimer::singleShot(0, [connect] {
                QTRY_VERIFY(qobject_cast<BluetoothRadioDialog*>(QApplication::activeModalWidget()));
                auto* dialog = QApplication::activeModalWidget();
                dialog->findChild<QListWidget*>("radioList")->setCurrentRow(1);
                QTest::mouseClick(dialog->findChild<QPushButton*>(connect ? "connectButton" : "cancelButton"),
                                  Qt::LeftButton);
            });
            QCOMPARE(choose(radios), connect ? std::optional<std::size_t>(1) : std::nullopt);
        }
    }

    void findBluetoothRadioWithoutAnAdapterSaysWhy() {
        // This machine's own radio stack: no adapter, or no Bluetooth at all.
        RecordingStore store;
        BluetoothLink link;
        test::RecordingSink sink;
        int captures = 0;
        const int result = RunFindBluetoothRadio(store, link, sink, [&] { return ++captures; });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(captures, 0);
        QVERIFY(!store.UseSerialLink);  // stays on Bluetooth although nothing connected
        QVERIFY(!link.LastError().empty());
        QCOMPARE(sink.Messages(), std::vector<std::string>{link.LastError()});
    }

    void findBluetoothRadioOutcomes() {
        struct Case {
            const char* name;
            std::vector<RadioInfo> radios;
            std::string scanError;
            std::vector<std::string> messages;
            int captures;
        };
        const std::vector<Case> cases = {
            {"connected", {{"00:11:22:33:44:55", "Recorder"}}, "", {"CONNECT SUCCEED"}, 1},
            {"nobody answered", {}, "", {"No Bluetooth radio found"}, 0},
            {"adapter down",
             {},
             "Bluetooth search failed: Network is down",
             {"Bluetooth search failed: Network is down"},
             0},
        };
        for (const Case& c : cases) {
            RecordingStore store;
            auto radios = std::make_unique<FakeRadios>(c.radios, c.scanError);
            FakeRadios& fake = *radios;
            BluetoothLink link([](const std::vector<RadioInfo>&) { return std::optional<std::size_t>(0); },
                               std::move(radios));
            test::RecordingSink sink;
            int captures = 0;
            const int result = RunFindBluetoothRadio(store, link, sink, [&] {
                ++captures;
                return int(QDialog::Accepted);
            });
            QVERIFY2(sink.Messages() == c.messages, c.name);
            QVERIFY2(captures == c.captures, c.name);
            QVERIFY2(result == (c.captures ? int(QDialog::Accepted) : int(QDialog::Rejected)), c.name);
            QVERIFY2(!store.UseSerialLink, c.name);
            if (c.captures) QCOMPARE(fake.connectedTo, std::string("00:11:22:33:44:55"));
        }
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::DeviceDialogsTest)
#include "DeviceDialogsTest.moc"
