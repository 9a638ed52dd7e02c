#pragma once

// Where a library of nights is: an SQLite file on this computer (a path), or
// a clinic's PostgreSQL server named by a libpq connection URI
// ("postgresql://host/db", "postgres://..."). Wherever a library is named
// (--library, the settings, Options > Library...) either may stand. A
// location is text: a URI is never made a path (relative, absolute or
// normalised), and a path carried as a location is its native text.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quenda {

inline bool IsServerLocation(std::string_view location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

// The server a password is asked for: `where`, as messages name it, and
// `account`, the host, port, database and user libpq settled on (from the
// URI, the environment and its defaults): a password is one account's.
struct PasswordRequest {
    std::string where;
    std::string account;
};

// Asks the user for a server's password when the server wants one that
// libpq's own means (~/.pgpass, PGPASSWORD, the URI) did not give; nothing
// when the user cancels. `refused`, when set, is told when the server turned
// down the answer `ask` gave, so that whoever keeps it forgets it. The
// program prompts, once a run for each account (ServerPasswords.h); the
// command line has no prompt and fails with libpq's message.
struct PasswordPrompt {
    std::function<std::optional<std::string>(const PasswordRequest&)> ask;
    std::function<void(const PasswordRequest&)> refused = {};

    explicit operator bool() const { return static_cast<bool>(ask); }
};

// The location as every message, title and page shows it: a path as it is;
// a URI without its password (the one after "user:" and any "password="
// parameter), so that no screen, log or printout ever carries one.
std::string ShownLocation(std::string_view location);

// $QUENDA_LIBRARY (a file or a URI) when set, else DefaultLibraryFile().
std::string DefaultLibraryLocation();

// Whether there may be a library to read at `location` without making one:
// a file that exists; a server always (opening it tells).
bool LibraryMayExist(const std::string& location);

namespace library_message {
// After a download whose nights could not be added (a server out of reach):
// %1, the folder where it is kept all the same.
inline constexpr const char* kDownloadKept =
    "The download is kept in %1; `quenda-cli nights add %1` or Nights > Add Files... adds its nights to the library "
    "later.";
}  // namespace library_message

}  // namespace quenda
