// The night rule over hand-made recordings: where nights begin and end, what
// belongs to none, and which date a night has.
#include "store/NightRule.h"
#include "support/NightData.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

using test::AppendRun;
using test::Secs;

struct Case {
    const char* name;
    std::vector<SampleRecord> samples;
    std::vector<NightSpan> nights;
    int leftOut = 0;
    std::vector<std::string> dates;
    std::vector<std::int64_t> gaps;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    const std::int64_t evening = Secs(2026, 12, 6, 22, 0, 0);
    {
        Case c;
        c.name = "one night";
        AppendRun(c.samples, 3, evening, 3600);
        c.nights = {{0, 3599, evening, evening + 3599}};
        c.dates = {"2026-12-06"};
        c.gaps = {0};
        cases.push_back(c);
    }
    {
        // The second run starts 3601 s after the last sample: a new night.
        Case c;
        c.name = "two nights an hour and a second apart";
        AppendRun(c.samples, 3, evening, 100);
        AppendRun(c.samples, 3, evening + 99 + 3601, 50);
        c.nights = {{0, 99, evening, evening + 99}, {100, 149, evening + 99 + 3601, evening + 99 + 3601 + 49}};
        c.dates = {"2026-12-06", "2026-12-06"};
        c.gaps = {0, 0};
        cases.push_back(c);
    }
    {
        Case c;
        c.name = "exactly an hour is a gap, not a new night";
        AppendRun(c.samples, 3, evening, 100);
        AppendRun(c.samples, 3, evening + 99 + 3600, 50);
        c.nights = {{0, 149, evening, evening + 99 + 3600 + 49}};
        c.dates = {"2026-12-06"};
        c.gaps = {3599};
        cases.push_back(c);
    }
    {
        Case c;
        c.name = "a 59-minute gap is one night with a gap";
        AppendRun(c.samples, 3, evening, 600);
        AppendRun(c.samples, 3, evening + 600 + 59 * 60, 600);
        c.nights = {{0, 1199, evening, evening + 600 + 59 * 60 + 599}};
        c.dates = {"2026-12-06"};
        c.gaps = {59 * 60};
        cases.push_back(c);
    }
    {
        Case c;
        c.name = "a step backwards starts a night";
        AppendRun(c.samples, 3, evening, 60);
        AppendRun(c.samples, 3, evening + 30, 60);
        c.nights = {{0, 59, evening, evening + 59}, {60, 119, evening + 30, evening + 89}};
        c.dates = {"2026-12-06", "2026-12-06"};
        c.gaps = {0, 0};
        cases.push_back(c);
    }
    {
        Case c;
        c.name = "a step of 0 s starts a night";
        AppendRun(c.samples, 3, evening, 10);
        AppendRun(c.samples, 3, evening + 9, 10);
        c.nights = {{0, 9, evening, evening + 9}, {10, 19, evening + 9, evening + 18}};
        c.dates = {"2026-12-06", "2026-12-06"};
        c.gaps = {0, 0};
        cases.push_back(c);
    }
    {
        // 31 April between two runs: it belongs to no night and ends the first.
        Case c;
        c.name = "an impossible date in the middle";
        AppendRun(c.samples, 3, evening, 10);
        SampleRecord bad = test::SampleAt(3, evening + 10);
        bad.month = 4;
        bad.day = 31;
        c.samples.push_back(bad);
        AppendRun(c.samples, 3, evening + 11, 10);
        c.nights = {{0, 9, evening, evening + 9}, {11, 20, evening + 11, evening + 20}};
        c.leftOut = 1;
        c.dates = {"2026-12-06", "2026-12-06"};
        c.gaps = {0, 0};
        cases.push_back(c);
    }
    {
        const std::int64_t late = Secs(2026, 12, 7, 0, 30, 0);
        Case c;
        c.name = "a night starting after midnight belongs to the evening before";
        AppendRun(c.samples, 3, late, 10);
        c.nights = {{0, 9, late, late + 9}};
        c.dates = {"2026-12-06"};
        c.gaps = {0};
        cases.push_back(c);
    }
    {
        const std::int64_t noon = Secs(2027, 1, 1, 12, 0, 0);
        Case c;
        c.name = "noon belongs to its own day, 11:59:59 to the day before";
        AppendRun(c.samples, 3, noon, 5);
        AppendRun(c.samples, 3, noon + 86400 - 1, 5);
        c.nights = {{0, 4, noon, noon + 4}, {5, 9, noon + 86399, noon + 86403}};
        c.dates = {"2027-01-01", "2027-01-01"};
        c.gaps = {0, 0};
        cases.push_back(c);
    }
    return cases;
}

TEST(NightRule, HandMadeRecordings) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const RecordingNights found = ApplyNightRule(c.samples);
        EXPECT_EQ(found.nights, c.nights);
        EXPECT_EQ(found.leftOut, c.leftOut);
        std::vector<std::string> dates;
        std::vector<std::int64_t> gaps;
        for (const NightSpan& n : found.nights) {
            dates.push_back(DateText(n.DateSeconds()));
            gaps.push_back(n.GapSeconds());
        }
        EXPECT_EQ(dates, c.dates);
        EXPECT_EQ(gaps, c.gaps);
    }
}

TEST(NightRule, ImpossibleTimeStampsAndTheCalendar) {
    struct Stamp {
        int y, mo, d, h, mi, s;
        bool possible;
    };
    const Stamp stamps[] = {
        {2026, 0, 1, 0, 0, 0, false},  {2026, 13, 1, 0, 0, 0, false},  {2026, 4, 31, 0, 0, 0, false},
        {2026, 4, 30, 0, 0, 0, true},  {2026, 2, 29, 0, 0, 0, false},  {2028, 2, 29, 0, 0, 0, true},
        {2026, 1, 1, 24, 0, 0, false}, {2026, 1, 1, 23, 60, 0, false}, {2026, 1, 1, 23, 59, 60, false},
        {2026, 1, 0, 0, 0, 0, false},  {2000, 1, 1, 0, 0, 0, true},    {2127, 12, 31, 23, 59, 59, true},
    };
    for (const Stamp& t : stamps) {
        SampleRecord r;
        r.year = static_cast<std::uint8_t>(t.y - 2000);
        r.month = static_cast<std::uint8_t>(t.mo);
        r.day = static_cast<std::uint8_t>(t.d);
        r.hour = static_cast<std::uint8_t>(t.h);
        r.minute = static_cast<std::uint8_t>(t.mi);
        r.second = static_cast<std::uint8_t>(t.s);
        const auto seconds = SampleSeconds(r);
        EXPECT_EQ(seconds.has_value(), t.possible) << t.y << "-" << t.mo << "-" << t.d << " " << t.h << ":" << t.mi;
        if (seconds) {
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.y, t.mo, t.d, t.h, t.mi, t.s);
            EXPECT_EQ(IsoLocalTime(*seconds), text);
            // And back: the same fields from the seconds, the rest of the sample kept.
            SampleRecord back{};
            back.spo2 = 97;
            ASSERT_TRUE(SetSampleSeconds(back, *seconds));
            EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second),
                      std::tie(r.year, r.month, r.day, r.hour, r.minute, r.second));
            EXPECT_EQ(back.spo2, 97);
        }
    }
    EXPECT_EQ(SampleSeconds(SampleRecord{0, 0, 1, 1, 0, 0, 0, 0, 0, 0}), 0);
    // One second outside either end of the calendar a sample holds: refused, the sample as it was.
    SampleRecord kept = SampleRecord{0, 26, 12, 6, 22, 0, 0, 95, 60, 0};
    const SampleRecord before = kept;
    EXPECT_FALSE(SetSampleSeconds(kept, -1));
    EXPECT_FALSE(SetSampleSeconds(kept, *SampleSeconds(SampleRecord{0, 127, 12, 31, 23, 59, 59, 0, 0, 0}) + 1));
    EXPECT_EQ(kept, before);
}

}  // namespace
}  // namespace quenda
