// The keyboard handler: the mapping of keysyms and modifier state to keys,
// the frame flags, sub-windows and key bindings.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <string>
#include <utility>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"
#include "support/cmnd_fixture.h"
#include "support/xvfb.h"

namespace
{
// X modifier-state bits beyond the ones the handler reads.
constexpr long kLock = 0x2, kMod2 = 0x10;

struct map_case {
    const char* what;
    long type;
    long level0, level1;
    int num_lock;
    long state;
    int ignore, vkey, character, flags;
};

// What a French (AZERTY) keyboard has on its top row: the digits on the
// shifted level.
constexpr long kFrench1[] = {XK_ampersand, XK_1};
constexpr long kFrench2[] = {XK_eacute, XK_2};

const map_case kMapCases[] = {
    // Letters: Shift chooses the case, Caps Lock does not.
    {"a", 2, XK_a, XK_A, 0, 0, 0, 65, 'a', 0x8},
    {"Shift+a", 2, XK_a, XK_A, 0, 0x1, 0, 65, 'A', 0x9},
    {"Caps Lock a", 2, XK_a, XK_A, 0, kLock, 0, 65, 'a', 0x8},
    {"Caps Lock Shift+a", 2, XK_a, XK_A, 0, kLock | 0x1, 0, 65, 'A', 0x9},
    {"Ctrl+A types nothing", 2, XK_a, XK_A, 0, 0x4, 0, 65, 0, 0xC},
    {"Alt+A types nothing", 2, XK_a, XK_A, 0, 0x8, 0, 65, 0, 0xA},
    {"Ctrl+Alt+Shift+A", 2, XK_a, XK_A, 0, 0xD, 0, 65, 0, 0xF},
    {"release of a", 3, XK_a, XK_A, 0, 0, 0, 65, 'a', 0x10},
    {"Shift+[ is {", 2, XK_bracketleft, XK_braceleft, 0, 0x1, 0, 0xB3, '{', 0x9},
    {"space", 2, XK_space, XK_space, 0, 0, 0, 32, ' ', 0x8},
    // Editing keys keep their code whatever the modifiers.
    {"Shift+Left", 2, XK_Left, XK_Left, 0, 0x1, 0, 37, 28, 0x9},
    {"Right", 2, XK_Right, XK_Right, 0, 0, 0, 39, 29, 0x8},
    {"Up", 2, XK_Up, XK_Up, 0, 0, 0, 38, 30, 0x8},
    {"Ctrl+Down", 2, XK_Down, XK_Down, 0, 0x4, 0, 40, 31, 0xC},
    {"Ctrl+Backspace", 2, XK_BackSpace, XK_BackSpace, 0, 0x4, 0, 8, 8, 0xC},
    {"Return", 2, XK_Return, XK_Return, 0, 0, 0, 13, 13, 0x8},
    {"Escape", 2, XK_Escape, XK_Escape, 0, 0, 0, 27, 27, 0x8},
    {"Tab", 2, XK_Tab, XK_ISO_Left_Tab, 0, 0, 0, 9, 9, 0x8},
    // Function and cursor keys type nothing: the low byte of their keysym
    // is a letter or a Latin-1 sign, no character of theirs.
    {"Delete", 2, XK_Delete, XK_Delete, 0, 0, 0, 46, 0, 0x8},
    {"Home", 2, XK_Home, XK_Home, 0, 0, 0, 36, 0, 0x8},
    {"End", 2, XK_End, XK_End, 0, 0, 0, 35, 0, 0x8},
    {"Page Up", 2, XK_Prior, XK_Prior, 0, 0, 0, 33, 0, 0x8},
    {"Page Down", 2, XK_Next, XK_Next, 0, 0, 0, 34, 0, 0x8},
    {"Insert", 2, XK_Insert, XK_Insert, 0, 0, 0, 45, 0, 0x8},
    {"Print", 2, XK_Print, XK_Sys_Req, 0, 0, 0, 42, 0, 0x8},
    {"Help", 2, XK_Help, XK_Help, 0, 0, 0, 47, 0, 0x8},
    {"F1", 2, XK_F1, XK_F1, 0, 0, 0, 112, 0, 0x8},
    {"keypad Enter", 2, XK_KP_Enter, XK_KP_Enter, 0, 0, 0, 0xBC, 0, 0x8},
    {"keypad +", 2, XK_KP_Add, XK_KP_Add, 0, 0, 0, 107, 0, 0x8},
    // Keypad: Num Lock gives the digits, and Shift turns it round.
    {"keypad 7, Num Lock", 2, XK_KP_Home, XK_KP_7, 1, kMod2, 0, 103, '7', 0x8},
    {"keypad 0, Num Lock", 2, XK_KP_Insert, XK_KP_0, 1, kMod2, 0, 96, '0', 0x8},
    {"keypad point, Num Lock", 2, XK_KP_Delete, XK_KP_Decimal, 1, kMod2, 0, 110, '.', 0x8},
    {"keypad 7, no Num Lock", 2, XK_KP_Home, XK_KP_7, 0, 0, 0, 0, 0, 0x8},
    {"keypad Shift+7, Num Lock", 2, XK_KP_Home, XK_KP_7, 1, kMod2 | 0x1, 0, 0, 0, 0x9},
    {"keypad Shift+7, no Num Lock", 2, XK_KP_Home, XK_KP_7, 0, 0x1, 0, 103, '7', 0x9},
    // French digits: the key is its digit whether Shift is held or not.
    {"French 1", 2, kFrench1[0], kFrench1[1], 0, 0, 0, 49, '&', 0x8},
    {"French Shift+1", 2, kFrench1[0], kFrench1[1], 0, 0x1, 0, 49, '1', 0x9},
    {"French 2 types e acute", 2, kFrench2[0], kFrench2[1], 0, 0, 0, 50, 0xE9, 0x8},
    // Latin-1 letters and signs are their own characters; a national key has
    // no vkey of its own.
    {"o diaeresis", 2, XK_odiaeresis, XK_Odiaeresis, 0, 0, 0, 0, 0xF6, 0x8},
    {"Shift+o diaeresis", 2, XK_odiaeresis, XK_Odiaeresis, 0, 0x1, 0, 0, 0xD6, 0x9},
    {"n tilde", 2, XK_ntilde, XK_Ntilde, 0, 0, 0, 0, 0xF1, 0x8},
    {"c cedilla", 2, XK_ccedilla, XK_Ccedilla, 0, 0, 0, 0, 0xE7, 0x8},
    {"u diaeresis, Caps Lock", 2, XK_udiaeresis, XK_Udiaeresis, 0, kLock, 0, 0, 0xFC, 0x8},
    {"Shift+3 is the pound sign", 2, XK_3, XK_sterling, 0, 0x1, 0, 51, 0xA3, 0x9},
    {"inverted question mark", 2, XK_questiondown, XK_questiondown, 0, 0, 0, 0, 0xBF, 0x8},
    {"y diaeresis is no Delete", 2, XK_ydiaeresis, XK_ydiaeresis, 0, 0, 0, 0, 0xFF, 0x8},
    {"Ctrl+e acute types nothing", 2, XK_eacute, XK_Eacute, 0, 0x4, 0, 0, 0, 0xC},
    {"a Cyrillic letter types nothing", 2, XK_Cyrillic_a, XK_Cyrillic_A, 0, 0, 0, 0, 0, 0x8},
    // Lock keys and the left modifiers are dropped; a right one goes on.
    {"Caps Lock", 2, XK_Caps_Lock, XK_Caps_Lock, 0, 0, 1, 0, 0, 0},
    {"Num Lock", 2, XK_Num_Lock, XK_Num_Lock, 1, kMod2, 1, 0, 0, 0},
    {"Scroll Lock release", 3, XK_Scroll_Lock, XK_Scroll_Lock, 0, 0, 1, 0, 0, 0},
    {"Shift_L", 2, XK_Shift_L, XK_Shift_L, 0, 0, 1, 0, 0, 0},
    {"Control_L", 2, XK_Control_L, XK_Control_L, 0, 0x4, 1, 0, 0, 0},
    {"Alt_L", 3, XK_Alt_L, XK_Meta_L, 0, 0x8, 1, 0, 0, 0},
    {"Shift_R", 2, XK_Shift_R, XK_Shift_R, 0, 0, 0, 0, 0, 0x8},
    {"no keysym, no type", 0, 0, 0, 0, 0, 1, 0, 0, 0},
};

key_event mapped(long type, long level0, long level1, long state)
{
    const key_syms syms{level0, level1, 0};
    return keys_map_event(type, syms, state);
}

// A clean handler with the given bindings and no frame flags or focus.
void reset_keys(std::vector<key_binding> bindings)
{
    keys = keys_class{};
    keys.bindings = std::move(bindings);
    return_hit = escape_hit = delete_hit = 0;
    mnw.key_char = 0;
    mnw.keys_off = 0;
    BTN_unfocus_any();
    BTN_begin_focus_ring();
}

void press(long level0, long level1, long state = 0)
{
    keys.handle_key_event(mapped(kKeyEvPress, level0, level1, state));
}
void release(long level0, long level1, long state = 0)
{
    keys.handle_key_event(mapped(kKeyEvRelease, level0, level1, state));
}

// A text field drawn in this frame, with the focus.
focus_queue_t field_queue;
void focus_a_text_field()
{
    BTN_begin_focus_ring();
    BTN_register_focus(BTN_field_key(100, 50), field_queue, kMaskTextField, 1);
}
} // namespace

TEST(KeysMap, KeysymsAndModifiersToKeyCharacterAndFlags)
{
    for (const map_case& c : kMapCases) {
        const key_syms syms{c.level0, c.level1, c.num_lock};
        const key_event k = keys_map_event(c.type, syms, c.state);
        EXPECT_EQ(k.ignore, c.ignore) << c.what;
        if (c.ignore) continue;
        EXPECT_EQ(k.vkey, c.vkey) << c.what;
        EXPECT_EQ(k.character, c.character) << c.what;
        EXPECT_EQ(k.flags, c.flags) << c.what;
    }
}

TEST(KeysMap, TheTableKeysTypeOnlyPrintableAsciiAndEditingCodes)
{
    // Every keysym of the key table, with and without Shift: whatever comes
    // out is printable ASCII or one of the editing codes.
    for (const keysym_row& row : kLinMappings) {
        for (long state : {0L, 1L}) {
            const key_event k = mapped(kKeyEvPress, row.keysym, row.keysym, state);
            const int c = k.character;
            const bool ok = c == 0 || (c >= 0x20 && c <= 0x7E) || c == 8 || c == 9 || c == 13 ||
                            c == 27 || (c >= 28 && c <= 31);
            EXPECT_TRUE(ok) << "keysym " << row.keysym << " gives " << c;
            EXPECT_EQ(k.vkey, row.vkey) << "keysym " << row.keysym;
        }
    }
}

TEST(KeysHandler, FrameFlagsLastKeyAndCharacter)
{
    struct {
        const char* what;
        long type, level0, level1, state;
        int return_hit, escape_hit, delete_hit, key_char, last_vkey, last_flags;
    } cases[] = {
        {"Return", 2, XK_Return, XK_Return, 0, 1, 0, 0, 13, 13, 0},
        {"keypad Enter", 2, XK_KP_Enter, XK_KP_Enter, 0, 0, 0, 0, 0, 0xBC, 0},
        {"Escape", 2, XK_Escape, XK_Escape, 0, 0, 1, 0, 27, 27, 0},
        {"Delete", 2, XK_Delete, XK_Delete, 0, 0, 0, 1, 0, 46, 0},
        {"Backspace", 2, XK_BackSpace, XK_BackSpace, 0, 0, 0, 1, 8, 8, 0},
        {"Ctrl+Shift+A", 2, XK_a, XK_A, 0x5, 0, 0, 0, 0, 65, 5},
        {"Shift+a", 2, XK_a, XK_A, 0x1, 0, 0, 0, 'A', 65, 1},
        {"e acute", 2, XK_eacute, XK_Eacute, 0, 0, 0, 0, 0xE9, 0, 0},
        // A release raises no flag and stores no character, but is the last key.
        {"release of Return", 3, XK_Return, XK_Return, 0, 0, 0, 0, 0, 13, 0},
        {"release of Shift+Delete", 3, XK_Delete, XK_Delete, 0x1, 0, 0, 0, 0, 46, 1},
    };
    for (const auto& c : cases) {
        reset_keys({});
        keys.handle_key_event(mapped(c.type, c.level0, c.level1, c.state));
        EXPECT_EQ(return_hit, c.return_hit) << c.what;
        EXPECT_EQ(escape_hit, c.escape_hit) << c.what;
        EXPECT_EQ(delete_hit, c.delete_hit) << c.what;
        EXPECT_EQ(mnw.key_char, c.key_char) << c.what;
        EXPECT_EQ(keys.last_vkey, c.last_vkey) << c.what;
        EXPECT_EQ(keys.last_flags, c.last_flags) << c.what;
    }
}

TEST(KeysHandler, AKeyTheFocusedFieldTakesGoesNoFurther)
{
    cmnd_hook_log hooks;
    reset_keys({{65, 0, 4, 0}});
    focus_a_text_field();
    press(XK_a, XK_A);
    press(XK_BackSpace, XK_BackSpace);
    EXPECT_EQ(field_queue.counter, 2);
    EXPECT_EQ(delete_hit, 0);
    EXPECT_EQ(mnw.key_char, 0);
    EXPECT_EQ(keys.last_vkey, 0);
    EXPECT_TRUE(hooks.calls.empty());
    // Return is not the field's: it reaches the frame flags.
    press(XK_Return, XK_Return);
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(field_queue.counter, 2);
    // Nor is an accented letter (the mask takes printable ASCII only): it
    // becomes the frame's character.
    press(XK_eacute, XK_Eacute);
    EXPECT_EQ(field_queue.counter, 2);
    EXPECT_EQ(mnw.key_char, 0xE9);
    field_queue = focus_queue_t{};
}

TEST(KeysBindings, PressRepeatRelease)
{
    cmnd_hook_log hooks;
    reset_keys({{65, 0, 4, 0}});
    press(XK_a, XK_A);
    EXPECT_EQ(keys.bindings[0].down, 1);
    for (int frame = 0; frame < 3; ++frame)
        keys.run_repeat_keys();
    release(XK_a, XK_A);
    keys.run_repeat_keys();
    const std::vector<std::pair<int, int>> want = {
        {kCmndHookPressOne, 4},    {kCmndHookPressAlways, 4}, {kCmndHookPressAlways, 4},
        {kCmndHookPressAlways, 4}, {kCmndHookReleaseOne, 4},
    };
    EXPECT_EQ(hooks.calls, want);
    EXPECT_EQ(keys.bindings[0].down, 0);
}

TEST(KeysBindings, ModifiersMustMatchOnPressButNotOnRelease)
{
    cmnd_hook_log hooks;
    reset_keys({{65, 0, 4, 0}, {65, kKeyFlagShift, 5, 0}, {66, 0, 6, 0}});
    press(XK_a, XK_A, 0x1); // Shift+A: only the Shift binding
    EXPECT_EQ(hooks.calls, (std::vector<std::pair<int, int>>{{kCmndHookPressOne, 5}}));
    release(XK_a, XK_A, 0x1);
    press(XK_a, XK_A); // A alone, released with Shift pressed in between
    release(XK_a, XK_A, 0x1);
    const std::vector<std::pair<int, int>> want = {
        {kCmndHookPressOne, 5},
        {kCmndHookReleaseOne, 5},
        {kCmndHookPressOne, 4},
        {kCmndHookReleaseOne, 4},
    };
    EXPECT_EQ(hooks.calls, want);
}

TEST(KeysBindings, EveryBindingOfTheKeyFires)
{
    cmnd_hook_log hooks;
    reset_keys({{65, 0, 4, 0}, {65, 0, 7, 0}});
    press(XK_a, XK_A);
    keys.run_repeat_keys();
    EXPECT_EQ(hooks.count(kCmndHookPressOne), 2);
    EXPECT_EQ(hooks.count(kCmndHookPressAlways), 2);
}

TEST(KeysBindings, AReleaseTakenByAFieldStillEndsTheRepeat)
{
    cmnd_hook_log hooks;
    reset_keys({{65, 0, 4, 0}});
    press(XK_a, XK_A); // nothing focused: the binding fires
    ASSERT_EQ(keys.bindings[0].down, 1);
    focus_a_text_field(); // a click into a field while A is held
    release(XK_a, XK_A);  // the field queues the release...
    EXPECT_EQ(field_queue.counter, 1);
    EXPECT_EQ(keys.bindings[0].down, 0); // ...and the binding ends all the same
    hooks.calls.clear();
    for (int frame = 0; frame < 3; ++frame)
        keys.run_repeat_keys();
    EXPECT_TRUE(hooks.calls.empty());
    field_queue = focus_queue_t{};
}

TEST(KeysBindings, TheGateLetsOnlyReturnAndEnterFireButEveryRelease)
{
    cmnd_hook_log hooks;
    reset_keys({{65, 0, 4, 0}, {13, 0, 5, 0}});
    press(XK_a, XK_A);
    mnw.keys_off = 1;
    press(XK_Return, XK_Return);
    press(XK_b, XK_B);
    release(XK_a, XK_A);
    const std::vector<std::pair<int, int>> want = {
        {kCmndHookPressOne, 4},
        {kCmndHookPressOne, 5},
        {kCmndHookReleaseOne, 4},
    };
    EXPECT_EQ(hooks.calls, want);
    mnw.keys_off = 0;
}

TEST(KeysBindings, DefaultsAreTheOneNothingCommand)
{
    reset_keys({{65, 1, 4, 1}, {66, 0, 5, 0}});
    keys.keys_io(1); // stores nothing, changes nothing
    EXPECT_EQ(keys.bindings.size(), 2u);
    keys.keys_io(0);
    ASSERT_EQ(keys.bindings.size(), 1u);
    EXPECT_EQ(keys.bindings[0].vkey, 0);
    EXPECT_EQ(keys.bindings[0].flags, 0);
    EXPECT_EQ(keys.bindings[0].command, kCmndNone);
    EXPECT_EQ(keys.bindings[0].down, 1); // kept from the entry that was there
    reset_keys({});
    keys.keys_io(0);
    ASSERT_EQ(keys.bindings.size(), 1u);
    EXPECT_EQ(keys.bindings[0].down, 0);
}

// Sub-windows need the real window: closing one draws its close boxes.
TEST(KeysHandler, ReturnClosesASubWindowButNotTheMainWindow)
{
    XVFB_TEST_BODY();
    cmnd_hook_log hooks;
    xvfb_open_shell_window();
    VOVARU_event_proc();
    struct {
        const char* what;
        int window;
        long level0, level1;
        int window_after, return_hit, key_char, last_vkey, fired;
    } cases[] = {
        {"Return in the main window", kWinMain, XK_Return, XK_Return, kWinMain, 1, 13, 13, 1},
        {"Return in the licence window", kWinLicence, XK_Return, XK_Return, kWinMain, 0, 0, -1, 0},
        {"a in the licence window", kWinLicence, XK_a, XK_A, kWinLicence, 0, 'a', 65, 1},
        // The alert's own loop answers Return; the handler leaves it open.
        {"Return in an alert", kWinAlert, XK_Return, XK_Return, kWinAlert, 1, 0, -1, 0},
        {"a in the save picker", kWinSavePicker, XK_a, XK_A, kWinSavePicker, 0, 'a', 65, 0},
    };
    for (const auto& c : cases) {
        VOVARU_startwind(c.window, 0);
        reset_keys({{13, 0, 4, 0}, {65, 0, 4, 0}});
        hooks.calls.clear();
        keys.last_vkey = -1;
        press(c.level0, c.level1);
        EXPECT_EQ(mnw.win_now, c.window_after) << c.what;
        EXPECT_EQ(return_hit, c.return_hit) << c.what;
        EXPECT_EQ(mnw.key_char, c.key_char) << c.what;
        EXPECT_EQ(keys.last_vkey, c.last_vkey) << c.what;
        EXPECT_EQ(hooks.count(kCmndHookPressOne), c.fired) << c.what;
    }
}
