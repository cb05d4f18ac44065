// The image descriptor's byte count and the DDS reader.
#include <memory>

#include <gtest/gtest.h>

#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_dds.h"
#include "support/temp_dir.h"
#include "tex_fixtures.h"

namespace
{

using texfix::DdsHeader;
using texfix::make_dds;

TEST(TexBytes, Table)
{
    struct Case {
        int format, width, height, pad, has_mips, bytes;
    } cases[] = {
        {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 256, 256, 0, 1, 87408},
        {GL_RGBA, 8, 2, 0, 1, 92}, // 8x2, 4x1, 2x1, 1x1
        {GL_RGB, 4, 4, 1, 0, 52},
        {0, 64, 64, 0, 0, 0},
        {0x1234, 64, 64, 0, 1, 0},
        {GL_ALPHA, 3, 5, 0, 0, 15},
        {GL_BGR, 2, 2, 2, 0, 16},
        {GL_BGRA, 1, 1, 0, 1, 4},
        {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 4, 0, 0, 8},
        {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 5, 5, 0, 0, 32}, // 2x2 blocks
        {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 1, 1, 0, 0, 16},
        {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 2, 0, 1, 16 + 8 + 8 + 8}, // 8x2,4x1,2x1,1x1
        {GL_RGBA, 0, 4, 0, 1, 0}, // empty side: no endless halving
        // Counts an int cannot hold give 0, computed without overflow.
        {GL_RGBA, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0, 0},
        {GL_RGB, 0x7FFFFFFF, 1, 0x7FFFFFFF, 0, 0},
        {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0x7FFFFFFF, 0x7FFFFFFF, 0, 1, 0},
        {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 0x7FFFFFFF, 4, 0, 0, 0},
        {GL_BGRA, 32768, 32768, 0, 1, 0},            // 5.7 GB with its levels
        {GL_BGRA, 16384, 16384, 0, 1, 1431655764},   // the largest side a DDS may have
        {GL_ALPHA, 1, 1, 0x7FFFFFFE, 0, 0x7FFFFFFF}, // the largest count
        {GL_BGRA, 16384, 16384, 0, 0, 1 << 30},
        {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 16384, 16384, 0, 1, 178956984},
    };
    for (const Case& c : cases) {
        TEX_image_desc d;
        d.format = c.format;
        d.width = c.width;
        d.height = c.height;
        d.pad = c.pad;
        d.has_mips = c.has_mips;
        EXPECT_EQ(TEX_bytes_needed_for_image(d), c.bytes)
            << std::hex << c.format << std::dec << " " << c.width << "x" << c.height;
    }
}

class DdsTest : public texfix::ReaderTest
{
  protected:
    // Writes the bytes and reads them back through the reader.
    int load(const std::string& bytes, TEX_image_desc& desc, unsigned char*& pixels)
    {
        return TEX_load_dds("t.dds", map_file("t.dds", bytes), pixels, desc);
    }
};

TEST_F(DdsTest, HeaderCases)
{
    struct Case {
        const char* name;
        uint32_t pf_flags;
        const char* fourcc;
        uint32_t flags, caps;
        int result, format, has_mips;
    } cases[] = {
        {"dxt1", 0x4, "DXT1", 0, 0, 1, GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 0},
        {"dxt3", 0x4, "DXT3", 0, 0, 1, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0},
        {"dxt5 mips", 0x4, "DXT5", texfix::kDdsMipCount, texfix::kDdsCapsMip, 1,
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 1},
        {"count flag only", 0x4, "DXT5", texfix::kDdsMipCount, 0, 1,
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0},
        {"caps flag only", 0x4, "DXT5", 0, texfix::kDdsCapsMip, 1, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         0},
        {"code and rgb alpha", 0x4 | 0x40 | 0x1, "DXT1", 0, 0, 1, GL_BGRA, 0},
        {"rgb", 0x40, nullptr, 0, 0, 1, GL_BGR, 0},
        {"rgb alpha", 0x41, nullptr, 0, 0, 1, GL_BGRA, 0},
        {"other code", 0x4, "ATI2", 0, 0, 0, 0, -1},
        {"neither", 0x1, "DXT1", 0, 0, 0, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DdsHeader h;
        h.width = 8;
        h.height = 8;
        h.pf_flags = c.pf_flags;
        h.fourcc = c.fourcc;
        h.flags |= c.flags;
        h.caps |= c.caps;
        // Enough data for any format with all levels.
        TEX_image_desc desc;
        desc.format = 77;
        unsigned char* pixels = nullptr;
        ASSERT_EQ(load(make_dds(h, 8 * 8 * 4 * 2), desc, pixels), c.result);
        EXPECT_EQ(desc.format, c.format);
        if (c.result) {
            EXPECT_EQ(desc.width, 8);
            EXPECT_EQ(desc.height, 8);
            EXPECT_EQ(desc.pad, 0);
            EXPECT_EQ(desc.has_mips, c.has_mips);
            EXPECT_EQ(pixels, reinterpret_cast<const unsigned char*>(map_->start) + 128);
        } else {
            EXPECT_EQ(pixels, nullptr);
        }
    }
}

TEST_F(DdsTest, WidthAndHeightComeFromTheirOffsets)
{
    DdsHeader h;
    h.width = 16;
    h.height = 4;
    TEX_image_desc desc;
    unsigned char* pixels = nullptr;
    ASSERT_EQ(load(make_dds(h, 32), desc, pixels), 1);
    EXPECT_EQ(desc.width, 16);
    EXPECT_EQ(desc.height, 4);
}

TEST_F(DdsTest, WrongMagicLeavesDescriptor)
{
    std::string bytes = make_dds(DdsHeader(), 8);
    bytes[3] = 'X';
    TEX_image_desc desc;
    desc.format = 77;
    desc.width = 5;
    unsigned char* pixels = nullptr;
    EXPECT_EQ(load(bytes, desc, pixels), 0);
    EXPECT_EQ(desc.format, 77);
    EXPECT_EQ(desc.width, 5);
}

// A file shorter than its header and descriptor imply is refused, not read
// past its end.
TEST_F(DdsTest, ShortFilesRefused)
{
    DdsHeader dxt5;
    dxt5.width = dxt5.height = 256;
    dxt5.fourcc = "DXT5";
    dxt5.flags |= texfix::kDdsMipCount;
    dxt5.caps |= texfix::kDdsCapsMip;
    DdsHeader bgra;
    bgra.pf_flags = 0x41;
    bgra.width = 3;
    bgra.height = 2;
    DdsHeader huge;
    huge.width = 0x7FFFFFFF;
    huge.height = 0x7FFFFFFF;
    DdsHeader zero;
    zero.width = 0;
    DdsHeader big_mips = bgra;
    big_mips.width = big_mips.height = 16384;
    big_mips.flags |= texfix::kDdsMipCount;
    big_mips.caps |= texfix::kDdsCapsMip;
    struct Case {
        const char* name;
        std::string bytes;
        int result;
    } cases[] = {
        {"magic only", "DDS ", 0},
        {"cut inside header", make_dds(DdsHeader(), 0).substr(0, 100), 0},
        {"header without pixels", make_dds(DdsHeader(), 0), 0},
        {"one byte short", make_dds(DdsHeader(), 7), 0},
        {"exact", make_dds(DdsHeader(), 8), 1},
        {"mip chain one short", make_dds(dxt5, 87407), 0},
        {"mip chain exact", make_dds(dxt5, 87408), 1},
        {"bgra short", make_dds(bgra, 23), 0},
        {"bgra exact", make_dds(bgra, 24), 1},
        {"huge sides", make_dds(huge, 64), 0},
        {"largest sides, short", make_dds(big_mips, 64), 0},
        {"zero width", make_dds(zero, 64), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TEX_image_desc desc;
        unsigned char* pixels = nullptr;
        EXPECT_EQ(load(c.bytes, desc, pixels), c.result);
    }
}

TEST(DdsNoFile, EmptyReaderGivesZero)
{
    xmap_class empty;
    TEX_image_desc desc;
    unsigned char* pixels = nullptr;
    EXPECT_EQ(TEX_load_dds("none.dds", &empty, pixels, desc), 0);
    EXPECT_EQ(TEX_load_dds("none.dds", nullptr, pixels, desc), 0);
}

} // namespace
