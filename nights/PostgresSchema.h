#pragma once

// The library's schema on a clinic's PostgreSQL server, version by version,
// in a table of its own (quenda_schema). Each step is kept as it was shipped,
// so a server of any older version walks the same road to today's.
//
//   1  the tables of an SQLite library of version 7, with the same columns
//      (integers as bigint, reals as double precision, blobs as bytea), so
//      the SQL the stores share runs on either; rows the SQLite store orders
//      by their rowid have a column "rowid" (last, so positions match);
//      nights are numbered by an identity that never gives a number twice
//      and are unique by what identifies their samples (id, start, samples,
//      digest); "sources" also holds each source's records (deflated), so
//      any workstation opens any night; "journal" holds the journal's lines
//   2  nights gain "clinical_columns", as the SQLite library's version 8
//
// Only `quenda-cli nights init` creates or upgrades it (the tables' owner);
// the workstations' logins, members of quenda_read or quenda_change, use it.

#include "nights/LibraryLocation.h"
#include "store/DataFile.h"

#include <string>

namespace quenda {

class SqlDatabase;

inline constexpr int kServerSchemaVersion = 2;

// The group roles the clinic's administrator grants to each login.
inline constexpr const char* kReadingRole = "quenda_read";
inline constexpr const char* kChangingRole = "quenda_change";

// The version of the library on the server: 0 when it holds none, -1 when it
// cannot be read (LastError says why).
int ServerSchemaVersion(SqlDatabase& db);

// Brings the library on `db` to kServerSchemaVersion, creating it on a
// database without one, and the two roles with their grants on every table:
// in one write transaction, so two runs at once do it once and a failure
// leaves the database as it was. Running it again changes nothing.
bool UpgradeServerLibrary(SqlDatabase& db, std::string& error);

// `quenda-cli nights init URI`: connects and upgrades. `where` is the server
// as messages name it.
FileResult InitServerLibrary(const std::string& uri, const PasswordPrompt& ask, std::string& where);

}  // namespace quenda
