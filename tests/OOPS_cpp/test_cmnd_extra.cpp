// Commands added at run time, the single-press hook and the plane focus.
#include <gtest/gtest.h>

#include "OOPS_cpp/cmnd.h"
#include "support/cmnd_fixture.h"

TEST(CmndExtra, AddedCommandsAreAppended)
{
    cmnd_class table;
    ASSERT_EQ(table.paths.size(), 1u);
    EXPECT_EQ(table.add_cmd("sim/views/forward", "Look ahead"), 1);
    EXPECT_EQ(table.get_cmnd_by_name("sim/views/forward"), 1);
    EXPECT_EQ(table.enum_names[1], "DYNAMIC");
    EXPECT_EQ(table.descriptions[1], "Look ahead");
    EXPECT_EQ(table.types[1], kCmndAdded);
    // The same path again gets a number of its own; lookups find the first.
    EXPECT_EQ(table.add_cmd("sim/views/forward", "again"), 2);
    EXPECT_EQ(table.get_cmnd_by_name("sim/views/forward"), 1);
    EXPECT_EQ(table.get_cmnd_by_name("sim/operation/none"), 0);
    EXPECT_EQ(table.paths.size(), table.types.size());
}

TEST(CmndExtra, SinglePressIsSilent)
{
    cmnd_class table;
    cmnd_hook_log log;
    table.single_press(0);
    EXPECT_TRUE(log.calls.empty());
}

TEST(CmndExtra, PlaneFocus)
{
    EXPECT_EQ(get_plane_focus(), 0);
    set_plane_focus(3);
    EXPECT_EQ(get_plane_focus(), 3);
    set_plane_focus(0);
}
