// The widget library's modal open and save picker (windows 998 and 999).
// Paths are relative to the base folder (app_path), folders end in '/', and
// the empty path is the base folder itself.
//
// It is the one BTN_ routine that starts windows and runs frame passes, through
// the shell's hooks (window start, frame pass). Folder names reach its pop-up
// through BTN_popup_safe_item, with the base folder and the deepest levels
// kept. Its preview maps only names the mapped-file reader takes (no ':' or
// '\', not too long) and never reads past a short file; nothing the user
// selects can end the program.
#pragma once

#include <string>
#include <vector>

// Pickers.
constexpr int kOpenPicker = 998;
constexpr int kSavePicker = 999;
// File types 0..21 (the listing types of opensave_getitems).
constexpr int kOpenSaveTypes = 22;

// Runs the picker until the user decides. 1: *path is the chosen file (the
// folder followed by the name); 0: cancelled, or another window was made
// current, and *path is unchanged. On entry *path hints the start folder.
int BTN_opensave(int open_save, int file_type, std::string* path);

// The pure steps, for tests.
// Where a call starts for the caller's path.
std::string BTN_opensave_start_folder(int file_type, const std::string& hint);
// The folder one level up ("" above a top-level folder).
std::string BTN_opensave_parent(const std::string& folder);
// The save name with the type's extension rules applied.
std::string BTN_opensave_save_name(int file_type, const std::string& name);

// The levels of a folder: the staircase of names, and the pop-up of the
// base folder and the deepest levels (at most the pop-up's item count).
struct opensave_levels {
    std::vector<std::string> names; // every level, '-' shown as a blank
    std::string popup;              // "Didozuroz folder" and one item per kept level
    std::vector<std::string> paths; // the folder of each pop-up item; 0 is ""
    int level = 0;                  // the item of the folder itself
};
opensave_levels BTN_opensave_levels(const std::string& folder);

// Test hook: fn is called once per pass, before its frame pass, with what the
// picker holds. nullptr restores calling no one; returns the previous hook.
struct opensave_view {
    int pass;
    const std::string* folder;
    const std::vector<std::string>* names;
    int selection;
    int level;
    const std::string* save_name;
};
using opensave_watch_fn = void (*)(const opensave_view& view);
opensave_watch_fn BTN_opensave_set_watch_hook(opensave_watch_fn fn);
