#include "app/AppContext.h"

namespace quenda {

AppContext::AppContext() {
    store.AddClearListener([this] { views.currentPageIndex = 0; });
}

void AppContext::RepaintCurrentView() {
    if (currentViewWindow) currentViewWindow->update();
}

}  // namespace quenda
