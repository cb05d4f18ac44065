// In-place image utilities: the box filter and the row flip with its
// DXT block flips and endpoint gamma correction.
#include "TEX/TEX_utils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bmp.h"
#include "TEX/TEX_png.h"

// Where the row flip's alert says it comes from.
static constexpr const char* kUtilsSource = "HLutils/TEX/TEX_utils";
static constexpr int kLineIllegalFormat = 437;

// [SECTION] Box filter

void TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int factor_x, int factor_y)
{
    const int bpp = desc.format == GL_RGBA ? 4 : desc.format == GL_RGB ? 3 : 1;
    const int new_w = desc.width / factor_x;
    const int new_h = desc.height / factor_y;
    const long long src_row = desc.pad + (long long)bpp * desc.width;
    const long long dst_row = desc.pad + (long long)bpp * new_w;
    // The mean over the cell, truncated; a new pixel never lies after the
    // first source pixel of its cell, so one buffer serves both.
    const int count = factor_x * factor_y;
    for (int y = 0; y < new_h; ++y) {
        for (int x = 0; x < new_w; ++x) {
            unsigned char* d = pixels + y * dst_row + (long long)x * bpp;
            for (int c = 0; c < bpp; ++c) {
                // A cell of more than 8M pixels would overflow an int.
                long long sum = 0;
                for (int j = 0; j < factor_y; ++j) {
                    const unsigned char* s = pixels + ((long long)y * factor_y + j) * src_row +
                                             (long long)x * factor_x * bpp + c;
                    for (int i = 0; i < factor_x; ++i, s += bpp)
                        sum += *s;
                }
                d[c] = (unsigned char)(sum / count);
            }
        }
    }
    desc.width = new_w;
    desc.height = new_h;
}

// [SECTION] DXT blocks

namespace
{

uint16_t load16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
void store16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v & 0xFF);
    p[1] = uint8_t(v >> 8);
}

// The endpoints are little-endian on disk whatever the host.
uint16_t get_col(const DXTColBlock* b, int which)
{
    return load16(reinterpret_cast<const uint8_t*>(b) + 2 * which);
}
void set_col(DXTColBlock* b, int which, uint16_t v)
{
    store16(reinterpret_cast<uint8_t*>(b) + 2 * which, v);
}

void flip_col_rows(DXTColBlock* b)
{
    std::swap(b->row[0], b->row[3]);
    std::swap(b->row[1], b->row[2]);
}

bool uses_index3(const DXTColBlock* b)
{
    for (uint8_t r : b->row)
        for (int t = 0; t < 4; ++t)
            if (((r >> (2 * t)) & 3) == 3) return true;
    return false;
}

// 5:6:5 through the gamma table, widened by bit replication.
uint16_t gamma_565(uint16_t c)
{
    const int r5 = (c >> 11) & 31, g6 = (c >> 5) & 63, b5 = c & 31;
    const int r = colr.gamma_table[r5 * 8 + r5 / 4];
    const int g = colr.gamma_table[g6 * 4 + g6 / 16];
    const int b = colr.gamma_table[b5 * 8 + b5 / 4];
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void xor_indices(DXTColBlock* b)
{
    for (uint8_t& r : b->row)
        r ^= 0x55; // i -> i ^ 1 for each 2-bit index
}

// Three-colour mode: indices 0 and 1 exchange, 2 and 3 stay.
void swap_01_indices(DXTColBlock* b)
{
    for (uint8_t& r : b->row) {
        uint8_t out = 0;
        for (int t = 0; t < 4; ++t) {
            int i = (r >> (2 * t)) & 3;
            if (i < 2) i ^= 1;
            out |= uint8_t(i << (2 * t));
        }
        r = out;
    }
}

} // namespace

void nv_gamma_correct(DXTColBlock* block)
{
    const uint16_t c0 = get_col(block, 0), c1 = get_col(block, 1);
    const bool three_colour = c0 <= c1;
    const uint16_t a = gamma_565(c0), b = gamma_565(c1);

    if ((a <= b) == three_colour) {
        set_col(block, 0, a);
        set_col(block, 1, b);
        return;
    }
    if (a != b) {
        // Keep the block's mode: swap the endpoints and remap the indices.
        set_col(block, 0, b);
        set_col(block, 1, a);
        if (three_colour)
            swap_01_indices(block);
        else
            xor_indices(block);
        return;
    }
    // A four-colour block whose endpoints came out equal: raise col0 a step.
    const uint16_t n = a;
    const int r = (n >> 11) & 31, g = (n >> 5) & 63, bl = n & 31;
    uint16_t hi = n, lo = n;
    if (g < 63)
        hi = uint16_t((r << 11) | ((g + 1) << 5) | bl);
    else if (bl < 31)
        hi = uint16_t((r << 11) | (g << 5) | (bl + 1));
    else if (r < 31)
        hi = uint16_t(((r + 1) << 11) | (g << 5) | bl);
    else
        lo = uint16_t((r << 11) | ((g - 1) << 5) | bl); // white: lower col1 instead
    set_col(block, 0, hi);
    set_col(block, 1, lo);
    xor_indices(block);
}

int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int found)
{
    for (int i = 0; i < count; ++i) {
        DXTColBlock* b = blocks + i;
        flip_col_rows(b);
        if (!found && get_col(b, 0) <= get_col(b, 1) && uses_index3(b)) found = 1;
        if (colr.gamma_needed) nv_gamma_correct(b);
    }
    return found;
}

int nv_flip_blocks_dxtc3(DXTColBlock* blocks, int count, int unused)
{
    // Each block: 8 bytes of explicit alpha (four 16-bit rows), then colour.
    for (int i = 0; i < count; ++i) {
        uint8_t* alpha = reinterpret_cast<uint8_t*>(blocks + 2 * i);
        uint16_t r0 = load16(alpha), r1 = load16(alpha + 2), r2 = load16(alpha + 4),
                 r3 = load16(alpha + 6);
        store16(alpha, r3);
        store16(alpha + 2, r2);
        store16(alpha + 4, r1);
        store16(alpha + 6, r0);
        DXTColBlock* col = blocks + 2 * i + 1;
        flip_col_rows(col);
        if (colr.gamma_needed) nv_gamma_correct(col);
    }
    return 0;
}

int nv_flip_dxt5_alpha(DXT5AlphaBlock* block)
{
    uint8_t* p = block->stuff;
    const uint32_t g0 = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    const uint32_t g1 = uint32_t(p[3]) | (uint32_t(p[4]) << 8) | (uint32_t(p[5]) << 16);
    const uint32_t row0 = g0 & 0xFFF, row1 = g0 >> 12, row2 = g1 & 0xFFF, row3 = g1 >> 12;
    const uint32_t n0 = row3 | (row2 << 12), n1 = row1 | (row0 << 12);
    p[0] = uint8_t(n0);
    p[1] = uint8_t(n0 >> 8);
    p[2] = uint8_t(n0 >> 16);
    p[3] = uint8_t(n1);
    p[4] = uint8_t(n1 >> 8);
    p[5] = uint8_t(n1 >> 16);
    return 0;
}

int nv_flip_blocks_dxtc5(DXTColBlock* blocks, int count, int unused)
{
    for (int i = 0; i < count; ++i) {
        nv_flip_dxt5_alpha(reinterpret_cast<DXT5AlphaBlock*>(blocks + 2 * i));
        DXTColBlock* col = blocks + 2 * i + 1;
        flip_col_rows(col);
        if (colr.gamma_needed) nv_gamma_correct(col);
    }
    return 0;
}

// [SECTION] Row flip

namespace
{

void swap_bytes(unsigned char* a, unsigned char* b, long long n)
{
    for (long long i = 0; i < n; ++i)
        std::swap(a[i], b[i]);
}

} // namespace

int TEX_flip_y(const TEX_image_desc& desc, unsigned char* pixels)
{
    int result = 0;
    int w = desc.width, h = desc.height;
    unsigned char* level = pixels;
    for (;;) {
        TEX_image_desc one = desc;
        one.width = w;
        one.height = h;
        one.has_mips = 0;
        const long long bytes = TEX_bytes_needed_for_image(one);

        switch (desc.format) {
        case GL_ALPHA:
        case GL_RGB:
        case GL_RGBA:
        case GL_BGR:
        case GL_BGRA: {
            if (h < 1) break;
            const long long row = bytes / h;
            for (int j = 0; j < h / 2; ++j)
                swap_bytes(level + j * row, level + (h - 1 - j) * row, row);
            break;
        }
        case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: {
            const bool dxt1 = desc.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT ||
                              desc.format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
            const int block_bytes = dxt1 ? 8 : 16;
            int (*flip)(DXTColBlock*, int, int) = dxt1 ? nv_flip_blocks_dxtc1
                                                  : desc.format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                      ? nv_flip_blocks_dxtc3
                                                      : nv_flip_blocks_dxtc5;
            // Levels under 4 pixels high hold no whole block row and stay as
            // stored. A block column that is only partly used still flips
            // whole, so every block of a block row is taken.
            const int per_row = (w + 3) / 4, block_rows = h / 4;
            const long long stride = (long long)per_row * block_bytes;
            const long long row_bytes = stride;
            int found = 0;
            for (int i = 0; i < block_rows / 2; ++i) {
                unsigned char* top = level + i * stride;
                unsigned char* bot = level + (block_rows - 1 - i) * stride;
                found = flip(reinterpret_cast<DXTColBlock*>(top), per_row, found);
                found = flip(reinterpret_cast<DXTColBlock*>(bot), per_row, found);
                swap_bytes(top, bot, row_bytes);
            }
            if (block_rows % 2)
                found = flip(reinterpret_cast<DXTColBlock*>(level + (block_rows / 2) * stride),
                             per_row, found);
            result |= found;
            break;
        }
        default:
            __VOVARU_alert(0, "Illegal format!", "", "", "", t_exit, kUtilsSource,
                           kLineIllegalFormat);
            return result;
        }

        if (!desc.has_mips || (w <= 1 && h <= 1)) break;
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
        level += bytes;
    }
    return result;
}

// [SECTION] Loading by content

int TEX_load_any(const std::string& path, unsigned char*& pixels, unsigned int wanted_format,
                 int row_length, int alpha_follows_file, TEX_image_desc& desc)
{
    xmap_class file(path);
    if (!file.start || file.end - file.start < 8) return 0;
    const unsigned char* head = reinterpret_cast<const unsigned char*>(file.start);
    if (head[0] == 'B' && head[1] == 'M' &&
        TEX_load_bmp(path, &file, pixels, wanted_format, row_length, 0, desc))
        return 1;
    if (png_sig_cmp(head, 0, 8) == 0)
        return TEX_load_png(path, &file, pixels, wanted_format, row_length, 0, alpha_follows_file,
                            desc);
    return 0;
}

int TEX_load_any_ext(const std::string& path, unsigned char*& pixels, unsigned int wanted_format,
                     int row_length, int alpha_follows_file, TEX_image_desc& desc)
{
    std::string base = path;
    if (base.size() > 4 && base[base.size() - 4] == '.') base.resize(base.size() - 4);
    return TEX_load_any(base + ".png", pixels, wanted_format, row_length, alpha_follows_file,
                        desc) ||
           TEX_load_any(base + ".bmp", pixels, wanted_format, row_length, alpha_follows_file, desc);
}

// [SECTION] Colour key and compositing

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, unsigned char* key,
                    int tolerance)
{
    // Byte positions of red, green, blue; other layouts have no alpha byte.
    int r, b;
    if (desc.format == GL_RGBA) {
        r = 0;
        b = 2;
    } else if (desc.format == GL_BGRA) {
        r = 2;
        b = 0;
    } else {
        return;
    }
    const long long row = 4LL * desc.width + desc.pad;
    for (int y = 0; y < desc.height; ++y) {
        unsigned char* p = pixels + y * row;
        for (int x = 0; x < desc.width; ++x, p += 4) {
            const int d =
                std::abs(p[r] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[b] - key[2]);
            if (d < tolerance) p[3] = 0;
        }
    }
}

namespace
{

// Bytes a pixel and whether the channels run blue first; 0 for a layout
// the compositor cannot blend.
int blend_bpp(int format, bool* bgr)
{
    *bgr = format == GL_BGR || format == GL_BGRA;
    switch (format) {
    case GL_RGB:
    case GL_BGR:
        return 3;
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    default:
        return 0;
    }
}

int clamp_byte(double v)
{
    return v < 0 ? 0 : v > 255 ? 255 : int(v);
}

} // namespace

void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   unsigned char* src, unsigned char* dst, float x1, float y1, float x2, float y2)
{
    bool src_bgr, dst_bgr;
    const int sb = blend_bpp(src_desc.format, &src_bgr), db = blend_bpp(dst_desc.format, &dst_bgr);
    if (!sb || !db || src_bgr != dst_bgr) return;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return;
    const int sw = src_desc.width, sh = src_desc.height;
    const long long src_row = (long long)sb * sw + src_desc.pad;
    const long long dst_row = (long long)db * dst_desc.width + dst_desc.pad;

    // The destination pixels the rectangle touches, clamped before any
    // conversion to int.
    auto span = [](double lo, double hi, int size, int* first, int* end) {
        *first = int(std::fmax(0.0, std::fmin(double(size), std::floor(lo))));
        *end = int(std::fmax(0.0, std::fmin(double(size), std::ceil(hi))));
    };
    int col0, col1, row0, row1;
    span(x1, x2, dst_desc.width, &col0, &col1);
    span(y1, y2, dst_desc.height, &row0, &row1);

    for (int i = row0; i < row1; ++i) {
        const double sy = (y2 == y1) ? sh * 0.5 : double(sh) / (double(y2) - y1) * (i - double(y1));
        for (int j = col0; j < col1; ++j) {
            const double sx =
                (x2 == x1) ? sw * 0.5 : double(sw) / (double(x2) - x1) * (j - double(x1));
            if (!std::isfinite(sx) || !std::isfinite(sy)) continue;
            const double H = std::floor(sx), L = std::floor(sy);
            const double fx = sx - H, fy = sy - L;
            struct Tap {
                double col, row, weight;
                const unsigned char* p;
            } taps[4] = {
                {H, L, (1 - fx) * (1 - fy), nullptr},
                {H, L + 1, (1 - fx) * fy, nullptr},
                {H + 1, L, fx * (1 - fy), nullptr},
                {H + 1, L + 1, fx * fy, nullptr},
            };
            double total = 0;
            for (Tap& t : taps) {
                if (t.col < 0 || t.col > sw - 1 || t.row < 0 || t.row > sh - 1) {
                    t.weight = 0;
                    continue;
                }
                t.p = src + (long long)t.row * src_row + (long long)t.col * sb;
            }
            unsigned char* d = dst + i * dst_row + (long long)j * db;
            if (db == 4) {
                double add = 0;
                for (const Tap& t : taps)
                    add += t.weight * (sb == 4 && t.p ? t.p[3] : 255);
                d[3] = (unsigned char)clamp_byte(d[3] + add);
            }
            // The source's alpha weighs its colour only over an image with
            // an alpha of its own.
            if (sb == 4 && db == 4)
                for (Tap& t : taps)
                    if (t.p) t.weight *= t.p[3] / 255.0;
            for (const Tap& t : taps)
                total += t.weight;
            for (int c = 0; c < 3; ++c) {
                double v = (1 - total) * d[c];
                for (const Tap& t : taps)
                    if (t.p) v += t.weight * t.p[c];
                d[c] = (unsigned char)clamp_byte(v);
            }
        }
    }
}

// [SECTION] 5:6:5 steps

int IncColor565(unsigned short& colour)
{
    const int r = colour >> 11, g = (colour >> 5) & 63, b = colour & 31;
    if (g < 63)
        colour = (unsigned short)(colour + (1 << 5));
    else if (b < 31)
        colour = (unsigned short)(colour + 1);
    else if (r < 31)
        colour = (unsigned short)(colour + (1 << 11));
    else
        return 0;
    return 1;
}

int DecColor565(unsigned short& colour)
{
    const int r = colour >> 11, g = (colour >> 5) & 63, b = colour & 31;
    if (g > 0)
        colour = (unsigned short)(colour - (1 << 5));
    else if (b > 0)
        colour = (unsigned short)(colour - 1);
    else if (r > 0)
        colour = (unsigned short)(colour - (1 << 11));
    else
        return 0;
    return 1;
}
