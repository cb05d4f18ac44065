// The DDS reader and the byte count of an image descriptor.
#include "TEX/TEX_dds.h"

#include <climits>
#include <cstring>

#include <squish.h>

#include "OOPS_cpp/xmap.h"

namespace
{

// Header fields this reader uses (offsets into the 128-byte header).
constexpr int kDdsOffFlags = 8;
constexpr int kDdsOffHeight = 12;
constexpr int kDdsOffWidth = 16;
constexpr int kDdsOffPfFlags = 80;
constexpr int kDdsOffFourCC = 84;
constexpr int kDdsOffCaps = 108;

constexpr unsigned kDdsFlagMipCount = 0x20000; // header flags: mipmap count present
constexpr unsigned kDdsPfFourCC = 0x4;         // pixel format: four-character code
constexpr unsigned kDdsPfRGB = 0x40;           // pixel format: uncompressed RGB
constexpr unsigned kDdsPfAlpha = 0x1;          // pixel format: with alpha
constexpr unsigned kDdsCapsMipmap = 0x400000;  // capabilities: mipmap

// Sides above this are refused, so every byte count stays within an int.
constexpr int kDdsMaxSide = 16384;

unsigned read_le32(const unsigned char* p)
{
    return unsigned(p[0]) | (unsigned(p[1]) << 8) | (unsigned(p[2]) << 16) | (unsigned(p[3]) << 24);
}

// Bytes of one w x h level; -1 for a format outside the table and for a
// level an int cannot count. Rows are held to an int before they are
// multiplied by the height, so nothing overflows.
long long level_bytes(int format, int w, int h, int pad)
{
    long long bpp = 0;
    int squish_flags = 0;
    switch (format) {
    case GL_ALPHA:
        bpp = 1;
        break;
    case GL_RGB:
    case GL_BGR:
        bpp = 3;
        break;
    case GL_RGBA:
    case GL_BGRA:
        bpp = 4;
        break;
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
        squish_flags = squish::kDxt1;
        break;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        squish_flags = squish::kDxt3;
        break;
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
        squish_flags = squish::kDxt5;
        break;
    default:
        return -1;
    }
    if (bpp) {
        const long long row = w * bpp + pad;
        if (row < 0 || row > INT_MAX) return -1;
        const long long n = h * row;
        return n > INT_MAX ? -1 : n;
    }
    const long long block_bytes = squish_flags == squish::kDxt1 ? 8 : 16;
    const long long blocks = ((w + 3LL) / 4) * ((h + 3LL) / 4);
    if (blocks * block_bytes > INT_MAX) return -1;
    return squish::GetStorageRequirements(w, h, squish_flags);
}

} // namespace

int TEX_bytes_needed_for_image(const TEX_image_desc& desc)
{
    // A side below 1 would never reach the 1x1 level.
    if (desc.width < 1 || desc.height < 1) return 0;
    int w = desc.width, h = desc.height;
    long long total = 0;
    for (;;) {
        long long n = level_bytes(desc.format, w, h, desc.pad);
        if (n < 0) return 0;
        total += n;
        if (total > INT_MAX) return 0;
        if (!desc.has_mips || (w == 1 && h == 1)) break;
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    return int(total);
}

int TEX_load_dds(const std::string& path, xmap_class* file, unsigned char*& pixels,
                 TEX_image_desc& desc)
{
    if (!file || !file->start) return 0;
    const unsigned char* base = reinterpret_cast<const unsigned char*>(file->start);
    const long long size = file->end - file->start;
    if (size < 4 || std::memcmp(base, "DDS ", 4) != 0) return 0;

    desc.format = 0;
    // A file that ends inside its header is refused, not read past its end.
    if (size < kDdsHeaderBytes) return 0;

    const unsigned pf_flags = read_le32(base + kDdsOffPfFlags);
    if (pf_flags & kDdsPfFourCC) {
        const unsigned char* cc = base + kDdsOffFourCC;
        // DXT1 is always taken without alpha; the row flip finds out otherwise.
        if (std::memcmp(cc, "DXT1", 4) == 0)
            desc.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
        else if (std::memcmp(cc, "DXT3", 4) == 0)
            desc.format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
        else if (std::memcmp(cc, "DXT5", 4) == 0)
            desc.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        else
            return 0;
    }
    if (pf_flags & kDdsPfRGB) desc.format = (pf_flags & kDdsPfAlpha) ? GL_BGRA : GL_BGR;
    if (desc.format == 0) return 0;

    desc.width = int(read_le32(base + kDdsOffWidth));
    desc.height = int(read_le32(base + kDdsOffHeight));
    desc.pad = 0;
    // The mipmap count itself is not read: a mipmapped file holds every level.
    desc.has_mips = ((read_le32(base + kDdsOffFlags) & kDdsFlagMipCount) &&
                     (read_le32(base + kDdsOffCaps) & kDdsCapsMipmap))
                        ? 1
                        : 0;

    // The caller copies the pixel data afterwards: it must all be there.
    if (desc.width < 1 || desc.height < 1 || desc.width > kDdsMaxSide || desc.height > kDdsMaxSide)
        return 0;
    // A count beyond an int comes back as 0: such a file is refused too.
    const int needed = TEX_bytes_needed_for_image(desc);
    if (needed <= 0 || size - kDdsHeaderBytes < needed) return 0;

    pixels = const_cast<unsigned char*>(base) + kDdsHeaderBytes;
    return 1;
}
