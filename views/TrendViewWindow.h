#pragma once

#include "app/CommandTarget.h"
#include "views/CTalloTrendView.h"
#include "views/TrendViewSource.h"

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

private:
    AppContext& context_;
};

// The trend view inside the main window: it reports its pages to the status
// bar, becomes the view other commands repaint, and takes the paging commands
// of the menu and toolbar.
class TrendViewWindow final : public CTalloTrendView, public CommandTarget {
    Q_OBJECT
public:
    explicit TrendViewWindow(AppContext& context, QWidget* parent = nullptr);

    bool HandlesCommand(int commandId) const override;
    void RunCommand(int commandId) override;

private:
    AppContext& context_;
    AppTrendSource source_;
};

}  // namespace quenda
