#pragma once

#include "analysis/Clinical.h"
#include "analysis/NoFigure.h"
#include "analysis/SecondWindow.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// Pulse rises: the heart's answer to an arousal, which often ends a
// desaturation. Source: the autonomic markers of arousal of Pitson DJ &
// Stradling JR, J Sleep Res 7:53 (1998), a rise of the pulse against a short
// baseline before it; the thresholds and windows below are this program's
// own choice, stated on the page beside the figures. Over the counted samples, by the recorder's clock (a second
// without a sample is no counted sample):
// - a rise starts at a counted sample whose pulse is at least kRiseStartBpm
//   above the mean counted pulse of the kRiseBaselineWindow seconds before it,
//   when at least kRiseBaselineMinSamples of those seconds hold one; that
//   baseline is frozen;
// - it ends at the first sample that is not counted, or whose pulse is at
//   most baseline + kRiseEndBpm, or at the first missing second (none of them
//   is part of it); one still open at the end of the night ends there;
// - it counts when it lasts kRiseMinLength seconds or more.
// Every counted sample takes part in the baselines, a rise's own too.
inline constexpr int kRiseBaselineWindow = 30;      // s
inline constexpr int kRiseBaselineMinSamples = 15;  // counted samples in the window
inline constexpr int kRiseStartBpm = 10;
inline constexpr int kRiseEndBpm = 5;
inline constexpr int kRiseMinLength = 3;  // s
// A 3 % desaturation is answered by a rise that starts between its start and
// this many seconds after its end (the second it closed at), both included.
inline constexpr int kRiseAnswerWindow = 30;  // s

struct PulseRise {
    std::int32_t start = 0;   // index of its first sample
    std::int32_t length = 0;  // samples, i.e. seconds
    double baseline = 0;      // bpm, frozen when it started
    std::int32_t peak = 0;    // highest pulse in it, bpm

    bool operator==(const PulseRise&) const = default;
};

struct PulseRiseFigures {
    std::vector<PulseRise> rises;     // the counted ones, in order
    double index = 0;                 // rises per counted hour
    std::int32_t answered = 0;        // 3 % desaturations answered by a rise
    double coupledShare = kNoFigure;  // answered / all 3 % desaturations, %
    std::int32_t uncoupled = 0;       // rises that answer no 3 % desaturation
    double uncoupledIndex = 0;        // those per counted hour
};

// The rises of a night, found sample by sample as the clinical summary's pass
// goes by (ComputeClinicalSummary), so that the samples are read, and the
// clock run, once for both. The baseline is an exact integer sum and count:
// "at least 10 above the mean" compares whole numbers.
class PulseRiseScan {
public:
    // Sample t at second `now` of the SampleClock; `counted`: its mark.
    void Step(std::int64_t t, std::int64_t now, int pulse, bool counted) {
        if (now != lastSecond_ + 1) [[unlikely]]
            AfterGap(t, now);
        lastSecond_ = now;
        if (open_) [[unlikely]] {
            if (!counted || pulse * frozenCount_ <= frozenSum_ + kRiseEndBpm * frozenCount_) {
                Close(t);
            } else {
                peak_ = std::max(peak_, pulse);
            }
        }
        // The sample that ends a rise is outside it and may start the next.
        const std::int64_t count = window_.Count();
        if (!open_ && counted && count >= kRiseBaselineMinSamples &&
            pulse * count >= window_.Sum() + kRiseStartBpm * count) [[unlikely]] {
            Open(t, now, pulse);
        }
        if (counted) window_.Enter(now, pulse);
        // The window for the second after this one starts 29 s back.
        window_.Leave(now - kRiseBaselineWindow);
    }

    // After the last of `samples` samples: the rises and, with the counted 3 %
    // desaturations of the same samples, how they answer them.
    PulseRiseFigures Finish(std::int64_t samples, std::span<const ClinicalEvent> events3, std::int32_t countedSamples);

private:
    void Open(std::int64_t t, std::int64_t now, int pulse);
    void Close(std::int64_t end);
    void AfterGap(std::int64_t t, std::int64_t now);
    std::int64_t SecondOf(std::int64_t t, std::size_t& jump) const;

    // The counted pulse of the seconds in the window: counted pulse is never 0.
    SecondWindow<kRiseBaselineWindow> window_;
    std::int64_t lastSecond_ = -1;  // of the sample before: the first comes at 0

    bool open_ = false;
    std::int64_t frozenSum_ = 0;
    std::int64_t frozenCount_ = 0;
    std::int64_t start_ = 0;
    std::int64_t startSecond_ = 0;
    int peak_ = 0;

    std::vector<PulseRise> rises_;
    std::vector<std::int64_t> riseSeconds_;  // of each rise's start
    // Each sample after a missing second, with its second; the others follow
    // the one before by a second.
    struct Jump {
        std::int64_t index;
        std::int64_t second;
    };
    std::vector<Jump> jumps_;
};

}  // namespace quenda
