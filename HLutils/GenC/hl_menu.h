// The menu table's handling and drawing, in the shell's window module.
#pragma once

#include "GenH/hl_menu_table.h"

// With 1: the table becomes 1520 cleared slots; any other value does nothing.
void VOVARU_clear_menus(int make);
// Empties one slot (0..1519).
void VOVARU_clear_menu(int index);
// One press of a mouse button (by_key 0) or Return in a sub-window (1).
void VOVARU_handleclick(int by_key);
// Draws the menu bar and the open menu; once per frame, before the swap.
void standard_gui();
