// Downloads a set of files through one slot, polled the way the installer
// polls it (bench/net_bench.sh times the whole run).
//
// usage: net_bench <proxy port> <host> <out folder> <frame wait ms> <path>...
//
// One frame: download passes (one net_check each) for 10 ms of clock time,
// then the frame's wait, the shell's own (16 ms by default in the installer,
// 0 with _use_max_cpu; the server closing the connection ends it). The proxy
// fields point at the server, as port 80 is fixed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "UTL/UTL_time.h"

namespace
{
void tick()
{
    xtim.real_secs = (float)(xtim_class::microsecs() * 0.000001);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        fprintf(stderr, "usage: %s <proxy port> <host> <out folder> <frame wait ms> <path>...\n",
                argv[0]);
        return 2;
    }
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = atoi(argv[1]);
    const std::string host = argv[2];
    const std::string out = argv[3];
    const int wait_ms = atoi(argv[4]);
    std::vector<std::string> paths(argv + 5, argv + argc);

    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string local = out + "/" + std::to_string(i) + ".bin";
        int answer = kNetRunning;
        while (answer == kNetRunning) {
            tick();
            const float frame_start = xtim.real_secs;
            while (answer == kNetRunning && xtim.real_secs - frame_start < 0.010f) {
                answer = http.net_check(kNetSlotFirstStream, host, paths[i], local);
                tick();
            }
            if (answer == kNetRunning && wait_ms > 0) VOVARU_wait_for_input(-1, wait_ms * 1000L);
        }
        if (answer != kNetComplete) {
            fprintf(stderr, "net_bench: %s failed\n", paths[i].c_str());
            return 1;
        }
    }
    return 0;
}
