// The licence window, the modified-file question and the scan progress box
// in a real window under Xvfb, answered with real clicks and keys.
#include <gtest/gtest.h>

#include <string>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "installer/sub_wins.h"
#include "support/alert_probe.h"
#include "support/frame_driver.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{

void no_app_frame() {}

void open_main_window()
{
    xvfb_open_shell_window();
    VOVARU_set_app_update_hook(no_app_frame);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
}

std::string wid()
{
    return std::to_string(x11.window[0]);
}

// A click at (x, y) of window id, queued before the window opens: its
// first frame pass reads it.
void queue_click(int id, float x, float y)
{
    const win_spec s = VOVARU_window_spec(id);
    const int ox = static_cast<int>(VOVARU_centre_origin(mnw.res_x, s.w, 1));
    const int oy = static_cast<int>(VOVARU_centre_origin(mnw.res_y, s.h, 1));
    xdo("mousemove --window " + wid() + " --sync " + std::to_string(ox + static_cast<int>(x)) +
        " " + std::to_string(mnw.res_y - (oy + static_cast<int>(y))) + " click 1");
}

TEST(LicenceWindow, AgreeAnswersOneAndReturnOrTheCloseBoxAnswerZero)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    open_main_window();
    queue_click(kWinLicence, 429, 21); // AGREE
    EXPECT_EQ(handle_EULA(), 1);
    EXPECT_EQ(mnw.win_now, kWinMain);
    queue_click(kWinLicence, 342, 21); // DISAGREE
    EXPECT_EQ(handle_EULA(), 0);
    xdo("key --window " + wid() + " Return");
    EXPECT_EQ(handle_EULA(), 0);
    EXPECT_EQ(mnw.win_now, kWinMain);
    queue_click(kWinLicence, 16, 290); // the left close box
    EXPECT_EQ(handle_EULA(), 0);
    EXPECT_EQ(mnw.win_now, kWinMain);
}

TEST(QuestionWindow, EachButtonGivesItsAnswer)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    open_main_window();
    const struct {
        float x, y;
        int answer;
    } cases[] = {{96, 53, kAskActOnFile},
                 {96, 28, kAskKeepFile},
                 {308, 53, kAskActOnFolder},
                 {308, 28, kAskKeepFolder},
                 {584, 28, kAskCancelAll}};
    for (const auto& c : cases) {
        queue_click(kWinQuestion, c.x, c.y);
        EXPECT_EQ(select_alert("/some/where/file.txt", 0), c.answer) << c.x << "," << c.y;
        EXPECT_EQ(mnw.win_now, kWinMain);
    }
    // The delete texts keep the places.
    queue_click(kWinQuestion, 96, 53);
    EXPECT_EQ(select_alert("/some/where/file.txt", 1), kAskActOnFile);
}

// The box is centred on the drawable; its fill covers the fraction of the track.
TEST(ProgressBox, CentredWithTheFractionFilled)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    open_main_window();
    dir_progress_bar(0, 50, 100, 1, "title", "detail"); // fraction 0.52
    const ShownPixels p = xvfb_shown_frame("progress-box.png");
    const int x0 = (1024 - 512) / 2, y0 = (768 - 138) / 2;
    const int y = y0 + 35;
    // Inside the fill, and on the track past it: the two looks differ.
    const unsigned char* fill = p.at(x0 + 30 + 100, y);
    const unsigned char* track = p.at(x0 + 30 + 400, y);
    EXPECT_TRUE(shown_is(p, x0 + 30 + 225, y, fill[0], fill[1], fill[2], 12));
    EXPECT_FALSE(shown_is(p, x0 + 30 + 400, y, fill[0], fill[1], fill[2], 12));
    EXPECT_TRUE(shown_is(p, x0 + 30 + 245, y, track[0], track[1], track[2], 12));
    // The panel is symmetric about the drawable's centre.
    EXPECT_TRUE(shown_is(p, x0 + 22, y0 + 60, p.at(x0 + 489, y0 + 60)[0],
                         p.at(x0 + 489, y0 + 60)[1], p.at(x0 + 489, y0 + 60)[2], 6));
}

} // namespace
