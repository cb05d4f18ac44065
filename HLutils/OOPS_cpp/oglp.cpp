// The drawing frame and the 2-D primitives.
#include "OOPS_cpp/oglp.h"

#include <GL/gl.h>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/tman.h"
#include "OOPS_cpp/xcam.h"
#include "TEX/TEX_bind.h"
#include "UTL/UTL_time.h"

namespace
{
constexpr float kAreaWidth = 1024.0f; // the design area: centred across,
constexpr float kAreaHeight = 768.0f; // at the top of the drawable
constexpr int kEnv17 = 17;            // alpha drawn as opaque grey

void set_colour(int colour, float alpha)
{
    float c[4];
    if (OGL_colour_for(colour, alpha, c))
        glColor3fv(c);
    else
        glColor4f(c[0], c[1], c[2], c[3]);
}

void flat_state()
{
    OGL_setstate(kFogOff, 0, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
}
} // namespace

int OGL_colour_for(int colour, float alpha, float out[4])
{
    if (colour >= kColrPulseFirst && colour <= kColrPulseLast) colr.pulse_drawn = 1;
    float r = colr.rgb[colour][0], g = colr.rgb[colour][1], b = colr.rgb[colour][2];
    if (colour <= kColLitMax) {
        r *= colr.rgb[kColLight][0];
        g *= colr.rgb[kColLight][1];
        b *= colr.rgb[kColLight][2];
    }
    if (ren.monochrome) {
        float m = r + g + b;
        if (m < 0.01f) m = 0.01f;
        if (m > 1.0f) m = 1.0f;
        r = 0;
        g = m;
        b = 0;
    }
    const float a = alpha * ren.global_alpha;
    out[0] = r;
    out[1] = g;
    out[2] = b;
    out[3] = a > 0.99f ? 1.0f : a;
    return a > 0.99f ? 1 : 0;
}

void OGL_pix_specs(int)
{
    mnw.pix_scale_x = 1.0f;
    mnw.pix_scale = 1.0f;
    mnw.ortho_x0 = 0;
    mnw.ortho_y0 = 0;
    mnw.ortho_x1 = static_cast<float>(mnw.res_x);
    mnw.ortho_y1 = static_cast<float>(mnw.res_y);
    const float ay = static_cast<float>(mnw.res_y) - kAreaHeight;
    mnw.area_y = ay > 0 ? ay : 0.0f;
    const float ax = (mnw.res_x / mnw.pix_scale - kAreaWidth) * 0.5f;
    mnw.area_x = (ax > 0 && mnw.win_now != kWinNone) ? ax : 0.0f;
    mnw.centre_x = mnw.res_x * 0.5f;
    mnw.centre_y = kAreaHeight * 0.5f;
    if (mnw.win_now >= 0) OGL_viewport(kViewOrtho2D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);
}

void OGL_viewport(int mode, float left, float view_x0, float bottom, float view_y0, float right,
                  float view_x1, float near_z, float top, float view_y1, float far_z, float zoom,
                  int keep_aspect)
{
    const float s = mnw.pix_scale;
    if (mode == kViewOrtho2D) {
        left = mnw.ortho_x0;
        right = mnw.ortho_x1;
        bottom = mnw.ortho_y0;
        top = mnw.ortho_y1;
        view_x0 = 0;
        view_y0 = 0;
        view_x1 = static_cast<float>(mnw.res_x);
        view_y1 = static_cast<float>(mnw.res_y);
    } else if (mode == kViewFrustum) {
        left *= near_z;
        bottom *= near_z;
        right *= near_z;
        top *= near_z;
        view_x0 *= s;
        view_y0 *= s;
        view_x1 *= s;
        view_y1 *= s;
    }
    if (keep_aspect) {
        const float k = (view_y1 - view_y0) / (view_x1 - view_x0);
        bottom *= k;
        top *= k;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (mode == kViewOrtho2D)
        xcam.SetupOrtho(left / zoom, right / zoom, bottom / zoom, top / zoom, -1, 1);
    else if (mode == kViewFrustum)
        xcam.SetupFrustum(left / zoom, right / zoom, bottom / zoom, top / zoom, near_z, far_z);
    const float vw = view_x1 - view_x0, vh = view_y1 - view_y0;
    glViewport(static_cast<GLint>(view_x0), static_cast<GLint>(view_y0), static_cast<GLsizei>(vw),
               static_cast<GLsizei>(vh));
    xcam.Identity();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(xcam.proj);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(xcam.mv);
    xcam.mv_stale = false;
}

void OGL_scissors(float x, float y, float w, float h)
{
    const float s = mnw.pix_scale;
    const float sx = (x + mnw.win_x) * s, sy = (y + mnw.win_y) * s;
    float sw = (x + mnw.win_x + w) * s - sx, sh = (y + mnw.win_y + h) * s - sy;
    const GLsizei iw = sw <= 0 ? 0 : static_cast<GLsizei>(sw);
    const GLsizei ih = sh <= 0 ? 0 : static_cast<GLsizei>(sh);
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<GLint>(sx), static_cast<GLint>(sy), iw, ih);
}

void OGL_scissors_end()
{
    glDisable(GL_SCISSOR_TEST);
}

void OGL_nrml_colors()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h)
{
    flat_state();
    set_colour(colour, alpha);
    const float ox = mnw.win_x, oy = mnw.win_y;
    glBegin(GL_QUADS);
    glVertex2f(x + ox, y + oy);
    glVertex2f(x + ox, y + oy + h);
    glVertex2f(x + ox + w, y + oy + h);
    glVertex2f(x + ox + w, y + oy);
    glEnd();
}

void OGL_framerect(int colour, float alpha, float x, float y, float w, float h)
{
    flat_state();
    set_colour(colour, alpha);
    // Half a pixel in, so the outline lands on pixel centres.
    const float px = mnw.win_x + 0.5f + x, py = mnw.win_y + 0.5f + y;
    glBegin(GL_LINE_LOOP);
    glVertex2f(px, py);
    glVertex2f(px, py + h);
    glVertex2f(px + w, py + h);
    glVertex2f(px + w, py);
    glEnd();
}

void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2)
{
    flat_state();
    set_colour(colour, alpha);
    const float ox = mnw.win_x + 0.5f, oy = mnw.win_y + 0.5f;
    glBegin(GL_LINES);
    glVertex2f(ox + x1, oy + y1);
    glVertex2f(ox + x2, oy + y2);
    glEnd();
}

void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1,
                float x2, float y2, float s2, float t2, float x3, float y3, float s3, float t3,
                float x4, float y4, float s4, float t4, int units, int blend)
{
    OGL_setstate(kFogOff, units, kLightOff, blend, kDepthOff, kDepthNoWrite);
    if (tex_ref > 0) tman.bind_ref(tex_ref, 0, tex_ref == kTexEnv17Slot ? kEnv17 : 0);
    set_colour(colour, alpha);
    const float ox = mnw.win_x, oy = mnw.win_y;
    glBegin(GL_QUADS);
    glTexCoord2f(s1, t1);
    glVertex2f(x1 + ox, y1 + oy);
    glTexCoord2f(s2, t2);
    glVertex2f(x2 + ox, y2 + oy);
    glTexCoord2f(s3, t3);
    glVertex2f(x3 + ox, y3 + oy);
    glTexCoord2f(s4, t4);
    glVertex2f(x4 + ox, y4 + oy);
    glEnd();
}

int OGL_plot_back_col()
{
    OGL_fillrect(kColBackground, 1.0f, -mnw.win_x, -mnw.win_y, static_cast<float>(mnw.res_x),
                 static_cast<float>(mnw.res_y));
    return 0;
}

void OGL_sbuff()
{
    const float v = ren.monochrome ? 0.0f : 1.0f;
    glColor4f(v, 1.0f, v, ren.global_alpha);
    xtim.profile_chart("sb1", 0);
    if (VOVARU_shell().swap_buffers) VOVARU_shell().swap_buffers();
    xtim.profile_chart("sb2", 0);
}

void OGL_set_colour(int colour, float alpha)
{
    set_colour(colour, alpha);
}
