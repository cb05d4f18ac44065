// The X11 window and its GLX context, under a private X server.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "GenC/hl_alert.h"
#include "GenC/hl_context.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "support/xvfb.h"

namespace
{
std::string xprop(const char* what)
{
    const std::string cmd =
        "xprop -id " + std::to_string(x11.window[0]) + (what ? std::string(" ") + what : "");
    return run_capture(cmd).output;
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

TEST(GlxAttribs, MultisampleLevels)
{
    struct {
        int level, buffers, samples;
    } cases[] = {{0, 0, 0}, {1, 1, 2}, {2, 1, 4}, {3, 1, 8}, {4, 1, 16}, {5, 1, 0}};
    for (const auto& c : cases) {
        int a[kGlxAttribCount];
        LIN_glx_attribs(c.level, a);
        EXPECT_EQ(a[0], GLX_SAMPLE_BUFFERS_ARB);
        EXPECT_EQ(a[1], c.buffers) << c.level;
        EXPECT_EQ(a[2], GLX_SAMPLES_ARB);
        EXPECT_EQ(a[3], c.samples) << c.level;
        const int rest[] = {GLX_RGBA,
                            GLX_DOUBLEBUFFER,
                            GLX_RED_SIZE,
                            1,
                            GLX_GREEN_SIZE,
                            1,
                            GLX_BLUE_SIZE,
                            1,
                            GLX_DEPTH_SIZE,
                            2,
                            None};
        for (int i = 0; i < 11; ++i)
            EXPECT_EQ(a[4 + i], rest[i]);
    }
}

TEST(Fullscreen, WidthOrHeightOfTheScreen)
{
    EXPECT_TRUE(LIN_counts_as_fullscreen(1024, 768, 1024, 768));
    EXPECT_TRUE(LIN_counts_as_fullscreen(1024, 768, 1024, 1200));
    EXPECT_TRUE(LIN_counts_as_fullscreen(1024, 768, 1600, 768));
    EXPECT_FALSE(LIN_counts_as_fullscreen(1024, 768, 1280, 1024));
}

TEST(Context, WindowPropertiesAndGlState)
{
    XVFB_TEST_BODY(kXvfbScreen, {"DESKTOP_STARTUP_ID=launch-42_TIME1"});
    xvfb_open_shell_window();

    ASSERT_NE(x11.display, nullptr);
    ASSERT_NE(x11.window[0], 0u);
    ASSERT_NE(x11.glx_context[0], nullptr);
    EXPECT_EQ(mnw.alias_now, 0);
    EXPECT_EQ(mnw.res_x, 1024);
    EXPECT_EQ(mnw.res_y, 768);
    EXPECT_EQ(mnw.res_bits, 32);
    EXPECT_EQ(glXGetCurrentContext(), x11.glx_context[0]);
    EXPECT_TRUE(glXIsDirect(x11.display, x11.glx_context[0]));

    const std::string p = xprop(nullptr);
    EXPECT_TRUE(has(p, "WM_NAME(STRING) = \"Didozuroz\"")) << p;
    EXPECT_TRUE(has(p, "_NET_WM_NAME(UTF8_STRING) = \"Didozuroz\"")) << p;
    EXPECT_TRUE(has(p, "WM_CLASS(STRING) = \"main_window\", \"Zudezud\"")) << p;
    EXPECT_TRUE(has(p, "program specified minimum size: 1024 by 768")) << p;
    EXPECT_TRUE(has(p, "program specified maximum size: 1024 by 768")) << p;
    EXPECT_TRUE(has(p, "window gravity: Center")) << p;
    EXPECT_TRUE(has(p, "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL")) << p;
    EXPECT_TRUE(has(p, "_NET_WM_ALLOWED_ACTIONS(ATOM) = _NET_WM_ACTION_CLOSE, "
                       "_NET_WM_ACTION_FULLSCREEN, _NET_WM_ACTION_MOVE"))
        << p;
    EXPECT_TRUE(has(p, "_NET_STARTUP_ID(UTF8_STRING) = \"launch-42_TIME1\"")) << p;
    // 1024 x 768 on a 1280 x 1024 screen: not full-screen, an empty state.
    EXPECT_TRUE(has(p, "_NET_WM_STATE(ATOM) =")) << p;
    EXPECT_FALSE(has(p, "_NET_WM_STATE_FULLSCREEN")) << p;

    // The state drawing relies on.
    GLint v[4];
    glGetIntegerv(GL_BLEND_SRC, v);
    EXPECT_EQ(v[0], GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, v);
    EXPECT_EQ(v[0], GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, v);
    EXPECT_EQ(v[0], GL_GREATER);
    glGetIntegerv(GL_DEPTH_FUNC, v);
    EXPECT_EQ(v[0], GL_LEQUAL);
    GLboolean mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_FALSE);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    glGetIntegerv(GL_FRONT_FACE, v);
    EXPECT_EQ(v[0], GL_CW);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, v);
    EXPECT_EQ(v[0], 1);
    glGetIntegerv(GL_PACK_ALIGNMENT, v);
    EXPECT_EQ(v[0], 1);

    VOVARU_nuke_context(0);
    EXPECT_EQ(x11.window[0], 0u);
    EXPECT_EQ(x11.glx_context[0], nullptr);
}

// OpenGL draws into a child that fills the window. The window itself is made
// before the OpenGL driver loads and shows the start-up backdrop meanwhile;
// it takes the input, which the child leaves to it.
TEST(Context, TheWindowShowsTheBackdropUntilOpenGLDraws)
{
    XVFB_TEST_BODY(kXvfbScreen, {});
    colr.assign(kColBackground, 0.2f, 0.4f, 0.6f);
    colr.assign(kColrLight, 1, 1, 1);
    xvfb_open_shell_window();
    Display* d = x11.display;

    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(d, x11.drawable[0], &root, &parent, &children, &n));
    if (children) XFree(children);
    EXPECT_EQ(parent, x11.window[0]);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(d, x11.drawable[0], &a));
    EXPECT_EQ(a.width, 1024);
    EXPECT_EQ(a.height, 768);
    EXPECT_EQ(a.all_event_masks & ~a.your_event_mask, 0) << "another client listens";
    EXPECT_EQ(a.your_event_mask, 0);

    XUnmapWindow(d, x11.drawable[0]);
    const ShownPixels p = xvfb_read_shell_window();
    ASSERT_EQ(p.w, 1024);
    for (const auto& xy : {std::pair<int, int>{0, 0}, {512, 384}, {1023, 767}}) {
        const unsigned char* px = p.at(xy.first, xy.second);
        EXPECT_NEAR(px[0], 51, 1) << xy.first << "," << xy.second;
        EXPECT_NEAR(px[1], 102, 1);
        EXPECT_NEAR(px[2], 153, 1);
    }
}

TEST(Context, NoStartupIdWithoutTheVariable)
{
    XVFB_TEST_BODY(kXvfbScreen, {});
    unsetenv("DESKTOP_STARTUP_ID");
    xvfb_open_shell_window();
    EXPECT_FALSE(has(xprop(nullptr), "_NET_STARTUP_ID"));
}

TEST(Context, FullscreenStateOnAScreenOfTheWindowsSize)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    xvfb_open_shell_window();
    EXPECT_TRUE(has(xprop("_NET_WM_STATE"), "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN"));
}

TEST(Context, NoVisualPrintsAndExitsWithOne)
{
    if (!xvfb_inside()) {
        const XvfbResult r = xvfb_run_this_test(kXvfbNoGlx);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_TRUE(has(r.output, "Whoah -- no matter how hard I tried, I failed to get a GLX "
                                  "visual. Something's seriously wonky on your machine."))
            << r.output;
        return;
    }
    mnw.res_x_req = 1024;
    mnw.res_y_req = 768;
    mnw.col_res_req = 32;
    mnw.alias_req = 2; // every level down to none is tried first
    VOVARU_setres(1);
    VOVARU_make_context(0);
    ADD_FAILURE() << "returned without a visual";
}

TEST(Context, NoDisplayPrintsAndExitsNonZero)
{
    if (!xvfb_inside()) {
        const XvfbResult r = xvfb_run_this_test(nullptr);
        EXPECT_EQ(r.status, kExitNoGL) << r.output;
        EXPECT_TRUE(has(r.output, "could not open the X display")) << r.output;
        return;
    }
    xvfb_open_shell_window();
    ADD_FAILURE() << "returned without a display";
}

TEST(Context, FailedContextCreationPrintsAndExitsNonZero)
{
    if (!xvfb_inside()) {
        // The server refuses indirect contexts unless started with +iglx.
        const XvfbResult r = xvfb_run_this_test(kXvfbScreen, {"LIBGL_ALWAYS_INDIRECT=1"});
        EXPECT_EQ(r.status, kExitNoGL) << r.output;
        EXPECT_TRUE(has(r.output, "could not create an OpenGL context")) << r.output;
        EXPECT_FALSE(has(r.output, "X Error of failed request")) << r.output;
        return;
    }
    xvfb_open_shell_window();
    ADD_FAILURE() << "returned without a context";
}

TEST(Context, ShutdownBeforeTheWindowExists)
{
    // A fatal alert during start-up finishes up with nothing made yet.
    ASSERT_EQ(x11.display, nullptr);
    VOVARU_finishup(0);
    VOVARU_setres(0);
    VOVARU_nuke_context(0);
    EXPECT_EQ(x11.display, nullptr);
    EXPECT_EQ(x11.window[0], 0u);
}

TEST(Context, ShutdownTearsDownWhatWasMade)
{
    XVFB_TEST_BODY();
    xvfb_open_shell_window();
    const Window w = x11.window[0];
    VOVARU_finishup(0);
    EXPECT_EQ(x11.window[0], 0u);
    EXPECT_EQ(x11.glx_context[0], nullptr);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    // The window is gone from the server; the connection stays open.
    XSync(x11.display, False);
    EXPECT_TRUE(has(run_capture("xprop -id " + std::to_string(w)).output, "BadWindow"));
}

TEST(Context, MultisampleFallsBackToWhatTheServerHas)
{
    XVFB_TEST_BODY();
    mnw.res_x_req = 1024;
    mnw.res_y_req = 768;
    mnw.col_res_req = 32;
    mnw.alias_req = kAliasMaxLevel; // 16 samples
    VOVARU_setres(1);
    VOVARU_make_context(0);
    ASSERT_NE(x11.visual, nullptr);
    ASSERT_GE(mnw.alias_now, 0);
    ASSERT_LE(mnw.alias_now, kAliasMaxLevel);
    // Every level above the one obtained has no visual on this server.
    for (int level = mnw.alias_now + 1; level <= kAliasMaxLevel; ++level) {
        int a[kGlxAttribCount];
        LIN_glx_attribs(level, a);
        XVisualInfo* vi = glXChooseVisual(x11.display, DefaultScreen(x11.display), a);
        EXPECT_EQ(vi, nullptr) << level;
        if (vi) XFree(vi);
    }
    int samples = -1;
    glXGetConfig(x11.display, x11.visual, GLX_SAMPLES_ARB, &samples);
    if (mnw.alias_now > 0) {
        EXPECT_GE(samples, 1 << mnw.alias_now);
    } else {
        EXPECT_EQ(samples, 0);
    }
    EXPECT_EQ(glIsEnabled(GL_MULTISAMPLE_ARB) == GL_TRUE, mnw.alias_now > 0);
}

TEST(Context, FailedWindowCreationPrintsAndExitsNonZero)
{
    if (!xvfb_inside()) {
        const XvfbResult r = xvfb_run_this_test(kXvfbScreen);
        EXPECT_EQ(r.status, kExitNoGL) << r.output;
        EXPECT_TRUE(has(r.output, "could not create its window")) << r.output;
        EXPECT_FALSE(has(r.output, "X Error of failed request")) << r.output;
        return;
    }
    mnw.res_x_req = 0; // the server refuses a window without width
    mnw.res_y_req = 768;
    VOVARU_setres(1);
    VOVARU_make_context(0);
    ADD_FAILURE() << "returned without a window";
}
