// The keyboard handler: X key events become a vkey, key flags and a
// character; the focused field gets each key first, and what it leaves
// raises the frame's Return, Escape and Delete flags, closes a sub-window on
// Return, records the typed character and fires key bindings. A held binding
// repeats once per frame.
//
// The handler never talks to X itself: the shell looks up a key's keysyms
// (LIN_key_syms) and keys_map_event turns them into the key, a plain
// function of its arguments.
//
// Key releases always reach the bindings, even when a field takes them, so a
// binding never repeats past its key's release; a held binding that is given
// another key or command is released first, for the same reason. This header
// also declares keys_names.cpp (labels, code names, flag texts, lookups) and
// keys_window.cpp (the key-assignment window); the codes and tables are in
// keys_tables.h.
#pragma once

#include <string>
#include <vector>

// X event types as the keyboard layer receives them.
constexpr long kKeyEvPress = 2;
constexpr long kKeyEvRelease = 3;

// X modifier-state bits the key flags are made from.
enum {
    kXStateShift = 0x1,
    kXStateControl = 0x4,
    kXStateMod1 = 0x8, // Alt
};

// The keysyms of one key, as the X keyboard map gives them.
struct key_syms {
    long level0;  // without Shift; 0 when the key has none
    long level1;  // with Shift
    int num_lock; // Num Lock was on at the event
};

// One key event after mapping.
struct key_event {
    int ignore;    // a lock key, a left modifier or nothing at all: drop it
    int vkey;      // 0 when no table knows the key
    int character; // 0 when the key types nothing
    int flags;     // kKeyFlag* bits
};

// Maps one X key event (type 2 press, 3 release) from its keysyms and its
// modifier state. Caps Lock does not change letters; a key types only
// printable ASCII, a Latin-1 character (0xA0..0xFF) or, whatever the
// modifiers, its editing code (Backspace 8, Tab 9, Return 13, Escape 27,
// arrows 28..31, keypad digits and point). Fields that want no such
// character refuse it by their accept masks.
key_event keys_map_event(long type, const key_syms& syms, long state);

// One key assignment.
struct key_binding {
    int vkey;
    int flags;   // modifiers that must be held (flags & 7)
    int command; // number in the command table
    int down;    // 1 from the press that fired it until the key's release
};

class keys_class
{
  public:
    int last_vkey = 0;     // last key no focused field took
    int last_flags = 0;    // its modifiers (flags & 7)
    int close_window = -1; // the sub-window a Return is to close at the next pass
    std::vector<key_binding> bindings;

    // One X key event: type 2 press or 3 release, the X keycode and the X
    // modifier state, as the event carried them.
    void handle_key_raw(long type, long keycode, long state);
    // The same for a key already mapped.
    void handle_key_event(const key_event& key);
    // Fires (press) and releases (release) the bindings of the vkey.
    void execute_key_cmnd(int vkey, int flags);
    // Once a frame: every held binding fires again.
    void run_repeat_keys();
    // At the start of a frame pass: closes the sub-window whose Return came
    // in the same batch as keys for one of its fields, now that the field
    // has taken them.
    void run_pending_close();
    // 0: the binding list becomes the one default binding; any other flag
    // would store the bindings, which this program does not.
    void keys_io(int flag);

    // Conversions between keys, their names and their modifier flags.
    // ascii_to_vkey: the key (and whether Shift is needed) that types a
    // character; 0 with both results 0 when none does.
    static int ascii_to_vkey(int character, int& vkey, int& shift);
    static std::string vkey_to_str(int vkey);   // "Backspace"; "<none>"
    static int str_to_vkey(std::string text);   // any letter case; 0 none
    static std::string vkey_to_code(int vkey);  // "ZYNT_VK_BACK"; else "%d"
    static std::string flag_to_code(int flags); // "zynt_ShiftFlag+...", "0"
    static std::string flag_to_str(int flags);  // "SHIFT+ALT+CTRL", "<none>"
    static int str_to_flag(std::string text);

    // The command of the first binding of exactly this key; 0 when none.
    int key_bound_to(int vkey, int flags) const;
    // "SHIFT+CTRL-a": the first binding of the command; "" when none.
    std::string get_key_for_cmnd(int command) const;
    // The binding step alone, for keys that arrive by other routes; unlike
    // handle_key_event it also fires in the save picker.
    void handle_key(int unused, int vkey, int flags);
    void debug();

    // The key-assignment window, one frame of it, in the current window.
    void keys_wind();
    int k_change = -1; // the selected binding, -1 none
    int k_cen = 0;     // the binding shown in the top row

  private:
    // Gives a binding another key or command. A held binding is released
    // first: its key's release would no longer find it.
    void rebind(key_binding& b, int vkey, int flags, int command);
};
