// Number fields: digits read and replaced on the shown whole number, tables
// of key and arrow edits, clamping and rounding in double; then the whole
// widget in a real window under Xvfb (focus, keys through the ring, pointer
// look, tooltip, the int field at the ends of its range, pixels read back and
// a screenshot to look at).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "TEX/tex_fixtures.h"
#include "support/xvfb.h"

namespace
{
// The digits OGL_number shows for the value, leftmost first.
std::string shown_digits(float value, int digits, int decimals)
{
    std::string s;
    for (const number_glyph& g : OGL_number_cells(value, digits, decimals))
        if (g.ch >= '0' && g.ch <= '9') s += g.ch;
    return s;
}

// The values a field holds after settling: every whole count of the last
// decimal up to `count`, as the float the caller keeps.
std::vector<float> settled_values(int decimals, int count)
{
    std::vector<float> v;
    for (int i = 0; i < count; ++i)
        v.push_back(static_cast<float>(
            BTN_number_settle(i / std::pow(10.0, decimals), decimals, -1e9f, 1e9f)));
    return v;
}
} // namespace

// ---------------------------------------------------------------------------
// Digits
// ---------------------------------------------------------------------------

TEST(NumberDigits, ReadAsShownAndRetypingTheShownDigitKeepsTheValue)
{
    int checked = 0, naive_wrong = 0;
    for (int decimals = 0; decimals <= 3; ++decimals)
        for (float f : settled_values(decimals, 3000)) {
            const int digits = 7;
            const std::string shown = shown_digits(f, digits, decimals);
            ASSERT_EQ(shown.size(), size_t(digits));
            for (int k = 0; k < digits; ++k) {
                const int d = shown[k] - '0';
                ASSERT_EQ(BTN_number_digit(f, digits, decimals, k), d)
                    << f << " digit " << k << " of " << decimals << " decimals";
                // Typing the digit already shown, then the frame's settling.
                const float again = static_cast<float>(BTN_number_settle(
                    BTN_number_with_digit(f, digits, decimals, k, d), decimals, -1e9f, 1e9f));
                ASSERT_EQ(again, f) << "retyping " << d << " at " << k << " of " << f;
                ++checked;
                // The reading this replaces: floor(v / 10^p) mod 10 on the float.
                const double p = std::pow(10.0, digits - decimals - 1 - k);
                if (static_cast<int>(std::fmod(std::floor(std::fabs(f) / p), 10.0)) != d)
                    ++naive_wrong;
            }
        }
    EXPECT_EQ(checked, 4 * 3000 * 7);
    EXPECT_GT(naive_wrong, 100); // the table is one that catches the old reading
}

TEST(NumberDigits, ReplacingADigitChangesOnlyThatDigit)
{
    const struct {
        double value;
        int digits, decimals, k, digit;
        double want;
    } cases[] = {
        {12.5, 3, 1, 1, 7, 17.5},       // the field's own example
        {45.0, 3, 1, 0, 9, 95.0},       // clamped later, not here
        {0.3, 3, 1, 2, 3, 0.3},         // 0.3 / 0.1 is 2.999... on a float
        {0.3, 3, 1, 2, 4, 0.4},         //
        {-12.5, 3, 1, 0, 3, -32.5},     // the sign stays
        {2.675, 4, 3, 3, 5, 2.675},     // shown as 2675
        {1234567, 7, 0, 0, 9, 9234567}, //
        {2147483647, 10, 0, 9, 7, 2147483647},
        {2147483647, 10, 0, 0, 3, 3147483647.0}, // beyond an int, still exact
        {123456789.26, 11, 2, 10, 1, 123456789.21},
        {5, 3, 0, 3, 1, 5},  // no digit 3 in a 3-digit field
        {5, 3, 0, -1, 1, 5}, // nor a digit -1
    };
    for (const auto& c : cases) {
        const double got = BTN_number_with_digit(c.value, c.digits, c.decimals, c.k, c.digit);
        EXPECT_DOUBLE_EQ(got, c.want) << c.value << " digit " << c.k << " := " << c.digit;
        if (c.k >= 0 && c.k < c.digits) {
            EXPECT_EQ(BTN_number_digit(got, c.digits, c.decimals, c.k), c.digit) << c.value;
        }
    }
}

TEST(NumberDigits, PlacesClickedDigitsAndBoxes)
{
    EXPECT_DOUBLE_EQ(BTN_number_place(3, 1, 0), 10);
    EXPECT_DOUBLE_EQ(BTN_number_place(3, 1, 2), 0.1);
    EXPECT_DOUBLE_EQ(BTN_number_place(5, 0, 4), 1);
    // The hot digit of a click: truncated (mouse x - x - 2) / 10.
    const struct {
        float mouse_x;
        int want;
    } clicks[] = {{100, 0}, {101, 0}, {102, 0}, {111.9f, 0}, {112, 1}, {130, 2}, {131.9f, 2}};
    for (const auto& c : clicks)
        EXPECT_EQ(BTN_number_click_digit(100, 3, c.mouse_x), c.want) << c.mouse_x;
    const btn_box b = BTN_number_box(100, 200, 3), a = BTN_number_arrows_box(100, 200, 3);
    EXPECT_FLOAT_EQ(b.x0, 100);
    EXPECT_FLOAT_EQ(b.x1, 130);
    EXPECT_FLOAT_EQ(b.y0, 198);
    EXPECT_FLOAT_EQ(b.y1, 208);
    EXPECT_FLOAT_EQ(a.y0, 182);
    EXPECT_FLOAT_EQ(a.y1, 224);
}

// ---------------------------------------------------------------------------
// Keys, arrow clicks, settling
// ---------------------------------------------------------------------------

TEST(NumberEdits, KeyTable)
{
    enum { L = ZYNT_VK_LEFT, R = ZYNT_VK_RIGHT, U = ZYNT_VK_UP, D = ZYNT_VK_DOWN };
    const struct {
        double value;
        int hot;
        int digits, decimals;
        float min, max;
        int ch, vkey;
        double raw;    // the value the key leaves
        double shown;  // after the frame's clamping and rounding
        int hot_after; //
        int change;
    } cases[] = {
        // 3 digits, 1 decimal, 0 .. 50, as 12.5.
        {12.5, 1, 3, 1, 0, 50, '7', '7', 17.5, 17.5, 2, 1},
        {12.5, 2, 3, 1, 0, 50, '4', '4', 12.4, 12.4, 0, 1}, // the last digit wraps
        {45.0, 0, 3, 1, 0, 50, '9', '9', 95.0, 50.0, 1, 1}, // clamped, still a change
        {12.5, 0, 3, 1, 0, 50, 0, U, 22.5, 22.5, 0, 1},
        {12.5, 2, 3, 1, 0, 50, 0, D, 12.4, 12.4, 2, 1},
        {45.0, 0, 3, 1, 0, 50, 0, U, 55.0, 50.0, 0, 1},
        {12.5, 0, 3, 1, 0, 50, 28, L, 12.5, 12.5, 2, 0}, // Left from the first
        {12.5, 2, 3, 1, 0, 50, 29, R, 12.5, 12.5, 0, 0}, // Right from the last
        {12.5, 1, 3, 1, 0, 50, 28, L, 12.5, 12.5, 0, 0},
        {12.5, 1, 3, 1, 0, 50, 29, R, 12.5, 12.5, 2, 0},
        // Signs: '-' needs max >= 0, '+' needs min < 0.
        {40, 0, 3, 0, 0, 100, '-', 0, -40, 0, 0, 1},
        {-40, 0, 3, 0, -100, -1, '-', 0, -40, -40, 0, 0},
        {40, 0, 3, 0, 0, 100, '+', 0, 40, 40, 0, 0},
        {-40, 0, 3, 0, -100, 100, '+', 0, 40, 40, 0, 1},
        {40, 0, 3, 0, -100, 100, '-', 0, -40, -40, 0, 1},
        // A hot digit from a longer field is brought into this one first.
        {12.5, 7, 3, 1, 0, 50, '3', '3', 12.3, 12.3, 0, 1},
        // Letters and other keys do nothing here (the ring never queues them).
        {12.5, 1, 3, 1, 0, 50, 'a', 'A', 12.5, 12.5, 1, 0},
        // Digits are read on the rounded whole number, not on the float.
        {0.3, 2, 3, 1, 0, 50, '3', '3', 0.3, 0.3, 0, 1},
        // An int at its top, in a range beyond it.
        {2147483647.0, 9, 10, 0, -4e9f, 4e9f, 0, U, 2147483648.0, 2147483648.0, 9, 1},
    };
    for (const auto& c : cases) {
        double v = c.value;
        int hot = c.hot;
        const int change =
            BTN_number_key(c.ch, c.vkey, &v, &hot, c.digits, c.decimals, c.min, c.max);
        const std::string what = std::to_string(c.value) + " key " + std::to_string(c.ch) + "/" +
                                 std::to_string(c.vkey) + " hot " + std::to_string(c.hot);
        EXPECT_NEAR(v, c.raw, 1e-9) << what;
        EXPECT_DOUBLE_EQ(BTN_number_settle(v, c.decimals, c.min, c.max), c.shown) << what;
        EXPECT_EQ(hot, c.hot_after) << what;
        EXPECT_EQ(change, c.change) << what;
    }
}

TEST(NumberEdits, ArrowClickTable)
{
    // A field at (100, 200): columns 100 + 10 k .. 110 + 10 k; above 203 is up.
    const struct {
        double value;
        int digits, decimals;
        float mx, my;
        double want;
        int stepped;
    } cases[] = {
        {12.5, 3, 1, 105, 215, 22.5, 1}, // up arrow of digit 0
        {12.5, 3, 1, 125, 215, 12.6, 1}, // of digit 2
        {12.5, 3, 1, 125, 190, 12.4, 1}, // down arrow of digit 2
        {12.5, 3, 1, 115, 203, 11.5, 1}, // at y + 3: the lower half
        {12.5, 3, 1, 115, 203.5f, 13.5, 1},
        {12.5, 3, 1, 110, 215, 23.5, 1}, // on a border: both digits
        {12.5, 3, 1, 100, 185, 2.5, 1},  // the left edge counts
        {12.5, 3, 1, 130, 185, 12.4, 1}, // the right edge counts
        {12.5, 3, 1, 99.5f, 215, 12.5, 0},
        {12.5, 3, 1, 130.5f, 215, 12.5, 0},
        // 12 digits: columns 10 and 11 do not answer (x 200 is still 9's).
        {0, 12, 0, 205, 215, 0, 0},
        {0, 12, 0, 215, 215, 0, 0},
        {0, 12, 0, 195, 215, 100, 1},
        // Int field: 7 down on the last digit is 6.
        {7, 4, 0, 135, 190, 6, 1},
    };
    for (const auto& c : cases) {
        double v = c.value;
        const int stepped = BTN_number_arrow_click(&v, 100, 200, c.digits, c.decimals, c.mx, c.my);
        EXPECT_NEAR(v, c.want, 1e-9) << c.value << " at " << c.mx << "," << c.my;
        EXPECT_EQ(stepped, c.stepped) << c.value << " at " << c.mx << "," << c.my;
    }
}

TEST(NumberEdits, SettleClampsThenRoundsHalfAwayInDouble)
{
    const struct {
        double value;
        int decimals;
        float min, max;
        double want;
    } cases[] = {
        {-5, 1, 0, 50, 0},
        {55, 1, 0, 50, 50},
        {12.25, 1, 0, 50, 12.3}, // halves away from zero
        {-12.25, 1, -50, 50, -12.3},
        {12.24999, 1, 0, 50, 12.2},
        {7, 0, 10, 5, 5}, // min above max: max wins, as the order says
        {NAN, 1, 3, 50, 3},
        // Beyond the int range once scaled: rounded, not wrapped.
        {123456789.256, 2, 0, 1e10f, 123456789.26},
        {2147483647.0, 0, 0, float(INT_MAX), 2147483647.0},
        {-2147483648.0, 0, float(INT_MIN), 0, -2147483648.0},
        {3e9 + 0.4, 0, 0, 1e10f, 3e9},
        // Too large for any rounding: already whole, kept.
        {1e30, 2, 0, 1e31f, 1e30},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(BTN_number_settle(c.value, c.decimals, c.min, c.max), c.want)
            << c.value << " in " << c.min << ".." << c.max;
}

// ---------------------------------------------------------------------------
// The widget in a real window
// ---------------------------------------------------------------------------

namespace
{
void open_main()
{
    xvfb_open_shell_window();
    colr.assign(0, 1, 1, 1);
    VOVARU_startwind(kWinMain, 0);
    stls[kStlsTooltip].clear();
}

void mouse_at(float x, float y, int press = 0)
{
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_press = press;
    mnw.menu_open = kNoMenu;
}

// One frame as the frame pass runs it: the keys of the event phase are
// offered to the ring of the previous frame, the ring starts, the
// fields draw.
struct key_in {
    int ch, vkey, flags;
};
void dispatch(const std::vector<key_in>& keys)
{
    for (const key_in& k : keys) {
        BTN_dispatch_to_focus(k.ch, k.vkey, k.flags | kKeyFlagDown);
        BTN_dispatch_to_focus(k.ch, k.vkey, k.flags | kKeyFlagUp);
    }
    BTN_begin_focus_ring();
    mnw.cursor_kind = 0;
}

key_in digit(char c)
{
    return {c, c, 0};
}
} // namespace

TEST(NumberWidget, MouseAndKeyEditsThroughTheRing)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    float v = 12.5f;
    auto field = [&] { return BTN_flt_range(100, 200, &v, 3, 1, 0, 50, "Speed|knots{ the help"); };

    // Nothing focused, the mouse away: the value is only settled.
    mouse_at(500, 500);
    dispatch({});
    EXPECT_EQ(field(), 0);
    EXPECT_EQ(v, 12.5f);

    // A click on digit 1 focuses the field and makes it hot; '7' then
    // overwrites it, the next digit is hot.
    mouse_at(113, 203, 1);
    dispatch({});
    EXPECT_EQ(field(), 0);
    EXPECT_EQ(focus_ring.focused, BTN_field_key(100, 200));
    mouse_at(500, 500);
    dispatch({digit('7')});
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 17.5f);
    dispatch({digit('9')}); // digit 2 now
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 17.9f);
    dispatch({{0, ZYNT_VK_UP, 0}}); // hot wrapped to digit 0: +10
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 27.9f);
    dispatch({{0, ZYNT_VK_LEFT, 0}, {0, ZYNT_VK_DOWN, 0}}); // digit 2: -0.1
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 27.8f);
    dispatch({{0, ZYNT_VK_RIGHT, 0}}); // moves only
    EXPECT_EQ(field(), 0);
    dispatch({digit('9')}); // 97.8 clamps to 50
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 50.0f);
    dispatch({{'-', '-', 0}}); // negative clamps to 0
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 0.0f);
    // A letter is not queued: the keyboard layer gets it.
    EXPECT_EQ(BTN_dispatch_to_focus('a', 'A', kKeyFlagDown), 0);
    EXPECT_EQ(BTN_dispatch_to_focus(13, ZYNT_VK_RETURN, kKeyFlagDown), 0);

    // Arrow clicks do not need the focus; the click's press drops it first
    // in the shell, so do it here.
    BTN_unfocus_any();
    v = 12.5f;
    mouse_at(105, 215, 1);
    dispatch({});
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 22.5f);
    EXPECT_EQ(focus_ring.focused, 0);
    mouse_at(125, 190, 1);
    dispatch({});
    EXPECT_EQ(field(), 1);
    EXPECT_FLOAT_EQ(v, 22.4f);
    // Not while a menu is open.
    mouse_at(105, 215, 1);
    mnw.menu_open = 3;
    dispatch({});
    EXPECT_EQ(field(), 0);
    EXPECT_FLOAT_EQ(v, 22.4f);
    EXPECT_EQ(mnw.cursor_kind, 0);
}

TEST(NumberWidget, PointerLookAndTooltip)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    float v = 1;
    const struct {
        float x, y;
        int menu;
        int cursor;
        const char* tip;
    } cases[] = {
        {115, 215, kNoMenu, 13, ""},       // upper arrows
        {115, 203.5f, kNoMenu, 0, "help"}, // over the digits: the tooltip, no look
        {115, 224, kNoMenu, 13, ""},       // the band's top edge
        {115, 190, kNoMenu, 14, ""},       // lower arrows
        {115, 182, kNoMenu, 14, ""},       // the band's bottom edge
        {115, 181.5f, kNoMenu, 0, ""},     //
        {115, 224.5f, kNoMenu, 0, ""},     //
        {130, 215, kNoMenu, 13, ""},       // the right edge
        {130.5f, 215, kNoMenu, 0, ""},     //
        {115, 215, 5, 0, ""},              // not while a menu is open
        {115, 200, kNoMenu, 0, "help"},
        {100, 198, kNoMenu, 0, "help"}, // its corner
        {115, 200, 5, 0, "help"},       // the tooltip also with a menu open
    };
    for (const auto& c : cases) {
        mouse_at(c.x, c.y);
        mnw.menu_open = c.menu;
        mnw.cursor_kind = 0;
        stls[kStlsTooltip].clear();
        BTN_flt_range(100, 200, &v, 3, 1, 0, 50, "{ help");
        EXPECT_EQ(mnw.cursor_kind, c.cursor) << c.x << "," << c.y;
        EXPECT_EQ(stls[kStlsTooltip], c.tip) << c.x << "," << c.y;
    }
}

TEST(NumberWidget, IntFieldKeepsTheEndsOfItsRange)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    mouse_at(900, 700);
    const struct {
        int value, digits;
        float min, max;
        int want;
    } cases[] = {
        {INT_MAX, 10, 0, float(INT_MAX), INT_MAX}, // max is 2147483648 as a float
        {INT_MAX, 10, 0, 1e10f, INT_MAX},
        {INT_MIN, 10, float(INT_MIN), 0, INT_MIN},
        {INT_MIN, 10, -1e10f, 1e10f, INT_MIN},
        {2147483600, 10, 0, float(INT_MAX), 2147483600},
        {7, 4, 0, 100, 7},
        {700, 4, 0, 100, 100},
        {-3, 4, 0, 100, 0},
    };
    for (const auto& c : cases) {
        int v = c.value;
        dispatch({});
        EXPECT_EQ(BTN_int_range(100, 100, &v, c.digits, c.min, c.max, "n"), 0) << c.value;
        EXPECT_EQ(v, c.want) << c.value;
        dispatch({});
        BTN_int_range(100, 100, &v, c.digits, c.min, c.max, "n");
        EXPECT_EQ(v, c.want) << c.value << ", second frame";
    }
    // Up on the units of INT_MAX in a wider range stays within the int.
    int v = INT_MAX;
    mouse_at(103, 103, 1); // digit 0 is hot...
    dispatch({});
    BTN_int_range(100, 100, &v, 10, -1e10f, 1e10f, "n");
    mouse_at(900, 700);
    dispatch({{0, ZYNT_VK_LEFT, 0}, {0, ZYNT_VK_UP, 0}}); // ...Left makes it the units
    EXPECT_EQ(BTN_int_range(100, 100, &v, 10, -1e10f, 1e10f, "n"), 1);
    EXPECT_EQ(v, INT_MAX);
    // A click on the down arrow of the last digit: 7 becomes 6.
    v = 7;
    mouse_at(135, 90, 1);
    dispatch({});
    EXPECT_EQ(BTN_int_range(100, 100, &v, 4, 0, 100, "n"), 1);
    EXPECT_EQ(v, 6);
}

namespace
{
struct rgb {
    int r, g, b;
};
rgb read_rgb(int x, int y)
{
    unsigned char p[3] = {0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return rgb{p[0], p[1], p[2]};
}
bool is_green(const rgb& p)
{
    return p.g > 200 && p.r < 40 && p.b < 40;
}

// Saves the back buffer's box, each pixel as zoom x zoom, in
// ZUDEZUD_SHOTS_DIR when it is set.
void save_zoomed(const std::string& name, int x, int y, int w, int h, int zoom)
{
    const char* dir = std::getenv("ZUDEZUD_SHOTS_DIR");
    if (!dir || !*dir) return;
    glFinish();
    std::vector<unsigned char> p(size_t(w) * h * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, p.data());
    texfix::PngSpec spec;
    spec.width = w * zoom;
    spec.height = h * zoom;
    std::vector<std::vector<uint8_t>> rows;
    for (int r = h - 1; r >= 0; --r) {
        std::vector<uint8_t> row;
        for (int c = 0; c < w; ++c)
            for (int z = 0; z < zoom; ++z)
                row.insert(row.end(), p.begin() + (size_t(r) * w + c) * 3,
                           p.begin() + (size_t(r) * w + c) * 3 + 3);
        for (int z = 0; z < zoom; ++z)
            rows.push_back(row);
    }
    ASSERT_TRUE(texfix::write_png(std::string(dir) + "/" + name, spec, rows));
}
} // namespace

TEST(NumberWidget, HotDigitBoxAndArrowsAreDrawn)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_main();
    colr.assign(8, 0, 1, 0); // the hot digit's box, pure green
    float v = 12.5f;
    int n = 40;
    // Focus by a click on digit 2.
    mouse_at(124, 203, 1);
    dispatch({});
    OGL_plot_back_col();
    BTN_flt_range(100, 200, &v, 3, 1, 0, 50, "Speed|knots{ help");
    BTN_int_range(100, 150, &n, 4, 0, 100, "Streams|per file");
    glFinish();
    // The box: x 122 .. 131, y 198 .. 209; its left column is free of the
    // digit's glyph.
    EXPECT_TRUE(is_green(read_rgb(122, 198)));
    EXPECT_TRUE(is_green(read_rgb(122, 208)));
    EXPECT_FALSE(is_green(read_rgb(121, 203)));
    EXPECT_FALSE(is_green(read_rgb(122, 210)));
    EXPECT_FALSE(is_green(read_rgb(102, 198))); // digit 0 is not hot
    EXPECT_FALSE(is_green(read_rgb(102, 148))); // the other field is not focused
    // An arrow's dark tip differs from the white field it stands on.
    const rgb up = read_rgb(106, 218), field = read_rgb(106, 205);
    EXPECT_NE(up.r + up.g + up.b, field.r + field.g + field.b);
    // For the person looking: dark labels and digits, the pointer look over
    // the int field's upper arrows, and a negative value.
    colr.assign(43, 0.1f, 0.1f, 0.1f);
    colr.assign(45, 0.1f, 0.1f, 0.4f);
    float neg = -3.25f;
    mouse_at(125, 170);
    OGL_plot_back_col();
    BTN_flt_range(100, 200, &v, 3, 1, 0, 50, "Speed|knots{ help");
    BTN_int_range(100, 150, &n, 4, 0, 100, "Streams|per file");
    BTN_flt_range(100, 100, &neg, 4, 2, -10, 10, "Trim|degrees");
    EXPECT_EQ(mnw.cursor_kind, 13);
    mouse_help_per_wind(kWinMain);
    save_zoomed("numfield.png", 30, 75, 200, 160, 4);

    // Unfocused: no box.
    BTN_unfocus_any();
    mouse_at(900, 700);
    dispatch({});
    OGL_plot_back_col();
    BTN_flt_range(100, 200, &v, 3, 1, 0, 50, "Speed|knots{ help");
    glFinish();
    EXPECT_FALSE(is_green(read_rgb(122, 198)));
}
