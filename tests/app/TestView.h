#pragma once

#include "base/CommandIds.h"
#include "base/CommandTarget.h"
#include "base/DisplayState.h"
#include "document/AppContext.h"
#include "widgets/MessageBox.h"
#include "widgets/PageUpdate.h"
#include "widgets/UiTexts.h"

#include <QShowEvent>
#include <QWidget>

namespace quenda::test {

// A view for the shell's tests: it paints only its background and reports no
// pages, so the document templates, the greying of the view commands and the
// page pane can be tested without the real views' drawing. Paging reports the
// page again; the other view commands say they are not available.
class TestView : public QWidget, public CommandTarget {
public:
    explicit TestView(AppContext& context, QWidget* parent = nullptr) : QWidget(parent), context_(context) {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
        setFocusPolicy(Qt::StrongFocus);
    }

    bool HandlesCommand(int commandId) const override { return IsViewCommand(commandId); }
    void RunCommand(int commandId) override {
        if (commandId == cmd::kPageUp || commandId == cmd::kPageDown) {
            PostPage();
            return;
        }
        ShowMessageBox(this, UiQString("This command is not available yet."), QMessageBox::Information);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        if (shown_) return;
        // The first update of a view: it becomes the view other commands repaint.
        shown_ = true;
        context_.currentViewWindow = this;
        PostPage();
    }

private:
    void PostPage() { PostPageUpdate(window(), context_.views.currentPageIndex, 0); }

    AppContext& context_;
    bool shown_ = false;
};

}  // namespace quenda::test
