// The PNG reader: libpng glue that serves bytes from a mapped file and asks
// libpng for exactly the wanted row layout.
#include "TEX/TEX_png.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/xmap.h"

namespace
{

constexpr int kPngSigBytes = 8;

// Where this reader's alerts say they come from.
constexpr const char* kPngSource = "HLutils/TEX/TEX_png";
constexpr int kLinePngError = 13;
constexpr int kLineNoPngStruct = 36;
constexpr int kLineNoInfoStruct = 41;
constexpr int kLineNotPng = 55;
constexpr int kLineLibpngError = 63;
constexpr int kLineBadFormat = 112;

// Shared with the callbacks: one PNG is decoded at a time.
xmap_class* png_mapped_file = nullptr;
std::string ping_path;

void fatal_png(const char* what, int line)
{
    __VOVARU_alert(0, "PING-FILE ERROR!", what, ping_path, "", t_exit, kPngSource, line);
}

// What one decode holds: however it ends, the callbacks stop reading the
// file and everything is given back, a block of its own only when the
// caller did not get it. Fields that change after the setjmp are volatile,
// so that a jump back finds them as last written.
struct png_decode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep* volatile rows = nullptr;
    unsigned char* volatile own_block = nullptr;

    png_decode() = default;
    png_decode(const png_decode&) = delete;
    png_decode& operator=(const png_decode&) = delete;
    ~png_decode()
    {
        png_mapped_file = nullptr;
        std::free(rows);
        std::free(own_block);
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

} // namespace

// [SECTION] libpng callbacks

void my_readbuf(png_struct* png, unsigned char* dst, png_size_t len)
{
    xmap_class* f = png_mapped_file;
    if (!f || !f->cursor || len > png_size_t(f->end - f->cursor))
        png_error(png, "PNG Read Error, overran end of buffer!");
    std::memcpy(dst, f->cursor, len);
    f->cursor += len;
}

static void show_png_error(const char* message)
{
    __VOVARU_alert(0, "PNG error!", message ? message : "", ping_path, "", t_alert, kPngSource,
                   kLinePngError);
}

void my_error(png_struct* png, const char* message)
{
    // The alert's strings are gone before the jump back into TEX_load_png.
    show_png_error(message);
    png_longjmp(png, 1);
}

void my_warning(png_struct* png, const char* message)
{
    xer << "PNG warning! " << (message ? message : "") << ", " << ping_path << "\n";
}

png_voidp my_malloc(png_struct* png, png_alloc_size_t size)
{
    return std::malloc(size);
}

void my_free(png_struct* png, png_voidp ptr)
{
    std::free(ptr);
}

// [SECTION] Reader

int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& pixels,
                 unsigned int wanted_format, int row_length, int power_of_two,
                 int alpha_follows_file, TEX_image_desc& desc)
{
    ping_path = path;
    png_decode held;
    // The version string must be that of the headers we are built against,
    // or libpng refuses the structure.
    held.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning,
                                        nullptr, my_malloc, my_free);
    png_structp const png = held.png;
    if (!png) {
        fatal_png("!png_ptr", kLineNoPngStruct);
        return 0;
    }
    held.info = png_create_info_struct(png);
    png_infop const info = held.info;
    if (!info) {
        fatal_png("!info_ptr", kLineNoInfoStruct);
        return 0;
    }

    // libpng's own limits follow the image budget, so that no header or
    // chunk can make it allocate more. A side beyond the budget fits no
    // buffer; no chunk may claim more than the budget; the chunks libpng
    // would keep for us (text, sPLT, unknown ones) are unused, so none is
    // kept (1 keeps none, 0 would mean no limit).
    png_set_user_limits(png, png_uint_32(kTexMaxImageBytes), png_uint_32(kTexMaxImageBytes));
    png_set_chunk_malloc_max(png, png_alloc_size_t(kTexMaxImageBytes));
    png_set_chunk_cache_max(png, 1);
    // These chunks get a buffer of the length they declare before libpng
    // looks at the limits (which only warn about them): they are skipped
    // unread instead, as this reader does not use them.
    static const png_byte kUnusedChunks[] = "eXIf\0pCAL\0sCAL";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks, 3);

    png_mapped_file = file;
    if (!file || !file->start || file->end - file->start < kPngSigBytes ||
        file->end - file->cursor < kPngSigBytes) {
        return 0;
    }
    if (png_sig_cmp(reinterpret_cast<png_const_bytep>(file->cursor), 0, kPngSigBytes) != 0) {
        fatal_png("is_png=!png_sig_cmp(png_io_buf,0,8)", kLineNotPng);
        return 0;
    }

    if (setjmp(png_jmpbuf(png))) {
        fatal_png("setjmp(png_ptr->jmpbuf", kLineLibpngError);
        return 0;
    }

    png_set_read_fn(png, nullptr, my_readbuf);
    png_set_sig_bytes(png, kPngSigBytes);
    file->cursor += kPngSigBytes;
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = 0;
    png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);
    // Interlaced files are only known once the header is read.
    png_set_interlace_handling(png);

    // Files without their own gamma are taken as made for 1.8.
    double file_gamma = 0;
    if (!png_get_gAMA(png, info, &file_gamma)) file_gamma = 1.0 / colr.file_gamma;
    png_set_gamma(png, colr.screen_gamma, file_gamma);

    if (color_type == PNG_COLOR_TYPE_PALETTE && bit_depth <= 8) png_set_expand(png);
    if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand(png);
    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (has_trns) png_set_expand(png);
    if (bit_depth == 16) png_set_strip_16(png);
    if (bit_depth < 8) png_set_packing(png);

    const bool alpha_bit = (color_type & PNG_COLOR_MASK_ALPHA) != 0;
    const bool is_grey = (color_type & PNG_COLOR_MASK_COLOR) == 0;
    // An alpha channel arrives from the file's type or from a tRNS chunk.
    const bool has_alpha = alpha_bit || has_trns;

    unsigned int format = wanted_format;
    if (alpha_follows_file) {
        if (format == GL_RGBA && !alpha_bit)
            format = GL_RGB;
        else if (format == GL_RGB && alpha_bit)
            format = GL_RGBA;
    }

    int bpp = 0;
    switch (format) {
    case GL_RGBA:
        bpp = 4;
        if (!has_alpha) png_set_filler(png, 255, PNG_FILLER_AFTER);
        if (is_grey) png_set_gray_to_rgb(png);
        break;
    case GL_RGB:
        bpp = 3;
        if (has_alpha) png_set_strip_alpha(png);
        if (is_grey) png_set_gray_to_rgb(png);
        break;
    case GL_ALPHA:
        bpp = 1;
        if (has_alpha) png_set_strip_alpha(png);
        if (!is_grey) png_set_rgb_to_gray(png, PNG_ERROR_ACTION_NONE, -1, -1);
        break;
    default:
        __VOVARU_alert(0, "Illegal bits per pixel", "", "", "", t_exit, kPngSource, kLineBadFormat);
        return 0;
    }

    // Row geometry: sides within the image budget before anything is
    // multiplied; a caller's buffer must hold the whole block.
    TEX_block_layout layout;
    if (!TEX_layout_block(width, height, bpp, row_length, power_of_two, pixels != nullptr,
                          layout)) {
        return 0;
    }
    const long long row_bytes = layout.row_bytes;
    const size_t block_bytes = size_t(layout.row_bytes * layout.rows);

    png_read_update_info(png, info);
    // The transformations must give exactly bpp bytes a pixel, or the rows
    // would overrun the block.
    if (png_get_rowbytes(png, info) != png_size_t(bpp) * width) {
        __VOVARU_alert(0, "Illegal bits per pixel", "", "", "", t_exit, kPngSource, kLineBadFormat);
        return 0;
    }

    unsigned char* block = pixels;
    if (block) {
        if (layout.clear) std::memset(block, 0, block_bytes);
    } else {
        // Fresh from calloc: already zero, and no page is touched before use.
        block = static_cast<unsigned char*>(std::calloc(block_bytes, 1));
        held.own_block = block;
        // A block of this size cannot be had: refused like a large one.
        if (!block) return 0;
    }
    desc.format = int(format);
    desc.width = int(width);
    desc.height = int(height);
    desc.pad = int(layout.pad);
    desc.has_mips = 0;

    png_bytep* rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    held.rows = rows;
    if (!rows) png_error(png, "out of memory");
    // Bottom row of the picture first; padding rows at the end of the block.
    for (png_uint_32 i = 0; i < height; ++i)
        rows[i] = block + (height - 1 - i) * row_bytes;
    png_read_image(png, rows);

    held.own_block = nullptr; // the caller's now
    pixels = block;
    return 1;
}
