#pragma once

#include "app/CommandTarget.h"

#include <QWidget>

namespace quenda {

struct AppContext;

// PLACEHOLDER, to be replaced by CTalloTrendView and CTalloTableView: a view
// that paints only its background and reports no pages, so the document
// templates, the greying of the view commands and the page pane work before
// the real views exist. It answers the view commands: paging reports the page
// again, the others say they are not available yet.
class PlaceholderView : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit PlaceholderView(AppContext& context, QWidget* parent = nullptr);

    bool HandlesCommand(int commandId) const override;
    void RunCommand(int commandId) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PostPage();

    AppContext& context_;
    bool shown_ = false;
};

}  // namespace quenda
