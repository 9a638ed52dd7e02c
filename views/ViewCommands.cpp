#include "views/ViewCommands.h"

#include "base/CommandIds.h"
#include "views/PagedView.h"
#include "views/PrintDialogs.h"
#include "views/RollStepDialog.h"

namespace quenda {

void RunPagedViewCommand(QWidget* widget, PagedView& view, int commandId) {
    const PagePainter page = [&view](QPainter& painter, const LayoutRect& rect) { view.PaintPrintPage(painter, rect); };
    switch (commandId) {
        case cmd::kPageUp: view.PageUp(); return;
        case cmd::kPageDown: view.PageDown(); return;
        case cmd::kRollStep:
            // Takes effect at the next paging action; nothing is repainted.
            if (const auto step = RunRollStepDialog(widget, view.PageCount(), view.RollStep())) view.SetRollStep(*step);
            return;
        case cmd::kPrint: PrintWithDialog(widget, page); return;
        case cmd::kPrintPreview: PrintPreview(widget, page); return;
        default: return;
    }
}

}  // namespace quenda
