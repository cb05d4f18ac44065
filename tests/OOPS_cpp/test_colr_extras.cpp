// The colour table's plotting and light extras that need no window.
#include <gtest/gtest.h>

#include <cstring>

#include "GenH/hl_types.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/colr.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

struct Entry {
    int type, index;
    float r, g, b;
};

TEST(ColrSpectrum, RainbowAndRamps)
{
    colr_class c;
    const Entry cases[] = {
        {0, 0, 1, 0, 0},
        {0, 100, 1, 0.16f, 0.04f},
        {0, 200, 1, 0.32f, 0.08f},
        {0, 500, 0.5f, 1, 0},
        {0, 700, 0, 0.5f, 0.5f},
        {0, 800, 0, 0, 1},
        {0, 999, 0.796f, 0, 0.801f},
        {1, 500, 0.5f, 0, 0},
        {2, 500, 0, 0.5f, 0},
        {3, 250, 0, 0, 0.25f},
        {1, 0, 0, 0, 0},
    };
    for (const Entry& e : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << e.type << " entry " << e.index);
        c.spectrum_init(e.type);
        EXPECT_NEAR(c.spectrum[e.index][0], e.r, 1e-4);
        EXPECT_NEAR(c.spectrum[e.index][1], e.g, 1e-4);
        EXPECT_NEAR(c.spectrum[e.index][2], e.b, 1e-4);
    }
    c.spectrum_init(2);
    float before[kColrSpectrumCount][3];
    std::memcpy(before, c.spectrum, sizeof(before));
    c.spectrum_init(4);
    c.spectrum_init(-1);
    EXPECT_EQ(std::memcmp(before, c.spectrum, sizeof(before)), 0);
}

TEST(ColrLights, InterfaceMinimumAndColour48)
{
    const colr_class saved = colr;
    const ren_struct saved_ren = ren;
    colr.assign(kColrLight, 0.5f, 0.9f, 0.75f);
    colr.set_lites_for_interface();
    EXPECT_FLOAT_EQ(colr.rgb[kColrLight][0], 0.75f);
    EXPECT_FLOAT_EQ(colr.rgb[kColrLight][1], 0.9f);
    EXPECT_FLOAT_EQ(colr.rgb[kColrLight][2], 0.75f);

    struct {
        int type;
        float light, floor, grey, want[3];
    } cases[] = {
        {0, 1, 0, 0, {1, 1, 1}},
        {1, 1, 0, 0, {0, 0, 0}}, // the renderer's levels are 0 in this program
        {0, 0.2f, 0.5f, 0, {0.5f, 0.5f, 0.5f}},
        {1, 1, 0.3f, 0.6f, {0.3f, 0.3f, 0.3f}},
        {2, 1, 0.3f, 0.6f, {0.6f, 0.6f, 0.6f}},
    };
    for (const auto& k : cases) {
        colr.assign(kColrLight, k.light, k.light, k.light);
        colr.assign(48, 9, 9, 9);
        ren.lit_floor = k.floor;
        ren.lit_grey = k.grey;
        colr.set_lit_col(k.type);
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(colr.rgb[48][i], k.want[i]) << k.type;
    }
    colr = saved;
    ren = saved_ren;

    TempCwd cwd;
    ChildResult r = run_in_child([] { colr.set_lit_col(3); });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("bad col_type!"), std::string::npos) << r.out;
}

} // namespace
