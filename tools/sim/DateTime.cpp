#include "tools/sim/DateTime.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace quenda::sim {

namespace {
using namespace std::chrono;

sys_seconds ToSysSeconds(const DateTime& t) {
    const sys_days d{year{t.year} / month{static_cast<unsigned>(t.month)} / day{static_cast<unsigned>(t.day)}};
    return d + hours{t.hour} + minutes{t.minute} + seconds{t.second};
}

DateTime FromSysSeconds(sys_seconds s) {
    const sys_days d = floor<days>(s);
    const year_month_day ymd{d};
    const hh_mm_ss hms{s - d};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()),
            static_cast<int>(hms.seconds().count())};
}

// Reads exactly `width` digits at `pos`.
bool ReadField(std::string_view text, std::size_t pos, std::size_t width, int& out) {
    if (pos + width > text.size()) return false;
    const char* first = text.data() + pos;
    const auto [end, ec] = std::from_chars(first, first + width, out);
    return ec == std::errc{} && end == first + width;
}
}  // namespace

bool IsValid(const DateTime& t) {
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) return false;
    const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)}, day{static_cast<unsigned>(t.day)}};
    return ymd.ok() && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
    // 0123456789012345678
    // YYYY-MM-DD HH:MM:SS
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    DateTime t;
    if (!ReadField(text, 0, 4, t.year) || !ReadField(text, 5, 2, t.month) || !ReadField(text, 8, 2, t.day) ||
        !ReadField(text, 11, 2, t.hour) || !ReadField(text, 14, 2, t.minute) || !ReadField(text, 17, 2, t.second)) {
        return std::nullopt;
    }
    if (!IsValid(t)) return std::nullopt;
    return t;
}

std::string FormatDateTime(const DateTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

DateTime AddSeconds(const DateTime& t, std::int64_t s) { return FromSysSeconds(ToSysSeconds(t) + seconds{s}); }

std::int64_t SecondsBetween(const DateTime& a, const DateTime& b) {
    return (ToSysSeconds(b) - ToSysSeconds(a)).count();
}

DateTime DecodeClockWord(std::uint32_t word) {
    auto field = [word](unsigned shift, unsigned width) {
        return static_cast<int>((word >> shift) & ((1u << width) - 1));
    };
    return {2000 + field(0, 6), field(6, 4), field(10, 5), field(15, 5), field(20, 6), field(26, 6)};
}

DateTime TimeOf(const SampleRecord& r) { return {2000 + r.year, r.month, r.day, r.hour, r.minute, r.second}; }

}  // namespace quenda::sim
