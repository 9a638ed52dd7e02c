#pragma once

#include <set>
#include <string>
#include <string_view>

namespace quenda {

class PortEnumerator;

// Whether a serial port comes and goes with a device: a USB serial bridge or
// modem (ttyUSBn, ttyACMn) or a Bluetooth serial link (rfcommN). Virtual
// terminals, ptys and on-board ports are not.
bool IsPluggableSerialPort(std::string_view portName);

// Tells a recorder being plugged in from everything else the kernel announces
// on its tty subsystem (virtual terminals, other seats' devices): after the
// settling delay, the port enumeration must list a pluggable serial port that
// it did not list at the last look. The first look, at construction, only
// learns what is there.
class PortArrivalFilter {
public:
    explicit PortArrivalFilter(PortEnumerator& ports);

    // A kernel event on the tty subsystem ("add", "remove", ...; the device's
    // name, e.g. "ttyUSB0" or "tty5"): whether to look at the ports once the
    // settling delay has passed. Removals count, so a port unplugged and
    // plugged in again is seen as new.
    static bool WorthALook(std::string_view action, std::string_view deviceName);

    // Looks at the ports: true when a pluggable one is listed that was not
    // listed at the last look.
    bool Look();

private:
    PortEnumerator& ports_;
    std::set<std::string> known_;
};

}  // namespace quenda
