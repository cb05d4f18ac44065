// The installer's modal windows: licence (1), preferences (2), the
// modified-file question (997) and the scan progress box. Each window makes
// itself current and repeats "draw, then one frame pass" until another
// window is current; the installer frame does not run meanwhile.
//
// Index: [SECTION] Licence; Question; Progress box; Preferences; Picker.
#include "installer/sub_wins.h"

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "installer/artwork.h"
#include "platform/PlatformUtils.h"

namespace
{
constexpr int kColWindowText = 46;
constexpr int kColQuestionText = 43;
constexpr int kColBoxText = 49;
} // namespace

engine_windows_struct engine_windows = {handle_EULA, select_alert, scan_progress, pick_folder_none};

// ---------------------------------------------------------------------------
// [SECTION] Licence

const char* const kLicenceLines[3] = {
    "Zudezud is licensed to you, not sold: you may install it on the computers you use, and copy "
    "this installation for your own use.",
    "You may not sell, rent or hand on copies of Zudezud or of its files, nor take its programs "
    "apart beyond what the law allows.",
    "Zudezud is a simulation for entertainment, not for flight training, and it comes without "
    "any warranty.",
};

int handle_EULA()
{
    int agreed = 0;
    VOVARU_startwind(kWinLicence, 0);
    while (mnw.win_now == kWinLicence) {
        OGL_plot_back_col();
        BTN_fillwin(1, kPanelNone);
        float ox, oy;
        BTN_subwin(0, kPanelList, -1, 50, -1, -1, "", &ox, &oy);
        static const float kLineY[3] = {250, 230, 210};
        for (int i = 0; i < 3; ++i)
            OGL_string(kColWindowText, 20, kLineY[i], kLicenceLines[i], 400, kCharsetProp,
                       kTextLeft);
        if (interface_rect(300, 10, 832, 166, 85, 22, 1, kRectGreen)) { // DISAGREE
            agreed = 0;
            VOVARU_startwind(kWinMain, 0);
        }
        if (interface_rect(400, 10, 918, 166, 59, 22, 1, kRectGreen)) { // AGREE
            agreed = 1;
            VOVARU_startwind(kWinMain, 0);
        }
        // Once the main window is current a frame pass would run the
        // installer frame inside itself: the next frame belongs to it.
        if (mnw.win_now == kWinLicence) VOVARU_event_proc();
    }
    return agreed;
}

// ---------------------------------------------------------------------------
// [SECTION] Question

int select_alert(std::string path, int gone)
{
    struct button {
        float x, y, w;
        const char* label;
        int answer;
    };
    const button buttons[5] = {
        {96, 53, 160, gone ? "DELETE THE OLD FILE" : "OVERWRITE THE OLD FILE", kAskActOnFile},
        {96, 28, 160, "KEEP THE OLD FILE", kAskKeepFile},
        {308, 53, 260,
         gone ? "DELETE EVERY OLD FILE IN THIS DIRECTORY"
              : "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY",
         kAskActOnFolder},
        {308, 28, 260, "KEEP EVERY OLD FILE IN THIS DIRECTORY", kAskKeepFolder},
        {584, 28, 200, "CANCEL THE WHOLE INSTALLATION!", kAskCancelAll},
    };
    const char* first = gone ? "I am about to DELETE:" : "I am about to install:";
    const char* third = gone ? "because we no longer use this file, but it appears you have "
                               "modified it. What to do?"
                             : "but it appears you have modified this file. What to do?";

    const std::string shown_path = OGL_font_text(path);
    VOVARU_startwind(kWinQuestion, 0);
    for (;;) {
        if (mnw.win_now != kWinQuestion) return kAskCancelAll; // closed without a button
        OGL_plot_back_col();
        BTN_fillwin(1, kPanelNone);
        const float wrap = mnw.win_w - 40;
        OGL_string(kColQuestionText, 20, 100, first, wrap, kCharsetProp, kTextLeft);
        OGL_string(kColQuestionText, 20, 90, shown_path, wrap, kCharsetProp, kTextLeft);
        OGL_string(kColQuestionText, 20, 80, third, wrap, kCharsetProp, kTextLeft);
        for (const button& b : buttons) {
            if (BTN_action(b.x, b.y, b.w, 0, 1, b.label, "-")) {
                VOVARU_startwind(kWinMain, 0);
                return b.answer;
            }
        }
        VOVARU_event_proc();
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Progress box

float progress_fraction(float lo, float value, float hi)
{
    if (lo == hi) return 0.52f;
    float f = 0.04f + 0.96f * (value - lo) / (hi - lo);
    if (!(f >= 0.04f)) f = 0.04f;
    if (f > 1) f = 1;
    return f;
}

const char* progress_mode_line(int mode)
{
    if (mode == 0) return "Currently SCANNING the directory text file.";
    if (mode == 1) return "Currently EXAMINING the hard disk.";
    return "";
}

progress_box_struct progress_box;

void draw_progress_box(const progress_box_struct& b)
{
    const float x0 = (mnw.res_x - 512) / 2.0f, y0 = (mnw.res_y - 138) / 2.0f;
    const float fraction = progress_fraction(b.lo, b.value, b.hi);
    BTN_frame2(kPanelInset, x0 + 20, y0 + 20, 472, 98, "");
    BTN_frame1(kBarProgressTrack, x0 + 30 + 226, y0 + 35, 452, kColrNoTint);
    const float fill = 452 * fraction;
    BTN_frame1(kBarProgressFill, x0 + 30 + fill / 2, y0 + 35, fill, kColrNoTint);
    OGL_string(kColBoxText, x0 + 32, y0 + 100, b.title, 452, kCharsetProp, kTextLeft);
    OGL_string(kColBoxText, x0 + 32, y0 + 80, progress_mode_line(b.mode), 452, kCharsetProp,
               kTextLeft);
    OGL_string(kColBoxText, x0 + 32, y0 + 60, OGL_font_text(b.detail), 452, kCharsetProp,
               kTextLeft);
}

void dir_progress_bar(float lo, float value, float hi, int mode, std::string title,
                      std::string detail)
{
    if (!ogl_inited || !x11.display) return; // no window to show it in
    draw_background();
    draw_progress_box({lo, value, hi, mode, title, detail});
    OGL_sbuff();
}

void scan_progress(float lo, float value, float hi, int mode, std::string title, std::string detail)
{
    progress_box = {lo, value, hi, mode, title, detail};
    // The list is read within one frame: show it now. The disk is signed
    // over many frames, which draw the box over the main screen.
    if (mode == 0) dir_progress_bar(lo, value, hi, mode, title, detail);
}

// ---------------------------------------------------------------------------
// [SECTION] Preferences

void prefs_take_port_text()
{
    if (!http._proxy_port.empty()) http._proxy_port_int = str_to_int(http._proxy_port);
}

void prefs_show_stored_port()
{
    // The number is what requests use; it may come from the preferences file
    // or the command line without a text, or beside an older text.
    if (str_to_int(http._proxy_port) != http._proxy_port_int)
        http._proxy_port = http._proxy_port_int ? std::to_string(http._proxy_port_int) : "";
}

void handle_prefs()
{
    VOVARU_startwind(kWinPrefs, 0);
    if (mnw.win_now != kWinPrefs) return;
    prefs_show_stored_port();
    while (mnw.win_now == kWinPrefs) {
        OGL_plot_back_col();
        BTN_fillwin(1, kPanelNone);
        float ox, oy;
        BTN_subwin(0, kPanelGroup, -1, -1, -1, 70,
                   "Proxy (if you are behind a firewall with a Proxy)", &ox, &oy);
        BTN_subwin(0, kPanelGroup, -1, 90, -1, -1, "General Preferences", &ox, &oy);
        int manual = stg._stream_count != 0 ? 1 : 0;
        int platform = stg.target_platform - 1;
        BTN_textlist(200, 310, &platform, "Macintosh-Windows-Linux",
                     "Operating System to download Zudezud for:|(Install and copy the entire "
                     "Zudezud folder to another computer if you like)");
        stg.target_platform = platform + 1;
        BTN_bool(30, 265, &stg._use_max_cpu,
                 "|run at full speed all the time, always totally saturating the CPU... typically "
                 "leave this OFF, since the installer does not need that much CPU to download "
                 "stuff!",
                 0);
        BTN_bool(30, 230, &stg._rename_folder,
                 "|re-name the Didozuroz folder to the latest version number when done with the "
                 "update... typically leave this ON, so the installer can indicate the proper "
                 "version number!",
                 0);
        BTN_bool(30, 190, &stg._always_ask_dir,
                 "|always ask you to pick your Didozuroz folder on startup... typically leave this "
                 "OFF, since the installer will remember your current Zudezud folder after the "
                 "first use.",
                 0);
        BTN_bool(30, 150, &manual,
                 "|manually set the number of download streams... typically leave this OFF, and "
                 "the installer will find the best number of streams for you.",
                 0);
        BTN_bool(30, 110, &stg._log_actions,
                 "|log installer actions... turn this on to output the installer file downloads "
                 "and stuff to the file log.txt.",
                 0);
        if (manual)
            BTN_int_range(400, 150, &stg._stream_count, 1, 1, 4, "");
        else
            stg._stream_count = 0;
        BTN_enterstring(85, 40, &http._proxy_host, 65, "-proxy host", 455, 1);
        BTN_enterstring(85, 20, &http._proxy_port, 65, "-proxy port", 455, 1);
        prefs_take_port_text();
        VOVARU_event_proc();
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Picker

int pick_folder_none(const std::string& start, std::string& chosen)
{
    return 0;
}

int pick_folder_in_window(const std::string& start, std::string& chosen)
{
    constexpr int kFolderMode = 2;
    constexpr size_t kAnswerSize = 2048; // longer destinations are not supported
    char answer[kAnswerSize];
    if (!GetFilePathFromUser(kFolderMode, "Choose the destination folder", "Select", 1,
                             start.c_str(), answer, sizeof answer))
        return 0;
    chosen = answer;
    return 1;
}

// ---------------------------------------------------------------------------
// [SECTION] The engine's table

engine_windows_struct engine_set_windows_hook(const engine_windows_struct& windows)
{
    const engine_windows_struct previous = engine_windows;
    engine_windows.eula = windows.eula ? windows.eula : handle_EULA;
    engine_windows.ask_modified = windows.ask_modified ? windows.ask_modified : select_alert;
    engine_windows.progress = windows.progress ? windows.progress : scan_progress;
    engine_windows.pick_folder = windows.pick_folder ? windows.pick_folder : pick_folder_none;
    return previous;
}
