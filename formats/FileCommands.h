#pragma once

#include "formats/Export.h"

#include <string>

class QWidget;

namespace quenda {

struct AppContext;

// The File menu's Save Data, Open Saved Data, Open Other ID Data and event
// listing. Each runs its dialogs modally over `parent` and reports failures in
// message boxes. Reopening the views is the caller's (the command router's).

// Save Data: the data file, the text export or the workbook, by the extension
// of the chosen name; then the current patient's details into their slot.
void RunSaveData(QWidget* parent, AppContext& context);

// What Save Data exports of the current data set: its samples, patient,
// exclusions and the settings of this moment, one night when it is one of the
// library's.
ExportRequest CurrentExportRequest(AppContext& context);

// Open Saved Data: true when a data file became the current data set.
bool RunOpenSavedData(QWidget* parent, AppContext& context);
// The same for a named file, without the dialog.
bool OpenSavedDataFile(QWidget* parent, AppContext& context, const std::string& path);

// Open Other ID Data (OtherIdDialog): true when another ID became current.
bool RunOpenOtherIdData(QWidget* parent, AppContext& context);

// "Check out the SpO2 event time...": recomputes the analysis and writes the
// event listing.
void RunEventListing(QWidget* parent, AppContext& context);

}  // namespace quenda
