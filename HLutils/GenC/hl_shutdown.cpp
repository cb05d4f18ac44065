// The shutdown routines and the quit requests from outside.
#include "GenC/hl_shutdown.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "GenC/hl_context.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/pref.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"

namespace
{
volatile std::sig_atomic_t quit_signal = 0;
bool quit_requested = false;

bool alert_fps_test_given()
{
    return cmdline.has_option("--fps_test");
}
} // namespace

// The half of the shutdown that needs no X connection.
static void finish_without_x(int save)
{
    // Failures only counted so far get their line before the log closes.
    http.LogRepeats();
    if (save) {
        if (!alert_fps_test_given()) {
            pref.IO_set(kPrefSetInstaller, kPrefWrite);
            keys.keys_io(1); // stores nothing
        }
    }
    // Before the workers are stopped: the application's clean-up ends the
    // work it handed them (a scan), which THREAD_shutdown would wait out.
    VOVARU_run_exit_cleanup();
    if (save) THREAD_shutdown();
}

void VOVARU_finishup(int save)
{
    finish_without_x(save);

    // Screen and window; both skip what start-up never made.
    VOVARU_setres(0);
    VOVARU_nuke_context(0);

    // A failed close leaves the stream failed; nothing else to do about it.
    xer.close();

    if (x11.display) XUngrabKeyboard(x11.display, CurrentTime);
}

void VOVARU_finish_without_window(const char* why)
{
    // Called from Xlib's handlers too: a second loss met on the way out
    // must not start the shutdown again.
    static int finishing = 0;
    if (finishing++) _exit(kExitWindowLost);
    ogl_inited = 0; // nothing to draw an alert on any more: they print
    xer << why << " Ending without the window.\n";
    finish_without_x(1);
    xer.close();
    std::fflush(nullptr);
    // Not exit(): the X library may be half-way through a call.
    _exit(kExitWindowLost);
}

void VOVARU_request_quit()
{
    app_done = 1;
    quit_requested = true;
    if (mnw.modal) VOVARU_startwind(kWinMain, 0);
}

static void on_quit_signal(int sig)
{
    quit_signal = sig;
}

void VOVARU_catch_quit_signals()
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sa_handler = on_quit_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND; // the second one is not caught
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

void VOVARU_poll_quit()
{
    if (const int sig = quit_signal) {
        quit_signal = 0;
        xer << "Quitting on signal " << sig << ".\n";
        VOVARU_request_quit();
    }
    // A modal window that opened after the request closes at once too.
    if (quit_requested && mnw.modal) VOVARU_startwind(kWinMain, 0);
}
