#include "support/tinyproxy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "support/nginx.h"

namespace testnet {

bool tinyproxy_installed() { return access("/usr/bin/tinyproxy", X_OK) == 0; }

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
        fflush(nullptr);
        pid_t pid = fork();
        if (pid < 0) {
            failure_ = "fork failed";
            return false;
        }
        if (pid == 0) {
            int devnull = open("/dev/null", O_RDWR);
            int logfd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (devnull >= 0) dup2(devnull, 0);
            if (logfd >= 0) {
                dup2(logfd, 1);
                dup2(logfd, 2);
            }
            execl("/usr/bin/tinyproxy", "tinyproxy", "-d", "-c", conf.c_str(), (char*)nullptr);
            _exit(127);
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
    if (pid_ > 0) stop_child(pid_);
    pid_ = -1;
    port_ = 0;
    remove_tree(dir_);
    dir_.clear();
}

}  // namespace testnet
