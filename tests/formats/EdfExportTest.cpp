// EDF+ read back through EDFlib's own reader, and the CSV read back as a
// toolbox would read it.
#include "analysis/Analysis.h"
#include "base/TextCodec.h"
#include "formats/Edf.h"
#include "formats/Export.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <edflib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// Half an hour from 2026-12-06 22:30:00 with one desaturation and one pulse
// event, and the extremes of both channels.
std::vector<SampleRecord> Night() {
    std::vector<SampleRecord> samples(1800);
    for (int i = 0; i < 1800; ++i) {
        const int t = 22 * 3600 + 30 * 60 + i;
        auto& r = samples[static_cast<std::size_t>(i)];
        r = {7,
             26,
             12,
             6,
             static_cast<std::uint8_t>(t / 3600),
             static_cast<std::uint8_t>(t / 60 % 60),
             static_cast<std::uint8_t>(t % 60),
             97,
             70,
             static_cast<std::uint16_t>(i % 512)};
        if (i >= 300 && i < 320) r.spo2 = 90;
        if (i >= 1000 && i < 1012) r.pulseRate = 60;
    }
    samples[0].spo2 = 127;
    samples[1].pulseRate = 255;
    samples[2].spo2 = 0;
    samples[2].pulseRate = 0;
    return samples;
}

TEST(EdfExport, ReadsBackThroughEdflib) {
    test::TempDir dir("quenda-edf");
    const auto samples = Night();
    ExportRequest request;
    request.samples = samples;
    SetFieldTextUtf8(request.patient.name, "Ann Marie Bo");
    request.patient.gender = kGenderFemale;
    request.currentId = 7;
    request.figures.profile = ClinicalProfile::Raw;  // every valid sample counts
    AnalysisResults results;
    ComputeStatistics(samples, Thresholds{}, results);
    ASSERT_EQ(results.desaturation.events.size(), 1u);
    ASSERT_EQ(results.pulse.events.size(), 1u);
    const fs::path file = dir / "night.edf";
    ASSERT_TRUE(ExportDataSet(ExportKind::Edf, file, request));

    edf_hdr_struct hdr{};
    ASSERT_EQ(edfopen_file_readonly(file.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0) << hdr.filetype;
    EXPECT_EQ(hdr.filetype, EDFLIB_FILETYPE_EDFPLUS);
    EXPECT_EQ(hdr.edfsignals, 2);
    EXPECT_EQ(hdr.datarecords_in_file, 60);  // 30-s records
    EXPECT_EQ(hdr.datarecord_duration, 30 * EDFLIB_TIME_DIMENSION);
    EXPECT_EQ(std::tie(hdr.startdate_year, hdr.startdate_month, hdr.startdate_day), std::make_tuple(2026, 12, 6));
    EXPECT_EQ(std::tie(hdr.starttime_hour, hdr.starttime_minute, hdr.starttime_second), std::make_tuple(22, 30, 0));
    EXPECT_STREQ(hdr.patientcode, "7");
    EXPECT_STREQ(hdr.gender, "Female");
    EXPECT_STREQ(hdr.birthdate, "");                 // "X" in the file
    EXPECT_STREQ(hdr.patient_name, "Ann Marie Bo");  // underscores in the file, spaces to the reader
    EXPECT_STREQ(hdr.equipment, "Quenda");
    const struct {
        const char* label;
        const char* unit;
        int maximum;
    } signals[] = {{"SpO2", "%", 127}, {"Pulse", "bpm", 255}};
    for (int s = 0; s < 2; ++s) {
        const edf_param_struct& p = hdr.signalparam[s];
        EXPECT_EQ(std::string(p.label).substr(0, std::strlen(signals[s].label)), signals[s].label);
        EXPECT_EQ(std::string(p.physdimension).substr(0, std::strlen(signals[s].unit)), signals[s].unit);
        EXPECT_EQ(std::string(p.transducer).substr(0, 14), "pulse oximeter");
        EXPECT_EQ(p.smp_in_datarecord, 30);
        EXPECT_EQ(p.smp_in_file, 1800);
        // -1 is "no data"
        EXPECT_EQ(std::tie(p.dig_min, p.dig_max), std::make_tuple(-1, signals[s].maximum));
        EXPECT_EQ(p.phys_min, -1);
        EXPECT_EQ(p.phys_max, signals[s].maximum);
        std::vector<double> values(1800);
        ASSERT_EQ(edfread_physical_samples(hdr.handle, s, 1800, values.data()), 1800);
        for (int i = 0; i < 1800; ++i) {
            const auto& r = samples[static_cast<std::size_t>(i)];
            ASSERT_EQ(values[static_cast<std::size_t>(i)], s == 0 ? r.spo2 : r.pulseRate) << s << " " << i;
        }
    }
    std::vector<std::tuple<long long, long long, std::string>> annotations;
    for (int n = 0; n < hdr.annotations_in_file; ++n) {
        edf_annotation_struct a{};
        ASSERT_EQ(edf_get_annotation(hdr.handle, n, &a), 0);
        annotations.emplace_back(a.onset / EDFLIB_TIME_DIMENSION, a.duration_l / EDFLIB_TIME_DIMENSION, a.annotation);
    }
    edfclose_file(hdr.handle);
    const auto& d = results.desaturation.events[0];
    const auto& p = results.pulse.events[0];
    EXPECT_EQ(annotations, (std::vector<std::tuple<long long, long long, std::string>>{
                               {d.start, d.length, "Desaturation"},
                               {p.start, p.length, "Pulse event"},
                               // the clinical 3 % dip: 97 falls to 90 for 20 s
                               {300, 20, "Desaturation 3%"}}));
}

// Two nights of one ID, the first with a 100-s gap and an event after it:
// one file each, from its own first sample, every sample at its own second.
TEST(EdfExport, OneFilePerNightInRealTime) {
    test::TempDir dir("quenda-edf");
    std::vector<SampleRecord> samples;
    const auto run = [&](int day, int from, int count) {
        for (int i = 0; i < count; ++i) {
            const int t = 22 * 3600 + from + i;
            samples.push_back({7, 26, 12, static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(t / 3600),
                               static_cast<std::uint8_t>(t / 60 % 60), static_cast<std::uint8_t>(t % 60),
                               96, static_cast<std::uint8_t>(60 + (from + i) / 36), 0});  // pulse never falls
        }
    };
    run(6, 0, 600);
    run(6, 700, 2900);  // 22:11:40 to 23:00:00
    run(7, 0, 3600);
    const int eventAt = 600 + 1000;  // a sample of the first night after its gap
    for (int i = eventAt; i < eventAt + 20; ++i) samples[static_cast<std::size_t>(i)].spo2 = 85;
    ExportRequest request;
    request.samples = samples;
    request.currentId = 7;
    request.figures.profile = ClinicalProfile::Raw;
    std::vector<fs::path> written;
    ASSERT_TRUE(ExportDataSet(ExportKind::Edf, dir / "two.edf", request, {}, &written));
    ASSERT_EQ(written, (std::vector<fs::path>{dir / "two.edf", dir / "two-2.edf"}));

    const struct {
        int day;
        long long seconds;
        std::size_t first;
    } nights[] = {{6, 3600, 0}, {7, 3600, 3500}};
    for (int n = 0; n < 2; ++n) {
        SCOPED_TRACE(n);
        const fs::path& file = written[static_cast<std::size_t>(n)];
        // The size goal: at most twice the bare samples plus 64 KB.
        EXPECT_LE(fs::file_size(file), 2u * 4u * nights[n].seconds + 65536u);
        edf_hdr_struct hdr{};
        ASSERT_EQ(edfopen_file_readonly(file.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0) << hdr.filetype;
        EXPECT_EQ(std::tie(hdr.startdate_day, hdr.starttime_hour, hdr.starttime_minute, hdr.starttime_second),
                  std::make_tuple(nights[n].day, 22, 0, 0));
        EXPECT_EQ(hdr.datarecords_in_file, 120);
        std::vector<std::tuple<long long, long long, std::string>> annotations;
        for (int a = 0; a < hdr.annotations_in_file; ++a) {
            edf_annotation_struct an{};
            ASSERT_EQ(edf_get_annotation(hdr.handle, a, &an), 0);
            annotations.emplace_back(an.onset / EDFLIB_TIME_DIMENSION, an.duration_l / EDFLIB_TIME_DIMENSION,
                                     an.annotation);
        }
        for (int s = 0; s < 2; ++s) {
            std::vector<int> values(3600);
            ASSERT_EQ(edfread_digital_samples(hdr.handle, s, 3600, values.data()), 3600);
            std::vector<int> expected(3600, -1);
            for (std::size_t i = nights[n].first; i < nights[n].first + (n == 0 ? 3500u : 3600u); ++i) {
                const SampleRecord& r = samples[i];
                const int second = (r.hour - 22) * 3600 + r.minute * 60 + r.second;
                expected[static_cast<std::size_t>(second)] = s == 0 ? r.spo2 : r.pulseRate;
            }
            EXPECT_EQ(values, expected);
        }
        edfclose_file(hdr.handle);
        if (n == 0) {
            EXPECT_NE(std::find(annotations.begin(), annotations.end(), std::make_tuple(600LL, 100LL, std::string("No data"))),
                      annotations.end());
            // The event after the gap sits at its real second, 100 s later than its sample index.
            EXPECT_NE(std::find(annotations.begin(), annotations.end(),
                                std::make_tuple(eventAt + 100LL, 20LL, std::string("Desaturation 3%"))),
                      annotations.end());
        } else {
            // No gap, no "No data"; an event is inside the night.
            for (const auto& [onset, duration, text] : annotations) {
                EXPECT_NE(text, "No data");
                EXPECT_LT(onset + duration, 3601);
            }
        }
    }
}

TEST(EdfExport, TheLastRecordsPaddingIsNoData) {
    test::TempDir dir("quenda-edf-padding");
    // Records are 30 s: a night of 29 s is padded by 1, one of 30 by none, one of 31 by 29.
    for (const auto& [seconds, padding] : {std::pair{29, 1}, {30, 0}, {31, 29}}) {
        SCOPED_TRACE(seconds);
        std::vector<SampleRecord> samples;
        for (int i = 0; i < seconds; ++i)
            samples.push_back({7, 26, 12, 6, 22, 0, static_cast<std::uint8_t>(i), 96, 60, 0});
        ExportRequest request;
        request.samples = samples;
        request.currentId = 7;
        const fs::path file = dir / "short.edf";
        ASSERT_TRUE(ExportDataSet(ExportKind::Edf, file, request));
        edf_hdr_struct hdr{};
        ASSERT_EQ(edfopen_file_readonly(file.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0);
        EXPECT_EQ(hdr.datarecords_in_file, (seconds + 29) / 30);
        std::vector<std::pair<long long, long long>> noData;
        for (int a = 0; a < hdr.annotations_in_file; ++a) {
            edf_annotation_struct an{};
            ASSERT_EQ(edf_get_annotation(hdr.handle, a, &an), 0);
            if (std::string(an.annotation) == "No data")
                noData.emplace_back(an.onset / EDFLIB_TIME_DIMENSION, an.duration_l / EDFLIB_TIME_DIMENSION);
        }
        edfclose_file(hdr.handle);
        using Spans = std::vector<std::pair<long long, long long>>;
        const Spans expected = padding == 0 ? Spans{} : Spans{{seconds, padding}};
        EXPECT_EQ(noData, expected);
    }
}

// An exclusion over a second without samples says which seconds it holds:
// one annotation per run of samples, none over the gap.
TEST(EdfExport, AnExclusionAcrossAGapIsOneAnnotationPerRun) {
    test::TempDir dir("quenda-edf-gap");
    std::vector<SampleRecord> samples;
    for (int i = 0; i < 200; ++i) {
        const int at = i < 100 ? i : i + 3540;  // 100 s, 59 min without samples, 100 s
        samples.push_back(
            {7, 26, 12, 6, 22, static_cast<std::uint8_t>(at / 60 % 60), static_cast<std::uint8_t>(at % 60), 96, 60, 0});
        samples.back().hour = static_cast<std::uint8_t>(22 + at / 3600);
    }
    ExportRequest request;
    request.samples = samples;
    request.currentId = 7;
    request.exclusions.Exclude({50, 149});  // the last 50 s before the gap, the first 50 after
    const fs::path file = dir / "gap.edf";
    ASSERT_TRUE(ExportDataSet(ExportKind::Edf, file, request));
    edf_hdr_struct hdr{};
    ASSERT_EQ(edfopen_file_readonly(file.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0);
    std::vector<std::pair<long long, long long>> excluded;
    for (int a = 0; a < hdr.annotations_in_file; ++a) {
        edf_annotation_struct an{};
        ASSERT_EQ(edf_get_annotation(hdr.handle, a, &an), 0);
        if (std::string(an.annotation) == "Excluded")
            excluded.emplace_back(an.onset / EDFLIB_TIME_DIMENSION, an.duration_l / EDFLIB_TIME_DIMENSION);
    }
    edfclose_file(hdr.handle);
    EXPECT_EQ(excluded, (std::vector<std::pair<long long, long long>>{{50, 50}, {3640, 50}}));
}

TEST(EdfExport, RefusesWhatEdfCannotHoldAndLeavesNothing) {
    test::TempDir dir("quenda-edf");
    ExportRequest request;
    EXPECT_EQ(ExportDataSet(ExportKind::Edf, dir / "a.edf", request).message,
              "An EDF file needs at least one sample: the data set is empty.");
    std::vector<SampleRecord> bad(3);  // month 0
    request.samples = bad;
    EXPECT_EQ(ExportDataSet(ExportKind::Edf, dir / "a.edf", request).message,
              "The first sample's time stamp is no date and time EDF can hold (years 1985 to 2084).");
    EXPECT_EQ(ExportDataSet(ExportKind::Edf, dir / "no" / "a.edf", request).message, "Can't create the file");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    EXPECT_EQ(EdfPatientName({}), "X");
}

TEST(EdfExport, PatientNameTakesTheNearestAsciiLetters) {
    struct Case {
        const char* name;
        const char* edf;
    };
    for (const Case c : {Case{"Anna \u00c5lund", "Anna_Alund"}, Case{"J\u00f6rg Stra\u00dfe", "Jorg_Strasse"},
                         Case{"Ren\u00e9e \u00c6lfrida", "Renee_AElfrida"}, Case{"\u0152uvre \u0160\u00e1rka", "OEuvre_Sarka"},
                         Case{"Price \u00d7 2", "Price_?_2"}, Case{"\u00de\u00f8r \u00ff", "THor_y"}}) {
        PatientRecord patient{};
        SetFieldTextUtf8(patient.name, c.name);
        EXPECT_EQ(EdfPatientName(patient), c.edf) << c.name;
    }
    // Beyond the Latin letters there is no nearest one; each sequence is one '?'.
    EXPECT_EQ(Utf8ToAsciiLetters("\u0141uk\u0105sz"), "Lukasz");
    EXPECT_EQ(Utf8ToAsciiLetters("\u0416\u00e9\xff!"), "?e?!");
}

TEST(CsvExport, RoundTrip) {
    test::TempDir dir("quenda-csv");
    const auto samples = Night();
    ExportRequest request;
    request.samples = samples;
    ASSERT_TRUE(ExportDataSet(ExportKind::Csv, dir / "night.CSV", request));
    std::istringstream in(test::Slurp(dir / "night.CSV"));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "time,spo2,pulse");
    std::size_t n = 0;
    while (std::getline(in, line)) {
        ASSERT_LT(n, samples.size());
        int y, mo, d, h, mi, s, spo2, pulse;
        char tail = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d,%d,%d%c", &y, &mo, &d, &h, &mi, &s, &spo2, &pulse,
                              &tail),
                  8)
            << line;
        const auto& r = samples[n++];
        EXPECT_EQ(
            std::make_tuple(y, mo, d, h, mi, s, spo2, pulse),
            std::make_tuple(2000 + r.year, +r.month, +r.day, +r.hour, +r.minute, +r.second, +r.spo2, +r.pulseRate));
    }
    EXPECT_EQ(n, samples.size());
    EXPECT_EQ(CsvBytes(std::span(samples).first(1)), "time,spo2,pulse\n2026-12-06T22:30:00,127,70\n");
}

}  // namespace
}  // namespace quenda
