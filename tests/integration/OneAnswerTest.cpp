// One night, one answer: random nights (gaps, invalid runs, spikes, dips,
// exclusions) under both clinical profiles, taken down every road that shows,
// stores or exports their figures, and compared with AnalyzeNight's.
#include "analysis/ClinicalJson.h"
#include "analysis/NightAnalysis.h"
#include "app/LibraryExclusionStore.h"
#include "base/StringFormat.h"
#include "document/AppContext.h"
#include "formats/Export.h"
#include "formats/FileCommands.h"
#include "nights/Library.h"
#include "nights/PeriodSummary.h"
#include "support/NightData.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "views/NightsTableModel.h"

#include <edflib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>

#include <stdlib.h>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// A night of a few hours at 94-96 % with what real nights hold: dips of 3 to
// 8 points, no-finger runs (127/255), one-second spikes and gaps of a few
// seconds to nearly an hour.
std::vector<SampleRecord> RandomNight(std::mt19937& random, int id, std::int64_t start) {
    const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    std::vector<SampleRecord> out;
    std::int64_t t = start;
    const int length = pick(5000, 9000);
    for (int i = 0; i < length; ++i, ++t) {
        if (pick(0, 1500) == 0) t += pick(1, 3500);  // a gap
        out.push_back(test::SampleAt(id, t, 94 + pick(0, 2), 58 + pick(0, 10)));
    }
    for (int dips = pick(10, 30); dips > 0; --dips) {
        const int at = pick(0, length - 80);
        const int depth = pick(3, 8);
        const int hold = pick(5, 60);
        for (int k = 0; k < hold; ++k) {
            SampleRecord& r = out[static_cast<std::size_t>(at + k)];
            r.spo2 = static_cast<std::uint8_t>(r.spo2 - std::min(depth, 1 + k));
            r.pulseRate = static_cast<std::uint8_t>(r.pulseRate + (k > 10 ? 12 : 0));
        }
    }
    for (int runs = pick(1, 4); runs > 0; --runs) {
        const int at = pick(0, length - 100);
        for (int k = pick(1, 90); k > 0; --k) {
            out[static_cast<std::size_t>(at + k)].spo2 = 127;
            out[static_cast<std::size_t>(at + k)].pulseRate = 255;
        }
    }
    for (int spikes = pick(2, 8); spikes > 0; --spikes) out[static_cast<std::size_t>(pick(0, length - 1))].spo2 = 80;
    return out;
}

Exclusions RandomExclusions(std::mt19937& random, int samples) {
    Exclusions exclusions;
    for (int n = std::uniform_int_distribution<int>(0, 3)(random); n > 0; --n) {
        const int first = std::uniform_int_distribution<int>(0, samples - 1)(random);
        exclusions.Exclude({first, std::min(samples - 1, first + std::uniform_int_distribution<int>(0, 900)(random))});
    }
    return exclusions;
}

// The object or array after "key": in JSON of our own making.
std::string JsonValue(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return {};
    const std::size_t from = at + key.size() + 3;
    int depth = 0;
    for (std::size_t i = from; i < json.size(); ++i) {
        // A plain value ends at the comma or bracket after it (the last key's too).
        if (depth == 0 && (json[i] == ',' || json[i] == '}' || json[i] == ']')) return json.substr(from, i - from);
        if (json[i] == '{' || json[i] == '[') ++depth;
        if ((json[i] == '}' || json[i] == ']') && --depth == 0) return json.substr(from, i + 1 - from);
    }
    return {};
}

// Every "key": value of a JSON array of objects, in order.
std::vector<std::string> JsonValues(const std::string& json, const std::string& key) {
    std::vector<std::string> out;
    for (auto at = json.find("\"" + key + "\":"); at != std::string::npos; at = json.find("\"" + key + "\":", at + 1)) {
        const std::string value = JsonValue(json.substr(at), key);
        out.push_back(value);
        at += value.size();
    }
    return out;
}

using Annotation = std::tuple<long long, long long, std::string>;

std::vector<Annotation> EdfAnnotations(const fs::path& file) {
    edf_hdr_struct hdr{};
    std::vector<Annotation> out;
    if (edfopen_file_readonly(file.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS) != 0) return out;
    for (int a = 0; a < hdr.annotations_in_file; ++a) {
        edf_annotation_struct an{};
        if (edf_get_annotation(hdr.handle, a, &an) == 0)
            out.emplace_back(an.onset / EDFLIB_TIME_DIMENSION, an.duration_l / EDFLIB_TIME_DIMENSION, an.annotation);
    }
    edfclose_file(hdr.handle);
    std::sort(out.begin(), out.end());
    return out;
}

// A figure of the JSON (two decimals, or null) as the Nights window shows it:
// one decimal, "-" for none.
std::string OneDecimal(const std::string& json) {
    return json.empty() || json == "null" ? "-" : Format("%.1f", std::stod(json));
}

// The rest of the line after `label`, past `after` in `text`; empty when not there.
std::string LineAfter(const std::string& text, const std::string& after, const std::string& label) {
    const auto from = text.find(after);
    const auto at = from == std::string::npos ? from : text.find(label, from);
    if (at == std::string::npos) return {};
    return text.substr(at + label.size(), text.find('\n', at) - at - label.size());
}

// The cells of `column` in a CSV of our own making (no quoted commas), row by row.
std::vector<std::string> CsvColumn(const std::string& csv, const std::string& column) {
    std::vector<std::vector<std::string>> rows;
    std::size_t at = 0;
    while (at < csv.size()) {
        const std::size_t end = csv.find('\n', at);
        std::vector<std::string> cells;
        std::string line = csv.substr(at, end - at);
        for (std::size_t from = 0;;) {
            const std::size_t comma = line.find(',', from);
            cells.push_back(line.substr(from, comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        rows.push_back(cells);
        at = end == std::string::npos ? csv.size() : end + 1;
    }
    std::vector<std::string> out;
    const auto index = std::find(rows.front().begin(), rows.front().end(), column) - rows.front().begin();
    for (std::size_t r = 1; r < rows.size(); ++r)
        out.push_back(static_cast<std::size_t>(index) < rows[r].size() ? rows[r][static_cast<std::size_t>(index)] : "?");
    return out;
}

long long Count(const std::vector<Annotation>& annotations, const std::string& text) {
    return std::count_if(annotations.begin(), annotations.end(),
                         [&](const Annotation& a) { return std::get<2>(a) == text; });
}

TEST(OneAnswer, EveryRoadGivesTheNightsFiguresUnderBothProfiles) {
    test::TempDir dir("quenda-one-answer");
    // A rebuild also reads the kept downloads: this test's own, none else.
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    const fs::path library = dir / "library.sqlite";
    const fs::path ini = dir / "Quenda.ini";
    std::mt19937 random(20261210);
    const auto cli = [&](std::vector<std::string> args) {
        const test::CommandRun run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    };

    // A download of four nights of ID 5, as the program keeps and adds it.
    std::vector<SampleRecord> download;
    for (int n = 0; n < 4; ++n) {
        const auto night = RandomNight(random, 5, test::Secs(2026, 12, 6 + n, 22, 30, 0));
        download.insert(download.end(), night.begin(), night.end());
    }
    fs::create_directories(dir / "kept");
    ASSERT_TRUE(WriteDataFile(dir / "kept" / "ID5.dat", 5, download, ""));

    AppContext context;
    context.settings = Settings(ini);
    LibraryExclusionStore kept([&] { return library; }, context.settings);
    context.clinical.SetExclusionStore(&kept);
    const fs::path keptFolder[] = {dir / "kept"};
    ASSERT_TRUE(AddToLibrary(library, keptFolder, MakeAddOptions(context.settings, {})).result);

    const RecordingNights found = ApplyNightRule(download);
    ASSERT_EQ(found.nights.size(), 4u);
    const auto nightSamples = [&](std::size_t n) {
        return std::span<const SampleRecord>(download).subspan(static_cast<std::size_t>(found.nights[n].first),
                                                               static_cast<std::size_t>(found.nights[n].Samples()));
    };
    // Night 2 is a scored study: apneas and hypopneas through it, 30-s stages
    // from a minute before its first sample, and a lab's own annotations.
    std::vector<ScoredStudy> scoring(found.nights.size());
    {
        const std::int64_t start = found.nights[1].start * 1000;
        ScoredStudy& study = scoring[1];
        study.source = "night2.xml";
        for (std::int64_t s = -60; s < found.nights[1].end - found.nights[1].start; s += 30) {
            const SleepStage stage = s % 3600 < 600 ? SleepStage::Wake : s % 3600 < 2400 ? SleepStage::N2 : SleepStage::Rem;
            study.annotations.push_back({start + s * 1000, 30'000, AnnotationKind::Stage, stage, StageText(stage)});
        }
        for (std::int64_t s = 400; s + 60 < found.nights[1].end - found.nights[1].start; s += 237) {
            const bool apnea = s % 3 == 0;
            study.annotations.push_back({start + s * 1000 + 250, 15'500, apnea ? AnnotationKind::Apnea : AnnotationKind::Hypopnea,
                                         SleepStage::None, apnea ? "Obstructive apnea" : "Hypopnea"});
        }
        study.annotations.push_back({start - 30'000, 0, AnnotationKind::Other, SleepStage::None, "Lights off"});
        study.annotations.push_back({start + 900'000, 3'000, AnnotationKind::Other, SleepStage::None, "Arousal"});
        SortAnnotations(study.annotations);
        FileResult opened;
        auto lib = NightLibrary::Open(library, opened);
        ASSERT_TRUE(lib) << opened.message;
        ASSERT_TRUE(lib->SetScoring(5, study));
    }
    std::vector<Exclusions> lastMade(found.nights.size());  // each night's, as last edited
    for (const ClinicalProfile profile : {ClinicalProfile::Default, ClinicalProfile::Raw, ClinicalProfile::Default}) {
        std::vector<std::vector<Annotation>> nightFiles;
        ASSERT_TRUE(context.settings.WriteInt("ArtefactsAside", profile == ClinicalProfile::Default ? 1 : 0));
        const FigureSettings settings = ReadFigureSettings(context.settings);
        // Listed figures follow the settings file as it is now, not those the
        // nights were last edited under.
        std::vector<std::string> listed;
        for (std::size_t n = 0; n < found.nights.size(); ++n)
            listed.push_back(
                ClinicalJson(AnalyzeNight(nightSamples(n), lastMade[n], settings, scoring[n]), nightSamples(n)));
        EXPECT_EQ(JsonValues(cli({"nights", "list", "--json", "--library", library}), "clinical"), listed)
            << ProfileName(profile);
        // The CSV's scored columns are the JSON's numbers ("" for null).
        {
            const std::string csv = cli({"nights", "list", "--csv", "--library", library});
            const struct {
                const char* column;
                const char* object;
                const char* key;
            } scoredColumns[] = {{"scored_events_apneas", "scored_events", "apneas"},
                                 {"scored_events_hypopneas", "scored_events", "hypopneas"},
                                 {"scored_events_ahi", "scored_events", "ahi"},
                                 {"hypoxic_burden_value", "hypoxic_burden", "value"}};
            for (const auto& c : scoredColumns) {
                std::vector<std::string> fromJson;
                for (const std::string& clinical : listed) fromJson.push_back(JsonValue(JsonValue(clinical, c.object), c.key));
                EXPECT_EQ(CsvColumn(csv, c.column), fromJson) << c.column;
            }
            const std::string window = JsonValue(JsonValue(listed[1], "hypoxic_burden"), "window");
            EXPECT_EQ("[" + CsvColumn(csv, "hypoxic_burden_window_start")[1] + "," +
                          CsvColumn(csv, "hypoxic_burden_window_end")[1] + "]",
                      window);
            EXPECT_EQ(CsvColumn(csv, "scored_events_ahi")[0], "");  // an unscored night
        }

        for (std::size_t n = 0; n < found.nights.size(); ++n) {
            SCOPED_TRACE(testing::Message() << ProfileName(profile) << " night " << n + 1);
            const NightSpan& span = found.nights[n];
            const auto samples = nightSamples(n);
            const std::string number = std::to_string(n + 1);

            // The night opened in the program, where the user excludes spans.
            UseAsCurrentData(context, 5, samples, PatientSource::PatientFile);
            const Exclusions exclusions = RandomExclusions(random, span.Samples());
            std::string error;
            ASSERT_TRUE(context.clinical.Include({0, span.Samples() - 1}, error)) << error;
            for (const SampleSpan& s : exclusions.Spans()) ASSERT_TRUE(context.clinical.Exclude(s, error)) << error;
            lastMade[n] = exclusions;

            const NightAnalysis expected = AnalyzeNight(samples, exclusions, settings, scoring[n]);
            EXPECT_EQ(expected.scored.scored, n == 1);
            EXPECT_EQ(context.clinical.Scoring(), scoring[n]);
            const std::string clinical = ClinicalJson(expected, samples);
            const NightFigures figures = ComputeNightFigures(samples, settings, exclusions, scoring[n]).figures;

            // The clinical page.
            EXPECT_EQ(ClinicalJson(context.clinical.Analysis(), samples), clinical);
            // The Nights window's and `nights list`'s rows.
            FileResult opened;
            auto lib = NightLibrary::Open(library, opened);
            ASSERT_TRUE(lib) << opened.message;
            lib->SetFigureSettings(settings);
            NightRow row;
            ASSERT_TRUE(lib->Show(static_cast<NightNumber>(n + 1), row));
            EXPECT_EQ(row.figures, figures);
            EXPECT_EQ(row.clinicalJson, clinical);
            // The Nights window's AHI and hypoxic burden cells: the listed JSON's.
            {
                std::vector<NightRow> shown{row};
                NightsTableModel model(shown, nullptr);
                const auto cell = [&](NightColumn c) {
                    return model.data(model.index(0, static_cast<int>(c)), Qt::DisplayRole).toString().toStdString();
                };
                const std::string ahi = OneDecimal(JsonValue(JsonValue(clinical, "scored_events"), "ahi"));
                EXPECT_EQ(cell(NightColumn::Ahi), ahi);
                EXPECT_EQ(cell(NightColumn::HypoxicBurden),
                          OneDecimal(JsonValue(JsonValue(clinical, "hypoxic_burden"), "value")));
                EXPECT_EQ(ahi != "-", n == 1);
            }
            // quenda-cli under the same settings file.
            EXPECT_EQ(JsonValue(cli({"nights", "show", number, "--json", "--library", library}), "clinical"), clinical);
            const std::string analyzed = cli({"analyze", "--night", number, "--library", library, "--json"});
            EXPECT_EQ(JsonValue(analyzed, "clinical"), clinical);
            EXPECT_EQ(JsonValue(JsonValue(analyzed, "desaturation"), "count"),
                      std::to_string(expected.report.desaturation.eventCount));
            // Save Data of the opened night and `nights export` write the same EDF+.
            const fs::path saved = dir / "saved.edf";
            const fs::path exported = dir / "exported.edf";
            context.oneLibraryNight = true;  // as the Nights window opens it
            ASSERT_TRUE(ExportDataSet(ExportKind::Edf, saved, CurrentExportRequest(context)));
            cli({"nights", "export", number, exported.string(), "--library", library, "--patients", dir / "none"});
            const auto annotations = EdfAnnotations(saved);
            EXPECT_EQ(EdfAnnotations(exported), annotations);
            EXPECT_EQ(Count(annotations, "Desaturation 3%"), static_cast<long long>(expected.clinical.events3.size()));
            EXPECT_EQ(Count(annotations, "Desaturation"), expected.report.desaturation.eventCount);
            EXPECT_EQ(Count(annotations, "Pulse event"), expected.report.pulse.eventCount);
            // One "Excluded" per run of samples: a span over a gap is two.
            long long runs = 0;
            for (const SampleSpan& s : exclusions.Spans()) {
                ++runs;
                for (std::int32_t i = s.first + 1; i <= s.last; ++i)
                    runs += *SampleSeconds(samples[static_cast<std::size_t>(i)]) -
                                        *SampleSeconds(samples[static_cast<std::size_t>(i) - 1]) >
                                    1
                                ? 1
                                : 0;
            }
            EXPECT_EQ(Count(annotations, "Excluded"), runs);
            // The night's data file (`nights export`, as Save Data writes it)
            // analysed on its own gets the night's exclusions back, and says so.
            const fs::path datFile = dir / "night.dat";
            cli({"nights", "export", number, datFile.string(), "--library", library, "--patients", dir / "none"});
            const test::CommandRun ofFile = test::RunInDirectory(
                dir.Path(), QUENDA_CLI_PATH, {"analyze", datFile.string(), "--library", library, "--json"});
            EXPECT_EQ(JsonValue(ofFile.out, "clinical"), clinical);
            EXPECT_EQ(ofFile.err,
                      exclusions.Spans().empty() ? "" : "exclusions of library night " + number + " applied\n");
            // Its printed clinical page carries the night's scored figures.
            const fs::path pdf = dir / "night.pdf";
            cli({"print", datFile.string(), pdf.string(), "--view", "clinical", "--library", library});
            const std::string page =
                test::RunInDirectory(dir.Path(), "pdftotext", {"-layout", pdf.string(), "-"}).out;
            if (expected.scored.scored) {
                EXPECT_NE(LineAfter(page, "Scored study", "AHI").find(Format("%.1f /h", expected.scored.ahi)),
                          std::string::npos)
                    << page;
                EXPECT_NE(LineAfter(page, "Scored study", "Hypoxic burden")
                              .find(Format("%.2f", expected.scored.burden.value)),
                          std::string::npos)
                    << page;
            } else {
                EXPECT_EQ(page.find("Scored study"), std::string::npos);
            }
            // The scoring written back as it was read.
            EXPECT_EQ(Count(annotations, "Hypopnea"), expected.scored.hypopneas);
            EXPECT_EQ(Count(annotations, "Lights off"), n == 1 ? 1 : 0);
            nightFiles.push_back(annotations);
        }
        // The summary of the one scored night says that night's figures, as
        // the JSON does and the text table (one decimal).
        {
            const std::string clinical =
                ClinicalJson(AnalyzeNight(nightSamples(1), lastMade[1], settings, scoring[1]), nightSamples(1));
            const std::string events = JsonValue(clinical, "scored_events");
            const std::string burden = JsonValue(clinical, "hypoxic_burden");
            const std::string pooled = JsonValue(cli({"nights", "summary", "--json", "--id", "5", "--library", library}), "scored");
            EXPECT_EQ(JsonValue(pooled, "nights"), "1");
            for (const char* key : {"apneas", "hypopneas", "hours", "ahi"}) EXPECT_EQ(JsonValue(pooled, key), JsonValue(events, key)) << key;
            EXPECT_EQ(JsonValue(pooled, "hypoxic_burden"), JsonValue(burden, "value"));
            EXPECT_EQ(JsonValue(pooled, "burden_hours"), JsonValue(burden, "hours"));
            const std::string text = cli({"nights", "summary", "--id", "5", "--library", library});
            EXPECT_TRUE(LineAfter(text, "", "AHI, scored hours pooled").ends_with(" " + OneDecimal(JsonValue(events, "ahi")))) << text;
            EXPECT_TRUE(LineAfter(text, "", "Hypoxic burden, pooled").ends_with(" " + OneDecimal(JsonValue(burden, "value")))) << text;
        }
        // Save Data of the whole download: each night's file is that night's own.
        UseAsCurrentData(context, 5, download, PatientSource::PatientFile);
        std::vector<fs::path> files;
        ASSERT_TRUE(ExportDataSet(ExportKind::Edf, dir / "week.edf", CurrentExportRequest(context), {}, &files));
        ASSERT_EQ(files.size(), nightFiles.size());
        for (std::size_t n = 0; n < files.size(); ++n) EXPECT_EQ(EdfAnnotations(files[n]), nightFiles[n]) << n;
        // A rebuild keeps every night's figures, exclusions applied.
        const std::string before = cli({"nights", "list", "--json", "--library", library});
        cli({"nights", "rebuild", "--library", library});
        EXPECT_EQ(cli({"nights", "list", "--json", "--library", library}), before);
    }
}

// The new roads: a night broken by the recorder switched off and merged
// again gives one answer on every road that reads it (the list, show,
// analyze, the program's opening and its Save Data, `nights export`); and
// the period summary, one per ID, is the same whether asked for every ID or
// for one, and rests on each ID's own nights alone.
TEST(OneAnswer, AMergedNightAndTheSummaryPerId) {
    test::TempDir dir("quenda-one-answer-merged");
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    const fs::path library = dir / "library.sqlite";
    std::mt19937 random(20261211);
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--library", library.string()});
        const test::CommandRun run = test::RunInDirectory(dir.Path(), QUENDA_CLI_PATH, args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    };
    // ID 5: a night broken for 1:30:00 after 23:30, and the night after it;
    // ID 6: two nights.
    fs::create_directories(dir / "kept");
    for (const int id : {5, 6}) {
        std::vector<SampleRecord> samples;
        for (int n = 0; n < 2; ++n) {
            auto night = RandomNight(random, id, test::Secs(2026, 12, 6 + n, 22, 30, 0));
            // ID 5's first night: the recorder off after its 3,600th sample.
            for (std::size_t i = 3600; id == 5 && n == 0 && i < night.size(); ++i) {
                const auto at = SampleSeconds(night[i]);
                ASSERT_TRUE(at && SetSampleSeconds(night[i], *at + 5400));
            }
            samples.insert(samples.end(), night.begin(), night.end());
        }
        ASSERT_TRUE(WriteDataFile(dir / "kept" / ("ID" + std::to_string(id) + ".dat"), static_cast<std::uint8_t>(id),
                                  samples, ""));
    }
    cli({"nights", "add", (dir / "kept").string()});
    FileResult opened;
    auto lib = NightLibrary::Open(library, opened);
    ASSERT_TRUE(lib) << opened.message;
    lib->SetFigureSettings(ReadFigureSettings(Settings(dir / "Quenda.ini")));
    std::vector<NightRow> rows;
    ASSERT_TRUE(lib->List({}, rows));
    ASSERT_EQ(rows.size(), 5u);  // ID 5's first night in two
    cli({"nights", "merge", "1", "2"});
    cli({"nights", "exclude", "1", "3000", "4000"});  // across the break

    // The merged night.
    std::vector<SampleRecord> samples;
    std::vector<SampleSpan> spans;
    ASSERT_TRUE(lib->LoadNight(1, samples));
    ASSERT_TRUE(lib->Exclusions(1, spans));
    const FigureSettings settings = ReadFigureSettings(Settings(dir / "Quenda.ini"));
    const NightAnalysis expected = AnalyzeNight(samples, Exclusions(spans), settings);
    const std::string clinical = ClinicalJson(expected, samples);
    EXPECT_EQ(JsonValues(cli({"nights", "list", "--json", "--id", "5"}), "clinical").front(), clinical);
    EXPECT_EQ(JsonValue(cli({"nights", "show", "1", "--json"}), "clinical"), clinical);
    EXPECT_EQ(JsonValue(cli({"analyze", "--night", "1", "--json"}), "clinical"), clinical);
    AppContext context;
    context.settings = Settings(dir / "Quenda.ini");
    LibraryExclusionStore kept([&] { return library; }, context.settings);
    context.clinical.SetExclusionStore(&kept);
    UseAsCurrentData(context, 5, samples, PatientSource::PatientFile);
    context.oneLibraryNight = true;  // as the Nights window opens it
    EXPECT_EQ(ClinicalJson(context.clinical.Analysis(), samples), clinical);
    ASSERT_TRUE(ExportDataSet(ExportKind::Edf, dir / "saved.edf", CurrentExportRequest(context)));
    cli({"nights", "export", "1", (dir / "exported.edf").string(), "--patients", (dir / "none").string()});
    EXPECT_EQ(EdfAnnotations(dir / "exported.edf"), EdfAnnotations(dir / "saved.edf"));
    EXPECT_EQ(Count(EdfAnnotations(dir / "saved.edf"), "Desaturation 3%"),
              static_cast<long long>(expected.clinical.events3.size()));

    // The summary per ID.
    rows.clear();
    ASSERT_TRUE(lib->List({}, rows));
    std::string all = "[";
    for (const int id : {5, 6}) {
        std::vector<NightRow> own;
        for (const NightRow& row : rows)
            if (row.id == id) own.push_back(row);
        ASSERT_EQ(own.size(), 2u) << id;
        const std::string one = PeriodSummaryJson(SummarizeNights(own));
        EXPECT_EQ(cli({"nights", "summary", "--json", "--id", std::to_string(id)}), one);
        all += (id == 5 ? "{\"id\":5," : ",{\"id\":6,") + one.substr(1, one.size() - 2);
    }
    EXPECT_EQ(cli({"nights", "summary", "--json"}), all + "]\n");
}

}  // namespace
}  // namespace quenda
