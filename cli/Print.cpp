#include "cli/Print.h"

#include "analysis/Analysis.h"
#include "analysis/ClinicalSetup.h"
#include "base/Settings.h"
#include "base/TextCodec.h"
#include "cli/Analyze.h"
#include "cli/Terminal.h"
#include "patient/PatientFile.h"
#include "patient/PatientFolder.h"
#include "store/DataFile.h"
#include "views/PageHeader.h"
#include "views/PrintViews.h"
#include "views/Printing.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace quenda {

namespace {

std::string ViewNames() {
    std::string names;
    for (const PrintViewKind& kind : PrintViewKinds()) names += (names.empty() ? "" : "|") + std::string(kind.name);
    return names;
}

int Usage(const std::string& problem) {
    return UsageError(problem,
                      "usage: quenda-cli print FILE.dat OUT.pdf [--view " + ViewNames() +
                          "] [--page N] [--patients DIR]\n"
                          "                        [--profile raw|default] [--library FILE|URI | --no-library]\n");
}

struct PrintOptions {
    std::string dataFile;
    std::string output;
    const PrintViewKind* kind = nullptr;
    std::optional<int> page;  // from 1
    std::optional<std::string> patients;
    std::optional<ClinicalProfile> profile;
    LibraryChoice library;
};

// A problem text, or empty when the arguments are usable.
std::string ParsePrintOptions(int argc, char** argv, PrintOptions& o) {
    o.kind = &PrintViewKinds().front();
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (std::string problem;
            ProfileOption(argc, argv, i, o.profile, problem) || LibraryOption(argc, argv, i, o.library, problem)) {
            if (!problem.empty()) return problem;
            continue;
        }
        if (!arg.starts_with("--")) {
            files.emplace_back(arg);
            continue;
        }
        if (arg != "--view" && arg != "--page" && arg != "--patients") return "unknown option " + std::string(arg);
        if (i + 1 >= argc) return std::string(arg) + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--view") {
            o.kind = FindPrintViewKind(value);
            if (!o.kind) return "--view takes " + ViewNames();
        } else if (arg == "--page") {
            char* end = nullptr;
            const long page = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || page < 1 || page > 1'000'000) return "--page takes a number from 1";
            o.page = static_cast<int>(page);
        } else {
            o.patients = value;
        }
    }
    if (files.size() != 2) return "print takes a data file and a PDF file";
    o.dataFile = files[0];
    o.output = files[1];
    return {};
}

// The patient record of `id` from the patient file in `folder`; without
// details when the file or the slot does not exist.
PatientRecord ReadPatient(const std::filesystem::path& folder, int id) {
    FileResult failure;
    const PatientRecord patient = ReadPatientOrEmpty(folder / kPatientFileName, id, &failure);
    if (!failure)
        std::fprintf(stderr, "quenda-cli: %s; printing without patient details\n",
                     TerminalText(failure.message).c_str());
    return patient;
}

}  // namespace

int PrintCommand(int argc, char** argv) {
    PrintOptions o;
    if (const std::string problem = ParsePrintOptions(argc, argv, o); !problem.empty()) return Usage(problem);

    DataFileContents contents;
    if (const FileResult read = ReadDataFile(o.dataFile, contents); !read) return Fail(read, o.dataFile);

    // Fonts need a GUI application, and a GUI application needs a display
    // unless it is told to draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    const Settings settings;
    const Thresholds thresholds = ReadThresholds(settings);
    const int unit = settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    const std::filesystem::path folder =
        o.patients ? std::filesystem::path(*o.patients)
                   : PatientFolder(QCoreApplication::applicationDirPath().toStdString(), UserDataHome());

    ReportContent content;
    content.samples = contents.records;
    content.header = MakePageHeader(contents.title, ReadPatient(folder, contents.id), contents.id, unit);
    ComputeStatistics(contents.records, thresholds, content.results);
    content.desaturationsEvent = thresholds.desaturationsEvent;
    content.pulseEvent = thresholds.pulseEvent;
    const ClinicalSetup setup = ReadClinicalSetup(settings);
    content.clinical.profile = o.profile.value_or(setup.Profile());
    std::string libraryNote;
    // A library night's file prints with the night's exclusions and scoring, as analyze reads it.
    content.clinical.exclusions = DataFileExclusions(o.library, contents, libraryNote, &content.scoring);
    if (!libraryNote.empty()) std::fprintf(stderr, "quenda-cli: %s\n", libraryNote.c_str());
    content.averagingSeconds = setup.averagingSeconds;

    const int pages = std::max(1, o.kind->pageCount(content, LandscapeA4Page()));
    const int page = o.page.value_or(1);
    if (page > pages) {
        return Usage("--page " + std::to_string(page) + ": the " + o.kind->name + " of " + o.dataFile + " has " +
                     std::to_string(pages) + (pages == 1 ? " page" : " pages"));
    }
    std::string error;
    const PrintViewKind& kind = *o.kind;
    const bool written = WritePagePdf(
        o.output, [&](QPainter& painter, const LayoutRect& rect) { kind.paint(painter, rect, content, page - 1); },
        error);
    if (!written) {
        std::fprintf(stderr, "quenda-cli: %s\n", TerminalText(o.output + ": " + error).c_str());
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace quenda
