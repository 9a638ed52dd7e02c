#include "views/TrendViewWindow.h"

#include "base/CommandIds.h"
#include "base/DisplayState.h"
#include "document/AppContext.h"
#include "views/PageHeader.h"
#include "views/ViewCommands.h"
#include "widgets/MessageBox.h"
#include "widgets/PageUpdate.h"
#include "widgets/UiTexts.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace quenda {

std::span<const SampleRecord> AppTrendSource::Samples() const { return context_.store.CurrentSamples(); }

TrendHeader AppTrendSource::Header() const {
    const int unit = context_.settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    return MakePageHeader(context_.reportTitle.Text(), context_.patient.Current(), context_.store.CurrentId, unit);
}

std::vector<SampleSpan> AppTrendSource::ShadedSpans() const { return context_.clinical.ShadedSpans(); }

std::span<const ScoredMark> AppTrendSource::ScoredMarks() const { return context_.clinical.ScoredMarks(); }

// The base keeps only a reference to source_, which is constructed right after
// it and lives as long as the view.
TrendViewWindow::TrendViewWindow(AppContext& context, QWidget* parent)
    : TrendView(
          source_, context.views.currentPageIndex,
          [this](int index, int count) { quenda::PostPageUpdate(window(), index, count); }, parent),
      context_(context),
      source_(context) {
    connect(this, &TrendView::FirstShown, this, [this] { context_.currentViewWindow = this; });
}

bool TrendViewWindow::HandlesCommand(int commandId) const {
    switch (commandId) {
        case cmd::kExcludeSpan:
        case cmd::kIncludeSpan: return Selection().has_value();
        case cmd::kExcludeBeforeCursor:
        case cmd::kExcludeAfterCursor: return CursorSample() >= 0;
        default: return IsViewCommand(commandId);
    }
}

void TrendViewWindow::RunCommand(int commandId) {
    switch (commandId) {
        case cmd::kExcludeSpan:
        case cmd::kIncludeSpan:
        case cmd::kExcludeBeforeCursor:
        case cmd::kExcludeAfterCursor: ChangeExclusions(commandId); return;
        default: RunPagedViewCommand(this, *this, commandId); return;
    }
}

void TrendViewWindow::ChangeExclusions(int commandId) {
    if (!HandlesCommand(commandId)) return;
    const auto last = static_cast<std::int32_t>(source_.Samples().size()) - 1;
    const auto cursor = static_cast<std::int32_t>(CursorSample());
    std::string error;
    bool kept = true;
    switch (commandId) {
        case cmd::kExcludeSpan: kept = context_.clinical.Exclude(*Selection(), error); break;
        case cmd::kIncludeSpan: kept = context_.clinical.Include(*Selection(), error); break;
        case cmd::kExcludeBeforeCursor: kept = cursor == 0 || context_.clinical.Exclude({0, cursor - 1}, error); break;
        default: kept = cursor >= last || context_.clinical.Exclude({cursor + 1, last}, error); break;
    }
    if (!kept) {
        const QString text = UiQString("The exclusions can't be kept") + ": " + QString::fromStdString(error);
        if (showMessage) {
            showMessage(text);
        } else {
            ShowMessageBox(this, text, QMessageBox::Warning);
        }
        return;
    }
    ClearSelection();
    update();
    if (exclusionsChanged) exclusionsChanged();
}

void TrendViewWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const auto& [id, text] : {std::pair{cmd::kExcludeSpan, "Exclude Span"}, std::pair{cmd::kIncludeSpan, "Include Span"},
                                   std::pair{cmd::kExcludeBeforeCursor, "Exclude Before Cursor"},
                                   std::pair{cmd::kExcludeAfterCursor, "Exclude After Cursor"}}) {
        QAction* action = menu.addAction(UiQString(text));
        action->setData(id);
        action->setEnabled(HandlesCommand(id));
    }
    if (QAction* chosen = menu.exec(event->globalPos())) RunCommand(chosen->data().toInt());
}

}  // namespace quenda
