#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace quenda {

// A file opened to be read by a reader that takes what it finds. The path is
// opened first and the open descriptor checked, so what was checked is what
// is read, whatever happens to the path meanwhile. Only a regular file gets
// through: a folder cannot be read, and a FIFO or a device may block or
// never end. Each reader names the largest file it could make sense of, so
// no input asks for more memory than the largest valid one.
enum class InputProblem {
    None,
    CantOpen,  // Error() holds the system's reason
    Folder,
    NotRegular,  // a FIFO, a device or a socket
    TooLarge,    // larger than the reader's limit
    CantRead,    // Error() holds the system's reason
};

class InputFile {
public:
    // Opens without blocking (on a FIFO) and checks the file's kind and size.
    InputFile(const std::filesystem::path& path, std::uint64_t maxBytes);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    InputProblem Problem() const { return problem_; }
    explicit operator bool() const { return problem_ == InputProblem::None; }
    // The errno of CantOpen and CantRead, else 0.
    int Error() const { return error_; }
    // The reason in the system's words: "No such file or directory",
    // "Is a directory", "Not a regular file (a FIFO, a device or a socket)",
    // "File too large (more than N bytes)".
    std::string Why() const;

    // The size when it was opened.
    std::size_t Size() const { return size_; }

    // Lowers the limit once the file's own first bytes tell what it may be:
    // false, with Problem() TooLarge, when it is already longer.
    bool Limit(std::uint64_t maxBytes);

    // Reads on from where the last read stopped (the start at first) until the
    // end of the file or `capacity` bytes. False, with Problem() CantRead, on a
    // read error.
    bool Read(void* buffer, std::size_t capacity, std::size_t& got);

    // Reads `capacity` bytes or up to the end from `offset`, leaving where
    // Read() goes on untouched.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t capacity, std::size_t& got);

    // The whole file, resized to fit, following a file that grows while it is
    // read: false with Problem() TooLarge once it passes the limit.
    template <class Bytes>
    bool ReadAll(Bytes& bytes) {
        if (problem_ != InputProblem::None) return false;
        // One spare byte lets the read that finds the end land without growing.
        bytes.resize(size_ + 1);
        std::size_t filled = 0;
        while (true) {
            std::size_t got = 0;
            if (!Read(bytes.data() + filled, bytes.size() - filled, got)) return false;
            filled += got;
            if (filled > maxBytes_) return TooLarge();
            if (filled < bytes.size()) break;
            bytes.resize(std::min<std::size_t>(bytes.size() * 2, maxBytes_ + 1));  // it grew meanwhile
        }
        bytes.resize(filled);
        return true;
    }

private:
    bool TooLarge();
    // Read() for a negative offset, else ReadAt().
    bool Fill(long long offset, void* buffer, std::size_t capacity, std::size_t& got);

    int fd_ = -1;
    InputProblem problem_ = InputProblem::None;
    int error_ = 0;
    std::size_t size_ = 0;
    std::uint64_t maxBytes_;
};

}  // namespace quenda
