#pragma once

#include "tools/sim/RecorderModel.h"

#include <string>
#include <string_view>
#include <vector>

namespace quenda::sim {

struct SimOptions {
    RecorderConfig recorder;
    std::string linkPath;  // a symlink to the pseudo-terminal, or empty
    std::string logPath;   // one line per received command, or empty
    bool verbose = false;  // the same lines and link events on stderr
    bool pacing = true;    // send at the transfer baud rate, as a UART would
    bool help = false;
};

// The options, or in `error` why they cannot be used.
struct ParsedOptions {
    SimOptions options;
    std::string error;
};

// `args` without the program name. "--name value" and "--name=value" both work.
ParsedOptions ParseOptions(const std::vector<std::string>& args);
std::string UsageText();

// "1:8h,5:30m,12:500": ID:length per entry, the length in hours (h), minutes (m)
// or samples (no unit; one sample per second). An empty text means no data.
bool ParseIdList(std::string_view text, std::vector<IdPlan>& out, std::string& error);

// One fault: "no-reply", "zero-totals", "delete-fails", "clock-fails",
// "product-code:N", or "drop-frame:K", "garbage:K", "end-early:K", "refuse:K",
// "silent-after:K", "oversize:K" with a frame number K, and "garbage:K" or
// "garbage:K:N" (N stray bytes, 1..64, default 3).
bool ParseFault(std::string_view text, Faults& faults, std::string& error);

}  // namespace quenda::sim
