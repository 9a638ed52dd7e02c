// quenda-cli end to end: the real binary against the simulator on a pty, run
// in a scratch working directory so its ./Quenda.ini is the test's own.
#include "integration/SimProcess.h"
#include "store/DataFile.h"
#include "tools/sim/Options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace quenda {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("quenda-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "out");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    CliRun Cli(const std::vector<std::string>& args) {
        std::string command = "cd " + Quote(dir.string()) + " && " + Quote(QUENDA_CLI_PATH);
        for (const auto& a : args) command += " " + Quote(a);
        command += " >" + Quote((dir / "stdout").string()) + " 2>" + Quote((dir / "stderr").string()) + " </dev/null";
        const int status = std::system(command.c_str());
        CliRun r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(dir / "stdout");
        r.err = Slurp(dir / "stderr");
        return r;
    }

    std::filesystem::path dir;
};

TEST_F(CliFixture, DownloadWritesOneDataFilePerIdInTimeOrder) {
    const std::vector<std::string> args{"--ids", "1:600,12:900", "--samples-per-frame", "150", "--format-code", "3",
                                        "--no-pacing"};
    test::SimProcess sim(args);
    const CliRun r = Cli({"download", "--port", sim.path(), "--out", "out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ID   1     total        600 Groups\nID  12     total        900 Groups\n");
    EXPECT_NE(r.err.find("Connect succeed! Total 10 Frames!"), std::string::npos) << r.err;

    const auto expected = sim::RecorderModel(sim::ParseOptions(args).options.recorder).Recordings();
    for (const auto& [id, samples] : expected) {
        DataFileContents file;
        ASSERT_TRUE(ReadDataFile(dir / "out" / ("ID" + std::to_string(id) + ".dat"), file)) << id;
        EXPECT_EQ(file.id, id);
        EXPECT_EQ(file.title, "Report Title");
        EXPECT_EQ(file.records, samples) << id;
    }
}

TEST_F(CliFixture, DownloadEndedEarlyStillWritesWhatItGot) {
    test::SimProcess sim({"--ids", "4:1000", "--samples-per-frame", "100", "--no-pacing", "--fault", "silent-after:2"});
    const CliRun r = Cli({"download", "--port", sim.path()});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("Read data timeout,please retry"), std::string::npos);
    EXPECT_EQ(r.out, "ID   4     total        300 Groups\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "ID4.dat"));
}

TEST_F(CliFixture, NothingToDownloadExitsOne) {
    CliRun r = Cli({"download", "--port", (dir / "no-such-port").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Can't find right COM or the device is power off !"), std::string::npos);

    test::SimProcess sim({"--fault", "zero-totals"});
    r = Cli({"download", "--port", sim.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no data!"), std::string::npos);
}

TEST_F(CliFixture, SetClockReachesTheRecorder) {
    test::SimProcess sim;
    const CliRun r = Cli({"set-clock", "--port", sim.path(), "2010-08-03 12:34:56"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(sim.waitForLogLine("clock 2010-08-03 12:34:56"));
    EXPECT_NE(r.err.find("Set Date and Time Succeed !"), std::string::npos);
    // The port that answered is remembered, as the dialog's clock command does.
    EXPECT_NE(Slurp(dir / "Quenda.ini").find("DefaultCOM="), std::string::npos);
}

TEST_F(CliFixture, DeleteOfOneIdIsRefusedForRecordersThatEraseEverything) {
    {
        test::SimProcess sim({"--format-code", "0", "--erase-delay-ms", "50"});
        const CliRun r = Cli({"delete", "--port", sim.path(), "--id", "5", "--type", "1"});
        EXPECT_EQ(r.exitCode, 1);
        for (const auto& line : sim.log()) EXPECT_EQ(line.rfind("delete", 0), std::string::npos) << line;
    }
    test::SimProcess sim({"--format-code", "14", "--ids", "5:100", "--erase-delay-ms", "50"});
    const CliRun r = Cli({"delete", "--port", sim.path(), "--id", "5", "--type", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(sim.waitForLogLine("delete id=5 type=1"));
    EXPECT_NE(r.err.find("Device data cleared !"), std::string::npos);
}

TEST_F(CliFixture, UsageErrorsAndPorts) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"download", "--id", "3"}, {"delete", "--id", "200"}, {"delete", "--type", "2"},
             {"set-clock", "2010-13-01 00:00:00"}, {"set-clock"}, {"ports", "extra"}, {"download", "--port"}}) {
        EXPECT_EQ(Cli(args).exitCode, 2) << (args.empty() ? "" : args[0]);
    }
    std::ofstream(dir / "Quenda.ini") << "[setup]\nDefaultCOM=ttyUSB7\n";
    const CliRun r = Cli({"ports"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("ttyUSB7\tremembered\t\n", 0), 0u) << r.out;
}

}  // namespace
}  // namespace quenda
