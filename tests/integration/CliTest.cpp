// quenda-cli end to end: the real binary against the simulator on a pty, run
// in a scratch working directory so its ./Quenda.ini is the test's own.
#include "integration/SimProcess.h"
#include "store/DataFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/sim/Options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <signal.h>

namespace quenda {
namespace {

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "out");
        // Kept downloads land in the test's folder, not the user's.
        ::setenv("XDG_DATA_HOME", (dir / "data-home").c_str(), 1);
    }

    test::CommandRun Cli(const std::vector<std::string>& args) {
        return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
    }

    test::TempDir dir{"quenda-cli"};
};

TEST_F(CliFixture, DownloadWritesOneDataFilePerIdInTimeOrder) {
    const std::vector<std::string> args{"--ids", "1:600,12:900", "--samples-per-frame", "150", "--format-code",
                                        "3",     "--no-pacing"};
    test::SimProcess sim(args);
    const test::CommandRun r =
        Cli({"download", "--port", sim.path(), "--out", "out/night", "--log", "log.txt", "--dump", "dump.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ID   1     total        600 Groups\nID  12     total        900 Groups\n");
    EXPECT_NE(r.err.find("Connect succeed! Total 10 Frames!"), std::string::npos) << r.err;
    // A copy is kept where the user's data lives, and the user is told where.
    const auto keptAt = r.err.find("Kept a copy in " + (dir / "data-home" / "Quenda" / "downloads").string() + "/");
    EXPECT_NE(keptAt, std::string::npos) << r.err;
    // ... and its nights are in the library of nights there.
    EXPECT_NE(r.err.find("Library: "), std::string::npos) << r.err;
    const test::CommandRun listed = Cli({"nights", "list", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("\"id\":1,"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\"id\":12,"), std::string::npos) << listed.out;

    const auto expected = sim::RecorderModel(sim::ParseOptions(args).options.recorder).Recordings();
    for (const auto& [id, samples] : expected) {
        DataFileContents file;
        // The folder it was told to write into did not exist yet.
        ASSERT_TRUE(ReadDataFile(dir / "out" / "night" / ("ID" + std::to_string(id) + ".dat"), file)) << id;
        EXPECT_EQ(file.id, id);
        EXPECT_EQ(file.title, "Report Title");
        EXPECT_EQ(file.records, samples) << id;
    }
    // The exchange as text, and every byte received, the identification reply first.
    std::ifstream log(dir / "log.txt");
    std::string first;
    std::getline(log, first);
    EXPECT_TRUE(first.ends_with("> 55 AA FD 00 00 FD")) << first;
    std::ifstream dump(dir / "dump.bin", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(dump)), std::istreambuf_iterator<char>());
    EXPECT_GT(raw.size(), 2u * 38u + 1500u * 8u);
    EXPECT_EQ(raw.substr(0, 2), "\x55\xAA");
}

TEST_F(CliFixture, DownloadEndedEarlyStillWritesWhatItGot) {
    test::SimProcess sim({"--ids", "4:1000", "--samples-per-frame", "100", "--no-pacing", "--fault", "silent-after:2"});
    const test::CommandRun r = Cli({"download", "--port", sim.path(), "--no-keep"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "data-home"));
    EXPECT_NE(r.err.find("Read data timeout,please retry"), std::string::npos);
    EXPECT_EQ(r.out, "ID   4     total        300 Groups\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "ID4.dat"));
}

TEST_F(CliFixture, CtrlCStopsTheRecorderAndStillWritesWhatCame) {
    test::SimProcess sim({"--ids", "6:8h", "--samples-per-frame", "512"});  // some 20 s at 115,200 baud
    const auto pidFile = dir / "cli.pid";
    test::CommandRun r;
    std::thread cli([&] {
        r = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"download", "--port", sim.path()}, pidFile);
    });
    const bool framesFlowing = sim.waitForLogLine("frame 2");
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    if (pid > 0) ::kill(pid, SIGINT);
    cli.join();
    ASSERT_TRUE(framesFlowing);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_TRUE(sim.waitForLogLine("stop"));
    DataFileContents file;
    ASSERT_TRUE(ReadDataFile(dir / "ID6.dat", file)) << r.err;
    EXPECT_GE(file.records.size(), 2u * 512u);  // frames 0 and 1 were in before frame 2 was asked for
    EXPECT_LT(file.records.size(), 8u * 3600u);
}

TEST_F(CliFixture, NothingToDownloadExitsOne) {
    test::CommandRun r = Cli({"download", "--port", (dir / "no-such-port").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Can't find right COM or the device is power off !"), std::string::npos);

    test::SimProcess sim({"--fault", "zero-totals"});
    r = Cli({"download", "--port", sim.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no data!"), std::string::npos);
}

TEST_F(CliFixture, SetClockReachesTheRecorder) {
    test::SimProcess sim;
    const test::CommandRun r = Cli({"set-clock", "--port", sim.path(), "2010-08-03 12:34:56"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(sim.waitForLogLine("clock 2010-08-03 12:34:56"));
    EXPECT_NE(r.err.find("Set Date and Time Succeed !"), std::string::npos);
    // The port that answered is remembered, as the dialog's clock command does.
    EXPECT_NE(test::Slurp(dir / "Quenda.ini").find("DefaultCOM="), std::string::npos);
}

TEST_F(CliFixture, DeleteOfOneIdIsRefusedForRecordersThatEraseEverything) {
    {
        test::SimProcess sim({"--format-code", "0", "--erase-delay-ms", "50"});
        const test::CommandRun r = Cli({"delete", "--port", sim.path(), "--id", "5", "--type", "1"});
        EXPECT_EQ(r.exitCode, 1);
        for (const auto& line : sim.log()) EXPECT_EQ(line.rfind("delete", 0), std::string::npos) << line;
    }
    test::SimProcess sim({"--format-code", "14", "--ids", "5:100", "--erase-delay-ms", "50"});
    const test::CommandRun r = Cli({"delete", "--port", sim.path(), "--id", "5", "--type", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(sim.waitForLogLine("delete id=5 type=1"));
    EXPECT_NE(r.err.find("Device data cleared !"), std::string::npos);
    // The last slot the delete dialog offers reaches the recorder too.
    test::SimProcess full({"--format-code", "14", "--ids", "7:100", "--erase-delay-ms", "50"});
    EXPECT_EQ(Cli({"delete", "--port", full.path(), "--id", "128"}).exitCode, 0);
    EXPECT_TRUE(full.waitForLogLine("delete id=128 type=0"));
}

TEST_F(CliFixture, UsageErrorsAndPorts) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"download", "--id", "3"},
                                                                  {"delete", "--id", "129"},
                                                                  {"delete", "--type", "2"},
                                                                  {"set-clock", "2010-13-01 00:00:00"},
                                                                  {"set-clock"},
                                                                  {"ports", "extra"},
                                                                  {"download", "--port"}}) {
        EXPECT_EQ(Cli(args).exitCode, 2) << (args.empty() ? "" : args[0]);
    }
    std::ofstream(dir / "Quenda.ini") << "[setup]\nDefaultCOM=ttyUSB7\n";
    const test::CommandRun version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("quenda-cli ", 0), 0u) << version.out;
    const test::CommandRun r = Cli({"ports"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("ttyUSB7\tremembered\t\n", 0), 0u) << r.out;
}

}  // namespace
}  // namespace quenda
