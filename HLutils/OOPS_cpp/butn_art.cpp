// Widget artwork: stretchable bars and panels cut from the interface atlas,
// single sprites, the close boxes, and the window panels built from them.
//
// Index of this file:
//   [SECTION] Piece tables
//   [SECTION] Bars and panels as quads
//   [SECTION] Drawing
//   [SECTION] Window panels and close boxes
#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"

// ---------------------------------------------------------------------------
// [SECTION] Piece tables
// ---------------------------------------------------------------------------

namespace
{
constexpr float kAtlasSize = 512.0f;
constexpr float kInstallerSize = 1024.0f; // texture 390 is padded to 1024 x 1024

// A horizontal bar (its look is named in butn.h): atlas origin, height, cap width, end of the
// middle, end of the strip, extra width.
struct bar_row {
    int type;
    float u0, v0, h, l, m, r, e;
};
const bar_row kBars[] = {
    {kBarMenu, 1, 487, 26, 10, 90, 100, 0},
    {kBarHeader, 102, 487, 26, 20, 80, 100, 0},
    {kBarButton, 304, 486, 26, 10, 42, 52, 0},
    {kBarButtonDown, 304, 459, 26, 10, 42, 52, 0},
    {kBarProgressTrack, 112, 161, 16, 10, 18, 28, 0},
    {kBarProgressFill, 83, 161, 16, 10, 18, 28, 0},
    {kBarSliderTrack, 240, 242, 24, 10, 55, 65, 0},
    {kBarSliderFill, 289, 219, 16, 7, 9, 16, 0},
    {kBarField, 262, 133, 26, 10, 41, 51, 4},
    {kBarPopup, 357, 488, 24, 26, 42, 68, 4},
};

// The vertical bar: atlas column and rows of its three pieces.
constexpr float kVertU0 = 102, kVertU1 = 122, kVertHalfW = 10, kVertCap = 10, kVertStep = 20;
constexpr float kVertBottom = 248, kVertMiddle = 258, kVertTop = 278, kVertEnd = 288;

// A nine-piece panel (its look is named in butn.h): texture, atlas origin, tile size, bottom and
// top row heights, column width, margins left/right, below and above.
struct panel_row {
    int type, tex;
    float u0, v0, t, bb, bt, c, ml, mb, ma;
};
const panel_row kPanels[] = {
    {kPanelWindow, kTexInterface, 1, 358, 100, 30, 30, 35, 9, 14, 4},
    {kPanelLight, kTexInterface, 102, 358, 100, 30, 30, 35, 9, 14, 4},
    {kPanelGroup, kTexInterface, 203, 358, 100, 30, 30, 35, 9, 14, 4},
    {kPanelDark, kTexInterface, 304, 358, 100, 30, 30, 35, 9, 14, 4},
    {kPanelInset, kTexInterface, 405, 358, 100, 30, 30, 35, 9, 14, 4},
    {kPanelList, kTexInterface, 1, 289, 68, 20.4f, 20.4f, 23.8f, 2, 2, 2},
    {kPanelMenu, kTexInterface, 70, 315, 42, 26, 14, 20, 8, 13, 2},
    {kPanelSmall, kTexInterface, 113, 315, 42, 12.6f, 12.6f, 14.7f, 8, 13, 2},
    {kPanelBlack, kTexInterface, 440, 12, 44, 13.2f, 13.2f, 15.4f, 6, 9, 4},
    {kPanelInstaller, kTexInstaller, 774, 78, 41, 12.3f, 12.3f, 14.35f, 1, 1, 1},
};
constexpr int kColTitleWindow = 40, kColTitleDarker = 47, kColTitle = 43;
constexpr float kTitleDropWindow = 13, kTitleDrop = 16, kTitleIndentInstaller = 10;

// Close boxes: 18 x 18 sprites in the title bar; look 0 dark cross, 1 pale.
constexpr float kZapHalf = 9, kZapAtlasX = 129, kZapAtlasY[2] = {187, 206};
constexpr float kZapLeftX = 16, kZapRightInset = 16, kZapTopInset = 10;
constexpr int kFirstNoZap = 995, kLastNoZap = 999;

const bar_row* bar_of(int type)
{
    for (const bar_row& r : kBars)
        if (r.type == type) return &r;
    return nullptr;
}

const panel_row* panel_of(int type)
{
    for (const panel_row& r : kPanels)
        if (r.type == type) return &r;
    return nullptr;
}

// Half away from zero, then the fraction dropped.
float round_away(float v)
{
    return static_cast<float>(OGL_round_half_away(v));
}

// The source lines these alerts have always named.
constexpr int kLineBadFrame1 = 266, kLineBadFrame0 = 272, kLineFrame0X = 273, kLineFrame0Y = 274;
constexpr int kLineBadFrame2 = 281;

[[noreturn]] void fatal(const std::string& line1, const std::string& line4, int line)
{
    __VOVARU_alert(0, line1, "", "", line4, t_exit, __FILE__, line);
    std::abort(); // the fatal alert does not return
}
} // namespace

int BTN_frame1_type_ok(int type)
{
    return bar_of(type) != nullptr;
}

int BTN_frame2_type_ok(int type)
{
    return panel_of(type) != nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Bars and panels as quads
// ---------------------------------------------------------------------------
// A strip of length `len` split into a cap [0, a), middle pieces of `step`
// repeated n + 1 times and cut at len - b, and a cap [len - b, len). The
// texels run t0 .. t0 + a, then t0 + a .. t0 + a + step, then far0 .. far1.
// n < -2 draws nothing, -2 the far cap only, -1 both caps only. A piece cut
// short keeps its texels one to one; one that starts past the cut runs
// backwards with no texels and is culled as a back face.

namespace
{
struct span {
    float p0, p1, t0, t1;
};

std::vector<span> strip(float len, float a, float step, float b, float t0, float far0, float far1,
                        int n)
{
    std::vector<span> out;
    if (n < -2) return out;
    if (n >= -1) out.push_back({0, a, t0, t0 + a});
    for (int k = 0; k <= n; ++k) {
        const float p0 = a + k * step;
        float p1 = p0 + step;
        float t1 = t0 + a + step;
        if (p1 > len - b) {
            p1 = len - b;
            t1 = t0 + a + (p1 - p0);
            if (t1 < t0 + a) t1 = t0 + a;
            if (t1 > t0 + a + step) t1 = t0 + a + step;
        }
        out.push_back({p0, p1, t0 + a, t1});
    }
    out.push_back({len - b, len, far0, far1});
    return out;
}
} // namespace

std::vector<btn_quad> BTN_frame1_quads(int type, float x, float y, float width)
{
    std::vector<btn_quad> out;
    const bar_row* r = bar_of(type);
    if (!r) return out;
    const float w = 2 * round_away(width / 2) + r->e;
    if (type == kBarMenu || type == kBarHeader) y -= 3;
    const float left = round_away(x) - w / 2, bottom = y - r->h / 2, top = y + r->h / 2;
    const float s = r->m - r->l;
    const int n = static_cast<int>((w - 2 * r->l) / s);
    for (const span& p : strip(w, r->l, s, r->l, r->u0, r->u0 + r->m, r->u0 + r->r, n))
        out.push_back({left + p.p0, bottom, left + p.p1, top, p.t0, r->v0, p.t1, r->v0 + r->h});
    return out;
}

std::vector<btn_quad> BTN_frame0_quads(float x, float y, float height)
{
    std::vector<btn_quad> out;
    const float t = 2 * round_away(height / 2) + 8;
    const float b = y - t / 2;
    const int n = static_cast<int>((t - 2 * kVertCap) / kVertStep);
    for (const span& p :
         strip(t, kVertCap, kVertStep, kVertCap, kVertBottom, kVertTop, kVertEnd, n))
        out.push_back(
            {x - kVertHalfW, b + p.p0, x + kVertHalfW, b + p.p1, kVertU0, p.t0, kVertU1, p.t1});
    return out;
}

std::vector<btn_quad> BTN_frame2_quads(int type, float x, float y, float width, float height)
{
    std::vector<btn_quad> out;
    const panel_row* r = panel_of(type);
    if (!r) return out;
    const float x0 = x - r->ml, y0 = y - r->mb;
    const float wt = width + 2 * r->ml, ht = height + r->mb + r->ma;
    const float sr = r->t - r->bt - r->bb, sc = r->t - 2 * r->c;
    int nr = static_cast<int>((ht - r->bt - r->bb) / sr);
    if (nr < 0) nr = 0;
    const int nc = static_cast<int>((wt - 2 * r->c) / sc) + 1;
    // Both sides are always drawn: rows hold at least one middle row,
    // columns may hold none.
    const std::vector<span> rows = strip(ht, r->bb, sr, r->bt, 0, r->t - r->bt, r->t, nr);
    const std::vector<span> cols =
        strip(wt, r->c, sc, r->c, 0, r->t - r->c, r->t, nc - 1 < -1 ? -1 : nc - 1);
    for (const span& row : rows)
        for (const span& col : cols)
            out.push_back({x0 + col.p0, y0 + row.p0, x0 + col.p1, y0 + row.p1, r->u0 + col.t0,
                           r->v0 + row.t0, r->u0 + col.t1, r->v0 + row.t1});
    return out;
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing
// ---------------------------------------------------------------------------

namespace
{
// One batch: one state change, one bind, one glBegin. Corners go
// bottom-left, top-left, top-right, bottom-right, with the window origin.
void draw_quads(const std::vector<btn_quad>& quads, int tex, float tex_size, int colour)
{
    OGL_setstate(kFogOff, 1, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    tman.bind_ref(tex, 0, 0);
    float c[4];
    if (OGL_colour_for(colour, 1.0f, c))
        glColor3fv(c);
    else
        glColor4f(c[0], c[1], c[2], c[3]);
    const float ox = mnw.win_x, oy = mnw.win_y, k = 1.0f / tex_size;
    glBegin(GL_QUADS);
    for (const btn_quad& q : quads) {
        glTexCoord2f(q.u0 * k, q.v0 * k);
        glVertex2f(q.x0 + ox, q.y0 + oy);
        glTexCoord2f(q.u0 * k, q.v1 * k);
        glVertex2f(q.x0 + ox, q.y1 + oy);
        glTexCoord2f(q.u1 * k, q.v1 * k);
        glVertex2f(q.x1 + ox, q.y1 + oy);
        glTexCoord2f(q.u1 * k, q.v0 * k);
        glVertex2f(q.x1 + ox, q.y0 + oy);
    }
    glEnd();
}

bool clicked_in(float x0, float y0, float x1, float y1)
{
    return mnw.mouse_press && x0 <= mnw.mouse_x && mnw.mouse_x <= x1 && y0 <= mnw.mouse_y &&
           mnw.mouse_y <= y1;
}

// The left close box, then the right one unless this frame's click lies in
// the left one. Returns 1 for a click in either.
int close_boxes(int look)
{
    const float cy = mnw.win_h - kZapTopInset;
    const float xs[2] = {kZapLeftX, mnw.win_w - kZapRightInset};
    for (float cx : xs) {
        BTN_util_element(cx, cy, kZapAtlasX, kZapAtlasY[look ? 1 : 0], kZapHalf, kZapHalf,
                         kColrNoTint);
        if (clicked_in(cx - kZapHalf, cy - kZapHalf, cx + kZapHalf, cy + kZapHalf)) return 1;
    }
    return 0;
}
} // namespace

void BTN_frame1(int type, float x, float y, float width, int colour)
{
    if (!BTN_frame1_type_ok(type)) fatal("Bad BTN_frame1 call!", "", kLineBadFrame1);
    draw_quads(BTN_frame1_quads(type, x, y, width), kTexInterface, kAtlasSize, colour);
}

void BTN_frame0(int type, float x, float y, float height)
{
    if (type != kBarVertical) fatal("Bad BTN_frame0 call!", "", kLineBadFrame0);
    if (x != std::trunc(x)) fatal("BTN_frame0 non-int x_center!", "", kLineFrame0X);
    if (y != std::trunc(y)) fatal("BTN_frame0 non-int y_center!", "", kLineFrame0Y);
    draw_quads(BTN_frame0_quads(x, y, height), kTexInterface, kAtlasSize, kColrNoTint);
}

void BTN_frame2(int type, float x, float y, float width, float height, std::string title)
{
    const panel_row* r = panel_of(type);
    if (!r) fatal("Bad BTN_frame2 call!", title, kLineBadFrame2);
    draw_quads(BTN_frame2_quads(type, x, y, width, height), r->tex,
               r->tex == kTexInstaller ? kInstallerSize : kAtlasSize, kColrNoTint);

    const float tx = type == kPanelInstaller ? x + kTitleIndentInstaller
                                             : x + width / 2 - OGL_text_width(title) / 2;
    const float ty = y + height - (type == kPanelWindow ? kTitleDropWindow : kTitleDrop);
    const int colour = type == kPanelWindow  ? kColTitleWindow
                       : type == kPanelInset ? kColTitleDarker
                                             : kColTitle;
    OGL_string(colour, tx, ty, title, kTextNoWrap, kCharsetProp, kTextLeft);

    const int w = mnw.win_now;
    if (type == kPanelWindow && w != kWinMain && !(w >= kFirstNoZap && w <= kLastNoZap))
        close_boxes(0);
}

void BTN_util_element(float x, float y, float ax, float ay, float hw, float hh, int colour)
{
    const float k = 1.0f / kAtlasSize;
    const float u0 = (ax - hw) * k, u1 = (ax + hw) * k, v0 = (ay - hh) * k, v1 = (ay + hh) * k;
    OGL_2dquad(kTexInterface, colour, 1.0f, x - hw, y - hh, u0, v0, x - hw, y + hh, u0, v1, x + hw,
               y + hh, u1, v1, x + hw, y - hh, u1, v0, 1, kBlendOn);
}

// ---------------------------------------------------------------------------
// [SECTION] Window panels and close boxes
// ---------------------------------------------------------------------------

int BTN_zap_boxes(int look)
{
    return close_boxes(look);
}

void BTN_fillwin(int framed, int inner_type)
{
    BTN_frame2(framed ? kPanelWindow : kPanelLight, 0, 0, mnw.win_w, mnw.win_h,
               stls[kStlsWindowTitle]);
    if (inner_type == kBarHeader)
        BTN_frame1(kBarHeader, mnw.win_w / 2, mnw.win_h - 50, mnw.win_w, kColrNoTint);
    else if (inner_type != kPanelNone)
        BTN_frame2(inner_type, 10, 10, mnw.win_w - 20, mnw.win_h - 40, "");
}

void BTN_subwin(float title_h, int type, float x, float y, float w, float h, std::string title,
                float* out_x, float* out_y)
{
    if (x < 0) x = 10;
    if (y < 0) y = 10;
    if (w < 0) w = mnw.win_w - x - 10;
    if (h < 0) h = mnw.win_h - y - title_h - 28;
    BTN_frame2(type, x, y, w, h, title);
    *out_x = x + w + 10;
    *out_y = y + h + 10;
}
