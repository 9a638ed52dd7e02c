#include "views/TrendViewWindow.h"

#include "app/AppContext.h"
#include "base/CommandIds.h"
#include "app/DisplayState.h"
#include "app/PageUpdate.h"
#include "views/PageHeader.h"
#include "views/ViewCommands.h"

namespace quenda {

std::span<const SampleRecord> AppTrendSource::Samples() const { return context_.store.CurrentSamples(); }

TrendHeader AppTrendSource::Header() const {
    const int unit = context_.settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    return MakePageHeader(context_.reportTitle.Text(), context_.patient.Current(), context_.store.CurrentId, unit);
}

// The base keeps only a reference to source_, which is constructed right after
// it and lives as long as the view.
TrendViewWindow::TrendViewWindow(AppContext& context, QWidget* parent)
    : CTalloTrendView(
          source_, context.views.currentPageIndex,
          [this](int index, int count) { quenda::PostPageUpdate(window(), index, count); }, parent),
      context_(context),
      source_(context) {
    connect(this, &CTalloTrendView::FirstShown, this, [this] { context_.currentViewWindow = this; });
}

bool TrendViewWindow::HandlesCommand(int commandId) const { return IsViewCommand(commandId); }

void TrendViewWindow::RunCommand(int commandId) { RunPagedViewCommand(this, *this, commandId); }

}  // namespace quenda
