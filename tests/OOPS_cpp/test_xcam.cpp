// The camera's orthographic and perspective set-ups.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"
#include "OGL/MatrixUtils.h"
#include "OOPS_cpp/xcam.h"

namespace
{

struct Elem {
    int index;
    double value;
};

void expect_elems(const double* m, std::initializer_list<Elem> elems)
{
    for (const Elem& e : elems)
        EXPECT_NEAR(m[e.index], e.value, 1e-12) << "index " << e.index;
}

TEST(Xcam, ConstructedAsIdentityOrtho)
{
    xcam_class c;
    EXPECT_TRUE(c.ortho);
    EXPECT_TRUE(c.changed);
    EXPECT_TRUE(c.mv_stale);
    for (int i = 0; i < 16; ++i) {
        const double want = (i % 5 == 0) ? 1.0 : 0.0;
        EXPECT_EQ(c.proj[i], want);
        EXPECT_EQ(c.mv[i], want);
        EXPECT_EQ(gIdentity[i], want);
    }
    double m[16];
    for (double& v : m)
        v = 7;
    setIdentityMatrix(m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], gIdentity[i]);
}

TEST(Xcam, OrthoOverWindow)
{
    xcam_class c;
    c.changed = false;
    c.SetupOrtho(0, 1024, 0, 768, -1, 1);
    expect_elems(c.proj, {{0, 2.0 / 1024},
                          {5, 2.0 / 768},
                          {10, -1},
                          {12, -1},
                          {13, -1},
                          {14, 0},
                          {15, 1},
                          {1, 0},
                          {4, 0},
                          {8, 0},
                          {11, 0}});
    EXPECT_TRUE(c.ortho);
    EXPECT_TRUE(c.changed);
    EXPECT_EQ(c.near_depth, 1);
    EXPECT_EQ(c.far_depth, -1);
    EXPECT_EQ(c.fake_far_depth, -1);
    EXPECT_EQ(c.ortho_ext[kCamTop], 768);
    EXPECT_EQ(c.ortho_ext[kCamLeft], 0);
    EXPECT_EQ(c.ortho_ext[kCamRight], 1024);
    EXPECT_EQ(c.ortho_ext[kCamBottom], 0);
}

TEST(Xcam, FrustumMatrixAndPlanes)
{
    xcam_class c;
    c.SetupFrustum(-1, 1, -1, 1, 1, 100);
    expect_elems(
        c.proj,
        {{0, 1}, {5, 1}, {8, 0}, {9, 0}, {10, -101.0 / 99}, {11, -1}, {14, -200.0 / 99}, {15, 0}});
    EXPECT_FALSE(c.ortho);
    EXPECT_EQ(c.near_depth, -1);
    EXPECT_EQ(c.far_depth, -100);
    EXPECT_EQ(c.fake_far_depth, -100);
    const double s = 1 / std::sqrt(2.0);
    const double want[4][3] = {
        {0, -s, -s}, // top: (0, -near, -top) normalised
        {s, 0, -s},  // left
        {-s, 0, -s}, // right
        {0, s, -s},  // bottom
    };
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(c.plane_norm[p][k], want[p][k], 1e-12);
}

TEST(Xcam, AsymmetricFrustumMatrix)
{
    double m[16];
    buildFrustumMatrix(m, -2, 6, -1, 3, 2, 10);
    expect_elems(m, {{0, 4.0 / 8},
                     {5, 4.0 / 4},
                     {8, 4.0 / 8},
                     {9, 2.0 / 4},
                     {10, -12.0 / 8},
                     {11, -1},
                     {14, -40.0 / 8},
                     {15, 0},
                     {12, 0},
                     {13, 0}});
}

TEST(Xcam, SetupsLeaveEachOthersFields)
{
    xcam_class c;
    c.SetupOrtho(0, 10, 0, 20, -1, 1);
    c.SetupFrustum(-1, 1, -1, 1, 1, 100);
    EXPECT_EQ(c.ortho_ext[kCamTop], 20); // frustum leaves the extents
    EXPECT_EQ(c.ortho_ext[kCamRight], 10);
    double planes[4][3];
    std::memcpy(planes, c.plane_norm, sizeof(planes));
    c.SetupOrtho(0, 5, 0, 5, -2, 2);
    EXPECT_EQ(std::memcmp(planes, c.plane_norm, sizeof(planes)), 0);
    EXPECT_EQ(c.near_depth, 2);
}

TEST(Xcam, IdentityResetsModelviewOnly)
{
    xcam_class c;
    c.SetupOrtho(0, 1024, 0, 768, -1, 1);
    c.mv[12] = 5;
    c.changed = false;
    c.Identity();
    EXPECT_EQ(c.mv[12], 0);
    EXPECT_TRUE(c.changed);
    EXPECT_NEAR(c.proj[0], 2.0 / 1024, 1e-15);
}

TEST(Xcam, KillSwitches)
{
    // Switches are 0 in the program; raise each for one set-up.
    ASSERT_EQ(gKillClip.stat_value, 0);
    ASSERT_EQ(gKillCull.stat_value, 0);

    xcam_class plain;
    plain.SetupFrustum(-1, 1, -1, 1, 1, 100);

    gKillClip.stat_value = 1;
    xcam_class clip;
    clip.SetupFrustum(-1, 1, -1, 1, 1, 100);
    gKillClip.stat_value = 0;
    // The matrix is built for about -0.1 .. 0.1, the planes for -1 .. 1.
    EXPECT_NEAR(clip.proj[0], 2 / 0.2, 1e-4);
    EXPECT_NEAR(clip.proj[5], 2 / 0.2, 1e-4);
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(clip.plane_norm[p][k], plain.plane_norm[p][k], 1e-12);

    gKillCull.stat_value = 1;
    xcam_class cull;
    cull.SetupFrustum(-1, 1, -1, 1, 1, 100);
    gKillCull.stat_value = 0;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(cull.proj[i], plain.proj[i]);
    // Left plane of a box of about -0.1 .. 0.1 at depth -1.
    const double len = std::sqrt(1 + 0.1 * 0.1);
    EXPECT_NEAR(cull.plane_norm[kCamLeft][0], 1 / len, 1e-4);
    EXPECT_NEAR(cull.plane_norm[kCamLeft][2], -0.1 / len, 1e-4);
}

TEST(Xcam, KillSwitchStatistics)
{
    EXPECT_EQ(gKillCull.stat_type, UTL_stat_perf);
    EXPECT_STREQ(gKillClip.stat_name, "perf/kill_clip");
    EXPECT_STREQ(gKillCull.stat_name, "perf/kill_cull");
}

} // namespace
