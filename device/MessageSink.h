#pragma once

#include "device/Notice.h"

#include <string_view>

namespace quenda {

// Where the user messages of the recorder work go: message boxes in the GUI,
// stderr in the CLI, a list in tests. May be called from the download's worker
// threads, so an implementation that touches widgets must hand the message to
// the UI thread.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // What the engine reports. By default its built-in English words.
    virtual void Notify(const Notice& notice) { ShowMessage(NoticeText(notice)); }
    // A dialog's own text, already in the user's words.
    virtual void ShowMessage(std::string_view text) = 0;
    // The small "Deleting Data ..." window, up while the recorder erases.
    virtual void ShowDeleting(bool visible) { (void)visible; }
};

}  // namespace quenda
