// The non-blocking socket against real loopback peers.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/DUZOSocket.h"
#include "support/nginx.h"
#include "support/script_peer.h"

// While set, listen() fails as it does for a port another socket already
// listens on; the rest of the time it is the C library's (a definition in
// the program wins over the library's).
static bool g_listen_fails = false;

extern "C" int listen(int fd, int backlog)
{
    using listen_fn = int (*)(int, int);
    static const listen_fn libc_listen = reinterpret_cast<listen_fn>(dlsym(RTLD_NEXT, "listen"));
    if (g_listen_fails) {
        errno = EADDRINUSE;
        return -1;
    }
    return libc_listen(fd, backlog);
}

namespace
{

const unsigned long kLoopback = inet_addr("127.0.0.1");

// Start-up ignores SIGPIPE; a send to a closed connection relies on that.
const bool kSigpipeIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// Polls until the status leaves `from` (bounded), returns the last status.
int poll_until_not(DUZOSocket& s, int from, int max_ms = 3000)
{
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
    Connected()
    {
        if (!peer.Listen()) return;
        sock.Connect(kLoopback, (unsigned short)peer.port());
        if (!peer.Accept(nullptr)) return;
        ok = poll_until_not(sock, kSockConnecting) == kSockConnected;
    }
};

// Holds every descriptor below FD_SETSIZE open, so the next one is past it.
struct HighDescriptors {
    std::vector<int> fillers;
    bool high = false;
    HighDescriptors()
    {
        int fd = open("/dev/null", O_RDONLY);
        while (fd >= 0 && fd < FD_SETSIZE) {
            fillers.push_back(fd);
            fd = open("/dev/null", O_RDONLY);
        }
        if (fd >= 0) fillers.push_back(fd);
        high = fd >= FD_SETSIZE;
        // Frees the last filler (the first high one) for the socket.
        if (high) {
            close(fillers.back());
            fillers.pop_back();
        }
    }
    ~HighDescriptors()
    {
        for (int f : fillers)
            close(f);
    }
};

// A connected descriptor from `from` (any port) to to:port, or -1. The
// loopback net answers on every 127.x address, so each pair is distinct.
int connect_from(const char* from, const char* to, int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(from);
    sockaddr_in b{};
    b.sin_family = AF_INET;
    b.sin_addr.s_addr = inet_addr(to);
    b.sin_port = htons((unsigned short)port);
    if (bind(fd, (sockaddr*)&a, sizeof(a)) != 0 || connect(fd, (sockaddr*)&b, sizeof(b)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The port a socket is bound to.
int local_port(DUZOSocket& s)
{
    DUZOSocket::ConnectionData d;
    s.GetAddresses(&d);
    return d.local_port;
}

// Polls the listener until a peer waits, then accepts it (null on time-out).
DUZOSocket* accept_waiting(DUZOSocket& listener)
{
    if (poll_until_not(listener, kSockIdle) != kSockConnecting) return nullptr;
    return listener.Accept();
}

// Reads until something arrives or the peer closes (bounded). Returns the
// last ReadData answer; the bytes read are appended to got.
long read_some(DUZOSocket& s, std::string* got, int max_ms = 3000)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
    char buf[256];
    long n = s.ReadData(buf, sizeof(buf));
    while (n == 0 && !s.ReceivedRelease() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        n = s.ReadData(buf, sizeof(buf));
    }
    if (n > 0 && got) got->append(buf, (size_t)n);
    return n;
}

bool is_non_blocking(int fd)
{
    return (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
}

} // namespace

TEST(DUZOSocket, LookupAddressDottedAndHostsFile)
{
    struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"10.1.2.3", "10.1.2.3"},   // dotted text needs no name service
        {"localhost", "127.0.0.1"}, // from /etc/hosts, no traffic
    };
    for (const auto& c : cases)
        EXPECT_EQ(DUZOSocket::LookupAddress(c.name), (unsigned long)inet_addr(c.want)) << c.name;
}

TEST(DUZOSocket, LookupAddressUnknownHostIsZero)
{
    // In a private namespace the name service is unreachable, so nothing
    // leaves the machine and the answer comes at once.
    std::string why;
    int r = testnet::run_in_private_loopback(
        [] { return DUZOSocket::LookupAddress("no-such-host.invalid") == 0 ? 0 : 1; }, &why);
    if (r < 0) GTEST_SKIP() << "unknown-host lookup skipped: " << why;
    EXPECT_EQ(r, 0);
}

TEST(DUZOSocket, FreshSocketIsIdle)
{
    DUZOSocket s(0, false);
    EXPECT_GE(s.GetDescriptor(), 0);
    EXPECT_EQ(s.GetStatus(), kSockIdle);
    EXPECT_EQ(s.GetOSError(), 0);
    EXPECT_FALSE(s.ReceivedRelease());
    EXPECT_EQ(DUZOSocket::StartupNetworking(true), 1);
}

TEST(DUZOSocket, ConnectsAndExchangesBytes)
{
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

TEST(DUZOSocket, PeerCloseLeavesStatusConnected)
{
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

TEST(DUZOSocket, FullSendBufferTakesNothing)
{
    Connected c;
    ASSERT_TRUE(c.ok);
    std::string chunk(65536, 'x');
    long taken = 1;
    // The peer never reads, so the kernel buffers fill (bounded: 4096 MiB).
    for (int i = 0; i < 65536 && taken > 0; ++i)
        taken = c.sock.http_WriteData(chunk.data(), (long)chunk.size());
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(c.sock.GetStatus(), kSockConnected);
}

TEST(DUZOSocket, RefusedConnectionEndsClosedOrError)
{
    int port = testnet::free_port(); // nothing listens there
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
        EXPECT_NE(err.find("LINUX: NET: Some sort of connect error! 111"), std::string::npos)
            << err;
    } else {
        EXPECT_EQ(st, kSockClosed);
        EXPECT_EQ(err, "");
    }
}

TEST(DUZOSocket, DisconnectClosesEvenWhenShutdownFails)
{
    DUZOSocket s(0, false); // never connected: shutdown fails
    EXPECT_EQ(s.Disconnect(), -1);
    EXPECT_EQ(s.GetStatus(), kSockClosed);

    Connected c;
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.sock.Disconnect(), 0);
    EXPECT_EQ(c.sock.GetStatus(), kSockClosed);
}

TEST(DUZOSocket, SendAfterDisconnectIsAnOtherError)
{
    ASSERT_TRUE(kSigpipeIgnored);
    Connected c;
    ASSERT_TRUE(c.ok);
    c.sock.Disconnect();
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.sock.http_WriteData("x", 1), -1); // EPIPE, not a "gone" error
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.sock.GetStatus(), kSockError);
    EXPECT_EQ(c.sock.GetOSError(), EPIPE);
    EXPECT_EQ(err, "LINUX: NET: Some sort of error while sending! 32\n");
}

TEST(DUZOSocket, ListeningSocketSeesWaitingPeer)
{
    int port = testnet::free_port();
    ASSERT_NE(port, 0);
    DUZOSocket server((unsigned short)port, true);
    ASSERT_EQ(server.GetStatus(), kSockIdle);
    DUZOSocket client(0, false);
    client.Connect(kLoopback, (unsigned short)port);
    EXPECT_EQ(poll_until_not(server, kSockIdle), kSockConnecting);
}

TEST(DUZOSocket, BindFailureReportsError)
{
    testnet::ScriptPeer peer; // holds 127.0.0.1:port
    ASSERT_TRUE(peer.Listen());
    testing::internal::CaptureStderr();
    DUZOSocket s((unsigned short)peer.port(), false);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.GetStatus(), kSockError);
    EXPECT_EQ(s.GetOSError(), EADDRINUSE);
    EXPECT_EQ(err, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
}

TEST(DUZOSocket, DescriptorBeyondSelectLimitFailsCleanly)
{
    // select() cannot watch descriptors past FD_SETSIZE; polling one must
    // report an error instead of writing past the descriptor set.
    testnet::ScriptPeer peer;
    bool listening = peer.Listen();
    bool high = false;
    int st = 0, oserr = 0, desc = -1;
    {
        HighDescriptors fill;
        high = fill.high;
        if (high && listening) {
            DUZOSocket s(0, false);
            desc = s.GetDescriptor();
            s.Connect(kLoopback, (unsigned short)peer.port());
            st = s.GetStatus();
            oserr = s.GetOSError();
        }
    }
    if (!high) GTEST_SKIP() << "cannot open " << FD_SETSIZE << " descriptors here";
    ASSERT_TRUE(listening);
    ASSERT_GE(desc, FD_SETSIZE);
    if (st != kSockConnected) { // an immediate connect needs no poll
        EXPECT_EQ(st, kSockError);
        EXPECT_EQ(oserr, EBADF);
    }
}

// ---------------------------------------------------------------------------
// Server side: accept, release, addresses.

TEST(DUZOSocket, AcceptWithNobodyWaitingIsNullAndIdle)
{
    DUZOSocket listener(0, true);
    ASSERT_EQ(listener.GetStatus(), kSockIdle);
    EXPECT_EQ(listener.Accept(), nullptr);
    EXPECT_EQ(listener.GetStatus(), kSockIdle);
    EXPECT_EQ(listener.GetOSError(), 0);
}

TEST(DUZOSocket, AcceptedSocketIsConnectedAndNeverBlocks)
{
    DUZOSocket listener(0, true);
    int port = local_port(listener);
    ASSERT_NE(port, 0);
    DUZOSocket client(0, false);
    client.Connect(kLoopback, (unsigned short)port);
    std::unique_ptr<DUZOSocket> conn(accept_waiting(listener));
    ASSERT_NE(conn, nullptr);
    // The only waiting peer is taken, so the listener is idle again.
    EXPECT_EQ(listener.GetStatus(), kSockIdle);

    EXPECT_EQ(conn->GetStatus(), kSockConnected);
    EXPECT_EQ(conn->GetOSError(), 0);
    EXPECT_FALSE(conn->ReceivedRelease());
    // Accepted descriptors do not inherit O_NONBLOCK on Linux.
    ASSERT_TRUE(is_non_blocking(conn->GetDescriptor()));
    char buf[16];
    EXPECT_EQ(conn->ReadData(buf, sizeof(buf)), 0); // nothing sent yet

    ASSERT_EQ(poll_until_not(client, kSockConnecting), kSockConnected);
    EXPECT_EQ(client.http_WriteData("hello", 5), 5);
    std::string got;
    EXPECT_EQ(read_some(*conn, &got), 5);
    EXPECT_EQ(got, "hello");

    // The client never reads, so the buffers fill and a write takes nothing.
    std::string chunk(65536, 'x');
    long taken = 1;
    for (int i = 0; i < 65536 && taken > 0; ++i)
        taken = conn->http_WriteData(chunk.data(), (long)chunk.size());
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(conn->GetStatus(), kSockConnected);
}

TEST(DUZOSocket, AcceptTakesEachWaitingPeerOnce)
{
    DUZOSocket listener(0, true);
    int port = local_port(listener);
    const char* from[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
    std::vector<int> clients;
    for (const char* f : from)
        clients.push_back(connect_from(f, "127.0.0.1", port));
    for (int fd : clients)
        ASSERT_GE(fd, 0);
    std::vector<uint32_t> seen;
    for (size_t i = 0; i < clients.size(); ++i) {
        std::unique_ptr<DUZOSocket> conn(accept_waiting(listener));
        ASSERT_NE(conn, nullptr) << i;
        DUZOSocket::ConnectionData d;
        conn->GetAddresses(&d);
        seen.push_back(d.remote_address);
    }
    EXPECT_EQ(listener.Accept(), nullptr);
    EXPECT_EQ(listener.GetStatus(), kSockIdle);
    for (const char* f : from)
        EXPECT_EQ(std::count(seen.begin(), seen.end(), (uint32_t)inet_addr(f)), 1) << f;
    for (int fd : clients)
        close(fd);
}

TEST(DUZOSocket, AcceptLeavesAnyOtherSocketAlone)
{
    // A client still connecting is no listener: its connect goes on.
    testnet::ScriptPeer peer;
    ASSERT_TRUE(peer.Listen());
    DUZOSocket connecting(0, false);
    connecting.Connect(kLoopback, (unsigned short)peer.port());
    EXPECT_EQ(connecting.Accept(), nullptr);
    EXPECT_EQ(poll_until_not(connecting, kSockConnecting), kSockConnected);

    // Connected and closed sockets keep their status too.
    Connected c;
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.sock.Accept(), nullptr);
    EXPECT_EQ(c.sock.GetStatus(), kSockConnected);
    c.sock.Disconnect();
    EXPECT_EQ(c.sock.Accept(), nullptr);
    EXPECT_EQ(c.sock.GetStatus(), kSockClosed);
}

TEST(DUZOSocket, AcceptKeepsTheErrorOfAFailedListener)
{
    // A socket that is bound but never listened polls as readable, so an
    // idle status would turn into "a peer waits" for ever.
    testing::internal::CaptureStderr();
    g_listen_fails = true;
    DUZOSocket failed(0, true);
    g_listen_fails = false;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "LINUX: NET: I could not start listening! Uh-oh!\n");
    ASSERT_EQ(failed.GetStatus(), kSockError);
    EXPECT_EQ(failed.Accept(), nullptr);
    EXPECT_EQ(failed.GetStatus(), kSockError);
    EXPECT_EQ(failed.GetOSError(), EADDRINUSE);
}

TEST(DUZOSocket, AcceptOfPeerThatResetIsNullOrClosedAtOnce)
{
    DUZOSocket listener(0, true);
    int port = local_port(listener);
    int fd = connect_from("127.0.0.2", "127.0.0.1", port);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(poll_until_not(listener, kSockIdle), kSockConnecting);
    linger hard = {1, 0}; // close with a reset
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    close(fd);
    std::unique_ptr<DUZOSocket> conn(listener.Accept());
    EXPECT_EQ(listener.GetStatus(), kSockIdle);
    if (conn) {
        // Linux still hands the dead connection out; the first read tells.
        ASSERT_TRUE(is_non_blocking(conn->GetDescriptor()));
        EXPECT_EQ(read_some(*conn, nullptr), -1);
        EXPECT_EQ(conn->GetStatus(), kSockClosed);
    }
}

TEST(DUZOSocket, ReleaseEndsOurStreamAndKeepsReading)
{
    DUZOSocket listener(0, true);
    DUZOSocket client(0, false);
    client.Connect(kLoopback, (unsigned short)local_port(listener));
    std::unique_ptr<DUZOSocket> conn(accept_waiting(listener));
    ASSERT_NE(conn, nullptr);
    ASSERT_EQ(poll_until_not(client, kSockConnecting), kSockConnected);
    DUZOSocket::ShutdownNetworking(true); // nothing to stop: sockets live on

    EXPECT_EQ(conn->http_WriteData("last", 4), 4);
    conn->Release();
    EXPECT_EQ(conn->GetStatus(), kSockConnected);
    EXPECT_EQ(conn->GetOSError(), 0);

    // The client gets the bytes, then the end of the stream.
    std::string got;
    long n = read_some(client, &got);
    while (n > 0)
        n = read_some(client, &got);
    EXPECT_EQ(got, "last");
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(client.ReceivedRelease());
    EXPECT_EQ(client.GetStatus(), kSockConnected);

    // Our side still reads what the client sends.
    EXPECT_EQ(client.http_WriteData("reply", 5), 5);
    got.clear();
    EXPECT_EQ(read_some(*conn, &got), 5);
    EXPECT_EQ(got, "reply");

    // Both ends released: the end of the client's stream closes ours.
    client.Release();
    EXPECT_EQ(read_some(*conn, nullptr), -1);
    EXPECT_TRUE(conn->ReceivedRelease());
    EXPECT_EQ(conn->GetStatus(), kSockClosed);
}

TEST(DUZOSocket, ReleaseFailureIsAnError)
{
    struct {
        const char* what;
        DUZOSocket* s; // owned by the test
        int want;
    } cases[] = {
        {"unconnected", new DUZOSocket(0, false), ENOTCONN},
        {"no descriptor", new DUZOSocket(-1), EBADF},
        {"not a socket", new DUZOSocket(open("/dev/null", O_RDONLY)), ENOTSOCK},
    };
    for (const auto& c : cases) {
        std::unique_ptr<DUZOSocket> s(c.s);
        s->Release();
        EXPECT_EQ(s->GetStatus(), kSockError) << c.what;
        EXPECT_EQ(s->GetOSError(), c.want) << c.what;
    }
}

TEST(DUZOSocket, AddressesOfBothEndsAcrossLoopbackAddresses)
{
    struct {
        const char* client;
        const char* server;
    } cases[] = {
        {"127.0.0.2", "127.0.0.3"},
        {"127.0.0.4", "127.0.0.5"},
        {"127.0.0.5", "127.0.0.2"},
        {"127.0.0.3", "127.0.0.4"},
    };
    DUZOSocket listener(0, true);
    const int port = local_port(listener);
    ASSERT_NE(port, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.client) + " -> " + c.server);
        int fd = connect_from(c.client, c.server, port);
        ASSERT_GE(fd, 0);
        DUZOSocket client(fd);
        std::unique_ptr<DUZOSocket> conn(accept_waiting(listener));
        ASSERT_NE(conn, nullptr);

        DUZOSocket::ConnectionData ours, theirs;
        memset(&ours, 0xAB, sizeof(ours));
        memset(&theirs, 0xAB, sizeof(theirs));
        conn->GetAddresses(&ours);
        client.GetAddresses(&theirs);

        // Local address as a number in host order, remote as the bytes on
        // the wire: 127.0.0.x is 0x7F00000x, and the bytes 127, 0, 0, x.
        EXPECT_EQ(ours.local_address, ntohl(inet_addr(c.server)));
        EXPECT_EQ(ours.local_address >> 24, 127u);
        EXPECT_EQ(ours.local_port, port);
        unsigned char wire[4];
        memcpy(wire, &ours.remote_address, 4);
        EXPECT_EQ(wire[0], 127);
        EXPECT_EQ(wire[3], (unsigned char)(c.client[8] - '0'));
        EXPECT_EQ(ours.remote_address, (uint32_t)inet_addr(c.client));

        // Each end's remote is the other's local.
        EXPECT_EQ(theirs.local_address, ntohl(inet_addr(c.client)));
        EXPECT_EQ(theirs.remote_address, (uint32_t)inet_addr(c.server));
        EXPECT_EQ(theirs.remote_port, port);
        EXPECT_EQ(ours.remote_port, theirs.local_port);
        EXPECT_NE(ours.remote_port, 0);
    }
}

TEST(DUZOSocket, AddressesOfUnconnectedEndsAreZeros)
{
    // Garbage in the caller's record must not survive where no peer exists.
    DUZOSocket fresh(0, false);
    DUZOSocket listener(0, true);
    DUZOSocket none(-1);
    struct {
        const char* what;
        DUZOSocket* s;
        bool bound; // has a local port
    } cases[] = {{"unconnected", &fresh, true},
                 {"listening", &listener, true},
                 {"no descriptor", &none, false}};
    for (const auto& c : cases) {
        DUZOSocket::ConnectionData d;
        memset(&d, 0xAB, sizeof(d));
        c.s->GetAddresses(&d);
        EXPECT_EQ(d.remote_address, 0u) << c.what;
        EXPECT_EQ(d.remote_port, 0) << c.what;
        EXPECT_EQ(d.local_address, 0u) << c.what; // bound to any address
        EXPECT_EQ(d.local_port != 0, c.bound) << c.what;
    }
}

TEST(DUZOSocket, ListenerBeyondSelectLimitFailsPollButAccepts)
{
    // The poll cannot watch the descriptor; accepting needs no select.
    HighDescriptors fill;
    if (!fill.high) GTEST_SKIP() << "cannot open " << FD_SETSIZE << " descriptors here";
    DUZOSocket listener(0, true);
    ASSERT_GE(listener.GetDescriptor(), FD_SETSIZE);
    EXPECT_EQ(listener.GetStatus(), kSockError);
    EXPECT_EQ(listener.GetOSError(), EBADF);
    int fd = connect_from("127.0.0.2", "127.0.0.1", local_port(listener));
    ASSERT_GE(fd, 0);
    std::unique_ptr<DUZOSocket> conn;
    for (int i = 0; i < 3000 && !conn; ++i) {
        conn.reset(listener.Accept());
        if (!conn) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(conn->GetStatus(), kSockConnected);
    EXPECT_EQ(listener.GetStatus(), kSockError);
    close(fd);
}
