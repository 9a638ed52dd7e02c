#pragma once

#include <cstdint>
#include <vector>

namespace quenda {

// Figures of the whole current data set. Counts are numbers of samples, that is
// seconds; every field is zero before the first computation and when the data
// set is empty.
struct SummaryStatistics {
    std::int32_t spo2Maximum = 0;    // SpO2 %
    std::int32_t spo2Minimum = 0;    // SpO2 %
    std::int32_t spo2Average = 0;    // SpO2 %, truncated toward zero
    std::int32_t spo2HighCount = 0;  // samples with SpO2 > SaturationsHigh
    std::int32_t spo2LowCount = 0;   // samples with SpO2 < SaturationsLow
    std::int32_t prMaximum = 0;      // bpm
    std::int32_t prMinimum = 0;      // bpm
    std::int32_t prAverage = 0;      // bpm, truncated toward zero
    std::int32_t prHighCount = 0;    // samples with pulse rate > PrHigh
    std::int32_t prLowCount = 0;     // samples with pulse rate < PrLow

    bool operator==(const SummaryStatistics&) const = default;
};

// One detected event of one channel (SpO2 or pulse rate).
struct EventRecord {
    std::int32_t start = 0;      // index of the event's first sample in the data set
    std::int32_t length = 0;     // samples in the event, i.e. seconds
    std::int32_t maximum = 0;    // highest channel value over the event's samples
    std::int32_t minimum = 0;    // lowest channel value over the event's samples
    std::int32_t onsetDrop = 0;  // value of the sample before `start` minus the value at `start`

    bool operator==(const EventRecord&) const = default;
};

struct EventSummary {
    std::int32_t timeInEvents = 0;         // sum of the lengths, seconds
    std::int32_t averageEventMaximum = 0;  // truncated toward zero
    std::int32_t averageEventMinimum = 0;  // truncated toward zero
    std::int32_t largestOnsetDrop = 0;
    std::int32_t longestEvent = 0;  // largest length, seconds

    bool operator==(const EventSummary&) const = default;
};

// The events of one channel with their summary.
struct ChannelEvents {
    std::int32_t eventCount = 0;
    std::vector<EventRecord> events;   // ascending start index
    std::int32_t averageDuration = 0;  // seconds, truncated toward zero
    float indexPerHour = 0.0f;         // events per hour of recording (3600 samples)
    EventSummary summary;

    bool operator==(const ChannelEvents&) const = default;
};

// The four limits the last computation counted against, as the settings file
// held them at that moment (the report prints them beside the counts).
struct AnalysisLimits {
    std::int32_t saturationsHigh = 0;
    std::int32_t saturationsLow = 0;
    std::int32_t prHigh = 0;
    std::int32_t prLow = 0;

    bool operator==(const AnalysisLimits&) const = default;
};

// Everything one analysis produces. The main window owns one and passes it by
// const reference to the report page and the event listing; a computation
// replaces it wholesale, so readers never see a mix of two runs. A default
// constructed object is the "nothing computed yet" state: all zero, no events.
struct AnalysisResults {
    SummaryStatistics statistics;
    ChannelEvents desaturation;  // SpO2 channel
    ChannelEvents pulse;         // pulse-rate channel
    AnalysisLimits limits;

    bool operator==(const AnalysisResults&) const = default;
};

}  // namespace quenda
