// A real squid on loopback for tests: a forward proxy with its memory cache
// on and the usual heuristic freshness for replies without cache headers,
// in the foreground (-N), with its configuration, pid file and logs in a
// private temp folder.
#pragma once

#include <string>

#include "support/daemon.h"

namespace testnet {

class Squid : public LoopbackDaemon {
public:
    bool Start();
    // One line per request; the result column tells hits (TCP_HIT,
    // TCP_MEM_HIT) from misses.
    std::string ReadAccessLog() const;
};

bool squid_installed();

}  // namespace testnet
