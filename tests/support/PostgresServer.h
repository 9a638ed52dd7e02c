#pragma once

// A PostgreSQL server of the test's own: initdb into a temporary folder, the
// server started with pg_ctl on a Unix socket there (no TCP port to collide
// with another test), stopped by its PID when the object goes. initdb and the
// server refuse to run as root: as root they run as the user postgres, who
// is given the folder.

#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace quenda::test {

class PostgresServer {
public:
    // The folder of the server's programs (initdb, pg_ctl), or "" when none
    // is installed.
    static std::filesystem::path Programs() {
        std::error_code ec;
        for (const char* version : {"17", "16", "15"}) {
            const std::filesystem::path bin = std::filesystem::path("/usr/lib/postgresql") / version / "bin";
            if (std::filesystem::exists(bin / "pg_ctl", ec)) return bin;
        }
        return {};
    }

    PostgresServer() : dir_("quenda-pg") {
        const std::filesystem::path bin = Programs();
        if (bin.empty()) {
            problem_ = "no PostgreSQL server installed (tools/bootstrap.sh installs it)";
            return;
        }
        std::string as;
        if (::geteuid() == 0) {
            const passwd* user = ::getpwnam("postgres");
            if (!user) {
                problem_ = "running as root without a user postgres to run the server";
                return;
            }
            std::error_code ec;
            std::filesystem::permissions(dir_.Path(), std::filesystem::perms::all, ec);
            if (::chown(dir_.Path().c_str(), user->pw_uid, user->pw_gid) != 0) {
                problem_ = "cannot give the server's folder to postgres";
                return;
            }
            as = "runuser -u postgres -- ";
        }
        const std::string data = (dir_ / "data").string();
        const std::string log = (dir_ / "server.log").string();
        const std::string initdb = as + ShellQuote((bin / "initdb").string()) + " -D " + ShellQuote(data) +
                                   " -A trust -U postgres >/dev/null 2>&1";
        if (std::system(initdb.c_str()) != 0) {
            problem_ = "initdb failed";
            return;
        }
        start_ = as + ShellQuote((bin / "pg_ctl").string()) + " -D " + ShellQuote(data) +
                                  " -w -o " + ShellQuote("-k " + dir_.Path().string() + " -c listen_addresses=''") +
                 " -l " + ShellQuote(log) + " start >/dev/null 2>&1";
        Start();
    }

    ~PostgresServer() { Stop(); }

    // Stops the server and starts it again on the same folder, as an
    // administrator's restart does: every session is ended.
    bool Restart() {
        Stop();
        return Start();
    }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Why the server is not running; "" when it is.
    const std::string& Problem() const { return problem_; }
    // A libpq URI of database `name` on this server.
    std::string Uri(const std::string& name = "postgres") const {
        return "postgresql:///" + name + "?host=" + dir_.Path().string() + "&user=postgres";
    }
    pid_t Pid() const { return pid_; }

private:
    bool Start() {
        pid_ = 0;
        if (std::system(start_.c_str()) != 0) {
            problem_ = "the server did not start: " + Slurp(dir_ / "server.log");
            return false;
        }
        // The postmaster's PID is the first line of its pid file.
        std::ifstream pidFile(dir_ / "data" / "postmaster.pid");
        pidFile >> pid_;
        if (pid_ <= 0) problem_ = "the server left no PID";
        return pid_ > 0;
    }

    void Stop() {
        if (pid_ <= 0) return;
        // SIGINT is the server's fast shutdown: sessions ended, data kept.
        ::kill(pid_, SIGINT);
        for (int waited = 0; waited < 100 && ::kill(pid_, 0) == 0; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pid_ = 0;
    }

    TempDir dir_;
    std::string start_;
    std::string problem_;
    pid_t pid_ = 0;
};

}  // namespace quenda::test
