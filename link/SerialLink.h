#pragma once

#include "link/ByteStream.h"

#include <string>

namespace quenda {

// A serial port that can be opened by port name and baud rate: the real port,
// or a stand-in in tests.
class SerialLink : public ByteStream {
public:
    virtual bool Open(const std::string& name, unsigned baud) = 0;
    // True when nothing was open or the release succeeded.
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    // Why the last Open failed; empty when it did not.
    virtual std::string OpenFailureReason() const { return {}; }
    // The system error of the last failed Open (EACCES: the user may not use
    // the port); 0 when it was not a system error.
    virtual int OpenFailureErrno() const { return 0; }
};

}  // namespace quenda
