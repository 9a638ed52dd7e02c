#include "tools/sim/Wire.h"

#include <algorithm>
#include <numeric>

namespace quenda::sim {

namespace {

void PutBigEndian(Bytes& out, std::size_t offset, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

Bytes StatusReply(std::uint8_t replyCode) {
    Bytes out(kReplyWindowBytes, 0);
    out[0] = kSync0;
    out[1] = kSync1;
    out[2] = 0x00;  // status flags: bits 0 and 1 clear means "all well"
    out[3] = 0xFF;
    out[4] = replyCode;
    return out;
}

}  // namespace

bool StoresNewestFirst(int dataFormatCode) {
    return dataFormatCode == 1 || dataFormatCode == 3 || dataFormatCode == 4 || dataFormatCode == 11;
}

bool FrameNumberLowByteFirst(int dataFormatCode) { return dataFormatCode == 3; }

Bytes DeviceInfoReply(const DeviceInfo& info) {
    Bytes out = StatusReply(kReplyDeviceInfo);
    PutBigEndian(out, 5, info.productCode, 2);
    PutBigEndian(out, 7, info.dataFormatCode, 2);
    PutBigEndian(out, 9, info.transferBaud, 4);
    PutBigEndian(out, 13, info.secondParameter, 4);
    for (std::size_t i = 0; i < 3; ++i) {
        out[17 + i] = info.firmwareVersion[i];
        out[20 + i] = info.hardwareVersion[i];
    }
    return out;
}

Bytes TotalsReply(std::uint16_t framesToDownload, std::uint16_t secondTotal, std::uint16_t thirdTotal) {
    Bytes out = StatusReply(kReplyTotals);
    PutBigEndian(out, 9, framesToDownload, 2);
    PutBigEndian(out, 13, secondTotal, 2);
    PutBigEndian(out, 17, thirdTotal, 2);
    return out;
}

Bytes AckReply(ReplyCode code) { return StatusReply(code); }

Bytes DataFrame(std::uint16_t status, std::span<const SampleRecord> samples, int dataFormatCode) {
    const std::size_t payload = samples.size() * kWireSampleBytes;
    Bytes out(kFrameHeaderBytes + payload + 1, 0);
    out[0] = kSync0;
    out[1] = kSync1;
    out[2] = 0x00;
    PutBigEndian(out, 3, status, 2);
    PutBigEndian(out, 5, static_cast<std::uint32_t>(payload), 2);
    auto at = out.begin() + kFrameHeaderBytes;
    for (const SampleRecord& r : samples) {
        const auto wire = EncodeSample(r, TraitsFor(dataFormatCode).sampleOrder);
        at = std::copy(wire.begin(), wire.end(), at);
    }
    out.back() = static_cast<std::uint8_t>(std::accumulate(out.begin() + 2, out.end() - 1, 0u));
    return out;
}

}  // namespace quenda::sim
