#pragma once

namespace quenda {

// A view that handles commands: print, print preview, roll step, page up and
// page down reach the active view through this. The main window enables those
// commands only while the active view says it handles them.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual bool HandlesCommand(int commandId) const = 0;
    virtual void RunCommand(int commandId) = 0;
};

}  // namespace quenda
