#pragma once

#include "analysis/ScoredStudy.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult
#include "store/SampleRecord.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// One EDF+ annotation: onset and duration in samples (seconds from sample 0).
struct EdfAnnotation {
    int onset = 0;
    int duration = 0;
    std::string text;  // UTF-8
    // A stretch of samples set aside (excluded, artefacts) says which seconds
    // it holds: across a second without a sample it is written as one
    // annotation per run of samples, not as one span over the gap. An event
    // stays one annotation, gap or not.
    bool perRun = false;
};

// EDF+C, written through EDFlib, one file per night (store/NightRule.h),
// each starting at its night's first sample: two signals at 1 Hz, "SpO2" in
// "%" and "Pulse" in "bpm", whose digital and physical ranges are equal (-1
// to 127 and -1 to 255: every value a sample can hold, exactly, and -1 for
// "no data"), in 30-second data records (the last one filled with no data).
// A second of the night without a sample is no data on both signals, and
// each such gap has a "No data" annotation with its onset and length. A
// one-second record would spend an annotation area on every second. Patient identification: the ID as
// code, sex (X when no details are known), birthdate X (only the age is
// kept), the name with spaces as underscores; the recording identification
// names this program as equipment.
namespace edf {
inline constexpr const char* kSpO2Label = "SpO2";
inline constexpr const char* kPulseLabel = "Pulse";
inline constexpr const char* kTransducer = "pulse oximeter";
inline constexpr const char* kEquipment = "Quenda";
inline constexpr const char* kDesaturation = "Desaturation";
inline constexpr const char* kPulseEvent = "Pulse event";
inline constexpr const char* kClinicalDesaturation = "Desaturation 3%";
inline constexpr int kSpO2Max = 127;
inline constexpr int kPulseMax = 255;
inline constexpr int kRecordSeconds = 30;
inline constexpr short kNoDataValue = -1;
inline constexpr const char* kNoData = "No data";
inline constexpr const char* kArtefactAnnotation = "Artefact";
inline constexpr const char* kExcludedAnnotation = "Excluded";
inline constexpr const char* kPulseRiseAnnotation = "Pulse rise";

// Whether `text` is one of the annotations this program computes and writes
// into its own EDF+ files (the events above, artefacts, exclusions, gaps):
// read back, they are figures to compute again, not a scorer's annotations.
bool IsComputedAnnotation(std::string_view text);
}  // namespace edf

namespace export_message {
inline constexpr const char* kEdfEmpty = "An EDF file needs at least one sample: the data set is empty.";
inline constexpr const char* kEdfStart =
    "The first sample's time stamp is no date and time EDF can hold (years 1985 to 2084).";
inline constexpr const char* kEdfFailed = "The EDF file could not be written.";
inline constexpr const char* kEdfNightFiles =
    "The recording holds more than one night; one EDF+ file was written for each:";
}  // namespace export_message

// The EDF+ patient name: the nearest ASCII letters ("Åsa Öberg" → "Asa_Oberg"),
// spaces as underscores, "X" when empty.
std::string EdfPatientName(const PatientRecord& patient);

// The file of the n-th night (from 1): `path` itself for the first,
// NAME-2.edf, NAME-3.edf, ... beside it for the later ones.
std::filesystem::path EdfNightFile(const std::filesystem::path& path, int night);

// The annotations of one night's file, computed over that night's samples
// alone: `night` is the night's samples, `first` the index of its first
// sample in the data set. Onsets and durations are in samples of the night
// (0 = its first sample).
using EdfNightAnnotations =
    std::function<std::vector<EdfAnnotation>(std::span<const SampleRecord> night, std::int32_t first)>;

// Writes the data set, one file per night, each with the annotations
// `annotationsOf` gives for its night (none when unset), turned into the
// night's seconds, and a "No data" annotation for each gap and for the
// padding of the last data record. Samples whose time stamp is impossible
// belong to no night and are left out. Written safely: all files or none;
// `written` gets their names in night order. `oneNight`: the samples are one
// night of the library whatever their steps (a merged night, its gap longer
// than the night rule's step): one file, the gap a gap.
// `scored`: a sleep study's scoring (by onset), written back as it was read,
// each annotation into the file of the night it falls in (one before the
// first night into the first).
FileResult WriteEdf(const std::filesystem::path& path, std::span<const SampleRecord> samples,
                    const PatientRecord& patient, int id, const EdfNightAnnotations& annotationsOf,
                    std::vector<std::filesystem::path>* written = nullptr, bool oneNight = false,
                    std::span<const ScoredAnnotation> scored = {});

// The CSV export for analysis toolboxes: "time,spo2,pulse", then one line per
// sample with an ISO 8601 local time stamp ("2026-12-06T22:30:00"); UTF-8,
// LF line ends. Written safely.
std::string CsvBytes(std::span<const SampleRecord> samples);
FileResult WriteCsv(const std::filesystem::path& path, std::span<const SampleRecord> samples);

}  // namespace quenda
