#pragma once

#include "analysis/AnalysisResults.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult
#include "store/SampleRecord.h"

#include <filesystem>
#include <span>
#include <string>

namespace quenda {

// The patient details every export begins with, as shown: UTF-8 texts.
// Height and weight follow the unit display rule for the UnitSetup in force
// when the file is written ("178 cm", "68 kg").
struct PatientBlock {
    std::string id;
    std::string name;
    std::string gender;  // "male" / "female" from the string table
    std::string age;
    std::string height;
    std::string weight;
};

// `currentId` is the data set's ID (CurrentId), which the record's own id
// field mirrors in memory.
PatientBlock MakePatientBlock(const PatientRecord& patient, int currentId, int unitSetup);

namespace export_message {
inline constexpr int kCantCreateId = 170;
inline constexpr const char* kCantCreate = "Can't create the file";
}  // namespace export_message

// Time stamps as the text files write them, the century in front of the
// stored year: "2009/03/04 05:06:07", and "2009/03/04-05:06:07" in the
// event listing.
void AppendTextTimeStamp(std::string& out, const SampleRecord& record, char dateTimeSeparator);

// The tab-separated text export: the patient block, the column line and one
// line per sample, Windows-1252, CR LF line ends. Written safely: on failure
// an existing file is untouched and nothing is left behind.
std::string TextExportBytes(const PatientBlock& patient, std::span<const SampleRecord> samples);
FileResult WriteTextExport(const std::filesystem::path& path, const PatientBlock& patient,
                           std::span<const SampleRecord> samples);

// The event listing: the patient block, then the desaturation and the pulse
// events of `results` (computed from `samples`) with the time stamps of their
// first and last samples. An event that does not lie inside `samples` is left
// out rather than read past the end.
std::string EventListingBytes(const PatientBlock& patient, std::span<const SampleRecord> samples,
                              const AnalysisResults& results);
FileResult WriteEventListing(const std::filesystem::path& path, const PatientBlock& patient,
                             std::span<const SampleRecord> samples, const AnalysisResults& results);

}  // namespace quenda
