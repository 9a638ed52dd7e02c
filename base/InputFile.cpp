#include "base/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quenda {

InputFile::InputFile(const std::filesystem::path& path, std::uint64_t maxBytes)
    : maxBytes_(std::min<std::uint64_t>(maxBytes, SIZE_MAX / 2)) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        problem_ = InputProblem::CantOpen;
        error_ = errno;
    } else if (S_ISDIR(info.st_mode)) {
        problem_ = InputProblem::Folder;
    } else if (!S_ISREG(info.st_mode)) {
        problem_ = InputProblem::NotRegular;
    } else if (static_cast<std::uint64_t>(info.st_size) > maxBytes_) {
        problem_ = InputProblem::TooLarge;
    } else {
        size_ = static_cast<std::size_t>(info.st_size);
    }
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string InputFile::Why() const {
    switch (problem_) {
        case InputProblem::None: return {};
        case InputProblem::Folder: return std::strerror(EISDIR);
        case InputProblem::NotRegular: return "Not a regular file (a FIFO, a device or a socket)";
        case InputProblem::TooLarge:
            return std::string(std::strerror(EFBIG)) + " (more than " + std::to_string(maxBytes_) + " bytes)";
        case InputProblem::CantOpen:
        case InputProblem::CantRead: break;
    }
    return std::strerror(error_);
}

bool InputFile::Limit(std::uint64_t maxBytes) {
    if (problem_ != InputProblem::None) return false;
    maxBytes_ = std::min(maxBytes_, maxBytes);
    return size_ <= maxBytes_ || TooLarge();
}

bool InputFile::TooLarge() {
    problem_ = InputProblem::TooLarge;
    return false;
}

bool InputFile::Read(void* buffer, std::size_t capacity, std::size_t& got) { return Fill(-1, buffer, capacity, got); }

bool InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t capacity, std::size_t& got) {
    return Fill(static_cast<off_t>(offset), buffer, capacity, got);
}

bool InputFile::Fill(long long offset, void* buffer, std::size_t capacity, std::size_t& got) {
    got = 0;
    if (problem_ != InputProblem::None) return false;
    auto* at = static_cast<char*>(buffer);
    while (got < capacity) {
        const ssize_t n = offset < 0 ? ::read(fd_, at + got, capacity - got)
                                     : ::pread(fd_, at + got, capacity - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem_ = InputProblem::CantRead;
            error_ = errno;
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace quenda
