// Number fields with real input under a private X server: xdotool clicks and
// types into the program's window, and the shell's frame pass carries the
// events through the keyboard handler and the focus ring to the fields.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <string>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/keys.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
// The main window's fields: A and B side by side, C below them; every one
// 5 digits over 0 .. 99999.
constexpr float kAx = 100, kAy = 500, kBx = 300, kBy = 500, kCx = 100, kCy = 400;
int a = 0, b = 0, c = 0;
int draw_b = 1;
int changes = 0;
std::string tip_seen;
int cursor_seen = 0;

void main_frame()
{
    changes += BTN_int_range(kAx, kAy, &a, 5, 0, 99999, "A{ the first field");
    if (draw_b) changes += BTN_int_range(kBx, kBy, &b, 5, 0, 99999, "B");
    changes += BTN_int_range(kCx, kCy, &c, 5, 0, 99999, "C");
    tip_seen = stls[kStlsTooltip];
    cursor_seen = mnw.cursor_kind;
}

void open_window()
{
    xvfb_open_shell_window();
    a = b = c = changes = 0;
    draw_b = 1;
    VOVARU_set_app_update_hook(main_frame);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
    keys = keys_class{};
}

std::string window_id()
{
    return std::to_string(x11.window[0]);
}

// The X position of a point of the current window.
std::string x_at(float x, float y)
{
    return std::to_string(int(mnw.win_x + x)) + " " +
           std::to_string(int(mnw.res_y - (mnw.win_y + y)));
}

void move_to(float x, float y)
{
    xdo("mousemove --window " + window_id() + " " + x_at(x, y));
}

void click(float x, float y)
{
    xdo("mousemove --window " + window_id() + " " + x_at(x, y) + " click 1");
}

void type_keys(const std::string& names)
{
    xdo("key --window " + window_id() + " " + names);
}

int key_of(float x, float y)
{
    return BTN_field_key(x, y);
}

// Until this many events wait in the connection: keys sent while no frame
// runs then arrive in one batch, as fast typing does.
bool events_waiting(int n)
{
    for (int i = 0; i < 400; ++i) {
        if (XPending(x11.display) >= n) return true;
        usleep(5000);
    }
    return false;
}

void drain_events()
{
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    ASSERT_TRUE(frames_until([] { return XPending(x11.display) == 0; }));
}
} // namespace

TEST(NumberInput, RealClicksAndTypedKeysEditAField)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_window();
    // Digit 2's up arrow (column 120 .. 130, above y + 3), then digit 4's
    // down arrow.
    click(kAx + 25, kAy + 15);
    ASSERT_TRUE(frames_until([] { return a == 100; })) << a;
    click(kAx + 45, kAy - 10);
    ASSERT_TRUE(frames_until([] { return a == 99; })) << a;
    EXPECT_EQ(focus_ring.focused, 0); // arrows do not focus

    // Pointer look over the arrows, tooltip over the digits.
    move_to(kAx + 25, kAy + 15);
    EXPECT_TRUE(frames_until([] { return cursor_seen == 13; }));
    move_to(kAx + 25, kAy - 10);
    EXPECT_TRUE(frames_until([] { return cursor_seen == 14; }));
    move_to(kAx + 25, kAy + 3);
    EXPECT_TRUE(frames_until([] { return cursor_seen == 0 && tip_seen == "the first field"; }));

    // A click on digit 1 focuses the field with that digit hot; a typed
    // digit replaces it and the next one is hot for Up.
    click(kAx + 15, kAy + 3);
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kAx, kAy); }));
    EXPECT_EQ(a, 99);
    type_keys("7 Up");
    ASSERT_TRUE(frames_until([] { return a == 7199; })) << a;
    // Keypad digits count (digit 2 is hot now); letters go on to the
    // keyboard layer.
    type_keys("KP_3");
    ASSERT_TRUE(frames_until([] { return a == 7399; })) << a;
    mnw.key_char = 0;
    type_keys("x");
    ASSERT_TRUE(frames_until([] { return mnw.key_char == 'x'; }));
    EXPECT_EQ(a, 7399);
    type_keys("minus");
    ASSERT_TRUE(frames_until([] { return a == 0; })) << a; // -7399 clamps to 0
    EXPECT_EQ(focus_ring.focused, key_of(kAx, kAy));

    // A click elsewhere drops the focus: typed digits no longer reach it.
    click(700, 100);
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == 0; }));
    mnw.key_char = 0;
    type_keys("5");
    ASSERT_TRUE(frames_until([] { return mnw.key_char == '5'; }));
    EXPECT_EQ(a, 0);
}

TEST(NumberInput, TabCyclesTheFieldsAndAStaleEntryIsDropped)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_window();
    // Drawing order A, B, C. Digit 0 of A is clicked, so digit 0 stays hot
    // for the fields Tab reaches.
    click(kAx + 5, kAy + 3);
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kAx, kAy); }));
    type_keys("Tab");
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kBx, kBy); }));
    type_keys("4");
    ASSERT_TRUE(frames_until([] { return b == 40000; })) << b;
    type_keys("Tab");
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kCx, kCy); }));
    type_keys("Tab");
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kAx, kAy); }));
    type_keys("shift+Tab"); // from the first back to the last
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kCx, kCy); }));
    type_keys("shift+Tab");
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kBx, kBy); }));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, 0);

    // B is focused with digit 1 hot. A '9' arrives in a frame that does not
    // draw B: queued for it, it must be gone before B is drawn again.
    drain_events();
    type_keys("9");
    ASSERT_TRUE(events_waiting(2));
    draw_b = 0;
    mnw.key_char = 0;
    VOVARU_event_proc();
    EXPECT_EQ(mnw.key_char, 0); // the field's queue took it
    draw_b = 1;
    VOVARU_event_proc();
    EXPECT_EQ(focus_ring.focused, key_of(kBx, kBy));
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(b, 40000);

    // While B is not drawn, the next key finds no focused field: the focus
    // goes and the key reaches the keyboard layer.
    draw_b = 0;
    VOVARU_event_proc();
    type_keys("8");
    ASSERT_TRUE(frames_until([] { return mnw.key_char == '8'; }));
    EXPECT_EQ(focus_ring.focused, 0);
    draw_b = 1;
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(b, 40000);
}

// A digit and Return typed in one batch: the digit is queued for the
// sub-window's field, and Return closes the window once the field has taken
// it. Nothing of it may stay in the number fields' queue: all of 100 keys
// typed into a field of the main window afterwards arrive.
TEST(NumberInput, KeysAfterASubWindowClosedOnADigitAndReturnAllArrive)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_window();
    static int s = 0;
    VOVARU_startwind(kWinPrefs, 0);
    auto prefs_frame = [] {
        if (mnw.win_now == kWinPrefs) BTN_int_range(50, 100, &s, 5, 0, 99999, "S");
        VOVARU_event_proc();
    };
    prefs_frame();
    click(55, 103);
    for (int i = 0; i < 400 && focus_ring.focused != key_of(50, 100); ++i)
        prefs_frame();
    ASSERT_EQ(focus_ring.focused, key_of(50, 100));

    for (int i = 0; i < 400 && XPending(x11.display) > 0; ++i)
        prefs_frame();
    ASSERT_EQ(XPending(x11.display), 0);
    type_keys("5 Return");
    ASSERT_TRUE(events_waiting(4));
    for (int i = 0; i < 3 && mnw.win_now == kWinPrefs; ++i)
        prefs_frame();
    EXPECT_EQ(mnw.win_now, kWinMain);
    EXPECT_NE(s, 0); // the digit reached its field before the window closed

    // The main window: focus A's digit 0, then 49 digits (hot digit 4 after
    // them) and 51 Ups on the units. The digits written last to digits 0..4
    // are 6, 7, 8, 9 and 5: 67895, then + 51.
    click(kAx + 5, kAy + 3);
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == key_of(kAx, kAy); }));
    std::string names;
    for (int i = 0; i < 49; ++i)
        names += std::to_string((i + 1) % 10) + " ";
    for (int i = 0; i < 51; ++i)
        names += "Up ";
    const XvfbResult r = run_capture("(xdotool key --window " + window_id() + " --delay 25 " +
                                     names + ") >/dev/null 2>&1 &");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(frames_until([] { return a == 67946; }, 5000)) << a;
    for (int i = 0; i < 10; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(a, 67946);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
}
