// The alert's window route (window 995) and the frame pass's texture-failure
// reports, answered with real keys and clicks under a private X server.
#include <gtest/gtest.h>

#include <string>

#include "GenC/hl_alert.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/tman.h"
#include "support/alert_probe.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
int app_frames = 0;
void count_frame()
{
    ++app_frames;
}

void open_window_and_first_frame()
{
    xvfb_open_shell_window();
    VOVARU_set_app_update_hook(count_frame);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
    xdo("mousemove --window " + std::to_string(x11.window[0]) + " 40 40");
    VOVARU_event_proc();
}
} // namespace

TEST(AlertWindow, ReturnDismissesAWarning)
{
    XVFB_TEST_BODY();
    TempCwd cwd; // the alert's "MemoryLog.txt"
    open_window_and_first_frame();
    mnw.mouse_x = 12;
    mnw.mouse_y = 34;
    // Queued before the alert opens: its first frame pass reads it.
    xdo("key --window " + std::to_string(x11.window[0]) + " Return");
    const int frames = app_frames;
    __VOVARU_alert(kWinMain, "line one", "line two", "", "", t_alert, "test", 1);
    EXPECT_EQ(mnw.win_now, kWinMain);
    EXPECT_EQ(mnw.modal, 0);
    EXPECT_EQ(return_hit, 0); // the Return does not reach the main window
    EXPECT_EQ(mnw.mouse_x, 12);
    EXPECT_EQ(mnw.mouse_y, 34);
    EXPECT_EQ(app_frames, frames); // the application paused meanwhile
}

TEST(AlertWindow, OkButtonDismissesAWarning)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window_and_first_frame();
    stls[kStlsAlertButton] = "OK"; // as main sets it: the button is 37 wide
    // Window 995 is 420 x 250 at (302, 259); its button is centred at (210, 18),
    // drawable (512, 277), X pixel (512, 768 - 277).
    xdo("mousemove --window " + std::to_string(x11.window[0]) + " 512 491 click 1");
    __VOVARU_alert(kWinMain, "press OK", "", "", "", t_alert, "test", 2);
    EXPECT_EQ(mnw.win_now, kWinMain);
}

// The OK button is 37 wide ("OK" + 21) and 20 high: its box is x 191.5 to
// 228.5 and y 8 to 28 of window 995, X pixels 494 to 530 and 481 to 501.
TEST(AlertWindow, OkButtonEdgesCountAndOnePastDoesNot)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window_and_first_frame();
    stls[kStlsAlertButton] = "OK"; // as main sets it
    const std::string w = std::to_string(x11.window[0]);
    const struct {
        int x, y;
        bool closes;
    } cases[] = {{530, 481, true}, {494, 501, true}, {531, 491, false}, {512, 480, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        xdo("mousemove --window " + w + " " + std::to_string(c.x) + " " + std::to_string(c.y) +
            " click 1");
        // A Return comes a second later: it closes the alert when the click
        // did not, and reaches window 0 when the click did.
        run_capture("(sleep 1; xdotool key --window " + w + " Return) >/dev/null 2>&1 &");
        __VOVARU_alert(kWinMain, "edge", "", "", "", t_alert, "test", 4);
        EXPECT_EQ(mnw.win_now, kWinMain);
        bool return_left = false;
        for (int i = 0; i < 150 && !return_left; ++i) {
            VOVARU_event_proc();
            return_left = return_hit != 0;
        }
        // Let the rest of this case's input pass before the next alert.
        for (int i = 0; i < 60; ++i)
            VOVARU_event_proc();
        EXPECT_EQ(return_left, c.closes);
    }
}

TEST(AlertWindow, ClickBesideTheButtonKeepsItOpen)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window_and_first_frame();
    const std::string w = std::to_string(x11.window[0]);
    // A press inside the alert but away from its button, then Return.
    xdo("mousemove --window " + w + " 400 300 click 1 key Return");
    AlertProbe probe;
    __VOVARU_alert(kWinMain, "stay", "", "", "", t_alert, "test", 3);
    EXPECT_EQ(mnw.win_now, kWinMain);
    EXPECT_EQ(probe.count(), 1u);
    // Had the click closed it, the Return would still be queued for window 0.
    for (int i = 0; i < 5; ++i) {
        VOVARU_event_proc();
        EXPECT_EQ(return_hit, 0);
    }
}

TEST(FramePass, TextureFailureIsReportedOnceInTheMainWindow)
{
    XVFB_TEST_BODY();
    TempCwd cwd;
    open_window_and_first_frame();
    AlertProbe probe;
    tman.instl_load_fail = 1;
    // Not in a modal window.
    VOVARU_startwind(kWinLicence, 0);
    VOVARU_event_proc();
    EXPECT_EQ(probe.count(), 0u);
    VOVARU_startwind(kWinMain, 0);

    xdo("key --window " + std::to_string(x11.window[0]) + " Return");
    VOVARU_event_proc(); // raises the alert; Return answers it
    ASSERT_EQ(probe.count(), 1u);
    const AlertRecord a = probe.last();
    EXPECT_EQ(a.kind, t_alert);
    EXPECT_EQ(a.lines[0], "Some textures could not be loaded.");
    EXPECT_EQ(a.lines[1], "This may be an installation problem.  Run the installer/updater "
                          "again to get these missing textures.");
    EXPECT_EQ(a.lines[2], "Please see the log.txt file for a detailed list of missing files.");
    EXPECT_EQ(a.source_file, "HLutils/GenC/hl_mnw");
    EXPECT_EQ(a.source_line, 1556);
    EXPECT_EQ(tman.instl_load_fail, 2);
    VOVARU_event_proc();
    EXPECT_EQ(probe.count(), 1u);
}
