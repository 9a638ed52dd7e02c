#pragma once

// What the CSV and EDF readers share: whole-second local time stamps as a
// count of seconds, and the growing data set.
#include "formats/Import.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quenda::import_detail {

// Seconds since 2000-01-01 00:00:00 of the file's own (local) clock; no zone
// is applied, as the recorder's time stamps carry none.
using Seconds = long long;

inline constexpr int kFirstYear = 2000;
inline constexpr int kLastYear = 2127;  // the data file keeps years 2000 + 0..127

bool IsLeap(int year);
int DaysInMonth(int year, int month);
// Days since 2000-01-01 (proleptic Gregorian).
long long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long long days, int& year, int& month, int& day);

// Whether a date and time of day is a real one.
bool ValidDateTime(int year, int month, int day, int hour, int minute, int second);
Seconds ToSeconds(int year, int month, int day, int hour, int minute, int second);

// "Dates before 2000 or after 2127 ..." refusal text for `year`.
std::string YearRefusal(int year);

// The data set as it grows: samples appended in time order, each at its own
// second, with the day's date worked out once per day.
class SampleSink {
public:
    explicit SampleSink(int id) : id_(static_cast<std::uint8_t>(id)) {}
    void Reserve(std::size_t n) { samples_.reserve(n); }
    // False once the data set would hold more than kMaxSamples.
    bool Add(Seconds at, int spo2, int pulse);
    std::vector<SampleRecord>& Samples() { return samples_; }

private:
    std::uint8_t id_;
    std::vector<SampleRecord> samples_;
    long long day_ = -1;
    int year_ = 0, month_ = 0, dayOfMonth_ = 0;
};

// A measured value as the data set stores it: rounded, and "no measurement"
// when it is missing, 0, negative or above `maximum`.
int StoredValue(double value, int maximum, int none);

}  // namespace quenda::import_detail
