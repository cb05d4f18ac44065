// Input that belongs to another window: the pointer follows a window start,
// a double click that opens a window does not answer it, and closing a modal
// window from inside the application's frame never runs the application
// again while it waits. Real clicks and keys through xdotool under Xvfb.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "GenC/hl_events.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/oglp.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
std::string window_id()
{
    return std::to_string(x11.window[0]);
}

void open_shell(void (*app)())
{
    xvfb_open_shell_window();
    VOVARU_set_app_update_hook(app);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
}
} // namespace

TEST(PressWindow, SecondHalfOfADoubleClickInAnotherWindowIsDropped)
{
    const struct {
        press_mark last, now;
        bool dropped;
        const char* what;
    } cases[] = {
        {{1000, 50, 60, 3}, {1100, 50, 60, 4}, true, "100 ms later in the next window"},
        {{1000, 50, 60, 3}, {1249, 54, 56, 4}, true, "just inside the time and the slop"},
        {{1000, 50, 60, 3}, {1250, 50, 60, 4}, false, "at the double-click time"},
        {{1000, 50, 60, 3}, {1100, 55, 60, 4}, false, "just beyond the slop in x"},
        {{1000, 50, 60, 3}, {1100, 50, 65, 4}, false, "just beyond the slop in y"},
        {{1000, 50, 60, 3}, {1100, 50, 60, 3}, false, "same window: an ordinary double click"},
        {{0, 50, 60, 3}, {1100, 50, 60, 4}, false, "no earlier press"},
        {{1000, 50, 60, 3}, {0, 50, 60, 4}, false, "a sent press without a time"},
        {{0xFFFFFFF0ul, 50, 60, 3}, {0x40, 50, 60, 4}, true, "across the wrap of the X clock"},
        {{1000, 50, 60, 3}, {900, 50, 60, 4}, false, "an older time: not a double click"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LIN_press_belongs_elsewhere(c.last, c.now), c.dropped) << c.what;
}

TEST(PressWindow, WindowStartMovesThePointerWithTheOrigin)
{
    XVFB_TEST_BODY();
    open_shell(nullptr);
    mnw.mouse_x = 300;
    mnw.mouse_y = 400;
    const unsigned changes = VOVARU_window_changes();
    VOVARU_startwind(kWinQuestion, 0); // 700 x 146 at (162, 311)
    EXPECT_EQ(mnw.mouse_x, 300 - 162);
    EXPECT_EQ(mnw.mouse_y, 400 - 311);
    EXPECT_EQ(VOVARU_window_changes(), changes + 1);
    VOVARU_startwind(kWinQuestion, 0); // started again: no change of window
    EXPECT_EQ(VOVARU_window_changes(), changes + 1);
    VOVARU_startwind(kWinMain, 0);
    EXPECT_EQ(mnw.mouse_x, 300);
    EXPECT_EQ(mnw.mouse_y, 400);
}

namespace
{
// The main window has a button at (512, 400), X pixel (512, 368). It opens
// window 997 (at 162, 311), whose button lies under the same screen point,
// at (350, 89), and which stays open until that button is pressed or
// kModalFrames passes have run.
constexpr int kModalFrames = 150;
int opened = 0, answered = 0;

void app_with_opening_button()
{
    if (!BTN_action(512, 400, 100, 0, 1, "Open", "-")) return;
    ++opened;
    VOVARU_startwind(kWinQuestion, 0);
    for (int i = 0; i < kModalFrames && mnw.win_now == kWinQuestion; ++i) {
        OGL_plot_back_col();
        if (BTN_action(350, 89, 100, 0, 1, "Answer", "-")) {
            ++answered;
            VOVARU_startwind(kWinMain, 0);
        }
        VOVARU_event_proc();
    }
    VOVARU_startwind(kWinMain, 0);
}

// Two real clicks on the main window's button, `delay_ms` apart, made while
// the frames run. Returns once the window has been open and closed again.
void click_twice(int delay_ms)
{
    open_shell(app_with_opening_button);
    opened = answered = 0;
    xdo("mousemove --window " + window_id() + " 512 368");
    ASSERT_TRUE(frames_until([] { return mnw.mouse_x == 512 && mnw.mouse_y == 400; }));
    run_capture("(xdotool click --repeat 2 --delay " + std::to_string(delay_ms) +
                " 1) >/dev/null 2>&1 &");
    ASSERT_TRUE(frames_until([] { return opened > 0 && mnw.win_now == kWinMain; }));
    // Whatever is left of the clicks passes in the main window.
    for (int i = 0; i < 30; ++i)
        VOVARU_event_proc();
}
} // namespace

TEST(PressWindow, DoubleClickOnAButtonDoesNotAnswerTheWindowItOpens)
{
    XVFB_TEST_BODY();
    click_twice(100);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(answered, 0);
}

// The same two clicks slower than a double click: the second one is meant
// for the new window and presses its button where the pointer stands.
TEST(PressWindow, SlowSecondClickAnswersTheNewWindow)
{
    XVFB_TEST_BODY();
    click_twice(700);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(answered, 1);
}

namespace
{
// An application that opens a modal window from inside its frame and waits
// there, as the licence and preferences windows do.
int depth = 0, deepest = 0;
bool open_prefs = false;
std::string input_in_window; // xdotool arguments, sent once the window is open

void app_waiting_in_a_modal_window()
{
    ++depth;
    deepest = std::max(deepest, depth);
    if (open_prefs) {
        open_prefs = false;
        VOVARU_startwind(kWinPrefs, 0);
        for (int i = 0; i < 400 && mnw.win_now == kWinPrefs; ++i) {
            if (!input_in_window.empty()) xdo(input_in_window);
            input_in_window.clear();
            VOVARU_event_proc();
        }
    }
    --depth;
}
} // namespace

TEST(PressWindow, ClosingAModalWindowDoesNotRunTheApplicationInsideItself)
{
    XVFB_TEST_BODY();
    open_shell(app_waiting_in_a_modal_window);
    const std::string w = window_id();
    const struct {
        const char* what;
        std::string input;
    } cases[] = {
        // Window 2 is 600 x 380 at (212, 194): its top-right close box holds
        // window units (590, 375), X pixel (802, 199).
        {"close box", "mousemove --window " + w + " 802 199 click 1"},
        {"Return", "key --window " + w + " Return"},
    };
    for (const auto& c : cases) {
        deepest = 0;
        open_prefs = true;
        input_in_window = c.input;
        VOVARU_event_proc();
        EXPECT_FALSE(open_prefs) << c.what;
        EXPECT_EQ(mnw.win_now, kWinMain) << c.what;
        EXPECT_EQ(deepest, 1) << c.what;
        // The application runs again in the next pass of its own loop.
        VOVARU_event_proc();
        EXPECT_EQ(deepest, 1) << c.what;
        EXPECT_EQ(depth, 0) << c.what;
    }
}
