// The key names and lookups: vkeys to labels and code names and back,
// modifier flags to text and back, bindings by key and by command, and the
// binding step for keys that arrive by other routes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"
#include "support/cmnd_fixture.h"

TEST(KeysNames, VkeysToLabelsAndCodeNames)
{
    const struct {
        int vkey;
        const char* label;
        const char* code;
    } cases[] = {
        {0, "<none>", "0"},
        {8, "Backspace", "ZYNT_VK_BACK"},
        {33, "PageUp", "ZYNT_VK_PRIOR"},
        {65, "A", "ZYNT_VK_A"},
        {116, "F5", "ZYNT_VK_F5"},
        {108, "<none>", "108"}, // the keypad separator has no row
        {0xBD, "Numpad-=", "ZYNT_VK_NUMPAD_EQ"},
        {-1, "<none>", "-1"},
        {256, "<none>", "256"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keys_class::vkey_to_str(c.vkey), c.label) << c.vkey;
        EXPECT_EQ(keys_class::vkey_to_code(c.vkey), c.code) << c.vkey;
    }
}

TEST(KeysNames, LabelsToVkeys)
{
    const std::pair<const char*, int> cases[] = {
        {"pageup", 33}, {"PAGEUP", 33}, {"Numpad-=", 189}, {"f5", 116},
        {"Page Up", 0}, {"", 0},        {"<none>", 0},     {"Backspace ", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keys_class::str_to_vkey(c.first), c.second) << c.first;
}

TEST(KeysNames, EveryLabelAndCodeNameRoundTrips)
{
    int rows = 0;
    for (const key_name_row* r = kKeyNameTable; r->name; ++r, ++rows) {
        EXPECT_EQ(keys_class::str_to_vkey(keys_class::vkey_to_str(r->vkey)), r->vkey) << r->label;
        std::string lower = r->label;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        EXPECT_EQ(keys_class::str_to_vkey(lower), r->vkey) << r->label;
        EXPECT_EQ(keys_class::vkey_to_code(r->vkey), r->name);
    }
    EXPECT_EQ(rows, kKeyNameRows);
    // Vkey 0 names no key, so its text names none either.
    EXPECT_EQ(keys_class::str_to_vkey(keys_class::vkey_to_str(0)), 0);
}

TEST(KeysNames, FlagsToTextAndBack)
{
    const struct {
        int flags;
        const char* text;
        const char* code;
    } cases[] = {
        {0, "<none>", "0"},
        {1, "SHIFT", "zynt_ShiftFlag"},
        {2, "ALT", "zynt_OptionAltFlag"},
        {3, "SHIFT+ALT", "zynt_ShiftFlag+zynt_OptionAltFlag"},
        {4, "CTRL", "zynt_ControlFlag"},
        {5, "SHIFT+CTRL", "zynt_ShiftFlag+zynt_ControlFlag"},
        {6, "ALT+CTRL", "zynt_OptionAltFlag+zynt_ControlFlag"},
        {7, "SHIFT+ALT+CTRL", "zynt_ShiftFlag+zynt_OptionAltFlag+zynt_ControlFlag"},
        {0x8 | 0x10, "<none>", "0"}, // press and release bits are no modifiers
        {0xF, "SHIFT+ALT+CTRL", "zynt_ShiftFlag+zynt_OptionAltFlag+zynt_ControlFlag"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keys_class::flag_to_str(c.flags), c.text) << c.flags;
        EXPECT_EQ(keys_class::flag_to_code(c.flags), c.code) << c.flags;
        EXPECT_EQ(keys_class::str_to_flag(c.text), c.flags & 7) << c.text;
    }
    const std::pair<const char*, int> texts[] = {
        {"CTRL+SHIFT", 5}, {"shift", 0}, {"xxALTxx", 2}, {"", 0}, {"Ctrl", 0},
    };
    for (const auto& t : texts)
        EXPECT_EQ(keys_class::str_to_flag(t.first), t.second) << t.first;
}

TEST(KeysNames, CharactersToKeys)
{
    const struct {
        int character, found, vkey, shift;
    } cases[] = {
        {'?', 1, 0xB8, 1}, {'/', 1, 0xB8, 0}, {'a', 1, 65, 0}, {'A', 1, 65, 1}, {'1', 1, 49, 0},
        {'!', 1, 49, 1},   {127, 0, 0, 0},    {200, 0, 0, 0},  {0, 0, 0, 0},    {-5, 0, 0, 0},
    };
    for (const auto& c : cases) {
        int vkey = 99, shift = 99;
        EXPECT_EQ(keys_class::ascii_to_vkey(c.character, vkey, shift), c.found) << c.character;
        EXPECT_EQ(vkey, c.vkey) << c.character;
        EXPECT_EQ(shift, c.shift) << c.character;
    }
}

TEST(KeysNames, BindingsByKeyAndByCommand)
{
    keys_class k;
    k.bindings = {{65, 4, 7, 0}, {65, 0, 8, 0}, {8, 5, 9, 0}, {116, 1, 7, 0}, {0, 0, 10, 0}};
    EXPECT_EQ(k.key_bound_to(65, 4), 7);
    EXPECT_EQ(k.key_bound_to(65, 0), 8);
    EXPECT_EQ(k.key_bound_to(65, 1), 0);
    EXPECT_EQ(k.key_bound_to(116, 1), 7);
    EXPECT_EQ(k.get_key_for_cmnd(7), "CTRL-a"); // the first binding of 7
    EXPECT_EQ(k.get_key_for_cmnd(8), "a");
    EXPECT_EQ(k.get_key_for_cmnd(9), "SHIFT+CTRL-backspace");
    EXPECT_EQ(k.get_key_for_cmnd(10), "<none>");
    EXPECT_EQ(k.get_key_for_cmnd(11), "");
    k.bindings = {{116, 0, 3, 0}};
    EXPECT_EQ(k.get_key_for_cmnd(3), "f5");
}

TEST(KeysNames, HandleKeyFiresBindingsAndAlwaysReleases)
{
    cmnd_hook_log hooks;
    keys.bindings = {{65, 0, 4, 0}, {13, 0, 5, 0}};
    const int press = kKeyFlagDown, release = kKeyFlagUp;
    keys.handle_key(0, 65, press);
    mnw.keys_off = 1; // keys fire no commands now, but Return does
    keys.handle_key(0, 13, press);
    keys.handle_key(0, 66, press);
    keys.handle_key(0, 65, release); // ends the repeat even while keys are off
    keys.run_repeat_keys();
    mnw.keys_off = 0;
    const int win = mnw.win_now;
    mnw.win_now = kWinSavePicker; // unlike the event route, fires in the save picker
    keys.handle_key(0, 65, press);
    mnw.win_now = win;
    keys.handle_key(0, 0, press); // no key
    const std::vector<std::pair<int, int>> want = {
        {kCmndHookPressOne, 4},   {kCmndHookPressOne, 5},
        {kCmndHookReleaseOne, 4}, {kCmndHookPressAlways, 5}, // Return was never released
        {kCmndHookPressOne, 4},
    };
    EXPECT_EQ(hooks.calls, want);
    keys.bindings.clear();
}
