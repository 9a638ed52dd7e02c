#pragma once

#include <cstdint>

namespace quenda {

// What the views share beyond their own members: the page the active view
// shows. The mode switches and every emptying of the store reset it to 0; a
// view keeps it when the window is resized, so it can point past the last page
// until the user pages.
struct ViewState {
    std::int32_t currentPageIndex = 0;  // 0-based
};

}  // namespace quenda
