#include "nights/SqliteLibrary.h"

#include "nights/Journal.h"
#include "nights/LibrarySchema.h"
#include "nights/SqliteDatabase.h"
#include "store/DataFile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <system_error>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// Creates every missing folder on the way to `path`, each 0700.
bool MakePrivateFolders(const fs::path& path, std::string& error) {
    fs::path built;
    for (const fs::path& part : path) {
        built /= part;
        if (built.empty() || ::mkdir(built.c_str(), 0700) == 0 || errno == EEXIST) continue;
        error = built.string() + ": " + std::generic_category().message(errno);
        return false;
    }
    return true;
}

}  // namespace

sqlite3* SqliteHandle(const NightLibrary& library) {
    const auto* store = dynamic_cast<const SqliteLibrary*>(&library);
    return store ? store->Handle() : nullptr;
}

SqliteLibrary::SqliteLibrary(fs::path file, std::unique_ptr<SqliteDatabase> db)
    : SqlLibrary(std::move(file), nullptr), sqlite_(*db) {
    db_ = std::move(db);
}

sqlite3* SqliteLibrary::Handle() const { return sqlite_.Handle(); }

std::unique_ptr<SqliteLibrary> SqliteLibrary::Open(const fs::path& file, FileResult& result, LibraryOpening opening) {
    result = {};
    const std::string name = file.string();
    std::error_code ec;
    const bool existed = fs::exists(file, ec);
    // Not there to read: nothing to list. (SQLite is not asked to create
    // below, so a file removed meanwhile is not made either.)
    if (!existed && opening == LibraryOpening::ExistingOnly && !ec) return nullptr;
    if (!existed && opening == LibraryOpening::Create) {
        std::string error;
        if (file.has_parent_path() && !MakePrivateFolders(file.parent_path(), error))
            return result = LibraryFailure(library_message::kCantOpen, name, error), nullptr;
        // Made here, 0600, so SQLite (and its -wal and -shm files, which take
        // the database's mode) never widens it. An empty file is an empty
        // database; two processes racing here both find it so.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return result = LibraryFailure(library_message::kCantOpen, name, std::strerror(errno)), nullptr;
        ::close(fd);
    }
    std::string error;
    auto opened = SqliteDatabase::Open(file, error);
    if (!opened) return result = LibraryFailure(library_message::kCantOpen, name, error), nullptr;
    SqliteDatabase& db = *opened;
    std::unique_ptr<SqliteLibrary> lib(new SqliteLibrary(file, std::move(opened)));
    // Reading the schema first: a file that is no database, or whose first
    // page is damaged, fails here before anything is written to it.
    // Both read in one snapshot: another process may be making the schema
    // right now, and a version of 0 read before its commit with its tables
    // counted after would look like a foreign database.
    int version = 0;
    if (!db.BeginRead()) return result = lib->DbFailure(library_message::kCantOpen), nullptr;
    {
        Statement s(db, "PRAGMA user_version");
        if (s.Step() != SqlStep::Row) return result = lib->DbFailure(library_message::kCantOpen), nullptr;
        version = static_cast<int>(s.Int(0));
    }
    {
        Statement s(db, "SELECT count(*) FROM sqlite_master");
        if (s.Step() != SqlStep::Row) return result = lib->DbFailure(library_message::kCantOpen), nullptr;
        if (version == 0 && s.Int(0) != 0) {
            return result = LibraryFailure(library_message::kNotLibrary, name, "tables without a Quenda schema"),
                   nullptr;
        }
    }
    db.Commit();
    if (version > kLibrarySchemaVersion) return result = LibraryFailure(library_message::kNewer, name), nullptr;
    // WAL: a reader (the Nights window) never waits for a writer (a download
    // adding its nights), and a killed writer leaves the last commit intact.
    if (!db.UseWal() || !db.Exec("PRAGMA synchronous=NORMAL") || !db.Exec("PRAGMA foreign_keys=ON")) {
        return result = lib->DbFailure(library_message::kCantOpen), nullptr;
    }
    if (version < kLibrarySchemaVersion && !MigrateLibrary(db, file, error)) {
        const bool damaged = db.LastTrouble() == SqlTrouble::Damaged;
        return result =
                   LibraryFailure(damaged ? library_message::kNotLibrary : library_message::kCantWrite, name, error),
               nullptr;
    }
    return lib;
}

FileResult SqliteLibrary::ReadSource(const std::string& source, DataFileContents& contents) {
    return ReadSourceFile(source, contents);
}

bool SqliteLibrary::HasSource(const std::string& source) {
    struct stat st {};
    return ::stat(source.c_str(), &st) == 0;
}

// The title is the file's own: a copy writes it there (PlaceCopiedSource).
FileResult SqliteLibrary::RecordSource(const fs::path& origin, int, std::span<const SampleRecord>, const std::string*,
                                       std::string& recorded) {
    recorded = fs::absolute(origin).lexically_normal().string();
    Statement s(*db_, "INSERT INTO sources(path,added_at) VALUES(?,?) ON CONFLICT DO NOTHING");
    s.Bind(1, recorded).Bind(2, NowSeconds());
    return s.Step() == SqlStep::Done ? FileResult{} : DbFailure(library_message::kCantWrite);
}

FileResult SqliteLibrary::Journal(const std::vector<JournalEntry>& entries) {
    std::string error;
    if (AppendJournal(JournalFileOf(file_), entries, error)) return {};
    return LibraryFailure(library_message::kCantWrite, file_.string(), error);
}

FileResult SqliteLibrary::JournalLines(std::vector<JournalEntry>& entries) {
    std::string error;
    if (ReadJournal(JournalFileOf(file_), entries, error)) return {};
    return LibraryFailure(library_message::kCantOpen, JournalFileOf(file_).string(), error);
}

fs::path CopiedSourcesOf(const fs::path& library) {
    fs::path folder = library;
    folder += ".sources";
    return folder;
}

namespace {

// Whether the data file at `path` holds exactly `contents`' records.
bool FileHolds(const fs::path& path, const DataFileContents& contents) {
    DataFileContents there;
    return ReadDataFile(path, there) && there.records == contents.records;
}

// A file name for a source's key: its letters, digits, '.', '-' and '_',
// anything else as '_'.
std::string FileNameOf(const std::string& key) {
    std::string name = key.empty() ? std::string("source") : key;
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (!plain) c = '_';
    }
    if (name.front() == '.') name.front() = '_';
    return name.ends_with(".dat") ? name : name + ".dat";
}

}  // namespace

// A file here is added where it is; records kept elsewhere (a server's) are
// written beside the library, named by the source's key, once.
FileResult SqliteLibrary::PlaceCopiedSource(const std::string& source, const std::string& origin,
                                            const DataFileContents& contents, fs::path& path) {
    if (origin == source || (fs::path(origin).is_absolute() && FileHolds(origin, contents))) {
        path = origin;
        return {};
    }
    const fs::path folder = CopiedSourcesOf(fs::absolute(file_));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return LibraryFailure(library_message::kCantWrite, folder.string(), std::strerror(errno));
    path = folder / FileNameOf(source);
    if (FileHolds(path, contents)) return {};
    return WriteDataFile(path, static_cast<std::uint8_t>(RecordingId(contents)), contents.records, contents.title);
}

}  // namespace quenda
