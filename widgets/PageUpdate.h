#pragma once

#include <QCoreApplication>
#include <QEvent>

namespace quenda {

// The page update message: the active view (and every mode switch) posts it to
// the main window with the current page index (from 0) and the page count; the
// main window shows them in the status bar's page pane. It is posted, not
// sent, so the text changes after the command that caused it has returned.
class PageUpdateEvent : public QEvent {
public:
    // The first user message plus 101, the number the views have always posted.
    static constexpr QEvent::Type kType = QEvent::Type(1024 + 101);

    PageUpdateEvent(int pageIndex, int pageCount) : QEvent(kType), pageIndex_(pageIndex), pageCount_(pageCount) {}
    int PageIndex() const { return pageIndex_; }
    int PageCount() const { return pageCount_; }

private:
    int pageIndex_;
    int pageCount_;
};

// Posts a page update to `mainWindow` (a view passes its window()).
inline void PostPageUpdate(QObject* mainWindow, int pageIndex, int pageCount) {
    if (mainWindow) QCoreApplication::postEvent(mainWindow, new PageUpdateEvent(pageIndex, pageCount));
}

}  // namespace quenda
