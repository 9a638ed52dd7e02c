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

// Asks the user for the password of `where` (the server as messages name it)
// when the server wants one that libpq's own means (~/.pgpass, PGPASSWORD)
// did not give; nothing when the user cancels. The program prompts; the
// command line has none and fails with libpq's message.
using PasswordPrompt = std::function<std::optional<std::string>(const std::string& where)>;

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
