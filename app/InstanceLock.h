#pragma once

#include <filesystem>
#include <string>

namespace quenda {

// Keeps a second copy of the program from running for the same user: an
// exclusive flock on a lock file. The kernel drops the lock when the process
// ends in any way, so a crash or a kill never blocks the next start.
class InstanceLock {
public:
    enum class Result {
        Acquired,
        HeldElsewhere,  // another process holds it: a copy is running
        Unavailable,    // the lock file could not be opened; no guard
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Locks `file`, created 0600 when missing. A symbolic link is refused, so
    // nobody can point the lock at a file of theirs.
    Result Acquire(const std::filesystem::path& file);
    void Release();
    bool Held() const { return fd_ >= 0; }

    // Why the lock file could not be used, after Unavailable.
    const std::string& Error() const { return error_; }

    // $XDG_RUNTIME_DIR (private to the user) when set, else /tmp, with a name
    // that carries the user id: "quenda-<uid>.lock".
    static std::filesystem::path DefaultFile();

private:
    int fd_ = -1;
    std::string error_;
};

}  // namespace quenda
