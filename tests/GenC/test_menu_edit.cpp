// Menu editing: text widths, the bar and item rectangles, removing items, and
// what bad indexes and parents do.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenC/hl_menu_edit.h"
#include "GenH/hl_types.h"
#include "menu_table_fixture.h"
#include "support/alert_probe.h"

namespace
{
struct rect {
    int x1, y1, x2, y2;
};

::testing::AssertionResult rect_is(short x1, short y1, short x2, short y2, rect want)
{
    if (x1 == want.x1 && y1 == want.y1 && x2 == want.x2 && y2 == want.y2)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << x1 << ", " << y1 << ", " << x2 << ", " << y2 << ") instead of (" << want.x1
           << ", " << want.y1 << ", " << want.x2 << ", " << want.y2 << ")";
}
::testing::AssertionResult title_is(int index, rect want)
{
    const menu_struct& m = menu[size_t(index)];
    return rect_is(m.x1, m.y1, m.x2, m.y2, want);
}
::testing::AssertionResult item_is(int index, int item, rect want)
{
    const item_struct& it = menu[size_t(index)].items[size_t(item)];
    return rect_is(it.x1, it.y1, it.x2, it.y2, want);
}

using MenuEdit = MenuTableTest;
} // namespace

TEST_F(MenuEdit, TextWidths)
{
    const struct {
        int lang;
        std::string text;
        float dx;
    } cases[] = {
        {0, "File", 18}, // 6 + 3 + 3 + 6
        {0, "", 0},
        {0, "Hello", 27},
        {0, "\"{}~\x7f\x80\xff", 0}, // no glyph, no room
        {0, "\xc1\xfb", 9},          // an accented letter and the degree sign
        {2, "Wm", 21},
        {kMenuLangKorean, "\x01\x02\x03\x04\x05\x06", 90}, // 15 a byte, whatever the bytes
        {kMenuLangKorean, "File", 60},
        {kMenuLangKorean, "", 0},
    };
    for (const auto& c : cases) {
        mnw.lang = c.lang;
        EXPECT_EQ(menu_dx(c.text), c.dx) << c.text << " lang " << c.lang;
    }
    // A title is 30 wider: a Korean title of 6 bytes is 120 pixels wide, as
    // wide as its 6 glyphs of charset 103 and the margins.
    mnw.lang = kMenuLangKorean;
    VOVARU_create_menu(0, 0, "\x01\x02\x03\x04\x05\x06");
    EXPECT_EQ(menu[0].x2 - menu[0].x1, 120);
    mnw.lang = 0;
    VOVARU_create_menu(0, 0, "");
    EXPECT_EQ(menu[0].x2 - menu[0].x1, 30);
}

TEST_F(MenuEdit, BarTitlesFollowEachOther)
{
    VOVARU_create_menu(0, 0, "File");
    VOVARU_create_menu(1, 0, "Edit");
    EXPECT_TRUE(title_is(0, {0, 750, 48, 768}));
    EXPECT_TRUE(title_is(1, {48, 750, 98, 768}));
    EXPECT_EQ(menu[0].title, "File");
    EXPECT_EQ(menu[1].parent, -1);

    // "Plugins" does not move the bar on: the title after it starts where it does.
    VOVARU_create_menu(2, 0, "Plugins");
    VOVARU_create_menu(3, 0, "Help");
    EXPECT_EQ(menu[2].x1, 98);
    EXPECT_EQ(menu[3].x1, 98);
    EXPECT_GT(menu[2].x2, menu[3].x1); // they overlap

    // Menu 0 made again starts the bar afresh.
    VOVARU_create_menu(0, 0, "Edit");
    VOVARU_create_menu(1, 0, "File");
    EXPECT_TRUE(title_is(0, {0, 750, 50, 768}));
    EXPECT_TRUE(title_is(1, {50, 750, 98, 768}));

    // The title row follows the drawable's height.
    mnw.res_y = 600;
    VOVARU_create_menu(2, 0, "X");
    EXPECT_TRUE(title_is(2, {98, 582, 135, 600}));

    // A title of 41 characters keeps 40; its width is that of the 40.
    VOVARU_create_menu(4, 0, std::string(41, 'a'));
    EXPECT_EQ(menu[4].title, std::string(40, 'a'));
    EXPECT_EQ(menu[4].x2 - menu[4].x1, 40 * 6 + 30);
}

TEST_F(MenuEdit, ItemsStackBelowTheirTitle)
{
    VOVARU_create_menu(0, 0, "File");
    VOVARU_append_menu(0, 0, 100, "Open", 0);
    VOVARU_append_menu(0, 1, 0, "-", 0);
    VOVARU_append_menu(0, 2, 101, "Quit", 0);
    // Open: 9+7+6+7 = 29, 59 wide; all three share the widest width.
    EXPECT_TRUE(item_is(0, 0, {0, 736, 59, 748}));
    EXPECT_TRUE(item_is(0, 1, {0, 734, 59, 736}));
    EXPECT_TRUE(item_is(0, 2, {0, 722, 59, 734}));
    EXPECT_EQ(menu[0].items[0].id, 100);
    EXPECT_EQ(menu[0].items[2].flag, 0);

    // A submenu takes the rectangle of the item it hangs from; its first item
    // the height of that item, 2 lower.
    VOVARU_create_menu(1, 0 * 300 + 2, "Recent");
    EXPECT_EQ(menu[1].parent, 0);
    EXPECT_TRUE(title_is(1, {0, 722, 59, 734}));
    VOVARU_append_menu(1, 0, 7, "-", 0);
    VOVARU_append_menu(1, 1, 8, "a", 0);
    EXPECT_TRUE(item_is(1, 0, {0, 720, 36, 732}));
    EXPECT_TRUE(item_is(1, 1, {0, 708, 36, 720}));
    // A submenu does not move the bar on.
    VOVARU_create_menu(2, 0, "Edit");
    EXPECT_EQ(menu[2].x1, 48);

    // Korean items are 14 high, separators 2 whatever the language; plain
    // text in a Korean menu is not flagged.
    mnw.lang = kMenuLangKorean;
    VOVARU_create_menu(3, 0, "\x01\x42");
    VOVARU_append_menu(3, 0, 1, "\x01\x42\x01\x43", 0);
    VOVARU_append_menu(3, 1, 2, "-", 0);
    VOVARU_append_menu(3, 2, 3, "Plain", 1);
    const menu_struct& k = menu[3];
    EXPECT_EQ(k.items[0].flag, 1);
    EXPECT_EQ(k.items[1].flag, 1);
    EXPECT_EQ(k.items[2].flag, 0);
    EXPECT_EQ(k.items[0].y2 - k.items[0].y1, 14);
    EXPECT_EQ(k.items[1].y2 - k.items[1].y1, 2);
    EXPECT_EQ(k.items[2].y2 - k.items[2].y1, 12);
    EXPECT_EQ(k.items[0].x2 - k.items[0].x1, 15 * 5 + 30); // "Plain" is 5 bytes
}

TEST_F(MenuEdit, SettingAnItemPastTheEndFillsTheGap)
{
    VOVARU_create_menu(0, 0, "File");
    VOVARU_append_menu(0, 3, 9, "Last", 0);
    ASSERT_EQ(menu[0].items.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(menu[0].items[size_t(i)].text, "");
    // It lands where it would below three items.
    EXPECT_TRUE(item_is(0, 3, {0, 700, 50, 712}));

    // Overwriting an item with a longer text widens the items up to it only.
    VOVARU_create_menu(1, 0, "Edit");
    VOVARU_append_menu(1, 0, 1, "a", 0);
    VOVARU_append_menu(1, 1, 2, "b", 0);
    VOVARU_append_menu(1, 2, 3, "c", 0);
    VOVARU_append_menu(1, 1, 2, "Preferences", 0);
    const std::vector<item_struct>& it = menu[1].items;
    const int wide = 48 + 58 + 30; // "Preferences" is 58 wide
    EXPECT_EQ(it[0].x2, wide);
    EXPECT_EQ(it[1].x2, wide);
    EXPECT_EQ(it[2].x2, 48 + 37); // "b" was the widest when "c" came
    EXPECT_EQ(it[1].text, "Preferences");
    EXPECT_EQ(it.size(), 3u);
}

TEST_F(MenuEdit, RemovingAnItemClosesTheList)
{
    VOVARU_create_menu(0, 0, "File");
    VOVARU_append_menu(0, 0, 1, "One", 0);
    VOVARU_append_menu(0, 1, 2, "Two", 0);
    VOVARU_append_menu(0, 2, 3, "Three", 0);
    const rect one = {0, 736, 59, 748}, two = {0, 724, 59, 736};
    VOVARU_remove_menu_item(0, 1);
    ASSERT_EQ(menu[0].items.size(), 2u);
    EXPECT_TRUE(item_is(0, 0, one));
    EXPECT_EQ(menu[0].items[1].text, "Three");
    EXPECT_TRUE(item_is(0, 1, two));

    // A separator goes up by 2.
    VOVARU_append_menu(0, 1, 0, "-", 0);
    VOVARU_append_menu(0, 2, 3, "Three", 0);
    EXPECT_TRUE(item_is(0, 2, {0, 722, 59, 734}));
    VOVARU_remove_menu_item(0, 1);
    EXPECT_TRUE(item_is(0, 1, two));

    // Emptying keeps the title and its place.
    VOVARU_clear_items(0);
    EXPECT_TRUE(menu[0].items.empty());
    EXPECT_EQ(menu[0].title, "File");
    EXPECT_TRUE(title_is(0, {0, 750, 48, 768}));
    EXPECT_EQ(accept_menu(-5), 1);
    EXPECT_EQ(accept_item(12345), 1);
}

// Indexes that name nothing change nothing and raise nothing.
TEST_F(MenuEdit, IndexesOutsideTheListDoNothing)
{
    VOVARU_create_menu(0, 0, "File");
    VOVARU_append_menu(0, 0, 1, "One", 0);
    VOVARU_append_menu(0, 1, 2, "Two", 0);
    const std::vector<menu_struct> before = menu;
    AlertProbe probe;
    const struct {
        const char* what;
        void (*call)();
    } cases[] = {
        {"append menu -1", [] { VOVARU_append_menu(-1, 0, 1, "x", 0); }},
        {"append item -1", [] { VOVARU_append_menu(0, -1, 1, "x", 0); }},
        {"append both INT_MIN", [] { VOVARU_append_menu(INT_MIN, INT_MIN, 1, "x", 0); }},
        {"remove menu -1", [] { VOVARU_remove_menu_item(-1, 0); }},
        {"remove item -1", [] { VOVARU_remove_menu_item(0, -1); }},
        {"remove item at the count", [] { VOVARU_remove_menu_item(0, 2); }},
        {"remove item 299", [] { VOVARU_remove_menu_item(0, 299); }},
        {"remove from an empty menu", [] { VOVARU_remove_menu_item(5, 0); }},
        {"create menu -1", [] { VOVARU_create_menu(-1, 0, "x"); }},
        {"create menu INT_MIN", [] { VOVARU_create_menu(INT_MIN, 0, "x"); }},
        {"clear menu -1", [] { VOVARU_clear_items(-1); }},
        {"clear menu 1520", [] { VOVARU_clear_items(1520); }},
        {"clear menu INT_MAX", [] { VOVARU_clear_items(INT_MAX); }},
    };
    for (const auto& c : cases) {
        c.call();
        ASSERT_EQ(menu.size(), before.size()) << c.what;
        EXPECT_EQ(menu[0].items.size(), 2u) << c.what;
        EXPECT_EQ(menu[0].items[1].text, "Two") << c.what;
        EXPECT_TRUE(menu[5].items.empty()) << c.what;
    }
    EXPECT_EQ(probe.count(), 0u);
}

// Every error ends the program with its four lines.
TEST(MenuEditFatal, ErrorsEndTheProgram)
{
    TempCwd cwd;
    const std::string long_text(40, 'x');
    const struct {
        const char* what;
        void (*call)();
        std::string lines[4];
    } cases[] = {
        {"create 1520",
         [] { VOVARU_create_menu(1520, 0, "T"); },
         {"Menu index out of range in create_menu!", "", "", "T"}},
        {"create INT_MAX",
         [] { VOVARU_create_menu(INT_MAX, 0, "T"); },
         {"Menu index out of range in create_menu!", "", "", "T"}},
        {"append 1520",
         [] { VOVARU_append_menu(1520, 0, 1, "I", 0); },
         {"Menu index out of range in append_menu!", "", "", "I"}},
        {"append item 300",
         [] { VOVARU_append_menu(0, 300, 1, "I", 0); },
         {"Item index out of range in append_menu!", "", "", "I"}},
        {"append 40 characters",
         [] { VOVARU_append_menu(0, 0, 1, std::string(40, 'x'), 0); },
         {"Menu name too long in append_menu!", "", "", long_text}},
        {"remove 1520",
         [] { VOVARU_remove_menu_item(1520, 0); },
         {"Menu index out of range in append_menu!", "", "", ""}},
        {"remove item 300",
         [] { VOVARU_remove_menu_item(0, 300); },
         {"Item index out of range in append_menu!", "", "", ""}},
        // Parents that name no item of the table.
        {"parent -1",
         [] { VOVARU_create_menu(1, -1, "Sub"); },
         {"Parent item out of range in create_menu!", "", "", "Sub"}},
        {"parent INT_MIN",
         [] { VOVARU_create_menu(1, INT_MIN, "Sub"); },
         {"Parent item out of range in create_menu!", "", "", "Sub"}},
        {"parent past the items",
         [] { VOVARU_create_menu(1, 2, "Sub"); },
         {"Parent item out of range in create_menu!", "", "", "Sub"}},
        {"parent of an empty menu",
         [] { VOVARU_create_menu(1, 7 * 300, "Sub"); },
         {"Parent item out of range in create_menu!", "", "", "Sub"}},
        {"parent menu past the table",
         [] { VOVARU_create_menu(1, 1520 * 300, "Sub"); },
         {"Parent item out of range in create_menu!", "", "", "Sub"}},
        {"parent INT_MAX",
         [] { VOVARU_create_menu(1, INT_MAX, "Sub"); },
         {"Parent item out of range in create_menu!", "", "", "Sub"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        void (*call)() = c.call;
        const ChildResult r = run_in_child([call] {
            VOVARU_clear_menus(1);
            mnw.res_y = 768;
            VOVARU_create_menu(0, 0, "File");
            VOVARU_append_menu(0, 0, 1, "One", 0);
            VOVARU_append_menu(0, 1, 2, "Two", 0);
            call();
            std::printf("returned\n");
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_EQ(r.out, "Didozuroz Error:\n" + c.lines[0] + "\n\n" + c.lines[1] + "\n\n" +
                             c.lines[2] + "\n\n" + c.lines[3] + "\n\nSorry.\n");
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    }

    // Before start-up made the table, no index is in it.
    const ChildResult r = run_in_child([] {
        menu.clear();
        VOVARU_create_menu(0, 0, "File");
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("Menu index out of range in create_menu!"), std::string::npos);
}

// Coordinates that would not fit 16 bits stop at the edge of the range
// instead of wrapping to the other side.
TEST_F(MenuEdit, CoordinatesStayInsideSixteenBits)
{
    // A bar of 1520 wide titles runs far past 32767.
    const std::string wide(40, 'W'); // 470 pixels with the padding
    for (int i = 0; i <= kMenuLastIndex; ++i)
        VOVARU_create_menu(i, 0, wide);
    int last_x1 = -1;
    for (int i = 0; i <= kMenuLastIndex; ++i) {
        const menu_struct& m = menu[size_t(i)];
        ASSERT_GE(m.x1, last_x1) << i;
        ASSERT_LE(m.x1, m.x2) << i;
        last_x1 = m.x1;
    }
    EXPECT_EQ(menu[kMenuLastIndex].x1, SHRT_MAX);
    EXPECT_EQ(menu[kMenuLastIndex].x2, SHRT_MAX);
    VOVARU_append_menu(kMenuLastIndex, 0, 1, std::string(39, 'W'), 0);
    EXPECT_EQ(menu[kMenuLastIndex].items[0].x2, SHRT_MAX);

    // A chain of submenus, each hanging from the last of 300 items, runs
    // far below the window: nothing comes back above the bar.
    VOVARU_create_menu(0, 0, "File");
    for (int level = 0; level < 12; ++level) {
        if (level > 0) VOVARU_create_menu(level, (level - 1) * 300 + 299, "Sub");
        for (int k = 0; k < 300; ++k)
            VOVARU_append_menu(level, k, k, "Item", 0);
    }
    for (int level = 0; level < 12; ++level) {
        const std::vector<item_struct>& items = menu[size_t(level)].items;
        for (size_t k = 1; k < items.size(); ++k) {
            ASSERT_LE(items[k].y2, items[k - 1].y2) << level << " " << k;
            ASSERT_LE(items[k].y1, items[k].y2) << level << " " << k;
        }
    }
    EXPECT_EQ(menu[11].items[299].y1, SHRT_MIN);

    // A drawable taller than 16 bits puts the bar at the top of the range.
    mnw.res_y = 40000;
    VOVARU_create_menu(21, 0, "T");
    EXPECT_EQ(menu[21].y1, SHRT_MAX);
    EXPECT_EQ(menu[21].y2, SHRT_MAX);
    VOVARU_append_menu(21, 0, 1, "a", 0);
    EXPECT_EQ(menu[21].items[0].y2, SHRT_MAX - 2);

    // Removing an item moves the others up, and no further than the top.
    VOVARU_append_menu(21, 1, 1, "b", 0);
    menu[21].items[1].y2 = SHRT_MAX - 5;
    VOVARU_remove_menu_item(21, 0);
    EXPECT_EQ(menu[21].items[0].y2, SHRT_MAX);
    EXPECT_EQ(menu[21].items[0].y1, SHRT_MAX - 26 + 12);
}
