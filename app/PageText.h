#pragma once

#include <string>

namespace quenda {

// The status bar's page pane for a page update (widgets/PageUpdate.h):
// "Page:%d/%d" with index + 1 and count when there are pages, else "Page:".
std::string PageText(int pageIndex, int pageCount);

}  // namespace quenda
