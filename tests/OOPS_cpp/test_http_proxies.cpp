// The download slots through real proxies and caches from Debian on
// loopback (haproxy, squid, tinyproxy) and against replies real servers
// send that the client cannot read. The clock stands still in these tests
// (nothing moves xtim), so the 30 s idle rule can never be what ends a
// request: every failure seen here came at once, for its own reason.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>

#include "OOPS_cpp/http.h"
#include "support/haproxy.h"
#include "support/script_peer.h"
#include "support/squid.h"
#include "support/tinyproxy.h"
#include "test_http_fixture.h"

namespace
{

// Sends request to 127.0.0.1:port and reads the reply until the peer closes
// (bounded): the bytes as they came, to see what a server really sends.
std::string raw_exchange(int port, const std::string& request)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return "";
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons((unsigned short)port);
    std::string reply;
    if (connect(fd, (sockaddr*)&a, sizeof(a)) == 0 &&
        send(fd, request.data(), request.size(), 0) == (ssize_t)request.size()) {
        char buf[4096];
        ssize_t n;
        while ((n = recv(fd, buf, sizeof(buf), 0)) > 0)
            reply.append(buf, (size_t)n);
    }
    close(fd);
    return reply;
}

std::string get_request(const std::string& target, const std::string& host)
{
    return "GET " + target + " HTTP/1.1\r\nConnection: close\r\nHost: " + host + "\r\n\r\n";
}

// Puts a file's time far back, so a cache's heuristic keeps it fresh for days.
void age_file(const std::string& p)
{
    timeval tv[2] = {{1500000000, 0}, {1500000000, 0}};
    utimes(p.c_str(), tv);
}

class HttpProxyTest : public HttpNginxTest
{
  protected:
    // The error block's start after an optional reason line.
    std::string failure_line()
    {
        std::string log = Log();
        return log.rfind("HTTP failed: ", 0) == 0 ? log.substr(0, log.find('\n'))
                                                  : "(no reason line) " + log;
    }
};

} // namespace

TEST_F(HttpProxyTest, ThroughHaproxy)
{
    if (!testnet::haproxy_installed()) GTEST_SKIP() << "haproxy is not installed (scripts/deps.sh)";
    ASSERT_TRUE(start_nginx()) << failure_;
    testnet::Haproxy haproxy;
    ASSERT_TRUE(haproxy.Start(nginx_.port())) << haproxy.failure();
    // What makes it hard: the length comes as "content-length:".
    const std::string raw =
        raw_exchange(haproxy.port(), get_request("/serverlist.txt", "zudezud.test"));
    ASSERT_NE(raw.find("\r\ncontent-length: " + std::to_string(small_.size()) + "\r\n"),
              std::string::npos)
        << raw;
    ASSERT_EQ(raw.find("Content-Length"), std::string::npos) << raw;

    via_proxy(haproxy.port());
    SlotPoller list{kNetSlotServerList, "zudezud.test", "/serverlist.txt", path("sl.txt")};
    SlotPoller big{kNetSlotFirstStream, "zudezud.test", "/rel 1/big file.zip", path("0.zip")};
    EXPECT_EQ(list.run(), kNetComplete);
    EXPECT_EQ(big.run(), kNetComplete);
    EXPECT_EQ(testnet::read_file(path("sl.txt")), small_);
    EXPECT_TRUE(testnet::read_file(path("0.zip")) == big_);
    EXPECT_EQ(Log(), "");
}

TEST_F(HttpProxyTest, UnreadableRepliesFromNginxFailAtOnce)
{
    // Server-side includes leave the length open, so nginx sends the body
    // chunked to an HTTP/1.1 client, or (chunks off) ends it by closing. A location that proxies to
    // nginx itself with a range added stands in for a cache that answers with a part.
    const std::string conf = "    location /ssi/ { alias " + root_ +
                             "/; ssi on; ssi_types *; }\n"
                             "    location /nolen/ { alias " +
                             root_ +
                             "/; ssi on; ssi_types *; chunked_transfer_encoding off; }\n"
                             "    location /part/ { rewrite ^/part/(.*)$ /$1 break;\n"
                             "        proxy_set_header Range \"bytes=0-1023\";\n"
                             "        proxy_pass http://127.0.0.1:$server_port; }\n";
    ASSERT_TRUE(start_nginx(conf)) << failure_;
    struct {
        const char* path;
        const char* status; // what nginx really sends: status line,
        const char* raw;    // a header line,
        bool length;        // and whether it gives a length
        const char* why;
        const char* response;
    } cases[] = {
        {"/ssi/serverlist.txt", "HTTP/1.1 200 OK\r\n", "\r\nTransfer-Encoding: chunked\r\n", false,
         "the reply's body comes as \"Transfer-Encoding: chunked\", which this client cannot read",
         "   response   =OK (#200)\n\n"},
        {"/nolen/serverlist.txt", "HTTP/1.1 200 OK\r\n", "\r\nConnection: close\r\n", false,
         "the reply (200) has no \"Content-Length\", so the end of its body cannot be known",
         "   response   =OK (#200)\n\n"},
        {"/part/rel%201/big%20file.zip", "HTTP/1.1 206 Partial Content\r\n",
         "\r\nContent-Length: 1024\r\n", true,
         "the reply holds only part of the file (206) where the whole file was asked for",
         "   response   =Partial Content (#206)\n\n"},
    };
    const std::string earlier = "the file of the last run";
    via_proxy(nginx_.port());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string raw = raw_exchange(nginx_.port(), get_request(c.path, "zudezud.test"));
        ASSERT_EQ(raw.rfind(c.status, 0), 0u) << raw;
        ASSERT_NE(raw.find(c.raw), std::string::npos) << raw;
        const std::string head = raw.substr(0, raw.find("\r\n\r\n"));
        ASSERT_EQ(head.find("Content-Length") != std::string::npos, c.length) << raw;
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        ASSERT_TRUE(testnet::write_file(path("out"), earlier));
        std::string request = c.path;
        for (std::size_t k; (k = request.find("%20")) != std::string::npos;)
            request.replace(k, 3, " ");
        SlotPoller p{kNetSlotServerList, "zudezud.test", request, path("out")};
        EXPECT_EQ(p.run(), kNetFailed);
        EXPECT_EQ(failure_line(), "HTTP failed: " + std::string(c.why));
        EXPECT_NE(Log().find(c.response), std::string::npos) << Log();
        EXPECT_EQ(testnet::read_file(path("out")), earlier); // left as it was
    }
}

TEST_F(HttpProxyTest, TinyproxyErrorPageWithoutLengthFailsAtOnce)
{
    if (!testnet::tinyproxy_installed())
        GTEST_SKIP() << "tinyproxy is not installed (scripts/deps.sh)";
    testnet::Tinyproxy proxy;
    ASSERT_TRUE(proxy.Start()) << proxy.failure();
    const int dead = testnet::free_port(); // no origin listens there
    ASSERT_NE(dead, 0);
    const std::string host = "127.0.0.1:" + std::to_string(dead);
    const std::string raw =
        raw_exchange(proxy.port(), get_request("http://" + host + "/f.zip", host));
    ASSERT_EQ(raw.rfind("HTTP/1.1 5", 0), 0u) << raw;               // an error page...
    ASSERT_EQ(raw.find("ontent-Length"), std::string::npos) << raw; // ...ended by the close

    via_proxy(proxy.port());
    SlotPoller c{kNetSlotFirstStream, host, "/f.zip", path("0.zip")};
    EXPECT_EQ(c.run(), kNetFailed);
    EXPECT_EQ(failure_line().rfind("HTTP failed: the connection was closed after ", 0), 0u)
        << Log();
    EXPECT_NE(failure_line().find(" body bytes of a reply without \"Content-Length\""),
              std::string::npos)
        << Log();
    EXPECT_NE(Log().find(" (#5"), std::string::npos) << Log();
}

TEST_F(HttpProxyTest, OriginDyingMidBodyFailsAtOnceThroughEachProxy)
{
    struct Proxy {
        const char* name;
        bool installed;
        std::function<std::unique_ptr<testnet::LoopbackDaemon>(int origin, std::string* why)> start;
    } proxies[] = {
        {"tinyproxy", testnet::tinyproxy_installed(),
         [](int, std::string* why) {
             auto p = std::make_unique<testnet::Tinyproxy>();
             if (!p->Start()) *why = p->failure();
             return std::unique_ptr<testnet::LoopbackDaemon>(std::move(p));
         }},
        {"haproxy", testnet::haproxy_installed(),
         [](int origin, std::string* why) {
             auto p = std::make_unique<testnet::Haproxy>();
             if (!p->Start(origin)) *why = p->failure();
             return std::unique_ptr<testnet::LoopbackDaemon>(std::move(p));
         }},
        {"squid", testnet::squid_installed(),
         [](int, std::string* why) {
             auto p = std::make_unique<testnet::Squid>();
             if (!p->Start()) *why = p->failure();
             return std::unique_ptr<testnet::LoopbackDaemon>(std::move(p));
         }},
    };
    for (const Proxy& p : proxies) {
        SCOPED_TRACE(p.name);
        if (!p.installed) {
            ADD_FAILURE() << p.name << " is not installed (scripts/deps.sh)";
            continue;
        }
        xer.close();
        xer.open(log_, std::ios::out | std::ios::trunc);
        http.ForgetFailures(); // each proxy is a run of its own
        testnet::ScriptPeer origin;
        ASSERT_TRUE(origin.Listen());
        std::string why;
        auto proxy = p.start(origin.port(), &why);
        ASSERT_TRUE(proxy->running()) << why;
        via_proxy(proxy->port());
        SlotPoller c{kNetSlotFirstStream, "127.0.0.1:" + std::to_string(origin.port()), "/f.zip",
                     path("0.zip")};
        c.poll();
        ASSERT_TRUE(origin.Accept([&] { c.poll(); }, 10000));
        ASSERT_TRUE(origin.ReadRequest([&] { c.poll(); }, 10000));
        const std::string part(1000, 'p');
        ASSERT_TRUE(origin.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + part));
        // The part reaches the file before the origin dies.
        for (int i = 0;
             i < 20000 && c.request() && c.request()->bytes_written < (int64_t)part.size(); ++i) {
            c.poll();
            usleep(200);
        }
        ASSERT_NE(c.request(), nullptr);
        ASSERT_EQ(c.request()->bytes_written, (int64_t)part.size());
        origin.CloseConnection();
        EXPECT_EQ(c.run(), kNetFailed);
        // Each proxy passes the origin's end on as a close of its own.
        EXPECT_EQ(failure_line(),
                  "HTTP failed: the connection was closed after 1000 of 100000 body bytes");
        const std::string log = Log();
        EXPECT_NE(log.find("   IsComplete =0\n"), std::string::npos) << log;
        EXPECT_NE(log.find("   GetStat    =3\n"), std::string::npos) << log;
        EXPECT_EQ(http.slot[kNetSlotFirstStream], nullptr);
    }
}

TEST_F(HttpProxyTest, SquidCacheServesArchivesButNotLists)
{
    if (!testnet::squid_installed()) GTEST_SKIP() << "squid is not installed (scripts/deps.sh)";
    ASSERT_TRUE(start_nginx()) << failure_;
    testnet::Squid squid;
    ASSERT_TRUE(squid.Start()) << squid.failure();
    via_proxy(squid.port());
    const std::string host = "127.0.0.1:" + std::to_string(nginx_.port());
    const std::string list = root_ + "/serverlist.txt";
    age_file(list); // no cache headers: squid judges freshness by the file's age
    auto fetch = [&](bool no_cache) {
        const std::string local = path("sl.txt");
        unlink(local.c_str());
        int answer = kNetRunning;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (answer == kNetRunning && std::chrono::steady_clock::now() < until) {
            answer = http.net_check(kNetSlotServerList, host, "/serverlist.txt", local, no_cache);
            usleep(200);
        }
        EXPECT_EQ(answer, kNetComplete);
        return testnet::read_file(local);
    };
    EXPECT_EQ(fetch(false), small_);
    ASSERT_TRUE(testnet::write_file(list, "SERVER 2\nchanged\n"));
    age_file(list);
    // An archive request may be served from the cache: the cache is on.
    EXPECT_EQ(fetch(false), small_);
    // A list request gets the new list, and so does the next one.
    EXPECT_EQ(fetch(kNetNoCache), "SERVER 2\nchanged\n");
    EXPECT_EQ(fetch(kNetNoCache), "SERVER 2\nchanged\n");
    const std::string access = squid.ReadAccessLog();
    EXPECT_NE(access.find("HIT/200"), std::string::npos) << access;
    EXPECT_EQ(Log(), "");
}
