#pragma once

#include "store/SampleRecord.h"
#include "tools/sim/DateTime.h"
#include "tools/sim/Recording.h"
#include "tools/sim/Wire.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda::sim {

// Misbehaviour to put the host through its failure paths; any may combine.
// Frame numbers K are the numbers the host asks for (0-based).
struct Faults {
    bool noReply = false;                      // answers nothing at all
    std::optional<std::uint16_t> productCode;  // identifies as another product
    bool zeroTotals = false;                   // the totals reply reports nothing to download
    std::set<int> dropFrame;                   // first request for K unanswered; a repeat is answered
    std::map<int, int> garbage;                // N stray bytes before frame K (K -> N), the first time only
    std::set<int> endEarly;                    // frame K says "no more data" (0xFFFE, L = 0)
    std::set<int> refuse;                      // frame K says "refused" (0xFFFC, L = 0)
    std::optional<int> silentAfter;            // after frame K, nothing more is answered
    std::set<int> oversize;                    // frame K announces L = 5000 (junk), the first time only
    bool deleteFails = false;                  // the erase neither happens nor is acknowledged
    bool clockFails = false;                   // the first clock half is never acknowledged

    bool operator==(const Faults&) const = default;
};

struct RecorderConfig {
    DeviceInfo device;
    // A fortnight of nights, so a first download fills the Nights window.
    std::vector<IdPlan> ids{NightsPlan(1, 14), {2, 30 * 60}};
    int samplesPerFrame = 512;  // 1..kMaxSamplesPerFrame
    std::uint64_t seed = 1;
    DateTime start{2026, 12, 6, 22, 30, 0};
    std::uint16_t secondTotal = 0;
    std::uint16_t thirdTotal = 0;
    std::chrono::milliseconds eraseDelay{2000};
    Faults faults;
};

// Why a configuration cannot be served, or empty when it can.
std::string CheckConfig(const RecorderConfig& config);

// One thing the link should do, in order.
struct Reply {
    enum class Kind {
        Send,           // send `bytes` after `delay`
        AbandonOutput,  // a stop arrived: drop every queued or half-sent reply marked abandonOnStop
    };
    Kind kind = Kind::Send;
    Bytes bytes;
    std::chrono::milliseconds delay{0};  // time the recorder is busy before the first byte
    bool abandonOnStop = false;          // data frames; status replies always go out whole
};

// The recorder's behaviour, without any I/O or waiting: bytes from the host go
// in, replies come out, and every received command is written to the log sink
// as one line ("identify", "frame 12", "delete id=5 type=1", ...).
class RecorderModel {
public:
    using LogSink = std::function<void(std::string_view line)>;

    // Throws std::invalid_argument when the configuration fails CheckConfig.
    explicit RecorderModel(RecorderConfig config, LogSink log = {});

    // Consumes bytes from the host (any split; a command may straddle calls) and
    // returns the replies to the commands completed by them.
    std::vector<Reply> Feed(std::span<const std::uint8_t> bytes);

    int FramesToDownload() const;
    // Per ID, oldest first; erasing removes entries.
    const std::map<int, std::vector<SampleRecord>>& Recordings() const { return recordings_; }
    // The samples in the order the frames carry them.
    const std::vector<SampleRecord>& Memory() const { return memory_; }
    // Set by a clock low half followed by a high half.
    std::optional<DateTime> Clock() const { return clock_; }
    const RecorderConfig& Config() const { return config_; }

private:
    void HandleCommand(const CommandFrame& c, std::vector<Reply>& out);
    void Identify(std::vector<Reply>& out);
    void Totals(std::vector<Reply>& out);
    void Frame(int n, std::vector<Reply>& out);
    void Delete(int id, int type, std::vector<Reply>& out);
    void ClockLow(std::uint16_t bits, std::vector<Reply>& out);
    void ClockHigh(std::uint16_t bits, std::vector<Reply>& out);
    bool Muted() const { return silent_ || config_.faults.noReply; }
    void FlushSkipped();

    Bytes OrdinaryFrame(int n) const;
    Bytes StrayBytes(std::size_t count, int salt) const;
    void RebuildMemory();
    void Log(std::string_view line) const;

    RecorderConfig config_;
    LogSink log_;
    std::map<int, std::vector<SampleRecord>> recordings_;
    std::vector<SampleRecord> memory_;
    std::uint16_t secondTotal_;
    std::uint16_t thirdTotal_;

    Bytes input_;
    std::size_t skipped_ = 0;  // bytes dropped while looking for 55 AA, not yet logged
    bool silent_ = false;
    // Frames whose one-shot fault has fired already.
    std::set<int> dropped_, garbled_, oversized_;
    std::optional<std::uint16_t> clockLow_;
    std::optional<DateTime> clock_;
};

}  // namespace quenda::sim
