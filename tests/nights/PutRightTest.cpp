// Nights put right: a recorder's clock shifted, a broken night merged, a
// night split, each undone, each through a later download and a rebuild, and
// the refusals that leave the library as it was.
#include "nights/BrokenNight.h"
#include "nights/Journal.h"
#include "nights/Library.h"
#include "support/NightData.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "support/TestLibrary.h"

#include <gtest/gtest.h>

#include <functional>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using test::AppendRun;

const std::int64_t kEvening = test::Secs(2026, 12, 6, 22, 0, 0);
constexpr std::int64_t kDay = 86400;
// Night 2 starts this long after night 1's last sample: the recorder was
// off for 4,000 seconds, longer than the night rule's step.
constexpr std::int64_t kBreak = 4001;

// ID 3's download: night 1 (an hour from 22:00 on the 6th), night 2 (half an
// hour after the break), night 3 (an hour from 22:00 on the 7th), and
// `extra` more seconds of night 3 when a later download holds more of it.
std::vector<SampleRecord> Download(int extra = 0) {
    std::vector<SampleRecord> samples;
    AppendRun(samples, 3, kEvening, 3600);
    AppendRun(samples, 3, kEvening + 3599 + kBreak, 1800);
    AppendRun(samples, 3, kEvening + kDay, 3600 + extra);
    return samples;
}

struct Fixture {
    explicit Fixture(std::string storeKind = "sqlite") : kind(std::move(storeKind)) {
        Open();
        EXPECT_EQ(library->AddFile(source, {}).added, 3);
    }
    std::string kind;
    test::TempDir dir{"quenda-put-right"};
    std::string file = test::NewLibraryLocation(kind, dir);
    std::vector<SampleRecord> samples = Download();
    fs::path source = Write("d1", samples);
    std::unique_ptr<NightLibrary> library;

    fs::path Write(const std::string& folder, const std::vector<SampleRecord>& records, int id = 3) const {
        fs::create_directories(dir / folder);
        const fs::path path = dir / folder / ("ID" + std::to_string(id) + ".dat");
        EXPECT_TRUE(WriteDataFile(path, static_cast<std::uint8_t>(id), records, ""));
        return path;
    }
    void Open() {
        library = test::OpenLibrary(file);
        ASSERT_TRUE(library);
    }
    NightRow Row(NightNumber night) const {
        NightRow row;
        EXPECT_TRUE(library->Show(night, row)) << night;
        return row;
    }
    std::vector<SampleRecord> Samples(NightNumber night) const {
        std::vector<SampleRecord> out;
        EXPECT_TRUE(library->LoadNight(night, out)) << night;
        return out;
    }
    std::vector<SampleSpan> Spans(NightNumber night) const {
        std::vector<SampleSpan> spans;
        EXPECT_TRUE(library->Exclusions(night, spans)) << night;
        return spans;
    }
    // Everything the library lists and shows of its nights.
    struct Night {
        NightRow row;
        std::vector<SampleSpan> spans;
        NightChanges changes;
    };
    std::vector<Night> Everything() const {
        std::vector<NightRow> rows;
        EXPECT_TRUE(library->List({}, rows));
        std::vector<Night> out;
        for (const NightRow& r : rows) {
            Night n{r, Spans(r.night), {}};
            EXPECT_TRUE(library->Changes(r.night, n.changes));
            out.push_back(std::move(n));
        }
        return out;
    }
};

void ExpectSame(const std::vector<Fixture::Night>& a, const std::vector<Fixture::Night>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        const NightRow& x = a[i].row;
        const NightRow& y = b[i].row;
        SCOPED_TRACE("night " + std::to_string(x.night));
        EXPECT_EQ(
            std::tie(x.night, x.date, x.start, x.end, x.clockShift, x.samples, x.gapSeconds, x.first, x.last, x.note),
            std::tie(y.night, y.date, y.start, y.end, y.clockShift, y.samples, y.gapSeconds, y.first, y.last, y.note));
        EXPECT_EQ(x.figures, y.figures);
        EXPECT_EQ(x.clinicalJson, y.clinicalJson);
        EXPECT_EQ(a[i].spans, b[i].spans);
        EXPECT_EQ(a[i].changes, b[i].changes);
    }
}

// What putting nights right does wherever the library keeps them, run over every store.
class PutRightStores : public testing::TestWithParam<std::string> {};
INSTANTIATE_TEST_SUITE_P(Store, PutRightStores, testing::ValuesIn(test::LibraryKinds()), test::LibraryKindName);

std::vector<SampleRecord> Part(const std::vector<SampleRecord>& all, std::size_t first, std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(first), all.begin() + static_cast<std::ptrdiff_t>(first + count)};
}

TEST_P(PutRightStores, AClockShiftMovesTimesDateAndSamples) {
    Fixture f(GetParam());
    // Night 1 starts 22:00:00 on the 6th; a night starting before noon is the day before's.
    struct Case {
        std::int64_t shift;
        const char* start;
        const char* date;
    } cases[] = {
        {3600, "2026-12-06T23:00:00", "2026-12-06"},
        {7200, "2026-12-07T00:00:00", "2026-12-06"},    // past midnight: still the 6th's night
        {-36000, "2026-12-06T12:00:00", "2026-12-06"},  // noon itself
        {-36001, "2026-12-06T11:59:59", "2026-12-05"},  // a second before noon
        {50400, "2026-12-07T12:00:00", "2026-12-07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        ASSERT_TRUE(f.library->Shift(1, c.shift));
        const NightRow row = f.Row(1);
        EXPECT_EQ(std::tie(row.clockShift, row.date), std::make_tuple(c.shift, std::string(c.date)));
        EXPECT_EQ(row.StartText(), c.start);
        EXPECT_EQ(row.end - row.start, 3599);
        const auto shifted = f.Samples(1);
        ASSERT_EQ(shifted.size(), 3600u);
        EXPECT_EQ(IsoLocalTime(*SampleSeconds(shifted.front())), c.start);
        EXPECT_EQ(shifted.back().spo2, f.samples[3599].spo2);
        // The stored figures' times are the shifted samples' too.
        EXPECT_EQ(row.clinicalJson, ComputeNightFigures(shifted, FigureSettings{}).clinicalJson);
        NightFilter onItsDate;
        onItsDate.from = onItsDate.to = c.date;
        std::vector<NightRow> listed;
        ASSERT_TRUE(f.library->List(onItsDate, listed));
        ASSERT_FALSE(listed.empty());
        EXPECT_EQ(listed.front().night, 1);
        ASSERT_TRUE(f.library->Unshift(1));
        EXPECT_EQ(f.Row(1).StartText(), "2026-12-06T22:00:00");
    }
    // Two shifts add up; the sum 0 is no shift.
    ASSERT_TRUE(f.library->Shift(1, 600));
    ASSERT_TRUE(f.library->Shift(1, -600));
    EXPECT_EQ(f.Row(1).clockShift, 0);
    EXPECT_EQ(f.Samples(1), Part(f.samples, 0, 3600));
}

TEST_P(PutRightStores, ALaterDownloadKeepsTheShiftAndItsFiguresFollow) {
    Fixture f(GetParam());
    ASSERT_TRUE(f.library->Shift(3, -3600));
    // The same download again, and one that holds more of night 3.
    EXPECT_EQ(f.library->AddFile(f.source, {}).already, 3);
    const AddResult longer = f.library->AddFile(f.Write("d2", Download(600)), {});
    EXPECT_EQ(std::tie(longer.added, longer.already, longer.replaced), std::make_tuple(0, 2, 1));
    const NightRow row = f.Row(3);
    EXPECT_EQ(std::tie(row.samples, row.clockShift), std::make_tuple(4200, std::int64_t{-3600}));
    EXPECT_EQ(row.StartText(), "2026-12-07T21:00:00");
    EXPECT_EQ(row.clinicalJson, ComputeNightFigures(f.Samples(3), FigureSettings{}).clinicalJson);
    EXPECT_EQ(IsoLocalTime(*SampleSeconds(f.Samples(3).back())), "2026-12-07T22:09:59");
}

TEST_P(PutRightStores, AMergeJoinsABrokenNightAndUnmergeGivesBothBack) {
    Fixture f(GetParam());
    ASSERT_TRUE(f.library->SetNote(1, "went to bed"));
    ASSERT_TRUE(f.library->SetNote(2, "after the break"));
    ASSERT_TRUE(f.library->SetExclusions(1, std::vector<SampleSpan>{{0, 9}}));
    ASSERT_TRUE(f.library->SetExclusions(2, std::vector<SampleSpan>{{5, 9}}));
    const auto before = f.Everything();

    NightNumber merged = 0;
    ASSERT_TRUE(f.library->Merge(2, 1, &merged));  // either order
    EXPECT_EQ(merged, 1);
    const NightRow row = f.Row(1);
    // 5,400 samples over 9,400 seconds: the 4,000 s the recorder was off are a gap.
    EXPECT_EQ(std::tie(row.samples, row.gapSeconds, row.first, row.last), std::make_tuple(5400, 4000LL, 0, 5399));
    EXPECT_EQ(row.EndText(), "2026-12-07T00:36:39");
    EXPECT_EQ(row.note, "went to bed\nafter the break");
    const std::vector<SampleSpan> spans{{0, 9}, {3605, 3609}};
    EXPECT_EQ(f.Spans(1), spans);
    const auto samples = f.Samples(1);
    EXPECT_EQ(samples, Part(f.samples, 0, 5400));
    EXPECT_EQ(row.figures, ComputeNightFigures(samples, FigureSettings{}, Exclusions(spans)).figures);
    EXPECT_EQ(f.Everything().size(), 2u);
    NightRow hidden;
    EXPECT_EQ(f.library->Show(2, hidden).message, "Night 2 was merged into night 1.");
    NightChanges changes;
    ASSERT_TRUE(f.library->Changes(1, changes));
    EXPECT_EQ(changes.mergedFrom, (std::vector<NightNumber>{1, 2}));

    // A later download that holds both halves again brings neither back.
    const AddResult again = f.library->AddFile(f.Write("d2", Download(0)), {});
    EXPECT_EQ(std::tie(again.added, again.already, again.replaced), std::make_tuple(0, 3, 0));
    EXPECT_EQ(again.nights, (std::vector<NightNumber>{1, 1, 3}));
    EXPECT_EQ(f.Everything().size(), 2u);

    NightNumber second = 0;
    ASSERT_TRUE(f.library->Unmerge(1, &second));
    EXPECT_EQ(second, 2);
    ExpectSame(f.Everything(), before);
}

TEST_P(PutRightStores, AMergeBridgesTwelveHoursAndNoMore) {
    for (const std::int64_t gap : {std::int64_t{43200}, std::int64_t{43201}, std::int64_t{46800}}) {
        SCOPED_TRACE(gap);
        test::TempDir dir("quenda-put-right");
        std::vector<SampleRecord> samples;
        AppendRun(samples, 3, kEvening, 600);
        AppendRun(samples, 3, kEvening + 599 + gap, 600);
        fs::create_directories(dir / "d");
        ASSERT_TRUE(WriteDataFile(dir / "d" / "ID3.dat", 3, samples, ""));
        auto library = test::OpenLibrary(test::NewLibraryLocation(GetParam(), dir));
        ASSERT_TRUE(library);
        ASSERT_TRUE(library->AddFile(dir / "d" / "ID3.dat", {}).result);
        const FileResult merged = library->Merge(1, 2);
        EXPECT_EQ(merged.ok, gap <= kMergeWithinSeconds) << merged.message;
        if (!merged) {
            EXPECT_EQ(merged.message,
                      "Nights 1 and 2 are more than 12 hours apart; only nights that follow each other "
                      "within 12 hours are merged.");
        }
    }
}

TEST_P(PutRightStores, ASplitMakesTwoNightsEachWithItsOwnFigures) {
    Fixture f(GetParam());
    ASSERT_TRUE(f.library->SetNote(3, "restless"));
    ASSERT_TRUE(f.library->SetExclusions(3, std::vector<SampleSpan>{{100, 199}, {1990, 2009}}));
    const auto before = f.Everything();

    NightNumber second = 0;
    ASSERT_TRUE(f.library->Split(3, 2000, &second));
    EXPECT_EQ(second, 4);
    const NightRow first = f.Row(3);
    const NightRow rest = f.Row(4);
    EXPECT_EQ(std::tie(first.samples, first.first, first.last, first.note),
              std::make_tuple(2000, 5400, 7399, std::string("restless")));
    EXPECT_EQ(std::tie(rest.samples, rest.first, rest.last, rest.note),
              std::make_tuple(1600, 7400, 8999, std::string()));
    EXPECT_EQ(first.EndText(), "2026-12-07T22:33:19");
    EXPECT_EQ(rest.StartText(), "2026-12-07T22:33:20");
    EXPECT_EQ(rest.date, "2026-12-07");
    // The exclusion across the cut is cut too.
    const std::vector<SampleSpan> firstSpans{{100, 199}, {1990, 1999}};
    const std::vector<SampleSpan> restSpans{{0, 9}};
    EXPECT_EQ(f.Spans(3), firstSpans);
    EXPECT_EQ(f.Spans(4), restSpans);
    EXPECT_EQ(first.figures,
              ComputeNightFigures(Part(f.samples, 5400, 2000), FigureSettings{}, Exclusions(firstSpans)).figures);
    EXPECT_EQ(rest.figures,
              ComputeNightFigures(Part(f.samples, 7400, 1600), FigureSettings{}, Exclusions(restSpans)).figures);
    NightChanges changes;
    ASSERT_TRUE(f.library->Changes(4, changes));
    EXPECT_EQ(changes.split, std::make_pair(NightNumber{3}, NightNumber{4}));

    // A later download that holds the whole night does not make it whole again.
    const AddResult again = f.library->AddFile(f.Write("d2", Download(0)), {});
    EXPECT_EQ(std::tie(again.added, again.already, again.replaced), std::make_tuple(0, 3, 0));
    EXPECT_EQ(f.Row(3).samples, 2000);

    NightNumber kept = 0;
    ASSERT_TRUE(f.library->Unsplit(4, &kept));  // either half names the split
    EXPECT_EQ(kept, 3);
    ExpectSame(f.Everything(), before);

    // Nor when its second half was removed: what the user removed stays out.
    ASSERT_TRUE(f.library->Split(3, 2000, &second));
    ASSERT_TRUE(f.library->Remove(second));
    EXPECT_EQ(f.library->AddFile(f.Write("d3", Download(0)), {}).replaced, 0);
    EXPECT_EQ(f.Row(3).samples, 2000);
}

TEST_P(PutRightStores, TheNightsOfADataSetArePlacedByTheLibrary) {
    Fixture f(GetParam());
    ASSERT_TRUE(f.library->Shift(3, 3600));
    using Placed = NightLibrary::PlacedNight;
    // A night opened from the library carries its shift.
    EXPECT_EQ(f.library->NightsIn(3, f.Samples(3)), (std::vector<Placed>{{3, 0, 3599}}));
    ASSERT_TRUE(f.library->Merge(1, 2));
    ASSERT_TRUE(f.library->Split(3, 2000));
    // A merged night is two nights of the rule, one of the library.
    EXPECT_EQ(f.library->NightsIn(3, f.Samples(1)), (std::vector<Placed>{{1, 0, 5399}}));
    // The download as recorded: the merged night, then the split night's halves.
    EXPECT_EQ(f.library->NightsIn(3, f.samples), (std::vector<Placed>{{1, 0, 5399}, {3, 5400, 7399}, {4, 7400, 8999}}));
    // What the library does not hold.
    EXPECT_EQ(f.library->NightsIn(4, f.samples).front(), (Placed{std::nullopt, 0, 3599}));
}

TEST_P(PutRightStores, RefusalsSayWhyAndChangeNothing) {
    Fixture f(GetParam());
    // Night 4: ID 4's.
    std::vector<SampleRecord> other;
    AppendRun(other, 4, kEvening + 3599 + kBreak, 600);
    ASSERT_TRUE(f.library->AddFile(f.Write("d4", other, 4), {}).result);
    NightLibrary& lib = *f.library;
    struct Case {
        const char* what;
        std::function<FileResult()> change;
        const char* message;
    };
    const auto check = [&](const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const auto before = f.Everything();
            const std::string journal = test::JournalText(f.kind, f.file);
            const FileResult result = c.change();
            EXPECT_FALSE(result);
            EXPECT_EQ(result.message, c.message);
            ExpectSame(f.Everything(), before);
            EXPECT_EQ(test::JournalText(f.kind, f.file), journal);
        }
    };
    check({
        {"two IDs", [&] { return lib.Merge(2, 4); },
         "Nights 2 and 4 are of different IDs (3 and 4); they can't be merged."},
        {"a day apart", [&] { return lib.Merge(3, 2); },
         "Nights 2 and 3 are more than 12 hours apart; only nights that follow each other within 12 hours are merged."},
        {"itself", [&] { return lib.Merge(1, 1); }, "Night 1 can't be merged with itself."},
        {"no such night", [&] { return lib.Merge(1, 9); }, "There is no night 9 in the library."},
        {"split at 0", [&] { return lib.Split(3, 0); },
         "Night 3 has 3600 samples: it is split at a sample from 1 to 3599."},
        {"split at the end", [&] { return lib.Split(3, 3600); },
         "Night 3 has 3600 samples: it is split at a sample from 1 to 3599."},
        {"split past the end", [&] { return lib.Split(3, 3601); },
         "Night 3 has 3600 samples: it is split at a sample from 1 to 3599."},
        {"shift of no night", [&] { return lib.Shift(9, 60); }, "There is no night 9 in the library."},
        {"shift out of the calendar", [&] { return lib.Shift(1, -27 * 366 * kDay); },
         "Shifted so, night 1 would lie outside the years 2000 to 2127."},
        {"unshift, not shifted", [&] { return lib.Unshift(1); }, "The clock of night 1 is not shifted."},
        {"unmerge, not merged", [&] { return lib.Unmerge(1); }, "Night 1 is not a merged night."},
        {"unsplit, not split", [&] { return lib.Unsplit(1); }, "Night 1 was not split."},
    });
    ASSERT_TRUE(lib.Shift(2, 60));
    check({{"clock shifts that differ", [&] { return lib.Merge(1, 2); },
            "Nights 1 and 2 have different clock shifts; shift them alike first."}});
    ASSERT_TRUE(lib.Unshift(2));
    ASSERT_TRUE(lib.Merge(1, 2));
    ASSERT_TRUE(lib.Split(3, 2000));  // night 5
    check({
        {"a night merged away", [&] { return lib.Shift(2, 60); }, "Night 2 was merged into night 1."},
        {"split of a merged night", [&] { return lib.Split(1, 10); }, "Night 1 is a merged night; unmerge it first."},
        {"merge of split halves", [&] { return lib.Merge(5, 3); },
         "Night 3 is half of a split night; unsplit it first."},
        {"split of a split night", [&] { return lib.Split(3, 10); },
         "Night 3 is half of a split night; unsplit it first."},
    });
    ASSERT_TRUE(lib.Split(5, 10));
    check({{"unsplit under a later split", [&] { return lib.Unsplit(3); },
            "Night 5 is half of a split night; unsplit it first."}});
}

// Each change, and the notes and exclusions around it, from the journal
// alone (the library deleted) and through a healthy library alike; no number
// given before is given again.
TEST(NightsPutRight, EachChangeSurvivesARebuild) {
    struct Case {
        const char* what;
        std::function<void(NightLibrary&)> change;
    } cases[] = {
        {"shift", [](NightLibrary& l) { ASSERT_TRUE(l.Shift(3, -3600)); }},
        {"shifted, then excluded",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.Shift(3, -3600));
             ASSERT_TRUE(l.SetExclusions(3, std::vector<SampleSpan>{{0, 99}}));
         }},
        {"merge between notes and exclusions",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.SetNote(1, "a"));
             ASSERT_TRUE(l.SetNote(2, "b"));
             ASSERT_TRUE(l.SetExclusions(2, std::vector<SampleSpan>{{5, 9}}));
             ASSERT_TRUE(l.Merge(1, 2));
             ASSERT_TRUE(l.SetExclusions(1, std::vector<SampleSpan>{{0, 9}, {3605, 3700}}));
         }},
        {"merged, the later night's exclusions kept",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.SetExclusions(2, std::vector<SampleSpan>{{5, 9}}));
             ASSERT_TRUE(l.Merge(1, 2));
         }},
        {"shifted and split, a note on the second half",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.Shift(3, 3600));
             ASSERT_TRUE(l.Split(3, 2000));
             ASSERT_TRUE(l.SetNote(4, "second"));
         }},
        {"split, the first half removed",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.Split(3, 2000));
             ASSERT_TRUE(l.Remove(3));
         }},
        {"merged, then removed",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.Merge(1, 2));
             ASSERT_TRUE(l.Remove(1));
         }},
        {"the newest night removed", [](NightLibrary& l) { ASSERT_TRUE(l.Remove(3)); }},
        {"merged and unmerged, split and unsplit",
         [](NightLibrary& l) {
             ASSERT_TRUE(l.SetNote(1, "kept"));
             ASSERT_TRUE(l.Merge(1, 2));
             ASSERT_TRUE(l.Unmerge(1));
             ASSERT_TRUE(l.Split(3, 10));
             ASSERT_TRUE(l.Unsplit(3));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        c.change(*f.library);
        const auto before = f.Everything();
        for (const bool deleted : {true, false}) {
            SCOPED_TRACE(deleted ? "library deleted" : "healthy library");
            f.library.reset();
            if (deleted) fs::remove(f.file);
            const RebuildResult rebuilt = RebuildLibrary(f.file, {});
            ASSERT_TRUE(rebuilt.result) << rebuilt.result.message;
            f.Open();
            ExpectSame(f.Everything(), before);
        }
        // Its file gone, a healthy library keeps the nights as they were.
        fs::rename(f.source, f.dir / "away.dat");
        const auto missing = f.Everything();
        f.library.reset();
        ASSERT_TRUE(RebuildLibrary(f.file, {}).result);
        f.Open();
        ExpectSame(f.Everything(), missing);
        fs::rename(f.dir / "away.dat", f.source);
        // A new night takes a number never given: past the split's and the merged-away ones.
        std::vector<SampleRecord> more = Download();
        AppendRun(more, 3, kEvening + 2 * kDay, 600);
        const AddResult added = f.library->AddFile(f.Write("d9", more), {});
        ASSERT_EQ(added.added, 1);
        EXPECT_EQ(added.nights.back(), std::string(c.what).find("split") != std::string::npos ? 5 : 4);
    }
}

// Two nights of one ID are suspected to be one broken in two when the later
// starts under 12 hours after the earlier and under 2 hours of no sample lie
// between them; at either limit, overlapping, or of two IDs they are not.
TEST(BrokenNights, SuspectedUnderTwelveHoursApartWithAGapUnderTwoHours) {
    const auto night = [](NightNumber n, int id, std::int64_t start, std::int64_t end) {
        NightRow row;
        row.night = n;
        row.id = id;
        row.start = kEvening + start;
        row.end = kEvening + end;
        return row;
    };
    const struct {
        NightRow later;
        bool suspected;
    } cases[] = {
        {night(2, 3, 3600 + 7199, 4 * 3600), true},       // 7,199 s without a sample
        {night(2, 3, 3600 + 7200, 4 * 3600), false},      // 2 hours
        {night(2, 5, 3600 + 600, 4 * 3600), false},       // another ID
        {night(2, 3, 3599, 4 * 3600), false},             // overlaps the earlier's last second
        {night(2, 3, 3600, 4 * 3600), true},              // straight on
    };
    for (const auto& c : cases) {
        const NightRow rows[] = {c.later, night(1, 3, 0, 3599)};  // in any order
        const auto pairs = SuspectedBrokenNights(rows);
        EXPECT_EQ(pairs.size(), c.suspected ? 1u : 0u) << c.later.start - kEvening;
        if (c.suspected) {
            EXPECT_EQ(pairs[0], (BrokenNight{1, 2, 3, c.later.start - kEvening - 3600}));
        }
    }
    // A long first night: the later starts 12 hours after it, however short the gap.
    for (const std::int64_t starts : {12 * 3600 - 1, 12 * 3600}) {
        const NightRow rows[] = {night(1, 3, 0, starts - 600), night(2, 3, starts, starts + 3600)};
        EXPECT_EQ(SuspectedBrokenNights(rows).size(), starts < 12 * 3600 ? 1u : 0u) << starts;
    }
}

}  // namespace
}  // namespace quenda
