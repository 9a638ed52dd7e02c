// quenda-cli nights on a clinic's server library, against a PostgreSQL
// server of the test's own: the same commands give the same output as on a
// file; several workstations at once; a client killed in the middle of a
// change; a restarted server; a login that may only read; a server that is
// not there.
#include "nights/Library.h"
#include "store/DataFile.h"
#include "support/NightData.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "support/TestLibrary.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

namespace quenda {
namespace {

namespace fs = std::filesystem;

test::CommandRun Cli(const test::TempDir& dir, const std::string& library, std::vector<std::string> args,
                     const std::string& pidFile = {}) {
    args.insert(args.begin(), "nights");
    args.insert(args.end(), {"--library", library});
    return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args, pidFile);
}

// `count` nights of ID `id` of `length` samples, one a day from `day`.
std::vector<SampleRecord> Nights(int id, int count, int length = 600, int day = 1) {
    std::vector<SampleRecord> samples;
    for (int n = 0; n < count; ++n) test::AppendRun(samples, id, test::Secs(2026, 1, day, 22, 0, 0) + n * 86400, length);
    return samples;
}

class ServerLibraryCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::PostgresServer::Programs().empty())
            GTEST_SKIP() << "no PostgreSQL server installed (tools/bootstrap.sh installs it)";
        uri_ = test::NewServerLibrary();
        ASSERT_NE(uri_, "");
    }

    std::int64_t Count(const std::string& sql) {
        FileResult connected;
        const auto db = PostgresDatabase::Connect(uri_, {}, connected);
        if (!db) return -1;
        Statement s(*db, sql);
        return s.Step() == SqlStep::Row ? s.Int(0) : -1;
    }

    test::TempDir dir_{"quenda-server-cli"};
    std::string uri_;
};

// Every command that reads or changes the library, in the order a user
// might run them, on a file and on the server from the same data files:
// what each says, and what its exports hold, is the same. Only the
// library's own location is masked: a message may name it.
TEST_F(ServerLibraryCli, EveryCommandSaysTheSameOnAFileAndOnTheServer) {
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    std::vector<SampleRecord> four;
    test::AppendRun(four, 4, evening, 600);
    test::AppendRun(four, 4, evening + 4600, 600);  // after 4,000 s with the recorder off
    test::AppendRun(four, 4, evening + 86400, 300);
    fs::create_directories(dir_ / "kept");
    ASSERT_TRUE(WriteDataFile(dir_ / "kept" / "ID4.dat", 4, four, "Report Title"));
    ASSERT_TRUE(WriteDataFile(dir_ / "kept" / "ID5.dat", 5, Nights(5, 2, 900, 20), "Other Title"));

    const std::vector<std::vector<std::string>> script = {
        {"add", "kept"},
        {"add", "kept/ID4.dat"},
        {"list"},
        {"list", "--json"},
        {"list", "--csv", "--id", "5"},
        {"note", "1", "cold, \"room\""},
        {"exclude", "1", "0", "99"},
        {"include", "1", "50", "59"},
        {"shift", "1", "+3600"},
        {"show", "1"},
        {"show", "1", "--json"},
        {"export", "1", "night.csv"},
        {"shift", "1", "-3600"},
        {"merge", "2", "1"},
        {"show", "1", "--json"},
        {"list", "--csv"},
        {"unmerge", "1"},
        {"split", "3", "100"},
        {"show", "4", "--json"},
        {"unsplit", "4"},
        {"split", "3", "0"},
        {"remove", "2"},
        {"shift", "2", "60"},
        {"list", "--json", "--from", "2026-12-07"},
        {"summary"},
        {"summary", "--split", "2026-12-10", "--json"},
        {"export", "3", "night.edf"},
    };
    // What each command said, and the file it exported.
    const auto transcript = [&](const std::string& library) {
        std::vector<std::pair<std::string, std::string>> said;
        for (const auto& args : script) {
            fs::remove(dir_ / "night.csv");
            fs::remove(dir_ / "night.edf");
            const test::CommandRun run = Cli(dir_, library, args);
            std::string command = "nights";
            for (const auto& a : args) command += " " + a;
            std::string text = std::to_string(run.exitCode) + "\n" + run.out + run.err;
            for (std::size_t at; (at = text.find(library)) != std::string::npos;)
                text.replace(at, library.size(), "LIBRARY");
            said.emplace_back(command, text);
            if (args[0] == "export") said.emplace_back(command + " (the file)", test::Slurp(dir_ / args[2]));
        }
        return said;
    };
    const auto onFile = transcript((dir_ / "library.sqlite").string());
    const auto onServer = transcript(uri_);
    ASSERT_EQ(onFile.size(), onServer.size());
    for (std::size_t i = 0; i < onFile.size(); ++i) {
        if (onFile[i].first.ends_with("(the file)"))
            EXPECT_TRUE(onFile[i].second == onServer[i].second) << onFile[i].first;
        else
            EXPECT_EQ(onFile[i].second, onServer[i].second) << onFile[i].first;
    }
    EXPECT_EQ(onFile[14].second, "0\nNights 1 and 2 merged into night 1.\n");
}

// Two workstations adding the same 200 nights and noting each at once:
// every night once, every note in the journal, each night's last in force.
TEST_F(ServerLibraryCli, TwoWorkstationsAtOnceLoseNoNightAndAddNoneTwice) {
    const auto samplesOf = [](int id) { return Nights(id, 100); };
    std::vector<pid_t> children;
    for (int side = 0; side < 2; ++side) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // One library of its own, as a workstation has; both add both IDs,
            // in opposite orders, so their adds cross.
            FileResult opened;
            auto library = NightLibrary::Open(uri_, opened);
            bool ok = library != nullptr;
            for (int k = 0; ok && k < 2; ++k) {
                const int id = 1 + (side + k) % 2;
                const auto samples = samplesOf(id);
                const AddResult added = library->AddSamples(dir_ / ("ID" + std::to_string(id) + ".dat"), id,
                                                            samples, {});
                ok = added.result.ok && added.added + added.already == 100;
                for (const NightNumber night : added.nights)
                    ok = ok && library->SetNote(night, "from " + std::to_string(side)).ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(Count("SELECT count(*) FROM nights"), 200);
    EXPECT_EQ(Count("SELECT count(DISTINCT (id, start)) FROM nights"), 200);
    EXPECT_EQ(Count("SELECT count(DISTINCT night) FROM nights"), 200);
    EXPECT_EQ(Count("SELECT count(*) FROM nights WHERE note IN ('from 0','from 1')"), 200);
    EXPECT_EQ(Count("SELECT count(*) FROM journal WHERE line LIKE '%from %'"), 400);
}

// A client killed while its add is half written (held at the journal, the
// add's last table, by a lock of the test's): nothing of the file stays;
// the add run again completes it.
TEST_F(ServerLibraryCli, AClientKilledInTheMiddleOfAnAddLeavesNothingHalfWritten) {
    ASSERT_TRUE(WriteDataFile(dir_ / "ID3.dat", 3, Nights(3, 150), ""));
    FileResult connected;
    const auto holder = PostgresDatabase::Connect(uri_, {}, connected);
    ASSERT_TRUE(holder) << connected.message;
    ASSERT_TRUE(holder->Exec("BEGIN; LOCK TABLE journal IN SHARE MODE")) << holder->LastError();

    const std::string pidFile = (dir_ / "cli.pid").string();
    std::thread add([&] { Cli(dir_, uri_, {"add", "ID3.dat"}, pidFile); });
    // Waiting for the journal: its nights are written, not yet committed.
    std::int64_t waiting = 0;
    for (int i = 0; i < 300 && waiting == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        waiting = Count("SELECT count(*) FROM pg_locks WHERE NOT granted AND relation='journal'::regclass");
    }
    ASSERT_EQ(waiting, 1);
    pid_t cli = 0;
    std::ifstream(pidFile) >> cli;
    ASSERT_GT(cli, 0);
    ::kill(cli, SIGKILL);
    add.join();
    ASSERT_TRUE(holder->Exec("COMMIT")) << holder->LastError();

    EXPECT_EQ(Count("SELECT count(*) FROM nights"), 0);
    EXPECT_EQ(Count("SELECT count(*) FROM journal"), 0);
    const test::CommandRun again = Cli(dir_, uri_, {"add", "ID3.dat"});
    EXPECT_EQ(again.out, "150 nights added, 0 already in the library, 0 extended.\n") << again.err;
    EXPECT_EQ(Count("SELECT count(*) FROM nights"), 150);
}

// A workstation connected through a restart of the server: its next
// listing and its next change work, without being opened again.
TEST_F(ServerLibraryCli, AWorkstationCarriesOnAfterTheServerRestarts) {
    FileResult opened;
    auto library = NightLibrary::Open(uri_, opened);
    ASSERT_TRUE(library) << opened.message << ": " << opened.detail;
    ASSERT_EQ(library->AddSamples(dir_ / "ID2.dat", 2, Nights(2, 2), {}).added, 2);
    ASSERT_TRUE(test::TestServer().Restart()) << test::TestServer().Problem();

    std::vector<NightRow> rows;
    const FileResult listed = library->List({}, rows);
    EXPECT_TRUE(listed.ok) << listed.message << ": " << listed.detail;
    EXPECT_EQ(rows.size(), 2u);
    const FileResult noted = library->SetNote(1, "after the restart");
    EXPECT_TRUE(noted.ok) << noted.message << ": " << noted.detail;
    NightRow row;
    ASSERT_TRUE(library->Show(1, row).ok);
    EXPECT_EQ(row.note, "after the restart");
}

// A login granted only quenda_read reads everything, is refused every
// change with a message that says why, and changes nothing; a server that
// is not there is named.
TEST_F(ServerLibraryCli, AReadingLoginReadsAndIsRefusedEveryChangeClearly) {
    ASSERT_TRUE(WriteDataFile(dir_ / "ID2.dat", 2, Nights(2, 2), ""));
    ASSERT_EQ(Cli(dir_, uri_, {"add", "ID2.dat"}).exitCode, 0);
    ASSERT_TRUE(WriteDataFile(dir_ / "ID6.dat", 6, Nights(6, 1), ""));
    {
        FileResult connected;
        const auto admin = PostgresDatabase::Connect(uri_, {}, connected);
        ASSERT_TRUE(admin && admin->Exec("DROP ROLE IF EXISTS alice; CREATE ROLE alice LOGIN IN ROLE quenda_read"))
            << connected.message;
    }
    std::string alice = uri_;
    alice.replace(alice.find("user=postgres"), std::string::npos, "user=alice");
    const std::string journal = test::JournalText("postgres", uri_);
    const std::string listed = Cli(dir_, uri_, {"list", "--json"}).out;

    EXPECT_EQ(Cli(dir_, alice, {"list", "--json"}).out, listed);
    const test::CommandRun shown = Cli(dir_, alice, {"show", "1"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    for (const std::vector<std::string>& change :
         {std::vector<std::string>{"note", "1", "mine"}, {"add", "ID6.dat"}, {"exclude", "1", "0", "9"},
          {"remove", "2"}}) {
        const test::CommandRun run = Cli(dir_, alice, change);
        EXPECT_EQ(run.exitCode, 1) << change[0];
        EXPECT_NE(run.err.find("may only read"), std::string::npos) << change[0] << ": " << run.err;
        EXPECT_EQ(run.err.find("INSERT"), std::string::npos) << run.err;
    }
    EXPECT_EQ(test::JournalText("postgres", uri_), journal);
    EXPECT_EQ(Cli(dir_, uri_, {"list", "--json"}).out, listed);

    const std::string nowhere = (dir_ / "no-server").string();
    const test::CommandRun unreachable = Cli(dir_, "postgresql:///clinic?host=" + nowhere, {"list"});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_NE(unreachable.err.find(nowhere), std::string::npos) << unreachable.err;
}

}  // namespace
}  // namespace quenda
