// The colour table: defaults, the gamma curve, assignment, and the colours
// start-up samples from the built-in atlas.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_shutdown.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{

struct ColourCase {
    int id;
    float r, g, b;
};

TEST(Colr, DefaultColours)
{
    colr_class c;
    const ColourCase cases[] = {
        {0, 1, 1, 1},
        {1, 0.65f, 0, 0}, // dark enough for 4.5:1 on the installer's panels
        {69, 0.65f, 0, 0},
        {13, 0, 0.4f, 0},
        {34, 0, 0, 0},
        {47, 0, 0, 0},
        {49, 1, 1, 1},
        {72, 0.49f, 0.43f, 0.24f},
        {77, 0.44f, 0.53f, 0.54f},
        {78, 0, 0, 0},
        {83, 0, 0, 0},
        {85, 0, 0, 0},
        {101, 1, 1, 0.9f},
        {102, 0, 0, 0},
        {103, 0, 0, 0},
        {104, 1, 1, 1},
    };
    for (const ColourCase& k : cases) {
        SCOPED_TRACE(k.id);
        EXPECT_FLOAT_EQ(c.rgb[k.id][0], k.r);
        EXPECT_FLOAT_EQ(c.rgb[k.id][1], k.g);
        EXPECT_FLOAT_EQ(c.rgb[k.id][2], k.b);
    }
}

TEST(Colr, GammaFieldsAndRestAreZero)
{
    colr_class c;
    EXPECT_DOUBLE_EQ(c.file_gamma, 1.8);
    EXPECT_DOUBLE_EQ(c.screen_gamma, 2.2);
    EXPECT_EQ(c.gamma_needed, 1);
    EXPECT_EQ(c.pulse, 0.0f);
    EXPECT_EQ(c.plot_lo, 0.0f);
    EXPECT_EQ(c.plot_hi, 0.0f);
    EXPECT_EQ(c.plot_range, 0.0f);
    for (int i = 0; i < kColrSpectrumCount; ++i)
        for (int ch = 0; ch < 3; ++ch)
            ASSERT_EQ(c.spectrum[i][ch], 0.0f);
}

TEST(Colr, GammaTable)
{
    colr_class c;
    const int cases[][2] = {{0, 0}, {1, 3}, {2, 5}, {64, 82}, {128, 145}, {192, 202}, {255, 255}};
    for (const auto& k : cases)
        EXPECT_EQ(c.gamma_table[k[0]], k[1]) << "entry " << k[0];
    // The curve brightens and never falls.
    for (int i = 1; i < 256; ++i) {
        EXPECT_GE(c.gamma_table[i], c.gamma_table[i - 1]);
        EXPECT_GE(c.gamma_table[i], i);
    }
}

TEST(Colr, AssignDoesNotClamp)
{
    colr_class c;
    c.assign(102, 2.5f, -1, 0.8f);
    EXPECT_FLOAT_EQ(c.rgb[102][0], 2.5f);
    EXPECT_FLOAT_EQ(c.rgb[102][1], -1.0f);
    EXPECT_FLOAT_EQ(c.rgb[102][2], 0.8f);
    // Neighbours untouched.
    EXPECT_FLOAT_EQ(c.rgb[101][2], 0.9f);
    EXPECT_FLOAT_EQ(c.rgb[103][0], 0.0f);
}

// Start-up takes the interface colours from the swatch pixels of the built-in
// atlas. The whole start-up runs in a copy of this program in a private folder
// (it writes "Log.txt" beside the program); each colour is compared with the
// atlas pixel as the image generator wrote it to its raw file.
TEST(Colr, StartUpSamplesEverySwatchOfTheAtlas)
{
    if (!xvfb_inside()) {
        TempDir dir;
        const XvfbResult r = xvfb_run_this_test_copied(dir.path());
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("[  PASSED  ] 1 test."), std::string::npos) << r.output;
        return;
    }
    const std::vector<unsigned char> atlas = built_in_atlas_pixels();
    ASSERT_EQ(atlas.size(), 512u * 512u * 4u);
    auto byte = [&](int x, int y, int c) -> int { return atlas[4 * (512 * y + x) + c]; };

    const char* argv[] = {"zudezud_test"};
    VOVARU_init(1, argv);

    // id, position, and the swatch colour the artwork must hold there.
    const struct {
        int id, x, y, r, g, b;
    } swatches[] = {
        {34, 319, 155, 51, 67, 86},    {35, 319, 147, 78, 78, 73},    {36, 319, 139, 13, 27, 44},
        {37, 319, 131, 125, 126, 121}, {38, 319, 123, 255, 255, 255}, {40, 319, 115, 238, 238, 238},
        {41, 319, 107, 13, 27, 44},    {42, 319, 99, 93, 99, 110},    {43, 319, 91, 34, 41, 53},
        {45, 319, 83, 39, 44, 52},     {46, 319, 75, 36, 43, 53},     {47, 319, 67, 127, 220, 175},
        {44, 395, 115, 220, 220, 220},
    };
    for (const auto& s : swatches) {
        SCOPED_TRACE(s.id);
        EXPECT_EQ(byte(s.x, s.y, 0), s.r);
        EXPECT_EQ(byte(s.x, s.y, 1), s.g);
        EXPECT_EQ(byte(s.x, s.y, 2), s.b);
        for (int c = 0; c < 3; ++c)
            EXPECT_FLOAT_EQ(colr.rgb[s.id][c], byte(s.x, s.y, c) / 255.0f) << "channel " << c;
    }
    // Colour 39 is not sampled: the mean of 35 and 38, about (0.653, 0.653, 0.643).
    for (int c = 0; c < 3; ++c)
        EXPECT_FLOAT_EQ(colr.rgb[39][c],
                        (byte(319, 147, c) / 255.0f + byte(319, 123, c) / 255.0f) * 0.5f);
    EXPECT_NEAR(colr.rgb[39][0], 0.653, 0.001);
    EXPECT_NEAR(colr.rgb[39][2], 0.643, 0.001);
    VOVARU_finishup(1); // preferences go to the private HOME
}

TEST(Colr, GlobalIsBuiltBeforeMain)
{
    EXPECT_FLOAT_EQ(colr.rgb[kColrLight][0], 1.0f);
    EXPECT_EQ(colr.gamma_table[64], 82);
}

} // namespace
