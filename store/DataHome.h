#pragma once

#include <filesystem>

namespace quenda {

// The user's data home, by one rule for every file the program keeps there:
// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share, and
// with no HOME the home folder the password database gives the user. Never a
// shared folder such as the temp folder: the patient file lives below it.
std::filesystem::path UserDataHome();

// The program's own data folder, UserDataHome()/Quenda. Kept downloads,
// imports, the library of nights and an installed program's patient file live
// below it.
std::filesystem::path QuendaDataFolder();

}  // namespace quenda
