// Drives the installer engine without a window for bench/engine_bench.sh.
//
//   engine_bench install <dest/> <proxy port> <streams> <max cpu 0|1>
//   engine_bench scan <dest/> <proxy port>
//
// install: fetches both lists, scans and installs the release, frame by
// frame as the shell does: the installer's frame (run_frame) without drawing,
// then, while installing, the frame's wait (the shell's, on no input, for
// VOVARU_frame_wait_us: 16 ms with default preferences, 0 with _use_max_cpu;
// a server closing a request's connection ends it early).
// streams 0 is the automatic choice. The library's workers run, as in the
// program, so the archives are extracted on a worker. Prints
//   lists_s scan_s pump_s unpack_s wait_s frames wakes cpu_s growth_kb
// where lists_s, scan_s and pump_s are the time inside the list phases, the
// scan and the download passes, unpack_s the time in zip_to_file (on the
// worker, while the passes and the frame wait go on), wakes the frames whose
// wait a server's closing ended, cpu_s the process's processor time (all
// threads, user and system), and growth_kb the peak resident memory during
// the install above what the process held when it began; down_kb is what the
// scan found missing.
// scan: fetches both lists and scans, signing on the library's workers. The
// maker's server and every file server are reached through the proxy (nginx
// answering absolute URIs).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_time.h"
#include "installer/frame.h"
#include "installer/globals.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"
#include "installer/temp_folder.h"

// zip_to_file is wrapped at link time (bench/CMakeLists.txt) to time it.
#define ZIP_TO_FILE                                                                                \
    "_Z11zip_to_fileNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES4_PS4_iRKS4_"
int real_zip_to_file(std::string, std::string, std::string*, int,
                     const std::string&) __asm__("__real_" ZIP_TO_FILE);
int timed_zip_to_file(std::string, std::string, std::string*, int,
                      const std::string&) __asm__("__wrap_" ZIP_TO_FILE);

namespace
{
using clock_type = std::chrono::steady_clock;
double g_unpack_s = 0;

double since(clock_type::time_point t0)
{
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

long status_kb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

// Time inside the frame's steps, and when the running step began.
struct step_times {
    double lists_s = 0, scan_s = 0, pump_s = 0;
    clock_type::time_point mark;
};
step_times steps;

// The time since the last mark; marks now.
double lap()
{
    const auto now = clock_type::now();
    const double s = std::chrono::duration<double>(now - steps.mark).count();
    steps.mark = now;
    return s;
}

int keep_all(std::string, int)
{
    return kAskKeepFile;
}
int accept_terms()
{
    return 1;
}
} // namespace

int timed_zip_to_file(std::string archive, std::string folder, std::string* name, int use_name,
                      const std::string& root)
{
    auto t0 = clock_type::now();
    int r = real_zip_to_file(archive, folder, name, use_name, root);
    g_unpack_s += since(t0);
    return r;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr,
                "usage: engine_bench install|scan <dest/> <proxy port> [streams max_cpu]\n");
        return 2;
    }
    const std::string mode = argv[1];
    xer.open("/dev/null");
    THREAD_init();
    THREAD_make_workers();
    engine_set_windows_hook({accept_terms, keep_all, nullptr, nullptr});
    stg_set_defaults(stg);
    stg._stream_count = argc > 4 ? atoi(argv[4]) : 0;
    stg._use_max_cpu = argc > 5 ? atoi(argv[5]) : 0;
    stg._rename_folder = 0;
    install_name = no_install_name;
    dest_dir_path = argv[2];
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = atoi(argv[3]);
    if (make_private_temp("/tmp/") != 0) return 1;
    // The library's workers, as the program starts them: the scan signs on them.
    THREAD_init();
    THREAD_make_workers();

    // The frame's steps, timed where a window draws between them: the list
    // phases run before the destination field, the scan before the upper
    // part, the download pump between the QUIT button and the totals.
    frame_screen stopwatch = kNoScreen;
    stopwatch.background = [] { lap(); };
    stopwatch.destination = [] {
        steps.lists_s += lap();
        return 0;
    };
    stopwatch.upper_part = [] { steps.scan_s += lap(); };
    stopwatch.quit_button = [] {
        lap();
        return 0;
    };
    stopwatch.totals = [] { steps.pump_s += lap(); };

    // The lists and the scan, frames back to back.
    while ((stg.dir_state == kDirFetch || stg.dir_state == kDirScan) && !app_done)
        run_frame(stopwatch);
    double wait_s = 0;
    long frames = 0, wakes = 0;
    // The peak counts from here ("5" resets it).
    std::ofstream("/proc/self/clear_refs") << "5";
    const long start_kb = status_kb("VmRSS:");
    if (mode == "install") {
        install_flow();
        while (stg.install_state == kInstalling) {
            xtim.xtim_update();
            run_frame(stopwatch);
            auto t0 = clock_type::now();
            wakes += VOVARU_wait_for_input(-1, VOVARU_frame_wait_us()) == kWokeByReplyEnd;
            wait_s += since(t0);
            ++frames;
        }
    }
    remove_private_temp();
    THREAD_shutdown();
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    const double cpu_s = used.ru_utime.tv_sec + used.ru_stime.tv_sec +
                         (used.ru_utime.tv_usec + used.ru_stime.tv_usec) * 1e-6;
    printf("lists_s=%.3f scan_s=%.3f pump_s=%.3f unpack_s=%.3f wait_s=%.3f frames=%ld "
           "wakes=%ld cpu_s=%.3f growth_kb=%ld down_kb=%.0f\n",
           steps.lists_s, steps.scan_s, steps.pump_s, g_unpack_s, wait_s, frames, wakes, cpu_s,
           status_kb("VmHWM:") - start_kb, stg.total_down_kb);
    return stg.extract_error || stg.dir_state != kDirReady;
}
