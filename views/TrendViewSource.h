#pragma once

#include "analysis/Marking.h"
#include "analysis/ScoredFigures.h"
#include "store/SampleRecord.h"

#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quenda {

// What the header box shows besides the recording's first and last time
// stamps. Texts are UTF-8 and ready to draw.
struct TrendHeader {
    std::string title;        // the report title
    std::string patientName;  // the current patient's name
    bool female = false;      // the record's gender field is non-zero
    int age = 0;
    int id = 0;  // the current data set's ID
    // Height and weight as the unit rule shows them under the UnitSetup in
    // force at this paint, unit included ("178 cm", "71 in", "68 kg", "150 lb").
    std::string height;
    std::string weight;
};

// Where the trend view takes its data from. The view asks at every paint and
// at every pointer or key event, so what it shows always follows the store,
// the patient record, the report title and the unit setting.
class TrendViewSource {
public:
    virtual ~TrendViewSource() = default;
    // The current data set, oldest first, one sample per second.
    virtual std::span<const SampleRecord> Samples() const = 0;
    // Called once per paint: the unit setting is read from the settings file
    // each time, so a changed setting shows at the next paint.
    virtual TrendHeader Header() const = 0;
    // The samples the clinical figures leave out (excluded spans, artefacts),
    // shaded behind the curves; none by default.
    virtual std::vector<SampleSpan> ShadedSpans() const { return {}; }
    // A scored study's events and stages over the samples; none by default.
    virtual std::span<const ScoredMark> ScoredMarks() const { return {}; }
};

// A source over data held elsewhere; tests, benchmarks and the printer's
// preview of a fixed data set use it.
class FixedTrendSource : public TrendViewSource {
public:
    FixedTrendSource() = default;
    FixedTrendSource(std::span<const SampleRecord> samples, TrendHeader header)
        : samples_(samples), header_(std::move(header)) {}

    std::span<const SampleRecord> Samples() const override { return samples_; }
    TrendHeader Header() const override { return header_; }

    void SetSamples(std::span<const SampleRecord> samples) { samples_ = samples; }
    void SetHeader(TrendHeader header) { header_ = std::move(header); }

private:
    std::span<const SampleRecord> samples_;
    TrendHeader header_;
};

// Receives the page update after every paint and every paging action: the
// current page index (from 0) and the page count. The shell posts it to the
// main window, which shows "Page:%d/%d".
using PageSink = std::function<void(int pageIndex, int pageCount)>;

}  // namespace quenda
