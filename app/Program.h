#pragma once

#include "app/CommandHandlers.h"
#include "app/Startup.h"

#include <string>

namespace quenda {

struct AppContext;
class BluetoothLink;
class ServerPasswords;

// The whole program's wiring: which view each document template opens, and
// which dialog each command of the main window runs. main() and the
// end-to-end tests use the same wiring.
ViewFactories ProgramViews(AppContext& context);
// `bluetooth` lives for the whole run: a radio found once stays connected
// across capture dialogs. So do `passwords`: a clinic server's password is
// asked once a run.
CommandHandlers ProgramHandlers(AppContext& context, BluetoothLink& bluetooth, ServerPasswords& passwords);

// Where the program's library of nights is: the context's when start-up set
// one, else the one Options > Library... chose, else DefaultLibraryLocation().
std::string ProgramLibraryLocation(const AppContext& context);

}  // namespace quenda
