#include "formats/Edf.h"

#include "base/TextCodec.h"

#include "base/AtomicFile.h"
#include "base/UiText.h"
#include "formats/ExportText.h"
#include "formats/LineFormat.h"
#include "store/NightRule.h"

#include <edflib.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace quenda {

namespace {

// EDFlib counts annotation times in units of 100 microseconds.
constexpr long long kAnnotationUnitsPerSecond = 10'000;
// ... and data record durations in units of 10 microseconds.
constexpr int kEdfDurationUnitsPerSecond = 100'000;
constexpr int kMaxAnnotationSignals = 64;
constexpr int kEdfGenderMale = 1;
constexpr int kEdfGenderFemale = 0;

FileResult Failure(std::string_view message, std::string detail = {}) {
    return FileResult{false, UiText(message), std::move(detail)};
}

// An ASCII number field of an EDF header, space-padded; -1 when it is none.
long long HeaderNumber(std::string_view field) {
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    long long value = -1;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size() ? value : -1;
}

// EDFlib writes through stdio and misses failed writes (a full disk among
// them), so its file could be short yet reported as written. The file must be
// as long as its own header says: header + records x samples x 2 bytes.
// Returns why it is not, or empty.
std::string EdfShortfall(const std::filesystem::path& file) {
    constexpr std::size_t kFixedHeader = 256;
    constexpr std::size_t kSignalHeader = 256;    // per signal, in all
    constexpr std::size_t kSamplesFieldAt = 216;  // per signal, before "samples per record"
    std::ifstream in(file, std::ios::binary);
    std::string header(kFixedHeader, '\0');
    if (!in.read(header.data(), static_cast<std::streamsize>(header.size()))) return "its header is missing";
    const long long headerBytes = HeaderNumber(std::string_view(header).substr(184, 8));
    const long long records = HeaderNumber(std::string_view(header).substr(236, 8));
    const long long signals = HeaderNumber(std::string_view(header).substr(252, 4));
    if (signals < 1 || records < 0 || headerBytes != static_cast<long long>(kSignalHeader) * (signals + 1))
        return "its header is incomplete";
    std::string counts(static_cast<std::size_t>(8 * signals), '\0');
    in.seekg(static_cast<std::streamoff>(kFixedHeader + kSamplesFieldAt * static_cast<std::size_t>(signals)));
    if (!in.read(counts.data(), static_cast<std::streamsize>(counts.size()))) return "its header is incomplete";
    long long perRecord = 0;
    for (long long i = 0; i < signals; ++i) {
        const long long n = HeaderNumber(std::string_view(counts).substr(static_cast<std::size_t>(8 * i), 8));
        if (n < 0) return "its header is incomplete";
        perRecord += n;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return ec.message();
    const long long expected = headerBytes + records * perRecord * 2;
    if (static_cast<long long>(size) == expected) return {};
    std::string why = "only " + std::to_string(size) + " of " + std::to_string(expected) + " bytes were written";
    // Say so when the disk has no room for the rest, the usual cause.
    struct statvfs disk {};
    if (static_cast<long long>(size) < expected && ::statvfs(file.parent_path().c_str(), &disk) == 0 &&
        static_cast<long long>(disk.f_bavail) * static_cast<long long>(disk.f_frsize) <
            expected - static_cast<long long>(size)) {
        why += std::string(": ") + std::strerror(ENOSPC);
    }
    return why;
}

// Closes the EDFlib handle on every road out.
class EdfHandle {
public:
    explicit EdfHandle(int handle) : handle_(handle) {}
    ~EdfHandle() { Close(); }
    EdfHandle(const EdfHandle&) = delete;
    EdfHandle& operator=(const EdfHandle&) = delete;
    int Get() const { return handle_; }
    bool Close() {
        if (handle_ < 0) return true;
        const int h = handle_;
        handle_ = -1;
        return edfclose_file(h) == 0;
    }

private:
    int handle_;
};

bool SetSignal(int h, int signal, const char* label, const char* unit, int maximum) {
    // Samples per data record: one a second.
    return edf_set_samplefrequency(h, signal, edf::kRecordSeconds) == 0 && edf_set_label(h, signal, label) == 0 &&
           edf_set_physical_dimension(h, signal, unit) == 0 && edf_set_transducer(h, signal, edf::kTransducer) == 0 &&
           edf_set_physical_minimum(h, signal, edf::kNoDataValue) == 0 &&
           edf_set_physical_maximum(h, signal, maximum) == 0 &&
           edf_set_digital_minimum(h, signal, edf::kNoDataValue) == 0 &&
           edf_set_digital_maximum(h, signal, maximum) == 0;
}

bool SetStart(int h, const SampleRecord& first) {
    const int year = 2000 + first.year;
    if (year > 2084 || first.month < 1 || first.month > 12 || first.day < 1 || first.day > 31 || first.hour > 23 ||
        first.minute > 59 || first.second > 59) {
        return false;
    }
    return edf_set_startdatetime(h, year, first.month, first.day, first.hour, first.minute, first.second) == 0;
}

bool SetPatient(int h, const PatientRecord& patient, int id) {
    bool ok = edf_set_patientcode(h, std::to_string(id).c_str()) == 0 &&
              edf_set_patientname(h, EdfPatientName(patient).c_str()) == 0 &&
              edf_set_equipment(h, edf::kEquipment) == 0;
    // A record without details says nothing about sex; EDFlib then writes X.
    if (HoldsPatientInfo(patient)) {
        ok = ok && edf_set_gender(h, patient.gender != 0 ? kEdfGenderFemale : kEdfGenderMale) == 0;
    }
    return ok;
}

}  // namespace

std::string EdfPatientName(const PatientRecord& patient) {
    // EDF headers are ASCII: the nearest letter, "?" only where there is none.
    std::string name = Utf8ToAsciiLetters(FieldTextUtf8(patient.name));
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ')
            c = '_';
        else if (byte < 0x20 || byte >= 0x7F)
            c = '?';
    }
    return name.empty() ? "X" : name;
}

bool edf::IsComputedAnnotation(std::string_view text) {
    for (const char* own : {kDesaturation, kPulseEvent, kClinicalDesaturation, kNoData, kArtefactAnnotation,
                            kExcludedAnnotation, kPulseRiseAnnotation}) {
        if (text == own) return true;
    }
    return false;
}

std::filesystem::path EdfNightFile(const std::filesystem::path& path, int night) {
    if (night <= 1) return path;
    std::filesystem::path file = path.parent_path() / path.stem();
    file += "-" + std::to_string(night);
    file += path.extension();
    return file;
}

namespace {

// One night's file, written to the temporary of `file`.
// `all`: the night's annotations, in samples of the night.
// `scored`: the scoring's annotations that belong to this night, kept to the
// millisecond.
FileResult WriteEdfNight(AtomicFile& file, std::span<const SampleRecord> samples, const NightSpan& night,
                         const PatientRecord& patient, int id, std::span<const EdfAnnotation> all,
                         std::span<const ScoredAnnotation> scored) {
    EdfHandle edf(edfopen_file_writeonly(file.TemporaryPath().c_str(), EDFLIB_FILETYPE_EDFPLUS, 2));
    if (edf.Get() < 0) return Failure(export_message::kCantCreate, "EDFlib error " + std::to_string(edf.Get()));
    const int h = edf.Get();
    if (!SetStart(h, samples[static_cast<std::size_t>(night.first)])) return Failure(export_message::kEdfStart);

    // Each sample's second within the night.
    std::vector<std::int64_t> at(static_cast<std::size_t>(night.Samples()));
    for (std::int32_t i = night.first; i <= night.last; ++i) {
        at[static_cast<std::size_t>(i - night.first)] =
            *SampleSeconds(samples[static_cast<std::size_t>(i)]) - night.start;
    }
    const auto secondOf = [&](std::int32_t index) { return at[static_cast<std::size_t>(index - night.first)]; };

    std::vector<EdfAnnotation> annotations;
    for (const EdfAnnotation& a : all) {
        if (a.onset < 0 || a.onset >= night.Samples() || a.duration < 0) continue;
        const std::int32_t firstSample = night.first + a.onset;
        const std::int32_t lastSample =
            a.duration == 0 ? firstSample : std::min(firstSample + a.duration - 1, night.last);
        std::int32_t runFirst = firstSample;
        for (std::int32_t i = firstSample + 1; a.perRun && i <= lastSample; ++i) {
            if (secondOf(i) == secondOf(i - 1) + 1) continue;
            annotations.push_back({static_cast<int>(secondOf(runFirst)),
                                   static_cast<int>(secondOf(i - 1) - secondOf(runFirst) + 1), a.text});
            runFirst = i;
        }
        const auto onset = secondOf(runFirst);
        const auto duration = a.duration == 0 ? 0 : secondOf(lastSample) - onset + 1;
        annotations.push_back({static_cast<int>(onset), static_cast<int>(duration), a.text});
    }
    for (std::int32_t i = night.first + 1; i <= night.last; ++i) {
        const auto step = secondOf(i) - secondOf(i - 1);
        if (step > 1) {
            annotations.push_back({static_cast<int>(secondOf(i - 1) + 1), static_cast<int>(step - 1), edf::kNoData});
        }
    }

    const std::int64_t seconds = night.end - night.start + 1;
    const std::int64_t records = (seconds + edf::kRecordSeconds - 1) / edf::kRecordSeconds;
    // The last record is filled up with no data: said like any other gap.
    if (const std::int64_t padding = records * edf::kRecordSeconds - seconds; padding > 0)
        annotations.push_back({static_cast<int>(seconds), static_cast<int>(padding), edf::kNoData});
    // Each data record carries one annotation per annotation signal.
    const auto perRecord = (static_cast<std::int64_t>(annotations.size() + scored.size()) + records - 1) / records;
    const int annotationSignals = static_cast<int>(std::clamp<std::int64_t>(perRecord, 1, kMaxAnnotationSignals));
    if (edf_set_datarecord_duration(h, edf::kRecordSeconds * kEdfDurationUnitsPerSecond) != 0 ||
        !SetSignal(h, 0, edf::kSpO2Label, "%", edf::kSpO2Max) ||
        !SetSignal(h, 1, edf::kPulseLabel, "bpm", edf::kPulseMax) || !SetPatient(h, patient, id) ||
        edf_set_number_of_annotation_signals(h, annotationSignals) != 0) {
        return Failure(export_message::kEdfFailed, "EDFlib refused the header");
    }
    short record[2 * edf::kRecordSeconds];
    std::int32_t next = night.first;
    for (std::int64_t r = 0; r < records; ++r) {
        for (int j = 0; j < edf::kRecordSeconds; ++j) {
            const std::int64_t t = r * edf::kRecordSeconds + j;
            if (next <= night.last && secondOf(next) == t) {
                const SampleRecord& s = samples[static_cast<std::size_t>(next++)];
                record[j] = s.spo2;
                record[edf::kRecordSeconds + j] = s.pulseRate;
            } else {
                record[j] = record[edf::kRecordSeconds + j] = edf::kNoDataValue;
            }
        }
        if (edf_blockwrite_digital_short_samples(h, record) != 0) {
            return Failure(export_message::kEdfFailed, "can't write " + file.TemporaryPath().string());
        }
    }
    for (const EdfAnnotation& a : annotations) {
        if (edfwrite_annotation_utf8(h, a.onset * kAnnotationUnitsPerSecond, a.duration * kAnnotationUnitsPerSecond,
                                     a.text.c_str()) != 0) {
            return Failure(export_message::kEdfFailed, "EDFlib refused an annotation");
        }
    }
    // The scorer's own, as read: EDFlib counts in 0.1 ms. One scored before
    // the night's first sample (lights off ahead of the SpO2) is put at its start.
    constexpr long long kUnitsPerMs = kAnnotationUnitsPerSecond / 1000;
    for (const ScoredAnnotation& a : scored) {
        const long long onset = std::max<long long>(a.onsetMs - night.start * 1000, 0) * kUnitsPerMs;
        if (edfwrite_annotation_utf8(h, onset, a.durationMs * kUnitsPerMs, a.text.c_str()) != 0)
            return Failure(export_message::kEdfFailed, "EDFlib refused an annotation");
    }
    if (!edf.Close()) return Failure(export_message::kEdfFailed, "can't finish " + file.TemporaryPath().string());
    if (const std::string shortfall = EdfShortfall(file.TemporaryPath()); !shortfall.empty())
        return Failure(export_message::kEdfFailed, "can't write " + file.Target().string() + ": " + shortfall);
    return {};
}

}  // namespace

FileResult WriteEdf(const std::filesystem::path& path, std::span<const SampleRecord> samples,
                    const PatientRecord& patient, int id, const EdfNightAnnotations& annotationsOf,
                    std::vector<std::filesystem::path>* written, bool oneNight,
                    std::span<const ScoredAnnotation> scored) {
    if (samples.empty()) return Failure(export_message::kEdfEmpty);
    RecordingNights found = ApplyNightRule(samples);
    if (oneNight && found.nights.size() > 1) {
        // Its times still only go forward: every sample is one second of the file.
        NightSpan whole{found.nights.front().first, found.nights.back().last, found.nights.front().start,
                        found.nights.back().end};
        const bool forward = found.leftOut == 0 && std::adjacent_find(found.nights.begin(), found.nights.end(),
                                                                      [](const NightSpan& a, const NightSpan& b) {
                                                                          return b.start <= a.end;
                                                                      }) == found.nights.end();
        if (forward) found.nights = {whole};
    }
    // Every night's file is made before any is put in place: all of them
    // or none.
    std::vector<std::unique_ptr<AtomicFile>> files;
    const std::size_t count = std::max<std::size_t>(found.nights.size(), 1);
    for (std::size_t n = 0; n < count; ++n) {
        auto file = std::make_unique<AtomicFile>(EdfNightFile(path, static_cast<int>(n) + 1));
        if (!file->Open()) return Failure(export_message::kCantCreate, file->Error());
        if (found.nights.empty()) return Failure(export_message::kEdfStart);
        const NightSpan& night = found.nights[n];
        const std::vector<EdfAnnotation> annotations =
            annotationsOf ? annotationsOf(samples.subspan(static_cast<std::size_t>(night.first),
                                                          static_cast<std::size_t>(night.Samples())),
                                          night.first)
                          : std::vector<EdfAnnotation>{};
        // Each night's file takes the scoring nearer to it than to the nights
        // beside it (the gap between two nights cut in its middle), as the
        // library gives each night its own.
        const auto startsAfter = [&](std::size_t k) {
            return [at = (found.nights[k - 1].end + 1 + found.nights[k].start) * 500](const ScoredAnnotation& a) {
                return a.onsetMs >= at;
            };
        };
        const auto from = n == 0 ? scored.begin() : std::find_if(scored.begin(), scored.end(), startsAfter(n));
        const auto to = n + 1 < count ? std::find_if(from, scored.end(), startsAfter(n + 1)) : scored.end();
        if (FileResult made = WriteEdfNight(*file, samples, night, patient, id, annotations, std::span(from, to));
            !made)
            return made;
        files.push_back(std::move(file));
    }
    std::vector<std::filesystem::path> names;
    for (auto& file : files) {
        if (!file->Commit()) return Failure(export_message::kCantCreate, file->Error());
        names.push_back(file->Target());
    }
    if (written) *written = std::move(names);
    return {};
}

namespace {

constexpr const char* kCsvHeader = "time,spo2,pulse\n";
// Samples formatted per block: large writes, and a buffer that stays in cache.
constexpr std::size_t kBlockSamples = 32'768;
constexpr std::size_t kCsvLineMax = 40;

// "2026-12-06T22:30:00,97,64\n" for each sample.
void AppendCsvLines(std::string& out, std::span<const SampleRecord> samples, line_format::DatePrefix& date) {
    using namespace line_format;
    const std::size_t start = out.size();
    out.resize(start + samples.size() * kCsvLineMax);
    char* p = out.data() + start;
    for (const SampleRecord& r : samples) {
        const auto prefix = date.Of(r, [](char* q, const SampleRecord& d) {
            const unsigned year = 2000u + d.year;
            q = Two(q, year / 100);
            q = Two(q, year % 100);
            *q++ = '-';
            q = Two(q, d.month);
            *q++ = '-';
            q = Two(q, d.day);
            *q++ = 'T';
            return q;
        });
        std::memcpy(p, prefix.data(), prefix.size());
        p += prefix.size();
        p = Two(p, r.hour);
        *p++ = ':';
        p = Two(p, r.minute);
        *p++ = ':';
        p = Two(p, r.second);
        *p++ = ',';
        p = Plain(p, r.spo2);
        *p++ = ',';
        p = Plain(p, r.pulseRate);
        *p++ = '\n';
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace

std::string CsvBytes(std::span<const SampleRecord> samples) {
    std::string out = kCsvHeader;
    line_format::DatePrefix date;
    AppendCsvLines(out, samples, date);
    return out;
}

FileResult WriteCsv(const std::filesystem::path& path, std::span<const SampleRecord> samples) {
    AtomicFile file(path);
    std::string block = kCsvHeader;
    line_format::DatePrefix date;
    bool ok = file.Open();
    for (std::size_t at = 0; ok && at < samples.size(); at += kBlockSamples) {
        AppendCsvLines(block, samples.subspan(at, std::min(kBlockSamples, samples.size() - at)), date);
        ok = file.Write(block);
        block.clear();
    }
    if (ok && !block.empty()) ok = file.Write(block);  // no samples: the header alone
    if (ok && file.Commit()) return {};
    return FileResult{false, UiText(export_message::kCantCreateId, export_message::kCantCreate), file.Error()};
}

}  // namespace quenda
