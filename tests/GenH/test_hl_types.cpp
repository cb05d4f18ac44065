#include <gtest/gtest.h>

#include "GenH/hl_types.h"

TEST(Globals, StartValues)
{
    EXPECT_EQ(num_units, 1);
    EXPECT_EQ(g_case_sensitive, 1);
    EXPECT_EQ(app_done, 0);
    EXPECT_TRUE(app_path.empty());
    EXPECT_EQ(no_install_name, "Not Yet Scanned");
    EXPECT_EQ(acf_path_def.rfind(acf_path, 0), 0u);  // built from this file's acf_path
    EXPECT_EQ(build_name[0], "Zudezud 9.00 Beta-19");
}

TEST(Globals, StringTableSlots)
{
    // The title slots nothing fills stay empty, so those windows open untitled.
    for (int slot : {77, 601, 602, 613, 614}) EXPECT_TRUE(stls[slot].empty()) << slot;
    stls[603] = "OK";
    stls[1802] = "tip";
    stls[2210] = "last";
    EXPECT_EQ(stls[603], "OK");
    EXPECT_EQ(stls[1802], "tip");
    EXPECT_EQ(stls[2210], "last");
    EXPECT_NE(&stls[1], &stls[1800]);
}
