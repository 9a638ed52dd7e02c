#include "nights/ServerPasswords.h"

#include <algorithm>
#include <optional>

namespace quenda {

namespace {

void Wipe(std::string& password) { std::fill(password.begin(), password.end(), '\0'); }

}  // namespace

ServerPasswords::~ServerPasswords() {
    for (auto& [account, password] : passwords_) Wipe(password);
}

void ServerPasswords::Forget(const std::string& account) {
    const std::lock_guard lock(mutex_);
    if (const auto it = passwords_.find(account); it != passwords_.end()) {
        Wipe(it->second);
        passwords_.erase(it);
    }
}

PasswordPrompt ServerPasswords::Remembering(PasswordPrompt ask) {
    PasswordPrompt remembering;
    remembering.ask = [this, ask = std::move(ask.ask)](const PasswordRequest& request) -> std::optional<std::string> {
        {
            const std::lock_guard lock(mutex_);
            if (const auto it = passwords_.find(request.account); it != passwords_.end()) return it->second;
        }
        // Asked without the lock: a prompt may wait for the window's thread,
        // which may connect meanwhile.
        std::optional<std::string> typed = ask ? ask(request) : std::nullopt;
        if (typed) {
            const std::lock_guard lock(mutex_);
            passwords_[request.account] = *typed;
        }
        return typed;
    };
    remembering.refused = [this, refused = std::move(ask.refused)](const PasswordRequest& request) {
        Forget(request.account);
        if (refused) refused(request);
    };
    return remembering;
}

}  // namespace quenda
