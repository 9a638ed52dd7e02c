// quenda-cli nights, run as a user would run it.
#include "base/TextCodec.h"
#include "nights/Library.h"
#include "nights/PeriodSummary.h"
#include "support/NightData.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <edflib.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>

#include <stdlib.h>

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
    std::string shape;
    for (const std::string depth : {"shape_depth3_", "shape_depth4_"}) {
        for (const char* figure : {"depth", "length", "area", "fall", "recovery", "slope"})
            shape += depth + figure + "_mean," + depth + figure + "_sd,";
        shape += depth + "deepest_depth," + depth + "deepest_start," + depth + "longest_seconds," + depth +
                 "longest_start," + depth + "time_in_desaturation," + depth + "odi_class,";
    }
    const std::string header = run.out.substr(0, run.out.find('\n'));
    EXPECT_EQ(header,
              "night,id,name,date,start,end,samples,gap_seconds,source,first,last,valid_samples,valid_hours,odi3,odi4,"
              "desat_burden,t90,t88_minutes,longest_le88_seconds,longest_le88_start,nadir_spo2,nadir_time,spo2_mean,"
              "spo2_median,pulse_mean,pulse_median,pulse_min,pulse_max,profile,counted_samples,coverage,"
              "margin_seconds,artefact_seconds,excluded_seconds," +
                  shape +
                  "pulse_rises_count,pulse_rises_index,pulse_rises_coupled_share,pulse_rises_answered,"
                  "pulse_rises_uncoupled,pulse_rises_uncoupled_index,"
                  "biomarkers_mean,biomarkers_median,biomarkers_min,biomarkers_sd,biomarkers_range,biomarkers_p1,"
                  "biomarkers_m,biomarkers_mean_crossings,biomarkers_delta_index,biomarkers_kurtosis,"
                  "biomarkers_skewness,biomarkers_mad,biomarkers_apen,biomarkers_sampen,biomarkers_lz_phrases,"
                  "biomarkers_lz_normalised,biomarkers_ctm,biomarkers_dfa_f20,biomarkers_dfa_alpha,"
                  "biomarkers_prsa_capacity,biomarkers_prsa_amplitude,biomarkers_prsa_slope,"
                  "biomarkers_prsa_slope_before,biomarkers_prsa_slope_after,biomarkers_prsa_ac2,biomarkers_psd_total,"
                  "biomarkers_psd_band,biomarkers_psd_ratio,biomarkers_psd_peak,scored_events_apneas,scored_events_"
                  "hypopneas,scored_events_hours,"
                  "scored_events_hours_basis,scored_events_ahi,hypoxic_burden_value,hypoxic_burden_events_used,"
                  "hypoxic_burden_hours,hypoxic_burden_hours_basis,hypoxic_burden_window_start,hypoxic_burden_window_end,"
              "note,missing");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    // A night's row has a field for every column, whatever figures it lacks.
    const std::string row = run.out.substr(header.size() + 1);
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));
    EXPECT_EQ(run.out.find("\n2,4,,2026-12-07,2026-12-07T22:00:00,2026-12-07T22:04:59,300,0,"), run.out.find('\n'));

    run = Cli(dir, {"show", "1"});
    EXPECT_NE(run.out.find("Note:            cold, \"room\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nBurden:          0.0 %\u00b7min/h\n"), std::string::npos)
        << run.out;  // as the page writes it
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

TEST(NightsCli, ExcludeAndIncludeSpansAndTheFiguresFollow) {
    test::TempDir dir("quenda-nights-cli");
    std::vector<SampleRecord> samples;
    test::AppendRun(samples, 4, test::Secs(2026, 12, 6, 22, 0, 0), 600);
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, samples, "Report Title"));
    ASSERT_EQ(Cli(dir, {"add", "kept"}).exitCode, 0);

    // Each command runs in a process of its own: what one keeps, the next finds.
    auto run = Cli(dir, {"exclude", "1", "0", "99"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(Cli(dir, {"exclude", "1", "500", "599"}).exitCode, 0);
    ASSERT_EQ(Cli(dir, {"include", "1", "50", "59"}).exitCode, 0);
    run = Cli(dir, {"show", "1"});
    EXPECT_NE(run.out.find("0-49, 60-99, 500-599"), std::string::npos) << run.out;
    run = Cli(dir, {"list", "--json"});
    EXPECT_NE(run.out.find("\"excluded_seconds\":190,\"excluded\":[{\"start\":0,\"end\":49},{\"start\":60,\"end\":99},"
                           "{\"start\":500,\"end\":599}]"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"coverage\":68.33"), std::string::npos) << run.out;  // 410 of 600
    EXPECT_NE(Cli(dir, {"list"}).out.find("68.3%"), std::string::npos);

    // The night's data file, analysed or printed on its own, gets the night's
    // exclusions back and says so; --no-library reads the file alone.
    ASSERT_EQ(Cli(dir, {"export", "1", "night.dat"}).exitCode, 0);
    const std::string library = (dir / "library.sqlite").string();
    const auto command = [&](std::vector<std::string> args) {
        return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
    };
    const std::string ofNight = command({"analyze", "--night", "1", "--json", "--library", library}).out;
    const std::string applied = "exclusions of library night 1 applied\n";
    const struct {
        std::vector<std::string> args;
        bool withExclusions;
        std::string err;
    } files[] = {
        {{"analyze", "night.dat", "--json", "--library", library}, true, applied},
        {{"analyze", "night.dat", "--json", "--library", library, "--no-library"}, false, ""},
        {{"analyze", "night.dat", "--json", "--library", (dir / "other.sqlite").string()}, false, ""},
    };
    for (const auto& c : files) {
        const auto ran = command(c.args);
        EXPECT_EQ(ran.exitCode, 0) << ran.err;
        EXPECT_EQ(ran.out == ofNight, c.withExclusions) << c.args.back();
        EXPECT_EQ(ran.err, c.err) << c.args.back();
    }
    EXPECT_EQ(command({"analyze", "night.dat", "--library", library}).out.rfind(applied, 0), 0u);
    EXPECT_NE(command({"print", "night.dat", "night.pdf", "--library", library}).err.find(applied), std::string::npos);
    EXPECT_EQ(command({"analyze", "--night", "1", "--no-library"}).exitCode, 2);

    // Outside the night, or not a span at all.
    EXPECT_EQ(Cli(dir, {"exclude", "1", "0", "600"}).exitCode, 1);
    EXPECT_EQ(Cli(dir, {"exclude", "1", "9", "3"}).exitCode, 2);
    EXPECT_EQ(Cli(dir, {"include", "1", "3"}).exitCode, 2);
    EXPECT_EQ(Cli(dir, {"exclude", "9", "0", "1"}).exitCode, 1);
    EXPECT_NE(Cli(dir, {"show", "1"}).out.find("0-49, 60-99, 500-599"), std::string::npos);

    // Every second excluded: no figures, shown empty, never 0 or "normal".
    ASSERT_EQ(Cli(dir, {"exclude", "1", "0", "599"}).exitCode, 0);
    run = Cli(dir, {"list", "--json"});
    for (const char* none : {"\"odi3\":null", "\"t90\":null", "\"nadir\":{\"spo2\":null", "\"odi_class\":null"})
        EXPECT_NE(run.out.find(none), std::string::npos) << none << "\n" << run.out;
    EXPECT_EQ(run.out.find("\"normal\""), std::string::npos) << run.out;
    run = Cli(dir, {"list"});
    EXPECT_NE(run.out.find("0.0% of 0:10:00       0:00:00       -       -      -"), std::string::npos) << run.out;
    EXPECT_NE(Cli(dir, {"show", "1"}).out.find("ODI 3 %:         -\n"), std::string::npos);
    ASSERT_EQ(Cli(dir, {"include", "1", "0", "599"}).exitCode, 0);

    // Figures kept by an older program, its file gone so they stay as they
    // are: the CSV row still has every column, the missing ones empty.
    fs::remove(dir / "kept" / "ID4.dat");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "library.sqlite").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE nights SET clinical=x'',computed_under=''", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    run = Cli(dir, {"list", "--csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto header = run.out.substr(0, run.out.find('\n'));
    const auto row = run.out.substr(header.size() + 1);
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ',')) << run.out;
}

// An EDF+ file's start and length as EDFlib reads them: "2026-12-06T22:00:00 174".
std::string EdfStartAndRecords(const fs::path& file) {
    edf_hdr_struct hdr{};
    if (edfopen_file_readonly(file.c_str(), &hdr, EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0) return "unreadable";
    edfclose_file(hdr.handle);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d %lld", hdr.startdate_year, hdr.startdate_month,
                  hdr.startdate_day, hdr.starttime_hour, hdr.starttime_minute, hdr.starttime_second,
                  static_cast<long long>(hdr.datarecords_in_file));
    return text;
}

TEST(NightsCli, ShiftMergeSplitAndTheirUndoing) {
    test::TempDir dir("quenda-nights-cli");
    // A rebuild also reads the kept downloads: this test's own, none else.
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    std::vector<SampleRecord> samples;
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    test::AppendRun(samples, 4, evening, 600);
    test::AppendRun(samples, 4, evening + 4600, 600);  // after 4,000 s with the recorder off
    test::AppendRun(samples, 4, evening + 86400, 300);
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, samples, ""));
    ASSERT_EQ(Cli(dir, {"add", "kept"}).out, "3 nights added, 0 already in the library, 0 extended.\n");
    const auto said = [&](std::vector<std::string> args) {
        const auto run = Cli(dir, std::move(args));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    };

    EXPECT_EQ(said({"shift", "1", "+3600"}), "Night 1: clock shifted +3600 s; it starts 2026-12-06T23:00:00.\n");
    EXPECT_NE(said({"show", "1"}).find("Start:           2026-12-06T23:00:00\n"), std::string::npos);
    EXPECT_NE(said({"show", "1"}).find("Changes:         Clock shifted +3600 s\n"), std::string::npos);
    // Its exports carry the shifted times; the data file stays as recorded.
    EXPECT_EQ(said({"export", "1", "night.edf"}), "night.edf\n");
    EXPECT_EQ(EdfStartAndRecords(dir / "night.edf"), "2026-12-06T23:00:00 20");
    EXPECT_EQ(said({"export", "1", "night.csv"}).size(), 10u);
    EXPECT_EQ(test::Slurp(dir / "night.csv").substr(0, 36), "time,spo2,pulse\n2026-12-06T23:00:00,");
    EXPECT_EQ(said({"shift", "1", "-3600"}), "Night 1: clock shift taken away; it starts 2026-12-06T22:00:00.\n");
    EXPECT_EQ(said({"show", "1"}).find("Changes:"), std::string::npos);

    EXPECT_EQ(said({"merge", "2", "1"}), "Nights 1 and 2 merged into night 1.\n");
    const std::string json = said({"show", "1", "--json"});
    EXPECT_NE(json.find("\"samples\":1200,\"gap_seconds\":4000,"), std::string::npos) << json;
    EXPECT_TRUE(json.ends_with(",\"exclusions\":[],\"clock_shift\":0,\"merged_from\":[1,2],\"split\":null}\n")) << json;
    // One EDF+ file over the whole merged night: 5,200 seconds in 30-s records, the gap without data.
    EXPECT_EQ(said({"export", "1", "merged.edf"}), "merged.edf\n");
    EXPECT_EQ(EdfStartAndRecords(dir / "merged.edf"), "2026-12-06T22:00:00 174");
    EXPECT_EQ(said({"rebuild"}).find("Rebuilt"), 0u);
    EXPECT_NE(said({"show", "1"}).find("Changes:         Merged from nights 1 and 2\n"), std::string::npos);
    EXPECT_EQ(said({"unmerge", "1"}), "Night 1 unmerged: night 2 is listed again.\n");

    EXPECT_EQ(said({"split", "3", "100"}), "Night 3 split: its samples from 100 on are night 4.\n");
    EXPECT_NE(said({"show", "3"}).find("Changes:         Split into nights 3 and 4\n"), std::string::npos);
    EXPECT_NE(said({"show", "4"}).find("Changes:         Split from night 3\n"), std::string::npos);
    EXPECT_EQ(said({"unsplit", "4"}), "Night 3 is one night again.\n");

    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    } refusals[] = {
        {{"merge", "1", "3"},
         1,
         "Nights 1 and 3 are more than 12 hours apart; only nights that follow each other within 12 hours are "
         "merged.\n"},
        {{"split", "3", "0"}, 1, "Night 3 has 300 samples: it is split at a sample from 1 to 299.\n"},
        {{"split", "3", "300"}, 1, "Night 3 has 300 samples: it is split at a sample from 1 to 299.\n"},
        {{"shift", "9", "60"}, 1, "There is no night 9 in the library.\n"},
        {{"unshift", "1"}, 1, "The clock of night 1 is not shifted.\n"},
        {{"unsplit", "3"}, 1, "Night 3 was not split.\n"},
        {{"unmerge", "4"}, 1, "There is no night 4 in the library.\n"},
        {{"shift", "1", "0"}, 2, ""},
        {{"shift", "1", "1h"}, 2, ""},
        {{"shift", "1", "+-5"}, 2, ""},
        {{"merge", "1"}, 2, ""},
        {{"split", "3", "-1"}, 2, ""},
        {{"unsplit"}, 2, ""},
    };
    const std::string list = said({"list", "--json"});
    for (const auto& c : refusals) {
        const auto run = Cli(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << run.err;
        if (c.exitCode == 1) {
            EXPECT_EQ(run.err, "quenda-cli: " + c.err);
        }
    }
    EXPECT_EQ(said({"list", "--json"}), list);
}

// Two recordings of one ID that started at the same second are two nights to
// the journal and the rebuild too: each keeps its own note, exclusions and
// figures, whether the library is rebuilt over itself or from the journal
// alone.
TEST(NightsCli, ARebuildKeepsTwoRecordingsThatStartedAtTheSameSecondApart) {
    test::TempDir dir("quenda-nights-cli");
    // A rebuild also reads the kept downloads: this test's own, none else.
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    const std::int64_t start = test::Secs(2026, 12, 6, 22, 30, 0);
    std::vector<SampleRecord> full, other;
    test::AppendRun(full, 1, start, 3 * 3600);
    for (int i = 0; i < 2 * 3600; ++i) other.push_back(test::SampleAt(1, start + i, i % 120 < 20 ? 86 : 96));
    ASSERT_TRUE(WriteDataFile(dir / "full.dat", 1, full, ""));
    ASSERT_TRUE(WriteDataFile(dir / "other.dat", 1, other, ""));
    ASSERT_EQ(Cli(dir, {"add", "full.dat", "other.dat"}).out, "2 nights added, 0 already in the library, 0 extended.\n");
    for (const std::vector<std::string>& change :
         {std::vector<std::string>{"exclude", "1", "0", "599"}, {"note", "1", "full night"},
          {"exclude", "2", "100", "199"}, {"note", "2", "other recording"}}) {
        ASSERT_EQ(Cli(dir, change).exitCode, 0) << change[0];
    }
    const auto shown = [&] { return Cli(dir, {"show", "1", "--json"}).out + Cli(dir, {"show", "2", "--json"}).out; };
    const std::string before = shown();
    EXPECT_NE(before.find("\"samples\":10800,"), std::string::npos) << before;
    EXPECT_NE(before.find("\"note\":\"full night\""), before.rfind("\"note\":\"other recording\""));
    const std::string list = Cli(dir, {"list", "--json"}).out;
    ASSERT_EQ(Cli(dir, {"rebuild"}).exitCode, 0);
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(Cli(dir, {"list", "--json"}).out, list);
    // From the journal alone.
    fs::remove(dir / "library.sqlite");
    ASSERT_EQ(Cli(dir, {"rebuild"}).exitCode, 0);
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(Cli(dir, {"list", "--json"}).out, list);

    // A journal written before it named a night's samples still replays: by
    // ID and start alone, as it always did, so one recording's changes stay.
    std::ifstream in(dir / "library.sqlite.journal");
    std::string old;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() == 7) fields.erase(fields.begin() + 5);  // its adds, notes and exclusions
        std::string joined;
        for (const std::string& f : fields) joined += (joined.empty() ? "" : "\t") + f;
        old += joined + "\n";
    }
    in.close();
    std::ofstream(dir / "library.sqlite.journal") << old;
    fs::remove(dir / "library.sqlite");
    ASSERT_EQ(Cli(dir, {"rebuild"}).exitCode, 0);
    const std::string replayed = Cli(dir, {"list", "--json"}).out;
    EXPECT_EQ(std::count(replayed.begin(), replayed.end(), '\n'), 2) << replayed;
    EXPECT_NE(replayed.find("\"note\":\"other recording\""), std::string::npos) << replayed;
    EXPECT_NE(replayed.find("{\"night\":2,"), std::string::npos) << replayed;  // both numbers kept

    // Removing one keeps out that one alone, also through a rebuild.
    const std::string fullNight = replayed.find("\"night\":1,\"id\":1,\"name\":\"\",\"date\":\"2026-12-06\","
                                                "\"start\":\"2026-12-06T22:30:00\",\"end\":\"2026-12-07T01:29:59\"") !=
                                          std::string::npos
                                      ? "1"
                                      : "2";
    ASSERT_EQ(Cli(dir, {"remove", fullNight}).exitCode, 0);
    for (const bool deleted : {false, true}) {
        if (deleted) fs::remove(dir / "library.sqlite");
        ASSERT_EQ(Cli(dir, {"rebuild"}).exitCode, 0);
        const std::string left = Cli(dir, {"list", "--json"}).out;
        EXPECT_EQ(std::count(left.begin(), left.end(), '\n'), 1) << left;
        EXPECT_NE(left.find("\"samples\":7200,"), std::string::npos) << left;
    }
    EXPECT_EQ(Cli(dir, {"add", "full.dat", "other.dat"}).out,
              "0 nights added, 1 already in the library, 0 extended. 1 removed from the library before, left out.\n");
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
        {{"summary", "--split", "2026-02-30"}, 2},
        {{"summary", "1"}, 2},
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
    EXPECT_EQ(test::Slurp(other / "library.sqlite"),
              "not a database, just words, and more words than a header holds\n");
}

TEST(NightsCli, ReadingALibraryThatIsNotThereMakesNothing) {
    test::TempDir dir("quenda-nights-cli");
    const std::string library = (dir / "missing" / "deeper" / "lib.sqlite").string();
    const std::string none = "No nights yet: download from the recorder, or add data files\n";
    const std::string noNight = "quenda-cli: There is no night 1 in the library.\n";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out, err;
    } cases[] = {
        {{"list"}, 0, none, ""},
        {{"list", "--json"}, 0, "[]\n", ""},
        {{"show", "1"}, 1, "", noNight},
        {{"export", "1", "night.csv"}, 1, "", noNight},
        // A report or summary of no nights is refused, not made empty.
        {{"report", "nights.pdf"}, 1, "", "quenda-cli: no nights in the library\n"},
        {{"summary", "--split", "2026-12-07"}, 1, "", "quenda-cli: no nights in the library\n"},
        {{"summary", "--json"}, 1, "", "quenda-cli: no nights in the library\n"},
        {{"summary", "--id", "3", "--json"}, 1, "", "quenda-cli: no nights for ID 3\n"},
        // Changes to a night: there is none to change.
        {{"note", "1", "x"}, 1, "", noNight},
        {{"exclude", "1", "0", "9"}, 1, "", noNight},
        {{"remove", "1"}, 1, "", noNight},
        {{"shift", "1", "60"}, 1, "", noNight},
        {{"merge", "1", "2"}, 1, "", noNight},
        {{"unsplit", "1"}, 1, "", noNight},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.insert(args.begin(), "nights");
        args.insert(args.end(), {"--library", library});
        const auto run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.args[0];
        EXPECT_TRUE(run.err.ends_with(c.err)) << c.args[0] << ": " << run.err;  // after any word of Qt's
        EXPECT_FALSE(fs::exists(dir / "missing")) << c.args[0];
        EXPECT_FALSE(fs::exists(dir / "nights.pdf")) << c.args[0];
    }
    // A rebuild makes it.
    EXPECT_EQ(test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"nights", "rebuild", "--library", library}).exitCode,
              0);
    EXPECT_TRUE(fs::exists(library));
}

// Sets what older builds could store: any bytes as a name or a note.
void StoreRaw(const test::TempDir& dir, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "library.sqlite").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(NightsCli, OutsideTextReachesTheTerminalAsVisibleUtf8) {
    test::TempDir dir("quenda-nights-cli");
    std::vector<SampleRecord> samples;
    test::AppendRun(samples, 4, test::Secs(2026, 12, 6, 22, 0, 0), 600);
    const fs::path kept = dir / "kept\xFF\x1b[2J";  // a folder name no UTF-8 can read
    fs::create_directories(kept);
    ASSERT_TRUE(WriteDataFile(kept / "ID4.dat", 4, samples, "Title \x1b]0;owned\x07"));
    ASSERT_EQ(Cli(dir, {"add", kept.string()}).exitCode, 0);
    // "Åsa" ESC "[2J" 0xFF, and "line" BEL U+009B "31m" 0xC3 LF "two".
    StoreRaw(dir,
             "UPDATE nights SET name=CAST(X'C38573611B5B324AFF' AS TEXT),"
             "note=CAST(X'6C696E6507C29B33316DC30A74776F' AS TEXT)");

    const auto run = Cli(dir, {"note", "1", "caf\xE9"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "quenda-cli: The note is not UTF-8 text; it was not stored.\n");

    const std::vector<std::string> reads[] = {{"list"}, {"list", "--csv"}, {"list", "--json"}, {"show", "1"}};
    for (const auto& args : reads) {
        const std::string out = Cli(dir, args).out;
        EXPECT_TRUE(IsValidUtf8(out)) << args.back() << ": " << out;
        EXPECT_EQ(out.find_first_of("\x07\x1b"), std::string::npos) << args.back() << ": " << out;
        EXPECT_EQ(out.find("\xC2\x9B"), std::string::npos) << args.back() << ": " << out;
        EXPECT_NE(out.find("\xC3\x85sa"), std::string::npos) << args.back() << ": " << out;
    }
    EXPECT_NE(Cli(dir, {"list"}).out.find("Åsa\\x1b[2J\uFFFD"), std::string::npos);
    EXPECT_NE(Cli(dir, {"list"}).out.find("line\\x07\\u009b31m\uFFFD ..."), std::string::npos);
    EXPECT_NE(Cli(dir, {"list", "--json"}).out.find("\"line\\u0007\\u009b31m\uFFFD\\ntwo\""), std::string::npos);
    // The CSV keeps the note's line break, quoted.
    EXPECT_NE(Cli(dir, {"list", "--csv"}).out.find(",\"line\\x07\\u009b31m\uFFFD\ntwo\","), std::string::npos);

    // A data file's own text and a path in a message.
    const auto analyzed = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, {"analyze", (kept / "ID4.dat").string()});
    EXPECT_NE(analyzed.out.find("Title \\x1b]0;owned\\x07\n"), std::string::npos) << analyzed.out;
    const auto missing = Cli(dir, {"add", "gone\x1b[2J.dat"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.find('\x1b'), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("gone\\x1b[2J.dat"), std::string::npos) << missing.err;
}

TEST(NightsCli, ListColumnsLineUpAndSayWhatTheFiguresRestOn) {
    test::TempDir dir("quenda-nights-cli");
    std::vector<SampleRecord> samples;
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    test::AppendRun(samples, 4, evening, 600);
    test::AppendRun(samples, 4, evening + 700, 600);  // a 100-s gap
    test::AppendRun(samples, 4, evening + 86400, 300);
    test::AppendRun(samples, 4, evening + 2 * 86400, 300);
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, samples, "Report Title"));
    std::ofstream(dir / "Quenda.ini") << "[setup]\nArtefactsAside=0\n";  // raw: every valid sample counts
    ASSERT_EQ(Cli(dir, {"add", "kept"}).exitCode, 0);
    // 16 columns exactly, one more than fits, and one of two-column characters.
    StoreRaw(dir,
             "UPDATE nights SET name=CASE night WHEN 1 THEN 'Åsa Öberg-Ålund ' "
             "WHEN 2 THEN 'Maximiliane Östergaard' ELSE '山田太郎山田太郎山' END");

    const std::string out = Cli(dir, {"list"}).out;
    std::istringstream lines(out);
    std::vector<std::size_t> startColumn;
    for (std::string line; std::getline(lines, line);) {
        const bool header = line.find("Night") < 10;
        const auto at = line.find(header ? "Start" : "2026-12-0", 20);
        ASSERT_NE(at, std::string::npos) << line;
        startColumn.push_back(DisplayWidth(line.substr(0, at)));
    }
    ASSERT_EQ(startColumn.size(), 4u) << out;
    for (const std::size_t column : startColumn) EXPECT_EQ(column, startColumn[0]) << out;
    EXPECT_NE(out.find("Åsa Öberg-Ålund   2026"), std::string::npos) << out;
    EXPECT_NE(out.find("Maximiliane Öste  2026"), std::string::npos) << out;
    EXPECT_NE(out.find("山田太郎山田太郎  2026"), std::string::npos) << out;
    // Coverage as counted of recorded, the gaps beside it.
    EXPECT_NE(out.find("Counted of recorded"), std::string::npos) << out;
    EXPECT_NE(out.find("0:21:40  100.0% of 0:20:00     0:01:40"), std::string::npos) << out;
}

TEST(NightsCli, SummaryOfTheListedNightsAndBeforeAndAfterADate) {
    test::TempDir dir("quenda-nights-cli");
    std::vector<SampleRecord> samples;
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    for (int day = 0; day < 4; ++day) test::AppendRun(samples, 4, evening + day * 86400, 600);
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, samples, "Report Title"));
    std::vector<SampleRecord> other;
    test::AppendRun(other, 5, evening, 600);
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID5.dat", 5, other, "Report Title"));
    ASSERT_EQ(Cli(dir, {"add", "kept"}).exitCode, 0);
    ASSERT_EQ(Cli(dir, {"exclude", "4", "0", "599"}).exitCode, 0);  // the 9th: nothing counted
    StoreRaw(dir, "UPDATE nights SET odi3=CASE night WHEN 1 THEN 2 WHEN 2 THEN 16 WHEN 3 THEN 30 ELSE odi3 END");

    auto run = Cli(dir, {"summary", "--id", "4", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"nights\":4,\"counted_nights\":3,\"first\":\"2026-12-06\",\"last\":\"2026-12-09\","
                            "\"recorded_hours\":0.67,",
                            0),
              0u)
        << run.out;
    EXPECT_NE(
        run.out.find("\"odi3\":{\"nights\":3,\"median\":16.00,\"q1\":9.00,\"q3\":23.00,\"iqr\":14.00,\"min\":2.00,"
                     "\"max\":30.00,\"cut_offs\":[{\"at_or_above\":5,\"nights\":2,\"percent\":66.67},"
                     "{\"at_or_above\":15,\"nights\":2,\"percent\":66.67},{\"at_or_above\":30,\"nights\":1,"),
        std::string::npos)
        << run.out;
    run = Cli(dir, {"summary", "--id", "4", "--split", "2026-12-07", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"split\":\"2026-12-07\",\"before\":{\"nights\":1,", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\"after\":{\"nights\":3,\"counted_nights\":2,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"median_change\":{\"odi3\":21.00,"), std::string::npos) << run.out;  // 23 - 2
    EXPECT_NE(Cli(dir, {"summary", "--from", "2026-12-07", "--json"}).out.find("\"nights\":3,"), std::string::npos);

    // An ID or a period without nights: said, nothing written, exit 1.
    const struct {
        std::vector<std::string> args;
        std::string err;
    } none[] = {
        {{"report", "out.pdf", "--id", "99"}, "no nights for ID 99"},
        {{"summary", "--id", "99"}, "no nights for ID 99"},
        {{"summary", "--id", "99", "--json"}, "no nights for ID 99"},
        {{"summary", "--id", "4", "--split", "2026-12-07", "--from", "2027-01-01"},
         "no nights for ID 4, from 2027-01-01"},
        {{"report", "out.pdf", "--to", "2026-12-01"}, "no nights to 2026-12-01"},
    };
    for (const auto& c : none) {
        run = Cli(dir, c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args[0];
        EXPECT_EQ(run.out, "") << c.args[0];
        EXPECT_EQ(run.err, "quenda-cli: " + c.err + "\n");
        EXPECT_FALSE(fs::exists(dir / "out.pdf"));
    }

    // The text: every table's columns line up, "≥" and "–" taking one column.
    for (const auto& args :
         {std::vector<std::string>{"summary", "--id", "4"}, {"summary", "--id", "4", "--split", "2026-12-07"}}) {
        run = Cli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(IsValidUtf8(run.out));
        std::istringstream lines(run.out);
        std::size_t width = 0;
        int tables = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.empty()) {
                width = 0;
                continue;
            }
            if (width == 0) ++tables;
            if (width == 0) width = DisplayWidth(line);
            EXPECT_EQ(DisplayWidth(line), width) << line << "\n" << run.out;
        }
        EXPECT_EQ(tables, 3) << run.out;
    }
    EXPECT_NE(run.out.find("\nODI 3 % ≥ 30              0.0% (0 of 1)   50.0% (1 of 2)            +50.0\n"),
              std::string::npos)
        << run.out;

    // Without --id: one summary per ID, never the two patients' nights pooled.
    const struct {
        std::vector<std::string> args;
        std::string first, second;  // the starts of ID 4's and ID 5's
    } perId[] = {
        {{"summary", "--json"},
         "[{\"id\":4,\"nights\":4,\"counted_nights\":3,",
         "},{\"id\":5,\"nights\":1,\"counted_nights\":1,"},
        {{"summary", "--split", "2026-12-07", "--json"},
         "[{\"id\":4,\"split\":\"2026-12-07\",\"before\":{\"nights\":1,",
         "},{\"id\":5,\"split\":\"2026-12-07\",\"before\":{\"nights\":1,"},
        {{"summary"}, "ID 4\n\nNights ", "\nID 5\n\nNights "},
        {{"summary", "--from", "2026-12-07", "--json"}, "[{\"id\":4,\"nights\":3,", ""},
    };
    for (const auto& c : perId) {
        run = Cli(dir, c.args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.rfind(c.first, 0), 0u) << run.out;
        const bool five = run.out.find("\"id\":5") != std::string::npos || run.out.find("ID 5") != std::string::npos;
        EXPECT_EQ(five, !c.second.empty()) << run.out;
        if (five) {
            EXPECT_NE(run.out.find(c.second), std::string::npos) << run.out;
        }
        EXPECT_EQ(run.out.find("\"nights\":5,"), std::string::npos) << run.out;
    }
}

}  // namespace
}  // namespace quenda

namespace quenda {
namespace {

test::CommandRun CliAt(const test::TempDir& dir, const fs::path& library, std::vector<std::string> args) {
    args.insert(args.begin(), "nights");
    args.insert(args.end(), {"--library", library.string()});
    return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
}

test::CommandRun Copy(const test::TempDir& dir, const fs::path& from, const fs::path& to) {
    return test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH,
                                {"nights", "copy", "--from", from.string(), "--to", to.string()});
}

// A copy carries every night with its number (the target empty) and every
// change the user made; copied again, either way, it adds nothing and writes
// nothing. Into a library of its own nights, it adds the others and makes
// the changes there.
TEST(NightsCli, CopyALibraryWithItsChangesAndAgain) {
    test::TempDir dir("quenda-nights-cli");
    // A rebuild also reads the kept downloads: this test's own, none else.
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    std::vector<SampleRecord> four, five;
    test::AppendRun(four, 4, evening, 600);
    test::AppendRun(four, 4, evening + 4600, 600);  // a night broken by the recorder off for 4,000 s
    test::AppendRun(four, 4, evening + 86400, 300);
    test::AppendRun(five, 5, evening + 2 * 86400, 400);
    test::AppendRun(five, 5, evening + 3 * 86400, 400);
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID4.dat", 4, four, ""));
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID5.dat", 5, five, ""));
    const fs::path a = dir / "a.sqlite", b = dir / "b.sqlite", c = dir / "c.sqlite";
    const auto said = [&](const fs::path& library, std::vector<std::string> args) {
        const auto run = CliAt(dir, library, std::move(args));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    };
    said(a, {"add", "kept"});
    for (const std::vector<std::string>& change : std::vector<std::vector<std::string>>{
             {"merge", "1", "2"}, {"split", "3", "100"}, {"note", "1", "cold room"}, {"exclude", "6", "10", "20"},
             {"shift", "4", "+3600"}, {"note", "5", "gone"}, {"remove", "5"}})
        said(a, change);
    {
        FileResult opened;
        auto lib = NightLibrary::Open(a, opened);
        ASSERT_TRUE(lib) << opened.message;
        const ScoredStudy study{"lab.xml", {{(evening + 120) * 1000, 20'000, AnnotationKind::Apnea, {}, "Apnea"}}};
        ASSERT_TRUE(lib->SetScoring(4, study));
    }
    const std::string listed = said(a, {"list", "--json"});
    ASSERT_NE(listed.find("\"scored_events\":{\"apneas\":1,"), std::string::npos);
    const auto copied = [&](const fs::path& from, const fs::path& to) {
        const auto run = Copy(dir, from, to);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    };

    // 7 changes and the scoring, the removal's note with them.
    EXPECT_EQ(copied(a, b), "4 nights copied, 0 already there, 8 journal lines replayed.\n");
    EXPECT_EQ(said(b, {"list", "--json"}), listed);
    EXPECT_NE(said(b, {"show", "1"}).find("Changes:         Merged from nights 1 and 2\n"), std::string::npos);
    const std::string journal = test::Slurp(JournalFileOf(b));
    EXPECT_EQ(copied(a, b), "0 nights copied, 4 already there, 0 journal lines replayed.\n");
    EXPECT_EQ(copied(b, a), "0 nights copied, 4 already there, 0 journal lines replayed.\n");
    EXPECT_EQ(said(b, {"list", "--json"}), listed);
    EXPECT_EQ(said(a, {"list", "--json"}), listed);
    EXPECT_EQ(test::Slurp(JournalFileOf(b)), journal);
    // A rebuild of the copy reads its journal to the same nights.
    EXPECT_EQ(said(b, {"rebuild"}).find("Rebuilt"), 0u);
    EXPECT_EQ(said(b, {"list", "--json"}), listed);

    // A library that holds ID 5's nights, one with a note of its own.
    said(c, {"add", "kept/ID5.dat"});
    said(c, {"note", "1", "kept here"});
    EXPECT_EQ(copied(a, c), "3 nights copied, 1 already there, 8 journal lines replayed.\n");
    const std::string there = said(c, {"list"});
    EXPECT_EQ(std::count(there.begin(), there.end(), '\n'), 5) << there;  // a header and four nights
    EXPECT_NE(there.find("kept here"), std::string::npos) << there;
    EXPECT_EQ(there.find("gone"), std::string::npos) << there;
    EXPECT_NE(said(c, {"show", "3"}).find("Changes:         Merged from nights 3 and 4\n"), std::string::npos);
    EXPECT_NE(said(c, {"show", "5"}).find("Changes:         Split into nights 5 and 6\n"), std::string::npos);
    EXPECT_NE(said(c, {"show", "1"}).find("Changes:         Clock shifted +3600 s\n"), std::string::npos);
    EXPECT_NE(said(c, {"show", "6", "--json"}).find("\"exclusions\":[{\"first\":10,\"last\":20}]"), std::string::npos);
    const std::string listedThere = said(c, {"list", "--json"});
    EXPECT_EQ(copied(a, c), "0 nights copied, 4 already there, 0 journal lines replayed.\n");
    EXPECT_EQ(said(c, {"list", "--json"}), listedThere);

    // A night whose file is gone cannot be copied: said, and the exit status 1.
    fs::remove(dir / "kept" / "ID5.dat");
    const auto run = Copy(dir, a, dir / "d.sqlite");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "3 nights copied, 0 already there, 6 journal lines replayed, 1 nights not copied: their file "
                       "is missing.\n");
    EXPECT_EQ(Copy(dir, a, a).exitCode, 2);
}

}  // namespace
}  // namespace quenda
