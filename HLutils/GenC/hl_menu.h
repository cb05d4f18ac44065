// The menu table: menu-bar menus with cascading sub-menus, and the pop-up
// list slot that the pop-up choice widget fills while its list is open.
#pragma once

#include <string>
#include <vector>

constexpr int kMenuSlots = 1520; // slots 0..1519, made by VOVARU_clear_menus(1)
constexpr int kPopupSlot = 1519; // the widget library's pop-up list
constexpr int kNoMenu = -1;      // mnw.menu_open when no menu is open

// One entry. Text "" is no entry; a leading '-' is a separator; a leading
// '=' is drawn but can be neither hovered nor picked.
struct item_struct {
    std::string text;
    int id = 0;                           // handed to APP_handlemenu when picked
    char flag = 0;                        // non-zero: drawn with charset 103
    short x1 = 0, y1 = 0, x2 = 0, y2 = 0; // window units, edges inside
};

struct menu_struct {
    std::string title;                    // "" for an empty slot and for the pop-up
    int parent = -1;                      // -1: a menu-bar title; else the menu it hangs from
    short x1 = 0, y1 = 0, x2 = 0, y2 = 0; // the title's rectangle
    std::vector<item_struct> items;
};

// With 1: the table becomes 1520 cleared slots; any other value does nothing.
void VOVARU_clear_menus(int make);
// Empties one slot (0..1519).
void VOVARU_clear_menu(int index);
// One press of a mouse button (by_key 0) or Return in a sub-window (1).
void VOVARU_handleclick(int by_key);
// Draws the menu bar and the open menu; once per frame, before the swap.
void standard_gui();

// The application's menu hook, defined by the installer.
void APP_handlemenu(int id);
