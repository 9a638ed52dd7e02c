#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// The scoring a sleep lab or a home sleep test gave a night: its respiratory
// events, its sleep stages and the annotations that are neither (lights off,
// arousals, the lab's own desaturations), which are kept and written out
// again but count for nothing.

enum class AnnotationKind : std::uint8_t { Apnea, Hypopnea, Stage, Other };

// "Sleep stage 1" and "N1" are one stage to every figure; the text keeps
// which the scorer wrote.
enum class SleepStage : std::uint8_t { None, Wake, N1, N2, N3, N4, Rem, Unscored };

struct ScoredAnnotation {
    // Milliseconds since 2000-01-01 00:00:00 of the recorder's clock (as
    // SampleSeconds counts seconds, times 1000); the duration 0 when the
    // scorer gave none (a stage without one lasts kDefaultStageMs).
    std::int64_t onsetMs = 0;
    std::int64_t durationMs = 0;
    AnnotationKind kind = AnnotationKind::Other;
    SleepStage stage = SleepStage::None;  // of a Stage
    std::string text;                     // as the scorer wrote it (UTF-8)

    bool IsRespiratory() const { return kind == AnnotationKind::Apnea || kind == AnnotationKind::Hypopnea; }
    bool operator==(const ScoredAnnotation&) const = default;
};

inline constexpr std::int64_t kDefaultStageMs = 30'000;

struct ScoredStudy {
    // Where the scoring came from: kEdfAnnotationsSource or the XML file's name.
    std::string source;
    std::vector<ScoredAnnotation> annotations;  // by onset

    // Whether any respiratory event or stage was scored: a night without
    // either has no scored figures.
    bool HasScoring() const;
    bool HasStages() const;
    bool Empty() const { return annotations.empty(); }
    bool operator==(const ScoredStudy&) const = default;
};

inline constexpr const char* kEdfAnnotationsSource = "EDF+ annotations";

// Whether a stage counts as asleep: 1-4, N1-N3 and R do; W and ? do not.
bool IsAsleep(SleepStage stage);

// An EDF+ annotation's text as scoring: a respiratory event holds "apnea",
// "apnoea", "hypopnea" or "hypopnoea" (any case) and none of "desat",
// "arousal", "rera"; an apnea is one without "hypop". A stage is "Sleep stage
// W", "1" to "4", "R", "N1" to "N3" or "?" exactly. Everything else is Other.
AnnotationKind ClassifyAnnotationText(std::string_view text, SleepStage& stage);

// The text an EDF+ annotation of that stage carries ("Sleep stage W", ...).
std::string StageText(SleepStage stage);

// The study's annotations sorted by onset (then kind, duration and text, so
// that equal studies read equal however they were put together).
void SortAnnotations(std::vector<ScoredAnnotation>& annotations);

}  // namespace quenda
