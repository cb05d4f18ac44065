// The command table: the actions that keys can be bound to. Each command has
// a number (its index), an enumeration name, a '/'-separated path that places
// it in a tree ("sim/operation/none"), a description and a type. Bindings keep
// the number and find it by path; "--cmnds" and the folder listing browse the
// paths one level at a time.
//
// Key bindings, "--cmnds" and the type-21 folder listing read it;
// get_cmds_in_path is the one lister of a level. Tests watch the command hooks
// through CMND_set_watch_hook (tests/support/cmnd_fixture.h).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Types of commands.
enum {
    kCmndAdded = 2,   // added at run time, appended after the built-in rows
    kCmndBuiltIn = 3, // a row of default_commands
};

// Command 0, "sim/operation/none": also the answer "no such command".
constexpr int kCmndNone = 0;

// One built-in command with the key it is bound to by default.
struct cmnd_row {
    const char* enum_name;
    const char* path;
    const char* description;
    int type;
    int default_key;   // vkey, 0 = none
    int default_flags; // modifier key flags
};

// The built-in commands, in command order; never changed.
inline constexpr cmnd_row default_commands[] = {
    {"cmnd_nothing", "sim/operation/none", "Do nothing at all!", kCmndBuiltIn, 0, 0},
};
inline constexpr int kDefaultCommandCount =
    static_cast<int>(sizeof default_commands / sizeof default_commands[0]);

class cmnd_class
{
  public:
    // Parallel, indexed by command number; always the same length. Commands
    // are only ever appended, so a number never changes.
    std::vector<std::string> enum_names;
    std::vector<std::string> paths;
    std::vector<std::string> descriptions;
    std::vector<int> types;

    // One entry per row of default_commands, in row order.
    cmnd_class();

    // Number of the first command whose path equals path exactly
    // (case-sensitive), else kCmndNone.
    int get_cmnd_by_name(const std::string& path) const;

    // Fills out with the names one level below prefix, in byte order, each
    // once: for every longer path starting with prefix, the rest up to and
    // including its first '/' (a sub-level), or the whole rest (a command).
    // The prefix is used as given, so "si" yields "m/". out is always emptied.
    void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const;

    // Hooks for bound keys: a host application gives commands their effect
    // here. This program has none.
    void press_one(int command);
    void release_one(int command);
    void press_always(int command); // once per frame while the key is held

    // Appends a command of type kCmndAdded and returns its number. A path
    // already present is added again; lookups keep finding the first.
    int add_cmd(const std::string& path, const std::string& description);
    // Hook for a single press; does nothing.
    void single_press(int command);
};

// Prints the command listing of "--cmnds" for table: every command with its
// description for "all", else the names one level below the prefix value.
void CMND_print_commands(FILE* out, const cmnd_class& table, const std::string& value);

// Test hook: the command hooks report each call to fn. nullptr restores
// reporting nowhere; returns the previous hook.
enum { kCmndHookPressOne, kCmndHookReleaseOne, kCmndHookPressAlways };
using CMND_watch_fn = void (*)(int hook, int command);
CMND_watch_fn CMND_set_watch_hook(CMND_watch_fn fn);

// The plane the commands act on; 0 at start.
void set_plane_focus(int value);
int get_plane_focus();
