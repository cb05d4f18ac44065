// The download slots against real servers on loopback: nginx directly (on
// port 80, which requests always use), nginx standing in as the proxy, and
// tinyproxy between the client and nginx.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "OOPS_cpp/http.h"
#include "support/tinyproxy.h"
#include "test_http_fixture.h"

TEST_F(HttpNginxTest, NginxAsProxyServesAnyHost)
{
    ASSERT_TRUE(start_nginx()) << failure_;
    via_proxy(nginx_.port());
    SlotPoller c{kNetSlotFirstStream, "downloads.zudezud.test", "/rel 1/big file.zip",
                 path("0.zip")};
    EXPECT_EQ(c.run(), kNetComplete);
    EXPECT_TRUE(testnet::read_file(path("0.zip")) == big_);
    std::string access = nginx_.ReadAccessLog();
    EXPECT_NE(
        access.find("\"GET http://downloads.zudezud.test/rel%201/big%20file.zip HTTP/1.1\" 200"),
        std::string::npos)
        << access;
    EXPECT_NE(access.find("\"Installer-LIN/a-19\""), std::string::npos) << access;
    EXPECT_EQ(Log(), "");
}

TEST_F(HttpNginxTest, MissingFileIs404AndLogged)
{
    ASSERT_TRUE(start_nginx()) << failure_;
    via_proxy(nginx_.port());
    SlotPoller c{kNetSlotDirectory, "zudezud.test", "/nothing/here.zip", path("d.zip")};
    EXPECT_EQ(c.run(), kNetFailed);
    std::string log = Log();
    EXPECT_EQ(log.rfind("HTTP failed: the server answered 404 Not Found\nHTTP Error for " +
                            path("d.zip") + "\n   server     =zudezud.test\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("   response   =Not Found (#404)\n\n"), std::string::npos) << log;
}

TEST_F(HttpNginxTest, SixSlotsAtOnce)
{
    ASSERT_TRUE(start_nginx()) << failure_;
    via_proxy(nginx_.port());
    SlotPoller c[kNetSlots];
    for (int i = 0; i < kNetSlots; ++i) {
        c[i].slot = i;
        c[i].server = "zudezud.test";
        c[i].path = i % 2 ? "/serverlist.txt" : "/rel 1/big file.zip";
        c[i].local = path(std::to_string(i) + ".zip");
    }
    // Polled in turn, as the installer polls its slots each frame.
    for (int round = 0; round < 200000; ++round) {
        bool running = false;
        for (auto& s : c) {
            s.poll();
            running |= s.answer == kNetRunning;
        }
        if (!running) break;
        usleep(100);
    }
    for (int i = 0; i < kNetSlots; ++i) {
        EXPECT_EQ(c[i].answer, kNetComplete) << i;
        EXPECT_TRUE(testnet::read_file(c[i].local) == (i % 2 ? small_ : big_)) << i;
    }
}

TEST_F(HttpNginxTest, ThroughTinyproxy)
{
    ASSERT_TRUE(start_nginx()) << failure_;
    testnet::Tinyproxy proxy;
    ASSERT_TRUE(proxy.Start()) << proxy.failure();
    via_proxy(proxy.port());
    // Only the proxy is looked up, so the host may carry nginx's port.
    const std::string host = "127.0.0.1:" + std::to_string(nginx_.port());
    SlotPoller c{kNetSlotServerList, host, "/rel 1/big file.zip", path("sl.zip")};
    EXPECT_EQ(c.run(), kNetComplete);
    EXPECT_TRUE(testnet::read_file(path("sl.zip")) == big_);
    std::string plog = proxy.ReadLog();
    EXPECT_NE(plog.find("GET http://" + host + "/rel%201/big%20file.zip HTTP/1.1"),
              std::string::npos)
        << plog;
    EXPECT_NE(nginx_.ReadAccessLog().find("GET /rel%201/big%20file.zip HTTP/1."),
              std::string::npos);
}

TEST_F(HttpNginxTest, DirectOnPortEighty)
{
    // Direct requests always use port 80. A private network namespace gives
    // a free port 80 even while other tests run; else the real loopback.
    const std::string root = root_, local = path("direct.zip"), logp = log_;
    const std::string want = big_;
    auto body = [&]() -> int {
        testnet::Nginx server;
        testnet::NginxOptions o;
        o.root = root;
        o.port_80 = true;
        if (!server.Start(o)) return 10;
        int rc = 0;
        const char* hosts[] = {"127.0.0.1", "localhost"};
        for (const char* h : hosts) {
            SlotPoller c{kNetSlotFirstStream + 1, h, "/rel 1/big file.zip", local};
            if (c.run() != kNetComplete) {
                rc = 11;
            } else if (testnet::read_file(local) != want) {
                rc = 12;
            }
            std::string access = server.ReadAccessLog();
            if (access.find(std::string("\"GET /rel%201/big%20file.zip HTTP/1.1\" 200")) ==
                std::string::npos)
                rc = 13;
        }
        return rc;
    };
    std::string why;
    int r = testnet::run_in_private_loopback(body, &why);
    if (r < 0) {
        if (!testnet::can_bind_port_80())
            GTEST_SKIP() << "direct port-80 test skipped: " << why
                         << ", and 127.0.0.1:80 cannot be bound "
                         << "(not root, or the port is taken)";
        r = body();
    }
    EXPECT_EQ(r, 0)
        << "10 nginx did not start on port 80, 11 no answer 1, 12 wrong bytes, 13 not in the "
           "access log";
}

TEST_F(HttpNginxTest, OverTwoGigabytes)
{
    // A sparse file of 2 GiB + 4 KiB + 3 bytes served by nginx and counted into
    // /dev/null: no disk used, about 33 000 polls of 64 KiB (seconds).
    if (getenv("ZUDEZUD_NET_SKIP_BIG") != nullptr)
        GTEST_SKIP() << "ZUDEZUD_NET_SKIP_BIG is set: the download over 2 GiB is skipped";
    const int64_t size = (int64_t(1) << 31) + 4096 + 3;
    const std::string big = root_ + "/huge.zip";
    int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    ASSERT_EQ(pwrite(fd, "END", 3, size - 3), 3);
    close(fd);
    ASSERT_TRUE(start_nginx()) << failure_;
    via_proxy(nginx_.port());
    SlotPoller c{kNetSlotFirstStream, "zudezud.test", "/huge.zip", "/dev/null"};
    int64_t seen_len = 0;
    for (int i = 0; i < 50000000 && c.answer == kNetRunning; ++i) {
        c.poll();
        if (c.request()) {
            seen_len = c.request()->cont_len;
            EXPECT_LE(c.request()->bytes_written, size);
        }
    }
    EXPECT_EQ(seen_len, size);
    EXPECT_EQ(c.answer, kNetComplete);
}
