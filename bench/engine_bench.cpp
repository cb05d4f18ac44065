// Drives the installer engine without a window for the benchmark script.
//
//   engine_bench install <dest/> <proxy port> <streams>   install the release
//   engine_bench scan <dest/> <proxy port>                 time the disk scan
//
// Prints "seconds=<wall> peak_kb=<VmHWM>". The maker's server and every file
// server are reached through the proxy (nginx answering absolute URIs).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "GenH/hl_types.h"
#include "installer/frame.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"
#include "installer/utils.h"

static long peak_kb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

static int keep_all(std::string, int) { return kAskKeepFile; }
static int accept_terms() { return 1; }

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: engine_bench install|scan <dest/> <proxy port> [streams]\n");
        return 2;
    }
    std::string mode = argv[1];
    xer.open("/dev/null");
    engine_windows.eula = accept_terms;
    engine_windows.ask_modified = keep_all;
    stg_set_defaults(stg);
    stg._use_max_cpu = 1;
    stg._stream_count = argc > 4 ? atoi(argv[4]) : 4;
    stg._rename_folder = 0;
    install_name = no_install_name;
    dest_dir_path = argv[2];
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = atoi(argv[3]);
    if (make_private_temp("/tmp/") != 0) return 1;

    // Fetch both lists first; the scan is part of what "scan" measures.
    while (stg.dir_state != kDirScan && !app_done) {
        if (stg.server_count == -1) server_list_phase();
        if (stg.dir_state == kDirFetch && stg.server_count >= 1) directory_phase();
    }
    auto t0 = std::chrono::steady_clock::now();
    scan_phase();
    if (mode == "install") {
        install_flow();
        while (stg.install_state == kInstalling) {
            xtim.xtim_update();
            engine_frame();  // the frame loop waits 0 ms with _use_max_cpu
        }
    }
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    remove_private_temp();
    printf("seconds=%.3f peak_kb=%ld extract_error=%d total_down_kb=%.0f\n", secs, peak_kb(),
           stg.extract_error, stg.total_down_kb);
    return stg.extract_error || stg.dir_state != kDirReady;
}
