#include "cli/Analyze.h"

#include "analysis/Analysis.h"
#include "analysis/ClinicalJson.h"
#include "analysis/ClinicalSetup.h"
#include "analysis/ClinicalText.h"
#include "app/LibraryExclusionStore.h"
#include "base/Settings.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Nights.h"
#include "cli/Terminal.h"
#include "nights/Library.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace quenda {

namespace {

int Usage(const std::string& problem) {
    return UsageError(problem,
                      "usage: quenda-cli analyze FILE.dat [--json] [--profile raw|default] [--library FILE|URI | "
                      "--no-library]\n"
                      "       quenda-cli analyze --night N [--library FILE|URI] [--json] [--profile raw|default]\n");
}

// The shortest text that reads back as the same float, so a consumer sees the
// value the report rounds, not a widened double's tail of digits.
std::string FloatJson(float value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : "0";
}

std::string ChannelLimitsJson(int maximum, int minimum, int average, int highCount, int lowCount, int highLimit,
                              int lowLimit) {
    return JsonObject()
        .Add("max", maximum)
        .Add("min", minimum)
        .Add("avg", average)
        .Add("high_count", highCount)
        .Add("low_count", lowCount)
        .Add("high_limit", highLimit)
        .Add("low_limit", lowLimit)
        .Close();
}

std::string EventsJson(const ChannelEvents& channel, int threshold) {
    std::vector<std::string> list;
    for (const EventRecord& e : channel.events) {
        list.push_back(JsonObject()
                           .Add("start", e.start)
                           .Add("length", e.length)
                           .Add("max", e.maximum)
                           .Add("min", e.minimum)
                           .Add("onset_drop", e.onsetDrop)
                           .Close());
    }
    const EventSummary& s = channel.summary;
    return JsonObject()
        .Add("threshold", threshold)
        .Add("count", channel.eventCount)
        .Raw("index_per_hour", FloatJson(channel.indexPerHour))
        .Add("avg_duration", channel.averageDuration)
        .Add("time_in_events", s.timeInEvents)
        .Add("avg_event_max", s.averageEventMaximum)
        .Add("avg_event_min", s.averageEventMinimum)
        .Add("max_onset_drop", s.largestOnsetDrop)
        .Add("longest_event", s.longestEvent)
        .Raw("events", JsonArray(list))
        .Close();
}

std::string Row(const std::string& label, const std::string& spo2, const std::string& pulse) {
    return Format("%-24s%10s%10s\n", label.c_str(), spo2.c_str(), pulse.c_str());
}

std::string Row(const std::string& label, int spo2, int pulse) {
    return Row(label, std::to_string(spo2), std::to_string(pulse));
}

std::string EventList(const std::string& heading, const ChannelEvents& channel,
                      const std::vector<SampleRecord>& records) {
    std::string out = heading + "\n";
    if (channel.events.empty()) return out + "  " + UiText("(none)") + "\n";
    out += Format("  %-19s  %-19s  %8s  %4s  %4s  %10s\n", UiText("start").c_str(), UiText("end").c_str(),
                  UiText("length").c_str(), UiText("max").c_str(), UiText("min").c_str(), UiText("onset drop").c_str());
    for (const EventRecord& e : channel.events) {
        const auto first = static_cast<std::size_t>(e.start);
        const auto last = static_cast<std::size_t>(e.start + e.length - 1);
        out += Format("  %-19s  %-19s  %8d  %4d  %4d  %10d\n", FullTimeStamp(records[first]).c_str(),
                      FullTimeStamp(records[last]).c_str(), e.length, e.maximum, e.minimum, e.onsetDrop);
    }
    return out;
}

// Pads to a width in characters: the clinical labels hold "≤", "≥" and "–",
// which printf would count as three columns each.
std::string PadRight(std::string text, std::size_t width) {
    const auto characters = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    if (characters < width) text.append(width - characters, ' ');
    return text;
}

std::string ClinicalTextLines(const NightAnalysis& night, std::span<const SampleRecord> samples, int averagingSeconds) {
    const ClinicalSummary& s = night.clinical;
    std::string out = UiText("Clinical summary (valid samples only):") + "\n";
    for (const ClinicalLine& line : ClinicalLines(night, samples)) {
        out += "  " + PadRight(line.label, 27) + line.value + "\n";
    }
    out += "  " + UiText("Time in SpO2 bands:") + "\n";
    for (const Spo2Band& b : s.bands) {
        out += "    " + PadRight(BandLabel(b), 8) + Format("%8.1f min %6.1f %%\n", b.minutes, b.percent);
    }
    out += "  " + ShapeHeading() + ":\n";
    for (const ClinicalLine& line : ShapeLines(night, samples))
        out += "    " + PadRight(line.label, 22) + line.value + "\n";
    out += "  " + CoverageLine(s) + "\n";
    out += "  " + CriteriaLine(s.profile, averagingSeconds) + "\n";
    return out;
}

}  // namespace

std::string AnalysisJson(const AnalysisResults& results, const Thresholds& thresholds, int sampleCount,
                         const std::string& clinicalJson) {
    const SummaryStatistics& s = results.statistics;
    const AnalysisLimits& l = results.limits;
    return JsonObject()
        .Add("count", sampleCount)
        .Raw("spo2", ChannelLimitsJson(s.spo2Maximum, s.spo2Minimum, s.spo2Average, s.spo2HighCount, s.spo2LowCount,
                                       l.saturationsHigh, l.saturationsLow))
        .Raw("pr",
             ChannelLimitsJson(s.prMaximum, s.prMinimum, s.prAverage, s.prHighCount, s.prLowCount, l.prHigh, l.prLow))
        .Raw("desaturation", EventsJson(results.desaturation, thresholds.desaturationsEvent))
        .Raw("pulse", EventsJson(results.pulse, thresholds.pulseEvent))
        .Raw("clinical", clinicalJson)
        .Close();
}

std::string AnalysisText(const DataFileContents& file, const NightAnalysis& night, const Thresholds& thresholds,
                         int averagingSeconds) {
    const AnalysisResults& results = night.report;
    const auto count = static_cast<int>(file.records.size());
    std::string out = UiText("ID") + Format(" %d, %d ", file.id, count) + UiText("samples") +
                      Format(" (%d:%02d:%02d)", count / 3600, count / 60 % 60, count % 60);
    if (count > 0)
        out +=
            ", " + FullTimeStamp(file.records.front()) + " " + UiText("to") + " " + FullTimeStamp(file.records.back());
    out += "\n";
    if (!file.title.empty()) out += TerminalText(file.title) + "\n";  // the file's own text
    if (count == 0) return out + UiText("No samples to analyse.") + "\n";

    const SummaryStatistics& s = results.statistics;
    const ChannelEvents& d = results.desaturation;
    const ChannelEvents& p = results.pulse;
    out += "\n" + Row("", UiText("SpO2"), UiText("Pulse"));
    out += Row(UiText("Total Events."), d.eventCount, p.eventCount);
    out += Row(UiText("Time In Events.(Sec)"), d.summary.timeInEvents, p.summary.timeInEvents);
    out += Row(UiText("Avg.Event Dur.(Sec)"), d.averageDuration, p.averageDuration);
    out += Row(UiText("Index.(1/hr)"), Format("%0.1f", static_cast<double>(d.indexPerHour)),
               Format("%0.1f", static_cast<double>(p.indexPerHour)));
    out += Row(UiText("Avg.Event Max."), d.summary.averageEventMaximum, p.summary.averageEventMaximum);
    out += Row(UiText("Avg.Event Min."), d.summary.averageEventMinimum, p.summary.averageEventMinimum);
    out += Row(UiText("Max.Event offset."), d.summary.largestOnsetDrop, p.summary.largestOnsetDrop);
    out += Row(UiText("Max Time.Event.(Sec)"), d.summary.longestEvent, p.summary.longestEvent);
    out += Row(UiText("Max Dur."), s.spo2Maximum, s.prMaximum);
    out += Row(UiText("Min Dur."), s.spo2Minimum, s.prMinimum);
    out += Row(UiText("Avg Dur."), s.spo2Average, s.prAverage);

    const AnalysisLimits& l = results.limits;
    const std::string times = UiText("times");
    out += "\n";
    out += UiText("SpO2  >  ") + std::to_string(l.saturationsHigh) + Format("         %d", s.spo2HighCount) + " " +
           times + "\n";
    out += UiText("SpO2  <  ") + std::to_string(l.saturationsLow) + Format("         %d", s.spo2LowCount) + " " +
           times + "\n";
    out += UiText("Pulse  >  ") + std::to_string(l.prHigh) + Format("         %d", s.prHighCount) + " " + times + "\n";
    out += UiText("Pulse  <  ") + std::to_string(l.prLow) + Format("         %d", s.prLowCount) + " " + times + "\n";

    out += "\n" + UiText("Desaturation Event:drop in SpO2 by at least") + Format(" %d", thresholds.desaturationsEvent) +
           UiText("% for a minimum duration of 10 seconds.") + "\n";
    out += UiText("Pulse Event Change in rate by at least") + Format(" %d ", thresholds.pulseEvent) +
           UiText("bpm for a minimum duration of 8 seconds.") + "\n";

    out += "\n" + EventList(UiText("Desaturation events:"), d, file.records);
    out += "\n" + EventList(UiText("Pulse events:"), p, file.records);
    out += "\n" + ClinicalTextLines(night, file.records, averagingSeconds);
    return out;
}

bool ProfileOption(int argc, char** argv, int& i, std::optional<ClinicalProfile>& profile, std::string& problem) {
    if (std::string_view(argv[i]) != "--profile") return false;
    ClinicalProfile parsed{};
    if (i + 1 >= argc || !ParseProfile(argv[i + 1], parsed)) {
        problem = "--profile takes raw or default";
    } else {
        profile = parsed;
    }
    ++i;
    return true;
}

bool LibraryOption(int argc, char** argv, int& i, LibraryChoice& choice, std::string& problem) {
    const std::string_view arg = argv[i];
    if (arg == "--no-library") {
        choice.none = true;
        return true;
    }
    if (arg != "--library") return false;
    if (++i >= argc) {
        problem = "--library needs a value";
    } else {
        choice.file = argv[i];
    }
    return true;
}

Exclusions DataFileExclusions(const LibraryChoice& choice, const DataFileContents& contents, std::string& note,
                              ScoredStudy* scoring) {
    note.clear();
    if (choice.none) return {};
    const std::string file = LibraryLocationFor(choice.file);
    if (scoring) {
        // A scored study's scoring is kept with its nights, as the program finds it.
        const Settings settings;
        *scoring = LibraryExclusionStore([&file] { return file; }, settings).LoadScoring(contents.id, contents.records);
    }
    LibraryExclusions found = LoadLibraryExclusions(file, contents.id, contents.records);
    if (found.nights.empty()) return {};
    std::string numbers;
    for (const NightNumber n : found.nights) numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
    note = UiText(found.nights.size() == 1 ? "exclusions of library night" : "exclusions of library nights") + " " +
           numbers + " " + UiText("applied");
    return std::move(found.exclusions);
}

namespace {

// A library night as a data file would hold it: its ID and samples, and its
// exclusions beside them.
bool ReadLibraryNight(const std::string& library, NightNumber night, DataFileContents& contents, Exclusions& exclusions,
                      ScoredStudy& scoring) {
    FileResult result;
    const auto lib = NightLibrary::Open(library, result, LibraryOpening::ExistingOnly);
    // No library at all holds no night either; reading makes none.
    if (!lib && result) {
        result.ok = false;
        result.message = FillPlaceholders(UiText(library_message::kNoNight), {std::to_string(night)});
    }
    NightRow row;
    std::vector<SampleSpan> spans;
    if (lib && (result = lib->Show(night, row)) && (result = lib->LoadNight(night, contents.records)) &&
        (result = lib->Exclusions(night, spans)) && (result = lib->Scoring(night, scoring))) {
        contents.id = static_cast<std::uint8_t>(row.id);
        exclusions = Exclusions(spans);
        return true;
    }
    std::fprintf(stderr, "quenda-cli: %s\n",
                 TerminalText(result.message + (result.detail.empty() ? "" : ": ") + result.detail).c_str());
    return false;
}

}  // namespace

int AnalyzeCommand(int argc, char** argv) {
    bool json = false;
    std::optional<ClinicalProfile> profile;
    std::optional<NightNumber> night;
    LibraryChoice library;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string problem;
        if (ProfileOption(argc, argv, i, profile, problem) || LibraryOption(argc, argv, i, library, problem)) {
            if (!problem.empty()) return Usage(problem);
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--night") {
            if (++i >= argc) return Usage(std::string(arg) + " needs a value");
            const std::string value = argv[i];
            long long number = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
            if (error != std::errc{} || end != value.data() + value.size() || number < 1)
                return Usage("--night takes a night's number");
            night = number;
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return Usage("unknown option " + std::string(arg));
        } else {
            files.emplace_back(arg);
        }
    }
    if (night ? !files.empty() : files.size() != 1) return Usage("analyze takes one data file, or --night N");
    if (night && library.none) return Usage("--no-library goes with a data file");

    DataFileContents contents;
    Exclusions exclusions;
    std::string libraryNote;
    ScoredStudy scoring;
    if (night) {
        if (!ReadLibraryNight(LibraryLocationFor(library.file), *night, contents, exclusions, scoring))
            return kExitFailed;
    } else if (const FileResult read = ReadDataFile(files[0], contents); !read) {
        return Fail(read, files[0]);
    } else {
        exclusions = DataFileExclusions(library, contents, libraryNote, &scoring);
    }

    const Settings settings;
    FigureSettings figures = ReadFigureSettings(settings);
    if (profile) figures.profile = *profile;
    const NightAnalysis analysis = AnalyzeNight(contents.records, exclusions, figures, scoring);
    const std::string out =
        json ? AnalysisJson(analysis.report, figures.thresholds, static_cast<int>(contents.records.size()),
                            ClinicalJson(analysis, contents.records)) +
                   "\n"
             : AnalysisText(contents, analysis, figures.thresholds, ReadClinicalSetup(settings).averagingSeconds);
    // The JSON object stays one object: the note goes to stderr there.
    if (!libraryNote.empty()) std::fprintf(json ? stderr : stdout, "%s\n", libraryNote.c_str());
    if (std::fputs(out.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
        std::perror("quenda-cli: writing the results");
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace quenda
