// Real key events under a private X server: xdotool sends them to the
// program's window, the frame pass hands them to the keyboard handler.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <string>
#include <utility>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/keys.h"
#include "support/cmnd_fixture.h"
#include "support/frame_driver.h"
#include "support/xvfb.h"

namespace
{
// The frame flags as the application saw them, summed over frames.
struct seen_keys {
    int returns = 0, escapes = 0, deletes = 0;
} seen;

void record_frame()
{
    seen.returns += return_hit;
    seen.escapes += escape_hit;
    seen.deletes += delete_hit;
}

std::string window_id()
{
    return std::to_string(mnw.x_window[0]);
}

void open_window()
{
    xvfb_open_shell_window();
    VOVARU_set_app_update(record_frame);
    VOVARU_event_proc();
    ASSERT_EQ(mnw.win_now, kWinMain);
    xdo("mousemove --window " + window_id() + " 100 100");
    keys = keys_class{};
}

struct typed_case {
    std::string keys; // xdotool's key names
    int vkey, flags, key_char, returns, escapes, deletes;
};

// Types each case's key and checks what reached the handler: the last key
// and its modifiers as the press left them, the character and the frame
// flags; the release then ends key_held.
void type_cases(const std::vector<typed_case>& cases)
{
    for (const typed_case& c : cases) {
        seen = seen_keys{};
        keys.last_vkey = -1;
        mnw.key_char = 0;
        xdo("keydown --window " + window_id() + " " + c.keys);
        EXPECT_TRUE(frames_until([&] { return mnw.key_held && keys.last_vkey == c.vkey; }))
            << c.keys << " gave vkey " << keys.last_vkey;
        EXPECT_EQ(keys.last_flags, c.flags) << c.keys;
        EXPECT_EQ(mnw.key_char, c.key_char) << c.keys;
        EXPECT_EQ(seen.returns, c.returns) << c.keys;
        EXPECT_EQ(seen.escapes, c.escapes) << c.keys;
        EXPECT_EQ(seen.deletes, c.deletes) << c.keys;
        xdo("keyup --window " + window_id() + " " + c.keys);
        EXPECT_TRUE(frames_until([] { return !mnw.key_held; })) << c.keys;
    }
}
} // namespace

TEST(KeysX11, TypedKeysReachTheHandler)
{
    XVFB_TEST_BODY();
    open_window();
    type_cases({
        {"a", 65, 0, 'a', 0, 0, 0},
        {"shift+a", 65, 1, 'A', 0, 0, 0},
        {"ctrl+a", 65, 4, 0, 0, 0, 0},
        {"shift+Left", 37, 1, 28, 0, 0, 0},
        {"Return", 13, 0, 13, 1, 0, 0},
        {"Escape", 27, 0, 27, 0, 1, 0},
        {"BackSpace", 8, 0, 8, 0, 0, 1},
        // Home and Delete type nothing ('P' and 0xFF are not theirs) but
        // stay keys of their own.
        {"Home", 36, 0, 0, 0, 0, 0},
        {"Delete", 46, 0, 0, 0, 0, 1},
        // xdotool asks the server's map for Num Lock to reach KP_7.
        {"KP_7", 103, 0, '7', 0, 0, 0},
        {"KP_Home", 0, 0, 0, 0, 0, 0},
    });
}

TEST(KeysX11, KeyHeldFromPressToRelease)
{
    XVFB_TEST_BODY();
    open_window();
    xdo("keydown --window " + window_id() + " b");
    ASSERT_TRUE(frames_until([] { return mnw.key_held == 1; }));
    for (int i = 0; i < 3; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(mnw.key_held, 1);
    EXPECT_EQ(mnw.key_hit, 0); // the press was frames ago
    xdo("keyup --window " + window_id() + " b");
    ASSERT_TRUE(frames_until([] { return mnw.key_held == 0; }));
}

TEST(KeysX11, DigitsOfAFrenchLayout)
{
    XVFB_TEST_BODY();
    open_window();
    // The '1' key of an AZERTY keyboard: '&' unshifted, '1' with Shift.
    // (setxkbmap does not change an Xvfb map; the core map call does.)
    const KeyCode one = XKeysymToKeycode(mnw.x_display, XK_1);
    ASSERT_NE(one, 0);
    KeySym syms[2] = {XK_ampersand, XK_1};
    XChangeKeyboardMapping(mnw.x_display, one, 2, syms, 1);
    XSync(mnw.x_display, False);
    type_cases({
        {std::to_string(one), 49, 0, '&', 0, 0, 0}, // the key, by its keycode
        {"1", 49, 1, '1', 0, 0, 0},                 // xdotool adds Shift
    });
}

TEST(KeysX11, ABindingFiresRepeatsOncePerFrameAndEndsOnRelease)
{
    XVFB_TEST_BODY();
    open_window();
    cmnd_hook_log hooks;
    keys.bindings = {{65, 0, 3, 0}};
    xdo("keydown --window " + window_id() + " a");
    ASSERT_TRUE(frames_until([&] { return hooks.count(kCmndHookPressOne) == 1; }));
    // The repeat step of the same frame came after the event.
    EXPECT_EQ(hooks.count(kCmndHookPressAlways), 1);
    for (int i = 0; i < 3; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(hooks.count(kCmndHookPressAlways), 4);
    xdo("keyup --window " + window_id() + " a");
    ASSERT_TRUE(frames_until([&] { return hooks.count(kCmndHookReleaseOne) == 1; }));
    const int repeats = hooks.count(kCmndHookPressAlways);
    for (int i = 0; i < 3; ++i)
        VOVARU_event_proc();
    EXPECT_EQ(hooks.count(kCmndHookPressAlways), repeats);
    EXPECT_EQ(hooks.count(kCmndHookPressOne), 1);
}
