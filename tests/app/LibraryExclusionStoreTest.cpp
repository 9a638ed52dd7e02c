// A data set's exclusions live in the library night that holds its samples,
// and only there: a copy of the night's first part (an older download) sees
// and changes just that part; another recording that started at the same
// second is another night.
#include "app/LibraryExclusionStore.h"
#include "document/AppContext.h"
#include "nights/Library.h"
#include "store/DataFile.h"
#include "support/NightData.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace quenda {
namespace {

namespace fs = std::filesystem;

using Spans = std::vector<SampleSpan>;

TEST(LibraryExclusionStore, ADataSetChangesOnlyTheNightWhoseSamplesItHolds) {
    const std::int64_t evening = test::Secs(2026, 12, 6, 22, 0, 0);
    std::vector<SampleRecord> night;
    test::AppendRun(night, 3, evening, 3600);
    std::vector<SampleRecord> other = night;  // the same ID and start, another recording
    for (SampleRecord& r : other) r.spo2 = 90;

    struct Case {
        const char* what;
        std::vector<SampleRecord> opened;
        Spans loaded;         // what the data set shows of night 1's exclusions
        Spans nightAfter;     // night 1's after excluding 100-200 on it
        std::size_t nights;   // in the library then
    };
    const Spans stored{{0, 9}, {1700, 1900}, {3000, 3100}};
    const std::vector<Case> cases{
        {"the night itself", night, stored, {{0, 9}, {100, 200}, {1700, 1900}, {3000, 3100}}, 1},
        {"its first half", {night.begin(), night.begin() + 1800}, {{0, 9}, {1700, 1799}},
         {{0, 9}, {100, 200}, {1700, 1900}, {3000, 3100}}, 1},
        {"its first sample only", {night.begin(), night.begin() + 1}, {{0, 0}}, stored, 1},
        {"another recording", other, {}, stored, 2},
        {"another recording's first half", {other.begin(), other.begin() + 1800}, {}, stored, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        fs::create_directories(dir / "download");
        ASSERT_TRUE(WriteDataFile(dir / "download" / "ID3.dat", 3, night, ""));
        const fs::path library = dir / "library.sqlite";
        const fs::path paths[] = {dir / "download"};
        ASSERT_TRUE(AddToLibrary(library, paths, {}).result);
        {
            FileResult opened;
            auto lib = NightLibrary::Open(library, opened);
            ASSERT_TRUE(lib && lib->SetExclusions(1, stored));
        }
        AppContext context;
        context.settings = Settings(dir / "Quenda.ini");
        LibraryExclusionStore kept([&] { return library; }, context.settings);
        context.clinical.SetExclusionStore(&kept);
        UseAsCurrentData(context, 3, c.opened, PatientSource::PatientFile);
        EXPECT_EQ(context.clinical.CurrentExclusions().Spans(), c.loaded);

        std::string error;
        if (c.opened.size() > 200) {
            ASSERT_TRUE(context.clinical.Exclude({100, 200}, error)) << error;
        }
        FileResult opened;
        auto lib = NightLibrary::Open(library, opened);
        ASSERT_TRUE(lib);
        Spans now;
        ASSERT_TRUE(lib->Exclusions(1, now));
        EXPECT_EQ(now, c.nightAfter);
        std::vector<NightRow> rows;
        ASSERT_TRUE(lib->List({}, rows));
        EXPECT_EQ(rows.size(), c.nights);
        // The data set opened again shows what was kept for it.
        if (c.opened.size() > 200) {
            UseAsCurrentData(context, 3, c.opened, PatientSource::PatientFile);
            EXPECT_TRUE(context.clinical.CurrentExclusions().Contains(150));
        }
    }
    ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace quenda
