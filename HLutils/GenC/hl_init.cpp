// Start-up: everything the frame loop assumes, in a fixed order.
#include "GenC/hl_init.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GenC/hl_alert.h"
#include "GenC/hl_context.h"
#include "GenC/hl_events.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_app.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_memory.h"
#include "UTL/UTL_time.h"
#include "platform/PlatformUtils.h"

namespace
{
constexpr int kLinkBuf = 500;
constexpr int kRandCount = 10000;
constexpr float kDegToRad = 0.0174532942f;
constexpr int kProcLine = 512;
constexpr int kColStartupText = 61;

// Copies the lines of a /proc file that begin with one of the prefixes.
void copy_proc_lines(const char* path, const char* const* prefixes, const char* fallback)
{
    FILE* f = std::fopen(path, "r");
    if (!f) {
        xer << fallback;
        return;
    }
    char line[kProcLine];
    while (std::fgets(line, sizeof(line), f))
        for (const char* const* p = prefixes; *p; ++p)
            if (!std::strncmp(line, *p, std::strlen(*p))) {
                xer << line;
                break;
            }
    std::fclose(f);
}

void write_log_header()
{
    xer << "log.txt for " << build_name[0] << " "
        << "Installer " << kInstallerBuild << " compiled on " << __DATE__ << " " << __TIME__
        << "\n\n";
    xer << "This log file is generated automatically by Rererud applications and contains "
           "diagnostics about your graphics hardware, installation, and any error conditions.\n";
    xer << "If you need to contact tech support or file a bug, please send us this file. NOTE: "
           "this file is rewritten every time you start ANY of your Didozuroz applications.\n\n";
    static const char* const kCpu[] = {"processor", "model name", "cpu MHz", nullptr};
    static const char* const kMem[] = {"MemTotal", nullptr};
    copy_proc_lines("/proc/cpuinfo", kCpu, "Unable to read CPU information.\n");
    copy_proc_lines("/proc/meminfo", kMem, "Unable to read mem information.\n");
    xer << "\nDidozuroz folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
    xer.flush();
}
} // namespace

void VOVARU_sample_interface_colours()
{
    static const struct {
        int id, x, y;
    } kSamples[] = {{34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131}, {38, 319, 123},
                    {40, 319, 115}, {41, 319, 107}, {42, 319, 99},  {43, 319, 91},  {45, 319, 83},
                    {46, 319, 75},  {47, 319, 67},  {44, 395, 115}};
    for (const auto& s : kSamples) {
        const unsigned char* px = t_interface_dat + (s.y * 512 + s.x) * 4;
        colr.assign(s.id, px[0] / 255.0f, px[1] / 255.0f, px[2] / 255.0f);
    }
    colr.assign(kColrMenuMean, (colr.rgb[35][0] + colr.rgb[38][0]) * 0.5f,
                (colr.rgb[35][1] + colr.rgb[38][1]) * 0.5f,
                (colr.rgb[35][2] + colr.rgb[38][2]) * 0.5f);
}

void VOVARU_set_app_path(std::string* out)
{
    static char link[kLinkBuf];
    char proc[128];
    std::snprintf(proc, sizeof(proc), "/proc/%d/exe", static_cast<int>(getpid()));
    const ssize_t n = readlink(proc, link, kLinkBuf - 1);
    if (n == kLinkBuf - 1) {
        std::printf(
            "WARNING: Zudezud is stored too deeply in the file system, so I\ncould not find the "
            "path with a simple readlink! I will assume\nthat you are running Zudezud from the "
            "directory in which it is\nstored; if you're not, then there will be errors. To get "
            "rid of\nthis message, move Zudezud someplace where a readlink with a buflen\nof "
            "strDIM-1 can find it. If you don't know what's causing this, email\n"
            "%s.\n",
            kSupportEmail);
        *out = "./";
    } else if (n < 0) {
        std::printf(
            "WARNING: I could not find myself with a readlink! This might be\nbecause /proc isn't "
            "mounted. Avoiding entirely the issue of the\nstupidity of running something like "
            "Zudezud without /proc mounted,\nI'll just say that that won't work. I will assume "
            "that you are\nrunning Zudezud from the directory in which it is stored; if\nyou're "
            "not, then there will be errors. Of course, it might've been\nsomething else, so I'll "
            "let perror do some talking for me. If\nyou don't know what's causing this, email "
            "%s.\n",
            kSupportEmail);
        std::perror("readlink");
        *out = "./";
    } else {
        link[n] = 0;
        char* slash = std::strrchr(link, '/');
        if (slash) slash[1] = 0;
        *out = slash ? link : "./";
    }
    g_case_sensitive = 1;
    // The folder already ends after its last '/'; splitting it once more would
    // give its parent, so it is kept as it is.
    app_path.clear();
}

void VOVARU_setupforlang() {}

void VOVARU_show_init(const std::string& message, float* fraction)
{
    static int counter = 0;
    if (!plot_init_lights) return;
    OGL_plot_back_col();
    const float a = mnw.area_x;
    BTN_frame2(kPanelInset, a + 10, 31, 320, 200, "");
    float f;
    if (fraction) {
        f = *fraction;
    } else {
        f = counter * 0.01f;
        ++counter;
    }
    if (!(f >= 0.02f)) f = 0.02f; // also catches NaN
    if (f > 1) f = 1;
    const float L = a + 8, R = a + 1016, F = L + f * (R - L);
    BTN_frame1(kBarProgressTrack, (L + R) * 0.5f, 15, R - L, kColrNoTint);
    BTN_frame1(kBarProgressFill, (L + F) * 0.5f, 15, F - L, kColrNoTint);
    OGL_string(kColStartupText, a + 22, 60, message, 300, kCharsetProp, kTextLeft);
    OGL_sbuff();
}

void VOVARU_align_scratch()
{
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(scratch_array_storage);
    scratch_array = scratch_array_storage + ((16 - base % 16) % 16);
}

void VOVARU_request_window()
{
    mnw.alias_req = 0;
    mnw.res_x_req = 1024;
    mnw.res_y_req = 768;
    mnw.tex_level = 5;
    mnw.col_res_req = 32;
    mnw.lang = 0;
}

void VOVARU_register_shell()
{
    shell_hooks h{};
    h.alert_window = alert_window_route;
    h.finish = VOVARU_finishup;
    h.handle_click = VOVARU_handleclick;
    h.keysyms = LIN_key_syms;
    h.show_init = VOVARU_show_init;
    h.gl_for_threads = [] { return glExt.threaded_avail && x11.glx_context[0] ? 1 : 0; };
    h.make_loader = VOVARU_make_context_loader;
    h.set_loader = VOVARU_set_context_loader;
    h.start_window = [](int id) { VOVARU_startwind(id, 0); };
    h.frame = VOVARU_event_proc;
    h.swap_buffers = VOVARU_swap_buffers;
    VOVARU_set_shell_hooks(h);
    VOVARU_set_window_lost(VOVARU_finish_without_window);
    // The clock's press drops the widgets' focus; its pulse paints the colours.
    xtim_set_hooks({BTN_unfocus_any, [](float p) { colr.set_pulse(p); }});
    // The path fields' folder icon opens the picker.
    picker_register();
}

void VOVARU_init(int argc, const char* const* argv)
{
    VOVARU_register_shell();
    UTL_debug_init();
    VOVARU_catch_quit_signals();

    std::string folder;
    VOVARU_set_app_path(&folder);
    // The program folder is what get_OS_abs_path(0) answers. Without a log
    // the run goes on; a read-only folder or another user's program is
    // common enough to say so where the user started it.
    const std::string log_path = folder + "Log.txt";
    errno = 0;
    xer.open(log_path, std::ios::out | std::ios::trunc);
    if (!xer.is_open()) {
        const int err = errno;
        std::fprintf(stderr, "Zudezud: cannot write the log file %s (%s); going on without it.\n",
                     log_path.c_str(), err ? std::strerror(err) : "unknown reason");
    }
    xer.setf(std::ios::fixed, std::ios::floatfield);

    VOVARU_align_scratch();

    std::srand(1);
    for (int i = 0; i < kRandCount; ++i)
        randrat[i] = static_cast<float>(std::rand() * (0.9999 / 2147483647));

    timeval tv;
    gettimeofday(&tv, nullptr);
    const unsigned seed =
        static_cast<unsigned>(static_cast<std::uint64_t>(tv.tv_sec) * 1000000u + tv.tv_usec);
    std::srand(seed);
    for (unsigned i = 0; i < seed % 1000; ++i)
        std::rand();

    for (int d = 0; d <= 360; ++d) {
        lookup_sin[d] = std::sin(d * kDegToRad);
        lookup_cos[d] = std::cos(d * kDegToRad);
    }

    write_log_header();
    cmdline.init_unix(argc, const_cast<const char**>(argv));
    THREAD_init();

    VOVARU_request_window();

    VOVARU_setres(1);
    // The window's backdrop is the start-up screen's colour, shown before
    // the OpenGL driver has loaded.
    VOVARU_sample_interface_colours();
    VOVARU_make_context(0);
    OGL_pix_specs(0);
    glExt.init_extensions();
    recall_start_tex();
    VOVARU_clear_menus(1);
    VOVARU_startwind(kWinNone, 0);
    OGL_pix_specs(0);
    ogl_inited = 1;
    VOVARU_setupforlang();
    // The start-up screen first; what only later screens need comes after.
    VOVARU_show_init("Will init plugins.", nullptr);
    THREAD_make_workers();
    recall_later_texes();
    VOVARU_show_init("Starting application.", nullptr);
}
