#pragma once

#include "tools/sim/RecorderModel.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quenda::sim {

// Puts a RecorderModel on a new pseudo-terminal: reads commands from the
// master side and writes the replies back, paced like a UART at `baud`.
class PtyServer {
public:
    struct Settings {
        std::uint32_t baud = 115'200;                // 0: no pacing, replies go out at once
        std::string linkPath;                        // a symlink to the slave side, or empty
        std::function<void(std::string_view)> note;  // link events for --verbose
    };

    PtyServer(RecorderModel& model, Settings settings);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (raw) and the link. False with `error` set on failure.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }

    // Serves until `stopRequested` becomes non-zero. Signals are expected to be
    // blocked by the caller and are let through only while waiting, with
    // `waitMask`, so a stop request can never be missed between check and wait.
    // False on an I/O error the link cannot recover from.
    bool Serve(const volatile std::sig_atomic_t& stopRequested, const sigset_t& waitMask);

private:
    using SteadyClock = std::chrono::steady_clock;
    struct Outgoing {
        Bytes bytes;
        SteadyClock::time_point due;
        std::size_t sent = 0;
        bool abandonOnStop = false;
    };

    bool ReadCommands();
    void Queue(std::vector<Reply> replies);
    // Writes what the pacing allows now; says when to come back and whether
    // the pty is full.
    void SendDue(SteadyClock::time_point now, bool& wantWrite, std::optional<SteadyClock::time_point>& wakeAt);
    void Note(const std::string& text) const;

    RecorderModel& model_;
    Settings settings_;
    int master_ = -1;
    // Held open for the life of the simulator: with no slave descriptor open,
    // the master reads EIO and polls HUP until the host opens the port again,
    // and the host closes and reopens it several times per session.
    int slave_ = -1;
    std::string slavePath_;
    bool linked_ = false;

    std::deque<Outgoing> queue_;
    std::chrono::nanoseconds byteTime_{0};
    SteadyClock::time_point lineFree_{};  // the line is busy with earlier bytes until then
};

}  // namespace quenda::sim
