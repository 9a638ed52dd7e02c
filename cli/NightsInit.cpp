#include "cli/NightsInit.h"

#include "cli/Terminal.h"
#include "nights/LibraryLocation.h"
#include "nights/PostgresSchema.h"

#include <string>

namespace quenda {

int NightsInitCommand(int argc, char** argv, const char* usage) {
    if (argc != 4) return UsageError("nights init takes the server's address", usage);
    const std::string uri = argv[3];
    if (!IsServerLocation(uri))
        return UsageError("nights init makes a library on a server: postgresql://HOST/DATABASE", usage);
    // A terminal has no prompt of ours: the password comes from libpq's own
    // means (~/.pgpass, PGPASSWORD).
    std::string where;
    if (const FileResult made = InitServerLibrary(uri, {}, where); !made) return Fail(made);
    Say("The library on " + where + " is ready. Grant each login " + kReadingRole + " or " + kChangingRole +
        ", e.g. GRANT " + kReadingRole + " TO alice;");
    return kExitOk;
}

}  // namespace quenda
