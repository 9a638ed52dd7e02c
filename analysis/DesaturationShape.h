#pragma once

#include "analysis/Clinical.h"
#include "analysis/NoFigure.h"
#include "store/SampleRecord.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quenda {

// The shape of each counted desaturation, and of a night's desaturations
// together: depth, duration and area as Kulkas A et al. measure desaturation
// severity, Med Biol Eng Comput 51:697 (2013), with the fall and recovery
// times and slope of the desaturation-shape literature summarised by Levy J et
// al., npj Digital Medicine 4:1 (2021). Times are seconds; no event holds a missing second, so its
// samples are its seconds.
struct EventShape {
    double depth = 0;           // baseline - nadir, %
    std::int32_t fall = 0;      // from its start to its first sample at the nadir, s
    std::int32_t recovery = 0;  // from that sample to its end (where it closed), s: fall + recovery = length
    double slope = 0;           // depth / fall, %/s; kNoFigure when its first sample is the nadir
};

// Mean and SD (population) of one figure over the events.
struct ShapeSpread {
    double mean = kNoFigure;
    double sd = kNoFigure;
};

// ODI classes, by events per hour: normal < 5, mild 5 to < 15, moderate 15 to
// < 30, severe >= 30, the AHI's severity bands of the AASM task force, Sleep
// 22:667 (1999), applied to the ODI.
enum class OdiClass : std::uint8_t { Normal, Mild, Moderate, Severe };
OdiClass ClassOfOdi(double perHour);
// "normal", "mild", "moderate", "severe": the same word in the JSON and, through
// UiText, on the page.
std::string_view OdiClassName(OdiClass c);

struct DepthShape {
    std::vector<EventShape> events;  // one per ClinicalEvent, in their order
    // Over the events (the slope over those that have one); kNoFigure without any.
    ShapeSpread depth;
    ShapeSpread length;
    ShapeSpread area;
    ShapeSpread fall;
    ShapeSpread recovery;
    ShapeSpread slope;
    std::int32_t deepest = -1;      // index into the events, the first of the deepest; -1 without events
    std::int32_t longest = -1;      // the first of the longest
    double timeInDesaturation = 0;  // % of the counted time
    OdiClass odiClass = OdiClass::Normal;
};

struct DesaturationShapes {
    DepthShape depth3;
    DepthShape depth4;
};

// The shape of `events` (the ClinicalSummary's of one depth, over `samples`),
// under that depth's ODI and the counted samples. Linear in the events'
// length.
DepthShape ShapeOf(std::span<const ClinicalEvent> events, std::span<const SampleRecord> samples, double odi,
                   std::int32_t countedSamples);

// Both depths of a summary.
DesaturationShapes ShapesOf(const ClinicalSummary& summary, std::span<const SampleRecord> samples);

}  // namespace quenda
