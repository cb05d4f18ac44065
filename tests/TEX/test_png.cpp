// The PNG reader, on fixtures written with libpng.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <malloc.h>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_png.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "tex_fixtures.h"

namespace
{

using texfix::PngSpec;
using Rows = std::vector<std::vector<uint8_t>>;

// Where 8-bit value v lands after the reader's gamma correction of a file
// without gAMA (exponent 1.8 / 2.2); libpng may differ from the colour
// table by one step.
int corrected(int v)
{
    return int(std::lround(255.0 * std::pow(v / 255.0, 1.8 / 2.2)));
}

class PngTest : public texfix::ReaderTest
{
  protected:
    xmap_class* write(const PngSpec& spec, const Rows& rows)
    {
        const std::string path = dir_ / "t.png";
        EXPECT_TRUE(texfix::write_png(path, spec, rows));
        return map_path(path);
    }
    xmap_class* map_bytes(const std::string& bytes) { return map_file("raw.png", bytes); }
};

TEST_F(PngTest, RgbAsRgbaPowerOfTwo)
{
    PngSpec s;
    s.width = 5;
    s.height = 3;
    Rows rows(3, std::vector<uint8_t>(15));
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 15; ++i)
            rows[y][i] = uint8_t(255 - 10 * y); // row brightness
    xmap_class* f = write(s, rows);
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("t.png", f, owned_, GL_RGBA, 0, 1, 0, d), 1);
    EXPECT_EQ(d.format, GL_RGBA);
    EXPECT_EQ(d.width, 5);
    EXPECT_EQ(d.height, 3);
    EXPECT_EQ(d.pad, 12);
    EXPECT_EQ(d.has_mips, 0);
    // 8x4 block, 32 bytes a row: PNG row i at block row 2 - i.
    for (int br = 0; br < 4; ++br) {
        for (int x = 0; x < 8; ++x) {
            const unsigned char* p = owned_ + br * 32 + x * 4;
            if (br == 3 || x >= 5) {
                EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0) << br << "," << x;
            } else {
                EXPECT_EQ(p[3], 255);
                EXPECT_NEAR(p[0], corrected(255 - 10 * (2 - br)), 1) << br << "," << x;
            }
        }
    }
}

TEST_F(PngTest, FormatTable)
{
    struct Case {
        const char* name;
        int color_type, bit_depth;
        std::vector<uint8_t> row; // one row of two pixels
        unsigned wanted;
        int follows;
        unsigned delivered;
        std::vector<uint8_t> first_pixel; // before gamma, -1 for "any"
    } cases[] = {
        {"grey+alpha as rgb, follows",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         8,
         {100, 7, 100, 7},
         GL_RGB,
         1,
         GL_RGBA,
         {100, 100, 100, 7}},
        {"grey+alpha as rgb",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         8,
         {100, 7, 100, 7},
         GL_RGB,
         0,
         GL_RGB,
         {100, 100, 100}},
        {"rgb as rgba, follows",
         PNG_COLOR_TYPE_RGB,
         8,
         {10, 20, 30, 10, 20, 30},
         GL_RGBA,
         1,
         GL_RGB,
         {10, 20, 30}},
        {"rgba as rgba",
         PNG_COLOR_TYPE_RGBA,
         8,
         {10, 20, 30, 40, 10, 20, 30, 40},
         GL_RGBA,
         0,
         GL_RGBA,
         {10, 20, 30, 40}},
        {"rgba as rgb",
         PNG_COLOR_TYPE_RGBA,
         8,
         {10, 20, 30, 40, 10, 20, 30, 40},
         GL_RGB,
         0,
         GL_RGB,
         {10, 20, 30}},
        {"grey as rgba", PNG_COLOR_TYPE_GRAY, 8, {50, 50}, GL_RGBA, 0, GL_RGBA, {50, 50, 50, 255}},
        {"grey as alpha", PNG_COLOR_TYPE_GRAY, 8, {50, 50}, GL_ALPHA, 1, GL_ALPHA, {50}},
        {"grey+alpha as alpha",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         8,
         {90, 3, 90, 3},
         GL_ALPHA,
         0,
         GL_ALPHA,
         {90}},
        // Luminance, not the alpha byte.
        {"rgba as alpha",
         PNG_COLOR_TYPE_RGBA,
         8,
         {200, 200, 200, 9, 200, 200, 200, 9},
         GL_ALPHA,
         0,
         GL_ALPHA,
         {200}},
        {"16-bit rgb",
         PNG_COLOR_TYPE_RGB,
         16,
         {0x80, 0x11, 0x40, 0x22, 0x20, 0x33, 0, 0, 0, 0, 0, 0},
         GL_RGB,
         0,
         GL_RGB,
         {0x80, 0x40, 0x20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec s;
        s.width = 2;
        s.color_type = c.color_type;
        s.bit_depth = c.bit_depth;
        xmap_class* f = write(s, {c.row});
        // Caller's buffer with a guard after the picture's bytes.
        const size_t bytes = 2 * c.first_pixel.size();
        std::vector<unsigned char> buf(bytes + 16, 0xEE);
        unsigned char* px = buf.data();
        TEX_image_desc d;
        ASSERT_EQ(TEX_load_png("t.png", f, px, c.wanted, 0, 0, c.follows, d), 1);
        EXPECT_EQ(d.format, int(c.delivered));
        for (size_t k = 0; k < c.first_pixel.size(); ++k) {
            // Alpha is never gamma-corrected, colours are.
            const bool is_alpha = c.delivered == GL_RGBA && k == 3;
            const int want = is_alpha ? c.first_pixel[k] : corrected(c.first_pixel[k]);
            EXPECT_NEAR(buf[k], want, 1) << "byte " << k;
        }
        for (size_t k = bytes; k < buf.size(); ++k)
            ASSERT_EQ(buf[k], 0xEE) << "overrun at " << k;
    }
}

TEST_F(PngTest, SmallDepthsUnpackToBytes)
{
    PngSpec s;
    s.width = 4;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    s.bit_depth = 2;
    // Samples 0, 1, 2, 3 packed high bits first.
    xmap_class* f = write(s, {{0x1B}});
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("t.png", f, owned_, GL_ALPHA, 0, 0, 0, d), 1);
    EXPECT_EQ(owned_[0], 0);
    EXPECT_NEAR(owned_[1], corrected(85), 1);
    EXPECT_NEAR(owned_[2], corrected(170), 1);
    EXPECT_EQ(owned_[3], 255);
}

TEST_F(PngTest, PaletteExpandsToRgb)
{
    PngSpec s;
    s.width = 2;
    s.color_type = PNG_COLOR_TYPE_PALETTE;
    s.bit_depth = 4;
    s.palette = {{255, 0, 0}, {0, 0, 255}};
    xmap_class* f = write(s, {{0x10}}); // indices 1, 0
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("t.png", f, owned_, GL_RGB, 0, 0, 0, d), 1);
    const unsigned char want[6] = {0, 0, 255, 255, 0, 0};
    EXPECT_EQ(std::memcmp(owned_, want, 6), 0);
}

// Transparency from a tRNS chunk only: alpha is kept for GL_RGBA and
// stripped for GL_RGB and GL_ALPHA, never written past the rows.
TEST_F(PngTest, TrnsOnlyTransparency)
{
    PngSpec pal;
    pal.width = 3;
    pal.height = 2;
    pal.color_type = PNG_COLOR_TYPE_PALETTE;
    pal.palette = {{255, 255, 255}, {0, 0, 0}};
    pal.trns_alpha = {0}; // index 0 transparent
    PngSpec rgb;
    rgb.width = 3;
    rgb.height = 2;
    rgb.trns_color = true;
    rgb.trns_value.red = rgb.trns_value.green = rgb.trns_value.blue = 255;
    PngSpec grey;
    grey.width = 3;
    grey.height = 2;
    grey.color_type = PNG_COLOR_TYPE_GRAY;
    grey.trns_color = true;
    grey.trns_value.gray = 255;
    const Rows pal_rows = {{0, 1, 0}, {1, 0, 1}};
    const Rows rgb_rows = {{255, 255, 255, 0, 0, 0, 255, 255, 255},
                           {0, 0, 0, 255, 255, 255, 0, 0, 0}};
    const Rows grey_rows = {{255, 0, 255}, {0, 255, 0}};
    struct Case {
        const char* name;
        const PngSpec* spec;
        const Rows* rows;
        unsigned wanted;
        int follows, bpp;
    } cases[] = {
        {"palette as rgb", &pal, &pal_rows, GL_RGB, 0, 3},
        {"palette as rgb, follows", &pal, &pal_rows, GL_RGB, 1, 3},
        {"palette as alpha", &pal, &pal_rows, GL_ALPHA, 0, 1},
        {"palette as rgba", &pal, &pal_rows, GL_RGBA, 0, 4},
        {"rgb as rgb", &rgb, &rgb_rows, GL_RGB, 0, 3},
        {"rgb as alpha", &rgb, &rgb_rows, GL_ALPHA, 0, 1},
        {"rgb as rgba", &rgb, &rgb_rows, GL_RGBA, 0, 4},
        {"grey as rgb", &grey, &grey_rows, GL_RGB, 0, 3},
        {"grey as alpha", &grey, &grey_rows, GL_ALPHA, 0, 1},
        {"grey as rgba", &grey, &grey_rows, GL_RGBA, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        xmap_class* f = write(*c.spec, *c.rows);
        const size_t bytes = size_t(3 * 2 * c.bpp);
        std::vector<unsigned char> buf(bytes + 32, 0xEE);
        unsigned char* px = buf.data();
        TEX_image_desc d;
        ASSERT_EQ(TEX_load_png("t.png", f, px, c.wanted, 0, 0, c.follows, d), 1);
        EXPECT_EQ(d.format, int(c.wanted));
        for (size_t k = bytes; k < buf.size(); ++k)
            ASSERT_EQ(buf[k], 0xEE) << "overrun at " << k;
        // The top-left pixel (white, transparent) is in block row 1.
        const unsigned char* tl = buf.data() + 3 * c.bpp;
        EXPECT_EQ(tl[0], 255);
        if (c.bpp == 4) {
            EXPECT_EQ(tl[3], 0);
            EXPECT_EQ(tl[4 + 3], 255); // the black one is opaque
        }
        // Also into a block the reader allocates (checked by the sanitizer).
        unsigned char* mine = nullptr;
        xmap_class again(dir_ / "t.png");
        ASSERT_EQ(TEX_load_png("t.png", &again, mine, c.wanted, 0, 0, c.follows, d), 1);
        EXPECT_EQ(std::memcmp(mine, buf.data(), bytes), 0);
        std::free(mine);
    }
}

TEST_F(PngTest, GammaChunkIsHonoured)
{
    PngSpec s;
    s.width = 1;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    s.gamma = 1 / 2.2; // made for a 2.2 display: left alone
    xmap_class* f = write(s, {{100}});
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("t.png", f, owned_, GL_ALPHA, 0, 0, 0, d), 1);
    EXPECT_NEAR(owned_[0], 100, 1);
    std::free(owned_);
    owned_ = nullptr;

    s.gamma = 0; // no chunk: taken as made for 1.8
    f = write(s, {{100}});
    ASSERT_EQ(TEX_load_png("t.png", f, owned_, GL_ALPHA, 0, 0, 0, d), 1);
    EXPECT_NEAR(owned_[0], colr.gamma_table[100], 1);
    EXPECT_GT(owned_[0], 110);
}

TEST_F(PngTest, InterlacedAndRowLength)
{
    PngSpec s;
    s.width = 9;
    s.height = 9;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    s.interlace = true;
    s.gamma = 1 / 2.2;
    Rows rows(9, std::vector<uint8_t>(9));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            rows[y][x] = uint8_t(y * 20 + x);
    xmap_class* f = write(s, rows);
    std::vector<unsigned char> buf(12 * 9 + 8, 0xEE);
    unsigned char* px = buf.data();
    TEX_image_desc d;
    // Interlace handling is asked for once the header is known, so libpng
    // has nothing to warn about.
    TempCwd cwd;
    xer.open(cwd.path() + "Log.txt");
    ASSERT_EQ(TEX_load_png("t.png", f, px, GL_ALPHA, 12, 0, 0, d), 1);
    xer.close();
    EXPECT_EQ(TempDir::read(cwd.path() + "Log.txt"), "");
    EXPECT_EQ(d.pad, 3);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(buf[(8 - y) * 12 + x], rows[y][x]) << y << "," << x;
    for (size_t k = 12 * 8 + 9; k < buf.size(); ++k)
        ASSERT_EQ(buf[k], 0xEE) << k;
}

TEST_F(PngTest, RowLengthBelowWidthRefused)
{
    PngSpec s;
    s.width = 4;
    xmap_class* f = write(s, {std::vector<uint8_t>(12, 1)});
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_png("t.png", f, owned_, GL_RGB, 3, 0, 0, d), 0);
    EXPECT_EQ(owned_, nullptr);
}

TEST_F(PngTest, TooLargeForImageBuffersRefusedFromHeader)
{
    // 4096 x 1025 grey: fits as 12 MB of RGB, not as a 4096 x 2048 RGBA block.
    PngSpec s;
    s.width = 4096;
    s.height = 1025;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    xmap_class* f = write(s, Rows(1025, std::vector<uint8_t>(4096, 9)));
    AlertProbe probe;
    TEX_image_desc d;
    std::vector<unsigned char> buffer(kTexMaxImageBytes, 0xEE);
    unsigned char* px = buffer.data();
    EXPECT_EQ(TEX_load_png("t.png", f, px, GL_RGBA, 0, 1, 0, d), 0);
    EXPECT_EQ(px, buffer.data());
    EXPECT_EQ(buffer[0], 0xEE); // refused before anything was written
    EXPECT_EQ(probe.count(), 0u);
    xmap_class again(dir_ / "t.png");
    EXPECT_EQ(TEX_load_png("t.png", &again, px, GL_RGB, 0, 0, 0, d), 1);
}

// The image budget is about the callers' fixed buffers: a block the reader
// allocates itself may be larger.
TEST_F(PngTest, OwnBlockMayExceedTheImageBuffers)
{
    PngSpec s;
    s.width = 4096;
    s.height = 1025;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    Rows rows(1025, std::vector<uint8_t>(4096, 9));
    rows[0].assign(4096, 200); // the top row
    xmap_class* f = write(s, rows);
    AlertProbe probe;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("t.png", f, owned_, GL_RGBA, 0, 1, 0, d), 1);
    EXPECT_EQ(probe.count(), 0u);
    EXPECT_EQ(d.width, 4096);
    EXPECT_EQ(d.height, 1025);
    EXPECT_EQ(d.pad, 0);
    // 4096 x 2048 RGBA (32 MB): the picture's top row is block row 1024,
    // the rows above it are zero.
    const size_t row = 4096 * 4;
    EXPECT_NEAR(owned_[0], corrected(9), 1);
    EXPECT_EQ(owned_[3], 255);
    EXPECT_NEAR(owned_[1024 * row + 5], corrected(200), 1);
    EXPECT_EQ(owned_[1024 * row + row - 1], 255);
    EXPECT_EQ(owned_[1025 * row + 3], 0);
    EXPECT_EQ(owned_[2048 * row - 1], 0);
}

// Headers with sides far beyond what the 16 MB buffers hold, within the
// libpng limits: refused from the header, before any row is read.
TEST_F(PngTest, HugeSidesRefusedFromHeader)
{
    const texfix::HeaderSidesCase cases[] = {
        {"2^24 square, rgba, powers of two", 1u << 24, 1u << 24, GL_RGBA, 0, 1},
        {"2^24 square, alpha", 1u << 24, 1u << 24, GL_ALPHA, 0, 0},
        {"2^24 wide", 1u << 24, 1, GL_RGB, 0, 0},
        {"2^24 tall", 1, 1u << 24, GL_RGBA, 0, 1},
        {"row length 2^31-1", 1, 1u << 24, GL_ALPHA, 0x7FFFFFFF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = texfix::png_signature_and_header(c.width, c.height) +
                                  texfix::png_chunk("IDAT", "") + texfix::png_chunk("IEND", "");
        AlertProbe probe;
        std::vector<unsigned char> buffer(64, 0xEE);
        unsigned char* px = buffer.data();
        TEX_image_desc d;
        EXPECT_EQ(TEX_load_png("t.png", map_bytes(bytes), px, c.format, c.row_length,
                               c.power_of_two, 0, d),
                  0);
        EXPECT_EQ(px, buffer.data());
        EXPECT_EQ(buffer, std::vector<unsigned char>(64, 0xEE));
        EXPECT_EQ(probe.count(), 0u);
    }
}

// Virtual memory of this process in kB.
long vm_size_kb()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmSize:", 0) == 0) return std::atol(line.c_str() + 7);
    return -1;
}

long vm_at_start_kb = 0;

// A chunk whose length field claims 2 GiB must not make libpng allocate
// that much before it finds the file ends: the reader's limits follow the
// image budget. The first alert is raised while libpng still holds what it
// allocated for the chunk, so the size of the process then shows it.
TEST_F(PngTest, ChunkClaimingTwoGigabytesAllocatesNothingLarge)
{
    TempCwd cwd;
    for (const char* type :
         {"sPLT", "tEXt", "zTXt", "iTXt", "pCAL", "sCAL", "eXIf", "iCCP", "prVt"}) {
        SCOPED_TRACE(type);
        // 42 bytes: a valid 1 x 1 header, then the chunk with one byte of data.
        const std::string bytes = texfix::png_signature_and_header(1, 1) +
                                  texfix::png_chunk(type, "x", 0x7FFFFFFF).substr(0, 9);
        ASSERT_EQ(bytes.size(), 42u);
        xmap_class* f = map_bytes(bytes);
        ChildResult r = run_in_child([f] {
            vm_at_start_kb = vm_size_kb();
            alert_set_watch_hook([](const alert_notice&) {
                std::printf("vm growth %ld kB\n", vm_size_kb() - vm_at_start_kb);
                std::fflush(stdout);
            });
            unsigned char* px = nullptr;
            TEX_image_desc d;
            TEX_load_png("pics/big.png", f, px, GL_RGB, 0, 1, 0, d);
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("PING-FILE ERROR!"), std::string::npos) << r.out;
        const size_t at = r.out.find("vm growth ");
        ASSERT_NE(at, std::string::npos) << r.out;
        EXPECT_LT(std::atol(r.out.c_str() + at + 10), 64 * 1024) << r.out;
    }
}

TEST_F(PngTest, MissingOrShortMappingGivesZeroSilently)
{
    AlertProbe probe;
    unsigned char* px = nullptr;
    TEX_image_desc d;
    xmap_class empty;
    EXPECT_EQ(TEX_load_png("a.png", &empty, px, GL_RGB, 0, 1, 0, d), 0);
    EXPECT_EQ(TEX_load_png("a.png", nullptr, px, GL_RGB, 0, 1, 0, d), 0);
    xmap_class* f = map_bytes(std::string("\x89PNG\r\n\x1a", 7));
    EXPECT_EQ(TEX_load_png("a.png", f, px, GL_RGB, 0, 1, 0, d), 0);
    EXPECT_EQ(px, nullptr);
    EXPECT_EQ(probe.count(), 0u);
}

// Heap bytes in use, by the C library's own count.
long long heap_in_use()
{
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
}

// Each way the reader refuses a file without an alert gives back all it
// held (what libpng allocated, a block of its own) and leaves the caller's
// buffer as it was; the next file decodes as usual.
TEST_F(PngTest, RefusalsGiveEverythingBack)
{
    PngSpec s;
    s.width = 4;
    s.height = 4;
    write(s, Rows(4, std::vector<uint8_t>(12, 200)));
    const std::string good = TempDir::read(dir_ / "t.png");
    // 2^24 x 2^24: a petabyte as RGBA, more than any address space.
    const std::string huge = texfix::png_signature_and_header(1u << 24, 1u << 24) +
                             texfix::png_chunk("IDAT", "") + texfix::png_chunk("IEND", "");
    struct Case {
        const char* name;
        std::string bytes; // empty: no mapping at all
        unsigned format;
        int row_length;
        bool own_block;
    } cases[] = {
        {"no mapping", "", GL_RGB, 0, true},
        {"seven bytes", good.substr(0, 7), GL_RGB, 0, true},
        {"row length below the width", good, GL_RGB, 3, true},
        {"too large for the caller's buffer", huge, GL_RGBA, 0, false},
        {"a block of its own that cannot be had", huge, GL_RGBA, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
#if defined(__SANITIZE_ADDRESS__)
        if (c.own_block && c.bytes == huge) continue; // the sanitizer stops such a calloc
#endif
        std::unique_ptr<xmap_class> file;
        if (!c.bytes.empty()) {
            dir_.write("case.png", c.bytes);
            file.reset(new xmap_class(dir_ / "case.png"));
        }
        std::vector<unsigned char> buffer(64, 0xEE);
        unsigned char* const given = c.own_block ? nullptr : buffer.data();
        auto refuse = [&] {
            if (file) file->cursor = file->start;
            unsigned char* px = given;
            TEX_image_desc d;
            EXPECT_EQ(TEX_load_png("t.png", file.get(), px, c.format, c.row_length, 0, 0, d), 0);
            EXPECT_EQ(px, given);
        };
        AlertProbe probe;
        refuse(); // what a first call sets up may stay
        const long long before = heap_in_use();
        for (int i = 0; i < 4; ++i)
            refuse();
        EXPECT_LE(heap_in_use() - before, 256);
        EXPECT_EQ(probe.count(), 0u);
        EXPECT_EQ(buffer, std::vector<unsigned char>(64, 0xEE));

        xmap_class again(dir_ / "t.png");
        TEX_image_desc d;
        unsigned char* px = nullptr;
        EXPECT_EQ(TEX_load_png("t.png", &again, px, GL_RGB, 0, 0, 0, d), 1);
        std::free(px);
    }
}

TEST_F(PngTest, WarningsGoToTheLog)
{
    // A text chunk with a broken CRC is only warned about.
    PngSpec s;
    s.width = 1;
    write(s, {{1, 2, 3}});
    std::string bytes = TempDir::read(dir_ / "t.png");
    const std::string text_chunk = std::string("\0\0\0\x05tEXtA\0abc", 13);
    const size_t iend = bytes.find("IDAT") - 4;
    bytes.insert(iend, text_chunk + std::string("\0\0\0\0", 4)); // wrong CRC
    xmap_class* f = map_bytes(bytes);

    TempCwd cwd;
    xer.open(cwd.path() + "Log.txt");
    AlertProbe probe;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_png("pics/warn.png", f, owned_, GL_RGB, 0, 0, 0, d), 1);
    xer.close();
    EXPECT_EQ(probe.count(), 0u);
    const std::string log = TempDir::read(cwd.path() + "Log.txt");
    EXPECT_EQ(log.rfind("PNG warning! ", 0), 0u) << log;
    EXPECT_NE(log.find(", pics/warn.png\n"), std::string::npos) << log;
}

TEST_F(PngTest, FatalAlerts)
{
    TempCwd cwd;
    PngSpec s;
    s.width = 4;
    s.height = 4;
    write(s, Rows(4, std::vector<uint8_t>(12, 200)));
    const std::string good = TempDir::read(dir_ / "t.png");
    const std::string sig = good.substr(0, 8);
    // Each alert's source line, then its text, in the order raised.
    struct Case {
        const char* name;
        std::string bytes;
        unsigned format;
        std::vector<const char*> out;
    } cases[] = {
        {"not a png",
         "GIF89a..........",
         GL_RGB,
         {"alert from HLutils/TEX/TEX_png line 55\n", "PING-FILE ERROR!",
          "is_png=!png_sig_cmp(png_io_buf,0,8)"}},
        {"signature only",
         sig,
         GL_RGB,
         {"alert from HLutils/TEX/TEX_png line 13\n", "PNG error!",
          "PNG Read Error, overran end of buffer!", "alert from HLutils/TEX/TEX_png line 63\n",
          "PING-FILE ERROR!", "setjmp(png_ptr->jmpbuf\n"}},
        {"cut inside the image data",
         good.substr(0, good.size() - 20),
         GL_RGB,
         {"alert from HLutils/TEX/TEX_png line 13\n", "PNG error!",
          "alert from HLutils/TEX/TEX_png line 63\n", "PING-FILE ERROR!",
          "setjmp(png_ptr->jmpbuf\n"}},
        {"bgr wanted",
         good,
         GL_BGR,
         {"alert from HLutils/TEX/TEX_png line 112\n", "Illegal bits per pixel"}},
        {"side past the image budget",
         texfix::png_signature_and_header((1u << 24) + 1, 1) + texfix::png_chunk("IDAT", ""),
         GL_ALPHA,
         {"alert from HLutils/TEX/TEX_png line 13\n", "PNG error!", "Invalid IHDR data",
          "alert from HLutils/TEX/TEX_png line 63\n", "PING-FILE ERROR!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        xmap_class* f = map_bytes(c.bytes);
        const unsigned format = c.format;
        ChildResult r = run_in_child([f, format] {
            texfix::print_alert_sources();
            unsigned char* px = nullptr;
            TEX_image_desc d;
            TEX_load_png("pics/bad.png", f, px, format, 0, 1, 0, d);
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        size_t at = 0;
        for (const char* text : c.out) {
            at = r.out.find(text, at);
            EXPECT_NE(at, std::string::npos) << text << "\n" << r.out;
            if (at == std::string::npos) break;
        }
        if (c.format != GL_BGR) { // every alert but the format one names the file
            EXPECT_NE(r.out.find("pics/bad.png"), std::string::npos) << r.out;
        }
    }
}

} // namespace
