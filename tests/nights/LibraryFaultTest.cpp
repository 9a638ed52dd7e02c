// The library under a writer killed mid-add and under two writers at once
// (the program and quenda-cli): each in a child process, as it happens.
#include "nights/Library.h"
#include "nights/SqliteLibrary.h"
#include "support/NightData.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <random>

namespace quenda {
namespace {

namespace fs = std::filesystem;

constexpr int kNightsPerFile = 400;

// A data file of ID `id` holding kNightsPerFile short nights, two hours
// apart, different in every file.
fs::path WriteManyNights(const test::TempDir& dir, int file, int id) {
    std::vector<SampleRecord> samples;
    const std::int64_t start = test::Secs(2026, 1, 1, 22, 0, 0) + file * 86400LL * 60;
    for (int n = 0; n < kNightsPerFile; ++n) test::AppendRun(samples, id, start + n * 7200, 30);
    const fs::path path = dir / ("f" + std::to_string(file)) / ("ID" + std::to_string(id) + ".dat");
    fs::create_directories(path.parent_path());
    EXPECT_TRUE(WriteDataFile(path, static_cast<std::uint8_t>(id), samples, ""));
    return path;
}

// Runs `work` in a child process; its exit status says whether it went well.
pid_t Spawn(const std::function<bool()>& work) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(work() ? 0 : 1);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(NightLibraryFaults, KilledDuringAddLeavesAllOrNoneOfEachFile) {
    test::TempDir dir("quenda-library-kill");
    const fs::path library = dir / "library.sqlite";
    std::vector<fs::path> files;
    for (int f = 0; f < 6; ++f) files.push_back(WriteManyNights(dir, f, 1 + f % 3));
    std::mt19937 random(23);
    int killedMidway = 0;
    for (int round = 0; round < 25; ++round) {
        const pid_t child = Spawn([&] {
            FileResult opened;
            auto lib = NightLibrary::Open(library, opened);
            if (!lib) return false;
            // Over and over, so the kill always finds it at work.
            for (int pass = 0; pass < 1000; ++pass) {
                for (const fs::path& file : files) {
                    if (!lib->AddFile(file, {}).result) return false;
                }
                // Something to add again in the next pass: forget three files' nights.
                sqlite3_exec(SqliteHandle(*lib),
                             "DELETE FROM nights WHERE source IN (SELECT path FROM sources ORDER BY rowid LIMIT 3)",
                             nullptr, nullptr, nullptr);
            }
            return true;
        });
        ::usleep(std::uniform_int_distribution<useconds_t>(2'000, 60'000)(random));
        ::kill(child, SIGKILL);
        const int status = Wait(child);
        if (WIFSIGNALED(status)) ++killedMidway;

        FileResult opened;
        auto lib = NightLibrary::Open(library, opened);
        ASSERT_TRUE(lib) << "round " << round << ": " << opened.message << opened.detail;
        std::vector<NightRow> rows;
        ASSERT_TRUE(lib->List({}, rows)) << "round " << round;
        std::map<std::string, int> perFile;
        for (const NightRow& r : rows) ++perFile[r.source.string()];
        for (const auto& [source, count] : perFile) {
            EXPECT_TRUE(count == kNightsPerFile || count == 0) << "round " << round << ": " << source << " " << count;
        }
        sqlite3_stmt* check = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(SqliteHandle(*lib), "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok") << "round " << round;
        sqlite3_finalize(check);
    }
    EXPECT_GT(killedMidway, 20);
}

TEST(NightLibraryFaults, TwoWritersAtOnceBothSucceed) {
    test::TempDir dir("quenda-library-busy");
    const fs::path library = dir / "library.sqlite";
    std::vector<fs::path> mine, theirs;
    for (int f = 0; f < 8; ++f) (f % 2 ? theirs : mine).push_back(WriteManyNights(dir, f, 1 + f));
    const auto writer = [&](const std::vector<fs::path>& files) {
        return Spawn([&] {
            bool ok = true;
            // Each file with its own opening, as separate downloads would.
            for (const fs::path& file : files) {
                const fs::path one[] = {file};
                const AddResult added = AddToLibrary(library, one, {});
                ok = ok && added.result && added.added == kNightsPerFile;
                if (!added.result) std::fprintf(stderr, "%s %s\n", added.result.message.c_str(), added.result.detail.c_str());
            }
            return ok;
        });
    };
    const pid_t a = writer(mine);
    const pid_t b = writer(theirs);
    const int statusA = Wait(a);
    const int statusB = Wait(b);
    EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
    EXPECT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);
    FileResult opened;
    auto lib = NightLibrary::Open(library, opened);
    ASSERT_TRUE(lib);
    std::vector<NightRow> rows;
    ASSERT_TRUE(lib->List({}, rows));
    EXPECT_EQ(rows.size(), 8u * kNightsPerFile);
}

}  // namespace
}  // namespace quenda
