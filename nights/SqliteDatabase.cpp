#include "nights/SqliteDatabase.h"

#include "nights/Library.h"  // kLibraryBusyTimeoutMs

#include <sqlite3.h>

#include <limits>

namespace quenda {

namespace {

int Size(std::string_view text) {
    return text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? -1 : static_cast<int>(text.size());
}

class SqliteStatement final : public SqlStatement {
public:
    explicit SqliteStatement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(stmt_); }

    void Bind(int i, std::int64_t v) override { sqlite3_bind_int64(stmt_, i, v); }
    void Bind(int i, double v) override { sqlite3_bind_double(stmt_, i, v); }
    void BindText(int i, std::string_view v) override {
        sqlite3_bind_text(stmt_, i, v.data(), Size(v), SQLITE_TRANSIENT);
    }
    void BindBlob(int i, std::string_view v) override {
        // A blob of no bytes is a blob still, not NULL.
        sqlite3_bind_blob(stmt_, i, v.empty() ? "" : v.data(), Size(v), SQLITE_TRANSIENT);
    }
    void BindNull(int i) override { sqlite3_bind_null(stmt_, i); }
    SqlStep Step() override {
        switch (sqlite3_step(stmt_)) {
            case SQLITE_ROW: return SqlStep::Row;
            case SQLITE_DONE: return SqlStep::Done;
            default: return SqlStep::Failed;
        }
    }
    void Reset() override {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    bool IsNull(int c) const override { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    std::int64_t Int(int c) const override { return sqlite3_column_int64(stmt_, c); }
    double Real(int c) const override { return sqlite3_column_double(stmt_, c); }
    std::string Text(int c) const override {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
    }
    std::string_view Blob(int c) const override {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, c));
        return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string_view();
    }

private:
    sqlite3_stmt* stmt_;
};

}  // namespace

std::unique_ptr<SqliteDatabase> SqliteDatabase::Open(const std::filesystem::path& file, std::string& error) {
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : sqlite3_errstr(opened);
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kLibraryBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(file, db));
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close_v2(db_); }

std::unique_ptr<SqlStatement> SqliteDatabase::Prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), Size(sql), &stmt, nullptr) != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return std::make_unique<SqliteStatement>(stmt);
}

bool SqliteDatabase::Exec(std::string_view sql) {
    // sqlite3_exec wants a terminated text.
    const std::string text(sql);
    return sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteDatabase::BeginWrite() { return Exec("BEGIN IMMEDIATE"); }
bool SqliteDatabase::BeginRead() { return Exec("BEGIN"); }
bool SqliteDatabase::Commit() { return Exec("COMMIT"); }
void SqliteDatabase::Rollback() { Exec("ROLLBACK"); }

std::int64_t SqliteDatabase::Changes() const { return sqlite3_changes64(db_); }

std::int64_t SqliteDatabase::DataVersion() {
    sqlite3_stmt* s = nullptr;
    std::int64_t version = -1;
    if (sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return version;
}

std::string SqliteDatabase::LastError() const { return sqlite3_errmsg(db_); }

SqlTrouble SqliteDatabase::LastTrouble() const {
    const int primary = sqlite3_extended_errcode(db_) & 0xFF;
    switch (primary) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE: return SqlTrouble::None;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT: return SqlTrouble::Damaged;
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH: return SqlTrouble::Denied;
        default: return SqlTrouble::Other;
    }
}

bool SqliteDatabase::UseWal() {
    constexpr int kPauseMs = 10;
    for (int waited = 0;; waited += kPauseMs) {
        const int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return true;
        if ((rc & 0xff) != SQLITE_BUSY || waited >= kLibraryBusyTimeoutMs) return false;
        sqlite3_sleep(kPauseMs);
    }
}

}  // namespace quenda
