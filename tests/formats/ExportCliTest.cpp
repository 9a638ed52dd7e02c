// quenda-cli export and events, run as a user would run them.
#include "patient/PatientFile.h"
#include "store/DataFile.h"
#include "formats/ExportText.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

test::CommandRun Cli(const test::TempDir& dir, const std::vector<std::string>& args) {
    return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
}

TEST(ExportCli, WritesWithThePatientAndUnitsOfTheFilesId) {
    test::TempDir dir("quenda-export-cli");
    std::vector<SampleRecord> samples(90);
    for (int i = 0; i < 90; ++i)
        samples[static_cast<std::size_t>(i)] = {
            9, 10, 8, 3, 22, static_cast<std::uint8_t>(i / 60), static_cast<std::uint8_t>(i % 60), 97, 64, 0};
    for (int i = 20; i < 35; ++i) samples[static_cast<std::size_t>(i)].spo2 = 90;  // one desaturation
    ASSERT_TRUE(WriteDataFile(dir / "night.dat", 9, samples, "Report Title"));
    PatientRecord patient;
    patient.id = 9;
    SetFieldTextUtf8(patient.name, "Ann Bo");
    patient.height = 70;  // inches and pounds, shown metric below
    patient.weight = 150;
    ASSERT_TRUE(WritePatientSlot(dir / "bldb" / "pationtrec.dat", 9, EncodePatientRecord(patient)));
    std::ofstream(dir / "Quenda.ini") << "[setup]\nUnitSetup=1\n";

    auto run = Cli(dir, {"export", "night.dat", "night.txt", "--patients", "bldb"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::Slurp(dir / "night.txt"),
              TextExportBytes({"9", "Ann Bo", "male", "0", "178 cm", "68 kg"}, samples));

    run = Cli(dir, {"export", "night.dat", "night.XLS", "--patients", "bldb"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::Slurp(dir / "night.XLS").substr(0, 2), "PK");

    run = Cli(dir, {"export", "night.dat", "night.edf", "--patients", "bldb"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string edf = test::Slurp(dir / "night.edf");
    EXPECT_EQ(edf.substr(0, 8), "0       ");  // EDF version
    EXPECT_EQ(edf.substr(8, 20), "9 M X Ann_Bo        ");
    run = Cli(dir, {"export", "night.dat", "night.csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::Slurp(dir / "night.csv").substr(0, 42), "time,spo2,pulse\n2010-08-03T22:00:00,97,64\n");

    run = Cli(dir, {"events", "night.dat", "events.txt", "--patients", "bldb"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string listing = test::Slurp(dir / "events.txt");
    EXPECT_NE(listing.find("Ann Bo"), std::string::npos);
    EXPECT_NE(listing.find("2010/08/03-22:00:20\t2010/08/03-22:00:34\t15\t\t90\t\t90\r\n"), std::string::npos);
}

TEST(ExportCli, FailuresAndUsageErrors) {
    test::TempDir dir("quenda-export-cli");
    std::ofstream(dir / "bad.dat") << "\x01\x02";
    ASSERT_TRUE(WriteDataFile(dir / "good.dat", 3, std::vector<SampleRecord>(5), ""));
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"export", "bad.dat", "out.txt"}, 1},
        {{"export", "missing.dat", "out.txt"}, 1},
        {{"export", "good.dat", "no/out.txt"}, 1},
        {{"export", "good.dat", "no/out.xlsx"}, 1},
        {{"events", "good.dat", "no/out.txt"}, 1},
        {{"export", "good.dat", "out.doc"}, 2},
        {{"events", "good.dat", "out.xlsx"}, 2},
        {{"export", "good.dat"}, 2},
        {{"export", "good.dat", "out.txt", "--patients"}, 2},
        {{"export", "good.dat", "out.txt", "--bogus", "x"}, 2},
    };
    for (const auto& c : cases) {
        const auto run = Cli(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[1] << " " << c.args.back() << ": " << run.err;
        EXPECT_NE(run.err, "");
    }
    // Nothing but the two inputs is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace quenda
