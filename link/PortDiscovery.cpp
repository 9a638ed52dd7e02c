#include "link/PortDiscovery.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>
#include <tuple>

namespace quenda {
namespace fs = std::filesystem;

namespace {

constexpr int kHighestComNumber = 255;

std::string ComName(int n) { return "COM" + std::to_string(n); }

// First line of a sysfs attribute, trimmed; empty when it cannot be read.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    line.erase(line.begin(), std::find_if(line.begin(), line.end(), notSpace));
    line.erase(std::find_if(line.rbegin(), line.rend(), notSpace).base(), line.end());
    return line;
}

// The port name is read back from between the first pair of parentheses, so
// a description must not bring its own.
std::string WithoutParentheses(std::string text) {
    std::replace(text.begin(), text.end(), '(', '[');
    std::replace(text.begin(), text.end(), ')', ']');
    return text;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Splits "ttyUSB12" into ("ttyUSB", 12) so ports sort as people number them.
std::tuple<std::string, long, std::string> NaturalKey(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    long number = -1;
    if (digits < name.size() && name.size() - digits < 9) number = std::stol(name.substr(digits));
    return {name.substr(0, digits), number, name};
}

// For a tty below a USB device: "MANUFACTURER PRODUCT", falling back to the
// interface string, or a generic text when the device names nothing.
std::optional<std::string> UsbDescription(const fs::path& device, const fs::path& sysRoot) {
    std::error_code ec;
    fs::path dir = fs::canonical(device, ec);
    if (ec) return std::nullopt;
    const fs::path stop = fs::weakly_canonical(sysRoot / "devices", ec);
    std::string interfaceName;
    for (; !dir.empty() && dir != stop && dir != dir.root_path(); dir = dir.parent_path()) {
        if (interfaceName.empty() && fs::exists(dir / "bInterfaceNumber", ec)) {
            interfaceName = ReadAttribute(dir / "interface");
        }
        if (!fs::exists(dir / "idVendor", ec)) continue;
        std::string text = ReadAttribute(dir / "product");
        if (text.empty()) text = interfaceName;
        if (text.empty()) text = "USB Serial Device";
        const std::string maker = ReadAttribute(dir / "manufacturer");
        if (!maker.empty() && text.find(maker) == std::string::npos) text = maker + " " + text;
        return WithoutParentheses(text);
    }
    return std::nullopt;
}

// The friendly name of one entry of class/tty, or nothing when it is not a
// serial port worth offering.
std::optional<std::string> FriendlyName(const fs::path& entry, const std::string& name, const fs::path& sysRoot) {
    // Bluetooth serial links are virtual ttys without a device link.
    if (StartsWith(name, "rfcomm")) return "Standard Serial over Bluetooth link (" + name + ")";

    std::error_code ec;
    const fs::path device = entry / "device";
    if (!fs::exists(device, ec)) return std::nullopt;  // consoles, ptys, other virtual ttys
    // Ports of the serial core report their UART type; 0 means no UART was
    // found, which is what the 8250 driver's spare ttyS ports look like.
    if (fs::exists(entry / "type", ec)) {
        const std::string type = ReadAttribute(entry / "type");
        if (type.empty() || type == "0") return std::nullopt;
    }
    if (auto usb = UsbDescription(device, sysRoot)) return *usb + " (" + name + ")";
    const auto [prefix, number, full] = NaturalKey(name);
    if (prefix == "ttyS" && number >= 0 && number < kHighestComNumber) {
        // Named as the numbered search names it, so the name opens this port.
        return "Communications Port (" + ComName(static_cast<int>(number) + 1) + ")";
    }
    return "Serial Port (" + name + ")";
}

void AddListed(std::vector<PortCandidate>& out, const std::vector<std::string>& entries, PortGroup group) {
    for (const auto& friendly : entries) {
        std::string name = PortNameFromFriendlyName(friendly);
        if (!name.empty()) out.push_back({std::move(name), group, friendly});
    }
}

void AddRemembered(std::vector<PortCandidate>& out, const std::string& remembered, const PortLists& lists) {
    if (remembered.empty()) return;
    std::string friendly;
    for (const auto* list : {&lists.cp210, &lists.other, &lists.bluetooth}) {
        for (const auto& entry : *list) {
            if (friendly.empty() && PortNameFromFriendlyName(entry) == remembered) friendly = entry;
        }
    }
    out.push_back({remembered, PortGroup::Remembered, friendly});
}

}  // namespace

// No name is dropped for lacking "COM". Where ports are named COMn, the
// system's ports device class also holds printer ports (LPTn), and a "COM"
// test is what kept those out. Our enumeration yields serial ttys only, so
// the test would drop real ports (ttyUSB0, rfcomm0); ttyS ports carry COMn
// names of their own.
PortLists SortPorts(const std::vector<std::string>& friendlyNames) {
    PortLists lists;
    for (const auto& name : friendlyNames) {
        if (name.find("CP210") != std::string::npos) {
            lists.cp210.push_back(name);
        } else if (name.find("Bluetooth") != std::string::npos) {
            lists.bluetooth.push_back(name);
        } else {
            lists.other.push_back(name);
        }
    }
    return lists;
}

std::string PortNameFromFriendlyName(const std::string& friendlyName) {
    const auto open = friendlyName.find('(');
    if (open == std::string::npos) return {};
    const auto close = friendlyName.find(')', open + 1);
    if (close == std::string::npos) return {};
    return friendlyName.substr(open + 1, close - open - 1);
}

PortEnumerator::~PortEnumerator() = default;

SystemPortEnumerator::SystemPortEnumerator(fs::path sysRoot) : sysRoot_(std::move(sysRoot)) {}

std::vector<std::string> SystemPortEnumerator::FriendlyNames() {
    std::error_code ec;
    fs::directory_iterator it(sysRoot_ / "class" / "tty", ec);
    if (ec) return {};
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : it) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NaturalKey(a) < NaturalKey(b); });

    std::vector<std::string> friendly;
    for (const auto& name : names) {
        if (auto f = FriendlyName(sysRoot_ / "class" / "tty" / name, name, sysRoot_)) {
            friendly.push_back(std::move(*f));
        }
    }
    return friendly;
}

const char* PortGroupName(PortGroup group) {
    switch (group) {
        case PortGroup::Remembered: return "remembered";
        case PortGroup::Cp210: return "cp210";
        case PortGroup::Other: return "other";
        case PortGroup::Numbered: return "numbered";
        case PortGroup::Bluetooth: return "bluetooth";
    }
    return "?";
}

std::vector<PortCandidate> SearchCandidates(const std::string& remembered, const PortLists& lists,
                                            bool skipBluetoothInNumberedPass) {
    std::vector<PortCandidate> out;
    AddRemembered(out, remembered, lists);
    AddListed(out, lists.cp210, PortGroup::Cp210);
    AddListed(out, lists.other, PortGroup::Other);

    std::vector<std::string> bluetoothNames;
    if (skipBluetoothInNumberedPass) {
        for (const auto& entry : lists.bluetooth) {
            bluetoothNames.push_back(PortNameFromFriendlyName(entry));
        }
    }
    for (int n = 1; n <= kHighestComNumber; ++n) {
        std::string name = ComName(n);
        if (std::find(bluetoothNames.begin(), bluetoothNames.end(), name) != bluetoothNames.end()) {
            continue;
        }
        out.push_back({std::move(name), PortGroup::Numbered, {}});
    }
    return out;
}

std::optional<std::string> PortSearch(const std::string& remembered, const PortLists& lists,
                                      bool skipBluetoothInNumberedPass,
                                      const std::function<bool(const PortCandidate&)>& attempt) {
    for (const auto& candidate : SearchCandidates(remembered, lists, skipBluetoothInNumberedPass)) {
        if (attempt(candidate)) return candidate.name;
    }
    return std::nullopt;
}

std::vector<PortCandidate> ListedPorts(const std::string& remembered, const PortLists& lists) {
    std::vector<PortCandidate> out;
    AddRemembered(out, remembered, lists);
    AddListed(out, lists.cp210, PortGroup::Cp210);
    AddListed(out, lists.other, PortGroup::Other);
    AddListed(out, lists.bluetooth, PortGroup::Bluetooth);
    return out;
}

}  // namespace quenda
