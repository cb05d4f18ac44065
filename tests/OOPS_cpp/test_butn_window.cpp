// The widgets in a real window under Xvfb: artwork read back against the
// generated atlas, hit boxes, check boxes and radio groups, the pop-up with
// the shell's menu slot, and screenshots for a person to look at.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "TEX/tex_fixtures.h"
#include "support/alert_probe.h"
#include "support/xvfb.h"

namespace
{
constexpr int kColBack = 50; // magenta background of the read-backs
constexpr int kColRedTint = 60;
constexpr float kBack[3] = {1, 0, 1};

struct px {
    int r, g, b, a;
};

px read_px(int x, int y)
{
    unsigned char p[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return px{p[0], p[1], p[2], p[3]};
}

// Level 0 of a texture, bottom row first, RGBA.
struct texels {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    px at(int u, int v) const
    {
        const unsigned char* p = &rgba[(size_t(v) * w + u) * 4];
        return px{p[0], p[1], p[2], p[3]};
    }
};

texels read_texture(int tex)
{
    texels t;
    TEX_bind_ref(tex, 0, 0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.h);
    t.rgba.resize(size_t(t.w) * t.h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.rgba.data());
    return t;
}

// The texel, tinted, blended over the magenta background.
::testing::AssertionResult shows_texel(int x, int y, const texels& t, int u, int v,
                                       const float tint[3] = nullptr)
{
    static const float white[3] = {1, 1, 1};
    if (!tint) tint = white;
    const px s = t.at(u, v), got = read_px(x, y);
    const float a = s.a / 255.0f;
    const int want[3] = {int(s.r * tint[0] * a + 255 * kBack[0] * (1 - a) + 0.5f),
                         int(s.g * tint[1] * a + 255 * kBack[1] * (1 - a) + 0.5f),
                         int(s.b * tint[2] * a + 255 * kBack[2] * (1 - a) + 0.5f)};
    const int have[3] = {got.r, got.g, got.b};
    for (int i = 0; i < 3; ++i)
        if (std::abs(have[i] - want[i]) > 3)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << "," << y << ") is " << got.r << "," << got.g << "," << got.b
                   << "; texel (" << u << "," << v << ") gives " << want[0] << "," << want[1] << ","
                   << want[2];
    return ::testing::AssertionSuccess();
}

bool is_back(int x, int y)
{
    const px p = read_px(x, y);
    return p.r == 255 && p.g == 0 && p.b == 255;
}

void clear_back()
{
    OGL_fillrect(kColBack, 1, -mnw.win_x, -mnw.win_y, float(mnw.res_x), float(mnw.res_y));
}

void open_main()
{
    xvfb_open_shell_window();
    colr.assign(kColBack, kBack[0], kBack[1], kBack[2]);
    colr.assign(0, 1, 1, 1);
    VOVARU_startwind(kWinMain, 0);
    stls[kStlsTooltip].clear();
}

void press_at(float x, float y)
{
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_press = 1;
}

void xdo(const std::string& args)
{
    const XvfbResult r = run_capture("xdotool " + args);
    ASSERT_EQ(r.status, 0) << r.output;
}

// Saves the back buffer's box as a PNG in ZUDEZUD_SHOTS_DIR, if set.
void save_shot(const std::string& name, int x, int y, int w, int h)
{
    const char* dir = std::getenv("ZUDEZUD_SHOTS_DIR");
    if (!dir || !*dir) return;
    glFinish();
    std::vector<unsigned char> p(size_t(w) * h * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, p.data());
    texfix::PngSpec spec;
    spec.width = w;
    spec.height = h;
    std::vector<std::vector<uint8_t>> rows;
    for (int r = h - 1; r >= 0; --r)
        rows.emplace_back(p.begin() + size_t(r) * w * 3, p.begin() + size_t(r + 1) * w * 3);
    ASSERT_TRUE(texfix::write_png(std::string(dir) + "/" + name, spec, rows));
}
} // namespace

// ---------------------------------------------------------------------------
// Artwork
// ---------------------------------------------------------------------------

TEST(ArtworkReadback, ButtonBarColumnsComeFromTheirAtlasPieces)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    const texels atlas = read_texture(kTexInterface);
    ASSERT_EQ(atlas.w, 512);
    clear_back();
    BTN_frame1(2, 100.4f, 50, 61, 0);
    glFinish();
    // Row 50 is atlas row 486 + 13; columns 69 to 130: cap, middle, cut
    // middle, cap.
    const struct {
        int x0, x1, u0;
    } pieces[] = {{69, 78, 304}, {79, 110, 314}, {111, 120, 314}, {121, 130, 346}};
    for (const auto& p : pieces)
        for (int x = p.x0; x <= p.x1; ++x)
            EXPECT_TRUE(shows_texel(x, 50, atlas, p.u0 + x - p.x0, 499));
    EXPECT_TRUE(is_back(68, 50));
    EXPECT_TRUE(is_back(131, 50));
    EXPECT_TRUE(is_back(100, 36));
    EXPECT_FALSE(is_back(100, 37));
    EXPECT_FALSE(is_back(100, 62));
    EXPECT_TRUE(is_back(100, 63));

    // The colour id tints the artwork.
    colr.assign(kColRedTint, 1, 0, 0);
    const float red[3] = {1, 0, 0};
    clear_back();
    BTN_frame1(2, 100, 50, 61, kColRedTint);
    glFinish();
    EXPECT_TRUE(shows_texel(95, 50, atlas, 314 + 95 - 79, 499, red));

    // A type 8 knob 8 wide draws nothing; 12 wide only its two caps.
    clear_back();
    BTN_frame1(8, 300, 300, 8, 0);
    glFinish();
    for (int x = 290; x < 310; ++x)
        for (int y = 290; y < 310; ++y)
            ASSERT_TRUE(is_back(x, y)) << x << "," << y;
    BTN_frame1(8, 300, 300, 12, 0);
    glFinish();
    EXPECT_TRUE(shows_texel(296, 300, atlas, 289 + 2, 219 + 8));
    EXPECT_TRUE(shows_texel(303, 300, atlas, 298 + 2, 219 + 8));
    EXPECT_TRUE(is_back(293, 300));
    EXPECT_TRUE(is_back(306, 300));

    // The vertical bar, height 30: 38 high, 20 wide.
    clear_back();
    BTN_frame0(6, 500, 400, 30);
    glFinish();
    EXPECT_TRUE(shows_texel(495, 381, atlas, 102 + 5, 248));
    EXPECT_TRUE(shows_texel(495, 418, atlas, 102 + 5, 287));
    EXPECT_TRUE(is_back(500, 380));
    EXPECT_TRUE(is_back(500, 419));
}

TEST(ArtworkReadback, PanelCornersComeFromTheirTexture)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    const texels atlas = read_texture(kTexInterface);
    const texels installer = read_texture(kTexInstaller);
    ASSERT_EQ(installer.w, 1024);
    // Type, atlas origin, tile size, margins left/right, below, above.
    const struct {
        int type;
        const texels* tex;
        int u0, v0, t, ml, mb, ma;
    } rows[] = {
        {11, &atlas, 1, 358, 100, 9, 14, 4},   {12, &atlas, 102, 358, 100, 9, 14, 4},
        {13, &atlas, 203, 358, 100, 9, 14, 4}, {14, &atlas, 304, 358, 100, 9, 14, 4},
        {15, &atlas, 405, 358, 100, 9, 14, 4}, {16, &atlas, 1, 289, 68, 2, 2, 2},
        {17, &atlas, 70, 315, 42, 8, 13, 2},   {18, &atlas, 113, 315, 42, 8, 13, 2},
        {19, &atlas, 440, 12, 44, 6, 9, 4},    {20, &installer, 774, 78, 41, 1, 1, 1},
    };
    const float x = 200, y = 200, w = 300, h = 150;
    for (const auto& r : rows) {
        SCOPED_TRACE("type " + std::to_string(r.type));
        clear_back();
        BTN_frame2(r.type, x, y, w, h, "");
        glFinish();
        const int X0 = int(x) - r.ml, Y0 = int(y) - r.mb;
        const int X1 = int(x + w) + r.ml - 1, Y1 = int(y + h) + r.ma - 1;
        for (int d : {0, 5, 8}) {
            EXPECT_TRUE(shows_texel(X0 + d, Y0 + d, *r.tex, r.u0 + d, r.v0 + d));
            EXPECT_TRUE(
                shows_texel(X1 - d, Y1 - d, *r.tex, r.u0 + r.t - 1 - d, r.v0 + r.t - 1 - d));
            EXPECT_TRUE(shows_texel(X0 + d, Y1 - d, *r.tex, r.u0 + d, r.v0 + r.t - 1 - d));
        }
        EXPECT_TRUE(is_back(X0 - 1, Y0 + 40));
        EXPECT_TRUE(is_back(X1 + 1, Y0 + 40));
        EXPECT_TRUE(is_back(X0 + 40, Y0 - 1));
        EXPECT_TRUE(is_back(X0 + 40, Y1 + 1));
    }
}

// The first and last columns where a title changes the panel.
void title_columns(int type, float x, float y, float w, float h, int* first, int* last)
{
    const float base = y + h - (type == 11 ? 13 : 16);
    auto grab = [&](const std::string& title) {
        clear_back();
        BTN_frame2(type, x, y, w, h, title);
        glFinish();
        std::vector<unsigned char> p(size_t(w) * 20 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(int(x), int(base) - 8, int(w), 20, GL_RGB, GL_UNSIGNED_BYTE, p.data());
        return p;
    };
    const std::vector<unsigned char> plain = grab(""), titled = grab("MM");
    *first = *last = -1;
    for (int col = 0; col < int(w); ++col)
        for (int row = 0; row < 20; ++row) {
            const size_t i = (size_t(row) * size_t(w) + col) * 3;
            if (plain[i] == titled[i] && plain[i + 1] == titled[i + 1] &&
                plain[i + 2] == titled[i + 2])
                continue;
            if (*first < 0) *first = int(x) + col;
            *last = int(x) + col;
        }
}

TEST(ArtworkReadback, TitlesCentredOrIndented)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    int first, last;
    // "MM" is 20 wide: centred over 300 starts at x + 140.
    title_columns(13, 200, 200, 300, 150, &first, &last);
    EXPECT_GE(first, 340);
    EXPECT_LE(first, 342);
    EXPECT_LE(last, 360);
    // The installer panel starts its title 10 in.
    title_columns(20, 200, 200, 300, 150, &first, &last);
    EXPECT_GE(first, 210);
    EXPECT_LE(first, 212);
    EXPECT_LE(last, 230);
}

TEST(ArtworkReadback, CloseBoxesOnlyInOrdinarySubWindows)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    // The dark cross at each box's centre.
    auto dark = [](float wx_, float wy_) {
        const px p = read_px(int(mnw.win_x + wx_), int(mnw.win_y + wy_));
        return p.r < 70 && p.g < 70 && p.b < 70;
    };
    const struct {
        int window;
        bool boxes;
    } cases[] = {{kWinPrefs, true},
                 {kWinLicence, true},
                 {kWinMain, false},
                 {kWinAlert, false},
                 {999, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("window " + std::to_string(c.window));
        VOVARU_startwind(c.window, 0);
        clear_back();
        BTN_fillwin(1, 21);
        glFinish();
        EXPECT_EQ(dark(16, mnw.win_h - 10), c.boxes);
        EXPECT_EQ(dark(mnw.win_w - 16, mnw.win_h - 10), c.boxes);
    }
    // A click in the left box stops before the right one.
    VOVARU_startwind(kWinPrefs, 0);
    clear_back();
    press_at(7, mnw.win_h - 19);
    BTN_fillwin(1, 21);
    glFinish();
    EXPECT_TRUE(dark(16, mnw.win_h - 10));
    EXPECT_FALSE(dark(mnw.win_w - 16, mnw.win_h - 10));
}

TEST(Panels, ZapBoxesAnswerClicksOnTheirEdges)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    VOVARU_startwind(kWinPrefs, 0);
    const float w = mnw.win_w, h = mnw.win_h;
    const struct {
        float x, y;
        int press, want;
    } cases[] = {
        {7, h - 19, 1, 1},     {25, h - 1, 1, 1},     {6.5f, h - 10, 1, 0},
        {16, h - 19.5f, 1, 0}, {w - 7, h - 1, 1, 1},  {w - 25, h - 19, 1, 1},
        {w - 6, h - 10, 1, 0}, {w / 2, h - 10, 1, 0}, {16, h - 10, 0, 0},
    };
    for (const auto& c : cases) {
        mnw.mouse_x = c.x;
        mnw.mouse_y = c.y;
        mnw.mouse_press = c.press;
        mnw.menu_open = 3; // not consulted
        EXPECT_EQ(BTN_zap_boxes(0), c.want) << c.x << "," << c.y;
    }
}

// The movie window only says that there are no movies: its framed background
// and one darker panel of 296 under the title, with the out-position beyond it.
TEST(Panels, MovieWindowSaysThereAreNoMovies)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    VOVARU_startwind(kWinPrefs, 0); // 600 x 380
    const texels atlas = read_texture(kTexInterface);
    clear_back();
    wx1 = wy1 = -1;
    qtim.qtim_wind();
    glFinish();
    EXPECT_FLOAT_EQ(wx1, 600);
    EXPECT_FLOAT_EQ(wy1, 316);
    // The window's type 11 background starts 9 left and 14 below the window,
    // the type 15 panel 9 left and 14 below (10, 10).
    const int wx0 = int(mnw.win_x) - 9, wy0 = int(mnw.win_y) - 14;
    EXPECT_TRUE(shows_texel(wx0 + 5, wy0 + 5, atlas, 1 + 5, 358 + 5));
    EXPECT_TRUE(shows_texel(wx0 + 10 + 40, wy0 + 10 + 40, atlas, 405 + 40, 358 + 40));
}

TEST(Panels, SubwinDefaultsAndFarCorner)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    VOVARU_startwind(kWinPrefs, 0); // 600 x 380
    const texels atlas = read_texture(kTexInterface);
    float ox = 0, oy = 0;
    clear_back();
    BTN_subwin(20, 12, -1, -1, -1, -1, "", &ox, &oy);
    glFinish();
    EXPECT_FLOAT_EQ(ox, 600);
    EXPECT_FLOAT_EQ(oy, 342);
    // Drawn at (10, 10), 580 x 322: its art starts 9 left and 14 below.
    const int x0 = int(mnw.win_x) + 1, y0 = int(mnw.win_y) - 4;
    EXPECT_TRUE(shows_texel(x0 + 5, y0 + 5, atlas, 102 + 5, 358 + 5));
    EXPECT_TRUE(is_back(x0 - 1, y0 + 50));
    const int x1 = int(mnw.win_x) + 598, y1 = int(mnw.win_y) + 335;
    EXPECT_TRUE(shows_texel(x1 - 5, y1 - 5, atlas, 102 + 94, 358 + 94));
    EXPECT_TRUE(is_back(x1 + 1, y1 - 50));
    // Given values pass through.
    BTN_subwin(0, 13, 30, 40, 100, 50, "t", &ox, &oy);
    EXPECT_FLOAT_EQ(ox, 140);
    EXPECT_FLOAT_EQ(oy, 100);
    // Header bar 50 below the top, across the window.
    clear_back();
    BTN_fillwin(0, 1);
    glFinish();
    // Type 1 is 3 lower: rows 314 to 340; x 300 is 40 into the fifth middle.
    EXPECT_TRUE(
        shows_texel(int(mnw.win_x) + 300, int(mnw.win_y) + 327, atlas, 102 + 20 + 40, 487 + 13));
}

// ---------------------------------------------------------------------------
// Buttons and check boxes
// ---------------------------------------------------------------------------

TEST(Buttons, ClickBoxEdgesCountAndOnePastDoesNot)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    // "OK" is 9 + 7 wide: the button 37, its box x 300 +- 18.5, y 200 +- 10.
    EXPECT_FLOAT_EQ(BTN_action_width(-1, "OK"), 37);
    EXPECT_FLOAT_EQ(BTN_action_width(0, ""), 21);
    EXPECT_FLOAT_EQ(BTN_action_width(80, "OK"), 80);
    const struct {
        float x, y;
        int press, menu, want;
    } cases[] = {
        {281.5f, 200, 1, -1, 1}, {318.5f, 210, 1, -1, 1},      {300, 190, 1, -1, 1},
        {318.5f, 190, 1, -1, 1}, {280.5f, 200, 1, -1, 0},      {319.5f, 200, 1, -1, 0},
        {300, 189, 1, -1, 0},    {300, 211, 1, -1, 0},         {300, 200, 0, -1, 0},
        {300, 200, 1, 4, 0},     {300, 200, 1, kPopupSlot, 0},
    };
    for (const auto& c : cases) {
        mnw.mouse_x = c.x;
        mnw.mouse_y = c.y;
        mnw.mouse_press = c.press;
        mnw.menu_open = c.menu;
        EXPECT_EQ(BTN_action(300, 200, -1, 0, 0, "OK", "-"), c.want)
            << c.x << "," << c.y << " menu " << c.menu;
    }
    mnw.menu_open = kNoMenu;
    mnw.mouse_press = 0;

    // Its artwork is 38 wide: the half width 18.5 rounds to 19.
    clear_back();
    BTN_action(300, 200, -1, 0, 0, "OK", "-");
    glFinish();
    EXPECT_TRUE(is_back(280, 200));
    EXPECT_FALSE(is_back(281, 200));
    EXPECT_FALSE(is_back(318, 200));
    EXPECT_TRUE(is_back(319, 200));
}

TEST(Buttons, DownLabelIsHotOnlyWithStyleTwo)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    colr.assign(80, 0, 0, 1);
    colr.assign(43, 1, 0, 0);
    auto count = [](bool blue) {
        std::vector<unsigned char> p(120 * 16 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(240, 190, 120, 16, GL_RGB, GL_UNSIGNED_BYTE, p.data());
        int n = 0;
        for (size_t i = 0; i < p.size(); i += 3) {
            const int main = blue ? p[i + 2] : p[i], o1 = blue ? p[i] : p[i + 1],
                      o2 = blue ? p[i + 1] : p[i + 2];
            if (main > 180 && o1 < 60 && o2 < 60) ++n;
        }
        return n;
    };
    for (int style : {1, 2}) {
        clear_back();
        BTN_action(300, 200, 120, 1, style, "MMMM", "-");
        glFinish();
        EXPECT_EQ(count(true) > 0, style == 2) << style;
        EXPECT_EQ(count(false) > 0, style == 1) << style;
    }
}

TEST(CheckBoxes, HitBoxToggleAndTooltip)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    const struct {
        float x, y;
        int hit;
    } cases[] = {{92, 96, 1},      {108, 112, 1},   {100, 100, 1},    {91.5f, 100, 0},
                 {108.5f, 100, 0}, {100, 95.5f, 0}, {100, 112.5f, 0}, {100, 90, 0}};
    for (const auto& c : cases) {
        int v = 0;
        stls[kStlsTooltip] = "before";
        press_at(c.x, c.y);
        EXPECT_EQ(BTN_bool(100, 100, &v, "left|right{ the help", 0), c.hit) << c.x << "," << c.y;
        EXPECT_EQ(v, c.hit);
        EXPECT_EQ(stls[kStlsTooltip], c.hit ? "the help" : "before");
    }
    // Hovering shows the help without a click; any non-zero value is checked.
    int v = 5;
    press_at(100, 100);
    mnw.mouse_press = 0;
    stls[kStlsTooltip].clear();
    EXPECT_EQ(BTN_bool(100, 100, &v, "|x{ tip", 0), 0);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(stls[kStlsTooltip], "tip");
    press_at(100, 100);
    EXPECT_EQ(BTN_bool(100, 100, &v, "|x{ tip", 0), 1);
    EXPECT_EQ(v, 0);
    // Not while a menu is open; the pointer look is left alone.
    mnw.menu_open = 7;
    mnw.cursor_kind = 13;
    EXPECT_EQ(BTN_bool(100, 100, &v, "|x", 1), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(mnw.cursor_kind, 13);
}

TEST(CheckBoxes, RadioGroup)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    int chosen = 0;
    auto frame = [&](float mx, float my, int press) {
        mnw.mouse_x = mx;
        mnw.mouse_y = my;
        mnw.mouse_press = press;
        std::vector<int> r;
        for (int i = 0; i < 3; ++i)
            r.push_back(BTN_is_int(142, 578 - 20.0f * i, &chosen, i, "server"));
        return r;
    };
    EXPECT_EQ(frame(142, 558, 1), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(frame(142, 558, 1), (std::vector<int>{0, 1, 0})); // already chosen: kept
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(frame(142, 538, 1), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(frame(300, 300, 1), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(chosen, 2);
}

// ---------------------------------------------------------------------------
// Pop-up choice
// ---------------------------------------------------------------------------

namespace
{
const char* const kOs = "Macintosh-Windows-Linux"; // widths 53, 48, 29

void reset_popup()
{
    active_popup_code = select_popup_code = popup_menu_select = 0;
    mnw.menu_open = kNoMenu;
    mnw.mouse_press = 0;
    mnw.mouse_x = mnw.mouse_y = -100;
}
} // namespace

TEST(Popup, ClampOpenAndSlot)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    reset_popup();
    int sel = 7;
    EXPECT_EQ(BTN_textlist(200, 310, &sel, kOs, ""), 0);
    EXPECT_EQ(sel, 2);
    sel = -3;
    BTN_textlist(200, 310, &sel, kOs, "");
    EXPECT_EQ(sel, 0);
    EXPECT_EQ(mnw.menu_open, kNoMenu);

    // The box is x - 26.5 - 5 .. x + 26.5 + 25 by y - 2 .. y + 8.
    const int id = BTN_popup_id(200, 310);
    sel = 1;
    press_at(168.4f, 305);
    BTN_textlist(200, 310, &sel, kOs, "");
    EXPECT_EQ(active_popup_code, 0);
    press_at(251.5f, 318);
    mnw.menu_open = 12; // the open-menu state is not consulted
    EXPECT_EQ(BTN_textlist(200, 310, &sel, kOs, "{ help"), 0);
    EXPECT_EQ(active_popup_code, id);
    EXPECT_EQ(mnw.menu_open, kPopupSlot);
    const menu_struct& m = menu[kPopupSlot];
    EXPECT_EQ(m.parent, -1);
    EXPECT_EQ(m.x1, 171);
    EXPECT_EQ(m.x2, 230);
    EXPECT_EQ(m.y1, 298);
    EXPECT_EQ(m.y2, 334);
    ASSERT_EQ(m.items.size(), 3u);
    const short want[3][2] = {{319, 331}, {307, 319}, {295, 307}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.items[i].y1, want[i][0]) << i;
        EXPECT_EQ(m.items[i].y2, want[i][1]) << i;
        EXPECT_EQ(m.items[i].x1, 171);
        EXPECT_EQ(m.items[i].x2, 230);
        EXPECT_EQ(m.items[i].flag, 0);
    }
    EXPECT_EQ(m.items[2].text, "Linux");
    EXPECT_EQ(sel, 1);

    // A second click on the button of the open pop-up changes nothing.
    press_at(200, 310);
    EXPECT_EQ(BTN_textlist(200, 310, &sel, kOs, ""), 0);
    EXPECT_EQ(active_popup_code, id);
    EXPECT_EQ(sel, 1);

    // Choices ending in '-' have an empty last item, never picked.
    reset_popup();
    active_popup_code = BTN_popup_id(100, 100);
    sel = 0;
    BTN_textlist(100, 100, &sel, "a-b-", "");
    ASSERT_EQ(menu[kPopupSlot].items.size(), 3u);
    EXPECT_EQ(menu[kPopupSlot].items[2].text, "");
    press_at(100, menu[kPopupSlot].items[2].y1 + 1.0f);
    VOVARU_handleclick(0);
    EXPECT_EQ(select_popup_code, 0);
    EXPECT_EQ(active_popup_code, BTN_popup_id(100, 100));
}

TEST(Popup, PickIsTakenInTheNextFrame)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    reset_popup();
    int sel = 0;
    press_at(200, 310);
    BTN_textlist(200, 310, &sel, kOs, "");
    ASSERT_EQ(mnw.menu_open, kPopupSlot);
    // The shell handles the press on "Linux" (y 283 .. 295 when 0 is chosen:
    // item i lies 12 i lower).
    press_at(200, 310 - 24);
    VOVARU_handleclick(0);
    EXPECT_EQ(select_popup_code, BTN_popup_id(200, 310));
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    mnw.mouse_press = 0;
    EXPECT_EQ(BTN_textlist(200, 310, &sel, kOs, ""), 1);
    EXPECT_EQ(sel, 2);
    EXPECT_EQ(select_popup_code, 0);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    EXPECT_EQ(BTN_textlist(200, 310, &sel, kOs, ""), 0);
    // Another widget's pick is not taken.
    select_popup_code = BTN_popup_id(10, 10);
    popup_menu_select = 0;
    EXPECT_EQ(BTN_textlist(200, 310, &sel, kOs, ""), 0);
    EXPECT_EQ(sel, 2);
}

TEST(Popup, SlidesUpNearTheBottom)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    reset_popup();
    active_popup_code = BTN_popup_id(200, 5);
    int sel = 0;
    std::vector<int> seen;
    for (int frame = 0; frame < 4; ++frame) {
        BTN_textlist(200, 5, &sel, "one-two-three-four", "");
        seen.push_back(sel);
    }
    // Item 3 starts at 5 - 12 (3 - sel) - 3: below 0 until sel is 3.
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 3}));
    int low = 1000;
    for (const item_struct& it : menu[kPopupSlot].items)
        low = std::min<int>(low, it.y1);
    EXPECT_EQ(low, 2);
}

// In a sub-window the list must fit the drawable, not the window: items are
// placed in window units, the drawable starts win_y below the window.
TEST(Popup, SlidesToFitTheDrawableInASubWindow)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    VOVARU_startwind(kWinPicker, 0); // 561 x 474, centred: origin y 147
    ASSERT_FLOAT_EQ(mnw.win_y, 147);
    reset_popup();
    std::string choices = "a";
    for (int i = 1; i < 30; ++i)
        choices += "-a";
    active_popup_code = BTN_popup_id(280, 438);
    int sel = 29; // the deepest level, as the folder picker opens it
    for (int frame = 0; frame < 40; ++frame)
        BTN_textlist(280, 438, &sel, choices, "");
    int high = -1000, low = 1000;
    for (const item_struct& it : menu[kPopupSlot].items) {
        high = std::max<int>(high, it.y2);
        low = std::min<int>(low, it.y1);
    }
    EXPECT_LE(high + mnw.win_y, mnw.res_y);
    EXPECT_GE(low + mnw.win_y, 0);
    EXPECT_GT(high + mnw.win_y, mnw.res_y - 12); // it stops as soon as it fits
    // Near the window's bottom, items below the window but above the
    // drawable's bottom edge need no slide.
    reset_popup();
    active_popup_code = BTN_popup_id(200, 5);
    sel = 0;
    BTN_textlist(200, 5, &sel, "one-two-three-four", "");
    EXPECT_EQ(sel, 0);
}

// A real click on the button, then on an item, through the frame pass.
TEST(Popup, RealClicksPickAnItem)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    reset_popup();
    static int sel = 0;
    static std::vector<int> results;
    VOVARU_set_app_update_hook([] { results.push_back(BTN_textlist(200, 310, &sel, kOs, "")); });
    VOVARU_event_proc();
    const std::string w = std::to_string(x11.window[0]);
    // Window 0 fills the drawable: X y = 768 - y.
    xdo("mousemove --window " + w + " 200 455 click 1");
    for (int i = 0; i < 5 && mnw.menu_open != kPopupSlot; ++i)
        VOVARU_event_proc();
    ASSERT_EQ(mnw.menu_open, kPopupSlot);
    ASSERT_EQ(sel, 0);
    results.clear();
    // "Windows" lies 12 below the chosen item: y 295 .. 307.
    xdo("mousemove --window " + w + " 210 467 click 1");
    for (int i = 0; i < 5 && (results.empty() || results.back() == 0); ++i)
        VOVARU_event_proc();
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back(), 1);
    EXPECT_EQ(sel, 1);
    EXPECT_EQ(active_popup_code, 0);
    EXPECT_EQ(mnw.menu_open, kNoMenu);
    VOVARU_event_proc();
    EXPECT_EQ(results.back(), 0);
    VOVARU_set_app_update_hook(nullptr);
}

// ---------------------------------------------------------------------------
// Screenshots: ZUDEZUD_SHOTS_DIR=/tmp saves widgets-*.png to look at.
// ---------------------------------------------------------------------------

TEST(WidgetShots, PanelsButtonsBoxesAndPopup)
{
    const char* shots = std::getenv("ZUDEZUD_SHOTS_DIR");
    if (!shots) GTEST_SKIP() << "set ZUDEZUD_SHOTS_DIR to save the screenshots";
    XVFB_TEST_BODY(kXvfbScreen1024, {std::string("ZUDEZUD_SHOTS_DIR=") + shots});
    open_main();
    // Interface colours as start-up samples them from the atlas.
    const struct {
        int id, x, y;
    } swatches[] = {{34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131},
                    {38, 319, 123}, {40, 319, 115}, {41, 319, 107}, {42, 319, 99},
                    {43, 319, 91},  {45, 319, 83},  {46, 319, 75},  {47, 319, 67}};
    const texels atlas = read_texture(kTexInterface);
    for (const auto& s : swatches) {
        const px p = atlas.at(s.x, s.y);
        colr.assign(s.id, p.r / 255.0f, p.g / 255.0f, p.b / 255.0f);
    }

    // Every bar and panel type on the main window.
    OGL_plot_back_col();
    const int bars[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10};
    for (int i = 0; i < 10; ++i)
        BTN_frame1(bars[i], 120, 740 - 34.0f * i, 200, 0);
    BTN_frame0(6, 250, 600, 200);
    for (int t = 11; t <= 20; ++t)
        BTN_frame2(t, 300 + 140.0f * ((t - 11) % 5), 420 - 200.0f * ((t - 11) / 5), 110, 150,
                   "type " + std::to_string(t));
    save_shot("widgets-artwork.png", 0, 0, 1024, 768);

    // A dialog: panels, buttons, check boxes, radio buttons and an open pop-up.
    VOVARU_startwind(kWinPrefs, 0);
    stls[kStlsWindowTitle] = "Preferences";
    static int radio = 1, box_on = 1, box_off = 0, sel = 1;
    active_popup_code = BTN_popup_id(200, 310);
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 13, -1, -1, -1, 70, "Proxy (if you are behind a firewall with a Proxy)", &wx,
               &wy);
    BTN_subwin(0, 13, -1, 90, -1, -1, "General Preferences", &wx, &wy);
    BTN_textlist(200, 310, &sel, kOs, "Target platform|after{ help");
    BTN_bool(30, 270, &box_on, "|Checked box", 0);
    BTN_bool(30, 250, &box_off, "|Unchecked box", 0);
    BTN_is_int(250, 270, &radio, 0, "|Radio zero");
    BTN_is_int(250, 250, &radio, 1, "|Radio one (chosen)");
    BTN_util_draw_label(200, 200, 0, "Anti-alias level", 0);
    BTN_action(100, 150, -1, 0, 1, "preferences", "-");
    BTN_action(250, 150, 100, 1, 2, "Down, style 2", "side text");
    BTN_action(450, 150, 0, 1, 1, "Down, style 1", "-");
    BTN_frame1(9, 285, 40, 300, 0);
    standard_gui();
    save_shot("widgets-dialog.png", int(mnw.win_x), int(mnw.win_y), 600, 380);
    save_shot("widgets-popup.png", int(mnw.win_x) + 120, int(mnw.win_y) + 230, 200, 120);

    // The alert window's panel and OK button.
    VOVARU_startwind(kWinAlert, 0);
    stls[kStlsWindowTitle] = "Alert";
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 13, -1, 35, -1, -1, "", &wx, &wy);
    OGL_string(43, mnw.win_w * 0.5f, 205, "Some textures could not be loaded.", 378, 100, 1);
    BTN_action(mnw.win_w * 0.5f, 18, 0, 0, 1, "OK", "-");
    save_shot("widgets-alert.png", int(mnw.win_x), int(mnw.win_y), 420, 250);
}
