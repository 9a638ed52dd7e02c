#pragma once

#include "patient/DialogPrompts.h"

#include <functional>
#include <optional>

class QWidget;

namespace quenda {

class PatientContext;
class ReportTitle;
class Settings;

// The main window's Edit > User Info, Options > Unit Setup and Edit > Report
// Title commands. Each runs its dialog modally; `prompts` left empty means
// message boxes.

// Edit > User Info. redrawView repaints the current view: it is called after
// Delete Info and again when the dialog closes, confirmed or not. True when
// the dialog ended with Save Info.
bool RunPatientInfo(QWidget* parent, PatientContext& patient, Settings& settings,
                    const std::function<void()>& redrawView, DialogPrompts prompts = {});

// Options > Unit Setup. keptUnit is the unit value the command last saw,
// kept by the caller for the run of the program (empty before the first use,
// when it is read from the settings file). After the dialog, OK or Cancel,
// UnitSetup is read again; true when it differs from keptUnit, which then
// takes the new value: the caller repaints the current view.
bool RunUnitSetup(QWidget* parent, Settings& settings, std::optional<int>& keptUnit, DialogPrompts prompts = {});

// The dialog alone, for a caller that keeps the unit value itself: the
// dialog's result (QDialog::Accepted or Rejected).
int RunUnitSetupDialog(QWidget* parent, Settings& settings, DialogPrompts prompts = {});

// Edit > Report Title. On OK the title takes the edited text; true then. The
// caller repaints the current view either way.
bool RunReportTitle(QWidget* parent, ReportTitle& title, DialogPrompts prompts = {});

}  // namespace quenda
