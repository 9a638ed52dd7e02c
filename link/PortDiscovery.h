#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quenda {

// The serial ports present, as friendly names "DESCRIPTION (PORTNAME)", sorted
// into three groups and kept in enumeration order within each.
struct PortLists {
    std::vector<std::string> cp210;
    std::vector<std::string> other;
    std::vector<std::string> bluetooth;
};

// Groups friendly names: "CP210" anywhere puts a name in cp210, else
// "Bluetooth" anywhere puts it in bluetooth, else it goes to other
// (case-sensitive).
PortLists SortPorts(const std::vector<std::string>& friendlyNames);

// The text between the first "(" and the first ")" after it: "... (COM5)"
// gives "COM5". Empty when there is no such pair; users of the lists skip
// empty names.
std::string PortNameFromFriendlyName(const std::string& friendlyName);

// Where friendly names come from; tests substitute their own.
class PortEnumerator {
public:
    virtual ~PortEnumerator();
    virtual std::vector<std::string> FriendlyNames() = 0;
};

// Serial ports as the kernel shows them under <sysRoot>/class/tty, ordered by
// name with numbers compared as numbers (ttyS2 before ttyS10):
// - USB bridges and modems (any tty under a USB device): described by the
//   USB interface or product string with the manufacturer in front, e.g.
//   "Silicon Labs CP2102 USB to UART Bridge Controller (ttyUSB0)";
// - on-board and PNP ports ttySn that a UART really answers on: shown as
//   "Communications Port (COMn+1)", the name that opens /dev/ttySn again;
// - Bluetooth serial links rfcommN: "Standard Serial over Bluetooth link
//   (rfcommN)";
// - any other tty backed by a hardware device: "Serial Port (NAME)".
// Virtual consoles, ptys and the 8250 driver's placeholder ttyS ports (a
// device link but no UART, type 0) are not listed. An unreadable tree gives
// an empty list.
class SystemPortEnumerator final : public PortEnumerator {
public:
    explicit SystemPortEnumerator(std::filesystem::path sysRoot = "/sys");
    std::vector<std::string> FriendlyNames() override;

private:
    std::filesystem::path sysRoot_;
};

// The groups a search candidate comes from, in search order.
enum class PortGroup { Remembered, Cp210, Other, Numbered, Bluetooth };

// "remembered", "cp210", "other", "numbered", "bluetooth".
const char* PortGroupName(PortGroup group);

struct PortCandidate {
    std::string name;  // what SerialPort::Open takes, e.g. "COM4", "ttyUSB0"
    PortGroup group;
    std::string friendlyName;  // empty for numbered candidates and unknown ports
};

// Every port the search tries, in order: the remembered port (when not
// empty), the cp210 entries, the other entries, then COM1..COM255. With
// skipBluetoothInNumberedPass a numbered name equal to a Bluetooth entry's
// port name is left out: opening a Bluetooth serial port can make the system
// try to reach a paired device, which is slow and pointless. Duplicates stay:
// a remembered port that is also listed is tried twice.
std::vector<PortCandidate> SearchCandidates(const std::string& remembered, const PortLists& lists,
                                            bool skipBluetoothInNumberedPass);

// Runs `attempt` on each candidate in SearchCandidates order and returns the
// name of the first one it accepts, or nullopt when none is accepted.
std::optional<std::string> PortSearch(const std::string& remembered, const PortLists& lists,
                                      bool skipBluetoothInNumberedPass,
                                      const std::function<bool(const PortCandidate&)>& attempt);

// The ports worth showing a user: remembered (when not empty), cp210, other,
// then the Bluetooth entries; no numbered pass.
std::vector<PortCandidate> ListedPorts(const std::string& remembered, const PortLists& lists);

}  // namespace quenda
