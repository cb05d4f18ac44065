// The command table: the built-in row, lookup by path, the levels below a
// prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "support/cmnd_fixture.h"

namespace
{

using Names = std::vector<std::string>;

cmnd_class table_with(const Names& added)
{
    cmnd_class t;
    for (const std::string& p : added)
        cmnd_append(t, p, "added " + p);
    return t;
}

Names levels(const cmnd_class& t, const std::string& prefix)
{
    Names out = {"stale", "entries"};
    t.get_cmds_in_path(prefix, out);
    return out;
}

TEST(Cmnd, BuiltFromTheDefaultRows)
{
    const cmnd_class t;
    EXPECT_EQ(t.enum_names, Names{"cmnd_nothing"});
    EXPECT_EQ(t.paths, Names{"sim/operation/none"});
    EXPECT_EQ(t.descriptions, Names{"Do nothing at all!"});
    EXPECT_EQ(t.types, std::vector<int>{kCmndBuiltIn});
    ASSERT_EQ(kDefaultCommandCount, 1);
    EXPECT_EQ(default_commands[0].default_key, 0);
    EXPECT_EQ(default_commands[0].default_flags, 0);
    EXPECT_EQ(t.get_cmnd_by_name(default_commands[0].path), kCmndNone);
}

TEST(Cmnd, GlobalIsBuiltBeforeMain)
{
    EXPECT_EQ(cmnd.paths, Names{"sim/operation/none"});
    EXPECT_EQ(cmnd.descriptions, Names{"Do nothing at all!"});
    EXPECT_EQ(cmnd.enum_names.size(), 1u);
    EXPECT_EQ(cmnd.types.size(), 1u);
}

TEST(Cmnd, FindsTheFirstExactPath)
{
    // 1 a/b/c, 2 a/b/d, 3 a/b/c again, 4 a/B/e.
    const cmnd_class t = table_with({"a/b/c", "a/b/d", "a/b/c", "a/B/e"});
    const struct {
        const char* path;
        int number;
    } cases[] = {
        {"sim/operation/none", 0},
        {"a/b/c", 1}, // the first of two equal paths
        {"a/b/d", 2},
        {"a/B/e", 4},
        {"A/b/c", 0}, // letter case counts
        {"a/b/E", 0},
        {"sim/operation/None", 0},
        {"sim/operation", 0}, // no partial paths
        {"sim/operation/", 0},
        {"a/b/c/", 0},
        {"a/b/cd", 0},
        {" a/b/c", 0},
        {"no/such/path", 0},
        {"", 0},
    };
    for (const auto& k : cases)
        EXPECT_EQ(t.get_cmnd_by_name(k.path), k.number) << '"' << k.path << '"';
}

TEST(Cmnd, LevelsOfTheBuiltInTable)
{
    const cmnd_class t;
    const struct {
        const char* prefix;
        Names want;
    } cases[] = {
        {"", {"sim/"}},
        {"sim/", {"operation/"}},
        {"sim/operation/", {"none"}},
        {"si", {"m/"}}, // a prefix inside a component
        {"sim/operation/no", {"ne"}},
        {"sim", {"/"}},
        {"sim/operation/none", {}}, // no path is longer
        {"sim/operation/none/", {}},
        {"Sim/", {}},
        {"x", {}},
    };
    for (const auto& k : cases)
        EXPECT_EQ(levels(t, k.prefix), k.want) << '"' << k.prefix << '"';
}

TEST(Cmnd, LevelsAreSortedByByteAndUnique)
{
    const cmnd_class t =
        table_with({"a/b/c", "a/b/d", "sim/view/forward", "sim/view/back", "sim/quit", "app/about",
                    "sim/view/forward", "simx", "sim/Zoom", "sim/\xE9t\xE9", "sim/view"});
    const struct {
        const char* prefix;
        Names want;
    } cases[] = {
        {"a/", {"b/"}}, // two commands below one sub-level
        {"a/b/", {"c", "d"}},
        {"", {"a/", "app/", "sim/", "simx"}},
        // Upper case before lower, bytes above 0x7f last; "view" as a command
        // and as a sub-level are two names.
        {"sim/", {"Zoom", "operation/", "quit", "view", "view/", "\xE9t\xE9"}},
        {"sim/view/", {"back", "forward"}},
        {"sim", {"/", "x"}},
        {"sim/quit", {}},
        {"nothing/", {}},
    };
    for (const auto& k : cases)
        EXPECT_EQ(levels(t, k.prefix), k.want) << '"' << k.prefix << '"';
}

TEST(Cmnd, HooksLeaveTheTableAlone)
{
    cmnd_class t = table_with({"a/b"});
    for (int c : {0, 1, 2, -1}) {
        t.press_one(c);
        t.press_always(c);
        t.release_one(c);
    }
    EXPECT_EQ(t.paths, (Names{"sim/operation/none", "a/b"}));
    EXPECT_EQ(t.types, (std::vector<int>{kCmndBuiltIn, kCmndAdded}));
}

} // namespace
