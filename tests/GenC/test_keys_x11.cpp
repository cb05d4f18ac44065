// Real key events under a private X server: xdotool sends them to the
// program's window, the frame pass hands them to the keyboard handler.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/ogle_class.h"
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
    return std::to_string(x11.window[0]);
}

void open_window()
{
    xvfb_open_shell_window();
    VOVARU_set_app_update_hook(record_frame);
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
    const KeyCode one = XKeysymToKeycode(x11.display, XK_1);
    ASSERT_NE(one, 0);
    KeySym syms[2] = {XK_ampersand, XK_1};
    XChangeKeyboardMapping(x11.display, one, 2, syms, 1);
    XSync(x11.display, False);
    type_cases({
        {std::to_string(one), 49, 0, '&', 0, 0, 0}, // the key, by its keycode
        {"1", 49, 1, '1', 0, 0, 0},                 // xdotool adds Shift
    });
}

TEST(KeysX11, LatinOneKeysOfNationalLayoutsTypeTheirCharacters)
{
    XVFB_TEST_BODY();
    open_window();
    struct national {
        KeySym lower, upper;
        int lower_char, upper_char;
    } layouts[] = {
        {XK_eacute, XK_Eacute, 0xE9, 0xC9},           // French
        {XK_ntilde, XK_Ntilde, 0xF1, 0xD1},           // Spanish
        {XK_udiaeresis, XK_Udiaeresis, 0xFC, 0xDC},   // German
        {XK_ccedilla, XK_Ccedilla, 0xE7, 0xC7},       // Portuguese
        {XK_questiondown, XK_exclamdown, 0xBF, 0xA1}, // Spanish signs
        {XK_sterling, XK_sterling, 0xA3, 0xA3},       // British
    };
    for (const national& n : layouts) {
        const int code = national_key(n.lower, n.upper);
        ASSERT_NE(code, 0);
        // No table knows these keys: vkey 0, and Control types nothing.
        type_cases({
            {std::to_string(code), 0, 0, n.lower_char, 0, 0, 0},
            {"shift+" + std::to_string(code), 0, 1, n.upper_char, 0, 0, 0},
            {"ctrl+" + std::to_string(code), 0, 4, 0, 0, 0, 0},
        });
    }
}

namespace
{
// A multi-line editor over the editor class: each press the keyboard layer
// leaves to the frame is one key of the editor.
class NoteEditor : public OGLE
{
  public:
    std::string text;
    void GetVisibleBounds(float box[4]) override { bounds(box); }
    void GetLogicalBounds(float box[4]) override { bounds(box); }
    void SetLogicalHeight(float) override {}
    void ScrollTo(float[2]) override {}
    void GetText(const char** begin, const char** end) override
    {
        *begin = text.data();
        *end = text.data() + text.size();
    }
    void ReplaceText(int from, int to, const char* begin, const char* end) override
    {
        text.replace(from, to - from, begin ? std::string(begin, end) : std::string());
    }
    float GetLineHeight() override { return 10; }
    float MeasureString(const char* begin, const char* end) override
    {
        return 8.0f * static_cast<float>(end - begin);
    }
    int FitStringFwd(const char* begin, const char* end, float width) override
    {
        return std::min(static_cast<int>(end - begin), static_cast<int>(width / 8));
    }
    int FitStringRev(const char* begin, const char* end, float width) override
    {
        return FitStringFwd(begin, end, width);
    }
    void DrawString(const char*, const char*, float, float) override {}
    void DrawSelection(float[4]) override {}
    const char* WordBreak(const char* p, const char* end) override
    {
        while (p < end && !std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        return p;
    }
    OGLE_Rec* record() { return rec; }

  private:
    static void bounds(float box[4]) { box[0] = 100, box[1] = 300, box[2] = 500, box[3] = 400; }
};

NoteEditor* g_note = nullptr;

void note_frame()
{
    if (mnw.key_hit && mnw.key_char)
        g_note->Key(static_cast<char>(mnw.key_char), keys.last_flags & kKeyFlagShift);
    mnw.key_char = 0;
}
} // namespace

TEST(KeysX11, AMultiLineEditorTakesTabsLineBreaksAndAccents)
{
    XVFB_TEST_BODY();
    open_window();
    NoteEditor note;
    g_note = &note;
    note.Repaginate();
    VOVARU_set_app_update_hook(note_frame);
    const std::string e_acute = std::to_string(national_key(XK_eacute, XK_Eacute));
    const std::string w = window_id();
    const std::vector<std::pair<std::string, std::string>> typed = {
        {"a", "a"},
        {"Tab", "a\t"},
        {"b", "a\tb"},
        {"Return", "a\tb\r"},
        {e_acute, "a\tb\r\xE9"},
        {"shift+" + e_acute, "a\tb\r\xE9\xC9"},
        {"BackSpace", "a\tb\r\xE9"},
    };
    for (const auto& [key, want] : typed) {
        xdo("key --window " + w + " " + key);
        EXPECT_TRUE(frames_until([&] { return note.text == want; })) << key << ": " << note.text;
    }
    // Return broke the line: the accented letter starts the second one.
    EXPECT_EQ(note.record()->line_starts, (std::vector<int>{0, 4}));
    VOVARU_set_app_update_hook(nullptr);
    g_note = nullptr;
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
