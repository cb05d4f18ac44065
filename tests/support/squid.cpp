#include "support/squid.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "support/nginx.h"

namespace testnet
{

namespace
{
const char kSquidProgram[] = "/usr/sbin/squid";
} // namespace

bool squid_installed()
{
    return program_installed(kSquidProgram);
}

bool Squid::Start(int origin_port)
{
    // squid refuses to work as root: it switches to an unprivileged user,
    // which must be able to write its folder.
    const passwd* user = nullptr;
    if (geteuid() == 0) {
        user = getpwnam("proxy");
        if (user == nullptr) user = getpwnam("nobody");
    }
    const std::string user_name = user ? user->pw_name : "";
    auto prepare = [this, user] {
        if (user == nullptr) return true;
        return chmod(dir().c_str(), 0755) == 0 &&
               chown(dir().c_str(), user->pw_uid, user->pw_gid) == 0;
    };
    auto config = [this, user_name, origin_port](int port) {
        const std::string& d = dir();
        std::ostringstream c;
        c << "http_port 127.0.0.1:" << port << "\n"
          << "http_access allow all\n" // it listens on loopback only
          << "visible_hostname zz-test-squid\n";
        if (!user_name.empty()) c << "cache_effective_user " << user_name << "\n";
        c << "pid_filename " << d << "/squid.pid\n"
          << "access_log stdio:" << d << "/access.log\n"
          << "cache_log " << d << "/cache.log\n"
          << "cache_store_log none\n"
          << "coredump_dir " << d << "\n"
          << "pinger_enable off\n"
          // The cache: memory only, so nothing needs initialising.
          << "cache_mem 8 MB\n"
          << "maximum_object_size_in_memory 4 MB\n"
          << "refresh_pattern . 0 20% 4320\n"
          << "shutdown_lifetime 1 seconds\n";
        if (origin_port != 0)
            c << "cache_peer 127.0.0.1 parent " << origin_port
              << " 0 no-query originserver name=origin\n"
              << "never_direct allow all\n";
        return c.str();
    };
    return Launch(
        kSquidProgram, "squid", "squid.conf", config,
        [](const std::string& conf) {
            return std::vector<std::string>{"squid", "-N", "-f", conf};
        },
        prepare);
}

std::string Squid::ReadAccessLog() const
{
    return read_file(dir() + "/access.log");
}

} // namespace testnet
