// The BMP reader: 24-bit uncompressed bitmaps into 1, 3 or 4 bytes per pixel.
#include "TEX/TEX_bmp.h"

#include <cstdlib>
#include <cstring>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/xmap.h"

namespace
{

constexpr int kBmpBitsPerPixel = 24;
constexpr int kBmpSrcBytesPerPixel = 3; // blue, green, red

// Where this reader's alerts say they come from.
constexpr const char* kBmpSource = "HLutils/TEX/TEX_bmp";
constexpr int kLineBadWanted = 27;
constexpr int kLineBadDepth = 48;
constexpr int kLineCompressed = 49;

// Reads the little-endian header fields in file order. Once a field does
// not lie wholly inside the mapping it and every later field read as 0.
class BmpFields
{
  public:
    BmpFields(const unsigned char* p, long long size) : p_(p), size_(size) {}
    unsigned read(int bytes)
    {
        if (past_end_ || pos_ + bytes > size_) {
            past_end_ = true;
            return 0;
        }
        unsigned v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= unsigned(p_[pos_ + i]) << (8 * i);
        pos_ += bytes;
        return v;
    }

  private:
    const unsigned char* p_;
    long long size_;
    long long pos_ = 0;
    bool past_end_ = false;
};

} // namespace

int TEX_load_bmp(const std::string& path, xmap_class* file, unsigned char*& pixels,
                 unsigned int wanted_format, int row_length, int power_of_two, TEX_image_desc& desc)
{
    if (!file || !file->start) return 0;

    int bpp = 0;
    switch (wanted_format) {
    case GL_RGB:
        bpp = 3;
        break;
    case GL_RGBA:
        bpp = 4;
        break;
    case GL_ALPHA:
        bpp = 1;
        break;
    default:
        __VOVARU_alert(0, "Illegal desired format for bmp.", path, "", "", t_exit, kBmpSource,
                       kLineBadWanted);
        return 0;
    }

    file->swap = 0;
    const unsigned char* base = reinterpret_cast<const unsigned char*>(file->start);
    const long long size = file->end - file->start;
    BmpFields f(base, size);
    f.read(2); // "BM", checked by the callers
    f.read(4); // file size
    f.read(2);
    f.read(2);
    const long long data_offset = f.read(4);
    f.read(4); // information header size
    const int width = int(f.read(4));
    const int height = int(f.read(4));
    f.read(2); // colour layers
    const int bits = int(f.read(2));
    const unsigned compression = f.read(4);

    if (bits != kBmpBitsPerPixel) {
        __VOVARU_alert(0, "Wrong bitmap color depth for texture!", "We need 24-bit color.", "",
                       path, t_exit, kBmpSource, kLineBadDepth);
        return 0;
    }
    if (compression != 0) {
        __VOVARU_alert(0, "Bitmap is compressed!", "", "", path, t_exit, kBmpSource,
                       kLineCompressed);
        return 0;
    }

    // Top-down bitmaps (negative height) and empty ones are not converted;
    // the layout also refuses sides beyond the image budget before any size
    // is multiplied, and a block that would not fit the caller's buffer.
    TEX_block_layout block;
    if (!TEX_layout_block(width, height, bpp, row_length, power_of_two, pixels != nullptr, block))
        return 0;

    // Every source row must lie inside the mapping.
    const long long src_row_bytes = ((long long)kBmpSrcBytesPerPixel * width + 3) & ~3LL;
    if (data_offset + (height - 1) * src_row_bytes + (long long)kBmpSrcBytesPerPixel * width > size)
        return 0;

    const size_t block_bytes = size_t(block.row_bytes * block.rows);
    unsigned char* out = pixels;
    if (out) {
        if (block.clear) std::memset(out, 0, block_bytes);
    } else {
        // Fresh from calloc: already zero, and no page is touched before use.
        out = static_cast<unsigned char*>(std::calloc(block_bytes, 1));
        if (!out) return 0;
    }
    desc.width = width;
    desc.height = height;
    desc.format = int(wanted_format);
    desc.has_mips = 0;
    desc.pad = int(block.pad);

    const unsigned char* gamma = colr.gamma_needed ? colr.gamma_table : nullptr;
    for (int y = 0; y < height; ++y) {
        const unsigned char* s = base + data_offset + y * src_row_bytes;
        unsigned char* d = out + y * block.row_bytes;
        for (int x = 0; x < width; ++x, s += kBmpSrcBytesPerPixel) {
            const unsigned char b = s[0], g = s[1], r = s[2];
            if (bpp == 1) {
                *d++ = (unsigned char)((b + g + r) / 3);
                continue;
            }
            if (bpp == 4 && r == 255 && g == 0 && b == 255) {
                // Pure magenta is the transparent colour.
                d[0] = d[1] = d[2] = d[3] = 0;
                d += 4;
                continue;
            }
            *d++ = gamma ? gamma[r] : r;
            *d++ = gamma ? gamma[g] : g;
            *d++ = gamma ? gamma[b] : b;
            if (bpp == 4) *d++ = 255;
        }
    }
    pixels = out;
    return 1;
}
