#include "patient/PatientFile.h"

#include "base/InputFile.h"
#include "base/StringFormat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace quenda {

namespace {

namespace fs = std::filesystem;

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

std::string Fill(const char* pattern, const fs::path& file, const std::string& reason) {
    return FillPlaceholders(pattern, {file.string(), reason});
}

FileResult Failure(const char* pattern, const fs::path& file, const std::string& reason) {
    return FileResult{false, Fill(pattern, file, reason), reason};
}

FileResult Failure(const char* pattern, const fs::path& file, int errorNumber) {
    return Failure(pattern, file, std::string(std::strerror(errorNumber)));
}

// Slots are read from the file in place, never the whole file, so no length
// asks too much; what matters is that it is a regular file at all.
constexpr std::uint64_t kAnyLength = UINT64_MAX;

// Closes on every path out; the file is opened and closed within one call.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    // Closing can report a write error that the kernel held back.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd);
    }

private:
    int fd_;
};

// Makes each missing folder on the way to `folder`, private to the user.
int MakeFolders(const fs::path& folder) {
    if (folder.empty()) return 0;
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        if (const int error = MakeFolders(folder.parent_path()); error != 0) return error;
    }
    if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) return errno;
    return 0;
}

int OpenForWriting(const fs::path& file, bool& created) {
    created = false;
    int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    if (const int error = MakeFolders(file.parent_path()); error != 0) {
        errno = error;
        return -1;
    }
    fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    created = fd >= 0;
    return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

bool CanReadPatientFile(const fs::path& file) { return static_cast<bool>(InputFile(file, kAnyLength)); }

FileResult CreatePatientFile(const fs::path& file) {
    if (const int error = MakeFolders(file.parent_path()); error != 0) {
        return Failure(patient_file_message::kCantCreate, file, error);
    }
    Fd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode));
    if (fd.Get() < 0 || fd.Close() != 0) return Failure(patient_file_message::kCantCreate, file, errno);
    return {};
}

FileResult ReadPatientSlot(const fs::path& file, int index, std::span<std::uint8_t, kPatientRecordSize> slot,
                           std::size_t& bytesRead) {
    bytesRead = 0;
    InputFile in(file, kAnyLength);
    if (in.Problem() == InputProblem::CantOpen && in.Error() == ENOENT) return {};
    const auto start = static_cast<std::uint64_t>(index) * kPatientRecordSize;
    // A slot past the end of the file was never written: nothing to read.
    if (!in.ReadAt(start, slot.data(), slot.size(), bytesRead))
        return Failure(patient_file_message::kCantRead, file, in.Why());
    return {};
}

FileResult WritePatientSlot(const fs::path& file, int id, std::span<const std::uint8_t, kPatientRecordSize> slot) {
    if (id < 1 || id > kPatientSlots) return Failure(patient_file_message::kCantWrite, file, EINVAL);
    bool created = false;
    Fd fd(OpenForWriting(file, created));
    if (fd.Get() < 0) return Failure(patient_file_message::kCantWrite, file, errno);
    if (created && ::ftruncate(fd.Get(), static_cast<off_t>(kPatientFileSize)) != 0) {
        return Failure(patient_file_message::kCantWrite, file, errno);
    }
    const off_t offset = static_cast<off_t>(id - 1) * static_cast<off_t>(kPatientRecordSize);
    if (!WriteAll(fd.Get(), slot.data(), slot.size(), offset) || ::fsync(fd.Get()) != 0 || fd.Close() != 0) {
        return Failure(patient_file_message::kCantWrite, file, errno);
    }
    return {};
}

PatientRecord ReadPatientOrEmpty(const fs::path& file, int id, FileResult* failure) {
    PatientRecord patient;
    if (id >= 1 && id <= kPatientSlots) {
        std::array<std::uint8_t, kPatientRecordSize> slot{};
        std::size_t read = 0;
        if (FileResult result = ReadPatientSlot(file, id - 1, slot, read); result) {
            patient = DecodePatientRecord(slot);
        } else if (failure) {
            *failure = std::move(result);
        }
    }
    patient.id = id;
    return patient;
}

std::string PatientNameOf(const fs::path& file, int id) {
    if (id < 1 || id > kPatientSlots) return {};
    std::array<std::uint8_t, kPatientRecordSize> slot{};
    std::size_t read = 0;
    if (!ReadPatientSlot(file, id - 1, slot, read) || read < kPatientRecordSize) return {};
    return FieldTextUtf8(DecodePatientRecord(slot).name);
}

}  // namespace quenda
