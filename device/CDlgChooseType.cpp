#include "device/CDlgChooseType.h"

#include "app/UiText.h"
#include "device/CDateAndTimeDlg.h"
#include "device/CDelDataDlg.h"
#include "device/CDeletingData.h"
#include "device/CaptureHost.h"
#include "device/Messages.h"
#include "link/BluetoothLink.h"
#include "link/BluetoothStream.h"
#include "link/SerialPort.h"
#include "store/RecordingStore.h"
#include "ui_CDlgChooseType.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <cerrno>
#include <system_error>
#include <utility>

namespace quenda {

namespace {

constexpr int kSelectPatientIdString = 164;
constexpr const char* kSelectPatientId = "Please select patient ID";
constexpr int kAppTitleString = 128;
constexpr const char* kAppTitle = "Quenda";
constexpr const char* kStartCaption = "Start";
constexpr const char* kDoneCaption = "Done";
// Our own: a port the search was refused for permission is usually a user
// outside the group that owns the serial devices.
constexpr const char* kDialoutHint =
    "Access to %1 was refused. To use serial ports, add yourself to the dialout group "
    "(sudo adduser $USER dialout), then log in again.";

}  // namespace

namespace device_ui {

QString Text(std::string_view builtIn) { return QString::fromStdString(UiText(builtIn)); }
QString Text(int stringId, std::string_view builtIn) { return QString::fromStdString(UiText(stringId, builtIn)); }

void ApplyUiTexts(QWidget* form) {
    auto translate = [](const QString& text) { return text.isEmpty() ? text : Text(text.toStdString()); };
    form->setWindowTitle(translate(form->windowTitle()));
    for (QLabel* label : form->findChildren<QLabel*>()) label->setText(translate(label->text()));
    for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) button->setText(translate(button->text()));
    for (QGroupBox* group : form->findChildren<QGroupBox*>()) group->setTitle(translate(group->title()));
}

void UiMailbox::Post(std::function<void()> work) {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        post = !std::exchange(drainPosted_, true);
    }
    if (post) QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void UiMailbox::Drain() {
    {
        std::lock_guard lock(mutex_);
        // From here on a Post asks for another Drain: should the work below
        // run a nested event loop, that Drain carries on inside it.
        drainPosted_ = false;
    }
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

}  // namespace device_ui

// ---------------------------------------------------------------------------
// CaptureMessageSink

CaptureMessageSink::CaptureMessageSink(QWidget* boxParent, QObject* parent)
    : QObject(parent), boxParent_(boxParent) {}

CaptureMessageSink::~CaptureMessageSink() { delete deleting_.data(); }

void CaptureMessageSink::ShowMessage(std::string_view text) {
    const QString shown = device_ui::Text(text);
    if (QThread::currentThread() == thread()) {
        ShowBox(shown);
        return;
    }
    mailbox_.Post([this, shown] { ShowBox(shown); });
}

void CaptureMessageSink::ShowBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, device_ui::Text(kAppTitleString, kAppTitle), text, QMessageBox::Ok,
                    boxParent_.data());
    box.exec();
}

void CaptureMessageSink::ShowDeleting(bool visible) {
    if (QThread::currentThread() != thread()) {
        mailbox_.Post([this, visible] { ShowDeleting(visible); });
        return;
    }
    if (visible) {
        if (!deleting_) deleting_ = new CDeletingData(boxParent_.data());
        static_cast<CDeletingData*>(deleting_.data())->ShowNow();
    } else if (deleting_) {
        delete deleting_.data();
    }
}

QWidget* CaptureMessageSink::DeletingWindow() const { return deleting_.data(); }

// ---------------------------------------------------------------------------
// The serial port as the engine sees it, watching every open for a refusal
// for permission. The engine keeps only the last failure, and the numbered
// pass that ends a failed search overwrites it with "no such file".

class CDlgChooseType::WatchedSerialLink final : public SerialLink {
public:
    explicit WatchedSerialLink(SerialLink& port) : port_(port) {}

    bool Open(const std::string& name, unsigned baud) override {
        if (port_.Open(name, baud)) return true;
        if (refusedPort_.empty() && port_.OpenFailureReason().find(PermissionDenied()) != std::string::npos) {
            refusedPort_ = name;
        }
        return false;
    }
    bool Close() override { return port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    std::string OpenFailureReason() const override { return port_.OpenFailureReason(); }
    bool Send(std::span<const std::uint8_t> bytes) override { return port_.Send(bytes); }
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) override {
        return port_.Receive(out, maxBytes, wait);
    }
    bool IsConnected() override { return port_.IsConnected(); }

    // The first port refused for permission since the last Forget(); empty
    // when none was.
    const std::string& RefusedPort() const { return refusedPort_; }
    void Forget() { refusedPort_.clear(); }

private:
    // In the words the port's own failure text uses (the same C library).
    static const std::string& PermissionDenied() {
        static const std::string text = std::generic_category().message(EACCES);
        return text;
    }

    SerialLink& port_;
    std::string refusedPort_;
};

// Adds how to get access to "no port answered" when a port was refused for
// permission; passes everything else on unchanged.
class CDlgChooseType::HintingSink final : public MessageSink {
public:
    HintingSink(MessageSink& target, const WatchedSerialLink& serial) : target_(target), serial_(serial) {}

    void ShowMessage(std::string_view text) override {
        // Only the UI thread searches, so RefusedPort is read where it is written.
        if (text == msg::kNoPort && !serial_.RefusedPort().empty()) {
            const QString hinted = device_ui::Text(msg::kNoPort) + QLatin1Char('\n') +
                                   device_ui::Text(kDialoutHint).arg(QString::fromStdString(serial_.RefusedPort()));
            target_.ShowMessage(hinted.toStdString());
            return;
        }
        target_.ShowMessage(text);
    }
    void ShowDeleting(bool visible) override { target_.ShowDeleting(visible); }

private:
    MessageSink& target_;
    const WatchedSerialLink& serial_;
};

// ---------------------------------------------------------------------------
// CDlgChooseType

CDlgChooseType::CDlgChooseType(CaptureHost& host, RecordingStore& store, Settings& settings, CaptureLinks links,
                               MessageSink* messages, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CDlgChooseType>()),
      host_(host),
      store_(store),
      ownSink_(messages ? nullptr : std::make_unique<CaptureMessageSink>(this)),
      messages_(messages ? *messages : *ownSink_),
      serial_(std::make_unique<WatchedSerialLink>(links.serial)) {
    ui_->setupUi(this);
    device_ui::ApplyUiTexts(this);
    ui_->extendButton->hide();
    ui_->extendButton->setEnabled(false);
    ui_->stopButton->setEnabled(false);
    // Fixed pitch, so the counts of "ID %3d     total %10d Groups" line up.
    ui_->idList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // Cut the dialog at the separator's bottom edge; the template's full
    // height is kept for the extend function, which is never offered.
    fullHeight_ = height();
    setFixedSize(width(), ui_->separator->geometry().bottom() + 1);

    hintingSink_ = std::make_unique<HintingSink>(messages_, *serial_);
    engine_ = std::make_unique<CaptureEngine>(store, settings, *serial_, links.ports, *hintingSink_, links.clock,
                                              std::move(links.bluetooth));
    // Worker threads call these: each only queues a call to the UI thread,
    // stamped with the download it belongs to.
    engine_->SetCallbacks({
        [this](int maximum) {
            const int generation = generation_.load();
            mailbox_.Post([this, generation, maximum] { OnProgressRange(generation, maximum); });
        },
        [this](std::uint32_t frames) {
            const int generation = generation_.load();
            mailbox_.Post([this, generation, frames] { OnProgress(generation, frames); });
        },
        [this](ReceiveResult result) {
            const int generation = generation_.load();
            mailbox_.Post([this, generation, result] { OnDownloadDone(generation, result); });
        },
    });
    engine_->Open();

    connect(ui_->startButton, &QPushButton::clicked, this, &CDlgChooseType::OnStartClicked);
    connect(ui_->stopButton, &QPushButton::clicked, this, &CDlgChooseType::OnStopClicked);
    connect(ui_->deleteDataButton, &QPushButton::clicked, this, &CDlgChooseType::OnDeleteDataClicked);
    connect(ui_->setDateAndTimeButton, &QPushButton::clicked, this, &CDlgChooseType::OnSetDateAndTimeClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CDlgChooseType::reject);
}

CDlgChooseType::~CDlgChooseType() {
    // The workers go before anything they call into.
    ++generation_;
    engine_.reset();
}

void CDlgChooseType::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // Posted, so the dialog is up before the connect step blocks.
    if (engine_->StartsAtOnce()) {
        QMetaObject::invokeMethod(this, &CDlgChooseType::OnStartClicked, Qt::QueuedConnection);
    }
}

void CDlgChooseType::SetPhase(Phase phase) {
    phase_ = phase;
    const bool idleOrListed = phase == Phase::Idle || phase == Phase::Listed;
    ui_->startButton->setEnabled(idleOrListed);
    ui_->deleteDataButton->setEnabled(idleOrListed);
    ui_->setDateAndTimeButton->setEnabled(idleOrListed);
    ui_->stopButton->setEnabled(phase == Phase::Downloading);
    ui_->cancelButton->setEnabled(true);
}

void CDlgChooseType::OnStartClicked() {
    // A start posted when the dialog opened may come after it was closed.
    if (!isVisible()) return;
    if (listed_) {
        ConfirmId();
    } else if (phase_ == Phase::Idle) {
        ConnectAndDownload();
    }
}

void CDlgChooseType::ConnectAndDownload() {
    SetPhase(Phase::Connecting);
    ui_->idList->clear();
    host_.CloseDocumentsAndResetMenus();
    serial_->Forget();
    // The connect step holds the UI thread (about a second per port tried):
    // show the greyed buttons first.
    repaint();

    const ConnectionState state = engine_->Start();
    // The engine's connect message may have run an event loop in which the
    // whole download ended and was listed.
    if (phase_ == Phase::Connecting) {
        if (state == ConnectionState::Connected) {
            SetPhase(Phase::Downloading);
        } else {
            AfterStop();
        }
    }
    emit connectStepFinished(state);
}

void CDlgChooseType::OnProgressRange(int generation, int maximum) {
    if (!Current(generation)) return;
    ui_->progressBar->setRange(0, maximum);
}

void CDlgChooseType::OnProgress(int generation, std::uint32_t frames) {
    if (!Current(generation)) return;
    ui_->progressBar->setValue(static_cast<int>(frames));
}

void CDlgChooseType::OnDownloadDone(int generation, ReceiveResult) {
    if (!Current(generation)) return;
    // The receive side's own message (if any) was shown already; whatever
    // was decoded up to here is listed.
    bool any = false;
    for (const std::string& line : engine_->IdLines()) {
        ui_->idList->addItem(QString::fromStdString(line));
        host_.EnableDataCommands();
        any = true;
    }
    if (any) ui_->deleteDataButton->setEnabled(true);
    ui_->startButton->setText(device_ui::Text(kDoneCaption));
    listed_ = true;
    engine_->Stop();
    AfterStop();
    emit idsListed();
}

void CDlgChooseType::ConfirmId() {
    const QList<QListWidgetItem*> selected = ui_->idList->selectedItems();
    if (selected.isEmpty()) {
        messages_.ShowMessage(UiText(kSelectPatientIdString, kSelectPatientId));
        return;
    }
    const int id = IdFromListLine(selected.front()->text().toStdString());
    store_.SelectId(id);
    host_.OpenTrendDocument();
    QDialog::accept();
}

void CDlgChooseType::OnStopClicked() {
    engine_->Stop();
    AfterStop();
}

void CDlgChooseType::AfterStop() {
    ++generation_;
    ui_->progressBar->setValue(0);
    SetPhase(listed_ ? Phase::Listed : Phase::Idle);
}

void CDlgChooseType::reject() {
    ++generation_;
    engine_->Cancel();
    // The current data set is left alone, unlike the recorder's own program:
    // it may be a recording still open in a view.
    if (!host_.ViewShown()) host_.DisableDataCommands();
    QDialog::reject();
}

void CDlgChooseType::OnDeleteDataClicked() {
    CDelDataDlg choose(CDelDataDlg::IdsWithGroups(store_), store_.DataFormatCode, this);
    if (choose.exec() != QDialog::Accepted) return;
    serial_->Forget();
    engine_->DeleteDeviceData(choose.Id(), choose.DataTypeCode());
    AfterStop();
}

void CDlgChooseType::OnSetDateAndTimeClicked() {
    CDateAndTimeDlg choose(messages_, QDateTime::currentDateTime(), this);
    if (choose.exec() == QDialog::Accepted) {
        serial_->Forget();
        engine_->SetDeviceClock(choose.ClockWord());  // ends with Stop
    } else {
        engine_->Stop();
    }
    AfterStop();
}

// ---------------------------------------------------------------------------

int RunCaptureDialog(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                     BluetoothLink* bluetooth) {
    CCOM port;
    SystemPortEnumerator ports;
    SystemClock clock;
    std::unique_ptr<BluetoothStream> stream;
    BluetoothAccess access;
    if (bluetooth) {
        stream = std::make_unique<BluetoothStream>(*bluetooth);
        access = {stream.get(), [bluetooth] { bluetooth->ConnectSocket(); }};
    }
    CDlgChooseType dialog(host, store, settings, CaptureLinks{port, ports, clock, std::move(access)}, nullptr, parent);
    return dialog.exec();
}

int RunNewDataCapture(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                      BluetoothLink* bluetooth) {
    store.UseSerialLink = true;
    return RunCaptureDialog(parent, host, store, settings, bluetooth);
}

}  // namespace quenda
