#include "support/tinyproxy.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "support/nginx.h"

namespace testnet {

namespace {
const char kTinyproxyProgram[] = "/usr/bin/tinyproxy";
}  // namespace

bool tinyproxy_installed() { return access(kTinyproxyProgram, X_OK) == 0; }

Tinyproxy::~Tinyproxy() { Stop(); }

bool Tinyproxy::Start() {
    Stop();
    if (!tinyproxy_installed()) {
        failure_ = "tinyproxy is not installed (/usr/bin/tinyproxy)";
        return false;
    }
    dir_ = make_temp_dir("tinyproxy");
    if (dir_.empty()) {
        failure_ = "cannot make a temp folder";
        return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        int port = free_port();
        std::ostringstream c;
        c << "Port " << port << "\n"
          << "Listen 127.0.0.1\n"
          << "Timeout 60\n"
          << "MaxClients 20\n"
          << "Allow 127.0.0.1\n"
          << "LogLevel Info\n";
        const std::string conf = dir_ + "/tinyproxy.conf";
        const std::string log = dir_ + "/tinyproxy.log";
        if (!write_file(conf, c.str())) {
            failure_ = "cannot write " + conf;
            return false;
        }
        pid_t pid = spawn_server(kTinyproxyProgram, {"tinyproxy", "-d", "-c", conf}, log);
        if (pid < 0) {
            failure_ = "fork failed";
            return false;
        }
        bool exited = false;
        if (wait_for_port(port, pid, 10000, &exited)) {
            pid_ = pid;
            port_ = port;
            return true;
        }
        if (!exited) stop_child(pid);
        failure_ = "tinyproxy did not come up on port " + std::to_string(port) + ": " + ReadLog();
    }
    return false;
}

std::string Tinyproxy::ReadLog() const { return read_file(dir_ + "/tinyproxy.log"); }

void Tinyproxy::Stop() {
    end_server(pid_, port_, dir_);
}

}  // namespace testnet
