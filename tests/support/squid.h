// A real squid on loopback for tests: a forward proxy with its memory cache
// on and the usual heuristic freshness for replies without cache headers,
// in the foreground (-N), with its configuration, pid file and logs in a
// private temp folder.
#pragma once

#include <string>

#include "support/daemon.h"

namespace testnet
{

class Squid : public LoopbackDaemon
{
  public:
    // origin_port 0: a plain forward proxy that goes to the host each
    // request names. Otherwise every request goes to 127.0.0.1:origin_port
    // whatever host it names (no name lookups).
    bool Start(int origin_port = 0);
    // One line per request; the result column tells hits (TCP_HIT,
    // TCP_MEM_HIT) from misses.
    std::string ReadAccessLog() const;
};

bool squid_installed();

} // namespace testnet
