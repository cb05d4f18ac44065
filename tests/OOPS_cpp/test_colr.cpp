// The colour table: defaults, the gamma curve, assignment.
#include <cmath>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"

namespace {

struct ColourCase {
    int id;
    float r, g, b;
};

TEST(Colr, DefaultColours)
{
    colr_class c;
    const ColourCase cases[] = {
        {0, 1, 1, 1},          {1, 1, 0.2f, 0.2f},   {13, 0, 0.4f, 0},       {34, 0, 0, 0},
        {47, 0, 0, 0},         {49, 1, 1, 1},        {72, 0.49f, 0.43f, 0.24f},
        {77, 0.44f, 0.53f, 0.54f}, {78, 0, 0, 0},    {83, 0, 0, 0},          {85, 0, 0, 0},
        {101, 1, 1, 0.9f},     {102, 0, 0, 0},       {103, 0, 0, 0},         {104, 1, 1, 1},
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
        for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(c.spectrum[i][ch], 0.0f);
}

TEST(Colr, GammaTable)
{
    colr_class c;
    const int cases[][2] = {{0, 0}, {1, 3}, {2, 5}, {64, 82}, {128, 145}, {192, 202}, {255, 255}};
    for (const auto& k : cases) EXPECT_EQ(c.gamma_table[k[0]], k[1]) << "entry " << k[0];
    // The curve brightens and never falls.
    for (int i = 1; i < 256; ++i) {
        EXPECT_GE(c.gamma_table[i], c.gamma_table[i - 1]);
        EXPECT_GE(c.gamma_table[i], i);
    }
}

TEST(Colr, AssignAndMeanOfSampled)
{
    colr_class c;
    c.assign(35, 78 / 255.f, 78 / 255.f, 73 / 255.f);
    c.assign(38, 1, 1, 1);
    c.assign(39, (c.rgb[35][0] + c.rgb[38][0]) * 0.5f, (c.rgb[35][1] + c.rgb[38][1]) * 0.5f,
             (c.rgb[35][2] + c.rgb[38][2]) * 0.5f);
    EXPECT_NEAR(c.rgb[39][0], 0.653, 0.001);
    EXPECT_NEAR(c.rgb[39][1], 0.653, 0.001);
    EXPECT_NEAR(c.rgb[39][2], 0.643, 0.001);
    // No clamping.
    c.assign(102, 2.5f, -1, 0.8f);
    EXPECT_FLOAT_EQ(c.rgb[102][0], 2.5f);
    EXPECT_FLOAT_EQ(c.rgb[102][1], -1.0f);
    EXPECT_FLOAT_EQ(c.rgb[102][2], 0.8f);
    // Neighbours untouched.
    EXPECT_FLOAT_EQ(c.rgb[101][2], 0.9f);
    EXPECT_FLOAT_EQ(c.rgb[103][0], 0.0f);
}

TEST(Colr, GlobalIsBuiltBeforeMain)
{
    EXPECT_FLOAT_EQ(colr.rgb[kColrLight][0], 1.0f);
    EXPECT_EQ(colr.gamma_table[64], 82);
}

}  // namespace
