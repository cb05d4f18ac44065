// Building and editing the menu bar: menus with their titles, items, and the
// rectangles the window layer draws and picks them by. The installer calls
// none of this; the menu-file reader (hl_menu_file) and applications do.
//
// Bad menu and item indexes never reach outside the table: negative ones and
// items past the count do nothing, the rest (and a parent that names no item)
// are fatal alerts. Coordinates are computed in float and held inside the
// 16-bit fields before they are stored.
#pragma once

#include <string>

#include "GenC/hl_menu.h"

constexpr int kMenuItemsPerMenu = 300;         // item indexes 0..299
constexpr int kMenuLastIndex = kMenuSlots - 1; // menu indexes 0..1519
constexpr int kMenuTitleMax = 40;              // longer titles are cut
constexpr int kMenuTextMax = 39;               // longer item texts are fatal
constexpr int kMenuLangKorean = 6;             // mnw.lang of Korean menus

// Width of a menu text in pixels: the proportional advances of its bytes, or
// in Korean the 15 pixels a byte that charset 103 steps. Titles and items are
// this + 30 wide.
float menu_dx(const std::string& text);

// Makes menu `index` with its title. parent_code 0: a title of the menu bar,
// placed after the one created before it (menu 0 starts the bar afresh);
// else menu * 300 + item of the item the menu hangs from, which must exist.
void VOVARU_create_menu(int index, int parent_code, std::string title);
// Sets item `item` of menu `index` (creating empty items before it when
// needed) and lays out its rectangle. plain: ordinary text in a Korean menu.
void VOVARU_append_menu(int index, int item, int id, std::string text, int plain);
// Removes one item; the items below it move up into its place.
void VOVARU_remove_menu_item(int index, int item);
// Removes every item; the title and its place stay.
void VOVARU_clear_items(int index);

// Every menu and every item counts as enabled.
int accept_menu(int menu_index);
int accept_item(int item_id);
