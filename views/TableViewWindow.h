#pragma once

#include "base/CommandTarget.h"
#include "views/SampleTableView.h"
#include "views/TableViewSource.h"

#include <functional>

namespace quenda {

struct AppContext;

// The table view's data as the program holds it: the trend view's, plus the
// main window's mode, its last analysis and the event thresholds of the
// settings file.
class AppTableSource final : public TableViewSource {
public:
    AppTableSource(AppContext& context, std::function<int()> mode) : context_(context), mode_(std::move(mode)) {}
    std::span<const SampleRecord> Samples() const override;
    TrendHeader Header() const override;
    int Mode() const override { return mode_ ? mode_() : 0; }
    const AnalysisResults& Analysis() const override;
    std::pair<int, int> EventThresholds() const override;
    std::span<const ScoredMark> ScoredMarks() const override;

private:
    AppContext& context_;
    std::function<int()> mode_;
};

// The table view inside the main window, opened by the Table and Analysis
// modes: pages to the status bar, view commands from the menu and toolbar.
class TableViewWindow final : public SampleTableView, public CommandTarget {
    Q_OBJECT
public:
    // `mode` reads the main window's display mode.
    TableViewWindow(AppContext& context, std::function<int()> mode, QWidget* parent = nullptr);

    bool HandlesCommand(int commandId) const override;
    void RunCommand(int commandId) override;

private:
    AppContext& context_;
    AppTableSource source_;
};

}  // namespace quenda
