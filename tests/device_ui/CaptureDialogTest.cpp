// The capture dialog: opening downloads by itself, the list, Done, Stop,
// Cancel, the ways a download ends, and the recorder maintenance buttons.
// The dialog's logic runs against the recorder simulator's model in process on
// virtual time; one download over a real serial port (a pseudo-terminal) and
// one over the Bluetooth link run against the simulator itself.
// Messages are recorded through the dialog's message sink, not clicked away,
// except where the test is about the message box itself.
#include "device/CaptureDialog.h"
#include "device/DeleteDataDialog.h"
#include "device/Messages.h"
#include "device/RecorderClockDialog.h"
#include "device_ui/CaptureTestSupport.h"
#include "integration/SimProcess.h"
#include "link/BluetoothLink.h"
#include "link/SerialPort.h"
#include "store/DataFile.h"
#include "store/RecordingStore.h"
#include "support/FakeLink.h"
#include "support/FakeSerialLink.h"
#include "support/ModelLink.h"
#include "tools/sim/Options.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace quenda {

using test::FakeHost;
using test::RecordingSink;

namespace {

constexpr int kLongWait = 60000;
// The port the in-process recorder answers on; it fits the nine characters a
// remembered port may have.
constexpr const char* kModelPort = "ttyUSB7";

// What the simulator started with these arguments holds, oldest first.
std::map<int, std::vector<SampleRecord>> Expected(const std::vector<std::string>& args) {
    const auto parsed = sim::ParseOptions(args);
    return sim::RecorderModel(parsed.options.recorder).Recordings();
}

// Runs `action` on the next modal dialog of type T once it is up (the code
// under test opened it with exec(), so the test only gets there through the
// nested event loop).
template <typename T>
void WhenModal(std::function<void(T*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
        }
    });
    timer->start();
}

// A serial port that sends on to the real one and keeps every command sent.
class RecordingLink final : public SerialLink {
public:
    explicit RecordingLink(SerialLink& port) : port_(port) {}
    bool Open(const std::string& name, unsigned baud) override { return port_.Open(name, baud); }
    bool Close() override { return port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    std::string OpenFailureReason() const override { return port_.OpenFailureReason(); }
    int OpenFailureErrno() const override { return port_.OpenFailureErrno(); }
    bool Send(std::span<const std::uint8_t> bytes) override {
        {
            std::lock_guard lock(mutex_);
            sent_.emplace_back(bytes.begin(), bytes.end());
        }
        return port_.Send(bytes);
    }
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) override {
        return port_.Receive(out, maxBytes, wait);
    }
    bool IsConnected() override { return port_.IsConnected(); }
    bool Sent(const std::vector<std::uint8_t>& command) const {
        std::lock_guard lock(mutex_);
        return std::find(sent_.begin(), sent_.end(), command) != sent_.end();
    }

private:
    SerialLink& port_;
    mutable std::mutex mutex_;
    std::vector<std::vector<std::uint8_t>> sent_;
};

// Ports that never open: `refused` for permission, every other for absence.
class RefusingPorts final : public SerialLink {
public:
    explicit RefusingPorts(std::string refused) : refused_(std::move(refused)) {}
    bool Open(const std::string& name, unsigned) override {
        errno_ = name == refused_ ? EACCES : ENOENT;
        reason_ = "open /dev/" + name + ": " + std::generic_category().message(errno_);
        return false;
    }
    bool Close() override { return true; }
    bool IsOpen() const override { return false; }
    std::string OpenFailureReason() const override { return reason_; }
    int OpenFailureErrno() const override { return errno_; }
    bool Send(std::span<const std::uint8_t>) override { return false; }
    bool Receive(std::vector<std::uint8_t>&, std::size_t, std::chrono::milliseconds) override { return false; }
    bool IsConnected() override { return false; }

private:
    std::string refused_;
    std::string reason_;
    int errno_ = 0;
};

// Everything one capture dialog needs.
struct Rig {
    test::TempSettings temp;
    RecordingStore store;
    SerialPort port;
    RecordingLink link{port};
    test::FakeEnumerator ports;  // a machine without listed ports
    SystemClock clock;
    test::FakeClock virtualClock;
    RecordingSink sink;
    FakeHost host;
    std::unique_ptr<test::SimProcess> sim;
    std::unique_ptr<test::ModelLink> model;
    std::unique_ptr<CaptureDialog> dialog;

    // Starts the simulator with `args` and builds the dialog on it, on real
    // time; the dialog tries the simulator's port only. `ownBoxes` leaves the
    // messages to the dialog's own message boxes.
    void Build(std::vector<std::string> args, bool ownBoxes = false) {
        sim = std::make_unique<test::SimProcess>(std::move(args));
        BuildDialog(link, clock, ownBoxes);
        dialog->Engine().RestrictToPort(sim->path());
    }
    // The same with the simulator's recorder model in process, on virtual
    // time; `restrict` false leaves the port search to the dialog.
    void BuildOnModel(const std::vector<std::string>& args, bool ownBoxes = false, bool restrict = true) {
        model = std::make_unique<test::ModelLink>(kModelPort, args);
        BuildDialog(*model, virtualClock, ownBoxes);
        if (restrict) dialog->Engine().RestrictToPort(kModelPort);
    }
    void BuildDialog(SerialLink& serial, Clock& time, bool ownBoxes = false, BluetoothAccess bluetooth = {}) {
        dialog = std::make_unique<CaptureDialog>(host, store, *temp.settings,
                                                 CaptureLinks{serial, ports, time, std::move(bluetooth)},
                                                 ownBoxes ? nullptr : &sink);
        dialog->KeepDownloadsIn(temp.dir.filePath("kept").toStdString());
    }

    template <typename T>
    T* Get(const char* name) const {
        T* widget = dialog->findChild<T*>(name);
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    QPushButton* Button(const char* name) const { return Get<QPushButton>(name); }
    QListWidget* List() const { return Get<QListWidget>("idList"); }
    QProgressBar* Progress() const { return Get<QProgressBar>("progressBar"); }
    QStringList Lines() const {
        QStringList lines;
        for (int i = 0; i < List()->count(); ++i) lines << List()->item(i)->text();
        return lines;
    }
    // Start/Done, Stop, DeleteData, SetDateAndTime, each 1 when enabled.
    QString Buttons() const {
        QString s;
        for (const char* name : {"startButton", "stopButton", "deleteDataButton", "setDateAndTimeButton"}) {
            s += Button(name)->isEnabled() ? u'1' : u'0';
        }
        return s;
    }
    ConnectionState WaitForConnectStep() const {
        QSignalSpy spy(dialog.get(), &CaptureDialog::connectStepFinished);
        if (!spy.wait(kLongWait)) qFatal("the connect step did not end");
        return spy.front().front().value<ConnectionState>();
    }
};

// A Bluetooth radio whose "connection" is a socket carried to and from the
// simulator's pseudo-terminal by a thread of its own.
class BridgedRadio final : public RadioAccess {
public:
    explicit BridgedRadio(std::string ptyPath) : ptyPath_(std::move(ptyPath)) {}
    ~BridgedRadio() override {
        if (bridge_.joinable()) {
            bridge_.request_stop();
            bridge_.join();
        }
    }
    bool Scan(std::vector<RadioInfo>& found, std::string&) override {
        found = {{"00:11:22:33:44:55", "Recorder"}};
        return true;
    }
    int Connect(const std::string&, std::string& error) override {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            error = "socketpair failed";
            return -1;
        }
        const int pty = open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (pty < 0) {
            error = "cannot open the simulator";
            close(pair[0]);
            close(pair[1]);
            return -1;
        }
        termios tio{};
        tcgetattr(pty, &tio);
        cfmakeraw(&tio);
        tcsetattr(pty, TCSANOW, &tio);
        bridge_ = std::jthread([pty, far = pair[1]](std::stop_token stop) { Carry(pty, far, stop); });
        return pair[0];
    }

private:
    static void Carry(int pty, int socket, std::stop_token stop) {
        char buffer[4096];
        while (!stop.stop_requested()) {
            pollfd fds[2] = {{pty, POLLIN, 0}, {socket, POLLIN, 0}};
            if (poll(fds, 2, 20) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) continue;
                const int to = i == 0 ? socket : pty;
                for (ssize_t done = 0; done < n;) {
                    const ssize_t w = write(to, buffer + done, static_cast<std::size_t>(n - done));
                    if (w <= 0) break;
                    done += w;
                }
            }
        }
        close(pty);
        close(socket);
    }

    std::string ptyPath_;
    std::jthread bridge_;
};

}  // namespace

class CaptureDialogTest : public QObject {
    Q_OBJECT
private slots:
    void opensDownloadsListsAndConfirmsAnId() {
        const std::vector<std::string> args = {
            "--ids", "1:700,12:1500", "--samples-per-frame", "100", "--format-code", "3", "--baud", "460800"};
        Rig rig;
        rig.Build(args);
        QSignalSpy values(rig.Progress(), &QProgressBar::valueChanged);

        rig.dialog->show();  // no click: the dialog starts by itself
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->Listed(), kLongWait);

        QCOMPARE(rig.Lines(),
                 QStringList({"ID   1     total        700 Groups", "ID  12     total       1500 Groups"}));
        QVERIFY(rig.sink.Saw("Connect succeed! Total 22 Frames!"));
        // One step per frame, then back to 0 when the transfer is stopped.
        QList<int> seen;
        for (const auto& v : values) seen << v.front().toInt();
        QList<int> perFrame;
        for (int frame = 1; frame <= 22; ++frame) perFrame << frame;
        QCOMPARE(seen, perFrame << 0);
        QCOMPARE(rig.Button("startButton")->text(), QString("Done"));
        QCOMPARE(rig.Buttons(), QString("1011"));
        QCOMPARE(rig.host.calls.front(), std::string("close-reset"));
        QCOMPARE(rig.host.noData, 0);
        QCOMPARE(rig.host.otherIdUnavailable, 0);
        QTRY_VERIFY(rig.sim->waitForLogLine("stop", std::chrono::milliseconds(0)));

        // A copy was kept before the list was shown.
        const auto keptFolders = QDir(rig.temp.dir.filePath("kept")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(keptFolders.size(), 1);
        QCOMPARE(QDir(rig.temp.dir.filePath("kept/" + keptFolders[0])).entryList(QDir::Files),
                 QStringList({"ID1.dat", "ID12.dat"}));
        // ... and the program was told, so its nights go to the library.
        QCOMPARE(rig.host.kept.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(rig.host.kept[0].filename().string()), keptFolders[0]);

        // The download's bytes can be saved for a look at the recorder.
        QVERIFY(rig.Button("saveLogButton")->isEnabled());
        QVERIFY(rig.dialog->SaveLog(rig.temp.dir.filePath("log.txt"), rig.temp.dir.filePath("log.bin")));
        QFile dump(rig.temp.dir.filePath("log.bin"));
        QVERIFY(dump.open(QIODevice::ReadOnly));
        const auto received = rig.dialog->Exchanges().ReceivedBytes();
        QCOMPARE(dump.readAll(),
                 QByteArray(reinterpret_cast<const char*>(received.data()), static_cast<qsizetype>(received.size())));
        const std::string text = rig.dialog->Exchanges().Text();
        QVERIFY(text.starts_with("+") && text.substr(0, text.find('\n')).ends_with(" s  > 55 AA FD 00 00 FD"));
        // An unwritable place is said, not swallowed.
        QVERIFY(!rig.dialog->SaveLog(rig.temp.dir.filePath("no/such/dir/log.txt"), rig.temp.dir.filePath("x.bin")));
        QCOMPARE(rig.sink.Messages().size(), std::size_t(2));

        // Done needs a chosen line.
        rig.sink.Clear();
        QTest::mouseClick(rig.Button("startButton"), Qt::LeftButton);
        QCOMPARE(rig.sink.Messages(), std::vector<std::string>{"Please select patient ID"});
        QVERIFY(rig.dialog->isVisible());
        QCOMPARE(rig.host.mode, 0);

        rig.List()->setCurrentRow(1);
        test::SaveScreenshot(*rig.dialog, "capture-dialog-listed.png");
        QTest::mouseClick(rig.Button("startButton"), Qt::LeftButton);
        QCOMPARE(rig.dialog->result(), int(QDialog::Accepted));
        QVERIFY(!rig.dialog->isVisible());
        QCOMPARE(rig.store.CurrentId, 12);
        // This recorder sends newest first; the current data set runs forward in time.
        const auto expected = Expected(args).at(12);
        const auto current = rig.store.CurrentSamples();
        QCOMPARE(current.size(), expected.size());
        QVERIFY(std::equal(current.begin(), current.end(), expected.begin()));
        QCOMPARE(rig.host.mode, 1);
        QCOMPARE(rig.host.calls.back(), std::string("trend"));
    }

    void progressMovesWhileTheConnectMessageIsUp() {
        // The real message boxes: the connect message is modal, and its event
        // loop must keep delivering the download's progress and its end.
        Rig rig;
        rig.BuildOnModel({"--ids", "1:700,12:1500", "--samples-per-frame", "100"}, true);
        QString connectText;
        bool listedBehindTheBox = false;
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            connectText = box->text();
            if (!rig.dialog->Listed()) return;
            listedBehindTheBox = true;
            box->button(QMessageBox::Ok)->click();
        });
        closer.start();
        rig.dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(listedBehindTheBox, kLongWait);
        QTRY_VERIFY(!qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        QCOMPARE(connectText, QString("Connect succeed! Total 22 Frames!"));
        QCOMPARE(rig.Lines().size(), 2);
        // Closing the box did not take the dialog back to "downloading".
        QCOMPARE(rig.Buttons(), QString("1011"));
        QCOMPARE(rig.Button("startButton")->text(), QString("Done"));
    }

    void stopInMidDownloadThenStartBeginsAgainAtFrameZero() {
        Rig rig;
        rig.BuildOnModel({"--ids", "1:8h", "--samples-per-frame", "512"});
        rig.model->HoldFramesFrom(3);
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::Connected);
        QCOMPARE(rig.Buttons(), QString("0100"));
        QTRY_COMPARE(rig.Progress()->maximum(), rig.dialog->Engine().FramesToDownload());
        // The bar moves while frames arrive: the window is not frozen.
        QTRY_COMPARE_WITH_TIMEOUT(rig.Progress()->value(), 3, kLongWait);
        test::SaveScreenshot(*rig.dialog, "capture-dialog-downloading.png");

        // Frames keep arriving while the UI thread is busy; their progress
        // waits in the queue when Stop is clicked.
        rig.model->HoldFramesFrom(6);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWait);
        while (rig.model->LogCount("frame 6") == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        QCOMPARE(rig.Progress()->value(), 3);
        QTest::mouseClick(rig.Button("stopButton"), Qt::LeftButton);
        QCOMPARE(rig.Button("startButton")->text(), QString("Start"));
        QCOMPARE(rig.Buttons(), QString("1011"));
        QCOMPARE(rig.Progress()->value(), 0);
        QVERIFY(rig.Lines().isEmpty());
        QVERIFY(!rig.dialog->Listed());
        QVERIFY(rig.store.IdCount(1) > 0);  // kept until the next Start
        // ...and on disk, since the next Start empties the store.
        const QDir keptRoot(rig.temp.dir.filePath("kept"));
        QCOMPARE(keptRoot.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
        // The progress queued before the workers ended is dropped.
        QTest::qWait(200);
        QCOMPARE(rig.Progress()->value(), 0);
        QCOMPARE(rig.model->LogCount("frame 0"), 1L);

        rig.model->HoldFramesFrom(test::ModelLink::kNoHold);
        QSignalSpy values(rig.Progress(), &QProgressBar::valueChanged);
        QTest::mouseClick(rig.Button("startButton"), Qt::LeftButton);
        QCOMPARE(rig.dialog->Engine().State(), ConnectionState::Connected);
        QTRY_COMPARE_WITH_TIMEOUT(rig.model->LogCount("frame 0"), 2L, kLongWait);
        QTRY_VERIFY_WITH_TIMEOUT(!values.isEmpty(), kLongWait);
        QCOMPARE(values.front().front().toInt(), 1);
        QCOMPARE(rig.host.calls, (std::vector<std::string>{"close-reset", "close-reset"}));
        rig.dialog->reject();
    }

    void unpluggedRecorderListsAndKeepsWhatWasDecoded() {
        Rig rig;
        rig.BuildOnModel({"--ids", "5:1000", "--samples-per-frame", "100"});
        rig.model->HoldFramesFrom(3);
        rig.dialog->show();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Progress()->value(), 3, kLongWait);
        rig.model->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->Listed(), kLongWait);
        QVERIFY(rig.sink.Saw(msg::kReadFailed));
        QCOMPARE(rig.Lines(), QStringList({"ID   5     total        300 Groups"}));
        QDir kept(rig.temp.dir.filePath("kept"));
        const auto folders = kept.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1);
        DataFileContents file;
        QVERIFY(ReadDataFile(kept.filePath(folders[0] + "/ID5.dat").toStdString(), file));
        QCOMPARE(file.records.size(), std::size_t(300));
        QCOMPARE(rig.Buttons(), QString("1011"));
    }

    void silentRecorderStillListsWhatWasDecoded() {
        Rig rig;
        rig.BuildOnModel({"--ids", "5:1000", "--samples-per-frame", "100", "--fault", "silent-after:3"});
        rig.dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->Listed(), kLongWait);
        QVERIFY(rig.sink.Saw(msg::kReadTimeout));
        QCOMPARE(rig.Lines(), QStringList({"ID   5     total        400 Groups"}));
        QCOMPARE(rig.Button("startButton")->text(), QString("Done"));
        QCOMPARE(rig.Buttons(), QString("1011"));
    }

    void emptyRecorderOnTheRememberedPortSaysNoData() {
        Rig rig;
        QVERIFY(rig.temp.settings->WriteString("DefaultCOM", kModelPort));
        rig.BuildOnModel({"--fault", "zero-totals"}, false, false);
        QCOMPARE(rig.dialog->Engine().RememberedPort(), std::string(kModelPort));
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::NoData);
        QCOMPARE(rig.sink.Messages(), std::vector<std::string>{"no data!"});
        QCOMPARE(rig.Button("startButton")->text(), QString("Start"));
        QCOMPARE(rig.Buttons(), QString("1011"));
        QVERIFY(!rig.dialog->Listed());
        QVERIFY(rig.model->LogCount("stop") > 0);
    }

    void noDataLeavesTheBarEmptyNotBusy() {
        // The real box: its event loop delivers the totals' progress range (0).
        Rig rig;
        rig.BuildOnModel({"--ids", ""}, true);
        QStringList shown;
        QStringList buttonsWhileShown;
        QTimer closer;
        closer.setInterval(10);
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                buttonsWhileShown << rig.Buttons();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start();
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::NoData);
        // A range of 0 ... 0 would be a busy bar, animating while nothing runs.
        auto empty = [&] {
            return rig.Progress()->maximum() > rig.Progress()->minimum() && rig.Progress()->value() == 0;
        };
        QVERIFY(empty());
        QTest::qWait(50);
        test::SaveScreenshot(*rig.dialog, "capture-dialog-no-data.png");
        QTest::mouseClick(rig.Button("startButton"), Qt::LeftButton);  // and again
        QCOMPARE(shown, QStringList({"no data!", "no data!"}));
        // The buttons are back while the message is up, not after it.
        QCOMPARE(buttonsWhileShown, QStringList({"1011", "1011"}));
        QVERIFY(empty());
    }

    void dialogIsPaintedBeforeAndDuringTheConnectStep() {
        Rig rig;
        rig.BuildOnModel({"--ids", ""});
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        rig.dialog->installEventFilter(&counter);
        int paintsAtFirstOpen = -1;
        rig.model->onOpen = [&] {
            if (paintsAtFirstOpen >= 0) return;
            paintsAtFirstOpen = counter.paints;
            rig.dialog->update();  // as an uncovered window would need
        };
        int paintsAtTheEnd = -1;
        connect(rig.dialog.get(), &CaptureDialog::connectStepFinished, [&] { paintsAtTheEnd = counter.paints; });
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::NoData);
        QVERIFY(paintsAtFirstOpen > 0);
        QVERIFY(paintsAtTheEnd > paintsAtFirstOpen);
    }

    void cancelAfterTheListGreysTheDataCommandsAgain() {
        Rig rig;
        rig.BuildOnModel({"--ids", "2:300"});
        rig.dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->Listed(), kLongWait);
        QCOMPARE(rig.host.noData, 0);
        QTest::mouseClick(rig.Button("cancelButton"), Qt::LeftButton);
        QCOMPARE(rig.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(rig.host.noData, 1);
        QCOMPARE(rig.host.otherIdUnavailable, 1);
        QCOMPARE(rig.store.IdCount(2), 300);  // reachable again only by a new download
        QVERIFY(rig.store.UseSerialLink);
    }

    void saveLogWaitsForAnExchange() {
        Rig rig;
        rig.store.UseSerialLink = false;  // the dialog waits for a click
        rig.BuildDialog(rig.link, rig.virtualClock);
        rig.dialog->show();
        QVERIFY(!rig.Button("saveLogButton")->isEnabled());
    }

    void cancelWithAViewShownLeavesTheMenusAlone() {
        // Bluetooth selected and no Bluetooth port: the dialog waits for a click.
        Rig rig;
        rig.store.UseSerialLink = false;
        rig.host.mode = 2;
        rig.host.noData = rig.host.otherIdUnavailable = 0;
        rig.BuildDialog(rig.link, rig.virtualClock);
        rig.dialog->show();
        QTest::qWait(50);
        QVERIFY(rig.host.calls.empty());
        QCOMPARE(rig.Buttons(), QString("1011"));
        rig.dialog->reject();
        QVERIFY(rig.host.calls.empty());
        QCOMPARE(rig.host.noData, 0);
        QVERIFY(rig.store.UseSerialLink);
    }

    void cancelDuringTheDownloadStopsTheRecorder() {
        Rig rig;
        rig.BuildOnModel({"--ids", "1:8h", "--samples-per-frame", "512"});
        rig.model->HoldFramesFrom(3);
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::Connected);
        QTRY_VERIFY_WITH_TIMEOUT(rig.model->LogCount("frame 3") > 0, kLongWait);
        QTest::keyClick(rig.dialog.get(), Qt::Key_Escape);
        QVERIFY(!rig.dialog->isVisible());
        QVERIFY(rig.model->LogCount("stop") > 0);
        QCOMPARE(rig.host.noData, 1);
        QVERIFY(!rig.dialog->Engine().DownloadActive());
    }

    void closingTheDialogMidDownloadEndsTheWorkersAndSendsNothing() {
        Rig rig;
        rig.BuildOnModel({"--ids", "1:8h", "--samples-per-frame", "512"});
        rig.model->HoldFramesFrom(3);
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::Connected);
        QTRY_VERIFY_WITH_TIMEOUT(rig.model->LogCount("frame 3") > 0, kLongWait);
        rig.dialog.reset();
        QTest::qWait(100);  // anything the workers queued meets a dialog that is gone
        QCOMPARE(rig.model->LogCount("stop"), 0L);
        QVERIFY(!rig.model->IsOpen());
    }

    void refusedPortAddsHowToGetAccess() {
        for (const bool refused : {true, false}) {
            RefusingPorts ports(refused ? "ttyUSB0" : "none");  // outlives the dialog
            Rig rig;
            rig.ports.names = {"Silicon Labs CP2102 USB to UART Bridge Controller (ttyUSB0)"};
            rig.BuildDialog(ports, rig.virtualClock);
            rig.dialog->show();
            QCOMPARE(rig.WaitForConnectStep(), ConnectionState::NoPort);
            const auto messages = rig.sink.Messages();
            QCOMPARE(messages.size(), std::size_t(1));
            if (refused) {
                QVERIFY(messages[0].starts_with(std::string(msg::kNoPort) + "\nAccess to /dev/ttyUSB0 was refused."));
                QVERIFY(messages[0].find("sudo adduser $USER dialout") != std::string::npos);
                QVERIFY(messages[0].ends_with("then log in again."));
            } else {
                QCOMPARE(messages[0], std::string(msg::kNoPort));
            }
            QCOMPARE(rig.Buttons(), QString("1011"));
        }
    }

    void clockReachesTheRecorder() {
        Rig rig;
        rig.BuildOnModel({"--ids", ""});  // nothing to download: the dialog ends idle
        rig.dialog->show();
        QCOMPARE(rig.WaitForConnectStep(), ConnectionState::NoData);
        rig.sink.Clear();
        WhenModal<RecorderClockDialog>([](RecorderClockDialog* clock) {
            clock->findChild<QDateEdit*>("datePicker")->setDate(QDate(2010, 8, 3));
            clock->findChild<QLineEdit*>("hourEdit")->setText("12");
            clock->findChild<QLineEdit*>("minuteEdit")->setText("34");
            clock->findChild<QLineEdit*>("secondEdit")->setText("56");
            test::SaveScreenshot(*clock, "set-date-and-time.png");
            clock->accept();
        });
        QTest::mouseClick(rig.Button("setDateAndTimeButton"), Qt::LeftButton);
        QCOMPARE(rig.model->LogCount("clock 2010-08-03 12:34:56"), 1L);
        QVERIFY(rig.model->Sent({0x55, 0xAA, 0xF7, 0x0A, 0x0E, 0x0F}));
        QVERIFY(rig.model->Sent({0x55, 0xAA, 0xF8, 0x26, 0xE2, 0x00}));
        QCOMPARE(rig.sink.Messages(), std::vector<std::string>{msg::kClockSet});
        // Stop, two stop commands each, after "no data!" and after the clock.
        QCOMPARE(rig.model->LogCount("stop"), 4L);
        QCOMPARE(rig.Buttons(), QString("1011"));
    }

    void deletionOfOneIdReachesTheRecorder() {
        Rig rig;
        rig.BuildOnModel({"--ids", "3:200,5:300", "--format-code", "14"});
        rig.dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->Listed(), kLongWait);
        rig.sink.Clear();
        WhenModal<DeleteDataDialog>([](DeleteDataDialog* erase) {
            auto choose = [](QComboBox* box, const QString& text) {
                const int index = box->findText(text);
                box->setCurrentIndex(index);
                emit box->activated(index);
            };
            auto* ids = erase->findChild<QComboBox*>("idBox");
            QStringList entries;
            for (int i = 0; i < ids->count(); ++i) entries << ids->itemText(i);
            if (entries != QStringList({"All", "3", "5"})) qFatal("ID list %s", qPrintable(entries.join(',')));
            choose(ids, "5");
            choose(erase->findChild<QComboBox*>("dataTypeBox"), "SpO2&Pr");
            test::SaveScreenshot(*erase, "delete-data.png");
            erase->accept();
        });
        QTest::mouseClick(rig.Button("deleteDataButton"), Qt::LeftButton);
        QCOMPARE(rig.model->LogCount("delete id=5 type=1"), 1L);
        QCOMPARE(rig.sink.Messages(), std::vector<std::string>{msg::kDeleted});
        QCOMPARE(rig.sink.Deleting(), (std::vector<bool>{true, false}));
        QCOMPARE(rig.Buttons(), QString("1011"));
        QCOMPARE(rig.Button("startButton")->text(), QString("Done"));
    }

    void downloadsOverTheBluetoothLink() {
        test::SimProcess sim({"--ids", "7:900", "--samples-per-frame", "100", "--no-pacing"});
        BluetoothLink link([](const std::vector<RadioInfo>&) { return std::optional<std::size_t>(0); },
                           std::make_unique<BridgedRadio>(sim.path()));
        QVERIFY(link.FindAndConnectRadio());
        Rig rig;
        rig.store.UseSerialLink = false;
        rig.BuildDialog(rig.link, rig.clock, false, BluetoothAccess{&link, [&link] { link.ConnectSocket(); }});
        rig.dialog->show();
        // Bluetooth without Bluetooth serial ports: the dialog waits for Start.
        QTest::qWait(50);
        QVERIFY(rig.host.calls.empty());
        QTest::mouseClick(rig.Button("startButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->Listed(), kLongWait);
        QCOMPARE(rig.Lines(), QStringList({"ID   7     total        900 Groups"}));
        QVERIFY(!rig.port.IsOpen());
        QVERIFY(sim.waitForLogLine("stop"));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::CaptureDialogTest)
#include "CaptureDialogTest.moc"
