#include "nights/Library.h"

#include "base/UiText.h"
#include "nights/PostgresLibrary.h"
#include "nights/SqliteLibrary.h"
#include "patient/PatientFile.h"
#include "store/KeptDownload.h"

#include <algorithm>
#include <cstdlib>

namespace quenda {

namespace fs = std::filesystem;

void AddResult::Include(const AddResult& other) {
    added += other.added;
    already += other.already;
    replaced += other.replaced;
    removed += other.removed;
    leftOut += other.leftOut;
    files += other.files;
    nights.insert(nights.end(), other.nights.begin(), other.nights.end());
    failures.insert(failures.end(), other.failures.begin(), other.failures.end());
    if (result && !other.result) result = other.result;
}

fs::path DefaultLibraryFile() {
    if (const char* env = std::getenv("QUENDA_LIBRARY"); env && *env && !IsServerLocation(env)) return env;
    return QuendaDataFolder() / "library.sqlite";
}

AddOptions MakeAddOptions(const Settings& settings, const fs::path& patientFile) {
    AddOptions options;
    options.figures = ReadFigureSettings(settings);
    options.nameOf = [patientFile](int id) { return PatientNameOf(patientFile, id); };
    return options;
}

int RecordingId(const DataFileContents& contents) {
    return contents.id != 0 || contents.records.empty() ? contents.id : contents.records.front().id;
}

fs::path JournalFileOf(const fs::path& library) {
    fs::path journal = library;
    journal += ".journal";
    return journal;
}

std::vector<fs::path> DataFilesIn(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return {path};
    std::vector<std::pair<int, fs::path>> found;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 7 || name.rfind("ID", 0) != 0 || !name.ends_with(".dat")) continue;
        const std::string digits = name.substr(2, name.size() - 6);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        found.emplace_back(std::stoi(digits), entry.path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> files;
    for (auto& f : found) files.push_back(std::move(f.second));
    return files;
}

std::unique_ptr<NightLibrary> NightLibrary::Open(const std::string& location, FileResult& result,
                                                 LibraryOpening opening, const PasswordPrompt& ask) {
    if (IsServerLocation(location)) return PostgresLibrary::Open(location, result, opening, ask);
    return SqliteLibrary::Open(location, result, opening);
}

AddResult NightLibrary::AddFile(const fs::path& dataFile, const AddOptions& options) {
    DataFileContents contents;
    if (FileResult read = ReadDataFile(dataFile, contents); !read) {
        AddResult out;
        const bool named = read.message.find(dataFile.string()) != std::string::npos;
        out.failures.push_back((named ? "" : dataFile.string() + ": ") + read.message +
                               (read.detail.empty() ? "" : ": ") + read.detail);
        if (!named) read.message = dataFile.string() + ": " + read.message;
        out.result = std::move(read);
        return out;
    }
    return AddSamples(dataFile, RecordingId(contents), contents.records, options);
}

AddResult NightLibrary::AddPaths(std::span<const fs::path> paths, const AddOptions& options) {
    AddResult out;
    for (const fs::path& path : paths) {
        const auto files = DataFilesIn(path);
        if (files.empty()) {
            AddResult none;
            none.result = {false, path.string() + ": " + UiText("no ID<n>.dat data files in this folder"), {}};
            none.failures.push_back(none.result.message);
            out.Include(none);
        }
        for (const fs::path& file : files) out.Include(AddFile(file, options));
    }
    return out;
}

FileResult NightLibrary::List(const NightFilter& filter, std::vector<NightRow>& rows) {
    std::vector<NightRow> out;
    if (FileResult listed = ForEach(filter, [&out](const NightRow& row) { out.push_back(row); }); !listed)
        return listed;
    rows = std::move(out);
    return {};
}

AddResult AddToLibrary(const std::string& library, std::span<const fs::path> paths, const AddOptions& options,
                       const PasswordPrompt& prompt) {
    FileResult opened;
    auto lib = NightLibrary::Open(library, opened, LibraryOpening::Create, prompt);
    if (!lib) {
        AddResult out;
        out.result = opened;
        out.failures.push_back(opened.message + (opened.detail.empty() ? "" : ": ") + opened.detail);
        return out;
    }
    return lib->AddPaths(paths, options);
}

}  // namespace quenda
