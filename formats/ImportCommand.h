#pragma once

#include <filesystem>
#include <functional>
#include <string>

class QWidget;

namespace quenda {

struct AppContext;

// Called with the data file an import was kept as, once it is the current
// data set; the program adds its nights to the library here. A failure is
// its own to report: the import stands.
using ImportKeptHook = std::function<void(QWidget* parent, const std::filesystem::path& kept)>;

// File > Import...: asks for the file and the ID (ImportDialog), reads the file
// (asking the day/month order when its dates fit both), keeps it as a data
// file under DefaultImportsRoot() and opens that as Open Saved Data would,
// then shows the import's summary (the columns read and left out, the seconds
// without a reading). True when the import became the current data set;
// refusals are shown in a message box and leave everything as it was.
bool RunImport(QWidget* parent, AppContext& context, const ImportKeptHook& kept = {});

// The same for a named file and ID, without ImportDialog.
bool ImportIntoProgram(QWidget* parent, AppContext& context, const std::string& path, int id,
                       const ImportKeptHook& kept = {});

}  // namespace quenda
