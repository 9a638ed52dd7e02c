#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace quenda {

// Signalled once, releases exactly one wait, then resets itself. A wait also
// ends when its stop token is triggered, so a worker blocked here never has
// to be killed.
class AutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_one();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    // True when signalled; false when stopped first.
    bool Wait(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait(lock, stop, [this] { return signalled_; })) return false;
        signalled_ = false;
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
    bool signalled_ = false;
};

}  // namespace quenda
