// One rule for the user's data home, whatever the program keeps there.

#include "store/DataHome.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// Sets (or, for nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DataHome, OneRuleForTheDataHomeAndTheProgramsFolder) {
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_TRUE(account && account->pw_dir);
    const fs::path accountShare = fs::path(account->pw_dir) / ".local" / "share";
    struct Case {
        std::optional<std::string> xdg, home;
        fs::path expected;
    } cases[] = {
        {"/data/xdg", "/home/u", "/data/xdg"},
        {"relative/xdg", "/home/u", "/home/u/.local/share"},  // not absolute: ignored
        {"", "/home/u", "/home/u/.local/share"},
        {std::nullopt, "/home/u", "/home/u/.local/share"},
        // No HOME: the account's home, never a shared folder such as /tmp.
        {std::nullopt, "", accountShare},
        {"relative", std::nullopt, accountShare},
    };
    for (const Case& c : cases) {
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        const std::string what = c.xdg.value_or("(unset)") + " / " + c.home.value_or("(unset)");
        EXPECT_EQ(UserDataHome(), c.expected) << what;
        EXPECT_EQ(QuendaDataFolder(), c.expected / "Quenda") << what;
    }
}

}  // namespace
}  // namespace quenda
