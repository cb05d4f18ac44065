#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GenH/hl_types.h"

TEST(Globals, StartValues)
{
    EXPECT_EQ(num_units, 1);
    EXPECT_EQ(g_case_sensitive, 1);
    EXPECT_EQ(app_done, 0);
    EXPECT_TRUE(app_path.empty());
    EXPECT_EQ(no_install_name, "Not Yet Scanned");
    EXPECT_EQ(acf_path_def.rfind(acf_path, 0), 0u); // built from this file's acf_path
    EXPECT_EQ(build_name[0], "Zudezud 9.00 Beta-19");
}

TEST(Globals, StringTableSlots)
{
    // The title slots nothing fills stay empty, so those windows open untitled.
    for (int slot : {77, 601, 602, 613, 614})
        EXPECT_TRUE(stls[slot].empty()) << slot;
    stls[603] = "OK";
    stls[1802] = "tip";
    stls[2210] = "last";
    EXPECT_EQ(stls[603], "OK");
    EXPECT_EQ(stls[1802], "tip");
    EXPECT_EQ(stls[2210], "last");
}

// Every string slot keeps its own text: writing each slot leaves every other
// slot as it was. The three int slots and numbers outside 0..2210 hold no
// text, so what is written there is gone at the next look.
TEST(Globals, StringTableSlotsAreIndependent)
{
    const auto table = std::make_unique<stls_class>();
    stls_class& t = *table;
    for (int slot = 0; slot < kStlsSlotCount; ++slot)
        ASSERT_TRUE(t[slot].empty()) << slot;
    for (int slot = -2; slot < kStlsSlotCount + 2; ++slot)
        t[slot] = "slot " + std::to_string(slot);
    for (int slot = -2; slot < kStlsSlotCount + 2; ++slot) {
        const bool holds_text =
            slot >= 0 && slot < kStlsSlotCount && slot != 1804 && slot != 1808 && slot != 1810;
        if (holds_text)
            EXPECT_EQ(t[slot], "slot " + std::to_string(slot));
        else
            EXPECT_EQ(t[slot], "") << slot;
    }
    // A write through one reference is seen through a later lookup of the
    // same slot, and through no other.
    t[1801] = "";
    std::string& tip = t[kStlsTooltip];
    tip = "changed";
    EXPECT_EQ(t[kStlsTooltip], "changed");
    EXPECT_EQ(t[1801], "");
    EXPECT_EQ(t[1803], "slot 1803");
    EXPECT_EQ(t[1800], "slot 1800");
    EXPECT_EQ(t[1811], "slot 1811");
}
