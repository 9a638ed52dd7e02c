#pragma once

namespace quenda {

// quenda-cli nights init URI: makes the library on a clinic's PostgreSQL
// server, or brings it up to date, with the roles quenda_read and
// quenda_change. argv[2] is "init"; `usage` is the nights usage text.
int NightsInitCommand(int argc, char** argv, const char* usage);

}  // namespace quenda
