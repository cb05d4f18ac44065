// The scrolling list and its scroll bar: rows, wheel, clicks, keys and
// type-ahead driven frame by frame (the fake clock for the 1 s and 0.25 s
// rules), real input through the frame pass, and a screenshot.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "UTL/UTL_time.h"
#include "support/alert_probe.h"
#include "support/fake_clock.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
// The folder picker's list: left edge 10, centre 180, 520 x 220.
constexpr float kX = 10, kY = 180, kW = 520, kH = 220;

std::vector<std::string> g_names;
std::vector<int> g_kinds;
std::vector<int> g_asked; // indices the name callback was asked for, this call

std::string names_cb(int i, void* data)
{
    g_asked.push_back(i);
    return BTN_name_from_vector(i, data);
}

std::string sizes_cb(int i, void*)
{
    return std::to_string(i * 12) + " KB";
}

struct list_state {
    int centre = 0, selection = 0, first = 0, last = 30;
    std::string name;
    std::string* name_ptr = nullptr;
    int result = 0;
};
list_state g_list;

// Draws the list as the folder picker does; records the rows asked for.
void draw_list()
{
    g_asked.clear();
    g_list.result =
        BTN_list_and_search(0, kX, kY, kW, kH, &g_list.centre, &g_list.selection, g_list.first,
                            g_list.last, g_list.name_ptr, "Name|", names_cb, &g_names, sizes_cb,
                            nullptr, BTN_type_from_vector, &g_kinds);
}

void fill_items(int n)
{
    g_names.clear();
    g_kinds.clear();
    for (int i = 0; i < n; ++i) {
        g_names.push_back("item " + std::to_string(i));
        g_kinds.push_back(i % 12);
    }
}

// A frame without the event pass: the clock update (mouse timing, the focus
// drop of a press), the ring, the list.
void frame(int press = 0, float mx = -100, float my = -100)
{
    mnw.mouse_x = mx;
    mnw.mouse_y = my;
    mnw.mouse_press = press;
    mnw.mouse_release = 0;
    xtim.xtim_update();
    BTN_begin_focus_ring();
    draw_list();
    mnw.mouse_press = 0;
    // The release ends the press before the next frame.
    if (press) {
        mnw.mouse_release = 1;
        xtim.xtim_update();
        mnw.mouse_release = 0;
    }
}

// The y of the row `rows_down` below the middle one.
float row_y(int rows_down)
{
    return kY - 10.0f * rows_down;
}

void key(int character, int vkey)
{
    BTN_dispatch_to_focus(character, vkey, kKeyFlagDown);
    BTN_dispatch_to_focus(character, vkey, kKeyFlagUp);
}

void open_main()
{
    xvfb_open_shell_window();
    VOVARU_startwind(kWinMain, 0);
    BTN_focus_window_changed();
    g_list = list_state{};
    fill_items(31);
}
} // namespace

// ---------------------------------------------------------------------------
// Without a window
// ---------------------------------------------------------------------------

TEST(ListCallbacks, VectorsAndRowCounts)
{
    std::vector<std::string> names = {"a", "bb", "ccc"};
    std::vector<int> kinds = {1, 3, 11};
    EXPECT_EQ(BTN_name_from_vector(1, &names), "bb");
    EXPECT_EQ(BTN_type_from_vector(2, &kinds), 11);
    const struct {
        float height;
        int rows;
    } rows[] = {{0, 10}, {-5, 10}, {220, 10}, {100, 4}, {45, 1}, {40, 1}, {10, 0}, {1, 0}};
    for (const auto& r : rows)
        EXPECT_EQ(BTN_list_rows(r.height), r.rows) << r.height;
}

TEST(ListCallbacks, ScrollBarThumbAndDragValues)
{
    // Track 70 .. 290: the thumb runs from 280 (min) down to 79 (max).
    EXPECT_EQ(BTN_slider_thumb_y(70, 290, 0, 30, 0), 280);
    EXPECT_EQ(BTN_slider_thumb_y(70, 290, 0, 30, 30), 79);
    EXPECT_EQ(BTN_slider_thumb_y(70, 290, 0, 30, 45), 79);
    EXPECT_EQ(BTN_slider_thumb_y(70, 290, 0, 30, -3), 280);
    EXPECT_EQ(BTN_slider_drag_value(70, 290, 0, 30, 279), 0);
    EXPECT_EQ(BTN_slider_drag_value(70, 290, 0, 30, 400), 0);
    EXPECT_EQ(BTN_slider_drag_value(70, 290, 0, 30, 81), 30);
    EXPECT_EQ(BTN_slider_drag_value(70, 290, 0, 30, -50), 30);
    EXPECT_EQ(BTN_slider_drag_value(70, 290, 0, 30, 150), 19); // 19.5 truncated
}

// Slots index the grab flags: only 0 .. 3 exist.
TEST(ListCallbacks, ScrollBarSlotsOutsideZeroToThreeAreFatal)
{
    for (int slot : {4, -1}) {
        const ChildResult r = run_in_child([slot] {
            int v = 0;
            BTN_vert_slider(slot, 100, 10, 200, 0, 10, &v);
        });
        EXPECT_TRUE(r.aborted()) << slot << "\n" << r.out;
        EXPECT_NE(r.out.find("Too many sliders!"), std::string::npos) << r.out;
    }
}

// ---------------------------------------------------------------------------
// Frame by frame in a window
// ---------------------------------------------------------------------------

TEST(List, RowsWheelClicksAndClamps)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    FakeClock clock;
    open_main();
    // Default height, centre 0: the upper ten rows are empty.
    frame();
    EXPECT_EQ(g_asked, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    g_list.centre = 15;
    frame();
    ASSERT_EQ(g_asked.size(), 21u);
    EXPECT_EQ(g_asked.front(), 5);
    EXPECT_EQ(g_asked.back(), 25);

    const struct {
        const char* what;
        float mx, my;
        int wheel, centre_before, centre_after, wheel_after;
    } wheels[] = {
        {"up three", 100, kY, 3, 15, 12, 0},         {"down two", 500, kY + 100, -2, 15, 17, 0},
        {"past the first", 100, kY, 40, 15, 0, 0},   {"past the last", 100, kY, -40, 15, 30, 0},
        {"outside the list", 600, kY, 3, 15, 15, 3},
    };
    for (const auto& w : wheels) {
        g_list.centre = w.centre_before;
        mnw.wheel = w.wheel;
        frame(0, w.mx, w.my);
        EXPECT_EQ(g_list.centre, w.centre_after) << w.what;
        EXPECT_EQ(mnw.wheel, w.wheel_after) << w.what;
        mnw.wheel = 0;
        clock.advance(1);
    }

    const struct {
        const char* what;
        int centre;
        float my;
        int selection;
    } clicks[] = {
        {"the middle row", 15, row_y(0), 15},      {"two rows down", 15, row_y(2) + 4, 17},
        {"the top row", 15, row_y(-10), 5},        {"below the last item", 28, row_y(5), 30},
        {"above the first item", 2, row_y(-6), 0},
    };
    for (const auto& c : clicks) {
        g_list.centre = c.centre;
        frame(1, 200, c.my);
        EXPECT_EQ(g_list.selection, c.selection) << c.what;
        EXPECT_EQ(g_list.result, 0) << c.what;
        clock.advance(1);
    }
    // A caller's values out of range are brought back.
    g_list.centre = 99;
    g_list.selection = -4;
    frame();
    EXPECT_EQ(g_list.centre, 30);
    EXPECT_EQ(g_list.selection, 0);
}

TEST(List, UpAndDownScrollTheSelectionIntoView)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    FakeClock clock;
    open_main();
    g_list.centre = 10;
    frame(1, 200, row_y(10)); // focus by a click on the last visible row
    ASSERT_EQ(focus_ring.focused, BTN_field_key(kX, kY));
    ASSERT_EQ(g_list.selection, 20);
    const struct {
        const char* what;
        int vkey, centre, selection, centre_after, selection_after;
    } cases[] = {
        {"Down on the last visible row", ZYNT_VK_DOWN, 10, 20, 11, 21},
        {"Down inside the rows", ZYNT_VK_DOWN, 10, 12, 10, 13},
        {"Down on the last item", ZYNT_VK_DOWN, 25, 30, 25, 30},
        {"Up on the first visible row", ZYNT_VK_UP, 15, 5, 14, 4},
        {"Up on the first item", ZYNT_VK_UP, 5, 0, 5, 0},
        {"Left does nothing", ZYNT_VK_LEFT, 10, 12, 10, 12},
    };
    for (const auto& c : cases) {
        g_list.centre = c.centre;
        g_list.selection = c.selection;
        key(c.vkey == ZYNT_VK_LEFT ? 28 : c.vkey == ZYNT_VK_UP ? 30 : 31, c.vkey);
        frame();
        EXPECT_EQ(g_list.centre, c.centre_after) << c.what;
        EXPECT_EQ(g_list.selection, c.selection_after) << c.what;
    }
    // Backspace is not the list's: it goes on to the keyboard layer.
    EXPECT_EQ(BTN_dispatch_to_focus(8, ZYNT_VK_BACK, kKeyFlagDown), 0);
}

TEST(List, TypeAheadWithinASecond)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    FakeClock clock;
    open_main();
    g_names = {"alpha", "Beta", "delta", "desk", "Dog", "door", "omega", "Orange", "zulu"};
    g_kinds.assign(g_names.size(), 1);
    g_list.last = 8;
    g_list.centre = 0;
    frame(1, 200, row_y(0));
    ASSERT_EQ(focus_ring.focused, BTN_field_key(kX, kY));
    const struct {
        double pause;
        char c;
        int selection;
    } typed[] = {
        {1.5, 'd', 2}, {0.4, 'o', 4}, {0.9, 'o', 5}, // "doo"
        {1.2, 'o', 6},                               // a new prefix after > 1 s
        {0.3, 'r', 7},                               // "or": Orange, any case
        {0.3, 'x', 7},                               // "orx": nothing, stays
        {2.0, 'Z', 8},                               // upper case finds zulu
    };
    for (const auto& t : typed) {
        clock.advance(t.pause);
        key(t.c, t.c >= 'a' ? t.c - 32 : t.c);
        frame();
        EXPECT_EQ(g_list.selection, t.selection) << t.c << " after " << t.pause << " s";
    }
}

// A double click is two presses on one row less than 0.25 s apart.
TEST(List, DoubleClickOnOneRowWithinAQuarterSecond)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    FakeClock clock;
    open_main();
    g_list.centre = 10;
    const struct {
        const char* what;
        double gap;
        float second_y;
        int result, selection;
    } cases[] = {
        {"0.1 s on the same row", 0.1, row_y(3), 1, 13},
        {"0.3 s on the same row", 0.3, row_y(3), 0, 13},
        {"0.1 s on another row", 0.1, row_y(4), 0, 14},
        {"0.2 s on the same row, lower in it", 0.2, row_y(3) - 4, 1, 13},
    };
    for (const auto& c : cases) {
        clock.advance(2);
        frame(1, 200, row_y(3));
        EXPECT_EQ(g_list.result, 0) << c.what;
        clock.advance(c.gap);
        frame(1, 200, c.second_y);
        EXPECT_EQ(g_list.result, c.result) << c.what;
        EXPECT_EQ(g_list.selection, c.selection) << c.what;
        frame();
        EXPECT_EQ(g_list.result, 0) << c.what;
    }
    // A quick press elsewhere between two presses on a row is no double click.
    clock.advance(2);
    frame(1, 200, row_y(3));
    clock.advance(0.1);
    frame(1, 700, 600);
    clock.advance(0.1);
    frame(1, 200, row_y(3));
    EXPECT_EQ(g_list.result, 0);
}

// With last below first only the name field is drawn; it sits below the list.
TEST(List, NameFieldBelowTheListAndAnEmptyRange)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    FakeClock clock;
    open_main();
    g_list.name = "New Folder";
    g_list.name_ptr = &g_list.name;
    g_list.first = 0;
    g_list.last = -1;
    frame(1, 200, row_y(0));
    EXPECT_EQ(g_list.result, 0);
    EXPECT_TRUE(g_asked.empty());
    ASSERT_EQ(focus_ring.drawn.size(), 2u);
    EXPECT_EQ(focus_ring.drawn[1].key, BTN_field_key(kX + 35, kY - 131));
    // The list took the focus by the click; the field takes it once nothing has it.
    EXPECT_EQ(focus_ring.focused, BTN_field_key(kX, kY));
    BTN_unfocus_any();
    frame();
    EXPECT_EQ(focus_ring.focused, BTN_field_key(kX + 35, kY - 131));
    // Ten keys a frame: each queue holds 64 presses and releases.
    const std::string typed = "projects and a name too long for the field";
    for (size_t i = 0; i < typed.size(); ++i) {
        key(typed[i], 0);
        if (i % 10 == 9) frame();
    }
    frame();
    EXPECT_EQ(g_list.name, typed.substr(0, 36));

    // Nothing of the list is drawn: the panel's place keeps the background.
    g_list.last = 5;
    OGL_plot_back_col();
    frame();
    OGL_sbuff();
    const ShownPixels with_list = xvfb_read_shell_window();
    g_list.last = -1;
    OGL_plot_back_col();
    frame();
    OGL_sbuff();
    const ShownPixels without = xvfb_read_shell_window();
    float rgba[4];
    OGL_colour_for(kColBackground, 1, rgba);
    const int r = int(rgba[0] * 255 + 0.5f), g = int(rgba[1] * 255 + 0.5f),
              b = int(rgba[2] * 255 + 0.5f);
    const int ox = int(mnw.win_x), oy = int(mnw.win_y);
    const int area = int(kW) * 200;
    EXPECT_LT(shown_count(with_list, ox + 10, oy + 80, ox + 530, oy + 280, r, g, b), area / 2);
    EXPECT_EQ(shown_count(without, ox + 10, oy + 80, ox + 530, oy + 280, r, g, b), area);
}

// The scroll bar of the list: drag, arrows, track, and the held repeat.
TEST(List, ScrollBarDragArrowsTrackAndRepeat)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    FakeClock clock;
    open_main();
    constexpr float sx = kX + kW + 16, top = kY + kH / 2, bottom = kY - kH / 2;
    auto bar = [&](int press, int held, float my, int* v) {
        mnw.mouse_x = sx;
        mnw.mouse_y = my;
        mnw.mouse_press = press;
        mnw.mouse_held = held;
        xtim.xtim_update();
        const int r = BTN_vert_slider(0, sx, bottom, top, 0, 30, v);
        mnw.mouse_press = 0;
        return r;
    };
    int v = 0;
    // Grab the thumb at the top, drag it to the bottom and beyond, release.
    EXPECT_EQ(bar(1, 1, top - 10, &v), 1);
    EXPECT_EQ(bar(0, 1, bottom + 11, &v), 1);
    EXPECT_EQ(v, 30);
    EXPECT_EQ(bar(0, 1, bottom - 80, &v), 1); // off the bar, still held
    EXPECT_EQ(v, 30);
    EXPECT_EQ(bar(0, 1, top - 11, &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(bar(0, 0, top - 11, &v), 0);

    const struct {
        const char* what;
        int before;
        float my;
        int after;
    } presses[] = {
        {"up arrow", 5, top + 10, 4},
        {"up arrow at the top", 0, top + 10, 0},
        {"down arrow", 5, bottom - 10, 6},
        {"down arrow at the end", 30, bottom - 10, 30},
        {"track above the thumb", 20, top - 30, 10},
        {"track below the thumb", 5, bottom + 30, 15},
    };
    for (const auto& p : presses) {
        v = p.before;
        clock.advance(1);
        bar(1, 1, p.my, &v);
        bar(0, 0, p.my, &v);
        EXPECT_EQ(v, p.after) << p.what;
    }

    // Held on the down arrow: one step at the press, none in the first
    // quarter second, then one at each rise of the 0.2 s flag.
    v = 0;
    clock.advance(1);
    bar(1, 1, bottom - 10, &v);
    EXPECT_EQ(v, 1);
    for (int i = 0; i < 4; ++i) {
        clock.advance(0.05);
        bar(0, 1, bottom - 10, &v);
    }
    EXPECT_EQ(v, 1);
    int rises = 0;
    for (int i = 0; i < 20; ++i) {
        clock.advance(0.05);
        bar(0, 1, bottom - 10, &v);
        rises += xtim.real_flags[5] && mnw.mouse_held_long;
    }
    EXPECT_GT(rises, 0);
    EXPECT_EQ(v, 1 + rises);
    bar(0, 0, bottom - 10, &v);
}

// ---------------------------------------------------------------------------
// Real input through the frame pass
// ---------------------------------------------------------------------------

namespace
{
std::string window_id()
{
    return std::to_string(x11.window[0]);
}
// X pixel rows count down from the top of the 768-row drawable.
std::string at(float x, float y)
{
    return std::to_string(int(x)) + " " + std::to_string(int(768 - y));
}
} // namespace

TEST(ListInput, WheelClickAndArrowKeys)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    g_list.centre = 15;
    VOVARU_set_app_update_hook(draw_list);
    VOVARU_event_proc();
    const std::string w = window_id();
    xdo("mousemove --window " + w + " " + at(200, kY));
    xdo("click --window " + w + " --repeat 3 4");
    ASSERT_TRUE(frames_until([] { return g_list.centre == 12; }));
    EXPECT_EQ(mnw.wheel, 0);
    xdo("click --window " + w + " 5");
    ASSERT_TRUE(frames_until([] { return g_list.centre == 13; }));

    xdo("mousemove --window " + w + " " + at(200, row_y(4)) + " click 1");
    ASSERT_TRUE(frames_until([] { return g_list.selection == 17; }));
    EXPECT_EQ(focus_ring.focused, BTN_field_key(kX, kY));
    xdo("key --window " + w + " Down Down");
    ASSERT_TRUE(frames_until([] { return g_list.selection == 19; }));
    xdo("key --window " + w + " Up");
    ASSERT_TRUE(frames_until([] { return g_list.selection == 18; }));
    xdo("key --window " + w + " i t e m space 2 7");
    ASSERT_TRUE(frames_until([] { return g_list.selection == 27; }));
    EXPECT_EQ(g_list.centre, 17); // the found item on the last visible row
    VOVARU_set_app_update_hook(nullptr);
}

// ---------------------------------------------------------------------------
// Screenshot: ZUDEZUD_SHOTS_DIR=/tmp saves list.png to look at.
// ---------------------------------------------------------------------------

TEST(ListShots, FolderPickerListWithIcons)
{
    const char* shots = std::getenv("ZUDEZUD_SHOTS_DIR");
    if (!shots) GTEST_SKIP() << "set ZUDEZUD_SHOTS_DIR to save the screenshot";
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_main();
    VOVARU_startwind(kWinPicker, 0);
    stls[kStlsWindowTitle] = "Choose a folder";
    g_names = {"Aircraft",   "Airfoils",          "Weapons", "Resources", "Output",  "Missiles",
               "Tall block", "(kind 8: no icon)", "Discs",   "Movies",    "Screens", "readme.txt"};
    g_kinds = {1, 3, 4, 1, 1, 5, 7, 8, 9, 10, 11, 0};
    g_list.last = int(g_names.size()) - 1;
    g_list.centre = 5;
    g_list.selection = 3;
    g_list.name = "New Folder";
    g_list.name_ptr = &g_list.name;
    focus_ring.focused = BTN_field_key(kX, kY);
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_begin_focus_ring();
    draw_list();
    OGL_sbuff();
    xvfb_shown_frame("list.png");
}
