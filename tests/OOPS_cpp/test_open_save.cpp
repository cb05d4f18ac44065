// The open and save picker: its path, level and name rules as tables, then
// whole calls under Xvfb answered with real keys and clicks (xdotool) that a
// script sends between the picker's passes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/open_save.h"
#include "support/alert_probe.h"
#include "support/fake_clock.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

// ---------------------------------------------------------------------------
// The rules
// ---------------------------------------------------------------------------

TEST(OpenSaveRules, StartFolders)
{
    const struct {
        int type;
        const char* hint;
        const char* folder;
    } cases[] = {
        {11, "", "Output/FMS plans/"},
        {11, "plan.fms", ""}, // a name without a folder: the base folder
        {9, "Output/situations/a.sit", "Output/situations/"},
        {0, "a/b/", "a/"},
        {0, "Output/", ""},
        {0, "a/", ""},
        {20, "", "sim/"},
        {21, "", "sim/"},
        {3, "", ""},
        {13, "", "Zudezud Rail/Output/trains/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BTN_opensave_start_folder(c.type, c.hint), c.folder) << c.type << " " << c.hint;
    const struct {
        const char* folder;
        const char* parent;
    } up[] = {{"a/b/", "a/"}, {"a/", ""}, {"abc/", ""}, {"", ""}, {"/x/", "/"}, {"x//", "x/"}};
    for (const auto& u : up)
        EXPECT_EQ(BTN_opensave_parent(u.folder), u.parent) << u.folder;
}

TEST(OpenSaveRules, SaveNames)
{
    const struct {
        int type;
        const char* name;
        const char* saved;
    } cases[] = {
        {11, "plan.txt", "plan.FMS"}, {11, "ab.c", "ab.c.FMS"},    {11, "plan", "plan.FMS"},
        {0, "abc.txt", "abc"},        {2, "shot.png", "shot.BMP"}, {20, "a.b.c.d", "a.b"},
        {19, ".txt", ".txt.TXT"},     {9, "x.sit", "x.SIT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BTN_opensave_save_name(c.type, c.name), c.saved) << c.type << " " << c.name;
}

TEST(OpenSaveRules, LevelsStaircaseAndPopup)
{
    opensave_levels lv = BTN_opensave_levels("");
    EXPECT_EQ(lv.popup, "Didozuroz folder");
    EXPECT_EQ(lv.paths, std::vector<std::string>{""});
    EXPECT_TRUE(lv.names.empty());
    EXPECT_EQ(lv.level, 0);

    lv = BTN_opensave_levels("a-b/c/");
    EXPECT_EQ(lv.names, (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(lv.popup, "Didozuroz folder-a b-c");
    EXPECT_EQ(lv.paths, (std::vector<std::string>{"", "a-b/", "a-b/c/"}));
    EXPECT_EQ(lv.level, 2);

    // A '|' is legal in a folder name but not in a pop-up item.
    lv = BTN_opensave_levels("x|y/");
    EXPECT_EQ(lv.names, std::vector<std::string>{"x|y"});
    EXPECT_EQ(lv.popup, "Didozuroz folder-x y");
    std::vector<std::string> items;
    EXPECT_EQ(BTN_split_choices(lv.popup, &items), 0);

    // 305 levels: the base folder and the deepest 299 levels.
    std::string deep;
    for (int i = 0; i < 305; ++i)
        deep += std::to_string(i) + "/";
    lv = BTN_opensave_levels(deep);
    EXPECT_EQ(lv.names.size(), 305u);
    EXPECT_EQ(BTN_split_choices(lv.popup, &items), 0);
    ASSERT_EQ(items.size(), size_t(kBTNMaxPopupItems));
    EXPECT_EQ(items[0], "Didozuroz folder");
    EXPECT_EQ(items[1], "6");
    EXPECT_EQ(items.back(), "304");
    ASSERT_EQ(lv.paths.size(), items.size());
    EXPECT_EQ(lv.paths.back(), deep);
    EXPECT_EQ(lv.paths[1], deep.substr(0, deep.find("7/")));
    EXPECT_EQ(lv.level, kBTNMaxPopupItems - 1);
    // 299 levels still fit whole.
    std::string fits;
    for (int i = 0; i < 299; ++i)
        fits += "f/";
    lv = BTN_opensave_levels(fits);
    EXPECT_EQ(lv.paths.size(), 300u);
    EXPECT_EQ(lv.paths[1], "f/");
}

TEST(OpenSaveRules, BadArgumentsAreFatal)
{
    TempCwd cwd; // the alert's "MemoryLog.txt"
    const struct {
        int open_save, type;
        const char* line;
    } cases[] = {{997, 0, "Bad open_save arg to BTN_opensave!"},
                 {998, 22, "Bad file_type arg to BTN_opensave!"},
                 {999, -1, "Bad file_type arg to BTN_opensave!"}};
    for (const auto& c : cases) {
        const ChildResult r = run_in_child([&] {
            std::string p;
            BTN_opensave(c.open_save, c.type, &p);
        });
        EXPECT_TRUE(r.aborted()) << c.line;
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
    }
}

// ---------------------------------------------------------------------------
// Whole calls under Xvfb
// ---------------------------------------------------------------------------

namespace
{

// What the picker held at its last pass.
struct seen_state {
    int pass = -1;
    std::string folder, save_name;
    std::vector<std::string> names;
    int selection = 0, level = 0;
};
seen_state g_seen;

// A script: each step waits for its condition, then acts once.
struct step {
    std::function<bool()> ready;
    std::function<void()> act;
};
std::vector<step> g_script;
size_t g_next = 0;
FakeClock* g_clock = nullptr;
constexpr int kMaxPasses = 600;

// A step that does nothing but note the pass, and the condition that the
// frame of that pass is on screen (a shot shows it).
int g_mark = 0;
void mark()
{
    g_mark = g_seen.pass;
}
bool shown_since_mark()
{
    return g_seen.pass > g_mark;
}

std::string win()
{
    return std::to_string(x11.window[0]);
}
// X pixel of window point (x, y) of the current window (768 rows, y down).
std::string at(float x, float y)
{
    return std::to_string(int(mnw.win_x + x)) + " " + std::to_string(int(768 - (mnw.win_y + y)));
}
void click(float x, float y)
{
    xdo("mousemove --window " + win() + " " + at(x, y) + " click 1");
}
void press(const std::string& names)
{
    xdo("key --window " + win() + " " + names);
}
// Clicks the middle of item i of the open pop-up.
void click_popup_item(int i)
{
    const item_struct& it = menu[size_t(kPopupSlot)].items[size_t(i)];
    click((it.x1 + it.x2) * 0.5f, (it.y1 + it.y2) * 0.5f);
}

void probe(const opensave_view& v)
{
    g_seen.pass = v.pass;
    g_seen.folder = *v.folder;
    g_seen.names = *v.names;
    g_seen.selection = v.selection;
    g_seen.level = v.level;
    g_seen.save_name = *v.save_name;
    // A second a pass: no two clicks make a double click, no typing joins.
    g_clock->advance(1);
    if (g_next < g_script.size() && g_script[g_next].ready()) g_script[g_next++].act();
    if (v.pass == kMaxPasses) press("Escape"); // a stuck script ends the call
}

struct picker_run {
    int result;
    std::string path;
};
picker_run run_picker(int open_save, int type, const std::string& hint, std::vector<step> script)
{
    g_script = std::move(script);
    g_next = 0;
    g_seen = seen_state{};
    picker_run r{0, hint};
    BTN_opensave_set_watch_hook(probe);
    r.result = BTN_opensave(open_save, type, &r.path);
    BTN_opensave_set_watch_hook(nullptr);
    EXPECT_EQ(g_next, g_script.size()) << "script stopped at step " << g_next;
    EXPECT_LT(g_seen.pass, kMaxPasses);
    EXPECT_EQ(mnw.win_now, kWinMain);
    return r;
}

void make_file(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fclose(f);
}

void open_shell()
{
    xvfb_open_shell_window();
    VOVARU_startwind(kWinMain, 0);
    VOVARU_event_proc();
    xdo("mousemove --window " + win() + " 40 40");
}

// A private current folder, the fake clock the probe moves, and the shell's
// window in its main window.
struct picker_env {
    TempCwd cwd;
    FakeClock clock;
    picker_env()
    {
        g_clock = &clock;
        open_shell();
    }
    ~picker_env() { g_clock = nullptr; }
};

bool in(const std::string& folder)
{
    return g_seen.folder == folder;
}

// The rows of the list (left edge 10, centre 180): the middle row shows the
// selected item after entering a folder.
constexpr float kRowX = 100, kMiddleY = 180;

} // namespace

TEST(OpenSavePicker, OpenEntersFoldersPicksAParentAndReturnsAFile)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    picker_env env;
    ASSERT_EQ(::mkdir("alpha", 0755), 0);
    ASSERT_EQ(::mkdir("alpha/beta-gamma", 0755), 0);
    make_file("alpha/beta-gamma/deep.txt");
    make_file("alpha/note.txt");
    make_file("zeta.txt");
    AlertProbe probe;
    std::vector<std::string> popup_items;

    const picker_run r = run_picker(
        998, 0, "",
        {
            // Base folder: alpha, zeta.txt; the middle entry (zeta.txt) is
            // selected. Select alpha (the row above) and press Return.
            {[] { return in("") && g_seen.selection == 1; }, [] { click(kRowX, kMiddleY + 10); }},
            {[] { return in("") && g_seen.selection == 0; }, [] { press("Return"); }},
            // alpha/: beta-gamma, note.txt. Select beta-gamma, then "Open".
            {[] { return in("alpha/") && g_seen.selection == 1; },
             [] { click(kRowX, kMiddleY + 10); }},
            {[] { return in("alpha/") && g_seen.selection == 0; }, [] { click(280, 18); }},
            // Three levels deep: open the pop-up of levels.
            {[] { return in("alpha/beta-gamma/") && g_seen.level == 2; }, mark},
            {[] { return shown_since_mark(); },
             [] {
                 xvfb_shown_frame("open_picker.png");
                 click(150, 437);
             }},
            {[] { return mnw.menu_open == kPopupSlot; },
             [&] {
                 for (const item_struct& it : menu[size_t(kPopupSlot)].items)
                     popup_items.push_back(it.text);
                 click_popup_item(1);
             }},
            // Back in alpha/ through the pop-up; Backspace goes up once more.
            {[] { return in("alpha/") && g_seen.level == 1; }, [] { press("BackSpace"); }},
            // Base folder again: Return on the selected file opens it.
            {[] { return in("") && g_seen.selection == 1; }, [] { press("Return"); }},
        });
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.path, "zeta.txt");
    EXPECT_EQ(popup_items, (std::vector<std::string>{"Didozuroz folder", "alpha", "beta gamma"}));
    EXPECT_EQ(probe.count(), 0u);

    // Return on a file of a folder deeper down.
    const picker_run deep =
        run_picker(998, 0, "alpha/beta-gamma/old.txt",
                   {{[] { return in("alpha/beta-gamma/") && g_seen.selection == 0; },
                     [] { press("Return"); }}});
    EXPECT_EQ(deep.result, 1);
    EXPECT_EQ(deep.path, "alpha/beta-gamma/deep.txt");
}

TEST(OpenSavePicker, EscapeAndCancelLeaveTheStringAlone)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    picker_env env;
    make_file("zeta.txt");
    stls[kStlsCancel] = "Cancel";
    for (const bool by_escape : {true, false}) {
        SCOPED_TRACE(by_escape ? "Escape" : "Cancel");
        const picker_run r = run_picker(998, 0, "some/where.txt",
                                        {{[] { return g_seen.pass == 2; },
                                          [by_escape] {
                                              if (by_escape)
                                                  press("Escape");
                                              else
                                                  click(33, 18);
                                          }}});
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.path, "some/where.txt");
    }
    // An empty folder: Return does nothing, Backspace goes up.
    ASSERT_EQ(::mkdir("empty", 0755), 0);
    const picker_run r =
        run_picker(998, 0, "empty/x",
                   {{[] { return in("empty/"); }, [] { press("Return"); }},
                    {[] { return in("empty/") && g_seen.pass > 3; }, [] { press("BackSpace"); }},
                    {[] { return in(""); }, [] { press("Escape"); }}});
    EXPECT_EQ(r.result, 0);
}

TEST(OpenSavePicker, SaveNamesTakeTheTypesExtension)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    picker_env env;
    ASSERT_EQ(::mkdir("Output", 0755), 0);
    ASSERT_EQ(::mkdir("Output/FMS plans", 0755), 0);
    ASSERT_EQ(::mkdir("Output/FMS plans/old", 0755), 0);
    AlertProbe probe;

    // Return with no name does nothing; the typed name is completed.
    picker_run r = run_picker(
        999, 11, "",
        {{[] { return in("Output/FMS plans/") && g_seen.pass == 1; }, [] { press("Return"); }},
         {[] { return g_seen.pass == 4; }, [] { press("p l a n period t x t"); }},
         {[] { return g_seen.save_name == "plan.txt"; }, mark},
         {[] { return shown_since_mark(); },
          [] {
              xvfb_shown_frame("save_picker.png");
              press("Return");
          }}});
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.path, "Output/FMS plans/plan.FMS");

    // A four-character name keeps its dot; the Save button saves.
    r = run_picker(999, 11, "",
                   {{[] { return g_seen.pass == 1; }, [] { press("a b period c"); }},
                    {[] { return g_seen.save_name == "ab.c"; }, [] { click(282, 18); }}});
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.path, "Output/FMS plans/ab.c.FMS");

    // Without a save extension the extension goes; Return saves even with a
    // folder selected, and Backspace edits the name, not the folder.
    r = run_picker(
        999, 0, "Output/FMS plans/x",
        {{[] { return g_seen.pass == 1; }, [] { press("a b c x BackSpace period t x t"); }},
         {[] { return g_seen.save_name == "abc.txt"; }, [] { press("Return"); }}});
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.path, "Output/FMS plans/abc");
    EXPECT_EQ(probe.count(), 0u);
}

TEST(OpenSavePicker, DeepFoldersAndBarsInNamesReachThePopup)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    picker_env env;
    std::string deep;
    for (int i = 0; i < 305; ++i) {
        deep += "d/";
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0) << i;
    }
    const std::string odd = deep + "a|b-c/";
    ASSERT_EQ(::mkdir(odd.c_str(), 0755), 0);
    make_file(odd + "f.txt");
    AlertProbe probe;
    size_t items = 0;
    std::string last;
    const picker_run r =
        run_picker(998, 0, odd + "f.txt",
                   {{[&] { return in(odd) && g_seen.level == kBTNMaxPopupItems - 1; },
                     [] { click(150, 437); }},
                    {[] { return mnw.menu_open == kPopupSlot; },
                     [&] {
                         items = menu[size_t(kPopupSlot)].items.size();
                         last = menu[size_t(kPopupSlot)].items.back().text;
                         click_popup_item(kBTNMaxPopupItems - 2);
                     }},
                    {[&] { return in(deep); }, [] { press("Escape"); }}});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(items, size_t(kBTNMaxPopupItems));
    EXPECT_EQ(last, "a b c");
    EXPECT_EQ(probe.count(), 0u);
}
