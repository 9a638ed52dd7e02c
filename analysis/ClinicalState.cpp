#include "analysis/ClinicalState.h"

#include "base/Settings.h"
#include "store/RecordingStore.h"

#include <algorithm>

namespace quenda {

ClinicalState::ClinicalState(const RecordingStore& store, const Settings& settings)
    : store_(store), settings_(settings) {}

void ClinicalState::SetExclusionStore(ExclusionStore* store) {
    exclusionStore_ = store;
    generation_ = ~std::uint64_t{0};  // load again through it
}

void ClinicalState::Follow() {
    if (generation_ == store_.DataSetGeneration) return;
    generation_ = store_.DataSetGeneration;
    const auto samples = store_.CurrentSamples();
    const bool kept = exclusionStore_ != nullptr && !samples.empty();
    exclusions_ = kept ? exclusionStore_->Load(store_.CurrentId, samples) : Exclusions{};
    scoring_ = kept ? exclusionStore_->LoadScoring(store_.CurrentId, samples) : ScoredStudy{};
    scoredMarks_ = ScoredMarksOf(samples, scoring_);
    ++exclusionsVersion_;
}

const Exclusions& ClinicalState::CurrentExclusions() {
    Follow();
    return exclusions_;
}

const ScoredStudy& ClinicalState::Scoring() {
    Follow();
    return scoring_;
}

const std::vector<ScoredMark>& ClinicalState::ScoredMarks() {
    Follow();
    return scoredMarks_;
}

ClinicalSetup ClinicalState::Setup() const { return ReadClinicalSetup(settings_); }

ClinicalOptions ClinicalState::Options() { return {Setup().Profile(), CurrentExclusions()}; }

const NightAnalysis& ClinicalState::Analysis() {
    const FigureSettings settings = ReadFigureSettings(settings_);
    Follow();
    if (analysisGeneration_ != generation_ || analysisVersion_ != exclusionsVersion_ || analysisSettings_ != settings) {
        analysis_ = AnalyzeNight(store_.CurrentSamples(), exclusions_, settings, scoring_);
        analysisGeneration_ = generation_;
        analysisVersion_ = exclusionsVersion_;
        analysisSettings_ = settings;
    }
    return analysis_;
}

std::vector<SampleSpan> ClinicalState::ShadedSpans() { return LeftOutSpans(Marks().marks); }

bool ClinicalState::Replace(Exclusions next, std::string& error) {
    if (next == exclusions_) return true;
    const auto samples = store_.CurrentSamples();
    if (exclusionStore_ != nullptr && !exclusionStore_->Save(store_.CurrentId, samples, next, error)) return false;
    exclusions_ = std::move(next);
    ++exclusionsVersion_;
    return true;
}

bool ClinicalState::Exclude(SampleSpan span, std::string& error) {
    Follow();
    const auto last = static_cast<std::int32_t>(store_.CurrentSamples().size()) - 1;
    if (span.first > span.last) std::swap(span.first, span.last);
    span.first = std::max(span.first, 0);
    span.last = std::min(span.last, last);
    if (span.first > span.last) return true;  // nothing of the data set
    Exclusions next = exclusions_;
    next.Exclude(span);
    return Replace(std::move(next), error);
}

bool ClinicalState::Include(SampleSpan span, std::string& error) {
    Follow();
    Exclusions next = exclusions_;
    next.Include(span);
    return Replace(std::move(next), error);
}

}  // namespace quenda
