#include "support/haproxy.h"

#include <sstream>

namespace testnet
{

namespace
{
const char kHaproxyProgram[] = "/usr/sbin/haproxy";
} // namespace

bool haproxy_installed()
{
    return program_installed(kHaproxyProgram);
}

bool Haproxy::Start(int origin_port)
{
    auto config = [origin_port](int port) {
        std::ostringstream c;
        c << "global\n"
          << "    maxconn 64\n"
          << "defaults\n"
          << "    mode http\n"
          << "    timeout connect 5s\n"
          << "    timeout client 30s\n"
          << "    timeout server 30s\n"
          << "frontend web\n"
          << "    bind 127.0.0.1:" << port << "\n"
          << "    default_backend origin\n"
          << "backend origin\n"
          << "    server origin 127.0.0.1:" << origin_port << "\n";
        return c.str();
    };
    // -db: stay in the foreground.
    return Launch(kHaproxyProgram, "haproxy", "haproxy.cfg", config, [](const std::string& conf) {
        return std::vector<std::string>{"haproxy", "-db", "-f", conf};
    });
}

} // namespace testnet
