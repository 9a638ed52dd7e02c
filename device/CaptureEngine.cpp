#include "device/CaptureEngine.h"

#include "base/Settings.h"
#include "device/MessageSink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quenda {

using namespace std::chrono_literals;

namespace {

constexpr unsigned kSearchBaud = 4800;
constexpr int kIdlePollsBeforeRepeat = 50;
constexpr int kRepeatLimit = 3;
constexpr std::chrono::milliseconds kBluetoothPollWait{50};

// Stands in for the Bluetooth link when the program has none.
class NoLink final : public ByteStream {
public:
    bool Send(std::span<const std::uint8_t>) override { return false; }
    bool Receive(std::vector<std::uint8_t>&, std::size_t, std::chrono::milliseconds) override { return false; }
    bool IsConnected() override { return false; }
};
NoLink noLink;

}  // namespace

std::optional<NoticeKind> ReceiveResultNotice(ReceiveResult result) {
    switch (result) {
        case ReceiveResult::Complete:
        case ReceiveResult::Cancelled: return std::nullopt;
        case ReceiveResult::NotConnected: return NoticeKind::NotConnected;
        case ReceiveResult::Timeout: return NoticeKind::ReadTimeout;
        case ReceiveResult::Overflow: return NoticeKind::Overflow;
        case ReceiveResult::ReadFailed: return NoticeKind::ReadFailed;
        case ReceiveResult::OutOfBuffer: return NoticeKind::OutOfBuffer;
    }
    return std::nullopt;
}

std::string IdListLine(int id, int count) {
    char line[64];
    std::snprintf(line, sizeof line, "ID %3d     total %10d Groups", id, count);
    return line;
}

int IdFromListLine(const std::string& line) {
    // The first six characters are "ID" and the number field; spaces go.
    const std::string head = line.substr(0, 6);
    const std::string field = head.size() > 2 ? head.substr(head.size() - 4) : std::string();
    int id = 0;
    bool any = false;
    for (char c : field) {
        if (c == ' ') continue;
        if (c < '0' || c > '9') break;
        id = id * 10 + (c - '0');
        any = true;
    }
    return any ? id : 0;
}

CaptureEngine::CaptureEngine(RecordingStore& store, Settings& settings, SerialLink& serial, PortEnumerator& ports,
                             MessageSink& messages, Clock& clock, BluetoothAccess bluetooth)
    : store_(store),
      settings_(settings),
      serial_(serial),
      enumerator_(ports),
      messages_(messages),
      clock_(clock),
      bluetooth_(std::move(bluetooth)),
      traits_(TraitsFor(store.DataFormatCode)) {}

CaptureEngine::~CaptureEngine() {
    EndWorkers();
    serial_.Close();
}

void CaptureEngine::Open() {
    rememberedPort_ = settings_.ReadString(settings_key::kDefaultCom, "", kDefaultComBuffer);
    ports_ = SortPorts(enumerator_.FriendlyNames());
}

bool CaptureEngine::StartsAtOnce() const { return store_.UseSerialLink || !ports_.bluetooth.empty(); }

bool CaptureEngine::Identify() {
    RecorderProtocol protocol = Protocol();
    const bool ours = protocol.IdentifyDevice();
    traits_ = protocol.Traits();
    return ours;
}

ByteStream& CaptureEngine::ActiveLink() {
    ByteStream& link = store_.UseSerialLink ? serial_ : bluetooth_.stream ? *bluetooth_.stream : noLink;
    if (!logging_) return link;
    logging_->Attach(link);
    return *logging_;
}

void CaptureEngine::SetExchangeLog(ExchangeLog* log) {
    log_ = log;
    logging_ = log ? std::make_unique<LoggingStream>(*log) : nullptr;
}

void CaptureEngine::BeginOperation() {
    if (log_) log_->Clear();
}

std::vector<std::string> CaptureEngine::IdLines() const {
    std::vector<std::string> lines;
    for (int id = 1; id <= kIdSlots; ++id) {
        if (const int count = store_.IdCount(id); count > 0) lines.push_back(IdListLine(id, count));
    }
    return lines;
}

bool CaptureEngine::ReopenAtTransferBaud(const std::string& name) {
    serial_.Close();
    if (serial_.Open(name, store_.TransferBaud)) return true;
    NoteOpenFailure(name);
    serial_.Close();
    return false;
}

void CaptureEngine::NoteOpenFailure(const std::string& name) {
    if (refusedPort_.empty() && serial_.OpenFailureErrno() == EACCES) refusedPort_ = name;
}

bool CaptureEngine::FindRecorder(Operation op, const std::function<void()>& next) {
    foundPort_.clear();
    refusedPort_.clear();
    auto attempt = [&](const PortCandidate& candidate) {
        serial_.Close();
        if (!serial_.Open(candidate.name, kSearchBaud)) {
            NoteOpenFailure(candidate.name);
            return false;
        }
        if (!Identify()) {
            serial_.Close();
            return false;
        }
        foundPort_ = candidate.name;
        if (!ReopenAtTransferBaud(candidate.name)) {
            if (op != Operation::Clock) return false;
            // A recorder that identified is never abandoned for another port.
            messages_.Notify({NoticeKind::ClockError});
            return true;
        }
        // The connect step already knows the remembered port; the maintenance
        // commands write whatever port answered.
        if (op != Operation::Connect || candidate.group != PortGroup::Remembered) {
            settings_.WriteString(settings_key::kDefaultCom, candidate.name);
        }
        next();
        return true;
    };

    if (!onlyPort_.empty()) {
        return attempt(PortCandidate{onlyPort_, PortGroup::Other, {}});
    }
    return PortSearch(rememberedPort_, ports_, op == Operation::Connect, attempt).has_value();
}

ConnectionState CaptureEngine::QueryTotals() {
    totals_ = Totals{};
    const auto totals = Protocol().QueryTotals();
    if (!totals) {
        Stop();
        return ConnectionState::SyncError;
    }
    totals_ = *totals;
    if (callbacks_.progressRange) callbacks_.progressRange(totals_.framesToDownload);
    return totals_.TotalFrames() == 0 ? ConnectionState::NoData : ConnectionState::Connected;
}

ConnectionState CaptureEngine::ConnectSerial() {
    ConnectionState state = ConnectionState::NoPort;
    FindRecorder(Operation::Connect, [&] { state = QueryTotals(); });
    return state;
}

ConnectionState CaptureEngine::ConnectBluetooth() {
    if (!bluetooth_.stream || !bluetooth_.stream->IsConnected()) return ConnectionState::NoPort;
    if (bluetooth_.connectSocket) bluetooth_.connectSocket();
    clock_.Sleep(100ms);
    if (!Identify()) return ConnectionState::NoPort;
    return QueryTotals();
}

ConnectionState CaptureEngine::Start() {
    BeginOperation();
    store_.ClearStore();
    // Stop, run on failures below, resets state_; the caller gets the outcome.
    const ConnectionState state = store_.UseSerialLink ? ConnectSerial() : ConnectBluetooth();
    state_ = state;
    switch (state) {
        case ConnectionState::SyncError: messages_.Notify({NoticeKind::SyncError}); break;
        case ConnectionState::NoPort: messages_.Notify({NoticeKind::NoPort, 0, refusedPort_}); break;
        case ConnectionState::NoData:
            // Stopped first: the recorder is told to stop and the port is
            // closed before the message, so nothing waits behind its box.
            Stop();
            messages_.Notify({NoticeKind::NoData});
            break;
        case ConnectionState::Connected: {
            clock_.Sleep(500ms);
            StartDownload();
            messages_.Notify({NoticeKind::Connected, totals_.TotalFrames()});
            break;
        }
    }
    return state;
}

void CaptureEngine::StartDownload() {
    EndWorkers();
    store_.FramesReceived = 0;
    decoder_ = std::make_unique<FrameDecoder>(
        store_, traits_.sampleOrder,
        [this](std::uint32_t frames) {
            frameComplete_.Set();
            if (callbacks_.progress) callbacks_.progress(frames);
        },
        &messages_);
    frameComplete_.Reset();
    frameComplete_.Set();  // frame 0 goes out at once
    downloadActive_ = true;
    requestThread_ = std::jthread([this](std::stop_token stop) { RequestLoop(stop); });
    receiveThread_ = std::jthread([this](std::stop_token stop) { ReceiveLoop(stop); });
}

void CaptureEngine::RequestLoop(std::stop_token stop) {
    RecorderProtocol protocol = Protocol();
    ByteStream& link = ActiveLink();
    for (int frame = 0;; ++frame) {
        if (decoder_->Status() == kStatusRefused || frame >= totals_.framesToDownload) return;
        if (!frameComplete_.Wait(stop)) return;
        if (!store_.UseSerialLink && !link.IsConnected()) {
            messages_.Notify({NoticeKind::NotConnected});
            return;
        }
        if (!protocol.RequestFrame(static_cast<std::uint16_t>(frame))) return;
        if (decoder_->Status() == kStatusNoMoreData) return;
    }
}

void CaptureEngine::ReceiveLoop(std::stop_token stop) {
    RecorderProtocol protocol = Protocol();
    ByteStream& link = ActiveLink();
    const bool serial = store_.UseSerialLink;
    const auto gap = traits_.pollGap;
    const auto framesWanted = static_cast<std::uint32_t>(totals_.framesToDownload);
    int idlePolls = 0;
    int repeats = 0;
    ReceiveResult result = ReceiveResult::Complete;
    std::vector<std::uint8_t> chunk;
    chunk.reserve(kFrameBufferBytes * 2);
    auto lastPoll = clock_.Now();

    auto running = [&] {
        const auto status = decoder_->Status();
        return status != kStatusNoMoreData && status != kStatusRefused && store_.FramesReceived < framesWanted;
    };
    while (running()) {
        const auto due = lastPoll + gap;
        if (const auto now = clock_.Now(); now < due) {
            if (!clock_.Sleep(std::chrono::ceil<std::chrono::milliseconds>(due - now), stop)) return;
        }
        if (stop.stop_requested()) return;
        lastPoll = clock_.Now();

        chunk.clear();
        if (serial) {
            if (!link.Receive(chunk, 0, 0ms)) {
                result = ReceiveResult::ReadFailed;
                break;
            }
            if (chunk.size() > kFrameBufferBytes) {
                result = ReceiveResult::OutOfBuffer;
                break;
            }
        } else {
            if (!link.IsConnected()) {
                result = ReceiveResult::NotConnected;
                break;
            }
            link.Receive(chunk, kFrameBufferBytes, kBluetoothPollWait);
        }
        if (stop.stop_requested()) return;

        if (chunk.empty()) {
            if (++idlePolls > kIdlePollsBeforeRepeat) {
                protocol.RequestFrame(static_cast<std::uint16_t>(store_.FramesReceived.load()));
                idlePolls = 0;
                if (++repeats > kRepeatLimit) {
                    result = ReceiveResult::Timeout;
                    break;
                }
            }
        } else {
            idlePolls = 0;
            decoder_->Feed(chunk);
        }
    }
    if (result == ReceiveResult::Complete && decoder_->SamplesDiscarded()) result = ReceiveResult::Overflow;
    if (const auto notice = ReceiveResultNotice(result)) messages_.Notify({*notice});
    if (callbacks_.progress) callbacks_.progress(framesWanted);
    if (callbacks_.done) callbacks_.done(result);
}

void CaptureEngine::EndWorkers() {
    // The request side first, as it may be waiting for a frame that will
    // never complete; both wake on the stop request.
    if (requestThread_.joinable()) {
        requestThread_.request_stop();
        requestThread_.join();
    }
    if (receiveThread_.joinable()) {
        receiveThread_.request_stop();
        receiveThread_.join();
    }
}

void CaptureEngine::ResetTransfer() {
    totals_ = Totals{};
    decoder_.reset();
    frameComplete_.Reset();
    state_ = ConnectionState::SyncError;
    downloadActive_ = false;
}

void CaptureEngine::Stop() {
    EndWorkers();
    clock_.Sleep(500ms);
    Protocol().StopTransfer();
    serial_.Close();
    // The current data set is left alone: it may be a recording open in a view.
    ResetTransfer();
}

void CaptureEngine::Cancel() {
    if (downloadActive_) {
        Stop();
    } else {
        serial_.Close();
    }
    store_.UseSerialLink = true;
    ResetTransfer();
}

bool CaptureEngine::DeleteDeviceData(int id, int typeCode) {
    BeginOperation();
    bool deleted = false;
    auto erase = [&] {
        const auto totals = Protocol().QueryTotals();
        totals_ = totals.value_or(Totals{});
        if (totals_.TotalFrames() == 0) {
            messages_.Notify({NoticeKind::NoData});
        } else if (id != 0 && !traits_.canDeleteSingleId) {
            // Such a recorder would erase everything whatever ID it is sent.
            messages_.Notify({NoticeKind::SingleIdDeleteRefused});
        } else {
            deleted = Protocol().DeleteDeviceData(id, typeCode);
        }
        Stop();
    };
    if (store_.UseSerialLink) {
        if (!FindRecorder(Operation::Delete, erase)) messages_.Notify({NoticeKind::NoPort, 0, refusedPort_});
    } else if (bluetooth_.stream && bluetooth_.stream->IsConnected()) {
        if (bluetooth_.connectSocket) bluetooth_.connectSocket();
        if (Identify()) erase();
    }
    return deleted;
}

bool CaptureEngine::SetDeviceClock(std::uint32_t clockWord) {
    BeginOperation();
    bool set = false;
    auto setClock = [&] {
        set = Protocol().SetDeviceClock(clockWord);
        if (!set) messages_.Notify({NoticeKind::ClockError});
    };
    if (store_.UseSerialLink) {
        if (!FindRecorder(Operation::Clock, setClock)) messages_.Notify({NoticeKind::NoPort, 0, refusedPort_});
    } else if (bluetooth_.stream && bluetooth_.stream->IsConnected()) {
        if (bluetooth_.connectSocket) bluetooth_.connectSocket();
        if (Identify()) setClock();
    }
    Stop();
    return set;
}

}  // namespace quenda
