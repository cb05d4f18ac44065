// Tabs, the horizontal slider and the character field in a real window under
// Xvfb: clicks, drags and keys through xdotool, pixels read back.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_extra.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
constexpr int kColFill = 60; // pure red fill of the sliders

struct rgb {
    int r, g, b;
    bool operator==(const rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
rgb read_rgb(float x, float y)
{
    unsigned char p[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(int(x), int(y), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}
bool is_red(const rgb& p)
{
    return p.r > 100 && p.g < 40 && p.b < 40;
}
bool is_fill(float x, float y)
{
    return is_red(read_rgb(x, y));
}
// What the X server shows after a frame pass.
rgb shown_rgb(float x, float y)
{
    glFinish();
    const ShownPixels s = xvfb_read_shell_window();
    const unsigned char* p = s.at(int(x), int(y));
    return {p[0], p[1], p[2]};
}
bool shown_fill(float x, float y)
{
    return is_red(shown_rgb(x, y));
}

std::string window_id()
{
    return std::to_string(x11.window[0]);
}
std::string at(float x, float y)
{
    return std::to_string(int(x)) + " " + std::to_string(768 - int(y));
}
void click(float x, float y)
{
    xdo("mousemove --window " + window_id() + " " + at(x, y) + " click 1");
}

// What the application draws each frame.
int tab = 0, tab_clicks = 0;
float slider_value = 5;
int slider_result = 0;
char chars[7] = "A9 0Z-";
char longer[11] = "0123456789";

constexpr float kSliderX = 300, kSliderY = 400, kSliderW = 100;
constexpr float kCharsX = 300, kCharsY = 200;
constexpr float kLongerX = 300, kLongerY = 120;

void draw_widgets()
{
    OGL_plot_back_col();
    tab_clicks += BTN_tab(0, 0, &tab, 0, "Scenery");
    tab_clicks += BTN_tab(1, 0, &tab, 1, "Aircraft");
    tab_clicks += BTN_tab(2, 1, &tab, 2, "Extras");
    slider_result = BTN_horz_slider(kSliderX, kSliderY, kSliderW, kColFill, 0, 10, &slider_value, 1,
                                    "Volume|loud{ how loud", "Sound");
    BTN_chars(kCharsX, kCharsY, chars, 6, "Call sign|{ letters and digits");
    BTN_chars(kLongerX, kLongerY, longer, 10, "Longer");
}

void open_widgets()
{
    xvfb_open_shell_window();
    colr.assign(kColFill, 1, 0, 0);
    VOVARU_set_app_update_hook(draw_widgets);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
    ASSERT_EQ(mnw.win_h, 768);
}

// Only a slider drawn in a frame of its own, over the background.
void slider_frame(float width, float min, float max, float* value, int editable, int colour,
                  int* result = nullptr)
{
    OGL_plot_back_col();
    const int r =
        BTN_horz_slider(kSliderX, kSliderY, width, colour, min, max, value, editable, "", "");
    if (result) *result = r;
    glFinish();
}
} // namespace

TEST(ButnExtraPure, TabCentresFillWidthsAndTheAlphabet)
{
    mnw.win_h = 768;
    const struct {
        int column, row;
        float cx, cy;
    } tabs[] = {{0, 0, 53, 730}, {2, 1, 229, 698}, {1, 3, 141, 634}};
    for (const auto& t : tabs) {
        float cx, cy;
        BTN_tab_centre(t.column, t.row, &cx, &cy);
        EXPECT_FLOAT_EQ(cx, t.cx);
        EXPECT_FLOAT_EQ(cy, t.cy);
    }
    const float fills[][2] = {{7.9f, 8}, {9, 10}, {50, 50}, {0.5f, 0}, {1, 2}, {99.9f, 100}};
    for (const auto& f : fills)
        EXPECT_FLOAT_EQ(BTN_slider_fill_width(f[0]), f[1]) << f[0];

    const char* alphabet = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
    ASSERT_EQ(std::strlen(alphabet), size_t(kCharsAlphabet));
    for (int i = 0; i < kCharsAlphabet; ++i) {
        EXPECT_EQ(BTN_chars_index(alphabet[i]), i);
        EXPECT_EQ(BTN_chars_step(alphabet[i], 1), alphabet[(i + 1) % kCharsAlphabet]);
        EXPECT_EQ(BTN_chars_step(alphabet[i], -1), alphabet[(i + 37) % kCharsAlphabet]);
    }
    EXPECT_EQ(BTN_chars_index('q'), BTN_chars_index('Q'));
    for (char other : {'+', '?', '\0', '\t', char(200)})
        EXPECT_EQ(BTN_chars_index(other), 1) << int(other); // counts as '0'
    EXPECT_EQ(BTN_chars_step('?', -1), ' ');
}

TEST(ButnExtra, TabsByClicks)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_widgets();
    tab = 0;
    const rgb selected = shown_rgb(53 + 30, 730 - 8), plain = shown_rgb(141 + 30, 730 - 8);
    EXPECT_FALSE(selected == plain);

    // 45 left of the second tab's centre is the second tab; 45 right of the
    // first tab's centre is no longer the first.
    const struct {
        float x, y;
        int want;
    } clicks[] = {{141 - 45, 730, 1}, {53, 730, 0},  {53 + 45, 730, 1},
                  {229, 698, 2},      {229, 730, 2}, {53 + 2, 730 + 13, 0}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        tab_clicks = 0;
        click(c.x, c.y);
        ASSERT_TRUE(frames_until([] { return mnw.mouse_press; }));
        EXPECT_EQ(tab, c.want);
        VOVARU_event_proc();
    }
    // The selected look follows the selection.
    EXPECT_TRUE(shown_rgb(53 + 30, 730 - 8) == selected);
    tab = 2;
    VOVARU_event_proc();
    EXPECT_TRUE(shown_rgb(53 + 30, 730 - 8) == plain);
    EXPECT_TRUE(shown_rgb(229 + 30, 698 - 8) == selected);
}

TEST(ButnExtra, SliderByDrags)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_widgets();
    slider_value = 5;
    VOVARU_event_proc();
    // Value 5 of 0..10 over 100: 50 filled, the knob over its end.
    EXPECT_TRUE(shown_fill(kSliderX + 30, kSliderY + 4));
    EXPECT_FALSE(shown_fill(kSliderX + 70, kSliderY + 4));

    const std::string w = window_id();
    xdo("mousemove --window " + w + " " + at(kSliderX + 50, kSliderY + 2) + " mousedown 1");
    ASSERT_TRUE(frames_until([] { return slider_result == 1; }));
    xdo("mousemove --window " + w + " " + at(kSliderX + 25, kSliderY + 12));
    EXPECT_TRUE(frames_until([] { return slider_value == 2.5f; })) << slider_value;
    // 15 beyond the right end, still within reach: the high end.
    xdo("mousemove --window " + w + " " + at(kSliderX + kSliderW + 15, kSliderY));
    EXPECT_TRUE(frames_until([] { return slider_value == 10; })) << slider_value;
    // Out of reach the value stays and the slider reports no drag.
    xdo("mousemove --window " + w + " " + at(kSliderX + 50, kSliderY + 40));
    EXPECT_TRUE(frames_until([] { return slider_result == 0; }));
    EXPECT_EQ(slider_value, 10);
    xdo("mousemove --window " + w + " " + at(kSliderX + 70, kSliderY) + " mouseup 1");
    EXPECT_TRUE(frames_until([] { return !mnw.mouse_held; }));
    VOVARU_event_proc();
    EXPECT_EQ(slider_result, 0);
    EXPECT_EQ(slider_value, 10);
    EXPECT_TRUE(shown_fill(kSliderX + 80, kSliderY + 4));
}

TEST(ButnExtra, SliderRangesWidthsAndLooks)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_widgets();
    const rgb back = read_rgb(5, 5);
    mnw.mouse_held = 1;
    mnw.menu_open = kNoMenu;
    mnw.mouse_x = kSliderX + kSliderW;
    mnw.mouse_y = kSliderY;

    // min 1, max 1: spread to 1 .. 1.01.
    float v = 1;
    int r = 0;
    slider_frame(kSliderW, 1, 1, &v, 1, kColFill, &r);
    EXPECT_EQ(r, 1);
    EXPECT_FLOAT_EQ(v, 1.01f);

    // Ends too large to spread: the value stays, never NaN.
    for (float big : {1e10f, -3e12f}) {
        v = 7;
        slider_frame(kSliderW, big, big, &v, 1, kColFill, &r);
        EXPECT_EQ(v, 7) << big;
    }

    // No width: nothing drawn, nothing dragged.
    for (float width : {0.0f, -50.0f}) {
        v = 3;
        slider_frame(width, 0, 10, &v, 1, kColFill, &r);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(v, 3);
        for (float dx : {-30.0f, -5.0f, 0.0f, 5.0f})
            EXPECT_TRUE(read_rgb(kSliderX + dx, kSliderY) == back) << dx;
    }

    // Not editable: the value stays, no knob; colour 12: no fill.
    mnw.mouse_held = 0;
    v = 5;
    slider_frame(kSliderW, 0, 10, &v, 0, kColFill, &r);
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(is_fill(kSliderX + 45, kSliderY + 4));
    const rgb no_knob = read_rgb(kSliderX + 50, kSliderY + 12);
    slider_frame(kSliderW, 0, 10, &v, 1, kColFill, &r);
    EXPECT_FALSE(read_rgb(kSliderX + 50, kSliderY + 12) == no_knob); // the knob's top
    slider_frame(kSliderW, 0, 10, &v, 0, 12, &r);
    EXPECT_FALSE(is_fill(kSliderX + 20, kSliderY + 4));
    // A reversed range fills from the right.
    v = 8;
    slider_frame(kSliderW, 10, 0, &v, 0, kColFill, &r);
    EXPECT_TRUE(is_fill(kSliderX + 15, kSliderY + 4));
    EXPECT_FALSE(is_fill(kSliderX + 25, kSliderY + 4));
}

TEST(ButnExtra, CharacterFieldThroughTheAlphabetWithRealKeys)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_widgets();
    std::strcpy(chars, "A9 0Z-");
    const std::string w = window_id();
    auto key = [&](const char* name) {
        xdo("key --window " + w + " " + name);
        VOVARU_event_proc();
        VOVARU_event_proc();
    };

    // A click on the second character focuses the field there.
    click(kCharsX + 15, kCharsY + 3);
    ASSERT_TRUE(frames_until([] { return focus_ring.focused == BTN_field_key(kCharsX, kCharsY); }));
    key("Down"); // '9' forward is 'A'
    ASSERT_TRUE(frames_until([] { return chars[1] == 'A'; })) << chars;
    key("Up");
    ASSERT_TRUE(frames_until([] { return chars[1] == '9'; })) << chars;

    // Through the whole alphabet on the blank, back to the blank.
    key("Right");
    const char* alphabet = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
    for (int i = 1; i <= kCharsAlphabet; ++i) {
        key("Down");
        const char want = alphabet[i % kCharsAlphabet];
        ASSERT_TRUE(frames_until([&] { return chars[2] == want; })) << i << ": " << chars;
    }
    key("Up"); // blank back to '-'
    ASSERT_TRUE(frames_until([] { return chars[2] == '-'; })) << chars;

    // Typing stores capitals and moves on, wrapping; '+' changes nothing.
    key("x");
    ASSERT_TRUE(frames_until([] { return chars[2] == 'X'; })) << chars;
    key("plus");
    key("7");
    ASSERT_TRUE(frames_until([] { return chars[3] == '7'; })) << chars;
    key("Right");
    key("space"); // the last position: back to the first
    ASSERT_TRUE(frames_until([] { return chars[5] == ' '; })) << chars;
    key("minus");
    ASSERT_TRUE(frames_until([] { return chars[0] == '-'; })) << chars;
    key("Left");
    key("Left");
    key("b");
    ASSERT_TRUE(frames_until([] { return chars[5] == 'B'; })) << chars;
    EXPECT_STREQ(chars, "-9X7ZB");

    // For the eye: texts in colours of their own, the pointer out of the way.
    colr.assign(34, 0.2f, 0.25f, 0.3f); // background
    colr.assign(41, 0.1f, 0.1f, 0.1f);  // selected tab's label
    colr.assign(42, 0.3f, 0.3f, 0.3f);  // other tabs' labels
    colr.assign(43, 0.9f, 0.9f, 0.9f);  // labels and the caption
    colr.assign(45, 0, 0, 0);           // characters
    colr.assign(8, 1, 0.8f, 0);         // the hot position
    xdo("mousemove --window " + w + " 900 100");
    ASSERT_TRUE(frames_until([] { return mnw.mouse_x == 900; }));
    VOVARU_event_proc();
    const ShownPixels shown = xvfb_shown_frame("tabs_slider_chars.png");
    ASSERT_EQ(shown.w, 1024);
}

TEST(ButnExtra, CharacterFieldArrowsByClicks)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_widgets();
    std::strcpy(chars, "A9 0Z-");
    // Above position 3 ('0'): back to the blank; below position 4 ('Z'):
    // forward to '-'. Neither click focuses the field.
    click(kCharsX + 35, kCharsY + 18);
    ASSERT_TRUE(frames_until([] { return chars[3] == ' '; })) << chars;
    EXPECT_EQ(mnw.cursor_kind == 13 || mnw.cursor_kind == 0, true);
    click(kCharsX + 45, kCharsY - 10);
    ASSERT_TRUE(frames_until([] { return chars[4] == '-'; })) << chars;
    EXPECT_EQ(focus_ring.focused, 0);
    EXPECT_STREQ(chars, "A9  --");
}

TEST(ButnExtra, CharacterFieldKeepsTheHotPositionInsideItself)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_widgets();
    // A field of three characters with a guard behind them.
    struct {
        char text[3];
        char guard[8];
    } small = {{'A', 'B', 'C'}, {'g', 'g', 'g', 'g', 'g', 'g', 'g', 'g'}};
    auto draw = [&] {
        OGL_plot_back_col();
        BTN_chars(kLongerX, kLongerY, longer, 10, "");
        BTN_chars(kCharsX, kCharsY, small.text, 3, "");
    };
    // One frame with a press at (x, y).
    auto frame_with_press = [&](float x, float y) {
        BTN_begin_focus_ring();
        mnw.mouse_press = 1;
        mnw.mouse_x = x;
        mnw.mouse_y = y;
        draw();
        mnw.mouse_press = 0;
    };
    mnw.menu_open = kNoMenu;
    frame_with_press(kCharsX + 5, kCharsY + 3); // the small field takes the focus
    ASSERT_EQ(focus_ring.focused, BTN_field_key(kCharsX, kCharsY));
    // A key queued for it, then a click on the longer field's last position
    // in the same batch: the key is still the small field's, taken when it is
    // drawn after the longer one moved the hot position to 9.
    ASSERT_EQ(BTN_dispatch_to_focus('q', ZYNT_VK_Q, kKeyFlagDown), 1);
    BTN_unfocus_any();
    frame_with_press(kLongerX + 95, kLongerY + 3);
    EXPECT_EQ(std::string(small.text, 3), "ABQ");
    EXPECT_EQ(std::string(small.guard, 8), "gggggggg");
    EXPECT_STREQ(longer, "0123456789");
    // A click on the far edge of the characters is the last position.
    frame_with_press(kCharsX + 30, kCharsY + 3);
    ASSERT_EQ(BTN_dispatch_to_focus('z', ZYNT_VK_Z, kKeyFlagDown), 1);
    BTN_begin_focus_ring();
    draw();
    EXPECT_EQ(std::string(small.text, 3), "ABZ");
    EXPECT_EQ(std::string(small.guard, 8), "gggggggg");
}
