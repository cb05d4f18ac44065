// The installer's main screen, drawn from scratch in every frame and
// interleaved with the state machine: APP_update gives its drawing steps and
// buttons to run_frame (frame.cpp), which keeps the order of a frame.
//
// Index: [SECTION] Sizes and descriptions; Texts; Drawing steps; APP_update.
#include "installer/screen.h"

#include <cmath>
#include <limits>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "UTL/UTL_time.h"
#include "installer/artwork.h"
#include "installer/destination.h"
#include "installer/directory.h"
#include "installer/frame.h"
#include "installer/globals.h"
#include "installer/retry.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"

main_screen_state screen;

namespace
{

constexpr int kTextWrap = 700;
constexpr int kGlobeStill = 21, kGlobeFirst = 8, kGlobeLast = 23;
constexpr int kFlagTenth = 6; // real_flags index of the 0.1 s step
constexpr float kBarLeft = 132, kBarWidth = 884;
constexpr float kLabelRise = 5, kLabelLineStep = 10; // a two-line label about its y

std::string whole(long long v)
{
    return std::to_string(v);
}

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Sizes and descriptions

void set_size_str(float kb, std::string* out)
{
    const float mb = kb * 0.001f;
    if (mb >= 1000) {
        flt_to_str(mb * 0.001f, out, 2, 1, 0);
        *out += " Gig";
    } else {
        flt_to_str(mb, out, 2, 1, 0);
        *out += " Meg";
    }
}

namespace
{
// The longest start of text (whole bytes) that fits in width with `tail` after it.
std::string cut_to(const std::string& text, float width, const std::string& tail)
{
    const float room = width - OGL_text_width(tail);
    size_t n = 0;
    float w = 0;
    while (n < text.size() && w + float(OGL_char_advance(text[n])) <= room)
        w += float(OGL_char_advance(text[n++]));
    return text.substr(0, n) + tail;
}
} // namespace

std::vector<std::string> server_desc_lines(const std::string& desc, float width)
{
    const std::string text = OGL_font_text(desc);
    std::string first, second;
    const int n = BTN_label_lines(text, kAlignEnd, &first, &second);
    if (n == 0) return {};
    if (OGL_text_width(first) <= width && OGL_text_width(second) <= width) {
        if (n == 1) return {first};
        return {first, second};
    }
    // Too long for the column: as many words as fit on line one (a word
    // wider than the column is cut), the rest on line two.
    size_t end = 0;
    for (size_t i = 0; i <= text.size(); ++i)
        if ((i == text.size() || text[i] == ' ') && OGL_text_width(text.substr(0, i)) <= width)
            end = i;
    if (end == 0) end = cut_to(text, width, "").size();
    std::string rest = text.substr(end);
    rest.erase(0, rest.find_first_not_of(' '));
    const std::string line1 = text.substr(0, end);
    if (rest.empty()) return {line1};
    if (OGL_text_width(rest) > width) rest = cut_to(rest, width, "...");
    return {line1, rest};
}

int in_destination_field(float x, float y)
{
    return kDestFieldX0 <= x && x <= kDestFieldX1 && kDestFieldY0 <= y && y <= kDestFieldY1;
}

// ---------------------------------------------------------------------------
// [SECTION] Texts

std::string directory_percent()
{
    const down_class* req = http.slot[kNetSlotDirectory];
    if (!req) return "0";
    if (req->cont_len == -1) return "-1";
    if (req->cont_len <= 0) return "0";
    return whole(req->bytes_written * 100 / req->cont_len);
}

std::string net_failure_text(const net_failure_struct& f)
{
    if (f.reason.empty()) return "";
    return (f.reached ? "I got no usable reply from " : "I can not reach ") + f.server + ": " +
           f.reason + ". Trying again...";
}

std::string net_wait_text(const net_wait_struct& w)
{
    return "I have had no answer from " + w.server +
           (w.proxy.empty() ? "" : " through the proxy " + w.proxy) + " for " +
           whole(static_cast<long long>(w.secs)) + " seconds" +
           (w.connecting ? " (not connected yet)" : "") + ". Still waiting...";
}

std::string unpack_failure_text(int error, const std::string& server)
{
    return "The directory of files from " + server +
           " does not unpack. Error: " + error_str(error) + ". Trying again...";
}

std::string list_problem_text(int slot)
{
    const net_wait_struct w = http.Waiting(slot);
    if (w.secs >= kQuietSecsShown) return net_wait_text(w);
    // An unpacking failure follows a complete download, which clears the
    // slot's last failure: a failure still kept is the newer of the two.
    const std::string failed = net_failure_text(http.LastFailure(slot));
    if (!failed.empty()) return failed;
    if (slot == kNetSlotDirectory && list_fetch.unpack_error != 0)
        return unpack_failure_text(list_fetch.unpack_error, list_fetch.unpack_server);
    return "";
}

// A list phase's message, with what is going wrong after it.
static screen_line list_phase_line(const std::string& text, int slot)
{
    const std::string problem = list_problem_text(slot);
    if (problem.empty()) return {kColText, text};
    return {kColFailure, text + " " + problem};
}

screen_line status_message()
{
    screen_line s;
    const std::string proxy_error = http.ProxyPortError();
    if (next.all_done) {
        s = {kColStatusDone, "INSTALLATION COMPLETE!"};
    } else if (!proxy_error.empty()) {
        s = {kColStatusError, proxy_error};
    } else if (stg.server_count == -1) {
        s = list_phase_line("Looking for servers... you need internet for this...",
                            kNetSlotServerList);
    } else if (stg.server_count == 0) {
        s = {kColStatusError, "I could not find any servers to get Zudezud from!"};
    } else if (stg.dir_state == kDirFetch) {
        const std::string p = directory_percent();
        s = list_phase_line(p == "-1"
                                ? "I am checking the net for the latest version of Zudezud right "
                                  "now, and I am connecting to the server..."
                                : "I am checking the net for the latest version of Zudezud right "
                                  "now, and I am " +
                                      p + "% done checking.",
                            kNetSlotDirectory);
    } else if (stg.dir_state == kDirScan && dest_busy) {
        s.text = "Another installer is working on " + dest_dir_path +
                 " right now. I will look at that folder as soon as it is done, or choose "
                 "another one with the DESTINATION button below.";
    } else if (stg.dir_state == kDirScan) {
        s.text = "I have downloaded the directory of files I need, and am now trying to read it...";
    } else if (stg.dir_state == kDirBadFormat) {
        s = {kColStatusError, std::string("I can not find a version of Zudezud on the net! Grab a "
                                          "new installer from ") +
                                  kMakerWebSite + ", or check net service!"};
    } else if (stg.install_state == kInstalling) {
        s.text = "OK I am installing this now...";
    } else if (!path_is_to_a_sim()) {
        s.text = "To make the download a LOT faster, if you have an earlier version of Zudezud 9 "
                 "on your hard drive, choose that with the DESTINATION button below, and I will "
                 "UPDATE THAT FOLDER!";
    } else {
        s.text = "You have selected an earlier version of Zudezud in the DESTINATION field below, "
                 "so I will update that installation  by just grabbing new updated files!";
    }
    return s;
}

bool time_left_line(float downloaded_kb, float total_down_kb, float elapsed_s, int streams,
                    std::string* out)
{
    float remaining = total_down_kb - downloaded_kb;
    if (!(remaining > 0)) remaining = 0;
    const float elapsed = elapsed_s > 1 ? elapsed_s : 1;
    const double rate = downloaded_kb / elapsed;
    if (!(rate > 0) || !std::isfinite(rate)) return false;
    const double eta = remaining / rate;
    // Hours are the largest unit: beyond an int of them there is nothing to say.
    if (!std::isfinite(eta) || eta / 3600 >= std::numeric_limits<int>::max()) return false;
    std::string t;
    if (eta < 120)
        t = "About " + whole(static_cast<long long>(eta)) + " seconds";
    else if (eta < 7200)
        t = "About " + whole(static_cast<long long>(eta / 60)) + " minutes";
    else
        t = "About " + whole(static_cast<long long>(eta / 3600)) + " hours";
    *out = t + " left in the install, downloading at " + whole(static_cast<long long>(rate)) +
           " kilobytes/second " + "with " + whole(streams) + " simultaneous download streams.";
    return true;
}

static int active_streams()
{
    int s = 0;
    for (int i = 0; i < kStreams; ++i)
        s += next.stream_active[i] ? 1 : 0;
    return s;
}

static void installing_lines(totals_lines& t)
{
    main_screen_state& s = screen;
    const float k = 5 * xtim.sim_prd;
    s.totl_inst_rat = (1 - k) * s.totl_inst_rat + k * (next.kb_installed / s.tot_disk_req);
    if (!(s.totl_inst_rat >= 0)) s.totl_inst_rat = 0; // also a result that is not a number
    if (s.totl_inst_rat > 1) s.totl_inst_rat = 1;

    switch (stg.status_code) {
    case kStatusDeleting:
        t.l[0] = "Deleting " + crnt_file_name + " because that file is no longer needed!";
        break;
    case kStatusDownloading:
        t.l[0] = "Downloading and installing " + crnt_file_name + ", currently " +
                 whole(static_cast<long long>(stg.file_fraction * 100)) + "% done with that file.";
        break;
    case kStatusHaveIt:
        t.l[0] = "duplicate filename through file " + crnt_file_name +
                 ", but not installing it because you already have this file.";
        break;
    case kStatusNotNeeded:
        t.l[0] = "Browsing through file " + crnt_file_name +
                 ", but not installing it because you don't need this file.";
        break;
    default:
        break;
    }
    std::string pct, done;
    flt_to_str(s.totl_inst_rat * 100, &pct, 3, 1, 0);
    set_size_str(next.kb_installed, &done);
    t.l[1] = pct + "% done with the internet install, having installed " + done + " of " +
             s.tot_disk_req_str + " for the internet install.";
    if (s.totl_inst_rat > 0.01f)
        time_left_line(next.kb_downloaded + next.kb_partial, s.tot_down_req,
                       xtim.real_secs - next.reset_time, active_streams(), &t.l[2]);
}

totals_lines totals_block()
{
    totals_lines t;
    main_screen_state& s = screen;
    static const char* const kFull = "This is a full installer.";
    if (stg.install_state == kInstallIdle) {
        s.totl_inst_rat = 0;
        s.tot_availabl = -1;
        s.tot_down_req = stg.total_down_kb;
        s.tot_disk_req = stg.total_disk_kb;
        if (stg.dir_state == kDirFetch) {
            t.l[0] = "I am figuring out what the latest version of Zudezud is right now...";
            t.l[1] = "This may take a moment as I download the latest list of Zudezud files...";
            t.l[2] = kFull;
        } else if (stg.dir_state == kDirBadFormat || stg.dir_state == kDirScan) {
            // A refused list has no files, and a scan has not counted them
            // all yet: "already the latest version" would be untrue.
        } else if (s.tot_disk_req == 0) {
            t.l[0] = "Your copy of Zudezud is already the latest version.";
            t.l[1] = "(Remember, the BETA installer only checks for the latest BETA version, and "
                     "the FULL installer checks only for the latest FULL version of Zudezud).";
            t.l[2] = kFull;
        } else {
            set_size_str(s.tot_disk_req, &s.tot_disk_req_str);
            t.l[0] = "You are about to install " + s.tot_disk_req_str + " of files to get " +
                     install_name + ".";
        }
    } else if (stg.install_state == kInstalling) {
        installing_lines(t);
    } else if (stg.extract_error) {
        t.colour = kColFailure;
        t.l[0] = "The installation was not completed because an error occurred.";
        t.l[1] = "Zudezud is not fully installed or updated and may not run correctly.";
        t.l[2] = "Please try a different server, hard drive, or directory, or contact Customer "
                 "Support for help with this problem.";
    } else {
        t.l[0] = "INSTALLATION COMPLETE!";
        t.l[2] = kFull;
    }
    if (stg.download_failed) {
        t.colour = kColFailure;
        t.l[0] = "I can NOT download the file '" + crnt_file_path + "'!";
        t.l[1] = "Your internet connection may not be working, or the server could be undergoing "
                 "maintainance or an upgrade right now.";
        // With one server the next try goes to the same one.
        t.l[2] = std::string("I am trying ") + (stg.server_count > 1 ? "another server" : "again") +
                 " now to see if I can still get you a download...";
    }
    return t;
}

bar_fill progress_fill(float fraction)
{
    const int right = static_cast<int>(fraction * kBarWidth + kBarLeft);
    return {2 * static_cast<int>(std::round((right + kBarLeft) / 4)),
            4 * static_cast<int>(std::round((right - kBarLeft) / 4))};
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing steps

namespace
{

// The destination field and the hint; 1 when the field was pressed.
int draw_destination()
{
    BTN_frame1(kBarField, 285, 89, 300, kColrNoTint);
    OGL_string(kColPath, 142, 86, OGL_font_text(dest_dir_path), kTextNoWrap, kCharsetProp,
               kTextLeft);
    OGL_string(kColText, 134, 112,
               "Click on the 'DESTINATION' button below to choose the copy of Zudezud you wish to "
               "update, or choose the destination you wish to install a new copy of Zudezud to!",
               kTextNoWrap, kCharsetProp, kTextLeft);
    return mnw.mouse_press && in_destination_field(mnw.mouse_x, mnw.mouse_y);
}

void draw_upper_part()
{
    main_screen_state& s = screen;
    if (stg.install_state == kInstalling) {
        if (xtim.real_flags[kFlagTenth] && ++s.wrl_i > kGlobeLast) s.wrl_i = kGlobeFirst;
    } else {
        s.wrl_i = kGlobeStill;
    }
    // The descriptions are the server list's: fitted to the column left of
    // the buttons, where a label would run out of the window.
    const float width = kServerTextRight - kServerTextLeft;
    for (int i = 0; i < stg.server_count; ++i) {
        const float y = kServerTopY - kServerStep * i;
        BTN_is_int(kServerX, y, &stg.chosen_server, i, "");
        const std::vector<std::string> lines = server_desc_lines(server_desc[i], width);
        const float top = lines.size() == 2 ? y + kLabelRise : y;
        for (size_t k = 0; k < lines.size(); ++k) // '-': drawn as it is, not split again
            BTN_util_draw_label(kServerTextRight, top - kLabelLineStep * k, kAlignEnd,
                                "-" + lines[k], 0);
    }
    if (BTN_action(50, 750, -1, 0, 1, "preferences", "-")) {
        const int platform = stg.target_platform;
        handle_prefs();
        // The totals follow the platform: sign the list again while idle.
        if (stg.target_platform != platform && stg.install_state != kInstalling &&
            (stg.dir_state == kDirReady || stg.dir_state == kDirScan))
            restart_scan();
    }
    interface_rect(0, 595, 644, 33, 128, 86, 0, kRectUntinted);
    interface_icon(29, 608, s.wrl_i);
    const std::string title = install_name != no_install_name
                                  ? "NET: " + install_name
                                  : std::string("NET: looking for the latest version");
    BTN_frame2(kPanelInstaller, 135, 600, 790, 72, title);
    BTN_frame2(kPanelInstaller, 935, 600, 80, 72, "Download");
    std::string size;
    set_size_str(stg.total_down_kb, &size);
    OGL_string(kColText, 954, 635, size, kTextWrap, kCharsetProp, kTextLeft);
    const screen_line status = status_message();
    // A row of the panel stays between the second line's descenders and its border.
    OGL_string(status.colour, 154, 616, status.text, kTextWrap, kCharsetProp, kTextLeft);
}

void draw_totals()
{
    const totals_lines t = totals_block();
    BTN_frame2(kPanelInstaller, 135, 32, 880, 40, "");
    static const float kLineY[3] = {58, 48, 38};
    for (int i = 0; i < 3; ++i)
        OGL_string(t.colour, 144, kLineY[i], OGL_font_text(t.l[i]), kTextNoWrap, kCharsetProp,
                   kTextLeft); // the lines name the release's files
    BTN_frame1(kBarProgressTrack, 574, 15, kBarWidth, kColrNoTint);
    if (stg.install_state == kInstalling && screen.totl_inst_rat > 0.02f) {
        const bar_fill f = progress_fill(screen.totl_inst_rat);
        BTN_frame1(kBarProgressFill, static_cast<float>(f.centre), 15, static_cast<float>(f.width),
                   kColrNoTint);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] APP_update

namespace
{

// The destination field and, while it works, the DESTINATION button: 1 when
// either was pressed.
int destination_part()
{
    const int field_pressed = draw_destination();
    if (!destination_open()) return 0;
    return interface_rect(10, 78, 513, 166, 126, 22, 1, kRectGreen) || field_pressed;
}

// Shown while idle, lit and working once the directory is ready.
int install_button()
{
    if (!install_open()) return 0;
    const int enabled = install_ready();
    return interface_rect(450, 78, 640, 166, 83, 22, enabled, enabled ? kRectGreen : kRectRed) &&
           enabled;
}

void store_button()
{
    if (interface_rect(700, 78, 822, 235, 116, 22, 1, kRectGreen)) go_to_URL(kMakerStorePage);
}

int quit_button()
{
    return interface_rect(960, 78, 780, 166, 51, 22, 1, kRectGreen);
}

void lower_part()
{
    draw_totals();
    // The disk is signed over many frames: its box lies over the screen,
    // whose buttons stay live.
    if (dir_scan_running()) draw_progress_box(progress_box);
}

const frame_screen kMainScreen = {draw_background, destination_part, draw_upper_part,
                                  install_button,  store_button,     quit_button,
                                  lower_part};

} // namespace

void APP_update()
{
    run_frame(kMainScreen);
}
