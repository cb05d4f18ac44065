// The key tables: sizes, no key twice, the lookups, and that the tables agree
// with each other and with X's own keysym values.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cctype>
#include <set>
#include <string>

#include "OOPS_cpp/keys_tables.h"

TEST(KeyTables, RowCountsAndTerminators)
{
    for (int i = 0; i < kKeyNameRows; ++i) {
        ASSERT_NE(kKeyNameTable[i].vkey, 0) << i;
        ASSERT_NE(kKeyNameTable[i].name, nullptr) << i;
        ASSERT_NE(kKeyNameTable[i].label, nullptr) << i;
    }
    EXPECT_EQ(kKeyNameTable[kKeyNameRows].vkey, 0);
    EXPECT_EQ(kKeyNameTable[kKeyNameRows].name, nullptr);
    EXPECT_EQ(kKeyNameTable[kKeyNameRows].label, nullptr);

    for (int i = 0; i < kAsciiRows; ++i)
        ASSERT_NE(kAsciiTranslations[i].vkey, 0) << i;
    EXPECT_EQ(kAsciiTranslations[kAsciiRows].character, 0);
    EXPECT_EQ(kAsciiTranslations[kAsciiRows].vkey, 0);

    for (const keysym_row& r : kLinMappings)
        EXPECT_NE(r.vkey, 0) << r.keysym;
    for (const keysym_row& r : kLinMappingsNumbers)
        EXPECT_NE(r.vkey, 0) << r.keysym;
    EXPECT_EQ(kKeyNameRows, 110);
    EXPECT_EQ(kAsciiRows, 103);
    EXPECT_EQ(kLinMappingRows, 109);
    EXPECT_EQ(kLinDigitRows, 10);
}

TEST(KeyTables, NoKeyOccursTwice)
{
    std::set<int> vkeys, names, chars, syms, digit_syms;
    std::set<std::string> labels, codes;
    int last_vkey = 0;
    for (int i = 0; i < kKeyNameRows; ++i) {
        const key_name_row& r = kKeyNameTable[i];
        EXPECT_TRUE(vkeys.insert(r.vkey).second) << r.vkey;
        EXPECT_TRUE(codes.insert(r.name).second) << r.name;
        EXPECT_TRUE(labels.insert(r.label).second) << r.label;
        EXPECT_GT(r.vkey, last_vkey) << "ascending order at row " << i;
        EXPECT_LT(r.vkey, 256) << "vkeys travel as 8-bit values";
        last_vkey = r.vkey;
    }
    for (int i = 0; i < kAsciiRows; ++i)
        EXPECT_TRUE(chars.insert(kAsciiTranslations[i].character).second)
            << kAsciiTranslations[i].character;
    for (const keysym_row& r : kLinMappings) {
        EXPECT_TRUE(syms.insert(r.keysym).second) << std::hex << r.keysym;
        EXPECT_LT(r.vkey, 256);
    }
    for (const keysym_row& r : kLinMappingsNumbers)
        EXPECT_TRUE(digit_syms.insert(r.keysym).second) << std::hex << r.keysym;
    EXPECT_EQ(vkeys.size(), 110u);
    EXPECT_EQ(chars.size(), 103u);
    EXPECT_EQ(syms.size(), 109u);
    EXPECT_EQ(digit_syms.size(), 10u);
}

TEST(KeyTables, LookupEdgeCases)
{
    struct char_case {
        int character, vkey, shift;
    };
    const char_case chars[] = {
        {'}', 0xB2, 1}, {']', 0xB2, 0}, {'&', 55, 1}, {'?', 0xB8, 1}, {'\\', 0xB6, 0},
        {'|', 0xB6, 1}, {'~', 0xBA, 1}, {'A', 65, 1}, {'a', 65, 0},   {')', 48, 1},
        {13, 13, 0},    {9, 9, 0},      {28, 37, 0},  {31, 40, 0},    {' ', 32, 0},
        {0, 0, 0},      {127, 0, 0},    {0xE9, 0, 0}, {10, 0, 0},     {-1, 0, 0},
    };
    for (const char_case& c : chars) {
        const ascii_row* r = keys_ascii_row(c.character);
        if (c.vkey == 0) {
            EXPECT_EQ(r, nullptr) << c.character;
            continue;
        }
        ASSERT_NE(r, nullptr) << c.character;
        EXPECT_EQ(r->vkey, c.vkey) << c.character;
        EXPECT_EQ(r->shift, c.shift) << c.character;
    }

    struct sym_case {
        long keysym;
        int vkey, digit_vkey;
    };
    const sym_case syms[] = {
        {XK_bracketleft, 0xB3, 0},
        {XK_bracketright, 0xB2, 0},
        {XK_Shift_R, 0, 0},
        {XK_Shift_L, 0, 0},
        {XK_eacute, 0, 0},
        {XK_ampersand, 0, 0},
        {XK_1, 49, 49},
        {XK_0, 48, 48},
        {XK_a, 65, 0},
        {XK_A, 0, 0},
        {XK_KP_Separator, 108, 0},
        {XK_KP_Enter, 0xBC, 0},
        {XK_KP_Equal, 0xBD, 0},
        {XK_Delete, 46, 0},
        {XK_F24, 135, 0},
        {XK_Home, 36, 0},
        {XK_grave, 0xBA, 0},
        {0, 0, 0},
    };
    for (const sym_case& s : syms) {
        EXPECT_EQ(keys_lin_vkey(s.keysym), s.vkey) << std::hex << s.keysym;
        EXPECT_EQ(keys_lin_digit_vkey(s.keysym), s.digit_vkey) << std::hex << s.keysym;
    }

    struct name_case {
        int vkey;
        const char *name, *label;
    };
    const name_case names[] = {
        {8, "ZYNT_VK_BACK", "Backspace"},
        {33, "ZYNT_VK_PRIOR", "PageUp"},
        {44, "ZYNT_VK_SNAPSHOT", "Snapshot"},
        {57, "ZYNT_VK_9", "9"},
        {90, "ZYNT_VK_Z", "Z"},
        {96, "ZYNT_VK_NUMPAD0", "Numpad-0"},
        {109, "ZYNT_VK_SUBTRACT", "Numpad--"},
        {135, "ZYNT_VK_F24", "F24"},
        {0xB6, "ZYNT_VK_BACKSLASH", "\\"},
        {0xBB, "ZYNT_VK_ENTER", "Enter"},
        {0xBD, "ZYNT_VK_NUMPAD_EQ", "Numpad-="},
        {108, nullptr, nullptr},
        {0, nullptr, nullptr},
        {136, nullptr, nullptr},
    };
    for (const name_case& n : names) {
        const key_name_row* r = keys_name_row(n.vkey);
        if (!n.name) {
            EXPECT_EQ(r, nullptr) << n.vkey;
            continue;
        }
        ASSERT_NE(r, nullptr) << n.vkey;
        EXPECT_STREQ(r->name, n.name);
        EXPECT_STREQ(r->label, n.label);
    }
}

TEST(KeyTables, EveryMappedKeyButTheSeparatorHasALabel)
{
    std::set<int> produced;
    for (const keysym_row& r : kLinMappings) {
        produced.insert(r.vkey);
        if (r.vkey == ZYNT_VK_SEPARATOR)
            EXPECT_EQ(keys_name_row(r.vkey), nullptr);
        else
            EXPECT_NE(keys_name_row(r.vkey), nullptr) << r.vkey;
    }
    for (const keysym_row& r : kLinMappingsNumbers)
        EXPECT_NE(keys_name_row(r.vkey), nullptr);
    // Snapshot and Enter are named but no keysym gives them.
    EXPECT_EQ(produced.count(ZYNT_VK_SNAPSHOT), 0u);
    EXPECT_EQ(produced.count(ZYNT_VK_ENTER), 0u);
    // Every other named key is produced by a keysym.
    for (int i = 0; i < kKeyNameRows; ++i) {
        const int v = kKeyNameTable[i].vkey;
        if (v == ZYNT_VK_SNAPSHOT || v == ZYNT_VK_ENTER) continue;
        EXPECT_EQ(produced.count(v), 1u) << kKeyNameTable[i].name;
    }
}

// A Latin-1 keysym equals its character code, so the character table and the
// keysym table must name the same key for every unshifted character, and the
// key's label must be the character itself.
TEST(KeyTables, CharactersAgreeWithKeysymsAndLabels)
{
    std::set<int> unshifted_keys;
    for (int i = 0; i < kAsciiRows; ++i) {
        const ascii_row& r = kAsciiTranslations[i];
        if (r.shift == 0) unshifted_keys.insert(r.vkey);
        if (r.character < '!' || r.character > '~') continue;
        const int c = r.character;
        if (r.shift == 0) {
            EXPECT_EQ(keys_lin_vkey(c), r.vkey) << char(c);
            const key_name_row* n = keys_name_row(r.vkey);
            ASSERT_NE(n, nullptr) << char(c);
            EXPECT_EQ(std::string(n->label), std::string(1, char(std::toupper(c)))) << char(c);
        } else if (std::isupper(c)) {
            EXPECT_EQ(keys_lin_vkey(std::tolower(c)), r.vkey) << char(c);
        }
    }
    // A shifted character lies on a key that also types an unshifted one.
    for (int i = 0; i < kAsciiRows; ++i) {
        const ascii_row& r = kAsciiTranslations[i];
        if (r.shift) {
            EXPECT_EQ(unshifted_keys.count(r.vkey), 1u) << char(r.character);
        }
    }
    // Every printable character has a row.
    for (int c = ' '; c <= '~'; ++c)
        EXPECT_NE(keys_ascii_row(c), nullptr) << char(c);
}
