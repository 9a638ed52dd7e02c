#pragma once

#include "analysis/ScoredStudy.h"
#include "nights/Library.h"

#include <filesystem>
#include <span>

namespace quenda {

// A sleep study's scoring goes into the library under its ID before the
// study's nights are added, so their figures count it from the first (a
// night takes the scoring that lies over it). `nights add` and File >
// Import... both come this way.

// Keeps `study` under `id`; an empty study keeps nothing and succeeds.
FileResult KeepStudyScoring(NightLibrary& library, int id, const ScoredStudy& study);

// Opens the library at `library` (making it when it is not there), keeps
// `study` under `id`, then adds `paths` as AddToLibrary does. A scoring that
// cannot be kept adds nothing and says why.
AddResult AddStudyNights(const std::string& library, int id, const ScoredStudy& study,
                         std::span<const std::filesystem::path> paths, const AddOptions& options,
                         const PasswordPrompt& ask = {});

}  // namespace quenda
