#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace quenda::test {

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The standard output of a shell command line.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

struct CommandRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program args...` with `dir` as working directory (so a relative
// ./Quenda.ini is the test's own), no standard input, and captures its output.
// With `pidFile` the program's process id is written there first.
inline CommandRun RunInDirectory(const std::filesystem::path& dir, const std::string& program,
                                 const std::vector<std::string>& args, const std::string& pidFile = {}) {
    std::string command = "cd " + ShellQuote(dir.string()) + " && ";
    if (!pidFile.empty()) command += "echo $$ >" + ShellQuote(pidFile) + " && exec ";
    command += ShellQuote(program);
    for (const auto& a : args) command += " " + ShellQuote(a);
    const auto out = dir / ".stdout";
    const auto err = dir / ".stderr";
    command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string()) + " </dev/null";
    const int status = std::system(command.c_str());
    CommandRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(out);
    run.err = Slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

}  // namespace quenda::test
