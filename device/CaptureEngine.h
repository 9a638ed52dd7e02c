#pragma once

#include "device/AutoResetEvent.h"
#include "device/FrameDecoder.h"
#include "device/Notice.h"
#include "device/Protocol.h"
#include "link/ExchangeLog.h"
#include "link/PortDiscovery.h"
#include "link/SerialLink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace quenda {

class MessageSink;
class Settings;

// Outcome of the connect step.
enum class ConnectionState : int {
    SyncError = 0,  // identified, but the totals exchange failed
    NoPort = 1,     // no port answered the identification
    Connected = 2,  // download started
    NoData = 3,     // the recorder holds nothing
};

// How a download ended: by itself, or stopped by the user.
enum class ReceiveResult : int {
    Complete = 0,
    NotConnected = 1,  // Bluetooth link lost
    Timeout = 2,       // four repeat requests went unanswered
    Overflow = 3,      // an ID was full and samples were dropped
    ReadFailed = 4,    // the serial port failed (e.g. unplugged)
    OutOfBuffer = 5,   // one poll brought more than a frame buffer
    Cancelled = 6,     // Stop, Cancel or Ctrl+C; the engine's done callback never carries it
};

// What the user is told of a result; nothing for Complete or Cancelled (the
// user asked for it).
std::optional<NoticeKind> ReceiveResultNotice(ReceiveResult result);

// "ID %3d     total %10d Groups", and the ID read back from such a line.
std::string IdListLine(int id, int count);
int IdFromListLine(const std::string& line);

// The Bluetooth link, when the program has one: its byte stream and the
// operation that (re)connects its socket before an exchange.
struct BluetoothAccess {
    ByteStream* stream = nullptr;
    std::function<void()> connectSocket;
};

// Everything the capture dialog does with the recorder, without the dialog:
// finding the port, the connect step, the download on two worker threads,
// Stop and Cancel, and the clock and delete operations.
//
// Callbacks run on the worker threads. They must not call back into the
// engine; a GUI turns them into queued signals, the CLI into a wake-up.
class CaptureEngine {
public:
    struct Callbacks {
        std::function<void(int maximum)> progressRange;  // after a good totals exchange
        std::function<void(std::uint32_t frames)> progress;
        std::function<void(ReceiveResult)> done;  // the receive side ended by itself
    };
    CaptureEngine(RecordingStore& store, Settings& settings, SerialLink& serial, PortEnumerator& ports,
                  MessageSink& messages, Clock& clock, BluetoothAccess bluetooth = {});
    ~CaptureEngine();
    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    void SetCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
    // Records every byte of each operation (Start, DeleteDeviceData,
    // SetDeviceClock) in `log`, which forgets the previous operation's.
    void SetExchangeLog(ExchangeLog* log);

    // What the dialog does when it opens: read the remembered port, list the
    // ports present.
    void Open();
    // Try only this port (no list, no numbered pass).
    void RestrictToPort(std::string name) { onlyPort_ = std::move(name); }
    // Whether the dialog connects without waiting for a click.
    bool StartsAtOnce() const;
    const PortLists& Ports() const { return ports_; }
    const std::string& RememberedPort() const { return rememberedPort_; }

    // Start: empty the store, run the connect step, show its message, and on
    // success start the download. Returns the connect step's outcome.
    ConnectionState Start();

    // Ends the workers (they stop at their next wait, nothing is killed), sends
    // the stop command, closes the port. Decoded samples stay in the store.
    void Stop();
    // Stop when a download is under way, else just close the port; back to the
    // serial link.
    void Cancel();

    bool DownloadActive() const { return downloadActive_; }
    int FramesToDownload() const { return totals_.framesToDownload; }
    int TotalFrames() const { return totals_.TotalFrames(); }
    ConnectionState State() const { return state_; }
    // The port the last connect step or operation found; empty when none.
    const std::string& FoundPort() const { return foundPort_; }
    // The first port the last search was refused access to (permission
    // denied); empty when none was. A failed search is worth a hint then.
    const std::string& RefusedPort() const { return refusedPort_; }

    // Lines for every ID with samples, ascending.
    std::vector<std::string> IdLines() const;

    // Recorder maintenance. Each finds the recorder like the connect step,
    // shows its outcome message and ends with Stop. True on success.
    bool DeleteDeviceData(int id, int typeCode);
    bool SetDeviceClock(std::uint32_t clockWord);

    // What the last identified recorder's format code decides (before any
    // identification: the format code the store kept).
    const RecorderTraits& Traits() const { return traits_; }

private:
    enum class Operation { Connect, Delete, Clock };

    ByteStream& ActiveLink();
    RecorderProtocol Protocol() { return RecorderProtocol(ActiveLink(), clock_, store_, messages_, traits_); }
    // IdentifyDevice, keeping the traits it worked out.
    bool Identify();
    // Port search + open at 4,800 + identify + reopen at the transfer baud +
    // remember the port, then `next` on the open port. False when no port
    // identified.
    bool FindRecorder(Operation op, const std::function<void()>& next);
    bool ReopenAtTransferBaud(const std::string& name);
    void NoteOpenFailure(const std::string& name);
    ConnectionState ConnectSerial();
    ConnectionState ConnectBluetooth();
    ConnectionState QueryTotals();
    void StartDownload();
    void RequestLoop(std::stop_token stop);
    void ReceiveLoop(std::stop_token stop);
    void EndWorkers();
    void ResetTransfer();
    void BeginOperation();

    RecordingStore& store_;
    Settings& settings_;
    SerialLink& serial_;
    PortEnumerator& enumerator_;
    MessageSink& messages_;
    Clock& clock_;
    BluetoothAccess bluetooth_;
    Callbacks callbacks_;
    ExchangeLog* log_ = nullptr;
    std::unique_ptr<LoggingStream> logging_;

    PortLists ports_;
    std::string rememberedPort_;
    std::string onlyPort_;
    std::string foundPort_;
    std::string refusedPort_;

    ConnectionState state_ = ConnectionState::SyncError;
    Totals totals_;
    RecorderTraits traits_;
    bool downloadActive_ = false;
    AutoResetEvent frameComplete_;
    std::unique_ptr<FrameDecoder> decoder_;
    std::jthread requestThread_;
    std::jthread receiveThread_;
};

}  // namespace quenda
