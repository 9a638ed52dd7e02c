#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "link/BluetoothRadio.h"

namespace quenda {

// Picks one of the radios a search found, or nothing when the user cancels.
// The GUI supplies a dialog; it is called on the thread that calls mydlldlg.
using RadioChooser = std::function<std::optional<std::size_t>(const std::vector<RadioInfo>&)>;

// The Bluetooth link to the recorder: a connected stream socket (RFCOMM in
// the field) behind the five calls the protocol layer makes. The calls keep
// their historical names and int results so the protocol code reads the same
// for both links.
//
// Threads: WSABT_SendData, WSABT_RecvData and WSABT_IsConnected may run at the
// same time from different threads (the download sends on one and receives on
// another). mydlldlg, ConnectSocket, AdoptConnectedSocket and Disconnect replace
// or close the socket; Disconnect wakes a thread blocked in a send or receive,
// but callers join their worker threads before destroying the link.
class BluetoothLink {
public:
    // A send that makes no progress for this long fails: the radio stopped
    // taking bytes (out of range, powered off) without closing the link.
    static constexpr std::chrono::milliseconds kSendStallTimeout{3000};

    // Finds radios through BlueZ.
    explicit BluetoothLink(RadioChooser chooser = {});
    // Finds and connects radios through `radios` (tests, other stacks).
    BluetoothLink(RadioChooser chooser, std::unique_ptr<RadioAccess> radios);
    ~BluetoothLink();

    BluetoothLink(const BluetoothLink&) = delete;
    BluetoothLink& operator=(const BluetoothLink&) = delete;

    void SetRadioChooser(RadioChooser chooser);

    // Searches for radios, lets the chooser pick one and connects to it.
    // 1 when connected; 0 otherwise, with LastError() saying why. Any earlier
    // connection is closed first. Blocks for the search (about ten seconds
    // with an adapter; at once without one).
    int mydlldlg();

    // Non-zero while the connection exists. A peer that closed counts as
    // connected until the bytes it sent before closing have been received.
    int WSABT_IsConnected();

    // Makes sure sends and receives reach the radio: keeps an open socket,
    // otherwise reconnects to the radio last chosen. 1 when connected.
    int ConnectSocket();

    // Non-zero when every one of the `length` bytes was sent, 0 on failure.
    int WSABT_SendData(const std::uint8_t* bytes, int length);

    // Places the bytes that have arrived, at most `capacity`, in `buffer`,
    // waiting up to `waitMs` milliseconds for the first one. Returns their
    // number, 0 when none came in time. A closed or failed connection also
    // returns 0 and marks the link disconnected.
    int WSABT_RecvData(std::uint8_t* buffer, int capacity, int waitMs);

    // Takes ownership of an already connected stream socket and uses it as
    // the link, closing any previous one. Transports opened elsewhere (and
    // tests, with a socketpair) come in here.
    void AdoptConnectedSocket(int fd);

    // Closes the connection; the chosen radio is kept for ConnectSocket.
    void Disconnect();

    // Why the last failing call failed, in words for the user.
    std::string LastError() const;

private:
    void SetError(std::string text);
    void MarkLost(const std::string& why);
    void CloseSocketLocked();                         // needs lifecycleMutex_
    int ConnectToLocked(const std::string& address);  // needs lifecycleMutex_
    void InstallLocked(int fd);                       // needs lifecycleMutex_

    RadioChooser chooser_;
    std::unique_ptr<RadioAccess> radios_;

    // Serialises the calls that open, replace or close the socket.
    std::mutex lifecycleMutex_;
    std::string chosenAddress_;  // guarded by lifecycleMutex_

    // Sends and receives hold it shared; only closing the socket takes it
    // exclusively, so the descriptor is never closed under a running call.
    std::shared_mutex socketMutex_;
    std::atomic<int> fd_{-1};
    std::atomic<bool> connected_{false};

    mutable std::mutex errorMutex_;
    std::string lastError_;
};

}  // namespace quenda
