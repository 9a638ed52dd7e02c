// quenda-cli nights, run as a user would run it.
#include "nights/Library.h"
#include "support/NightData.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

test::CommandRun Cli(const test::TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "nights");
    args.insert(args.end(), {"--library", (dir / "library.sqlite").string()});
    return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
}

TEST(NightsCli, AddListShowNoteRemoveExport) {
    test::TempDir dir("quenda-nights-cli");
    std::vector<SampleRecord> samples;
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    test::AppendRun(samples, 4, evening, 600);
    test::AppendRun(samples, 4, evening + 700, 600);  // a 100-s gap
    test::AppendRun(samples, 4, evening + 86400, 300);
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, samples, "Report Title"));

    auto run = Cli(dir, {"add", "kept"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 nights added, 0 already in the library, 0 extended.\n");
    run = Cli(dir, {"add", "kept/ID4.dat"});
    EXPECT_EQ(run.out, "0 nights added, 2 already in the library, 0 extended.\n");
    ASSERT_EQ(Cli(dir, {"note", "1", "cold, \"room\""}).exitCode, 0);

    run = Cli(dir, {"list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string source = fs::absolute(dir / "kept" / "ID4.dat").string();
    EXPECT_EQ(run.out.rfind("[{\"night\":1,\"id\":4,\"name\":\"\",\"date\":\"2026-12-06\","
                            "\"start\":\"2026-12-06T22:00:00\",\"end\":\"2026-12-06T22:21:39\","
                            "\"samples\":1200,\"gap_seconds\":100,\"source\":\"" +
                                source + "\",\"first\":0,\"last\":1199,\"clinical\":{\"valid_samples\":1200,",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("\"note\":\"cold, \\\"room\\\"\",\"missing\":false}"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("},\n{\"night\":2,"), std::string::npos);
    EXPECT_EQ(run.out.substr(run.out.size() - 2), "]\n");

    run = Cli(dir, {"list", "--csv", "--from", "2026-12-07"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "night,id,name,date,start,end,samples,gap_seconds,source,first,last,valid_samples,valid_hours,odi3,odi4,"
              "desat_burden,t90,t88_minutes,longest_le88_seconds,longest_le88_start,nadir_spo2,nadir_time,spo2_mean,"
              "spo2_median,pulse_mean,pulse_median,pulse_min,pulse_max,note,missing");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    EXPECT_EQ(run.out.find("\n2,4,,2026-12-07,2026-12-07T22:00:00,2026-12-07T22:04:59,300,0,"), run.out.find('\n'));

    run = Cli(dir, {"show", "1"});
    EXPECT_NE(run.out.find("Note:            cold, \"room\""), std::string::npos) << run.out;
    run = Cli(dir, {"export", "2", "night.edf"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "night.edf\n");
    ASSERT_EQ(Cli(dir, {"export", "1", "night.csv"}).exitCode, 0);
    const std::string csv = test::Slurp(dir / "night.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1201);

    ASSERT_EQ(Cli(dir, {"remove", "2"}).exitCode, 0);
    EXPECT_EQ(Cli(dir, {"list", "--json", "--id", "4"}).out.find("\"night\":2"), std::string::npos);
    fs::remove(dir / "kept" / "ID4.dat");
    run = Cli(dir, {"export", "1", "again.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "quenda-cli: The file " + source + " holding this night is missing.\n");
    EXPECT_NE(Cli(dir, {"list"}).out.find("(file missing) cold"), std::string::npos);
}

TEST(NightsCli, RefusalsAndTheirExitCodes) {
    test::TempDir dir("quenda-nights-cli");
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"list", "--from", "2026-13-01"}, 2},
        {{"list", "--json", "--csv"}, 2},
        {{"list", "--id", "0"}, 2},
        {{"show"}, 2},
        {{"show", "x"}, 2},
        {{"note", "1"}, 2},
        {{"export", "1", "out.doc"}, 2},
        {{"frobnicate"}, 2},
        {{"show", "7"}, 1},
        {{"remove", "7"}, 1},
        {{"add", "nowhere.dat"}, 1},
        {{"list"}, 0},
    };
    for (const auto& c : cases) {
        const auto run = Cli(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << run.err;
    }
    // A library that is no database: named, and left as it was.
    test::TempDir other("quenda-nights-cli");
    { std::ofstream(other / "library.sqlite") << "not a database, just words, and more words than a header holds\n"; }
    const auto run = Cli(other, {"list"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find((other / "library.sqlite").string()), std::string::npos) << run.err;
    EXPECT_EQ(test::Slurp(other / "library.sqlite"), "not a database, just words, and more words than a header holds\n");
}

}  // namespace
}  // namespace quenda
