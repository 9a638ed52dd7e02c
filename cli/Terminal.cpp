#include "cli/Terminal.h"

#include "base/TextCodec.h"

#include <cstdio>

namespace quenda {

void Say(const std::string& line) { std::fprintf(stderr, "%s\n", TerminalText(line).c_str()); }

int UsageError(const std::string& problem, const std::string& usage) {
    if (!problem.empty()) Say("quenda-cli: " + problem);
    std::fputs(usage.c_str(), stderr);
    return kExitUsage;
}

int Fail(const FileResult& result, const std::string& path) {
    const bool named = result.message.find(path) != std::string::npos;
    Say("quenda-cli: " + (named ? "" : path + ": ") + result.message + (result.detail.empty() ? "" : ": ") +
        result.detail);
    return kExitFailed;
}

}  // namespace quenda
