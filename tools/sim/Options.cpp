#include "tools/sim/Options.h"

#include <charconv>
#include <functional>
#include <limits>
#include <map>
#include <set>

namespace quenda::sim {

namespace {

// Decimal, or hexadecimal after "0x" (product codes are usually written in hex).
bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || v > max) return false;
    out = v;
    return true;
}

template <typename T>
bool ParseNumberAs(std::string_view text, T& out, std::uint64_t max = std::numeric_limits<T>::max()) {
    std::uint64_t v = 0;
    if (!ParseNumber(text, max, v)) return false;
    out = static_cast<T>(v);
    return true;
}

template <typename T>
std::function<bool(std::string_view)> NumberInto(T& field, std::string& error,
                                                 std::uint64_t max = std::numeric_limits<T>::max()) {
    return [&field, &error, max](std::string_view v) {
        if (ParseNumberAs(v, field, max)) return true;
        error = "not a number in 0.." + std::to_string(max) + ": \"" + std::string(v) + "\"";
        return false;
    };
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    if (text.empty()) return parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

}  // namespace

bool ParseIdList(std::string_view text, std::vector<IdPlan>& out, std::string& error) {
    out.clear();
    for (std::string_view entry : Split(text, ',')) {
        const std::size_t colon = entry.find(':');
        IdPlan plan;
        if (colon == std::string_view::npos || !ParseNumberAs(entry.substr(0, colon), plan.id, 127) || plan.id < 1) {
            error = "bad ID entry \"" + std::string(entry) + "\" (expected ID:length with ID 1..127)";
            return false;
        }
        std::string_view length = entry.substr(colon + 1);
        if (!length.empty() && length.back() == 'n') {
            length.remove_suffix(1);
            std::uint64_t nights = 0;
            if (ParseNumber(length, 366, nights) && nights > 0) plan = NightsPlan(plan.id, static_cast<int>(nights));
            if (plan.samples == 0 || plan.samples > kMaxSamples) {
                error = "bad number of nights in \"" + std::string(entry) + "\" (1n .. as many as fit in 144h)";
                return false;
            }
            out.push_back(plan);
            continue;
        }
        int secondsPerUnit = 1;
        if (!length.empty() && (length.back() == 'h' || length.back() == 'm' || length.back() == 's')) {
            secondsPerUnit = length.back() == 'h' ? 3600 : length.back() == 'm' ? 60 : 1;
            length.remove_suffix(1);
        }
        std::uint64_t units = 0;
        if (!ParseNumber(length, kMaxSamples, units) || units == 0 ||
            units * static_cast<std::uint64_t>(secondsPerUnit) > kMaxSamples) {
            error = "bad length in \"" + std::string(entry) + "\" (1 sample .. 144h)";
            return false;
        }
        plan.samples = static_cast<int>(units) * secondsPerUnit;
        out.push_back(plan);
    }
    return true;
}

bool ParseFault(std::string_view text, Faults& faults, std::string& error) {
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const std::string_view arg = colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
    const bool hasArg = colon != std::string_view::npos;

    const std::pair<std::string_view, bool*> flags[] = {
        {"no-reply", &faults.noReply},
        {"zero-totals", &faults.zeroTotals},
        {"delete-fails", &faults.deleteFails},
        {"clock-fails", &faults.clockFails},
    };
    for (const auto& [flagName, flag] : flags) {
        if (name != flagName) continue;
        if (hasArg) break;
        *flag = true;
        return true;
    }
    if (name == "product-code") {
        std::uint16_t code = 0;
        if (!ParseNumberAs(arg, code)) {
            error = "fault product-code needs a 16-bit number: product-code:N";
            return false;
        }
        faults.productCode = code;
        return true;
    }

    const std::pair<std::string_view, std::set<int>*> perFrame[] = {
        {"drop-frame", &faults.dropFrame},
        {"end-early", &faults.endEarly},
        {"refuse", &faults.refuse},
        {"oversize", &faults.oversize},
    };
    int frame = 0;
    const bool frameOk = ParseNumberAs(arg, frame, kMaxFrames - 1);
    if (name == "garbage") {
        // An odd count leaves a host that matches 55 AA pairwise out of step by
        // one byte; an even one is skipped without losing the frame.
        const std::size_t second = arg.find(':');
        int count = 3;
        if (ParseNumberAs(arg.substr(0, second), frame, kMaxFrames - 1) &&
            (second == std::string_view::npos || (ParseNumberAs(arg.substr(second + 1), count, 64) && count > 0))) {
            faults.garbage[frame] = count;
            return true;
        }
    }
    for (const auto& [faultName, frames] : perFrame) {
        if (name != faultName || !frameOk) continue;
        frames->insert(frame);
        return true;
    }
    if (name == "silent-after" && frameOk) {
        faults.silentAfter = frame;
        return true;
    }
    error = "unknown fault \"" + std::string(text) + "\" (see --help)";
    return false;
}

std::string UsageText() {
    return R"(Usage: quenda-recorder-sim [options]
Serves the recorder protocol on a new pseudo-terminal and prints its path as the
first line on stdout. Runs until SIGINT or SIGTERM.

  --link PATH              also make PATH a symlink to the pseudo-terminal
  --product-code N         product code in the identification reply (default 0x001E)
  --format-code N          data format code (default 2)
  --baud N                 transfer baud rate reported and used for pacing (default 115200)
  --ids LIST               recordings as ID:length, e.g. "1:8h,5:30m,12:500"
                           (h hours, m minutes, no unit samples; "" for an empty
                           recorder), or ID:Nn for N nights of 6 to 8.5 hours, one
                           a day, never erased, the middle one broken by an hour
                           and more off (from 3 nights on); default "1:14n,2:30m"
  --samples-per-frame N    1..524 (default 512)
  --seed N                 seed of the generated recordings (default 1)
  --start "Y-M-D h:m:s"    start of the first recording (default "2026-12-06 22:30:00")
  --second-total N         second total of the totals reply (default 0)
  --third-total N          third total of the totals reply (default 0)
  --erase-delay-ms N       time an erase takes before its acknowledgement (default 2000)
  --fault F                inject a fault; repeatable:
                             no-reply, product-code:N, zero-totals, drop-frame:K,
                             garbage:K[:N], end-early:K, refuse:K, silent-after:K,
                             oversize:K, delete-fails, clock-fails
                           (K a frame number; N stray bytes, default 3)
  --no-pacing              send replies at once instead of at the baud rate
  --log FILE               one line per received command
  --verbose                the same lines, and link events, on stderr
  --help                   this text
)";
}

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    SimOptions& o = result.options;
    RecorderConfig& rc = o.recorder;
    std::string& error = result.error;

    std::uint64_t eraseDelayMs = 2000;
    bool noPacing = false;
    auto path = [&error](std::string& field, const char* option) {
        return [&field, &error, option](std::string_view v) {
            field = v;
            if (v.empty()) error = std::string(option) + " needs a path";
            return !v.empty();
        };
    };
    const std::map<std::string_view, std::function<bool(std::string_view)>> withValue = {
        {"--link", path(o.linkPath, "--link")},
        {"--log", path(o.logPath, "--log")},
        {"--product-code", NumberInto(rc.device.productCode, error)},
        {"--format-code", NumberInto(rc.device.dataFormatCode, error)},
        {"--baud", NumberInto(rc.device.transferBaud, error, 100'000'000)},
        {"--samples-per-frame", NumberInto(rc.samplesPerFrame, error, kMaxSamplesPerFrame)},
        {"--seed", NumberInto(rc.seed, error)},
        {"--second-total", NumberInto(rc.secondTotal, error)},
        {"--third-total", NumberInto(rc.thirdTotal, error)},
        {"--erase-delay-ms", NumberInto(eraseDelayMs, error, 3'600'000)},
        {"--ids", [&](std::string_view v) { return ParseIdList(v, rc.ids, error); }},
        {"--fault", [&](std::string_view v) { return ParseFault(v, rc.faults, error); }},
        {"--start",
         [&](std::string_view v) {
             const auto t = ParseDateTime(v);
             if (t)
                 rc.start = *t;
             else
                 error = "bad --start \"" + std::string(v) + "\" (expected \"YYYY-MM-DD HH:MM:SS\")";
             return t.has_value();
         }},
    };
    const std::map<std::string_view, bool*> flags = {
        {"--no-pacing", &noPacing}, {"--verbose", &o.verbose}, {"--help", &o.help}};

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (const auto flag = flags.find(arg); flag != flags.end() && !hasValue) {
            *flag->second = true;
            continue;
        }
        const auto handler = withValue.find(arg);
        if (handler == withValue.end()) {
            error = "unknown option \"" + args[i] + "\"";
            return result;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                error = std::string(arg) + " needs a value";
                return result;
            }
            value = args[++i];
        }
        if (!handler->second(value)) return result;
    }
    o.pacing = !noPacing;
    rc.eraseDelay = std::chrono::milliseconds(eraseDelayMs);
    if (rc.device.transferBaud == 0) {
        error = "--baud must be above 0";
    } else if (!o.help) {
        error = CheckConfig(rc);
    }
    return result;
}

}  // namespace quenda::sim
