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
#include "link/ByteStream.h"

namespace quenda {

// Picks one of the radios a search found, or nothing when the user cancels.
// The GUI supplies a dialog; it is called on the thread that calls FindAndConnectRadio.
using RadioChooser = std::function<std::optional<std::size_t>(const std::vector<RadioInfo>&)>;

// The Bluetooth link to the recorder: a connected stream socket (RFCOMM in
// the field) seen by the protocol as a ByteStream, plus the radio search
// (FindAndConnectRadio) and the reconnect before each operation (ConnectSocket).
//
// Threads: Send, Receive and IsConnected may run at the same time from
// different threads (the download sends on one and receives on another).
// FindAndConnectRadio, ConnectSocket, AdoptConnectedSocket and Disconnect replace or close
// the socket; Disconnect wakes a thread blocked in a send or receive, but
// callers join their worker threads before destroying the link.
class BluetoothLink final : public ByteStream {
public:
    // The most one receive asks for when the caller sets no limit: one
    // download poll's worth.
    static constexpr std::size_t kDefaultReceiveCapacity = 4200;

    // A send that makes no progress for this long fails: the radio stopped
    // taking bytes (out of range, powered off) without closing the link.
    static constexpr std::chrono::milliseconds kSendStallTimeout{3000};

    // Finds radios through BlueZ.
    explicit BluetoothLink(RadioChooser chooser = {});
    // Finds and connects radios through `radios` (tests, other stacks).
    BluetoothLink(RadioChooser chooser, std::unique_ptr<RadioAccess> radios);
    ~BluetoothLink() override;

    BluetoothLink(const BluetoothLink&) = delete;
    BluetoothLink& operator=(const BluetoothLink&) = delete;

    void SetRadioChooser(RadioChooser chooser);

    // Searches for radios, lets the chooser pick one and connects to it.
    // True when connected; otherwise LastError() says why. Any earlier
    // connection is closed first. Blocks for the search (about ten seconds
    // with an adapter; at once without one).
    bool FindAndConnectRadio();

    // True while the connection exists. A peer that closed counts as
    // connected until the bytes it sent before closing have been received.
    bool IsConnected() override;

    // Makes sure sends and receives reach the radio: keeps an open socket,
    // otherwise reconnects to the radio last chosen. True when connected.
    bool ConnectSocket();

    // True when every byte was sent. A send that makes no progress for
    // kSendStallTimeout fails.
    bool Send(std::span<const std::uint8_t> bytes) override;

    // Appends the bytes that have arrived, at most maxBytes (0: at most
    // kDefaultReceiveCapacity), waiting up to `wait` for the first one.
    // Nothing arriving is an idle poll on a live link (true) and an error on
    // a closed or failed one (false), which also marks the link disconnected.
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) override;

    // Takes ownership of an already connected stream socket and uses it as
    // the link, closing any previous one. Transports opened elsewhere (and
    // tests, with a socketpair) come in here.
    void AdoptConnectedSocket(int fd);

    // Closes the connection; the chosen radio is kept for ConnectSocket.
    void Disconnect();

    // Why the last failing call failed, in words for the user.
    std::string LastError() const;

private:
    // One receive into `buffer`; the number of bytes placed there.
    std::size_t ReceiveInto(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait);
    void SetError(std::string text);
    void MarkLost(const std::string& why);
    void CloseSocketLocked();                          // needs lifecycleMutex_
    bool ConnectToLocked(const std::string& address);  // needs lifecycleMutex_
    void InstallLocked(int fd);                        // needs lifecycleMutex_

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
