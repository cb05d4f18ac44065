// The box filter, the row flip and the DXT block routines.
#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "TEX/TEX_utils.h"
#include "support/alert_probe.h"
#include "tex_fixtures.h"

namespace
{

TEX_image_desc make_desc(int format, int w, int h, int pad = 0, int mips = 0)
{
    TEX_image_desc d;
    d.format = format;
    d.width = w;
    d.height = h;
    d.pad = pad;
    d.has_mips = mips;
    return d;
}

// Restores the colour table's gamma switch after a test.
struct GammaSwitch {
    explicit GammaSwitch(int on) : saved(colr.gamma_needed) { colr.gamma_needed = on; }
    ~GammaSwitch() { colr.gamma_needed = saved; }
    int saved;
};

// [SECTION] Box filter

TEST(TexDownscale, Table)
{
    struct Case {
        const char* name;
        int format, w, h, pad, fx, fy;
        std::vector<uint8_t> in, out;
        int new_w, new_h;
    } cases[] = {
        {"2x2 of rgb, truncated mean",
         GL_RGB,
         4,
         2,
         0,
         2,
         2,
         {255, 0, 0, 255, 0, 0, 9, 9, 9, 9, 9, 9, 255, 0, 0, 254, 0, 0, 9, 9, 9, 9, 9, 9},
         {254, 0, 0, 9, 9, 9},
         2,
         1},
        // Divides by the pixels summed: three pixels of 200 give 200.
        {"factor 3 gives the true mean", GL_ALPHA, 3, 1, 0, 3, 1, {200, 200, 200}, {200}, 1, 1},
        {"factors 3 and 1 over two cells",
         GL_ALPHA,
         6,
         1,
         0,
         3,
         1,
         {1, 2, 3, 10, 20, 33},
         {2, 21},
         2,
         1},
        {"factor 1 leaves it",
         GL_RGBA,
         2,
         1,
         0,
         1,
         1,
         {1, 2, 3, 4, 5, 6, 7, 8},
         {1, 2, 3, 4, 5, 6, 7, 8},
         2,
         1},
        {"rgba 2x1",
         GL_RGBA,
         2,
         1,
         0,
         2,
         1,
         {10, 20, 30, 255, 20, 40, 60, 0},
         {15, 30, 45, 127},
         1,
         1},
        {"padded rows",
         GL_ALPHA,
         2,
         2,
         2,
         2,
         2,
         {4, 8, 0xEE, 0xEE, 12, 16, 0xEE, 0xEE},
         {10},
         1,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TEX_image_desc d = make_desc(c.format, c.w, c.h, c.pad);
        std::vector<uint8_t> px = c.in;
        TEX_downscale(d, px.data(), c.fx, c.fy);
        EXPECT_EQ(d.width, c.new_w);
        EXPECT_EQ(d.height, c.new_h);
        EXPECT_EQ(d.format, c.format);
        EXPECT_EQ(d.pad, c.pad);
        EXPECT_EQ(std::vector<uint8_t>(px.begin(), px.begin() + c.out.size()), c.out);
    }
}

TEST(TexDownscale, LargeCellDoesNotOverflow)
{
    // One cell of 4096 x 4096 white pixels sums past the int range.
    std::vector<uint8_t> px(4096 * 4096, 255);
    TEX_image_desc d = make_desc(GL_ALPHA, 4096, 4096);
    TEX_downscale(d, px.data(), 4096, 4096);
    EXPECT_EQ(d.width, 1);
    EXPECT_EQ(d.height, 1);
    EXPECT_EQ(px[0], 255);
}

TEST(TexDownscale, PaddedRowsKeepTheirPad)
{
    // 4x2 RGB with pad 2 by 2x1: new rows are 6 + 2 bytes apart.
    std::vector<uint8_t> px = {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40, 0, 0,
                               50, 50, 50, 60, 60, 60, 70, 70, 70, 80, 80, 80, 0, 0};
    TEX_image_desc d = make_desc(GL_RGB, 4, 2, 2);
    TEX_downscale(d, px.data(), 2, 1);
    const uint8_t want[] = {15, 15, 15, 35, 35, 35};
    EXPECT_EQ(std::memcmp(px.data(), want, 6), 0);
    EXPECT_EQ(std::memcmp(px.data() + 8, std::vector<uint8_t>{55, 55, 55, 75, 75, 75}.data(), 6),
              0);
}

// [SECTION] Row flip, uncompressed

TEST(TexFlip, UncompressedRows)
{
    struct Case {
        int format, bpp, w, h, pad;
    } cases[] = {
        {GL_RGB, 3, 2, 5, 0}, {GL_RGBA, 4, 3, 4, 0}, {GL_ALPHA, 1, 3, 3, 1},
        {GL_BGR, 3, 1, 2, 2}, {GL_BGRA, 4, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const int row = c.w * c.bpp + c.pad;
        std::vector<uint8_t> px(row * c.h);
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = uint8_t(i / row * 16 + i % row);
        std::vector<uint8_t> orig = px;
        EXPECT_EQ(TEX_flip_y(make_desc(c.format, c.w, c.h, c.pad), px.data()), 0);
        for (int y = 0; y < c.h; ++y)
            EXPECT_EQ(std::memcmp(px.data() + y * row, orig.data() + (c.h - 1 - y) * row, row), 0)
                << "row " << y;
    }
}

TEST(TexFlip, UncompressedMipLevels)
{
    // 4x2 RGBA with mips: 4x2, 2x1, 1x1.
    std::vector<uint8_t> px(32 + 8 + 4);
    std::iota(px.begin(), px.end(), 0);
    std::vector<uint8_t> orig = px;
    TEX_flip_y(make_desc(GL_RGBA, 4, 2, 0, 1), px.data());
    EXPECT_EQ(std::memcmp(px.data(), orig.data() + 16, 16), 0);
    EXPECT_EQ(std::memcmp(px.data() + 16, orig.data(), 16), 0);
    EXPECT_EQ(std::memcmp(px.data() + 32, orig.data() + 32, 12), 0);
}

// [SECTION] DXT blocks

DXTColBlock col_block(uint16_t c0, uint16_t c1, uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3)
{
    DXTColBlock b;
    b.col0 = c0;
    b.col1 = c1;
    b.row[0] = r0;
    b.row[1] = r1;
    b.row[2] = r2;
    b.row[3] = r3;
    return b;
}

TEST(TexDxt, Dxt1BlockFlipAndFinding)
{
    GammaSwitch off(0);
    struct Case {
        const char* name;
        uint16_t c0, c1;
        uint8_t rows[4];
        int found_in, found_out;
    } cases[] = {
        {"four colour uses 3", 0xF800, 0x001F, {0xFF, 0, 0, 0}, 0, 0},
        {"three colour uses 3", 0x001F, 0xF800, {0x03, 0, 0, 0}, 0, 1},
        {"three colour without 3", 0x001F, 0xF800, {0x12, 0x21, 0, 0}, 0, 0},
        {"equal endpoints use 3", 0x1234, 0x1234, {0, 0, 0, 0xC0}, 0, 1},
        {"finding passed on", 0xF800, 0x001F, {0, 0, 0, 0}, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DXTColBlock b = col_block(c.c0, c.c1, c.rows[0], c.rows[1], c.rows[2], c.rows[3]);
        EXPECT_EQ(nv_flip_blocks_dxtc1(&b, 1, c.found_in), c.found_out);
        EXPECT_EQ(b.col0, c.c0); // no gamma: endpoints untouched
        EXPECT_EQ(b.col1, c.c1);
        EXPECT_EQ(b.row[0], c.rows[3]);
        EXPECT_EQ(b.row[1], c.rows[2]);
        EXPECT_EQ(b.row[2], c.rows[1]);
        EXPECT_EQ(b.row[3], c.rows[0]);
    }
}

TEST(TexDxt, Dxt3AndDxt5Blocks)
{
    GammaSwitch off(0);
    // DXT3: four 16-bit alpha rows then a colour block.
    uint8_t d3[16] = {0x01, 0x10, 0x02, 0x20, 0x03, 0x30, 0x04, 0x40,
                      0x00, 0xF8, 0x1F, 0x00, 0xA,  0xB,  0xC,  0xD};
    EXPECT_EQ(nv_flip_blocks_dxtc3(reinterpret_cast<DXTColBlock*>(d3), 1, 0), 0);
    const uint8_t w3[16] = {0x04, 0x40, 0x03, 0x30, 0x02, 0x20, 0x01, 0x10,
                            0x00, 0xF8, 0x1F, 0x00, 0xD,  0xC,  0xB,  0xA};
    EXPECT_EQ(std::memcmp(d3, w3, 16), 0);

    // DXT5: alpha rows 0..3 are 12-bit groups 0xAAA, 0xBBB, 0xCCC, 0xDDD.
    uint8_t d5[16] = {7, 9, 0xAA, 0xBA, 0xBB, 0xCC, 0xDC, 0xDD, 0x00, 0xF8, 0x1F, 0x00, 1, 2, 3, 4};
    EXPECT_EQ(nv_flip_blocks_dxtc5(reinterpret_cast<DXTColBlock*>(d5), 1, 0), 0);
    const uint8_t w5[16] = {7,    9,    0xDD, 0xCD, 0xCC, 0xBB, 0xAB, 0xAA,
                            0x00, 0xF8, 0x1F, 0x00, 4,    3,    2,    1};
    EXPECT_EQ(std::memcmp(d5, w5, 16), 0);
}

TEST(TexDxt, AlphaRowsKeepTexelOrder)
{
    DXT5AlphaBlock b{1, 2, {0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB}};
    // Rows: 0x321, 0x654, 0x987, 0xCBA -> 0xCBA, 0x987, 0x654, 0x321.
    nv_flip_dxt5_alpha(&b);
    const uint8_t want[6] = {0xBA, 0x7C, 0x98, 0x54, 0x16, 0x32};
    EXPECT_EQ(std::memcmp(b.stuff, want, 6), 0);
    EXPECT_EQ(b.alpha0, 1);
    EXPECT_EQ(b.alpha1, 2);
}

uint16_t gamma565(uint16_t c)
{
    const int r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
    const int r = colr.gamma_table[r5 * 8 + r5 / 4], g = colr.gamma_table[g6 * 4 + g6 / 16],
              b = colr.gamma_table[b5 * 8 + b5 / 4];
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

TEST(TexDxt, GammaKeepsMode)
{
    GammaSwitch on(1);
    struct Case {
        const char* name;
        uint16_t c0, c1;
        uint8_t row;
        uint16_t want0, want1;
        uint8_t want_row;
    } cases[] = {
        // Ordinary four-colour block: endpoints corrected, indices kept.
        {"four colour", 0x8410, 0x2104, 0xE4, gamma565(0x8410), gamma565(0x2104), 0xE4},
        // Reds 31 and 30 come out equal: col0 one green step up.
        {"equal after", 0xF800, 0xF000, 0xE4, uint16_t(gamma565(0xF800) + 0x20), gamma565(0xF800),
         uint8_t(0xE4 ^ 0x55)},
        // White and one green step below white come out equal: col1 loses a step.
        {"white", 0xFFFF, 0xFFDF, 0x1B, 0xFFFF, 0xFFDF, uint8_t(0x1B ^ 0x55)},
        // Three-colour block stays three-colour.
        {"three colour", 0x2104, 0x8410, 0xE4, gamma565(0x2104), gamma565(0x8410), 0xE4},
    };
    ASSERT_EQ(gamma565(0xF800), gamma565(0xF000));
    ASSERT_EQ(gamma565(0xFFFF), gamma565(0xFFDF));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DXTColBlock b = col_block(c.c0, c.c1, c.row, c.row, c.row, c.row);
        nv_gamma_correct(&b);
        EXPECT_EQ(b.col0, c.want0);
        EXPECT_EQ(b.col1, c.want1);
        EXPECT_EQ(b.row[0], c.want_row);
        EXPECT_EQ(b.col0 > b.col1, c.c0 > c.c1) << "mode changed";
    }
}

TEST(TexDxt, GammaSwapRemapsIndices)
{
    // Find a three-colour pair whose corrected endpoints cross over.
    GammaSwitch on(1);
    bool seen = false;
    for (int c0 = 0; c0 < 0x10000 && !seen; c0 += 97) {
        for (int c1 = c0; c1 < 0x10000 && !seen; c1 += 331) {
            if (gamma565(uint16_t(c0)) <= gamma565(uint16_t(c1))) continue;
            DXTColBlock b = col_block(uint16_t(c0), uint16_t(c1), 0xE4, 0, 0, 0); // 0,1,2,3
            nv_gamma_correct(&b);
            EXPECT_EQ(b.col0, gamma565(uint16_t(c1)));
            EXPECT_EQ(b.col1, gamma565(uint16_t(c0)));
            EXPECT_LE(b.col0, b.col1);
            EXPECT_EQ(b.row[0], 0xE1); // 3,2,0,1: indices 0 and 1 exchanged
            seen = true;
        }
    }
    EXPECT_TRUE(seen);
}

TEST(TexFlip, Dxt5MipChain)
{
    GammaSwitch off(0);
    TEX_image_desc d = make_desc(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 256, 256, 0, 1);
    const int bytes = TEX_bytes_needed_for_image(d);
    ASSERT_EQ(bytes, 87408);
    std::vector<uint8_t> px(bytes);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = uint8_t(i * 131 + (i >> 8));
    std::vector<uint8_t> orig = px;
    EXPECT_EQ(TEX_flip_y(d, px.data()), 0);
    // First level: block row 0 now holds the flipped blocks of block row 63.
    const size_t row = 64 * 16;
    uint8_t blk[16];
    std::memcpy(blk, orig.data() + 63 * row, 16);
    nv_flip_blocks_dxtc5(reinterpret_cast<DXTColBlock*>(blk), 1, 0);
    EXPECT_EQ(std::memcmp(px.data(), blk, 16), 0);
    // The 4x4 level (one block row) is flipped inside its block; the 2x2
    // and 1x1 levels stay as stored.
    const size_t at4 = bytes - 48;
    std::memcpy(blk, orig.data() + at4, 16);
    nv_flip_blocks_dxtc5(reinterpret_cast<DXTColBlock*>(blk), 1, 0);
    EXPECT_EQ(std::memcmp(px.data() + at4, blk, 16), 0);
    EXPECT_EQ(std::memcmp(px.data() + bytes - 32, orig.data() + bytes - 32, 32), 0);
}

TEST(TexFlip, Dxt1ReportsOneBitAlpha)
{
    GammaSwitch off(0);
    // 8x12: 2 blocks a row, 3 block rows; only the middle row's second block
    // is transparent.
    std::vector<DXTColBlock> blocks(6, col_block(0xF800, 0x001F, 0xFF, 0xFF, 0xFF, 0xFF));
    EXPECT_EQ(TEX_flip_y(make_desc(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 12),
                         reinterpret_cast<unsigned char*>(blocks.data())),
              0);
    blocks[3] = col_block(0x001F, 0xF800, 0, 0x0C, 0, 0);
    EXPECT_NE(TEX_flip_y(make_desc(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 12),
                         reinterpret_cast<unsigned char*>(blocks.data())),
              0);
    EXPECT_EQ(blocks[3].row[2], 0x0C); // the middle row flipped in place
}

TEST(TexFlip, Dxt1BlockRowsExchange)
{
    GammaSwitch off(0);
    // 4x8: two block rows of one block.
    DXTColBlock b[2] = {col_block(1, 2, 1, 2, 3, 4), col_block(5, 6, 5, 6, 7, 8)};
    TEX_flip_y(make_desc(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 4, 8),
               reinterpret_cast<unsigned char*>(b));
    EXPECT_EQ(b[0].col0, 5);
    EXPECT_EQ(b[0].row[0], 8);
    EXPECT_EQ(b[1].col0, 1);
    EXPECT_EQ(b[1].row[0], 4);
}

// Levels whose sides are not multiples of 4: every stored block of a block
// row moves with it (a partly used block column included); levels under 4
// pixels high hold no whole block row and stay as stored.
TEST(TexFlip, Dxt1PartialBlocks)
{
    GammaSwitch off(0);
    struct Case {
        const char* name;
        int w, h;
        int per_row, rows; // blocks as stored
        bool moves;
    } cases[] = {
        {"6x8: two columns, one partly used", 6, 8, 2, 2, true},
        {"2x8: thin level", 2, 8, 1, 2, true},
        {"13x4: one block row", 13, 4, 4, 1, true},
        {"8x2: under a block high", 8, 2, 2, 1, false},
        {"1x1", 1, 1, 1, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TEX_image_desc d = make_desc(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, c.w, c.h);
        ASSERT_EQ(TEX_bytes_needed_for_image(d), c.per_row * c.rows * 8);
        std::vector<DXTColBlock> blocks;
        for (int i = 0; i < c.per_row * c.rows; ++i)
            blocks.push_back(col_block(uint16_t(0x8000 + i), 1, uint8_t(i), 1, 2, uint8_t(3 + i)));
        const std::vector<DXTColBlock> orig = blocks;
        TEX_flip_y(d, reinterpret_cast<unsigned char*>(blocks.data()));
        for (int r = 0; r < c.rows; ++r) {
            for (int x = 0; x < c.per_row; ++x) {
                const DXTColBlock& got = blocks[r * c.per_row + x];
                if (!c.moves) {
                    EXPECT_EQ(std::memcmp(&got, &orig[r * c.per_row + x], 8), 0);
                    continue;
                }
                DXTColBlock want = orig[(c.rows - 1 - r) * c.per_row + x];
                nv_flip_blocks_dxtc1(&want, 1, 0);
                EXPECT_EQ(std::memcmp(&got, &want, 8), 0) << "block row " << r << " column " << x;
            }
        }
    }
}

TEST(TexFlip, IllegalFormatIsFatal)
{
    TempCwd cwd;
    ChildResult r = run_in_child([] {
        texfix::print_alert_sources();
        unsigned char px[16] = {};
        TEX_flip_y(make_desc(GL_DEPTH_COMPONENT, 2, 2), px);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("alert from HLutils/TEX/TEX_utils line 437\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Illegal format!"), std::string::npos) << r.out;
}

} // namespace
