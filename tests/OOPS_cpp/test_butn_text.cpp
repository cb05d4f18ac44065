// The text field: its editor callbacks as tables, fields driven frame by
// frame with keys offered to the focus ring, and real typing and dragging
// through the frame pass with xdotool under Xvfb.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/ogle.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "support/frame_driver.h"
#include "support/widget_frames.h"
#include "support/xvfb.h"

namespace
{
int fit_fwd(const std::string& s, float w)
{
    return OGLE_cbs.FitStringFwd(nullptr, s.data(), s.data() + s.size(), w);
}
int fit_rev(const std::string& s, float w)
{
    return OGLE_cbs.FitStringRev(nullptr, s.data(), s.data() + s.size(), w);
}
long word_break(const std::string& s, size_t at)
{
    return OGLE_cbs.WordBreak(nullptr, s.data() + at, s.data() + s.size()) - s.data();
}

// ---------------------------------------------------------------------------
// Fields drawn frame by frame: the test plays the frame pass's part.
// ---------------------------------------------------------------------------

struct field {
    float x, y, width;
    std::string text;
    int max_len;
    int take_focus;
    int edited; // result of the last call
};

// One frame: a press (optional) drops the focus as the clock does, the ring
// starts, every field is drawn in order.
void frame(std::vector<field*> fields, int press = 0, float mx = -100, float my = -100)
{
    mnw.mouse_x = mx;
    mnw.mouse_y = my;
    mnw.mouse_press = press;
    mnw.mouse_held = press;
    if (press) BTN_unfocus_any();
    BTN_begin_focus_ring();
    for (field* f : fields)
        f->edited =
            BTN_enterstring(f->x, f->y, &f->text, f->max_len, "Label|", f->width, f->take_focus);
    mnw.mouse_press = mnw.mouse_held = 0;
}

std::pair<int, int> selection()
{
    int s = -1, e = -1;
    OGLE_GetSelection(BTN_text_editor(), &s, &e);
    return {s, e};
}

void open_main()
{
    xvfb_open_shell_window();
    VOVARU_startwind(kWinMain, 0);
    BTN_focus_window_changed();
}

// X pixel rows count down from the top of the 768-row drawable.
std::string at(float x, float y)
{
    return std::to_string(int(x)) + " " + std::to_string(int(768 - y));
}

} // namespace

// ---------------------------------------------------------------------------
// Editor callbacks (no window)
// ---------------------------------------------------------------------------

TEST(TextFieldCallbacks, FitMeasureAndWordBreak)
{
    // Advances: h 7, e 6, l 3, o 7, space 3.
    const struct {
        const char* s;
        float w;
        int fwd, rev;
    } fits[] = {
        {"", 10, 0, 0},       {"hello", 0, 0, 1},    {"hello", -3, 0, 1}, {"hello", 1, 1, 1},
        {"hello", 7, 1, 1},   {"hello", 7.5f, 2, 2}, {"hello", 14, 3, 4}, {"hello", 26, 5, 5},
        {"hello", 500, 5, 5}, {"hel lo", 17, 4, 5},
    };
    for (const auto& f : fits) {
        EXPECT_EQ(fit_fwd(f.s, f.w), f.fwd) << '"' << f.s << "\" " << f.w;
        EXPECT_EQ(fit_rev(f.s, f.w), f.rev) << '"' << f.s << "\" " << f.w;
    }
    const std::string hello = "hello";
    EXPECT_EQ(OGLE_cbs.MeasureString(nullptr, hello.data(), hello.data() + 5), 26.0f);
    EXPECT_EQ(OGLE_cbs.GetLineHeight(nullptr), 11.0f);

    const struct {
        const char* s;
        size_t at;
        long end;
    } breaks[] = {
        {"ab cd", 0, 2}, {"ab cd", 2, 5}, {"ab  \t cd ef", 2, 8}, {"ab   ", 2, 5}, {"abc", 1, 3},
    };
    for (const auto& b : breaks)
        EXPECT_EQ(word_break(b.s, b.at), b.end) << '"' << b.s << "\" at " << b.at;
}

// ---------------------------------------------------------------------------
// Fields drawn frame by frame
// ---------------------------------------------------------------------------

TEST(TextField, TabSelectsAllTypingReplacesAndAClickPlacesTheCaret)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    field a{200, 300, 150, "hello", 36, 0, 0}, b{200, 270, 150, "8080", 36, 0, 0};
    frame({&a, &b});
    EXPECT_EQ(focus_ring.focused, 0);
    focus_key(9, ZYNT_VK_TAB);
    frame({&a, &b});
    EXPECT_EQ(selection(), std::make_pair(0, 5));
    focus_type("q");
    frame({&a, &b});
    EXPECT_EQ(a.text, "q");
    EXPECT_EQ(a.edited, 1);
    EXPECT_EQ(b.edited, 0);
    frame({&a, &b});
    EXPECT_EQ(a.edited, 0);

    // A click into the second field: the caret at the click, nothing selected.
    // The click lies in the second character ("8" and "0" are 6 wide).
    frame({&a, &b}, 1, 211, 273);
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 270));
    EXPECT_EQ(selection(), std::make_pair(2, 2));
    focus_type("5");
    frame({&a, &b});
    EXPECT_EQ(b.text, "80580");
    // Return is not the field's: it goes on to the keyboard layer.
    EXPECT_EQ(BTN_dispatch_to_focus(13, ZYNT_VK_RETURN, kKeyFlagDown), 0);
}

// The text never grows past max_len; a replaced selection may still be typed.
TEST(TextField, AFullFieldRefusesTypingInsteadOfCuttingItsEnd)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    field f{200, 300, 150, "", 5, 1, 0};
    frame({&f});
    focus_type("abcdefg");
    frame({&f});
    EXPECT_EQ(f.text, "abcde");
    const struct {
        const char* what;
        int vkey; // a move before typing, 0 none
        int mods;
        const char* after;
        int edited;
    } cases[] = {
        {"at the end", 0, 0, "abcde", 0},
        {"at the start", ZYNT_VK_HOME, 0, "abcde", 0},
        {"over one selected character", ZYNT_VK_LEFT, kKeyFlagShift, "abcdx", 1},
    };
    for (const auto& c : cases) {
        f.text = "abcde";
        focus_key(0, ZYNT_VK_END);
        if (c.vkey) focus_key(c.vkey == ZYNT_VK_LEFT ? 28 : 0, c.vkey, c.mods);
        focus_type("x");
        frame({&f});
        EXPECT_EQ(f.text, c.after) << c.what;
        EXPECT_EQ(f.edited, c.edited) << c.what;
    }
    // A longer text from the caller is cut back after an edit.
    f.text = "abcdefgh";
    focus_key(0, ZYNT_VK_END);
    focus_key(8, ZYNT_VK_BACK);
    frame({&f});
    EXPECT_EQ(f.text, "abcde");
    EXPECT_EQ(f.edited, 1);
}

// Keys typed into a field are acted on by that field only while it is the
// focused one; a key queued before the focus moved on is dropped.
TEST(TextField, AKeyForAFieldThatLostTheFocusIsDropped)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    field host{200, 300, 150, "proxy.example", 36, 0, 0}, port{200, 270, 150, "8080", 36, 0, 0};
    frame({&host, &port});
    frame({&host, &port}, 1, 210, 273); // port focused by a click
    ASSERT_EQ(focus_ring.focused, BTN_field_key(200, 270));

    focus_type("x");
    focus_key(9, ZYNT_VK_TAB, kKeyFlagShift);
    frame({&host, &port});
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    EXPECT_EQ(host.text, "proxy.example");
    EXPECT_EQ(port.text, "8080");

    frame({&host, &port}, 1, 210, 273);
    focus_type("x");
    frame({&host, &port}, 1, 210, 303); // a click into host in the same batch
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    EXPECT_EQ(host.text, "proxy.example");
    EXPECT_EQ(port.text, "8080");
}

TEST(TextField, DeleteHomeEndAndKeysThatTypeNothing)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    field f{200, 300, 150, "", 36, 1, 0};
    frame({&f});
    struct k {
        int character, vkey, mods;
    };
    const k home{0, ZYNT_VK_HOME, 0}, end{0, ZYNT_VK_END, 0}, del{0, ZYNT_VK_DELETE, 0},
        right{29, ZYNT_VK_RIGHT, 0}, s_right{29, ZYNT_VK_RIGHT, kKeyFlagShift},
        s_home{0, ZYNT_VK_HOME, kKeyFlagShift}, s_end{0, ZYNT_VK_END, kKeyFlagShift},
        back{8, ZYNT_VK_BACK, 0}, pgup{0, ZYNT_VK_PRIOR, 0}, ins{0, ZYNT_VK_INSERT, 0},
        x{'x', 'X', 0};
    const struct {
        const char* what;
        std::vector<k> keys;
        const char* after;
        int sel_s, sel_e;
    } cases[] = {
        {"Delete at the end", {end, del}, "hello", 5, 5},
        {"Home, Delete", {home, del}, "ello", 0, 0},
        {"Delete in the middle", {home, right, right, del}, "helo", 2, 2},
        {"End, Backspace", {home, end, back}, "hell", 4, 4},
        {"Delete a selection", {home, s_right, s_right, del}, "llo", 0, 0},
        {"Home collapses a selection", {end, s_home, home, x}, "xhello", 1, 1},
        {"End collapses a selection", {home, s_end, end, x}, "hellox", 6, 6},
        {"Shift+Home from the middle", {home, right, right, s_home, del}, "llo", 0, 0},
        {"Shift+End from the middle", {home, right, s_end, del}, "h", 1, 1},
        {"Page Up and Insert type nothing", {end, pgup, ins}, "hello", 0, 0},
    };
    for (const auto& c : cases) {
        f.text = "hello";
        focus_key(0, ZYNT_VK_END);
        frame({&f});
        for (const k& kk : c.keys)
            focus_key(kk.character, kk.vkey, kk.mods);
        frame({&f});
        EXPECT_EQ(f.text, c.after) << c.what;
        if (c.sel_s || c.sel_e) {
            EXPECT_EQ(selection(), std::make_pair(c.sel_s, c.sel_e)) << c.what;
        }
    }
}

// A field that takes the focus on its own after a press elsewhere keeps its
// whole text selected: neither the press nor the held button is its own.
TEST(TextField, APressElsewhereNeitherPlacesTheCaretNorDrags)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_main();
    field f{200, 300, 150, "New Folder", 36, 1, 0};
    frame({&f});
    EXPECT_EQ(selection(), std::make_pair(0, 10));
    frame({&f}, 1, 500, 100); // a press outside: focus dropped, then taken again
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    EXPECT_EQ(selection(), std::make_pair(0, 10));
    mnw.mouse_held = 1; // held and moved over the field
    mnw.mouse_x = 215;
    mnw.mouse_y = 303;
    BTN_begin_focus_ring();
    BTN_enterstring(200, 300, &f.text, 36, "", 150, 1);
    mnw.mouse_held = 0;
    EXPECT_EQ(selection(), std::make_pair(0, 10));
}

// ---------------------------------------------------------------------------
// Real typing through the frame pass
// ---------------------------------------------------------------------------

namespace
{
field g_host{200, 300, 150, "", 36, 0, 0}, g_port{200, 270, 150, "", 5, 0, 0},
    g_third{200, 240, 150, "third", 36, 0, 0};

void draw_proxy_fields()
{
    for (field* f : {&g_host, &g_port, &g_third})
        f->edited = BTN_enterstring(f->x, f->y, &f->text, f->max_len, "Label|", f->width, 0);
}

void open_proxy_window()
{
    open_main();
    g_host.text = "proxy.example";
    g_port.text = "8080";
    VOVARU_set_app_update_hook(draw_proxy_fields);
    VOVARU_event_proc();
    xdo("mousemove --window " + shell_window_id() + " 600 600");
    VOVARU_event_proc();
}

void click_into(const field& f, float dx)
{
    xdo("mousemove --window " + shell_window_id() + " " + at(f.x + dx, f.y + 3) + " click 1");
    ASSERT_TRUE(frames_until([&] { return focus_ring.focused == BTN_field_key(f.x, f.y); }));
}
} // namespace

TEST(TextFieldTyped, TypingTabOrderTruncationAndEditingKeys)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_proxy_window();

    // Tab from nothing to the first field, whose text is then all selected.
    keys_typed("Tab");
    ASSERT_EQ(focus_ring.focused, BTN_field_key(200, 300));
    EXPECT_EQ(selection(), std::make_pair(0, 13));
    keys_typed("c a c h e");
    EXPECT_EQ(g_host.text, "cache");
    keys_typed("Tab");
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 270));
    keys_typed("Tab Tab");
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300)); // wrapped around
    keys_typed("shift+Tab");
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 240));
    keys_typed("shift+Tab");
    EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 270));

    // The port field holds five characters.
    keys_typed("3 1 2 8 9 9 9");
    EXPECT_EQ(g_port.text, "31289");
    keys_typed("Home x");
    EXPECT_EQ(g_port.text, "31289");
    keys_typed("Home Delete End BackSpace");
    EXPECT_EQ(g_port.text, "128");
    keys_typed("Home shift+End Delete 8 0");
    EXPECT_EQ(g_port.text, "80");
    keys_typed("Prior Insert Next F1 ctrl+a");
    EXPECT_EQ(g_port.text, "80");
    EXPECT_EQ(g_host.text, "cache");
    EXPECT_EQ(g_third.text, "third");
    VOVARU_set_app_update_hook(nullptr);
}

TEST(TextFieldTyped, AccentsReturnAndEscapeTypeNothingIntoAField)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_proxy_window();
    click_into(g_host, 140); // the caret at the end
    const std::string e_acute = std::to_string(national_key(XK_eacute, XK_Eacute));
    for (const std::string& key : {e_acute, "shift+" + e_acute, std::string("Return"),
                                   std::string("Escape"), std::string("x")}) {
        mnw.key_char = 0;
        keys_typed(key);
        if (key == "x") {
            EXPECT_EQ(g_host.text, "proxy.examplex");
            break;
        }
        EXPECT_EQ(g_host.text, "proxy.example") << key;
        EXPECT_EQ(focus_ring.focused, BTN_field_key(g_host.x, g_host.y)) << key;
        // The field refused it: the key went on to the frame.
        EXPECT_NE(mnw.key_char, 0) << key;
    }
    VOVARU_set_app_update_hook(nullptr);
}

// "hello world" from x 200: h 7, e 6, l 3, l 3, o 7, space 3, w 9, o 7.
TEST(TextFieldTyped, DraggingSelectsAndTypingReplacesTheSelection)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_proxy_window();
    g_host.text = "hello world";
    const std::string w = shell_window_id();
    xdo("mousemove --window " + w + " " + at(215, 303) + " mousedown 1");
    ASSERT_TRUE(frames_until(
        [] { return mnw.mouse_held && focus_ring.focused == BTN_field_key(200, 300); }));
    EXPECT_EQ(selection(), std::make_pair(3, 3));
    xdo("mousemove --window " + w + " " + at(242, 303));
    ASSERT_TRUE(frames_until([] { return selection().second == 8; }));
    xdo("mouseup 1");
    ASSERT_TRUE(frames_until([] { return !mnw.mouse_held; }));
    EXPECT_EQ(selection(), std::make_pair(3, 8));
    keys_typed("Z");
    EXPECT_EQ(g_host.text, "helZrld");
    VOVARU_set_app_update_hook(nullptr);
}

// With the port field focused, keys typed there and a move of the focus in
// the same batch of events leave the host field as it was.
TEST(TextFieldTyped, KeysBeforeAFocusMoveInOneBatchStayOutOfTheOtherField)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    open_proxy_window();
    const std::string w = shell_window_id();

    const struct {
        const char* what;
        std::string xdotool;
    } batches[] = {
        {"x, Shift+Tab", "key --window " + w + " x shift+Tab"},
        {"x, a click into the host field",
         "key --window " + w + " x mousemove --window " + w + " " + at(210, 303) + " click 1"},
    };
    for (const auto& b : batches) {
        click_into(g_port, 30);
        xdo(b.xdotool);
        wait_queued(4);
        VOVARU_event_proc();
        EXPECT_EQ(focus_ring.focused, BTN_field_key(200, 300)) << b.what;
        for (int i = 0; i < 3; ++i)
            VOVARU_event_proc();
        EXPECT_EQ(g_host.text, "proxy.example") << b.what;
        EXPECT_EQ(g_port.text, "8080") << b.what;
    }

    // Typed after the move, the key reaches the host field.
    keys_typed("y");
    EXPECT_NE(g_host.text.find('y'), std::string::npos);
    EXPECT_EQ(g_port.text, "8080");
    VOVARU_set_app_update_hook(nullptr);
}

// ---------------------------------------------------------------------------
// Screenshot: ZUDEZUD_SHOTS_DIR=/tmp saves textfield.png to look at.
// ---------------------------------------------------------------------------

namespace
{
std::string shot_host = "proxy.example.com", shot_port = "8080",
            shot_name = "a long name that scrolls";

void draw_prefs_fields()
{
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 13, -1, -1, -1, 90, "Proxy", &wx, &wy);
    BTN_enterstring(120, 60, &shot_host, 36, "Proxy host|", 200, 0);
    BTN_enterstring(120, 35, &shot_port, 5, "Port|(digits)", 60, 0);
    BTN_enterstring(120, 140, &shot_name, 36, "Name|", 80, 0);
}
} // namespace

// The selection is a box of colour 8 over the selected characters only.
TEST(TextFieldShots, FieldsWithASelection)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    open_main();
    VOVARU_startwind(kWinPrefs, 0);
    stls[kStlsWindowTitle] = "Preferences";
    focus_ring.focused = BTN_field_key(120, 60);
    BTN_begin_focus_ring();
    draw_prefs_fields();
    OGLE_SetSelection(BTN_text_editor(), 6, 13); // "example"
    BTN_begin_focus_ring();
    draw_prefs_fields();
    OGL_sbuff();
    const ShownPixels p =
        xvfb_shown_frame(std::getenv("ZUDEZUD_SHOTS_DIR") ? "textfield.png" : nullptr);

    float rgba[4];
    OGL_colour_for(8, 1, rgba);
    const int r = int(rgba[0] * 255 + 0.5f), g = int(rgba[1] * 255 + 0.5f),
              b = int(rgba[2] * 255 + 0.5f);
    const int ox = int(mnw.win_x), oy = int(mnw.win_y);
    const int x0 = 120 + int(OGL_text_width("proxy.")),
              x1 = 120 + int(OGL_text_width("proxy.example"));
    const int area = (x1 - x0) * 11;
    EXPECT_GT(shown_count(p, ox + x0, oy + 58, ox + x1, oy + 69, r, g, b), area / 3);
    EXPECT_EQ(shown_count(p, ox + 118, oy + 55, ox + x0 - 1, oy + 72, r, g, b), 0);
    EXPECT_EQ(shown_count(p, ox + x1 + 1, oy + 55, ox + 330, oy + 72, r, g, b), 0);
    // The other fields show no selection.
    EXPECT_EQ(shown_count(p, ox + 110, oy + 25, ox + 330, oy + 45, r, g, b), 0);
}
