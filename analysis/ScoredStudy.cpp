#include "analysis/ScoredStudy.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace quenda {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool Holds(const std::string& text, std::string_view word) { return text.find(word) != std::string::npos; }

struct StageName {
    std::string_view suffix;
    SleepStage stage;
};
constexpr std::array<StageName, 10> kStageNames{{{"W", SleepStage::Wake},
                                                 {"1", SleepStage::N1},
                                                 {"2", SleepStage::N2},
                                                 {"3", SleepStage::N3},
                                                 {"4", SleepStage::N4},
                                                 {"R", SleepStage::Rem},
                                                 {"N1", SleepStage::N1},
                                                 {"N2", SleepStage::N2},
                                                 {"N3", SleepStage::N3},
                                                 {"?", SleepStage::Unscored}}};
constexpr std::string_view kStagePrefix = "Sleep stage ";

}  // namespace

bool ScoredStudy::HasScoring() const {
    return std::any_of(annotations.begin(), annotations.end(),
                       [](const ScoredAnnotation& a) { return a.kind != AnnotationKind::Other; });
}

bool ScoredStudy::HasStages() const {
    return std::any_of(annotations.begin(), annotations.end(),
                       [](const ScoredAnnotation& a) { return a.kind == AnnotationKind::Stage; });
}

bool IsAsleep(SleepStage stage) {
    switch (stage) {
        case SleepStage::N1:
        case SleepStage::N2:
        case SleepStage::N3:
        case SleepStage::N4:
        case SleepStage::Rem: return true;
        default: return false;
    }
}

AnnotationKind ClassifyAnnotationText(std::string_view text, SleepStage& stage) {
    stage = SleepStage::None;
    if (text.starts_with(kStagePrefix)) {
        const std::string_view suffix = text.substr(kStagePrefix.size());
        for (const StageName& n : kStageNames) {
            if (suffix == n.suffix) {
                stage = n.stage;
                return AnnotationKind::Stage;
            }
        }
    }
    const std::string lower = Lower(text);
    if (Holds(lower, "desat") || Holds(lower, "arousal") || Holds(lower, "rera")) return AnnotationKind::Other;
    const bool respiratory =
        Holds(lower, "apnea") || Holds(lower, "apnoea") || Holds(lower, "hypopnea") || Holds(lower, "hypopnoea");
    if (!respiratory) return AnnotationKind::Other;
    return Holds(lower, "hypop") ? AnnotationKind::Hypopnea : AnnotationKind::Apnea;
}

std::string StageText(SleepStage stage) {
    for (const StageName& n : kStageNames)
        if (n.stage == stage) return std::string(kStagePrefix) + std::string(n.suffix);
    return {};
}

void SortAnnotations(std::vector<ScoredAnnotation>& annotations) {
    std::sort(annotations.begin(), annotations.end(), [](const ScoredAnnotation& a, const ScoredAnnotation& b) {
        return std::tie(a.onsetMs, a.kind, a.durationMs, a.text) < std::tie(b.onsetMs, b.kind, b.durationMs, b.text);
    });
}

}  // namespace quenda
