// A real tinyproxy on loopback for tests (foreground, its own config and
// log in a private temp folder).
#pragma once

#include <string>

#include "support/daemon.h"

namespace testnet
{

class Tinyproxy : public LoopbackDaemon
{
  public:
    // Starts on a free 127.0.0.1 port, allowing only 127.0.0.1 clients, and
    // waits (bounded) until it accepts. False with failure() set otherwise.
    bool Start();
    // Its log (it writes every request line there).
    std::string ReadLog() const { return ReadOutput(); }
};

bool tinyproxy_installed();

} // namespace testnet
