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
// Our own: a port refused for permission. %1 is its device node
// (/dev/ttyS0), the name a Linux user knows it by, not its COMn search name.
inline constexpr const char* kPortRefused = "Access to %1 was refused.";
// Only after a USB serial adapter (where the recorder's own cable sits) was
// refused: a user outside the group that owns the serial devices. The board's
// own ports are no place for the recorder, so no fix is offered for them.
inline constexpr const char* kDialoutHint =
    "To use serial ports, add yourself to the dialout group (sudo adduser $USER dialout), then log in again.";
inline constexpr const char* kSingleIdDeleteRefused =
    "This recorder can only erase all IDs at once; nothing was deleted.";

}  // namespace quenda::msg
