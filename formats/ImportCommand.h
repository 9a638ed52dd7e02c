#pragma once

#include "analysis/ScoredStudy.h"

#include <filesystem>
#include <functional>
#include <string>

class QWidget;

namespace quenda {

struct AppContext;

// Called with the data file an import was kept as, once it is the current
// data set, and the sleep study's scoring read with it (empty for none); the
// program keeps the scoring and adds the nights to the library here. A
// failure is its own to report: the import stands.
using ImportKeptHook =
    std::function<void(QWidget* parent, const std::filesystem::path& kept, const ScoredStudy& scoring)>;

// File > Import...: asks for the file and the ID (ImportDialog), reads the file
// (asking the day/month order when its dates fit both), keeps it as a data
// file under DefaultImportsRoot() and opens that as Open Saved Data would,
// then shows the import's summary (the columns read and left out, the seconds
// without a reading). Of an EDF file the scoring comes too: its EDF+
// annotations, or the XML file of its name beside it when the user takes it
// (AskScoringXml); the data set is shown with that scoring once `kept` has
// kept it. True when the import became the current data set;
// refusals are shown in a message box and leave everything as it was.
bool RunImport(QWidget* parent, AppContext& context, const ImportKeptHook& kept = {});

// The same for a named file and ID, without ImportDialog.
bool ImportIntoProgram(QWidget* parent, AppContext& context, const std::string& path, int id,
                       const ImportKeptHook& kept = {});

}  // namespace quenda
