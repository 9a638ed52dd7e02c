#pragma once

#include "link/ByteStream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace quenda {

// Every byte exchanged with the recorder during one operation (a download, a
// clock setting, a deletion), for diagnosing a recorder in the field: as a
// text log (time, direction, hex) and as a raw dump of the bytes received.
// Both threads of a download write to it. Bounded: past kMaxBytes bytes in
// either direction the rest is counted, not kept (a full download of 518,400
// samples is about 5.7 MB received).
class ExchangeLog {
public:
    static constexpr std::size_t kMaxBytes = 8u << 20;

    enum class Direction { Sent, Received };

    // Forgets everything; the times of the next exchanges count from here.
    void Clear();
    void Record(Direction direction, std::span<const std::uint8_t> bytes);

    bool Empty() const;
    // One line per exchange: "+12.345 s  > 55 AA FD 00 00 FD" (> sent, < received).
    std::string Text() const;
    std::vector<std::uint8_t> ReceivedBytes() const;

    // Written safely; false with `error` set on failure.
    bool SaveText(const std::filesystem::path& path, std::string& error) const;
    bool SaveDump(const std::filesystem::path& path, std::string& error) const;

private:
    struct Entry {
        std::chrono::steady_clock::duration at;
        Direction direction;
        std::vector<std::uint8_t> bytes;
    };

    mutable std::mutex mutex_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::vector<Entry> entries_;
    std::vector<std::uint8_t> received_;
    std::size_t kept_[2] = {0, 0};     // per direction
    std::size_t dropped_[2] = {0, 0};  // per direction, past the bound
};

// A byte stream that passes everything on to another and records it in a log.
// The stream it passes to may be changed between operations (serial or
// Bluetooth), not while one runs.
class LoggingStream final : public ByteStream {
public:
    explicit LoggingStream(ExchangeLog& log) : log_(log) {}
    void Attach(ByteStream& target) { target_.store(&target); }

    bool Send(std::span<const std::uint8_t> bytes) override;
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) override;
    bool IsConnected() override { return target_.load()->IsConnected(); }

private:
    ExchangeLog& log_;
    std::atomic<ByteStream*> target_{nullptr};
};

}  // namespace quenda
