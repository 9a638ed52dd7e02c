#pragma once

#include <array>
#include <cstdint>

namespace quenda {

// Every command to the recorder is six bytes: 55 AA code p1 p2 checksum,
// the checksum being (code + p1 + p2) mod 256.
inline constexpr std::size_t kCommandBytes = 6;
using CommandFrame = std::array<std::uint8_t, kCommandBytes>;

inline constexpr std::uint8_t kSync0 = 0x55;
inline constexpr std::uint8_t kSync1 = 0xAA;

enum CommandCode : std::uint8_t {
    kIdentifyDevice = 0xFD,
    kQueryTotals = 0xFE,
    kRequestFrame = 0xFA,
    kStopTransfer = 0xF3,
    kDeleteDeviceData = 0xF4,
    kSetClockLow = 0xF7,
    kSetClockHigh = 0xF8,
};

// Reply codes in byte 4 of a status reply.
enum ReplyCode : std::uint8_t {
    kReplyDeviceInfo = 0xFF,
    kReplyTotals = 0xFE,
    kReplyDeleteAck = 0xFA,
    kReplyClockAck = 0xF9,
};

// Status words of a data frame (bytes 3..4).
inline constexpr std::uint16_t kStatusNoMoreData = 0xFFFE;
inline constexpr std::uint16_t kStatusRefused = 0xFFFC;

// The only product code a recorder is accepted with.
inline constexpr std::uint16_t kProductCode = 0x001E;

// Status replies are collected into a window of this size.
inline constexpr std::size_t kReplyWindowBytes = 38;
// A data frame is 7 header bytes, L sample bytes and one trailing byte; the
// frame buffer holds 4,200 bytes, so L is at most 4,192.
inline constexpr std::size_t kFrameBufferBytes = 4200;
inline constexpr std::size_t kFrameHeaderBytes = 7;
inline constexpr std::size_t kMaxFramePayload = kFrameBufferBytes - kFrameHeaderBytes - 1;

constexpr CommandFrame MakeCommand(std::uint8_t code, std::uint8_t p1 = 0, std::uint8_t p2 = 0) {
    return {kSync0, kSync1, code, p1, p2, static_cast<std::uint8_t>(code + p1 + p2)};
}

// Frame requests carry the frame number high byte first, except on the serial
// link with format code 3, whose recorders expect it low byte first.
constexpr CommandFrame MakeFrameRequest(std::uint16_t frame, bool lowByteFirst) {
    const auto hi = static_cast<std::uint8_t>(frame >> 8);
    const auto lo = static_cast<std::uint8_t>(frame & 0xFF);
    return lowByteFirst ? MakeCommand(kRequestFrame, lo, hi) : MakeCommand(kRequestFrame, hi, lo);
}

// p1 = type code * 16 + (ID / 256) mod 16, p2 = ID mod 256.
constexpr CommandFrame MakeDeleteCommand(int id, int typeCode) {
    return MakeCommand(kDeleteDeviceData, static_cast<std::uint8_t>(typeCode * 16 + (id / 256) % 16),
                       static_cast<std::uint8_t>(id % 256));
}

// The recorder's clock as one 32-bit word, from bit 0: year mod 2000 (6 bits),
// month 4, day 5, hour 5, minute 6, second 6. Sent least significant byte first
// across the two clock commands.
constexpr std::uint32_t DeviceClockWord(int year, int month, int day, int hour, int minute, int second) {
    auto field = [](int v, unsigned width, unsigned shift) {
        return (static_cast<std::uint32_t>(v) & ((1u << width) - 1)) << shift;
    };
    return field(year % 2000, 6, 0) | field(month, 4, 6) | field(day, 5, 10) | field(hour, 5, 15) |
           field(minute, 6, 20) | field(second, 6, 26);
}

}  // namespace quenda
