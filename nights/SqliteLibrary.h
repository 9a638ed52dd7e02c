#pragma once

// The library kept in one SQLite file on this computer: the store a single
// user's program and quenda-cli open by default. Its nights' sources are the
// data files at the paths their rows name; its journal is the file beside it
// (JournalFileOf). Everything else is SqlLibrary's.

#include "nights/SqlLibrary.h"

#include <filesystem>
#include <memory>

struct sqlite3;

namespace quenda {

class SqliteDatabase;

class SqliteLibrary final : public SqlLibrary {
public:
    // NightLibrary::Open for a file.
    static std::unique_ptr<SqliteLibrary> Open(const std::filesystem::path& file, FileResult& result,
                                               LibraryOpening opening);

    // The underlying connection, for the rebuild, the tests and the benchmarks.
    sqlite3* Handle() const;

    // A copy's (LibraryCopy.h): the journal file's lines; a copied source
    // that is not a file here is written beside the library, in
    // CopiedSourcesOf's folder.
    FileResult JournalLines(std::vector<JournalEntry>& entries) override;
    FileResult PlaceCopiedSource(const std::string& source, const std::string& origin,
                                 const DataFileContents& contents, std::filesystem::path& path) override;

protected:
    FileResult ReadSource(const std::string& source, DataFileContents& contents) override;
    bool HasSource(const std::string& source) override;
    FileResult RecordSource(const std::filesystem::path& origin, int id, std::span<const SampleRecord> records,
                            const std::string* title, std::string& recorded) override;
    FileResult Journal(const std::vector<JournalEntry>& entries) override;

private:
    SqliteLibrary(std::filesystem::path file, std::unique_ptr<SqliteDatabase> db);

    SqliteDatabase& sqlite_;
};

// The SQLite connection behind `library`; nullptr for another store. For the
// tests and the benchmarks.
sqlite3* SqliteHandle(const NightLibrary& library);

// "<library>.sources": where a copy into the library at `library` writes the
// sources it copies from a store that keeps them elsewhere (a server).
std::filesystem::path CopiedSourcesOf(const std::filesystem::path& library);

}  // namespace quenda
