#include "formats/Import.h"

#include "formats/ImportDetail.h"
#include "store/KeptDownload.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace quenda {

namespace fs = std::filesystem;

namespace import_detail {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Howard Hinnant's days_from_civil, shifted so 2000-01-01 is day 0.
long long DaysFromCivil(int year, int month, int day) {
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 10957;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
    const long long z = days + 10957 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool ValidDateTime(int year, int month, int day, int hour, int minute, int second) {
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 &&
           minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

Seconds ToSeconds(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string YearRefusal(int year) {
    return "the year " + std::to_string(year) + " is outside 2000 to 2127, the years a data file can hold";
}

void PreferHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHuge = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHuge - 1);
    // Advice only: where the kernel says no, small pages serve as before.
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void SampleSink::Reserve(std::size_t n) {
    samples_.reserve(std::min(n, static_cast<std::size_t>(kMaxSamples)));
    PreferHugePages(samples_.data(), samples_.capacity() * sizeof(SampleRecord));
}

bool SampleSink::AddAnySecond(Seconds at, int spo2, int pulse) {
    if (samples_.size() >= static_cast<std::size_t>(kMaxSamples)) return false;
    last_ = at;
    const long long day = at >= 0 ? at / 86400 : -1;
    if (day != day_) {
        day_ = day;
        CivilFromDays(day, year_, month_, dayOfMonth_);
    }
    const long long inDay = at - day * 86400;
    SampleRecord r;
    r.id = id_;
    r.year = static_cast<std::uint8_t>(year_ - kFirstYear);
    r.month = static_cast<std::uint8_t>(month_);
    r.day = static_cast<std::uint8_t>(dayOfMonth_);
    r.hour = static_cast<std::uint8_t>(inDay / 3600);
    r.minute = static_cast<std::uint8_t>(inDay / 60 % 60);
    r.second = static_cast<std::uint8_t>(inDay % 60);
    r.spo2 = static_cast<std::uint8_t>(spo2);
    r.pulseRate = static_cast<std::uint8_t>(pulse);
    samples_.push_back(r);
    return true;
}

ImportResult Unreadable(const InputFile& file, const fs::path& path) {
    ImportResult r;
    switch (file.Problem()) {
        case InputProblem::Folder: r.message = import_message::kFolder; break;
        case InputProblem::NotRegular: r.message = import_message::kNotAFile; break;
        case InputProblem::TooLarge: r.message = import_message::kCsvTooLarge; break;
        case InputProblem::CantRead: r.message = "can't read " + path.string(); break;
        case InputProblem::CantOpen:
        case InputProblem::None: r.message = "can't open " + path.string(); break;
    }
    return r;
}

int StoredValue(double value, int maximum, int none) {
    // Other oximeters write 0 for "no reading" (this recorder writes 127 and
    // 255, which are kept as they are).
    if (!(value >= 0.5) || value >= maximum + 0.5) return none;  // NaN, 0, negative, too high
    // Positive here, so truncation rounds down.
    return static_cast<int>(value + 0.5);
}

ImportResult Finished(std::vector<SampleRecord>&& samples, long long emptySeconds, std::vector<std::string> summary) {
    ImportResult r;
    long long noSpO2 = 0, noPulse = 0;
    for (const SampleRecord& s : samples) {
        noSpO2 += !IsSpO2Reading(s.spo2);
        noPulse += s.pulseRate == 0 || s.pulseRate > kImportMaxPulse;
    }
    if (noSpO2 == static_cast<long long>(samples.size())) {
        r.message = import_message::kNoSpO2Reading;
        return r;
    }
    if (emptySeconds > 0 || noSpO2 > 0 || noPulse > 0) {
        summary.push_back(std::to_string(emptySeconds) + " s held no reading (left as gaps); of the " +
                          std::to_string(samples.size()) + " s kept, " + std::to_string(noSpO2) + " had no SpO2 and " +
                          std::to_string(noPulse) + " no pulse reading.");
    }
    r.ok = true;
    r.samples = std::move(samples);
    r.summary = std::move(summary);
    return r;
}

}  // namespace import_detail

DateOrder ParseDateOrder(std::string_view text) {
    if (text == "dmy") return DateOrder::Dmy;
    if (text == "mdy") return DateOrder::Mdy;
    return DateOrder::Unknown;
}

bool LooksLikeEdf(std::span<const std::uint8_t> head) {
    static constexpr std::string_view kVersion = "0       ";
    return head.size() >= kVersion.size() &&
           std::string_view(reinterpret_cast<const char*>(head.data()), kVersion.size()) == kVersion;
}

ImportResult ImportFile(const fs::path& path, const ImportOptions& options) {
    // An EDF file's limit comes from its header, so none is set before it is seen.
    InputFile file(path, UINT64_MAX);
    std::uint8_t head[kRingHeader] = {};
    std::size_t got = 0;
    if (!file.ReadAt(0, head, sizeof head, got)) return import_detail::Unreadable(file, path);
    if (LooksLikeEdf({head, got})) return import_detail::ReadEdf(file, path, options);
    if (!file.Limit(kMaxCsvFile)) return import_detail::Unreadable(file, path);
    if (LooksLikeRing({head, got})) {
        std::vector<std::uint8_t> bytes;
        if (!file.ReadAll(bytes)) return import_detail::Unreadable(file, path);
        return ImportRing(bytes, path.filename().string(), options);
    }
    // One read of the whole file: a stream iterator costs more than the parsing.
    const std::size_t size = file.Size();
    const auto buffer = std::make_unique_for_overwrite<char[]>(size);
    import_detail::PreferHugePages(buffer.get(), size);
    if (!file.Read(buffer.get(), size, got)) return import_detail::Unreadable(file, path);
    return ImportCsv({buffer.get(), got}, options);
}

fs::path DefaultImportsRoot() { return QuendaDataFolder() / "imports"; }

FileResult KeepImport(const fs::path& source, int id, std::span<const SampleRecord> samples, const fs::path& root,
                      fs::path& written) {
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec || !fs::is_directory(root, ec)) {
        return FileResult{false, "Can't create the folder " + root.string(), ec.message()};
    }
    // An import is medical data: the folder and file are the user's alone.
    ::chmod(root.c_str(), 0700);
    std::string stem = source.stem().string();
    if (stem.empty()) stem = "import";
    const std::string base = stem + "-ID" + std::to_string(id);
    const auto bytes = EncodeDataFile(static_cast<std::uint8_t>(id), samples, "");
    for (int n = 1; n < 10'000; ++n) {
        const fs::path candidate = root / (base + (n == 1 ? "" : "-" + std::to_string(n)) + ".dat");
        if (fs::exists(candidate, ec)) {
            // The same samples imported again: keep the one file.
            std::ifstream in(candidate, std::ios::binary);
            const std::vector<char> old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (old.size() == bytes.size() &&
                std::equal(old.begin(), old.end(), bytes.begin(), bytes.end(),
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
                written = candidate;
                return {};
            }
            continue;
        }
        // Written inside the 0700 folder, so the moment before chmod shows it to no one.
        FileResult result = WriteDataFile(candidate, static_cast<std::uint8_t>(id), samples, "");
        if (result) {
            ::chmod(candidate.c_str(), 0600);
            written = candidate;
        }
        return result;
    }
    return FileResult{false, "Can't create the file", "too many imports named " + base + " in " + root.string()};
}

bool IsForeignFile(const fs::path& path) {
    std::error_code ec;
    // A folder is a kept download whatever its name, never a CSV or EDF file.
    if (fs::is_directory(path, ec)) return false;
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".csv" || ext == ".edf") return true;
    // Read as the importer reads: a FIFO or a device is no EDF or ring file.
    InputFile file(path, UINT64_MAX);
    std::uint8_t head[kRingHeader] = {};
    std::size_t got = 0;
    if (!file.ReadAt(0, head, sizeof head, got)) return false;
    // The ring's files are often copied out as "O2Ring_<14 digits>.dat". None
    // of our data files passes the ring's header check: their fifth byte, the
    // record count's highest, would be the month, and it is always 0.
    if (ext == ".dat") return LooksLikeRing({head, got});
    return LooksLikeEdf({head, got}) || LooksLikeRing({head, got});
}

std::vector<fs::path> ForeignFilesAt(const fs::path& path) {
    if (IsForeignFile(path)) return {path};
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        const std::string name = entry.path().filename().string();
        // A kept download's own files: the folder is no phone app's.
        if (name.starts_with("ID") && name.ends_with(".dat")) return {};
        if (entry.is_regular_file(ec) && IsForeignFile(entry.path())) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::optional<fs::path> KeepForeignFile(const fs::path& path, int id, DateOrder order, std::string& error,
                                        bool& ambiguous) {
    const ImportResult imported = ImportFile(path, {id, order});
    ambiguous = imported.dateOrderAmbiguous;
    if (!imported) {
        error = path.string() + ": " + imported.message;
        return std::nullopt;
    }
    fs::path kept;
    if (const FileResult written = KeepImport(path, id, imported.samples, DefaultImportsRoot(), kept); !written) {
        error = path.string() + ": " + written.message + (written.detail.empty() ? "" : ": " + written.detail);
        return std::nullopt;
    }
    return kept;
}

}  // namespace quenda
