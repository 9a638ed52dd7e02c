#pragma once

#include <cstdint>

namespace quenda {

// What the main window shows. The values are the ones the other subsystems
// compare against (the table view draws the analysis page in mode 3); the
// clinical summary page has a mode and a view of its own.
enum DisplayMode : std::int32_t {
    kModeNone = 0,
    kModeTrend = 1,
    kModeTable = 2,
    kModeAnalysis = 3,
    kModeClinical = 4,
};

// The main window's display state: two flags that grey the data commands and
// the display mode. A flag greys its commands while it is 1.
struct DisplayState {
    std::int32_t otherIdUnavailable = 1;  // no per-ID capture data to choose from
    std::int32_t noData = 1;              // no current data set
    std::int32_t mode = kModeNone;

    friend bool operator==(const DisplayState&, const DisplayState&) = default;
};

// Commands handled by the active view; they exist only while a view is open.
bool IsViewCommand(int commandId);

// The commands that the keyboard table reaches under the framework's generic
// ids; they run as the named commands instead. 0 for any other id.
int CommandAlias(int commandId);

// Whether a command is enabled in this state. `viewHandles` says whether the
// active view (if any) handles the command; it decides the view commands.
// Ids nobody handles (undo, cut, copy, paste, next and previous pane, and any
// unknown id) are disabled.
bool CommandEnabled(const DisplayState& state, int commandId, bool viewHandles);

}  // namespace quenda
