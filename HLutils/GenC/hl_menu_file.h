// Menu files: a menu bar shipped as text, one file per language, read into
// the menu table through the menu-editing routines (hl_menu_edit).
#pragma once

#include <string>

// Reads folder + the language's folder ("menus/english/" ...) + file into
// the menu table, block n into menu n. The folder is relative to app_path and
// ends in '/' or is empty. A missing file or a header that is not a version-1
// text header ends the program with "Cannot open file!".
void VOVARU_read_menus(std::string folder, std::string file);

// Korean menu texts are decimal character codes separated by blanks; each
// code c becomes the two bytes c / 127 + 1 and c % 127 + 1. Texts starting
// with '-' or '=' stay as they are.
void char_string_to_int_string(std::string* text);
