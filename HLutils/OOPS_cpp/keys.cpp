// The keyboard handler.
//
// Index
//   [SECTION] Mapping a key event
//   [SECTION] Handling a key
//   [SECTION] Bindings
#include "OOPS_cpp/keys.h"

#include <X11/keysym.h>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys_tables.h"

// ---------------------------------------------------------------------------
// [SECTION] Mapping a key event
// ---------------------------------------------------------------------------
namespace
{
// The keypad block of keysyms, and the vendors' private keypad keysyms (as
// X's IsKeypadKey and IsPrivateKeypadKey).
bool is_keypad_sym(long sym)
{
    return (sym >= XK_KP_Space && sym <= XK_KP_Equal) || (sym >= 0x11000000 && sym <= 0x1100FFFF);
}

// The character an editing key gives whatever the modifiers; -1 for a key
// that keeps the character of its keysym.
int editing_character(int vkey)
{
    switch (vkey) {
    case ZYNT_VK_BACK:
    case ZYNT_VK_TAB:
    case ZYNT_VK_RETURN:
    case ZYNT_VK_ESCAPE:
        return vkey;
    case ZYNT_VK_LEFT:
        return kCharLeft;
    case ZYNT_VK_UP:
        return kCharUp;
    case ZYNT_VK_RIGHT:
        return kCharRight;
    case ZYNT_VK_DOWN:
        return kCharDown;
    case ZYNT_VK_DECIMAL:
        return '.';
    default:
        if (vkey >= ZYNT_VK_NUMPAD0 && vkey <= ZYNT_VK_NUMPAD9) return '0' + vkey - ZYNT_VK_NUMPAD0;
        return -1;
    }
}
} // namespace

key_event keys_map_event(long type, const key_syms& syms, long state)
{
    key_event k{};
    const bool shift = state & kXStateShift;

    // A key is known by its unshifted keysym and types the keysym of the
    // level Shift selects. A keypad key is the keysym it types: Num Lock
    // turns the meaning of Shift round (the X protocol's keypad rule), so
    // with Num Lock on and no Shift the '7' key is KP_7, not KP_Home.
    long base = syms.level0;
    long typed = shift ? syms.level1 : syms.level0;
    if (is_keypad_sym(syms.level1)) {
        base = typed = (shift != static_cast<bool>(syms.num_lock)) ? syms.level1 : syms.level0;
    }

    k.vkey = keys_lin_vkey(base) & 0xFF;
    // Layouts with the digits on the shifted level (French): the digit key
    // is still its digit.
    if (!k.vkey) k.vkey = keys_lin_digit_vkey(syms.level1);

    if (typed == XK_Num_Lock || typed == XK_Caps_Lock || typed == XK_Scroll_Lock) {
        k.ignore = 1;
        return k;
    }

    if (state & kXStateShift) k.flags |= kKeyFlagShift;
    if (state & kXStateControl) k.flags |= kKeyFlagControl;
    if (state & kXStateMod1) k.flags |= kKeyFlagAlt;
    if (type == kKeyEvPress) k.flags |= kKeyFlagDown;
    if (type == kKeyEvRelease) k.flags |= kKeyFlagUp;

    // Printable ASCII and Latin-1 keysyms are their own character codes (a
    // layout's é key types 0xE9). The low byte of a function or keypad keysym
    // is no character of its key (Home is 'P', Delete 0xFF).
    const bool ascii = typed >= 0x20 && typed <= 0x7E;
    const bool latin1 = typed >= 0xA0 && typed <= 0xFF;
    if (!(state & (kXStateControl | kXStateMod1)) && (ascii || latin1))
        k.character = static_cast<int>(typed);

    if (typed == XK_Shift_L || typed == XK_Control_L || typed == XK_Alt_L) {
        k.ignore = 1;
        return k;
    }

    const int editing = editing_character(k.vkey);
    if (editing >= 0) k.character = editing;
    if (!k.flags && !k.character && !k.vkey) k.ignore = 1;
    return k;
}

// ---------------------------------------------------------------------------
// [SECTION] Handling a key
// ---------------------------------------------------------------------------
// The shell reads the key's keysyms from X; without the shell a key has none.
static key_syms shell_key_syms(long keycode, long state)
{
    const shell_hooks& shell = VOVARU_shell();
    return shell.keysyms ? shell.keysyms(keycode, state) : key_syms{};
}

void keys_class::handle_key_raw(long type, long keycode, long state)
{
    const key_event key = keys_map_event(type, shell_key_syms(keycode, state), state);
    if (!key.ignore) handle_key_event(key);
}

void keys_class::handle_key_event(const key_event& key)
{
    const bool release = key.flags & kKeyFlagUp;
    // Past the Return that closes its window, a batch types nothing more there.
    if (close_window >= 0 && !release) return;

    if (BTN_dispatch_to_focus(key.character, key.vkey, key.flags)) {
        // The field has the key. A release still ends the bindings its press
        // started, or they would repeat until the key is pressed again.
        if (release) execute_key_cmnd(key.vkey, key.flags);
        return;
    }

    if (!release) {
        if (key.vkey == ZYNT_VK_RETURN || key.vkey == ZYNT_VK_ENTER) return_hit = 1;
        if (key.vkey == ZYNT_VK_ESCAPE) escape_hit = 1;
        if (key.vkey == ZYNT_VK_DELETE || key.vkey == ZYNT_VK_BACK) delete_hit = 1;
        // Return closes a sub-window; the modal loops of windows 995..999,
        // which it leaves open, read return_hit themselves.
        if (mnw.win_now != kWinMain && return_hit) {
            // Keys typed before it in this batch wait for their field, which
            // takes them when it is drawn; closing now would drop them.
            if (BTN_keys_queued()) {
                return_hit = 0; // it counts in the pass that closes
                close_window = mnw.win_now;
                return;
            }
            if (VOVARU_shell().handle_click) VOVARU_shell().handle_click(1);
            return;
        }
        if (key.character) mnw.key_char = key.character;
    }

    last_vkey = key.vkey;
    last_flags = key.flags & kKeyFlagModifiers;

    // Releases always reach the bindings (see above); presses fire none while
    // the save picker is up, and only Return and Enter while keys are off.
    if (release) {
        execute_key_cmnd(key.vkey, key.flags);
        return;
    }
    if (mnw.win_now == kWinSavePicker) return;
    if (key.vkey == ZYNT_VK_RETURN || key.vkey == ZYNT_VK_ENTER || (!mnw.keys_off && key.vkey))
        execute_key_cmnd(key.vkey, key.flags);
}

void keys_class::run_pending_close()
{
    const int win = close_window;
    close_window = -1;
    if (win < 0 || win != mnw.win_now) return;
    return_hit = 1;
    if (VOVARU_shell().handle_click) VOVARU_shell().handle_click(1);
}

// ---------------------------------------------------------------------------
// [SECTION] Bindings
// ---------------------------------------------------------------------------
void keys_class::execute_key_cmnd(int vkey, int flags)
{
    for (key_binding& b : bindings) {
        if (b.vkey != vkey) continue;
        if ((flags & kKeyFlagDown) && (flags & kKeyFlagModifiers) == b.flags) {
            cmnd.press_one(b.command);
            b.down = 1;
        }
        // Modifiers pressed or let go while the key was held do not matter.
        if ((flags & kKeyFlagUp) && b.down) {
            cmnd.release_one(b.command);
            b.down = 0;
        }
    }
}

void keys_class::run_repeat_keys()
{
    for (const key_binding& b : bindings)
        if (b.down) cmnd.press_always(b.command);
}

void keys_class::keys_io(int flag)
{
    if (flag) return; // bindings are not saved
    bindings.resize(1);
    key_binding& b = bindings[0];
    b.vkey = default_commands[0].default_key;
    b.flags = default_commands[0].default_flags;
    b.command = cmnd.get_cmnd_by_name(default_commands[0].path);
}
