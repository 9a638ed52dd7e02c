// The library of nights over hand-made downloads: what it lists, when a night
// is the same one again or a longer copy of it, the user's notes through a
// lost or damaged library, a source file that has gone, and the schema's
// migration.
#include "nights/Journal.h"
#include "nights/Library.h"
#include "nights/SqliteLibrary.h"
#include "nights/LibraryRules.h"
#include "nights/LibrarySchema.h"
#include "nights/NightFigure.h"
#include "support/NightData.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "support/TestLibrary.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using test::AppendRun;
using test::Secs;

const std::int64_t kEvening = Secs(2026, 12, 6, 22, 0, 0);
constexpr std::int64_t kDay = 86400;

std::vector<NightRow> ListAll(NightLibrary& library, NightFilter filter = {}) {
    std::vector<NightRow> rows;
    EXPECT_TRUE(library.List(filter, rows));
    return rows;
}

// A morning's download of ID 3 that was never erased: every evening from the
// 6th holds an hour (the last one `lastLength` seconds), the newest night
// still going when the download was made.
std::vector<SampleRecord> Download(int evenings, int lastLength = 3600) {
    std::vector<SampleRecord> samples;
    for (int e = 0; e < evenings; ++e)
        AppendRun(samples, 3, kEvening + e * kDay, e + 1 == evenings ? lastLength : 3600);
    return samples;
}

fs::path WriteDownload(const test::TempDir& dir, const std::string& folder, const std::vector<SampleRecord>& samples) {
    fs::create_directories(dir / folder);
    const fs::path file = dir / folder / "ID3.dat";
    EXPECT_TRUE(WriteDataFile(file, 3, samples, "Report Title"));
    return file;
}

AddOptions Names() {
    AddOptions options;
    options.nameOf = [](int id) { return id == 3 ? std::string("Ann Bo") : std::string(); };
    return options;
}

// What the library does wherever it keeps its nights, run over every store.
class LibraryStores : public testing::TestWithParam<std::string> {
protected:
    test::TempDir dir{"quenda-library"};
    std::string Location(std::string_view name = "library.sqlite") const {
        return test::NewLibraryLocation(GetParam(), dir, name);
    }
};
INSTANTIATE_TEST_SUITE_P(Store, LibraryStores, testing::ValuesIn(test::LibraryKinds()), test::LibraryKindName);

TEST_P(LibraryStores, ListsEachNightWithItsFiguresAndAddsItOnce) {
    auto samples = Download(2);
    samples[5000].month = 13;  // left out, and it splits the second night
    const fs::path file = WriteDownload(dir, "d1", samples);
    auto library = test::OpenLibrary(Location("lib/library.sqlite"));
    ASSERT_TRUE(library);

    const AddResult first = library->AddFile(file, Names());
    ASSERT_TRUE(first.result) << first.result.message;
    EXPECT_EQ(std::tie(first.added, first.already, first.replaced, first.leftOut), std::make_tuple(3, 0, 0, 1));
    EXPECT_EQ(first.nights, (std::vector<NightNumber>{1, 2, 3}));

    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 3u);
    const NightRow& r = rows[1];
    EXPECT_EQ(r.night, 2);
    EXPECT_EQ(r.id, 3);
    EXPECT_EQ(r.name, "Ann Bo");
    EXPECT_EQ(r.date, "2026-12-07");
    EXPECT_EQ(r.StartText(), "2026-12-07T22:00:00");
    EXPECT_EQ(r.EndText(), "2026-12-07T22:23:19");  // sample 4999 of the file
    EXPECT_EQ(std::tie(r.first, r.last, r.samples, r.gapSeconds), std::make_tuple(3600, 4999, 1400, 0LL));
    EXPECT_EQ(fs::path(r.source), fs::absolute(file));
    EXPECT_FALSE(r.missing);
    // The stored figures are those of the night's samples alone.
    const auto part = std::span<const SampleRecord>(samples).subspan(3600, 1400);
    const ComputedFigures expected = ComputeNightFigures(part, FigureSettings{});
    EXPECT_EQ(r.figures, expected.figures);
    EXPECT_EQ(r.clinicalJson, expected.clinicalJson);

    // The same download again, as a file or as its folder: nothing new.
    const fs::path folder[] = {dir / "d1"};
    const AddResult again = library->AddPaths(folder, Names());
    EXPECT_EQ(std::tie(again.added, again.already, again.replaced), std::make_tuple(0, 3, 0));
    EXPECT_EQ(again.nights, first.nights);
    EXPECT_EQ(ListAll(*library).size(), 3u);

    // Filters: by ID and by night date, both ends included.
    NightFilter filter;
    filter.from = "2026-12-07";
    EXPECT_EQ(ListAll(*library, filter).size(), 2u);
    filter.to = "2026-12-07";
    filter.id = 4;
    EXPECT_TRUE(ListAll(*library, filter).empty());

    // Medical data: the folder 0700, the library and its journal 0600.
    if (GetParam() != "sqlite") return;
    struct stat st {};
    ASSERT_EQ(::stat((dir / "lib").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((dir / "lib" / "library.sqlite").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(JournalFileOf(dir / "lib" / "library.sqlite").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_P(LibraryStores, SetNameRenamesOneNightOnly) {
    auto library = test::OpenLibrary(Location());
    ASSERT_TRUE(library);
    ASSERT_TRUE(library->AddFile(WriteDownload(dir, "d1", Download(2)), Names()).result);
    ASSERT_TRUE(library->SetName(2, "Dee Eff"));
    const auto rows = ListAll(*library);
    EXPECT_EQ(rows[0].name, "Ann Bo");
    EXPECT_EQ(rows[1].name, "Dee Eff");
    const FileResult none = library->SetName(3, "x");
    EXPECT_FALSE(none);
    EXPECT_EQ(none.message, "There is no night 3 in the library.");
}

TEST_P(LibraryStores, ADownloadThatExtendsTheLastNightReplacesItAndKeepsItsNote) {
    auto library = test::OpenLibrary(Location());
    ASSERT_TRUE(library);
    // Monday's download caught the second night half-way; Tuesday's holds it whole.
    const fs::path monday = WriteDownload(dir, "mon", Download(2, 1800));
    const fs::path tuesday = WriteDownload(dir, "tue", Download(3));
    ASSERT_TRUE(library->AddFile(monday, {}).result);
    ASSERT_TRUE(library->SetNote(2, "slept badly"));
    ASSERT_TRUE(library->SetExclusions(2, std::vector<SampleSpan>{{0, 9}}));

    const AddResult added = library->AddFile(tuesday, {});
    EXPECT_EQ(std::tie(added.added, added.already, added.replaced), std::make_tuple(1, 1, 1));
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].night, 2);
    EXPECT_EQ(rows[1].samples, 3600);
    EXPECT_EQ(rows[1].note, "slept badly");
    EXPECT_EQ(fs::path(rows[1].source), fs::absolute(tuesday));
    std::vector<SampleSpan> spans;
    ASSERT_TRUE(library->Exclusions(2, spans));
    EXPECT_EQ(spans, (std::vector<SampleSpan>{{0, 9}}));

    // Monday's shorter copy, added late, is already there.
    const AddResult late = library->AddFile(monday, {});
    EXPECT_EQ(std::tie(late.added, late.already, late.replaced), std::make_tuple(0, 2, 0));

    // Another recording that merely starts at the same second is a night of its own.
    auto other = Download(1);
    for (auto& r : other) r.spo2 = 80;
    const AddResult distinct = library->AddFile(WriteDownload(dir, "other", other), {});
    EXPECT_EQ(distinct.added, 1);
    EXPECT_EQ(ListAll(*library).size(), 4u);

    std::vector<SampleRecord> loaded;
    ASSERT_TRUE(library->LoadNight(2, loaded));
    const auto whole = Download(3);
    EXPECT_EQ(loaded, std::vector<SampleRecord>(whole.begin() + 3600, whole.begin() + 7200));
    // The longer night's figures follow the exclusions it kept.
    EXPECT_EQ(rows[1].figures,
              ComputeNightFigures(loaded, FigureSettings{}, Exclusions(std::vector<SampleSpan>{{0, 9}})).figures);
}

// A night is "already there" or "extended" only when the stored samples are
// exactly the new ones, or exactly their beginning: one sample that differs,
// at either end of the compared part, makes a night of its own that takes
// nothing (number, note) of the stored one.
TEST_P(LibraryStores, OneDifferentSampleMakesANightOfItsOwn) {
    struct Case {
        const char* what;
        int newLength;  // the stored night holds 1800 samples
        int changed;    // the sample of the new copy that differs
    };
    for (const Case c :
         {Case{"same length, last sample", 1800, 1799}, Case{"same length, first sample", 1800, 0},
          Case{"longer, last sample of the stored part", 2400, 1799}, Case{"longer, first sample", 2400, 0}}) {
        SCOPED_TRACE(c.what);
        test::TempDir caseDir("quenda-library");
        auto library = test::OpenLibrary(test::NewLibraryLocation(GetParam(), caseDir));
        ASSERT_TRUE(library);
        ASSERT_TRUE(library->AddFile(WriteDownload(caseDir, "a", Download(1, 1800)), {}).result);
        ASSERT_TRUE(library->SetNote(1, "stored"));
        auto copy = Download(1, c.newLength);
        copy[static_cast<std::size_t>(c.changed)].spo2 ^= 1;
        const AddResult added = library->AddFile(WriteDownload(caseDir, "b", copy), {});
        EXPECT_EQ(std::tie(added.added, added.already, added.replaced), std::make_tuple(1, 0, 0));
        const auto rows = ListAll(*library);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(std::tie(rows[0].samples, rows[0].note), std::make_tuple(1800, std::string("stored")));
        EXPECT_EQ(std::tie(rows[1].samples, rows[1].note), std::make_tuple(c.newLength, std::string()));
    }
}

// A clinic's server holds each download's records: a night opens on any
// workstation, its file there or not, and the same download added at two
// desks is one set of nights, listed by the path it came from first.
TEST(ServerLibrary, AnyWorkstationOpensAnyNightAndTheSameDownloadIsOneNight) {
    if (test::PostgresServer::Programs().empty()) GTEST_SKIP() << "no PostgreSQL server installed";
    test::TempDir dir("quenda-library");
    const std::string location = test::NewLibraryLocation("postgres", dir);
    auto desk = test::OpenLibrary(location);
    auto office = test::OpenLibrary(location);
    ASSERT_TRUE(desk && office);
    const auto samples = Download(2);
    const fs::path first = WriteDownload(dir, "desk", samples);
    const fs::path second = WriteDownload(dir, "office", samples);
    EXPECT_EQ(desk->AddFile(first, {}).added, 2);
    const AddResult again = office->AddFile(second, {});
    EXPECT_EQ(std::tie(again.added, again.already), std::make_tuple(0, 2));
    fs::remove(first);
    fs::remove(second);

    const auto rows = ListAll(*office);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(fs::path(rows[1].source), fs::absolute(first));
    EXPECT_FALSE(rows[1].missing);
    std::vector<SampleRecord> loaded;
    std::string title;
    ASSERT_TRUE(office->LoadNight(2, loaded, &title));
    EXPECT_EQ(loaded, std::vector<SampleRecord>(samples.begin() + 3600, samples.end()));
    EXPECT_EQ(title, "Report Title");

    // Its address is no file to rebuild.
    const RebuildResult rebuilt = RebuildLibrary(location, {});
    EXPECT_NE(rebuilt.result.message.find("is on a server"), std::string::npos) << rebuilt.result.message;
    EXPECT_FALSE(fs::exists("postgresql:"));
}

TEST(NightLibrary, NotesRemovalsAndNumbersSurviveALostLibrary) {
    test::TempDir dir("quenda-library");
    const fs::path file = dir / "library.sqlite";
    const fs::path source = WriteDownload(dir, "d", Download(3));
    {
        auto library = test::OpenLibrary(file);
        ASSERT_TRUE(library);
        ASSERT_TRUE(library->AddFile(source, {}).result);
        ASSERT_TRUE(library->SetNote(1, "first\tnight\nwith \\ a new line"));
        ASSERT_TRUE(library->SetNote(3, "third"));
        ASSERT_TRUE(library->Remove(2));
        ASSERT_TRUE(library->SetExclusions(3, std::vector<SampleSpan>{{5, 6}, {0, 1}}));
        EXPECT_EQ(library->Remove(2).message, "There is no night 2 in the library.");
    }
    fs::remove(file);

    const RebuildResult rebuilt = RebuildLibrary(file, {});
    ASSERT_TRUE(rebuilt.result) << rebuilt.result.message << rebuilt.result.detail;
    EXPECT_EQ(rebuilt.nights, 2);
    EXPECT_EQ(rebuilt.notes, 2);
    auto library = test::OpenLibrary(file);
    ASSERT_TRUE(library);
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::tie(rows[0].night, rows[0].note),
              std::make_tuple(NightNumber{1}, std::string("first\tnight\nwith \\ a new line")));
    EXPECT_EQ(std::tie(rows[1].night, rows[1].note), std::make_tuple(NightNumber{3}, std::string("third")));
    std::vector<SampleSpan> spans;
    ASSERT_TRUE(library->Exclusions(3, spans));
    EXPECT_EQ(spans, (std::vector<SampleSpan>{{0, 1}, {5, 6}}));
    // The next download holds the removed night again: it stays out. A new
    // night never takes a number given before.
    const AddResult added = library->AddFile(WriteDownload(dir, "e", Download(4)), {});
    EXPECT_EQ(std::tie(added.added, added.already, added.removed), std::make_tuple(1, 2, 1));
    EXPECT_GT(added.nights.back(), 3);
}

TEST_P(LibraryStores, ANoteThatIsNotUtf8IsRefusedAndLeavesEverythingAsItWas) {
    const std::string location = Location();
    auto library = test::OpenLibrary(location);
    ASSERT_TRUE(library);
    ASSERT_TRUE(library->AddFile(WriteDownload(dir, "d", Download(1)), {}).result);
    ASSERT_TRUE(library->SetNote(1, "Åsa, \xF4\x8F\xBF\xBF"));  // the last code point is still text
    const auto journal = [&] { return test::JournalText(GetParam(), location); };
    const std::string before = journal();
    for (const char* bad : {"caf\xE9", "\xF4\x90\x80\x80", "cut \xE2\x82"}) {
        const FileResult noted = library->SetNote(1, bad);
        EXPECT_FALSE(noted);
        EXPECT_EQ(noted.message, "The note is not UTF-8 text; it was not stored.");
    }
    EXPECT_EQ(ListAll(*library)[0].note, "Åsa, \xF4\x8F\xBF\xBF");
    EXPECT_EQ(journal(), before);
}

TEST(NightLibrary, OpeningToReadMakesNoLibrary) {
    test::TempDir dir("quenda-library");
    const fs::path file = dir / "missing" / "deeper" / "library.sqlite";
    FileResult result;
    EXPECT_FALSE(NightLibrary::Open(file, result, LibraryOpening::ExistingOnly));
    EXPECT_TRUE(result) << result.message;
    EXPECT_FALSE(fs::exists(dir / "missing"));
    // Once made, it opens to read like any other.
    ASSERT_TRUE(test::OpenLibrary(file));
    EXPECT_TRUE(NightLibrary::Open(file, result, LibraryOpening::ExistingOnly)) << result.message;
}

TEST(NightLibrary, ADamagedLibraryIsNamedLeftAloneAndRebuiltAside) {
    test::TempDir dir("quenda-library");
    const fs::path file = dir / "library.sqlite";
    const fs::path source = WriteDownload(dir, "d", Download(2));

    // Not a database at all.
    { std::ofstream(file) << "these are my notes, not a database\n" << std::string(5000, 'x'); }
    const std::string before = test::Slurp(file);
    FileResult result;
    EXPECT_FALSE(NightLibrary::Open(file, result));
    EXPECT_NE(result.message.find(file.string()), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("damaged or is no database"), std::string::npos) << result.message;
    EXPECT_EQ(test::Slurp(file), before);
    EXPECT_FALSE(fs::exists(dir / "library.sqlite-wal"));
    fs::remove(file);

    // A real library whose pages were overwritten.
    {
        auto library = test::OpenLibrary(file);
        ASSERT_TRUE(library);
        ASSERT_TRUE(library->AddFile(source, {}).result);
        ASSERT_TRUE(library->SetNote(2, "kept through it all"));
    }
    {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096);
        const std::string garbage(static_cast<std::size_t>(fs::file_size(file)) - 4096, '\xA5');
        f.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    const std::string damaged = test::Slurp(file);
    if (auto library = NightLibrary::Open(file, result)) {
        std::vector<NightRow> rows;
        result = library->List({}, rows);
    }
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find(file.string()), std::string::npos) << result.message;
    EXPECT_EQ(test::Slurp(file), damaged);

    const RebuildResult rebuilt = RebuildLibrary(file, {});
    ASSERT_TRUE(rebuilt.result) << rebuilt.result.message << rebuilt.result.detail;
    ASSERT_FALSE(rebuilt.movedAside.empty());
    EXPECT_NE(rebuilt.movedAside.filename().string().find("library.sqlite.broken-"), std::string::npos);
    EXPECT_EQ(test::Slurp(rebuilt.movedAside), damaged);
    auto library = test::OpenLibrary(file);
    ASSERT_TRUE(library);
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].night, 2);
    EXPECT_EQ(rows[1].note, "kept through it all");
}

TEST(NightLibrary, ANightWhoseFileHasGoneStaysListedAndSaysSo) {
    test::TempDir dir("quenda-library");
    const fs::path source = WriteDownload(dir, "d", Download(2));
    const fs::path file = dir / "library.sqlite";
    auto library = test::OpenLibrary(file);
    ASSERT_TRUE(library);
    ASSERT_TRUE(library->AddFile(source, {}).result);
    ASSERT_TRUE(library->SetNote(1, "gone"));

    // Changed under the library: the night is no longer there.
    auto changed = Download(2);
    changed[100].spo2 = 50;
    ASSERT_TRUE(WriteDataFile(source, 3, changed, ""));
    std::vector<SampleRecord> samples{SampleRecord{}};
    FileResult loaded = library->LoadNight(1, samples);
    EXPECT_EQ(loaded.message, "The file " + fs::absolute(source).string() + " no longer holds this night.");
    EXPECT_EQ(samples.size(), 1u);

    fs::remove(source);
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].missing && rows[1].missing);
    loaded = library->LoadNight(1, samples);
    EXPECT_EQ(loaded.message, "The file " + fs::absolute(source).string() + " holding this night is missing.");
    EXPECT_EQ(samples.size(), 1u);

    // A rebuild of a healthy library keeps them, missing, with their notes.
    const RebuildResult rebuilt = RebuildLibrary(file, {});
    ASSERT_TRUE(rebuilt.result) << rebuilt.result.message;
    EXPECT_EQ(rebuilt.missingSources, 1);
    library = test::OpenLibrary(file);
    const auto after = ListAll(*library);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_TRUE(after[0].missing);
    EXPECT_EQ(after[0].note, "gone");
}

// A rebuild whose copy of the nights without a file fails (here the old
// library's table has a column the new one lacks) stops before the rename:
// the old library stays as it was, nothing half-made beside it, and the
// message says which step failed and why.
TEST(NightLibrary, ARebuildThatCannotCopyANightLeavesTheOldLibraryInPlace) {
    test::TempDir dir("quenda-library");
    const fs::path source = WriteDownload(dir, "d", Download(2));
    const fs::path file = dir / "library.sqlite";
    {
        auto library = test::OpenLibrary(file);
        ASSERT_TRUE(library);
        ASSERT_TRUE(library->AddFile(source, {}).result);
        ASSERT_TRUE(library->SetNote(1, "kept"));
        ASSERT_EQ(sqlite3_exec(SqliteHandle(*library), "ALTER TABLE nights ADD COLUMN foreign_extra", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
    }
    fs::remove(source);

    const RebuildResult rebuilt = RebuildLibrary(file, {});
    EXPECT_FALSE(rebuilt.result);
    EXPECT_EQ(rebuilt.result.message,
              "The nights library " + file.string() + " could not be rebuilt; it is left as it was");
    EXPECT_NE(rebuilt.result.detail.find("copying the nights whose file is gone: "), std::string::npos)
        << rebuilt.result.detail;
    EXPECT_FALSE(fs::exists(file.string() + ".rebuild"));
    auto library = test::OpenLibrary(file);
    ASSERT_TRUE(library);
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].note, "kept");
}

TEST(NightLibrary, FiguresAnOlderProgramStoredAreComputedAgain) {
    // Stored under the same settings by a program that gave fewer figures:
    // its key names the settings alone.
    test::TempDir dir("quenda-library");
    const auto samples = Download(1);
    auto library = test::OpenLibrary(dir / "library.sqlite");
    ASSERT_TRUE(library->AddFile(WriteDownload(dir, "d1", samples), Names()).result);
    const char* older = "UPDATE nights SET clinical=x'',computed_under='default;94,88,150,60,4,6'";
    ASSERT_EQ(sqlite3_exec(SqliteHandle(*library), older, nullptr, nullptr, nullptr), SQLITE_OK);
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].clinicalJson, ComputeNightFigures(samples, FigureSettings{}).clinicalJson);
    EXPECT_NE(rows[0].clinicalJson.find("\"biomarkers\":{"), std::string::npos);

    // The reading wrote nothing (a window may list from its own thread);
    // UpdateFigures, where the settings change, stores them.
    const auto storedKey = [&] {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(SqliteHandle(*library), "SELECT computed_under FROM nights", -1, &s, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(sqlite3_step(s), SQLITE_ROW);
        std::string key = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        return key;
    };
    NightRow shown;
    ASSERT_TRUE(library->Show(rows[0].night, shown));
    EXPECT_EQ(shown.clinicalJson, rows[0].clinicalJson);
    EXPECT_EQ(storedKey(), "default;94,88,150,60,4,6");
    ASSERT_TRUE(library->UpdateFigures());
    EXPECT_EQ(storedKey(), FigureSettings{}.Key());
    EXPECT_EQ(ListAll(*library)[0].clinicalJson, rows[0].clinicalJson);
}

TEST(NightLibrary, MigratesAVersion1FileAfterABackup) {
    test::TempDir dir("quenda-library");
    const fs::path file = dir / "library.sqlite";
    // Its clinical JSON, of a scored night, is all an older program kept of
    // the figures that are columns now.
    const auto samples = Download(1);
    const std::int64_t tenMinutesIn = (*SampleSeconds(samples.front()) + 600) * 1000;
    const ScoredStudy oneApnea{"", {{tenMinutesIn, 20'000, AnnotationKind::Apnea, SleepStage::None, "Apnea"}}};
    const ComputedFigures older = ComputeNightFigures(samples, FigureSettings{}, {}, oneApnea);
    ASSERT_TRUE(older.clinicalColumns.Find("hypoxic_burden_window_end"));
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, kLibrarySchemaV1, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db,
                                     "INSERT INTO nights(id,date,start,\"end\",samples,gap_seconds,source,first,last,"
                                     "clinical,note,added_at,digest,odi3) VALUES(3,'2026-12-06',849909600,849913199,"
                                     "3600,0,'/nowhere/ID3.dat',0,3599,?,'from version 1',0,0,4.5)",
                                     -1, &insert, nullptr),
                  SQLITE_OK);
        const std::string json = Deflate(older.clinicalJson);
        sqlite3_bind_blob(insert, 1, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }
    auto library = test::OpenLibrary(file);
    ASSERT_TRUE(library);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(SqliteHandle(*library), "PRAGMA user_version", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), kLibrarySchemaVersion);
    sqlite3_finalize(s);
    const auto rows = ListAll(*library);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].note, "from version 1");
    EXPECT_EQ(rows[0].figures.odi3, 4.5);
    EXPECT_EQ(rows[0].figures.coverage, 100);
    EXPECT_TRUE(rows[0].missing);
    EXPECT_EQ(rows[0].clinicalColumns, older.clinicalColumns);
    EXPECT_EQ(ScoredFiguresOf(rows[0]).apneas, 1);
    EXPECT_EQ(library->SetExclusions(rows[0].night, std::vector<SampleSpan>{{10, 3600}}).message,
              "The span is not inside the night.");
    // Its file is gone: no figures could follow new exclusions, so none are kept.
    EXPECT_NE(library->SetExclusions(rows[0].night, std::vector<SampleSpan>{{10, 20}}).message.find("is missing"),
              std::string::npos);

    // The backup is the version-1 file as it was.
    sqlite3* backup = nullptr;
    ASSERT_EQ(sqlite3_open_v2(LibraryBackupFile(file, 1).c_str(), &backup, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(backup, "PRAGMA user_version", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 1);
    sqlite3_finalize(s);
    sqlite3_close(backup);

    // A file from a newer program is refused, not changed.
    ASSERT_EQ(sqlite3_exec(SqliteHandle(*library), "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    library.reset();
    FileResult result;
    EXPECT_FALSE(NightLibrary::Open(file, result));
    EXPECT_EQ(result.message, "The nights library " + file.string() + " was made by a newer Quenda");
}

TEST(NightLibrary, AFoundNightIsNewAlreadyHeldOrExtendsTheHeldOne) {
    test::TempDir dir;
    const std::vector<SampleRecord> night = Download(1, 100);  // one night of 100 samples
    const std::span<const SampleRecord> all(night);
    const std::int64_t digest = NightDigest(all);
    std::vector<SampleRecord> other = night;
    other[50].spo2 ^= 1;
    std::vector<SampleRecord> longer = night;
    AppendRun(longer, 3, kEvening + 100, 1);
    // A held night's file: two samples of another night ahead of it.
    std::vector<SampleRecord> file;
    AppendRun(file, 3, kEvening - 7200, 2);
    const auto holding = [&](const char* name, const std::vector<SampleRecord>& held) {
        std::vector<SampleRecord> records = file;
        records.insert(records.end(), held.begin(), held.end());
        EXPECT_TRUE(WriteDataFile(dir / name, 3, records, ""));
        return dir / name;
    };
    const fs::path longerFile = holding("longer.dat", longer);
    std::vector<SampleRecord> longerOther = other;
    AppendRun(longerOther, 3, kEvening + 100, 1);
    const fs::path longerOtherFile = holding("longer-other.dat", longerOther);
    struct Case {
        const char* what;
        HeldNight held;
        NightMatch expected;
    } cases[] = {
        {"the same samples", {100, digest, "", 0}, NightMatch::Already},
        {"as many other samples", {100, NightDigest(other), "", 0}, NightMatch::New},
        {"one sample fewer, the same start", {99, NightDigest(all.first(99)), "", 0}, NightMatch::Extends},
        {"one sample fewer, another start", {99, NightDigest(std::span(other).first(99)), "", 0}, NightMatch::New},
        {"one more, beginning with it", {101, NightDigest(longer), longerFile, 2}, NightMatch::Already},
        {"one more, beginning otherwise", {101, NightDigest(longerOther), longerOtherFile, 2}, NightMatch::New},
        {"one more, its file gone", {101, NightDigest(longer), dir / "gone.dat", 2}, NightMatch::Already},
        {"one more, its file one sample short",
         {101, NightDigest(longerOther), longerOtherFile, 3},
         NightMatch::Already},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyNight(c.held, all, digest, ReadSourceFile), c.expected) << c.what;
}

TEST(NightLibrary, AFilterDateIsACalendarDateTheDataFileCanHold) {
    EXPECT_TRUE(IsDateText("2026-12-06"));
    EXPECT_FALSE(IsDateText("2026-02-30"));
    EXPECT_FALSE(IsDateText("2026-1-06"));
    EXPECT_FALSE(IsDateText("1999-12-31"));
}

TEST(NightJournal, LinesReadBackAndACutLineIsSkipped) {
    const JournalEntry entries[] = {
        {1, JournalKind::Add, 4, 3, 849909600, "/data/ID3.dat"},
        {2, JournalKind::Note, 4, 3, 849909600, "tab\there\nline\\end\r"},
        {3, JournalKind::Remove, 4, 3, 849909600, ""},
        {4, JournalKind::Exclusions, 4, 3, 849909600, "0-9,20-30"},
        {5, JournalKind::Shift, 4, 3, 849909600, "-3600"},
        {6, JournalKind::Unshift, 4, 3, 849909600, ""},
        {7, JournalKind::Merge, 4, 3, 849909600, "5 849920000"},
        {8, JournalKind::Unmerge, 4, 3, 849909600, ""},
        {9, JournalKind::Split, 4, 3, 849909600, "1200 6"},
        {10, JournalKind::Unsplit, 4, 3, 849909600, ""},
        // Naming the night's samples too: with and without a text.
        {11, JournalKind::Note, 4, 3, 849909600, "3600 -5", 3600, -5},
        {12, JournalKind::Remove, 4, 3, 849909600, "", 1, INT64_MIN},
    };
    for (const JournalEntry& e : entries) {
        JournalEntry back;
        const std::string line = JournalLine(e);
        ASSERT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
        ASSERT_TRUE(ParseJournalLine(line.substr(0, line.size() - 1), back)) << line;
        EXPECT_EQ(back, e);
        JournalEntry cut;
        EXPECT_FALSE(ParseJournalLine(line.substr(0, 6), cut));
    }
    // A line written before the samples were journalled reads as it did; a
    // note's text that looks like them stays its text.
    const struct {
        const char* line;
        JournalEntry entry;
    } lines[] = {
        {"1\tnote\t4\t3\t849909600\t3600 -5", {1, JournalKind::Note, 4, 3, 849909600, "3600 -5"}},
        {"1\tnote\t4\t3\t849909600\t3600 -5\tx", {1, JournalKind::Note, 4, 3, 849909600, "x", 3600, -5}},
        {"1\tunsplit\t4\t3\t849909600", {1, JournalKind::Unsplit, 4, 3, 849909600, ""}},
        {"1\tunsplit\t4\t3\t849909600\t7 9", {1, JournalKind::Unsplit, 4, 3, 849909600, "", 7, 9}},
    };
    for (const auto& l : lines) {
        JournalEntry back;
        ASSERT_TRUE(ParseJournalLine(l.line, back)) << l.line;
        EXPECT_EQ(back, l.entry) << l.line;
    }
    JournalEntry none;
    EXPECT_FALSE(ParseJournalLine("1\tunsplit\t4\t3\t849909600\t0 9", none));  // a night has samples
    EXPECT_FALSE(ParseJournalLine("1\tunsplit\t4\t3\t849909600\t7 9\tx", none));
    std::vector<SampleSpan> spans;
    EXPECT_TRUE(ParseSpans("0-9,20-30", spans));
    EXPECT_EQ(spans, (std::vector<SampleSpan>{{0, 9}, {20, 30}}));
    EXPECT_FALSE(ParseSpans("0-9,x", spans));
    std::int64_t a = 0, b = 0;
    EXPECT_TRUE(ParsePair(PairText(1200, 6), a, b));
    EXPECT_EQ(std::tie(a, b), std::make_tuple(std::int64_t{1200}, std::int64_t{6}));
    EXPECT_FALSE(ParsePair("1200", a, b));
}

}  // namespace
}  // namespace quenda
