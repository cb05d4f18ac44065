// The folder picker: a modal window (998) inside the program's own window
// that browses folders, steps into one, jumps back up to any level on the
// way from the root, makes a new folder and hands the browsed folder back.
// It runs its own frame loop inside its caller, one frame pass per pass.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The levels of a folder's path, as the staircase and the level pop-up
// show them. A level begins at 0 and after every '/' that is not the last
// character; its name runs to the next '/'. /home/user/ has the levels
// "/", "/home/" and "/home/user/", offered as "/", "home" and "user".
struct picker_levels {
    std::vector<std::string> paths; // the folder's path up to and including each level
    std::vector<std::string> shown; // each level's name, '-' and '|' shown as blanks
    std::string choices;            // the pop-up items: shown names joined by '-'
    int current = -1;               // the last level whose path is the whole folder
};
// Deeper paths keep only their deepest levels: the pop-up holds no more.
constexpr int kPickerMaxLevels = 300;
picker_levels picker_path_levels(const std::string& folder);

// What "Select" hands back: the folder with at most one leading '/'.
std::string picker_answer(const std::string& folder);
// Copies text with its terminating zero into out when both fit in out_size
// bytes: 1. Otherwise 0, and out is not touched.
int picker_copy_out(const std::string& text, char* out, std::size_t out_size);

// The modal folder picker. The first four arguments are not used (the
// installer passes 2, a prompt, an action text and 1). start: the folder to
// begin in, ending in '/'; null or empty browses "/". Answers 1 after
// "Select": the chosen folder is in out, which holds out_size bytes (a folder
// that does not fit is not taken), and the window that was current is
// current again. Answers 0 after "Cancel" (that window current again), when
// something else started another window (which stays current), or when the
// program is ending; out is then untouched.
int GetFilePathFromUser(int, const char* prompt, const char* action, int, const char* start,
                        char* out, std::size_t out_size);

// Hands this picker to the path fields' folder icon (OOPS_cpp/butn_path.h);
// the shell calls it at start-up (VOVARU_register_shell).
void picker_register();

// Test hook: fn is called once per pass, after the pass's work and before its
// frame pass, with what the picker holds. nullptr restores calling no one;
// returns the previous hook.
struct picker_view {
    const std::string& folder;             // the folder being browsed
    const std::vector<std::string>& names; // its sub-folders, as listed
    int selection, middle;                 // the list's selected and middle-row entries
    const std::string& name_field;         // the new folder's name
    const picker_levels& levels;
    int plevel; // the level the pop-up shows
};
using picker_watch_fn = void (*)(const picker_view& view);
picker_watch_fn picker_set_watch_hook(picker_watch_fn fn);
