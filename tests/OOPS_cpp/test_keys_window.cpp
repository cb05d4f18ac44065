// The key-assignment window in a real window under Xvfb: rows picked with
// the mouse, keys pressed for real (xdotool), commands chosen from the tree.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <utility>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "support/cmnd_fixture.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
int cmd_forward, cmd_left, cmd_com1;

void draw_keys_window()
{
    OGL_plot_back_col();
    keys.keys_wind();
}

// The main window filling a 1024 x 768 screen, showing the key window, with
// three commands besides the built-in one.
void open_keys_window(std::vector<key_binding> bindings)
{
    xvfb_open_shell_window();
    cmd_forward = cmnd.add_cmd("sim/views/forward", "Look ahead");
    cmd_left = cmnd.add_cmd("sim/views/left", "Look left");
    cmd_com1 = cmnd.add_cmd("sim/radios/com1", "First radio");
    keys.bindings = std::move(bindings);
    keys.k_change = -1;
    keys.k_cen = 0;
    VOVARU_set_app_update_hook(draw_keys_window);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
    ASSERT_EQ(mnw.win_h, 768);
}

std::string window_id()
{
    return std::to_string(x11.window[0]);
}

// A click at window units (x, y): X counts y down from the top.
void click(float x, float y)
{
    xdo("mousemove --window " + window_id() + " " + std::to_string(int(x)) + " " +
        std::to_string(768 - int(y)) + " click 1");
}

// The centre of the row button for binding r places below the top row.
constexpr float kRowX = 88;
float row_y(int r)
{
    return 689 - 20.0f * r;
}

// Check boxes of the group list (x 438) and the command list (x 632), as
// the panels lay them out in a 1024-wide window.
constexpr float kGroupX = 438, kCommandX = 632;
float box_y(int j)
{
    return 685 - 15.0f * j + 3;
}

// The shown pixel at window units (x, y), after the last frame pass.
std::vector<unsigned char> shown_px(float x, float y)
{
    glFinish();
    const ShownPixels s = xvfb_read_shell_window();
    const unsigned char* p = s.at(int(x), int(y));
    return {p[0], p[1], p[2]};
}
} // namespace

TEST(KeysWindow, ShiftF5GoesToTheSelectedRowAndLeavesTheOther)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_keys_window({});
    keys.bindings = {{0, 0, 0, 0},
                     {ZYNT_VK_F5, kKeyFlagShift, cmd_forward, 0},
                     {ZYNT_VK_B, 0, cmd_left, 0},
                     {ZYNT_VK_A, 0, cmd_com1, 1}, // held: its key is down
                     {ZYNT_VK_F5, 0, cmd_left, 0}};
    cmnd_hook_log hooks;

    click(kRowX, row_y(3));
    ASSERT_TRUE(frames_until([] { return keys.k_change == 3; }));
    xdo("keydown --window " + window_id() + " shift+F5");
    ASSERT_TRUE(frames_until([] { return keys.bindings[3].vkey == ZYNT_VK_F5; }));
    xdo("keyup --window " + window_id() + " shift+F5");
    ASSERT_TRUE(frames_until([] { return !mnw.key_held; }));
    EXPECT_EQ(keys.bindings[3].flags, kKeyFlagShift);
    EXPECT_EQ(keys.bindings[3].command, cmd_com1);
    // The row that had Shift+F5 has no key now; F5 alone is another key.
    EXPECT_EQ(keys.bindings[1].vkey, 0);
    EXPECT_EQ(keys.bindings[1].flags, 0);
    EXPECT_EQ(keys.bindings[4].vkey, ZYNT_VK_F5);
    EXPECT_EQ(keys.bindings[2].vkey, ZYNT_VK_B);

    // Shift+F5 fired row 1 before the window took the key; both re-keyed
    // rows were released then, so nothing repeats.
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(hooks.count(kCmndHookPressOne), 1);
    EXPECT_EQ(hooks.count(kCmndHookReleaseOne), 2);
    for (const key_binding& b : keys.bindings)
        EXPECT_EQ(b.down, 0);
    hooks.calls.clear();
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_TRUE(hooks.calls.empty());

    // The window as shown, row 3 selected with its new key.
    const ShownPixels shown = xvfb_shown_frame("keys_window.png");
    ASSERT_EQ(shown.w, 1024);
}

TEST(KeysWindow, CommandsComeFromTheTreeAndASecondClickDeselects)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_keys_window({});
    keys.bindings = {{ZYNT_VK_F1, 0, cmd_forward, 0}, {ZYNT_VK_F2, kKeyFlagControl, 0, 0}};
    click(kRowX, row_y(0));
    ASSERT_TRUE(frames_until([] { return keys.k_change == 0; }));

    // Groups under "sim/": operation/, radios/, views/; commands of views/:
    // forward, left.
    click(kCommandX, box_y(1));
    ASSERT_TRUE(frames_until([] { return keys.bindings[0].command == cmd_left; }));
    click(kGroupX, box_y(1)); // radios/: its first command at once
    ASSERT_TRUE(frames_until([] { return keys.bindings[0].command == cmd_com1; }));
    click(kGroupX, box_y(0)); // operation/
    ASSERT_TRUE(frames_until([] { return keys.bindings[0].command == kCmndNone; }));
    click(kGroupX, box_y(2)); // views/
    ASSERT_TRUE(frames_until([] { return keys.bindings[0].command == cmd_forward; }));
    EXPECT_EQ(keys.bindings[0].vkey, ZYNT_VK_F1);
    VOVARU_event_proc(); // the click's frame drew the panels before the pick
    const ShownPixels shown = xvfb_shown_frame("keys_window_tree.png");
    ASSERT_EQ(shown.w, 1024);

    // Clicking the selected row again selects nothing: no tree is drawn.
    click(kRowX, row_y(0));
    ASSERT_TRUE(frames_until([] { return keys.k_change == -1; }));
    const std::vector<unsigned char> before = shown_px(kCommandX, box_y(0));
    click(kCommandX, box_y(1));
    for (int i = 0; i < 10; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(keys.bindings[0].command, cmd_forward);
    EXPECT_EQ(keys.bindings[1].command, kCmndNone);
    VOVARU_event_proc();
    EXPECT_EQ(shown_px(kCommandX, box_y(0)), before);
}

TEST(KeysWindow, OnlyExistingRowsAreDrawnAndTheTopRowStaysInTheList)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_keys_window({});
    // No bindings, scrolled far down, a selection beyond the list.
    keys.bindings.clear();
    keys.k_cen = 5;
    keys.k_change = 2;
    VOVARU_event_proc();
    EXPECT_EQ(keys.k_cen, 0);
    EXPECT_EQ(keys.k_change, -1);
    const std::vector<unsigned char> empty_row = shown_px(kRowX, row_y(0));

    // Three rows: the fourth row's place stays as empty as the first was.
    keys.bindings = {{ZYNT_VK_A, 0, 0, 0}, {ZYNT_VK_B, 0, 0, 0}, {ZYNT_VK_C, 0, 0, 0}};
    keys.k_cen = 10;
    VOVARU_event_proc();
    EXPECT_EQ(keys.k_cen, 0);
    EXPECT_NE(shown_px(kRowX, row_y(2)), empty_row);
    EXPECT_EQ(shown_px(kRowX, row_y(3)), empty_row);
    EXPECT_EQ(shown_px(kRowX, row_y(33)), empty_row);

    // With 40 rows, adding one shows rows 7 to 40.
    keys.bindings.assign(40, key_binding{ZYNT_VK_A, 0, 0, 0});
    click(420 + 92, 30);
    ASSERT_TRUE(frames_until([] { return keys.bindings.size() == 41; }));
    EXPECT_EQ(keys.k_cen, 7);
    EXPECT_EQ(keys.bindings[40].vkey, 0);
    EXPECT_EQ(keys.bindings[40].command, kCmndNone);
    // Cut to a few rows again, the list scrolls back to its top.
    keys.bindings.resize(2);
    VOVARU_event_proc();
    EXPECT_EQ(keys.k_cen, 0);
}

// The scroll bar beside the list moves its top row: one row for its arrows,
// and it lets the list go no further than the last row.
TEST(KeysWindow, ScrollBarMovesTheList)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_keys_window({});
    keys.bindings.assign(40, key_binding{ZYNT_VK_A, 0, 0, 0});
    keys.k_cen = 0;
    VOVARU_event_proc();
    click(420 - 15, 30 - 10); // the down arrow below the track
    ASSERT_TRUE(frames_until([] { return keys.k_cen == 1; }));
    click(420 - 15, 686 + 10); // the up arrow above it
    ASSERT_TRUE(frames_until([] { return keys.k_cen == 0; }));
    keys.k_cen = 6;
    VOVARU_event_proc();
    click(420 - 15, 30 - 10);
    for (int i = 0; i < 10; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(keys.k_cen, 6);
}
