#pragma once

#include "base/CommandTarget.h"
#include "views/TrendView.h"
#include "views/TrendViewSource.h"

#include <functional>

namespace quenda {

struct AppContext;

// The trend view's data as the program holds it: the current data set, the
// current patient, the report title and the unit setting, read afresh at
// every paint.
class AppTrendSource final : public TrendViewSource {
public:
    explicit AppTrendSource(AppContext& context) : context_(context) {}
    std::span<const SampleRecord> Samples() const override;
    TrendHeader Header() const override;
    std::vector<SampleSpan> ShadedSpans() const override;
    std::span<const ScoredMark> ScoredMarks() const override;

private:
    AppContext& context_;
};

// The trend view inside the main window: it reports its pages to the status
// bar, becomes the view other commands repaint, and takes the paging commands
// of the menu and toolbar, and Edit's Exclude Span, Include Span (which need a
// selection; also on the right-click menu), Exclude Before Cursor and Exclude
// After Cursor (which need a sample read by pointer or keyboard). Exclusions
// go to the program's ClinicalState, which keeps them at once; a failure to
// keep them is shown and changes nothing.
class TrendViewWindow final : public TrendView, public CommandTarget {
    Q_OBJECT
public:
    explicit TrendViewWindow(AppContext& context, QWidget* parent = nullptr);

    bool HandlesCommand(int commandId) const override;
    void RunCommand(int commandId) override;

    // Shows a message; tests replace the message box.
    std::function<void(const QString&)> showMessage;
    // Called after each change of the exclusions that was kept (the Nights
    // window lists the figures they change).
    std::function<void()> exclusionsChanged;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ChangeExclusions(int commandId);

    AppContext& context_;
    AppTrendSource source_;
};

}  // namespace quenda
