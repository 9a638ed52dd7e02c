#include "app/PatientFolder.h"

#include <cstdlib>

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

}  // namespace quenda
