// A real tinyproxy on loopback for tests (foreground, its own config and
// log in a private temp folder).
#pragma once

#include <sys/types.h>

#include <string>

namespace testnet {

class Tinyproxy {
public:
    Tinyproxy() = default;
    ~Tinyproxy();
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    // Starts on a free 127.0.0.1 port, allowing only 127.0.0.1 clients, and
    // waits (bounded) until it accepts. False with failure() set otherwise.
    bool Start();
    // Ends it and removes its folder (read the log first).
    void Stop();

    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    const std::string& failure() const { return failure_; }
    // Its log (it writes every request line there).
    std::string ReadLog() const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string dir_;
    std::string failure_;
};

bool tinyproxy_installed();

}  // namespace testnet
