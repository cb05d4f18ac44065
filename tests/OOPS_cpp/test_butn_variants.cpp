// Widget variants and focus routines: ranges and placements as tables, the
// fatal refusals in child processes, the variants frame by frame in a real
// window, buffer text fields with real typing through the frame pass under
// Xvfb, and a screenshot.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/butn_variants.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/ogle.h"
#include "OOPS_cpp/oglp.h"
#include "support/alert_probe.h"
#include "support/frame_driver.h"
#include "support/widget_frames.h"
#include "support/xvfb.h"

// ---------------------------------------------------------------------------
// Pure parts
// ---------------------------------------------------------------------------

TEST(VariantsPure, RangesFromTheDigitCount)
{
    const struct {
        int digits, decimals;
        double max;
    } cases[] = {
        {1, 0, 9},         {3, 0, 999},           {4, 2, 99.99},        {8, 0, 99999999},
        {9, 0, 999999999}, {10, 0, 9999999999.0}, {10, 2, 99999999.99}, {3, 3, 0.999},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BTN_digits_max(c.digits, c.decimals), c.max) << c.digits << " " << c.decimals;
}

TEST(VariantsPure, GridPlacesFieldsToEndInOneColumn)
{
    const struct {
        float i, j;
        int digits;
        float x, y;
    } cases[] = {
        {0, 0, 3, 45, 25},
        {0, 0, 5, 25, 25},
        {2, 3, 4, 185, 175},
        {1.5f, 0.5f, 1, 177.5f, 50},
    };
    for (const auto& c : cases) {
        float x = -1, y = -1;
        BTN_grid_position(c.i, c.j, c.digits, &x, &y);
        EXPECT_EQ(x, c.x) << c.i << "," << c.j << " " << c.digits;
        EXPECT_EQ(y, c.y) << c.i << "," << c.j << " " << c.digits;
        EXPECT_EQ(x + 10 * c.digits, 75 * c.i + 75); // the common right end
    }
}

// The float a settled value is stored as never shows a number beyond the
// range; where the nearest float is within it, it is that one.
TEST(VariantsPure, FloatStoreStaysWithinTheRange)
{
    const struct {
        double value;
        int decimals;
        double min, max;
        float want;
    } cases[] = {
        {99999999, 0, 0, 99999999, 99999992.0f},           // nearest: 100000000
        {-99999999, 0, -99999999, 99999999, -99999992.0f}, // nearest: -100000000
        {9999999999.0, 0, 0, 9999999999.0, 9999998976.0f}, // nearest: 1e10
        {99999999.99, 2, 0, 99999999.99, 99999992.0f},     // 10 digits, 2 decimals
        {0.999, 3, 0, 0.999, 0.999f},                      // above in float, same shown
        {99.99, 2, 0, 99.99, 99.99f},
        {12.5, 1, 0, 50, 12.5f},
        {0, 0, 0, 9, 0.0f},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BTN_number_to_float(c.value, c.decimals, c.min, c.max), c.want) << c.value;
}

// Programming errors end the program: digit counts a range cannot be made
// for, and buffer texts beyond the limit.
TEST(VariantsPure, BadDigitCountsAndOverlongBuffersAreFatal)
{
    const struct {
        const char* what;
        std::function<void()> call;
        const char* line1;
        const char* shown;
    } cases[] = {
        {"BTN_int 0 digits",
         [] {
             int v = 0;
             BTN_int(100, 100, &v, 0, 0, "");
         },
         "Bad number field digit count!", "0"},
        {"BTN_int 11 digits",
         [] {
             int v = 0;
             BTN_int(100, 100, &v, 11, 1, "");
         },
         "Bad number field digit count!", "11"},
        {"BTN_flt -1 digits",
         [] {
             float v = 0;
             BTN_flt(100, 100, &v, -1, 0, 0, "");
         },
         "Bad number field digit count!", "-1"},
        {"BTN_fltij 12 digits",
         [] {
             float v = 0;
             BTN_fltij(0, 0, &v, 12, 2, 0, "");
         },
         "Bad number field digit count!", "12"},
        {"a 500-character buffer",
         [] {
             static char buf[600];
             std::memset(buf, 'a', 500);
             buf[500] = 0;
             BTN_enterstring(100, 100, buf, 510, "", 100, 0);
         },
         "String too long!", "aaaaaaaaaa"},
    };
    for (const auto& c : cases) {
        // Made here: the aborting child would leave its own folder behind.
        TempCwd cwd;
        const ChildResult r = run_in_child([&] { c.call(); });
        EXPECT_TRUE(r.aborted()) << c.what << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.line1), std::string::npos) << c.what << "\n" << r.out;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << c.what << "\n" << r.out;
    }
    // The edges of the range are fine.
    const ChildResult ok = run_in_child([] {
        BTN_digits_max(1, 0);
        BTN_digits_max(10, 4);
    });
    EXPECT_TRUE(ok.exited() && ok.exit_code == 0) << ok.out;
}

// ---------------------------------------------------------------------------
// Frame by frame in a real window: the test plays the frame pass's part.
// ---------------------------------------------------------------------------

namespace
{
// One frame: a press drops the focus as the clock does, the ring starts,
// `draw` runs.
void frame(const std::function<void()>& draw, float mx = -100, float my = -100, int press = 0)
{
    mnw.mouse_x = mx;
    mnw.mouse_y = my;
    mnw.mouse_press = press;
    mnw.mouse_held = press;
    if (press) BTN_unfocus_any();
    BTN_begin_focus_ring();
    draw();
    mnw.mouse_press = mnw.mouse_held = 0;
}

// Clicks on an arrow of digit k of a number field at (x, y).
void click_arrow(const std::function<void()>& draw, float x, float y, int k, bool up)
{
    frame(draw, x + 10 * k + 5, up ? y + 15 : y - 10, 1);
}

} // namespace

TEST(VariantsFrames, IntAndFloatFieldsKeepTheRangeOfTheirDigits)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    constexpr float x = 100, y = 300;
    const struct {
        int digits, negatives;
        int start;
        int k;
        bool up;
        int clicks;
        int want;
    } ints[] = {
        {3, 1, 950, 0, true, 1, 999},
        {3, 1, -950, 0, false, 1, -999},
        {3, 0, 5, 2, false, 10, 0},
        {9, 0, 999999990, 8, true, 20, 999999999}, // a float bound lets 1000000000 in
        {10, 1, 2147483000, 0, true, 1, INT_MAX},
        {10, 1, -2147483000, 0, false, 1, INT_MIN},
    };
    for (const auto& c : ints) {
        int v = c.start, r = 0;
        const auto draw = [&] { r |= BTN_int(x, y, &v, c.digits, c.negatives, "Int"); };
        for (int i = 0; i < c.clicks; ++i)
            click_arrow(draw, x, y, c.k, c.up);
        EXPECT_EQ(v, c.want) << c.digits << " digits from " << c.start;
        EXPECT_EQ(r, 1) << c.digits << " digits from " << c.start;
    }

    const struct {
        int digits, decimals, negatives;
        float start;
        int k;
        bool up;
        float want;
    } floats[] = {
        {4, 2, 0, 99.5f, 0, true, 99.99f},
        {4, 2, 0, 0.5f, 0, false, 0},
        {4, 2, 1, -99.5f, 0, false, -99.99f},
        {8, 0, 0, 99999990.0f, 0, true, 99999992.0f},
        {10, 0, 0, 9999999000.0f, 0, true, 9999998976.0f},
    };
    for (const auto& c : floats) {
        float v = c.start;
        int r = 0;
        const auto draw = [&] { r |= BTN_flt(x, y, &v, c.digits, c.decimals, c.negatives, "Flt"); };
        click_arrow(draw, x, y, c.k, c.up);
        EXPECT_EQ(v, c.want) << c.digits << "." << c.decimals << " from " << c.start;
        EXPECT_EQ(r, 1);
    }

    // Typed: '-' in a field without negatives clamps to 0.
    int n = 42;
    const auto draw_n = [&] { BTN_int(x, y, &n, 3, 0, "Int"); };
    frame(draw_n, x + 5, y + 3, 1); // focus by a click on digit 0
    ASSERT_EQ(focus_ring.focused, BTN_field_key(x, y));
    focus_key('-', ZYNT_VK_MINUS);
    frame(draw_n);
    EXPECT_EQ(n, 0);
}

TEST(VariantsFrames, DoubleFieldKeepsItsPrecisionAndWideValues)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    constexpr float x = 100, y = 300;
    double d = 0.123456789012345;
    int r = 0;
    const auto draw = [&] { r = BTN_dob_range(x, y, &d, 3, 1, 0, 50, "Dob"); };
    for (int i = 0; i < 3; ++i)
        frame(draw);
    EXPECT_EQ(d, 0.123456789012345);
    EXPECT_EQ(r, 0);
    // Out of range stays as it is until the field changes it.
    d = 75.123;
    frame(draw);
    EXPECT_EQ(d, 75.123);
    click_arrow(draw, x, y, 2, true);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(d, 50.0);

    // Ten digits edited in double: a float copy would store 1234567936.
    double wide = 1234567891;
    const auto draw_wide = [&] { r = BTN_dob_range(x, y, &wide, 10, 0, 0, 1e10f, "Wide"); };
    click_arrow(draw_wide, x, y, 9, true);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(wide, 1234567892.0);
}

TEST(VariantsFrames, GridFieldsRegisterAtTheirGridPosition)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    float a = 1, b = 2, c = 3;
    frame([&] {
        BTN_fltij(0, 0, &a, 3, 0, 0, "");
        BTN_fltij(0, 0, &b, 5, 1, 1, "");
        BTN_flt_rangeij(2, 3, &c, 4, 1, 0, 100, "");
    });
    ASSERT_EQ(focus_ring.drawn.size(), 3u);
    EXPECT_EQ(focus_ring.drawn[0].key, BTN_field_key(45, 25));
    EXPECT_EQ(focus_ring.drawn[1].key, BTN_field_key(25, 25));
    EXPECT_EQ(focus_ring.drawn[2].key, BTN_field_key(185, 175));
    // A click on the up arrow of the units of the 4-digit field (place 0.1).
    frame([&] { BTN_flt_rangeij(2, 3, &c, 4, 1, 0, 100, ""); }, 185 + 35, 175 + 15, 1);
    EXPECT_FLOAT_EQ(c, 3.1f);
}

TEST(VariantsFrames, NarrowCheckBoxesToggleAndKeepOtherValues)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    constexpr float x = 300, y = 300;
    unsigned char byte = 200;
    char chr = char(-56);
    bool flag = true;
    int r = 0;
    struct step {
        const char* what;
        std::function<void()> draw;
        std::function<int()> read;
        int untouched, first, second;
    } steps[] = {
        {"byte", [&] { r = BTN_xbyt(x, y, &byte, "B"); }, [&] { return int(byte); }, 200, 0, 1},
        {"char", [&] { r = BTN_xchr(x, y, &chr, "C"); }, [&] { return int(chr); }, -56, 0, 1},
        {"bool", [&] { r = BTN_xbol(x, y, &flag, "F"); }, [&] { return int(flag); }, 1, 0, 1},
    };
    for (const step& s : steps) {
        frame(s.draw, x, y + 4); // hovered, no click
        EXPECT_EQ(s.read(), s.untouched) << s.what;
        EXPECT_EQ(r, 0) << s.what;
        frame(s.draw, x, y + 4, 1);
        EXPECT_EQ(s.read(), s.first) << s.what;
        EXPECT_EQ(r, 1) << s.what;
        frame(s.draw, x + 8, y + 12, 1); // the box's corner
        EXPECT_EQ(s.read(), s.second) << s.what;
        frame(s.draw, x + 9, y + 4, 1); // just outside
        EXPECT_EQ(s.read(), s.second) << s.what;
        EXPECT_EQ(r, 0) << s.what;
    }
}

TEST(VariantsFrames, FocusRoutines)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    EXPECT_EQ(BTN_no_focus_yet(), 1);
    BTN_window_has_focus();
    EXPECT_EQ(BTN_no_focus_yet(), 0);

    // No field drawn yet in this frame: the focus goes.
    focus_ring.focused = 77;
    BTN_begin_focus_ring();
    EXPECT_EQ(BTN_no_focus_yet(), 0);
    BTN_focus_any();
    EXPECT_EQ(focus_ring.focused, 0);
    EXPECT_EQ(BTN_no_focus_yet(), 1);

    // The first field drawn gets it.
    int a = 1, b = 2;
    frame([&] {
        BTN_int(100, 300, &a, 3, 0, "A");
        BTN_int(100, 250, &b, 3, 0, "B");
        BTN_focus_any();
    });
    EXPECT_EQ(focus_ring.focused, BTN_field_key(100, 300));

    // While the window claims the keyboard, a take-focus field waits.
    BTN_unfocus_any();
    char text[16] = "hello";
    const auto draw_claimed = [&] {
        BTN_window_has_focus();
        BTN_enterstring(100, 200, text, 15, "T", 100, 1);
    };
    frame(draw_claimed);
    frame(draw_claimed);
    EXPECT_EQ(focus_ring.focused, 0);
    frame([&] { BTN_enterstring(100, 200, text, 15, "T", 100, 1); });
    EXPECT_EQ(focus_ring.focused, BTN_field_key(100, 200));
    EXPECT_EQ(BTN_no_focus_yet(), 0);
}

// The buffer gets the edited text; it never receives more than it holds.
TEST(VariantsFrames, BufferFieldCopiesBackWithinTheBuffer)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    struct {
        char buf[8];
        char canary[8];
    } b = {"abc", "CANARY"};
    int r = 0;
    const auto draw = [&] { r = BTN_enterstring(100, 200, b.buf, 7, "B", 100, 1); };
    frame(draw);
    ASSERT_EQ(focus_ring.focused, BTN_field_key(100, 200));
    for (char c : std::string("0123456789"))
        focus_key(c, c);
    frame(draw);
    EXPECT_STREQ(b.buf, "0123456");
    EXPECT_EQ(r, 1);
    EXPECT_STREQ(b.canary, "CANARY");
    // Emptied: a single zero byte.
    focus_key(0, ZYNT_VK_HOME, kKeyFlagShift);
    focus_key(0, ZYNT_VK_DELETE);
    frame(draw);
    EXPECT_EQ(b.buf[0], 0);
    EXPECT_EQ(b.buf[1], '1'); // the rest of the buffer is left alone
    EXPECT_EQ(r, 1);
    frame(draw);
    EXPECT_EQ(r, 0);

    // A caller's text longer than max_len: kept until an edit cuts it.
    char longer[12] = "abcdefghij";
    const auto draw_longer = [&] { r = BTN_enterstring(100, 150, longer, 4, "L", 100, 0); };
    frame(draw_longer);
    EXPECT_STREQ(longer, "abcdefghij");
    frame(draw_longer, 102, 152, 1); // focus by a click
    focus_key(0, ZYNT_VK_END);
    focus_key(8, ZYNT_VK_BACK);
    frame(draw_longer);
    EXPECT_STREQ(longer, "abcd");

    // A buffer allowed more than the limit stops typing at 499 characters.
    static char big[1000];
    std::memset(big, 'x', 499);
    big[499] = 0;
    const auto draw_big = [&] { r = BTN_enterstring(100, 100, big, 900, "", 100, 0); };
    frame(draw_big, 102, 102, 1);
    focus_key(0, ZYNT_VK_END);
    focus_key('y', 'Y');
    frame(draw_big);
    EXPECT_EQ(std::strlen(big), 499u);
    EXPECT_EQ(big[498], 'x');
    EXPECT_EQ(r, 0);
}

// ---------------------------------------------------------------------------
// Real typing through the frame pass
// ---------------------------------------------------------------------------

namespace
{
char g_a[16];
struct {
    char buf[8];
    char canary[8];
} g_b;
int g_claim = 0, g_focus_any = 0, g_take = 0;

void draw_buffers()
{
    if (g_claim) BTN_window_has_focus();
    BTN_enterstring(200, 300, g_a, 15, "A|", 150, g_take);
    BTN_enterstring(200, 270, g_b.buf, 7, "B|", 150, 0);
    if (g_focus_any) {
        BTN_focus_any();
        g_focus_any = 0;
    }
}

void open_buffers()
{
    open_plain_main_window();
    keys = keys_class{};
    std::strcpy(g_a, "alpha");
    std::strcpy(g_b.buf, "beta");
    std::strcpy(g_b.canary, "CANARY");
    g_claim = g_focus_any = g_take = 0;
    VOVARU_set_app_update_hook(draw_buffers);
    VOVARU_event_proc();
    xdo("mousemove --window " + shell_window_id() + " 600 600");
    VOVARU_event_proc();
}

std::pair<int, int> selection()
{
    int s = -1, e = -1;
    OGLE_GetSelection(BTN_text_editor(), &s, &e);
    return {s, e};
}
} // namespace

// Run once under AddressSanitizer with detect_stack_use_after_return=1: the
// fields edit copies that live for one call.
TEST(VariantsTyped, BufferFieldsTypingAndAKeyWithTabInOneBatch)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_buffers();

    keys_typed("Tab");
    ASSERT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    EXPECT_EQ(selection(), std::make_pair(0, 5));
    keys_typed("x y z");
    EXPECT_STREQ(g_a, "xyz");
    keys_typed("Tab 0 1 2 3 4 5 6 7 8 9");
    EXPECT_STREQ(g_b.buf, "0123456");
    EXPECT_STREQ(g_b.canary, "CANARY");

    // A key and Tab in one batch: the key was queued for the field that
    // then lost the focus; neither field takes it.
    const struct {
        const char* what;
        const char* batch;
        float focused_y;
        int selected;
    } batches[] = {
        {"B focused: q, Tab", "q Tab", 300, 3},
        {"A focused: q, Tab", "q Tab", 270, 7},
        {"B focused: q, shift+Tab", "q shift+Tab", 300, 3},
    };
    for (const auto& b : batches) {
        keys_typed(b.batch, 4);
        EXPECT_EQ(focus_ring.focused, BTN_field_key(200, b.focused_y)) << b.what;
        EXPECT_STREQ(g_a, "xyz") << b.what;
        EXPECT_STREQ(g_b.buf, "0123456") << b.what;
        EXPECT_EQ(selection(), std::make_pair(0, b.selected)) << b.what;
    }
    // Typed after the move, a key replaces the selected text of A.
    keys_typed("w");
    EXPECT_STREQ(g_a, "w");
    EXPECT_STREQ(g_b.buf, "0123456");
    EXPECT_STREQ(g_b.canary, "CANARY");
    VOVARU_set_app_update_hook(nullptr);
}

TEST(VariantsTyped, WindowClaimAndFocusAnyWithRealKeys)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_buffers();

    // The window holds the keyboard: the take-focus field stays unfocused
    // and a letter reaches the keyboard layer.
    g_claim = g_take = 1;
    VOVARU_event_proc();
    mnw.key_char = 0;
    keys_typed("q");
    EXPECT_EQ(mnw.key_char, 'q');
    EXPECT_EQ(focus_ring.focused, 0);
    EXPECT_STREQ(g_a, "alpha");

    // Released: the field takes the focus with its text selected.
    g_claim = 0;
    VOVARU_event_proc();
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    keys_typed("q");
    EXPECT_STREQ(g_a, "q");

    // A click elsewhere drops the focus; the frame's focus_any hands it to
    // the first field drawn.
    g_take = 0;
    xdo("mousemove --window " + shell_window_id() + " 600 600 click 1");
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == 0 && !mnw.mouse_held; }));
    g_focus_any = 1;
    VOVARU_event_proc();
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    keys_typed("k");
    EXPECT_NE(std::strchr(g_a, 'k'), nullptr) << g_a;
    EXPECT_STREQ(g_b.buf, "beta");
    VOVARU_set_app_update_hook(nullptr);
}

// A real click on an int field's arrow at the top of its range, and on a
// bool check box.
TEST(VariantsTyped, RealClicksOnAWideIntAndABoolBox)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_plain_main_window();
    static int n = 999999998;
    static bool flag = false;
    VOVARU_set_app_update_hook([] {
        BTN_int(100, 400, &n, 9, 0, "Wide");
        BTN_xbol(300, 200, &flag, "Flag");
    });
    VOVARU_event_proc();
    const auto click = [](float x, float y) {
        xdo("mousemove --window " + shell_window_id() + " " + std::to_string(int(x)) + " " +
            std::to_string(768 - int(y)) + " click 1");
    };
    click(100 + 85, 400 + 15); // the units' up arrow
    ASSERT_TRUE(frames_until([] { return n == 999999999; })) << n;
    click(100 + 85, 400 + 15);
    ASSERT_TRUE(frames_until([] { return !mnw.mouse_held; }));
    for (int i = 0; i < 3; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(n, 999999999);
    click(300, 204);
    ASSERT_TRUE(frames_until([] { return flag; }));
    click(300, 204);
    ASSERT_TRUE(frames_until([] { return !flag; }));
    VOVARU_set_app_update_hook(nullptr);
}

// ---------------------------------------------------------------------------
// Screenshot: ZUDEZUD_SHOTS_DIR=/tmp saves variants.png to look at.
// ---------------------------------------------------------------------------

namespace
{
float shot_flt = 12.34f, shot_grid = 7.5f;
int shot_int = -42;
double shot_dob = 3.14159;
unsigned char shot_byte_on = 200, shot_byte_off = 0;
bool shot_bool = true;
int shot_plain_on = 1, shot_plain_off = 0;
char shot_text[32] = "buffer text";

void draw_variants()
{
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_display_number(150, 600, 123.45f, 5, 2, "Display|read only");
    BTN_int(150, 540, &shot_int, 3, 1, "Int|+/-999");
    BTN_flt(150, 480, &shot_flt, 4, 2, 0, "Flt|0..99.99");
    BTN_dob_range(150, 420, &shot_dob, 5, 4, 0, 9, "Dob|0..9");
    BTN_fltij(3, 6, &shot_grid, 2, 1, 0, "Grid|i 3 j 6");
    BTN_xbyt(150, 300, &shot_byte_on, "Byte 200|");
    BTN_xbyt(150, 270, &shot_byte_off, "Byte 0|");
    BTN_xbol(150, 240, &shot_bool, "Bool|");
    BTN_bool(450, 300, &shot_plain_on, "Plain 1|", 0);
    BTN_bool(450, 270, &shot_plain_off, "Plain 0|", 0);
    BTN_enterstring(150, 180, shot_text, 31, "Buffer|", 150, 0);
}
} // namespace

// Narrow boxes look as BTN_bool's square box does; the display is the
// number field without its arrows.
TEST(VariantsShots, VariantsLookLikeTheirWidgets)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_plain_main_window();
    stls[kStlsWindowTitle] = "Variants";
    frame(draw_variants);
    OGL_sbuff();
    const ShownPixels p =
        xvfb_shown_frame(std::getenv("ZUDEZUD_SHOTS_DIR") ? "variants.png" : nullptr);
    const int ox = int(mnw.win_x), oy = int(mnw.win_y);
    const auto same_box = [&](int ax, int ay, int bx, int by) {
        int differ = 0;
        for (int dy = -6; dy < 12; ++dy)
            for (int dx = -9; dx < 9; ++dx)
                differ += std::memcmp(p.at(ox + ax + dx, oy + ay + dy),
                                      p.at(ox + bx + dx, oy + by + dy), 3) != 0;
        return differ;
    };
    EXPECT_EQ(same_box(150, 300, 450, 300), 0); // byte 200 ticked
    EXPECT_EQ(same_box(150, 270, 450, 270), 0); // byte 0 empty
    EXPECT_EQ(same_box(150, 240, 450, 300), 0); // bool true ticked
    EXPECT_GT(same_box(450, 300, 450, 270), 20);

    // Arrows: the int field has dark arrow tips above its digits, the
    // display only the light window background (faintly striped).
    const auto dark_above = [&](int y) {
        int n = 0;
        for (int dy = 10; dy < 26; ++dy) {
            const unsigned char* c = p.at(ox + 156, oy + y + dy);
            n += c[0] + c[1] + c[2] < 3 * 150;
        }
        return n;
    };
    EXPECT_EQ(dark_above(600), 0);
    EXPECT_GT(dark_above(540), 3);
    EXPECT_EQ(focus_ring.drawn.size(), 5u); // the display takes no focus
}
