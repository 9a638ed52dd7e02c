#pragma once

// The library's SQL connection to a clinic's PostgreSQL server, over libpq.
//
// The shared SQL's "?" parameters become $1, $2 ...; each bound value carries
// its type (int8, float8, text, bytea), so comparisons and arithmetic on a
// parameter type as they should. A NULL carries none, and PostgreSQL cannot
// tell the type of a parameter that only "? IS NULL" uses: such a parameter
// is written CAST(? AS TEXT) (or the type it stands for), which both engines
// take. Results come back as text and are read as SQLite would read them
// (a boolean as 1 or 0).
//
// Writers take turns through one advisory lock, held to the end of the
// transaction; a write transaction tells every other connection with a
// NOTIFY that it committed, and DataVersion counts those notices without
// asking the server.

#include "nights/LibraryLocation.h"
#include "nights/SqlDatabase.h"
#include "store/DataFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct pg_conn;
struct pg_result;

namespace quenda {

// The channel every write transaction notifies.
inline constexpr const char* kLibraryChannel = "quenda_library";

// The failures said when connecting; the detail is libpq's own text.
namespace server_message {
inline constexpr const char* kNotAUri = "This is not a server's address: ";
inline constexpr const char* kCantConnect = "Can't connect to the library's server at ";
}  // namespace server_message

// "?" and "?NNN" parameters as PostgreSQL's "$N", numbered as SQLite numbers
// them (a bare "?" takes one more than the largest number so far); those in
// quoted literals, quoted names, comments and dollar-quoted bodies are left.
// `count` is the largest number. False, with `error`, for a number out of
// range (0, or more than PostgreSQL's 65535).
bool NumberParameters(std::string_view sql, std::string& out, int& count, std::string& error);

class PostgresDatabase final : public SqlDatabase {
public:
    // Connects to the server `uri` names. The password comes from libpq's
    // own means (~/.pgpass, PGPASSWORD, the URI) or, when the server asks for
    // one they did not give and `ask` is set, from `ask`, which is told when
    // the server refuses it. Nullptr, with `result` saying why, when no
    // connection is made.
    static std::unique_ptr<PostgresDatabase> Connect(const std::string& uri, const PasswordPrompt& ask,
                                                     FileResult& result);
    ~PostgresDatabase() override;

    std::unique_ptr<SqlStatement> Prepare(std::string_view sql) override;
    bool Exec(std::string_view sql) override;
    bool BeginWrite() override;
    bool BeginRead() override;
    bool Commit() override;
    void Rollback() override;
    std::int64_t Changes() const override { return changes_; }
    std::int64_t DataVersion() override;
    std::string LastError() const override { return error_; }
    SqlTrouble LastTrouble() const override { return trouble_; }
    std::string Where() const override { return where_; }

private:
    friend class PostgresStatement;
    // A statement's values, in libpq's terms.
    struct Parameters {
        int count = 0;
        const unsigned* types = nullptr;
        const char* const* values = nullptr;
        const int* lengths = nullptr;
        const int* formats = nullptr;
    };
    // Runs `sql`, with `parameters` (one statement) or without (one or more
    // statements): its result, for the caller to PQclear, or nullptr with
    // LastError set.
    pg_result* Run(const std::string& sql, const Parameters* parameters);

    PostgresDatabase(pg_conn* conn, std::string where);
    // Before a statement: a connection found dropped is made again, outside
    // a transaction. False when the statement cannot run.
    bool Ready();
    bool Reconnect();
    bool Listen();
    // Whether `result` is what was asked; otherwise notes why not.
    bool Succeeded(const struct pg_result* result);
    void NoteConnectionLost();
    bool Begin(const std::string& sql, bool write);
    // ROLLBACK when the server still holds the transaction; LastError kept.
    void EndTransaction();

    pg_conn* conn_ = nullptr;
    std::string where_;
    std::string error_;
    SqlTrouble trouble_ = SqlTrouble::None;
    std::int64_t changes_ = 0;
    std::int64_t version_ = 0;
    bool inTransaction_ = false;
    bool writing_ = false;
    // The connection dropped inside the open transaction: the server rolled
    // it back, and nothing more of it may run until the store ends it.
    bool transactionLost_ = false;
    // A statement of the open transaction failed: it cannot commit, and its
    // failure is what a Commit says.
    bool transactionFailed_ = false;
};

}  // namespace quenda
