// A server program from Debian (a proxy or a cache) run by a test in the
// foreground on a free 127.0.0.1 port, with its configuration, logs and
// state in a private temp folder, and ended by the test.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace testnet
{

class LoopbackDaemon
{
  public:
    LoopbackDaemon() = default;
    virtual ~LoopbackDaemon();
    LoopbackDaemon(const LoopbackDaemon&) = delete;
    LoopbackDaemon& operator=(const LoopbackDaemon&) = delete;

    // Ends it and removes its folder (read the logs first).
    void Stop();

    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    const std::string& dir() const { return dir_; }
    const std::string& failure() const { return failure_; }
    // What the program wrote on its standard output and error.
    std::string ReadOutput() const;

  protected:
    // Writes config(port) to dir()/conf_name and runs program with
    // argv(conf path), then waits (bounded) until the port accepts. A few
    // ports are tried, since a free port can be taken before the bind.
    // prepare runs once the folder exists, before the first configuration.
    bool Launch(const char* program, const std::string& tag, const std::string& conf_name,
                const std::function<std::string(int port)>& config,
                const std::function<std::vector<std::string>(const std::string& conf)>& argv,
                const std::function<bool()>& prepare = nullptr);

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string dir_;
    std::string failure_;
};

// True when program can be run.
bool program_installed(const char* program);

} // namespace testnet
