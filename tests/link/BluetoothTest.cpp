#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/BluetoothLink.h"

namespace quenda {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kNoHang = 10s;  // "it returned"; never a measure of speed
const Bytes kIdentify = {0x55, 0xAA, 0xFD, 0x00, 0x00, 0xFD};

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

// Up to n bytes from a test socket; fewer if it closes or stays silent.
Bytes ReadN(int fd, std::size_t n) {
    Bytes got(n);
    std::size_t have = 0;
    for (pollfd p{fd, POLLIN, 0}; have<n&& ::poll(&p, 1, 5000)> 0;) {
        const ssize_t r = ::read(fd, got.data() + have, n - have);
        if (r <= 0) break;
        have += static_cast<std::size_t>(r);
    }
    got.resize(have);
    return got;
}

// n bytes through the link in receives of `capacity`, as a poll loop would.
Bytes RecvN(BluetoothLink& link, std::size_t n, std::size_t capacity) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + kNoHang;
    while (got.size() < n && std::chrono::steady_clock::now() < deadline) link.Receive(got, capacity, 50ms);
    return got;
}

// The bytes one receive brings.
Bytes Recv(BluetoothLink& link, std::size_t capacity, std::chrono::milliseconds wait) {
    Bytes got;
    link.Receive(got, capacity, wait);
    return got;
}

// One end goes to the link (which owns it from then on), the test keeps the peer.
struct SocketPair {
    int ours = -1, peer = -1;
    SocketPair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) ours = fds[0], peer = fds[1];
    }
    ~SocketPair() { ClosePeer(); }
    int Release() { return std::exchange(ours, -1); }
    void ClosePeer() {
        if (peer >= 0) ::close(std::exchange(peer, -1));
    }
};

struct FakeRadios final : RadioAccess {
    bool adapter = true, refuse = false;
    std::vector<RadioInfo> radios;
    std::vector<std::string> connectedTo;
    std::vector<std::unique_ptr<SocketPair>> pairs;

    bool Scan(std::vector<RadioInfo>& found, std::string& error) override {
        error = adapter ? "" : "no adapter";
        found = radios;
        return adapter;
    }
    int Connect(const std::string& address, std::string& error) override {
        connectedTo.push_back(address);
        error = refuse ? "refused" : "";
        if (refuse) return -1;
        pairs.push_back(std::make_unique<SocketPair>());
        return pairs.back()->Release();
    }
    int Peer() const { return pairs.back()->peer; }
};

TEST(BluetoothWithoutRadio, EveryCallFailsCleanlyAndAtOnce) {
    const int probe = ::socket(AF_BLUETOOTH, SOCK_STREAM, 3 /* RFCOMM */);
    if (probe >= 0 || errno != EAFNOSUPPORT) {
        if (probe >= 0) ::close(probe);
        GTEST_SKIP() << "this machine has Bluetooth";
    }
    int chooserCalls = 0;
    BluetoothLink link([&](const auto&) { return ++chooserCalls, std::optional<std::size_t>(0); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.FindAndConnectRadio());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kNoHang);
    EXPECT_EQ(chooserCalls, 0);
    EXPECT_NE(link.LastError().find("No Bluetooth adapter found"), std::string::npos);

    Bytes out;
    EXPECT_FALSE(link.ConnectSocket());
    EXPECT_FALSE(link.Send(kIdentify));
    EXPECT_FALSE(link.Receive(out, 38, 3ms));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(link.IsConnected());

    BlueZRadioAccess bluez;
    std::string error;
    EXPECT_EQ(bluez.Connect("not an address", error), -1);
    EXPECT_NE(error.find("Invalid"), std::string::npos) << error;
    EXPECT_EQ(bluez.Connect("00:11:22:33:44:55", error), -1);
    EXPECT_NE(error.find("No Bluetooth support"), std::string::npos) << error;
}

class BluetoothLinkOverSocket : public ::testing::Test {
protected:
    void SetUp() override { link.AdoptConnectedSocket(pair.Release()); }
    SocketPair pair;
    BluetoothLink link;
};

TEST_F(BluetoothLinkOverSocket, CommandsGoOutAndRepliesComeBackWithinCapacity) {
    ASSERT_TRUE(link.IsConnected());
    EXPECT_TRUE(link.ConnectSocket());  // an open socket is kept as it is
    EXPECT_TRUE(link.Send(kIdentify));
    EXPECT_EQ(ReadN(pair.peer, 6), kIdentify);

    Bytes out = {0xAB};
    EXPECT_TRUE(link.Receive(out, 38, 3ms));  // idle, and still up: nothing appended
    EXPECT_EQ(out, Bytes{0xAB});
    EXPECT_TRUE(link.IsConnected());

    std::thread late([&] {
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(::write(pair.peer, kIdentify.data(), 6), 6);
    });
    EXPECT_EQ(Recv(link, 38, 5000ms), kIdentify);  // arrives during the wait
    late.join();

    const Bytes queued = Pattern(100);
    ASSERT_EQ(::write(pair.peer, queued.data(), 100), 100);
    Bytes all = Recv(link, 38, 3ms);
    ASSERT_EQ(all.size(), 38u);
    const Bytes rest = RecvN(link, 62, 38);
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(all, queued);

    // No limit given: at most one download poll's worth at a time.
    const Bytes big = Pattern(5000);
    ASSERT_EQ(::write(pair.peer, big.data(), big.size()), 5000);
    const Bytes first = Recv(link, 0, 50ms);
    EXPECT_GT(first.size(), 0u);
    EXPECT_LE(first.size(), BluetoothLink::kDefaultReceiveCapacity);
    Bytes whole = first;
    const Bytes remainder = RecvN(link, 5000 - first.size(), 0);
    whole.insert(whole.end(), remainder.begin(), remainder.end());
    EXPECT_TRUE(whole == big);
}

TEST_F(BluetoothLinkOverSocket, BytesSentBeforeThePeerClosedAreStillDelivered) {
    ASSERT_EQ(::write(pair.peer, kIdentify.data(), 6), 6);
    pair.ClosePeer();
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(Recv(link, 38, 3ms), kIdentify);
    Bytes out;
    EXPECT_FALSE(link.Receive(out, 38, 3ms));  // nothing more, and the link is gone
    EXPECT_FALSE(link.IsConnected());
    EXPECT_FALSE(link.Send(kIdentify));
}

TEST(BluetoothLinkLoss, EachCallNoticesAClosedPeer) {
    for (int noticedBy : {0, 1, 2}) {  // IsConnected, send, receive
        SCOPED_TRACE(noticedBy);
        SocketPair pair;
        BluetoothLink link;
        link.AdoptConnectedSocket(pair.Release());
        pair.ClosePeer();
        Bytes out;
        if (noticedBy == 1) {
            EXPECT_FALSE(link.Send(kIdentify));  // and no SIGPIPE
        } else if (noticedBy == 2) {
            EXPECT_FALSE(link.Receive(out, 38, 3000ms));
        }
        EXPECT_FALSE(link.IsConnected());
        EXPECT_FALSE(link.LastError().empty());
    }
}

TEST_F(BluetoothLinkOverSocket, SendAndReceiveRunConcurrently) {
    constexpr std::size_t kSize = 1 << 20;
    const Bytes out = Pattern(kSize);
    std::thread echo([&] {
        std::array<std::uint8_t, 8192> chunk;
        for (std::size_t done = 0; done < kSize;) {
            const ssize_t r = ::read(pair.peer, chunk.data(), chunk.size());
            if (r <= 0 || ::write(pair.peer, chunk.data(), static_cast<std::size_t>(r)) != r) return;
            done += static_cast<std::size_t>(r);
        }
    });
    bool sentAll = true;
    std::thread sender([&] {
        for (std::size_t at = 0; at < kSize;) {
            // Command-sized writes first, as the download sends, then bulk.
            const std::size_t n = std::min<std::size_t>(at < 12'000 ? 6 : 4096, kSize - at);
            sentAll = link.Send(std::span(out).subspan(at, n)) && sentAll;
            at += n;
        }
    });
    const Bytes back = RecvN(link, kSize, 4200);
    sender.join();
    echo.join();
    EXPECT_TRUE(sentAll);
    EXPECT_TRUE(back == out) << "received " << back.size() << " of " << kSize;
}

TEST_F(BluetoothLinkOverSocket, DisconnectWakesABlockedReceiveAndClosesThePeer) {
    bool received = true;
    Bytes got;
    std::thread receiver([&] { received = link.Receive(got, 38, 60'000ms); });
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    link.Disconnect();
    receiver.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kNoHang);
    EXPECT_FALSE(received);
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(ReadN(pair.peer, 1).empty());
}

TEST(BluetoothRadioChoice, ChosenRadioIsConnectedAndReconnected) {
    auto owned = std::make_unique<FakeRadios>();
    FakeRadios& fake = *owned;
    fake.radios = {{"00:11:22:33:44:55", "Headset"}, {"66:77:88:99:AA:BB", "Oximeter"}};
    std::vector<RadioInfo> offered;
    BluetoothLink link([&](const auto& list) { return offered = list, std::optional<std::size_t>(1); },
                       std::move(owned));

    ASSERT_TRUE(link.FindAndConnectRadio());
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[1].name, "Oximeter");
    EXPECT_EQ(fake.connectedTo, std::vector<std::string>{"66:77:88:99:AA:BB"});
    EXPECT_TRUE(link.Send(kIdentify));
    EXPECT_EQ(ReadN(fake.Peer(), 6), kIdentify);

    ::shutdown(fake.Peer(), SHUT_RDWR);  // link lost; ConnectSocket dials the same radio
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(link.ConnectSocket());
    EXPECT_EQ(fake.connectedTo.back(), "66:77:88:99:AA:BB");
    EXPECT_TRUE(link.Send(kIdentify));
    EXPECT_EQ(ReadN(fake.Peer(), 6), kIdentify);

    fake.radios.clear();  // a new search drops the old connection, even when it finds nobody
    EXPECT_FALSE(link.FindAndConnectRadio());
    EXPECT_TRUE(ReadN(fake.Peer(), 1).empty());
}

TEST(BluetoothRadioChoice, NoConnectionWithoutAValidChoice) {
    const std::vector<RadioInfo> one = {{"00:11:22:33:44:55", ""}};
    struct Case {
        bool adapter, refuse;
        std::vector<RadioInfo> radios;
        std::optional<std::size_t> pick;
    };
    for (const Case& c : {Case{false, false, {}, 0}, Case{true, false, {}, 0}, Case{true, false, one, std::nullopt},
                          Case{true, false, one, 1}, Case{true, true, one, 0}}) {
        auto owned = std::make_unique<FakeRadios>();
        FakeRadios& fake = *owned;
        fake.adapter = c.adapter;
        fake.refuse = c.refuse;
        fake.radios = c.radios;
        BluetoothLink link([&](const auto&) { return c.pick; }, std::move(owned));
        EXPECT_FALSE(link.FindAndConnectRadio());
        EXPECT_EQ(fake.connectedTo.size(), c.refuse ? 1u : 0u);
        EXPECT_FALSE(link.IsConnected());
        EXPECT_FALSE(link.LastError().empty());
    }
}

}  // namespace
}  // namespace quenda
