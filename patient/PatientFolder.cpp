#include "patient/PatientFolder.h"

#include <unistd.h>

namespace quenda {

namespace fs = std::filesystem;

fs::path PatientFolder(const fs::path& programDir, const fs::path& userDataHome,
                       const std::function<bool(const fs::path&)>& writable) {
    const fs::path inDataHome = userDataHome / "Quenda" / "bldb";
    if (!RunsFromBuildTree(programDir)) return inDataHome;
    const fs::path besideProgram = programDir / "bldb";
    std::error_code ec;
    const bool exists = fs::is_directory(besideProgram, ec);
    if (exists ? writable(besideProgram) : writable(programDir)) return besideProgram;
    return inDataHome;
}

fs::path PatientFolder(const fs::path& programDir, const fs::path& userDataHome) {
    return PatientFolder(programDir, userDataHome, DirectoryWritable);
}

bool RunsFromBuildTree(const fs::path& programDir) {
    std::error_code ec;
    fs::path dir = fs::absolute(programDir, ec);
    if (ec) return false;
    for (;;) {
        if (fs::exists(dir / "CMakeCache.txt", ec)) return true;
        if (!dir.has_relative_path()) return false;  // the root
        dir = dir.parent_path();
    }
}

bool DirectoryWritable(const fs::path& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; }

}  // namespace quenda
