#include "analysis/Analysis.h"

#include <algorithm>
#include <cstdint>

namespace quenda {

namespace {

// Appending is rare; kept out of line so the detector's state stays in registers.
[[gnu::noinline]] void AppendEvent(std::vector<EventRecord>& events, std::int32_t start, std::int32_t length,
                                   std::int32_t onsetDrop) {
    events.push_back({start, length, 0, 0, onsetDrop});
}

// The event state of one channel while the steps from sample i to i + 1 go by.
//
// Two parts of the rule need no code here. Outside an event a rise would apply
// the recording check, but the only length it can find then is what is left of
// a run that ended too short, which never reaches the minimum. And the onset
// drop is noted at every fall outside an event, but only the one of the step
// that starts the event is ever recorded, so it is taken there.
class ChannelDetector {
public:
    ChannelDetector(int threshold, int minLength, std::vector<EventRecord>& events)
        : threshold_(threshold), minLength_(minLength), events_(events) {}

    void Step(std::int32_t i, int prev, int cur) {
        if (inEvent_) {
            if (cur <= reference_) {
                ++length_;
                return;
            }
            inEvent_ = false;
            falling_ = false;
            Record();
            return;
        }
        // Rises and falls alternate with every bit of sensor jitter, so they
        // are told apart with selects and bitwise logic rather than branches.
        const bool fall = cur <= prev;
        // The level a fall is measured from is where it began: a flat stretch
        // continues the fall without moving it.
        reference_ = (fall & !falling_) ? prev : reference_;
        falling_ = fall;
        if (fall & (reference_ - cur >= threshold_)) {
            // From here on the event holds while the value stays at or below
            // the lowered level, whatever it does in between.
            reference_ -= threshold_;
            length_ = 1;
            inEvent_ = true;
            start_ = i + 1;
            onsetDrop_ = prev - cur;
        }
    }

    // After the last step: an event still running at the last sample counts if
    // it is long enough.
    void Finish() {
        if (inEvent_) Record();
    }

private:
    void Record() {
        if (length_ >= minLength_) AppendEvent(events_, start_, length_, onsetDrop_);
    }

    // 64-bit so that a hand-edited threshold near the int limits cannot overflow.
    std::int64_t threshold_;
    std::int32_t minLength_;
    std::vector<EventRecord>& events_;
    bool inEvent_ = false;
    bool falling_ = false;
    std::int64_t reference_ = 0;
    std::int32_t length_ = 0;
    std::int32_t start_ = 0;
    std::int32_t onsetDrop_ = 0;
};

template <typename Channel>
void FillExtents(std::span<const SampleRecord> samples, std::vector<EventRecord>& events, Channel value) {
    for (EventRecord& e : events) {
        const auto run = samples.subspan(static_cast<std::size_t>(e.start), static_cast<std::size_t>(e.length));
        int maximum = value(run.front());
        int minimum = maximum;
        for (const SampleRecord& r : run) {
            maximum = std::max(maximum, value(r));
            minimum = std::min(minimum, value(r));
        }
        e.maximum = maximum;
        e.minimum = minimum;
    }
}

void Summarise(ChannelEvents& channel, std::size_t sampleCount) {
    const auto& events = channel.events;
    channel.eventCount = static_cast<std::int32_t>(events.size());
    const float hours = static_cast<float>(static_cast<double>(sampleCount) / kSamplesPerHour);
    if (hours != 0.0f) channel.indexPerHour = static_cast<float>(channel.eventCount) / hours;
    if (events.empty()) return;

    EventSummary& s = channel.summary;
    std::int64_t maximumSum = 0;
    std::int64_t minimumSum = 0;
    s.largestOnsetDrop = events.front().onsetDrop;
    s.longestEvent = events.front().length;
    for (const EventRecord& e : events) {
        s.timeInEvents += e.length;
        maximumSum += e.maximum;
        minimumSum += e.minimum;
        s.largestOnsetDrop = std::max(s.largestOnsetDrop, e.onsetDrop);
        s.longestEvent = std::max(s.longestEvent, e.length);
    }
    s.averageEventMaximum = static_cast<std::int32_t>(maximumSum / channel.eventCount);
    s.averageEventMinimum = static_cast<std::int32_t>(minimumSum / channel.eventCount);
    channel.averageDuration = s.timeInEvents / channel.eventCount;
}

}  // namespace

void DetectEvents(std::span<const SampleRecord> samples, const Thresholds& thresholds, AnalysisResults& results) {
    results.desaturation = ChannelEvents{};
    results.pulse = ChannelEvents{};
    const auto spo2 = [](const SampleRecord& r) { return static_cast<int>(r.spo2); };
    const auto pulse = [](const SampleRecord& r) { return static_cast<int>(r.pulseRate); };

    ChannelDetector desaturation(thresholds.desaturationsEvent, kDesaturationMinLength, results.desaturation.events);
    ChannelDetector pulseRate(thresholds.pulseEvent, kPulseMinLength, results.pulse.events);
    const auto steps = static_cast<std::int32_t>(samples.size()) - 1;
    for (std::int32_t i = 0; i < steps; ++i) {
        const SampleRecord& prev = samples[static_cast<std::size_t>(i)];
        const SampleRecord& cur = samples[static_cast<std::size_t>(i) + 1];
        desaturation.Step(i, prev.spo2, cur.spo2);
        pulseRate.Step(i, prev.pulseRate, cur.pulseRate);
    }
    desaturation.Finish();
    pulseRate.Finish();

    FillExtents(samples, results.desaturation.events, spo2);
    FillExtents(samples, results.pulse.events, pulse);
    Summarise(results.desaturation, samples.size());
    Summarise(results.pulse, samples.size());
}

}  // namespace quenda
