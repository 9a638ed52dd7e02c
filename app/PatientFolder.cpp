#include "app/PatientFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace fs = std::filesystem;

fs::path PatientFolder(const fs::path& programDir, const fs::path& userDataHome,
                       const std::function<bool(const fs::path&)>& writable) {
    const fs::path besideProgram = programDir / "bldb";
    std::error_code ec;
    const bool exists = fs::is_directory(besideProgram, ec);
    if (exists ? writable(besideProgram) : writable(programDir)) return besideProgram;
    return userDataHome / "Quenda" / "bldb";
}

fs::path PatientFolder(const fs::path& programDir, const fs::path& userDataHome) {
    return PatientFolder(programDir, userDataHome, DirectoryWritable);
}

bool DirectoryWritable(const fs::path& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; }

fs::path UserDataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".local" / "share";
}

bool FileReadable(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool CreatePatientFile(const fs::path& file, std::string& error) {
    // Make the missing folders from the outermost down, each private.
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path dir = file.parent_path(); !dir.empty() && !fs::exists(dir, ec); dir = dir.parent_path()) {
        missing.push_back(dir);
        if (dir == dir.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            error = "can't create the folder " + it->string() + ": " + std::strerror(errno);
            return false;
        }
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno == EEXIST ? file.string() + " exists but can't be read"
                                : "can't create " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace quenda
