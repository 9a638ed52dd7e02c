#pragma once

// What the CSV and EDF readers share: whole-second local time stamps as a
// count of seconds, and the growing data set.
#include "base/InputFile.h"
#include "formats/Import.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
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

// Asks for 2 MB pages under a buffer of megabytes not yet touched: a full
// data set's file, rows and samples would otherwise take some 7,000 page
// faults, which cost more than parsing them.
void PreferHugePages(const void* data, std::size_t bytes);

// The data set as it grows: samples appended in time order, each at its own
// second, with the day's date worked out once per day.
class SampleSink {
public:
    explicit SampleSink(int id) : id_(static_cast<std::uint8_t>(id)) {}
    void Reserve(std::size_t n);
    // False once the data set would hold more than kMaxSamples.
    bool Add(Seconds at, int spo2, int pulse) {
        // Most samples are the next second of the same minute: one increment.
        if (at == last_ + 1 && samples_.size() < samples_.capacity() &&
            samples_.size() < static_cast<std::size_t>(kMaxSamples) && samples_.back().second < 59) {
            SampleRecord r = samples_.back();
            ++r.second;
            r.spo2 = static_cast<std::uint8_t>(spo2);
            r.pulseRate = static_cast<std::uint8_t>(pulse);
            samples_.push_back(r);
            last_ = at;
            return true;
        }
        return AddAnySecond(at, spo2, pulse);
    }
    std::vector<SampleRecord>& Samples() { return samples_; }

private:
    std::uint8_t id_;
    bool AddAnySecond(Seconds at, int spo2, int pulse);

    std::vector<SampleRecord> samples_;
    long long day_ = -1;
    int year_ = 0, month_ = 0, dayOfMonth_ = 0;
    Seconds last_ = std::numeric_limits<Seconds>::min();  // the newest sample's second
};

// A measured value as the data set stores it: rounded, and `none` when it is
// NaN, negative or above `maximum`, which the data set cannot hold.
int StoredValue(double value, int maximum, int none);

// Whether a stored SpO2 value is a reading (1 to 100 %), not a marker or 0.
inline bool IsSpO2Reading(int spo2) { return spo2 >= 1 && spo2 <= kImportMaxSpO2; }

// The data set as a reader made it, checked alike for every kind of file: one
// without a single SpO2 reading is refused, and the summary gains how many
// seconds held no reading (`emptySeconds`: those left out as gaps because
// neither reading was there; the samples say the rest).
ImportResult Finished(std::vector<SampleRecord>&& samples, long long emptySeconds, std::vector<std::string> summary);

// The refusal for a file that could not be opened or read whole: a folder,
// a FIFO or device, one larger than a CSV file can be, or the system's error.
ImportResult Unreadable(const InputFile& file, const std::filesystem::path& path);

// An EDF file ImportFile has opened.
ImportResult ReadEdf(InputFile& file, const std::filesystem::path& path, const ImportOptions& options);

// The CSV reader with or without its quick walk along the common rows; both
// must read every file alike (the fuzz target holds them to it).
enum class CsvRows { Quick, GeneralOnly };
ImportResult ReadCsv(std::string_view bytes, const ImportOptions& options, CsvRows rows);

// What an EDF header's fields read as (ImportEdf.cpp): the start (bytes
// 168-183, the full year from an EDF+ recording field), an integer field and
// a decimal number of seconds in units of 100 ns. Nothing when unusable.
std::optional<Seconds> EdfHeaderStart(std::span<const std::uint8_t> fixedHeader, std::string& why);
std::optional<long long> EdfInteger(std::string_view field);
std::optional<long long> EdfUnits(std::string_view field);

}  // namespace quenda::import_detail
