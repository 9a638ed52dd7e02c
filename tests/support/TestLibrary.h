#pragma once

// Where a library test's library is, whatever store it is of: the one road
// by which the library's suites make and open one, so that a suite runs over
// every store by its parameter (LibraryKinds) and nothing else.

#include "nights/Library.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenda::test {

// The stores the parameterised library suites run over. A server store
// joins here, its location made in NewLibraryLocation.
inline std::vector<std::string> LibraryKinds() { return {"sqlite"}; }

// A gtest parameter's name for a kind.
inline std::string LibraryKindName(const testing::TestParamInfo<std::string>& info) { return info.param; }

// Where a fresh, empty library of `kind` is for a test whose folder is
// `dir`; `name` tells a test's several libraries apart. For "sqlite" the
// file `dir/name` (not made yet: opening makes it).
inline std::string NewLibraryLocation(std::string_view kind, const TempDir& dir,
                                      std::string_view name = "library.sqlite") {
    if (kind == "sqlite") return (dir / std::string(name)).string();
    ADD_FAILURE() << "no library store of kind " << kind;
    return {};
}

// Opens the library at `location` (made when missing), failing the test with
// the message when it cannot.
inline std::unique_ptr<NightLibrary> OpenLibrary(const std::string& location,
                                                 LibraryOpening opening = LibraryOpening::Create) {
    FileResult result;
    auto library = NightLibrary::Open(std::filesystem::path(location), result, opening);
    EXPECT_TRUE(library || opening == LibraryOpening::ExistingOnly) << result.message << ": " << result.detail;
    return library;
}

// The journal of the library of `kind` at `location` as text, to see that a
// refused change wrote none.
inline std::string JournalText(std::string_view kind, const std::string& location) {
    if (kind == "sqlite") return Slurp(JournalFileOf(location));
    ADD_FAILURE() << "no library store of kind " << kind;
    return {};
}

}  // namespace quenda::test
