#include "device/CaptureDialog.h"

#include "base/UiText.h"
#include "device/CaptureHost.h"
#include "device/DeleteDataDialog.h"
#include "device/DeletingDataNotice.h"
#include "device/Messages.h"
#include "device/RecorderClockDialog.h"
#include "link/BluetoothLink.h"
#include "link/SerialPort.h"
#include "store/KeptDownload.h"
#include "store/RecordingStore.h"
#include "ui_CaptureDialog.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMetaObject>
#include <QThread>
#include <QWindow>

#include <algorithm>

#include <cerrno>
#include <system_error>
#include <utility>

namespace quenda {

namespace {

constexpr int kSelectPatientIdString = 164;
constexpr const char* kSelectPatientId = "Please select patient ID";
constexpr const char* kStartCaption = "Start";
constexpr const char* kDoneCaption = "Done";

}  // namespace

// ---------------------------------------------------------------------------
// CaptureMessageSink

CaptureMessageSink::CaptureMessageSink(QWidget* boxParent, QObject* parent) : QObject(parent), boxParent_(boxParent) {}

CaptureMessageSink::~CaptureMessageSink() { delete deleting_.data(); }

void CaptureMessageSink::ShowMessage(std::string_view text) { Show(UiQString(text)); }

void CaptureMessageSink::Notify(const Notice& notice) {
    Show(QString::fromStdString(NoticeText(notice, [](std::string_view builtIn) { return UiText(builtIn); })));
}

void CaptureMessageSink::Show(const QString& shown) {
    if (QThread::currentThread() == thread()) {
        ShowBox(shown);
        return;
    }
    mailbox_.Post([this, shown] { ShowBox(shown); });
}

void CaptureMessageSink::ShowBox(const QString& text) { ShowMessageBox(boxParent_.data(), text); }

void CaptureMessageSink::ShowDeleting(bool visible) {
    if (QThread::currentThread() != thread()) {
        mailbox_.Post([this, visible] { ShowDeleting(visible); });
        return;
    }
    if (visible) {
        if (!deleting_) deleting_ = new DeletingDataNotice(boxParent_.data());
        static_cast<DeletingDataNotice*>(deleting_.data())->ShowNow();
    } else if (deleting_) {
        delete deleting_.data();
    }
}

QWidget* CaptureMessageSink::DeletingWindow() const { return deleting_.data(); }

// ---------------------------------------------------------------------------
// The engine's clock as the dialog hands it on. The connect step and Stop run
// on the UI thread for a second or two; after each of their sleeps the windows
// paint what is pending, so the dialog never shows the desktop through its
// frame. User input waits until the engine call has returned. Worker threads
// sleep as usual.
class CaptureDialog::PaintingClock final : public Clock {
public:
    explicit PaintingClock(Clock& inner) : inner_(inner) {}
    TimePoint Now() override { return inner_.Now(); }
    bool Sleep(std::chrono::milliseconds d, std::stop_token stop = {}) override {
        const bool slept = inner_.Sleep(d, stop);
        if (QThread::currentThread() == qApp->thread())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return slept;
    }

private:
    Clock& inner_;
};

// ---------------------------------------------------------------------------
// The engine's messages as the dialog hands them on. A connect step that ends
// without a download (nothing held, no recorder, no totals) has stopped the
// engine before it says so; the buttons come back before its message box,
// not a second after it is closed.
class CaptureDialog::EngineSink final : public MessageSink {
public:
    EngineSink(CaptureDialog& dialog, MessageSink& inner) : dialog_(dialog), inner_(inner) {}
    void Notify(const Notice& notice) override {
        const bool endsConnect = notice.kind == NoticeKind::NoData || notice.kind == NoticeKind::NoPort ||
                                 notice.kind == NoticeKind::SyncError;
        if (endsConnect && QThread::currentThread() == dialog_.thread() && dialog_.phase_ == Phase::Connecting)
            dialog_.AfterStop();
        inner_.Notify(notice);
    }
    void ShowMessage(std::string_view text) override { inner_.ShowMessage(text); }
    void ShowDeleting(bool visible) override { inner_.ShowDeleting(visible); }

private:
    CaptureDialog& dialog_;
    MessageSink& inner_;
};

// ---------------------------------------------------------------------------
// CaptureDialog

CaptureDialog::CaptureDialog(CaptureHost& host, RecordingStore& store, Settings& settings, CaptureLinks links,
                             MessageSink* messages, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CaptureDialog>()),
      host_(host),
      store_(store),
      ownSink_(messages ? nullptr : std::make_unique<CaptureMessageSink>(this)),
      messages_(messages ? *messages : *ownSink_) {
    ui_->setupUi(this);
    ApplyUiText(this);
    ui_->extendButton->hide();
    ui_->extendButton->setEnabled(false);
    ui_->stopButton->setEnabled(false);
    // Fixed pitch, so the counts of "ID %3d     total %10d Groups" line up.
    ui_->idList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // Cut the dialog at the separator's bottom edge; the template's full
    // height is kept for the extend function, which is never offered.
    fullHeight_ = height();
    setFixedSize(width(), ui_->separator->geometry().bottom() + 1);

    clock_ = std::make_unique<PaintingClock>(links.clock);
    engineSink_ = std::make_unique<EngineSink>(*this, messages_);
    engine_ = std::make_unique<CaptureEngine>(store, settings, links.serial, links.ports, *engineSink_, *clock_,
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
    engine_->SetExchangeLog(&exchanges_);
    downloadsRoot_ = DefaultDownloadsRoot();
    engine_->Open();

    connect(ui_->startButton, &QPushButton::clicked, this, &CaptureDialog::OnStartClicked);
    connect(ui_->stopButton, &QPushButton::clicked, this, &CaptureDialog::OnStopClicked);
    connect(ui_->deleteDataButton, &QPushButton::clicked, this, &CaptureDialog::OnDeleteDataClicked);
    connect(ui_->setDateAndTimeButton, &QPushButton::clicked, this, &CaptureDialog::OnSetDateAndTimeClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CaptureDialog::reject);
    connect(ui_->saveLogButton, &QPushButton::clicked, this, &CaptureDialog::OnSaveLogClicked);
}

CaptureDialog::~CaptureDialog() {
    // The workers go before anything they call into.
    ++generation_;
    engine_.reset();
}

void CaptureDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // Posted, so the dialog is up before the connect step blocks.
    if (engine_->StartsAtOnce()) {
        QMetaObject::invokeMethod(this, &CaptureDialog::OnStartClicked, Qt::QueuedConnection);
    }
}

void CaptureDialog::SetPhase(Phase phase) {
    phase_ = phase;
    const bool idleOrListed = phase == Phase::Idle || phase == Phase::Listed;
    ui_->startButton->setEnabled(idleOrListed);
    ui_->deleteDataButton->setEnabled(idleOrListed);
    ui_->setDateAndTimeButton->setEnabled(idleOrListed);
    ui_->stopButton->setEnabled(phase == Phase::Downloading);
    ui_->cancelButton->setEnabled(true);
    // The log is whole only once the operation is over.
    ui_->saveLogButton->setEnabled(idleOrListed && !exchanges_.Empty());
}

void CaptureDialog::OnStartClicked() {
    // A start posted when the dialog opened may come after it was closed.
    if (!isVisible()) return;
    if (listed_) {
        ConfirmId();
    } else if (phase_ == Phase::Idle) {
        ConnectAndDownload();
    }
}

void CaptureDialog::ConnectAndDownload() {
    SetPhase(Phase::Connecting);
    ui_->idList->clear();
    ui_->progressBar->setValue(0);
    host_.CloseDocumentsAndResetMenus();
    // The connect step holds the UI thread (about a second per port tried):
    // the dialog is on the screen and painted, greyed buttons and all, first.
    PaintNow();

    const ConnectionState state = EngineCall([&] { return engine_->Start(); });
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

void CaptureDialog::PaintNow() {
    // A dialog just shown may not be mapped yet; painting it then is lost.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    }
    repaint();
}

void CaptureDialog::OnProgressRange(int generation, int maximum) {
    if (!Current(generation)) return;
    // A range of 0 ... 0 turns the bar into a busy indicator; a recorder with
    // nothing to download gets an empty bar instead.
    ui_->progressBar->setRange(0, std::max(maximum, 1));
}

void CaptureDialog::OnProgress(int generation, std::uint32_t frames) {
    if (!Current(generation)) return;
    ui_->progressBar->setValue(static_cast<int>(frames));
}

void CaptureDialog::OnDownloadDone(int generation, ReceiveResult) {
    if (!Current(generation)) return;
    KeepWhatCame();
    // The receive side's own message (if any) was shown already; whatever
    // was decoded up to here is listed.
    bool any = false;
    for (const std::string& line : engine_->IdLines()) {
        ui_->idList->addItem(QString::fromStdString(line));
        host_.EnableDataCommands();
        any = true;
    }
    if (any) ui_->deleteDataButton->setEnabled(true);
    ui_->startButton->setText(UiQString(kDoneCaption));
    listed_ = true;
    ++generation_;
    EngineCall([&] { engine_->Stop(); });
    AfterStop();
    emit idsListed();
}

void CaptureDialog::ConfirmId() {
    const QList<QListWidgetItem*> selected = ui_->idList->selectedItems();
    if (selected.isEmpty()) {
        messages_.ShowMessage(UiText(kSelectPatientIdString, kSelectPatientId));
        return;
    }
    const int id = IdFromListLine(selected.front()->text().toStdString());
    host_.SelectId(store_, id, engine_->Traits().recordOrder);
    host_.OpenTrendDocument();
    QDialog::accept();
}

void CaptureDialog::OnStopClicked() {
    const bool downloading = phase_ == Phase::Downloading;
    // What the workers queued before they end is dropped, also while Stop
    // lets the dialog paint.
    ++generation_;
    EngineCall([&] { engine_->Stop(); });
    // The next Start empties the store: what came before Stop goes to disk now.
    if (downloading) KeepWhatCame();
    AfterStop();
}

void CaptureDialog::KeepWhatCame() {
    // A copy on disk before anything can clear the store; failing to make
    // it is said and stops nothing.
    const KeptDownload kept =
        KeepDownload(store_, engine_->Traits().recordOrder, host_.ReportTitleText(), downloadsRoot_);
    if (!kept.result) {
        messages_.ShowMessage(kept.result.message + "\n" + kept.result.detail);
    } else if (kept.files > 0) {
        host_.DownloadKept(kept.folder);
    }
}

void CaptureDialog::AfterStop() {
    ++generation_;
    ui_->progressBar->setValue(0);
    SetPhase(listed_ ? Phase::Listed : Phase::Idle);
}

void CaptureDialog::reject() {
    if (inEngineCall_) {
        // A close from the window system while the engine lets the dialog
        // paint: cancel once the engine call is over.
        rejectPending_ = true;
        return;
    }
    const bool downloading = phase_ == Phase::Downloading;
    ++generation_;
    engine_->Cancel();
    if (downloading) KeepWhatCame();
    // The current data set is left alone, unlike the recorder's own program:
    // it may be a recording still open in a view.
    if (!host_.ViewShown()) host_.DisableDataCommands();
    QDialog::reject();
}

void CaptureDialog::OnDeleteDataClicked() {
    DeleteDataDialog choose(DeleteDataDialog::IdsWithGroups(store_), store_.DataFormatCode, this);
    if (choose.exec() != QDialog::Accepted) return;
    EngineCall([&] { engine_->DeleteDeviceData(choose.Id(), choose.DataTypeCode()); });
    AfterStop();
}

void CaptureDialog::OnSetDateAndTimeClicked() {
    RecorderClockDialog choose(messages_, QDateTime::currentDateTime(), this);
    const bool accepted = choose.exec() == QDialog::Accepted;
    EngineCall([&] {
        if (accepted) {
            engine_->SetDeviceClock(choose.ClockWord());  // ends with Stop
        } else {
            engine_->Stop();
        }
    });
    AfterStop();
}

void CaptureDialog::OnSaveLogClicked() {
    const QString logPath =
        QFileDialog::getSaveFileName(this, ui_->saveLogButton->text(), "quenda-log.txt", "Text (*.txt);;All files (*)");
    if (logPath.isEmpty()) return;
    // The raw bytes go beside the log: quenda-log.txt -> quenda-log.bin.
    const QFileInfo info(logPath);
    SaveLog(logPath, info.dir().filePath(info.completeBaseName() + ".bin"));
}

bool CaptureDialog::SaveLog(const QString& logPath, const QString& dumpPath) {
    std::string error;
    const bool saved =
        exchanges_.SaveText(logPath.toStdString(), error) && exchanges_.SaveDump(dumpPath.toStdString(), error);
    if (!saved) messages_.ShowMessage(error);
    return saved;
}

// ---------------------------------------------------------------------------

int RunCaptureDialog(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                     BluetoothLink* bluetooth) {
    SerialPort port;
    SystemPortEnumerator ports;
    SystemClock clock;
    BluetoothAccess access;
    if (bluetooth) access = {bluetooth, [bluetooth] { bluetooth->ConnectSocket(); }};
    CaptureDialog dialog(host, store, settings, CaptureLinks{port, ports, clock, std::move(access)}, nullptr, parent);
    return dialog.exec();
}

int RunNewDataCapture(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                      BluetoothLink* bluetooth) {
    store.UseSerialLink = true;
    return RunCaptureDialog(parent, host, store, settings, bluetooth);
}

}  // namespace quenda
