#pragma once

#include "device/CaptureEngine.h"
#include "device/MessageSink.h"
#include "widgets/UiMailbox.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

namespace Ui {
class CaptureDialog;
}

namespace quenda {

class BluetoothLink;
class CaptureHost;
class DeletingDataNotice;
class RecordingStore;
class Settings;

// The capture dialog's messages as message boxes, and the "Deleting Data ..."
// window. Callable from any thread: on the UI thread a box is modal and shows
// at once (its event loop keeps delivering the download's progress); from a
// worker thread the text is queued to the UI thread and the worker goes on, so
// a worker never waits for a user who may be about to press Stop.
class CaptureMessageSink final : public QObject, public MessageSink {
    Q_OBJECT
public:
    // Create on the UI thread; `boxParent` is the parent of the boxes.
    explicit CaptureMessageSink(QWidget* boxParent, QObject* parent = nullptr);
    ~CaptureMessageSink() override;

    void ShowMessage(std::string_view text) override;
    void Notify(const Notice& notice) override;
    void ShowDeleting(bool visible) override;

    // The "Deleting Data ..." window while it is up.
    QWidget* DeletingWindow() const;

private:
    // On the UI thread a box at once, from elsewhere a box queued to it.
    void Show(const QString& text);
    void ShowBox(const QString& text);

    QPointer<QWidget> boxParent_;
    QPointer<QWidget> deleting_;
    UiMailbox mailbox_;
};

// The links the capture dialog reaches the recorder through.
struct CaptureLinks {
    SerialLink& serial;
    PortEnumerator& ports;
    Clock& clock;
    BluetoothAccess bluetooth;  // empty without a Bluetooth link
};

// "New Data Capture" (dialog template 127): finds the recorder, downloads
// everything it holds on the engine's worker threads while the progress bar
// follows, lists the IDs found, and on Done makes the chosen ID current and
// opens a Trend document. Also hosts the recorder's clock and delete commands.
//
// The engine's worker callbacks reach the dialog as queued calls; nothing
// here is touched from a worker thread.
class CaptureDialog : public QDialog {
    Q_OBJECT
public:
    // Control ids of the template, kept as the "controlId" property.
    enum ControlId {
        kIdList = 1003,
        kProgress = 1004,
        kStartButton = 1002,
        kStopButton = 1005,
        kDeleteDataButton = 32804,
        kSetDateAndTimeButton = 1043,
        kCancelButton = 2,
        kExtendButton = 4,
        kSeparator = 1035,
        kPortBox = 1037,
    };

    // Messages go to `messages` when given (tests), else to message boxes.
    // Reads "DefaultCOM" and lists the ports at once; the first showing starts
    // the connect step by itself when the serial link is selected or a
    // Bluetooth serial port is present.
    CaptureDialog(CaptureHost& host, RecordingStore& store, Settings& settings, CaptureLinks links,
                  MessageSink* messages = nullptr, QWidget* parent = nullptr);
    // Ends any worker still running and closes the port; sends nothing.
    ~CaptureDialog() override;

    CaptureEngine& Engine() { return *engine_; }
    // The template's height before the dialog was cut at the separator.
    int FullHeight() const { return fullHeight_; }
    // True once the IDs are listed: button 1002 then reads "Done".
    bool Listed() const { return listed_; }
    // The bytes of the last operation with the recorder, for "Save log…".
    const ExchangeLog& Exchanges() const { return exchanges_; }
    // Writes the log as text to `logPath` and the bytes received to `dumpPath`;
    // says what failed in a message.
    bool SaveLog(const QString& logPath, const QString& dumpPath);
    // Where every download is kept, one folder each (DefaultDownloadsRoot()
    // unless set).
    void KeepDownloadsIn(std::filesystem::path root) { downloadsRoot_ = std::move(root); }

public slots:
    // Cancel: button 2, Escape and closing the window.
    void reject() override;

signals:
    // The connect step ended with this outcome.
    void connectStepFinished(quenda::ConnectionState state);
    // The download ended by itself and the IDs are listed.
    void idsListed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class Phase { Idle, Connecting, Downloading, Listed };
    class PaintingClock;
    class EngineSink;
    static constexpr int kExposeWaitMs = 500;

    void OnStartClicked();
    void ConnectAndDownload();
    void ConfirmId();
    void OnStopClicked();
    void OnDeleteDataClicked();
    void OnSetDateAndTimeClicked();
    void OnSaveLogClicked();
    // The button states and the progress bar after the engine's Stop.
    void AfterStop();
    void SetPhase(Phase phase);
    // Keeps a copy of every ID in the store on disk (see KeepDownload).
    void KeepWhatCame();
    void PaintNow();
    // Runs an engine operation that holds the UI thread; a Cancel that came
    // meanwhile runs after it.
    template <typename F>
    auto EngineCall(F&& call) {
        struct Guard {
            CaptureDialog& dialog;
            explicit Guard(CaptureDialog& d) : dialog(d) { dialog.inEngineCall_ = true; }
            ~Guard() {
                dialog.inEngineCall_ = false;
                if (std::exchange(dialog.rejectPending_, false)) {
                    QMetaObject::invokeMethod(&dialog, &CaptureDialog::reject, Qt::QueuedConnection);
                }
            }
        } guard(*this);
        return call();
    }

    void OnProgressRange(int generation, int maximum);
    void OnProgress(int generation, std::uint32_t frames);
    void OnDownloadDone(int generation, ReceiveResult result);
    bool Current(int generation) const { return generation == generation_.load(); }

    std::unique_ptr<Ui::CaptureDialog> ui_;
    UiMailbox mailbox_;
    CaptureHost& host_;
    RecordingStore& store_;
    std::unique_ptr<CaptureMessageSink> ownSink_;
    MessageSink& messages_;
    std::unique_ptr<PaintingClock> clock_;
    std::unique_ptr<EngineSink> engineSink_;
    ExchangeLog exchanges_;
    std::filesystem::path downloadsRoot_;
    std::unique_ptr<CaptureEngine> engine_;

    // Bumped whenever the workers are ended, so calls they queued before
    // that are dropped instead of moving a reset progress bar.
    std::atomic<int> generation_{0};
    Phase phase_ = Phase::Idle;
    bool listed_ = false;
    bool shownOnce_ = false;
    bool inEngineCall_ = false;
    bool rejectPending_ = false;
    int fullHeight_ = 0;
};

// New Data Capture and the device-arrival notification: selects the serial
// link and runs the capture dialog modally over the system's serial ports.
// `bluetooth` serves the dialog's clock and delete commands should the link be
// switched. Returns the dialog's result (QDialog::Accepted after Done).
int RunNewDataCapture(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                      BluetoothLink* bluetooth = nullptr);

// Runs the capture dialog modally on whichever link `store.UseSerialLink`
// selects.
int RunCaptureDialog(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                     BluetoothLink* bluetooth);

}  // namespace quenda
