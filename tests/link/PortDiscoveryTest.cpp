#include "link/PortDiscovery.h"
#include "link/SerialPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

std::vector<std::string> Names(const std::vector<PortCandidate>& candidates, std::size_t max = 1000) {
    std::vector<std::string> out;
    for (const auto& c : candidates) {
        if (out.size() < max) out.push_back(std::string(PortGroupName(c.group)) + ":" + c.name);
    }
    return out;
}

TEST(PortDiscovery, SortsByCaseSensitiveSubstringAndReadsPortNames) {
    const PortLists lists = SortPorts({
        "Silicon Labs CP210x USB to UART Bridge (COM5)", "Communications Port (COM1)",
        "Standard Serial over Bluetooth link (COM7)", "Bluetooth CP2102 combo (COM8)", "cp2102 lower case (COM9)",
        "ECP Printer Port (LPT1)",  // kept: no COM filter
    });
    EXPECT_THAT(lists.cp210,
                ElementsAre("Silicon Labs CP210x USB to UART Bridge (COM5)", "Bluetooth CP2102 combo (COM8)"));
    EXPECT_THAT(lists.bluetooth, ElementsAre("Standard Serial over Bluetooth link (COM7)"));
    EXPECT_THAT(lists.other,
                ElementsAre("Communications Port (COM1)", "cp2102 lower case (COM9)", "ECP Printer Port (LPT1)"));

    EXPECT_EQ(PortNameFromFriendlyName("Port (COM3) (COM4)"), "COM3");
    EXPECT_EQ(PortNameFromFriendlyName("odd ) name (ttyUSB0)"), "ttyUSB0");
    EXPECT_EQ(PortNameFromFriendlyName("No port name"), "");
    EXPECT_EQ(PortNameFromFriendlyName("Unclosed (COM2"), "");
    EXPECT_EQ(PortNameFromFriendlyName("Empty ()"), "");
}

TEST(PortDiscovery, BluetoothOnlyMachineSkipsItsNumberOnlyWhenAsked) {
    const PortLists lists = SortPorts({"Standard Serial over Bluetooth link (COM7)"});
    const auto connect = SearchCandidates("", lists, true);
    ASSERT_EQ(connect.size(), 254u);
    EXPECT_THAT(Names(connect, 8), ElementsAre("numbered:COM1", "numbered:COM2", "numbered:COM3", "numbered:COM4",
                                               "numbered:COM5", "numbered:COM6", "numbered:COM8", "numbered:COM9"));
    EXPECT_EQ(connect.back().name, "COM255");

    const auto all = SearchCandidates("", lists, false);  // deletion, clock command
    ASSERT_EQ(all.size(), 255u);
    EXPECT_EQ(all[6].name, "COM7");
}

TEST(PortDiscovery, RememberedThenCp210ThenOtherThenNumbers) {
    const PortLists lists =
        SortPorts({"Communications Port (COM1)", "Silicon Labs CP210x (COM4)", "No name at all", "Modem ()"});
    auto c = SearchCandidates("COM3", lists, true);
    EXPECT_EQ(c.size(), 3u + 255u);  // unnamed entries are skipped
    EXPECT_THAT(Names(c, 4), ElementsAre("remembered:COM3", "cp210:COM4", "other:COM1", "numbered:COM1"));
    EXPECT_EQ(c[0].friendlyName, "");
    EXPECT_EQ(c[1].friendlyName, "Silicon Labs CP210x (COM4)");

    c = SearchCandidates("COM4", lists, true);  // listed too: tried twice
    EXPECT_THAT(Names(c, 3), ElementsAre("remembered:COM4", "cp210:COM4", "other:COM1"));
    EXPECT_EQ(c[0].friendlyName, "Silicon Labs CP210x (COM4)");

    const PortLists withBluetooth =
        SortPorts({"Standard Serial over Bluetooth link (rfcomm0)", "Communications Port (COM1)", "CP2102 (ttyUSB0)"});
    EXPECT_THAT(Names(ListedPorts("COM9", withBluetooth)),
                ElementsAre("remembered:COM9", "cp210:ttyUSB0", "other:COM1", "bluetooth:rfcomm0"));
}

TEST(PortDiscovery, SearchStopsAtTheFirstAcceptedCandidate) {
    const PortLists lists = SortPorts({"Silicon Labs CP210x (COM4)"});
    std::vector<PortCandidate> tried;
    auto found = PortSearch("COM3", lists, true, [&](const PortCandidate& c) {
        tried.push_back(c);
        return c.name == "COM2";
    });
    EXPECT_EQ(found, "COM2");
    EXPECT_THAT(Names(tried), ElementsAre("remembered:COM3", "cp210:COM4", "numbered:COM1", "numbered:COM2"));

    int attempts = 0;
    found = PortSearch("", lists, false, [&](const PortCandidate&) { return ++attempts < 0; });
    EXPECT_EQ(found, std::nullopt);
    EXPECT_EQ(attempts, 1 + 255);
}

// A sysfs look-alike: devices under devices/, class/tty entries linking to
// them, each hardware tty's device link pointing at its parent device.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/quenda-sysfs-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root_ = dir;
        fs::create_directories(root_ / "class" / "tty");
    }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }
    // Adds tty `name` below devices/<parent>; no parent makes it virtual.
    fs::path AddTty(const std::string& name, const std::string& parent = "") {
        const fs::path ttyDir = root_ / "devices" / (parent.empty() ? "virtual" : parent) / "tty" / name;
        fs::create_directories(ttyDir);
        if (!parent.empty()) fs::create_directory_symlink("../..", ttyDir / "device");
        fs::create_directory_symlink(fs::relative(ttyDir, root_ / "class" / "tty"), root_ / "class" / "tty" / name);
        return ttyDir;
    }
    void AddUsbSerial(const std::string& tty, const std::string& usb, const std::string& product,
                      const std::string& maker, const std::string& interfaceName = "") {
        const fs::path dir = root_ / "devices" / usb;
        Write(dir / "idVendor", "10c4");
        if (!product.empty()) Write(dir / "product", product);
        if (!maker.empty()) Write(dir / "manufacturer", maker);
        Write(dir / "1.0" / "bInterfaceNumber", "00");
        if (!interfaceName.empty()) Write(dir / "1.0" / "interface", interfaceName);
        AddTty(tty, usb + "/1.0/" + tty);
    }

    fs::path root_;
};

TEST_F(FakeSysfs, ListsRealSerialPortsByNamesThatOpenThemAgain) {
    AddUsbSerial("ttyUSB0", "usb1/1-2", "CP2102 USB to UART Bridge Controller", "Silicon Labs");
    AddUsbSerial("ttyUSB12", "usb1/1-4", "FTDI FT230X Basic UART", "FTDI");
    AddUsbSerial("ttyACM0", "usb1/1-3", "", "", "CDC Abstract Control Model (ACM)");
    Write(AddTty("ttyS0", "pnp0/00:04") / "type", "4");
    Write(AddTty("ttyS10", "platform/uart10") / "type", "4");
    for (const char* spare : {"ttyS1", "ttyS2", "ttyS31"}) {
        Write(AddTty(spare, "platform/serial8250") / "type", "0");
    }
    for (const char* virtualTty : {"rfcomm0", "tty0", "console", "ptmx"}) AddTty(virtualTty);

    const auto names = SystemPortEnumerator(root_).FriendlyNames();
    EXPECT_THAT(
        names, ElementsAre("Standard Serial over Bluetooth link (rfcomm0)",
                           "CDC Abstract Control Model [ACM] (ttyACM0)", "Communications Port (COM1)",
                           "Communications Port (COM11)", "Silicon Labs CP2102 USB to UART Bridge Controller (ttyUSB0)",
                           "FTDI FT230X Basic UART (ttyUSB12)"));
    std::vector<std::string> paths;
    for (const auto& c : ListedPorts("", SortPorts(names))) paths.push_back(SerialPort::DevicePathForPort(c.name));
    EXPECT_THAT(paths, ElementsAre("/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS10", "/dev/ttyUSB12",
                                   "/dev/rfcomm0"));

    EXPECT_TRUE(SystemPortEnumerator(root_ / "nowhere").FriendlyNames().empty());
}

}  // namespace
}  // namespace quenda
