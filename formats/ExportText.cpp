#include "formats/ExportText.h"

#include "base/CommandIds.h"
#include "base/UiText.h"
#include "patient/Units.h"
#include "base/AtomicFile.h"
#include "base/TextCodec.h"

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

std::string TextExportBytes(const PatientBlock& patient, std::span<const SampleRecord> samples) {
    std::string out;
    // "2010/08/03 22:30:00\t\t\t97\t\t64\r\n" is at most 33 bytes.
    out.reserve(256 + samples.size() * 33);
    AppendPatientBlock(out, patient);
    out += "Date&Time\t\t\t\tSpO2\t\tPR\r\n";
    for (const SampleRecord& r : samples) {
        AppendTextTimeStamp(out, r, ' ');
        out += "\t\t\t";
        AppendPadded(out, r.spo2, 1);
        out += "\t\t";
        AppendPadded(out, r.pulseRate, 1);
        out += kLineEnd;
    }
    return out;
}

FileResult WriteTextExport(const std::filesystem::path& path, const PatientBlock& patient,
                           std::span<const SampleRecord> samples) {
    return WriteBytes(path, TextExportBytes(patient, samples));
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
