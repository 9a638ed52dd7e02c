#include "store/DataHome.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// The user's home folder as the password database has it; empty when it has none.
fs::path AccountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return found->pw_dir;
}

}  // namespace

fs::path UserDataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    fs::path home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else {
        home = AccountHome();
        if (home.empty()) home = "/";
    }
    return home / ".local" / "share";
}

fs::path QuendaDataFolder() { return UserDataHome() / "Quenda"; }

}  // namespace quenda
