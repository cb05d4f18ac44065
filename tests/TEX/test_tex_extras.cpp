// Loading by content, the colour key, the compositor and the 5:6:5 steps.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "TEX/TEX_utils.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "tex_fixtures.h"

namespace
{

using Bytes = std::vector<unsigned char>;

using texfix::desc_of;

class LoadAny : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        texfix::PngSpec png;
        png.width = 3;
        png.height = 2;
        ASSERT_TRUE(texfix::write_png(dir_ / "pic.png", png, {Bytes(9, 10), Bytes(9, 20)}));
        texfix::BmpSpec bmp;
        bmp.width = 2;
        bmp.height = 1;
        dir_.write("pic.bmp", texfix::make_bmp(bmp, {{1, 2, 3, 4, 5, 6}}));
        dir_.write("only.bmp", texfix::make_bmp(bmp, {{1, 2, 3, 4, 5, 6}}));
        dir_.write("tex.dds", texfix::make_dds(texfix::DdsHeader{}, 8));
        dir_.write("short.png", "\x89PNG");
    }
    void TearDown() override { std::free(pixels_); }

    // Width loaded, 0 when the load failed.
    int load(int (*f)(const std::string&, unsigned char*&, unsigned int, int, int, TEX_image_desc&),
             const std::string& name)
    {
        std::free(pixels_);
        pixels_ = nullptr;
        TEX_image_desc d;
        return f(dir_ / name, pixels_, GL_RGB, 0, 0, d) ? d.width : 0;
    }

    TempDir dir_;
    unsigned char* pixels_ = nullptr;
};

TEST_F(LoadAny, ByFirstBytes)
{
    EXPECT_EQ(load(TEX_load_any, "pic.png"), 3);
    EXPECT_EQ(load(TEX_load_any, "pic.bmp"), 2);
    dir_.write("png_named.bmp", TempDir::read(dir_ / "pic.png"));
    EXPECT_EQ(load(TEX_load_any, "png_named.bmp"), 3); // the content decides
    EXPECT_EQ(load(TEX_load_any, "tex.dds"), 0);
    EXPECT_EQ(load(TEX_load_any, "short.png"), 0);
    EXPECT_EQ(load(TEX_load_any, "missing.png"), 0);
}

TEST_F(LoadAny, PngThenBmpName)
{
    const struct {
        const char* path;
        int width;
    } cases[] = {
        {"pic.dds", 3},  // pic.png first
        {"pic", 3},      // no extension to replace
        {"only.dds", 2}, // only.png is missing: only.bmp
        {"none.dds", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load(TEX_load_any_ext, c.path), c.width) << c.path;
    // A path of 4 characters keeps its dot: "ab.c" tries "ab.c.png".
    TempCwd cwd;
    texfix::PngSpec png;
    ASSERT_TRUE(texfix::write_png("ab.c.png", png, {Bytes(3, 1)}));
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_any_ext("ab.c", pixels_, GL_RGB, 0, 0, d), 1);
}

TEST(ChromaKey, ClearsAlphaOfNearColoursInFourByteImages)
{
    // 3 x 2 RGBA with 4 bytes of padding a row.
    const unsigned char magenta[4] = {255, 0, 255, 255}, near[4] = {250, 2, 255, 255},
                        grey[4] = {128, 128, 128, 255};
    const unsigned char* row[3] = {magenta, near, grey};
    Bytes img;
    for (int y = 0; y < 2; ++y) {
        for (const unsigned char* p : row)
            img.insert(img.end(), p, p + 4);
        img.insert(img.end(), 4, 0x77);
    }
    unsigned char key[3] = {255, 0, 255};
    struct {
        int tolerance;
        int alpha[3];
    } cases[] = {{0, {255, 255, 255}}, {1, {0, 255, 255}}, {7, {0, 255, 255}}, {8, {0, 0, 255}}};
    for (const auto& c : cases) {
        Bytes b = img;
        TEX_chroma_key(desc_of(GL_RGBA, 3, 2, 4), b.data(), key, c.tolerance);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(b[y * 16 + x * 4 + 3], c.alpha[x]) << c.tolerance << " " << x;
        EXPECT_EQ(b[12], 0x77); // padding untouched
    }
    // BGRA: the key is still red, green, blue.
    Bytes bgra = {255, 0, 250, 255, 250, 0, 255, 255};
    unsigned char key2[3] = {250, 0, 255};
    TEX_chroma_key(desc_of(GL_BGRA, 2, 1), bgra.data(), key2, 1);
    EXPECT_EQ(bgra[3], 0);
    EXPECT_EQ(bgra[7], 255);
    // Three-byte and one-byte images have no alpha: nothing is written.
    for (int format : {GL_RGB, GL_ALPHA, GL_BGR}) {
        Bytes rgb(3 * 4 * 2, 255);
        const Bytes before = rgb;
        TEX_chroma_key(desc_of(format, 4, 2), rgb.data(), key, 1000);
        EXPECT_EQ(rgb, before) << format;
    }
}

TEST(Composite, BilinearOverTheDestination)
{
    // 2 x 2 grey source (one byte repeated per channel), bottom row first.
    const int s00 = 0, s10 = 100, s01 = 200, s11 = 40;
    Bytes src;
    for (int v : {s00, s10, s01, s11})
        src.insert(src.end(), 3, (unsigned char)v);
    Bytes dst(4 * 4 * 3, 80);
    TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGB, 4, 4), src.data(), dst.data(), 0, 0, 4, 4);
    auto at = [&](int x, int y) { return int(dst[(y * 4 + x) * 3]); };
    EXPECT_EQ(at(0, 0), s00);
    EXPECT_EQ(at(1, 0), 50); // half way between s00 and s10
    EXPECT_EQ(at(0, 2), s01);
    // Column 3 samples at 1.5: its right neighbour lies outside the source and
    // weighs nothing; the rest of the weight stays with the old value.
    EXPECT_EQ(at(3, 0), 90); // 0.5 x 100 + 0.5 x 80
    EXPECT_EQ(at(3, 3), 70); // 0.25 x 40 + 0.75 x 80
    EXPECT_EQ(int(dst[(0 * 4 + 1) * 3 + 2]), 50);

    // RGBA over RGBA: alpha adds up, colour weighs by the source's alpha.
    Bytes srca = {0, 0, 0, 255, 200, 200, 200, 0};
    Bytes dsta = {100, 100, 100, 10, 100, 100, 100, 250};
    TEX_composite(desc_of(GL_RGBA, 2, 1), desc_of(GL_RGBA, 2, 1), srca.data(), dsta.data(), 0, 0, 4,
                  1);
    EXPECT_EQ(dsta[3], 255); // 10 + 255, held at 255
    EXPECT_EQ(dsta[0], 0);   // pixel 0 samples source pixel 0 only
    EXPECT_EQ(dsta[7], 255); // 250 + 0.5 x 255, held at 255
    EXPECT_EQ(dsta[4], 50);  // half the weight has alpha 0
    // RGB over RGBA: the source is opaque.
    Bytes dstb = {100, 100, 100, 10};
    Bytes one = {30, 30, 30};
    TEX_composite(desc_of(GL_RGB, 1, 1), desc_of(GL_RGBA, 1, 1), one.data(), dstb.data(), 0, 0, 1,
                  1);
    EXPECT_EQ(dstb[3], 255);
    EXPECT_EQ(dstb[0], 30);
}

TEST(Composite, EdgesAndLayoutsItCannotBlend)
{
    Bytes src(2 * 2 * 4, 200);
    // A rectangle hanging over every side only touches pixels inside.
    Bytes dst(3 * 3 * 4, 0);
    TEX_composite(desc_of(GL_RGBA, 2, 2), desc_of(GL_RGBA, 3, 3), src.data(), dst.data(), -5, -5,
                  50, 50);
    EXPECT_NE(dst[0], 0);
    // Zero-width rectangle: the source's middle column.
    Bytes d2(3 * 3 * 3, 0);
    TEX_composite(desc_of(GL_RGBA, 2, 2), desc_of(GL_RGB, 3, 3), src.data(), d2.data(), 1, 0, 1, 3);
    for (float bad : {NAN, INFINITY}) {
        Bytes d3(3 * 3 * 3, 7);
        TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGB, 3, 3), src.data(), d3.data(), bad, 0,
                      2, 2);
        EXPECT_EQ(d3, Bytes(3 * 3 * 3, 7));
    }
    // Layouts the blend cannot read or write are left alone.
    const struct {
        int src, dst;
    } skipped[] = {{GL_ALPHA, GL_RGBA},
                   {GL_RGBA, GL_ALPHA},
                   {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, GL_RGBA},
                   {GL_RGB, GL_BGRA},
                   {GL_BGR, GL_RGB}};
    for (const auto& k : skipped) {
        Bytes d(3 * 3 * 4, 9);
        TEX_composite(desc_of(k.src, 2, 2), desc_of(k.dst, 3, 3), src.data(), d.data(), 0, 0, 3, 3);
        EXPECT_EQ(d, Bytes(3 * 3 * 4, 9)) << k.src << " " << k.dst;
    }
    Bytes bgr(3 * 3 * 3, 0);
    TEX_composite(desc_of(GL_BGRA, 2, 2), desc_of(GL_BGR, 3, 3), src.data(), bgr.data(), 0, 0, 3,
                  3);
    EXPECT_NE(bgr[0], 0);
}

TEST(Color565, StepsGreenThenBlueThenRed)
{
    struct {
        bool inc;
        unsigned short in, out;
        int result;
    } cases[] = {
        {true, 0xFFFF, 0xFFFF, 0},  {false, 0x0000, 0x0000, 0}, {true, 0xFFE0, 0xFFE1, 1},
        {true, 0x0000, 0x0020, 1},  {true, 0x07FF, 0x0FFF, 1},  {false, 0x001F, 0x001E, 1},
        {false, 0xF800, 0xF000, 1}, {false, 0x0820, 0x0800, 1},
    };
    for (const auto& c : cases) {
        unsigned short v = c.in;
        EXPECT_EQ(c.inc ? IncColor565(v) : DecColor565(v), c.result) << std::hex << c.in;
        EXPECT_EQ(v, c.out) << std::hex << c.in;
    }
}

} // namespace
