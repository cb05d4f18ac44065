// The download slots against a scripted peer on loopback, for replies no
// real server sends. The proxy fields point the request at the peer, which
// keeps the fixed port 80 out of the way.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "GenC/hl_alert.h"
#include "GenC/hl_windows.h"
#include "OOPS_cpp/http.h"
#include "support/alert_probe.h"
#include "support/script_peer.h"
#include "support/text.h"
#include "test_http_fixture.h"

namespace
{

const char* const kServer = "example.test";

// A peer with an accepted connection and the request read.
struct PeerSession {
    testnet::ScriptPeer peer;
    SlotPoller client;
    bool ok = false;

    PeerSession(HttpTest* t, const std::string& local, const std::string& path = "/dir/file.zip",
                int slot = kNetSlotFirstStream)
    {
        client.slot = slot;
        client.server = kServer;
        client.path = path;
        client.local = local;
        if (!peer.Listen()) return;
        http._proxy_host = "127.0.0.1";
        http._proxy_port_int = peer.port();
        client.poll();
        auto pump = [this] { client.poll(); };
        ok = peer.Accept(pump) && peer.ReadRequest(pump);
    }
    std::function<void()> pump()
    {
        return [this] { client.poll(); };
    }
    // Polls a fixed number of times with short naps (the answer must not change).
    void idle_polls(int n)
    {
        for (int i = 0; i < n && client.answer == kNetRunning; ++i) {
            client.poll();
            usleep(500);
        }
    }
};

std::string block(const std::string& local, const std::string& path, int done, int complete,
                  int err, int stat, int oserr, const std::string& reason, int code)
{
    return "HTTP Error for " + local + "\n   server     =" + kServer + "\n   file       =" + path +
           "\n   IsDone     =" + std::to_string(done) +
           "\n   IsComplete =" + std::to_string(complete) +
           "\n   IsErr      =" + std::to_string(err) + "\n   GetStat    =" + std::to_string(stat) +
           "\n   GetOSErr   =" + std::to_string(oserr) + "\n   response   =" + reason + " (#" +
           std::to_string(code) + ")\n\n";
}

} // namespace

TEST_F(HttpTest, RequestBytesThroughProxy)
{
    PeerSession s(this, path("out.zip"), "/dir/a b/c d.zip");
    ASSERT_TRUE(s.ok);
    // Blanks become %20, nothing else changes; headers in name order; the
    // absolute form goes to a proxy, with "Host" still sent.
    EXPECT_EQ(s.peer.request(), "GET http://example.test/dir/a%20b/c%20d.zip HTTP/1.1\r\n"
                                "Connection: close\r\n"
                                "Host: example.test\r\n"
                                "User-agent: Installer-LIN/a-19\r\n"
                                "\r\n");
}

TEST_F(HttpTest, DirectRequestBytes)
{
    // Built by the request itself; the port is free here, not 80.
    testnet::ScriptPeer peer;
    ASSERT_TRUE(peer.Listen());
    std::map<std::string, std::string> h{{"Host", "127.0.0.1"}, {"Connection", "close"}};
    down_class req("127.0.0.1", (unsigned short)peer.port(), "/x y.zip", false, h, nullptr, 0,
                   nullptr);
    ASSERT_TRUE(peer.Accept([&] { req.DoProcessing(); }));
    ASSERT_TRUE(peer.ReadRequest([&] { req.DoProcessing(); }));
    EXPECT_EQ(peer.request(),
              "GET /x%20y.zip HTTP/1.1\r\nConnection: close\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(req.GetStat(), kStatWaitHead);
}

// One reply each, read to its answer: the answer, the local file and the
// log. The cases stand alone: a fresh log, no earlier failure, no file.
TEST_F(HttpTest, OneReplyReadToItsAnswer)
{
    const std::string out = path("out.zip");
    struct {
        const char* name;
        std::string reply;
        int answer;
        const char* file;               // the local file afterwards
        std::optional<std::string> log; // the whole log; not looked at when unset
        int wait_ms = 20000;            // how long the answer may take at most
    } cases[] = {
        // The peer never closes: the announced length ends the reply.
        {"complete body without the server's close",
         "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello world", kNetComplete, "hello world",
         ""},
        // As haproxy sends them: all in lower case.
        {"header names in lower case",
         "HTTP/1.1 200 OK\r\ncontent-type: application/zip\r\ncontent-length: 4\r\n\r\nabcd",
         kNetComplete, "abcd", ""},
        // As real servers may send it: no blank or a tab after the colon,
        // blanks after the value, the same value twice.
        {"no blank after the colon", "HTTP/1.1 200 OK\r\nContent-Length:4\r\n\r\nabcd",
         kNetComplete, "abcd", ""},
        {"tab after the colon", "HTTP/1.1 200 OK\r\nContent-Length:\t4\r\n\r\nabcd", kNetComplete,
         "abcd", ""},
        {"blanks after the value", "HTTP/1.1 200 OK\r\nContent-Length: 4  \t\r\n\r\nabcd",
         kNetComplete, "abcd", ""},
        {"the same length twice",
         "HTTP/1.1 200 OK\r\nContent-Length: 4\r\ncontent-length:4\r\n\r\nabcd", kNetComplete,
         "abcd", ""},
        // Valid HTTP: the reason phrase may be empty, and its blank left out.
        {"empty reason phrase", "HTTP/1.1 200 \r\nContent-Length: 2\r\n\r\nok", kNetComplete, "ok",
         ""},
        {"no reason phrase and no blank", "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok",
         kNetComplete, "ok", ""},
        // The file gets the announced length, no more; the surplus is the reason.
        {"body longer than announced", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef",
         kNetFailed, "abc",
         "HTTP failed: the reply's body is longer than its \"Content-Length\" of 3 bytes\n" +
             block(out, "/dir/file.zip", 1, 1, 1, kStatClosed, 20008, "OK", 200)},
        // The error page is left for the caller to judge.
        {"not found with a body", "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!",
         kNetFailed, "nope!",
         "HTTP failed: the server answered 404 Not Found\n" +
             block(out, "/dir/file.zip", 1, 1, 0, kStatClosed, 0, "Not Found", 404)},
        {"zero length is complete at the end of the head",
         "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n", kNetComplete, "", std::nullopt},
        // Nothing more will ever arrive; the answer must come from that one read.
        {"interim reply in the same read",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         kNetComplete, "ok", std::nullopt, 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        http.ForgetFailures();
        unlink(out.c_str());
        PeerSession s(this, out);
        ASSERT_TRUE(s.ok);
        ASSERT_TRUE(s.peer.Send(c.reply));
        EXPECT_EQ(s.client.run(c.wait_ms), c.answer);
        EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
        struct stat st;
        ASSERT_EQ(stat(out.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, (off_t)strlen(c.file));
        EXPECT_EQ(testnet::read_file(out), c.file);
        if (c.log) {
            EXPECT_EQ(Log(), *c.log);
        }
    }
}

TEST_F(HttpTest, HeadSplitAtEveryByteAndActivityWaitsForIt)
{
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nServer: peer\r\n\r\n";
    float t = 1000.0f;
    for (char c : head.substr(0, head.size() - 1)) {
        ASSERT_TRUE(s.peer.Send(std::string(1, c)));
        set_clock(t += 0.5f); // reads during the head are not activity
        s.idle_polls(3);
        ASSERT_NE(s.client.request(), nullptr);
        EXPECT_EQ(s.client.request()->GetLastActivity(), 1000.0f);
        EXPECT_EQ(s.client.request()->GetStat(), kStatWaitHead);
    }
    ASSERT_EQ(s.client.answer, kNetRunning);
    // The head's last byte is the first activity.
    ASSERT_TRUE(s.peer.Send(head.substr(head.size() - 1)));
    for (int i = 0; i < 5000 && s.client.request()->GetStat() != kStatBody; ++i)
        s.idle_polls(1);
    EXPECT_EQ(s.client.request()->GetStat(), kStatBody);
    EXPECT_EQ(s.client.request()->GetLastActivity(), t);
    EXPECT_EQ(s.client.request()->GetStatusCode(), 200);
    EXPECT_EQ(s.client.request()->cont_len, 4);
    ASSERT_TRUE(s.peer.Send("body"));
    EXPECT_EQ(s.client.run(), kNetComplete);
    EXPECT_EQ(testnet::read_file(path("out.zip")), "body");
}

TEST_F(HttpTest, SilentPeerTimesOutAfterThirtySeconds)
{
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    set_clock(1029.9f);
    s.idle_polls(5);
    EXPECT_EQ(s.client.answer, kNetRunning);
    set_clock(1030.1f);
    s.client.poll();
    EXPECT_EQ(s.client.answer, kNetFailed);
    EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
    // A time-out says so, as every failure does.
    EXPECT_EQ(Log(),
              "HTTP failed: no reply came within 30 seconds\n" +
                  block(path("out.zip"), "/dir/file.zip", 0, 0, 0, kStatWaitHead, 0, "", -1));
}

TEST_F(HttpTest, EndedOrUnreadableReplyFailsAtOnce)
{
    // The clock stands still throughout (nothing moves xtim here), so the
    // idle rule can never be what ends these requests.
    const std::string earlier = "earlier download";
    struct {
        const char* name;
        std::string reply;
        bool close;        // the peer closes after the reply
        const char* why;   // the reason line
        const char* block; // part of the error block
        const char* file;  // the local file afterwards
    } cases[] = {
        {"closed before any reply", "", true, "the connection was closed before any reply",
         "   IsDone     =1\n", earlier.c_str()},
        {"closed in the head", "HTTP/1.1 200 OK\r\nContent-Le", true,
         "the connection was closed before the end of the reply's head", "   GetStat    =3\n",
         earlier.c_str()},
        {"body shorter than announced", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", true,
         "the connection was closed after 5 of 100 body bytes", "   IsComplete =0\n", "short"},
        {"error page without length", "HTTP/1.0 502 Bad Gateway\r\n\r\nno origin", true,
         "the connection was closed after 9 body bytes of a reply without \"Content-Length\"",
         "   response   =Bad Gateway (#502)\n", "no origin"},
        // These fail at the end of the head, while the peer keeps the
        // connection open, and leave the local file as it was.
        {"2xx without length", "HTTP/1.1 200 OK\r\n\r\nsome body", false,
         "the reply (200) has no \"Content-Length\", so the end of its body cannot be known",
         "   GetOSErr   =20008\n", earlier.c_str()},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", false,
         "the reply's body comes as \"Transfer-Encoding: chunked\", which this client cannot read",
         "   IsErr      =1\n", earlier.c_str()},
        {"part of the file", "HTTP/1.1 206 Partial Content\r\nContent-Length: 4\r\n\r\nabcd", false,
         "the reply holds only part of the file (206) where the whole file was asked for",
         "   response   =Partial Content (#206)\n", earlier.c_str()},
        // A length that is no number, or two that differ, would make a
        // complete file of a wrong size.
        {"length that is no number",
         "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n" + std::string(1000, 'b'), false,
         "the reply's \"Content-Length: abc\" is not a number of bytes, so the end of its body "
         "cannot be known",
         "   IsComplete =0\n", earlier.c_str()},
        {"length with letters after it",
         "HTTP/1.1 200 OK\r\nContent-Length: 10abc\r\n\r\n" + std::string(1000, 'b'), false,
         "the reply's \"Content-Length: 10abc\" is not a number of bytes, so the end of its body "
         "cannot be known",
         "   IsComplete =0\n", earlier.c_str()},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nbody", false,
         "the reply's \"Content-Length: -1\" is not a number of bytes, so the end of its body "
         "cannot be known",
         "   IsComplete =0\n", earlier.c_str()},
        {"empty length", "HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\nbody", false,
         "the reply's \"Content-Length: \" is not a number of bytes, so the end of its body "
         "cannot be known",
         "   IsComplete =0\n", earlier.c_str()},
        {"two different lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 500\r\nContent-Length: 1000\r\n\r\n" +
             std::string(1000, 'b'),
         false,
         "the reply gives two different \"Content-Length\" values (500 and 1000), so the end of "
         "its body cannot be known",
         "   IsComplete =0\n", earlier.c_str()},
        {"four-digit status code", "HTTP/1.1 2000 Weird\r\nContent-Length: 5\r\n\r\nhello", false,
         "the reply's status line \"HTTP/1.1 2000 Weird\" is not valid", "   response   = (#-1)\n",
         earlier.c_str()},
        {"length past 63 bits",
         "HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551617\r\n\r\nbody", false,
         "the reply's \"Content-Length: 18446744073709551617\" is not a number of bytes, so the "
         "end of its body cannot be known",
         "   IsComplete =0\n", earlier.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        ASSERT_TRUE(testnet::write_file(path("out.zip"), earlier));
        PeerSession s(this, path("out.zip"));
        ASSERT_TRUE(s.ok);
        if (!c.reply.empty()) {
            ASSERT_TRUE(s.peer.Send(c.reply));
        }
        if (c.close) {
            // The whole reply is in before the peer closes.
            s.idle_polls(20);
            EXPECT_EQ(s.client.answer, kNetRunning);
            s.peer.CloseConnection();
        }
        EXPECT_EQ(s.client.run(), kNetFailed);
        EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
        const std::string log = Log();
        EXPECT_EQ(log.rfind("HTTP failed: " + std::string(c.why) + "\nHTTP Error for " +
                                path("out.zip") + "\n",
                            0),
                  0u)
            << log;
        EXPECT_NE(log.find(c.block), std::string::npos) << log;
        EXPECT_EQ(testnet::read_file(path("out.zip")), c.file);
    }
}

// A name from a list the servers send goes into the request line and the
// "Host" header: one that would break them is never sent.
TEST_F(HttpTest, NamesThatWouldBreakTheRequestAreNotSent)
{
    const std::string server_why =
        "\" holds a blank or a control character, so no request is made for it";
    struct {
        const char* name;
        std::string server, path;
        std::string why;   // the reason line
        std::string shown; // the error block's server and file lines
    } cases[] = {
        {"blank in the server name", "%%garbage host%%", "/p/f.zip",
         "the server name \"%%garbage host%%" + server_why,
         "   server     =%%garbage host%%\n   file       =/p/f.zip\n"},
        {"tab in the server name", "files\t.test", "/p/f.zip",
         "the server name \"files\\x09.test" + server_why, "   server     =files\\x09.test\n"},
        {"line break in the server name", "files.test\r\nX-Evil: 1", "/p/f.zip",
         "the server name \"files.test\\x0D\\x0AX-Evil: 1" + server_why,
         "   server     =files.test\\x0D\\x0AX-Evil: 1\n"},
        {"DEL in the server name", "files\x7f.test", "/p/f.zip",
         "the server name \"files\\x7F.test" + server_why, "   server     =files\\x7F.test\n"},
        {"line break in the path", kServer, "/p/f.zip HTTP/1.1\r\nX-Evil: 1\r\n",
         "the path \"/p/f.zip HTTP/1.1\\x0D\\x0AX-Evil: 1\\x0D\\x0A\" holds a control character, "
         "so no "
         "request is made for it",
         "   file       =/p/f.zip HTTP/1.1\\x0D\\x0AX-Evil: 1\\x0D\\x0A\n"},
        {"control character in the path", kServer, "/p/f\x01.zip",
         "the path \"/p/f\\x01.zip\" holds a control character, so no request is made for it",
         "   file       =/p/f\\x01.zip\n"},
        {"DEL in the path", kServer, "/p/f\x7f.zip",
         "the path \"/p/f\\x7F.zip\" holds a control character, so no request is made for it",
         "   file       =/p/f\\x7F.zip\n"},
    };
    testnet::ScriptPeer peer; // the proxy every request would reach
    ASSERT_TRUE(peer.Listen());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        http.ForgetFailures();
        via_proxy(peer.port());
        SlotPoller client{kNetSlotFirstStream, c.server, c.path, path("out.zip")};
        client.poll();
        EXPECT_EQ(client.answer, kNetFailed); // at the first call
        EXPECT_FALSE(peer.Accept([&] { client.poll(); }, 200)) << "the request reached the proxy";
        const std::string log = Log();
        EXPECT_EQ(
            log.rfind("HTTP failed: " + c.why + "\nHTTP Error for " + path("out.zip") + "\n", 0),
            0u)
            << log;
        EXPECT_NE(log.find(c.shown), std::string::npos) << log;
        EXPECT_EQ(count_of(log, "\n"), 11) << "a line broken in the log: " << log;
        EXPECT_EQ(http.LastFailure(kNetSlotFirstStream).reason, c.why);
        EXPECT_FALSE(http.LastFailure(kNetSlotFirstStream).reached);
        EXPECT_EQ(access(path("out.zip").c_str(), F_OK), -1);
    }
}

TEST_F(HttpTest, NoCacheAsksCachesForAFreshCopy)
{
    for (bool no_cache : {false, true}) {
        SCOPED_TRACE(no_cache);
        testnet::ScriptPeer peer;
        ASSERT_TRUE(peer.Listen());
        via_proxy(peer.port());
        auto poll = [&] {
            http.net_check(kNetSlotServerList, kServer, "/serverlist.txt", path("sl"), no_cache);
        };
        poll();
        ASSERT_TRUE(peer.Accept(poll) && peer.ReadRequest(poll));
        EXPECT_EQ(peer.request(),
                  std::string("GET http://example.test/serverlist.txt HTTP/1.1\r\n") +
                      (no_cache ? "Cache-Control: no-cache\r\n" : "") +
                      "Connection: close\r\n"
                      "Host: example.test\r\n" +
                      (no_cache ? "Pragma: no-cache\r\n" : "") +
                      "User-agent: Installer-LIN/a-19\r\n\r\n");
        http.net_cancel(kNetSlotServerList);
    }
}

TEST_F(HttpTest, EndlessHeadFailsAtOnce)
{
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    std::string junk = "HTTP/1.1 200 OK\r\n";
    while (junk.size() < 3 * kNetMaxHeadBytes)
        junk += "X-Junk: 0123456789abcdef\r\n";
    // The peer would go on for ever; the request stops at the cap, well
    // before the idle time-out (the clock does not move here).
    s.peer.Send(junk, s.pump());
    EXPECT_EQ(s.client.run(), kNetFailed);
    std::string log = Log();
    EXPECT_EQ(
        log.rfind("HTTP failed: the reply's head is longer than 65536 bytes\nHTTP Error for ", 0),
        0u)
        << log;
    EXPECT_NE(log.find("   IsErr      =1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   GetOSErr   =20008\n"), std::string::npos) << log;
}

TEST_F(HttpTest, LengthsAreSixtyFourBit)
{
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    const int64_t huge = 5000000000LL; // over 4 GiB
    ASSERT_TRUE(s.peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\n" +
                            std::string(1000, 'z')));
    for (int i = 0; i < 5000 && s.client.request() && s.client.request()->bytes_written < 1000;
         ++i) {
        s.client.poll();
        usleep(200);
    }
    ASSERT_NE(s.client.request(), nullptr);
    EXPECT_EQ(s.client.request()->cont_len, huge);
    EXPECT_EQ(s.client.request()->bytes_written, 1000);
    EXPECT_FALSE(s.client.request()->IsComplete());
    EXPECT_EQ(s.client.answer, kNetRunning);
}

TEST_F(HttpTest, LocalFileErrorsFail)
{
    struct {
        const char* name;
        std::string local;
        size_t body;
        int oserr;
        const char* why;
    } cases[] = {
        {"folder missing", path("missing/out.zip"), 10, ENOENT,
         "cannot be created (No such file or directory)"},
        // The file is written unbuffered, so a small body fails at its write
        // as a large one does, not later at fclose.
        {"full disk, small body", "/dev/full", 100, ENOSPC,
         "cannot be written (No space left on device. Perhaps your hard drive is full)"},
        {"full disk, body of many reads", "/dev/full", 300000, ENOSPC,
         "cannot be written (No space left on device. Perhaps your hard drive is full)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        http.ForgetFailures(); // each case is a run of its own
        PeerSession s(this, c.local);
        ASSERT_TRUE(s.ok);
        std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(c.body) +
                            "\r\n\r\n" + std::string(c.body, 'q');
        s.peer.Send(reply, s.pump()); // the client may stop reading early
        EXPECT_EQ(s.client.run(), kNetFailed);
        std::string log = Log();
        EXPECT_EQ(log.rfind("HTTP failed: the file " + c.local + " " + c.why + "\nHTTP Error for " +
                                c.local + "\n",
                            0),
                  0u)
            << log;
        EXPECT_NE(log.find("   GetOSErr   =" + std::to_string(c.oserr) + "\n"), std::string::npos)
            << log;
    }
}

TEST_F(HttpTest, RefusedConnectionFails)
{
    int port = testnet::free_port(); // nothing listens there
    ASSERT_NE(port, 0);
    via_proxy(port);
    SlotPoller c{kNetSlotFirstStream, kServer, "/f.zip", path("out.zip")};
    EXPECT_EQ(c.run(), kNetFailed);
    std::string log = Log();
    // The reason names the proxy that refused, with its port.
    EXPECT_EQ(log.rfind("HTTP failed: the connection to the proxy 127.0.0.1 port " +
                            std::to_string(port) + " was refused\nHTTP Error for " +
                            path("out.zip") + "\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("   IsComplete =0\n"), std::string::npos) << log;
    EXPECT_EQ(access(path("out.zip").c_str(), F_OK), -1);
}

// The frame's wait ends when the server closes a running request's
// connection, not when bytes merely arrive (that would turn the wait into
// polling), and a connection ends it only once even while nobody reads it.
// The long time-outs only bound a failure; the answers are what is checked.
TEST_F(HttpTest, AServerClosingARequestEndsTheFrameWaitOnce)
{
    constexpr long kShort = 30000, kLong = 10000000;
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(VOVARU_wait_for_input(-1, kShort), kWokeByTimeOut);
    ASSERT_TRUE(s.peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"));
    EXPECT_EQ(VOVARU_wait_for_input(-1, kShort), kWokeByTimeOut);
    s.peer.CloseConnection();
    EXPECT_EQ(VOVARU_wait_for_input(-1, kLong), kWokeByReplyEnd);
    EXPECT_EQ(VOVARU_wait_for_input(-1, kShort), kWokeByTimeOut); // still unread
    s.client.poll();
    EXPECT_EQ(s.client.answer, kNetComplete);
    EXPECT_EQ(testnet::read_file(path("out.zip")), "hello");

    // Input on the descriptor asked for wins; a refused connection ends the
    // wait like a closed one, once.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_EQ(VOVARU_wait_for_input(fds[0], kLong), kWokeByInput);
    close(fds[0]);
    close(fds[1]);
    const int port = testnet::free_port(); // nothing listens there
    ASSERT_NE(port, 0);
    via_proxy(port);
    SlotPoller refused{kNetSlotFirstStream, kServer, "/f.zip", path("refused.zip")};
    refused.poll();
    if (refused.answer == kNetRunning) {
        EXPECT_EQ(VOVARU_wait_for_input(-1, kLong), kWokeByReplyEnd);
        EXPECT_EQ(VOVARU_wait_for_input(-1, kShort), kWokeByTimeOut);
    }
    EXPECT_EQ(refused.run(), kNetFailed);
}

TEST_F(HttpTest, UnknownHostFailsAtFirstCall)
{
    const std::string local = path("out.zip");
    const std::string logp = log_;
    std::string why;
    // In a private namespace the name service cannot be reached, so the
    // lookup fails at once and nothing leaves the machine.
    int r = testnet::run_in_private_loopback(
        [&] {
            xer.close();
            xer.open(logp, std::ios::out | std::ios::trunc);
            int a = http.net_check(3, "no-such-host.invalid", "/f.zip", local);
            xer.close();
            return a;
        },
        &why);
    if (r < 0) GTEST_SKIP() << "unknown-host case skipped: " << why;
    EXPECT_EQ(r, kNetFailed);
    std::string log = testnet::read_file(log_);
    EXPECT_EQ(log, "Translated server no-such-host.invalid to IP addy: 0.0.0.0 and port = 80\n"
                   "HTTP failed: the name lookup failed\n"
                   "HTTP Error for " +
                       local +
                       "\n"
                       "   server     =no-such-host.invalid\n"
                       "   file       =/f.zip\n"
                       "   IsDone     =0\n"
                       "   IsComplete =0\n"
                       "   IsErr      =1\n"
                       "   GetStat    =0\n"
                       "   GetOSErr   =20011\n"
                       "   response   = (#0)\n\n");
}

TEST_F(HttpTest, NextCallAfterAnswerStartsNewRequest)
{
    testnet::ScriptPeer peer;
    ASSERT_TRUE(peer.Listen());
    via_proxy(peer.port());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        SlotPoller c{kNetSlotFirstStream, kServer, "/same.zip", path("out.zip")};
        c.poll();
        ASSERT_TRUE(peer.Accept([&] { c.poll(); })); // a new connection each time
        ASSERT_TRUE(peer.ReadRequest([&] { c.poll(); }));
        ASSERT_TRUE(peer.Send(round == 0 ? "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"
                                         : "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n!"));
        EXPECT_EQ(c.run(), round == 0 ? kNetFailed : kNetComplete);
        peer.CloseConnection();
    }
}

TEST_F(HttpTest, CancelClosesSocketAndDropsPartialFile)
{
    const std::string first = path("first.zip");
    PeerSession s(this, first);
    ASSERT_TRUE(s.ok);
    ASSERT_TRUE(s.peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"));
    for (int i = 0; i < 5000 && s.client.request()->bytes_written < 10; ++i) {
        s.client.poll();
        usleep(200);
    }
    ASSERT_EQ(s.client.request()->bytes_written, 10);

    EXPECT_EQ(http.net_cancel(kNetSlotFirstStream), 1);
    EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
    EXPECT_TRUE(s.peer.WaitClosed(nullptr));            // the socket is closed
    EXPECT_EQ(access(first.c_str(), F_OK), -1);         // the partial file is gone
    EXPECT_EQ(http.net_cancel(kNetSlotFirstStream), 0); // nothing left to stop

    // The slot's next request is a new one, for the new file only.
    s.peer.Send("late bytes of the old reply");
    SlotPoller next{kNetSlotFirstStream, kServer, "/second.zip", path("second.zip")};
    next.poll();
    ASSERT_TRUE(s.peer.Accept([&] { next.poll(); }));
    ASSERT_TRUE(s.peer.ReadRequest([&] { next.poll(); }));
    EXPECT_NE(s.peer.request().find("/second.zip"), std::string::npos);
    ASSERT_TRUE(s.peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew"));
    EXPECT_EQ(next.run(), kNetComplete);
    EXPECT_EQ(testnet::read_file(path("second.zip")), "new");
    EXPECT_EQ(access(first.c_str(), F_OK), -1);
}

TEST_F(HttpTest, CancelBeforeReplyKeepsExistingFile)
{
    // A file the request never opened is not the request's to remove.
    ASSERT_TRUE(testnet::write_file(path("out.zip"), "earlier download"));
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(http.net_cancel(kNetSlotFirstStream), 1);
    EXPECT_EQ(testnet::read_file(path("out.zip")), "earlier download");
}

TEST_F(HttpTest, SlotsRunIndependently)
{
    testnet::ScriptPeer a, b;
    ASSERT_TRUE(a.Listen());
    ASSERT_TRUE(b.Listen());
    via_proxy(a.port());
    SlotPoller ca{kNetSlotServerList, kServer, "/a", path("a")};
    ca.poll();
    via_proxy(b.port()); // only the call that starts a request reads the settings
    SlotPoller cb{kNetSlotDirectory, kServer, "/b", path("b")};
    cb.poll();
    auto both = [&] {
        ca.poll();
        cb.poll();
    };
    ASSERT_TRUE(a.Accept(both) && a.ReadRequest(both));
    ASSERT_TRUE(b.Accept(both) && b.ReadRequest(both));
    ASSERT_TRUE(b.Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB"));
    EXPECT_EQ(cb.run(), kNetComplete);
    EXPECT_EQ(ca.answer, kNetRunning);
    ASSERT_TRUE(a.Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nA"));
    EXPECT_EQ(ca.run(), kNetComplete);
    EXPECT_EQ(testnet::read_file(path("a")) + testnet::read_file(path("b")), "AB");
}

TEST(HttpProxyRule, UseProxyTable)
{
    struct {
        const char* name;
        const char* proxy_host;
        int proxy_port;
        std::vector<std::string> exclude;
        const char* host;
        bool want;
    } cases[] = {
        {"no proxy port", "proxy.lan", 0, {}, "a.example", false},
        {"no proxy host", "", 3128, {}, "a.example", false},
        {"both set", "proxy.lan", 3128, {}, "a.example", true},
        {"excluded suffix", "proxy.lan", 3128, {".example"}, "a.example", false},
        {"suffix is case-sensitive", "proxy.lan", 3128, {".EXAMPLE"}, "a.example", true},
        {"suffix longer than host", "proxy.lan", 3128, {"long.a.example"}, "a.example", true},
        {"whole host", "proxy.lan", 3128, {"a.example"}, "a.example", false},
        {"negative port still set", "proxy.lan", -1, {}, "a.example", true},
    };
    for (const auto& c : cases) {
        http._proxy_host = c.proxy_host;
        http._proxy_port_int = c.proxy_port;
        gProxyExclude = c.exclude;
        EXPECT_EQ(http.UseProxy(c.host, 80), c.want) << c.name;
        EXPECT_EQ(http.UseProxy(c.host, 8080), c.want) << c.name << " (port plays no part)";
    }
    http._proxy_host.clear();
    http._proxy_port_int = 0;
    gProxyExclude.clear();
}

TEST(HttpFatal, WrongCallsEndTheProgram)
{
    const std::string slot_line = "Too many download objects requested!\n\n\n\n";
    const std::string server_lines =
        "net_check error! You have a dirchar at the end of the server name!\nYou should not!\n"
        "Our convention is that a server name is simply a server name... with no slash!\nhost/\n";
    const std::string path_lines = "net_check error! You do not have a dirchar at the beginning of "
                                   "the directory name!\nYou should!\n"
                                   "Our convention is that a directory name does start with a "
                                   "slash because it must include the hard "
                                   "drive,which is a dir char on unix!\n";
    struct {
        const char* name;
        std::function<void()> call;
        std::string lines; // the alert's four lines as logged
        int line;          // the place it names
    } cases[] = {
        {"slot 6", [] { http.net_check(6, "a", "/b", "/tmp/x"); }, slot_line, 232},
        {"slot -1", [] { http.net_check(-1, "a", "/b", "/tmp/x"); }, slot_line, 232},
        {"cancel slot 6", [] { http.net_cancel(6); }, slot_line, 300},
        {"server with slash", [] { http.net_check(4, "host/", "/b", "/tmp/x"); }, server_lines,
         247},
        {"path without slash", [] { http.net_check(4, "host", "b", "/tmp/x"); }, path_lines + "b\n",
         248},
        {"empty path", [] { http.net_check(4, "host", "", "/tmp/x"); }, path_lines + "\n", 248},
    };
    TempCwd cwd; // the alert's MemoryLog.txt and the child's log land here
    const std::string logp = cwd.path() + "Log.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChildResult r = run_in_child(
            [&] {
                xer.open(logp, std::ios::out | std::ios::trunc);
                c.call();
            },
            30);
        EXPECT_TRUE(r.aborted());
        EXPECT_NE(r.out.find(c.lines.substr(0, c.lines.find('\n'))), std::string::npos) << r.out;
        const std::string log = testnet::read_file(logp);
        EXPECT_NE(
            log.find(c.lines + "(HLutils/OOPS_cpp/http line " + std::to_string(c.line) + ")\n"),
            std::string::npos)
            << log;
    }
}

TEST_F(HttpTest, EveryFailureSaysWhy)
{
    // The slot keeps the reason after its answer; "reached" tells whether
    // anything answered. The clock stands still: no time-out here.
    struct {
        const char* name;
        std::function<void(PeerSession&)> act;
        const char* why; // after "the connection to the proxy 127.0.0.1 port N", or whole
        bool after_proxy;
        bool reached;
    } cases[] = {
        {"reset before any reply", [](PeerSession& s) { s.peer.ResetConnection(); }, " was reset",
         true, false},
        {"reset in the body",
         [](PeerSession& s) {
             ASSERT_TRUE(s.peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"));
             for (int i = 0;
                  i < 5000 && s.client.request() && s.client.request()->bytes_written < 10; ++i)
                 s.idle_polls(1);
             s.peer.ResetConnection();
         },
         " was reset", true, true},
        {"bad status",
         [](PeerSession& s) {
             ASSERT_TRUE(
                 s.peer.Send("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n"));
         },
         "the server answered 503 Service Unavailable", false, true},
        {"bad status without a reason phrase",
         [](PeerSession& s) {
             ASSERT_TRUE(s.peer.Send("HTTP/1.1 500\r\nContent-Length: 0\r\n\r\n"));
         },
         "the server answered 500", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        http.ForgetFailures();
        PeerSession s(this, path("out.zip"));
        ASSERT_TRUE(s.ok);
        c.act(s);
        EXPECT_EQ(s.client.run(), kNetFailed);
        const std::string why = c.after_proxy ? "the connection to the proxy 127.0.0.1 port " +
                                                    std::to_string(s.peer.port()) + c.why
                                              : std::string(c.why);
        const std::string log = Log();
        EXPECT_EQ(log.rfind("HTTP failed: " + why + "\nHTTP Error for ", 0), 0u) << log;
        EXPECT_EQ(count_of(log, "HTTP failed: "), 1) << log;
        const net_failure_struct& f = http.LastFailure(kNetSlotFirstStream);
        EXPECT_EQ(f.reason, why);
        EXPECT_EQ(f.server, kServer);
        EXPECT_EQ(f.reached, c.reached);
    }
}

TEST_F(HttpTest, RepeatedFailuresAreCountedPerSlot)
{
    const int closed = testnet::free_port(); // nothing listens there
    ASSERT_NE(closed, 0);
    const std::string refused =
        "the connection to the proxy 127.0.0.1 port " + std::to_string(closed) + " was refused";
    auto refuse = [&](int slot) {
        via_proxy(closed);
        SlotPoller c{slot, kServer, "/serverlist.txt", path("sl")};
        EXPECT_EQ(c.run(), kNetFailed);
    };
    testnet::ScriptPeer peer;
    ASSERT_TRUE(peer.Listen());
    auto serve = [&](int slot, const std::string& reply, int want) {
        via_proxy(peer.port());
        SlotPoller c{slot, kServer, "/serverlist.txt", path("sl")};
        c.poll();
        ASSERT_TRUE(peer.Accept([&] { c.poll(); }) && peer.ReadRequest([&] { c.poll(); }));
        ASSERT_TRUE(peer.Send(reply));
        EXPECT_EQ(c.run(), want);
        peer.CloseConnection();
    };
    const std::string not_found = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
    // The log is read from the disk without a flush here: each write is flushed.
    auto disk = [&] { return testnet::read_file(log_); };

    for (int i = 0; i < 5; ++i)
        refuse(kNetSlotServerList);
    EXPECT_EQ(count_of(disk(), "HTTP Error for "), 1) << disk();
    EXPECT_EQ(count_of(disk(), "HTTP failed: " + refused + "\n"), 1) << disk();
    EXPECT_EQ(http.LastFailure(kNetSlotServerList).reason, refused);

    // Another slot counts for itself.
    refuse(kNetSlotFirstStream);
    EXPECT_EQ(count_of(disk(), "HTTP Error for "), 2) << disk();

    // A new reason: the count of the old one first, then the new failure.
    serve(kNetSlotServerList, not_found, kNetFailed);
    EXPECT_NE(disk().find("HTTP failed 4 more times on slot 0 for the same reason: " + refused +
                          "\nHTTP failed: the server answered 404 Not Found\nHTTP Error for "),
              std::string::npos)
        << disk();

    // Counts still open are written when the program ends, once.
    refuse(kNetSlotFirstStream);
    refuse(kNetSlotFirstStream);
    const std::string before = disk();
    http.LogRepeats();
    EXPECT_EQ(disk(),
              before + "HTTP failed 2 more times on slot 2 for the same reason: " + refused + "\n");
    http.LogRepeats();
    EXPECT_EQ(disk(),
              before + "HTTP failed 2 more times on slot 2 for the same reason: " + refused + "\n");

    // A success ends a run of failures: its count is written, the slot
    // forgets the reason, and the same failure after it is written again.
    serve(kNetSlotServerList, not_found, kNetFailed);
    serve(kNetSlotServerList, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n!", kNetComplete);
    EXPECT_NE(disk().find("HTTP failed 1 more time on slot 0 for the same reason: the server "
                          "answered 404 Not Found\n"),
              std::string::npos)
        << disk();
    EXPECT_EQ(http.LastFailure(kNetSlotServerList).reason, "");
    const int blocks = count_of(disk(), "HTTP Error for ");
    serve(kNetSlotServerList, not_found, kNetFailed);
    EXPECT_EQ(count_of(disk(), "HTTP Error for "), blocks + 1) << disk();
}

TEST_F(HttpTest, SilentPeerIsTold)
{
    EXPECT_EQ(http.Waiting(kNetSlotFirstStream).secs, 0.0f); // a free slot
    PeerSession s(this, path("out.zip"));
    ASSERT_TRUE(s.ok);
    set_clock(1004.0f);
    s.idle_polls(3);
    net_wait_struct w = http.Waiting(kNetSlotFirstStream);
    EXPECT_EQ(w.secs, 4.0f);
    EXPECT_EQ(w.server, kServer);
    EXPECT_EQ(w.proxy, "127.0.0.1 port " + std::to_string(s.peer.port()));
    EXPECT_FALSE(w.connecting);
    // Bytes of the head count here, though not as activity for the time-out.
    ASSERT_TRUE(s.peer.Send("HTTP/1.1 200 OK\r\n"));
    for (int i = 0; i < 5000 && http.Waiting(kNetSlotFirstStream).secs > 0; ++i)
        s.idle_polls(1);
    EXPECT_EQ(http.Waiting(kNetSlotFirstStream).secs, 0.0f);
    EXPECT_EQ(s.client.request()->GetLastActivity(), 1000.0f);
}
