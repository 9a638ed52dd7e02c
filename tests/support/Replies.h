#pragma once

#include <cstdint>
#include <vector>

// Status replies as a recorder sends them, for scripted peers.
namespace quenda::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes DeviceInfoReply(std::uint16_t product, std::uint16_t format, std::uint32_t baud, std::uint8_t flags = 0) {
    Bytes r(38, 0);
    r[0] = 0x55;
    r[1] = 0xAA;
    r[2] = flags;
    r[3] = 0xFF;
    r[4] = 0xFF;
    r[5] = static_cast<std::uint8_t>(product >> 8);
    r[6] = static_cast<std::uint8_t>(product);
    r[7] = static_cast<std::uint8_t>(format >> 8);
    r[8] = static_cast<std::uint8_t>(format);
    for (int i = 0; i < 4; ++i) r[9 + i] = static_cast<std::uint8_t>(baud >> (24 - 8 * i));
    r[17] = 1;
    r[18] = 2;
    r[19] = 3;
    r[20] = 3;
    r[21] = 2;
    r[22] = 4;
    return r;
}

inline Bytes TotalsReply(int frames, int second = 0, int third = 0) {
    Bytes r(38, 0);
    r[0] = 0x55;
    r[1] = 0xAA;
    r[3] = 0xFF;
    r[4] = 0xFE;
    r[9] = static_cast<std::uint8_t>(frames >> 8);
    r[10] = static_cast<std::uint8_t>(frames);
    r[13] = static_cast<std::uint8_t>(second >> 8);
    r[14] = static_cast<std::uint8_t>(second);
    r[17] = static_cast<std::uint8_t>(third >> 8);
    r[18] = static_cast<std::uint8_t>(third);
    return r;
}

// Byte 2 is not examined in acknowledgements; make it non-zero to prove it.
inline Bytes Ack(std::uint8_t code) {
    Bytes r(38, 0);
    r[0] = 0x55;
    r[1] = 0xAA;
    r[2] = 0x03;
    r[3] = 0xFF;
    r[4] = code;
    return r;
}

}  // namespace quenda::test
