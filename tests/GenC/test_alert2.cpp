// The second alert window (996) answered by real clicks under a private X
// server, and the window layer's small hooks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenC/hl_alert2.h"
#include "GenC/hl_hooks.h"
#include "GenC/hl_menu_edit.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "support/alert_probe.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
// Window 996 (300 x 166) centred on the 1024 x 768 drawable.
constexpr int kOriginX = 362, kOriginY = 301, kDrawH = 768;
constexpr float kWinW = 300;

std::string window_id()
{
    return std::to_string(x11.window[0]);
}

// X pixel arguments of a point at window units (x, y) of window 996.
std::string at_996(float x, float y)
{
    return std::to_string(kOriginX + std::lround(x)) + " " +
           std::to_string(kDrawH - (kOriginY + std::lround(y)));
}

void open_main_window()
{
    xvfb_open_shell_window();
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
}

void set_labels(const char* first, const char* second, const char* third)
{
    stls[kStlsNukeButton1] = first;
    stls[kStlsNukeButton2] = second;
    stls[kStlsNukeButton3] = third;
}

// Where the buttons are centred, by the menu text measure.
enum Button { kFirst, kSecond, kThird };
float button_x(Button b)
{
    const float dx = menu_dx(stls[kStlsNukeButton1 + b]);
    return b == kThird ? kWinW - 20 - dx / 2 : dx / 2 + 20;
}
float button_y(Button b)
{
    return b == kFirst ? 60 : 25;
}

// A click that misses leaves the window open for good: end the child instead
// of waiting for the test's time-out.
constexpr unsigned kHangSecs = 60;
} // namespace

TEST(NukeAlert, EachAnswerByARealClick)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_main_window();
    // Two Korean characters, one and three (EUC-KR, two bytes each).
    const char *const ko2 = "\xbf\xb9", *const ko4 = "\xbf\xb9\xbf\xb9",
                      *const ko6 = "\xbf\xb9\xbf\xb9\xbf\xb9";
    const struct {
        const char* what;
        int lang;
        const char* labels[3];
        int third;
        Button at;
        int want;
    } cases[] = {
        {"first of three", 0, {"Keep", "Delete", "Cancel"}, 1, kFirst, 1},
        {"second of three", 0, {"Keep", "Delete", "Cancel"}, 1, kSecond, 2},
        {"third of three", 0, {"Keep", "Delete", "Cancel"}, 1, kThird, 3},
        {"first of two", 0, {"Keep the old one", "Delete", "Cancel"}, 0, kFirst, 1},
        {"second of two", 0, {"Keep", "Delete it now", "Cancel"}, 0, kSecond, 2},
        // Empty labels: buttons fitted to nothing at x 20 and x 280.
        {"empty first", 0, {"", "", ""}, 1, kFirst, 1},
        {"empty third", 0, {"", "", ""}, 1, kThird, 3},
        // Korean labels are placed at 15 pixels a byte, the cells they are
        // drawn in: the first button's centre is x 50, not 20 or 36.
        {"Korean first", 6, {ko4, ko2, ko6}, 1, kFirst, 1},
        {"Korean third", 6, {ko4, ko2, ko6}, 1, kThird, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mnw.lang = c.lang;
        set_labels(c.labels[0], c.labels[1], c.labels[2]);
        usleep(300000); // not the second half of a double click with the last press
        xdo("mousemove --window " + window_id() + " " + at_996(button_x(c.at), button_y(c.at)) +
            " click 1");
        alarm(kHangSecs);
        const int answer = VOVARU_nuke_alert("Output/movies/a.smo", c.third);
        alarm(0);
        EXPECT_EQ(answer, c.want);
        EXPECT_EQ(mnw.win_now, kWinMain);
        EXPECT_EQ(mnw.modal, 0);
        EXPECT_EQ(mnw.win_under, kWinNukeAlert); // the press was mapped in window 996
        for (int i = 0; i < 5; ++i)
            VOVARU_event_proc(); // the release reaches window 0
    }
    mnw.lang = 0;
}

// Without the third button its place is empty panel, and neither Return nor
// Escape answers: only leaving the window (here a quit signal a second later)
// ends it, with 3.
TEST(NukeAlert, WithoutTheThirdButtonOnlyLeavingAnswersThree)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_main_window();
    VOVARU_catch_quit_signals();
    set_labels("Keep", "Delete", "Cancel");
    xdo("mousemove --window " + window_id() + " " + at_996(button_x(kThird), button_y(kThird)) +
        " click 1 key Return key Escape");
    run_capture("(sleep 1; kill -TERM " + std::to_string(getpid()) + ") >/dev/null 2>&1 &");
    alarm(kHangSecs);
    const int answer = VOVARU_nuke_alert("a.smo", 0);
    alarm(0);
    EXPECT_EQ(answer, 3);
    // Had the click or a key closed it, the quit would not have come yet.
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(mnw.win_now, kWinMain);
}

// Before start-up has made the window nothing could answer: it does not wait.
TEST(NukeAlert, WithoutTheWindowAnswersThreeAtOnce)
{
    XVFB_TEST_BODY(nullptr);
    ASSERT_EQ(ogl_inited, 0);
    mnw.win_now = kWinNone;
    alarm(kHangSecs);
    EXPECT_EQ(VOVARU_nuke_alert("a.smo", 1), 3);
    alarm(0);
    EXPECT_EQ(mnw.win_now, kWinNone);
}

TEST(NukeAlert, ShownWithItsQuestionAndButtons)
{
    XVFB_TEST_BODY(kXvfbScreen, xvfb_shots_env());
    TempCwd cwd;
    open_main_window();
    colr.assign(43, 1, 0, 0); // the question in pure red
    stls[kStlsTitle996_997] = "Delete file";
    stls[kStlsNukeBeforeName] = "Do you really want to delete ";
    stls[kStlsNukeAfterName] = "from your hard drive? It cannot be brought back once it is gone.";
    set_labels("Keep", "Delete", "Cancel");
    const std::string name = "Output/movies/a.smo";

    auto shown_with = [&](int third, const char* shot) {
        VOVARU_startwind(kWinNukeAlert, 0);
        EXPECT_EQ(VOVARU_nuke_alert_frame(name, third), 0); // nothing clicked
        VOVARU_event_proc();                                // swaps the frame
        return xvfb_shown_frame(shot);
    };
    const ShownPixels three = shown_with(1, "nuke_alert.png");
    const ShownPixels two = shown_with(0, "nuke_alert_two.png");
    ASSERT_EQ(three.w, 1024);
    ASSERT_EQ(three.h, 768);

    // The question (the labels are in its colour too, below it): left-aligned
    // at x 20, wrapped 20 short of the right edge, from 40 below the top down
    // over three lines.
    const int x0 = kOriginX, y0 = kOriginY, band0 = y0 + 80, band1 = y0 + 150;
    const int red_in = shown_count(three, x0 + 18, band0, x0 + 281, band1, 255, 0, 0, 40);
    EXPECT_GT(red_in, 100);
    EXPECT_EQ(shown_count(three, 0, band0, 1024, band1, 255, 0, 0, 40), red_in);
    int left = 1024, bottom = 768, top = 0;
    for (int y = band0; y < band1; ++y)
        for (int x = x0; x < x0 + 300; ++x)
            if (shown_count(three, x, y, x + 1, y + 1, 255, 0, 0, 40)) {
                left = std::min(left, x - x0);
                bottom = std::min(bottom, y - y0);
                top = std::max(top, y - y0);
            }
    EXPECT_GE(left, 19);
    EXPECT_LE(left, 22);
    EXPECT_GE(top, 166 - 40); // glyphs rise above the first line's y
    EXPECT_LE(top, 166 - 40 + 12);
    EXPECT_GE(top - bottom, 20 + 5); // two line steps below the first line's glyphs

    // The third button's place differs only when it is asked for; the first
    // two are the same either way.
    auto same_box = [&](Button b) {
        const int cx = x0 + int(button_x(b)), cy = y0 + int(button_y(b));
        for (int y = cy - 8; y <= cy + 8; ++y)
            for (int x = cx - 8; x <= cx + 8; ++x)
                if (std::memcmp(three.at(x, y), two.at(x, y), 3) != 0) return false;
        return true;
    };
    EXPECT_TRUE(same_box(kFirst));
    EXPECT_TRUE(same_box(kSecond));
    EXPECT_FALSE(same_box(kThird));
}

TEST(LoadMxy, Table)
{
    const mnw_struct saved = mnw;
    const x11_struct saved_x11 = x11;
    constexpr unsigned long kMain = 11, kSecond = 22;
    const struct {
        const char* what;
        int sec_mon, sec_ctx;
        unsigned long second, window;
        float scale;
        int res_x, res_y;
        float win_x, win_y;
        int x, y;
        float want_x, want_y;
        int want_under;
    } cases[] = {
        {"main window", 0, 0, 0, kMain, 1, 1024, 768, 100, 50, 120, 700, 20, 18, 5},
        {"two pixels a unit", 0, 0, 0, kMain, 2, 2048, 1536, 100, 50, 240, 1400, 20, 18, 5},
        {"top-left corner", 0, 0, 0, kMain, 1, 1024, 768, 0, 0, 0, 0, 0, 768, 5},
        // The second screen continues to the right, outside any sub-window.
        {"second monitor", 1, 1, kSecond, kSecond, 1, 1024, 768, 100, 50, 10, 700, 1034, 68, 0},
        {"second monitor, scale 2", 1, 1, kSecond, kSecond, 2, 2048, 1536, 100, 50, 10, 700, 1029,
         418, 0},
        {"main window beside a second", 1, 1, kSecond, kMain, 1, 1024, 768, 100, 50, 120, 700, 20,
         18, 5},
        {"second not in use", 0, 1, kSecond, kSecond, 1, 1024, 768, 100, 50, 120, 700, 20, 18, 5},
        {"no second context", 1, 0, kSecond, kSecond, 1, 1024, 768, 100, 50, 120, 700, 20, 18, 5},
        {"no second window", 1, 1, 0, 0, 1, 1024, 768, 100, 50, 120, 700, 20, 18, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mnw = mnw_struct{};
        x11 = x11_struct{};
        mnw.sec_mon_inuse = c.sec_mon;
        mnw.sec_mon_ctx = c.sec_ctx;
        x11.window[0] = kMain;
        x11.window[1] = c.second;
        mnw.pix_scale = c.scale;
        mnw.res_x = c.res_x;
        mnw.res_y = c.res_y;
        mnw.win_x = c.win_x;
        mnw.win_y = c.win_y;
        mnw.win_now = 5;
        mnw.win_under = -7;
        VOVARU_load_mxy(c.window, c.x, c.y);
        EXPECT_FLOAT_EQ(mnw.mouse_x, c.want_x);
        EXPECT_FLOAT_EQ(mnw.mouse_y, c.want_y);
        EXPECT_EQ(mnw.win_under, c.want_under);
    }
    mnw = saved;
    x11 = saved_x11;
}

// Real key presses: Alt and Shift are reported while held, Caps Lock never.
TEST(ModifierKeys, HeldKeysByRealPresses)
{
    XVFB_TEST_BODY();
    open_main_window();
    const struct {
        const char* key;
        int alt, shift, ctrl, held;
    } cases[] = {
        {"Alt_L", 1, 0, 0, 0},   {"Alt_R", 1, 0, 0, 0},     {"Shift_L", 0, 1, 0, 0},
        {"Shift_R", 0, 1, 0, 0}, {"Control_L", 0, 0, 1, 0}, {"Caps_Lock", 0, 0, 0, 1},
        {"a", 0, 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        auto state_is = [](int alt, int shift, int ctrl, int held) {
            return has_optionkey() == alt && has_shiftkey() == shift && linkey_ctrl == ctrl &&
                   mnw.key_held == held;
        };
        xdo(std::string("keydown --window ") + window_id() + " " + c.key);
        EXPECT_TRUE(frames_until([&] { return state_is(c.alt, c.shift, c.ctrl, c.held); }));
        EXPECT_EQ(has_capslock(), 0);
        xdo(std::string("keyup --window ") + window_id() + " " + c.key);
        EXPECT_TRUE(frames_until([&] { return state_is(0, 0, 0, 0); }));
        EXPECT_EQ(has_capslock(), 0);
    }
}

TEST(EmptyHooks, ChangeNothing)
{
    std::vector<unsigned char> before(sizeof(mnw));
    std::memcpy(before.data(), &mnw, sizeof(mnw));
    const x11_struct x11_before = x11;
    const int done = app_done, alt = linkey_optn, shift = linkey_shft;
    IBM_turnoff();
    for (int key : {0, 13, 27, -1, 0x70, 1 << 20})
        function_key(key);
    make_shortcut();
    EXPECT_EQ(std::memcmp(before.data(), &mnw, sizeof(mnw)), 0);
    EXPECT_EQ(std::memcmp(&x11_before, &x11, sizeof(x11)), 0);
    EXPECT_EQ(app_done, done);
    EXPECT_EQ(linkey_optn, alt);
    EXPECT_EQ(linkey_shft, shift);
}
