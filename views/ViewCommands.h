#pragma once

class QWidget;

namespace quenda {

class PagedView;

// Runs a view command (page up, page down, roll step, print, print preview)
// on `view`; `widget` is the view's window, the parent of its dialogs.
void RunPagedViewCommand(QWidget* widget, PagedView& view, int commandId);

}  // namespace quenda
