#pragma once

// The library's SQL connection to an SQLite file on this computer.

#include "nights/SqlDatabase.h"

#include <filesystem>
#include <memory>
#include <string>

struct sqlite3;

namespace quenda {

class SqliteDatabase final : public SqlDatabase {
public:
    // Opens the existing file `file` to read and write (SQLite is not asked
    // to create it), waiting up to kLibraryBusyTimeoutMs for other writers.
    // Nothing on failure, with `error` saying why.
    static std::unique_ptr<SqliteDatabase> Open(const std::filesystem::path& file, std::string& error);
    ~SqliteDatabase() override;

    std::unique_ptr<SqlStatement> Prepare(std::string_view sql) override;
    bool Exec(std::string_view sql) override;
    // BEGIN IMMEDIATE: the write lock is taken before the store reads what
    // it checks.
    bool BeginWrite() override;
    bool BeginRead() override;
    bool Commit() override;
    void Rollback() override;
    std::int64_t Changes() const override;
    // PRAGMA data_version.
    std::int64_t DataVersion() override;
    std::string LastError() const override;
    // Damaged for a file that is no database or is corrupt.
    SqlTrouble LastTrouble() const override;
    std::string Where() const override { return file_.string(); }

    // Switches the file to WAL. SQLite answers a change of journal mode that
    // meets another connection with "busy" at once, without its busy
    // handler, so two processes opening a new library together wait here
    // instead; once one has switched, the mode is in the file and the
    // others find it so.
    bool UseWal();

    // The connection itself: the schema's migration, the rebuild, the tests.
    sqlite3* Handle() const { return db_; }

private:
    SqliteDatabase(std::filesystem::path file, sqlite3* db) : file_(std::move(file)), db_(db) {}

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
};

}  // namespace quenda
