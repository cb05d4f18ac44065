// The screen figures OGL_pix_specs stores in mnw: a table of drawable sizes,
// then a real 1280 x 1024 window whose pixels show where the area lies.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "GenC/hl_context.h"
#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "support/xvfb.h"

namespace
{
// The window the way start-up makes it, at a drawable size of our choosing,
// with window 0 current.
void open_window(int w, int h)
{
    VOVARU_align_scratch();
    VOVARU_request_window();
    mnw.res_x_req = w;
    mnw.res_y_req = h;
    VOVARU_setres(1);
    VOVARU_make_context(0);
    OGL_pix_specs(0);
    glExt.init_extensions();
    colr.assign(kColLight, 1, 1, 1);
    VOVARU_startwind(kWinMain, 0);
    OGL_pix_specs(0);
}
} // namespace

// Every size under both window states; the viewport is only set once a
// window is current, so the table runs with a GL context.
TEST(PixSpecs, FiguresForDrawableSizes)
{
    XVFB_TEST_BODY();
    open_window(1024, 768);
    const struct {
        int w, h;
        float area_x, area_y, centre_x;
    } cases[] = {
        {1024, 768, 0, 0, 512},      // the design size: the area is the drawable
        {1280, 1024, 128, 256, 640}, // centred across, at the top
        {800, 600, 0, 0, 400},       // smaller than the area: origin stays at 0
        {1920, 1080, 448, 312, 960},
        {1025, 769, 0.5f, 1, 512.5f}, // odd sizes keep their half pixel
        {1024, 600, 0, 0, 512},
        {1600, 768, 288, 0, 800},
    };
    for (const auto& c : cases) {
        for (int win : {kWinNone, kWinMain}) {
            SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " window " << win);
            mnw.res_x = c.w;
            mnw.res_y = c.h;
            mnw.win_now = win;
            mnw.pix_scale_x = 2; // left over: both scales are set again
            mnw.pix_scale = 2;
            glViewport(0, 0, 1, 1);
            OGL_pix_specs(0);
            EXPECT_EQ(mnw.pix_scale_x, 1.0f);
            EXPECT_EQ(mnw.pix_scale, 1.0f);
            EXPECT_EQ(mnw.ortho_x0, 0.0f);
            EXPECT_EQ(mnw.ortho_y0, 0.0f);
            EXPECT_EQ(mnw.ortho_x1, float(c.w));
            EXPECT_EQ(mnw.ortho_y1, float(c.h));
            // Before the first window the area starts at the left edge.
            EXPECT_EQ(mnw.area_x, win == kWinNone ? 0.0f : c.area_x);
            EXPECT_EQ(mnw.area_y, c.area_y);
            EXPECT_EQ(mnw.centre_x, c.centre_x);
            EXPECT_EQ(mnw.centre_y, 384.0f);
            GLint vp[4] = {0, 0, 0, 0};
            glGetIntegerv(GL_VIEWPORT, vp);
            const int want_w = win == kWinNone ? 1 : c.w, want_h = win == kWinNone ? 1 : c.h;
            EXPECT_EQ(vp[2], want_w);
            EXPECT_EQ(vp[3], want_h);
        }
    }
}

// A 1280 x 1024 window: the area drawn from the figures covers the top of
// the drawable, with equal margins left and right, and the centre marks its
// middle.
TEST(PixSpecs, AreaSitsAtTheTopOfARealWindow)
{
    XVFB_TEST_BODY(kXvfbScreen);
    open_window(1280, 1024);
    ASSERT_EQ(mnw.win_now, kWinMain);
    EXPECT_EQ(mnw.area_x, 128);
    EXPECT_EQ(mnw.area_y, 256);
    EXPECT_EQ(mnw.centre_x, 640);
    EXPECT_EQ(mnw.centre_y, 384);

    colr.assign(kColBackground, 0.5f, 0.5f, 0.5f);
    colr.assign(50, 1, 0, 0);
    colr.assign(51, 0, 1, 0);
    OGL_plot_back_col();
    OGL_fillrect(50, 1, mnw.area_x, mnw.area_y, 1024, 768);
    OGL_fillrect(51, 1, mnw.centre_x - 1, mnw.area_y + mnw.centre_y - 1, 2, 2);
    glFinish();

    // The whole drawable as it was drawn.
    std::vector<unsigned char> px(size_t(1280) * 1024 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 1280, 1024, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    auto at = [&](int x, int y, int channel) { return px[(size_t(y) * 1280 + x) * 3 + channel]; };
    auto red = [&](int x, int y) { return at(x, y, 0) > 250 && at(x, y, 1) < 5; };

    // The top row of the real drawable is the area's top row.
    EXPECT_TRUE(red(128, 1023));
    EXPECT_TRUE(red(1151, 1023));
    EXPECT_FALSE(red(127, 1023));
    EXPECT_FALSE(red(1152, 1023));
    // Its bottom row and the margin below.
    EXPECT_TRUE(red(640, 256));
    EXPECT_FALSE(red(640, 255));
    // The centre mark: the middle of the area across and up.
    EXPECT_GT(at(640, 640, 1), 250);
    EXPECT_LT(at(640, 640, 0), 5);
    EXPECT_TRUE(red(637, 640));
    EXPECT_TRUE(red(642, 640));
}
