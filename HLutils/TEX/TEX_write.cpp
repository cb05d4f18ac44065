// The image writers. Index:
//   [SECTION] Output files
//   [SECTION] DDS writer
//   [SECTION] PNG writer
#include "TEX/TEX_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <png.h>
#include <squish.h>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"

// [SECTION] Output files

namespace
{

// A file being written. Bytes go to a temporary name beside the target and
// are renamed over it only once every write and the close succeeded, so a
// failed write never leaves a truncated image under the real name. A target
// that exists and is not a regular file (a device such as /dev/null, or a
// symbolic link) is written in place: a rename would replace the node.
struct OutFile {
    std::string target;
    std::string temp; // empty when writing in place
    FILE* fp = nullptr;
};

std::string temp_name_for(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    return target + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool out_open(OutFile& f, const std::string& path)
{
    f.target = path;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        f.fp = std::fopen(path.c_str(), "wb");
        return f.fp != nullptr;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        f.temp = temp_name_for(path);
        const int fd = open(f.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        f.fp = fdopen(fd, "wb");
        if (f.fp) return true;
        close(fd);
        unlink(f.temp.c_str());
        return false;
    }
    return false;
}

// 1 when the file is complete under its name. With ok false, or when the
// flush, the close or the rename fails, the temporary file is removed.
int out_finish(OutFile& f, bool ok)
{
    if (std::fflush(f.fp) != 0 || std::ferror(f.fp)) ok = false;
    if (std::fclose(f.fp) != 0) ok = false;
    f.fp = nullptr;
    if (f.temp.empty()) return ok ? 1 : 0;
    if (ok && std::rename(f.temp.c_str(), f.target.c_str()) != 0) ok = false;
    if (!ok) std::remove(f.temp.c_str());
    return ok ? 1 : 0;
}

bool write_bytes(FILE* fp, const void* data, size_t n)
{
    return std::fwrite(data, 1, n, fp) == n;
}

// Work buffers are width x height x 4 bytes; libsquish counts in int.
bool size_is_writable(int width, int height)
{
    return width > 0 && height > 0 && (long long)width * height * 4 <= INT_MAX;
}

} // namespace

// [SECTION] DDS writer

namespace
{

constexpr int kDdsHeaderSize = 124;
constexpr unsigned kDdsHeaderFlags =
    0xA1007; // caps, height, width, pixel format, mips, linear size
constexpr unsigned kDdsPfFourCC = 0x4;
constexpr unsigned kDdsCaps = 0x401008; // complex, texture, mipmap
constexpr int kDdsAssertLine = 223;

void put_le32(unsigned char* p, unsigned v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

int mip_count(int width, int height)
{
    int n = 1;
    for (int side = width > height ? width : height; side > 1; side /= 2)
        ++n;
    return n;
}

// The next level, in place: 2x2 cells, or pairs along the one side that is
// still above 1. The pair average down a single column keeps the level a
// filtered image rather than the first half of its rows.
void reduce_level(unsigned char* work, int w, int h)
{
    const int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
            for (int c = 0; c < 4; ++c) {
                unsigned char* out = work + ((long long)y * nw + x) * 4 + c;
                if (w > 1 && h > 1) {
                    const unsigned char* a = work + ((2LL * y) * w + 2 * x) * 4 + c;
                    const unsigned char* b = a + (long long)w * 4;
                    *out = (unsigned char)((a[0] + a[4] + b[0] + b[4]) >> 2);
                } else if (h == 1) {
                    const unsigned char* a = work + (2LL * x) * 4 + c;
                    *out = (unsigned char)((a[0] + a[4]) >> 1);
                } else {
                    const unsigned char* a = work + (2LL * y) * 4 + c;
                    *out = (unsigned char)((a[0] + a[4]) >> 1);
                }
            }
}

} // namespace

int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc)
{
    if (desc.format != GL_RGBA && desc.format != GL_RGB) {
        __VOVARU_alert(0,
                       "rel_assert Error! Possibly an out of range vector! Attach the debugger "
                       "and see who called this!",
                       "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                       "Please report this to Rererud.", t_exit, "HLutils/TEX/TEX_dds",
                       kDdsAssertLine);
        return 0;
    }
    const int w0 = desc.width, h0 = desc.height;
    if (!size_is_writable(w0, h0)) return 0;
    const int flags = desc.format == GL_RGB ? squish::kDxt1 : squish::kDxt5;
    const size_t work_bytes = size_t(w0) * size_t(h0) * 4;
    std::unique_ptr<unsigned char[]> work(new (std::nothrow) unsigned char[work_bytes]);
    std::unique_ptr<unsigned char[]> blocks(
        new (std::nothrow) unsigned char[size_t(squish::GetStorageRequirements(w0, h0, flags))]);
    if (!work || !blocks) return 0;

    // Top row first; RGB gets an opaque alpha.
    const int bpp = desc.format == GL_RGBA ? 4 : 3;
    const long long src_row = (long long)bpp * w0 + desc.pad;
    for (int y = 0; y < h0; ++y) {
        const unsigned char* s = pixels + y * src_row;
        unsigned char* d = work.get() + (long long)(h0 - 1 - y) * w0 * 4;
        for (int x = 0; x < w0; ++x, s += bpp, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = bpp == 4 ? s[3] : 255;
        }
    }

    unsigned char header[128] = {};
    std::memcpy(header, "DDS ", 4);
    put_le32(header + 4, kDdsHeaderSize);
    put_le32(header + 8, kDdsHeaderFlags);
    put_le32(header + 12, unsigned(h0));
    put_le32(header + 16, unsigned(w0));
    put_le32(header + 20, unsigned(squish::GetStorageRequirements(w0, h0, flags)));
    put_le32(header + 28, unsigned(mip_count(w0, h0)));
    put_le32(header + 76, 32);
    put_le32(header + 80, kDdsPfFourCC);
    std::memcpy(header + 84, desc.format == GL_RGB ? "DXT1" : "DXT5", 4);
    put_le32(header + 108, kDdsCaps);

    OutFile out;
    if (!out_open(out, app_path + path)) return 0;
    bool ok = write_bytes(out.fp, header, sizeof(header));
    for (int w = w0, h = h0; ok;) {
        squish::CompressImage(work.get(), w, h, blocks.get(),
                              flags | squish::kColourIterativeClusterFit);
        ok = write_bytes(out.fp, blocks.get(), size_t(squish::GetStorageRequirements(w, h, flags)));
        if (w == 1 && h == 1) break;
        reduce_level(work.get(), w, h);
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    return out_finish(out, ok);
}

// [SECTION] PNG writer

namespace
{

constexpr int kPngBadFormatLine = 164;
constexpr double kPngFileGamma = 1 / 2.2;
constexpr int kPngZlibLevel = 9;
constexpr int kPngZlibMemLevel = 8;
constexpr int kPngZlibWindowBits = 15;
constexpr int kPngZlibMethodDeflate = 8;
constexpr int kPngZlibBuffer = 8192;
constexpr int kPngErrorLine = 13; // the reader's "PNG error!" site

// The reader's callbacks name the file the reader last opened; these name
// the file being written (the error pointer).
const std::string& written_path(png_struct* png)
{
    return *static_cast<const std::string*>(png_get_error_ptr(png));
}

void png_write_error(png_struct* png, const char* message)
{
    __VOVARU_alert(0, "PNG error!", message ? message : "", written_path(png), "", t_alert,
                   "HLutils/TEX/TEX_png", kPngErrorLine);
    png_longjmp(png, 1);
}

void png_write_warning(png_struct* png, const char* message)
{
    xer << "PNG warning! " << (message ? message : "") << ", " << written_path(png) << "\n";
}

} // namespace

int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels)
{
    int bpp, colour_type;
    switch (desc.format) {
    case GL_RGB:
        bpp = 3, colour_type = PNG_COLOR_TYPE_RGB;
        break;
    case GL_RGBA:
        bpp = 4, colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    case GL_ALPHA:
        bpp = 1, colour_type = PNG_COLOR_TYPE_GRAY;
        break;
    default:
        __VOVARU_alert(0, "Illegal pixel format for png-write.", path, "", "", t_exit,
                       "HLutils/TEX/TEX_png", kPngBadFormatLine);
        return 0;
    }
    const int w = desc.width, h = desc.height;
    if (!size_is_writable(w, h)) return 0;

    png_bytep* rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * size_t(h)));
    if (!rows) return 0;
    const long long row_bytes = desc.pad + (long long)bpp * w;
    for (int i = 0; i < h; ++i)
        rows[i] = const_cast<png_bytep>(pixels + (long long)(h - 1 - i) * row_bytes);

    OutFile out;
    if (!out_open(out, app_path + path)) {
        std::free(rows);
        return 0;
    }
    // The version string must be that of the headers we are built against,
    // or libpng refuses the structure.
    png_structp png = png_create_write_struct(
        PNG_LIBPNG_VER_STRING, const_cast<std::string*>(&path), png_write_error, png_write_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        std::free(rows);
        return out_finish(out, false);
    }
    // png_write_error has shown its alert by the time it jumps back here.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::free(rows);
        return out_finish(out, false);
    }
    png_init_io(png, out.fp);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, kPngZlibLevel);
    png_set_compression_mem_level(png, kPngZlibMemLevel);
    png_set_compression_strategy(png, 0); // Z_DEFAULT_STRATEGY
    png_set_compression_window_bits(png, kPngZlibWindowBits);
    png_set_compression_method(png, kPngZlibMethodDeflate);
    png_set_compression_buffer_size(png, kPngZlibBuffer);
    png_set_gAMA(png, info, kPngFileGamma);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::free(rows);
    return out_finish(out, true);
}

int write_png_to_disk(std::string path, int width, int height, int bytes_per_pixel)
{
    TEX_image_desc desc;
    desc.format = bytes_per_pixel == 4 ? GL_RGBA : GL_RGB;
    desc.width = width;
    desc.height = height;
    const int bpp = bytes_per_pixel == 4 ? 4 : 3;
    if (!scratch_array || width <= 0 || height <= 0 ||
        (long long)width * height * bpp > kScratchBytes)
        return 0;
    return TEX_save_png(path, desc, scratch_array);
}
