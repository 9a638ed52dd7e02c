#include "cli/Export.h"

#include "analysis/Analysis.h"
#include "analysis/ClinicalSetup.h"
#include "base/Settings.h"
#include "base/TextCodec.h"
#include "cli/Analyze.h"
#include "cli/Terminal.h"
#include "formats/Export.h"
#include "formats/ExportText.h"
#include "patient/PatientFile.h"
#include "patient/PatientFolder.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

namespace {

int Usage(const std::string& problem) {
    return UsageError(problem,
                      "usage: quenda-cli export FILE.dat OUT.txt|OUT.xls|OUT.xlsx|OUT.edf|OUT.csv [--patients DIR]\n"
                      "                         [--profile raw|default]\n"
                      "       quenda-cli events FILE.dat OUT.txt [--patients DIR]\n");
}

}  // namespace

// The patient file the desktop program installed beside this one uses.
std::filesystem::path DefaultPatientFile() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return PatientFolder(ec ? std::filesystem::current_path(ec) : self.parent_path(), UserDataHome()) /
           kPatientFileName;
}

// The details of `id` from the patient file; an ID without a slot, or a slot
// never written, gives a record holding only the ID.
PatientRecord ReadPatient(const std::filesystem::path& file, int id) {
    FileResult failure;
    const PatientRecord patient = ReadPatientOrEmpty(file, id, &failure);
    if (!failure) Fail(failure, file.string());  // the export goes on without the details
    return patient;
}

int ExportCommand(int argc, char** argv) {
    const std::string command = argv[1];
    std::vector<std::string> files;
    std::filesystem::path patientFile;
    std::optional<ClinicalProfile> profile;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (std::string problem; ProfileOption(argc, argv, i, profile, problem)) {
            if (!problem.empty()) return Usage(problem);
        } else if (arg == "--patients") {
            if (++i >= argc) return Usage("--patients needs a folder");
            patientFile = std::filesystem::path(argv[i]) / kPatientFileName;
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return Usage("unknown option " + std::string(arg));
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() != 2) return Usage(command + " takes a data file and an output file");
    const std::string& input = files[0];
    const std::string& output = files[1];
    const bool events = command == "events";
    const ExportKind kind = ExportKindOf(output);
    if (events ? !HasExtension(output, "txt") : (kind == ExportKind::DataFile || kind == ExportKind::Unknown)) {
        return Usage(events ? "the event listing is a .txt file"
                            : "the output must end in .txt, .xls, .xlsx, .edf or .csv");
    }
    if (patientFile.empty()) patientFile = DefaultPatientFile();

    DataFileContents contents;
    if (const FileResult read = ReadDataFile(input, contents); !read) {
        return Fail(read, input);
    }
    const Settings settings;
    ExportRequest request =
        MakeExportRequest(contents.records, ReadPatient(patientFile, contents.id), contents.id, settings);
    if (profile) request.figures.profile = *profile;

    FileResult written;
    if (events) {
        AnalysisResults results;
        ComputeStatistics(contents.records, ReadThresholds(settings), results);
        written = WriteEventListing(output, MakePatientBlock(request.patient, request.currentId, request.unitSetup),
                                    contents.records, results);
    } else {
        std::vector<std::filesystem::path> outputs;
        written = ExportDataSet(kind, output, request, {}, &outputs);
        // EDF+ writes one file per night: every name is said.
        if (written && kind == ExportKind::Edf) {
            for (const auto& file : outputs) std::printf("%s\n", TerminalText(file.string()).c_str());
        }
    }
    if (!written) {
        return Fail(written, output);
    }
    return kExitOk;
}

}  // namespace quenda
