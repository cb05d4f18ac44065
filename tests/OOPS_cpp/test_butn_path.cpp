// Path fields and the heading dial: the path texts and bearings as tables,
// the fatal refusals in child processes, frames driven directly, and under
// Xvfb the real folder picker opened from the icon, real typing (a key and
// Tab in one batch: run this program under AddressSanitizer with
// detect_stack_use_after_return=1) and the dial turned by real drags.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/butn_path.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"
#include "support/alert_probe.h"
#include "support/frame_driver.h"
#include "support/picker_script.h"
#include "support/widget_frames.h"
#include "support/xvfb.h"

// ---------------------------------------------------------------------------
// Pure parts
// ---------------------------------------------------------------------------

TEST(PathPure, ShownTextAndItsPrefix)
{
    const struct {
        const char* path;
        int type;
        const char* shown;
    } cases[] = {
        {"Aircraft/Heavy/", 3, "Heavy/"},
        {"Aircraft/Heavy/", 21, "Aircraft/Heavy/"},
        {"Aircraft/Heavy/", 20, "Aircraft/Heavy/"},
        {"/home/u/file.txt", 0, "file.txt"},
        {"plain", 3, "plain"},
        {"/", 3, "/"},
        {"//", 3, "/"},
        {"/a", 19, "a"},
        {"", 3, ""},
        {"", 21, ""},
    };
    for (const auto& c : cases) {
        const std::string shown = BTN_path_shown(c.path, c.type);
        EXPECT_EQ(shown, c.shown) << c.path << " " << c.type;
        EXPECT_EQ(BTN_path_prefix(c.path, c.type) + shown, c.path) << c.path << " " << c.type;
    }
}

TEST(PathPure, BearingsFromTheCentre)
{
    const struct {
        float dx, dy, want;
    } cases[] = {
        {0, 10, 0},    {10, 0, 90}, {0, -10, 180},    {-10, 0, 270},  {5, 5, 45}, {-5, 5, 315},
        {-5, -5, 225}, {0, 0, 0},   {-0.0f, -1, 180}, {-1e-9f, 1, 0}, // a hair left of up: 0, not
                                                                      // 360
    };
    for (const auto& c : cases) {
        const float b = BTN_dir_bearing(c.dx, c.dy);
        EXPECT_NEAR(b, c.want, 1e-3) << c.dx << "," << c.dy;
        EXPECT_GE(b, 0.0f);
        EXPECT_LT(b, 360.0f);
    }
}

TEST(PathPure, BadArgumentsAreFatal)
{
    static char buf[16] = "x";
    static std::string s = "/a/";
    const struct {
        const char* what;
        std::function<void()> call;
        const char* message;
    } cases[] = {
        {"stl open_save", [] { BTN_select_path_stl(0, 0, 997, 3, &s, 10, "", 100, 0); },
         "Bad open_save arg to BTN_select_file_stl!"},
        {"stl file_type", [] { BTN_select_path_stl(0, 0, 998, 22, &s, 10, "", 100, 0); },
         "Bad file_type arg to BTN_select_file_stl!"},
        {"chr file_type", [] { BTN_select_path_chr(0, 0, 999, -1, buf, 16, "", 100, 0); },
         "Bad file_type arg to BTN_select_file_chr!"},
        {"chr size 0", [] { BTN_select_path_chr(0, 0, 998, 3, buf, 0, "", 100, 0); },
         "Bad size arg to BTN_select_file_chr!"},
        {"chr size -1", [] { BTN_select_path_chr(0, 0, 998, 3, buf, -1, "", 100, 0); },
         "Bad size arg to BTN_select_file_chr!"},
        {"file size 0", [] { BTN_select_file_chr(0, 0, 998, 3, buf, &s, 0, "", 100); },
         "Bad size arg to BTN_select_file_chr!"},
        {"file open_save", [] { BTN_select_file_chr(0, 0, 0, 3, buf, &s, 16, "", 100); },
         "Bad open_save arg to BTN_select_file_chr!"},
    };
    for (const auto& c : cases) {
        TempCwd cwd;
        const ChildResult r = run_in_child(c.call);
        EXPECT_TRUE(r.aborted()) << c.what;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.what << ": " << r.out;
    }
    // Text over the 499 of a buffer field.
    TempCwd cwd;
    const ChildResult r = run_in_child([] {
        static char big[600];
        std::memset(big, 'a', 550);
        BTN_select_path_chr(0, 0, 998, 3, big, 600, "", 100, 0);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("String too long!"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------------------
// Frames driven directly
// ---------------------------------------------------------------------------

namespace
{
void frame(const std::function<void()>& draw, float mx = -100, float my = -100, int press = 0,
           int held = 0)
{
    mnw.mouse_x = mx;
    mnw.mouse_y = my;
    mnw.mouse_press = press;
    mnw.mouse_held = press || held;
    if (press) BTN_unfocus_any();
    BTN_begin_focus_ring();
    draw();
    mnw.mouse_press = mnw.mouse_held = 0;
}

} // namespace

TEST(PathFrames, TypingStaysWithinTheBufferAndTheLimit)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();

    // Size 8: never more than 7 characters; the bytes after it untouched.
    struct {
        char buf[8];
        char canary[8];
    } b = {"/a/", "CANARY"};
    int r = -1;
    const auto draw_chr = [&] {
        r = BTN_select_path_chr(200, 300, 998, 21, b.buf, 8, "P", 150, 1);
    };
    frame(draw_chr);
    ASSERT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    focus_type("0123456789");
    frame(draw_chr);
    EXPECT_STREQ(b.buf, "0123456");
    EXPECT_STREQ(b.canary, "CANARY");
    EXPECT_EQ(r, 0); // an edit is no pick

    // A large buffer still stops typing at 499 characters.
    static char big[900];
    std::memset(big, 'x', 498);
    big[498] = 0;
    const auto draw_big = [&] { BTN_select_path_chr(200, 250, 998, 21, big, 900, "", 150, 0); };
    frame(draw_big, 202, 252, 1);
    focus_key(0, ZYNT_VK_END);
    focus_type("yzw");
    frame(draw_big);
    EXPECT_EQ(std::strlen(big), 499u);
    EXPECT_EQ(std::string(big).find_first_not_of('x'), std::string(big).find('y'));
    EXPECT_EQ(std::string(big).find_first_of("zw"), std::string::npos);

    // The string field shows and edits the last component only; the whole
    // path stays within max_len.
    std::string path = "Aircraft/Heavy/";
    const auto draw_stl = [&] {
        r = BTN_select_path_stl(200, 200, 998, 3, &path, 17, "S", 150, 0);
    };
    frame(draw_stl, 202, 202, 1); // the click selects nothing: replace all by hand
    focus_key(0, ZYNT_VK_HOME);
    focus_key(0, ZYNT_VK_END, kKeyFlagShift);
    focus_type("Light");
    frame(draw_stl);
    EXPECT_EQ(path, "Aircraft/Light");
    EXPECT_EQ(r, 0);
    focus_type("abcdef");
    frame(draw_stl);
    EXPECT_EQ(path, "Aircraft/Lightabc"); // 17 in all
}

TEST(PathFrames, FileFieldKeepsTypedNamesAndTheTooltip)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    char name[6] = "b.txt";
    std::string folder = "/data/old.txt";
    const auto draw = [&] {
        BTN_select_file_chr(200, 300, 998, 3, name, &folder, 6, "F|{ Pick a file", 150);
    };
    frame(draw);
    ASSERT_EQ(focus_ring.focused, BTN_field_key(200, 300)); // it takes the focus by itself
    focus_type("cdefghij");
    frame(draw);
    EXPECT_STREQ(name, "cdefg");
    EXPECT_EQ(folder, "/data/old.txt");

    // Hovering the icon shows the help text; elsewhere it is not set.
    stls[kStlsTooltip] = "";
    frame(draw, 200 - 17, 300 + 3);
    EXPECT_EQ(stls[kStlsTooltip], "Pick a file");
    stls[kStlsTooltip] = "";
    frame(draw, 200 - 40, 300 + 3);
    EXPECT_EQ(stls[kStlsTooltip], "");
}

TEST(PathFrames, DialFollowsAHeldButtonWithinReach)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    float heading = 45;
    const auto draw = [&] { plot_dir(400, 400, &heading, 1); };
    const struct {
        float mx, my;
        int held;
        float want;
    } steps[] = {
        {420, 400, 1, 90}, {400, 380, 1, 180}, {380, 400, 1, 270},
        {400, 430, 1, 0},  {431, 400, 1, 0}, // beyond reach: unchanged
        {420, 400, 0, 0},                    // not held: unchanged
        {430, 430, 1, 45},                   // the corner of the reach
    };
    for (const auto& s : steps) {
        frame(draw, s.mx, s.my, 0, s.held);
        EXPECT_NEAR(heading, s.want, 1e-3) << s.mx << "," << s.my;
    }
}

// The needle is read back from the frame: its counterweight lies opposite
// the heading and its point is thin, so the dark ink of the ring 13..19 px
// out, summed as vectors, must point at the heading plus 180 degrees
// (heading 0 up, turning clockwise).
TEST(PathFrames, DialNeedleTurnsClockwiseFromUp)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    constexpr int cx = 400, cy = 400, r = 20;
    std::vector<unsigned char> px(size_t(2 * r + 1) * (2 * r + 1) * 3);
    for (const float heading : {0.0f, 90.0f, 180.0f, 270.0f, 45.0f, 300.0f}) {
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        float h = heading;
        frame([&] { plot_dir(cx, cy, &h, heading == 45.0f ? 1 : 0); });
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(cx - r, cy - r, 2 * r + 1, 2 * r + 1, GL_RGB, GL_UNSIGNED_BYTE, px.data());
        double sx = 0, sy = 0;
        int dark = 0;
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const double d = std::hypot(dx, dy);
                if (d < 13 || d > 19) continue;
                const unsigned char* p = &px[(size_t(dy + r) * (2 * r + 1) + size_t(dx + r)) * 3];
                // The face and its digits; both needles are low in green.
                if (p[1] >= 115) continue;
                sx += dx / d, sy += dy / d, ++dark;
            }
        EXPECT_GT(dark, 8) << "heading " << heading << ": no needle drawn";
        const double at = std::fmod(std::atan2(sx, sy) * 180 / M_PI + 360, 360);
        const double off = std::fabs(std::remainder(at - (heading + 180), 360.0));
        EXPECT_LT(off, 20) << "heading " << heading << ": darkest at " << at;
    }
}

// ---------------------------------------------------------------------------
// Real input through the frame pass
// ---------------------------------------------------------------------------

namespace
{
constexpr float kFieldX = 200, kFieldY = 500, kField2Y = 470, kDialX = 600, kDialY = 300;
char g_chr[64];
std::string g_stl, g_folder;
char g_name[32];
float g_heading = 0;
int g_picks = 0, g_mode = 0; // 0 the chr field, 1 the file field

void draw_paths()
{
    BTN_fillwin(1, 21);
    if (g_mode == 0)
        g_picks += BTN_select_path_chr(kFieldX, kFieldY, 998, 21, g_chr, sizeof g_chr,
                                       "Folder|{Pick a folder", 200, 0);
    else
        g_picks += BTN_select_file_chr(kFieldX, kFieldY, 999, 3, g_name, &g_folder, sizeof g_name,
                                       "File|", 200);
    BTN_select_path_stl(kFieldX, kField2Y, 998, 3, &g_stl, 100, "Path|", 200, 0);
    plot_dir(kDialX, kDialY, &g_heading, 0);
}

std::string px(float x, float y)
{
    return std::to_string(int(x)) + " " + std::to_string(768 - int(y));
}

void open_paths()
{
    picker_drive::open_picker_window();
    keys = keys_class{};
    std::strcpy(g_chr, "unchanged");
    std::strcpy(g_name, "old.txt");
    g_folder = "/somewhere/old.txt";
    g_stl = "Aircraft/Heavy/";
    g_picks = 0;
    g_heading = 0;
    VOVARU_set_app_update_hook(draw_paths);
    VOVARU_event_proc();
    xdo("mousemove --window " + shell_window_id() + " 900 100");
    VOVARU_event_proc();
}

// Clicks the first field's folder icon; the picker runs the script inside
// the frame pass that sees the click.
void click_icon()
{
    xdo_queued("mousemove --window " + shell_window_id() + " " + px(kFieldX - 17, kFieldY + 3) +
               " click 1");
    ASSERT_TRUE(frames_until([] { return picker_drive::g_passes > 0 && !mnw.mouse_held; }));
    picker_drive::expect_script_done();
    EXPECT_EQ(mnw.win_now, kWinMain);
}
} // namespace

TEST(PathTyped, IconOpensThePickerAtTheRootAndTakesItsAnswer)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    open_paths();
    using namespace picker_drive;
    std::string entered;

    // Cancel: nothing changes.
    g_steps = {{"at the root", [](const picker_view& v) { return v.folder == "/"; },
                [](const picker_view&) { click(kCancelX, kButtonY); }}};
    click_icon();
    EXPECT_EQ(g_picks, 0);
    EXPECT_STREQ(g_chr, "unchanged");

    // Enter the selected folder of the root and select it.
    restart_script();
    g_steps = {
        {"at the root", [](const picker_view& v) { return v.folder == "/" && !v.names.empty(); },
         [&](const picker_view& v) {
             entered = "/" + v.names[size_t(v.selection)] + "/";
             keys_queued("Return");
         }},
        {"entered", [&](const picker_view& v) { return v.folder == entered; },
         [](const picker_view&) {
             xvfb_shown_frame("path_picker.png");
             click(kSelectX, kButtonY);
         }},
    };
    click_icon();
    EXPECT_EQ(g_picks, 1);
    EXPECT_EQ(std::string(g_chr), entered);

    // The file field: the folder becomes the picked one, the name its last
    // component.
    g_mode = 1;
    VOVARU_event_proc();
    restart_script();
    g_steps = {{"select the root's entered folder",
                [](const picker_view& v) { return v.folder == "/"; },
                [&](const picker_view&) { keys_queued("Return"); }},
               {"entered", [](const picker_view& v) { return v.folder != "/"; },
                [&](const picker_view& v) {
                    entered = v.folder;
                    click(kSelectX, kButtonY);
                }}};
    click_icon();
    EXPECT_EQ(g_picks, 2);
    EXPECT_EQ(g_folder, entered);
    EXPECT_EQ(std::string(g_name), entered.substr(1));
    g_mode = 0;
    VOVARU_set_app_update_hook(nullptr);
}

TEST(PathTyped, TypingAndAKeyWithTabInOneBatch)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    open_paths();

    keys_typed("Tab");
    ASSERT_EQ(focus_ring.focused, BTN_field_key(kFieldX, kFieldY));
    keys_typed("slash t m p");
    EXPECT_STREQ(g_chr, "/tmp");
    keys_typed("Tab");
    ASSERT_EQ(focus_ring.focused, BTN_field_key(kFieldX, kField2Y));
    keys_typed("L i g h t");
    EXPECT_EQ(g_stl, "Aircraft/Light");

    // A key and Tab in one batch: the key was queued for the field that then
    // lost the focus; neither field takes it (the fields edit copies that
    // live for one call).
    for (int i = 0; i < 3; ++i) {
        keys_typed("q Tab", 4);
        EXPECT_STREQ(g_chr, "/tmp");
        EXPECT_EQ(g_stl, "Aircraft/Light");
    }
    EXPECT_EQ(focus_ring.focused, BTN_field_key(kFieldX, kFieldY));
    keys_typed("End slash x");
    EXPECT_STREQ(g_chr, "/tmp/x");
    EXPECT_EQ(g_picks, 0);
    VOVARU_set_app_update_hook(nullptr);
}

TEST(PathTyped, DialTurnedByDrags)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    open_paths();
    const std::string w = shell_window_id();

    xdo("mousemove --window " + w + " " + px(kDialX + 20, kDialY) + " mousedown 1");
    EXPECT_TRUE(frames_until([] { return g_heading == 90; })) << g_heading;
    xdo("mousemove --window " + w + " " + px(kDialX, kDialY - 25));
    EXPECT_TRUE(frames_until([] { return g_heading == 180; })) << g_heading;
    xdo("mousemove --window " + w + " " + px(kDialX - 10, kDialY + 10));
    EXPECT_TRUE(frames_until([] { return std::abs(g_heading - 315) < 1e-3f; })) << g_heading;
    // Dragged out of reach: the heading stays.
    xdo("mousemove --window " + w + " " + px(kDialX + 50, kDialY));
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_NEAR(g_heading, 315, 1e-3);
    xdo("mouseup 1");
    EXPECT_TRUE(frames_until([] { return !mnw.mouse_held; }));
    // A click far from the centre leaves it too; one below sets 180.
    xdo("mousemove --window " + w + " " + px(kDialX + 40, kDialY + 40) + " mousedown 1");
    EXPECT_TRUE(frames_until([] { return mnw.mouse_held; }));
    xdo("mouseup 1");
    EXPECT_TRUE(frames_until([] { return !mnw.mouse_held; }));
    for (int i = 0; i < 5; ++i)
        VOVARU_event_proc();
    EXPECT_NEAR(g_heading, 315, 1e-3);
    xdo("mousemove --window " + w + " " + px(kDialX, kDialY - 20) + " mousedown 1");
    EXPECT_TRUE(frames_until([] { return g_heading == 180; })) << g_heading;
    xdo("mouseup 1");
    EXPECT_TRUE(frames_until([] { return !mnw.mouse_held; }));
    VOVARU_event_proc();
    xvfb_shown_frame("path_fields_dial.png");
    VOVARU_set_app_update_hook(nullptr);
}
