#include "link/BluetoothRadio.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/hci.h>
#include <bluetooth/hci_lib.h>
#include <bluetooth/rfcomm.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace quenda {
namespace {

constexpr int kMaxResponses = 255;
constexpr int kNameLength = 248;  // longest friendly name a radio may report
constexpr int kHighestRfcommChannel = 30;
// Tells the controller the clock offset from the inquiry is valid, which
// speeds up paging the radio for its name.
constexpr std::uint16_t kClockOffsetValid = 0x8000;

std::string ErrnoText(int err) { return std::generic_category().message(err); }

// Waits until a non-blocking connect finishes; 0 or the errno it failed with.
int FinishConnect(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return errno;
        if (ready == 0) return ETIMEDOUT;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return errno;
        return err;
    }
}

}  // namespace

bool BlueZRadioAccess::Scan(std::vector<RadioInfo>& found, std::string& error) {
    found.clear();
    const int devId = hci_get_route(nullptr);
    if (devId < 0) {
        // hci_get_route fails the same way for "no adapter", "adapter down"
        // and "no Bluetooth in this kernel"; the user can act on all three alike.
        error = "No Bluetooth adapter found";
        if (errno == EAFNOSUPPORT) error += " (this system has no Bluetooth support)";
        return false;
    }

    inquiry_info* info = nullptr;
    const int count = hci_inquiry(devId, kInquiryUnits, kMaxResponses, nullptr, &info, IREQ_CACHE_FLUSH);
    if (count < 0) {
        error = "Bluetooth search failed: " + ErrnoText(errno);
        bt_free(info);
        return false;
    }

    const int dd = hci_open_dev(devId);
    for (int i = 0; i < count; ++i) {
        char address[18] = {};
        ba2str(&info[i].bdaddr, address);
        char name[kNameLength] = {};
        if (dd < 0 ||
            hci_read_remote_name_with_clock_offset(dd, &info[i].bdaddr, info[i].pscan_rep_mode,
                                                   static_cast<std::uint16_t>(info[i].clock_offset | kClockOffsetValid),
                                                   sizeof name, name, static_cast<int>(kNameTimeout.count())) < 0) {
            name[0] = '\0';  // radio did not answer in time; the chooser shows its address
        }
        name[kNameLength - 1] = '\0';
        found.push_back(RadioInfo{address, name});
    }
    if (dd >= 0) hci_close_dev(dd);
    bt_free(info);
    return true;
}

int BlueZRadioAccess::SerialPortChannel(const std::string& address) {
    bdaddr_t target{};
    if (str2ba(address.c_str(), &target) < 0) return 0;
    // BDADDR_ANY is a C compound literal; C++ cannot take its address.
    const bdaddr_t anyAdapter{};
    sdp_session_t* session = sdp_connect(&anyAdapter, &target, SDP_RETRY_IF_BUSY);
    if (session == nullptr) return 0;

    uuid_t serialPort;
    sdp_uuid16_create(&serialPort, SERIAL_PORT_SVCLASS_ID);
    sdp_list_t* search = sdp_list_append(nullptr, &serialPort);
    std::uint32_t allAttributes = 0x0000ffff;
    sdp_list_t* attributes = sdp_list_append(nullptr, &allAttributes);
    sdp_list_t* records = nullptr;

    int channel = 0;
    if (search != nullptr && attributes != nullptr &&
        sdp_service_search_attr_req(session, search, SDP_ATTR_REQ_RANGE, attributes, &records) == 0) {
        for (sdp_list_t* r = records; r != nullptr; r = r->next) {
            auto* record = static_cast<sdp_record_t*>(r->data);
            sdp_list_t* protocols = nullptr;
            if (channel == 0 && sdp_get_access_protos(record, &protocols) == 0) {
                const int port = sdp_get_proto_port(protocols, RFCOMM_UUID);
                if (port > 0 && port <= kHighestRfcommChannel) channel = port;
                for (sdp_list_t* p = protocols; p != nullptr; p = p->next) {
                    sdp_list_free(static_cast<sdp_list_t*>(p->data), nullptr);
                }
                sdp_list_free(protocols, nullptr);
            }
            sdp_record_free(record);
        }
        sdp_list_free(records, nullptr);
    }
    sdp_list_free(search, nullptr);
    sdp_list_free(attributes, nullptr);
    sdp_close(session);
    return channel;
}

int BlueZRadioAccess::Connect(const std::string& address, std::string& error) {
    if (bachk(address.c_str()) < 0) {
        error = "Invalid Bluetooth address \"" + address + "\"";
        return -1;
    }
    const int fd = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, BTPROTO_RFCOMM);
    if (fd < 0) {
        const int err = errno;
        error = err == EAFNOSUPPORT ? "No Bluetooth support on this system"
                                    : "Cannot open an RFCOMM socket: " + ErrnoText(err);
        return -1;
    }

    int channel = SerialPortChannel(address);
    if (channel == 0) channel = kFallbackChannel;

    sockaddr_rc remote{};
    remote.rc_family = AF_BLUETOOTH;
    str2ba(address.c_str(), &remote.rc_bdaddr);
    remote.rc_channel = static_cast<std::uint8_t>(channel);

    int err = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) < 0) {
        err = errno;
        if (err == EINPROGRESS || err == EAGAIN) err = FinishConnect(fd, kConnectTimeout);
    }
    if (err != 0) {
        ::close(fd);
        error = "Could not connect to " + address + " on channel " + std::to_string(channel) + ": " + ErrnoText(err);
        return -1;
    }
    return fd;
}

}  // namespace quenda
