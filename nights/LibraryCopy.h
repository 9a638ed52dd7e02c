#pragma once

// A library copied into another, whatever store either is (a file here, a
// clinic's server): its nights, with their numbers where the target has them
// free, then the user's changes as its journal holds them (notes, exclusions,
// removals, clock shifts, merges, splits, scoring). Copying again adds
// nothing and changes nothing: a night the target holds is met again as
// "already there", and a journal line the target's journal holds is not made
// twice.

#include "nights/SqlLibrary.h"

#include <string>
#include <vector>

namespace quenda {

struct CopyResult {
    int copied = 0;      // nights the target lists now that it did not before
    int already = 0;     // the copied library's other listed nights: the target holds them
    int replayed = 0;    // journal lines made again in the target
    int missing = 0;     // listed nights whose source is missing: they cannot be copied
    std::vector<std::string> failures;  // one line per source that could not be read or added
    FileResult result;   // ok when every source there was copied
};

// Copies `from` into `to`. The nights' figures follow `options.figures`;
// their patient names `options.nameOf`.
CopyResult CopyLibrary(SqlLibrary& from, SqlLibrary& to, const AddOptions& options);

}  // namespace quenda
