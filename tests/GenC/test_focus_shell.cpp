// The shell's side of the keyboard focus: the frame pass starts the ring once
// a frame, starting a window drops the old window's fields and keys, and a
// real mouse press drops the focus. Under a private X server.
#include <gtest/gtest.h>

#include <string>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/keys_tables.h"
#include "support/xvfb.h"

namespace
{
focus_queue_t queue; // the widget's queues, static as in the widgets

// What the application draws: one number field, while `draw_field` is set.
int draw_field = 1;
int take_focus = 0;
std::string typed;
size_t ring_after_draw = 0;

void app_frame()
{
    if (draw_field) {
        const int key = BTN_field_key(120, 80);
        BTN_register_focus(key, queue, kMaskNumberField, take_focus);
        take_focus = 0;
        focus_key_t out[kFocusQueueCap];
        const int n = BTN_consume_keys(queue, key, out);
        for (int i = 0; i < n; ++i)
            typed += static_cast<char>(out[i].character);
    }
    ring_after_draw = focus_ring.drawn.size();
}

void open_window()
{
    xvfb_open_shell_window();
    draw_field = 1;
    take_focus = 1;
    typed.clear();
    VOVARU_set_app_update_hook(app_frame);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
}

// A key as the keyboard layer hands it over during a frame's event phase.
int key_press(char c)
{
    return BTN_dispatch_to_focus(c, c, kKeyFlagDown);
}
} // namespace

TEST(FocusShell, EveryFramePassStartsTheRingAndDropsKeysOfFieldsNotDrawn)
{
    XVFB_TEST_BODY();
    open_window();
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(ring_after_draw, 1u); // one entry: the ring starts anew each frame
    ASSERT_EQ(focus_ring.focused, BTN_field_key(120, 80));

    EXPECT_EQ(key_press('4'), 1);
    VOVARU_event_proc();
    EXPECT_EQ(typed, "4");

    draw_field = 0; // the application leaves the screen with the field
    EXPECT_EQ(key_press('5'), 1);
    VOVARU_event_proc(); // the key waits for a field that is not drawn...
    EXPECT_EQ(queue.counter, 1);
    VOVARU_event_proc(); // ...and is dropped by the next frame
    EXPECT_EQ(queue.counter, 0);
    EXPECT_EQ(key_press('6'), 0); // the stale focus goes with the next key
    EXPECT_EQ(focus_ring.focused, 0);
    draw_field = 1;
    VOVARU_event_proc();
    EXPECT_EQ(typed, "4");
}

TEST(FocusShell, StartingAWindowDropsTheFocusTheRingAndTheQueuedKeys)
{
    XVFB_TEST_BODY();
    open_window();
    EXPECT_EQ(key_press('7'), 1);
    ASSERT_EQ(queue.counter, 1);
    VOVARU_startwind(kWinLicence, 0); // as Return in the same batch would
    EXPECT_EQ(focus_ring.focused, 0);
    EXPECT_TRUE(focus_ring.drawn.empty());
    EXPECT_EQ(queue.counter, 0);
    EXPECT_EQ(queue.keys[0], 0);
    VOVARU_startwind(kWinMain, 0);
    VOVARU_event_proc();
    EXPECT_EQ(typed, "");
}

TEST(FocusShell, AMousePressDropsTheFocus)
{
    XVFB_TEST_BODY();
    open_window();
    VOVARU_event_proc();
    ASSERT_EQ(focus_ring.focused, BTN_field_key(120, 80));
    const XvfbResult r = run_capture("xdotool mousemove --window " + std::to_string(x11.window[0]) +
                                     " 500 300 click 1");
    ASSERT_EQ(r.status, 0) << r.output;
    int pressed = 0;
    for (int i = 0; i < 400 && !pressed; ++i) {
        VOVARU_event_proc();
        pressed = mnw.mouse_press;
    }
    ASSERT_TRUE(pressed);
    EXPECT_EQ(focus_ring.focused, 0);
    EXPECT_EQ(key_press('3'), 0); // the field is drawn but no longer focused
}
