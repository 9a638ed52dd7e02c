#pragma once

// The passwords the user typed for clinic servers during one run of the
// program, one per account (PasswordRequest::account), so that a server is
// asked about once however often the program connects to it (the Nights
// window, each download's add, opening a night, the exclusions). In memory
// only: never written to a file, never in a message. One the server refuses
// is forgotten, and the user is asked again at the next connection. main()
// makes the one owner and hands it to whatever composes a prompt.

#include "nights/LibraryLocation.h"

#include <map>
#include <mutex>
#include <string>

namespace quenda {

class ServerPasswords {
public:
    ServerPasswords() = default;
    ServerPasswords(const ServerPasswords&) = delete;
    ServerPasswords& operator=(const ServerPasswords&) = delete;
    ~ServerPasswords();

    // `ask`, answered first from what the user typed before for the account,
    // keeping what it answers. Any thread may ask; the prompt it gives lives
    // no longer than this object.
    PasswordPrompt Remembering(PasswordPrompt ask);

private:
    void Forget(const std::string& account);

    std::mutex mutex_;
    std::map<std::string, std::string> passwords_;
};

}  // namespace quenda
