// The alert's window route, the services the shell registers for the layers
// below it, the shutdown routines and the quit requests from outside.
#include "GenC/hl_alert.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>
#include <GL/glext.h>

#include "GenC/hl_context.h"
#include "GenC/hl_events.h"
#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/pref.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_memory.h"
#include "UTL/UTL_time.h"
#include "platform/PlatformUtils.h"

namespace
{
volatile std::sig_atomic_t quit_signal = 0;
bool quit_requested = false;

bool alert_fps_test_given()
{
    return cmdline.has_option("--fps_test");
}
} // namespace

void alert_window_route(int return_window, const std::string& line1, const std::string& line2,
                        const std::string& line3, const std::string& line4, int kind,
                        const std::string& location)
{
    // Whatever the interrupted drawing code left, start from a known state.
    glEnd();
    glEndList();
    for (int i = 0; i < 30; ++i)
        glGetError();
    OGL_nrml_colors();
    if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
    if (glExt.framebuf_avail && glExt.glBindFramebufferEXT)
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float mouse_x = mnw.mouse_x, mouse_y = mnw.mouse_y;
    VOVARU_startwind(kWinAlert, 0);
    // Alert lines often name a path: what the fonts lack shows as '?'.
    const std::string lines[4] = {OGL_font_text(line1), OGL_font_text(line2), OGL_font_text(line3),
                                  OGL_font_text(line4)};
    static const float kLineY[4] = {205, 165, 125, 85};
    constexpr int kColAlertText = 43;
    constexpr float kLocationY = 45, kButtonY = 18;
    while (mnw.win_now == kWinAlert) {
        OGL_plot_back_col();
        BTN_fillwin(1, kPanelNone);
        BTN_subwin(0, kPanelGroup, -1, 35, -1, -1, "", &wx, &wy);
        const float cx = mnw.win_w * 0.5f, wrap = mnw.win_w * 0.9f;
        for (int i = 0; i < 4; ++i)
            OGL_string(kColAlertText, cx, kLineY[i], lines[i], wrap, kCharsetProp, kTextCentre);
        if (kind == t_exit)
            OGL_string(kColAlertText, cx, kLocationY, location, wrap, kCharsetProp, kTextCentre);
        if (BTN_action(cx, kButtonY, 0, 0, 1, stls[kStlsAlertButton], "-") || return_hit) {
            return_hit = 0;
            if (kind == t_exit) return; // logged and ended by the caller, 995 still current
            VOVARU_startwind(return_window, 0);
            mnw.mouse_x = mouse_x;
            mnw.mouse_y = mouse_y;
        }
        if (mnw.win_now == kWinAlert) VOVARU_event_proc();
    }
}

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

    if (mnw.x_display) XUngrabKeyboard(mnw.x_display, CurrentTime);
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

void go_to_URL(std::string url) {}

void VOVARU_register_shell()
{
    shell_hooks h{};
    h.alert_window = alert_window_route;
    h.finish = VOVARU_finishup;
    h.handle_click = VOVARU_handleclick;
    h.keysyms = LIN_key_syms;
    h.show_init = VOVARU_show_init;
    h.gl_for_threads = [] { return glExt.threaded_avail && mnw.glx_context[0] ? 1 : 0; };
    h.make_loader = VOVARU_make_context_loader;
    h.set_loader = VOVARU_set_context_loader;
    h.start_window = [](int id) { VOVARU_startwind(id, 0); };
    h.frame = VOVARU_event_proc;
    VOVARU_set_shell_hooks(h);
    // The clock's press drops the widgets' focus; its pulse paints the colours.
    xtim_set_hooks({BTN_unfocus_any, [](float p) { colr.set_pulse(p); }});
    // The path fields' folder icon opens the picker.
    picker_register();
}
