#pragma once

// What the library's stores run their SQL through: one connection, to an
// SQLite file on this computer or to a clinic's PostgreSQL server. The
// store's logic is written once against this; each driver turns it into its
// own calls.
//
// The SQL the stores share is written so that both engines take it as it
// is: "?" parameters (numbered in order), INSERT ... ON CONFLICT DO NOTHING,
// RETURNING for a number just made, CASE instead of two-argument min/max.
// A driver may rewrite the parameters; it rewrites nothing else.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quenda {

enum class SqlStep {
    Row,     // a row is there to read
    Done,    // the statement ran to its end
    Failed,  // see SqlDatabase::LastError
};

// A prepared statement. Parameters are numbered from 1, columns from 0.
class SqlStatement {
public:
    virtual ~SqlStatement() = default;
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    virtual void Bind(int i, std::int64_t v) = 0;
    virtual void Bind(int i, double v) = 0;
    virtual void BindText(int i, std::string_view v) = 0;
    virtual void BindBlob(int i, std::string_view v) = 0;
    virtual void BindNull(int i) = 0;
    // The first Step runs the statement; each further one moves to the next row.
    virtual SqlStep Step() = 0;
    // Back to before the first Step, the bindings cleared.
    virtual void Reset() = 0;

    // The current row's columns.
    virtual bool IsNull(int c) const = 0;
    virtual std::int64_t Int(int c) const = 0;
    virtual double Real(int c) const = 0;
    virtual std::string Text(int c) const = 0;
    // Valid until the next Step or Reset.
    virtual std::string_view Blob(int c) const = 0;

protected:
    SqlStatement() = default;
};

// Why the last call failed, as far as the store acts on it.
enum class SqlTrouble {
    None,
    Damaged,      // the database is no database or damaged (SQLite's file)
    Denied,       // the login may not do this (a reading role trying to change)
    Unreachable,  // the connection to the server is gone or never came
    Other,
};

class SqlDatabase {
public:
    virtual ~SqlDatabase() = default;
    SqlDatabase(const SqlDatabase&) = delete;
    SqlDatabase& operator=(const SqlDatabase&) = delete;

    // Nullptr when the SQL does not compile (LastError says why). A driver
    // that compiles on the first Step may give a statement whose first Step
    // fails instead.
    virtual std::unique_ptr<SqlStatement> Prepare(std::string_view sql) = 0;
    // Runs SQL without parameters (one or more statements).
    virtual bool Exec(std::string_view sql) = 0;

    // A write transaction. Writers take turns across every connection to the
    // database (the store checks, then writes, and no other writer may come
    // between); readers do not wait for them.
    virtual bool BeginWrite() = 0;
    // A reading transaction: what it reads is one snapshot.
    virtual bool BeginRead() = 0;
    virtual bool Commit() = 0;
    virtual void Rollback() = 0;

    // Rows changed by the last INSERT, UPDATE or DELETE.
    virtual std::int64_t Changes() const = 0;

    // Changes whenever another connection commits a change; -1 when it
    // cannot be read.
    virtual std::int64_t DataVersion() = 0;

    virtual std::string LastError() const = 0;
    virtual SqlTrouble LastTrouble() const = 0;

    // Where the database is, for messages: the file, or the server's host and
    // database (never a password).
    virtual std::string Where() const = 0;

protected:
    SqlDatabase() = default;
};

// A statement used as a value: finalized on every road out, its bindings
// chained. A statement that did not compile fails its first Step.
class Statement {
public:
    Statement(SqlDatabase& db, std::string_view sql) : s_(db.Prepare(sql)) {}
    bool Ok() const { return s_ != nullptr; }
    Statement& Bind(int i, std::int64_t v) {
        if (s_) s_->Bind(i, v);
        return *this;
    }
    Statement& Bind(int i, int v) { return Bind(i, static_cast<std::int64_t>(v)); }
    Statement& Bind(int i, double v) {
        if (s_) s_->Bind(i, v);
        return *this;
    }
    Statement& Bind(int i, std::string_view v) {
        if (s_) s_->BindText(i, v);
        return *this;
    }
    Statement& Bind(int i, const std::string& v) { return Bind(i, std::string_view(v)); }
    Statement& Bind(int i, const char* v) { return Bind(i, std::string_view(v)); }
    Statement& BindBlob(int i, std::string_view v) {
        if (s_) s_->BindBlob(i, v);
        return *this;
    }
    Statement& BindNull(int i) {
        if (s_) s_->BindNull(i);
        return *this;
    }
    SqlStep Step() { return s_ ? s_->Step() : SqlStep::Failed; }
    void Reset() {
        if (s_) s_->Reset();
    }
    bool IsNull(int c) const { return s_->IsNull(c); }
    std::int64_t Int(int c) const { return s_->Int(c); }
    double Real(int c) const { return s_->Real(c); }
    std::string Text(int c) const { return s_->Text(c); }
    std::string_view Blob(int c) const { return s_->Blob(c); }

private:
    std::unique_ptr<SqlStatement> s_;
};

// A write transaction rolled back unless committed.
class Transaction {
public:
    explicit Transaction(SqlDatabase& db) : db_(db) { open_ = db_.BeginWrite(); }
    ~Transaction() {
        if (open_) db_.Rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool Open() const { return open_; }
    bool Commit() {
        if (!open_) return false;
        if (!db_.Commit()) return false;
        open_ = false;
        return true;
    }

private:
    SqlDatabase& db_;
    bool open_ = false;
};

}  // namespace quenda
