// More 2-D shapes, small 3-D pieces and GL switches around the primitives of
// oglp.cpp. Index:
//   [SECTION] Unit steps
//   [SECTION] 2-D shapes
//   [SECTION] Colour scale
//   [SECTION] 3-D pieces
//   [SECTION] GL switches
#include <GL/gl.h>
#include <GL/glext.h>

#include <climits>
#include <cmath>

#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"

const float st00[2] = {0, 0};
const float st01[2] = {0, 1};
const float st11[2] = {1, 1};
const float st10[2] = {1, 0};

namespace
{
constexpr int kColGrey = 12;               // OGL_grayrect's colour
constexpr int kCircleStepDeg = 5;          // OGL_framecircle: 73 points
constexpr float kDegToRadF = 0.017453294f; // single precision, as the arc always used
constexpr int kDiscStepDeg = 30;           // OGL_disc: 12 segments
constexpr float kDiscRimFactor = 0.38f;

// [SECTION] Unit steps

// How many of lo, lo + 1, lo + 2, ... are at most hi. A float counter stops
// advancing once it passes 2^24 (adding 1 rounds back), so the shapes count
// their steps in an integer and derive each value from it. Spans that are
// not finite draw nothing; absurd ones are held to a bounded count.
long long unit_steps(float lo, float hi)
{
    const double span = double(hi) - double(lo);
    if (!(span >= 0) || !std::isfinite(span)) return 0;
    if (span >= double(INT_MAX)) return INT_MAX;
    return static_cast<long long>(std::floor(span)) + 1;
}

void ring_point(float* v, float x, float radius, int deg)
{
    v[0] = x;
    v[1] = radius * lookup_cos[deg];
    v[2] = -radius * lookup_sin[deg];
}

// The normal (p3 - p2) x (p2 - p1), unit length; (0, 1, 0) when the points
// are collinear.
void quad_normal(const float* p1, const float* p2, const float* p3)
{
    const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
    const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len != 0) {
        n[0] /= len;
        n[1] /= len;
        n[2] /= len;
    } else {
        n[0] = 0;
        n[1] = 1;
        n[2] = 0;
    }
    glNormal3fv(n);
}

void textured_vertex(float s, float t, const float* p)
{
    glTexCoord2f(s, t);
    glVertex3fv(p);
}
} // namespace

// [SECTION] 2-D shapes

void OGL_framecircle(int colour, float x, float y, float radius)
{
    OGL_setstate(kFogOff, 0, kLightOff, kBlendNone, kDepthOff, kDepthNoWrite);
    OGL_set_colour(colour, 1.0f); // the text colour: global_alpha alone
    const float cx = x + mnw.win_x + 0.5f, cy = y + mnw.win_y + 0.5f;
    glBegin(GL_LINE_STRIP);
    for (int a = 0; a <= 360; a += kCircleStepDeg)
        glVertex2f(cx + radius * lookup_sin[a], cy + radius * lookup_cos[a]);
    glEnd();
}

void OGL_fillcircle(int colour, float x, float y, float radius)
{
    const long long n = unit_steps(-radius, radius);
    for (long long i = 0; i < n; ++i) {
        const float d = -radius + float(i);
        const float h = std::sqrt(radius * radius - d * d);
        OGL_line(colour, 1.0f, x - h, y + d, x + h, y + d);
    }
}

void OGL_arc(int colour, float x, float y, float inner_radius, float outer_radius, float from_deg,
             float to_deg)
{
    const long long radii = unit_steps(inner_radius, outer_radius);
    const long long angles = unit_steps(from_deg, to_deg);
    for (long long ri = 0; ri < radii; ++ri) {
        const float r = inner_radius + float(ri);
        float px = x + r * std::sin(from_deg * kDegToRadF);
        float py = y + r * std::cos(from_deg * kDegToRadF);
        for (long long ai = 0; ai < angles; ++ai) {
            const float a = (from_deg + float(ai)) * kDegToRadF;
            const float qx = x + r * std::sin(a), qy = y + r * std::cos(a);
            OGL_line(colour, 1.0f, px, py, qx, qy);
            px = qx;
            py = qy;
        }
    }
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha)
{
    OGL_setstate(kFogOff, 0, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    OGL_set_colour(kColGrey, alpha);
    const float ox = mnw.win_x, oy = mnw.win_y;
    glBegin(GL_QUADS);
    glVertex2f(x1 + ox, y1 + oy);
    glVertex2f(x1 + ox, y2 + oy);
    glVertex2f(x2 + ox, y2 + oy);
    glVertex2f(x2 + ox, y1 + oy);
    glEnd();
}

void OGL_2dquad_d(int tex_ref, int colour, float alpha, float x, float y, float s, float t, float w,
                  float h, float ds, float dt, int blend)
{
    OGL_setstate(kFogOff, 1, kLightOff, blend, kDepthOff, kDepthNoWrite);
    if (tex_ref > 0) tman.bind_ref(tex_ref, 0, 0);
    OGL_set_colour(colour, alpha);
    const float ox = x + mnw.win_x, oy = y + mnw.win_y;
    glBegin(GL_QUADS);
    glTexCoord2f(s, t);
    glVertex2f(ox, oy);
    glTexCoord2f(s, t + dt);
    glVertex2f(ox, oy + h);
    glTexCoord2f(s + ds, t + dt);
    glVertex2f(ox + w, oy + h);
    glTexCoord2f(s + ds, t);
    glVertex2f(ox + w, oy);
    glEnd();
}

// [SECTION] Colour scale

namespace
{
// Black, red, orange, yellow, green, blue, violet.
const float col_r[7] = {0, 1, 1, 1, 0, 0, 0.8f};
const float col_g[7] = {0, 0, 0.32f, 1, 1, 0, 0};
const float col_b[7] = {0, 0, 0.08f, 0, 0, 1, 0.8f};

// The colour bar of the plotting spectrum.
constexpr int kPlotBarPixels = 1000; // bar height; points every 4 pixels
constexpr int kPlotPointStep = 4;
constexpr int kPlotNumberDigits = 5;
constexpr int kPlotCharset = 100; // proportional
constexpr float kPlotPointSize = 4;
} // namespace

void OGL_spectrum_rgb(float v)
{
    int k;
    float f;
    if (v < 0) {
        k = 1;
        f = 0;
    } else if (v > 1) {
        k = 6;
        f = 1;
    } else {
        const float bounds[5] = {1.0f / 6, 1.0f / 3, 1.0f / 2, 2.0f / 3, 5.0f / 6};
        k = 6;
        for (int i = 0; i < 5; ++i)
            if (v < bounds[i]) {
                k = i + 1;
                break;
            }
        f = 6 * (v - float(k - 1) / 6);
    }
    float r = (1 - f) * col_r[k - 1] + f * col_r[k];
    float g = (1 - f) * col_g[k - 1] + f * col_g[k];
    float b = (1 - f) * col_b[k - 1] + f * col_b[k];
    if (ren.monochrome) {
        g = r + g + b;
        if (g < 0.01f) g = 0.01f;
        if (g > 1.0f) g = 1.0f;
        r = 0;
        b = 0;
    }
    glColor4f(r, g, b, ren.global_alpha);
}

// The colour table keeps the spectrum; its bar is drawn here, with the text.
void colr_class::spectrum_plotscale(float x, float y, float lo, float hi, int decimals)
{
    plot_hi = hi;
    OGL_number(0, x + 4, y + 996, hi, kPlotNumberDigits, decimals, kPlotCharset);
    plot_lo = lo;
    OGL_number(0, x + 4, y - 4, lo, kPlotNumberDigits, decimals, kPlotCharset);
    plot_range = hi - lo;

    OGL_setstate(kFogOff, 0, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    glPointSize(kPlotPointSize);
    const float vmin = std::fmin(lo, hi), vmax = std::fmax(lo, hi);
    glBegin(GL_POINTS);
    for (int k = 0; k < kPlotBarPixels; k += kPlotPointStep) {
        float v = lo + float(k) * (plot_range * 0.001001001f);
        v = std::fmin(std::fmax(v, vmin), vmax);
        // An empty range (lo == hi) has no scale to place a value on: the bar
        // takes the first colour. NaN lands there too.
        float at = (plot_range != 0) ? (v - lo) / plot_range * kColrSpectrumCount : 0.0f;
        if (!(at >= 0)) at = 0;
        if (at > kColrSpectrumCount - 1) at = kColrSpectrumCount - 1;
        glColor3fv(spectrum[int(at)]);
        glVertex2f(x, y + float(k));
    }
    glEnd();
    glPointSize(1);
}

// [SECTION] 3-D pieces

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2)
{
    glVertex3f(x1, y1, z1);
    glVertex3f(x2, y2, z2);
}

void OGL_3dquad(float* p1, float* p2, float* p3, float* p4)
{
    quad_normal(p1, p2, p3);
    textured_vertex(st11[0], st11[1], p1);
    textured_vertex(st10[0], st10[1], p2);
    textured_vertex(st00[0], st00[1], p3);
    textured_vertex(st01[0], st01[1], p4);
}

void OGL_3dquad_st(float* p1, float* p2, float* p3, float* p4, float s1, float t1, float s2,
                   float t2)
{
    quad_normal(p1, p2, p3);
    textured_vertex(s1, t1, p1);
    textured_vertex(s1, t2, p2);
    textured_vertex(s2, t2, p3);
    textured_vertex(s2, t1, p4);
}

void OGL_disc(float x, float y, float z, float size)
{
    const float r = kDiscRimFactor * size;
    float v[3];
    glPushMatrix();
    glTranslatef(x, y, z);

    glNormal3f(-1, 0, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3f(-size, 0, 0);
    for (int a = 360; a >= 0; a -= kDiscStepDeg) {
        ring_point(v, -size, r, a);
        glVertex3fv(v);
    }
    glEnd();

    glNormal3f(1, 0, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3f(size, 0, 0);
    for (int a = 0; a <= 360; a += kDiscStepDeg) {
        ring_point(v, size, r, a);
        glVertex3fv(v);
    }
    glEnd();

    // Chamfer, rim, chamfer: rings as (x, radius) pairs.
    const float rings[4][2] = {{-size, r}, {-r, size}, {r, size}, {size, r}};
    for (int s = 0; s < 3; ++s) {
        glBegin(GL_QUAD_STRIP);
        for (int a = 360; a >= 0; a -= kDiscStepDeg) {
            ring_point(v, rings[s][0], rings[s][1], a);
            glVertex3fv(v);
            ring_point(v, rings[s + 1][0], rings[s + 1][1], a);
            glVertex3fv(v);
        }
        glEnd();
    }
    glPopMatrix();
}

void OGL_cube(float x, float y, float z, float size_x, float size_y, float size_z, float s1,
              float s2, float t1, float t2, float heading)
{
    const float hx = size_x / 2, hz = size_z / 2, sy = size_y;
    glPushMatrix();
    glTranslatef(x, y, z);
    glRotatef(-heading, 0, 0, 1);

    // Around the sides: each corner top then bottom, the normal of the face
    // that the strip enters.
    const struct {
        float nx, nz, cx, cz, s;
    } sides[5] = {
        {0, -1, -hx, -hz, s1}, {0, -1, hx, -hz, s2},  {1, 0, hx, hz, s1},
        {0, 1, -hx, hz, s2},   {-1, 0, -hx, -hz, s1},
    };
    glBegin(GL_QUAD_STRIP);
    for (const auto& c : sides) {
        glNormal3f(c.nx, 0, c.nz);
        glTexCoord2f(c.s, t2);
        glVertex3f(c.cx, sy, c.cz);
        glTexCoord2f(c.s, t1);
        glVertex3f(c.cx, 0, c.cz);
    }
    glEnd();

    glBegin(GL_QUADS);
    glNormal3f(0, 1, 0);
    glTexCoord2f(s1, t2);
    glVertex3f(-hx, sy, -hz);
    glTexCoord2f(s2, t2);
    glVertex3f(hx, sy, -hz);
    glTexCoord2f(s2, t2);
    glVertex3f(hx, sy, hz);
    glTexCoord2f(s1, t2);
    glVertex3f(-hx, sy, hz);
    glNormal3f(0, -1, 0);
    glTexCoord2f(s1, t1);
    glVertex3f(-hx, 0, hz);
    glTexCoord2f(s2, t1);
    glVertex3f(hx, 0, hz);
    glTexCoord2f(s2, t1);
    glVertex3f(hx, 0, -hz);
    glTexCoord2f(s1, t1);
    glVertex3f(-hx, 0, -hz);
    glEnd();
    glPopMatrix();
}

// [SECTION] GL switches

void OGL_poly_offset(int n)
{
    if (n == 0) {
        glDisable(GL_POLYGON_OFFSET_FILL);
        return;
    }
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-10.0f * float(n), -1.0f);
}

void OGL_glow_colors()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void OGL_setspec(float level)
{
    const float c[4] = {level, level, level, 1};
    glLightfv(GL_LIGHT0, GL_SPECULAR, c);
    glMaterialfv(GL_FRONT, GL_SPECULAR, c);
    glMateriali(GL_FRONT, GL_SHININESS, 128);
}

void OGL_screensize(int mode, float x0, float y0, float x1, float y1)
{
    if (mode == kViewOrtho2D) {
        x0 = 0;
        y0 = 0;
        x1 = float(mnw.res_x);
        y1 = float(mnw.res_y);
    } else if (mode == kViewFrustum) {
        x0 *= mnw.pix_scale;
        y0 *= mnw.pix_scale;
        x1 *= mnw.pix_scale;
        y1 *= mnw.pix_scale;
    }
    glViewport(GLint(x0), GLint(y0), GLsizei(x1 - x0), GLsizei(y1 - y0));
}

void OGL_printer() {}
