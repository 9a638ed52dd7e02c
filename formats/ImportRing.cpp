// The ring oximeter's own data file, as users copy it from the phone app's
// folder. All numbers little-endian:
//
// - a 40-byte header: bytes 0-1 the version (3 or 5), 2-3 the year, then
//   month, day, hour, minute and second a byte each; bytes 9-11 the file's
//   size, 13-14 the recording's duration in seconds; the rest is the device's
//   own summary, not read;
// - then 5-byte records: SpO2, pulse, a flag (0xFF: no reading, and SpO2 and
//   pulse are 0xFF too), motion, vibration.
//
// A record stands for duration / records seconds, 4 or 2. Version 3 files
// with a 2-s step write every record twice; those are 4-s files. The file's
// name (yyyyMMddHHmmss, with a prefix or an extension at times) gives the
// start when it differs from the header's, as the app names the file by the
// start it shows.
#include "formats/Import.h"
#include "formats/ImportDetail.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

namespace quenda {

using namespace import_detail;

namespace {

constexpr std::size_t kRecordBytes = 5;
constexpr int kNoReadingFlag = 0xFF;

unsigned Le16(std::span<const std::uint8_t> b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

struct RingStart {
    int year, month, day, hour, minute, second;
    bool operator==(const RingStart&) const = default;
    bool Valid() const {
        return year >= kFirstYear && year <= kLastYear && ValidDateTime(year, month, day, hour, minute, second);
    }
    Seconds At() const { return ToSeconds(year, month, day, hour, minute, second); }
    std::string Text() const {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
        return text;
    }
};

RingStart HeaderStart(std::span<const std::uint8_t> b) {
    return {static_cast<int>(Le16(b, 2)), b[4], b[5], b[6], b[7], b[8]};
}

// The yyyyMMddHHmmss of a name: the first run of exactly 14 digits.
std::optional<RingStart> NameStart(std::string_view name) {
    for (std::size_t i = 0; i < name.size();) {
        std::size_t j = i;
        while (j < name.size() && name[j] >= '0' && name[j] <= '9') ++j;
        if (j - i == 14) {
            const auto n = [&](std::size_t at, std::size_t count) {
                int v = 0;
                for (std::size_t k = 0; k < count; ++k) v = v * 10 + (name[i + at + k] - '0');
                return v;
            };
            const RingStart s{n(0, 4), n(4, 2), n(6, 2), n(8, 2), n(10, 2), n(12, 2)};
            return s.Valid() ? std::optional(s) : std::nullopt;
        }
        i = j > i ? j : i + 1;
    }
    return std::nullopt;
}

ImportResult Refuse(std::string message) {
    ImportResult r;
    r.message = std::move(message);
    return r;
}

// Version 3 files at 2 s write each record twice: every pair the same.
bool WrittenTwice(std::span<const std::uint8_t> records, std::size_t count) {
    if (count < 2 || count % 2 != 0) return false;
    for (std::size_t i = 0; i < count; i += 2) {
        const auto a = records.subspan(i * kRecordBytes, kRecordBytes);
        const auto b = records.subspan((i + 1) * kRecordBytes, kRecordBytes);
        if (!std::equal(a.begin(), a.end(), b.begin())) return false;
    }
    return true;
}

}  // namespace

bool LooksLikeRing(std::span<const std::uint8_t> head) {
    if (head.size() < kRingHeader) return false;
    const unsigned version = Le16(head, 0);
    const unsigned size = head[9] | (head[10] << 8) | (head[11] << 16);
    return (version == 3 || version == 5) && HeaderStart(head).Valid() && size >= kRingHeader;
}

ImportResult ImportRing(std::span<const std::uint8_t> bytes, std::string_view name, const ImportOptions& options) {
    if (!LooksLikeRing(bytes))
        return Refuse("The file is no ring data file: its header (version 3 or 5, a date and time) is missing.");
    const unsigned version = Le16(bytes, 0);
    const std::size_t size = bytes[9] | (bytes[10] << 8) | (bytes[11] << 16);
    if (bytes.size() < size) {
        return Refuse(std::string(import_message::kRingTooShort) + ": it holds " + std::to_string(bytes.size()) +
                      " bytes of the " + std::to_string(size) + " its header gives.");
    }
    std::size_t count = (size - kRingHeader) / kRecordBytes;
    const unsigned duration = Le16(bytes, 13);
    if (count == 0) return Refuse(import_message::kEmpty);
    // The step, rounded: a device may count the last record's seconds or not.
    int step = static_cast<int>((duration + count / 2) / count);
    if (step != 2 && step != 4) {
        return Refuse("The ring's data file gives " + std::to_string(count) + " records over " +
                      std::to_string(duration) + " s: one every " + std::to_string(step) +
                      " s, where the ring writes one every 2 or 4 s.");
    }
    const auto records = bytes.subspan(kRingHeader, count * kRecordBytes);
    std::size_t stride = 1;
    if (version == 3 && step == 2 && WrittenTwice(records, count)) {
        stride = 2;
        step = 4;
    }

    std::vector<std::string> summary;
    RingStart start = HeaderStart(bytes);
    if (const auto named = NameStart(name); named && !(*named == start)) {
        summary.push_back("The start is the file name's, " + named->Text() + ", not the header's " + start.Text() +
                          ".");
        start = *named;
    }
    summary.push_back("Read SpO2 and pulse, one record every " + std::to_string(step) + " s (version " +
                      std::to_string(version) + "); left out motion and vibration.");

    SampleSink sink(options.id);
    sink.Reserve(count / stride * static_cast<std::size_t>(step));
    const Seconds first = start.At();
    const Seconds beyondLastYear = DaysFromCivil(kLastYear + 1, 1, 1) * 86400;
    long long empty = 0;
    for (std::size_t i = 0; i < count; i += stride) {
        const auto r = records.subspan(i * kRecordBytes, kRecordBytes);
        const bool none = r[2] == kNoReadingFlag;
        const int spo2 = none ? -1 : StoredValue(r[0], kImportMaxSpO2, -1);
        const int pulse = none ? -1 : StoredValue(r[1], kImportMaxPulse, -1);
        if (spo2 < 0 && pulse < 0) {
            empty += step;
            continue;
        }
        const Seconds at = first + static_cast<Seconds>(i / stride) * step;
        for (int k = 0; k < step && at + k < beyondLastYear; ++k) {
            if (!sink.Add(at + k, spo2 < 0 ? kNoSpO2 : spo2, pulse < 0 ? kNoPulse : pulse))
                return Refuse(import_message::kTooLong);
        }
    }
    return Finished(std::move(sink.Samples()), empty, std::move(summary));
}

}  // namespace quenda
