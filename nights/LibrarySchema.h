#pragma once

#include <filesystem>
#include <string>

namespace quenda {

class SqliteDatabase;

// The library's schema, version by version. Each step is kept as it was
// shipped, so a file of any older version walks the same road to today's.
//
//   1  sources, nights (times, place in the source file, figures, note)
//   2  nights gain "coverage"; the exclusions table; the removed nights
//   3  nights gain "computed_under": the settings their figures follow
//      (empty: unknown, computed again when next read)
//   4  nights gain the pulse-rise index and the coupled share (NULL: none),
//      and every night is computed again when next read
//   5  nights gain "clock_shift" (seconds their times are moved by) and
//      "merged_into" (a night merged into another, hidden from listings);
//      the merges and splits tables: what undoing each one restores
//   6  a removed night is known by what identifies its samples
//   7  the scored studies' events
//   8  nights gain "clinical_columns": the scalars of their clinical JSON,
//      flat, so a table of nights reads them as they are; an older night's
//      are read out of its JSON once, here
//
// An empty file (user_version 0, no tables) is created at version 1 and
// walked up like any other.

// The SQL that makes a version-1 library from nothing (for the migration
// tests as much as for new files).
extern const char* const kLibrarySchemaV1;

// Brings `db` (of `file`) to kLibrarySchemaVersion. A file that held data is
// first copied to "<file>.v<old>.bak" (consistent, synced, 0600). The steps
// run in one transaction, re-reading the version under the lock, so two
// programs opening an old file at once migrate it once.
bool MigrateLibrary(SqliteDatabase& db, const std::filesystem::path& file, std::string& error);

// The backup's name for a file of `version`.
std::filesystem::path LibraryBackupFile(const std::filesystem::path& file, int version);

}  // namespace quenda
