// Menu editing: titles, items and the rectangles the window layer draws and
// picks them by.
//
// Rectangles are 16-bit fields in window pixels, y up. Every computed
// coordinate goes through to_field, which truncates toward zero and then
// holds the value inside the field, so a long bar or a deep list never wraps
// around to the other side of the window.
#include "GenC/hl_menu_edit.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "GenC/hl_alert.h"
#include "GenC/hl_menu.h"
#include "GenH/hl_menu_font.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{
const char* const kSourceFile = "HLutils/GenC/hl_menu_edit";

constexpr float kMenuPad = 30; // a title or item is its text's width + this
// Korean text is drawn in charset 103, 15 pixels a byte; measuring it at 8
// a byte let titles overlap in the bar and items run out of their panel.
constexpr float kKoreanByteW = kMenuFontAdvance;
constexpr float kBarH = 18;        // titles fill the top 18 pixels of the drawable
constexpr float kFirstItemGap = 2; // between a title and its first item
constexpr float kItemH = 12, kKoreanItemH = 14, kSeparatorH = 2;

// Where the next title of the bar starts; menu 0 starts the bar afresh.
float g_bar_x = 0;

short to_field(float v)
{
    if (!(v > SHRT_MIN)) return SHRT_MIN; // NaN too
    if (v >= SHRT_MAX) return SHRT_MAX;
    return static_cast<short>(v);
}

[[noreturn]] void fault(const char* message, const std::string& what, int line)
{
    __VOVARU_alert(0, message, "", "", what, t_exit, kSourceFile, line);
    // The alert does not return for t_exit; this keeps a replaced one honest.
    abort();
}

// A menu index the table holds; the table has 1520 slots once start-up made it.
bool in_table(int index)
{
    return index >= 0 && index <= kMenuLastIndex && index < static_cast<int>(menu.size());
}

// Vertical place of item k, below the title or below item k - 1.
void place_vertically(menu_struct& m, size_t k)
{
    item_struct& it = m.items[k];
    float h = it.flag ? kKoreanItemH : kItemH;
    if (!it.text.empty() && it.text[0] == '-') h = kSeparatorH;
    if (k == 0 && m.parent == -1) {
        it.y2 = to_field(m.y1 - kFirstItemGap);
        it.y1 = to_field(m.y1 - h - kFirstItemGap);
    } else if (k == 0) {
        // A submenu's rectangle is the item it hangs from: its first item
        // takes that item's height.
        it.y1 = to_field(m.y1 - kFirstItemGap);
        it.y2 = to_field(m.y2 - kFirstItemGap);
    } else {
        const item_struct& above = m.items[k - 1];
        it.y2 = above.y1;
        it.y1 = to_field(above.y1 - h);
    }
}
} // namespace

float menu_dx(const std::string& text)
{
    if (mnw.lang == kMenuLangKorean) return kKoreanByteW * static_cast<float>(text.size());
    return OGL_text_width(text);
}

void VOVARU_create_menu(int index, int parent_code, std::string title)
{
    if (index < 0) return; // the caller's error; nothing outside the table
    if (!in_table(index)) fault("Menu index out of range in create_menu!", title, __LINE__);
    if (title.size() > static_cast<size_t>(kMenuTitleMax)) title.resize(kMenuTitleMax);

    const int parent = parent_code / kMenuItemsPerMenu;
    const int parent_item = parent_code % kMenuItemsPerMenu;
    if (parent_code != 0 && (parent_code < 0 || !in_table(parent) ||
                             parent_item >= static_cast<int>(menu[parent].items.size())))
        fault("Parent item out of range in create_menu!", title, __LINE__);

    menu_struct& m = menu[index];
    m.title = title;
    const float w = menu_dx(title) + kMenuPad;
    if (parent_code != 0) {
        const item_struct& from = menu[parent].items[parent_item];
        m.parent = parent;
        m.x1 = from.x1;
        m.y1 = from.y1;
        m.x2 = from.x2;
        m.y2 = from.y2;
        return;
    }
    m.parent = -1;
    if (index == 0) g_bar_x = 0;
    m.x1 = to_field(g_bar_x);
    g_bar_x += w;
    m.x2 = to_field(g_bar_x);
    m.y1 = to_field(mnw.res_y - kBarH);
    m.y2 = to_field(static_cast<float>(mnw.res_y));
    // The next title starts where "Plugins" starts; others end on whole pixels.
    if (title == "Plugins")
        g_bar_x -= w;
    else
        g_bar_x = m.x2;
}

void VOVARU_append_menu(int index, int item, int id, std::string text, int plain)
{
    if (index < 0 || item < 0) return;
    if (!in_table(index)) fault("Menu index out of range in append_menu!", text, __LINE__);
    if (item >= kMenuItemsPerMenu) fault("Item index out of range in append_menu!", text, __LINE__);
    if (text.size() > static_cast<size_t>(kMenuTextMax))
        fault("Menu name too long in append_menu!", text, __LINE__);

    menu_struct& m = menu[index];
    const size_t k = static_cast<size_t>(item);
    const size_t had = m.items.size();
    if (had <= k) {
        // Empty items fill the gap, laid out like plain items so that the
        // new one lands where it would below them.
        m.items.resize(k + 1);
        for (size_t i = had; i < k; ++i)
            place_vertically(m, i);
    }
    item_struct& it = m.items[k];
    it.text = text;
    it.id = id;
    it.flag = mnw.lang == kMenuLangKorean && plain == 0;
    place_vertically(m, k);

    float w = 0;
    for (size_t i = 0; i <= k; ++i)
        w = std::max(w, menu_dx(m.items[i].text) + kMenuPad);
    for (size_t i = 0; i <= k; ++i) {
        m.items[i].x1 = m.x1;
        m.items[i].x2 = to_field(m.x1 + w);
    }
}

void VOVARU_remove_menu_item(int index, int item)
{
    if (index < 0 || item < 0) return;
    if (!in_table(index)) fault("Menu index out of range in append_menu!", "", __LINE__);
    if (item >= kMenuItemsPerMenu) fault("Item index out of range in append_menu!", "", __LINE__);

    std::vector<item_struct>& items = menu[index].items;
    const size_t k = static_cast<size_t>(item);
    if (k >= items.size()) return; // nothing there to remove
    const int dy = items[k].y2 - items[k].y1;
    items.erase(items.begin() + static_cast<long>(k));
    for (size_t i = k; i < items.size(); ++i) {
        items[i].y1 = to_field(static_cast<float>(items[i].y1 + dy));
        items[i].y2 = to_field(static_cast<float>(items[i].y2 + dy));
    }
}

void VOVARU_clear_items(int index)
{
    if (!in_table(index)) return;
    menu[index].items.clear();
}

int accept_menu(int)
{
    return 1;
}

int accept_item(int)
{
    return 1;
}
