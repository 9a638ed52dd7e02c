#pragma once

#include <chrono>
#include <stop_token>

namespace quenda {

// Every delay of the protocol and the download goes through a Clock, so tests
// can run the exchanges on virtual time.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint Now() = 0;
    // Sleeps for `d`. Returns false, early, once `stop` is requested.
    virtual bool Sleep(std::chrono::milliseconds d, std::stop_token stop = {}) = 0;
};

// Wall-clock time; a stop request wakes a sleeper at once.
class SystemClock final : public Clock {
public:
    TimePoint Now() override;
    bool Sleep(std::chrono::milliseconds d, std::stop_token stop = {}) override;
};

}  // namespace quenda
