#include "app/PageText.h"

#include "base/UiText.h"

namespace quenda {

std::string PageText(int pageIndex, int pageCount) {
    // "Page:%d/%d" built from its word, so a replaced word never becomes a
    // format string.
    std::string text = UiText("Page:");
    if (pageCount > 0) text += std::to_string(pageIndex + 1) + "/" + std::to_string(pageCount);
    return text;
}

}  // namespace quenda
