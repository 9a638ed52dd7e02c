#pragma once

#include "store/DataHome.h"  // UserDataHome(), the data home start-up passes

#include <filesystem>
#include <functional>
#include <string>

namespace quenda {

// The folder of the patient file. An installed program keeps it in the
// user's data home only: UserDataHome()/Quenda/bldb, whoever may write beside
// the program. Run from a build tree, it sits beside the program ("bldb" in
// the program's folder) as long as the program may write there, so each
// build keeps its own.
std::filesystem::path PatientFolder(const std::filesystem::path& programDir, const std::filesystem::path& userDataHome,
                                    const std::function<bool(const std::filesystem::path&)>& writable);
std::filesystem::path PatientFolder(const std::filesystem::path& programDir, const std::filesystem::path& userDataHome);

inline constexpr const char* kPatientFileName = "pationtrec.dat";

// Whether a program in `programDir` runs from a build tree: a CMakeCache.txt
// in that folder or one above it (the build folder's own, e.g. build/app/quenda
// under build/). Every other place counts as installed: /usr/bin, /usr/local/bin,
// ~/.local/bin or a copy of the program anywhere.
bool RunsFromBuildTree(const std::filesystem::path& programDir);

// Whether this process may create and replace files in `dir`.
bool DirectoryWritable(const std::filesystem::path& dir);

}  // namespace quenda
