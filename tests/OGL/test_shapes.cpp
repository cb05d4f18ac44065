// The extra 2-D shapes, 3-D pieces and GL switches, checked through GL
// feedback mode (the exact vertices sent) and GL's own state.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <unistd.h>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "support/gl_feedback.h"
#include "support/xvfb.h"

namespace
{
constexpr int kCol = 50;

void open_window()
{
    xvfb_open_shell_window();
    VOVARU_startwind(kWinMain, 0);
    for (int d = 0; d <= 360; ++d) {
        lookup_sin[d] = float(std::sin(d * M_PI / 180));
        lookup_cos[d] = float(std::cos(d * M_PI / 180));
    }
    colr.assign(kCol, 0.25f, 0.5f, 0.75f);
}

void set_origin(float x, float y)
{
    mnw.win_x = x;
    mnw.win_y = y;
}

std::vector<float> get_floats(GLenum what, int n)
{
    std::vector<float> v(n);
    glGetFloatv(what, v.data());
    return v;
}

::testing::AssertionResult at(const FbVertex& v, float x, float y, float tol = 1e-3f)
{
    if (std::fabs(v.x - x) <= tol && std::fabs(v.y - y) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "vertex (" << v.x << ", " << v.y << ") not (" << x << ", " << y << ")";
}

size_t count_kind(const std::vector<FbPrim>& p, FbPrim::Kind k)
{
    size_t n = 0;
    for (const FbPrim& q : p)
        n += q.kind == k;
    return n;
}
} // namespace

TEST(Shapes, CircleOutlineStartsAtTheTopAndRunsClockwise)
{
    XVFB_TEST_BODY();
    open_window();
    set_origin(0, 0);
    glEnable(GL_BLEND);
    const auto p = gl_feedback([] { OGL_framecircle(kCol, 50, 50, 10); });
    ASSERT_EQ(p.size(), 72u); // 73 points of a strip
    for (size_t i = 1; i < p.size(); ++i)
        EXPECT_TRUE(at(p[i].v[0], p[i - 1].v[1].x, p[i - 1].v[1].y));
    EXPECT_TRUE(at(p[0].v[0], 50.5f, 60.5f));
    EXPECT_TRUE(at(p[17].v[1], 60.5f, 50.5f)); // 90 degrees, to the right
    EXPECT_TRUE(at(p[71].v[1], 50.5f, 60.5f));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_NEAR(p[0].v[0].g, 0.5f, 1e-6);
    EXPECT_EQ(p[0].v[0].a, 1.0f);

    set_origin(100, 200);
    const auto q = gl_feedback([] { OGL_framecircle(kCol, 0, 0, 5); });
    EXPECT_TRUE(at(q[0].v[0], 100.5f, 205.5f));
}

TEST(Shapes, FilledCircleAndArcsLineByLine)
{
    XVFB_TEST_BODY();
    open_window();
    set_origin(0, 0);
    const auto fill = gl_feedback([] { OGL_fillcircle(kCol, 20, 30, 2); });
    ASSERT_EQ(fill.size(), 5u);
    const float half[5] = {0, std::sqrt(3.0f), 2, std::sqrt(3.0f), 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(at(fill[i].v[0], 20.5f - half[i], 28.5f + i)) << i;
        EXPECT_TRUE(at(fill[i].v[1], 20.5f + half[i], 28.5f + i)) << i;
    }

    set_origin(100, 100);
    const auto arc = gl_feedback([] { OGL_arc(kCol, 10, 10, 5, 6, 0, 90); });
    ASSERT_EQ(arc.size(), 182u);
    // Each radius starts with a segment of zero length at the top.
    EXPECT_TRUE(at(arc[0].v[0], 110.5f, 115.5f));
    EXPECT_TRUE(at(arc[0].v[1], 110.5f, 115.5f));
    EXPECT_TRUE(at(arc[90].v[1], 115.5f, 110.5f));
    EXPECT_TRUE(at(arc[91].v[0], 110.5f, 116.5f));
    EXPECT_TRUE(at(arc[181].v[1], 116.5f, 110.5f));
    EXPECT_TRUE(at(arc[45].v[1], 110.5f + 5 * std::sin(float(M_PI / 4)),
                   110.5f + 5 * std::cos(float(M_PI / 4))));
    EXPECT_NEAR(arc[0].v[0].b, 0.75f, 1e-6);
}

// Counters in float stop at 2^24 (x + 1 == x there); these calls used to
// spin for ever.
TEST(Shapes, HugeAndEndlessRangesFinish)
{
    XVFB_TEST_BODY();
    open_window();
    set_origin(0, 0);
    alarm(60); // a call that spins ends this child with SIGALRM
    // Angles from 2^24: eleven one-degree steps.
    const float big = 16777216.0f;
    const auto a = gl_feedback([&] { OGL_arc(kCol, 50, 50, 5, 5, big, big + 10); });
    EXPECT_EQ(a.size(), 11u);
    // Radii from 2^25 (the float spacing is 4 there): nine radii. The centre
    // sits 2^25 below the window so the points land inside it.
    const float r0 = 33554432.0f;
    const auto r = gl_feedback([&] { OGL_arc(kCol, 50, -r0, r0, r0 + 8, 0, 0); });
    EXPECT_EQ(r.size(), 9u);
    // Endless ranges draw nothing.
    const auto none = gl_feedback([&] {
        OGL_fillcircle(kCol, 50, 50, INFINITY);
        OGL_fillcircle(kCol, 50, 50, NAN);
        OGL_arc(kCol, 50, 50, 1, 2, 0, INFINITY);
        OGL_arc(kCol, 50, 50, 1, INFINITY, 0, 1);
        OGL_fillcircle(kCol, 50, 50, -3); // empty, as before
    });
    alarm(0);
    EXPECT_TRUE(none.empty());
}

TEST(Shapes, GreyRectAndTexturedRect)
{
    XVFB_TEST_BODY();
    open_window();
    set_origin(10, 20);
    colr.assign(12, 0.5f, 0.5f, 0.5f);
    colr.assign(kColLight, 0.5f, 1, 1);
    const auto g = gl_feedback([] { OGL_grayrect(1, 2, 30, 40, 0.5f); });
    colr.assign(kColLight, 1, 1, 1);
    ASSERT_EQ(count_kind(g, FbPrim::kPolygon), g.size());
    ASSERT_FALSE(g.empty());
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    // Mesa may split the quad; every corner shows up.
    std::vector<std::pair<float, float>> seen;
    for (const FbPrim& q : g)
        for (const FbVertex& v : q.v)
            seen.push_back({v.x, v.y});
    for (auto c : {std::make_pair(11.f, 22.f), std::make_pair(11.f, 60.f),
                   std::make_pair(40.f, 60.f), std::make_pair(40.f, 22.f)})
        EXPECT_NE(std::find(seen.begin(), seen.end(), c), seen.end()) << c.first << "," << c.second;
    EXPECT_NEAR(g[0].v[0].r, 0.25f, 1e-6); // id 12 is lit by the light colour
    EXPECT_NEAR(g[0].v[0].g, 0.5f, 1e-6);
    EXPECT_NEAR(g[0].v[0].a, 0.5f, 1e-6);

    const auto t = gl_feedback([] {
        OGL_2dquad_d(kTexAtlas, kCol, 1, 5, 6, 0.25f, 0.5f, 100, 50, 0.5f, 0.25f, kBlendOn);
    });
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, kTexAtlas);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    struct {
        float x, y, s, t;
    } want[] = {{15, 26, 0.25f, 0.5f},
                {15, 76, 0.25f, 0.75f},
                {115, 76, 0.75f, 0.75f},
                {115, 26, 0.75f, 0.5f}};
    for (const auto& w : want) {
        bool found = false;
        for (const FbPrim& q : t)
            for (const FbVertex& v : q.v)
                if (v.x == w.x && v.y == w.y) {
                    found = true;
                    EXPECT_FLOAT_EQ(v.s, w.s);
                    EXPECT_FLOAT_EQ(v.t, w.t);
                }
        EXPECT_TRUE(found) << w.x << "," << w.y;
    }
}

TEST(Shapes, SpectrumColours)
{
    XVFB_TEST_BODY();
    open_window();
    struct {
        float v, r, g, b;
    } cases[] = {
        {-1, 0, 0, 0},           {0, 0, 0, 0},        {1.0f / 6, 1, 0, 0}, {0.25f, 1, 0.16f, 0.04f},
        {0.5f, 1, 1, 0},         {5.0f / 6, 0, 0, 1}, {1, 0.8f, 0, 0.8f},  {7, 0.8f, 0, 0.8f},
        {1.0f / 12, 0.5f, 0, 0},
    };
    for (const auto& c : cases) {
        OGL_spectrum_rgb(c.v);
        const auto got = get_floats(GL_CURRENT_COLOR, 4);
        EXPECT_NEAR(got[0], c.r, 1e-5) << c.v;
        EXPECT_NEAR(got[1], c.g, 1e-5) << c.v;
        EXPECT_NEAR(got[2], c.b, 1e-5) << c.v;
        EXPECT_EQ(got[3], 1.0f);
    }
    ren.global_alpha = 0.5f;
    ren.monochrome = 1;
    OGL_spectrum_rgb(0.25f); // 1 + 0.16 + 0.04, held at 1
    auto got = get_floats(GL_CURRENT_COLOR, 4);
    EXPECT_EQ(got[0], 0);
    EXPECT_EQ(got[1], 1);
    EXPECT_EQ(got[2], 0);
    EXPECT_EQ(got[3], 0.5f);
    OGL_spectrum_rgb(0); // black becomes the darkest green
    got = get_floats(GL_CURRENT_COLOR, 4);
    EXPECT_NEAR(got[1], 0.01f, 1e-6);
}

namespace
{
// A projection where window coordinates are eye coordinates + 100.
void eye_window()
{
    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::vector<FbVertex> all_vertices(const std::vector<FbPrim>& p)
{
    std::vector<FbVertex> out;
    for (const FbPrim& q : p)
        for (const FbVertex& v : q.v)
            out.push_back(v);
    return out;
}

bool has_eye_point(const std::vector<FbVertex>& vs, float x, float y, float tol = 1e-3f)
{
    for (const FbVertex& v : vs)
        if (std::fabs(v.x - 100 - x) <= tol && std::fabs(v.y - 100 - y) <= tol) return true;
    return false;
}
} // namespace

TEST(Pieces3D, QuadNormalsAndTextureCorners)
{
    XVFB_TEST_BODY();
    open_window();
    eye_window();
    OGL_setstate(kFogOff, 0, kLightOff, kBlendNone, kDepthOff, kDepthNoWrite);
    glDisable(GL_CULL_FACE);
    float p1[3] = {0, 0, 0}, p2[3] = {10, 0, 0}, p3[3] = {10, 10, 0}, p4[3] = {0, 10, 0};
    const auto q = gl_feedback([&] {
        glBegin(GL_QUADS);
        OGL_3dquad(p1, p2, p3, p4);
        glEnd();
    });
    auto n = get_floats(GL_CURRENT_NORMAL, 3);
    // (p3 - p2) x (p2 - p1) = (0, 10, 0) x (10, 0, 0) = (0, 0, -100).
    EXPECT_FLOAT_EQ(n[0], 0);
    EXPECT_FLOAT_EQ(n[2], -1);
    const auto vs = all_vertices(q);
    struct {
        float x, y, s, t;
    } want[] = {{0, 0, 1, 1}, {10, 0, 1, 0}, {10, 10, 0, 0}, {0, 10, 0, 1}};
    for (const auto& w : want) {
        bool found = false;
        for (const FbVertex& v : vs)
            if (v.x == 100 + w.x && v.y == 100 + w.y) {
                found = true;
                EXPECT_EQ(v.s, w.s);
                EXPECT_EQ(v.t, w.t);
            }
        EXPECT_TRUE(found);
    }

    float c1[3] = {0, 0, 0}, c2[3] = {1, 1, 1}, c3[3] = {2, 2, 2};
    const auto st = gl_feedback([&] {
        glBegin(GL_QUADS);
        OGL_3dquad_st(c1, c2, c3, p4, 0.1f, 0.2f, 0.3f, 0.4f);
        glEnd();
    });
    n = get_floats(GL_CURRENT_NORMAL, 3);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(n[1], 1);
    EXPECT_EQ(n[2], 0);
    const auto stv = all_vertices(st);
    for (const FbVertex& v : stv) {
        if (v.x == 100 && v.y == 110) { // p4 carries (s2, t1)
            EXPECT_FLOAT_EQ(v.s, 0.3f);
            EXPECT_FLOAT_EQ(v.t, 0.2f);
        }
        if (v.x == 102 && v.y == 102) { // c3 carries (s2, t2)
            EXPECT_FLOAT_EQ(v.s, 0.3f);
            EXPECT_FLOAT_EQ(v.t, 0.4f);
        }
    }

    const auto lines = gl_feedback([] {
        glBegin(GL_LINES);
        OGL_3dline(1, 2, 3, 4, 5, 6);
        glEnd();
    });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(at(lines[0].v[0], 101, 102));
    EXPECT_TRUE(at(lines[0].v[1], 104, 105));
}

TEST(Pieces3D, DiscAndBox)
{
    XVFB_TEST_BODY();
    open_window();
    eye_window();
    OGL_setstate(kFogOff, 0, kLightOff, kBlendNone, kDepthOff, kDepthNoWrite);
    glDisable(GL_CULL_FACE);
    // Turned about y by -90 degrees, world (x, y, z) is seen at eye (-z, y, x):
    // the disc's axis points at the viewer and a ring point (R cos a, -R sin a)
    // in (y, z) lands at eye (R sin a, R cos a).
    glRotatef(-90, 0, 1, 0);
    const auto d = gl_feedback([] { OGL_disc(0, 0, 0, 50); });
    const auto dv = all_vertices(d);
    const float r = 0.38f * 50;
    EXPECT_TRUE(has_eye_point(dv, 0, 0));                                       // the cap centres
    EXPECT_TRUE(has_eye_point(dv, 0, r));                                       // a = 0 on the caps
    EXPECT_TRUE(has_eye_point(dv, r, 0));                                       // a = 90
    EXPECT_TRUE(has_eye_point(dv, 0, 50));                                      // the rim
    EXPECT_TRUE(has_eye_point(dv, -25, 50 * std::cos(float(M_PI) / 6), 1e-3f)); // a = 330
    for (const FbVertex& v : dv)
        EXPECT_LE(std::hypot(v.x - 100, v.y - 100), 50.01f);
    const auto n = get_floats(GL_CURRENT_NORMAL, 3);
    EXPECT_EQ(n[0], 1); // the last normal set: the second cap's
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);

    glLoadIdentity();
    // Box of 20 x 30 x 40 at (5, 6, 7) with no heading, seen from the front:
    // x from -5 to 15, y from 6 to 36.
    const auto b = gl_feedback([] { OGL_cube(5, 6, 7, 20, 30, 40, 0.1f, 0.9f, 0.2f, 0.8f, 0); });
    const auto bv = all_vertices(b);
    EXPECT_TRUE(has_eye_point(bv, -5, 6));
    EXPECT_TRUE(has_eye_point(bv, 15, 36));
    for (const FbVertex& v : bv) {
        EXPECT_GE(v.x, 95 - 1e-3f);
        EXPECT_LE(v.x, 115 + 1e-3f);
        EXPECT_GE(v.y, 106 - 1e-3f);
        EXPECT_LE(v.y, 136 + 1e-3f);
        // Top corners carry t2, bottom ones t1.
        if (std::fabs(v.y - 136) < 1e-3f) {
            EXPECT_FLOAT_EQ(v.t, 0.8f);
        }
        if (std::fabs(v.y - 106) < 1e-3f) {
            EXPECT_FLOAT_EQ(v.t, 0.2f);
        }
    }
    // Heading 90 turns the box about z by -90: (x, y) -> (y, -x).
    const auto h = gl_feedback([] { OGL_cube(0, 0, 0, 20, 30, 40, 0, 1, 0, 1, 90); });
    const auto hv = all_vertices(h);
    EXPECT_TRUE(has_eye_point(hv, 30, -10));
    EXPECT_TRUE(has_eye_point(hv, 0, 10));
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

TEST(Switches, OffsetGlowSpecularViewportAndBlendLevel)
{
    XVFB_TEST_BODY();
    open_window();
    OGL_poly_offset(2);
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_EQ(get_floats(GL_POLYGON_OFFSET_FACTOR, 1)[0], -20);
    EXPECT_EQ(get_floats(GL_POLYGON_OFFSET_UNITS, 1)[0], -1);
    OGL_poly_offset(0);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));

    GLint dst = 0;
    OGL_glow_colors();
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(dst, GL_ONE);
    OGL_nrml_colors();
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);

    OGL_setspec(0.5f);
    float light[4], mat[4], shine = 0;
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, light);
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, mat);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shine);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(light[i], 0.5f);
        EXPECT_EQ(mat[i], 0.5f);
    }
    EXPECT_EQ(light[3], 1);
    EXPECT_EQ(mat[3], 1);
    EXPECT_EQ(shine, 128);

    struct {
        int mode;
        float scale, x0, y0, x1, y1;
        int want[4];
    } views[] = {
        {2, 1, 5, 5, 9, 9, {0, 0, mnw.res_x, mnw.res_y}},
        {3, 2, 10, 20, 110.7f, 220, {20, 40, 201, 400}},
        {0, 2, 10.9f, 20, 110.7f, 220.2f, {10, 20, 99, 200}},
    };
    for (const auto& v : views) {
        mnw.pix_scale = v.scale;
        OGL_screensize(v.mode, v.x0, v.y0, v.x1, v.y1);
        GLint vp[4];
        glGetIntegerv(GL_VIEWPORT, vp);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(vp[i], v.want[i]) << "mode " << v.mode << " " << i;
    }
    mnw.pix_scale = 1;

    ASSERT_GE(ren.max_tex_units, 4);
    auto env_colour = [](int unit) {
        glActiveTextureARB(GL_TEXTURE0 + unit);
        float c[4];
        glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
        glActiveTextureARB(GL_TEXTURE0);
        return std::vector<float>(c, c + 4);
    };
    TEX_set_blend_level(1, 0.5f);
    EXPECT_EQ(env_colour(1), std::vector<float>(4, 0.5f));
    EXPECT_EQ(env_colour(0), std::vector<float>(4, 0.0f));
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    TEX_set_blend_level(0, 0.25f);
    EXPECT_EQ(env_colour(0), std::vector<float>(4, 0.25f));
    const int saved = ren.max_tex_units;
    ren.max_tex_units = 2;
    TEX_set_blend_level(3, 0.5f);
    EXPECT_EQ(env_colour(3), std::vector<float>(4, 0.0f));
    ren.max_tex_units = saved;
    OGL_printer();
}

TEST(ColrPlot, ColourBarPointsAndAnEmptyRange)
{
    XVFB_TEST_BODY();
    open_window();
    set_origin(30, 40); // the points ignore it; the numbers add it
    colr.spectrum_init(0);
    // The bar is 1000 units high: squeeze 1100 units into the drawable.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, mnw.res_x, 0, 1100, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    const float sy = float(mnw.res_y) / 1100;
    auto points = [](const std::vector<FbPrim>& p) {
        std::vector<FbVertex> out;
        for (const FbPrim& q : p)
            if (q.kind == FbPrim::kPoint) out.push_back(q.v[0]);
        return out;
    };
    auto same_colour = [](const FbVertex& v, const float* c) {
        return std::fabs(v.r - c[0]) < 1e-6f && std::fabs(v.g - c[1]) < 1e-6f &&
               std::fabs(v.b - c[2]) < 1e-6f;
    };
    const auto bar = gl_feedback([] { colr.spectrum_plotscale(20, 10, 0, 1, 2); });
    const auto pts = points(bar);
    ASSERT_EQ(pts.size(), 250u);
    for (int i = 0; i < 250; ++i) {
        EXPECT_TRUE(at(pts[i], 20.0f, (10.0f + 4 * i) * sy, 1e-2f)) << i;
        const int index = std::min(999, int(4 * i * 1.001001f));
        EXPECT_TRUE(same_colour(pts[i], colr.spectrum[index])) << i;
    }
    EXPECT_GT(count_kind(bar, FbPrim::kPolygon), 0u); // the two numbers
    EXPECT_FLOAT_EQ(colr.plot_lo, 0);
    EXPECT_FLOAT_EQ(colr.plot_hi, 1);
    EXPECT_FLOAT_EQ(colr.plot_range, 1);
    EXPECT_EQ(get_floats(GL_POINT_SIZE, 1)[0], 1);

    // Reversed and empty ranges; the empty one used to divide by zero.
    const auto rev = points(gl_feedback([] { colr.spectrum_plotscale(20, 10, 1, 0, 2); }));
    ASSERT_EQ(rev.size(), 250u);
    EXPECT_TRUE(same_colour(rev[0], colr.spectrum[0]));
    EXPECT_TRUE(same_colour(rev[125], colr.spectrum[500]));
    for (float v : {5.0f, 0.0f}) {
        const auto flat = points(gl_feedback([&] { colr.spectrum_plotscale(20, 10, v, v, 0); }));
        ASSERT_EQ(flat.size(), 250u);
        for (const FbVertex& p : flat)
            EXPECT_TRUE(same_colour(p, colr.spectrum[0]));
        EXPECT_FLOAT_EQ(colr.plot_range, 0);
    }
}
