// The text export, the event listing and the workbook, read back byte for
// byte (text) and cell for cell through the workbook's own XML (unzip).
#include "formats/Export.h"
#include "formats/ExportText.h"
#include "formats/Workbook.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace quenda {
namespace {

namespace fs = std::filesystem;

SampleRecord Sample(int year, int month, int day, int hour, int minute, int second, int spo2, int pulse) {
    auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    return {9, u8(year), u8(month), u8(day), u8(hour), u8(minute), u8(second), u8(spo2), u8(pulse), 0};
}

std::vector<SampleRecord> Series(int count) {
    std::vector<SampleRecord> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        samples[static_cast<std::size_t>(i)] =
            Sample(10, 8, 3, i / 3600 % 24, i / 60 % 60, i % 60, 90 + i % 10, 60 + i % 50);
    }
    return samples;
}

const PatientBlock kPatient{"9", "Zoë Ann", "female", "45", "178 cm", "68 kg"};

// One cell of a worksheet: its type ("n" number, "s" inline text), its value
// and, for numbers, the number format of its style ("" for none).
struct Cell {
    std::string type;
    std::string value;
    std::string format;
    bool operator==(const Cell&) const = default;
    friend void PrintTo(const Cell& c, std::ostream* os) { *os << c.type << ":" << c.value << ":" << c.format; }
};

// Reads a workbook through its XML, as any other program would.
class WorkbookXml {
public:
    explicit WorkbookXml(const fs::path& file) {
        const fs::path dir = file.parent_path();
        const auto unzip = [&](const std::string& member) {
            const auto run = test::RunInDirectory(dir, "unzip", {"-p", file.string(), member});
            EXPECT_EQ(run.exitCode, 0) << run.err;
            return run.out;
        };
        sheet_ = unzip("xl/worksheets/sheet1.xml");
        const std::string styles = unzip("xl/styles.xml");
        std::map<std::string, std::string> codes;
        const std::regex numFmt(R"re(<numFmt numFmtId="(\d+)" formatCode="([^"]*)"/>)re");
        for (std::sregex_iterator it(styles.begin(), styles.end(), numFmt), end; it != end; ++it) {
            codes[(*it)[1]] = (*it)[2];
        }
        const auto xfs = styles.substr(styles.find("<cellXfs"));
        const std::regex xf(R"re(<xf numFmtId="(\d+)")re");
        for (std::sregex_iterator it(xfs.begin(), xfs.end(), xf), end; it != end; ++it) {
            styleFormats_.push_back(codes.count((*it)[1]) ? codes[(*it)[1]] : "");
        }
    }
    const std::string& SheetXml() const { return sheet_; }

    // The cell at a reference such as "G5"; type "" when it is empty.
    Cell At(const std::string& ref) const {
        const auto at = sheet_.find("<c r=\"" + ref + "\"");
        if (at == std::string::npos) return {};
        const std::string c = sheet_.substr(at, sheet_.find("</c>", at) - at);
        Cell cell;
        cell.type = c.find("t=\"inlineStr\"") != std::string::npos ? "s" : "n";
        const auto open = cell.type == "s" ? c.find("<t>") + 3 : c.find("<v>") + 3;
        cell.value = c.substr(open, c.find('<', open) - open);
        const auto s = c.find(" s=\"");
        if (s != std::string::npos) cell.format = styleFormats_.at(std::stoul(c.substr(s + 4)));
        return cell;
    }

private:
    std::string sheet_;
    std::vector<std::string> styleFormats_;
};

Cell Num(const std::string& v, const std::string& format = "") { return {"n", v, format}; }
Cell Str(const std::string& v) { return {"s", v, ""}; }

TEST(TextExport, ThreeSamplesGiveElevenLinesByteForByte) {
    const std::vector<SampleRecord> samples = {
        Sample(9, 3, 4, 5, 6, 7, 97, 64), Sample(10, 12, 31, 23, 59, 59, 100, 255), Sample(127, 1, 1, 0, 0, 0, 0, 0)};
    // The name is UTF-8 in memory and Windows-1252 in the file ("ë" is 0xEB).
    EXPECT_EQ(TextExportBytes(kPatient, samples),
              "PatId\tName\r\n"
              "9\tZo\xEB Ann\r\n"
              "\r\n"
              "gender\tAge\tHeight\tWeight\r\n"
              "female\t45\t178 cm\t68 kg\r\n"
              "\r\n"
              "\r\n"
              "Date&Time\t\t\t\tSpO2\t\tPR\r\n"
              "2009/03/04 05:06:07\t\t\t97\t\t64\r\n"
              "2010/12/31 23:59:59\t\t\t100\t\t255\r\n"
              "2127/01/01 00:00:00\t\t\t0\t\t0\r\n");
}

TEST(TextExport, UnitRuleAndGenderInThePatientBlock) {
    struct Case {
        int unitSetup, unitFlag;
        float height, weight;
        std::string shownHeight, shownWeight;
    };
    const Case cases[] = {
        {1, 0, 70, 150, "178 cm", "68 kg"},  // entered in inches and pounds, shown metric
        {1, 1, 180, 80, "180 cm", "80 kg"},
        {0, 1, 180, 80, "71 in", "176 lb"},
        {0, 0, 70, 150, "70 in", "150 lb"},
    };
    for (const Case& c : cases) {
        PatientRecord patient;
        patient.height = c.height;
        patient.weight = c.weight;
        patient.unitFlag = c.unitFlag;
        patient.gender = c.unitFlag;  // 0 male, anything else female
        patient.age = 7;
        SetFieldTextUtf8(patient.name, "Bo");
        const PatientBlock block = MakePatientBlock(patient, 12, c.unitSetup);
        EXPECT_EQ(block.height, c.shownHeight);
        EXPECT_EQ(block.weight, c.shownWeight);
        EXPECT_EQ(block.gender, c.unitFlag ? "female" : "male");
        EXPECT_EQ(block.id + block.name + block.age, "12Bo7");
    }
}

TEST(EventListing, SectionsWithDashedTimeStampsAndAOneSampleEvent) {
    const std::vector<SampleRecord> samples = {Sample(9, 3, 4, 5, 6, 7, 97, 64), Sample(9, 3, 4, 5, 6, 8, 90, 60),
                                               Sample(9, 3, 4, 5, 6, 9, 91, 61)};
    AnalysisResults results;
    results.desaturation.events = {{1, 1, 90, 90, 7}, {0, 3, 97, 90, 0}, {2, 5, 1, 1, 1}};  // the last lies outside
    const std::string listing = EventListingBytes(kPatient, samples, results);
    const std::string block = TextExportBytes(kPatient, {});
    EXPECT_EQ(listing, block.substr(0, block.find("Date&Time")) +
                           "SpO2 Event\r\n"
                           "Start Date&Time\t\tEnd Date&Time\t\tKeep Count\tMax Value\tMin Value\r\n"
                           "2009/03/04-05:06:08\t2009/03/04-05:06:08\t1\t\t90\t\t90\r\n"
                           "2009/03/04-05:06:07\t2009/03/04-05:06:09\t3\t\t97\t\t90\r\n"
                           "\r\n\r\n"
                           "PR Event\r\n"
                           "Start Date&Time\t\tEnd Date&Time\t\tKeep Count\tMax Value\tMin Value\r\n");
}

TEST(ExportFiles, FailuresAreReportedAndLeaveNothingBehind) {
    test::TempDir dir("quenda-export");
    const auto samples = Series(10);
    ExportRequest request;
    request.samples = samples;
    const FileResult text = ExportDataSet(ExportKind::Text, dir / "no" / "out.txt", request);
    EXPECT_EQ(text.message, "Can't create the file");
    EXPECT_NE(text.detail, "");
    const FileResult workbook = ExportDataSet(ExportKind::Workbook, dir / "no" / "out.xls", request);
    // The workbook writer starts; it is the file that cannot be made.
    EXPECT_EQ(workbook.message, "Can't create the file");
    EXPECT_NE(workbook.detail, "");
    EXPECT_EQ(ExportDataSet(ExportKind::Unknown, dir / "out.foo", request).message,
              "Unknown file type: use .dat, .txt, .xls, .xlsx, .edf or .csv");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(ExportKinds, ExtensionsIgnoreCaseAndTheDefaultIsAppended) {
    const std::pair<const char*, ExportKind> cases[] = {
        {"a.dat", ExportKind::DataFile}, {"A.DAT", ExportKind::DataFile},    {"b.Txt", ExportKind::Text},
        {"c.xls", ExportKind::Workbook}, {"d.XLSX", ExportKind::Workbook},   {"e.foo", ExportKind::Unknown},
        {"f", ExportKind::Unknown},      {"dir.dat/g", ExportKind::Unknown}, {"h.dat.txt", ExportKind::Text},
        {"i.EDF", ExportKind::Edf},      {"j.Csv", ExportKind::Csv},
    };
    for (const auto& [name, kind] : cases) EXPECT_EQ(ExportKindOf(name), kind) << name;
    EXPECT_EQ(WithDefaultExtension("/x/ID 3  Name Bo", "dat"), "/x/ID 3  Name Bo.dat");
    EXPECT_EQ(WithDefaultExtension("/x.y/n", "dat"), "/x.y/n.dat");
    EXPECT_EQ(WithDefaultExtension("n.TXT", "dat"), "n.TXT");
}

TEST(Workbook, CellsAndTypesReadBack) {
    test::TempDir dir("quenda-workbook");
    std::vector<SampleRecord> samples = {Sample(9, 3, 4, 5, 6, 7, 97, 64), Sample(10, 2, 29, 24, 0, 0, 88, 70),
                                         Sample(12, 2, 29, 23, 59, 59, 100, 255)};
    std::vector<int> seen;
    ASSERT_TRUE(WriteWorkbook(dir / "w.xls", kPatient, samples, [&](int n) { seen.push_back(n); }));
    EXPECT_EQ(seen.back(), 3);
    const WorkbookXml book(dir / "w.xls");
    const std::map<std::string, Cell> expected = {
        {"A1", Str("PatId")},
        {"B1", Str("Name")},
        {"C1", Str("Gender")},
        {"D1", Str("Age")},
        {"E1", Str("Height")},
        {"F1", Str("Weight")},
        {"A2", Num("9")},
        {"B2", Str("Zoë Ann")},
        {"C2", Str("female")},
        {"D2", Num("45")},
        {"E2", Str("178 cm")},
        {"F2", Str("68 kg")},
        {"A4", Str("Num")},
        {"B4", Str("Date")},
        {"C4", Str("Time")},
        {"D4", Str("SpO2")},
        {"E4", Str("PR")},
        {"G4", {}},
        // 2009-03-04 is day 39876; 05:06:07 is 18367 s of 86400.
        {"A5", Num("1")},
        {"B5", Num("39876", "mm/dd/yy")},
        {"C5", Num("0.2125810185185185", "h:mm:ss")},
        {"D5", Num("97")},
        {"E5", Num("64")},
        // 2010 has no 29 February and no day has hour 24: kept as the text Excel was given.
        {"B6", Str("02/29/10")},
        {"C6", Str("24:0:0")},
        {"B7", Num("40968", "mm/dd/yy")},
        {"C7", Num("0.999988425925926", "h:mm:ss")},
        {"E7", Num("255")},
        {"A8", {}},
    };
    for (const auto& [ref, cell] : expected) EXPECT_EQ(book.At(ref), cell) << ref;
    EXPECT_NE(book.SheetXml().find(R"(<col min="1" max="16384" width="10.7109375")"), std::string::npos);
}

TEST(Workbook, BlocksSideBySideAndTheFourthTakesTheRest) {
    EXPECT_EQ(WorkbookSampleCell(65531).row, 65535);
    EXPECT_EQ(WorkbookSampleCell(65532).row, 4);     // sample 65,533: row 5,
    EXPECT_EQ(WorkbookSampleCell(65532).column, 6);  // columns 7 to 11
    EXPECT_EQ(WorkbookSampleCell(kMaxSamples - 1).row, kMaxSamples - 1 - 3 * 65532 + 4);
    EXPECT_EQ(WorkbookSampleCell(kMaxSamples - 1).column, 18);
    EXPECT_EQ(WorkbookHeadingBlocks(0), 1);
    EXPECT_EQ(WorkbookHeadingBlocks(65531), 1);
    EXPECT_EQ(WorkbookHeadingBlocks(65532), 2);
    EXPECT_EQ(WorkbookHeadingBlocks(kMaxSamples), 4);

    test::TempDir dir("quenda-workbook");
    ASSERT_TRUE(WriteWorkbook(dir / "two.xlsx", kPatient, Series(65532), {}));
    const WorkbookXml two(dir / "two.xlsx");
    EXPECT_EQ(two.At("G4"), Str("Num"));
    EXPECT_EQ(two.At("K4"), Str("PR"));
    EXPECT_EQ(two.At("A65536"), Num("65532"));
    EXPECT_EQ(two.At("G5"), Cell{});

    // Past three full blocks the fourth runs on below row 65,536.
    const int count = 3 * 65532 + 70000;
    ASSERT_TRUE(WriteWorkbook(dir / "four.xlsx", kPatient, Series(count), {}));
    const WorkbookXml four(dir / "four.xlsx");
    EXPECT_EQ(four.At("G5"), Num("65533"));
    EXPECT_EQ(four.At("M65536"), Num("196596"));
    EXPECT_EQ(four.At("A65537"), Cell{});
    EXPECT_EQ(four.At("S70004"), Num(std::to_string(count)));
    EXPECT_EQ(four.At("W70004"), Num(std::to_string(60 + (count - 1) % 50)));
    EXPECT_EQ(four.At("Y4"), Cell{});  // no fifth heading block
}

}  // namespace
}  // namespace quenda
