// The folder picker: its path levels and answer as plain functions, and the
// picker itself in window 998, operated with real input (xdotool) through
// the frame pass under a private X server, with screenshots.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Files/io_utils.h"
#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "platform/PlatformUtils.h"
#include "support/alert_probe.h"
#include "support/fake_clock.h"
#include "support/frame_driver.h"
#include "support/picker_script.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

using namespace picker_drive;

namespace
{
std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}
} // namespace

// ---------------------------------------------------------------------------
// Path levels and the answer (no window)
// ---------------------------------------------------------------------------

TEST(PickerLevels, StaircaseAndPopupOfAPath)
{
    const struct {
        const char* folder;
        std::vector<std::string> paths;
        std::vector<std::string> shown;
        const char* choices;
        int current;
    } cases[] = {
        {"/", {"/"}, {""}, "/", 0},
        {"/home/user/", {"/", "/home/", "/home/user/"}, {"", "home", "user"}, "/-home-user", 2},
        // '-' and '|' are blanks on screen; the stored levels keep the names.
        {"/a-b/a|b/", {"/", "/a-b/", "/a-b/a|b/"}, {"", "a b", "a b"}, "/-a b-a b", 2},
        {"/x/--|/", {"/", "/x/", "/x/--|/"}, {"", "x", "   "}, "/-x-   ", 2},
        // Two leading slashes make an empty level of their own.
        {"//data/", {"/", "//", "//data/"}, {"", "", "data"}, "/--data", 2},
        // Without '/' at either end: the first level is still offered with '/'.
        {"rel/x", {"rel/", "rel/x"}, {"rel", "x"}, "/rel-x", 1},
        {"", {}, {}, "", -1},
    };
    for (const auto& c : cases) {
        const picker_levels lv = picker_path_levels(c.folder);
        EXPECT_EQ(lv.paths, c.paths) << c.folder;
        EXPECT_EQ(lv.shown, c.shown) << c.folder;
        EXPECT_EQ(lv.choices, c.choices) << c.folder;
        EXPECT_EQ(lv.current, c.current) << c.folder;
        std::vector<std::string> items;
        EXPECT_EQ(BTN_split_choices(lv.choices, &items), 0) << c.folder; // no fatal alert
    }
}

// More levels than the pop-up holds: the deepest 300 are kept, the root's
// "/" goes with the root.
TEST(PickerLevels, DeepPathsKeepTheirDeepestLevels)
{
    const struct {
        int depth;
        size_t levels;
        const char* first_choice;
    } cases[] = {{299, 300, "/"}, {300, 300, "a"}, {301, 300, "a"}, {1000, 300, "a"}};
    for (const auto& c : cases) {
        const std::string folder = "/" + repeat("a/", c.depth);
        const picker_levels lv = picker_path_levels(folder);
        ASSERT_EQ(lv.paths.size(), c.levels) << c.depth;
        EXPECT_EQ(lv.paths.back(), folder) << c.depth;
        EXPECT_EQ(lv.paths.front(), "/" + repeat("a/", c.depth + 1 - int(c.levels))) << c.depth;
        EXPECT_EQ(lv.current, int(c.levels) - 1) << c.depth;
        std::vector<std::string> items;
        ASSERT_EQ(BTN_split_choices(lv.choices, &items), 0) << c.depth;
        EXPECT_EQ(items.size(), c.levels) << c.depth;
        EXPECT_EQ(items.front(), c.first_choice) << c.depth;
    }
}

TEST(PickerAnswer, AtMostOneLeadingSlashAndTheBufferSize)
{
    const struct {
        const char *folder, *answer;
    } answers[] = {{"//data/", "/data/"}, {"/data/", "/data/"}, {"////x/", "/x/"},
                   {"data/", "data/"},    {"/", "/"},           {"//", "/"}};
    for (const auto& a : answers)
        EXPECT_EQ(picker_answer(a.folder), a.answer) << a.folder;

    const struct {
        size_t length, size;
        int copied;
    } fits[] = {{2047, 2048, 1}, {2048, 2048, 0}, {5000, 2048, 0}, {0, 1, 1}, {0, 0, 0}};
    for (const auto& f : fits) {
        std::vector<char> out(f.size + 8, '#');
        const std::string text(f.length, 'p');
        EXPECT_EQ(picker_copy_out(text, out.data(), f.size), f.copied) << f.length;
        if (f.copied) {
            EXPECT_EQ(std::string(out.data()), text);
        } else {
            for (char ch : out)
                EXPECT_EQ(ch, '#') << f.length; // nothing written
        }
        EXPECT_EQ(out[f.size], '#') << f.length; // never past the buffer
    }
    EXPECT_EQ(picker_copy_out("x", nullptr, 10), 0);
}

// Without the shell (no window to pick in) nothing is picked.
TEST(PickerAnswer, WithoutTheShellNothingIsPicked)
{
    ASSERT_EQ(VOVARU_shell().frame, nullptr);
    char out[16] = "unchanged";
    EXPECT_EQ(GetFilePathFromUser(2, "", "", 1, "/", out, sizeof out), 0);
    EXPECT_STREQ(out, "unchanged");
}

// ---------------------------------------------------------------------------
// The picker in window 998, driven step by step
// ---------------------------------------------------------------------------

namespace
{
bool is_dir(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

// Return and a double click enter folders (one named a|b), the pop-up goes
// back up, Select hands back the folder and restores window 0.
TEST(PickerInput, EnterWithReturnAndDoubleClickGoUpAndSelect)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd; // the alert's "MemoryLog.txt"
    TempDir t;
    for (const char* f : {"a-b", "a|b", "alpha", "beta", "a|b/inner", "a|b/inner/deep"})
        t.mkdir(f);
    t.write("note.txt"); // files are not listed
    FakeClock clock;     // still: a second press on a row is a double click
    open_picker_window();
    const std::string root = t.path();

    g_steps = {
        {"the root listed", always,
         [&](const picker_view& v) {
             EXPECT_EQ(v.names, std::vector<std::string>({"a-b", "alpha", "a|b", "beta"}));
             EXPECT_EQ(v.selection, 2); // 4 / 2
             EXPECT_EQ(v.middle, 2);
             EXPECT_EQ(v.levels.paths.back(), root);
             EXPECT_EQ(v.plevel, v.levels.current);
             click(kListX, row_of(3, v));
         }},
        {"beta selected", [](const picker_view& v) { return v.selection == 3; },
         [](const picker_view&) { keys_queued("Up"); }},
        {"a|b selected", [](const picker_view& v) { return v.selection == 2; },
         [](const picker_view&) { keys_queued("Return"); }},
        {"a|b entered",
         [&](const picker_view& v) { return v.folder == root + "a|b/" && v.middle == 0; },
         [&](const picker_view& v) {
             EXPECT_EQ(v.names, std::vector<std::string>({"inner"}));
             EXPECT_EQ(v.levels.shown.back(), "a b");
             EXPECT_EQ(v.levels.paths.back(), root + "a|b/");
             click(kListX, row_of(0, v));
         }},
        {"second press of the double click", always,
         [&](const picker_view& v) { click(kListX, row_of(0, v)); }},
        {"inner entered", [&](const picker_view& v) { return v.folder == root + "a|b/inner/"; },
         [](const picker_view& v) { EXPECT_EQ(v.names, std::vector<std::string>({"deep"})); }},
        pause(2),
        {"open the pop-up", always,
         [](const picker_view&) {
             xvfb_shown_frame("picker_inner.png");
             click(kPopupX, kPopupY);
         }},
        {"the pop-up opened", popup_open, [](const picker_view&) {}},
        pause(2),
        {"pick the root folder's level", popup_open,
         [&](const picker_view& v) {
             xvfb_shown_frame("picker_popup.png");
             const int level = int(v.levels.paths.size()) - 3;
             ASSERT_EQ(v.levels.paths[size_t(level)], root);
             click_level(level);
         }},
        {"back in the root", [&](const picker_view& v) { return v.folder == root; },
         [](const picker_view&) { click(kSelectX, kButtonY); }},
    };
    std::string answer;
    EXPECT_EQ(run_picker(root, &answer), 1);
    EXPECT_EQ(answer, root);
    EXPECT_EQ(mnw.win_now, kWinMain);
    EXPECT_TRUE(g_alerts.empty());
}

// New Folder makes the folder and keeps the name; a refused one (it exists,
// the folder does not exist, a system folder) is told with its error text,
// dismissed with OK, and the picker stays where it was.
TEST(PickerInput, NewFolderMadeAndRefused)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    TempDir t;
    t.mkdir("alpha");
    open_picker_window();
    const std::string root = t.path();

    g_steps = {
        {"type a name", always, [](const picker_view&) { keys_queued("n e w d i r"); }},
        {"press New Folder", [](const picker_view& v) { return v.name_field == "newdir"; },
         [](const picker_view&) { click(kNewFolderX, kButtonY); }},
        {"listed", [](const picker_view& v) { return v.names.size() == 2; },
         [&](const picker_view& v) {
             EXPECT_EQ(v.names, std::vector<std::string>({"alpha", "newdir"}));
             EXPECT_TRUE(is_dir(root + "newdir"));
             EXPECT_EQ(v.name_field, "newdir");
             EXPECT_EQ(v.folder, root); // not entered
             EXPECT_TRUE(g_alerts.empty());
             click(kNewFolderX, kButtonY); // again: it exists now
         }},
        {"the alert told and closed", [](const picker_view&) { return g_alerts.size() == 1; },
         [&](const picker_view& v) {
             EXPECT_EQ(g_alerts[0],
                       std::vector<std::string>({"I could not make the new folder.",
                                                 "Error: File exists", root + "newdir", ""}));
             EXPECT_EQ(mnw.win_now, kWinPicker);
             EXPECT_EQ(v.folder, root);
         }},
        pause(2),
        {"type past 30 characters", always,
         [](const picker_view&) {
             xvfb_shown_frame("picker_new_folder.png");
             keys_queued(repeat("x ", 30));
         }},
        {"the name is cut to 30", [](const picker_view& v) { return v.name_field.size() == 30; },
         [](const picker_view& v) {
             EXPECT_EQ(v.name_field, "newdir" + std::string(24, 'x'));
             click(kCancelX, kButtonY);
         }},
    };
    std::string answer;
    EXPECT_EQ(run_picker(root, &answer), 0);
    EXPECT_EQ(answer, "unchanged");

    // Browsing folders where mkdir fails, also for root.
    const struct {
        std::string start;
        std::string error;
    } refused[] = {{root + "missing/", "Error: " + error_str(ENOENT)}, {"/sys/", ""}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.start);
        g_alerts.clear();
        restart_script();
        g_steps = {
            {"type a name", always, [](const picker_view&) { keys_queued("z z"); }},
            {"press New Folder", [](const picker_view& v) { return v.name_field == "zz"; },
             [](const picker_view&) { click(kNewFolderX, kButtonY); }},
            {"the alert told and closed", [](const picker_view&) { return g_alerts.size() == 1; },
             [&](const picker_view& v) {
                 EXPECT_EQ(g_alerts[0][0], "I could not make the new folder.");
                 if (!r.error.empty()) {
                     EXPECT_EQ(g_alerts[0][1], r.error);
                 } else {
                     EXPECT_EQ(g_alerts[0][1].rfind("Error: ", 0), 0u) << g_alerts[0][1];
                 }
                 EXPECT_EQ(g_alerts[0][2], r.start + "zz");
                 EXPECT_FALSE(is_dir(r.start + "zz"));
                 EXPECT_EQ(v.folder, r.start);
                 click(kCancelX, kButtonY);
             }},
        };
        EXPECT_EQ(run_picker(r.start, &answer), 0);
    }
}

// Cancel hands back nothing; window 998 has no close boxes, Return with
// nothing listed does nothing, and another window started meanwhile or the
// end of the program closes the picker with 0.
TEST(PickerInput, CancelCloseBoxCornersAndOtherWaysOut)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    TempDir t;
    open_picker_window();
    const std::string root = t.path();
    int passes_at = 0;

    g_steps = {
        {"Return with an empty listing", always,
         [&](const picker_view& v) {
             EXPECT_TRUE(v.names.empty());
             keys_queued("Return");
             // Where the two close boxes of a sub-window would be.
             click(16, 464);
             click(545, 464);
             passes_at = g_passes;
         }},
        {"still open", [&](const picker_view&) { return g_passes > passes_at + 10; },
         [&](const picker_view& v) {
             EXPECT_EQ(v.folder, root);
             EXPECT_EQ(mnw.win_now, kWinPicker);
             click(kCancelX, kButtonY);
         }},
    };
    std::string answer;
    EXPECT_EQ(run_picker(root, &answer), 0);
    EXPECT_EQ(answer, "unchanged");
    EXPECT_EQ(mnw.win_now, kWinMain);

    // Another window started from elsewhere stays current.
    restart_script();
    g_steps = {{"start the licence window", always,
                [](const picker_view&) { VOVARU_startwind(kWinLicence, 0); }}};
    EXPECT_EQ(run_picker(root, &answer), 0);
    EXPECT_EQ(answer, "unchanged");
    EXPECT_EQ(mnw.win_now, kWinLicence);

    // The program is ending (quit flag): the picker gives way.
    VOVARU_startwind(kWinMain, 0);
    restart_script();
    g_steps = {{"the quit flag", always, [](const picker_view&) { app_done = 1; }}};
    EXPECT_EQ(run_picker(root, &answer), 0);
    app_done = 0;
    EXPECT_EQ(answer, "unchanged");
    EXPECT_EQ(mnw.win_now, kWinMain);
}

// No start folder browses "/"; a start folder without its final '/' gets one
// instead of ending the program in the listing's fatal alert.
TEST(PickerInput, StartFolders)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    TempDir t;
    t.mkdir("one");
    open_picker_window();
    const std::string root = t.path();
    const std::string bare = root.substr(0, root.size() - 1);
    const struct {
        const char* start;
        std::string folder;
        std::vector<std::string> names;
    } cases[] = {{nullptr, "/", {}}, {"", "/", {}}, {bare.c_str(), root, {"one"}}};
    float cancel_x = kCancelX - 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start ? c.start : "(null)");
        // Each press 10 pixels beside the last: presses in one place of two
        // windows within a quarter second are one double click.
        cancel_x += 10;
        g_steps = {{"check and Cancel", always, [&](const picker_view& v) {
                        EXPECT_EQ(v.folder, c.folder);
                        if (!c.names.empty()) {
                            EXPECT_EQ(v.names, c.names);
                        } else {
                            EXPECT_EQ(v.levels.choices, "/");
                        }
                        click(cancel_x, kButtonY);
                    }}};
        restart_script();
        char out[16] = "unchanged";
        EXPECT_EQ(GetFilePathFromUser(2, "", "", 1, c.start, out, sizeof out), 0);
        expect_script_done();
        EXPECT_STREQ(out, "unchanged");
    }
}

// A 600-character path of 300 nested folders below the test's folder: more
// levels than the pop-up holds, so the deepest 300 are offered.
TEST(PickerInput, DeepPathOfNestedFolders)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    TempDir t;
    std::string deep = t.path();
    for (int i = 0; i < 300; ++i) {
        deep += "a/";
        ASSERT_EQ(mkdir(deep.c_str(), 0777), 0) << deep.size();
    }
    open_picker_window();
    g_steps = {
        pause(2),
        {"the deepest levels", always,
         [&](const picker_view& v) {
             ASSERT_EQ(v.levels.paths.size(), size_t(kPickerMaxLevels));
             EXPECT_EQ(v.levels.paths.front(), t.path() + "a/");
             EXPECT_EQ(v.plevel, kPickerMaxLevels - 1);
             xvfb_shown_frame("picker_deep.png");
             click(kPopupX, kPopupY);
         }},
        {"one level up", popup_open, [](const picker_view&) { click_level(kPickerMaxLevels - 2); }},
        {"went up", [&](const picker_view& v) { return v.folder.size() == deep.size() - 2; },
         [](const picker_view&) { click(kSelectX, kButtonY); }},
    };
    std::string answer;
    EXPECT_EQ(run_picker(deep, &answer), 1);
    EXPECT_EQ(answer, deep.substr(0, deep.size() - 2));
}

// The open pop-up slides its list down into the drawable, one item a frame;
// the picker leaves its level alone meanwhile, so upper levels that started
// above the drawable can be picked.
TEST(PickerInput, OpenPopupSlidesToUpperLevels)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    TempDir t;
    std::string deep = t.path();
    for (int i = 0; i < 40; ++i) {
        deep += "b/";
        ASSERT_EQ(mkdir(deep.c_str(), 0777), 0);
    }
    open_picker_window();
    int target = -1;
    short last_top = 0;
    int still = 0;
    // The top of an item in X rows of the drawable (negative: above it).
    auto top_row = [](int level) {
        return mnw.res_y - mnw.win_y - menu[kPopupSlot].items[size_t(level)].y2;
    };
    g_steps = {
        {"open the pop-up", always,
         [&](const picker_view& v) {
             // A level that lies above the drawable when the pop-up opens.
             target = v.levels.current - 20;
             click(kPopupX, kPopupY);
         }},
        {"opened above the drawable", popup_open,
         [&](const picker_view&) {
             EXPECT_LT(top_row(target), 0);
             last_top = menu[kPopupSlot].items[0].y1;
         }},
        {"slid until it stands still",
         [&](const picker_view&) {
             const short top = menu[kPopupSlot].items[0].y1;
             still = top == last_top ? still + 1 : 0;
             last_top = top;
             return still >= 3;
         },
         [&](const picker_view& v) {
             EXPECT_LT(v.plevel, v.levels.current); // the level slid with the list
             ASSERT_GE(top_row(target), 0);
             click_level(target);
         }},
        {"went up", [&](const picker_view& v) { return v.folder.size() < deep.size(); },
         [&](const picker_view& v) {
             EXPECT_EQ(v.folder, v.levels.paths[size_t(target)]);
             click(kCancelX, kButtonY);
         }},
    };
    std::string answer;
    EXPECT_EQ(run_picker(deep, &answer), 0);
}

// A folder that does not fit the caller's 2048 bytes is not taken: Select
// does nothing until the folder is short enough.
TEST(PickerInput, SelectTakesOnlyAFolderThatFitsTheBuffer)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    TempCwd cwd;
    TempDir t;
    std::string deep = t.path();
    while (deep.size() < 2100) {
        deep += std::string(50, 'd') + "/";
        ASSERT_EQ(mkdir(deep.c_str(), 0777), 0) << deep.size();
    }
    open_picker_window();
    int passes_at = 0;
    int fitting = -1;
    g_steps = {
        {"Select a folder too long", always,
         [&](const picker_view&) {
             click(kSelectX, kButtonY);
             passes_at = g_passes;
         }},
        {"still open", [&](const picker_view&) { return g_passes > passes_at + 10; },
         [&](const picker_view& v) {
             EXPECT_EQ(v.folder, deep);
             click(kPopupX, kPopupY);
         }},
        {"pick the deepest level that fits", popup_open,
         [&](const picker_view& v) {
             for (size_t k = 0; k < v.levels.paths.size(); ++k)
                 if (v.levels.paths[k].size() < 2048) fitting = int(k);
             ASSERT_GE(fitting, 0);
             click_level(fitting);
         }},
        {"then Select", [&](const picker_view& v) { return v.folder.size() < 2048; },
         [](const picker_view&) { click(kSelectX, kButtonY); }},
    };
    std::string answer;
    EXPECT_EQ(run_picker(deep, &answer), 1);
    EXPECT_LT(answer.size(), 2048u);
    EXPECT_GT(answer.size(), 2048u - 52);
    EXPECT_EQ(deep.rfind(answer, 0), 0u);
}
