// Other oximeters' CSV and EDF files read into a data set: one small file per
// shape, one per refusal, EDF files made by EDFlib's writer and EDF+D files
// made here (EDFlib cannot write them), and our own exports read back.
#include "formats/Edf.h"
#include "formats/Import.h"
#include "formats/ImportDetail.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <edflib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// The samples as our CSV export writes them, without its header: easy to
// read in a table and to compare.
std::string Lines(const std::vector<SampleRecord>& samples) { return CsvBytes(samples).substr(16); }

// Unix seconds are shown in the local zone: pin it.
const bool kUtc = [] {
    ::setenv("TZ", "UTC", 1);
    return true;
}();

struct CsvShape {
    const char* name;
    DateOrder order;
    const char* file;
    const char* samples;  // as Lines() writes them
};

const CsvShape kCsvShapes[] = {
    {"iso, comma, LF", DateOrder::Unknown, "time,spo2,pulse\n2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,96,62\n",
     "2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,96,62\n"},
    {"BOM, CR LF, semicolons, quotes, decimal comma, date + time, D.M.Y", DateOrder::Unknown,
     "\xEF\xBB\xBF\r\n\"Date\";\"Time\";\"SpO2 (%)\";\"Pulse Rate "
     "(bpm)\"\r\n\"13.12.2026\";\"22:30:00\";\"97,5\";\"61,4\"\r\n"
     "\r\n\"13.12.2026\";\"22:30:01\";\"96,4\";\"62\"\r\n",
     "2026-12-13T22:30:00,98,61\n2026-12-13T22:30:01,96,62\n"},
    {"TAB, M/D/Y, 12-hour", DateOrder::Unknown,
     "Timestamp\tSaO2\tHR\n12/25/2026 11:59:59 PM\t97\t60\n12/26/2026 12:00:00 AM\t96\t61\n",
     "2026-12-25T23:59:59,97,60\n2026-12-26T00:00:00,96,61\n"},
    {"Y/M/D with dots, fraction and an offset kept as written", DateOrder::Unknown,
     "Date Time,Oxygen Level [%],Heart Rate (bpm)\n2026.12.06 22:30:00.750+01:00,97,60\n"
     "2026.12.06 22:30:01 +0100,96,61\n",
     "2026-12-06T22:30:00,97,60\n2026-12-06T22:30:01,96,61\n"},
    {"date + time, CR LF, ignored columns, a quote after the values, D/M/Y shown later", DateOrder::Unknown,
     "Date,Time,SpO2,Pulse,Motion\r\n06/12/2026,22:30:00,97,61,0\r\n06/12/2026,22:30:01,,62,\"a,b\"\r\n"
     "13/12/2026,22:30:02,98,1000,1\r\n",
     "2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,127,62\n2026-12-13T22:30:02,98,255\n"},
    {"Unix seconds", DateOrder::Unknown, "datetime,o2,bpm\n1796594400,97,60\n1796594401,96,61\n",
     "2026-12-06T22:00:00,97,60\n2026-12-06T22:00:01,96,61\n"},
    {"two-digit year, dashes, dmy asked", DateOrder::Dmy, "time,spo2,pr\n06-12-26 22:30:00,97,60\n",
     "2026-12-06T22:30:00,97,60\n"},
    {"the same dates read mdy", DateOrder::Mdy, "time,spo2,pr\n06-12-26 22:30:00,97,60\n",
     "2026-06-12T22:30:00,97,60\n"},
    {"no measurement: 0, empty, -, --, N/A, short row, more than a data set holds; the rest kept as it is; "
     "neither reading is a gap",
     DateOrder::Unknown,
     "time,spo2,pulse,notes\n2026-12-06T22:30:00,0,\n2026-12-06T22:30:01,N/A,251,a\n"
     "2026-12-06T22:30:02,128,--\n2026-12-06T22:30:03,101,256\n2026-12-06T22:30:04,n/a,-\n2026-12-06T22:30:05\n"
     "2026-12-06T22:30:06,97,0\n",
     "2026-12-06T22:30:01,127,251\n2026-12-06T22:30:03,101,255\n2026-12-06T22:30:06,97,255\n"},
    {"no pulse column", DateOrder::Unknown, "time,spo2\n2026-12-06 22:30:00,97\n", "2026-12-06T22:30:00,97,255\n"},
    {"rows 4 s apart fill each second; a larger step is a gap", DateOrder::Unknown,
     "time,spo2,pulse\n2026-12-06T22:30:00,97,61\n2026-12-06T22:30:04,96,62\n2026-12-06T22:31:00,95,63\n",
     "2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,97,61\n2026-12-06T22:30:02,97,61\n2026-12-06T22:30:03,97,61\n"
     "2026-12-06T22:30:04,96,62\n2026-12-06T22:30:05,96,62\n2026-12-06T22:30:06,96,62\n2026-12-06T22:30:07,96,62\n"
     "2026-12-06T22:31:00,95,63\n2026-12-06T22:31:01,95,63\n2026-12-06T22:31:02,95,63\n2026-12-06T22:31:03,95,63\n"},
    {"in a 1 Hz file a 5 s step is a gap", DateOrder::Unknown,
     "time,spo2\n2026-12-06T22:30:00,97\n2026-12-06T22:30:01,97\n2026-12-06T22:30:06,96\n",
     "2026-12-06T22:30:00,97,255\n2026-12-06T22:30:01,97,255\n2026-12-06T22:30:06,96,255\n"},
};

TEST(ImportCsv, ReadsEveryShape) {
    for (const CsvShape& shape : kCsvShapes) {
        SCOPED_TRACE(shape.name);
        const ImportResult result = ImportCsv(shape.file, {4, shape.order});
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(Lines(result.samples), shape.samples);
        for (const SampleRecord& r : result.samples) EXPECT_EQ(r.id, 4);
        // The quick walk along common rows reads what the general reader reads.
        const auto general = import_detail::ReadCsv(shape.file, {4, shape.order}, import_detail::CsvRows::GeneralOnly);
        EXPECT_EQ(general.samples, result.samples);
    }
}

// A step of up to 10 s between rows is filled, second by second; 11 s is a gap.
TEST(ImportCsv, FillsStepsOfUpToTenSeconds) {
    const struct {
        int step;
        std::size_t samples;
        const char* last;
    } cases[] = {{9, 27, "2026-12-06T22:30:26,97,255\n"},
                 {10, 30, "2026-12-06T22:30:29,97,255\n"},
                 {11, 3, "2026-12-06T22:30:22,97,255\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        std::string file = "time,spo2\n";
        for (int second = 0; second <= 2 * c.step; second += c.step)
            file += "2026-12-06T22:30:" + std::string(second < 10 ? "0" : "") + std::to_string(second) + ",97\n";
        const ImportResult result = ImportCsv(file, {});
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.samples.size(), c.samples);
        EXPECT_EQ(Lines({result.samples.back()}), c.last);
        EXPECT_EQ(import_detail::ReadCsv(file, {}, import_detail::CsvRows::GeneralOnly).samples, result.samples);
    }
}

struct Refusal {
    const char* name;
    DateOrder order;
    const char* file;
    const char* message;  // a part of the message
    bool ambiguous;
};

const Refusal kCsvRefusals[] = {
    {"empty", DateOrder::Unknown, "\n \r\n", "no samples", false},
    {"header only", DateOrder::Unknown, "time,spo2\n", "no samples", false},
    {"no time column", DateOrder::Unknown, "when,spo2\n1,2\n",
     "line 1: the header names no time column (\"time\", \"timestamp\", \"date time\", \"datetime\", or \"date\" with "
     "\"time\"); it has \"when\", \"spo2\".",
     false},
    {"no SpO2 column", DateOrder::Unknown, "\ntime;Pulse\n", "line 2: the header names no SpO2 column", false},
    {"unreadable time", DateOrder::Unknown, "time,spo2\n2026-12-06T22:30:00,97\nyesterday,97\n",
     "line 3, field 1 (\"time\"): \"yesterday\" is no date and time this reader knows.", false},
    {"missing time", DateOrder::Unknown, "spo2,time\n97\n", "line 2, field 2 (\"time\"): the time stamp is missing.",
     false},
    {"31 April", DateOrder::Unknown, "time,spo2\n2026-04-31 22:30:00,97\n",
     "line 2, field 1 (\"time\"): \"2026-04-31 22:30:00\" is no date in the calendar.", false},
    {"hour 24", DateOrder::Unknown, "time,spo2\n2026-04-30 23:59:59,97\n2026-04-30 24:00:00,97\n", "line 3, field 1",
     false},
    {"bad date column", DateOrder::Unknown, "date,time,spo2\n2026-04-30,22:00:00,97\n30.4.,22:00:01,97\n",
     "line 3, field 1 (\"date\")", false},
    {"before 2000", DateOrder::Unknown, "time,spo2\n1999-12-31 23:59:59,97\n", "the year 1999 is outside 2000 to 2127",
     false},
    {"after 2127", DateOrder::Unknown, "time,spo2\n2128-01-01 00:00:00,97\n", "the year 2128", false},
    {"dates fit both orders", DateOrder::Unknown, "time,spo2\n5/6/2026 22:00:00,97\n", "--date-order dmy|mdy", true},
    {"dates fit neither order", DateOrder::Unknown, "time,spo2\n13/5/2026 22:00:00,97\n5/13/2026 22:00:00,97\n",
     "lines 2 and 3: the dates fit neither", false},
    {"mdy asked of a D/M/Y file", DateOrder::Mdy, "time,spo2\n1/1/2026 22:00:00,97\n13/1/2026 22:00:00,97\n",
     "line 3, field 1 (\"time\"): day 1 of month 13 is no date in the calendar (read as month/day/year).", false},
    // A value that is no number is no "no measurement" either.
    {"9x5", DateOrder::Unknown, "time,spo2,pulse\n2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,9x5,61\n",
     "line 3, field 2 (\"spo2\"): \"9x5\" is no number.", false},
    {"95%", DateOrder::Unknown, "time,spo2,pulse\n2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,95%,61\n",
     "line 3, field 2 (\"spo2\"): \"95%\" is no number.", false},
    {"1e2", DateOrder::Unknown, "time,spo2,pulse\n2026-12-06T22:30:00,97,61\n2026-12-06T22:30:01,97,1e2\n",
     "line 3, field 3 (\"pulse\"): \"1e2\" is no number.", false},
    {"--5", DateOrder::Unknown, "time;pulse;spo2\n2026-12-06T22:30:00;--5;97\n",
     "line 2, field 2 (\"pulse\"): \"--5\" is no number.", false},
};

TEST(ImportCsv, RefusesWithLineFieldAndReason) {
    for (const Refusal& refusal : kCsvRefusals) {
        SCOPED_TRACE(refusal.name);
        const ImportResult result = ImportCsv(refusal.file, {1, refusal.order});
        EXPECT_EQ(import_detail::ReadCsv(refusal.file, {1, refusal.order}, import_detail::CsvRows::GeneralOnly).message,
                  result.message);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.samples.empty());
        EXPECT_NE(result.message.find(refusal.message), std::string::npos) << result.message;
        EXPECT_EQ(result.dateOrderAmbiguous, refusal.ambiguous);
    }
}

// ---- EDF -----------------------------------------------------------------

struct EdfSignal {
    const char* label;
    int digitalMax;
    double physicalMax;
    int perRecord;
    std::function<int(int record, int k)> value;  // digital
};

// An EDF+C file through EDFlib's writer: records of `recordSeconds`, from
// 2026-12-06 22:30:00, an EEG channel first so the labels are looked for.
void WriteEdfPlus(const fs::path& path, double recordSeconds, int records, const std::vector<EdfSignal>& signals) {
    const int h = edfopen_file_writeonly(path.c_str(), EDFLIB_FILETYPE_EDFPLUS, static_cast<int>(signals.size()) + 1);
    ASSERT_GE(h, 0);
    ASSERT_EQ(edf_set_datarecord_duration(h, static_cast<int>(recordSeconds * 100000)), 0);
    ASSERT_EQ(edf_set_startdatetime(h, 2026, 12, 6, 22, 30, 0), 0);
    std::vector<EdfSignal> all = {{"EEG C3-A2", 100, 100, 2, [](int, int) { return 5; }}};
    all.insert(all.end(), signals.begin(), signals.end());
    for (int s = 0; s < static_cast<int>(all.size()); ++s) {
        const EdfSignal& sig = all[static_cast<std::size_t>(s)];
        ASSERT_EQ(edf_set_samplefrequency(h, s, sig.perRecord), 0);
        edf_set_label(h, s, sig.label);
        edf_set_digital_minimum(h, s, -1);
        edf_set_digital_maximum(h, s, sig.digitalMax);
        edf_set_physical_minimum(h, s, -sig.physicalMax / sig.digitalMax);
        edf_set_physical_maximum(h, s, sig.physicalMax);
    }
    for (int r = 0; r < records; ++r) {
        for (const EdfSignal& sig : all) {
            std::vector<int> values(static_cast<std::size_t>(sig.perRecord));
            for (int k = 0; k < sig.perRecord; ++k) values[static_cast<std::size_t>(k)] = sig.value(r, k);
            ASSERT_EQ(edfwrite_digital_samples(h, values.data()), 0);
        }
    }
    ASSERT_EQ(edfclose_file(h), 0);
}

TEST(ImportEdf, ReadsEdflibFilesAtOneFourAndAQuarterHertz) {
    test::TempDir dir("quenda-import-edf");
    // 1 Hz, 1 s records; the pulse 0 in record 2 is no measurement.
    WriteEdfPlus(dir / "1hz.edf", 1, 3,
                 {{"SpO2 finger", 100, 100, 1, [](int r, int) { return 95 + r; }},
                  {"Pulse", 250, 250, 1, [](int r, int) { return r == 2 ? 0 : 60 + r; }}});
    // 4 Hz in tenths: each second the mean, rounded; an invalid sample is left out.
    WriteEdfPlus(dir / "4hz.edf", 1, 2,
                 {{"Heart rate", 3000, 300, 4, [](int r, int k) { return r == 1 && k == 0 ? -1 : 600 + 10 * k; }},
                  {"SaO2", 3000, 300, 4, [](int r, int k) { return 950 + k + r * 1000; }}});
    // 0.25 Hz: one sample per 4-s record, repeated for each second.
    WriteEdfPlus(dir / "quarter.edf", 4, 2, {{"Oxygen sat", 100, 100, 1, [](int r, int) { return 90 + r; }}});

    struct Case {
        const char* file;
        const char* samples;
    } cases[] = {
        {"1hz.edf", "2026-12-06T22:30:00,95,60\n2026-12-06T22:30:01,96,61\n2026-12-06T22:30:02,97,255\n"},
        {"4hz.edf", "2026-12-06T22:30:00,95,62\n2026-12-06T22:30:01,127,62\n"},
        {"quarter.edf",
         "2026-12-06T22:30:00,90,255\n2026-12-06T22:30:01,90,255\n2026-12-06T22:30:02,90,255\n"
         "2026-12-06T22:30:03,90,255\n2026-12-06T22:30:04,91,255\n2026-12-06T22:30:05,91,255\n"
         "2026-12-06T22:30:06,91,255\n2026-12-06T22:30:07,91,255\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ImportResult result = ImportFile(dir / c.file, {2, DateOrder::Unknown});
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(Lines(result.samples), c.samples);
    }

    WriteEdfPlus(dir / "eeg.edf", 1, 1, {{"Resp", 100, 100, 1, [](int, int) { return 1; }}});
    const ImportResult refused = ImportFile(dir / "eeg.edf", {});
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("no SpO2 signal"), std::string::npos) << refused.message;
    EXPECT_NE(refused.message.find("\"EEG C3-A2\", \"Resp\""), std::string::npos) << refused.message;

    // Nothing but "no data" seconds is no night, not an empty data set.
    WriteEdfPlus(dir / "gaps.edf", 1, 2, {{"SpO2", 100, 100, 1, [](int, int) { return -1; }}});
    const ImportResult gaps = ImportFile(dir / "gaps.edf", {});
    EXPECT_FALSE(gaps.ok);
    EXPECT_TRUE(gaps.samples.empty());
    EXPECT_EQ(gaps.message, import_message::kNoSpO2Reading);
}

// An EDF+D file as the tests want it: SpO2 and pulse at 1 Hz in records of
// `recordSeconds`, each record at its own onset. `mend` may spoil the bytes.
std::string EdfPlusD(const std::vector<int>& onsets, int recordSeconds, const std::string& start = "06.12.26",
                     const std::function<void(std::string&)>& mend = {}) {
    const auto field = [](std::string s, std::size_t n) {
        s.resize(n, ' ');
        return s;
    };
    const std::vector<std::string> labels = {"SpO2", "Pulse", "EDF Annotations"};
    const std::vector<int> perRecord = {recordSeconds, recordSeconds, 16};
    std::string h = field("0", 8) + field("X X X X", 80) + field("Startdate 06-DEC-2026 X X X", 80) + field(start, 8) +
                    field("22.30.00", 8) + field("1024", 8) + field("EDF+D", 44) +
                    field(std::to_string(onsets.size()), 8) + field(std::to_string(recordSeconds), 8) + field("3", 4);
    const std::vector<std::vector<std::string>> columns = {
        {labels[0], labels[1], labels[2]},
        {"", "", ""},
        {"%", "bpm", ""},
        {"0", "0", "-1"},
        {"127", "255", "1"},
        {"0", "0", "-32768"},
        {"127", "255", "32767"},
        {"", "", ""},
        {std::to_string(perRecord[0]), std::to_string(perRecord[1]), "16"},
        {"", "", ""}};
    const std::size_t widths[] = {16, 80, 8, 8, 8, 8, 8, 80, 8, 32};
    for (std::size_t c = 0; c < columns.size(); ++c)
        for (const auto& v : columns[c]) h += field(v, widths[c]);
    for (std::size_t r = 0; r < onsets.size(); ++r) {
        for (int s = 0; s < 2; ++s)
            for (int k = 0; k < recordSeconds; ++k) {
                const int v = s == 0 ? 90 + static_cast<int>(r) : 60 + k;
                h += static_cast<char>(v & 0xFF);
                h += static_cast<char>(v >> 8);
            }
        std::string tal = "+" + std::to_string(onsets[r]) + "\x14\x14";
        tal.resize(32, '\0');
        h += tal;
    }
    if (mend) mend(h);
    return h;
}

ImportResult ReadEdfPlusD(const std::string& bytes) {
    return ImportEdfDiscontinuous({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, {3, {}});
}

TEST(ImportEdf, EdfPlusDKeepsEachRecordsOnset) {
    const ImportResult result = ReadEdfPlusD(EdfPlusD({0, 2, 3600}, 2));
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(Lines(result.samples),
              "2026-12-06T22:30:00,90,60\n2026-12-06T22:30:01,90,61\n2026-12-06T22:30:02,91,60\n"
              "2026-12-06T22:30:03,91,61\n2026-12-06T23:30:00,92,60\n2026-12-06T23:30:01,92,61\n");

    // Through the file road too: EDFlib is never asked.
    test::TempDir dir("quenda-import-edfd");
    std::ofstream(dir / "d.edf", std::ios::binary) << EdfPlusD({0, 10}, 1);
    const ImportResult file = ImportFile(dir / "d.edf", {});
    ASSERT_TRUE(file.ok) << file.message;
    EXPECT_EQ(Lines(file.samples), "2026-12-06T22:30:00,90,60\n2026-12-06T22:30:10,91,60\n");
}

TEST(ImportEdf, EdfPlusDRefusals) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"truncated", EdfPlusD({0, 1}, 1).substr(0, 1024 + 30), "shorter than its header says"},
        {"no onset", EdfPlusD({0}, 1, "06.12.26", [](std::string& b) { b[1024 + 4] = 'x'; }),
         "Data record 1 of the EDF+D file does not begin with its onset"},
        {"records backwards", EdfPlusD({5, 1}, 1), "Data record 2 of the EDF+D file starts before"},
        {"1999", EdfPlusD({0}, 1, "06.12.99", [](std::string& b) { b.replace(88, 27, "Startdate 06-DEC-1999 X X X"); }),
         "outside 2000 to 2127"},
        {"no SpO2", EdfPlusD({0}, 1, "06.12.26", [](std::string& b) { b.replace(256, 4, "Resp"); }),
         "its signals are \"Resp\", \"Pulse\""},
        {"signal count", EdfPlusD({0}, 1, "06.12.26", [](std::string& b) { b.replace(252, 4, "0   "); }),
         "number of signals"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult result = ReadEdfPlusD(c.bytes);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    }
}

// ---- our own exports read back -----------------------------------------------

// Two nights: an hour from 23:30 on 6 December with a 10-minute gap, then
// 100 s from 22:00 the next evening; values in range and "no measurement".
std::vector<SampleRecord> OwnNights(int id) {
    std::vector<SampleRecord> samples;
    const auto add = [&](int t, int i) {
        samples.push_back({static_cast<std::uint8_t>(id), 26, 12, static_cast<std::uint8_t>(6 + t / 86400),
                           static_cast<std::uint8_t>(t / 3600 % 24), static_cast<std::uint8_t>(t / 60 % 60),
                           static_cast<std::uint8_t>(t % 60),
                           static_cast<std::uint8_t>(i % 50 == 0 ? kNoSpO2 : 85 + i % 15),
                           static_cast<std::uint8_t>(i % 70 == 0 ? kNoPulse : 50 + i % 90), 0});
    };
    for (int i = 0; i < 3700; ++i) {
        if (i < 1000 || i >= 1600) add(23 * 3600 + 30 * 60 + i, i);  // over midnight
    }
    for (int i = 0; i < 100; ++i) add(86400 + 22 * 3600 + i, i);
    return samples;
}

TEST(ImportRoundTrip, OurCsvAndEdfPlusExportsReadBackTheSameSamples) {
    test::TempDir dir("quenda-import-round");
    auto samples = OwnNights(6);
    // The edges of what a data set holds, valid or not, come back as they went;
    // 0 alone is how other oximeters write "no reading" and reads as none.
    const struct {
        std::uint8_t spo2, pulse;
    } edges[] = {{1, 1}, {1, 254}, {100, 255}, {101, 1}, {126, 254}, {127, 255}};
    for (std::size_t i = 0; i < std::size(edges); ++i) {
        samples[samples.size() - 1 - i].spo2 = edges[i].spo2;
        samples[samples.size() - 1 - i].pulseRate = edges[i].pulse;
    }
    ASSERT_TRUE(WriteCsv(dir / "own.csv", samples));
    std::vector<fs::path> edfFiles;
    ASSERT_TRUE(WriteEdf(dir / "own.edf", samples, PatientRecord{}, 6, {}, &edfFiles));
    ASSERT_EQ(edfFiles.size(), 2u);  // one per night

    const ImportResult csv = ImportFile(dir / "own.csv", {6, DateOrder::Unknown});
    ASSERT_TRUE(csv.ok) << csv.message;
    EXPECT_TRUE(csv.samples == samples);
    // Each night's EDF+ file: its gap seconds ("no data") stay a gap.
    std::vector<SampleRecord> fromEdf;
    for (const fs::path& file : edfFiles) {
        const ImportResult edf = ImportFile(file, {6, DateOrder::Unknown});
        ASSERT_TRUE(edf.ok) << edf.message;
        fromEdf.insert(fromEdf.end(), edf.samples.begin(), edf.samples.end());
    }
    EXPECT_EQ(Lines(fromEdf), Lines(samples));

    // 0 and 0: no reading at all, a gap; 0 alone: that reading's marker.
    samples.back().spo2 = 0;
    samples.back().pulseRate = 0;
    samples[samples.size() - 2].spo2 = 0;
    ASSERT_TRUE(WriteCsv(dir / "zero.csv", samples));
    const ImportResult zero = ImportFile(dir / "zero.csv", {6, DateOrder::Unknown});
    ASSERT_TRUE(zero.ok) << zero.message;
    ASSERT_EQ(zero.samples.size(), samples.size() - 1);
    EXPECT_EQ(std::make_pair(zero.samples.back().spo2, zero.samples.back().pulseRate),
              std::make_pair(std::uint8_t{kNoSpO2}, samples[samples.size() - 2].pulseRate));
}

// ---- files as devices write them --------------------------------------------------

// A plain EDF file of SpO2 and pulse at 1 Hz in 1-s records, from
// 2025-03-06 22:20:56: each signal's digital range 0 to `digitalMax`, equal
// to its physical one; `count` is the header's record count as written.
std::string PlainEdf(const std::vector<std::pair<int, int>>& seconds, int digitalMax = 255,
                     const std::string& count = "") {
    const auto field = [](std::string v, std::size_t n) {
        v.resize(n, ' ');
        return v;
    };
    std::string h = field("0", 8) + field("X", 80) + field("X", 80) + "06.03.2522.20.56" + field("768", 8) +
                    field("", 44) + field(count.empty() ? std::to_string(seconds.size()) : count, 8) + field("1", 8) +
                    field("2", 4) + field("SpO2", 16) + field("Pulse", 16) + field("", 160) + field("%", 8) +
                    field("bpm", 8);
    for (int i = 0; i < 2; ++i) h += field("0", 8);
    for (int i = 0; i < 2; ++i) h += field(std::to_string(digitalMax), 8);
    for (int i = 0; i < 2; ++i) h += field("0", 8);
    for (int i = 0; i < 2; ++i) h += field(std::to_string(digitalMax), 8);
    h += field("", 160) + field("1", 8) + field("1", 8) + field("", 64);
    for (const auto& [spo2, pulse] : seconds)
        for (const int v : {spo2, pulse}) {
            h += static_cast<char>(v & 0xFF);
            h += static_cast<char>((v >> 8) & 0xFF);
        }
    return h;
}

// The ring's own data file: the 40-byte header, then the 5-byte records
// (SpO2, pulse, flag, motion, vibration), `cut` bytes short of its size.
std::string RingFile(int version, int duration, const std::vector<std::array<int, 3>>& records, std::size_t cut = 0) {
    std::string b(40, '\0');
    const std::size_t size = 40 + 5 * records.size();
    const auto put = [&](std::size_t at, unsigned v, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    put(0, static_cast<unsigned>(version), 2);
    put(2, 2025, 2);
    for (const auto& [at, v] : {std::pair{4, 3}, {5, 6}, {6, 22}, {7, 20}, {8, 56}}) put(at, v, 1);
    put(9, static_cast<unsigned>(size), 3);
    put(13, static_cast<unsigned>(duration), 2);
    for (const auto& [spo2, pulse, flag] : records)
        b += std::string{static_cast<char>(spo2), static_cast<char>(pulse), static_cast<char>(flag), '\3', '\0'};
    return b.substr(0, size - cut);
}

// Runs of the same values on consecutive seconds: "2025-03-06T22:20:56 97 61 x4".
std::string Runs(const std::vector<SampleRecord>& samples) {
    std::string out;
    const std::string lines = Lines(samples);
    std::size_t begin = 0, count = 0;
    std::string run;
    const auto flush = [&] {
        if (count > 0) out += run + " x" + std::to_string(count) + "\n";
    };
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t end = lines.find('\n', begin);
        std::string line = lines.substr(begin, end - begin);
        begin = end + 1;
        std::replace(line.begin(), line.end(), ',', ' ');
        const bool next = i > 0 && samples[i].spo2 == samples[i - 1].spo2 &&
                          samples[i].pulseRate == samples[i - 1].pulseRate &&
                          samples[i].second == (samples[i - 1].second + 1) % 60;
        if (!next) {
            flush();
            run = line;
            count = 0;
        }
        ++count;
    }
    flush();
    return out;
}

// Each shape phone apps, rings, wrist oximeters and CPAP machines write, read
// through ImportFile, which tells the kinds apart by their bytes.
TEST(ImportFile, ReadsTheShapesDevicesWrite) {
    test::TempDir dir("quenda-import-devices");
    const std::string app = "Time,Oxygen Level,Pulse Rate,Motion,O2 Reminder,PR Reminder\n";
    const std::vector<std::array<int, 3>> fourRecords = {{97, 61, 0}, {96, 62, 0}, {255, 255, 255}, {95, 60, 0}};
    const struct {
        const char* name;  // the file's name
        std::string bytes;
        DateOrder order;
        std::string samples;  // Runs(); empty: refused
        std::string said;     // in the summary, or in the refusal
    } cases[] = {
        {"ring.csv",
         "Time,Oxygen Level,Pulse Rate,Motion,O2 Reminder,PR Reminder,\n22:20:56 Mar 06 2025,97,61,0,0,0,\n"
         "22:21:00 Mar 06 2025,--,--,3,0,0,\n22:21:04 Mar 06 2025,96,--,0,0,0,\n",
         DateOrder::Unknown, "2025-03-06T22:20:56 97 61 x4\n2025-03-06T22:21:04 96 255 x4\n",
         "Read the columns \"Time\", \"Oxygen Level\", \"Pulse Rate\"; left out \"Motion\", \"O2 Reminder\", \"PR "
         "Reminder\"."},
        {"wrist.csv", app + "\"10:20:56PM Mar 6, 2025\",97,61,0,0,0\n\"10:20:58PM Mar 6, 2025\",98,61,0,0,0\n",
         DateOrder::Unknown, "2025-03-06T22:20:56 97 61 x2\n2025-03-06T22:20:58 98 61 x2\n", "Read the columns"},
        {"wrist unquoted.csv", app + "10:20:56PM Mar 6, 2025,97,61,0,0,0\n", DateOrder::Unknown,
         "2025-03-06T22:20:56 97 61 x1\n", ""},
        {"full month.csv", app + "01:02:03 MARCH 6 2025,97,61,0,0,0\n01:02:04 march 6 2025,97,61,0,0,0\n",
         DateOrder::Unknown, "2025-03-06T01:02:03 97 61 x2\n", ""},
        {"numeric.csv", app + "22:20:56 06/03/2025,97,61,0,0,0\n", DateOrder::Unknown, "", "--date-order"},
        {"numeric dmy.csv", app + "22:20:56 06/03/2025,97,61,0,0,0\n", DateOrder::Dmy,
         "2025-03-06T22:20:56 97 61 x1\n", ""},
        {"offset.csv", "time,spo2\n2025-03-06T22:20:56+01:00,97\n2025-03-06T22:20:57+01:00,97\n", DateOrder::Unknown,
         "2025-03-06T22:20:56 97 255 x2\n", ""},
        {"utc.csv", "time,spo2\n2025-03-06T22:20:56Z,97\n", DateOrder::Unknown, "2025-03-06T23:20:56 97 255 x1\n",
         "converted to this computer's time zone"},
        {"mixed.csv", "time,spo2\n2025-03-06T22:20:56+01:00,97\n2025-03-06T22:20:57-05:00,97\n", DateOrder::Unknown,
         "", "line 3, field 1 (\"time\"): the time stamp's zone (\"-05:00\") is not line 2's (\"+01:00\")"},
        {"no reading.csv", app + "22:20:56 Mar 06 2025,--,--,0,0,0\n22:20:58 Mar 06 2025,0,0,0,0,0\n",
         DateOrder::Unknown, "", import_message::kNoSpO2Reading},
        {"no time.csv", app + ",97,61,0,0,0\n", DateOrder::Unknown, "", "the time stamp is missing"},
        {"cpap.edf", PlainEdf({{-1, -1}, {-1, -1}}), DateOrder::Unknown, "", import_message::kNoSpO2Reading},
        {"past max.edf", PlainEdf({{97, 61}, {101, 62}, {-1, 63}}, 100), DateOrder::Unknown,
         "2025-03-06T22:20:56 97 61 x1\n2025-03-06T22:20:57 127 62 x1\n2025-03-06T22:20:58 127 63 x1\n",
         "Read the signal \"SpO2\" as SpO2 and \"Pulse\" as pulse."},
        {"recording.edf", PlainEdf({{97, 61}}, 255, "-1"), DateOrder::Unknown, "", import_message::kNoRecords},
        {"empty.edf", PlainEdf({}, 255, "0"), DateOrder::Unknown, "", import_message::kNoRecords},
        {"20250306222056", RingFile(3, 16, fourRecords), DateOrder::Unknown,
         "2025-03-06T22:20:56 97 61 x4\n2025-03-06T22:21:00 96 62 x4\n2025-03-06T22:21:08 95 60 x4\n",
         "one record every 4 s (version 3)"},
        {"O2Ring_20250306222056.dat.bin",
         RingFile(3, 16, {{97, 61, 0}, {97, 61, 0}, {96, 62, 0}, {96, 62, 0}, {95, 60, 0}, {95, 60, 0},
                          {94, 60, 0}, {94, 60, 0}}),
         DateOrder::Unknown,
         "2025-03-06T22:20:56 97 61 x4\n2025-03-06T22:21:00 96 62 x4\n2025-03-06T22:21:04 95 60 x4\n"
         "2025-03-06T22:21:08 94 60 x4\n",
         "every 4 s (version 3)"},
        {"20250306222056.v5", RingFile(5, 8, fourRecords), DateOrder::Unknown,
         "2025-03-06T22:20:56 97 61 x2\n2025-03-06T22:20:58 96 62 x2\n2025-03-06T22:21:02 95 60 x2\n",
         "every 2 s (version 5)"},
        {"20250306222100", RingFile(5, 4, {{97, 61, 0}}), DateOrder::Unknown, "2025-03-06T22:21:00 97 61 x4\n",
         "The start is the file name's, 2025-03-06 22:21:00, not the header's 2025-03-06 22:20:56."},
        {"cut", RingFile(5, 16, fourRecords, 3), DateOrder::Unknown, "",
         "The ring's data file is cut short: it holds 57 bytes of the 60 its header gives."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir / c.name, std::ios::binary) << c.bytes;
        // UTC is converted to this computer's zone: one an hour east of it here.
        ::setenv("TZ", "CET-1", 1);
        ::tzset();
        const ImportResult result = ImportFile(dir / c.name, {1, c.order});
        // The quick walk along common rows reads what the general reader reads.
        if (fs::path(c.name).extension() == ".csv") {
            EXPECT_EQ(import_detail::ReadCsv(c.bytes, {1, c.order}, import_detail::CsvRows::GeneralOnly).samples,
                      result.samples);
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        EXPECT_EQ(Runs(result.samples), c.samples);
        EXPECT_EQ(result.ok, !c.samples.empty()) << result.message;
        std::string said = result.message;
        for (const std::string& line : result.summary) said += "\n" + line;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
}

// ---- what is read at all -------------------------------------------------------

// A folder (one named like a CSV or EDF file too), a FIFO and a device are
// refused unread, as is a file longer than a full data set of its kind; one
// exactly that long is read.
TEST(ImportFile, ReadsRegularFilesNoLongerThanAFullDataSet) {
    test::TempDir dir("quenda-import-kinds");
    fs::create_directory(dir / "night.csv");
    fs::create_directory(dir / "night.edf");
    ASSERT_EQ(::mkfifo((dir / "fifo.csv").c_str(), 0600), 0);
    // Zero bytes make up the length.
    const auto sized = [&](const char* name, const std::string& bytes, std::uint64_t size) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        fs::resize_file(dir / name, size);
        return dir / name;
    };
    const std::string csv = "time,spo2\n2026-12-06T22:30:00,97\n";
    // Records of 1 s and 36 bytes: 518,400 of them after the 1,024-byte header.
    const std::string edf = EdfPlusD({0}, 1);
    constexpr std::uint64_t kLongestEdf = 1024 + 518'400ull * 36;
    const struct {
        fs::path path;
        std::string message;  // empty: read
    } cases[] = {
        {dir / "night.csv", import_message::kFolder},
        {dir / "night.edf", import_message::kFolder},
        {dir / "fifo.csv", import_message::kNotAFile},
        {"/dev/zero", import_message::kNotAFile},
        {sized("long.csv", csv, kMaxCsvFile + 1), import_message::kCsvTooLarge},
        {sized("longest.csv", csv, kMaxCsvFile), "line 3, field 1 (\"time\")"},  // read: zero bytes are no time
        {sized("long.edf", edf, kLongestEdf + 1), import_message::kTooLong},
        {sized("longest.edf", edf, kLongestEdf), ""},  // bytes after the one record are ignored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const ImportResult result = ImportFile(c.path, {});
        EXPECT_EQ(result.ok, c.message.empty());
        EXPECT_EQ(result.message.substr(0, c.message.size()), c.message);
    }
    EXPECT_EQ(ImportEdf(dir / "night.edf", {}).message, import_message::kFolder);
}

TEST(ImportKeep, WritesAPrivateDataFileOnceAndAnotherForOtherSamples) {
    test::TempDir dir("quenda-import-keep");
    const fs::path root = dir / "Quenda" / "imports";
    const auto samples = OwnNights(2);
    fs::path first, again, other;
    ASSERT_TRUE(KeepImport("/somewhere/ring night.csv", 2, samples, root, first));
    EXPECT_EQ(first, root / "ring night-ID2.dat");
    EXPECT_EQ(fs::status(root).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(first).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(KeepImport("/elsewhere/ring night.csv", 2, samples, root, again));
    EXPECT_EQ(again, first);
    ASSERT_TRUE(KeepImport("ring night.edf", 2, std::span(samples).first(10), root, other));
    EXPECT_EQ(other, root / "ring night-ID2-2.dat");
    DataFileContents contents;
    ASSERT_TRUE(ReadDataFile(first, contents));
    EXPECT_EQ(contents.id, 2);
    EXPECT_TRUE(contents.records == samples);
}

// ---- quenda-cli import -----------------------------------------------------------

TEST(ImportCli, WritesTheDataFileAndAsksForTheDateOrder) {
    test::TempDir dir("quenda-import-cli");
    std::ofstream(dir / "ring.csv") << "time,spo2,pulse\n5/6/2026 22:00:00,97,61\n5/6/2026 22:00:01,96,62\n";
    auto run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"import", "ring.csv", "ring.dat", "--id", "9"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("ring.csv: The dates fit both"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "ring.dat"));

    run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH,
                               {"import", "ring.csv", "ring.dat", "--id", "9", "--date-order", "mdy"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 samples\nRead the columns \"time\", \"spo2\", \"pulse\"; left out none.\n");
    DataFileContents contents;
    ASSERT_TRUE(ReadDataFile(dir / "ring.dat", contents));
    EXPECT_EQ(contents.id, 9);
    EXPECT_EQ(Lines(contents.records), "2026-05-06T22:00:00,97,61\n2026-05-06T22:00:01,96,62\n");

    for (const std::vector<std::string>& args : {std::vector<std::string>{"import", "ring.csv", "x.dat", "--id", "128"},
                                                 {"import", "ring.csv", "x.dat", "--date-order", "ymd"},
                                                 {"import", "ring.csv"}}) {
        run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
        EXPECT_EQ(run.exitCode, 2) << args.back();
    }
    // nights add keeps a CSV file as a data file under imports/, then adds its night.
    const std::string home = "XDG_DATA_HOME=" + dir.Path().string();
    run = test::RunInDirectory(dir.Path(), "/usr/bin/env",
                               {home, QUENDA_CLI_PATH, "nights", "add", "ring.csv", "--library", "lib.sqlite"});
    EXPECT_EQ(run.exitCode, 2) << run.err;  // the dates need an order
    run = test::RunInDirectory(dir.Path(), "/usr/bin/env",
                               {home, QUENDA_CLI_PATH, "nights", "add", "ring.csv", "--library", "lib.sqlite", "--id",
                                "4", "--date-order", "dmy"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"nights", "list", "--library", "lib.sqlite", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"id\":4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"date\":\"2026-06-05\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find((dir / "Quenda" / "imports" / "ring-ID4.dat").string()), std::string::npos) << run.out;

    // A folder copied off the phone: the ring's files are added (one named
    // as the app names its copies, with ".dat" though it is none of ours), the
    // file without a SpO2 reading told and left out.
    fs::create_directory(dir / "app");
    std::ofstream(dir / "app" / "20250306222056", std::ios::binary) << RingFile(3, 8, {{97, 61, 0}, {96, 60, 0}});
    std::ofstream(dir / "app" / "O2Ring_20250308230000.dat", std::ios::binary) << RingFile(5, 4, {{95, 70, 0}});
    std::ofstream(dir / "app" / "empty.csv") << "time,spo2\n2025-03-07T22:00:00,--\n";
    run = test::RunInDirectory(dir.Path(), "/usr/bin/env",
                               {home, QUENDA_CLI_PATH, "nights", "add", "app", "--library", "lib.sqlite"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("empty.csv: The file holds no SpO2 reading."), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("2 nights added"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(dir / "Quenda" / "imports" / "20250306222056-ID1.dat"));
    EXPECT_TRUE(fs::exists(dir / "Quenda" / "imports" / "O2Ring_20250308230000-ID1.dat"));
    run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"import", "app/empty.csv", "empty.dat"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "empty.dat"));

    std::ofstream(dir / "bad.csv") << "time,spo2\nnever,97\n";
    run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"import", "bad.csv", "bad.dat"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("line 2, field 1"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "bad.dat"));
}

// The data file never takes the place of what is imported, and has a data
// file's name; nights add takes any folder for a kept download.
TEST(ImportCli, RefusesAnOutputThatIsTheInputAndTakesFoldersForKeptDownloads) {
    test::TempDir dir("quenda-import-cli");
    const std::string csv = "time,spo2\n2026-12-06T22:30:00,97\n";
    std::ofstream(dir / "ring.csv") << csv;
    std::ofstream(dir / "ring.dat") << csv;  // a CSV file under a data file's name
    fs::create_symlink("ring.csv", dir / "link.dat");
    fs::create_hard_link(dir / "ring.csv", dir / "hard.dat");
    fs::create_directory(dir / "folder.csv");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* err;
    } cases[] = {
        {{"ring.csv", "ring.csv"}, 2, "its name must end in .dat"},
        {{"ring.csv", "out.csv"}, 2, "its name must end in .dat"},
        {{"ring.dat", "ring.dat"}, 1, "ring.dat: is ring.dat itself"},
        {{"ring.csv", "link.dat"}, 1, "link.dat: is ring.csv itself"},
        {{"ring.csv", "hard.dat"}, 1, "hard.dat: is ring.csv itself"},
        {{"folder.csv", "out.dat"}, 1, "folder.csv: The path is a folder, not a CSV or EDF file."},
        {{"ring.csv", "OUT.DAT"}, 0, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"import"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << ": " << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    for (const char* name : {"ring.csv", "ring.dat", "link.dat", "hard.dat"}) EXPECT_EQ(test::Slurp(dir / name), csv);
    EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
    EXPECT_FALSE(fs::exists(dir / "out.csv") || fs::exists(dir / "out.dat"));
    EXPECT_TRUE(fs::exists(dir / "OUT.DAT"));

    fs::create_directory(dir / "kept.csv");
    ASSERT_TRUE(WriteDataFile(dir / "kept.csv" / "ID3.dat", 3, ImportCsv(csv, {3, {}}).samples, ""));
    auto run =
        test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"nights", "add", "kept.csv", "--library", "l.sqlite"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"nights", "add", "folder.csv", "--library", "l.sqlite"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("folder.csv: no ID<n>.dat data files in this folder"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace quenda
