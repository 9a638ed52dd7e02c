#include "nights/StudyNights.h"

namespace quenda {

FileResult KeepStudyScoring(NightLibrary& library, int id, const ScoredStudy& study) {
    if (study.Empty()) return {};
    return library.SetScoring(id, study);
}

AddResult AddStudyNights(const std::string& library, int id, const ScoredStudy& study,
                         std::span<const std::filesystem::path> paths, const AddOptions& options,
                         const PasswordPrompt& ask) {
    if (study.Empty()) return AddToLibrary(library, paths, options, ask);
    AddResult out;
    auto lib = NightLibrary::Open(library, out.result, LibraryOpening::Create, ask);
    if (lib) out.result = KeepStudyScoring(*lib, id, study);
    if (!out.result) {
        out.failures.push_back(out.result.message + (out.result.detail.empty() ? "" : ": ") + out.result.detail);
        return out;
    }
    return lib->AddPaths(paths, options);
}

}  // namespace quenda
