#include "nights/PostgresDatabase.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace quenda {

namespace {

// The advisory lock every writer of a library takes: "QUENDA" in ASCII.
constexpr std::int64_t kWriterLock = 0x5155454E4441;
// A server that does not answer is given up after this many seconds.
constexpr const char* kConnectTimeout = "10";
// PostgreSQL numbers parameters up to this.
constexpr int kMostParameters = 65535;

// The types of pg_type that bound values carry.
constexpr Oid kInt8 = 20;
constexpr Oid kText = 25;
constexpr Oid kFloat8 = 701;
constexpr Oid kBytea = 17;

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The end of the dollar-quoted body starting at `at` ("$tag$...$tag$"), or
// npos when `at` starts no dollar quote.
std::size_t DollarQuoteEnd(std::string_view sql, std::size_t at) {
    std::size_t tagEnd = at + 1;
    while (tagEnd < sql.size() && IsIdentifierChar(sql[tagEnd]) && !(sql[tagEnd] >= '0' && sql[tagEnd] <= '9'))
        ++tagEnd;
    if (tagEnd >= sql.size() || sql[tagEnd] != '$') return std::string_view::npos;
    const std::string_view tag = sql.substr(at, tagEnd - at + 1);
    const std::size_t close = sql.find(tag, tagEnd + 1);
    return close == std::string_view::npos ? sql.size() : close + tag.size();
}

// Where "server, database" stands for the connection `uri` names, from the
// URI and libpq's environment variables, never the password.
std::string WhereOf(const PQconninfoOption* options) {
    std::string host, port, db;
    for (const PQconninfoOption* o = options; o && o->keyword; ++o) {
        const std::string value = o->val ? o->val : "";
        if (std::strcmp(o->keyword, "host") == 0) host = value;
        if (std::strcmp(o->keyword, "hostaddr") == 0 && host.empty()) host = value;
        if (std::strcmp(o->keyword, "port") == 0) port = value;
        if (std::strcmp(o->keyword, "dbname") == 0) db = value;
    }
    const auto fromEnv = [](std::string& value, const char* name) {
        if (const char* env = std::getenv(name); value.empty() && env) value = env;
    };
    fromEnv(host, "PGHOST");
    fromEnv(port, "PGPORT");
    fromEnv(db, "PGDATABASE");
    if (host.empty()) host = "localhost";
    std::string where = host;
    if (!port.empty()) where += " port " + port;
    if (!db.empty()) where += ", database " + db;
    return where;
}

// The account a connection asked a password for: host, port, database and
// user as libpq settled them, apart by a character none of them holds.
std::string AccountOf(const PGconn* conn) {
    std::string account;
    for (const char* part : {PQhost(conn), PQport(conn), PQdb(conn), PQuser(conn)}) {
        account += part ? part : "";
        account += '\0';
    }
    return account;
}

bool GivesTimeout(const PQconninfoOption* options) {
    for (const PQconninfoOption* o = options; o && o->keyword; ++o)
        if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val && *o->val) return true;
    return std::getenv("PGCONNECT_TIMEOUT") != nullptr;
}

PGconn* Open(const std::string& uri, bool timeout, const char* password) {
    std::vector<const char*> keys = {"dbname", "fallback_application_name", "client_encoding"};
    std::vector<const char*> values = {uri.c_str(), "quenda", "UTF8"};
    if (timeout) {
        keys.push_back("connect_timeout");
        values.push_back(kConnectTimeout);
    }
    if (password) {
        keys.push_back("password");
        values.push_back(password);
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keys.data(), values.data(), 1);
}

// A dropped connection found by a statement that changes nothing may run it
// again on a new one; a change may not (it may have been made).
bool SafeToRepeat(std::string_view sql) {
    const auto starts = [&](std::string_view word) {
        return sql.size() >= word.size() && std::equal(word.begin(), word.end(), sql.begin(), [](char a, char b) {
                   return std::toupper(static_cast<unsigned char>(a)) == b;
               });
    };
    return starts("BEGIN") || starts("SELECT");
}

}  // namespace

bool NumberParameters(std::string_view sql, std::string& out, int& count, std::string& error) {
    out.clear();
    out.reserve(sql.size() + 16);
    count = 0;
    std::size_t i = 0;
    const auto copyTo = [&](std::size_t end) {
        end = std::min(end, sql.size());
        out.append(sql.substr(i, end - i));
        i = end;
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // '' and "" inside stand for the quote itself.
            std::size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == c) {
                    if (end + 1 < sql.size() && sql[end + 1] == c) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
            copyTo(end);
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            copyTo(end == std::string_view::npos ? sql.size() : end);
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            copyTo(end == std::string_view::npos ? sql.size() : end + 2);
        } else if (c == '$' && (i == 0 || !IsIdentifierChar(sql[i - 1])) &&
                   DollarQuoteEnd(sql, i) != std::string_view::npos) {
            copyTo(DollarQuoteEnd(sql, i));
        } else if (c == '?') {
            std::size_t end = i + 1;
            while (end < sql.size() && sql[end] >= '0' && sql[end] <= '9') ++end;
            long number = count + 1;
            if (end > i + 1) {
                number = end - i - 1 > 5
                             ? kMostParameters + 1
                             : std::strtol(std::string(sql.substr(i + 1, end - i - 1)).c_str(), nullptr, 10);
            }
            if (number < 1 || number > kMostParameters) {
                error = "parameter " + std::string(sql.substr(i, end - i)) + " is out of range 1 to " +
                        std::to_string(kMostParameters);
                return false;
            }
            count = std::max(count, static_cast<int>(number));
            out += '$';
            out += std::to_string(number);
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return true;
}

// A statement run with PQexecParams on its first Step: one round trip,
// every row at once, read row by row.
class PostgresStatement final : public SqlStatement {
public:
    PostgresStatement(PostgresDatabase& db, std::string sql, int count)
        : db_(db), sql_(std::move(sql)), values_(static_cast<std::size_t>(count)) {}
    ~PostgresStatement() override { PQclear(result_); }

    void Bind(int i, std::int64_t v) override { Set(i, kInt8, std::to_string(v), 0); }
    void Bind(int i, double v) override {
        if (std::isnan(v)) return Set(i, kFloat8, "NaN", 0);
        if (std::isinf(v)) return Set(i, kFloat8, v > 0 ? "Infinity" : "-Infinity", 0);
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, v).ptr;
        Set(i, kFloat8, std::string(text, end), 0);
    }
    void BindText(int i, std::string_view v) override { Set(i, kText, std::string(v), 0); }
    void BindBlob(int i, std::string_view v) override { Set(i, kBytea, std::string(v), 1); }
    void BindNull(int i) override {
        if (Value* value = At(i)) *value = {};
    }

    SqlStep Step() override {
        blobs_.clear();
        switch (state_) {
            case State::Fresh: return Run();
            case State::Rows:
                if (++row_ < PQntuples(result_)) return SqlStep::Row;
                state_ = State::Finished;
                return SqlStep::Done;
            case State::Finished: return SqlStep::Done;
            case State::Failed: return SqlStep::Failed;
        }
        return SqlStep::Failed;
    }

    void Reset() override {
        PQclear(result_);
        result_ = nullptr;
        state_ = State::Fresh;
        row_ = 0;
        blobs_.clear();
        std::fill(values_.begin(), values_.end(), Value{});
    }

    bool IsNull(int c) const override { return !Has(c) || PQgetisnull(result_, row_, c); }

    std::int64_t Int(int c) const override {
        const std::string_view v = Cell(c);
        if (v == "t") return 1;
        if (v == "f") return 0;
        std::int64_t n = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec == std::errc() && end == v.data() + v.size()) return n;
        // A numeric (an average, a sum of bigints) is cut to its whole part,
        // as SQLite reads a real as an integer.
        const double d = Real(c);
        if (!(d > -9.2e18 && d < 9.2e18)) return 0;
        return static_cast<std::int64_t>(d);
    }

    double Real(int c) const override {
        const std::string_view v = Cell(c);
        if (v == "t") return 1;
        double d = 0;
        std::from_chars(v.data(), v.data() + v.size(), d);
        return d;
    }

    std::string Text(int c) const override { return std::string(Cell(c)); }

    std::string_view Blob(int c) const override {
        if (IsNull(c)) return {};
        if (PQftype(result_, c) != kBytea) return Cell(c);
        if (blobs_.size() <= static_cast<std::size_t>(c)) blobs_.resize(static_cast<std::size_t>(c) + 1);
        std::optional<std::string>& blob = blobs_[static_cast<std::size_t>(c)];
        if (!blob) {
            std::size_t size = 0;
            unsigned char* bytes =
                PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row_, c)), &size);
            blob.emplace(reinterpret_cast<const char*>(bytes), bytes ? size : 0);
            PQfreemem(bytes);
        }
        return *blob;
    }

private:
    enum class State { Fresh, Rows, Finished, Failed };
    struct Value {
        Oid type = 0;  // NULL: its type is left to the server
        std::string bytes;
        bool null = true;
        int format = 0;
    };

    Value* At(int i) { return i >= 1 && static_cast<std::size_t>(i) <= values_.size() ? &values_[i - 1] : nullptr; }
    void Set(int i, Oid type, std::string bytes, int format) {
        if (Value* value = At(i)) *value = {type, std::move(bytes), false, format};
    }
    bool Has(int c) const { return state_ == State::Rows && c >= 0 && c < PQnfields(result_); }
    std::string_view Cell(int c) const {
        if (!Has(c)) return {};
        return {PQgetvalue(result_, row_, c), static_cast<std::size_t>(PQgetlength(result_, row_, c))};
    }

    SqlStep Run() {
        std::vector<Oid> types;
        std::vector<const char*> texts;
        std::vector<int> lengths, formats;
        for (const Value& v : values_) {
            types.push_back(v.type);
            texts.push_back(v.null ? nullptr : v.bytes.c_str());
            lengths.push_back(static_cast<int>(v.bytes.size()));
            formats.push_back(v.format);
        }
        const PostgresDatabase::Parameters parameters{static_cast<int>(values_.size()), types.data(), texts.data(),
                                                      lengths.data(), formats.data()};
        result_ = db_.Run(sql_, &parameters);
        if (!result_) {
            state_ = State::Failed;
            return SqlStep::Failed;
        }
        row_ = 0;
        state_ = PQntuples(result_) > 0 ? State::Rows : State::Finished;
        return state_ == State::Rows ? SqlStep::Row : SqlStep::Done;
    }

    PostgresDatabase& db_;
    std::string sql_;
    std::vector<Value> values_;
    PGresult* result_ = nullptr;
    State state_ = State::Fresh;
    int row_ = 0;
    // Each bytea column's bytes, unescaped when first read on this row.
    mutable std::vector<std::optional<std::string>> blobs_;
};

std::unique_ptr<PostgresDatabase> PostgresDatabase::Connect(const std::string& uri, const PasswordPrompt& ask,
                                                            FileResult& result) {
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &parseError);
    if (!options) {
        result = {false, std::string(server_message::kNotAUri) + "it is not a PostgreSQL connection URI",
                  Trimmed(parseError)};
        PQfreemem(parseError);
        return nullptr;
    }
    const std::string where = WhereOf(options);
    const bool timeout = !GivesTimeout(options);
    PQconninfoFree(options);

    PGconn* conn = Open(uri, timeout, nullptr);
    if (PQstatus(conn) != CONNECTION_OK && PQconnectionNeedsPassword(conn) && ask) {
        const PasswordRequest request{where, AccountOf(conn)};
        // This copy of the answer is used for this connection and wiped.
        if (std::optional<std::string> password = ask.ask(request)) {
            PQfinish(conn);
            conn = Open(uri, timeout, password->c_str());
            std::fill(password->begin(), password->end(), '\0');
            // libpq tells no refusal from a failure after the password was
            // taken (a database that is not there): either way the answer is
            // not kept.
            if (PQstatus(conn) != CONNECTION_OK && PQconnectionUsedPassword(conn) && ask.refused) ask.refused(request);
        }
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        result = {false, server_message::kCantConnect + where, Trimmed(PQerrorMessage(conn))};
        PQfinish(conn);
        return nullptr;
    }
    // The server's notices ("already exists, skipping") are not the user's
    // business; failures come back with each statement.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    std::unique_ptr<PostgresDatabase> db(new PostgresDatabase(conn, where));
    if (!db->Listen()) {
        result = {false, server_message::kCantConnect + where, db->LastError()};
        return nullptr;
    }
    result = {};
    return db;
}

PostgresDatabase::PostgresDatabase(pg_conn* conn, std::string where) : conn_(conn), where_(std::move(where)) {}

PostgresDatabase::~PostgresDatabase() { PQfinish(conn_); }

bool PostgresDatabase::Listen() {
    PGresult* r = Run(std::string("LISTEN ") + kLibraryChannel, nullptr);
    PQclear(r);
    return r != nullptr;
}

bool PostgresDatabase::Reconnect() {
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        error_ = "the connection to " + where_ + " is lost: " + Trimmed(PQerrorMessage(conn_));
        trouble_ = SqlTrouble::Unreachable;
        return false;
    }
    // Changes made while away were not announced to this connection.
    ++version_;
    return Listen();
}

bool PostgresDatabase::Ready() {
    if (inTransaction_) {
        if (!transactionLost_) return true;
        error_ = "the connection to " + where_ + " was lost: the change was not made";
        trouble_ = SqlTrouble::Unreachable;
        return false;
    }
    // Reads what the server sent while idle: a server that went away (a
    // restart) shows here, without a round trip.
    PQconsumeInput(conn_);
    return PQstatus(conn_) == CONNECTION_OK || Reconnect();
}

void PostgresDatabase::NoteConnectionLost() {
    trouble_ = SqlTrouble::Unreachable;
    if (inTransaction_) transactionLost_ = true;
}

bool PostgresDatabase::Succeeded(const PGresult* r) {
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        error_.clear();
        trouble_ = SqlTrouble::None;
        const std::string_view command = PQcmdStatus(const_cast<PGresult*>(r));
        for (const char* changing : {"INSERT", "UPDATE", "DELETE", "MERGE"})
            if (command.starts_with(changing)) changes_ = std::atoll(PQcmdTuples(const_cast<PGresult*>(r)));
        return true;
    }
    const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    error_ = primary ? primary : Trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(conn_));
    if (error_.empty()) error_ = Trimmed(PQerrorMessage(conn_));
    if (const char* detail = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL) : nullptr)
        error_ += ": " + std::string(detail);
    const std::string_view state =
        r && PQresultErrorField(r, PG_DIAG_SQLSTATE) ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : "";
    // insufficient_privilege, and a change inside a transaction begun read-only
    if (state == "42501" || state == "25006")
        trouble_ = SqlTrouble::Denied;
    else
        trouble_ = SqlTrouble::Other;
    if (PQstatus(conn_) != CONNECTION_OK) NoteConnectionLost();
    if (inTransaction_) transactionFailed_ = true;
    return false;
}

PGresult* PostgresDatabase::Run(const std::string& sql, const Parameters* p) {
    if (!Ready()) return nullptr;
    const auto send = [&] {
        return p ? PQexecParams(conn_, sql.c_str(), p->count, p->types, p->values, p->lengths, p->formats, 0)
                 : PQexec(conn_, sql.c_str());
    };
    PGresult* r = send();
    if (Succeeded(r)) return r;
    PQclear(r);
    // A connection found dropped only now (the server left without a word):
    // outside a transaction, what changes nothing runs once more.
    if (!inTransaction_ && PQstatus(conn_) != CONNECTION_OK && SafeToRepeat(sql) && Reconnect()) {
        r = send();
        if (Succeeded(r)) return r;
        PQclear(r);
    }
    return nullptr;
}

std::unique_ptr<SqlStatement> PostgresDatabase::Prepare(std::string_view sql) {
    std::string numbered;
    int count = 0;
    if (!NumberParameters(sql, numbered, count, error_)) {
        trouble_ = SqlTrouble::Other;
        return nullptr;
    }
    return std::make_unique<PostgresStatement>(*this, std::move(numbered), count);
}

bool PostgresDatabase::Exec(std::string_view sql) {
    PGresult* r = Run(std::string(sql), nullptr);
    PQclear(r);
    return r != nullptr;
}

bool PostgresDatabase::Begin(const std::string& sql, bool write) {
    if (inTransaction_) {
        error_ = "a transaction is already open";
        trouble_ = SqlTrouble::Other;
        return false;
    }
    PGresult* r = Run(sql, nullptr);
    PQclear(r);
    if (!r) {
        // BEGIN may have run before the lock failed.
        if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
        return false;
    }
    inTransaction_ = true;
    writing_ = write;
    transactionLost_ = transactionFailed_ = false;
    return true;
}

// Read committed, not a snapshot: each statement after the lock sees what
// the writer before committed, so the store's checks see every night added.
bool PostgresDatabase::BeginWrite() {
    return Begin("BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kWriterLock) + ")", true);
}

bool PostgresDatabase::BeginRead() { return Begin("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", false); }

bool PostgresDatabase::Commit() {
    if (!inTransaction_) {
        error_ = "no transaction is open";
        trouble_ = SqlTrouble::Other;
        return false;
    }
    if (transactionFailed_) {
        // LastError still says what failed.
        EndTransaction();
        return false;
    }
    // The notice is sent by the server when, and only if, the commit holds.
    PGresult* r =
        Run(writing_ ? std::string("NOTIFY ") + kLibraryChannel + "; COMMIT" : std::string("COMMIT"), nullptr);
    // A transaction that failed before ends in a "ROLLBACK" however it is ended.
    const bool committed = r && std::strcmp(PQcmdStatus(r), "COMMIT") == 0;
    PQclear(r);
    if (r && !committed) {
        error_ = "the change was not made: a statement in it failed";
        trouble_ = SqlTrouble::Other;
    }
    if (!committed) {
        EndTransaction();
        return false;
    }
    inTransaction_ = writing_ = transactionLost_ = transactionFailed_ = false;
    return true;
}

void PostgresDatabase::Rollback() {
    if (inTransaction_) EndTransaction();
}

void PostgresDatabase::EndTransaction() {
    if (!transactionLost_ && PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
    inTransaction_ = writing_ = transactionLost_ = transactionFailed_ = false;
}

std::int64_t PostgresDatabase::DataVersion() {
    if (PQconsumeInput(conn_) == 0 || PQstatus(conn_) != CONNECTION_OK) return -1;
    const int self = PQbackendPID(conn_);
    while (PGnotify* notice = PQnotifies(conn_)) {
        // Our own commits are not news to us.
        if (notice->be_pid != self) ++version_;
        PQfreemem(notice);
    }
    return version_;
}

}  // namespace quenda
