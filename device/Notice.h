#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quenda {

// What the recorder work tells the user, as values: the protocol, the decoder
// and the engine report a kind; each front end turns it into words (through
// the string table in the desktop program, as they are in the terminal).
enum class NoticeKind {
    NoPort,                 // no port answered the identification
    SyncError,              // identified, but the totals exchange failed
    NoData,                 // the recorder holds nothing
    Connected,              // the download started; carries the total frames
    WriteFailed,            // a command could not be sent
    NotConnected,           // the Bluetooth link is gone
    ReadTimeout,            // the recorder went silent
    Overflow,               // an ID was full and samples were dropped
    ReadFailed,             // the serial port failed (e.g. unplugged)
    OutOfBuffer,            // one poll brought more than a frame buffer
    NoMemory,               // an ID's table could not grow
    Deleted,                // the recorder erased its data
    DeleteError,            // the erase was not acknowledged
    ClockSet,               // the recorder took the new time
    ClockError,             // the clock could not be set
    SingleIdDeleteRefused,  // a one-ID erase asked of a recorder that erases everything
};

struct Notice {
    Notice(NoticeKind k, int total = 0, std::string refused = {})  // NOLINT: a kind is a notice
        : kind(k), totalFrames(total), refusedPort(std::move(refused)) {}

    NoticeKind kind;
    int totalFrames = 0;      // Connected
    std::string refusedPort;  // NoPort: the first port refused for permission, if any
};

// Passes one fixed built-in text through the front end's string table.
using TextLookup = std::function<std::string(std::string_view builtIn)>;

// The user's words for a notice, exactly as the recorder's program has them:
// each fixed text goes through `lookUp` (none: the built-in English). A port
// refused for permission adds how to get access to "no port answered".
std::string NoticeText(const Notice& notice, const TextLookup& lookUp = {});

}  // namespace quenda
