#include "tools/sim/RecorderModel.h"

#include "tools/sim/Random.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace quenda::sim {

namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

[[gnu::format(printf, 1, 2)]] std::string Line(const char* format, ...) {
    char buf[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

// An oversize frame announces more sample bytes than the host's frame buffer holds.
constexpr std::uint16_t kOversizeLength = 5000;

}  // namespace

std::string CheckConfig(const RecorderConfig& c) {
    std::set<int> seen;
    std::int64_t samples = 0;
    for (const IdPlan& p : c.ids) {
        if (p.id < 1 || p.id > 127) return Line("ID %d is outside 1..127", p.id);
        if (!seen.insert(p.id).second) return Line("ID %d is listed twice", p.id);
        if (p.samples < 1 || p.samples > kMaxSamples) {
            return Line("ID %d: %d samples is outside 1..518400", p.id, p.samples);
        }
        samples += p.samples;
    }
    if (c.samplesPerFrame < 1 || c.samplesPerFrame > kMaxSamplesPerFrame) {
        return Line("samples per frame must be 1..%d, not %d", kMaxSamplesPerFrame, c.samplesPerFrame);
    }
    if ((samples + c.samplesPerFrame - 1) / c.samplesPerFrame > kMaxFrames) {
        return "the recordings need more frames than a 16-bit frame number can count";
    }
    if (!IsValid(c.start) || c.start.year > 2099) return "the start time must be a valid time in 2000..2099";
    if (c.eraseDelay.count() < 0) return "the erase delay cannot be negative";
    return {};
}

RecorderModel::RecorderModel(RecorderConfig config, LogSink log)
    : config_(std::move(config)),
      log_(std::move(log)),
      secondTotal_(config_.secondTotal),
      thirdTotal_(config_.thirdTotal) {
    if (const std::string problem = CheckConfig(config_); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    recordings_ = GenerateRecordings(config_.ids, config_.start, config_.seed);
    RebuildMemory();
}

int RecorderModel::FramesToDownload() const {
    const auto n = static_cast<int>(memory_.size());
    return (n + config_.samplesPerFrame - 1) / config_.samplesPerFrame;
}

std::vector<Reply> RecorderModel::Feed(std::span<const std::uint8_t> bytes) {
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    std::vector<Reply> out;
    std::size_t pos = 0;
    for (;;) {
        std::size_t sync = pos;
        while (sync + 1 < input_.size() && !(input_[sync] == kSync0 && input_[sync + 1] == kSync1)) ++sync;
        if (sync + 1 >= input_.size()) {
            // No pair yet; a last 0x55 may be the start of one.
            skipped_ += sync - pos;
            pos = sync;
            if (pos < input_.size() && input_[pos] != kSync0) {
                ++skipped_;
                ++pos;
            }
            break;
        }
        skipped_ += sync - pos;
        pos = sync;
        if (input_.size() - pos < kCommandBytes) break;

        CommandFrame c;
        std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(pos), kCommandBytes, c.begin());
        FlushSkipped();
        if (static_cast<std::uint8_t>(c[2] + c[3] + c[4]) != c[5]) {
            Log("bad-checksum " + Hex(c));
            // Drop the rejected command, unless a sync pair starts inside it:
            // that may be a good command behind a truncated one.
            std::size_t next = 2;
            while (next < kCommandBytes &&
                   !(c[next] == kSync0 && (next + 1 == kCommandBytes || c[next + 1] == kSync1))) {
                ++next;
            }
            pos += next;
            continue;
        }
        HandleCommand(c, out);
        pos += kCommandBytes;
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(pos));
    FlushSkipped();
    return out;
}

void RecorderModel::FlushSkipped() {
    if (skipped_ == 0) return;
    Log(Line("skipped %d bytes", static_cast<int>(skipped_)));
    skipped_ = 0;
}

void RecorderModel::HandleCommand(const CommandFrame& c, std::vector<Reply>& out) {
    const std::uint8_t p1 = c[3], p2 = c[4];
    switch (c[2]) {
        case kIdentifyDevice: Identify(out); break;
        case kQueryTotals: Totals(out); break;
        case kRequestFrame:
            Frame(FrameNumberLowByteFirst(config_.device.dataFormatCode) ? p1 | p2 << 8 : p1 << 8 | p2, out);
            break;
        case kStopTransfer:
            Log("stop");
            if (!Muted()) out.push_back({Reply::Kind::AbandonOutput, {}, {}, false});
            break;
        case kDeleteDeviceData: Delete((p1 & 0x0F) * 256 + p2, p1 >> 4, out); break;
        case kSetClockLow: ClockLow(static_cast<std::uint16_t>(p1 | p2 << 8), out); break;
        case kSetClockHigh: ClockHigh(static_cast<std::uint16_t>(p1 | p2 << 8), out); break;
        default: Log("unknown " + Hex(c)); break;
    }
}

void RecorderModel::Identify(std::vector<Reply>& out) {
    Log("identify");
    if (Muted()) return;
    DeviceInfo info = config_.device;
    if (config_.faults.productCode) info.productCode = *config_.faults.productCode;
    out.push_back({Reply::Kind::Send, DeviceInfoReply(info), {}, false});
}

void RecorderModel::Totals(std::vector<Reply>& out) {
    Log("totals");
    if (Muted()) return;
    if (config_.faults.zeroTotals) {
        Log("fault zero-totals");
        out.push_back({Reply::Kind::Send, TotalsReply(0, 0, 0), {}, false});
        return;
    }
    out.push_back({Reply::Kind::Send,
                   TotalsReply(static_cast<std::uint16_t>(FramesToDownload()), secondTotal_, thirdTotal_),
                   {},
                   false});
}

void RecorderModel::Frame(int n, std::vector<Reply>& out) {
    Log(Line("frame %d", n));
    if (Muted()) return;
    const Faults& f = config_.faults;
    const int format = config_.device.dataFormatCode;
    const auto status = static_cast<std::uint16_t>(n);
    auto fires = [n](const std::set<int>& faults) { return faults.count(n) != 0; };
    auto firesOnce = [n](const std::set<int>& faults, std::set<int>& fired) {
        return faults.count(n) != 0 && fired.insert(n).second;
    };

    if (firesOnce(f.dropFrame, dropped_)) {
        Log(Line("fault drop-frame:%d", n));
        return;
    }
    Reply reply{Reply::Kind::Send, {}, {}, true};
    if (const auto g = f.garbage.find(n); g != f.garbage.end() && garbled_.insert(n).second) {
        Log(Line("fault garbage:%d:%d", n, g->second));
        reply.bytes = StrayBytes(static_cast<std::size_t>(g->second), n);
    }
    Bytes frame;
    if (fires(f.endEarly)) {
        Log(Line("fault end-early:%d", n));
        frame = DataFrame(kStatusNoMoreData, {}, format);
    } else if (fires(f.refuse)) {
        Log(Line("fault refuse:%d", n));
        frame = DataFrame(kStatusRefused, {}, format);
    } else if (firesOnce(f.oversize, oversized_)) {
        Log(Line("fault oversize:%d", n));
        frame = {kSync0,
                 kSync1,
                 0x00,
                 static_cast<std::uint8_t>(status >> 8),
                 static_cast<std::uint8_t>(status),
                 kOversizeLength >> 8,
                 kOversizeLength & 0xFF};
        const Bytes junk = StrayBytes(kOversizeLength + 1, ~n);
        frame.insert(frame.end(), junk.begin(), junk.end());
    } else if (n >= FramesToDownload()) {
        frame = DataFrame(kStatusNoMoreData, {}, format);
    } else {
        frame = OrdinaryFrame(n);
    }
    reply.bytes.insert(reply.bytes.end(), frame.begin(), frame.end());
    out.push_back(std::move(reply));

    if (f.silentAfter == n) {
        Log(Line("fault silent-after:%d", n));
        silent_ = true;
    }
}

Bytes RecorderModel::OrdinaryFrame(int n) const {
    const auto first = static_cast<std::size_t>(n) * static_cast<std::size_t>(config_.samplesPerFrame);
    const std::size_t count = std::min(memory_.size() - first, static_cast<std::size_t>(config_.samplesPerFrame));
    return DataFrame(static_cast<std::uint16_t>(n), std::span(memory_).subspan(first, count),
                     config_.device.dataFormatCode);
}

Bytes RecorderModel::StrayBytes(std::size_t count, int salt) const {
    Random rng(config_.seed ^ (0x5851F42D4C957F2Dull * static_cast<std::uint64_t>(salt)));
    Bytes out(count);
    std::uint8_t previous = 0;
    for (std::uint8_t& b : out) {
        b = static_cast<std::uint8_t>(rng.Next());
        // A sync pair in the junk would hand the host a frame that does not exist.
        if (previous == kSync0 && b == kSync1) b = 0xAB;
        previous = b;
    }
    return out;
}

void RecorderModel::Delete(int id, int type, std::vector<Reply>& out) {
    Log(Line("delete id=%d type=%d", id, type));
    if (Muted()) return;
    if (config_.faults.deleteFails) {
        Log("fault delete-fails");
        return;
    }
    // ID 0 means every ID.
    if (id == 0) {
        recordings_.clear();
    } else {
        recordings_.erase(id);
    }
    RebuildMemory();
    if (memory_.empty()) secondTotal_ = thirdTotal_ = 0;
    out.push_back({Reply::Kind::Send, AckReply(kReplyDeleteAck), config_.eraseDelay, false});
}

void RecorderModel::ClockLow(std::uint16_t bits, std::vector<Reply>& out) {
    Log("clock-low");
    if (Muted()) return;
    clockLow_ = bits;
    if (config_.faults.clockFails) {
        Log("fault clock-fails");
        return;
    }
    out.push_back({Reply::Kind::Send, AckReply(kReplyClockAck), {}, false});
}

void RecorderModel::ClockHigh(std::uint16_t bits, std::vector<Reply>& out) {
    if (Muted()) {
        Log("clock-high");
        return;
    }
    if (clockLow_) {
        clock_ = DecodeClockWord(*clockLow_ | static_cast<std::uint32_t>(bits) << 16);
        clockLow_.reset();
        Log("clock " + FormatDateTime(*clock_));
    } else {
        Log("clock-high without a low half");
    }
    out.push_back({Reply::Kind::Send, AckReply(kReplyClockAck), {}, false});
}

void RecorderModel::RebuildMemory() {
    memory_.clear();
    const bool newestFirst = StoresNewestFirst(config_.device.dataFormatCode);
    for (const auto& [id, samples] : recordings_) {
        if (newestFirst) {
            memory_.insert(memory_.end(), samples.rbegin(), samples.rend());
        } else {
            memory_.insert(memory_.end(), samples.begin(), samples.end());
        }
    }
}

void RecorderModel::Log(std::string_view line) const {
    if (log_) log_(line);
}

}  // namespace quenda::sim
