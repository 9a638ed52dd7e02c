#include "app/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quenda {

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire(const std::filesystem::path& file) {
    Release();
    error_.clear();
    // Close-on-exec: a program we start (a spreadsheet, a browser) must not
    // inherit the lock and keep it after we are gone.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "can't open " + file.string() + ": " + std::strerror(errno);
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return Result::HeldElsewhere;
        error_ = "can't lock " + file.string() + ": " + std::strerror(error);
        return Result::Unavailable;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    // The file stays: removing it would let a third process lock a new file
    // while a second still waits on the old one.
    ::close(fd_);
    fd_ = -1;
}

std::filesystem::path InstanceLock::DefaultFile() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path dir = (runtime && *runtime == '/') ? runtime : "/tmp";
    return dir / ("quenda-" + std::to_string(::getuid()) + ".lock");
}

}  // namespace quenda
