#include "analysis/DesaturationShape.h"

#include <cmath>

namespace quenda {

namespace {

constexpr double kOdiMild = 5;       // per hour
constexpr double kOdiModerate = 15;  // per hour
constexpr double kOdiSevere = 30;    // per hour

// Mean and population SD of value(i) over the i where it is a figure.
template <class Value>
ShapeSpread SpreadOf(std::size_t count, Value&& value) {
    double sum = 0;
    double n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!HasFigure(value(i))) continue;
        sum += value(i);
        ++n;
    }
    if (n == 0) return {kNoFigure, kNoFigure};
    const double mean = sum / n;
    double squares = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (HasFigure(value(i))) squares += (value(i) - mean) * (value(i) - mean);
    }
    return {mean, std::sqrt(squares / n)};
}

EventShape ShapeOfEvent(const ClinicalEvent& e, std::span<const SampleRecord> samples) {
    std::int32_t at = e.start;
    while (samples[static_cast<std::size_t>(at)].spo2 != e.nadir) ++at;
    EventShape s;
    s.depth = e.baseline - e.nadir;
    s.fall = at - e.start;
    s.recovery = e.start + e.length - at;
    s.slope = s.fall > 0 ? s.depth / s.fall : kNoFigure;
    return s;
}

}  // namespace

OdiClass ClassOfOdi(double perHour) {
    if (perHour >= kOdiSevere) return OdiClass::Severe;
    if (perHour >= kOdiModerate) return OdiClass::Moderate;
    if (perHour >= kOdiMild) return OdiClass::Mild;
    return OdiClass::Normal;
}

std::string_view OdiClassName(OdiClass c) {
    switch (c) {
        case OdiClass::Normal: return "normal";
        case OdiClass::Mild: return "mild";
        case OdiClass::Moderate: return "moderate";
        case OdiClass::Severe: return "severe";
    }
    return "normal";
}

DepthShape ShapeOf(std::span<const ClinicalEvent> events, std::span<const SampleRecord> samples, double odi,
                   std::int32_t countedSamples) {
    DepthShape d;
    d.odiClass = ClassOfOdi(odi);
    d.events.reserve(events.size());
    std::int64_t seconds = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const ClinicalEvent& e = events[i];
        d.events.push_back(ShapeOfEvent(e, samples));
        seconds += e.length;
        const auto index = static_cast<std::int32_t>(i);
        if (d.deepest < 0 || d.events[i].depth > d.events[static_cast<std::size_t>(d.deepest)].depth) d.deepest = index;
        if (d.longest < 0 || e.length > events[static_cast<std::size_t>(d.longest)].length) d.longest = index;
    }
    const std::size_t n = events.size();
    d.depth = SpreadOf(n, [&](std::size_t i) { return d.events[i].depth; });
    d.length = SpreadOf(n, [&](std::size_t i) { return static_cast<double>(events[i].length); });
    d.area = SpreadOf(n, [&](std::size_t i) { return events[i].area; });
    d.fall = SpreadOf(n, [&](std::size_t i) { return static_cast<double>(d.events[i].fall); });
    d.recovery = SpreadOf(n, [&](std::size_t i) { return static_cast<double>(d.events[i].recovery); });
    d.slope = SpreadOf(n, [&](std::size_t i) { return d.events[i].slope; });
    if (countedSamples > 0) d.timeInDesaturation = 100.0 * static_cast<double>(seconds) / countedSamples;
    return d;
}

DesaturationShapes ShapesOf(const ClinicalSummary& s, std::span<const SampleRecord> samples) {
    return {ShapeOf(s.events3, samples, s.odi3, s.countedSamples),
            ShapeOf(s.events4, samples, s.odi4, s.countedSamples)};
}

}  // namespace quenda
