#pragma once

#include "analysis/PulseRises.h"
#include "store/SampleRecord.h"

#include <cstdint>
#include <vector>

namespace quenda {

// What AnalyzeNight takes from the clinical summary's one pass over the
// samples besides the summary (ComputeClinicalSummary): the pulse rises, and
// the counted SpO2 values, in order, that the biomarkers rest on.
class NightPass {
public:
    // For a data set of `samples` samples.
    explicit NightPass(std::size_t samples) : spo2_(samples + 1) {}

    // Sample t at second `now` of the SampleClock; `counted`: its mark.
    void Step(std::int64_t t, std::int64_t now, const SampleRecord& r, bool counted) {
        rises.Step(t, now, r.pulseRate, counted);
        // Written always, kept only when counted: no branch on the mark.
        spo2_[counted_] = r.spo2;
        counted_ += counted ? 1 : 0;
    }

    // After the pass: the counted SpO2 values (once).
    std::vector<std::uint8_t> TakeCountedSpo2() {
        spo2_.resize(counted_);
        return std::move(spo2_);
    }

    PulseRiseScan rises;

private:
    std::vector<std::uint8_t> spo2_;  // one more than the samples: the last write may be of one not counted
    std::size_t counted_ = 0;
};

}  // namespace quenda
