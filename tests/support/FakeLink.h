#pragma once

#include "device/MessageSink.h"
#include "link/ByteStream.h"
#include "link/Clock.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quenda::test {

// Virtual time: Sleep only moves the clock forward. The download's threads
// may share it.
class FakeClock final : public Clock {
public:
    TimePoint Now() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    bool Sleep(std::chrono::milliseconds d, std::stop_token stop = {}) override {
        if (stop.stop_requested()) return false;
        std::lock_guard lock(mutex_);
        now_ += d;
        slept += d;
        return true;
    }
    std::chrono::milliseconds slept{0};  // read it when no other thread sleeps

private:
    std::mutex mutex_;
    TimePoint now_{};
};

// A scripted peer. Every Receive first lets the next scheduled arrival in,
// so a reply can be made to trickle in over several reads.
class FakeLink final : public ByteStream {
public:
    bool Send(std::span<const std::uint8_t> bytes) override {
        if (!connected || !sendOk) return false;
        sent.emplace_back(bytes.begin(), bytes.end());
        if (onSend) onSend(sent.back());
        return true;
    }
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds) override {
        ++receives;
        if (!arrivals.empty()) {
            queued.insert(queued.end(), arrivals.front().begin(), arrivals.front().end());
            arrivals.pop_front();
        }
        std::size_t n = maxBytes == 0 ? queued.size() : std::min(maxBytes, queued.size());
        out.insert(out.end(), queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(n));
        queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(n));
        return connected;
    }
    bool IsConnected() override { return connected; }

    // Schedules bytes to arrive at the next Receive (an empty vector: a read
    // that brings nothing).
    void Arrive(std::vector<std::uint8_t> bytes) { arrivals.push_back(std::move(bytes)); }

    bool connected = true;
    bool sendOk = true;
    int receives = 0;
    std::vector<std::vector<std::uint8_t>> sent;
    std::deque<std::vector<std::uint8_t>> arrivals;
    std::deque<std::uint8_t> queued;
    std::function<void(const std::vector<std::uint8_t>&)> onSend;
};

class MessageLog final : public MessageSink {
public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowDeleting(bool visible) override { deleting.push_back(visible); }
    std::vector<std::string> messages;
    std::vector<bool> deleting;
};

}  // namespace quenda::test
