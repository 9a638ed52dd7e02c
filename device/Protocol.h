#pragma once

#include "device/Commands.h"
#include "device/RecorderTraits.h"
#include "link/ByteStream.h"
#include "link/Clock.h"
#include "store/RecordingStore.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenda {

class MessageSink;

// What the recorder said about itself in its last accepted identification.
struct DeviceInfo {
    std::uint16_t productCode = 0;
    std::int32_t dataFormatCode = 0;
    std::uint32_t transferBaud = 0;
    std::uint32_t secondParameter = 0;  // kept, not used
    std::string version1;               // "%d.%d.%d", kept, not shown
    std::string version2;
};

struct Totals {
    int framesToDownload = 0;  // drives the download
    int secondTotal = 0;
    int thirdTotal = 0;
    // What the user is shown; 0 means the recorder holds no data.
    int TotalFrames() const { return framesToDownload + secondTotal + thirdTotal; }
};

// The recorder's command/reply exchanges, written once against a ByteStream.
// The link flag of the store (UseSerialLink) picks the few places where the
// serial and the Bluetooth link behave differently.
class RecorderProtocol {
public:
    // `traits` are those of the recorder identified before; IdentifyDevice
    // replaces them.
    RecorderProtocol(ByteStream& link, Clock& clock, RecordingStore& store, MessageSink& messages,
                     RecorderTraits traits = {});

    // Identification at the current baud. Any well-formed reply updates the
    // store's DataFormatCode and TransferBaud and the traits; true only for
    // our product code.
    bool IdentifyDevice();
    const DeviceInfo& LastDeviceInfo() const { return deviceInfo_; }
    const RecorderTraits& Traits() const { return traits_; }

    // The totals exchange; nullopt when the reply was missing or malformed.
    std::optional<Totals> QueryTotals();

    // One frame request. Safe to call from the request and receive threads at
    // once: each is a single write.
    bool RequestFrame(std::uint16_t frame);

    // Stop command twice, then discard whatever is still arriving.
    void StopTransfer();
    void DrainInput();

    // Erases recordings; shows the "Deleting Data ..." window while waiting and
    // the outcome message. False also when the command could not be sent.
    bool DeleteDeviceData(int id, int typeCode);

    // Sets the recorder's clock (see DeviceClockWord); shows the success message.
    bool SetDeviceClock(std::uint32_t clockWord);

    // A status reply collected into the fixed window (zeros where nothing came).
    struct ReplyWindow {
        std::array<std::uint8_t, kReplyWindowBytes> bytes{};
        std::size_t received = 0;  // bytes kept, at most kReplyWindowBytes
        int reads = 0;
    };

private:
    bool SerialLink() const { return store_.UseSerialLink; }
    bool Send(const CommandFrame& frame);
    // Up to maxReads reads with `pause` after each, until the window is full.
    void Collect(ReplyWindow& window, int maxReads, std::chrono::milliseconds pause);
    ReplyWindow CollectReply() {
        ReplyWindow w;
        Collect(w, kReplyReads, kReplyPause);
        return w;
    }

    static constexpr int kReplyReads = 6;
    static constexpr std::chrono::milliseconds kReplyPause{10};

    ByteStream& link_;
    Clock& clock_;
    RecordingStore& store_;
    MessageSink& messages_;
    DeviceInfo deviceInfo_;
    RecorderTraits traits_;
};

}  // namespace quenda
