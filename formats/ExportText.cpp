#include "formats/ExportText.h"

#include "base/CommandIds.h"
#include "base/UiText.h"
#include "patient/Units.h"
#include "base/AtomicFile.h"
#include "base/TextCodec.h"
#include "formats/LineFormat.h"

#include <algorithm>
#include <cstring>

namespace quenda {

namespace {

constexpr const char* kLineEnd = "\r\n";

// "%0*u": at least `width` digits, more when the value needs them.
void AppendPadded(std::string& out, unsigned value, int width) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i) out += '0';
    while (n > 0) out += digits[--n];
}

void AppendPatientBlock(std::string& out, const PatientBlock& p) {
    std::string block;
    block += "PatId\tName\r\n";
    block += p.id + "\t" + p.name + kLineEnd;
    block += kLineEnd;
    block += "gender\tAge\tHeight\tWeight\r\n";
    block += p.gender + "\t" + p.age + "\t" + p.height + "\t" + p.weight + kLineEnd;
    block += kLineEnd;
    block += kLineEnd;
    out += Utf8ToWindows1252(block);
}

bool EventInside(const EventRecord& e, std::size_t count) {
    return e.start >= 0 && e.length >= 1 &&
           static_cast<std::size_t>(e.start) + static_cast<std::size_t>(e.length) <= count;
}

void AppendEventSection(std::string& out, const char* title, std::span<const SampleRecord> samples,
                        const std::vector<EventRecord>& events) {
    out += title;
    out += kLineEnd;
    out += "Start Date&Time\t\tEnd Date&Time\t\tKeep Count\tMax Value\tMin Value\r\n";
    for (const EventRecord& e : events) {
        if (!EventInside(e, samples.size())) continue;
        AppendTextTimeStamp(out, samples[static_cast<std::size_t>(e.start)], '-');
        out += '\t';
        AppendTextTimeStamp(out, samples[static_cast<std::size_t>(e.start + e.length - 1)], '-');
        out += '\t' + std::to_string(e.length) + "\t\t" + std::to_string(e.maximum) + "\t\t" +
               std::to_string(e.minimum) + kLineEnd;
    }
}

FileResult WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::string error;
    if (WriteFileAtomically(path, bytes, error)) return {};
    return FileResult{false, UiText(export_message::kCantCreateId, export_message::kCantCreate), error};
}

}  // namespace

PatientBlock MakePatientBlock(const PatientRecord& patient, int currentId, int unitSetup) {
    PatientBlock block;
    block.id = std::to_string(currentId);
    block.name = FieldTextUtf8(patient.name);
    block.gender = patient.gender != 0 ? UiText(str::kFemale, "female") : UiText(str::kMale, "male");
    block.age = std::to_string(patient.age);
    block.height =
        FormatWhole(DisplayHeight(patient.height, patient.unitFlag, unitSetup)) + " " + HeightUnitLabel(unitSetup);
    block.weight =
        FormatWhole(DisplayWeight(patient.weight, patient.unitFlag, unitSetup)) + " " + WeightUnitLabel(unitSetup);
    return block;
}

void AppendTextTimeStamp(std::string& out, const SampleRecord& r, char dateTimeSeparator) {
    out += '2';
    AppendPadded(out, r.year, 3);
    out += '/';
    AppendPadded(out, r.month, 2);
    out += '/';
    AppendPadded(out, r.day, 2);
    out += dateTimeSeparator;
    AppendPadded(out, r.hour, 2);
    out += ':';
    AppendPadded(out, r.minute, 2);
    out += ':';
    AppendPadded(out, r.second, 2);
}

namespace {

constexpr std::size_t kBlockSamples = 32'768;
constexpr std::size_t kTextLineMax = 40;

// "2010/08/03 22:30:00\t\t\t97\t\t64\r\n" for each sample.
void AppendTextLines(std::string& out, std::span<const SampleRecord> samples, line_format::DatePrefix& date) {
    using namespace line_format;
    const std::size_t start = out.size();
    out.resize(start + samples.size() * kTextLineMax);
    char* p = out.data() + start;
    for (const SampleRecord& r : samples) {
        const auto prefix = date.Of(r, [](char* q, const SampleRecord& d) {
            *q++ = '2';
            if (d.year < 100) *q++ = '0';  // "%03u"
            q = Two(q, d.year);
            *q++ = '/';
            q = Two(q, d.month);
            *q++ = '/';
            q = Two(q, d.day);
            *q++ = ' ';
            return q;
        });
        std::memcpy(p, prefix.data(), prefix.size());
        p += prefix.size();
        p = Two(p, r.hour);
        *p++ = ':';
        p = Two(p, r.minute);
        *p++ = ':';
        p = Two(p, r.second);
        std::memcpy(p, "\t\t\t", 3);
        p = Plain(p + 3, r.spo2);
        std::memcpy(p, "\t\t", 2);
        p = Plain(p + 2, r.pulseRate);
        std::memcpy(p, "\r\n", 2);
        p += 2;
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string TextHead(const PatientBlock& patient) {
    std::string out;
    AppendPatientBlock(out, patient);
    out += "Date&Time\t\t\t\tSpO2\t\tPR\r\n";
    return out;
}

}  // namespace

std::string TextExportBytes(const PatientBlock& patient, std::span<const SampleRecord> samples) {
    std::string out = TextHead(patient);
    line_format::DatePrefix date;
    AppendTextLines(out, samples, date);
    return out;
}

FileResult WriteTextExport(const std::filesystem::path& path, const PatientBlock& patient,
                           std::span<const SampleRecord> samples) {
    AtomicFile file(path);
    std::string block = TextHead(patient);
    line_format::DatePrefix date;
    bool ok = file.Open();
    for (std::size_t at = 0; ok && at < samples.size(); at += kBlockSamples) {
        AppendTextLines(block, samples.subspan(at, std::min(kBlockSamples, samples.size() - at)), date);
        ok = file.Write(block);
        block.clear();
    }
    if (ok && !block.empty()) ok = file.Write(block);
    if (ok && file.Commit()) return {};
    return FileResult{false, UiText(export_message::kCantCreateId, export_message::kCantCreate), file.Error()};
}

std::string EventListingBytes(const PatientBlock& patient, std::span<const SampleRecord> samples,
                              const AnalysisResults& results) {
    std::string out;
    AppendPatientBlock(out, patient);
    AppendEventSection(out, "SpO2 Event", samples, results.desaturation.events);
    out += kLineEnd;
    out += kLineEnd;
    AppendEventSection(out, "PR Event", samples, results.pulse.events);
    return out;
}

FileResult WriteEventListing(const std::filesystem::path& path, const PatientBlock& patient,
                             std::span<const SampleRecord> samples, const AnalysisResults& results) {
    return WriteBytes(path, EventListingBytes(patient, samples, results));
}

}  // namespace quenda
