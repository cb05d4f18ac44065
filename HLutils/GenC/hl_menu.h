// Menu slots. Slot 1519 is the widget library's pop-up list.
#pragma once

#include <string>
#include <vector>

struct item_struct {
    std::string text;
};

struct menu_struct {
    std::vector<item_struct> items;
};
