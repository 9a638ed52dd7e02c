#pragma once

// The fixed user texts of the device work, exactly as the user sees them.
namespace quenda::msg {

inline constexpr const char* kNoPort = "Can't find right COM or the device is power off !";
inline constexpr const char* kSyncError = "Synchronization error!";
inline constexpr const char* kNoData = "no data!";
inline constexpr const char* kConnectSucceedPrefix = "Connect succeed! Total";
inline constexpr const char* kConnectSucceedSuffix = "Frames!";
inline constexpr const char* kWriteFailed = "write com command failed!";
inline constexpr const char* kNotConnected = "No Connected, please connect device!";
inline constexpr const char* kReadTimeout = "Read data timeout,please retry";
inline constexpr const char* kOverflow = "Data overflow!Some data discarded";
inline constexpr const char* kReadFailed = "read com failed!";
inline constexpr const char* kOutOfBuffer = "read data out of buffer!";
inline constexpr const char* kNoMemory = "new memory err!";
inline constexpr const char* kCreateEventFailed = "Create Event Failed";
inline constexpr const char* kDeleted = "Device data cleared !";
inline constexpr const char* kDeleteError = "Delete Data Error !";
inline constexpr const char* kClockSet = "Set Date and Time Succeed !";
inline constexpr const char* kClockError = "Set Date and Time Error !";
inline constexpr const char* kDeleting = "Deleting Data ...";
inline constexpr const char* kConnectSucceedBluetooth = "CONNECT SUCCEED";
// Our own: a recorder that can only erase everything is never sent a request
// meant for one ID.
// Our own: a port refused for permission usually means a user outside the
// group that owns the serial devices. %1 is the port.
inline constexpr const char* kDialoutHint =
    "Access to %1 was refused. To use serial ports, add yourself to the dialout group "
    "(sudo adduser $USER dialout), then log in again.";
inline constexpr const char* kSingleIdDeleteRefused =
    "This recorder can only erase all IDs at once; nothing was deleted.";

}  // namespace quenda::msg
