#pragma once

#include "device/Commands.h"
#include "device/SampleCodec.h"
#include "store/SampleRecord.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda::sim {

using Bytes = std::vector<std::uint8_t>;

// L is at most kMaxFramePayload (4,192) bytes, so a frame holds at most 524 samples.
inline constexpr int kMaxSamplesPerFrame = static_cast<int>(kMaxFramePayload / kWireSampleBytes);

// Frame status words are frame numbers below these markers.
inline constexpr int kMaxFrames = kStatusRefused;

// What the recorder says about itself in the device-information reply.
struct DeviceInfo {
    std::uint16_t productCode = kProductCode;
    std::uint16_t dataFormatCode = 2;
    std::uint32_t transferBaud = 115'200;
    // Hosts keep this word and do not use it; we report the capacity of one ID
    // in samples.
    std::uint32_t secondParameter = kMaxSamples;
    std::array<std::uint8_t, 3> firmwareVersion{1, 2, 3};
    std::array<std::uint8_t, 3> hardwareVersion{3, 2, 4};
};

// Recorders with these format codes keep their memory newest first, so each
// ID's samples go out in descending time order.
bool StoresNewestFirst(int dataFormatCode);

// The serial link of format-code-3 recorders sends frame numbers low byte first.
bool FrameNumberLowByteFirst(int dataFormatCode);

// 38-byte status replies: 55 AA, flags 00, FF, reply code, then the fields.
Bytes DeviceInfoReply(const DeviceInfo& info);
Bytes TotalsReply(std::uint16_t framesToDownload, std::uint16_t secondTotal, std::uint16_t thirdTotal);
Bytes AckReply(ReplyCode code);

// 55 AA 00, status word, L, the samples (8 bytes each, in the byte order of the
// format code), and a trailing byte: the low byte of the sum of bytes 2..6+L.
Bytes DataFrame(std::uint16_t status, std::span<const SampleRecord> samples, int dataFormatCode);

}  // namespace quenda::sim
