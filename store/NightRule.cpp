#include "store/NightRule.h"

#include <cstdio>

namespace quenda {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// Noon: a night whose first sample comes earlier belongs to the day before.
constexpr std::int64_t kNightDayStarts = 12 * 3600;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// days_from_civil), then shifted to 2000-01-01.
std::int64_t DaysSince2000(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 - 10957;
}

struct Civil {
    int year, month, day;
};

Civil CivilFromDays(std::int64_t days2000) {
    const std::int64_t z = days2000 + 10957 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const auto y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
    return {y, static_cast<int>(m), static_cast<int>(d)};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

}  // namespace

std::optional<std::int64_t> SampleSeconds(const SampleRecord& r) {
    const int year = 2000 + r.year;
    if (r.year > 127 || r.month < 1 || r.month > 12 || r.day < 1 || r.day > DaysInMonth(year, r.month) || r.hour > 23 ||
        r.minute > 59 || r.second > 59) {
        return std::nullopt;
    }
    return DaysSince2000(year, r.month, r.day) * kSecondsPerDay + r.hour * 3600 + r.minute * 60 + r.second;
}

std::string DateText(std::int64_t seconds) {
    const Civil c = CivilFromDays(FloorDiv(seconds, kSecondsPerDay));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    return text;
}

std::string IsoLocalTime(std::int64_t seconds) {
    const std::int64_t inDay = seconds - FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
    char text[16];
    std::snprintf(text, sizeof text, "T%02d:%02d:%02d", static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return DateText(seconds) + text;
}

std::string LocalTimeText(std::int64_t seconds) {
    std::string text = IsoLocalTime(seconds);
    text[DateText(seconds).size()] = ' ';
    return text;
}

bool SetSampleSeconds(SampleRecord& r, std::int64_t seconds) {
    if (seconds < 0) return false;
    const Civil c = CivilFromDays(FloorDiv(seconds, kSecondsPerDay));
    if (c.year > 2127) return false;
    const std::int64_t inDay = seconds % kSecondsPerDay;
    r.year = static_cast<std::uint8_t>(c.year - 2000);
    r.month = static_cast<std::uint8_t>(c.month);
    r.day = static_cast<std::uint8_t>(c.day);
    r.hour = static_cast<std::uint8_t>(inDay / 3600);
    r.minute = static_cast<std::uint8_t>(inDay / 60 % 60);
    r.second = static_cast<std::uint8_t>(inDay % 60);
    return true;
}

std::int64_t NightSpan::DateSeconds() const {
    return FloorDiv(start - kNightDayStarts, kSecondsPerDay) * kSecondsPerDay;
}

RecordingNights ApplyNightRule(std::span<const SampleRecord> samples) {
    RecordingNights found;
    bool open = false;
    NightSpan night;
    const auto close = [&] {
        if (open) found.nights.push_back(night);
        open = false;
    };
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        const auto seconds = SampleSeconds(samples[i]);
        if (!seconds) {
            ++found.leftOut;
            close();
            continue;
        }
        const std::int64_t step = open ? *seconds - night.end : 0;
        if (open && step >= 1 && step <= kMaxNightStep) {
            night.last = index;
            night.end = *seconds;
            continue;
        }
        close();
        night = NightSpan{index, index, *seconds, *seconds};
        open = true;
    }
    close();
    return found;
}

}  // namespace quenda
