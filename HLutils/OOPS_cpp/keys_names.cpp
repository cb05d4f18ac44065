// The keyboard handler's names and lookups: vkeys to labels and code names
// and back, modifier flags to text and back, bindings by key and by command,
// and the binding step for keys that arrive by other routes.
#include <strings.h>

#include <cctype>

#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/keys_tables.h"

namespace
{
// The names of the modifier bits 0x1, 0x2 and 0x4, in that order, joined by
// '+'; `none` when no bit is set.
std::string join_flags(int flags, const char* const names[3], const char* none)
{
    std::string out;
    for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1 << bit))) continue;
        if (!out.empty()) out += '+';
        out += names[bit];
    }
    return out.empty() ? none : out;
}
} // namespace

int keys_class::ascii_to_vkey(int character, int& vkey, int& shift)
{
    const ascii_row* r = keys_ascii_row(character);
    vkey = r ? r->vkey : 0;
    shift = r ? r->shift : 0;
    return r != nullptr;
}

std::string keys_class::vkey_to_str(int vkey)
{
    const key_name_row* r = keys_name_row(vkey);
    return r ? r->label : "<none>";
}

int keys_class::str_to_vkey(std::string text)
{
    for (const key_name_row* r = kKeyNameTable; r->name; ++r)
        if (!strcasecmp(r->label, text.c_str())) return r->vkey;
    return 0;
}

std::string keys_class::vkey_to_code(int vkey)
{
    const key_name_row* r = keys_name_row(vkey);
    return r ? r->name : std::to_string(vkey);
}

std::string keys_class::flag_to_code(int flags)
{
    static const char* const names[3] = {"zynt_ShiftFlag", "zynt_OptionAltFlag",
                                         "zynt_ControlFlag"};
    return join_flags(flags, names, "0");
}

std::string keys_class::flag_to_str(int flags)
{
    static const char* const names[3] = {"SHIFT", "ALT", "CTRL"};
    return join_flags(flags, names, "<none>");
}

int keys_class::str_to_flag(std::string text)
{
    int flags = 0;
    if (text.find("SHIFT") != std::string::npos) flags |= kKeyFlagShift;
    if (text.find("ALT") != std::string::npos) flags |= kKeyFlagAlt;
    if (text.find("CTRL") != std::string::npos) flags |= kKeyFlagControl;
    return flags;
}

int keys_class::key_bound_to(int vkey, int flags) const
{
    for (const key_binding& b : bindings)
        if (b.vkey == vkey && b.flags == flags) return b.command;
    return 0;
}

std::string keys_class::get_key_for_cmnd(int command) const
{
    for (const key_binding& b : bindings) {
        if (b.command != command) continue;
        std::string label = vkey_to_str(b.vkey);
        if (label[0] >= 'A' && label[0] <= 'Z') label[0] = char(std::tolower(label[0]));
        return b.flags ? flag_to_str(b.flags) + "-" + label : label;
    }
    return "";
}

void keys_class::handle_key(int, int vkey, int flags)
{
    // Releases always reach the bindings, or a held one would repeat for
    // ever while keys are off.
    if ((flags & kKeyFlagUp) || vkey == ZYNT_VK_RETURN || vkey == ZYNT_VK_ENTER ||
        (!mnw.keys_off && vkey))
        execute_key_cmnd(vkey, flags);
}

void keys_class::debug() {}

void keys_class::rebind(key_binding& b, int vkey, int flags, int command)
{
    if (b.down && (b.vkey != vkey || b.flags != flags || b.command != command)) {
        cmnd.release_one(b.command);
        b.down = 0;
    }
    b.vkey = vkey;
    b.flags = flags;
    b.command = command;
}
