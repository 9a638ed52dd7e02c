#pragma once

namespace quenda {

// quenda-cli nights copy [--from FILE|URI] --to FILE|URI: copies a library
// (the user's own unless --from names another),
// with its notes, exclusions, scoring and journal, into another (a personal
// library onto a clinic's server, say); run again, it adds nothing. argv[2]
// is "copy"; `usage` is the nights usage text.
int NightsCopyCommand(int argc, char** argv, const char* usage);

}  // namespace quenda
