#pragma once

// What the SQLite store runs its SQL with: a prepared statement finalized on
// every road out, a write transaction rolled back unless committed.

#include "nights/Library.h"  // kLibraryBusyTimeoutMs
#include "nights/LibraryColumns.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace quenda {

// A prepared statement, finalized on every road out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* Get() const { return stmt_; }
    Statement& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, double v) {
        sqlite3_bind_double(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, std::string_view v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int i, const std::string& v) {
        sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindNull(int i) {
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t Int(int c) const { return sqlite3_column_int64(stmt_, c); }
    double Real(int c) const { return sqlite3_column_double(stmt_, c); }
    std::string Text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
    }
    std::string Blob(int c) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, c));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

inline bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Switches the file to WAL. SQLite answers a change of journal mode that
// meets another connection with "busy" at once, without its busy handler, so
// two processes opening a new library together wait here instead; once one
// has switched, the mode is in the file and the others find it so.
inline bool UseWal(sqlite3* db) {
    constexpr int kPauseMs = 10;
    for (int waited = 0;; waited += kPauseMs) {
        const int rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return true;
        if ((rc & 0xff) != SQLITE_BUSY || waited >= kLibraryBusyTimeoutMs) return false;
        sqlite3_sleep(kPauseMs);
    }
}

// Ends a write transaction: rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { open_ = Exec(db_, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (open_) Exec(db_, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool Open() const { return open_; }
    bool Commit() {
        if (!open_) return false;
        if (!Exec(db_, "COMMIT")) return false;
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool open_ = false;
};

// Binds the figures from parameter `at` on.
inline void BindFigures(Statement& s, int at, const NightFigures& f) {
    for (const auto& c : kRealColumns) s.Bind(at++, f.*(c.field));
    for (const auto& c : kIntColumns) s.Bind(at++, static_cast<std::int64_t>(f.*(c.field)));
    if (f.coupledShare) {
        s.Bind(at, *f.coupledShare);
    } else {
        s.BindNull(at);
    }
}

}  // namespace quenda
