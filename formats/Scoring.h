#pragma once

#include "analysis/ScoredStudy.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// A sleep study's scoring read beside its SpO2: the EDF+ file's own
// annotations, or an NSRR-style XML file (the annotation format of the large
// public sleep cohorts) that names the same recording's events in seconds
// from its start.

// One annotation as a file gives it, from the recording's start.
struct StudyAnnotation {
    std::int64_t onsetMs = 0;
    std::int64_t durationMs = 0;  // 0: none given
    std::string text;
};

struct EdfAnnotations {
    bool ok = false;
    std::string message;  // why the file was refused
    // The header's start, seconds as SampleSeconds counts them.
    std::int64_t startSeconds = 0;
    std::vector<StudyAnnotation> annotations;  // in file order; none for plain EDF
    // Written by this program (its equipment in the recording field): the
    // annotations it computes itself are no scoring (edf::IsComputedAnnotation).
    bool ownExport = false;
};

// Reads every "EDF Annotations" signal of an EDF+ file held in memory (the
// fuzz target's road): each TAL's annotations, the empty time-keeping ones
// left out. A plain EDF file has none.
EdfAnnotations ReadEdfAnnotations(std::span<const std::uint8_t> bytes);
// The same from a file, reading only its header and annotation signals.
EdfAnnotations ReadEdfAnnotationsFile(const std::filesystem::path& path);

// The EDF+ annotations as scoring (ClassifyAnnotationText), at the header's
// start; a stage without a duration lasts kDefaultStageMs. Of this program's
// own export, the annotations it computed are left out.
ScoredStudy StudyFromEdf(const EdfAnnotations& edf);

struct ScoringXml {
    bool ok = false;
    std::string message;                        // "line N: why" for a file refused
    std::vector<ScoredAnnotation> annotations;  // onsets from the recording's start
};

// An NSRR-style XML file (<PSGAnnotation><ScoredEvents><ScoredEvent> with
// EventType, EventConcept, Start and Duration in seconds): respiratory events
// are EventType "Respiratory|Respiratory" whose concept reads as an apnea or
// hypopnea by the EDF+ rule; stages are EventType "Stages|Stages" with
// "Wake|0", "Stage 1 sleep|1" ... "Stage 4 sleep|4", "REM sleep|5",
// "Unscored|9" (kept as the EDF+ stage texts); every other event is kept by
// its concept. A malformed file is refused with its line.
ScoringXml ReadScoringXml(std::string_view bytes);

// The largest scoring XML file read: a night of many thousands of events
// takes a few megabytes.
inline constexpr std::uint64_t kMaxScoringXml = 64ull << 20;

struct StudyScoring {
    bool ok = false;
    std::string message;
    ScoredStudy study;  // empty for a file without annotations
};

// The scoring of an EDF file imported: its EDF+ annotations, or, with
// `xml`, the XML file's events as the scoring (the EDF+ file's own
// annotations then kept, but only as other annotations). Refused with a
// message naming the file at fault.
StudyScoring ReadStudyScoring(const std::filesystem::path& edf, const std::filesystem::path& xml = {});

// The XML file that lies beside an EDF file with its base name ("night.edf"
// -> "night.xml", else "night-nsrr.xml", the extension in any case); empty
// when none.
std::filesystem::path ScoringXmlBeside(const std::filesystem::path& edf);

// Whether a file is an EDF or EDF+ file by its name (".edf" in any case): the
// imports whose scoring is kept with their samples.
bool IsEdfName(const std::filesystem::path& path);

}  // namespace quenda
