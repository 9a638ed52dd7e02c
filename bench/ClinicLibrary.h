#pragma once

// A clinic's library for the benchmarks: 10,000 nights, the same on a file
// and on a local PostgreSQL server started as the tests start theirs
// (tests/support/PostgresServer.h), so that the two stores are measured on
// the same nights.

#include "nights/Library.h"
#include "nights/PostgresDatabase.h"
#include "nights/PostgresSchema.h"
#include "support/NightData.h"
#include "support/PostgresServer.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace quenda::bench {

inline constexpr int kClinicNights = 10'000;

// The server of this benchmark run, started when first asked for and stopped
// when the program ends; its Problem() says why it is not running.
inline test::PostgresServer& Server() {
    static test::PostgresServer server;
    return server;
}

// A new empty library in database `name` on the server (copied from
// `templateName` when one is given: a fresh library in a few milliseconds);
// "" when the server or the database is not there.
inline std::string NewServerLibrary(const std::string& name, const std::string& templateName = {}) {
    if (!Server().Problem().empty()) {
        std::fprintf(stderr, "no server: %s\n", Server().Problem().c_str());
        return {};
    }
    FileResult connected;
    {
        const auto db = PostgresDatabase::Connect(Server().Uri(), {}, connected);
        if (!db || !db->Exec("DROP DATABASE IF EXISTS " + name) ||
            !db->Exec("CREATE DATABASE " + name + (templateName.empty() ? "" : " TEMPLATE " + templateName)))
            return {};
    }
    const std::string uri = Server().Uri(name);
    std::string where;
    if (templateName.empty() && !InitServerLibrary(uri, {}, where)) return {};
    return uri;
}

// Adds the clinic's 10,000 nights to the library at `location`: 100 IDs of
// 100 nights each, one a day, each a 20-minute run with a dip every few
// minutes (a night's stored figures, which a listing reads, do not grow
// with its length; the shorter nights keep the making quick). A data file
// per ID, as downloads come. False when a night was not added.
inline bool AddClinicNights(const std::string& location) {
    FileResult opened;
    auto library = NightLibrary::Open(std::filesystem::path(location), opened);
    if (!library) return false;
    for (int id = 1; id <= kClinicNights / 100; ++id) {
        std::vector<SampleRecord> samples;
        for (int n = 0; n < 100; ++n) {
            const std::int64_t start = test::Secs(2026, 1, 1, 22, 0, 0) + n * 86400;
            for (int i = 0; i < 1200; ++i)
                samples.push_back(test::SampleAt(id, start + i, i % (120 + (n + id) % 200) < 15 ? 87 : 95));
        }
        const std::filesystem::path source = "/clinic/ID" + std::to_string(id) + ".dat";
        if (library->AddSamples(source, id, samples, {}).added != 100) return false;
    }
    return true;
}

// The clinic's nights, made once a run: in the file clinic.sqlite in `dir`
// (server false) or in the database "clinic" on the server; "" when they
// could not be made.
inline const std::string& ClinicLibrary(const std::filesystem::path& dir, bool server) {
    static const std::string file = [&dir] {
        const std::string library = (dir / "clinic.sqlite").string();
        return AddClinicNights(library) ? library : std::string();
    }();
    if (!server) return file;
    static const std::string uri = [] {
        const std::string library = NewServerLibrary("clinic");
        return !library.empty() && AddClinicNights(library) ? library : std::string();
    }();
    return uri;
}

}  // namespace quenda::bench
