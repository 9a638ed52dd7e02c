// The library's connection to a PostgreSQL server, against a server of the
// test's own: parameters and values as the shared SQL uses them, writers
// taking turns, other connections' commits seen, a reading login refused, a
// restarted server and one that is not there.
#include "nights/Library.h"
#include "nights/LibraryRules.h"
#include "nights/PostgresDatabase.h"
#include "nights/PostgresSchema.h"
#include "nights/ServerPasswords.h"
#include "support/NightData.h"
#include "support/PostgresServer.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

namespace quenda {
namespace {

TEST(NumberParameters, NumbersAsSqliteDoesAndLeavesQuotesAndComments) {
    struct Case {
        const char* sql;
        const char* out;
        int count;
    } const cases[] = {
        {"SELECT ?, ?", "SELECT $1, $2", 2},
        {"x=?1 AND y=?1 OR z=?", "x=$1 AND y=$1 OR z=$2", 2},
        {"a=?3 AND b=?", "a=$3 AND b=$4", 4},
        {"'it''s ?' || ? || \"col?\"\"\" || ?", "'it''s ?' || $1 || \"col?\"\"\" || $2", 2},
        {"? -- a ?\n? /* ? */ ?", "$1 -- a ?\n$2 /* ? */ $3", 3},
        {"DO $b$ SELECT '?' $b$; SELECT ?", "DO $b$ SELECT '?' $b$; SELECT $1", 1},
        {"SELECT $1, a$b, ?", "SELECT $1, a$b, $1", 1},
        {"'open ?", "'open ?", 0},
        {"?65535", "$65535", 65535},
    };
    for (const Case& c : cases) {
        std::string out, error;
        int count = -1;
        ASSERT_TRUE(NumberParameters(c.sql, out, count, error)) << c.sql << ": " << error;
        EXPECT_EQ(out, c.out) << c.sql;
        EXPECT_EQ(count, c.count) << c.sql;
    }
    for (const char* bad : {"?0", "?65536", "?0000000001"}) {
        std::string out, error;
        int count = 0;
        EXPECT_FALSE(NumberParameters(bad, out, count, error)) << bad;
        EXPECT_NE(error, "") << bad;
    }
}

TEST(PostgresDatabase, AServerThatIsNotThereIsNamedAtOnce) {
    test::TempDir empty("quenda-nopg");
    FileResult result;
    const auto db = PostgresDatabase::Connect("postgresql:///quenda?host=" + empty.Path().string(), {}, result);
    EXPECT_EQ(db, nullptr);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find(empty.Path().string()), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("quenda"), std::string::npos) << result.message;
    EXPECT_NE(result.detail, "");
    EXPECT_EQ(PostgresDatabase::Connect("mysql://nowhere", {}, result), nullptr);
    EXPECT_FALSE(result.ok);
}

// One server per test program; each test its own database.
class PostgresDatabaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::PostgresServer::Programs().empty()) server_ = new test::PostgresServer;
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        if (!server_) GTEST_SKIP() << "no PostgreSQL server installed (tools/bootstrap.sh installs it)";
        ASSERT_EQ(server_->Problem(), "");
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : database_ = name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto admin = Connect("postgres");
        ASSERT_TRUE(admin->Exec("DROP DATABASE IF EXISTS " + database_) && admin->Exec("CREATE DATABASE " + database_))
            << admin->LastError();
    }

    std::unique_ptr<PostgresDatabase> Connect(const std::string& database = "", const std::string& user = "") {
        std::string uri = server_->Uri(database.empty() ? database_ : database);
        if (!user.empty()) uri.replace(uri.find("user=postgres"), std::string::npos, "user=" + user);
        FileResult result;
        auto db = PostgresDatabase::Connect(uri, {}, result);
        EXPECT_NE(db, nullptr) << result.message << ": " << result.detail;
        return db;
    }

    static std::int64_t Count(SqlDatabase& db, const std::string& sql) {
        Statement s(db, sql);
        EXPECT_EQ(s.Step(), SqlStep::Row) << db.LastError();
        return s.Int(0);
    }

    static test::PostgresServer* server_;
    std::string database_;
};

test::PostgresServer* PostgresDatabaseTest::server_ = nullptr;

TEST_F(PostgresDatabaseTest, ValuesGoInAndComeBackAsTheSharedSqlExpects) {
    const auto db = Connect();
    ASSERT_TRUE(
        db->Exec("CREATE TABLE t(n bigint GENERATED ALWAYS AS IDENTITY, i bigint, r double precision, "
                 "s text, b bytea)"));
    const std::string binary("\0\x01\xff'?\\\0x", 8);
    Statement insert(*db, "INSERT INTO t(i,r,s,b) VALUES(?,?,?,?) RETURNING n, '?' || ?3");
    insert.Bind(1, std::int64_t{-9'007'199'254'740'993}).Bind(2, 0.1).Bind(3, "it's").BindBlob(4, binary);
    ASSERT_EQ(insert.Step(), SqlStep::Row) << db->LastError();
    EXPECT_EQ(insert.Int(0), 1);
    EXPECT_EQ(insert.Text(1), "?it's");
    EXPECT_EQ(insert.Step(), SqlStep::Done);
    EXPECT_EQ(db->Changes(), 1);
    insert.Reset();
    insert.BindNull(1).BindNull(2).BindNull(3).BindNull(4);
    ASSERT_EQ(insert.Step(), SqlStep::Row) << db->LastError();
    EXPECT_EQ(insert.Int(0), 2);

    Statement read(*db, "SELECT i, r, s, b, i IS NULL, CAST(? AS TEXT) IS NULL, i + ?, r * ? FROM t ORDER BY n");
    read.BindNull(1).Bind(2, 1).Bind(3, 2.5);
    ASSERT_EQ(read.Step(), SqlStep::Row) << db->LastError();
    EXPECT_EQ(read.Int(0), -9'007'199'254'740'993);
    EXPECT_EQ(read.Real(1), 0.1);
    EXPECT_EQ(read.Text(2), "it's");
    EXPECT_EQ(read.Blob(3), binary);
    EXPECT_EQ(read.Int(4), 0);
    EXPECT_EQ(read.Int(5), 1);
    EXPECT_EQ(read.Int(6), -9'007'199'254'740'992);
    EXPECT_EQ(read.Real(7), 0.25);
    ASSERT_EQ(read.Step(), SqlStep::Row);
    for (int c = 0; c < 4; ++c) EXPECT_TRUE(read.IsNull(c)) << c;
    EXPECT_EQ(read.Int(4), 1);
    EXPECT_EQ(read.Step(), SqlStep::Done);

    Statement update(*db, "UPDATE t SET s='x'");
    ASSERT_EQ(update.Step(), SqlStep::Done);
    EXPECT_EQ(db->Changes(), 2);
    // A numeric (an average) read as an integer is cut to its whole part.
    EXPECT_EQ(Count(*db, "SELECT avg(x) FROM (VALUES (3), (4)) v(x)"), 3);
    EXPECT_EQ(Count(*db, "SELECT sum(i) FROM t"), -9'007'199'254'740'993);

    // A failing statement says why, and the next one runs.
    Statement wrong(*db, "SELECT nothing FROM nowhere");
    EXPECT_EQ(wrong.Step(), SqlStep::Failed);
    EXPECT_NE(db->LastError().find("nowhere"), std::string::npos) << db->LastError();
    EXPECT_EQ(db->LastTrouble(), SqlTrouble::Other);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM t"), 2);
    EXPECT_EQ(db->LastTrouble(), SqlTrouble::None);
}

TEST_F(PostgresDatabaseTest, WritersTakeTurnsAndOthersSeeTheirCommits) {
    const auto a = Connect();
    const auto b = Connect();
    ASSERT_TRUE(a->Exec("CREATE TABLE t(i bigint)"));
    const std::int64_t seenByA = a->DataVersion();
    const std::int64_t seenByB = b->DataVersion();
    ASSERT_GE(seenByB, 0);

    ASSERT_TRUE(a->BeginWrite());
    std::atomic<bool> bWrites = false;
    std::thread other([&] {
        if (!b->BeginWrite()) return;
        bWrites = true;
        b->Exec("INSERT INTO t VALUES(2)");
        b->Commit();
    });
    // Long enough for the other writer to have got in, were it let in.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(bWrites);
    ASSERT_TRUE(a->Exec("INSERT INTO t VALUES(1)"));
    ASSERT_TRUE(a->Commit()) << a->LastError();
    other.join();
    EXPECT_TRUE(bWrites);
    EXPECT_EQ(Count(*a, "SELECT count(*) FROM t"), 2);

    // Each sees the other's commit, not its own; a notice comes in its own time.
    const auto waitFor = [](PostgresDatabase& db, std::int64_t before) {
        for (int i = 0; i < 200 && db.DataVersion() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return db.DataVersion();
    };
    EXPECT_EQ(waitFor(*a, seenByA), seenByA + 1);
    EXPECT_EQ(waitFor(*b, seenByB), seenByB + 1);

    // A read sees one snapshot and may not change anything.
    ASSERT_TRUE(b->BeginRead());
    EXPECT_FALSE(b->Exec("INSERT INTO t VALUES(3)"));
    EXPECT_EQ(b->LastTrouble(), SqlTrouble::Denied);
    b->Rollback();
    // A transaction with a failed statement is not committed.
    ASSERT_TRUE(a->BeginWrite());
    EXPECT_TRUE(a->Exec("INSERT INTO t VALUES(4)"));
    EXPECT_FALSE(a->Exec("INSERT INTO t VALUES('four')"));
    EXPECT_FALSE(a->Commit());
    a->Rollback();
    EXPECT_EQ(Count(*a, "SELECT count(*) FROM t"), 2);
}

TEST_F(PostgresDatabaseTest, InitMakesTheLibraryAndRolesOnceAndAReadingLoginIsRefused) {
    std::string where;
    const FileResult init = InitServerLibrary(server_->Uri(database_), {}, where);
    ASSERT_TRUE(init.ok) << init.message << ": " << init.detail;
    EXPECT_NE(where.find(database_), std::string::npos);
    // Again, from the command line: nothing to do, and said so.
    test::TempDir dir("quenda-init");
    const test::CommandRun again =
        test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"nights", "init", server_->Uri(database_)});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.err.find("quenda_read"), std::string::npos) << again.err;
    const test::CommandRun notServer =
        test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"nights", "init", "library.sqlite"});
    EXPECT_EQ(notServer.exitCode, 2) << notServer.err;
    const auto admin = Connect();
    EXPECT_EQ(ServerSchemaVersion(*admin), kServerSchemaVersion);
    ASSERT_TRUE(
        admin->Exec("DROP ROLE IF EXISTS alice; DROP ROLE IF EXISTS bob;"
                    "CREATE ROLE alice LOGIN IN ROLE quenda_read; CREATE ROLE bob LOGIN IN ROLE quenda_change"))
        << admin->LastError();

    const std::string insertNight =
        "INSERT INTO nights(night,id,date,start,\"end\",samples,gap_seconds,source,first,last,clinical,added_at,digest)"
        " VALUES(?,?,'2026-12-10',?,0,?,0,'s',0,0,'',0,?) ON CONFLICT DO NOTHING RETURNING night";
    const auto add = [&](SqlDatabase& db, std::optional<std::int64_t> number, std::int64_t start) {
        Transaction transaction(db);
        Statement s(db, insertNight);
        if (number)
            s.Bind(1, *number);
        else
            s.BindNull(1);
        s.Bind(2, 7).Bind(3, start).Bind(4, 100).Bind(5, std::int64_t{-42});
        const SqlStep step = s.Step();
        if (step == SqlStep::Failed) return std::int64_t{-1};
        const std::int64_t given = step == SqlStep::Row ? s.Int(0) : 0;
        s.Reset();
        return transaction.Commit() ? given : -1;
    };

    const auto alice = Connect("", "alice");
    EXPECT_EQ(Count(*alice, "SELECT count(*) FROM nights"), 0);
    EXPECT_EQ(add(*alice, std::nullopt, 1), -1);
    EXPECT_EQ(alice->LastTrouble(), SqlTrouble::Denied) << alice->LastError();
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM nights"), 0);

    // A changing login numbers nights as SQLite does, never giving one twice,
    // and the same samples make one night.
    const auto bob = Connect("", "bob");
    EXPECT_EQ(add(*bob, std::nullopt, 1), 1) << bob->LastError();
    EXPECT_EQ(add(*bob, 10, 2), 10) << bob->LastError();
    EXPECT_EQ(add(*bob, std::nullopt, 3), 11) << bob->LastError();
    ASSERT_TRUE(bob->Exec("DELETE FROM nights WHERE night=11"));
    EXPECT_EQ(add(*bob, std::nullopt, 3), 12) << bob->LastError();
    EXPECT_EQ(add(*bob, std::nullopt, 3), 0) << bob->LastError();
    ASSERT_TRUE(
        bob->Exec("INSERT INTO journal(time,line) VALUES(1,'x'); INSERT INTO sources(path,added_at) "
                  "VALUES('k',1); INSERT INTO merges(second,night,first_samples,first_end,first_source,"
                  "first_first,first_digest,first_note,joined_note) VALUES(10,1,0,0,'',0,0,'','')"))
        << bob->LastError();
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM nights"), 3);

    // A library of version 1 kept only the clinical JSON: stepping it up
    // gives its nights their clinical columns from it.
    Statement older(*admin, "UPDATE nights SET clinical=? WHERE night=1");
    older.BindBlob(1, Deflate("{\"odi3\":2.50,\"nadir\":{\"spo2\":84},\"events3\":[{\"start\":1}]}"));
    ASSERT_EQ(older.Step(), SqlStep::Done) << admin->LastError();
    ASSERT_TRUE(admin->Exec("ALTER TABLE nights DROP COLUMN clinical_columns; UPDATE quenda_schema SET version=1"));
    ASSERT_TRUE(InitServerLibrary(server_->Uri(database_), {}, where).ok);
    EXPECT_EQ(ServerSchemaVersion(*admin), kServerSchemaVersion);
    Statement columns(*admin, "SELECT clinical_columns FROM nights WHERE night=1");
    ASSERT_EQ(columns.Step(), SqlStep::Row) << admin->LastError();
    std::string text;
    Inflate(columns.Blob(0).data(), columns.Blob(0).size(), text);
    EXPECT_EQ(text, "odi3\t2.50\nnadir_spo2\t84\n");
}

TEST_F(PostgresDatabaseTest, APasswordTheServerAsksForIsAskedForAndNotKept) {
    const auto admin = Connect();
    Statement hba(*admin, "SELECT setting FROM pg_settings WHERE name='hba_file'");
    ASSERT_EQ(hba.Step(), SqlStep::Row);
    const std::string hbaFile = hba.Text(0);
    {
        // carol alone signs in with a password; the first matching line counts.
        const std::string rest = test::Slurp(hbaFile);
        std::ofstream out(hbaFile, std::ios::trunc);
        out << "local all carol scram-sha-256\n" << rest;
    }
    ASSERT_TRUE(
        admin->Exec("DROP ROLE IF EXISTS carol; CREATE ROLE carol LOGIN PASSWORD 'it''s secret'; "
                    "SELECT pg_reload_conf()"));

    std::string uri = server_->Uri(database_);
    uri.replace(uri.find("user=postgres"), std::string::npos, "user=carol");
    std::vector<std::string> asked;
    const auto answer = [&](std::optional<std::string> password) {
        return PasswordPrompt{[&asked, password](const PasswordRequest& request) {
            asked.push_back(request.where);
            return password;
        }};
    };
    // The reload is a signal: until it is read, carol is let in as before.
    FileResult result;
    for (int i = 0; i < 100 && PostgresDatabase::Connect(uri, {}, result); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(PostgresDatabase::Connect(uri, {}, result), nullptr);
    EXPECT_NE(result.detail, "");
    EXPECT_EQ(PostgresDatabase::Connect(uri, answer(std::nullopt), result), nullptr);
    EXPECT_EQ(PostgresDatabase::Connect(uri, answer("wrong"), result), nullptr);
    EXPECT_NE(result.detail.find("carol"), std::string::npos) << result.detail;
    const auto carol = PostgresDatabase::Connect(uri, answer("it's secret"), result);
    ASSERT_NE(carol, nullptr) << result.message << ": " << result.detail;
    ASSERT_EQ(asked.size(), 3U);
    EXPECT_EQ(asked[0], carol->Where());
    EXPECT_EQ(Count(*carol, "SELECT 1"), 1);

    // The program's prompt asks once a run, and again after the server
    // refused what it remembered.
    ServerPasswords passwords;
    std::string typed = "it's secret";
    const PasswordPrompt program = passwords.Remembering({[&](const PasswordRequest& request) {
        asked.push_back(request.where);
        return std::optional(typed);
    }});
    asked.clear();
    EXPECT_NE(PostgresDatabase::Connect(uri, program, result), nullptr) << result.detail;
    EXPECT_NE(PostgresDatabase::Connect(uri, program, result), nullptr) << result.detail;
    EXPECT_EQ(asked.size(), 1U);
    ASSERT_TRUE(admin->Exec("ALTER ROLE carol PASSWORD 'changed'"));
    EXPECT_EQ(PostgresDatabase::Connect(uri, program, result), nullptr);
    EXPECT_EQ(asked.size(), 1U);
    typed = "changed";
    EXPECT_NE(PostgresDatabase::Connect(uri, program, result), nullptr) << result.detail;
    EXPECT_EQ(asked.size(), 2U);
}

TEST_F(PostgresDatabaseTest, ARestartedServerIsConnectedAgainAndAChangeInFlightFails) {
    const auto db = Connect();
    ASSERT_TRUE(db->Exec("CREATE TABLE t(i bigint)"));
    ASSERT_TRUE(server_->Restart()) << server_->Problem();
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM t"), 0);
    EXPECT_GE(db->DataVersion(), 0);

    ASSERT_TRUE(db->BeginWrite());
    ASSERT_TRUE(db->Exec("INSERT INTO t VALUES(1)"));
    ASSERT_TRUE(server_->Restart()) << server_->Problem();
    EXPECT_FALSE(db->Exec("INSERT INTO t VALUES(2)"));
    EXPECT_EQ(db->LastTrouble(), SqlTrouble::Unreachable);
    EXPECT_FALSE(db->Commit());
    db->Rollback();
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM t"), 0);
    // Notices reach the connection made again.
    const std::int64_t seen = db->DataVersion();
    const auto other = Connect();
    ASSERT_TRUE(other->BeginWrite() && other->Exec("INSERT INTO t VALUES(3)") && other->Commit());
    for (int i = 0; i < 200 && db->DataVersion() == seen; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(db->DataVersion(), seen);
}

// A personal library copied onto the clinic's server and from there into a
// new file library on a computer that has none of its files, and each copy
// again, either way: the same nights under the same numbers with the same
// changes at every step, and nothing made twice.
TEST_F(PostgresDatabaseTest, NightsCopyToTheServerAndBackAndAgain) {
    std::string where;
    const std::string uri = server_->Uri(database_);
    ASSERT_TRUE(InitServerLibrary(uri, {}, where).ok);
    test::TempDir dir("quenda-copy");
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    std::vector<SampleRecord> four, five, six;
    test::AppendRun(four, 4, evening, 600);
    test::AppendRun(four, 4, evening + 4600, 600);
    test::AppendRun(four, 4, evening + 86400, 300);
    test::AppendRun(five, 5, evening, 400);
    test::AppendRun(six, 6, evening, 400);
    std::filesystem::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, four, "Title"));
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID5.dat", 5, five, ""));
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID6.dat", 6, six, ""));
    const auto cli = [&](std::vector<std::string> args, int exitCode = 0) {
        args.insert(args.begin(), "nights");
        const test::CommandRun run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        return run.out;
    };
    const std::string a = (dir / "a.sqlite").string(), e = (dir / "e.sqlite").string();
    cli({"add", "kept", "--library", a});
    for (std::vector<std::string> change : std::vector<std::vector<std::string>>{
             {"merge", "1", "2"}, {"split", "3", "100"}, {"note", "1", "cold room"}, {"exclude", "6", "10", "20"},
             {"shift", "4", "+3600"}, {"remove", "5"}}) {
        change.insert(change.end(), {"--library", a});
        cli(change);
    }
    {
        FileResult opened;
        auto lib = NightLibrary::Open(a, opened);
        ASSERT_TRUE(lib);
        ASSERT_TRUE(lib->SetScoring(4, {"lab.xml", {{(evening + 120) * 1000, 20'000, AnnotationKind::Apnea, {}, "A"}}}));
    }
    const std::string listed = cli({"list", "--json", "--library", a});
    ASSERT_NE(listed.find("\"scored_events\":{\"apneas\":1,"), std::string::npos);
    const auto journalLines = [&] { return Count(*Connect(), "SELECT count(*) FROM journal"); };

    EXPECT_EQ(cli({"copy", "--from", a, "--to", uri}),
              "4 nights copied, 0 already there, 7 journal lines replayed.\n");
    EXPECT_EQ(cli({"list", "--json", "--library", uri}), listed);
    const std::int64_t lines = journalLines();
    EXPECT_EQ(cli({"copy", "--from", a, "--to", uri}), "0 nights copied, 4 already there, 0 journal lines replayed.\n");
    EXPECT_EQ(journalLines(), lines);

    // The files are not on this computer: the server's records are written
    // beside the new library.
    std::filesystem::rename(dir / "kept", dir / "elsewhere");
    EXPECT_EQ(cli({"copy", "--from", uri, "--to", e}), "4 nights copied, 0 already there, 7 journal lines replayed.\n");
    // Every "source":"..." emptied (paths hold no quote).
    const auto sourceless = [](std::string json) {
        const std::string key = "\"source\":\"";
        for (auto at = json.find(key); at != std::string::npos; at = json.find(key, at + key.size()))
            json.erase(at + key.size(), json.find('"', at + key.size()) - at - key.size());
        return json;
    };
    const std::string copied = cli({"list", "--json", "--library", e});
    EXPECT_EQ(sourceless(copied), sourceless(listed));
    EXPECT_EQ(copied.find("\"missing\":true"), std::string::npos);
    std::vector<std::filesystem::path> files;
    for (const auto& f : std::filesystem::directory_iterator(dir / "e.sqlite.sources")) files.push_back(f.path());
    ASSERT_EQ(files.size(), 2u);  // ID 4's and ID 5's: ID 6's only night was removed
    const auto written = std::filesystem::last_write_time(files[0]);
    const std::string journal = test::Slurp(dir / "e.sqlite.journal");
    EXPECT_EQ(cli({"copy", "--from", uri, "--to", e}), "0 nights copied, 4 already there, 0 journal lines replayed.\n");
    EXPECT_EQ(cli({"copy", "--from", e, "--to", uri}), "0 nights copied, 4 already there, 0 journal lines replayed.\n");
    EXPECT_EQ(std::filesystem::last_write_time(files[0]), written);
    EXPECT_EQ(test::Slurp(dir / "e.sqlite.journal"), journal);
    EXPECT_EQ(journalLines(), lines);
    EXPECT_EQ(cli({"list", "--json", "--library", e}), copied);
    EXPECT_EQ(cli({"list", "--json", "--library", uri}), listed);
    // A file's title comes along with its records.
    DataFileContents idFour;
    ASSERT_TRUE(ReadDataFile(files[0].filename().string().starts_with("ID4") ? files[0] : files[1], idFour));
    EXPECT_EQ(idFour.title, "Title");

    // From one server to another, the files still elsewhere: the same
    // listing, and the title the first server holds.
    const std::string other = database_ + "_other";
    const auto admin = Connect("postgres");
    ASSERT_TRUE(admin->Exec("DROP DATABASE IF EXISTS " + other) && admin->Exec("CREATE DATABASE " + other));
    const std::string otherUri = server_->Uri(other);
    ASSERT_TRUE(InitServerLibrary(otherUri, {}, where).ok);
    EXPECT_EQ(cli({"copy", "--from", uri, "--to", otherUri}),
              "4 nights copied, 0 already there, 7 journal lines replayed.\n");
    EXPECT_EQ(cli({"list", "--json", "--library", otherUri}), listed);
    FileResult opened;
    const auto otherLibrary = NightLibrary::Open(otherUri, opened);
    ASSERT_TRUE(otherLibrary) << opened.message;
    std::vector<SampleRecord> samples;
    std::string title;
    ASSERT_TRUE(otherLibrary->LoadNight(1, samples, &title));
    EXPECT_EQ(title, "Title");
}

}  // namespace
}  // namespace quenda
