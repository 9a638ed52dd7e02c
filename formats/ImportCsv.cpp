// The CSV reader. What it accepts, as other oximeters and their apps write it:
//
// - The first non-empty line is the header; its commonest separator of
//   comma, semicolon and TAB separates every line. A UTF-8 byte-order mark,
//   fields in double quotes, CR LF or LF line ends are accepted, and with a
//   semicolon or TAB separator a decimal comma.
// - Columns are found by their header, ignoring case, spaces and a unit in
//   brackets: the time in one column or in "date" + "time", SpO2 and pulse
//   under the names below. Other columns are ignored.
// - Time stamps: ISO 8601 (T or space, optional fraction and zone), D/M/Y,
//   M/D/Y and Y/M/D with / . or -, an English month's name ("Mar 6, 2025"),
//   the time before the date as the ring and wrist apps write it
//   ("22:20:56 Mar 06 2025"), 12-hour times with AM/PM, and whole Unix
//   seconds (shown in the local zone). An offset keeps the clock time as
//   written (the local time where the night was recorded); UTC ("Z") is shown
//   in this computer's zone; a file that mixes zones is refused.
// - "--", empty, N/A or 0 is no reading; a row with neither reading is a gap.
// - Rows one second apart are one sample each. In a file whose usual step is
//   2 to 10 s, each row stands for the seconds up to the next one (the last
//   row, and one before a larger step, for the usual step); a larger step is
//   a gap.
#include "formats/Import.h"
#include "formats/ImportDetail.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>

namespace quenda {

using namespace import_detail;

namespace {

constexpr int kMaxFillStep = 10;

// ---- lines and fields ----------------------------------------------------

// Splits one line (no line end) into fields; quotes are removed, a doubled
// quote inside them is one quote (kept in `scratch`, whose strings never move).
void SplitFields(std::string_view line, char separator, std::vector<std::string_view>& fields,
                 std::deque<std::string>& scratch) {
    fields.clear();
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        // Spaces before an opening quote do not stop it being one.
        std::size_t j = i;
        while (j < n && line[j] == ' ') ++j;
        if (j < n && line[j] == '"') {
            std::size_t k = j + 1;
            bool doubled = false;
            while (k < n) {
                if (line[k] == '"') {
                    if (k + 1 < n && line[k + 1] == '"') {
                        doubled = true;
                        k += 2;
                        continue;
                    }
                    break;
                }
                ++k;
            }
            std::string_view inside = line.substr(j + 1, std::min(k, n) - (j + 1));
            if (doubled) {
                std::string plain;
                for (std::size_t c = 0; c < inside.size(); ++c) {
                    plain += inside[c];
                    if (inside[c] == '"' && c + 1 < inside.size() && inside[c + 1] == '"') ++c;
                }
                scratch.push_back(std::move(plain));
                inside = scratch.back();
            }
            fields.push_back(inside);
            // Skip to the separator after the closing quote.
            std::size_t next = k < n ? line.find(separator, k + 1) : std::string_view::npos;
            if (next == std::string_view::npos) return;
            i = next + 1;
        } else {
            const std::size_t next = line.find(separator, i);
            if (next == std::string_view::npos) {
                fields.push_back(line.substr(i));
                return;
            }
            fields.push_back(line.substr(i, next - i));
            i = next + 1;
        }
    }
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

char ChooseSeparator(std::string_view header) {
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (char c : header) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        commas += c == ',';
        semicolons += c == ';';
        tabs += c == '\t';
    }
    if (tabs > 0 && tabs >= semicolons && tabs >= commas) return '\t';
    if (semicolons > 0 && semicolons >= commas) return ';';
    return ',';
}

// "SpO2 (%)" -> "spo2", "Date Time" -> "datetime".
std::string HeaderKey(std::string_view name) {
    std::string key;
    int depth = 0;
    for (char c : name) {
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && depth > 0)
            --depth;
        else if (depth == 0 && c != ' ' && c != '\t' && c != '_')
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

int FindColumn(const std::vector<std::string>& keys, std::initializer_list<std::string_view> names) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (std::find(names.begin(), names.end(), keys[i]) != names.end()) return static_cast<int>(i);
    }
    return -1;
}

std::string HeaderList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) {
        if (!list.empty()) list += ", ";
        list += "\"" + std::string(n) + "\"";
    }
    return list.empty() ? "none" : list;
}

// ---- values --------------------------------------------------------------

// A number with an optional fraction ("97", "97.5", and "97,5" when
// `decimalComma`); nullopt when the field is no number.
std::optional<double> ParseNumber(std::string_view s, bool decimalComma) {
    s = Trim(s);
    if (s.empty()) return std::nullopt;
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    double value = 0;
    std::size_t i = 0;
    int digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) value = value * 10 + (s[i] - '0');
    if (i < s.size() && (s[i] == '.' || (decimalComma && s[i] == ','))) {
        double scale = 0.1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
            value += (s[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (i != s.size() || digits == 0) return std::nullopt;
    return negative ? -value : value;
}

// How the apps write "no measurement": nothing, a dash or two, or N/A.
bool NoMeasurement(std::string_view s) {
    s = Trim(s);
    return s.empty() || s == "-" || s == "--" ||
           (s.size() == 3 && (s[0] == 'n' || s[0] == 'N') && s[1] == '/' && (s[2] == 'a' || s[2] == 'A'));
}

// A value field as the data set stores it, -1 for no reading; nothing when it
// is no number.
std::optional<int> StoredField(std::string_view s, bool decimalComma, int maximum) {
    if (NoMeasurement(s)) return -1;
    const auto v = ParseNumber(s, decimalComma);
    if (!v) return std::nullopt;
    return StoredValue(*v, maximum, -1);
}

// ---- time stamps ---------------------------------------------------------

// A time stamp's zone: none written, UTC ("Z"), or else an offset in minutes.
constexpr std::int16_t kNoZone = 0x7FFF;
constexpr std::int16_t kUtc = 0x7FFE;

// A time stamp as read, before the day/month order is known.
struct RawTime {
    // Seconds since 2000 to the day (Exact): years 2000-2127 fit 32 bits, and
    // a full data set's rows stay small.
    std::uint32_t exact = 0;
    std::int32_t timeOfDay = 0;
    std::uint16_t year = 0;  // DayMonth
    std::uint8_t a = 0;      // DayMonth: the first and second numbers of the date
    std::uint8_t b = 0;
    enum Kind : std::uint8_t { Exact, DayMonth } kind = Exact;
    std::int16_t zone = kNoZone;
};


std::string ZoneText(int zone) {
    if (zone == kNoZone) return "no offset";
    if (zone == kUtc) return "\"Z\"";
    char text[16];
    const int minutes = zone < 0 ? -zone : zone;
    std::snprintf(text, sizeof text, "\"%c%02d:%02d\"", zone < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    bool Done() const { return i_ >= s_.size(); }
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    void Skip() { ++i_; }
    bool Eat(char c) {
        if (Peek() != c) return false;
        ++i_;
        return true;
    }
    void Spaces() {
        while (Peek() == ' ') ++i_;
    }
    // Up to `most` digits; -1 when there is none. `count` gets how many.
    int Number(int most, int& count) {
        int v = 0;
        count = 0;
        while (count < most && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
            v = v * 10 + (s_[i_++] - '0');
            ++count;
        }
        return count > 0 ? v : -1;
    }
    std::string_view Rest() const { return s_.substr(std::min(i_, s_.size())); }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

bool IsDateSeparator(char c) { return c == '-' || c == '/' || c == '.'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "22:30", "22:30:05", "22:30:05.250", "10:30:05 PM", "10:30:05PM": seconds
// into the day, or -1. Stops after the clock and its AM/PM.
int ParseClock(Cursor& c) {
    int n = 0;
    int hour = c.Number(2, n);
    if (hour < 0 || !c.Eat(':')) return -1;
    const int minute = c.Number(2, n);
    if (n != 2) return -1;
    int second = 0;
    if (c.Eat(':')) {
        second = c.Number(2, n);
        if (n != 2) return -1;
        if (c.Peek() == '.' || c.Peek() == ',') {
            c.Skip();
            c.Number(9, n);
            if (n == 0) return -1;
        }
    }
    // AM or PM, and not a month's name ("Apr", "May") after the clock.
    const std::string_view rest = c.Rest();
    std::size_t at = 0;
    while (at < rest.size() && rest[at] == ' ') ++at;
    const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(at < rest.size() ? rest[at] : '\0')));
    if ((m == 'A' || m == 'P') && at + 1 < rest.size() && (rest[at + 1] == 'M' || rest[at + 1] == 'm') &&
        (at + 2 == rest.size() || !IsLetter(rest[at + 2]))) {
        for (std::size_t k = 0; k < at + 2; ++k) c.Skip();
        if (hour < 1 || hour > 12) return -1;
        hour = hour % 12 + (m == 'P' ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) return -1;
    return hour * 3600 + minute * 60 + second;
}

// An optional zone after a time: "Z", "+01:00", "-0500", "+01". kNoZone when
// none is written, -1 when it is no zone.
int ParseZone(Cursor& c) {
    if (c.Peek() == 'Z' || c.Peek() == 'z') {
        c.Skip();
        return kUtc;
    }
    if (c.Peek() != '+' && c.Peek() != '-') return kNoZone;
    const bool negative = c.Peek() == '-';
    c.Skip();
    int n = 0;
    const int hours = c.Number(2, n);
    if (n != 2 || hours > 14) return -1;
    c.Eat(':');
    int minutes = c.Number(2, n);
    if (n == 0) minutes = 0;
    else if (n != 2 || minutes > 59) return -1;
    const int offset = hours * 60 + minutes;
    return negative ? -offset : offset;
}

// A clock, then an optional zone, and nothing after. Seconds into the day,
// or -1; `zone` gets the zone.
int ParseTimeOfDay(Cursor& c, int& zone) {
    const int tod = ParseClock(c);
    if (tod < 0) return -1;
    c.Spaces();
    zone = ParseZone(c);
    if (zone == -1) return -1;
    c.Spaces();
    return c.Done() ? tod : -1;
}

enum class TimeError { None, Unreadable, Impossible, Year };

// An English month's name or its abbreviation, any case ("Mar", "MARCH",
// "Sept"): 1 to 12, or 0.
int MonthNamed(std::string_view word) {
    static constexpr std::string_view kMonths[12] = {"january", "february", "march",     "april",   "may",      "june",
                                                     "july",    "august",   "september", "october", "november", "december"};
    if (word.size() < 3 || word.size() > 9) return 0;
    char lower[9];
    for (std::size_t i = 0; i < word.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(word[i])));
    const std::string_view w(lower, word.size());
    for (int m = 0; m < 12; ++m) {
        const std::string_view full = kMonths[m];
        if (w == full || w == full.substr(0, 3) || (m == 8 && w == "sept")) return m + 1;
    }
    return 0;
}

// A day of a year the data set holds.
TimeError ExactDay(int year, int month, int day, RawTime& out, int& yearOut) {
    yearOut = year;
    if (year < kFirstYear || year > kLastYear) return TimeError::Year;
    if (!ValidDateTime(year, month, day, 0, 0, 0)) return TimeError::Impossible;
    out.kind = RawTime::Exact;
    out.exact = static_cast<std::uint32_t>(DaysFromCivil(year, month, day) * 86400);
    return TimeError::None;
}

// "Mar 06 2025", "Mar 6, 2025", "March 6 2025": an exact day.
TimeError ParseNamedDate(Cursor& c, RawTime& out, int& yearOut) {
    const std::string_view rest = c.Rest();
    std::size_t letters = 0;
    while (letters < rest.size() && IsLetter(rest[letters])) ++letters;
    const int month = MonthNamed(rest.substr(0, letters));
    if (month == 0) return TimeError::Unreadable;
    for (std::size_t k = 0; k < letters; ++k) c.Skip();
    c.Eat('.');
    c.Spaces();
    int n = 0;
    const int day = c.Number(2, n);
    if (day < 0) return TimeError::Unreadable;
    c.Eat(',');
    if (c.Peek() != ' ') return TimeError::Unreadable;
    c.Spaces();
    const int year = c.Number(4, n);
    if (n != 4) return TimeError::Unreadable;
    return ExactDay(year, month, day, out, yearOut);
}

// A date: Y/M/D or a month's name gives an exact day; D/M/Y and M/D/Y leave
// the order open.
TimeError ParseDate(Cursor& c, RawTime& out, int& yearOut) {
    if (IsLetter(c.Peek())) return ParseNamedDate(c, out, yearOut);
    int n1 = 0, n2 = 0, n3 = 0;
    const int first = c.Number(4, n1);
    if (first < 0 || !IsDateSeparator(c.Peek())) return TimeError::Unreadable;
    const char sep = c.Peek();
    c.Skip();
    const int second = c.Number(2, n2);
    if (second < 0 || !c.Eat(sep)) return TimeError::Unreadable;
    const int third = c.Number(4, n3);
    if (third < 0) return TimeError::Unreadable;
    if (n1 == 4) {
        if (n3 > 2) return TimeError::Unreadable;
        return ExactDay(first, second, third, out, yearOut);
    }
    if (n1 > 2 || (n3 != 4 && n3 != 2)) return TimeError::Unreadable;
    const int year = n3 == 2 ? 2000 + third : third;
    yearOut = year;
    if (year < kFirstYear || year > kLastYear) return TimeError::Year;
    if (first < 1 || second < 1 || (first > 12 && second > 12) || first > 31 || second > 31)
        return TimeError::Impossible;
    out.kind = RawTime::DayMonth;
    out.a = static_cast<std::uint8_t>(first);
    out.b = static_cast<std::uint8_t>(second);
    out.year = static_cast<std::uint16_t>(year);
    return TimeError::None;
}

// Whole Unix seconds, shown as the local clock said them.
TimeError UnixSeconds(std::string_view s, RawTime& out, int& yearOut) {
    long long value = 0;
    for (char ch : s) value = value * 10 + (ch - '0');
    const std::time_t t = static_cast<std::time_t>(value);
    std::tm local{};
    if (!localtime_r(&t, &local)) return TimeError::Unreadable;
    yearOut = local.tm_year + 1900;
    if (yearOut < kFirstYear || yearOut > kLastYear) return TimeError::Year;
    out.kind = RawTime::Exact;
    out.exact = static_cast<std::uint32_t>(
        ToSeconds(yearOut, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, std::min(local.tm_sec, 59)));
    out.timeOfDay = 0;
    return TimeError::None;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit); }

// Whether a time stamp starts with its clock ("22:20:56 Mar 06 2025").
bool TimeFirst(std::string_view s) {
    return (s.size() > 2 && IsDigit(s[0]) && s[1] == ':') || (s.size() > 3 && IsDigit(s[0]) && IsDigit(s[1]) && s[2] == ':');
}

// A clock, then a date ("22:20:56 Mar 06 2025", "10:20:56PM Mar 6, 2025",
// "22:20:56 06/03/2025"), then an optional zone. `dateText` gets the date as
// written.
TimeError ParseTimeThenDate(std::string_view s, RawTime& out, int& yearOut, std::string_view* dateText) {
    Cursor c(s);
    const int tod = ParseClock(c);
    if (tod < 0 || c.Peek() != ' ') return TimeError::Unreadable;
    c.Spaces();
    const std::string_view date = c.Rest();
    if (const TimeError e = ParseDate(c, out, yearOut); e != TimeError::None) return e;
    if (dateText) *dateText = date.substr(0, date.size() - c.Rest().size());
    c.Spaces();
    const int zone = ParseZone(c);
    c.Spaces();
    if (zone == -1 || !c.Done()) return TimeError::Unreadable;
    out.zone = static_cast<std::int16_t>(zone);
    out.timeOfDay = tod;
    return TimeError::None;
}

// One time column: a date and a time, a time and a date, or Unix seconds.
// `dateText` gets a time-first stamp's date as written.
TimeError ParseDateTime(std::string_view s, RawTime& out, int& yearOut, std::string_view* dateText = nullptr) {
    s = Trim(s);
    if (AllDigits(s) && s.size() >= 9 && s.size() <= 11) return UnixSeconds(s, out, yearOut);
    if (TimeFirst(s)) return ParseTimeThenDate(s, out, yearOut, dateText);
    Cursor c(s);
    if (const TimeError e = ParseDate(c, out, yearOut); e != TimeError::None) return e;
    if (!c.Eat('T') && !c.Eat('t')) {
        if (c.Peek() != ' ') return TimeError::Unreadable;
        c.Spaces();
    }
    int zone = kNoZone;
    const int tod = ParseTimeOfDay(c, zone);
    if (tod < 0) return TimeError::Unreadable;
    out.timeOfDay = tod;
    out.zone = static_cast<std::int16_t>(zone);
    return TimeError::None;
}

// A date column and a time column.
TimeError ParseDateAndTime(std::string_view date, std::string_view time, RawTime& out, int& yearOut) {
    Cursor d(Trim(date));
    if (const TimeError e = ParseDate(d, out, yearOut); e != TimeError::None) return e;
    if (!d.Done()) return TimeError::Unreadable;
    Cursor t(Trim(time));
    int zone = kNoZone;
    const int tod = ParseTimeOfDay(t, zone);
    if (tod < 0) return TimeError::Unreadable;
    out.timeOfDay = tod;
    out.zone = static_cast<std::int16_t>(zone);
    return TimeError::None;
}

// One row as kept until the day/month order is known: 16 bytes, as a full
// data set has half a million of them.
struct Row {
    // Seconds since 2000 for an exact date; the time of day for a day/month one.
    std::uint32_t time = 0;
    std::int32_t line = 0;
    std::uint16_t year = 0;  // a day/month date's year and first two numbers;
    std::uint8_t a = 0;      // a is 0 for an exact date
    std::uint8_t b = 0;
    std::uint8_t spo2 = kNoSpO2;
    std::uint8_t pulse = kNoPulse;
    std::uint8_t missing = 3;  // kMissingSpO2 | kMissingPulse: no reading written

    void SetTime(const RawTime& date, int timeOfDay) {
        if (date.kind == RawTime::Exact) {
            time = date.exact + static_cast<std::uint32_t>(timeOfDay);
            return;
        }
        time = static_cast<std::uint32_t>(timeOfDay);
        year = date.year;
        a = date.a;
        b = date.b;
    }
};

constexpr std::uint8_t kMissingSpO2 = 1;
constexpr std::uint8_t kMissingPulse = 2;

int TwoDigits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// A value field as nearly every row writes it: empty, or up to three digits.
void QuickValue(const char* p, const char* end, int maximum, std::uint8_t none, std::uint8_t& out,
                std::uint8_t& missing, std::uint8_t bit) {
    // An empty field starts above any maximum, so it is no measurement without
    // a branch of its own; so is 0, which the unsigned compare puts above too.
    int v = p == end ? 1000 : 0;
    for (; p < end; ++p) v = v * 10 + (*p - '0');
    const bool reading = static_cast<unsigned>(v - 1) < static_cast<unsigned>(maximum);
    out = reading ? static_cast<std::uint8_t>(v) : none;
    missing = static_cast<std::uint8_t>(reading ? missing & ~bit : missing | bit);
}

// What the previous row's date let the next rows skip.
struct KnownDate {
    std::string_view text;  // the date as written; empty until a row had one
    RawTime time;           // its day, timeOfDay to be filled in
    bool timeFirst = false;  // "22:20:56 Mar 06 2025": the date after the clock
};

struct Columns {
    int date = -1, time = -1, spo2 = -1, pulse = -1;
};

enum class Stop { None, Field, Line };

// What `p` is at: the next field, the line's end (LF, CR LF, or a CR or
// nothing at the end of the bytes), or neither.
Stop StopAt(const char* p, const char* end, char separator) {
    if (p == end || *p == '\n') return Stop::Line;
    if (*p == separator) return Stop::Field;
    if (*p == '\r' && (p + 1 == end || p[1] == '\n')) return Stop::Line;
    return Stop::None;
}

// Reads one row of the shape a long file repeats without finding its end,
// splitting and trimming it first: no quotes, the previous row's date,
// "HH:MM:SS" (after "T" or a space when date and time share a column), values
// of up to three digits. The fields it reads are checked where they must end,
// so only the columns it ignores are walked byte by byte. On success `at`
// moves past the line. False for anything else, which the general reader then
// takes; for what it accepts, the two give the same row.
bool QuickRow(const char*& at, const char* const end, char separator, const Columns& columns, const KnownDate& date,
              Row& row) {
    if (date.text.empty()) return false;
    const char* p = at;
    const int needed = columns.date >= 0 ? 2 : 1;
    const int lastColumn = std::max({columns.date, columns.time, columns.spo2, columns.pulse});
    int found = 0;
    Stop stop = Stop::None;
    for (int column = 0; column <= lastColumn; ++column) {
        const auto left = static_cast<std::size_t>(end - p);
        if (column == columns.date) {
            if (left < date.text.size() || std::memcmp(p, date.text.data(), date.text.size()) != 0) return false;
            p += date.text.size();
            ++found;
        } else if (column == columns.time) {
            const std::size_t prefix = columns.date < 0 && !date.timeFirst ? date.text.size() + 1 : 0;
            const std::size_t suffix = date.timeFirst ? date.text.size() + 1 : 0;
            if (left < prefix + 8 + suffix) return false;
            if (suffix > 0 && (p[8] != ' ' || std::memcmp(p + 9, date.text.data(), date.text.size()) != 0))
                return false;
            if (prefix > 0) {
                if (std::memcmp(p, date.text.data(), date.text.size()) != 0) return false;
                if (p[prefix - 1] != 'T' && p[prefix - 1] != ' ') return false;
            }
            const char* t = p + prefix;
            if (!IsDigit(t[0]) || !IsDigit(t[1]) || t[2] != ':' || !IsDigit(t[3]) || !IsDigit(t[4]) || t[5] != ':' ||
                !IsDigit(t[6]) || !IsDigit(t[7]))
                return false;
            const int hour = TwoDigits(t), minute = TwoDigits(t + 3), second = TwoDigits(t + 6);
            if (hour > 23 || minute > 59 || second > 59) return false;
            row.SetTime(date.time, hour * 3600 + minute * 60 + second);
            p = t + 8 + suffix;
            ++found;
        } else if (column == columns.spo2 || column == columns.pulse) {
            const char* field = p;
            if (end - p >= 2 && p[0] == '-' && p[1] == '-') {
                field = p += 2;  // "--", the apps' "no reading", reads as an empty field
            } else {
                while (p < end && p - field < 3 && IsDigit(*p)) ++p;
            }
            if (column == columns.spo2)
                QuickValue(field, p, kStoredMaxSpO2, kNoSpO2, row.spo2, row.missing, kMissingSpO2);
            else
                QuickValue(field, p, kStoredMaxPulse, kNoPulse, row.pulse, row.missing, kMissingPulse);
        } else {
            while (p < end && *p != separator && *p != '\n') {
                if (*p == '"') return false;
                ++p;
            }
            if (p < end && p > at && *p == '\n' && p[-1] == '\r') --p;
        }
        stop = StopAt(p, end, separator);
        if (stop == Stop::None) return false;
        if (stop == Stop::Line) break;
        ++p;
    }
    if (found != needed) return false;
    // The rest of the line cannot change the fields read.
    if (stop != Stop::Line || (p < end && *p == '\r')) {
        const void* const lineEnd = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        p = lineEnd ? static_cast<const char*>(lineEnd) : end;
    }
    at = p < end ? p + 1 : p;
    return true;
}

// Quick rows for as long as they come, up to the first one left to the
// general reader or the end. False once there are more rows than a data set
// holds.
bool QuickRows(const char*& at, const char* const end, char separator, const Columns& columns, const KnownDate& date,
               int& lineNumber, std::vector<Row>& rows) {
    while (at < end) {
        Row row;
        row.line = lineNumber + 1;
        if (!QuickRow(at, end, separator, columns, date, row)) return true;
        ++lineNumber;
        rows.push_back(row);
        if (rows.size() > static_cast<std::size_t>(kMaxSamples)) return false;
    }
    return true;
}

ImportResult Refuse(std::string message) {
    ImportResult r;
    r.message = std::move(message);
    return r;
}

std::string Quote(std::string_view s) {
    constexpr std::size_t kShown = 40;
    std::string q = "\"" + std::string(s.substr(0, kShown));
    if (s.size() > kShown) q += "...";
    return q + "\"";
}

// A CSV file read in its steps: the header's columns, the rows, the day/month
// order of their dates, and the samples at the file's time step. Each step
// says why it refuses the file, naming the line and the field.
class CsvReader {
public:
    explicit CsvReader(std::string_view bytes) : bytes_(bytes) {
        if (bytes_.starts_with("\xEF\xBB\xBF")) bytes_.remove_prefix(3);
    }

    // The header, the first line with anything on it: the separator, and
    // the columns of the time stamp, SpO2 and pulse rate.
    std::optional<ImportResult> ReadHeader();
    // Every row after the header, its date kept without a day/month order
    // where it has one. `quick`: the common rows by the quick walk.
    std::optional<ImportResult> ReadRows(CsvRows quick);
    // The day/month order (what the dates show, else `asked`), then each
    // row's time stamp as seconds since 2000, in local time.
    std::optional<ImportResult> DateRows(DateOrder asked);
    // The data set: a sample each second, a row before a gap of up to
    // kMaxFillStep seconds standing for the seconds up to the next row when
    // the file's usual step is more than one.
    ImportResult Samples(int id);

private:
    // UTC ("Z") time stamps as this computer's clock shows them.
    std::optional<ImportResult> ToLocalTime();
    bool NextLine(std::string_view& line) {
        if (pos_ >= bytes_.size()) return false;
        std::size_t end = bytes_.find('\n', pos_);
        if (end == std::string_view::npos) end = bytes_.size();
        line = bytes_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
        ++lineNumber_;
        return true;
    }
    std::string_view FieldText(int column) const {
        return column >= 0 && static_cast<std::size_t>(column) < fields_.size()
                   ? fields_[static_cast<std::size_t>(column)]
                   : std::string_view();
    }
    std::string FieldName(int column) const {
        return "field " + std::to_string(column + 1) + " (" + Quote(names_[static_cast<std::size_t>(column)]) + ")";
    }
    std::string Line() const { return "line " + std::to_string(lineNumber_); }
    // "10:20:56PM Mar 6, 2025" unquoted in a comma file: its year lands in a
    // field of its own, one more than the header names. Joined again.
    void JoinSplitYear() {
        const auto t = static_cast<std::size_t>(columns_.time);
        if (separator_ != ',' || columns_.date >= 0 || fields_.size() <= names_.size() || t + 1 >= fields_.size())
            return;
        const std::string_view time = fields_[t], year = fields_[t + 1];
        if (time.data() + time.size() + 1 != year.data() || Trim(year).size() != 4 || !AllDigits(Trim(year))) return;
        fields_[t] = std::string_view(time.data(), time.size() + 1 + year.size());
        fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(t) + 1);
    }
    // The time stamp of the row in fields_, by the date the rows before
    // had where it is the same; `badColumn` names the field at fault.
    TimeError RowTime(RawTime& time, int& year, int& badColumn);

    std::string_view bytes_;
    std::size_t pos_ = 0;
    int lineNumber_ = 0;
    std::vector<std::string_view> fields_;
    std::deque<std::string> scratch_;
    std::vector<std::string> names_;
    char separator_ = ',';
    bool decimalComma_ = false;
    Columns columns_;

    std::vector<Row> rows_;
    bool dayFirstSeen_ = false, monthFirstSeen_ = false, ordersDiffer_ = false;
    int dayFirstLine_ = 0, monthFirstLine_ = 0;
    // Most files repeat one date on thousands of lines: read it once.
    std::string lastDateText_;  // a copy: the line's fields go with it
    RawTime lastDate_;
    bool lastTimeFirst_ = false;  // the date follows the clock
    // Every time stamp's zone is the first one's; its line.
    int zone_ = kNoZone;
    int zoneLine_ = 0;
    std::vector<std::string> summary_;
};

std::optional<ImportResult> CsvReader::ReadHeader() {
    std::string_view header;
    while (NextLine(header) && Trim(header).empty()) {
    }
    if (Trim(header).empty()) return Refuse(import_message::kEmpty);

    separator_ = ChooseSeparator(header);
    decimalComma_ = separator_ != ',';
    SplitFields(header, separator_, fields_, scratch_);
    std::vector<std::string> keys;
    for (auto f : fields_) {
        names_.emplace_back(Trim(f));
        keys.push_back(HeaderKey(f));
    }
    int dateColumn = FindColumn(keys, {"date"});
    int timeColumn = FindColumn(keys, {"time"});
    if (dateColumn < 0 || timeColumn < 0) {
        dateColumn = -1;
        timeColumn = FindColumn(keys, {"time", "timestamp", "datetime"});
    }
    const int spo2Column = FindColumn(keys, {"spo2", "sao2", "oxygenlevel", "o2"});
    const int pulseColumn = FindColumn(keys, {"pulse", "pulserate", "pr", "hr", "heartrate", "bpm"});
    if (timeColumn < 0) {
        return Refuse(Line() +
                      ": the header names no time column (\"time\", \"timestamp\", \"date time\", \"datetime\", or "
                      "\"date\" with \"time\"); it has " +
                      HeaderList(names_) + ".");
    }
    if (spo2Column < 0) {
        return Refuse(Line() +
                      ": the header names no SpO2 column (\"spo2\", \"sao2\", \"oxygen level\", \"o2\"); it has " +
                      HeaderList(names_) + ".");
    }
    columns_ = {dateColumn, timeColumn, spo2Column, pulseColumn};
    std::vector<std::string> read, left;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        const int c = static_cast<int>(i);
        if (c == dateColumn || c == timeColumn || c == spo2Column || c == pulseColumn)
            read.push_back(names_[i]);
        else if (!names_[i].empty())
            left.push_back(names_[i]);
    }
    summary_.push_back("Read the columns " + HeaderList(read) + "; left out " + HeaderList(left) + ".");
    return std::nullopt;
}

TimeError CsvReader::RowTime(RawTime& time, int& year, int& badColumn) {
    TimeError error = TimeError::None;
    const std::string_view timeText = FieldText(columns_.time);
    badColumn = columns_.time;
    if (columns_.date >= 0) {
        const std::string_view dateText = FieldText(columns_.date);
        if (!lastDateText_.empty() && dateText == lastDateText_) {
            time = lastDate_;
            Cursor t(Trim(timeText));
            int zone = kNoZone;
            const int tod = ParseTimeOfDay(t, zone);
            if (tod < 0) error = TimeError::Unreadable;
            time.timeOfDay = tod;
            time.zone = static_cast<std::int16_t>(zone);
        } else {
            error = ParseDateAndTime(dateText, timeText, time, year);
            Cursor d(Trim(dateText));
            RawTime probe;
            int y = 0;
            if (ParseDate(d, probe, y) != TimeError::None || !d.Done()) {
                badColumn = columns_.date;
            } else if (error == TimeError::None) {
                lastDateText_.assign(dateText);
                lastDate_ = time;
            }
        }
    } else {
        // The date part of "2026-12-06T22:30:00" or "22:20:56 Mar 06 2025" is
        // the same on thousands of lines.
        const std::string_view text = Trim(timeText);
        const std::size_t known = lastDateText_.size();
        if (!lastDateText_.empty() && !lastTimeFirst_ && text.size() > known && text.starts_with(lastDateText_) &&
            (text[known] == 'T' || text[known] == ' ')) {
            time = lastDate_;
            Cursor t(text.substr(known + 1));
            t.Spaces();
            int zone = kNoZone;
            time.timeOfDay = ParseTimeOfDay(t, zone);
            time.zone = static_cast<std::int16_t>(zone);
            if (time.timeOfDay < 0) error = TimeError::Unreadable;
        } else if (lastTimeFirst_ && text.size() > known && text.ends_with(lastDateText_) &&
                   text[text.size() - known - 1] == ' ') {
            time = lastDate_;
            Cursor t(Trim(text.substr(0, text.size() - known)));
            time.timeOfDay = ParseClock(t);
            if (time.timeOfDay < 0 || !t.Done()) error = TimeError::Unreadable;
        } else {
            std::string_view dateText;
            error = ParseDateTime(timeText, time, year, &dateText);
            const std::size_t end = text.find_first_of("Tt ");
            if (error == TimeError::None && !dateText.empty()) {
                // Time first: the date is the rest when no zone follows it.
                if (text.ends_with(dateText) && time.zone == kNoZone) {
                    lastDateText_.assign(dateText);
                    lastDate_ = time;
                    lastTimeFirst_ = true;
                }
            } else if (error == TimeError::None && end != std::string_view::npos && !AllDigits(text)) {
                lastDateText_.assign(text.substr(0, end));
                lastDate_ = time;
                lastTimeFirst_ = false;
            }
        }
    }
    return error;
}

std::optional<ImportResult> CsvReader::ReadRows(CsvRows quick) {
    // More rows than a data set holds are refused, so no more room is needed.
    rows_.reserve(std::min(bytes_.size() / 24 + 1, static_cast<std::size_t>(kMaxSamples) + 1));
    PreferHugePages(rows_.data(), rows_.capacity() * sizeof(Row));
    std::string_view line;
    const char* const bytesEnd = bytes_.data() + bytes_.size();
    while (true) {
        if (quick == CsvRows::Quick) {
            const char* at = bytes_.data() + pos_;
            // Quick rows have no zone: read only while the file's stamps have none.
            if (zone_ == kNoZone) {
                const bool room = QuickRows(at, bytesEnd, separator_, columns_,
                                            {lastDateText_, lastDate_, lastTimeFirst_}, lineNumber_, rows_);
                pos_ = static_cast<std::size_t>(at - bytes_.data());
                if (!room) return Refuse(import_message::kTooLong);
            }
        }
        if (!NextLine(line)) break;
        if (Trim(line).empty()) continue;
        scratch_.clear();
        SplitFields(line, separator_, fields_, scratch_);
        JoinSplitYear();
        RawTime time;
        int year = 0;
        int badColumn = columns_.time;
        if (const TimeError error = RowTime(time, year, badColumn); error != TimeError::None) {
            const std::string_view shown = FieldText(badColumn);
            std::string why = error == TimeError::Year         ? YearRefusal(year)
                              : error == TimeError::Impossible ? Quote(shown) + " is no date in the calendar"
                              : shown.empty()                  ? "the time stamp is missing"
                                              : Quote(shown) + " is no date and time this reader knows";
            return Refuse(Line() + ", " + FieldName(badColumn) + ": " + why + ".");
        }
        if (zoneLine_ == 0) {
            zone_ = time.zone;
            zoneLine_ = lineNumber_;
        } else if (time.zone != zone_) {
            return Refuse(Line() + ", " + FieldName(columns_.time) + ": the time stamp's zone (" + ZoneText(time.zone) +
                          ") is not line " + std::to_string(zoneLine_) + "'s (" + ZoneText(zone_) +
                          "); a file that mixes offsets is not read.");
        }
        if (time.kind == RawTime::DayMonth && time.a != time.b) {
            ordersDiffer_ = true;
            if (time.a > 12 && !dayFirstSeen_) {
                dayFirstSeen_ = true;
                dayFirstLine_ = lineNumber_;
            }
            if (time.b > 12 && !monthFirstSeen_) {
                monthFirstSeen_ = true;
                monthFirstLine_ = lineNumber_;
            }
        }
        const auto spo2 = StoredField(FieldText(columns_.spo2), decimalComma_, kStoredMaxSpO2);
        const auto pulse = columns_.pulse >= 0 ? StoredField(FieldText(columns_.pulse), decimalComma_, kStoredMaxPulse)
                                               : std::optional<int>(-1);
        if (!spo2 || !pulse) {
            const int column = spo2 ? columns_.pulse : columns_.spo2;
            return Refuse(Line() + ", " + FieldName(column) + ": " + Quote(FieldText(column)) + " is no number.");
        }
        Row row;
        row.line = lineNumber_;
        row.SetTime(time, time.timeOfDay);
        row.spo2 = static_cast<std::uint8_t>(*spo2 < 0 ? kNoSpO2 : *spo2);
        row.pulse = static_cast<std::uint8_t>(*pulse < 0 ? kNoPulse : *pulse);
        row.missing = static_cast<std::uint8_t>((*spo2 < 0 ? kMissingSpO2 : 0) | (*pulse < 0 ? kMissingPulse : 0));
        rows_.push_back(row);
        if (rows_.size() > static_cast<std::size_t>(kMaxSamples)) return Refuse(import_message::kTooLong);
    }
    if (rows_.empty()) return Refuse(import_message::kEmpty);
    return std::nullopt;
}

std::optional<ImportResult> CsvReader::DateRows(DateOrder asked) {
    DateOrder order = asked;
    if (dayFirstSeen_ && monthFirstSeen_) {
        return Refuse("lines " + std::to_string(dayFirstLine_) + " and " + std::to_string(monthFirstLine_) +
                      ": the dates fit neither day/month/year nor month/day/year throughout.");
    }
    if (order == DateOrder::Unknown) {
        if (dayFirstSeen_)
            order = DateOrder::Dmy;
        else if (monthFirstSeen_)
            order = DateOrder::Mdy;
        else if (ordersDiffer_) {
            ImportResult r = Refuse(import_message::kAmbiguousDates);
            r.dateOrderAmbiguous = true;
            return r;
        } else {
            order = DateOrder::Dmy;  // every date reads the same either way
        }
    }

    // Each row's time stamp, in place: rows_[i].time is seconds since 2000 from here on.
    for (Row& row : rows_) {
        if (row.a == 0) continue;
        const int day = order == DateOrder::Dmy ? row.a : row.b;
        const int month = order == DateOrder::Dmy ? row.b : row.a;
        if (!ValidDateTime(row.year, month, day, 0, 0, 0)) {
            return Refuse("line " + std::to_string(row.line) + ", " +
                          FieldName(columns_.date >= 0 ? columns_.date : columns_.time) + ": day " +
                          std::to_string(day) + " of month " + std::to_string(month) +
                          " is no date in the calendar (read as " +
                          (order == DateOrder::Dmy ? "day/month/year" : "month/day/year") + ").");
        }
        row.time += static_cast<std::uint32_t>(DaysFromCivil(row.year, month, day) * 86400);
    }
    if (zone_ == kUtc) return ToLocalTime();
    return std::nullopt;
}

std::optional<ImportResult> CsvReader::ToLocalTime() {
    // The zone's offset changes on whole quarter hours at most: one look-up each.
    constexpr Seconds kQuarter = 900;
    constexpr Seconds kUnix2000 = 946'684'800;
    Seconds quarter = -1, offset = 0;
    for (Row& row : rows_) {
        const Seconds utc = row.time;
        if (utc / kQuarter != quarter) {
            quarter = utc / kQuarter;
            const std::time_t t = static_cast<std::time_t>(quarter * kQuarter + kUnix2000);
            std::tm local{};
            if (!localtime_r(&t, &local)) return Refuse("line " + std::to_string(row.line) + ": no local time.");
            offset = local.tm_gmtoff;
        }
        const Seconds at = utc + offset;
        if (at < 0 || at >= DaysFromCivil(kLastYear + 1, 1, 1) * 86400)
            return Refuse("line " + std::to_string(row.line) + ": " + YearRefusal(at < 0 ? kFirstYear - 1 : kLastYear + 1) +
                          ".");
        row.time = static_cast<std::uint32_t>(at);
    }
    summary_.push_back("The time stamps are in UTC (\"Z\"): converted to this computer's time zone.");
    return std::nullopt;
}

ImportResult CsvReader::Samples(int id) {
    const auto times = [this](std::size_t i) { return static_cast<Seconds>(rows_[i].time); };

    // The file's usual step between rows, among steps of 1 to 10 s.
    std::array<int, kMaxFillStep + 1> steps{};
    for (std::size_t i = 1; i < rows_.size(); ++i) {
        const Seconds d = times(i) - times(i - 1);
        if (d >= 1 && d <= kMaxFillStep) ++steps[static_cast<std::size_t>(d)];
    }
    const int usual = static_cast<int>(std::max_element(steps.begin() + 1, steps.end()) - steps.begin());
    const bool fill = steps[static_cast<std::size_t>(usual)] > 0 && usual >= 2;

    SampleSink sink(id);
    sink.Reserve(fill ? rows_.size() * static_cast<std::size_t>(usual) : rows_.size());
    const Seconds beyondLastYear = DaysFromCivil(kLastYear + 1, 1, 1) * 86400;
    long long empty = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Seconds repeat = 1;
        if (fill) {
            // A row before a gap, and the last, stands for the usual step.
            const Seconds d = i + 1 < rows_.size() ? times(i + 1) - times(i) : usual;
            if (d >= 2 && d <= kMaxFillStep)
                repeat = d;
            else if (d > kMaxFillStep)
                repeat = usual;
        }
        // Neither reading: the seconds the row stands for are a gap.
        if (rows_[i].missing == (kMissingSpO2 | kMissingPulse)) {
            empty += repeat;
            continue;
        }
        for (Seconds k = 0; k < repeat; ++k) {
            const Seconds at = times(i) + k;
            if (at >= beyondLastYear) break;
            if (!sink.Add(at, rows_[i].spo2, rows_[i].pulse)) return Refuse(import_message::kTooLong);
        }
    }
    return Finished(std::move(sink.Samples()), empty, std::move(summary_));
}

}  // namespace

ImportResult import_detail::ReadCsv(std::string_view bytes, const ImportOptions& options, CsvRows quick) {
    CsvReader reader(bytes);
    if (auto refused = reader.ReadHeader()) return std::move(*refused);
    if (auto refused = reader.ReadRows(quick)) return std::move(*refused);
    if (auto refused = reader.DateRows(options.dateOrder)) return std::move(*refused);
    return reader.Samples(options.id);
}

ImportResult ImportCsv(std::string_view bytes, const ImportOptions& options) {
    return ReadCsv(bytes, options, CsvRows::Quick);
}

}  // namespace quenda
