#pragma once

// Where a library test's library is, whatever store it is of: the one road
// by which the library's suites make and open one, so that a suite runs over
// every store by its parameter (LibraryKinds) and nothing else.

#include "nights/Library.h"
#include "nights/PostgresDatabase.h"
#include "nights/PostgresSchema.h"
#include "support/PostgresServer.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenda::test {

// The stores the parameterised library suites run over: a file, and a
// PostgreSQL server of the test's own where one is installed
// (tools/bootstrap.sh installs it).
inline std::vector<std::string> LibraryKinds() {
    if (PostgresServer::Programs().empty()) return {"sqlite"};
    return {"sqlite", "postgres"};
}

// The one server a test process's "postgres" libraries are on, started when
// first asked for and stopped, by its PID, when the process ends.
inline PostgresServer& TestServer() {
    static PostgresServer server;
    return server;
}

// A new database on the test server holding an empty library, as `nights
// init` makes it; "" (and the test failed) when it cannot be made.
inline std::string NewServerLibrary() {
    static int count = 0;
    PostgresServer& server = TestServer();
    if (!server.Problem().empty()) {
        ADD_FAILURE() << server.Problem();
        return {};
    }
    const std::string name = "library" + std::to_string(++count);
    FileResult connected;
    {
        const auto db = PostgresDatabase::Connect(server.Uri(), {}, connected);
        if (!db || !db->Exec("CREATE DATABASE " + name)) {
            ADD_FAILURE() << connected.message << connected.detail << (db ? db->LastError() : "");
            return {};
        }
    }
    const std::string uri = server.Uri(name);
    std::string where;
    if (FileResult made = InitServerLibrary(uri, {}, where); !made) {
        ADD_FAILURE() << made.message << ": " << made.detail;
        return {};
    }
    return uri;
}

// A gtest parameter's name for a kind.
inline std::string LibraryKindName(const testing::TestParamInfo<std::string>& info) { return info.param; }

// Where a fresh, empty library of `kind` is for a test whose folder is
// `dir`; `name` tells a test's several libraries apart. For "sqlite" the
// file `dir/name` (not made yet: opening makes it).
inline std::string NewLibraryLocation(std::string_view kind, const TempDir& dir,
                                      std::string_view name = "library.sqlite") {
    if (kind == "sqlite") return (dir / std::string(name)).string();
    if (kind == "postgres") return NewServerLibrary();
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
    if (kind == "postgres") {
        FileResult connected;
        const auto db = PostgresDatabase::Connect(location, {}, connected);
        EXPECT_TRUE(db) << connected.message << connected.detail;
        std::string text;
        if (!db) return text;
        Statement lines(*db, "SELECT line FROM journal ORDER BY rowid");
        while (lines.Step() == SqlStep::Row) text += lines.Text(0) + "\n";
        return text;
    }
    ADD_FAILURE() << "no library store of kind " << kind;
    return {};
}

}  // namespace quenda::test
