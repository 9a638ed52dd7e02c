#pragma once

#include <cstdint>

namespace quenda {

// One second of a recording, as the recorder stamped it. Field order is the
// order of the 11-byte record in the data file.
struct SampleRecord {
    std::uint8_t id = 0;         // user ID 1..127 (7 bits on the wire); a download never stores 0
    std::uint8_t year = 0;       // years after 2000, 0..127
    std::uint8_t month = 0;      // 1..12
    std::uint8_t day = 0;        // 1..31
    std::uint8_t hour = 0;       // 0..23
    std::uint8_t minute = 0;     // 0..59
    std::uint8_t second = 0;     // 0..59
    std::uint8_t spo2 = 0;       // oxygen saturation, percent, 0..127
    std::uint8_t pulseRate = 0;  // beats per minute, 0..255
    std::uint16_t auxValue = 0;  // 9-bit value 0..511; kept and saved, never shown

    bool operator==(const SampleRecord&) const = default;
};

// 144 hours at one sample per second: the size of the current data set and the
// most one ID may hold.
inline constexpr int kMaxSamples = 518'400;

// IDs 1..128 have a slot; a download can fill only 1..127.
inline constexpr int kIdSlots = 128;

}  // namespace quenda
