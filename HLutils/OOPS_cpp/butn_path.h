// Path fields with a folder icon that opens the folder picker, and a heading
// dial. Immediate-mode like the other widgets; the installer uses none of
// them.
//
// The icon opens the folder picker with a buffer of the picker's own size,
// through a hook the picker fills (picker_register in platform/PlatformUtils.h,
// which the shell calls at start-up); with none the icon answers as a
// cancelled pick. The fields edit a per-call copy of the caller's value, which
// the shared editor is told to forget when the call ends.
#pragma once

#include <cstddef>
#include <string>

// The folder picker the icon opens, with GetFilePathFromUser's arguments and
// answer; null: none.
using BTN_folder_picker_fn = int (*)(int, const char* prompt, const char* action, int,
                                     const char* start, char* out, std::size_t out_size);
void BTN_path_set_picker(BTN_folder_picker_fn fn);

// What the field of a path shows: file types 20 and 21 the whole path,
// others its last component (the text after the last '/' that is not the
// final character, a final '/' kept; the whole path when there is none).
std::string BTN_path_shown(const std::string& path, int file_type);
// The part of the path before what BTN_path_shown shows for other types.
std::string BTN_path_prefix(const std::string& path, int file_type);

// The text field of a path with a folder icon at its left. open_save must be
// 998 or 999 and file_type 0..21 (else fatal). A click on the icon opens the
// folder picker; the folder picked there becomes *path and the result is 1.
// Typing edits what the field shows (for types other than 20 and 21 the last
// component, the folders before it kept) and never makes the whole path
// longer than max_len; it answers 0.
int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path,
                        int max_len, std::string label, float width, int take_focus);
// The same over a zero-terminated buffer of `size` bytes (size >= 1, else
// fatal): it never holds more than size - 1 characters, nor more than the
// 499 of "String too long!"; a picked folder that does not fit is not taken.
int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int size,
                        std::string label, float width, int take_focus);
// A file name in a buffer of `size` bytes and its folder in *path (the part
// of it up to its last '/'). A pick makes *path the picked folder and the
// name its last component; typing edits the name. The field takes the focus
// while nothing has it.
int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* name,
                        std::string* path, int size, std::string label, float width);

// The bearing from a dial's centre to a point dx right and dy up of it, in
// degrees in [0, 360): 0 up, 90 right, 180 down.
float BTN_dir_bearing(float dx, float dy);
// A heading dial centred at (x, y): a needle (look 0 or any other look) turned
// by *heading clockwise from up, the face and the heading in three digits.
// While the button is held within 30 px of the centre, *heading becomes the
// bearing to the pointer.
void plot_dir(float x, float y, float* heading, int look);
