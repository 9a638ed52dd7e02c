#pragma once

#include "link/SerialLink.h"
#include "tools/sim/Options.h"
#include "tools/sim/RecorderModel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace quenda::test {

// One serial port with the recorder simulator's model on the other end, in
// this process: every reply is there as soon as its command is sent (no UART
// pacing, no busy time), so with a fake clock a whole download takes as long
// as the threads need. The download's two threads may use it at once.
class ModelLink final : public SerialLink {
public:
    // `args` are the simulator's command-line options; `port` the only name
    // that opens.
    ModelLink(std::string port, const std::vector<std::string>& args)
        : port_(std::move(port)), model_(Config(args), [this](std::string_view line) { log_.emplace_back(line); }) {}

    bool Open(const std::string& name, unsigned) override {
        if (onOpen) onOpen();
        std::lock_guard lock(mutex_);
        errno_ = name == port_ && !unplugged_ ? 0 : ENOENT;
        open_ = errno_ == 0;
        queued_.clear();
        return open_;
    }
    bool Close() override {
        std::lock_guard lock(mutex_);
        open_ = false;
        queued_.clear();
        changed_.notify_all();
        return true;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex_);
        return open_;
    }
    std::string OpenFailureReason() const override { return errno_ ? "no such port" : ""; }
    int OpenFailureErrno() const override { return errno_; }
    bool IsConnected() override { return IsOpen(); }

    bool Send(std::span<const std::uint8_t> bytes) override {
        std::lock_guard lock(mutex_);
        if (!open_ || unplugged_) return false;
        sent_.emplace_back(bytes.begin(), bytes.end());
        awaitingRequest_ = false;
        for (sim::Reply& reply : model_.Feed(bytes)) {
            if (reply.kind == sim::Reply::Kind::AbandonOutput) {
                queued_.clear();
            } else if (!(reply.abandonOnStop && FrameNumber(reply.bytes) >= holdFrom_)) {
                queued_.insert(queued_.end(), reply.bytes.begin(), reply.bytes.end());
                // After a data frame, and after the totals that begin a
                // download, the host's next word is a frame request.
                requestFollows_ = reply.abandonOnStop || IsTotalsReply(reply.bytes);
            }
        }
        changed_.notify_all();
        return true;
    }

    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds) override {
        std::unique_lock lock(mutex_);
        // Between a frame and the request for the next one (or the totals and
        // the first request) the receive side would count idle polls on
        // virtual time and ask again; a real port would be mid-byte then.
        // Wait (in real time) for that request. While
        // frames are held back, polls come slowly, so the download stays
        // under way until the test acts.
        const bool holding = holdFrom_ != kNoHold;
        if (holding || awaitingRequest_) {
            changed_.wait_for(lock, holding ? std::chrono::milliseconds(20) : std::chrono::milliseconds(200), [&] {
                return !queued_.empty() || !open_ || unplugged_ || (!holding && !awaitingRequest_);
            });
        }
        if (!open_ || unplugged_) return false;
        const std::size_t n = maxBytes == 0 ? queued_.size() : std::min(maxBytes, queued_.size());
        out.insert(out.end(), queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
        queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
        if (n > 0 && queued_.empty() && requestFollows_) awaitingRequest_ = true;
        return true;
    }

    // Requests for frame `first` and later go unanswered until HoldFramesFrom
    // is called again (kNoHold: answer everything).
    static constexpr int kNoHold = 1 << 30;
    void HoldFramesFrom(int first) {
        std::lock_guard lock(mutex_);
        holdFrom_ = first;
        changed_.notify_all();
    }

    // The recorder's cable is pulled: the port fails every read and write, as
    // a vanished USB bridge does, and does not open again.
    void Unplug() {
        std::lock_guard lock(mutex_);
        unplugged_ = true;
        changed_.notify_all();
    }

    // The simulator's log lines ("identify", "frame 3", "stop", ...).
    long LogCount(const std::string& line) const {
        std::lock_guard lock(mutex_);
        return std::count(log_.begin(), log_.end(), line);
    }
    bool Sent(const std::vector<std::uint8_t>& command) const {
        std::lock_guard lock(mutex_);
        return std::find(sent_.begin(), sent_.end(), command) != sent_.end();
    }
    const sim::RecorderModel& Model() const { return model_; }

    // Called at the start of every Open (set it before the link is used).
    std::function<void()> onOpen;

private:
    // A data frame's status word is its frame number (or an end marker).
    static int FrameNumber(const sim::Bytes& frame) { return frame.size() > 4 ? frame[3] << 8 | frame[4] : 0; }

    static bool IsTotalsReply(const sim::Bytes& reply) { return reply.size() > 4 && reply[4] == kReplyTotals; }

    static sim::RecorderConfig Config(const std::vector<std::string>& args) {
        const auto parsed = sim::ParseOptions(args);
        if (!parsed.error.empty()) throw std::invalid_argument(parsed.error);
        return parsed.options.recorder;
    }

    const std::string port_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> log_;  // guarded by mutex_, like everything below
    sim::RecorderModel model_;
    std::vector<std::vector<std::uint8_t>> sent_;
    std::deque<std::uint8_t> queued_;
    bool open_ = false;
    int holdFrom_ = kNoHold;
    bool unplugged_ = false;
    bool requestFollows_ = false;
    bool awaitingRequest_ = false;
    int errno_ = 0;
};

}  // namespace quenda::test
