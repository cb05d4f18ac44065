// The full-window background picture cut into sixteen tiles, the screenshot,
// and text drawn on a backing. Index:
//   [SECTION] Background picture
//   [SECTION] Screenshot
//   [SECTION] Text on a backing
#include <GL/gl.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "TEX/TEX_utils.h"
#include "TEX/TEX_write.h"

const char* const kBackPicturePath = "Resources/bitmaps/intro.png";
int back_dx = 0, back_dy = 0;

namespace
{
OGL_back_alloc_fn back_alloc_hook = nullptr; // null: malloc

constexpr int kBackFirstSlot = kTexBackTileFirst;
// RGBA, both texture coordinates clamped; 0x400 has no effect.
constexpr int kBackTileFlags = kTexNoEffect | kTexClampST | 2;
// The name starts with "scratch_array": the loader takes the tile from there.
const char kBackTileName[] = "scratch_array-t_tex_back (tile)";
constexpr int kBackTileBytes = kBackTileSide * kBackTileSide * 4;
// At start-up a picture taller than the window is moved down by at most this.
constexpr float kBackMaxDrop = 512.0f;
constexpr float kGlobalAlphaOpaque = 0.99f;

constexpr int kShotMaxSide = 2048;

// The source line the missing picture's alert has always named.
constexpr int kLineNoBackPicture = 77;

constexpr float kBoxedPad = 7.0f;   // bar width beyond the text
constexpr float kBoxedFixedW = 100; // bar width for the 15-pixel font
constexpr float kBoxedGap = 8.0f;   // between the bar and each label text
constexpr float kBoxedInset = 4.0f; // text start inside the bar

// [SECTION] Background picture

// Copies the part of the picture that tile (i, j) holds to `tile`, 512
// pixels a row, and clears the rest of the tile. The picture's rows lie
// `stride` bytes apart, as the reader decoded them.
void cut_tile(const unsigned char* picture, long long stride, int picture_w, int picture_h, int i,
              int j, unsigned char* tile)
{
    std::memset(tile, 0, kBackTileBytes);
    const int rows = std::min(picture_h - kBackTileSide * j, kBackTileSide);
    const int cols = std::min(picture_w - kBackTileSide * i, kBackTileSide);
    if (rows <= 0 || cols <= 0) return;
    for (int k = 0; k < rows; ++k)
        std::memcpy(tile + size_t(k) * kBackTileSide * 4,
                    picture + (kBackTileSide * j + k) * stride + kBackTileSide * i * 4,
                    size_t(cols) * 4);
}
} // namespace

OGL_back_alloc_fn OGL_set_back_alloc_hook(OGL_back_alloc_fn fn)
{
    OGL_back_alloc_fn previous = back_alloc_hook;
    back_alloc_hook = fn;
    return previous;
}

void OGL_make_back_tex()
{
    if (mnw.win_now != kWinNone) return;
    std::memset(scratch_array, 0, kScratchBytes);
    unsigned char* pixels = scratch_array;
    TEX_image_desc desc;
    if (!TEX_load_any(kBackPicturePath, pixels, GL_RGBA, kBackMaxSide, 0, desc) ||
        pixels != scratch_array || desc.format != GL_RGBA)
        tman_missing_texture_alert(kBackPicturePath, __FILE__, kLineNoBackPicture);
    back_dx = desc.width;
    back_dy = desc.height;
    // The reader's rows are 2048 pixels long whatever the picture's width.
    const long long stride = 4LL * desc.width + desc.pad;

    // The tiles are built in scratch_array, where the picture lies: cut from
    // a copy. Without one no tile is made, and a picture without tiles is
    // not drawn at all (binding a tile never loaded would alert every frame).
    void* block = back_alloc_hook ? back_alloc_hook(kScratchBytes) : std::malloc(kScratchBytes);
    unsigned char* copy = static_cast<unsigned char*>(block);
    if (!copy) {
        back_dx = back_dy = 0;
        return;
    }
    std::memcpy(copy, scratch_array, kScratchBytes);
    OGL_setstate(kFogOff, 1, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    for (int j = 0; j < kBackTileGrid; ++j)
        for (int i = 0; i < kBackTileGrid; ++i) {
            cut_tile(copy, stride, back_dx, back_dy, i, j, scratch_array);
            scratch_dx = scratch_dy = kBackTileSide;
            tman.load_texture(tex_fail_fatal, kBackFirstSlot + kBackTileGrid * j + i,
                              kBackTileFlags, tex_load_startup, kBackTileName);
        }
    std::free(copy);
}

back_box OGL_back_box(bool window_current, int drawable_w, int drawable_h, float area_x,
                      int picture_w, int picture_h)
{
    back_box b;
    const float W = float(drawable_w), H = float(drawable_h);
    const float pw = float(picture_w), ph = float(picture_h);
    if (window_current) {
        b.left = area_x;
        b.right = area_x + pw;
        b.bottom = 0;
        b.top = ph;
        return b;
    }
    // Start-up: the picture's right edge on the window's when it is wider,
    // its top at most 512 pixels above the window's.
    b.left = W < pw ? W - pw : 0;
    b.right = W < pw ? W : pw;
    b.top = H + std::clamp(ph - H, 0.0f, kBackMaxDrop);
    b.bottom = b.top - ph;
    b.fill = pw < W || ph < H;
    return b;
}

bool OGL_back_tile_quad(const back_box& box, int i, int j, int drawable_w, int drawable_h,
                        back_tile_quad* out)
{
    // Each tile holds 512 x 512 pixels of the picture and is drawn at that
    // size from the picture's lower-left corner; the tiles at the picture's
    // right and top edges are cut there.
    const float side = float(kBackTileSide);
    const float x0 = box.left + side * i, y0 = box.bottom + side * j;
    const float x1 = std::min(x0 + side, box.right), y1 = std::min(y0 + side, box.top);
    if (!(x1 > x0 && y1 > y0)) return false;
    if (!(x1 > 0 && x0 < drawable_w && y1 > 0 && y0 < drawable_h)) return false;
    *out = back_tile_quad{x0, y0, x1, y1, (x1 - x0) / side, (y1 - y0) / side};
    return true;
}

void OGL_plot_back_tex()
{
    const int W = mnw.res_x, H = mnw.res_y;
    const back_box box = OGL_back_box(mnw.win_now != kWinNone, W, H, mnw.area_x, back_dx, back_dy);
    if (box.fill) OGL_fillrect(kColBackground, 1.0f, -mnw.win_x, -mnw.win_y, float(W), float(H));
    if (back_dx <= 0 || back_dy <= 0) return;

    OGL_setstate(kFogOff, 1, kLightOff,
                 ren.global_alpha > kGlobalAlphaOpaque ? kAlphaTest : kBlendOn, kDepthOff,
                 kDepthNoWrite);
    OGL_set_colour(0, 1.0f); // white tinted by the light, global_alpha alone as alpha
    for (int j = 0; j < kBackTileGrid; ++j)
        for (int i = 0; i < kBackTileGrid; ++i) {
            back_tile_quad q;
            if (!OGL_back_tile_quad(box, i, j, W, H, &q)) continue;
            tman.bind_ref(kBackFirstSlot + kBackTileGrid * j + i, 0, 0);
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0);
            glVertex2f(q.x0, q.y0);
            glTexCoord2f(0, q.t1);
            glVertex2f(q.x0, q.y1);
            glTexCoord2f(q.s1, q.t1);
            glVertex2f(q.x1, q.y1);
            glTexCoord2f(q.s1, 0);
            glVertex2f(q.x1, q.y0);
            glEnd();
        }
}

// [SECTION] Screenshot

void OGL_screenshot_box(int drawable_w, int drawable_h, int* x, int* y, int* w, int* h)
{
    drawable_w = std::max(drawable_w, 0);
    drawable_h = std::max(drawable_h, 0);
    *w = std::min(drawable_w, kShotMaxSide);
    *h = std::min(drawable_h, kShotMaxSide);
    *x = (drawable_w - *w) / 2;
    *y = (drawable_h - *h) / 2;
}

bool OGL_screenshot_name_taken(const std::string& name)
{
    // file_exists repairs the letter case; lstat also sees folders and links
    // whose target is missing, which the writer would otherwise write through.
    struct stat st;
    return file_exists(name) || lstat((app_path + name).c_str(), &st) == 0;
}

void OGL_screenshot(int save)
{
    static int shot = -1; // the last number used
    int x, y, w, h;
    OGL_screenshot_box(mnw.res_x, mnw.res_y, &x, &y, &w, &h);
    // Rows packed tightly (3 w bytes) whatever the pack alignment is now.
    GLint align = 1;
    glGetIntegerv(GL_PACK_ALIGNMENT, &align);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
    glPixelStorei(GL_PACK_ALIGNMENT, align);
    if (!save) return;
    std::string name;
    do {
        shot = shot == INT_MAX ? INT_MIN : shot + 1;
        name = "screenshot_" + std::to_string(shot) + ".png";
    } while (OGL_screenshot_name_taken(name));
    write_png_to_disk(name, w, h, 3);
}

// [SECTION] Text on a backing

float OGL_boxed_width(const std::string& text, int charset)
{
    if (charset == kCharsetFix10) return 10.0f * float(text.size()) + kBoxedPad;
    if (charset == kCharsetProp) return OGL_text_width(text) + kBoxedPad;
    return kBoxedFixedW;
}

void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text,
                      int charset, int colour)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    const float w = OGL_boxed_width(text, charset);
    BTN_frame1(kBarField, x, y + 3, w, kColrNoTint);
    BTN_util_draw_label(x - w / 2 - kBoxedGap, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + w / 2 + kBoxedGap, y, kAlignStart, right, 0);
    OGL_string(colour, x - w / 2 + kBoxedInset, y, text, kTextNoWrap, charset, kTextLeft);
}

void OGL_gray_string(int colour, float x, float y, std::string text)
{
    const float w = OGL_text_width(text);
    OGL_grayrect(x - w / 2 - 2, y - 2, x + w / 2 + 2, y + 8, 0.5f);
    OGL_string(colour, x - w / 2, y, text, kTextNoWrap, kCharsetProp, kTextLeft);
}
