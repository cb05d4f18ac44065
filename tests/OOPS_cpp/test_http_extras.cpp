// The proxy choice as host and port, and the silent printf.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"

TEST(HttpProxyChoice, HostAndPortTable)
{
    struct {
        const char* name;
        const char* proxy_host;
        int proxy_port;
        std::vector<std::string> exclude;
        const char* want_host; // null: the server itself
        unsigned short want_port;
    } cases[] = {
        {"no proxy port", "proxy.lan", 0, {}, nullptr, 80},
        {"no proxy host", "", 3128, {}, nullptr, 80},
        {"through the proxy", "proxy.lan", 3128, {}, "proxy.lan", 3128},
        {"excluded server", "proxy.lan", 3128, {".example"}, nullptr, 80},
        {"other exclusion", "proxy.lan", 8080, {".other"}, "proxy.lan", 8080},
    };
    const char* server = "files.example";
    for (const auto& c : cases) {
        http._proxy_host = c.proxy_host;
        http._proxy_port_int = c.proxy_port;
        gProxyExclude = c.exclude;
        const char* host = http.ProxyHost(server, 80);
        if (c.want_host == nullptr)
            EXPECT_EQ(host, server) << c.name; // the caller's text, unchanged
        else
            EXPECT_STREQ(host, c.want_host) << c.name;
        EXPECT_EQ(http.ProxyPort(server, 80), c.want_port) << c.name;
    }
    http._proxy_host.clear();
    http._proxy_port_int = 0;
    gProxyExclude.clear();
}

TEST(PrintfNull, WritesNothing)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(printf_null("%s %d %f\n", "text", 42, 1.5), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
