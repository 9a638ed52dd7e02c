#pragma once

// Fast number formatting for the exports that write a line per sample: two
// digits at a time from a table, and a sample's date formatted once per day
// rather than once per line.
#include "store/SampleRecord.h"

#include <cstring>

namespace quenda::line_format {

inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// At least two digits ("%02u"), more when the value needs them. Returns the end.
inline char* Two(char* p, unsigned v) {
    if (v >= 100) {
        *p++ = static_cast<char>('0' + v / 100);
        v %= 100;
    }
    std::memcpy(p, kPairs + 2 * v, 2);
    return p + 2;
}

// "%u" of a value below 1000.
inline char* Plain(char* p, unsigned v) {
    if (v >= 100) return Two(p, v);
    if (v >= 10) return Two(p, v);
    *p++ = static_cast<char>('0' + v);
    return p;
}

// The date part of a line, remade only when the day changes.
class DatePrefix {
public:
    // `format` writes the date of `r` at `p` and returns the end.
    template <typename Format>
    std::string_view Of(const SampleRecord& r, Format&& format) {
        if (!valid_ || r.year != year_ || r.month != month_ || r.day != day_) {
            valid_ = true;
            year_ = r.year;
            month_ = r.month;
            day_ = r.day;
            size_ = static_cast<std::size_t>(format(text_, r) - text_);
        }
        return {text_, size_};
    }

private:
    bool valid_ = false;
    std::uint8_t year_ = 0, month_ = 0, day_ = 0;
    char text_[32] = {};
    std::size_t size_ = 0;
};

}  // namespace quenda::line_format
