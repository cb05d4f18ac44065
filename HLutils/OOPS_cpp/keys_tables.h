// Key codes of the keyboard layer: the vkey numbering, the key flags that
// travel with every key event, and the constant tables that name the vkeys
// and translate characters and X keysyms into them.
//
// The tables belong to the key module; everything else reads them through
// the lookups at the bottom. They are declared here so that the tests can
// check them whole.
#pragma once

// ---------------------------------------------------------------------------
// Vkeys: the common Windows virtual-key numbers, plus our own 0xB0..0xBD for
// punctuation, Enter and the keypad's Enter and '='. 0 is no key; every code
// fits in 8 bits.
// ---------------------------------------------------------------------------
enum {
    ZYNT_VK_BACK = 0x08,
    ZYNT_VK_TAB = 0x09,
    ZYNT_VK_CLEAR = 0x0C,
    ZYNT_VK_RETURN = 0x0D,
    ZYNT_VK_ESCAPE = 0x1B,
    ZYNT_VK_SPACE = 0x20,
    ZYNT_VK_PRIOR = 0x21, // Page Up
    ZYNT_VK_NEXT,         // Page Down
    ZYNT_VK_END,
    ZYNT_VK_HOME,
    ZYNT_VK_LEFT,
    ZYNT_VK_UP,
    ZYNT_VK_RIGHT,
    ZYNT_VK_DOWN, // 0x28
    ZYNT_VK_SELECT,
    ZYNT_VK_PRINT,
    ZYNT_VK_EXECUTE,
    ZYNT_VK_SNAPSHOT, // no keysym gives it
    ZYNT_VK_INSERT,
    ZYNT_VK_DELETE,
    ZYNT_VK_HELP, // 0x2F
    ZYNT_VK_0 = 0x30,
    ZYNT_VK_1,
    ZYNT_VK_2,
    ZYNT_VK_3,
    ZYNT_VK_4,
    ZYNT_VK_5,
    ZYNT_VK_6,
    ZYNT_VK_7,
    ZYNT_VK_8,
    ZYNT_VK_9,
    ZYNT_VK_A = 0x41,
    ZYNT_VK_B,
    ZYNT_VK_C,
    ZYNT_VK_D,
    ZYNT_VK_E,
    ZYNT_VK_F,
    ZYNT_VK_G,
    ZYNT_VK_H,
    ZYNT_VK_I,
    ZYNT_VK_J,
    ZYNT_VK_K,
    ZYNT_VK_L,
    ZYNT_VK_M,
    ZYNT_VK_N,
    ZYNT_VK_O,
    ZYNT_VK_P,
    ZYNT_VK_Q,
    ZYNT_VK_R,
    ZYNT_VK_S,
    ZYNT_VK_T,
    ZYNT_VK_U,
    ZYNT_VK_V,
    ZYNT_VK_W,
    ZYNT_VK_X,
    ZYNT_VK_Y,
    ZYNT_VK_Z,
    ZYNT_VK_NUMPAD0 = 0x60,
    ZYNT_VK_NUMPAD1,
    ZYNT_VK_NUMPAD2,
    ZYNT_VK_NUMPAD3,
    ZYNT_VK_NUMPAD4,
    ZYNT_VK_NUMPAD5,
    ZYNT_VK_NUMPAD6,
    ZYNT_VK_NUMPAD7,
    ZYNT_VK_NUMPAD8,
    ZYNT_VK_NUMPAD9,
    ZYNT_VK_MULTIPLY = 0x6A,
    ZYNT_VK_ADD,
    ZYNT_VK_SEPARATOR, // the keypad separator: a keysym gives it, no row names it
    ZYNT_VK_SUBTRACT,
    ZYNT_VK_DECIMAL,
    ZYNT_VK_DIVIDE,
    ZYNT_VK_F1 = 0x70,
    ZYNT_VK_F2,
    ZYNT_VK_F3,
    ZYNT_VK_F4,
    ZYNT_VK_F5,
    ZYNT_VK_F6,
    ZYNT_VK_F7,
    ZYNT_VK_F8,
    ZYNT_VK_F9,
    ZYNT_VK_F10,
    ZYNT_VK_F11,
    ZYNT_VK_F12,
    ZYNT_VK_F13,
    ZYNT_VK_F14,
    ZYNT_VK_F15,
    ZYNT_VK_F16,
    ZYNT_VK_F17,
    ZYNT_VK_F18,
    ZYNT_VK_F19,
    ZYNT_VK_F20,
    ZYNT_VK_F21,
    ZYNT_VK_F22,
    ZYNT_VK_F23,
    ZYNT_VK_F24, // 0x87
    ZYNT_VK_EQUAL = 0xB0,
    ZYNT_VK_MINUS,
    ZYNT_VK_RBRACE,
    ZYNT_VK_LBRACE,
    ZYNT_VK_QUOTE,
    ZYNT_VK_SEMICOLON,
    ZYNT_VK_BACKSLASH,
    ZYNT_VK_COMMA,
    ZYNT_VK_SLASH,
    ZYNT_VK_PERIOD,
    ZYNT_VK_BACKQUOTE,
    ZYNT_VK_ENTER, // no keysym gives it
    ZYNT_VK_NUMPAD_ENT,
    ZYNT_VK_NUMPAD_EQ, // 0xBD
};

// Key flags of a key event; bindings keep only the modifier part (flags & 7).
enum {
    kKeyFlagShift = 0x1,
    kKeyFlagAlt = 0x2, // the X Mod1 modifier
    kKeyFlagControl = 0x4,
    kKeyFlagDown = 0x8, // a press
    kKeyFlagUp = 0x10,  // a release
    kKeyFlagModifiers = 0x7,
};

// Characters the keyboard layer gives the arrow keys.
enum {
    kCharLeft = 28,
    kCharRight = 29,
    kCharUp = 30,
    kCharDown = 31,
};

// ---------------------------------------------------------------------------
// The tables
// ---------------------------------------------------------------------------
struct key_name_row {
    int vkey;
    const char* name;  // code name, "ZYNT_VK_BACK"
    const char* label; // shown to users, "Backspace"
};
struct ascii_row {
    int character;
    int vkey;
    int shift; // 1 when the character needs Shift on a US keyboard
};
struct keysym_row {
    int keysym;
    int vkey;
};

constexpr int kKeyNameRows = 110;    // plus the terminating {0, null, null}
constexpr int kAsciiRows = 103;      // plus the terminating {0, 0, 0}
constexpr int kLinMappingRows = 109; // no terminating row
constexpr int kLinDigitRows = 10;

extern const key_name_row kKeyNameTable[kKeyNameRows + 1];
extern const ascii_row kAsciiTranslations[kAsciiRows + 1];
extern const keysym_row kLinMappings[kLinMappingRows];
extern const keysym_row kLinMappingsNumbers[kLinDigitRows];

// ---------------------------------------------------------------------------
// Lookups: linear scans, first match wins.
// ---------------------------------------------------------------------------
// The name row of a vkey, or nullptr (vkey 108 and codes without a key).
const key_name_row* keys_name_row(int vkey);
// The key, with or without Shift, that types a character; nullptr if none.
const ascii_row* keys_ascii_row(int character);
// The vkey of an unshifted X keysym; 0 when the table has none.
int keys_lin_vkey(long keysym);
// The vkey of a digit keysym found on the shifted level; 0 otherwise.
int keys_lin_digit_vkey(long keysym);
