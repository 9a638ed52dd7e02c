#pragma once

// Where a library of nights is: an SQLite file on this computer (a path), or
// a clinic's PostgreSQL server named by a libpq connection URI
// ("postgresql://host/db", "postgres://..."). Wherever a library is named
// (--library, the settings, Options > Library...) either may stand.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quenda {

inline bool IsServerLocation(std::string_view location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

// Asks the user for the password of `where` (the server as messages name it)
// when the server wants one that libpq's own means (~/.pgpass, PGPASSWORD)
// did not give; nothing when the user cancels. The program prompts; the
// command line has none and fails with libpq's message.
using PasswordPrompt = std::function<std::optional<std::string>(const std::string& where)>;

}  // namespace quenda
