// A real haproxy on loopback for tests: plain HTTP mode with near-default
// settings, in front of one origin server (in the foreground, its own
// configuration in a private temp folder). Like its default setup it sends
// header names in lower case.
#pragma once

#include "support/daemon.h"

namespace testnet
{

class Haproxy : public LoopbackDaemon
{
  public:
    // Starts on a free port, forwarding every request to 127.0.0.1:origin_port.
    bool Start(int origin_port);
};

bool haproxy_installed();

} // namespace testnet
