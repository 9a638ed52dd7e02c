#pragma once

namespace quenda {

// Linux's termios2 interface, kept in its own file because the kernel's
// termios header cannot be included together with the C library's.

// Sets input and output rate of the open tty `fd` to `baud` bits per second,
// any value (BOTHER), keeping every other line setting. False with errno set
// when the driver refuses.
bool SetCustomBaud(int fd, unsigned baud);

// The output rate the driver reports for `fd` in bits per second, or -1 with
// errno set. Works for standard and custom rates alike.
long CurrentBaud(int fd);

}  // namespace quenda
