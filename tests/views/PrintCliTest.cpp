// quenda-cli print, run as a user would run it without a display.
#include "patient/PatientFile.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/sim/Recording.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

class PrintCli : public ::testing::Test {
protected:
    void SetUp() override {
        const auto night = sim::GenerateRecording(5, 4 * 3600, sim::DateTime{2025, 1, 9, 23, 0, 0}, 99);
        ASSERT_TRUE(WriteDataFile(dir_ / "night.dat", 5, night, "Sleep clinic").ok);
        PatientRecord patient{};
        SetFieldTextUtf8(patient.name, "Ada Lovelace");
        patient.age = 36;
        patient.height = 170;
        patient.weight = 60;
        patient.unitFlag = 1;
        ASSERT_TRUE(WritePatientSlot(dir_ / "bldb" / "pationtrec.dat", 5, EncodePatientRecord(patient)).ok);
        // Metric units, as the desktop program would have them.
        std::ofstream(dir_ / "Quenda.ini") << "[setup]\r\nUnitSetup=1\r\n";
    }

    // Without any display: the program must choose offscreen drawing itself.
    test::CommandRun Print(std::vector<std::string> args) {
        std::vector<std::string> all{
            "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", QUENDA_CLI_PATH, "print"};
        all.insert(all.end(), args.begin(), args.end());
        return test::RunInDirectory(dir_.Path(), "env", all);
    }

    std::string Text(const std::string& pdf) {
        return test::CommandOutput("pdftotext -layout " + test::ShellQuote((dir_ / pdf).string()) + " -");
    }

    test::TempDir dir_;
};

// What `analyze` prints after `label` on its line: the figures the pages
// must show.
std::string AnalyzedFigure(const std::string& out, const std::string& label) {
    const auto at = out.find(label);
    if (at == std::string::npos) return "missing " + label;
    const auto line = out.substr(at + label.size(), out.find('\n', at) - at - label.size());
    return line.substr(line.find_first_not_of(' '));
}

TEST_F(PrintCli, OnePageViewsWithPatientAndFigures) {
    const auto analyze = test::RunInDirectory(dir_.Path(), QUENDA_CLI_PATH, {"analyze", "night.dat"});
    ASSERT_EQ(analyze.exitCode, 0) << analyze.err;
    int spo2Events = -1;
    ASSERT_EQ(std::sscanf(AnalyzedFigure(analyze.out, "Total Events.").c_str(), "%d", &spo2Events), 1);
    const std::string odi3 =
        AnalyzedFigure(analyze.out, "ODI 3 % per counted h");  // "4.2 /h (17 events / 4.01 h), mild"
    ASSERT_NE(odi3.find("/h"), std::string::npos) << analyze.out;

    const struct {
        std::vector<std::string> view;  // none: the report by default
        std::vector<std::string> expected;
    } cases[] = {
        {{},
         {"Sleep clinic", "Ada Lovelace", "170 cm", "Total Events.", "25/01/09", "23:00:00",
          std::to_string(spo2Events)}},
        {{"--view", "clinical"},
         {"Sleep clinic", "Clinical Summary", "Ada Lovelace", "170 cm", "ID : 5", "2025-01-09 23:00:00", "T90", odi3}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"night.dat", "page.pdf", "--patients", (dir_ / "bldb").string()};
        args.insert(args.end(), c.view.begin(), c.view.end());
        const auto run = Print(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string info = test::CommandOutput("pdfinfo " + test::ShellQuote((dir_ / "page.pdf").string()));
        EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
        EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
        EXPECT_NE(info.find("842 x 595"), std::string::npos) << info;
        const std::string text = Text("page.pdf");
        for (const std::string& expected : c.expected) {
            EXPECT_NE(text.find(expected), std::string::npos) << expected << " missing in\n" << text;
        }
    }
}

TEST_F(PrintCli, TrendAndTablePagesCountFromOne) {
    auto run = Print({"night.dat", "trend.pdf", "--view", "trend", "--page", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // 960 samples a page at 1122 units: page 1 ends at 23:16:00, page 2 has 23:17:00.
    EXPECT_NE(Text("trend.pdf").find("23:17:00"), std::string::npos);
    ASSERT_EQ(Print({"night.dat", "trend1.pdf", "--view", "trend"}).exitCode, 0);
    EXPECT_EQ(Text("trend1.pdf").find("23:17:00"), std::string::npos);
    run = Print({"night.dat", "table.pdf", "--view", "table", "--page", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = Text("table.pdf");
    EXPECT_NE(text.find("Item"), std::string::npos) << text;
    // Without the patient file the details are empty, the page still prints.
    EXPECT_EQ(text.find("Lovelace"), std::string::npos);
}

TEST_F(PrintCli, BadInputAndUnwritableOutputFailCleanly) {
    std::ofstream(dir_ / "bad.dat") << "not a data file at all";
    auto run = Print({"bad.dat", "out.pdf"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bad.dat"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir_ / "out.pdf"));

    run = Print({"night.dat", (dir_ / "missing" / "out.pdf").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("out.pdf"), std::string::npos) << run.err;

    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(PrintCli, UsageErrors) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"night.dat"},
                                                 {"night.dat", "o.pdf", "--view", "chart"},
                                                 {"night.dat", "o.pdf", "--page", "0"},
                                                 {"night.dat", "o.pdf", "--page", "2"},
                                                 {"night.dat", "o.pdf", "--view", "trend", "--page", "99"},
                                                 {"night.dat", "o.pdf", "--colour"}}) {
        const auto run = Print(args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir_ / "o.pdf"));

    // --help shows print's own usage line, which names every page kind.
    const std::string usage = Print({}).err;
    const auto from = usage.find("quenda-cli print");
    const std::string line = usage.substr(from, usage.find('\n', from) - from);
    EXPECT_NE(line.find("report|trend|table|clinical"), std::string::npos) << line;
    EXPECT_NE(test::RunInDirectory(dir_.Path(), QUENDA_CLI_PATH, {"--help"}).out.find(line), std::string::npos) << line;
}

}  // namespace
}  // namespace quenda
