#include "views/TableViewWindow.h"

#include "analysis/Thresholds.h"
#include "base/CommandIds.h"
#include "base/DisplayState.h"
#include "document/AppContext.h"
#include "views/TrendViewWindow.h"
#include "views/ViewCommands.h"
#include "widgets/PageUpdate.h"

namespace quenda {

std::span<const SampleRecord> AppTableSource::Samples() const { return context_.store.CurrentSamples(); }

TrendHeader AppTableSource::Header() const { return AppTrendSource(context_).Header(); }

const AnalysisResults& AppTableSource::Analysis() const { return context_.analysis; }

std::span<const ScoredMark> AppTableSource::ScoredMarks() const { return context_.clinical.ScoredMarks(); }

std::pair<int, int> AppTableSource::EventThresholds() const {
    const Thresholds t = ReadThresholds(context_.settings);
    return {t.desaturationsEvent, t.pulseEvent};
}

// The base keeps only a reference to source_, constructed right after it.
TableViewWindow::TableViewWindow(AppContext& context, std::function<int()> mode, QWidget* parent)
    : SampleTableView(
          source_, context.views.currentPageIndex,
          [this](int index, int count) { quenda::PostPageUpdate(window(), index, count); }, parent),
      context_(context),
      source_(context, std::move(mode)) {
    connect(this, &SampleTableView::FirstShown, this, [this] { context_.currentViewWindow = this; });
}

bool TableViewWindow::HandlesCommand(int commandId) const {
    // The analysis report is one page: there is nothing to roll through, and
    // the roll step dialog would ask for a number between 1 and 0.
    if (commandId == cmd::kRollStep && source_.Mode() == kModeAnalysis) return false;
    return IsViewCommand(commandId);
}

void TableViewWindow::RunCommand(int commandId) { RunPagedViewCommand(this, *this, commandId); }

}  // namespace quenda
