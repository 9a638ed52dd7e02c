#pragma once

#include "analysis/Clinical.h"
#include "analysis/ClinicalSetup.h"
#include "analysis/Marking.h"
#include "analysis/NightAnalysis.h"
#include "analysis/ScoredStudy.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenda {

class RecordingStore;
class Settings;

// Where the user's exclusions of a data set are kept between sessions. The
// program supplies one bound to the library of nights; without one they live
// as long as the data set is open.
class ExclusionStore {
public:
    virtual ~ExclusionStore() = default;
    // The exclusions kept for this data set (sample indexes within it); empty
    // when there are none or the data set is unknown.
    virtual Exclusions Load(int id, std::span<const SampleRecord> samples) = 0;
    // Keeps them at once (a data set not known yet is added first); false with
    // a message for the user when they could not be kept.
    virtual bool Save(int id, std::span<const SampleRecord> samples, const Exclusions& exclusions,
                      std::string& error) = 0;
    // The sleep study's scoring kept with the data set's nights, times as the
    // samples give them; none unless the store keeps scoring.
    virtual ScoredStudy LoadScoring(int /*id*/, std::span<const SampleRecord> /*samples*/) { return {}; }
};

// The current data set's clinical state, owned by the program: its exclusions,
// and its analysis (AnalyzeNight) under the settings file's thresholds and
// Options > Clinical Setup. When the store holds another data set, the
// exclusions are those kept for it, loaded then. The analysis is computed once
// per data set, settings and set of exclusions.
class ClinicalState {
public:
    ClinicalState(const RecordingStore& store, const Settings& settings);

    // Not owned; null: exclusions are kept in memory only.
    void SetExclusionStore(ExclusionStore* store);

    const Exclusions& CurrentExclusions();
    // The scoring kept for the data set (ExclusionStore::LoadScoring).
    const ScoredStudy& Scoring();
    // Where its respiratory events and stages lie in the samples (ScoredMarksOf).
    const std::vector<ScoredMark>& ScoredMarks();
    // Loads the exclusions and the scoring again (the store took the data
    // set's nights just now: an import with its scoring).
    void Reload() { generation_ = ~std::uint64_t{0}; }
    ClinicalSetup Setup() const;
    ClinicalOptions Options();
    // The current data set's analysis under the settings of this moment.
    const NightAnalysis& Analysis();
    const SampleMarks& Marks() { return Analysis().marks; }
    const ClinicalSummary& Summary() { return Analysis().clinical; }
    // What the trend view and the clinical page shade: excluded spans, invalid
    // readings and the runs the profile sets aside as artefacts (margins
    // included), in order.
    std::vector<SampleSpan> ShadedSpans();

    // Each change is cut to the data set and kept through the exclusion store
    // at once. False, with `error` set and nothing changed, when it cannot be
    // kept; a change that changes nothing is true.
    bool Exclude(SampleSpan span, std::string& error);
    bool Include(SampleSpan span, std::string& error);

private:
    void Follow();
    bool Replace(Exclusions next, std::string& error);

    const RecordingStore& store_;
    const Settings& settings_;
    ExclusionStore* exclusionStore_ = nullptr;
    std::uint64_t generation_ = ~std::uint64_t{0};
    Exclusions exclusions_;
    ScoredStudy scoring_;
    std::vector<ScoredMark> scoredMarks_;
    std::uint64_t exclusionsVersion_ = 0;

    // The analysis and what it was made for.
    NightAnalysis analysis_;
    std::uint64_t analysisGeneration_ = ~std::uint64_t{0};
    std::uint64_t analysisVersion_ = 0;
    FigureSettings analysisSettings_;
};

}  // namespace quenda
