// The engine through real proxies from Debian on loopback, nginx as the
// maker's origin server: an install and then an update of a new release,
// through haproxy and through squid with its cache on.
#include "engine_fixture.h"

#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "OOPS_cpp/http.h"
#include "UTL/UTL_time.h"
#include "support/haproxy.h"
#include "support/release_maker.h"
#include "support/squid.h"

namespace
{

class ProxyEngineTest : public EngineTest
{
  protected:
    testnet::Nginx nginx;
    std::string web, src;
    ReleasePlan plan;

    void SetUp() override
    {
        EngineTest::SetUp();
        if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
        web = tmp / "web/";
        src = tmp / "src/";
        for (const std::string& d : {web, src, src + "Resources/"})
            ::mkdir(d.c_str(), 0755);
        plan.source = src;
        plan.servers = {{"files.test", "/files/", "Main server"}};
        ASSERT_TRUE(nginx.Start(web)) << nginx.failure();
    }

    void publish(const std::string& name, const std::string& readme)
    {
        plan.name = name;
        std::ofstream(src + "Resources/readme.txt", std::ios::trunc) << readme;
        std::string err;
        ASSERT_FALSE(make_release(plan, web, &err).empty()) << err;
        // No cache headers and an old file: a cache judges it fresh for days.
        timeval tv[2] = {{1500000000, 0}, {1500000000, 0}};
        ::utimes((web + "serverlist.txt").c_str(), tv);
    }

    // A fresh program run over the same destination, polled frame by frame
    // until the installation ends (bounded in real time).
    bool install_run()
    {
        stg = stg_struct{};
        stg_set_defaults(stg);
        install_name = no_install_name;
        next = next_class();
        slot_failures_clear();
        app_done = 0;
        auto t0 = std::chrono::steady_clock::now();
        bool pressed = false;
        while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(60)) {
            xtim.xtim_update();
            engine_frame();
            if (app_done) return false;
            if (stg.dir_state == kDirReady && !pressed) {
                pressed = true;
                install_flow();
            }
            if (pressed && stg.install_state == kInstallFinished) return true;
        }
        return false;
    }

    // Install 9.00r1, publish 9.00r2, update: the second run must see the
    // new release and install its file.
    void install_then_update(int proxy_port, const std::function<void()>& between = nullptr)
    {
        http._proxy_host = "127.0.0.1";
        http._proxy_port_int = proxy_port;
        publish("9.00r1", "readme v1\n");
        ASSERT_TRUE(install_run()) << log_text();
        EXPECT_EQ(install_name, "9.00r1");
        EXPECT_EQ(TempDir::read(dest_dir_path + "Resources/readme.txt"), "readme v1\n");

        plan.older["Resources/readme.txt"] = {"readme v1\n"};
        publish("9.00r2", "readme v2\n");
        if (between) between();
        ASSERT_TRUE(install_run()) << log_text();
        EXPECT_EQ(install_name, "9.00r2");
        EXPECT_EQ(TempDir::read(dest_dir_path + "Resources/readme.txt"), "readme v2\n");
        EXPECT_EQ(log_text().find("HTTP"), std::string::npos) << log_text();
    }
};

TEST_F(ProxyEngineTest, InstallsThenUpdatesThroughHaproxy)
{
    if (!testnet::haproxy_installed()) GTEST_SKIP() << "haproxy is not installed (scripts/deps.sh)";
    testnet::Haproxy haproxy;
    ASSERT_TRUE(haproxy.Start(nginx.port())) << haproxy.failure();
    install_then_update(haproxy.port());
}

TEST_F(ProxyEngineTest, InstallsThenUpdatesThroughSquidCache)
{
    if (!testnet::squid_installed()) GTEST_SKIP() << "squid is not installed (scripts/deps.sh)";
    testnet::Squid squid;
    ASSERT_TRUE(squid.Start(nginx.port())) << squid.failure();
    install_then_update(squid.port(), [&] {
        // The cache is on: a request that allows caching still gets the
        // first run's list, which names the old release.
        const std::string local = tmp / "probe.txt";
        int a = kNetRunning;
        for (int i = 0; i < 200000 && a == kNetRunning; ++i) {
            a = http.net_check(kNetSlotServerList, maker_host, "/serverlist.txt", local);
            usleep(100);
        }
        ASSERT_EQ(a, kNetComplete);
        EXPECT_NE(TempDir::read(local).find("FINAL 9.00r1\n"), std::string::npos)
            << TempDir::read(local);
    });
    const std::string access = squid.ReadAccessLog();
    EXPECT_NE(access.find("HIT/200"), std::string::npos) << access;
}

} // namespace
