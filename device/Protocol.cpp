#include "device/Protocol.h"

#include "device/MessageSink.h"

#include <algorithm>
#include <cstdio>

namespace quenda {

using namespace std::chrono_literals;

namespace {

// Status replies are read with a short wait per read on Bluetooth; the serial
// port is simply asked for what is queued.
constexpr std::chrono::milliseconds kBluetoothReplyWait{3};

std::uint32_t BigEndian(const std::uint8_t* p, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

std::string VersionText(const std::uint8_t* p) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d", p[0], p[1], p[2]);
    return text;
}

bool Framed(const RecorderProtocol::ReplyWindow& w) { return w.bytes[0] == kSync0 && w.bytes[1] == kSync1; }
bool StatusClear(const RecorderProtocol::ReplyWindow& w) { return (w.bytes[2] & 3) == 0; }

// Acknowledgements are tested on bytes 0, 1, 3 and 4 only.
bool Acknowledged(const RecorderProtocol::ReplyWindow& w, std::uint8_t replyCode) {
    return Framed(w) && w.bytes[3] == 0xFF && w.bytes[4] == replyCode;
}

}  // namespace

RecorderProtocol::RecorderProtocol(ByteStream& link, Clock& clock, RecordingStore& store, MessageSink& messages,
                                   RecorderTraits traits)
    : link_(link), clock_(clock), store_(store), messages_(messages), traits_(traits) {}

bool RecorderProtocol::Send(const CommandFrame& frame) {
    if (!SerialLink() && !link_.IsConnected()) return false;
    return link_.Send(frame);
}

void RecorderProtocol::Collect(ReplyWindow& window, int maxReads, std::chrono::milliseconds pause) {
    std::vector<std::uint8_t> chunk;
    for (int i = 0; i < maxReads && window.received < kReplyWindowBytes; ++i) {
        chunk.clear();
        if (SerialLink()) {
            link_.Receive(chunk, 0, 0ms);
        } else {
            link_.Receive(chunk, kReplyWindowBytes, kBluetoothReplyWait);
        }
        const std::size_t room = kReplyWindowBytes - window.received;
        const std::size_t take = std::min(room, chunk.size());
        std::copy_n(chunk.begin(), take, window.bytes.begin() + static_cast<std::ptrdiff_t>(window.received));
        window.received += take;
        ++window.reads;
        clock_.Sleep(pause);
    }
}

bool RecorderProtocol::IdentifyDevice() {
    const auto command = MakeCommand(kIdentifyDevice);
    if (!Send(command)) return false;
    clock_.Sleep(200ms);
    ReplyWindow w = CollectReply();
    if (w.received == 0) {
        Send(command);
        clock_.Sleep(200ms);
        w = CollectReply();
    }
    const auto& b = w.bytes;
    if (!Framed(w) || !StatusClear(w) || !(b[3] == 0xFF || b[4] == kReplyDeviceInfo)) return false;

    deviceInfo_.productCode = static_cast<std::uint16_t>(BigEndian(&b[5], 2));
    deviceInfo_.dataFormatCode = static_cast<std::int32_t>(BigEndian(&b[7], 2));
    deviceInfo_.transferBaud = BigEndian(&b[9], 4);
    deviceInfo_.secondParameter = BigEndian(&b[13], 4);
    deviceInfo_.version1 = VersionText(&b[17]);
    deviceInfo_.version2 = VersionText(&b[20]);
    store_.DataFormatCode = deviceInfo_.dataFormatCode;
    store_.TransferBaud = deviceInfo_.transferBaud;
    traits_ = TraitsFor(deviceInfo_.dataFormatCode);
    return deviceInfo_.productCode == kProductCode;
}

std::optional<Totals> RecorderProtocol::QueryTotals() {
    DrainInput();
    const auto command = MakeCommand(kQueryTotals);
    if (!Send(command)) return std::nullopt;
    clock_.Sleep(500ms);
    ReplyWindow w = CollectReply();
    if (w.received == 0) {
        if (!Send(command)) {
            messages_.Notify({NoticeKind::WriteFailed});
            // The serial link still looks at whatever arrives; Bluetooth gives up.
            if (!SerialLink()) return std::nullopt;
        }
        clock_.Sleep(500ms);
        w = CollectReply();
    }
    const auto& b = w.bytes;
    if (!Framed(w) || !StatusClear(w) || !(b[3] == 0xFF || b[4] == kReplyTotals)) return std::nullopt;
    Totals totals;
    totals.framesToDownload = static_cast<int>(BigEndian(&b[9], 2));
    totals.secondTotal = static_cast<int>(BigEndian(&b[13], 2));
    totals.thirdTotal = static_cast<int>(BigEndian(&b[17], 2));
    return totals;
}

bool RecorderProtocol::RequestFrame(std::uint16_t frame) {
    const bool lowByteFirst = SerialLink() && traits_.frameNumberLowByteFirst;
    return Send(MakeFrameRequest(frame, lowByteFirst));
}

void RecorderProtocol::StopTransfer() {
    const auto command = MakeCommand(kStopTransfer);
    Send(command);
    clock_.Sleep(500ms);
    Send(command);
    clock_.Sleep(100ms);
    DrainInput();
}

void RecorderProtocol::DrainInput() {
    std::vector<std::uint8_t> chunk;
    if (SerialLink()) {
        while (link_.IsConnected()) {
            chunk.clear();
            link_.Receive(chunk, 0, 0ms);
            if (chunk.empty()) break;
        }
    } else {
        while (link_.IsConnected()) {
            chunk.clear();
            link_.Receive(chunk, kReplyWindowBytes, kBluetoothReplyWait);
            if (chunk.empty()) break;
        }
    }
}

bool RecorderProtocol::DeleteDeviceData(int id, int typeCode) {
    if (!Send(MakeDeleteCommand(id, typeCode))) return false;
    messages_.ShowDeleting(true);
    // Erasing takes the recorder a while: up to eleven reads a second apart.
    ReplyWindow w;
    Collect(w, 11, 1000ms);
    messages_.ShowDeleting(false);
    const bool ok = Acknowledged(w, kReplyDeleteAck);
    messages_.Notify({ok ? NoticeKind::Deleted : NoticeKind::DeleteError});
    return ok;
}

bool RecorderProtocol::SetDeviceClock(std::uint32_t word) {
    auto byte = [word](int i) { return static_cast<std::uint8_t>(word >> (8 * i)); };
    if (!Send(MakeCommand(kSetClockLow, byte(0), byte(1)))) return false;
    clock_.Sleep(100ms);
    ReplyWindow w = CollectReply();
    if (!Acknowledged(w, kReplyClockAck)) return false;

    if (!Send(MakeCommand(kSetClockHigh, byte(2), byte(3)))) {
        if (SerialLink()) messages_.Notify({NoticeKind::WriteFailed});
        return false;
    }
    clock_.Sleep(100ms);
    // The second reply is collected into the same window and not examined: the
    // first acknowledgement decides. The serial side gets one more read only.
    if (w.received < kReplyWindowBytes) {
        Collect(w, SerialLink() ? 1 : kReplyReads, kReplyPause);
    }
    messages_.Notify({NoticeKind::ClockSet});
    return true;
}

}  // namespace quenda
