#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quenda {

// The folder of the patient file. It sits beside the program ("bldb" in the
// program's folder) as long as the program may write there. Installed
// system-wide the program's folder is read-only, and the folder moves to the
// user's data home: $XDG_DATA_HOME/Quenda/bldb.
std::filesystem::path PatientFolder(const std::filesystem::path& programDir, const std::filesystem::path& userDataHome,
                                    const std::function<bool(const std::filesystem::path&)>& writable);
std::filesystem::path PatientFolder(const std::filesystem::path& programDir, const std::filesystem::path& userDataHome);

inline constexpr const char* kPatientFileName = "pationtrec.dat";

// Whether this process may create and replace files in `dir`.
bool DirectoryWritable(const std::filesystem::path& dir);

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
std::filesystem::path UserDataHome();

}  // namespace quenda
