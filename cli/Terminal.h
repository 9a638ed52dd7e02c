#pragma once

#include "store/DataFile.h"  // FileResult

#include <string>

namespace quenda {

// The exit status every quenda-cli command ends with: 0 done, 1 failed (said
// on stderr), 2 a usage error. The download and its kin add their own above.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// One line on stderr; whatever it quotes (a path, a file's content) is made
// safe for the terminal.
void Say(const std::string& line);

// "quenda-cli: PROBLEM" (when there is one), then the command's `usage`
// text, on stderr; kExitUsage.
int UsageError(const std::string& problem, const std::string& usage);

// "quenda-cli: PATH: MESSAGE: DETAIL" on stderr, without "PATH: " when the
// message names the path itself (some of the data file's messages do) or
// there is none, and without ": DETAIL" when there is none; kExitFailed.
int Fail(const FileResult& result, const std::string& path = {});

}  // namespace quenda
