// texgen: draws the five images compiled into the program and writes them as
// raw RGBA files plus one small C++ file each that embeds the raw bytes.
//
//   texgen OUT_DIR REGULAR.ttf BOLD.ttf HANGUL.ttf [--png]
//
// Everything is computed from the three fonts and fixed numbers, so the same
// inputs give the same bytes. Images are stored bottom row first (row 0 is
// texture t = 0), the order in which the texture loader uploads them.
//
// Index of this file
//   [SECTION] Canvas and shapes
//   [SECTION] Fonts
//   [SECTION] Interface atlas (texture 389)
//   [SECTION] Installer artwork (texture 390)
//   [SECTION] Backgrounds (textures 391, 392)
//   [SECTION] Menu font (texture 393)
//   [SECTION] Output

#include <ft2build.h>
#include FT_FREETYPE_H
#include <zlib.h>

#include "GenH/hl_menu_font.h"
#include "OOPS_cpp/oglp_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

// ---------------------------------------------------------------------------
// [SECTION] Canvas and shapes
// ---------------------------------------------------------------------------
struct RGBA {
    float r, g, b, a;
};

RGBA rgb(int r, int g, int b, float a = 1.0f)
{
    return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}
RGBA mix(RGBA p, RGBA q, float t)
{
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
            p.a + (q.a - p.a) * t};
}
float clamp01(float v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Straight (not premultiplied) RGBA bytes, y up: row 0 is the bottom.
struct Canvas {
    int w, h;
    std::vector<uint8_t> px;
    Canvas(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * h_ * 4, 0) {}

    uint8_t* at(int x, int y) { return &px[(size_t(y) * w + x) * 4]; }

    void set(int x, int y, RGBA c)
    {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        uint8_t* p = at(x, y);
        p[0] = uint8_t(std::lround(clamp01(c.r) * 255));
        p[1] = uint8_t(std::lround(clamp01(c.g) * 255));
        p[2] = uint8_t(std::lround(clamp01(c.b) * 255));
        p[3] = uint8_t(std::lround(clamp01(c.a) * 255));
    }

    // Source-over with coverage k.
    void blend(int x, int y, RGBA c, float k)
    {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        float sa = clamp01(c.a * k);
        if (sa <= 0) return;
        uint8_t* p = at(x, y);
        float da = p[3] / 255.0f;
        float oa = sa + da * (1 - sa);
        auto ch = [&](float s, uint8_t d) {
            return oa > 0 ? (s * sa + d / 255.0f * da * (1 - sa)) / oa : 0.0f;
        };
        RGBA o{ch(c.r, p[0]), ch(c.g, p[1]), ch(c.b, p[2]), oa};
        set(x, y, o);
    }

    void fill(int x0, int y0, int x1, int y1, RGBA c)
    { // half-open box
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                set(x, y, c);
    }
};

using Sdf = std::function<float(float, float)>;
using Paint = std::function<RGBA(float, float)>;

// Fills a shape given by a signed distance (negative inside), antialiased,
// within the pixel box [x0, x1) x [y0, y1).
void shape(Canvas& cv, int x0, int y0, int x1, int y1, const Sdf& d, const Paint& p)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float k = clamp01(0.5f - d(fx, fy));
            if (k > 0) cv.blend(x, y, p(fx, fy), k);
        }
}
void shape(Canvas& cv, int x0, int y0, int x1, int y1, const Sdf& d, RGBA c)
{
    shape(cv, x0, y0, x1, y1, d, [c](float, float) { return c; });
}

Sdf rbox(float x0, float y0, float x1, float y1, float r)
{
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    return [=](float x, float y) {
        float qx = std::fabs(x - cx) - (hw - r), qy = std::fabs(y - cy) - (hh - r);
        float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
    };
}
Sdf circle(float cx, float cy, float r)
{
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}
Sdf ring(float cx, float cy, float r, float width)
{
    return [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - width / 2; };
}
Sdf segment(float ax, float ay, float bx, float by, float width)
{
    return [=](float x, float y) {
        float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
        float t = clamp01((px * dx + py * dy) / (dx * dx + dy * dy));
        return std::hypot(px - dx * t, py - dy * t) - width / 2;
    };
}
// Convex or concave polygon, even-odd inside test.
Sdf polygon(std::vector<std::pair<float, float>> v)
{
    return [v](float x, float y) {
        float d = 1e9f;
        bool inside = false;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            float ax = v[j].first, ay = v[j].second, bx = v[i].first, by = v[i].second;
            float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
            float t = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
            d = std::min(d, std::hypot(wx - ex * t, wy - ey * t));
            if (((ay > y) != (by > y)) && (x < (bx - ax) * (y - ay) / (by - ay) + ax))
                inside = !inside;
        }
        return inside ? -d : d;
    };
}
Sdf outline(Sdf s, float width)
{
    return [s, width](float x, float y) { return std::fabs(s(x, y) + width / 2) - width / 2; };
}

// Vertical gradient between two colours over [y0, y1].
Paint vgrad(float y0, float y1, RGBA bottom, RGBA top)
{
    return [=](float, float y) { return mix(bottom, top, clamp01((y - y0) / (y1 - y0))); };
}

// A fixed-seed generator for the few places that want a little texture.
struct Lcg {
    uint32_t s;
    explicit Lcg(uint32_t seed) : s(seed) {}
    float next()
    {
        s = s * 1664525u + 1013904223u;
        return (s >> 8) / 16777216.0f;
    }
};

// Smooth value noise on a lattice, periodic in x with period px.
struct Noise {
    std::vector<float> v;
    int n;
    explicit Noise(uint32_t seed, int n_ = 64) : n(n_)
    {
        Lcg r(seed);
        v.resize(size_t(n) * n);
        for (float& f : v)
            f = r.next();
    }
    float lat(int x, int y) const { return v[size_t(((y % n) + n) % n) * n + ((x % n) + n) % n]; }
    float at(float x, float y) const
    {
        int ix = int(std::floor(x)), iy = int(std::floor(y));
        float fx = x - ix, fy = y - iy;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        float a = lat(ix, iy) + (lat(ix + 1, iy) - lat(ix, iy)) * fx;
        float b = lat(ix, iy + 1) + (lat(ix + 1, iy + 1) - lat(ix, iy + 1)) * fx;
        return a + (b - a) * fy;
    }
    float fbm(float x, float y, int oct) const
    {
        float s = 0, amp = 0.5f, f = 1;
        for (int i = 0; i < oct; ++i, amp *= 0.5f, f *= 2)
            s += amp * at(x * f + i * 17, y * f + i * 31);
        return s;
    }
};

// ---------------------------------------------------------------------------
// [SECTION] Fonts
// ---------------------------------------------------------------------------
FT_Library g_ft;
FT_Face g_regular, g_bold, g_hangul;

// Unicode of a byte of the program's text (ISO 8859-1; 0xFB is a degree sign).
unsigned int unicode_of(int byte)
{
    return byte == 0xFB ? 0xB0 : unsigned(byte);
}

// Draws one glyph with its origin at (ox, baseline) and returns its advance;
// the coverage becomes alpha of colour c. Pixels outside [clip) are skipped.
int draw_glyph(Canvas& cv, FT_Face face, int px_size, unsigned int code, int ox, int baseline,
               RGBA c, int cx0 = -1, int cy0 = -1, int cx1 = 1 << 30, int cy1 = 1 << 30,
               float gamma = 1.0f, bool clamp_left = false)
{
    FT_Set_Pixel_Sizes(face, 0, px_size);
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) return 0;
    FT_GlyphSlot g = face->glyph;
    int left = g->bitmap_left;
    if (clamp_left && left < 0) left = 0;
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
        for (unsigned col = 0; col < g->bitmap.width; ++col) {
            float k = g->bitmap.buffer[r * g->bitmap.pitch + col] / 255.0f;
            if (k <= 0) continue;
            k = std::pow(k, gamma);
            int x = ox + left + int(col);
            int y = baseline + g->bitmap_top - 1 - int(r);
            if (x < cx0 || y < cy0 || x >= cx1 || y >= cy1) continue;
            cv.blend(x, y, c, k);
        }
    return int((g->advance.x + 32) >> 6);
}

int text_width(FT_Face face, int px_size, const std::string& s)
{
    FT_Set_Pixel_Sizes(face, 0, px_size);
    int w = 0;
    for (unsigned char ch : s)
        if (!FT_Load_Char(face, ch, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL))
            w += int((face->glyph->advance.x + 32) >> 6);
    return w;
}

void draw_text(Canvas& cv, FT_Face face, int px_size, int x, int baseline, const std::string& s,
               RGBA c)
{
    for (unsigned char ch : s)
        x += draw_glyph(cv, face, px_size, ch, x, baseline, c);
}
void draw_text_centred(Canvas& cv, FT_Face face, int px_size, float cx, int baseline,
                       const std::string& s, RGBA c)
{
    draw_text(cv, face, px_size, int(std::lround(cx - text_width(face, px_size, s) / 2.0f)),
              baseline, s, c);
}

// ---------------------------------------------------------------------------
// [SECTION] Interface atlas (texture 389)
// ---------------------------------------------------------------------------
// The glyph layout and the advance table come from the text routines
// (OOPS_cpp/oglp_text.h): 21 columns by 5 rows of 14 x 15 cells.
constexpr int kBaseline = 4; // rows below the baseline inside a cell (descenders)
constexpr int kGlyphPx = 11; // DejaVu Sans 11 px wide...
// ...and 10 px high: x-height 5, capitals 7, descenders 2.
constexpr int kGlyphHeightPx = 10;
// Wrapped lines are kTextLineStep apart: a glyph's ink keeps to the rows from
// two below the baseline row to six above it, so one row of background stays
// between the descenders of a line and the tops of the next. The few glyphs
// taller than that (ascenders, brackets, the i's dot) have their outer rows
// folded onto the last row inside. Accents are set above that (see below).
constexpr int kInkRowsBelow = 2;
constexpr int kInkRowsAbove = kTextLineStep - 2 - kInkRowsBelow;
// Coverage at or below this counts as no ink when a glyph is measured.
constexpr int kFaintInk = 24;

// Columns [first, last] of the rendered glyph that carry visible ink; false
// for an empty bitmap.
bool ink_columns(const FT_Bitmap& bm, int* first, int* last)
{
    *first = -1;
    *last = -1;
    for (unsigned col = 0; col < bm.width; ++col)
        for (unsigned r = 0; r < bm.rows; ++r)
            if (bm.buffer[r * bm.pitch + col] > kFaintInk) {
                if (*first < 0) *first = int(col);
                *last = int(col);
                break;
            }
    return *first >= 0;
}

// Draws the glyph of `byte` into the cell at (x0, y0) so that its ink lies
// in the first advance - 1 columns: the text routines step by the advance
// table, so ink that ran past it would close up the gap to the next glyph
// (and eat the 3-pixel blank between words). Wide glyphs are narrowed by
// rendering them at a smaller horizontal size; the height stays 10 px.
// `code` is the character drawn, by default the byte's own.
void draw_fitted_glyph(Canvas& cv, FT_Face face, unsigned char byte, int x0, int y0,
                       unsigned code = 0)
{
    const int room = std::max(1, OGL_prop_advance(byte) - 1);
    if (code == 0) code = unicode_of(byte);
    int first = 0, last = 0;
    // Horizontal size in 1/64 pixel, narrowed in quarter pixels until it fits.
    for (int xsize = kGlyphPx * 64; xsize >= 3 * 64; xsize -= 16) {
        FT_Set_Char_Size(face, xsize, kGlyphHeightPx * 64, 72, 72);
        if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) return;
        if (!ink_columns(face->glyph->bitmap, &first, &last)) return;
        if (last - first + 1 <= room) break;
    }
    const FT_GlyphSlot g = face->glyph;
    const int width = last - first + 1;
    // Keep the glyph's own left bearing where it fits, else start at column 0.
    const int left = std::max(0, std::min(g->bitmap_left + first, room - width));
    // Coverage by column and row of the cell, the folded rows taking the
    // darker of the two.
    std::vector<float> cover(size_t(kGlyphCellW) * kGlyphCellH, 0.0f);
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
        for (int col = first; col <= last; ++col) {
            const float k =
                std::pow(g->bitmap.buffer[r * g->bitmap.pitch + unsigned(col)] / 255.0f, 0.85f);
            if (k <= 0) continue;
            const int x = left + (col - first);
            const int y = std::clamp(kBaseline + g->bitmap_top - 1 - int(r),
                                     kBaseline - kInkRowsBelow, kBaseline + kInkRowsAbove);
            if (x >= room) continue;
            float& c = cover[size_t(y) * kGlyphCellW + size_t(x)];
            c = std::max(c, k);
        }
    for (int y = 0; y < kGlyphCellH; ++y)
        for (int x = 0; x < kGlyphCellW; ++x)
            if (const float k = cover[size_t(y) * kGlyphCellW + size_t(x)]; k > 0)
                cv.blend(x0 + x, y0 + y, {1, 1, 1, 1}, k);
}

// Accented letters. At 11 px FreeType leaves a capital's accent one faint
// row in the 3 rows between the cap height and the top of the cell, so that
// Í reads as I. These letters are drawn as their base letter with an accent
// set by hand in whole pixels: two rows of full ink, with one blank row
// between them and the letter.
enum Accent { kAcute, kTilde };
struct AccentedLetter {
    unsigned char byte;
    unsigned base; // the letter drawn under the accent
    Accent accent;
};
constexpr AccentedLetter kAccented[] = {
    {0xC1, 'A', kAcute}, {0xC9, 'E', kAcute}, {0xCD, 'I', kAcute},
    {0xD3, 'O', kAcute}, {0xDA, 'U', kAcute}, {0xD1, 'N', kTilde},
    {0xE1, 'a', kAcute}, {0xE9, 'e', kAcute}, {0xED, 0x131, kAcute}, // dotless i under the accent
    {0xF3, 'o', kAcute}, {0xFA, 'u', kAcute}, {0xF1, 'n', kTilde},
};

// The accent's pixels, bottom row first; '#' is full ink.
constexpr const char* kAcuteRows[2] = {"#.", ".#"};
constexpr const char* kTildeRows[2] = {"#..#.", ".##.#"};

// Ink box of a cell: top row and columns with more than faint coverage, in
// cell coordinates; false for an empty cell.
bool cell_ink(Canvas& cv, int x0, int y0, int* top, int* first, int* last)
{
    *top = -1;
    *first = kGlyphCellW;
    *last = -1;
    for (int y = 0; y < kGlyphCellH; ++y)
        for (int x = 0; x < kGlyphCellW; ++x)
            if (cv.at(x0 + x, y0 + y)[3] > kFaintInk) {
                *top = std::max(*top, y);
                *first = std::min(*first, x);
                *last = std::max(*last, x);
            }
    return *top >= 0;
}

// Draws an accented letter of the table; false for any other byte.
bool draw_accented(Canvas& cv, FT_Face face, unsigned char byte, int x0, int y0)
{
    const AccentedLetter* a = nullptr;
    for (const AccentedLetter& l : kAccented)
        if (l.byte == byte) a = &l;
    if (!a) return false;
    draw_fitted_glyph(cv, face, byte, x0, y0, a->base);
    int top, first, last;
    if (!cell_ink(cv, x0, y0, &top, &first, &last)) return true;
    const char* const* rows = a->accent == kAcute ? kAcuteRows : kTildeRows;
    const int w = int(std::strlen(rows[0]));
    const int room = std::max(1, OGL_prop_advance(byte) - 1);
    // Centred over the letter, leaning right by the odd pixel, within the
    // advance; the top row of the accent at most the cell's top row.
    const int left = std::max(0, std::min((first + last + 2 - w) / 2, room - w));
    const int bottom = std::min(top + 2, kGlyphCellH - 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < w; ++c)
            if (rows[r][c] == '#') cv.set(x0 + left + c, y0 + bottom + r, {1, 1, 1, 1});
    return true;
}

void draw_glyphs(Canvas& cv)
{
    // Glyph cells are white everywhere so that nothing dark bleeds in at edges.
    for (int r = 0; r < kGlyphRows; ++r)
        for (int c = 0; c < kGlyphCols; ++c) {
            int x0 = c * kGlyphCellW, y0 = r * kGlyphCellH;
            cv.fill(x0, y0, x0 + kGlyphCellW, y0 + kGlyphCellH, {1, 1, 1, 0});
            const unsigned char ch = kGlyphLayout[r][c];
            if (ch == 0x20) continue;
            if (!draw_accented(cv, g_regular, ch, x0, y0))
                draw_fitted_glyph(cv, g_regular, ch, x0, y0);
        }
}

// Colour swatches that start-up samples: (x, stored row, r, g, b).
const int kSwatches[13][5] = {
    {319, 155, 51, 67, 86},    {319, 147, 78, 78, 73},    {319, 139, 13, 27, 44},
    {319, 131, 125, 126, 121}, {319, 123, 255, 255, 255}, {319, 115, 238, 238, 238},
    {319, 107, 13, 27, 44},    {319, 99, 93, 99, 110},    {319, 91, 34, 41, 53},
    {319, 83, 39, 44, 52},     {319, 75, 36, 43, 53},     {319, 67, 127, 220, 175},
    {395, 115, 220, 220, 220},
};

void draw_swatches(Canvas& cv)
{
    for (const auto& s : kSwatches) {
        RGBA c = rgb(s[2], s[3], s[4]);
        cv.fill(s[0] - 3, s[1] - 3, s[0] + 4, s[1] + 4, rgb(20, 20, 20));
        cv.fill(s[0] - 2, s[1] - 2, s[0] + 3, s[1] + 3, c);
    }
    // Exact values, whatever the frame did.
    for (const auto& s : kSwatches)
        cv.set(s[0], s[1], rgb(s[2], s[3], s[4]));
}

const RGBA kInk = rgb(39, 44, 52);
const RGBA kLine = rgb(110, 116, 126);
const RGBA kGreenLo = rgb(46, 128, 84), kGreenHi = rgb(120, 206, 150);

// A bar over [x0, x1) x [y0, y1): rounded body, 1-pixel frame, gradient.
void bar(Canvas& cv, int x0, int y0, int x1, int y1, float r, RGBA lo, RGBA hi, RGBA frame)
{
    Sdf body = rbox(x0 + 0.5f, y0 + 0.5f, x1 - 0.5f, y1 - 0.5f, r);
    shape(cv, x0, y0, x1, y1, body, frame);
    shape(cv, x0, y0, x1, y1, rbox(x0 + 1.5f, y0 + 1.5f, x1 - 1.5f, y1 - 1.5f, r - 1),
          vgrad(y0, y1, lo, hi));
    // A light line under the top edge gives the raised look.
    shape(cv, x0, y0, x1, y1, rbox(x0 + 3.0f, y1 - 3.0f, x1 - 3.0f, y1 - 2.0f, 0.5f),
          RGBA{1, 1, 1, 0.35f});
}

void sunken(Canvas& cv, int x0, int y0, int x1, int y1, float r)
{
    shape(cv, x0, y0, x1, y1, rbox(x0 + 0.5f, y0 + 0.5f, x1 - 0.5f, y1 - 0.5f, r), kLine);
    shape(cv, x0, y0, x1, y1, rbox(x0 + 1.5f, y0 + 1.5f, x1 - 1.5f, y1 - 1.5f, r - 1),
          vgrad(y0, y1, rgb(255, 255, 255), rgb(236, 238, 242)));
    // Inner shadow along the top.
    shape(cv, x0, y0, x1, y1, rbox(x0 + 2.0f, y1 - 3.0f, x1 - 2.0f, y1 - 1.5f, 0.5f),
          RGBA{0, 0, 0, 0.18f});
}

void triangle(Canvas& cv, float cx, float cy, float w, float h, int dir, RGBA c)
{
    // dir 0 up, 1 down, 2 right, 3 left; (w, h) across and along the point.
    std::vector<std::pair<float, float>> v;
    if (dir == 0) v = {{cx - w / 2, cy - h / 2}, {cx + w / 2, cy - h / 2}, {cx, cy + h / 2}};
    if (dir == 1) v = {{cx - w / 2, cy + h / 2}, {cx + w / 2, cy + h / 2}, {cx, cy - h / 2}};
    if (dir == 2) v = {{cx - h / 2, cy - w / 2}, {cx - h / 2, cy + w / 2}, {cx + h / 2, cy}};
    if (dir == 3) v = {{cx + h / 2, cy - w / 2}, {cx + h / 2, cy + w / 2}, {cx - h / 2, cy}};
    shape(cv, int(cx - 12), int(cy - 12), int(cx + 13), int(cy + 13), polygon(v), c);
}

// A square T x T nine-piece panel at (u0, v0); the body sits inside the
// margins (ml left and right, mb below, ma above).
struct PanelLook {
    RGBA lo, hi, frame;
    float radius;
    int stripes; // 0 none, else stripe period in pixels
    float stripe_alpha;
    int title_band; // height of a grey band under the top, 0 for none
    float shadow;   // alpha of the drop shadow in the margins
};

void panel(Canvas& cv, int u0, int v0, int t, float ml, float mb, float ma, const PanelLook& k)
{
    float bx0 = u0 + ml, by0 = v0 + mb, bx1 = u0 + t - ml, by1 = v0 + t - ma;
    if (k.shadow > 0) {
        // Soft shadow offset downwards, fading over the margins.
        Sdf s = rbox(bx0, by0 - 3, bx1, by1 - 2, k.radius + 2);
        for (int y = v0; y < v0 + t; ++y)
            for (int x = u0; x < u0 + t; ++x) {
                float d = s(x + 0.5f, y + 0.5f);
                float a = d < 0 ? 1.0f : std::exp(-d * d / 18.0f);
                cv.blend(x, y, {0, 0, 0, k.shadow}, a);
            }
    }
    Sdf body = rbox(bx0, by0, bx1, by1, k.radius);
    shape(cv, u0, v0, u0 + t, v0 + t, body, k.frame);
    Sdf inner = rbox(bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, std::max(0.5f, k.radius - 1));
    // One body colour: the middle rows are repeated to stretch a panel, so
    // a gradient across them would show as bands.
    PanelLook kk = k;
    shape(cv, u0, v0, u0 + t, v0 + t, inner, [=](float x, float y) {
        RGBA c = mix(kk.lo, kk.hi, 0.5f);
        if (kk.stripes > 0 && (int(std::floor(y)) - v0) % kk.stripes == 0)
            c = mix(c, RGBA{1, 1, 1, 1}, kk.stripe_alpha);
        (void)x;
        return c;
    });
    if (k.title_band > 0) {
        float tb0 = by1 - 1 - k.title_band;
        // Dark enough for the window title (colour 40) to keep 4.5:1.
        shape(
            cv, u0, v0, u0 + t, v0 + t,
            [=](float x, float y) { return std::max(inner(x, y), tb0 - y); },
            vgrad(tb0, by1, rgb(70, 78, 92), rgb(100, 108, 122)));
        shape(cv, u0, v0, u0 + t, v0 + t, rbox(bx0 + 1, tb0 - 1, bx1 - 1, tb0, 0.1f),
              rgb(70, 76, 88));
    }
}

// 12 x 12 list icons on the row y 82..94.
void kind_icons(Canvas& cv)
{
    const int y0 = 82;
    auto box = [&](int x0) { return std::pair<int, int>(x0, y0); };
    (void)box;
    // folder
    shape(cv, 34, y0, 46, y0 + 12, rbox(34.5f, 83.5f, 45.5f, 91.5f, 1), rgb(222, 178, 72));
    shape(cv, 34, y0, 46, y0 + 12, rbox(34.5f, 90.5f, 39.5f, 92.5f, 0.8f), rgb(200, 152, 52));
    // aircraft
    shape(cv, 48, y0, 60, y0 + 12, segment(54, 83, 54, 93, 2), rgb(70, 90, 120));
    shape(cv, 48, y0, 60, y0 + 12, segment(49, 89, 59, 89, 2), rgb(70, 90, 120));
    shape(cv, 48, y0, 60, y0 + 12, segment(51.5f, 84, 56.5f, 84, 1.5f), rgb(70, 90, 120));
    // wing section
    shape(cv, 62, y0, 74, y0 + 12,
          polygon({{62.5f, 88}, {65, 90.5f}, {70, 90}, {73.5f, 88}, {70, 86.5f}, {65, 86.5f}}),
          rgb(90, 110, 140));
    // missile
    shape(cv, 90, y0, 102, y0 + 12, segment(91.5f, 88, 99, 88, 2.5f), rgb(110, 110, 116));
    triangle(cv, 100.3f, 88, 3, 2.6f, 2, rgb(200, 60, 50));
    // disc
    shape(cv, 104, y0, 116, y0 + 12, circle(110, 88, 5.5f), rgb(170, 176, 190));
    shape(cv, 104, y0, 116, y0 + 12, circle(110, 88, 1.5f), rgb(60, 64, 72));
    // film reel
    shape(cv, 118, y0, 130, y0 + 12, circle(124, 88, 5.5f), rgb(60, 64, 72));
    for (int i = 0; i < 4; ++i) {
        float a = i * 1.5708f + 0.785f;
        shape(cv, 118, y0, 130, y0 + 12,
              circle(124 + 2.8f * std::cos(a), 88 + 2.8f * std::sin(a), 1.2f), rgb(230, 230, 230));
    }
    // screen
    shape(cv, 132, y0, 144, y0 + 12, rbox(132.5f, 85.5f, 143.5f, 93.5f, 1), rgb(60, 64, 72));
    shape(cv, 132, y0, 144, y0 + 12, rbox(133.5f, 86.5f, 142.5f, 92.5f, 0.5f), rgb(120, 170, 220));
    shape(cv, 132, y0, 144, y0 + 12, segment(136, 83.5f, 140, 83.5f, 1.5f), rgb(60, 64, 72));
    // tall block
    shape(cv, 146, y0, 158, y0 + 12, rbox(149.5f, 82.5f, 154.5f, 93.5f, 0.5f), rgb(140, 146, 160));
    shape(cv, 146, y0, 158, y0 + 12, outline(rbox(149.5f, 82.5f, 154.5f, 93.5f, 0.5f), 1),
          rgb(80, 86, 98));
}

void draw_atlas(Canvas& cv)
{
    draw_glyphs(cv);
    kind_icons(cv);

    // Horizontal bars (BTN_frame1 types).
    bar(cv, 1, 487, 101, 512, 3, rgb(176, 182, 192), rgb(226, 230, 236),
        rgb(112, 118, 128));                                             // 0 menu plate
    bar(cv, 102, 487, 202, 512, 6, kGreenLo, kGreenHi, rgb(30, 90, 56)); // 1 header
    bar(cv, 304, 486, 356, 512, 6, rgb(200, 205, 212), rgb(246, 247, 249),
        rgb(120, 126, 136));                                             // 2 button
    bar(cv, 304, 459, 356, 485, 6, kGreenLo, kGreenHi, rgb(30, 90, 56)); // 3 pressed
    // 4 progress track and 5 progress fill.
    shape(cv, 112, 161, 140, 177, rbox(112.5f, 161.5f, 139.5f, 176.5f, 5), rgb(40, 46, 56));
    shape(cv, 112, 161, 140, 177, rbox(113.5f, 162.5f, 138.5f, 175.5f, 4),
          vgrad(161, 177, rgb(84, 92, 104), rgb(58, 64, 76)));
    shape(cv, 83, 161, 111, 177, rbox(83.5f, 161.5f, 110.5f, 176.5f, 5), rgb(16, 60, 92));
    shape(cv, 83, 161, 111, 177, rbox(84.5f, 162.5f, 109.5f, 175.5f, 4),
          vgrad(161, 177, rgb(30, 100, 150), rgb(90, 170, 220)));
    // 7 slider rail and 8 slider knob.
    shape(cv, 240, 242, 305, 266, rbox(241.5f, 251.5f, 303.5f, 256.5f, 2.5f), rgb(110, 116, 126));
    shape(cv, 240, 242, 305, 266, rbox(242.5f, 252.5f, 302.5f, 255.5f, 1.5f), rgb(196, 200, 208));
    shape(cv, 289, 219, 305, 235, circle(297, 227, 7), rgb(100, 106, 116));
    shape(cv, 289, 219, 305, 235, circle(297, 227, 6),
          vgrad(220, 234, rgb(190, 196, 204), rgb(250, 250, 252)));
    // 9 text field.
    sunken(cv, 262, 133, 313, 159, 3);
    // 10 pop-up choice with up/down arrows at the right.
    bar(cv, 357, 488, 425, 512, 6, rgb(200, 205, 212), rgb(246, 247, 249), rgb(120, 126, 136));
    shape(cv, 357, 488, 425, 512, segment(402.5f, 491, 402.5f, 509, 1), rgb(140, 146, 156));
    triangle(cv, 413.5f, 503.5f, 7, 4, 0, kInk);
    triangle(cv, 413.5f, 496.5f, 7, 4, 1, kInk);

    // Vertical bar (BTN_frame0 type 6): white sunken trough, even along its
    // repeated middle rows 258..278, shaded along the left.
    shape(cv, 102, 248, 122, 288, rbox(102.5f, 248.5f, 121.5f, 287.5f, 6), kLine);
    shape(cv, 102, 248, 122, 288, rbox(103.5f, 249.5f, 120.5f, 286.5f, 5), rgb(250, 251, 253));
    shape(cv, 102, 248, 122, 288, rbox(104.0f, 252.0f, 105.5f, 284.0f, 0.5f), RGBA{0, 0, 0, 0.12f});

    // Panels (BTN_frame2 types 11..19).
    PanelLook light{
        rgb(214, 218, 224), rgb(232, 235, 240), rgb(120, 126, 138), 4, 2, 0.25f, 0, 0.35f};
    PanelLook win = light;
    win.title_band = 19;
    panel(cv, 1, 358, 100, 9, 14, 4, win);     // 11
    panel(cv, 102, 358, 100, 9, 14, 4, light); // 12
    PanelLook flat{rgb(196, 200, 206), rgb(204, 208, 214), rgb(120, 126, 138), 4, 0, 0, 0, 0.3f};
    panel(cv, 203, 358, 100, 9, 14, 4, flat); // 13
    PanelLook dark{rgb(140, 146, 156), rgb(158, 164, 174), rgb(88, 94, 106), 4, 0, 0, 0, 0.3f};
    panel(cv, 304, 358, 100, 9, 14, 4, dark); // 14
    PanelLook darker{rgb(34, 40, 50), rgb(48, 56, 68), rgb(20, 24, 30), 4, 0, 0, 0, 0.35f};
    panel(cv, 405, 358, 100, 9, 14, 4, darker); // 15
    PanelLook list{rgb(255, 255, 255), rgb(250, 251, 253), rgb(120, 126, 136), 1, 0, 0, 0, 0};
    panel(cv, 1, 289, 68, 2, 2, 2, list); // 16
    PanelLook rounded{rgb(40, 46, 58), rgb(56, 64, 78), rgb(24, 28, 36), 6, 0, 0, 0, 0.3f};
    panel(cv, 70, 315, 42, 8, 13, 2, rounded); // 17
    PanelLook small = light;
    small.shadow = 0.3f;
    // Its body and rounded corners lie inside the 12.6-row bottom piece, below
    // the margin of 13, so the repeated middle rows are plain.
    panel(cv, 113, 315, 42, 8, 6, 2, small); // 18
    PanelLook black{rgb(0, 0, 0), rgb(8, 8, 10), rgb(128, 132, 140), 2, 0, 0, 0, 0.3f};
    panel(cv, 440, 12, 44, 6, 9, 4, black); // 19

    // Radio buttons: empty and chosen.
    for (int on = 0; on < 2; ++on) {
        float cy = on ? 151 : 132;
        shape(cv, 83, int(cy - 9), 101, int(cy + 9), circle(92, cy, 7), kLine);
        shape(cv, 83, int(cy - 9), 101, int(cy + 9), circle(92, cy, 6),
              vgrad(cy - 6, cy + 6, rgb(236, 238, 242), rgb(255, 255, 255)));
        if (on)
            shape(cv, 83, int(cy - 9), 101, int(cy + 9), circle(92, cy, 3.5f),
                  vgrad(cy - 4, cy + 4, kGreenLo, kGreenHi));
    }
    // Check boxes: empty and ticked.
    for (int on = 0; on < 2; ++on) {
        int y0 = on ? 197 : 178;
        sunken(cv, 141, y0 + 2, 156, y0 + 17, 2);
        if (on)
            shape(cv, 139, y0, 157, y0 + 18,
                  polygon({{143.5f, y0 + 9.5f},
                           {146, y0 + 11.5f},
                           {148, y0 + 8.0f},
                           {154, y0 + 15.5f},
                           {155.5f, y0 + 14},
                           {148, y0 + 4.5f}}),
                  rgb(40, 150, 80));
    }
    // Close boxes: dark cross and pale (pressed) cross.
    for (int look = 0; look < 2; ++look) {
        int y0 = look ? 197 : 178;
        RGBA cross = look ? rgb(236, 238, 242) : rgb(30, 34, 42);
        RGBA back = look ? rgb(96, 104, 118) : rgb(196, 200, 208);
        shape(cv, 120, y0, 138, y0 + 18, rbox(121.5f, y0 + 1.5f, 136.5f, y0 + 16.5f, 3), back);
        shape(cv, 120, y0, 138, y0 + 18, segment(125, y0 + 5, 133, y0 + 13, 2), cross);
        shape(cv, 120, y0, 138, y0 + 18, segment(125, y0 + 13, 133, y0 + 5, 2), cross);
    }
    // Number-field arrows (14 x 18): down at 178..196, up at 197..215.
    triangle(cv, 90, 187, 9, 6, 1, rgb(90, 96, 108));
    triangle(cv, 90, 206, 9, 6, 0, rgb(90, 96, 108));
    // Menu cascade arrow around (167, 187).
    triangle(cv, 167, 187, 8, 5, 2, kInk);
    // Scroll bar: down arrow 216..238, thumb 240..264, up arrow 266..288.
    bar(cv, 83, 216, 101, 238, 4, rgb(200, 205, 212), rgb(246, 247, 249), rgb(120, 126, 136));
    triangle(cv, 92, 226.5f, 8, 5, 1, kInk);
    bar(cv, 83, 240, 101, 264, 5, rgb(170, 176, 186), rgb(220, 224, 230), rgb(100, 106, 116));
    for (int i = 0; i < 3; ++i)
        shape(cv, 83, 240, 101, 264, segment(88, 248.5f + 3 * i, 96, 248.5f + 3 * i, 1),
              rgb(120, 126, 136));
    bar(cv, 83, 266, 101, 288, 4, rgb(200, 205, 212), rgb(246, 247, 249), rgb(120, 126, 136));
    triangle(cv, 92, 277.5f, 8, 5, 0, kInk);

    // Tabs: unselected 459..485, selected 486..512, x 204..302.
    bar(cv, 204, 459, 302, 485, 5, rgb(160, 166, 176), rgb(196, 200, 208), rgb(110, 116, 126));
    bar(cv, 204, 486, 302, 512, 5, rgb(222, 226, 232), rgb(250, 251, 252), rgb(110, 116, 126));
    // Slider knob of the character fields, 262..282 x 267..289.
    bar(cv, 263, 267, 281, 289, 4, rgb(170, 176, 186), rgb(236, 238, 242), rgb(100, 106, 116));

    // Folder icon 208..234 x 133..159.
    shape(cv, 208, 133, 234, 159, rbox(209.5f, 136.5f, 232.5f, 154.5f, 2), rgb(200, 150, 50));
    shape(cv, 208, 133, 234, 159, rbox(209.5f, 150.5f, 219.5f, 156.5f, 2), rgb(200, 150, 50));
    shape(cv, 208, 133, 234, 159, rbox(210.5f, 137.5f, 231.5f, 151.5f, 1.5f),
          vgrad(137, 152, rgb(226, 180, 76), rgb(248, 212, 120)));
    // Dial face 178..234 x 160..218 and needles 156..166 (272..314, 315..357).
    // The face is drawn over the needle, so only its bezel is opaque: the
    // middle is tinted glass the needle shows through.
    shape(cv, 178, 160, 234, 218, ring(206, 189, 26, 2), rgb(60, 66, 78));
    shape(cv, 178, 160, 234, 218, ring(206, 189, 23, 4),
          vgrad(164, 214, rgb(210, 214, 222), rgb(246, 247, 250)));
    shape(cv, 178, 160, 234, 218, circle(206, 189, 21), rgb(220, 226, 236, 0.25f));
    for (int i = 0; i < 12; ++i) {
        float a = i * 0.5236f;
        shape(cv, 178, 160, 234, 218,
              segment(206 + 21.5f * std::cos(a), 189 + 21.5f * std::sin(a),
                      206 + 24.5f * std::cos(a), 189 + 24.5f * std::sin(a), 1.2f),
              rgb(60, 66, 78));
    }
    for (int look = 0; look < 2; ++look) {
        float y0 = look ? 272 : 315;
        RGBA c = look ? rgb(200, 60, 50) : rgb(40, 44, 52);
        // Drawn centred on the dial: a broad point toward the heading (larger
        // y is up on screen) and a thin tail with a counterweight.
        float cy = y0 + 21;
        shape(cv, 156, int(y0), 166, int(y0 + 42), polygon({{161, y0 + 41}, {164, cy}, {158, cy}}),
              c);
        shape(cv, 156, int(y0), 166, int(y0 + 42), segment(161, cy, 161, y0 + 5, 1.6f), c);
        shape(cv, 156, int(y0), 166, int(y0 + 42), circle(161, y0 + 5, 2.5f), c);
    }

    // Pointer sprites: 30 x 30 cells at (200 + 32c, 293 + 32r), c from -1 to 5.
    for (int c = -1; c <= 5; ++c)
        for (int r = 0; r <= 1; ++r) {
            float cx = 215 + 32 * c, cy = 308 + 32 * r;
            RGBA fill = rgb(250, 250, 250), edge = rgb(20, 20, 24);
            if (c == 4 || c == 5) { // open and closed hand
                shape(cv, int(cx - 15), int(cy - 15), int(cx + 15), int(cy + 15),
                      circle(cx, cy - 2, 8), edge);
                shape(cv, int(cx - 15), int(cy - 15), int(cx + 15), int(cy + 15),
                      circle(cx, cy - 2, 6.8f), fill);
                if (c == 4)
                    for (int f = 0; f < 4; ++f)
                        shape(cv, int(cx - 15), int(cy - 15), int(cx + 15), int(cy + 15),
                              segment(cx - 4.5f + 3 * f, cy + 4, cx - 4.5f + 3 * f, cy + 10, 2.6f),
                              edge);
                continue;
            }
            // Double arrows: c -1 up/down hint, 0/1 vertical, 2/3 horizontal.
            int dir_a = (c == 2 || c == 3) ? 2 : 0, dir_b = (c == 2 || c == 3) ? 3 : 1;
            bool single = c == -1;
            int dir = r == 1 ? dir_a : dir_b;
            float dx = (dir_a == 2) ? 7 : 0, dy = (dir_a == 0) ? 7 : 0;
            auto arrow = [&](int d, float ox, float oy) {
                triangle(cv, cx + ox, cy + oy, 13, 9, d, edge);
                triangle(cv, cx + ox, cy + oy, 9, 6, d, fill);
            };
            if (single) {
                arrow(dir, 0, 0);
            } else {
                arrow(dir_a, dx, dy);
                arrow(dir_b, -dx, -dy);
                if (c % 2 == 1)
                    shape(cv, int(cx - 15), int(cy - 15), int(cx + 15), int(cy + 15),
                          circle(cx, cy, 2), edge);
            }
        }

    draw_swatches(cv);
}

// ---------------------------------------------------------------------------
// [SECTION] Installer artwork (texture 390)
// ---------------------------------------------------------------------------
// One button in its three looks, stacked 1 pixel apart going down: normal at
// (ax, ay), pointed-at at ay - (h + 1), pressed at ay - 2 (h + 1).
void installer_button(Canvas& cv, int ax, int ay, int w, int h, const std::string& label)
{
    for (int look = 0; look < 3; ++look) {
        int y0 = ay - look * (h + 1);
        RGBA lo = look == 0   ? rgb(206, 212, 220)
                  : look == 1 ? rgb(226, 232, 238)
                              : rgb(168, 176, 188);
        RGBA hi = look == 0   ? rgb(250, 251, 252)
                  : look == 1 ? rgb(255, 255, 255)
                              : rgb(204, 210, 218);
        if (look == 2) std::swap(lo, hi);
        bar(cv, ax, y0, ax + w, y0 + h, 5, lo, hi, rgb(84, 92, 106));
        int base = y0 + 7 - (look == 2 ? 1 : 0);
        draw_text_centred(cv, g_bold, 11, ax + w / 2.0f + (look == 2 ? 0.0f : 0.0f), base, label,
                          rgb(32, 38, 48));
    }
}

// A globe turned by `turn` (0..1) into a 64 x 64 cell at (x0, y0).
void globe(Canvas& cv, const Noise& land, int x0, int y0, float turn)
{
    const float cx = x0 + 32, cy = y0 + 32, R = 27;
    // Glow behind the sphere.
    for (int y = y0; y < y0 + 64; ++y)
        for (int x = x0; x < x0 + 64; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) - R;
            if (d > 0 && d < 5) cv.blend(x, y, rgb(150, 210, 255), 0.35f * (1 - d / 5));
        }
    const float tilt = 0.35f;
    for (int y = y0; y < y0 + 64; ++y)
        for (int x = x0; x < x0 + 64; ++x) {
            float px = (x + 0.5f - cx) / R, py = (y + 0.5f - cy) / R;
            float rr = px * px + py * py;
            float k = clamp01((1.0f - std::sqrt(rr)) * R + 0.5f);
            if (k <= 0) continue;
            float pz = std::sqrt(std::max(0.0f, 1 - rr));
            // Undo the axial tilt, then read latitude and longitude.
            float qy = py * std::cos(tilt) + pz * std::sin(tilt);
            float qz = -py * std::sin(tilt) + pz * std::cos(tilt);
            float lat = std::asin(std::max(-1.0f, std::min(1.0f, qy)));
            float lon = std::atan2(px, qz) / 6.2831853f + turn;
            lon -= std::floor(lon);
            // Periodic land noise: 16 lattice cells around the globe.
            float n = land.fbm(lon * 16, (lat + 1.6f) * 5, 4);
            bool is_land = n > 0.52f;
            float ice = std::fabs(lat) > 1.25f ? 1.0f : 0.0f;
            RGBA c = is_land ? mix(rgb(70, 140, 70), rgb(160, 150, 90), clamp01((n - 0.52f) * 6))
                             : mix(rgb(24, 76, 150), rgb(40, 110, 190), clamp01(n * 1.5f));
            if (ice > 0) c = rgb(236, 242, 248);
            // Light from the upper left, a little rim darkening.
            float light = clamp01(0.35f + 0.75f * (-0.45f * px + 0.55f * py + 0.7f * pz));
            c = {c.r * light, c.g * light, c.b * light, 1};
            float spec = std::pow(clamp01(-0.45f * px + 0.55f * py + 0.7f * pz), 24.0f) * 0.5f;
            c = mix(c, RGBA{1, 1, 1, 1}, spec);
            cv.blend(x, y, c, k);
        }
    shape(cv, x0, y0, x0 + 64, y0 + 64, ring(cx, cy, R, 1.0f), RGBA{0.05f, 0.1f, 0.2f, 0.6f});
}

void draw_installer(Canvas& cv)
{
    installer_button(cv, 513, 166, 126, 22, "DESTINATION");
    installer_button(cv, 640, 166, 83, 22, "INSTALL");
    installer_button(cv, 780, 166, 51, 22, "QUIT");
    installer_button(cv, 822, 235, 116, 22, "ONLINE STORE");
    installer_button(cv, 832, 166, 85, 22, "DISAGREE");
    installer_button(cv, 918, 166, 59, 22, "AGREE");

    // The picture behind the globe: a night-blue badge, 128 x 86 at (644, 33).
    const int px0 = 644, py0 = 33, pw = 128, ph = 86;
    Sdf badge = rbox(px0 + 1, py0 + 1, px0 + pw - 1, py0 + ph - 1, 10);
    shape(cv, px0, py0, px0 + pw, py0 + ph, badge, rgb(20, 34, 58));
    shape(cv, px0, py0, px0 + pw, py0 + ph, rbox(px0 + 2, py0 + 2, px0 + pw - 2, py0 + ph - 2, 9),
          [&](float x, float y) {
              float d = std::hypot(x - (px0 + 61.5f), y - (py0 + 45.5f));
              return mix(rgb(70, 120, 180), rgb(16, 28, 52), clamp01(d / 70));
          });
    Lcg stars(7);
    for (int i = 0; i < 40; ++i) {
        float sx = px0 + 6 + stars.next() * (pw - 12), sy = py0 + 6 + stars.next() * (ph - 12);
        float b = 0.4f + 0.6f * stars.next();
        if (std::hypot(sx - (px0 + 61.5f), sy - (py0 + 45.5f)) < 40) continue;
        shape(cv, int(sx) - 2, int(sy) - 2, int(sx) + 3, int(sy) + 3, circle(sx, sy, 0.7f),
              RGBA{1, 1, 1, b});
    }
    shape(cv, px0, py0, px0 + pw, py0 + ph, ring(px0 + 61.5f, py0 + 45.5f, 35, 1.2f),
          RGBA{0.6f, 0.8f, 1, 0.5f});
    shape(cv, px0, py0, px0 + pw, py0 + ph, outline(badge, 1.5f), rgb(150, 176, 210));

    // Icons 8 to 23: the globe turning in 16 steps.
    Noise land(20240611u, 16);
    for (int n = 8; n <= 23; ++n)
        globe(cv, land, (n % 8) * 64, (n / 8) * 64 + 66, (n - 8) / 16.0f);

    // Installer panel (BTN_frame2 type 20): 41 x 41 at (774, 78), margins 1.
    shape(cv, 774, 78, 815, 119, rbox(775, 79, 814, 118, 5), RGBA{0.22f, 0.28f, 0.38f, 0.9f});
    shape(cv, 774, 78, 815, 119, rbox(776, 80, 813, 117, 4), RGBA{1, 1, 1, 0.72f});
}

// ---------------------------------------------------------------------------
// [SECTION] Backgrounds (textures 391, 392)
// ---------------------------------------------------------------------------
// A calm light sky: a vertical gradient, a soft glow and slow cloud bands.
void draw_background(Canvas& cv, RGBA low, RGBA high, RGBA glow, float gx, float gy, uint32_t seed)
{
    Noise clouds(seed, 32);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            float t = y / 767.0f;
            RGBA c = mix(low, high, t * t * (3 - 2 * t));
            float d = std::hypot((x - gx) / 700.0f, (y - gy) / 500.0f);
            c = mix(c, glow, 0.5f * std::exp(-d * d * 2.5f));
            float n = clouds.fbm(x / 180.0f, y / 60.0f, 4);
            c = mix(c, RGBA{1, 1, 1, 1}, 0.18f * clamp01((n - 0.45f) * 3));
            // Ordered dither hides gradient steps.
            static const int bayer[4][4] = {
                {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
            float dz = (bayer[y & 3][x & 3] - 7.5f) / (16.0f * 255.0f);
            cv.set(x, y, {c.r + dz, c.g + dz, c.b + dz, 1});
        }
}

// ---------------------------------------------------------------------------
// [SECTION] Menu font (texture 393)
// ---------------------------------------------------------------------------
// The Hangul letters of GenH/hl_menu_font.h, white with coverage as alpha.
// The font draws a lone consonant small and low and a vowel tall, so each
// letter gets the largest pixel size at which it fits 12 x 10 pixels, and sits
// centred in the cell's ink rows.
bool draw_menu_font(Canvas& cv, FT_Face face)
{
    cv.fill(0, 0, cv.w, cv.h, {1, 1, 1, 0}); // nothing dark bleeds in at edges
    const int ink_h = kMenuFontCell - kMenuFontInkLow, ink_w = kMenuFontCell - 1;
    for (int b = 0; b < 128; ++b) {
        const unsigned code = menu_font_letter(b);
        if (!code) continue;
        if (!FT_Get_Char_Index(face, code)) {
            std::fprintf(stderr, "texgen: the Hangul font lacks U+%04X\n", code);
            return false;
        }
        for (int size = 24; size >= 6; --size) {
            FT_Set_Pixel_Sizes(face, 0, size);
            if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) return false;
            const FT_Bitmap& bm = face->glyph->bitmap;
            if (int(bm.rows) <= ink_h && int(bm.width) <= ink_w) break;
        }
        const FT_Bitmap& bm = face->glyph->bitmap;
        const int x0 = (b % kMenuFontCols) * kMenuFontCell + (kMenuFontCell - int(bm.width)) / 2;
        const int top =
            (b / kMenuFontCols) * kMenuFontCell + kMenuFontInkLow + (ink_h + int(bm.rows)) / 2 - 1;
        for (unsigned r = 0; r < bm.rows; ++r)
            for (unsigned col = 0; col < bm.width; ++col) {
                const float k = bm.buffer[r * bm.pitch + col] / 255.0f;
                if (k > 0) cv.blend(x0 + int(col), top - int(r), {1, 1, 1, 1}, k);
            }
    }
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Output
// ---------------------------------------------------------------------------
bool write_file(const std::string& path, const void* data, size_t n)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, n, f) == n;
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

// The C++ file that puts the raw bytes into the program under `symbol`.
bool write_embed(const std::string& cpp, const std::string& raw, const std::string& symbol,
                 size_t n)
{
    std::string s;
    s += "// Generated by tools/texgen from fixed inputs; do not edit.\n";
    s += "// The pixels of " + symbol + ", " + std::to_string(n) + " bytes.\n";
    s += "__asm__(\n";
    s += "    \".section .rodata\\n\"\n";
    s += "    \".global " + symbol + "\\n\"\n";
    s += "    \".type " + symbol + ", @object\\n\"\n";
    s += "    \".balign 16\\n\"\n";
    s += "    \"" + symbol + ":\\n\"\n";
    s += "    \".incbin \\\"" + raw + "\\\"\\n\"\n";
    s += "    \".size " + symbol + ", " + std::to_string(n) + "\\n\"\n";
    s += "    \".previous\\n\");\n";
    return write_file(cpp, s.data(), s.size());
}

// PNG preview, top row first, for looking at the art by eye.
bool write_png(const std::string& path, const Canvas& cv, int w, int h)
{
    std::vector<uint8_t> raw;
    for (int y = h - 1; y >= 0; --y) {
        raw.push_back(0);
        raw.insert(raw.end(), cv.px.begin() + size_t(y) * cv.w * 4,
                   cv.px.begin() + size_t(y) * cv.w * 4 + size_t(w) * 4);
    }
    uLongf zn = compressBound(raw.size());
    std::vector<uint8_t> z(zn);
    if (compress(z.data(), &zn, raw.data(), raw.size()) != Z_OK) return false;
    z.resize(zn);
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    auto be32 = [&](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 3; i >= 0; --i)
            v.push_back(uint8_t(x >> (8 * i)));
    };
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        be32(out, uint32_t(data.size()));
        std::vector<uint8_t> td(type, type + 4);
        td.insert(td.end(), data.begin(), data.end());
        out.insert(out.end(), td.begin(), td.end());
        be32(out, uint32_t(crc32(0, td.data(), uInt(td.size()))));
    };
    std::vector<uint8_t> ihdr;
    be32(ihdr, uint32_t(w));
    be32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", z);
    chunk("IEND", {});
    return write_file(path, out.data(), out.size());
}

// Preview over mid grey, enlarged by `scale`, so that white art shows.
bool write_preview(const std::string& path, const Canvas& cv, int scale)
{
    Canvas v(cv.w * scale, cv.h * scale);
    for (int y = 0; y < v.h; ++y)
        for (int x = 0; x < v.w; ++x) {
            const uint8_t* p = &cv.px[(size_t(y / scale) * cv.w + x / scale) * 4];
            float a = p[3] / 255.0f, g = ((x / 8 + y / 8) % 2) ? 0.42f : 0.38f;
            v.set(x, y,
                  {p[0] / 255.0f * a + g * (1 - a), p[1] / 255.0f * a + g * (1 - a),
                   p[2] / 255.0f * a + g * (1 - a), 1});
        }
    return write_png(path, v, v.w, v.h);
}

struct Image {
    const char* symbol;
    const char* file;
    int tex_w, tex_h; // canvas (texture) size
    int img_w, img_h; // the image size given to the loader
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: texgen OUT_DIR REGULAR.ttf BOLD.ttf HANGUL.ttf [--png]\n");
        return 2;
    }
    std::string out = argv[1];
    bool png = argc > 5 && std::strcmp(argv[5], "--png") == 0;
    if (FT_Init_FreeType(&g_ft) || FT_New_Face(g_ft, argv[2], 0, &g_regular) ||
        FT_New_Face(g_ft, argv[3], 0, &g_bold) || FT_New_Face(g_ft, argv[4], 0, &g_hangul)) {
        std::fprintf(stderr, "texgen: cannot load the fonts\n");
        return 1;
    }

    const Image images[5] = {
        {"t_interface_dat", "texes0", 512, 512, 512, 512},
        {"t_installer_dat", "texes1", 1024, 1024, 1010, 764},
        {"t_ins_back_1_dat", "texes2", 1024, 768, 1024, 768},
        {"t_ins_back_2_dat", "texes3", 1024, 768, 1024, 768},
        // Only the rows that hold cells; the loader gets 512 x 512.
        {"t_menu_font_dat", "texes4", kMenuFontTexSide, kMenuFontStoredRows, kMenuFontTexSide,
         kMenuFontStoredRows},
    };
    for (const Image& im : images) {
        Canvas cv(im.tex_w, im.tex_h);
        if (std::strcmp(im.file, "texes0") == 0) draw_atlas(cv);
        if (std::strcmp(im.file, "texes1") == 0) draw_installer(cv);
        if (std::strcmp(im.file, "texes2") == 0)
            draw_background(cv, rgb(214, 224, 234), rgb(150, 180, 210), rgb(255, 250, 236), 760,
                            620, 11u);
        if (std::strcmp(im.file, "texes3") == 0)
            draw_background(cv, rgb(226, 222, 214), rgb(170, 184, 200), rgb(255, 240, 220), 260,
                            600, 23u);
        if (std::strcmp(im.file, "texes4") == 0 && !draw_menu_font(cv, g_hangul)) return 1;
        // Stored bytes: the image's rows in the texture's row length.
        size_t n = size_t(im.img_w) * im.img_h * 4;
        std::string raw = out + "/" + im.file + ".raw";
        if (!write_file(raw, cv.px.data(), n) ||
            !write_embed(out + "/" + im.file + ".cpp", raw, im.symbol, n)) {
            std::fprintf(stderr, "texgen: cannot write %s\n", raw.c_str());
            return 1;
        }
        if (png && !write_preview(out + "/" + im.file + ".png", cv, im.tex_w == 512 ? 2 : 1))
            return 1;
    }
    FT_Done_Face(g_regular);
    FT_Done_Face(g_bold);
    FT_Done_Face(g_hangul);
    FT_Done_FreeType(g_ft);
    return 0;
}
