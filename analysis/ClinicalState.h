#pragma once

#include "analysis/Clinical.h"
#include "analysis/ClinicalSetup.h"
#include "analysis/Marking.h"

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
};

// The current data set's clinical state, owned by the program: its exclusions,
// and the marking of its samples under Options > Clinical Setup. When the store
// holds another data set, the exclusions are those kept for it, loaded then.
// The marking is computed once per data set, profile and set of exclusions.
class ClinicalState {
public:
    ClinicalState(const RecordingStore& store, const Settings& settings);

    // Not owned; null: exclusions are kept in memory only.
    void SetExclusionStore(ExclusionStore* store);

    const Exclusions& CurrentExclusions();
    ClinicalSetup Setup() const;
    ClinicalOptions Options();
    const SampleMarks& Marks();
    ClinicalSummary Summary();
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
    std::uint64_t exclusionsVersion_ = 0;

    // The marking and what it was made for.
    SampleMarks marks_;
    std::uint64_t marksGeneration_ = ~std::uint64_t{0};
    std::uint64_t marksVersion_ = 0;
    ClinicalProfile marksProfile_ = ClinicalProfile::Raw;
};

}  // namespace quenda
