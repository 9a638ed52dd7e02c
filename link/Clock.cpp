#include "link/Clock.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quenda {

Clock::TimePoint SystemClock::Now() { return std::chrono::steady_clock::now(); }

bool SystemClock::Sleep(std::chrono::milliseconds d, std::stop_token stop) {
    if (!stop.stop_possible()) {
        std::this_thread::sleep_for(d);
        return true;
    }
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    return !cv.wait_for(lock, stop, d, [] { return false; });
}

}  // namespace quenda
