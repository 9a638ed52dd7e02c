// quenda-cli analyze on data files written here, with and without a settings
// file in the working directory.
#include "SampleSeries.h"
#include "analysis/Analysis.h"
#include "base/Settings.h"
#include "store/DataFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using testing::Append;

// Half an hour: three desaturations (the middle one with a recovery inside it
// that stays deep enough) and one pulse event; SpO2 high most of the time.
std::vector<SampleRecord> HalfHour() {
    std::vector<int> spo2;
    std::vector<int> pulse;
    Append(spo2, 97, 300);
    Append(spo2, 91, 15);
    Append(spo2, 97, 300);
    Append(spo2, 90, 6);
    Append(spo2, 92, 3);
    Append(spo2, 89, 5);
    Append(spo2, 96, 300);
    Append(spo2, 92, 30);
    Append(spo2, 97, 1800 - static_cast<int>(spo2.size()));
    Append(pulse, 72, 1000);
    Append(pulse, 63, 9);
    Append(pulse, 72, 1796 - static_cast<int>(pulse.size()));
    // High at the very end: any fall from there would be a pulse event.
    Append(pulse, 155, 4);
    return testing::FromChannels(spo2, pulse);
}

class AnalyzeCli : public ::testing::Test {
protected:
    fs::path WriteData(const std::vector<SampleRecord>& samples, const char* name = "night.dat") {
        const auto result = WriteDataFile(dir_ / name, 7, samples, "Report Title");
        EXPECT_TRUE(result.ok) << result.message;
        return dir_ / name;
    }

    // Runs in the test's folder, so ./Quenda.ini is the one the test wrote (or none).
    test::CommandRun Cli(const std::string& arguments) {
        std::vector<std::string> args{"analyze"};
        std::istringstream words(arguments);
        for (std::string w; words >> w;) args.push_back(w);
        return test::RunInDirectory(dir_.Path(), QUENDA_CLI_PATH, args);
    }

    QJsonObject Json(const std::string& arguments) {
        const test::CommandRun run = Cli(arguments + " --json");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        QJsonParseError error;
        const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
        return doc.object();
    }

    test::TempDir dir_{"quenda-analyze"};
};

QStringList Keys(const QJsonObject& o) {
    auto keys = o.keys();
    keys.sort();
    return keys;
}

void ExpectChannel(const QJsonObject& o, const ChannelEvents& c, int threshold) {
    EXPECT_EQ(Keys(o),
              QStringList({"avg_duration", "avg_event_max", "avg_event_min", "count", "events", "index_per_hour",
                           "longest_event", "max_onset_drop", "threshold", "time_in_events"}));
    EXPECT_EQ(o["threshold"].toInt(), threshold);
    EXPECT_EQ(o["count"].toInt(), c.eventCount);
    EXPECT_FLOAT_EQ(static_cast<float>(o["index_per_hour"].toDouble()), c.indexPerHour);
    EXPECT_EQ(o["avg_duration"].toInt(), c.averageDuration);
    EXPECT_EQ(o["time_in_events"].toInt(), c.summary.timeInEvents);
    EXPECT_EQ(o["avg_event_max"].toInt(), c.summary.averageEventMaximum);
    EXPECT_EQ(o["avg_event_min"].toInt(), c.summary.averageEventMinimum);
    EXPECT_EQ(o["max_onset_drop"].toInt(), c.summary.largestOnsetDrop);
    EXPECT_EQ(o["longest_event"].toInt(), c.summary.longestEvent);
    const QJsonArray events = o["events"].toArray();
    ASSERT_EQ(events.size(), static_cast<qsizetype>(c.events.size()));
    for (qsizetype i = 0; i < events.size(); ++i) {
        const QJsonObject e = events[i].toObject();
        const EventRecord& expected = c.events[static_cast<std::size_t>(i)];
        EXPECT_EQ(Keys(e), QStringList({"length", "max", "min", "onset_drop", "start"}));
        EXPECT_EQ((EventRecord{e["start"].toInt(), e["length"].toInt(), e["max"].toInt(), e["min"].toInt(),
                               e["onset_drop"].toInt()}),
                  expected);
    }
}

TEST_F(AnalyzeCli, JsonCarriesEveryResultWithTheDefaultThresholds) {
    const auto samples = HalfHour();
    WriteData(samples);
    const QJsonObject o = Json("night.dat");
    // The report's keys exactly as they were, with the clinical summary beside them.
    EXPECT_EQ(Keys(o), QStringList({"clinical", "count", "desaturation", "pr", "pulse", "spo2"}));
    EXPECT_EQ(o["count"].toInt(), 1800);

    // Figures worked out by hand.
    const QJsonObject spo2 = o["spo2"].toObject();
    EXPECT_EQ(Keys(spo2), QStringList({"avg", "high_count", "high_limit", "low_count", "low_limit", "max", "min"}));
    EXPECT_EQ(spo2["max"].toInt(), 97);
    EXPECT_EQ(spo2["min"].toInt(), 89);
    EXPECT_EQ(spo2["high_limit"].toInt(), 94);
    EXPECT_EQ(spo2["low_limit"].toInt(), 88);
    EXPECT_EQ(spo2["low_count"].toInt(), 0);
    EXPECT_EQ(spo2["high_count"].toInt(), 1800 - 15 - 14 - 30);
    const QJsonObject pr = o["pr"].toObject();
    EXPECT_EQ(pr["high_count"].toInt(), 4);
    EXPECT_EQ(pr["high_limit"].toInt(), 150);
    EXPECT_EQ(pr["low_limit"].toInt(), 60);
    const QJsonObject desaturation = o["desaturation"].toObject();
    EXPECT_EQ(desaturation["count"].toInt(), 3);
    EXPECT_DOUBLE_EQ(desaturation["index_per_hour"].toDouble(), 6.0);
    EXPECT_EQ(desaturation["events"].toArray()[1].toObject()["length"].toInt(), 14);
    EXPECT_EQ(o["pulse"].toObject()["count"].toInt(), 1);

    // Everything else exactly as the library computes it.
    AnalysisResults r;
    ComputeStatistics(samples, Thresholds{}, r);
    EXPECT_EQ(spo2["avg"].toInt(), r.statistics.spo2Average);
    EXPECT_EQ(pr["avg"].toInt(), r.statistics.prAverage);
    EXPECT_EQ(pr["max"].toInt(), r.statistics.prMaximum);
    EXPECT_EQ(pr["min"].toInt(), r.statistics.prMinimum);
    EXPECT_EQ(pr["low_count"].toInt(), r.statistics.prLowCount);
    ExpectChannel(desaturation, r.desaturation, 4);
    ExpectChannel(o["pulse"].toObject(), r.pulse, 6);
}

TEST_F(AnalyzeCli, ThresholdsComeFromTheSettingsFileInTheWorkingDirectory) {
    const auto samples = HalfHour();
    WriteData(samples);
    std::ofstream(dir_ / "Quenda.ini") << "[setup]\nSaturationsHigh=96\nSaturationsLow=91\nPrHigh=160\n"
                                          "PrLow=70\nDesaturationsEvent=6\nPulseEvent=12\n";
    const QJsonObject o = Json("night.dat");
    EXPECT_EQ(o["spo2"].toObject()["high_limit"].toInt(), 96);
    EXPECT_EQ(o["spo2"].toObject()["low_limit"].toInt(), 91);
    EXPECT_EQ(o["spo2"].toObject()["low_count"].toInt(), 11);  // the 90s and 89s
    EXPECT_EQ(o["pr"].toObject()["high_limit"].toInt(), 160);
    EXPECT_EQ(o["pr"].toObject()["low_limit"].toInt(), 70);
    EXPECT_EQ(o["pr"].toObject()["low_count"].toInt(), 9);
    EXPECT_EQ(o["desaturation"].toObject()["threshold"].toInt(), 6);
    EXPECT_EQ(o["pulse"].toObject()["threshold"].toInt(), 12);

    AnalysisResults r;
    ComputeStatistics(samples, ReadThresholds(Settings(dir_ / "Quenda.ini")), r);
    ExpectChannel(o["desaturation"].toObject(), r.desaturation, 6);
    ExpectChannel(o["pulse"].toObject(), r.pulse, 12);
    EXPECT_EQ(r.pulse.eventCount, 0);  // a 9 bpm fall is below 12
}

TEST_F(AnalyzeCli, EmptyDataFileGivesZerosAndNoEvents) {
    WriteData({});
    const QJsonObject o = Json("night.dat");
    EXPECT_EQ(o["count"].toInt(), 0);
    EXPECT_EQ(o["spo2"].toObject()["max"].toInt(), 0);
    EXPECT_EQ(o["desaturation"].toObject()["index_per_hour"].toDouble(), 0.0);
    EXPECT_TRUE(o["pulse"].toObject()["events"].toArray().isEmpty());
    const QJsonObject c = o["clinical"].toObject();
    EXPECT_EQ(c["valid_samples"].toInt(), 0);
    EXPECT_EQ(c["odi3"].toDouble(), 0.0);
    EXPECT_TRUE(c["nadir"].toObject()["time"].isNull());
    EXPECT_TRUE(c["events3"].toArray().isEmpty());
}

TEST_F(AnalyzeCli, ClinicalSummaryOfOneDip) {
    // 120 s at 96 %, 30 s at 91 %, then a no-finger reading and 149 s at 96 %.
    std::vector<int> spo2;
    Append(spo2, 96, 120);
    Append(spo2, 91, 30);
    Append(spo2, 127, 1);
    Append(spo2, 96, 149);
    WriteData(testing::FromSpo2(spo2));
    // The raw profile: every valid sample counts, as the figures below were
    // worked out.
    const QJsonObject c = Json("night.dat --profile raw")["clinical"].toObject();
    EXPECT_EQ(Keys(c), QStringList({"artefact_seconds", "bands", "biomarkers", "counted_samples", "coverage",
                                    "desat_burden", "events3", "events4", "excluded", "excluded_seconds",
                                    "hypoxic_burden", "longest_le88", "margin_seconds", "nadir", "odi3", "odi4",
                                    "profile", "pulse", "pulse_rises", "scored_events", "shape", "spo2",
                                    "t88_minutes", "t90", "valid_hours",
                                    "valid_samples"}));
    EXPECT_TRUE(c["scored_events"].isNull());  // no scoring in a data file
    EXPECT_TRUE(c["hypoxic_burden"].isNull());
    EXPECT_EQ(c["profile"].toString(), "raw");
    EXPECT_EQ(c["counted_samples"].toInt(), 299);
    EXPECT_EQ(c["valid_samples"].toInt(), 299);
    EXPECT_DOUBLE_EQ(c["valid_hours"].toDouble(), 0.08);    // 299 / 3600 rounded
    EXPECT_DOUBLE_EQ(c["odi3"].toDouble(), 12.04);          // 3600 / 299
    EXPECT_DOUBLE_EQ(c["desat_burden"].toDouble(), 30.10);  // 150 %·s / 60 / (299 / 3600)
    EXPECT_EQ(c["nadir"].toObject(), (QJsonObject{{"spo2", 91}, {"time", "2026-03-01 00:02:00"}}));
    EXPECT_EQ(c["longest_le88"].toObject(), (QJsonObject{{"seconds", 0}, {"start", QJsonValue()}}));
    EXPECT_DOUBLE_EQ(c["spo2"].toObject()["median"].toDouble(), 96.0);
    EXPECT_EQ(c["pulse"].toObject()["max"].toInt(), 70);
    const QJsonArray bands = c["bands"].toArray();
    ASSERT_EQ(bands.size(), 5);
    EXPECT_EQ(bands[1].toObject(), (QJsonObject{{"range", "90\u201394"}, {"minutes", 0.5}, {"percent", 10.03}}));
    for (const char* depth : {"events3", "events4"}) {
        EXPECT_EQ(
            c[depth].toArray(),
            (QJsonArray{QJsonObject{
                {"start", "2026-03-01 00:02:00"}, {"length", 30}, {"baseline", 96}, {"nadir", 91}, {"area", 150}}}))
            << depth;
    }

    // Its shape: the first sample is the nadir, so it falls in no time and has no slope.
    const QJsonObject shape = c["shape"].toObject()["depth3"].toObject();
    EXPECT_EQ(shape["events"].toArray(),
              (QJsonArray{QJsonObject{{"start", "2026-03-01 00:02:00"},
                                      {"depth", 5},
                                      {"fall", 0},
                                      {"recovery", 30},
                                      {"slope", QJsonValue()}}}));
    EXPECT_EQ(shape["depth"].toObject(), (QJsonObject{{"mean", 5}, {"sd", 0}}));
    EXPECT_EQ(shape["slope"].toObject(), (QJsonObject{{"mean", QJsonValue()}, {"sd", QJsonValue()}}));
    EXPECT_EQ(shape["longest"].toObject(), (QJsonObject{{"seconds", 30}, {"start", "2026-03-01 00:02:00"}}));
    EXPECT_DOUBLE_EQ(shape["time_in_desaturation"].toDouble(), 10.03);  // 30 of 299 s
    EXPECT_EQ(shape["odi_class"].toString(), "mild");  // 12.04 /h
    // A steady pulse: no rise, none of the desaturation's answered.
    EXPECT_EQ(c["pulse_rises"].toObject(), (QJsonObject{{"count", 0},
                                                        {"index", 0},
                                                        {"coupled_share", 0},
                                                        {"answered", 0},
                                                        {"uncoupled", 0},
                                                        {"uncoupled_index", 0},
                                                        {"rises", QJsonArray()}}));
    // The biomarkers: flat, with the toolboxes' names in their order. Of the
    // 299 counted samples, 30 at 91 lie below median 96 - 2; the series
    // crosses its mean twice.
    const QJsonObject b = c["biomarkers"].toObject();
    const std::string text = Cli("night.dat --profile raw --json").out;
    QStringList order;
    for (std::size_t at = text.find("\"biomarkers\":{") + 14; text[at] != '}';) {
        const std::size_t end = text.find('"', at + 1);
        order << QString::fromStdString(text.substr(at + 1, end - at - 1));
        at = text.find_first_of(",}", end);
        if (text[at] == ',') ++at;
    }
    EXPECT_EQ(order, QStringList({"mean", "median", "min", "sd", "range", "p1", "m", "mean_crossings", "delta_index",
                                  "kurtosis", "skewness", "mad", "apen", "sampen", "lz_phrases", "lz_normalised",
                                  "ctm", "dfa_f20", "dfa_alpha", "prsa_capacity", "prsa_amplitude", "prsa_slope",
                                  "prsa_slope_before", "prsa_slope_after", "prsa_ac2", "psd_total", "psd_band",
                                  "psd_ratio", "psd_peak"}));
    EXPECT_DOUBLE_EQ(b["mean"].toDouble(), 95.4983);  // 28554 / 299 to six digits
    EXPECT_EQ(b["min"].toInt(), 91);
    EXPECT_EQ(b["range"].toInt(), 5);
    EXPECT_DOUBLE_EQ(b["m"].toDouble(), 10.0334);
    EXPECT_EQ(b["mean_crossings"].toInt(), 2);
    EXPECT_TRUE(b["prsa_capacity"].isDouble());

    const test::CommandRun run = Cli("night.dat --profile raw");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ODI 3 % per counted h      12.0 /h (1 event / 0.08 h), mild\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Pulse rises per counted h  0.0 /h (0 / 0.08 h); coupled 0 %; uncoupled 0.0 /h\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("  Shape of the 3 % desaturations:\n"
                           "    Depth                 5.0 \u00b1 0.0 %\n"
                           "    Length                30 \u00b1 0 s\n"
                           "    Area                  150 \u00b1 0 %\u00b7s\n"  // 5 points for 30 s
                           "    Fall                  0 \u00b1 0 s\n"           // no slope: it starts at its nadir
                           "    Recovery              30 \u00b1 0 s\n"
                           "    Deepest               5.0 %, 2026-03-01 00:02:00\n"
                           "    Longest               30 s, 2026-03-01 00:02:00\n"
                           "    In desaturation       10.0 % of the counted time\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Nadir                      91 %, 2026-03-01 00:02:00"), std::string::npos) << run.out;
}

TEST_F(AnalyzeCli, DefaultProfileSetsMarginsAndArtefactsAsideUnlessTheSettingsSayRaw) {
    // The dip of the test above, but falling in one second: the first sample
    // of the fall is an artefact, and the no-finger reading takes 5 samples on
    // each side with it.
    std::vector<int> spo2;
    Append(spo2, 96, 120);
    Append(spo2, 91, 30);
    Append(spo2, 127, 1);
    Append(spo2, 96, 149);
    WriteData(testing::FromSpo2(spo2));
    const QJsonObject c = Json("night.dat")["clinical"].toObject();
    EXPECT_EQ(c["profile"].toString(), "default");
    EXPECT_EQ(c["valid_samples"].toInt(), 299);  // the same meaning under each profile
    EXPECT_EQ(c["margin_seconds"].toInt(), 10);
    EXPECT_EQ(c["artefact_seconds"].toInt(), 1);
    EXPECT_EQ(c["excluded_seconds"].toInt(), 0);
    EXPECT_EQ(c["excluded"].toArray(), QJsonArray());
    EXPECT_EQ(c["counted_samples"].toInt(), 288);
    EXPECT_DOUBLE_EQ(c["coverage"].toDouble(), 96.0);
    EXPECT_DOUBLE_EQ(c["odi3"].toDouble(), 12.5);  // one event per 288 s
    EXPECT_EQ(c["events3"].toArray()[0].toObject()["start"].toString(), "2026-03-01 00:02:01");

    const test::CommandRun text = Cli("night.dat");
    EXPECT_NE(text.out.find("Counted 0:04:48 of 0:05:00 (96.0 %) \u2014 artefacts 0:00:11, excluded 0:00:00"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Default profile: artefacts set aside."), std::string::npos) << text.out;

    std::ofstream(dir_ / "Quenda.ini") << "[setup]\nArtefactsAside=0\nOximeterAveraging=4\n";
    EXPECT_EQ(Json("night.dat")["clinical"].toObject()["profile"].toString(), "raw");
    EXPECT_EQ(Json("night.dat --profile default")["clinical"].toObject()["counted_samples"].toInt(), 288);
    EXPECT_NE(Cli("night.dat").out.find("Oximeter averaging 4 s."), std::string::npos);
}

TEST_F(AnalyzeCli, TextFormShowsTheReportTableAndTheEventTimes) {
    WriteData(HalfHour());
    const test::CommandRun run = Cli("night.dat");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Total Events."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Index.(1/hr)" + std::string(19, ' ') + "6.0       2.0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SpO2  >  94         1741 times"), std::string::npos) << run.out;
    // The first desaturation, samples 300..314.
    EXPECT_NE(run.out.find("2026-03-01 00:05:00  2026-03-01 00:05:14"), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST_F(AnalyzeCli, UnreadableFilesFailWithTheirMessage) {
    // Claims 3 records, holds 1.
    const auto bytes = EncodeDataFile(7, testing::FromSpo2({97, 96, 95}), "");
    std::ofstream(dir_ / "short.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), kDataFileHeaderSize + kDataFileRecordSize);
    test::CommandRun run = Cli("short.dat --json");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("past its end"), std::string::npos) << run.err;

    run = Cli("missing.dat");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("can't open the file"), std::string::npos) << run.err;
}

TEST_F(AnalyzeCli, UsageErrorsExitWithTwo) {
    WriteData(HalfHour());
    for (const char* arguments :
         {"", "--json", "night.dat night.dat", "night.dat --csv", "night.dat --profile", "night.dat --profile all"}) {
        const test::CommandRun run = Cli(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << arguments;
        EXPECT_TRUE(run.out.empty()) << arguments;
    }
}

}  // namespace
}  // namespace quenda
