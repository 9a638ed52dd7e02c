// The EDF+ annotation reader. An EDF+ file's "EDF Annotations" signals hold,
// in each data record, time-stamped annotation lists (TALs):
//   +onset [0x15 duration] 0x14 text 0x14 [text 0x14 ...] 0x00
// the record's first one being its time-keeping TAL with an empty text.
// Only the header and those signals' bytes are read: a sleep study's file
// runs to hundreds of megabytes of other signals.
#include "formats/Scoring.h"

#include "base/InputFile.h"
#include "formats/Edf.h"
#include "formats/Import.h"
#include "formats/ImportDetail.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace quenda {

using namespace import_detail;

namespace {

constexpr std::size_t kFixedHeader = 256;
constexpr long long kMaxSignals = 512;
constexpr long long kMaxSamplesPerRecord = 1'000'000;
constexpr long long kUnitsPerMs = 10'000;  // 100 ns
// More annotations than a week of 1-s events: no study's; keeps memory bounded.
constexpr std::size_t kMaxAnnotations = 1'000'000;

// Fills `out` with `size` bytes from `offset`; false when the file holds fewer.
using Fetch = std::function<bool(std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out)>;

EdfAnnotations Refuse(std::string message) {
    EdfAnnotations r;
    r.message = std::move(message);
    return r;
}

std::string_view Text(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size) {
    return {reinterpret_cast<const char*>(bytes.data()) + at, size};
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
}

std::int64_t FloorMs(long long units) {
    return units >= 0 ? units / kUnitsPerMs : -((-units + kUnitsPerMs - 1) / kUnitsPerMs);
}

// The TALs of one signal's bytes in one record. A TAL that does not read (no
// signed onset, no 0x14) is passed over: one bad list loses only itself.
bool ReadTals(std::string_view bytes, std::vector<StudyAnnotation>& out) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] == '\0') {
            ++at;
            continue;
        }
        std::size_t end = bytes.find('\0', at);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view tal = bytes.substr(at, end - at);
        at = end + 1;
        const std::size_t head = tal.find('\x14');
        if (head == std::string_view::npos || (tal.front() != '+' && tal.front() != '-')) continue;
        const std::string_view times = tal.substr(0, head);
        const std::size_t split = times.find('\x15');
        const auto onset = EdfUnits(times.substr(0, split));
        const auto duration =
            split == std::string_view::npos ? std::optional<long long>(0) : EdfUnits(times.substr(split + 1));
        if (!onset || !duration || *duration < 0) continue;
        std::string_view rest = tal.substr(head + 1);
        while (!rest.empty()) {
            const std::size_t stop = std::min(rest.find('\x14'), rest.size());
            if (stop > 0) {
                if (out.size() >= kMaxAnnotations) return false;
                out.push_back({FloorMs(*onset), FloorMs(*duration), std::string(rest.substr(0, stop))});
            }
            rest.remove_prefix(std::min(stop + 1, rest.size()));
        }
    }
    return true;
}

EdfAnnotations ReadAnnotations(std::uint64_t fileSize, const Fetch& fetch) {
    std::vector<std::uint8_t> fixed;
    if (!fetch(0, kFixedHeader, fixed) || !LooksLikeEdf(fixed))
        return Refuse("The file is no EDF file: its header is missing.");
    const auto signals = EdfInteger(Text(fixed, 252, 4));
    if (!signals || *signals < 1 || *signals > kMaxSignals)
        return Refuse("The EDF header's number of signals (bytes 252-255) is no number from 1 to 512.");
    const auto ns = static_cast<std::size_t>(*signals);
    const std::size_t headerBytes = kFixedHeader * (ns + 1);
    if (EdfInteger(Text(fixed, 184, 8)) != static_cast<long long>(headerBytes))
        return Refuse("The EDF header's size (bytes 184-191) does not match its " + std::to_string(ns) + " signals.");
    EdfAnnotations out;
    const auto start = EdfHeaderStart(fixed, out.message);
    if (!start) return out;
    out.startSeconds = *start;
    out.ownExport = Text(fixed, 88, 80).find(edf::kEquipment) != std::string_view::npos;
    out.ok = true;
    if (!Trim(Text(fixed, 192, 44)).starts_with("EDF+")) return out;  // plain EDF: no annotations

    std::vector<std::uint8_t> header;
    if (!fetch(0, headerBytes, header)) return Refuse("The EDF file ends inside its header.");
    struct Place {
        std::size_t offset;  // bytes into a record
        std::size_t bytes;
    };
    std::vector<Place> places;
    std::uint64_t recordBytes = 0;
    for (std::size_t i = 0; i < ns; ++i) {
        const auto n = EdfInteger(Text(header, kFixedHeader + ns * 216 + 8 * i, 8));
        if (!n || *n < 1 || *n > kMaxSamplesPerRecord)
            return Refuse("The EDF header's samples per data record of signal " + std::to_string(i + 1) +
                          " is no usable number.");
        if (Trim(Text(header, kFixedHeader + 16 * i, 16)) == "EDF Annotations")
            places.push_back({static_cast<std::size_t>(recordBytes), 2 * static_cast<std::size_t>(*n)});
        recordBytes += 2 * static_cast<std::uint64_t>(*n);
    }
    const std::uint64_t fit = fileSize > headerBytes ? (fileSize - headerBytes) / recordBytes : 0;
    const auto records = EdfInteger(Text(fixed, 236, 8));
    if (!records || *records < -1)
        return Refuse("The EDF header's number of data records (bytes 236-243) is no number.");
    if (*records >= 0 && static_cast<std::uint64_t>(*records) > fit)
        return Refuse("The EDF file is shorter than its header says: " + std::to_string(*records) +
                      " data records of " + std::to_string(recordBytes) + " bytes do not fit.");
    const std::uint64_t count = *records >= 0 ? static_cast<std::uint64_t>(*records) : fit;
    std::vector<std::uint8_t> bytes;
    for (std::uint64_t r = 0; r < count; ++r) {
        for (const Place& p : places) {
            if (!fetch(headerBytes + r * recordBytes + p.offset, p.bytes, bytes))
                return Refuse("Data record " + std::to_string(r + 1) + " of the EDF file could not be read.");
            if (!ReadTals(Text(bytes, 0, bytes.size()), out.annotations))
                return Refuse("The EDF file holds more than 1,000,000 annotations.");
        }
    }
    return out;
}

}  // namespace

EdfAnnotations ReadEdfAnnotations(std::span<const std::uint8_t> data) {
    return ReadAnnotations(data.size(), [&](std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out) {
        if (offset > data.size() || size > data.size() - offset) return false;
        out.assign(data.begin() + static_cast<std::ptrdiff_t>(offset),
                   data.begin() + static_cast<std::ptrdiff_t>(offset + size));
        return true;
    });
}

EdfAnnotations ReadEdfAnnotationsFile(const std::filesystem::path& path) {
    InputFile file(path, UINT64_MAX);
    if (!file) return Refuse(path.string() + ": " + file.Why());
    return ReadAnnotations(file.Size(), [&](std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out) {
        out.resize(size);
        std::size_t got = 0;
        return file.ReadAt(offset, out.data(), size, got) && got == size;
    });
}

ScoredStudy StudyFromEdf(const EdfAnnotations& edf) {
    ScoredStudy study;
    study.annotations.reserve(edf.annotations.size());
    for (const StudyAnnotation& a : edf.annotations) {
        if (edf.ownExport && edf::IsComputedAnnotation(a.text)) continue;
        ScoredAnnotation s;
        s.onsetMs = edf.startSeconds * 1000 + a.onsetMs;
        s.text = a.text;
        s.kind = ClassifyAnnotationText(a.text, s.stage);
        s.durationMs = a.durationMs == 0 && s.kind == AnnotationKind::Stage ? kDefaultStageMs : a.durationMs;
        study.annotations.push_back(std::move(s));
    }
    if (!study.annotations.empty()) study.source = kEdfAnnotationsSource;
    SortAnnotations(study.annotations);
    return study;
}

StudyScoring ReadStudyScoring(const std::filesystem::path& edf, const std::filesystem::path& xml) {
    StudyScoring out;
    const EdfAnnotations annotations = ReadEdfAnnotationsFile(edf);
    if (!annotations.ok) {
        out.message = edf.filename().string() + ": " + annotations.message;
        return out;
    }
    out.study = StudyFromEdf(annotations);
    if (!xml.empty()) {
        InputFile file(xml, kMaxScoringXml);
        std::string bytes;
        if (!file || !file.ReadAll(bytes)) {
            out.message = xml.string() + ": " + file.Why();
            return out;
        }
        ScoringXml scoring = ReadScoringXml(bytes);
        if (!scoring.ok) {
            out.message = xml.filename().string() + ", " + scoring.message;
            return out;
        }
        // The XML file is the scoring: what the EDF+ file scored itself is kept, counted for nothing.
        for (ScoredAnnotation& a : out.study.annotations) {
            a.kind = AnnotationKind::Other;
            a.stage = SleepStage::None;
        }
        for (ScoredAnnotation& a : scoring.annotations) {
            a.onsetMs += annotations.startSeconds * 1000;
            out.study.annotations.push_back(std::move(a));
        }
        out.study.source = xml.filename().string();
        SortAnnotations(out.study.annotations);
    }
    out.ok = true;
    return out;
}

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::filesystem::path ScoringXmlBeside(const std::filesystem::path& edf) {
    const std::string stem = edf.stem().string();
    std::filesystem::path plain;
    std::filesystem::path nsrr;
    std::error_code error;
    for (std::filesystem::directory_iterator it(edf.parent_path().empty() ? "." : edf.parent_path(), error), end;
         !error && it != end; it.increment(error)) {
        std::error_code unread;
        if (Lower(it->path().extension().string()) != ".xml" || !it->is_regular_file(unread)) continue;
        const std::string base = it->path().stem().string();
        if (base == stem) plain = it->path();
        if (base == stem + "-nsrr") nsrr = it->path();
    }
    return plain.empty() ? nsrr : plain;
}

bool IsEdfName(const std::filesystem::path& path) { return Lower(path.extension().string()) == ".edf"; }

}  // namespace quenda
