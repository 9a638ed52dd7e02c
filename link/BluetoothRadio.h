#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quenda {

// One Bluetooth radio seen by a search, as the chooser lists it.
struct RadioInfo {
    std::string address;  // "AA:BB:CC:DD:EE:FF"
    std::string name;     // the radio's friendly name; empty when it did not answer
};

// The radio side of the Bluetooth link: searching for radios and opening a
// connection to one. BluetoothLink sees nothing else of the radio stack, so
// tests can put a socketpair where RFCOMM would be.
class RadioAccess {
public:
    virtual ~RadioAccess() = default;

    // Fills `found` with the radios in range. False, with `error` set, when no
    // search was possible at all (no adapter, adapter down); an empty list with
    // true means the search ran and nobody answered.
    virtual bool Scan(std::vector<RadioInfo>& found, std::string& error) = 0;

    // A connected stream socket to the radio at `address`, owned by the caller;
    // -1 with `error` set when it could not be opened.
    virtual int Connect(const std::string& address, std::string& error) = 0;
};

// Radio access through BlueZ: HCI inquiry for the search, an SDP query for the
// Serial Port service's RFCOMM channel, then an RFCOMM stream socket.
class BlueZRadioAccess final : public RadioAccess {
public:
    // Used when the radio publishes no Serial Port record (or the SDP query
    // fails): channel 1 is where single-service serial radios listen.
    static constexpr int kFallbackChannel = 1;
    // An inquiry of 8 × 1.28 s, the usual length of a full search.
    static constexpr int kInquiryUnits = 8;
    static constexpr std::chrono::milliseconds kNameTimeout{5000};
    // Paging a radio can take several seconds; past this we give up.
    static constexpr std::chrono::milliseconds kConnectTimeout{15000};

    bool Scan(std::vector<RadioInfo>& found, std::string& error) override;
    int Connect(const std::string& address, std::string& error) override;

    // The RFCOMM channel of the Serial Port service on `address`, or 0 when
    // the radio could not be asked or publishes none.
    static int SerialPortChannel(const std::string& address);
};

}  // namespace quenda
