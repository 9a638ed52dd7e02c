#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// Replaces a file so that a reader, a crash or a full disk sees either the old
// content or the whole new content, never a mix: the bytes go to a temporary
// file beside the target (same directory, so the rename cannot cross file
// systems), are flushed to disk, and the temporary is renamed over the target.
// If anything fails, the temporary is removed and the target is left as it was.
//
//     AtomicFile file(path);
//     if (!file.Open() || !file.Write(a) || !file.Write(b) || !file.Commit())
//         report(file.Error());
//
// Small writes are gathered in a buffer, so writing line by line is cheap.
// A target that is a symbolic link is replaced by a regular file.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();  // removes an uncommitted temporary
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary. An existing target lends it its permission bits;
    // a new file gets 0666 less the umask, like any other created file.
    bool Open();

    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    bool Write(std::span<const std::uint8_t> bytes) { return Write(bytes.data(), bytes.size()); }

    // Flushes, syncs and renames over the target. After a failure the target is
    // untouched and Error() says why.
    bool Commit();

    // Drops the temporary without touching the target.
    void Discard();

    // What failed, with the system's reason, e.g.
    // "can't create a temporary file in /x: No such file or directory".
    const std::string& Error() const { return error_; }
    const std::filesystem::path& Target() const { return target_; }

    // The temporary's name, for a library that writes files only by name
    // (workbooks, EDF): between Open() and Commit() it may open, truncate and
    // write this path instead of calling Write(). Commit() then syncs and
    // renames what it wrote, as it would its own bytes.
    const std::filesystem::path& TemporaryPath() const { return temporary_; }

private:
    bool Fail(std::string what, int errorNumber);
    bool Flush();
    bool WriteOut(const char* data, std::size_t size);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool failed_ = false;
    std::vector<char> buffer_;
    std::string error_;
};

// One-call forms for content already in memory. On failure `error` says why and
// the target is untouched.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, std::string& error);
bool WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes, std::string& error);

}  // namespace quenda
