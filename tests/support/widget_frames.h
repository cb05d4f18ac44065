// Widgets frame by frame in a real window, the test playing the frame pass's
// part: the main window opened plainly, keys handed straight to the focus.
#pragma once

#include <string>

#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/keys_tables.h"
#include "support/xvfb.h"

// The shell's main window, no menu open and no field holding the focus.
inline void open_plain_main_window()
{
    xvfb_open_shell_window();
    VOVARU_startwind(kWinMain, 0);
    BTN_focus_window_changed();
    mnw.menu_open = kNoMenu;
}

// One key pressed and released, given to the focused field.
inline void focus_key(int character, int vkey, int mods = 0)
{
    BTN_dispatch_to_focus(character, vkey, mods | kKeyFlagDown);
    BTN_dispatch_to_focus(character, vkey, mods | kKeyFlagUp);
}

// Each character as focus_key; a letter with its capital's vkey.
inline void focus_type(const std::string& text)
{
    for (char c : text)
        focus_key(c, c >= 'a' && c <= 'z' ? c - 32 : c);
}
