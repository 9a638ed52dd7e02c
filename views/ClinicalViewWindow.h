#pragma once

#include "analysis/Clinical.h"
#include "base/CommandTarget.h"
#include "views/ClinicalPage.h"
#include "views/PageLayout.h"

#include <QWidget>

namespace quenda {

struct AppContext;

// The Clinical mode's view: the clinical summary page of the current data set
// on a white sheet over grey, scaled to the window. The summary is computed
// when the view opens (new data always opens a new view); the report title is
// read at every paint, so Report Title shows at once. One page: paging stays
// on it, and the page pane reads "Page:1/1". Print and Print Preview put the
// same page on one landscape A4 sheet through the other views' print path.
class ClinicalViewWindow final : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit ClinicalViewWindow(AppContext& context, QWidget* parent = nullptr);

    bool HandlesCommand(int commandId) const override;
    void RunCommand(int commandId) override;

    const ClinicalSummary& Summary() const { return night_.clinical; }
    // The page as printed: the whole sheet, `page` in 1/96-inch units.
    void PaintPrintPage(QPainter& painter, const LayoutRect& page) const;
    // Where the sheet goes in a window of this size.
    static QRect SheetArea(const QRect& window);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void PostPage();
    ClinicalPageHeader Header() const;

    AppContext& context_;
    NightAnalysis night_;
    ClinicalPageCounting counting_;
    bool shown_ = false;
};

}  // namespace quenda
