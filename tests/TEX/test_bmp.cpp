// The BMP reader.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bmp.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "tex_fixtures.h"

namespace
{

using texfix::BmpSpec;
using texfix::make_bmp;
using Rows = std::vector<std::vector<uint8_t>>;

// Bottom row (B,G,R each pixel): (10,20,30) (40,50,60) (70,80,90);
// top row: magenta, (30,60,91), (0,0,0).
const Rows kRows3x2 = {
    {10, 20, 30, 40, 50, 60, 70, 80, 90},
    {255, 0, 255, 91, 60, 30, 0, 0, 0},
};

class BmpTest : public texfix::ReaderTest
{
  protected:
    xmap_class* map(const std::string& bytes) { return map_file("t.bmp", bytes); }
};

TEST_F(BmpTest, RgbRowsWithGamma)
{
    BmpSpec s;
    s.width = 3;
    s.height = 2;
    xmap_class* f = map(make_bmp(s, kRows3x2));
    f->swap = 1; // the reader clears it
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_bmp("t.bmp", f, owned_, GL_RGB, 0, 0, d), 1);
    EXPECT_EQ(f->swap, 0);
    EXPECT_EQ(d.width, 3);
    EXPECT_EQ(d.height, 2);
    EXPECT_EQ(d.format, GL_RGB);
    EXPECT_EQ(d.pad, 0);
    EXPECT_EQ(d.has_mips, 0);
    const unsigned char* g = colr.gamma_table;
    // Output rows of 9 bytes, the bottom row first, R G B.
    const unsigned char want[18] = {g[30], g[20], g[10], g[60], g[50], g[40], g[90], g[80], g[70],
                                    255,   0,     255,   g[30], g[60], g[91], 0,     0,     0};
    EXPECT_EQ(std::memcmp(owned_, want, sizeof(want)), 0);
}

TEST_F(BmpTest, ConversionTable)
{
    // One pixel per case, read into a caller buffer.
    struct Case {
        const char* name;
        uint8_t b, g, r;
        unsigned format;
        int gamma_needed;
        std::vector<uint8_t> out;
    } cases[] = {
        {"alpha is the mean", 91, 60, 30, GL_ALPHA, 1, {60}},
        {"alpha has no gamma", 0, 0, 100, GL_ALPHA, 1, {33}},
        {"magenta as rgb", 255, 0, 255, GL_RGB, 1, {255, 0, 255}},
        {"magenta as rgba", 255, 0, 255, GL_RGBA, 1, {0, 0, 0, 0}},
        {"near magenta as rgba", 254, 0, 255, GL_RGBA, 0, {255, 0, 254, 255}},
        {"rgba opaque", 1, 64, 128, GL_RGBA, 1, {145, 82, 3, 255}},
        {"gamma off", 1, 64, 128, GL_RGB, 0, {128, 64, 1}},
    };
    const int saved = colr.gamma_needed;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        colr.gamma_needed = c.gamma_needed;
        BmpSpec s;
        xmap_class* f = map(make_bmp(s, {{c.b, c.g, c.r}}));
        unsigned char buf[8];
        std::memset(buf, 0xEE, sizeof(buf));
        unsigned char* px = buf;
        TEX_image_desc d;
        ASSERT_EQ(TEX_load_bmp("t.bmp", f, px, c.format, 0, 0, d), 1);
        EXPECT_EQ(px, buf);
        EXPECT_EQ(std::vector<uint8_t>(buf, buf + c.out.size()), c.out);
        EXPECT_EQ(buf[c.out.size()], 0xEE); // nothing past the pixel
    }
    colr.gamma_needed = saved;
}

TEST_F(BmpTest, PowerOfTwoPadsWithZeros)
{
    BmpSpec s;
    s.width = 3;
    s.height = 2;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_bmp("t.bmp", map(make_bmp(s, kRows3x2)), owned_, GL_RGBA, 0, 1, d), 1);
    EXPECT_EQ(d.width, 3);
    EXPECT_EQ(d.pad, 4);
    // 4x2 block: the fourth column of each row is zero.
    for (int y = 0; y < 2; ++y)
        for (int k = 12; k < 16; ++k)
            EXPECT_EQ(owned_[y * 16 + k], 0) << y << " " << k;
    EXPECT_EQ(owned_[3], 255);                       // bottom-left alpha
    EXPECT_EQ(owned_[16 + 3], 0);                    // top-left magenta is transparent
    EXPECT_EQ(owned_[16 + 4], colr.gamma_table[30]); // (30, 60, 91) -> red first
}

TEST_F(BmpTest, PowerOfTwoZeroesRowsAbove)
{
    BmpSpec s;
    s.width = 2;
    s.height = 3;
    Rows rows = {{1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2}, {3, 3, 3, 3, 3, 3}};
    std::vector<unsigned char> buf(2 * 4 * 3, 0xEE);
    unsigned char* px = buf.data();
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_bmp("t.bmp", map(make_bmp(s, rows)), px, GL_RGB, 0, 1, d), 1);
    EXPECT_EQ(d.pad, 0);
    for (int k = 18; k < 24; ++k)
        EXPECT_EQ(buf[k], 0) << k; // fourth row
}

TEST_F(BmpTest, RowLengthGivesPad)
{
    BmpSpec s;
    s.width = 3;
    s.height = 2;
    std::vector<unsigned char> buf(2 * 5 * 3, 0xEE);
    unsigned char* px = buf.data();
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_bmp("t.bmp", map(make_bmp(s, kRows3x2)), px, GL_RGB, 5, 0, d), 1);
    EXPECT_EQ(d.pad, 6);
    EXPECT_EQ(buf[15], 255); // second row starts 15 bytes in
    EXPECT_EQ(buf[9], 0xEE); // the pad is skipped, not written
}

// Files that cannot be read correctly give 0 without reading past the
// mapping or writing past the block.
TEST_F(BmpTest, RefusedFiles)
{
    BmpSpec ok;
    ok.width = 3;
    ok.height = 2;
    const std::string good = make_bmp(ok, kRows3x2);
    BmpSpec far_off = ok;
    far_off.data_offset = 4000;
    BmpSpec neg = ok;
    neg.height = -2;
    BmpSpec wide = ok;
    wide.width = 0x40000000;
    struct Case {
        const char* name;
        std::string bytes;
        int row_length;
    } cases[] = {
        {"last row cut by one byte", good.substr(0, good.size() - 4), 0},
        {"header only", good.substr(0, 54), 0},
        {"pixel offset past the end", make_bmp(far_off, {}), 0},
        {"top-down rows", make_bmp(neg, kRows3x2), 0},
        {"huge width", make_bmp(wide, kRows3x2), 0},
        {"row length below width", good, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned char* px = nullptr;
        TEX_image_desc d;
        EXPECT_EQ(TEX_load_bmp("t.bmp", map(c.bytes), px, GL_RGB, c.row_length, 0, d), 0);
        EXPECT_EQ(px, nullptr);
    }
    unsigned char* px = nullptr;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_bmp("t.bmp", map(good.substr(0, good.size() - 3)), px, GL_RGB, 0, 0, d), 1)
        << "the last row's padding need not be there";
    std::free(px);
}

TEST_F(BmpTest, TooLargeForImageBuffersRefusedFromHeader)
{
    // 2900 x 1500: fits as plain RGB (13 MB), not as a 4096 x 2048 RGBA block.
    BmpSpec s;
    s.width = 2900;
    s.height = 1500;
    Rows rows(1500, std::vector<uint8_t>(2900 * 3, 7));
    xmap_class* f = map(make_bmp(s, rows));
    TEX_image_desc d;
    std::vector<unsigned char> buffer(kTexMaxImageBytes, 0xEE);
    unsigned char* px = buffer.data();
    EXPECT_EQ(TEX_load_bmp("t.bmp", f, px, GL_RGBA, 0, 1, d), 0);
    EXPECT_EQ(px, buffer.data());
    EXPECT_EQ(buffer[0], 0xEE); // refused before anything was written
    EXPECT_EQ(TEX_load_bmp("t.bmp", f, px, GL_RGB, 0, 0, d), 1);
    // Without a caller buffer the block is the reader's own, of any size.
    ASSERT_EQ(TEX_load_bmp("t.bmp", f, owned_, GL_RGBA, 0, 1, d), 1);
    EXPECT_EQ(d.pad, 4 * (4096 - 2900));
    const unsigned char* top = owned_ + size_t(1499) * 4096 * 4;
    EXPECT_EQ(top[3], 255);                            // last picture row, alpha
    EXPECT_EQ(top[2900 * 4 + 3], 0);                   // its padding column
    EXPECT_EQ(owned_[size_t(1500) * 4096 * 4 + 3], 0); // first padding row
}

// Headers whose sides overflow any 64-bit size product: every side is held
// to the image budget before it is multiplied, so neither the block nor the
// source rows can wrap around and seem to fit. Nothing is read or written.
TEST_F(BmpTest, OverflowingSidesRefusedBeforeAnyRead)
{
    const texfix::HeaderSidesCase cases[] = {
        {"2^31-1 square, rgba, powers of two", 0x7FFFFFFF, 0x7FFFFFFF, GL_RGBA, 0, 1},
        {"2^31-1 square, rgb", 0x7FFFFFFF, 0x7FFFFFFF, GL_RGB, 0, 0},
        {"2^31-1 square, rgba", 0x7FFFFFFF, 0x7FFFFFFF, GL_RGBA, 0, 0},
        {"2^31-1 square, alpha", 0x7FFFFFFF, 0x7FFFFFFF, GL_ALPHA, 0, 0},
        {"block of exactly 2^63", 0x40000001, 0x40000000, GL_RGBA, 0, 1},
        {"row length 2^31-1", 1, 0x7FFFFFFF, GL_RGBA, 0x7FFFFFFF, 0},
        {"one side past the budget", (16 << 20) + 1, 1, GL_ALPHA, 0, 0},
        {"tall side past the budget", 1, (16 << 20) + 1, GL_ALPHA, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BmpSpec s;
        s.width = int(c.width);
        s.height = int(c.height);
        // The header and a few pixels: every row past the first lies beyond.
        const std::string bytes = make_bmp(s, {{1, 2, 3, 4, 5, 6, 7, 8, 9}});
        std::vector<unsigned char> buffer(64, 0xEE);
        unsigned char* px = buffer.data();
        TEX_image_desc d;
        EXPECT_EQ(TEX_load_bmp("t.bmp", map(bytes), px, c.format, c.row_length, c.power_of_two, d),
                  0);
        EXPECT_EQ(px, buffer.data());
        EXPECT_EQ(buffer, std::vector<unsigned char>(64, 0xEE));
        unsigned char* none = nullptr;
        EXPECT_EQ(
            TEX_load_bmp("t.bmp", map(bytes), none, c.format, c.row_length, c.power_of_two, d), 0);
        EXPECT_EQ(none, nullptr);
    }
}

TEST(BmpNoFile, EmptyReaderGivesZero)
{
    xmap_class empty;
    unsigned char* px = nullptr;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_bmp("none.bmp", &empty, px, GL_RGB, 0, 1, d), 0);
    EXPECT_EQ(TEX_load_bmp("none.bmp", nullptr, px, GL_RGB, 0, 1, d), 0);
}

TEST_F(BmpTest, FatalAlerts)
{
    TempCwd cwd; // the alert writes MemoryLog.txt
    BmpSpec s32;
    s32.bits = 32;
    BmpSpec s8;
    s8.bits = 8;
    BmpSpec rle;
    rle.compression = 1;
    BmpSpec ok;
    const std::string good = make_bmp(ok, {{1, 2, 3}});
    struct Case {
        const char* name;
        std::string bytes;
        unsigned format;
        const char* line1;
        const char* source;
    } cases[] = {
        {"32-bit", make_bmp(s32, {{1, 2, 3, 4}}), GL_RGB, "Wrong bitmap color depth for texture!",
         "HLutils/TEX/TEX_bmp line 48"},
        {"8-bit", make_bmp(s8, {{1}}), GL_RGB, "Wrong bitmap color depth for texture!",
         "HLutils/TEX/TEX_bmp line 48"},
        {"ends inside info header", good.substr(0, 27), GL_RGB,
         "Wrong bitmap color depth for texture!", "HLutils/TEX/TEX_bmp line 48"},
        {"rle", make_bmp(rle, {{1, 2, 3}}), GL_RGB, "Bitmap is compressed!",
         "HLutils/TEX/TEX_bmp line 49"},
        {"bgr wanted", good, GL_BGR, "Illegal desired format for bmp.",
         "HLutils/TEX/TEX_bmp line 27"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        xmap_class* f = map(c.bytes);
        const unsigned format = c.format;
        ChildResult r = run_in_child([f, format] {
            texfix::print_alert_sources();
            unsigned char* px = nullptr;
            TEX_image_desc d;
            TEX_load_bmp("pics/t.bmp", f, px, format, 0, 1, d);
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(std::string("alert from ") + c.source + "\n"), std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find(c.line1), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("pics/t.bmp"), std::string::npos) << r.out;
    }
}

} // namespace
