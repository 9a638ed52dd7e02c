#pragma once

#include <string_view>

namespace quenda {

// Where the engine's user messages go: message boxes in the GUI, stderr in the
// CLI, a list in tests. May be called from the download's worker threads, so an
// implementation that touches widgets must hand the text to the UI thread.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(std::string_view text) = 0;
    // The small "Deleting Data ..." window, up while the recorder erases.
    virtual void ShowDeleting(bool visible) { (void)visible; }
};

}  // namespace quenda
