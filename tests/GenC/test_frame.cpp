// The frame pass, X11 events and windows: real input through xdotool into a
// real window under a private X server.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenC/hl_events.h"
#include "GenC/hl_init.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "UTL/UTL_time.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

// Every ppoll of this test program comes here first (a definition in the
// program wins over the C library's) and goes on to the C library's; while a
// test watches, each call is recorded with the time it really took.
struct wait_call {
    int first_fd = -1;        // the first descriptor watched
    bool first_reads = false; // ... for input
    int result = 0;
    double waited_s = 0;
};
static std::vector<wait_call>* g_wait_calls = nullptr;

extern "C" int ppoll(struct pollfd* fds, nfds_t nfds, const struct timespec* timeout,
                     const sigset_t* sigmask)
{
    using ppoll_fn = int (*)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*);
    static const ppoll_fn libc_ppoll = reinterpret_cast<ppoll_fn>(dlsym(RTLD_NEXT, "ppoll"));
    std::vector<wait_call>* watch = g_wait_calls;
    if (!watch) return libc_ppoll(fds, nfds, timeout, sigmask);
    wait_call c;
    if (nfds > 0) {
        c.first_fd = fds[0].fd;
        c.first_reads = (fds[0].events & POLLIN) != 0;
    }
    timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    c.result = libc_ppoll(fds, nfds, timeout, sigmask);
    clock_gettime(CLOCK_MONOTONIC, &after);
    c.waited_s = (after.tv_sec - before.tv_sec) + (after.tv_nsec - before.tv_nsec) * 1e-9;
    watch->push_back(c);
    return c.result;
}

namespace
{
// What the application hook saw, frame by frame.
struct seen_state {
    int frames = 0;
    int presses = 0, releases = 0, keys = 0, returns = 0;
    float mouse_x = 0, mouse_y = 0;
} seen;

void record_frame()
{
    ++seen.frames;
    seen.presses += mnw.mouse_press;
    seen.releases += mnw.mouse_release;
    seen.keys += mnw.key_hit;
    seen.returns += return_hit;
    seen.mouse_x = mnw.mouse_x;
    seen.mouse_y = mnw.mouse_y;
}

void open_and_run_first_frame()
{
    xvfb_open_shell_window();
    seen = seen_state{};
    VOVARU_set_app_update_hook(record_frame);
    EXPECT_EQ(mnw.win_now, kWinNone);
    VOVARU_event_proc();
    EXPECT_EQ(mnw.win_now, kWinMain);
}

std::string window_id()
{
    return std::to_string(x11.window[0]);
}

// Queues one button or key event on the program's own window through the
// server, so that it arrives on the connection like device input and takes
// the same path through the frame pass. Used where a device cannot produce
// the case on demand (several events inside one frame, buttons above 5).
void send_event(int type, unsigned detail)
{
    XEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = type;
    long mask = 0;
    if (type == ButtonPress || type == ButtonRelease) {
        ev.xbutton.window = x11.window[0];
        ev.xbutton.root = DefaultRootWindow(x11.display);
        ev.xbutton.button = detail;
        ev.xbutton.same_screen = True;
        mask = type == ButtonPress ? ButtonPressMask : ButtonReleaseMask;
    } else {
        ev.xkey.window = x11.window[0];
        ev.xkey.root = DefaultRootWindow(x11.display);
        ev.xkey.keycode = detail;
        ev.xkey.same_screen = True;
        mask = type == KeyPress ? KeyPressMask : KeyReleaseMask;
    }
    ASSERT_NE(XSendEvent(x11.display, x11.window[0], False, mask, &ev), 0);
}

// After this the events sent so far wait in the connection's queue.
void sync_sent()
{
    XSync(x11.display, False);
}

// The pointer somewhere in the main window, and nothing else left queued.
void settle_pointer_at(int x, int y)
{
    xdo("mousemove --window " + window_id() + " " + std::to_string(x) + " " + std::to_string(y));
    ASSERT_TRUE(frames_until([&] { return mnw.mouse_x == x && mnw.mouse_y == 768 - y; }));
    sync_sent();
    VOVARU_event_proc();
}

// What the application hook saw in the last frame.
struct frame_flags {
    int press = -1, release = -1, key_hit = -1, wheel = 0, cursor_kind = -1, frame_count = -1;
    std::string tooltip;
} last;

void record_last()
{
    record_frame();
    last.press = mnw.mouse_press;
    last.release = mnw.mouse_release;
    last.key_hit = mnw.key_hit;
    last.wheel = mnw.wheel;
    last.cursor_kind = mnw.cursor_kind;
    last.frame_count = xtim.frame_count;
    last.tooltip = stls[kStlsTooltip];
}
} // namespace

TEST(WindowTable, SizesTitlesAndModality)
{
    struct {
        int id;
        float w, h;
        int slot;
        const char* title;
    } rows[] = {
        {1, 500, 300, -1, "EULA"},     {2, 600, 380, -1, "Prefs"},    {993, 561, 474, -1, "Livery"},
        {994, 600, 300, 613, nullptr}, {995, 420, 250, 601, nullptr}, {996, 300, 166, 602, nullptr},
        {997, 700, 146, 602, nullptr}, {998, 561, 474, 614, nullptr}, {999, 330, 474, 77, nullptr}};
    for (const auto& r : rows) {
        const win_spec s = VOVARU_window_spec(r.id);
        EXPECT_EQ(s.known, 1) << r.id;
        EXPECT_EQ(s.w, r.w) << r.id;
        EXPECT_EQ(s.h, r.h) << r.id;
        EXPECT_EQ(s.title_slot, r.slot) << r.id;
        if (r.title) {
            EXPECT_STREQ(s.title, r.title);
        }
    }
    for (int id : {-1, 0, 3, 992, 1000})
        EXPECT_EQ(VOVARU_window_spec(id).known, 0) << id;
}

TEST(WindowTable, CentringRoundsHalfAwayThenTruncates)
{
    EXPECT_EQ(VOVARU_centre_origin(1024, 561, 1), 232); // 231.5 -> 232
    EXPECT_EQ(VOVARU_centre_origin(768, 474, 1), 147);
    EXPECT_EQ(VOVARU_centre_origin(1024, 1024, 1), 0);
    EXPECT_EQ(VOVARU_centre_origin(768, 900, 1), 0); // larger than the drawable
}

TEST(WindowTable, TooltipHeights)
{
    const int cases[][2] = {{0, 60}, {249, 60}, {250, 70}, {1399, 290}, {1400, 300}, {5000, 300}};
    for (const auto& c : cases)
        EXPECT_EQ(VOVARU_tooltip_height(c[0]), c[1]) << c[0];
}

TEST(FrameWait, TimeoutByWindowAndSetting)
{
    // quiet: the application said nothing is under way; pulse: something
    // pulsing (a highlight, the caret) was drawn since the clock's last step;
    // due: something is due in that many microseconds (-1: nothing).
    struct {
        int win, max_cpu, quiet, pulse;
        long due, us;
    } cases[] = {
        {0, 0, 0, 0, -1, 16000},        {0, 1, 0, 0, -1, 0},       {995, 0, 0, 0, -1, 160000},
        {995, 1, 0, 0, -1, 160000},     {998, 1, 0, 0, -1, 0},     {0, 0, 1, 0, -1, 1000000},
        {0, 1, 1, 0, -1, 1000000},      {0, 0, 1, 1, -1, 16000},   {0, 1, 1, 1, -1, 0},
        {995, 0, 1, 0, -1, 160000},     {998, 0, 1, 0, -1, 16000}, {0, 0, 1, 0, 300000, 300000},
        {0, 0, 1, 0, 2000000, 1000000}, {0, 0, 1, 0, 0, 0},        {0, 0, 0, 0, 300000, 16000},
        {0, 0, 1, 1, 5000, 16000},      {995, 0, 1, 0, 0, 160000},
    };
    const int win = mnw.win_now, cpu = stg._use_max_cpu;
    for (const auto& c : cases) {
        mnw.win_now = c.win;
        stg._use_max_cpu = c.max_cpu;
        VOVARU_frame_told_reset();
        VOVARU_frame_quiet(c.quiet);
        VOVARU_frame_due(c.due);
        colr.pulse_drawn = c.pulse;
        EXPECT_EQ(VOVARU_frame_wait_us(), c.us)
            << c.win << " " << c.max_cpu << " " << c.quiet << " " << c.pulse << " " << c.due;
    }
    // The earliest of a frame's dues counts.
    VOVARU_frame_told_reset();
    mnw.win_now = kWinMain;
    stg._use_max_cpu = 0;
    colr.pulse_drawn = 0;
    VOVARU_frame_quiet(1);
    for (long due : {400000L, 250000L, -1L, 700000L})
        VOVARU_frame_due(due);
    EXPECT_EQ(VOVARU_frame_wait_us(), 250000);
    VOVARU_frame_told_reset();
    colr.pulse_drawn = 0;
    mnw.win_now = win;
    stg._use_max_cpu = cpu;
}

// The clock's step starts a frame with nothing pulsing drawn; drawing in a
// pulsing colour or the caret says so.
TEST(FrameWait, PulsingDrawingIsNoticed)
{
    VOVARU_register_shell(); // the clock's pulse reaches the colours, as at start-up
    colr.pulse_drawn = 1;
    xtim.xtim_update();
    EXPECT_EQ(colr.pulse_drawn, 0);
    float rgba[4];
    OGL_colour_for(kColrPulseFirst - 1, 1, rgba);
    EXPECT_EQ(colr.pulse_drawn, 0);
    OGL_colour_for(kColrPulseLast, 1, rgba);
    EXPECT_EQ(colr.pulse_drawn, 1);
}

TEST(Menus, ClearMakesTheTableOnlyWithOne)
{
    menu.clear();
    VOVARU_clear_menus(0);
    EXPECT_TRUE(menu.empty());
    VOVARU_clear_menus(1);
    ASSERT_EQ(menu.size(), 1520u);
    EXPECT_EQ(menu[1519].parent, -1);
    EXPECT_TRUE(menu[7].items.empty());
}

TEST(Menus, PopupPickHandsTheSelectionToTheWidget)
{
    VOVARU_clear_menus(1);
    mnw.win_now = kWinMain;
    menu_struct& pop = menu[kPopupSlot];
    for (int i = 0; i < 5; ++i) {
        item_struct it;
        it.text = i == 1 ? "-" : "choice";
        it.x1 = 100;
        it.x2 = 200;
        it.y1 = static_cast<short>(300 - 12 * i);
        it.y2 = static_cast<short>(it.y1 + 12);
        pop.items.push_back(it);
    }
    mnw.menu_open = kPopupSlot;
    active_popup_code = 4242;
    select_popup_code = 0;
    mnw.mouse_press = 1;
    mnw.mouse_x = 150;
    mnw.mouse_y = 300 - 36 + 1; // entry 3
    VOVARU_handleclick(0);
    EXPECT_EQ(popup_menu_select, 3);
    EXPECT_EQ(select_popup_code, 4242);
    EXPECT_EQ(active_popup_code, 0);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(mnw.mouse_press, 0);

    // A press on the separator closes without a pick and keeps the press.
    mnw.menu_open = kPopupSlot;
    active_popup_code = 7;
    mnw.mouse_press = 1;
    mnw.mouse_y = 300 - 12 + 1;
    VOVARU_handleclick(0);
    EXPECT_EQ(active_popup_code, 7);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(mnw.mouse_press, 1);
    menu.clear();
}

TEST(Frame, FirstPassStartsTheMainWindow)
{
    XVFB_TEST_BODY();
    xvfb_open_shell_window();
    EXPECT_EQ(mnw.win_now, kWinNone);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(plot_init_lights, 1);
    seen = seen_state{};
    VOVARU_set_app_update_hook(record_frame);
    VOVARU_event_proc();
    EXPECT_EQ(mnw.win_now, kWinMain);
    EXPECT_EQ(mnw.win_x, 0);
    EXPECT_EQ(mnw.win_w, 1024);
    EXPECT_EQ(mnw.win_h, 768);
    EXPECT_EQ(seen.frames, 1);
    EXPECT_EQ(xtim.first_frame, 0);
    const int counted = xtim.frame_count;
    VOVARU_event_proc();
    EXPECT_EQ(xtim.frame_count, counted + 1);
}

namespace
{
// How long the frame pass's wait on the X connection really slept, in a pass
// in which no input arrived (its wait timed out); -1 when every try was
// woken by input.
double quiet_frame_wait()
{
    const int fd = ConnectionNumber(x11.display);
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::vector<wait_call> calls;
        g_wait_calls = &calls;
        VOVARU_event_proc();
        g_wait_calls = nullptr;
        for (const wait_call& c : calls) {
            if (c.first_fd != fd || !c.first_reads) continue;
            if (c.result == 0) return c.waited_s;
        }
    }
    return -1;
}
} // namespace

// The real wait of the frame pass, measured around it: at least the idle
// frame time normally, none with _use_max_cpu, and the long alert wait while
// an alert is open (which wins over _use_max_cpu). Only the lower bounds the
// wait guarantees and the order of the cases are asserted.
TEST(Frame, SelectWaitsAsTheStateAsks)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    XSync(x11.display, False);

    const double normal = quiet_frame_wait();
    EXPECT_GE(normal, 0.016);

    stg._use_max_cpu = 1;
    const double max_cpu = quiet_frame_wait();
    EXPECT_GE(max_cpu, 0.0);
    EXPECT_LT(max_cpu, normal);

    VOVARU_startwind(kWinAlert, 0);
    const double alert = quiet_frame_wait();
    EXPECT_GE(alert, 0.160);
    EXPECT_GT(alert, normal);

    stg._use_max_cpu = 0;
    VOVARU_startwind(kWinMain, 0);
    EXPECT_GE(quiet_frame_wait(), 0.016);
}

TEST(Frame, ModalWindowSkipsTheApplication)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    VOVARU_startwind(kWinPicker, 0);
    EXPECT_EQ(mnw.modal, 1);
    EXPECT_EQ(mnw.win_x, 232);
    EXPECT_EQ(mnw.win_y, 147);
    xtim.first_frame = 1;
    const int before = seen.frames;
    VOVARU_event_proc();
    VOVARU_event_proc();
    EXPECT_EQ(seen.frames, before);
    EXPECT_EQ(xtim.first_frame, 1);
    VOVARU_startwind(kWinMain, 0);
    EXPECT_EQ(mnw.modal, 0);
    VOVARU_event_proc();
    EXPECT_EQ(seen.frames, before + 1);
}

TEST(Events, PointerMovesAndClicksReachTheRecord)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    const std::string w = window_id();
    xdo("mousemove --window " + w + " 300 200");
    // X pixel (300, 200) from the top-left is (300, 768 - 200) in window units.
    ASSERT_TRUE(frames_until([] { return seen.mouse_x == 300 && seen.mouse_y == 568; }))
        << seen.mouse_x << "," << seen.mouse_y;

    seen.presses = seen.releases = 0;
    xdo("click --window " + w + " 1");
    ASSERT_TRUE(frames_until([] { return seen.releases > 0; }));
    EXPECT_EQ(seen.presses, 1);
    // The next pass clears both.
    VOVARU_event_proc();
    EXPECT_EQ(mnw.mouse_press, 0);
    EXPECT_EQ(mnw.mouse_release, 0);

    // Inside a centred sub-window the position is relative to its corner.
    VOVARU_startwind(kWinPicker, 0);
    xdo("mousemove --window " + w + " 300 201");
    ASSERT_TRUE(frames_until([] { return mnw.mouse_x == 300 - 232 && mnw.mouse_y == 567 - 147; }))
        << mnw.mouse_x << "," << mnw.mouse_y;
}

TEST(Events, WheelChangesOnlyTheWheel)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    const std::string w = window_id();
    xdo("mousemove --window " + w + " 100 100");
    seen.presses = seen.releases = 0;
    xdo("click --window " + w + " --repeat 3 4");
    xdo("click --window " + w + " 5");
    ASSERT_TRUE(frames_until([] { return mnw.wheel == 2; }));
    EXPECT_EQ(seen.presses, 0);
    EXPECT_EQ(seen.releases, 0);
    // A window start uses up the wheel steps.
    VOVARU_startwind(kWinMain, 0);
    EXPECT_EQ(mnw.wheel, 0);
}

TEST(Events, KeysModifiersAndReturn)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    const std::string w = window_id();
    xdo("mousemove --window " + w + " 100 100");

    xdo("keydown --window " + w + " Shift_L");
    ASSERT_TRUE(frames_until([] { return linkey_shft == 1; }));
    EXPECT_EQ(seen.keys, 0); // a modifier is not a key hit
    xdo("keyup --window " + w + " Shift_L");
    ASSERT_TRUE(frames_until([] { return linkey_shft == 0; }));

    xdo("key --window " + w + " a");
    ASSERT_TRUE(frames_until([] { return seen.keys > 0; }));
    EXPECT_EQ(seen.returns, 0);

    xdo("key --window " + w + " Return");
    ASSERT_TRUE(frames_until([] { return seen.returns > 0; }));
    // return_hit lasts one frame.
    VOVARU_event_proc();
    EXPECT_EQ(return_hit, 0);
}

TEST(Events, ReturnClosesAModalWindowToTheMainOne)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    const std::string w = window_id();
    xdo("mousemove --window " + w + " 100 100");
    VOVARU_startwind(kWinLicence, 0);
    ASSERT_EQ(stls[kStlsWindowTitle], "EULA");
    xdo("key --window " + w + " Return");
    ASSERT_TRUE(frames_until([] { return mnw.win_now == kWinMain; }));
    EXPECT_EQ(return_hit, 0);
    EXPECT_EQ(mnw.modal, 0);
    // The main window keeps the title of the window before it.
    EXPECT_EQ(stls[kStlsWindowTitle], "EULA");
}

TEST(Events, CloseBoxOfASubWindow)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    VOVARU_startwind(kWinPrefs, 0); // 600 x 380 at (212, 194)
    ASSERT_EQ(mnw.win_x, 212);
    ASSERT_EQ(mnw.win_y, 194);
    // Top-right corner box: window units (590, 375) -> X pixel (802, 768-569).
    xdo("mousemove --window " + window_id() + " 802 199 click 1");
    ASSERT_TRUE(frames_until([] { return mnw.win_now == kWinMain; }));
}

TEST(Events, AlertWindowIgnoresCornerPresses)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    VOVARU_startwind(kWinAlert, 0);
    mnw.mouse_x = mnw.win_w - 5;
    mnw.mouse_y = mnw.win_h - 5;
    VOVARU_handleclick(0);
    EXPECT_EQ(mnw.win_now, kWinAlert);
    VOVARU_handleclick(1); // Return: windows 995..999 have no close rule
    EXPECT_EQ(mnw.win_now, kWinAlert);
}

TEST(Windows, StartClearsInputAndMenus)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    mnw.mouse_press = mnw.mouse_held = 1;
    mnw.wheel = 3;
    mnw.menu_open = kPopupSlot;
    menu[kPopupSlot].x1 = 5;
    VOVARU_startwind(kWinQuestion, 0);
    EXPECT_EQ(mnw.mouse_press, 0);
    EXPECT_EQ(mnw.mouse_held, 0);
    EXPECT_EQ(mnw.wheel, 0);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(menu[kPopupSlot].x1, -1);
    EXPECT_EQ(menu[kPopupSlot].y2, -1);
    EXPECT_EQ(mnw.win_w, 700);
    EXPECT_EQ(mnw.win_x, 162);
    EXPECT_EQ(mnw.win_y, 311);
}

TEST(Windows, IdlePointerHidesOnlyInTheMainWindow)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    mnw.mouse_time = xtim.real_secs - 11;
    mnw.cursor_kind = 0;
    mouse_help_per_wind(kWinMain);
    EXPECT_EQ(mnw.cursor_kind, 2);
    mnw.cursor_kind = 5;
    mouse_help_per_wind(kWinPicker);
    EXPECT_EQ(mnw.cursor_kind, 0);
    // Exactly 10 s is not yet idle.
    mnw.mouse_time = xtim.real_secs - 10;
    mnw.cursor_kind = 0;
    mouse_help_per_wind(kWinMain);
    EXPECT_EQ(mnw.cursor_kind, 0);
}

TEST(Windows, TooltipIsEmptiedEveryCall)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    stls[kStlsTooltip] = "help text";
    mnw.mouse_time = xtim.real_secs; // just moved: not drawn
    mouse_help_per_wind(kWinMain);
    EXPECT_TRUE(stls[kStlsTooltip].empty());
}

// The main window waits long for input while nothing goes on, but what the
// pointer's rest brings (the tooltip after 1 s, the hidden pointer after
// 10 s) cuts that wait to its time.
TEST(Windows, RestingPointerCutsTheQuietWait)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    struct {
        const char* tip;
        float rested;
        long lo, hi; // the wait's bounds, microseconds
    } cases[] = {
        {"help text", 0.25f, 740000, 760000},
        {"", 0.25f, kWaitQuietUs, kWaitQuietUs},
        {"", 9.5f, 490000, 510000},
        {"help text", 5.0f, kWaitQuietUs, kWaitQuietUs}, // shown already
        {"", 11.0f, kWaitQuietUs, kWaitQuietUs},         // hidden already
    };
    for (const auto& c : cases) {
        VOVARU_frame_told_reset();
        VOVARU_frame_quiet(1);
        stls[kStlsTooltip] = c.tip;
        mnw.mouse_time = xtim.real_secs - c.rested;
        mouse_help_per_wind(kWinMain);
        const long us = VOVARU_frame_wait_us();
        EXPECT_GE(us, c.lo) << c.tip << " " << c.rested;
        EXPECT_LE(us, c.hi) << c.tip << " " << c.rested;
    }
    VOVARU_frame_told_reset();
    mnw.mouse_time = xtim.real_secs;
}

TEST(Events, ButtonRulesWithinOneFrame)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    settle_pointer_at(500, 400);
    VOVARU_set_app_update_hook(record_last);
    struct {
        const char* what;
        std::vector<std::pair<int, unsigned>> events;
        int press, release, wheel;
    } cases[] = {
        {"press and release of button 1", {{ButtonPress, 1}, {ButtonRelease, 1}}, 1, 1, 0},
        {"press of button 2", {{ButtonPress, 2}}, 1, 0, 0},
        {"release of button 3", {{ButtonRelease, 3}}, 0, 1, 0},
        {"two wheel steps up",
         {{ButtonPress, 4}, {ButtonRelease, 4}, {ButtonPress, 4}, {ButtonRelease, 4}},
         0,
         0,
         2},
        {"one wheel step down", {{ButtonPress, 5}, {ButtonRelease, 5}}, 0, 0, -1},
        {"buttons 6 to 9",
         {{ButtonPress, 6},
          {ButtonRelease, 6},
          {ButtonPress, 7},
          {ButtonRelease, 7},
          {ButtonPress, 8},
          {ButtonRelease, 8},
          {ButtonPress, 9},
          {ButtonRelease, 9}},
         0,
         0,
         0},
    };
    for (const auto& c : cases) {
        mnw.wheel = 0;
        for (const auto& e : c.events)
            send_event(e.first, e.second);
        sync_sent();
        VOVARU_event_proc();
        EXPECT_EQ(last.press, c.press) << c.what;
        EXPECT_EQ(last.release, c.release) << c.what;
        EXPECT_EQ(last.wheel, c.wheel) << c.what;
        EXPECT_EQ(mnw.menu_open, kNoMenu) << c.what;
        // The next pass clears the one-frame flags; the wheel steps stay.
        VOVARU_event_proc();
        EXPECT_EQ(last.press, 0) << c.what;
        EXPECT_EQ(last.release, 0) << c.what;
        EXPECT_EQ(last.wheel, c.wheel) << c.what;
    }
}

TEST(Events, ModifierAndIgnoredKeysAreNoKeyHit)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    settle_pointer_at(500, 400);
    VOVARU_set_app_update_hook(record_last);
    struct {
        KeySym sym;
        int key_hit, shift, ctrl, alt;
    } cases[] = {
        {XK_Shift_R, 0, 1, 0, 0}, {XK_Control_L, 0, 0, 1, 0}, {XK_Alt_L, 0, 0, 0, 1},
        {XK_Super_L, 0, 0, 0, 0}, {XK_Menu, 0, 0, 0, 0},      {XK_b, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const KeyCode code = XKeysymToKeycode(x11.display, c.sym);
        if (!code) continue; // not in this server's keymap
        send_event(KeyPress, code);
        sync_sent();
        VOVARU_event_proc();
        EXPECT_EQ(last.key_hit, c.key_hit) << XKeysymToString(c.sym);
        EXPECT_EQ(linkey_shft, c.shift) << XKeysymToString(c.sym);
        EXPECT_EQ(linkey_ctrl, c.ctrl) << XKeysymToString(c.sym);
        EXPECT_EQ(linkey_optn, c.alt) << XKeysymToString(c.sym);
        send_event(KeyRelease, code);
        sync_sent();
        VOVARU_event_proc();
        EXPECT_EQ(last.key_hit, 0) << XKeysymToString(c.sym);
        EXPECT_EQ(linkey_shft + linkey_ctrl + linkey_optn, 0) << XKeysymToString(c.sym);
    }
}

TEST(Frame, PassOrderAroundTheApplication)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    VOVARU_set_app_update_hook(record_last);
    // Long idle in the main window: the pointer help at the end of each pass
    // asks for the hidden pointer...
    mnw.mouse_time = xtim.real_secs - 60;
    VOVARU_event_proc();
    EXPECT_EQ(mnw.cursor_kind, 2);
    // ...and the next pass resets the look before the application runs, and
    // counts the frame only after it.
    stls[kStlsTooltip] = "";
    const int frames = xtim.frame_count;
    VOVARU_set_app_update_hook([] {
        record_last();
        stls[kStlsTooltip] = "set by a widget";
    });
    VOVARU_event_proc();
    EXPECT_EQ(last.cursor_kind, 0);
    EXPECT_EQ(last.frame_count, frames);
    EXPECT_EQ(xtim.frame_count, frames + 1);
    EXPECT_EQ(mnw.cursor_kind, 2);
    // The tooltip set during the application's work was used up in the same pass.
    EXPECT_TRUE(stls[kStlsTooltip].empty());
}

TEST(Windows, TooltipStaysInsideTheDrawable)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    colr.assign(kColBackground, 0, 0, 0);
    // The tooltip's panel (type 14) covers its box with opaque art; the
    // shadow in its margins is black, so outside the box stays black.
    auto rgb_at = [](int x, int y) {
        unsigned char p[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    };
    const std::string black = "0,0,0";
    auto tooltip_at = [](int win, float mx, float my, float idle) {
        OGL_plot_back_col();
        mnw.mouse_x = mx;
        mnw.mouse_y = my;
        xtim.real_secs = 100;
        mnw.mouse_time = 100 - idle;
        stls[kStlsTooltip] = "short help"; // 60 units of text, an 80 high box
        mouse_help_per_wind(win);
    };

    // Near the top-left corner: left edge on the drawable's edge, top 10
    // units below the drawable's top.
    tooltip_at(kWinMain, 5, 760, 2);
    EXPECT_NE(rgb_at(0, 700), black);
    EXPECT_NE(rgb_at(419, 700), black);
    EXPECT_EQ(rgb_at(420, 700), black);
    EXPECT_NE(rgb_at(5, 757), black);
    EXPECT_EQ(rgb_at(5, 758), black);
    EXPECT_NE(rgb_at(5, 678), black);
    EXPECT_EQ(rgb_at(5, 677), black);

    // Elsewhere: to the left of the pointer and above it.
    tooltip_at(kWinMain, 1020, 2, 2);
    EXPECT_EQ(rgb_at(594, 30), black);
    EXPECT_NE(rgb_at(595, 30), black);
    EXPECT_NE(rgb_at(1014, 30), black);
    EXPECT_EQ(rgb_at(1015, 30), black);
    EXPECT_NE(rgb_at(700, 7), black);
    EXPECT_EQ(rgb_at(700, 6), black);

    // In a sub-window the bounds are those of the drawable, not the window.
    VOVARU_startwind(kWinPicker, 0); // origin (232, 147)
    tooltip_at(kWinPicker, -200, 300, 2);
    EXPECT_NE(rgb_at(0, 500), black);
    EXPECT_NE(rgb_at(419, 500), black);
    EXPECT_EQ(rgb_at(420, 500), black);
    VOVARU_startwind(kWinMain, 0);

    // Exactly 1 s of rest is not enough, and the text is gone afterwards.
    tooltip_at(kWinMain, 1020, 2, 1);
    EXPECT_EQ(rgb_at(700, 30), black);
    EXPECT_TRUE(stls[kStlsTooltip].empty());
}

// Frames run by the frame pass, as the X server shows them: the application's
// drawing, then the tooltip and the pointer sprite on top. With
// ZUDEZUD_SHOTS_DIR set the screen is also saved there.
TEST(Frame, FramePassScreenshot)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_and_run_first_frame();
    colr.assign(34, 0.15f, 0.2f, 0.3f);  // background
    colr.assign(35, 0.3f, 0.35f, 0.45f); // tooltip panel
    colr.assign(38, 0.8f, 0.8f, 0.9f);   // its edge
    colr.assign(47, 1, 1, 1);            // tooltip text
    colr.assign(49, 1, 1, 1);            // pointer sprite
    VOVARU_set_app_update_hook([] {
        OGL_plot_back_col();
        for (int i = 0; i < 6; ++i) {
            colr.assign(60 + i, i / 5.0f, 0.6f, 1 - i / 5.0f);
            OGL_fillrect(60 + i, 1, 60 + i * 150, 80, 120, 120);
        }
        stls[kStlsTooltip] = "A tooltip drawn by the frame pass after the application's work.";
        mnw.cursor_kind = 3; // a pointer sprite from the atlas
    });
    mnw.mouse_x = 600;
    mnw.mouse_y = 400;
    for (int i = 0; i < 2; ++i) {
        mnw.mouse_time = xtim.real_secs - 3;
        VOVARU_event_proc();
    }
    const ShownPixels shown = xvfb_shown_frame("window_frame_pass.png");
    ASSERT_EQ(shown.w, 1024);
    ASSERT_EQ(shown.h, 768);

    // The application's squares on the background.
    EXPECT_TRUE(shown_is(shown, 30, 700, 38, 51, 77));
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const int r = static_cast<int>(i / 5.0f * 255 + 0.5f), b = 255 - r;
        EXPECT_TRUE(shown_is(shown, 120 + i * 150, 140, r, 153, b));
        EXPECT_TRUE(shown_is(shown, 61 + i * 150, 81, r, 153, b));
        EXPECT_TRUE(shown_is(shown, 178 + i * 150, 198, r, 153, b));
        EXPECT_TRUE(shown_is(shown, 181 + i * 150, 140, 38, 51, 77)); // just beyond
    }
    // The tooltip: 415 units left of the pointer and 15 above, an 80-high
    // panel (its text needs a 60-unit box) from (175, 405) to (594, 484): the
    // panel covers the box and ends within its artwork's margins, with white
    // text in it.
    EXPECT_EQ(shown_count(shown, 176, 406, 594, 484, 38, 51, 77, 3), 0);
    EXPECT_TRUE(shown_is(shown, 160, 440, 38, 51, 77));
    EXPECT_TRUE(shown_is(shown, 610, 440, 38, 51, 77));
    EXPECT_TRUE(shown_is(shown, 300, 495, 38, 51, 77));
    EXPECT_TRUE(shown_is(shown, 300, 385, 38, 51, 77));
    EXPECT_GT(shown_count(shown, 180, 440, 590, 480, 255, 255, 255, 30), 50);
    // The pointer sprite: the atlas cell at texels (200, 325) drawn 1:1 with
    // its centre on the pointer; its opaque texels show as they are.
    const std::vector<unsigned char> atlas = built_in_atlas_pixels();
    ASSERT_EQ(atlas.size(), 512u * 512u * 4u);
    int opaque = 0;
    for (int j = 0; j < 30; ++j)
        for (int i = 0; i < 30; ++i) {
            const unsigned char* t = &atlas[4 * (512 * (325 + j) + 200 + i)];
            if (t[3] != 255) continue;
            ++opaque;
            EXPECT_TRUE(shown_is(shown, 585 + i, 385 + j, t[0], t[1], t[2]))
                << "texel " << 200 + i << "," << 325 + j;
        }
    EXPECT_GT(opaque, 10);
}

TEST(Events, VisibilityDestroyAndUnknownEvents)
{
    XVFB_TEST_BODY();
    open_and_run_first_frame();
    settle_pointer_at(500, 400);
    VOVARU_set_app_update_hook(record_last);
    auto send_other = [](int type, long mask) {
        XEvent ev;
        std::memset(&ev, 0, sizeof(ev));
        ev.type = type;
        ev.xany.window = x11.window[0];
        if (type == ClientMessage) ev.xclient.format = 32;
        XSendEvent(x11.display, x11.window[0], False, mask, &ev);
        sync_sent();
    };

    // Obscured or uncovered: the current window starts again, dropping the
    // half-finished drag, the wheel steps and the open menu.
    VOVARU_startwind(kWinPicker, 0);
    mnw.mouse_held = 1;
    mnw.wheel = 3;
    mnw.menu_open = kPopupSlot;
    send_other(VisibilityNotify, VisibilityChangeMask);
    VOVARU_event_proc();
    EXPECT_EQ(mnw.win_now, kWinPicker);
    EXPECT_EQ(mnw.wheel, 0);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(mnw.mouse_held, 0);

    // The X window destroyed: the main window becomes current.
    send_other(DestroyNotify, StructureNotifyMask);
    VOVARU_event_proc();
    EXPECT_EQ(mnw.win_now, kWinMain);

    // Anything else is reported on standard output and dropped.
    testing::internal::CaptureStdout();
    send_other(ClientMessage, NoEventMask);
    VOVARU_event_proc();
    std::fflush(stdout);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("LINUX: X11 threw me something different, and I don't know how to handle "
                       "it. Email "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" with this message and what you were doing. Event ---> 33\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find(".com"), std::string::npos) << out; // no real organisation's address
}
