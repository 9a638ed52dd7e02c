#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// The one seam between the recorder protocol and a transport (serial port,
// Bluetooth, test fake). Protocol code sees nothing else of the link.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Sends every byte; false when the link is closed or not all bytes went out.
    virtual bool Send(std::span<const std::uint8_t> bytes) = 0;

    // Appends bytes that have arrived to `out`: at most maxBytes of them
    // (0 means everything queued), waiting up to `wait` for the first one
    // (0 means never wait). Returns false on a link error; bytes appended before
    // the error stay appended.
    virtual bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) = 0;

    // Whether the link can carry bytes now (an open port, a live connection).
    virtual bool IsConnected() = 0;
};

}  // namespace quenda
