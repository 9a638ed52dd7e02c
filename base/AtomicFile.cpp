#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace quenda {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr int kNameAttempts = 100;

std::atomic<unsigned> temporaryCounter{0};

// Hidden, and named after the target, so a leftover from a crash is easy to
// recognise beside the file it belonged to.
std::filesystem::path TemporaryName(const std::filesystem::path& target) {
    const unsigned n = temporaryCounter.fetch_add(1, std::memory_order_relaxed);
    std::string name =
        "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(n);
    return target.parent_path() / name;
}

std::string DirectoryText(const std::filesystem::path& target) {
    const auto parent = target.parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Makes the rename itself survive a power cut. Some file systems refuse to sync
// a directory; the new content is already in place by then, so this is best
// effort rather than a reason to report the write as failed.
void SyncDirectory(const std::filesystem::path& target) {
    const int dirFd = ::open(DirectoryText(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    ::fsync(dirFd);
    ::close(dirFd);
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(std::string what, int errorNumber) {
    error_ = std::move(what);
    if (errorNumber != 0) {
        error_ += ": ";
        error_ += std::strerror(errorNumber);
    }
    failed_ = true;
    Discard();
    return false;
}

bool AtomicFile::Open() {
    if (fd_ >= 0 || failed_) return Fail("file " + target_.string() + " opened twice", 0);
    if (target_.filename().empty()) return Fail("no file name in " + target_.string(), 0);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        auto name = TemporaryName(target_);
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = std::move(name);
            break;
        }
        // A leftover of an earlier process with the same pid: try the next name.
        if (errno != EEXIST) break;
    }
    if (fd_ < 0) return Fail("can't create a temporary file in " + DirectoryText(target_), errno);
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Keeping the old file's permissions is a courtesy; the content is what matters.
        ::fchmod(fd_, old.st_mode & 07777);
    }
    buffer_.reserve(kBufferSize);
    return true;
}

bool AtomicFile::WriteOut(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail("can't write " + temporary_.string(), errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::Flush() {
    if (!WriteOut(buffer_.data(), buffer_.size())) return false;
    buffer_.clear();
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (failed_) return false;
    if (fd_ < 0) return Fail("file " + target_.string() + " written before it was opened", 0);
    const char* bytes = static_cast<const char*>(data);
    if (buffer_.size() + size <= kBufferSize) {
        buffer_.insert(buffer_.end(), bytes, bytes + size);
        return true;
    }
    if (!Flush()) return false;
    if (size < kBufferSize) {
        buffer_.insert(buffer_.end(), bytes, bytes + size);
        return true;
    }
    // A large block goes straight out instead of being copied through the buffer.
    return WriteOut(bytes, size);
}

bool AtomicFile::Commit() {
    if (failed_) return false;
    if (fd_ < 0) return Fail("file " + target_.string() + " committed before it was opened", 0);
    if (!Flush()) return false;
    if (::fsync(fd_) != 0) return Fail("can't flush " + temporary_.string() + " to disk", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("can't close " + temporary_.string(), errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        return Fail("can't replace " + target_.string(), errno);
    }
    temporary_.clear();
    SyncDirectory(target_);
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, std::string& error) {
    AtomicFile file(target);
    if (file.Open() && file.Write(bytes) && file.Commit()) return true;
    error = file.Error();
    return false;
}

bool WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes, std::string& error) {
    AtomicFile file(target);
    if (file.Open() && file.Write(bytes) && file.Commit()) return true;
    error = file.Error();
    return false;
}

}  // namespace quenda
