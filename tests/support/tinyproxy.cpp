#include "support/tinyproxy.h"

#include <sstream>

namespace testnet
{

namespace
{
const char kTinyproxyProgram[] = "/usr/bin/tinyproxy";
} // namespace

bool tinyproxy_installed()
{
    return program_installed(kTinyproxyProgram);
}

bool Tinyproxy::Start()
{
    auto config = [](int port) {
        std::ostringstream c;
        c << "Port " << port << "\n"
          << "Listen 127.0.0.1\n"
          << "Timeout 60\n"
          << "MaxClients 20\n"
          << "Allow 127.0.0.1\n"
          << "LogLevel Info\n";
        return c.str();
    };
    return Launch(kTinyproxyProgram, "tinyproxy", "tinyproxy.conf", config,
                  [](const std::string& conf) {
                      return std::vector<std::string>{"tinyproxy", "-d", "-c", conf};
                  });
}

} // namespace testnet
