// The non-blocking socket against real loopback peers.
#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/select.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/DUZOSocket.h"
#include "support/nginx.h"
#include "support/script_peer.h"

namespace {

const unsigned long kLoopback = inet_addr("127.0.0.1");

// Start-up ignores SIGPIPE; a send to a closed connection relies on that.
const bool kSigpipeIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// Polls until the status leaves `from` (bounded), returns the last status.
int poll_until_not(DUZOSocket& s, int from, int max_ms = 3000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
    int st = s.GetStatus();
    while (st == from && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        st = s.GetStatus();
    }
    return st;
}

// A client socket connected to a scripted peer that has accepted it.
struct Connected {
    testnet::ScriptPeer peer;
    DUZOSocket sock{0, false};
    bool ok = false;
    Connected() {
        if (!peer.Listen()) return;
        sock.Connect(kLoopback, (unsigned short)peer.port());
        if (!peer.Accept(nullptr)) return;
        ok = poll_until_not(sock, kSockConnecting) == kSockConnected;
    }
};

}  // namespace

TEST(DUZOSocket, LookupAddressDottedAndHostsFile) {
    struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"10.1.2.3", "10.1.2.3"},  // dotted text needs no name service
        {"localhost", "127.0.0.1"},  // from /etc/hosts, no traffic
    };
    for (const auto& c : cases)
        EXPECT_EQ(DUZOSocket::LookupAddress(c.name), (unsigned long)inet_addr(c.want)) << c.name;
}

TEST(DUZOSocket, LookupAddressUnknownHostIsZero) {
    // In a private namespace the name service is unreachable, so nothing
    // leaves the machine and the answer comes at once.
    std::string why;
    int r = testnet::run_in_private_loopback(
        [] { return DUZOSocket::LookupAddress("no-such-host.invalid") == 0 ? 0 : 1; }, &why);
    if (r < 0) GTEST_SKIP() << "unknown-host lookup skipped: " << why;
    EXPECT_EQ(r, 0);
}

TEST(DUZOSocket, FreshSocketIsIdle) {
    DUZOSocket s(0, false);
    EXPECT_GE(s.GetDescriptor(), 0);
    EXPECT_EQ(s.GetStatus(), kSockIdle);
    EXPECT_EQ(s.GetOSError(), 0);
    EXPECT_FALSE(s.ReceivedRelease());
    EXPECT_EQ(DUZOSocket::StartupNetworking(true), 1);
}

TEST(DUZOSocket, ConnectsAndExchangesBytes) {
    Connected c;
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.sock.GetStatus(), kSockConnected);
    EXPECT_EQ(c.sock.http_WriteData("ping", 4), 4);
    ASSERT_TRUE(c.peer.Send("pong"));
    char buf[16] = {};
    long n = 0;
    for (int i = 0; i < 2000 && n == 0; ++i) {
        n = c.sock.ReadData(buf, sizeof(buf));
        if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::string(buf, 4), "pong");
    // Nothing more there: 0, and the status stays.
    EXPECT_EQ(c.sock.ReadData(buf, sizeof(buf)), 0);
    EXPECT_EQ(c.sock.GetStatus(), kSockConnected);
}

TEST(DUZOSocket, PeerCloseLeavesStatusConnected) {
    Connected c;
    ASSERT_TRUE(c.ok);
    c.peer.CloseConnection();
    char buf[16];
    long n = -2;
    for (int i = 0; i < 2000 && !c.sock.ReceivedRelease(); ++i) {
        n = c.sock.ReadData(buf, sizeof(buf));
        if (!c.sock.ReceivedRelease()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(c.sock.ReceivedRelease());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(c.sock.GetStatus(), kSockConnected);
}

TEST(DUZOSocket, FullSendBufferTakesNothing) {
    Connected c;
    ASSERT_TRUE(c.ok);
    std::string chunk(65536, 'x');
    long taken = 1;
    // The peer never reads, so the kernel buffers fill (bounded: 4096 MiB).
    for (int i = 0; i < 65536 && taken > 0; ++i) taken = c.sock.http_WriteData(chunk.data(), (long)chunk.size());
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(c.sock.GetStatus(), kSockConnected);
}

TEST(DUZOSocket, RefusedConnectionEndsClosedOrError) {
    int port = testnet::free_port();  // nothing listens there
    ASSERT_NE(port, 0);
    testing::internal::CaptureStderr();
    DUZOSocket s(0, false);
    s.Connect(kLoopback, (unsigned short)port);
    int st = poll_until_not(s, kSockConnecting);
    char buf[8];
    if (st == kSockConnected) {
        // The poll cannot tell a refusal; the first read does.
        EXPECT_EQ(s.ReadData(buf, sizeof(buf)), -1);
        st = s.GetStatus();
    }
    std::string err = testing::internal::GetCapturedStderr();
    if (st == kSockError) {
        EXPECT_EQ(s.GetOSError(), ECONNREFUSED);
        EXPECT_NE(err.find("LINUX: NET: Some sort of connect error! 111"), std::string::npos) << err;
    } else {
        EXPECT_EQ(st, kSockClosed);
        EXPECT_EQ(err, "");
    }
}

TEST(DUZOSocket, DisconnectClosesEvenWhenShutdownFails) {
    DUZOSocket s(0, false);  // never connected: shutdown fails
    EXPECT_EQ(s.Disconnect(), -1);
    EXPECT_EQ(s.GetStatus(), kSockClosed);

    Connected c;
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.sock.Disconnect(), 0);
    EXPECT_EQ(c.sock.GetStatus(), kSockClosed);
}

TEST(DUZOSocket, SendAfterDisconnectIsAnOtherError) {
    ASSERT_TRUE(kSigpipeIgnored);
    Connected c;
    ASSERT_TRUE(c.ok);
    c.sock.Disconnect();
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.sock.http_WriteData("x", 1), -1);  // EPIPE, not a "gone" error
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.sock.GetStatus(), kSockError);
    EXPECT_EQ(c.sock.GetOSError(), EPIPE);
    EXPECT_EQ(err, "LINUX: NET: Some sort of error while sending! 32\n");
}

TEST(DUZOSocket, ListeningSocketSeesWaitingPeer) {
    int port = testnet::free_port();
    ASSERT_NE(port, 0);
    DUZOSocket server((unsigned short)port, true);
    ASSERT_EQ(server.GetStatus(), kSockIdle);
    DUZOSocket client(0, false);
    client.Connect(kLoopback, (unsigned short)port);
    EXPECT_EQ(poll_until_not(server, kSockIdle), kSockConnecting);
}

TEST(DUZOSocket, BindFailureReportsError) {
    testnet::ScriptPeer peer;  // holds 127.0.0.1:port
    ASSERT_TRUE(peer.Listen());
    testing::internal::CaptureStderr();
    DUZOSocket s((unsigned short)peer.port(), false);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.GetStatus(), kSockError);
    EXPECT_EQ(s.GetOSError(), EADDRINUSE);
    EXPECT_EQ(err, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
}

TEST(DUZOSocket, DescriptorBeyondSelectLimitFailsCleanly) {
    // select() cannot watch descriptors past FD_SETSIZE; polling one must
    // report an error instead of writing past the descriptor set.
    std::vector<int> fillers;
    int fd = open("/dev/null", O_RDONLY);
    while (fd >= 0 && fd < FD_SETSIZE) {
        fillers.push_back(fd);
        fd = open("/dev/null", O_RDONLY);
    }
    if (fd >= 0) fillers.push_back(fd);
    bool high = fd >= FD_SETSIZE;
    testnet::ScriptPeer peer;
    bool listening = peer.Listen();
    int st = 0, oserr = 0, desc = -1;
    if (high && listening) {
        DUZOSocket s(0, false);
        desc = s.GetDescriptor();
        s.Connect(kLoopback, (unsigned short)peer.port());
        st = s.GetStatus();
        oserr = s.GetOSError();
    }
    for (int f : fillers) close(f);
    if (!high) GTEST_SKIP() << "cannot open " << FD_SETSIZE << " descriptors here";
    ASSERT_TRUE(listening);
    ASSERT_GE(desc, FD_SETSIZE);
    if (st != kSockConnected) {  // an immediate connect needs no poll
        EXPECT_EQ(st, kSockError);
        EXPECT_EQ(oserr, EBADF);
    }
}
