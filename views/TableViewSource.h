#pragma once

#include "analysis/AnalysisResults.h"
#include "views/ReportLayout.h"
#include "views/TrendViewSource.h"

#include <utility>

namespace quenda {

// What the table view reads besides the trend view's data: the main window's
// mode (it draws the table in mode 2 and the analysis report in mode 3), the
// last analysis and the two event thresholds, all asked at every paint.
class TableViewSource : public TrendViewSource {
public:
    virtual int Mode() const = 0;
    virtual const AnalysisResults& Analysis() const = 0;
    // DesaturationsEvent and PulseEvent as the settings file holds them now.
    virtual std::pair<int, int> EventThresholds() const = 0;

    ReportContent Report() const {
        const auto [desaturation, pulse] = EventThresholds();
        ReportContent report{Samples(), Header(), Analysis(), desaturation, pulse, {}, 0, {}};
        return report;
    }
};

// A table source over data held elsewhere, for tests and benchmarks.
class FixedTableSource : public TableViewSource {
public:
    std::span<const SampleRecord> Samples() const override { return trend.Samples(); }
    TrendHeader Header() const override { return trend.Header(); }
    int Mode() const override { return mode; }
    const AnalysisResults& Analysis() const override { return analysis; }
    std::pair<int, int> EventThresholds() const override { return thresholds; }

    FixedTrendSource trend;
    int mode = 2;
    AnalysisResults analysis;
    std::pair<int, int> thresholds{4, 6};
};

}  // namespace quenda
