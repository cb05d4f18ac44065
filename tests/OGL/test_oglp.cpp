// The 2-D primitives, the colour rule, the GL state cache and the texture
// binding cache, checked by reading pixels back from the back buffer.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "TEX/TEX_bind.h"
#include "support/xvfb.h"

namespace
{
constexpr int kRed = 50, kGreen = 51, kBlue = 52, kWhite = 53;

struct rgb {
    int r, g, b;
};

rgb pixel(int x, int y)
{
    unsigned char p[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return rgb{p[0], p[1], p[2]};
}

::testing::AssertionResult is_colour(int x, int y, rgb want, int tol = 2)
{
    const rgb got = pixel(x, y);
    if (std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol &&
        std::abs(got.b - want.b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << got.r << "," << got.g << "," << got.b
           << " not " << want.r << "," << want.g << "," << want.b;
}

const rgb kRedPx{255, 0, 0}, kGreenPx{0, 255, 0}, kBluePx{0, 0, 255}, kGrey{128, 128, 128};

void open_main_window()
{
    xvfb_open_shell_window();
    colr.assign(kRed, 1, 0, 0);
    colr.assign(kGreen, 0, 1, 0);
    colr.assign(kBlue, 0, 0, 1);
    colr.assign(kWhite, 1, 1, 1);
    colr.assign(kColBackground, 0.5f, 0.5f, 0.5f);
    VOVARU_startwind(kWinMain, 0);
}

GLint get_int(GLenum what)
{
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

GLint env_int(GLenum what)
{
    GLint v = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, what, &v);
    return v;
}
} // namespace

TEST(ColourRule, LightMonochromeAndAlpha)
{
    const colr_class saved = colr;
    const ren_struct saved_ren = ren;
    colr.assign(43, 1, 1, 1);
    colr.assign(50, 1, 1, 1);
    colr.assign(45, 1, 1, 1);
    colr.assign(46, 1, 1, 1);
    colr.assign(kColLight, 0.8f, 0.8f, 0.8f);
    float c[4];
    EXPECT_EQ(OGL_colour_for(43, 1, c), 1);
    EXPECT_FLOAT_EQ(c[0], 0.8f);
    OGL_colour_for(45, 1, c);
    EXPECT_FLOAT_EQ(c[1], 0.8f); // 45 is still lit
    OGL_colour_for(46, 1, c);
    EXPECT_FLOAT_EQ(c[1], 1.0f); // 46 is not
    OGL_colour_for(50, 1, c);
    EXPECT_FLOAT_EQ(c[2], 1.0f);

    EXPECT_EQ(OGL_colour_for(50, 0.995f, c), 1); // drawn opaque
    EXPECT_EQ(OGL_colour_for(50, 0.98f, c), 0);
    EXPECT_FLOAT_EQ(c[3], 0.98f);
    ren.global_alpha = 0.5f;
    EXPECT_EQ(OGL_colour_for(50, 1, c), 0);
    EXPECT_FLOAT_EQ(c[3], 0.5f);
    ren.global_alpha = 1;

    ren.monochrome = 1;
    const struct {
        float in, g;
    } mono[] = {{0.3f, 0.9f}, {0.6f, 1.0f}, {0.0f, 0.01f}};
    for (const auto& m : mono) {
        colr.assign(60, m.in, m.in, m.in);
        OGL_colour_for(60, 1, c);
        EXPECT_FLOAT_EQ(c[0], 0);
        EXPECT_NEAR(c[1], m.g, 1e-6);
        EXPECT_FLOAT_EQ(c[2], 0);
    }
    colr = saved;
    ren = saved_ren;
}

TEST(PixSpecs, AreaOriginOnlyOnceAWindowIsCurrent)
{
    const mnw_struct saved = mnw;
    mnw.res_x = 1280;
    mnw.res_y = 1024;
    mnw.win_now = kWinNone;
    OGL_pix_specs(0);
    EXPECT_EQ(mnw.area_x, 0);
    EXPECT_EQ(mnw.pix_scale, 1);
    EXPECT_EQ(mnw.ortho_x1, 1280);
    EXPECT_EQ(mnw.ortho_y1, 1024);
    mnw = saved;
}

TEST(Primitives, FilledRectsLinesFramesAndQuads)
{
    XVFB_TEST_BODY();
    open_main_window();
    EXPECT_EQ(mnw.area_x, 0);
    OGL_plot_back_col();
    EXPECT_TRUE(is_colour(0, 0, kGrey));
    EXPECT_TRUE(is_colour(1023, 767, kGrey));

    OGL_fillrect(kRed, 1, 100, 100, 50, 40);
    EXPECT_TRUE(is_colour(100, 100, kRedPx));
    EXPECT_TRUE(is_colour(149, 139, kRedPx));
    EXPECT_TRUE(is_colour(150, 120, kGrey));
    EXPECT_TRUE(is_colour(120, 140, kGrey));

    OGL_line(kGreen, 1, 10, 300, 200, 300);
    EXPECT_TRUE(is_colour(50, 300, kGreenPx));
    EXPECT_TRUE(is_colour(50, 301, kGrey));
    EXPECT_TRUE(is_colour(50, 299, kGrey));

    OGL_framerect(kBlue, 1, 400, 400, 30, 20);
    EXPECT_TRUE(is_colour(400, 400, kBluePx));
    EXPECT_TRUE(is_colour(415, 420, kBluePx));
    EXPECT_TRUE(is_colour(430, 410, kBluePx));
    EXPECT_TRUE(is_colour(415, 410, kGrey)); // an outline only

    // An untextured quad, corners in the order the callers give them.
    OGL_2dquad(0, kWhite, 1, 600, 100, 0, 0, 600, 150, 0, 1, 700, 150, 1, 1, 700, 100, 1, 0, 0,
               kBlendOn);
    EXPECT_TRUE(is_colour(650, 125, rgb{255, 255, 255}));
    EXPECT_TRUE(is_colour(701, 125, kGrey));

    // Half-transparent red over the grey background.
    OGL_fillrect(kRed, 0.5f, 800, 100, 20, 20);
    EXPECT_TRUE(is_colour(810, 110, rgb{191, 64, 64}, 3));
}

TEST(Primitives, SubWindowOriginAndBackground)
{
    XVFB_TEST_BODY();
    open_main_window();
    VOVARU_startwind(kWinPicker, 0); // origin (232, 147)
    OGL_plot_back_col();             // still the whole drawable
    EXPECT_TRUE(is_colour(0, 0, kGrey));
    EXPECT_TRUE(is_colour(1023, 767, kGrey));
    OGL_fillrect(kRed, 1, 0, 0, 10, 10);
    EXPECT_TRUE(is_colour(232, 147, kRedPx));
    EXPECT_TRUE(is_colour(231, 147, kGrey));
    OGL_line(kGreen, 1, 0, 20, 30, 20);
    EXPECT_TRUE(is_colour(240, 167, kGreenPx));
}

TEST(Primitives, ScissorsClipUntilTheEnd)
{
    XVFB_TEST_BODY();
    open_main_window();
    OGL_plot_back_col();
    OGL_scissors(100, 100, 20, 20);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    OGL_fillrect(kRed, 1, 90, 90, 50, 50);
    EXPECT_TRUE(is_colour(110, 110, kRedPx));
    EXPECT_TRUE(is_colour(95, 95, kGrey));
    EXPECT_TRUE(is_colour(125, 125, kGrey));
    OGL_scissors(100, 100, -5, 20); // a width of 0 hides everything
    OGL_fillrect(kGreen, 1, 90, 90, 50, 50);
    EXPECT_TRUE(is_colour(110, 110, kRedPx));
    OGL_scissors_end();
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    OGL_fillrect(kGreen, 1, 90, 90, 50, 50);
    EXPECT_TRUE(is_colour(95, 95, kGreenPx));
}

TEST(StateCache, BlendModesUnitsAndDepth)
{
    XVFB_TEST_BODY();
    open_main_window();
    OGL_setstate(kFogOff, 0, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    OGL_setstate(kFogOff, 0, kLightOff, kAlphaTest, kDepthOff, kDepthNoWrite);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    OGL_setstate(kFogOff, 0, kLightOff, kBlendAndTest, kDepthOff, kDepthNoWrite);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    OGL_setstate(kFogOff, 0, kLightOff, kBlendNone, kDepthOff, kDepthNoWrite);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));

    OGL_setstate(kFogOn, 0, kLightOn, kBlendOn, kDepthOn, kDepthWrite);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_TRUE);
    OGL_setstate(kFogOff, 0, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

    // Units: 3 then 1 leaves unit 0 on, 1 and 2 off, unit 0 active.
    ASSERT_GE(ren.max_tex_units, 3);
    OGL_setstate(kFogOff, 3, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    EXPECT_EQ(num_units, 3);
    glActiveTextureARB(GL_TEXTURE2);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTextureARB(GL_TEXTURE0);
    OGL_setstate(kFogOff, 1, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    EXPECT_EQ(get_int(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    for (GLenum u : {GL_TEXTURE1, GL_TEXTURE2}) {
        glActiveTextureARB(u);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    }
    glActiveTextureARB(GL_TEXTURE0);
    // More units than the hardware has are capped; negative counts as none.
    OGL_setstate(kFogOff, 99, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    EXPECT_EQ(num_units, ren.max_tex_units);
    OGL_setstate(kFogOff, -1, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    EXPECT_EQ(num_units, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST(TextureBinding, CacheUnitsRecipesAndKillSwitch)
{
    XVFB_TEST_BODY();
    open_main_window();
    TEX_bind_ref(389, 0, 0);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), 389);
    EXPECT_EQ(env_int(GL_TEXTURE_ENV_MODE), GL_MODULATE);

    // The cache trusts itself: a bind made behind its back is not undone...
    glBindTexture(GL_TEXTURE_2D, 5);
    TEX_bind_ref(389, 0, 0);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), 5);
    // ...until it is told to forget.
    TEX_reset_bind();
    TEX_bind_ref(389, 0, 0);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), 389);

    // Mode 25 leaves the environment alone.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    TEX_bind_ref(389, 0, kTexEnvUntouched);
    EXPECT_EQ(env_int(GL_TEXTURE_ENV_MODE), GL_REPLACE);

    // A recipe on unit 1; unit 0 is active again afterwards.
    ASSERT_EQ(glExt.combine_avail, 1);
    TEX_bind_ref(390, 1, 17);
    EXPECT_EQ(get_int(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    glActiveTextureARB(GL_TEXTURE1);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), 390);
    EXPECT_EQ(env_int(GL_TEXTURE_ENV_MODE), GL_COMBINE);
    EXPECT_EQ(env_int(GL_COMBINE_RGB), GL_REPLACE);
    EXPECT_EQ(env_int(GL_SOURCE0_RGB), GL_TEXTURE);
    EXPECT_EQ(env_int(GL_OPERAND0_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(env_int(GL_SOURCE0_ALPHA), GL_CONSTANT);
    glActiveTextureARB(GL_TEXTURE0);

    TEX_bind_ref(391, 0, 11);
    EXPECT_EQ(env_int(GL_COMBINE_ALPHA), GL_SUBTRACT);
    GLfloat scale = 0;
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_ALPHA_SCALE, &scale);
    EXPECT_EQ(scale, 4.0f);

    gKillTex.stat_value = 1;
    TEX_bind_ref(392, 0, 0);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), kTexGrey);
    TEX_bind_ref(389, 0, 0);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), 389);
    gKillTex.stat_value = 0;
}

// A frame of primitives and an alert-sized window, as the X server shows it
// after the swap. With ZUDEZUD_SHOTS_DIR set the screen is also saved there.
TEST(Primitives, FrameScreenshot)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_main_window();
    colr.assign(35, 0.25f, 0.3f, 0.4f);    // panel
    colr.assign(38, 0.8f, 0.8f, 0.9f);     // panel edge, inset
    colr.assign(36, 0.2f, 0.5f, 0.8f);     // button
    colr.assign(43, 1, 1, 1);              // text
    for (int pass = 0; pass < 2; ++pass) { // both buffers hold the frame
        OGL_plot_back_col();
        for (int i = 0; i < 8; ++i) {
            colr.assign(60 + i, i / 7.0f, 0.3f, 1 - i / 7.0f);
            OGL_fillrect(60 + i, 1, 40 + i * 120, 560, 100, 160);
        }
        OGL_fillrect(kRed, 0.5f, 100, 600, 880, 60);
        for (int i = 0; i < 20; ++i)
            OGL_line(kWhite, 1, 40, 40 + i * 20, 400, 440 - i * 20);
        OGL_framerect(kGreen, 1, 450, 40, 300, 200);
        OGL_2dquad(0, kBlue, 1, 800, 40, 0, 0, 850, 240, 0, 1, 1000, 240, 1, 1, 950, 40, 1, 0, 0,
                   kBlendOn);
        VOVARU_startwind(kWinAlert, 0);
        BTN_fillwin(1, 21);
        BTN_subwin(0, 13, -1, 35, -1, -1, "", &wx, &wy);
        BTN_action(mnw.win_w * 0.5f, 18, 0, 0, 1, "OK", "-");
        OGL_string(43, mnw.win_w * 0.5f, 205, "Some textures could not be loaded.", 378, 100, 1);
        VOVARU_startwind(kWinMain, 0);
        OGL_sbuff();
    }
    const ShownPixels shown = xvfb_shown_frame("window_primitives.png");
    ASSERT_EQ(shown.w, 1024);
    ASSERT_EQ(shown.h, 768);
    EXPECT_TRUE(shown_is(shown, 20, 750, 128, 128, 128)); // background
    // The eight bars, and the half-transparent red band across them.
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const int r = static_cast<int>(i / 7.0f * 255 + 0.5f), g = 77, b = 255 - r;
        EXPECT_TRUE(shown_is(shown, 90 + i * 120, 700, r, g, b, 3));
        EXPECT_TRUE(shown_is(shown, 90 + i * 120, 570, r, g, b, 3));
        EXPECT_TRUE(shown_is(shown, 110 + i * 120, 630, (255 + r) / 2, g / 2, b / 2, 3));
    }
    EXPECT_TRUE(shown_is(shown, 150, 630, 191, 64, 64, 3)); // the band over the background
    EXPECT_TRUE(shown_is(shown, 150, 700, 128, 128, 128));  // between two bars
    // The green outline on pixel centres, the grey inside it.
    for (const auto& xy : {std::pair<int, int>{450, 140}, {750, 140}, {600, 40}, {600, 240}})
        EXPECT_TRUE(shown_is(shown, xy.first, xy.second, 0, 255, 0))
            << xy.first << "," << xy.second;
    EXPECT_TRUE(shown_is(shown, 452, 140, 128, 128, 128));
    EXPECT_TRUE(shown_is(shown, 600, 238, 128, 128, 128));
    // The blue quad, a trapezoid: filled in its middle, not at its slanted corner.
    EXPECT_TRUE(shown_is(shown, 900, 140, 0, 0, 255));
    EXPECT_TRUE(shown_is(shown, 805, 230, 128, 128, 128));
    // Twenty white lines fan across from the left.
    EXPECT_GT(shown_count(shown, 40, 40, 300, 440, 255, 255, 255, 60), 200);
    // The alert window (420 x 250, centred: from (302, 259)): its panel covers
    // the window and ends within its margins, the OK button stands out of the
    // panel around it, and the white message is drawn over the panel.
    EXPECT_EQ(shown_count(shown, 310, 265, 715, 500, 128, 128, 128, 1), 0);
    EXPECT_TRUE(shown_is(shown, 290, 400, 128, 128, 128));
    EXPECT_TRUE(shown_is(shown, 735, 400, 128, 128, 128));
    {
        const unsigned char* body = shown.at(400, 277); // panel left of the button
        const int same = shown_count(shown, 496, 270, 529, 286, body[0], body[1], body[2], 3);
        EXPECT_LT(same, 33 * 16 / 4) << "the button is not drawn over the panel";
    }
    EXPECT_GT(shown_count(shown, 330, 455, 700, 480, 255, 255, 255, 60), 100);
}

// Drawing binds textures only through the binding cache; a bind anywhere else
// would leave the cache believing a stale name is bound.
TEST(TextureBinding, TheCacheIsTheOnlyPlaceThatBinds)
{
    namespace fs = std::filesystem;
    const fs::path root(ZUDEZUD_SOURCE_DIR);
    const fs::path cache = root / "HLutils" / "TEX" / "TEX_bind.cpp";
    std::string callers;
    for (const char* top : {"HLutils", "installer"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            if (entry.path() == cache) continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string body = text.str();
            for (size_t at = body.find("glBindTexture"); at != std::string::npos;
                 at = body.find("glBindTexture", at + 1)) {
                size_t after = at + 13;
                while (after < body.size() && body[after] == ' ')
                    ++after;
                if (after < body.size() && body[after] == '(')
                    callers += entry.path().string() + "\n";
            }
        }
    }
    EXPECT_TRUE(callers.empty()) << callers;
}
