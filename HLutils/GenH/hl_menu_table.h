// The menu table's record: menu-bar menus with cascading sub-menus, and the
// pop-up list slot that the pop-up choice widget fills while its list is
// open. The shell's window module (GenC/hl_menu.h) handles and draws it.
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
