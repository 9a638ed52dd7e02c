#include "nights/LibrarySchema.h"

#include "nights/Library.h"
#include "nights/OlderFigures.h"
#include "nights/SqliteDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace quenda {

const char* const kLibrarySchemaV1 = R"sql(
CREATE TABLE sources(
  path TEXT PRIMARY KEY,
  added_at INTEGER NOT NULL);
CREATE TABLE nights(
  night INTEGER PRIMARY KEY AUTOINCREMENT,
  id INTEGER NOT NULL,
  name TEXT NOT NULL DEFAULT '',
  date TEXT NOT NULL,
  start INTEGER NOT NULL,
  "end" INTEGER NOT NULL,
  samples INTEGER NOT NULL,
  gap_seconds INTEGER NOT NULL,
  source TEXT NOT NULL,
  first INTEGER NOT NULL,
  last INTEGER NOT NULL,
  clinical BLOB NOT NULL,
  note TEXT NOT NULL DEFAULT '',
  added_at INTEGER NOT NULL,
  digest INTEGER NOT NULL,
  valid_hours REAL NOT NULL DEFAULT 0,
  odi3 REAL NOT NULL DEFAULT 0,
  odi4 REAL NOT NULL DEFAULT 0,
  desat_burden REAL NOT NULL DEFAULT 0,
  t90 REAL NOT NULL DEFAULT 0,
  t88_minutes REAL NOT NULL DEFAULT 0,
  spo2_mean REAL NOT NULL DEFAULT 0,
  spo2_median REAL NOT NULL DEFAULT 0,
  pulse_mean REAL NOT NULL DEFAULT 0,
  pulse_median REAL NOT NULL DEFAULT 0,
  desat_index REAL NOT NULL DEFAULT 0,
  pulse_index REAL NOT NULL DEFAULT 0,
  valid_samples INTEGER NOT NULL DEFAULT 0,
  longest_le88 INTEGER NOT NULL DEFAULT 0,
  nadir INTEGER NOT NULL DEFAULT 0,
  pulse_min INTEGER NOT NULL DEFAULT 0,
  pulse_max INTEGER NOT NULL DEFAULT 0,
  stat_spo2_max INTEGER NOT NULL DEFAULT 0,
  stat_spo2_min INTEGER NOT NULL DEFAULT 0,
  stat_spo2_avg INTEGER NOT NULL DEFAULT 0,
  stat_pulse_max INTEGER NOT NULL DEFAULT 0,
  stat_pulse_min INTEGER NOT NULL DEFAULT 0,
  stat_pulse_avg INTEGER NOT NULL DEFAULT 0,
  desat_events INTEGER NOT NULL DEFAULT 0,
  pulse_events INTEGER NOT NULL DEFAULT 0);
CREATE INDEX nights_by_key ON nights(id, start);
CREATE INDEX nights_by_start ON nights(start);
PRAGMA user_version = 1;
)sql";

namespace {

// Version n to n + 1 is kSteps[n - 1].
const char* const kSteps[] = {
    R"sql(
ALTER TABLE nights ADD COLUMN coverage REAL NOT NULL DEFAULT 100;
CREATE TABLE exclusions(
  night INTEGER NOT NULL REFERENCES nights(night) ON DELETE CASCADE,
  first INTEGER NOT NULL,
  last INTEGER NOT NULL);
CREATE INDEX exclusions_by_night ON exclusions(night);
CREATE TABLE removed(
  id INTEGER NOT NULL,
  start INTEGER NOT NULL,
  PRIMARY KEY(id, start));
PRAGMA user_version = 2;
)sql",
    R"sql(
ALTER TABLE nights ADD COLUMN computed_under TEXT NOT NULL DEFAULT '';
PRAGMA user_version = 3;
)sql",
    R"sql(
ALTER TABLE nights ADD COLUMN pulse_rise_index REAL NOT NULL DEFAULT 0;
ALTER TABLE nights ADD COLUMN coupled_share REAL;
UPDATE nights SET computed_under='';
PRAGMA user_version = 4;
)sql",
    R"sql(
ALTER TABLE nights ADD COLUMN clock_shift INTEGER NOT NULL DEFAULT 0;
ALTER TABLE nights ADD COLUMN merged_into INTEGER;
CREATE TABLE merges(
  second INTEGER NOT NULL UNIQUE,
  night INTEGER NOT NULL REFERENCES nights(night) ON DELETE CASCADE,
  first_samples INTEGER NOT NULL,
  first_end INTEGER NOT NULL,
  first_source TEXT NOT NULL,
  first_first INTEGER NOT NULL,
  first_digest INTEGER NOT NULL,
  first_note TEXT NOT NULL,
  joined_note TEXT NOT NULL);
CREATE INDEX merges_by_night ON merges(night);
CREATE TABLE splits(
  second INTEGER PRIMARY KEY REFERENCES nights(night) ON DELETE CASCADE,
  night INTEGER NOT NULL UNIQUE REFERENCES nights(night) ON DELETE CASCADE,
  whole_samples INTEGER NOT NULL,
  whole_end INTEGER NOT NULL,
  whole_digest INTEGER NOT NULL);
PRAGMA user_version = 5;
)sql",
    // A removal names the night's samples, as the journal does, so a
    // recording of the same ID that started at the same second is not kept
    // out with it. Removals made before name none: by ID and start, as ever.
    R"sql(
CREATE TABLE removed_by_samples(
  id INTEGER NOT NULL,
  start INTEGER NOT NULL,
  samples INTEGER NOT NULL DEFAULT 0,
  digest INTEGER NOT NULL DEFAULT 0,
  source TEXT NOT NULL DEFAULT '',
  first INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(id, start, samples, digest));
INSERT INTO removed_by_samples(id,start) SELECT id,start FROM removed;
DROP TABLE removed;
ALTER TABLE removed_by_samples RENAME TO removed;
PRAGMA user_version = 6;
)sql",
    R"sql(
CREATE TABLE scored(
  id INTEGER NOT NULL,
  onset_ms INTEGER NOT NULL,
  duration_ms INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  stage INTEGER NOT NULL,
  text TEXT NOT NULL,
  source TEXT NOT NULL);
CREATE INDEX scored_by_time ON scored(id, onset_ms);
PRAGMA user_version = 7;
)sql",
    R"sql(
ALTER TABLE nights ADD COLUMN clinical_columns BLOB;
PRAGMA user_version = 8;
)sql",
};
static_assert(std::size(kSteps) == kLibrarySchemaVersion - 1);

bool Exec(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

int Version(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    return version;
}

// A consistent copy through SQLite itself, then synced and renamed into
// place, so a backup is whole or absent.
bool Backup(sqlite3* db, const std::filesystem::path& target, std::string& error) {
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    std::error_code ec;
    std::filesystem::remove(temporary, ec);
    sqlite3_stmt* s = nullptr;
    bool ok = sqlite3_prepare_v2(db, "VACUUM INTO ?", -1, &s, nullptr) == SQLITE_OK &&
              sqlite3_bind_text(s, 1, temporary.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
              sqlite3_step(s) == SQLITE_DONE;
    if (!ok) error = "can't copy it to " + temporary.string() + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(s);
    if (ok) {
        const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd >= 0 && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (ok) std::filesystem::rename(temporary, target, ec);
        if (!ok || ec) {
            error = "can't keep the copy " + target.string();
            ok = false;
        }
    }
    if (!ok) std::filesystem::remove(temporary, ec);
    return ok;
}

}  // namespace

std::filesystem::path LibraryBackupFile(const std::filesystem::path& file, int version) {
    std::filesystem::path backup = file;
    backup += ".v" + std::to_string(version) + ".bak";
    return backup;
}

bool MigrateLibrary(SqliteDatabase& database, const std::filesystem::path& file, std::string& error) {
    sqlite3* db = database.Handle();
    const int before = Version(db);
    if (before < 0) {
        error = sqlite3_errmsg(db);
        return false;
    }
    if (before >= 1 && before < kLibrarySchemaVersion && !Backup(db, LibraryBackupFile(file, before), error))
        return false;
    if (!Exec(db, "BEGIN IMMEDIATE", error)) return false;
    int version = Version(db);
    bool ok = version >= 0;
    if (ok && version == 0) {
        ok = Exec(db, kLibrarySchemaV1, error);
        version = 1;
    }
    while (ok && version < kLibrarySchemaVersion) {
        ok = Exec(db, kSteps[version - 1], error);
        ++version;
        if (ok && version == 8) ok = FillClinicalColumns(database, error);
    }
    if (ok && Exec(db, "COMMIT", error)) return true;
    std::string ignored;
    Exec(db, "ROLLBACK", ignored);
    return false;
}

}  // namespace quenda
