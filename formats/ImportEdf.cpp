// The EDF reader. EDF and EDF+C go through EDFlib. EDFlib refuses EDF+D
// ("discontinuous"), so those are read here from the bytes: the header, then
// each data record at the onset of its time-keeping annotation.
//
// SpO2 is the first signal whose label holds "SpO2", "SaO2", "Sat" or
// "Oxygen", pulse the first other one with "Pulse", "PR", "HR" or "Heart"
// (case ignored). Each second gets the mean of its valid samples (a faster
// signal) or the latest sample (a slower one), rounded. A raw value outside
// its signal's digital range is no reading (CPAP machines write -1 for "no
// oximeter"), never the range's edge; a second with no reading on either
// signal (every sample negative, 0 or out of range) is a gap.
#include "formats/Import.h"
#include "formats/ImportDetail.h"

#include <edflib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace quenda {

using namespace import_detail;

namespace {

constexpr long long kUnitsPerSecond = EDFLIB_TIME_DIMENSION;  // 100 ns
// A record longer than the whole data set is no file this reader can use.
constexpr long long kMaxRecordUnits = static_cast<long long>(kMaxSamples) * kUnitsPerSecond;
constexpr int kMaxSignals = 512;
constexpr long long kMaxSamplesPerRecord = 1'000'000;
constexpr std::size_t kFixedHeader = 256;

ImportResult Refuse(std::string message) {
    ImportResult r;
    r.message = std::move(message);
    return r;
}

bool LabelHas(std::string_view label, std::initializer_list<std::string_view> words) {
    std::string lower(label);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return lower.find(w) != std::string::npos; });
}

struct Chosen {
    int spo2 = -1;
    int pulse = -1;
};

Chosen ChooseSignals(const std::vector<std::string>& labels) {
    Chosen c;
    for (std::size_t i = 0; i < labels.size() && c.spo2 < 0; ++i) {
        if (LabelHas(labels[i], {"spo2", "sao2", "sat", "oxygen"})) c.spo2 = static_cast<int>(i);
    }
    for (std::size_t i = 0; i < labels.size() && c.pulse < 0; ++i) {
        if (static_cast<int>(i) != c.spo2 && LabelHas(labels[i], {"pulse", "pr", "hr", "heart"}))
            c.pulse = static_cast<int>(i);
    }
    return c;
}

std::string NoSpO2(const std::vector<std::string>& labels) {
    std::string list;
    for (const auto& l : labels) {
        std::string t = l;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        if (!list.empty()) list += ", ";
        list += "\"" + t + "\"";
    }
    return "The file has no SpO2 signal (a label with \"SpO2\", \"SaO2\", \"Sat\" or \"Oxygen\"); its signals are " +
           (list.empty() ? std::string("none") : list) + ".";
}

// A second without a reading on a signal: every sample negative (our own
// EDF+ export writes -1 on both signals for each second without a sample),
// 0, or outside the digital range. On both signals it is a gap, not a sample.
constexpr int kNoData = -1;

// The value of each second of one data record for one signal, asked second by
// second from the record's first: the mean of the valid samples falling in
// it; else its latest sample that is not negative, as it is when the data set
// can hold it (so a 1 Hz signal of our own export keeps its invalid values);
// else, with no sample in it, the latest one before (a signal slower than
// 1 Hz).
class SecondValues {
public:
    struct Range {
        int valid;   // the measurements, averaged, are 1 up to this
        int stored;  // the most the data set holds
    };
    SecondValues(std::span<const double> samples, long long recordUnits, Range range)
        : samples_(samples), recordUnits_(recordUnits), range_(range) {}

    int Next(long long second) {
        const auto m = static_cast<long long>(samples_.size());
        double sum = 0;
        int valid = 0;
        bool seen = false;
        double kept = -1;  // the latest sample that is not negative
        // Sample k falls in second floor(k * recordUnits / (m * units)); this
        // asks whether it is before the next second without dividing.
        const long long nextSecondAt = (second + 1) * m * kUnitsPerSecond;
        while (k_ < m && k_ * recordUnits_ < nextSecondAt) {
            const double v = samples_[static_cast<std::size_t>(k_)];
            if (v >= 0.5 && v < range_.valid + 0.5) {
                sum += v;
                ++valid;
            }
            if (v >= 0) kept = v;
            seen = true;
            latest_ = k_++;
        }
        if (seen) {
            if (valid > 0)
                return StoredValue(valid == 1 ? sum : sum / valid, range_.valid, kNoData);  // 1 Hz: no division
            return kept < 0 ? kNoData : StoredValue(kept, range_.stored, kNoData);
        }
        if (latest_ >= 0) {
            const double v = samples_[static_cast<std::size_t>(latest_)];
            return StoredValue(v, range_.stored, kNoData);  // NaN, negative: kNoData too
        }
        return kNoData;
    }

private:
    std::span<const double> samples_;
    long long recordUnits_;
    Range range_;
    long long k_ = 0;
    long long latest_ = -1;
};

// Adds one data record (starting `startUnits` after the file's start) to the
// data set; seconds at or before the last one added are skipped. `empty`
// counts the seconds without a reading, left as gaps.
bool AddRecord(SampleSink& sink, Seconds fileStart, long long startUnits, long long recordUnits,
               std::span<const double> spo2, std::span<const double> pulse, Seconds& lastAdded, long long& empty) {
    const Seconds first = startUnits / kUnitsPerSecond;
    const Seconds end = (startUnits + recordUnits + kUnitsPerSecond - 1) / kUnitsPerSecond;
    SecondValues spo2Values(spo2, recordUnits, {kImportMaxSpO2, kStoredMaxSpO2});
    SecondValues pulseValues(pulse, recordUnits, {kImportMaxPulse, kStoredMaxPulse});
    const Seconds last = DaysFromCivil(kLastYear + 1, 1, 1) * 86400;
    for (Seconds s = 0; s < end - first; ++s) {
        int spo2Value = spo2Values.Next(s);
        int pulseValue = pulse.empty() ? kNoData : pulseValues.Next(s);
        if (spo2Value == kNoData && pulseValue == kNoData) {
            empty += fileStart + first + s > lastAdded;
            continue;  // a gap
        }
        if (spo2Value == kNoData) spo2Value = kNoSpO2;
        if (pulseValue == kNoData) pulseValue = kNoPulse;
        const Seconds at = fileStart + first + s;
        if (at <= lastAdded) continue;
        if (at >= last) return true;
        if (!sink.Add(at, spo2Value, pulseValue)) return false;
        lastAdded = at;
    }
    return true;
}

std::optional<Seconds> FileStart(int year, int month, int day, int hour, int minute, int second, std::string& why) {
    if (year < kFirstYear || year > kLastYear) {
        why = "The recording starts in " + std::to_string(year) + ": " + YearRefusal(year) + ".";
        return std::nullopt;
    }
    if (!ValidDateTime(year, month, day, hour, minute, second)) {
        why = "The header's start date and time is no date in the calendar.";
        return std::nullopt;
    }
    return ToSeconds(year, month, day, hour, minute, second);
}

// ---- EDF+D from the bytes -------------------------------------------------

std::string_view Field(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
    return {reinterpret_cast<const char*>(bytes.data()) + at, size};
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

std::optional<long long> Integer(std::string_view s) {
    s = TrimRight(s);
    if (s.empty() || s.size() > 12) return std::nullopt;
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

// A decimal number in units of 100 ns ("30", "0.5", "+12.25").
std::optional<long long> Units(std::string_view s) {
    s = TrimRight(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long whole = 0;
    std::size_t i = 0;
    int digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
        if (digits >= 9) return std::nullopt;
        whole = whole * 10 + (s[i] - '0');
    }
    long long fraction = 0;
    long long scale = kUnitsPerSecond;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
            if (scale > 1) {
                scale /= 10;
                fraction += (s[i] - '0') * scale;
            }
        }
    }
    if (i != s.size() || digits == 0) return std::nullopt;
    const long long v = whole * kUnitsPerSecond + fraction;
    return negative ? -v : v;
}

std::optional<double> Real(std::string_view s) {
    s = TrimRight(s);
    if (s.empty()) return std::nullopt;
    std::string text(s);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

struct Signal {
    std::string label;
    double physMin = 0, physMax = 0;
    long long digMin = 0, digMax = 0;
    long long perRecord = 0;
    std::size_t offset = 0;  // in samples, within a record
};

// The longest a file with this fixed header can be and still hold no more
// than a data set: the whole header and as many data records as the readers
// take before they find the file too long. Nothing when the header's numbers
// are unusable.
std::optional<std::uint64_t> LargestEdf(InputFile& file, std::span<const std::uint8_t> fixed) {
    if (fixed.size() < kFixedHeader) return std::nullopt;
    const auto duration = Units(Field(fixed, 244, 8));
    const auto signals = Integer(Field(fixed, 252, 4));
    if (!duration || *duration <= 0 || *duration > kMaxRecordUnits || !signals || *signals < 1 ||
        *signals > kMaxSignals)
        return std::nullopt;
    const auto ns = static_cast<std::size_t>(*signals);
    std::vector<std::uint8_t> counts(8 * ns);
    std::size_t got = 0;
    if (!file.ReadAt(kFixedHeader + 216 * ns, counts.data(), counts.size(), got) || got != counts.size())
        return std::nullopt;
    std::uint64_t recordBytes = 0;
    for (std::size_t i = 0; i < ns; ++i) {
        const auto n = Integer(Field(counts, 8 * i, 8));
        if (!n || *n < 1 || *n > kMaxSamplesPerRecord) return std::nullopt;
        recordBytes += 2 * static_cast<std::uint64_t>(*n);
    }
    const std::uint64_t headerBytes = kFixedHeader * (ns + 1);
    const auto records = static_cast<std::uint64_t>(((kMaxSamples + 1LL) * kUnitsPerSecond - 1) / *duration);
    if (records > (UINT64_MAX - headerBytes) / recordBytes) return UINT64_MAX;
    return headerBytes + records * recordBytes;
}

// The signals an EDF+D header describes, each with its place in a data record,
// and which of them is "EDF Annotations"; a refusal names the signal at fault.
struct EdfSignals {
    std::vector<Signal> signals;
    std::size_t recordSamples = 0;  // every signal's samples in one data record
    int annotations = -1;
};

std::optional<ImportResult> ReadSignals(std::span<const std::uint8_t> bytes, std::size_t ns, EdfSignals& out) {
    out.signals.resize(ns);
    for (std::size_t i = 0; i < ns; ++i) {
        Signal& s = out.signals[i];
        s.label = std::string(TrimRight(Field(bytes, kFixedHeader + 16 * i, 16)));
        const std::size_t base = kFixedHeader + ns * 104;  // after label, transducer, dimension
        const auto pMin = Real(Field(bytes, base + 8 * i, 8));
        const auto pMax = Real(Field(bytes, base + ns * 8 + 8 * i, 8));
        const auto dMin = Integer(Field(bytes, base + ns * 16 + 8 * i, 8));
        const auto dMax = Integer(Field(bytes, base + ns * 24 + 8 * i, 8));
        const auto n = Integer(Field(bytes, kFixedHeader + ns * 216 + 8 * i, 8));
        const std::string which = "signal " + std::to_string(i + 1) + " (\"" + s.label + "\")";
        if (!pMin || !pMax || !dMin || !dMax || *dMax <= *dMin || *pMax == *pMin)
            return Refuse("The EDF header's ranges of " + which + " are not usable numbers.");
        if (!n || *n < 1 || *n > kMaxSamplesPerRecord)
            return Refuse("The EDF header's samples per data record of " + which + " is no usable number.");
        s.physMin = *pMin;
        s.physMax = *pMax;
        s.digMin = *dMin;
        s.digMax = *dMax;
        s.perRecord = *n;
        s.offset = out.recordSamples;
        out.recordSamples += static_cast<std::size_t>(*n);
        if (out.annotations < 0 && s.label == "EDF Annotations") out.annotations = static_cast<int>(i);
    }
    if (out.annotations < 0)
        return Refuse("The EDF+D file has no \"EDF Annotations\" signal to give its records' times.");
    return std::nullopt;
}

// The header's start: dd.mm.yy and hh.mm.ss, years 85-99 being 1985-1999,
// unless the recording field gives the full year. Nothing, with `why`, when
// it is no date and time.
std::optional<Seconds> EdfStart(std::span<const std::uint8_t> bytes, std::string& why) {
    const std::string_view date = Field(bytes, 168, 8), time = Field(bytes, 176, 8);
    auto two = [](std::string_view s, std::size_t at) -> int {
        const char a = s[at], b = s[at + 1];
        return a >= '0' && a <= '9' && b >= '0' && b <= '9' ? (a - '0') * 10 + (b - '0') : -1;
    };
    const int dd = two(date, 0), mm = two(date, 3), yy = two(date, 6);
    const int hh = two(time, 0), mi = two(time, 3), ss = two(time, 6);
    if (dd < 0 || mm < 0 || yy < 0 || hh < 0 || mi < 0 || ss < 0) {
        why = "The EDF header's start date or time (bytes 168-183) is not dd.mm.yy and hh.mm.ss.";
        return std::nullopt;
    }
    int year = yy >= 85 ? 1900 + yy : 2000 + yy;
    // EDF+ gives the full year in the recording field ("Startdate 07-DEC-2026 ...").
    const std::string_view recording = Field(bytes, 88, 80);
    if (recording.starts_with("Startdate ") && recording.size() >= 21 && recording[12] == '-' && recording[16] == '-') {
        if (const auto y = Integer(recording.substr(17, 4)); y && *y >= 1985 && *y <= 9999) year = static_cast<int>(*y);
    }
    return FileStart(year, mm, dd, hh, mi, ss, why);
}

// A raw value in physical units; NaN (no reading) outside the digital range.
double Physical(const Signal& s, long long digital) {
    if (digital < s.digMin || digital > s.digMax) return std::numeric_limits<double>::quiet_NaN();
    return s.physMin + static_cast<double>(digital - s.digMin) * (s.physMax - s.physMin) /
                           static_cast<double>(s.digMax - s.digMin);
}

// A signal's samples in one data record, in physical units.
void PhysicalValues(const Signal& s, const std::uint8_t* record, std::vector<double>& out) {
    out.resize(static_cast<std::size_t>(s.perRecord));
    for (std::size_t k = 0; k < out.size(); ++k) {
        const std::uint8_t* p = record + 2 * (s.offset + k);
        out[k] = Physical(s, static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8))));
    }
}

// Where the signals EDFlib numbers lie in a data record; EDFlib leaves an
// EDF+ file's annotation signals out of its numbering.
struct RecordLayout {
    std::uint64_t headerBytes = 0;
    std::size_t recordBytes = 0;
    std::vector<std::size_t> offsets;  // in samples, by EDFlib's signal number
};

std::optional<RecordLayout> ReadLayout(InputFile& file, bool edfPlus) {
    std::uint8_t fixed[kFixedHeader];
    std::size_t got = 0;
    if (!file.ReadAt(0, fixed, sizeof fixed, got) || got != sizeof fixed) return std::nullopt;
    const auto signals = Integer(Field(fixed, 252, 4));
    if (!signals || *signals < 1 || *signals > kMaxSignals) return std::nullopt;
    const auto ns = static_cast<std::size_t>(*signals);
    std::vector<std::uint8_t> labels(16 * ns), counts(8 * ns);
    if (!file.ReadAt(kFixedHeader, labels.data(), labels.size(), got) || got != labels.size() ||
        !file.ReadAt(kFixedHeader + 216 * ns, counts.data(), counts.size(), got) || got != counts.size())
        return std::nullopt;
    RecordLayout layout;
    layout.headerBytes = kFixedHeader * (ns + 1);
    std::size_t samples = 0;
    for (std::size_t i = 0; i < ns; ++i) {
        const auto n = Integer(Field(counts, 8 * i, 8));
        if (!n || *n < 1 || *n > kMaxSamplesPerRecord) return std::nullopt;
        if (!edfPlus || TrimRight(Field(labels, 16 * i, 16)) != "EDF Annotations") layout.offsets.push_back(samples);
        samples += static_cast<std::size_t>(*n);
    }
    layout.recordBytes = 2 * samples;
    return layout;
}

// What the import read: the signals taken for SpO2 and pulse.
std::vector<std::string> SignalsRead(const std::string& spo2, const std::string* pulse) {
    std::string line = "Read the signal \"" + std::string(TrimRight(spo2)) + "\" as SpO2";
    line += pulse ? " and \"" + std::string(TrimRight(*pulse)) + "\" as pulse." : "; the file has no pulse signal.";
    return {line};
}

// The data records, each at the onset its first time-keeping annotation
// gives, in order; `spo2` and `pulse` (or none) pick the signals.
ImportResult ReadRecords(std::span<const std::uint8_t> bytes, std::size_t ns, const EdfSignals& edf,
                         long long recordCount, long long duration, Seconds start, const Signal& spo2Signal,
                         const Signal* pulseSignal, int id) {
    const std::size_t recordBytes = edf.recordSamples * 2;
    SampleSink sink(id);
    Seconds lastAdded = -1;
    std::vector<double> spo2, pulse;
    const Signal& tal = edf.signals[static_cast<std::size_t>(edf.annotations)];
    long long previousOnset = -1;
    long long empty = 0;
    for (long long r = 0; r < recordCount; ++r) {
        const std::uint8_t* record = bytes.data() + kFixedHeader * (ns + 1) + static_cast<std::size_t>(r) * recordBytes;
        // The record's first TAL: "+onset" 0x14 0x14 0x00.
        const std::string_view talBytes(reinterpret_cast<const char*>(record) + 2 * tal.offset,
                                        static_cast<std::size_t>(tal.perRecord) * 2);
        const std::size_t end = talBytes.find('\x14');
        const auto onset = end == std::string_view::npos ? std::nullopt : Units(talBytes.substr(0, end));
        if (!onset || (talBytes.front() != '+' && talBytes.front() != '-') || *onset < 0 || *onset > kMaxRecordUnits) {
            return Refuse("Data record " + std::to_string(r + 1) +
                          " of the EDF+D file does not begin with its onset (a time-keeping annotation).");
        }
        if (*onset < previousOnset)
            return Refuse("Data record " + std::to_string(r + 1) +
                          " of the EDF+D file starts before the one ahead of it.");
        previousOnset = *onset;
        PhysicalValues(spo2Signal, record, spo2);
        if (pulseSignal) PhysicalValues(*pulseSignal, record, pulse);
        if (!AddRecord(sink, start, *onset, duration, spo2,
                       pulseSignal ? std::span<const double>(pulse) : std::span<const double>(), lastAdded, empty)) {
            return Refuse(import_message::kTooLong);
        }
    }
    return Finished(std::move(sink.Samples()), empty,
                    SignalsRead(spo2Signal.label, pulseSignal ? &pulseSignal->label : nullptr));
}

}  // namespace

ImportResult ImportEdfDiscontinuous(std::span<const std::uint8_t> bytes, const ImportOptions& options) {
    if (bytes.size() < kFixedHeader || !LooksLikeEdf(bytes))
        return Refuse("The file is no EDF file: its header is missing.");
    const auto headerBytes = Integer(Field(bytes, 184, 8));
    const auto records = Integer(Field(bytes, 236, 8));
    const auto duration = Units(Field(bytes, 244, 8));
    const auto signalCount = Integer(Field(bytes, 252, 4));
    if (!signalCount || *signalCount < 1 || *signalCount > kMaxSignals)
        return Refuse("The EDF header's number of signals (bytes 252-255) is no number from 1 to 512.");
    const auto ns = static_cast<std::size_t>(*signalCount);
    if (!headerBytes || *headerBytes != static_cast<long long>(kFixedHeader * (ns + 1)))
        return Refuse("The EDF header's size (bytes 184-191) does not match its " + std::to_string(ns) + " signals.");
    if (bytes.size() < kFixedHeader * (ns + 1)) return Refuse("The EDF file ends inside its header.");
    if (!duration || *duration <= 0 || *duration > kMaxRecordUnits)
        return Refuse("The EDF header's data record duration (bytes 244-251) is no positive number of seconds.");
    if (!TrimRight(Field(bytes, 192, 44)).starts_with("EDF+D"))
        return Refuse("The file is no EDF+D file (bytes 192-196 are not \"EDF+D\").");

    EdfSignals edf;
    if (auto refused = ReadSignals(bytes, ns, edf)) return std::move(*refused);
    std::vector<std::string> labels;
    std::vector<int> index;  // labels' signal numbers
    for (std::size_t i = 0; i < ns; ++i) {
        if (static_cast<int>(i) == edf.annotations) continue;
        labels.push_back(edf.signals[i].label);
        index.push_back(static_cast<int>(i));
    }
    const Chosen chosen = ChooseSignals(labels);
    if (chosen.spo2 < 0) return Refuse(NoSpO2(labels));

    const std::size_t recordBytes = edf.recordSamples * 2;
    const std::size_t dataBytes = bytes.size() - kFixedHeader * (ns + 1);
    const long long recordCount = records.value_or(-1);
    // -1 is what a recorder writes until it closes the file: none were finished.
    if (recordCount == -1 || recordCount == 0) return Refuse(import_message::kNoRecords);
    if (recordCount < 0 || static_cast<unsigned long long>(recordCount) > dataBytes / recordBytes)
        return Refuse("The EDF file is shorter than its header says: " + std::to_string(recordCount) +
                      " data records of " + std::to_string(recordBytes) + " bytes do not fit.");
    // Records never overlap, so this many would hold more seconds than a data set.
    if (recordCount * (*duration / kUnitsPerSecond) > kMaxSamples) return Refuse(import_message::kTooLong);

    std::string why;
    const auto start = EdfStart(bytes, why);
    if (!start) return Refuse(why);
    const auto signal = [&](int label) -> const Signal& {
        return edf.signals[static_cast<std::size_t>(index[static_cast<std::size_t>(label)])];
    };
    return ReadRecords(bytes, ns, edf, recordCount, *duration, *start, signal(chosen.spo2),
                       chosen.pulse >= 0 ? &signal(chosen.pulse) : nullptr, options.id);
}

ImportResult import_detail::ReadEdf(InputFile& file, const std::filesystem::path& path, const ImportOptions& options) {
    std::vector<std::uint8_t> fixed(kFixedHeader);
    std::size_t got = 0;
    if (!file.ReadAt(0, fixed.data(), fixed.size(), got)) return Unreadable(file, path);
    fixed.resize(got);
    // A file longer than its header allows for a full data set is refused
    // before it is read; one whose header is unusable is left to the readers,
    // which say what is wrong with it.
    if (const auto largest = LargestEdf(file, fixed); largest && !file.Limit(*largest))
        return Refuse(import_message::kTooLong);
    if (fixed.size() == kFixedHeader) {
        if (const auto records = Integer(Field(fixed, 236, 8)); records && (*records == -1 || *records == 0))
            return Refuse(import_message::kNoRecords);
    }
    if (fixed.size() == kFixedHeader && Field(fixed, 192, 5) == "EDF+D") {
        std::vector<std::uint8_t> bytes;
        if (!file.ReadAll(bytes)) {
            return file.Problem() == InputProblem::TooLarge ? Refuse(import_message::kTooLong) : Unreadable(file, path);
        }
        return ImportEdfDiscontinuous(bytes, options);
    }
    // EDFlib fills the header (some 200 KB) itself.
    const auto header = std::make_unique_for_overwrite<edf_hdr_struct>();
    if (edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0) {
        switch (header->filetype) {
            case EDFLIB_FILE_IS_DISCONTINUOUS: return Refuse("The EDF+ file is discontinuous and could not be read.");
            case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
                return Refuse("The file is no valid EDF file: EDFlib found format errors in its header.");
            case EDFLIB_FILE_READ_ERROR: return Refuse("can't read " + path.string());
            default:
                return Refuse("The file could not be read as EDF (EDFlib error " + std::to_string(header->filetype) +
                              ").");
        }
    }
    struct Closer {
        int handle;
        ~Closer() { edfclose_file(handle); }
    } closer{header->handle};
    if (header->filetype != EDFLIB_FILETYPE_EDF && header->filetype != EDFLIB_FILETYPE_EDFPLUS)
        return Refuse("The file is BDF, not EDF.");
    std::vector<std::string> labels;
    for (int i = 0; i < header->edfsignals; ++i) labels.emplace_back(header->signalparam[i].label);
    const Chosen chosen = ChooseSignals(labels);
    if (chosen.spo2 < 0) return Refuse(NoSpO2(labels));
    const long long recordUnits = header->datarecord_duration;
    if (recordUnits <= 0 || recordUnits > kMaxRecordUnits)
        return Refuse("The EDF header's data record duration is no positive number of seconds.");
    if (header->datarecords_in_file < 1) return Refuse(import_message::kEmpty);
    if (header->datarecords_in_file * recordUnits / kUnitsPerSecond > kMaxSamples)
        return Refuse(import_message::kTooLong);
    std::string why;
    const auto start = FileStart(header->startdate_year, header->startdate_month, header->startdate_day,
                                 header->starttime_hour, header->starttime_minute, header->starttime_second, why);
    if (!start) return Refuse(why);

    const int spo2N = header->signalparam[chosen.spo2].smp_in_datarecord;
    const int pulseN = chosen.pulse >= 0 ? header->signalparam[chosen.pulse].smp_in_datarecord : 0;
    if (spo2N < 1 || (chosen.pulse >= 0 && pulseN < 1)) return Refuse("The EDF file's signals hold no samples.");
    SampleSink sink(options.id);
    sink.Reserve(static_cast<std::size_t>(header->datarecords_in_file * recordUnits / kUnitsPerSecond + 1));
    Seconds lastAdded = -1;
    long long empty = 0;
    // The records are read here, raw: EDFlib reads a value outside the
    // digital range as the range's edge, where it is no reading.
    const auto layout = ReadLayout(file, header->filetype == EDFLIB_FILETYPE_EDFPLUS);
    if (!layout || layout->offsets.size() != static_cast<std::size_t>(header->edfsignals))
        return Refuse("The EDF header's signals could not be read.");
    const auto signal = [&](int i) {
        const edf_param_struct& p = header->signalparam[i];
        return Signal{p.label, p.phys_min, p.phys_max, p.dig_min, p.dig_max, p.smp_in_datarecord,
                      layout->offsets[static_cast<std::size_t>(i)]};
    };
    const Signal spo2Signal = signal(chosen.spo2);
    const Signal pulseSignal = chosen.pulse >= 0 ? signal(chosen.pulse) : Signal{};
    std::vector<std::uint8_t> record(layout->recordBytes);
    std::vector<double> spo2, pulse;
    for (long long r = 0; r < header->datarecords_in_file; ++r) {
        std::size_t read = 0;
        if (!file.ReadAt(layout->headerBytes + static_cast<std::uint64_t>(r) * record.size(), record.data(),
                         record.size(), read) ||
            read != record.size()) {
            return Refuse("Data record " + std::to_string(r + 1) + " of the EDF file could not be read.");
        }
        PhysicalValues(spo2Signal, record.data(), spo2);
        if (chosen.pulse >= 0) PhysicalValues(pulseSignal, record.data(), pulse);
        if (!AddRecord(sink, *start, r * recordUnits, recordUnits, spo2, pulse, lastAdded, empty))
            return Refuse(import_message::kTooLong);
    }
    return Finished(std::move(sink.Samples()), empty,
                    SignalsRead(spo2Signal.label, chosen.pulse >= 0 ? &pulseSignal.label : nullptr));
}

ImportResult ImportEdf(const std::filesystem::path& path, const ImportOptions& options) {
    InputFile file(path, UINT64_MAX);
    return file ? import_detail::ReadEdf(file, path, options) : Unreadable(file, path);
}

// The header helpers the annotation reader (Scoring.cpp) reads the same header with.
std::optional<Seconds> import_detail::EdfHeaderStart(std::span<const std::uint8_t> fixedHeader, std::string& why) {
    return EdfStart(fixedHeader, why);
}
std::optional<long long> import_detail::EdfInteger(std::string_view field) { return Integer(field); }
std::optional<long long> import_detail::EdfUnits(std::string_view field) { return Units(field); }

}  // namespace quenda
