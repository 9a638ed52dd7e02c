#include "app/PortArrival.h"

#include "link/PortDiscovery.h"

namespace quenda {

bool IsPluggableSerialPort(std::string_view portName) {
    for (std::string_view prefix : {"ttyUSB", "ttyACM", "rfcomm"}) {
        if (portName.starts_with(prefix) && portName.size() > prefix.size()) return true;
    }
    return false;
}

PortArrivalFilter::PortArrivalFilter(PortEnumerator& ports) : ports_(ports) { Look(); }

bool PortArrivalFilter::WorthALook(std::string_view action, std::string_view deviceName) {
    return (action == "add" || action == "remove") && IsPluggableSerialPort(deviceName);
}

bool PortArrivalFilter::Look() {
    std::set<std::string> present;
    for (const std::string& friendly : ports_.FriendlyNames()) {
        std::string name = PortNameFromFriendlyName(friendly);
        if (IsPluggableSerialPort(name)) present.insert(std::move(name));
    }
    bool arrived = false;
    for (const std::string& name : present) arrived = arrived || !known_.contains(name);
    known_ = std::move(present);
    return arrived;
}

}  // namespace quenda
