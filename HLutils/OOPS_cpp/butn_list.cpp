// The scrolling list with type-ahead, its vertical scroll bar, and the
// ready-made callbacks over vectors.
//
// Index of this file:
//   [SECTION] Callbacks over vectors
//   [SECTION] Scroll bar
//   [SECTION] Scrolling list
//
// What each returns 1 for:
//   BTN_list_and_search  the frame of the second press of a double click on
//                        the row the first press selected
//   BTN_vert_slider      every frame while its thumb is held
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "GenH/hl_menu_table.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "UTL/UTL_time.h"

namespace
{
constexpr int kSliderSlots = 4;

// What the scroll bars and the lists keep between frames.
struct list_state {
    int thumb_held[kSliderSlots] = {}; // per slider slot: its thumb is being dragged
    std::string typed;                 // the type-ahead prefix
    float typed_at = -1;               // when its last character came (real_secs)
    int typed_list = 0;                // the list the prefix was typed into
    focus_queue_t queue{};             // the keys queued for lists
    // The list and row of the last press on a list row, for double clicks.
    int pressed_list = 0, pressed_row = 0;
};
list_state lists;
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Callbacks over vectors
// ---------------------------------------------------------------------------
//
// The list asks only for indices within first .. last; the caller keeps last
// below the size of the vectors it passes.

std::string BTN_name_from_vector(int index, void* data)
{
    return (*static_cast<std::vector<std::string>*>(data))[size_t(index)];
}

int BTN_type_from_vector(int index, void* data)
{
    return (*static_cast<std::vector<int>*>(data))[size_t(index)];
}

// ---------------------------------------------------------------------------
// [SECTION] Scroll bar
// ---------------------------------------------------------------------------
//
// min is at the top. The thumb is dragged while the button is held over it;
// a press (or, after a quarter second, every 0.2 s of holding) on an arrow
// steps by one, on the track by ten toward the pointer.

namespace
{
constexpr float kThumbTop = 10, kThumbBottom = 9; // thumb travel inside the track
constexpr float kGrabHalf = 11;                   // grab box and column half sizes
constexpr float kArrowReach = 20;
constexpr int kStepArrow = 1, kStepPage = 10;
constexpr int kFlag02s = 5; // the 0.2-second real-time flag of the clock
constexpr int kColGrabbed = 47;
constexpr float kSpriteHalfW = 9, kArrowHalfH = 11, kThumbHalfH = 12;
constexpr float kSpriteAtlasX = 92;
constexpr float kUpAtlasY = 277, kThumbAtlasY = 252, kDownAtlasY = 227;
constexpr float kUpRise = 8, kDownDrop = 10;
} // namespace

float BTN_slider_thumb_y(float y_bottom, float y_top, int min, int max, int value)
{
    const float lo = y_bottom + kThumbBottom, hi = y_top - kThumbTop;
    const float t = hi + float(value - min) * (lo - hi) / float(max - min);
    return std::clamp(t, lo, hi);
}

int BTN_slider_drag_value(float y_bottom, float y_top, int min, int max, float mouse_y)
{
    const float top = y_top - kGrabHalf, bottom = y_bottom + kGrabHalf;
    const float v = min + float(max - min) * (mouse_y - top) / (bottom - top);
    return int(std::clamp(v, float(min), float(max)));
}

int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int min, int max, int* value)
{
    // Checked before anything is drawn; below 0 as well, since a slot
    // indexes the grab flags.
    if (max > min && (slot < 0 || slot >= kSliderSlots)) {
        __VOVARU_alert(0, "Too many sliders!", "", "", "", t_exit, __FILE__, __LINE__);
        std::abort(); // the fatal alert does not return
    }
    BTN_frame0(kBarVertical, x, (y_top + y_bottom) / 2, y_top - y_bottom);
    if (max <= min) return 0;
    const float t = BTN_slider_thumb_y(y_bottom, y_top, min, max, *value);
    int& grabbed = lists.thumb_held[slot];

    const bool free_mouse = mnw.menu_open == kNoMenu;
    const float mx = mnw.mouse_x, my = mnw.mouse_y;
    const bool in_column = std::fabs(mx - x) <= kGrabHalf;
    if (mnw.mouse_held) {
        if (free_mouse && in_column && std::fabs(my - t) <= kGrabHalf) grabbed = 1;
        if (grabbed) *value = BTN_slider_drag_value(y_bottom, y_top, min, max, my);
    } else {
        grabbed = 0;
    }

    const bool repeat = mnw.mouse_held_long && xtim.real_flags[kFlag02s];
    if (!grabbed && free_mouse && in_column && (mnw.mouse_press || repeat)) {
        if (my >= y_top && my <= y_top + kArrowReach)
            *value -= kStepArrow;
        else if (my >= y_bottom - kArrowReach && my <= y_bottom)
            *value += kStepArrow;
        else if (my >= y_bottom && my <= y_top)
            *value += my >= t ? -kStepPage : kStepPage;
    }
    *value = std::clamp(*value, min, max);

    const int col = grabbed ? kColGrabbed : kColrNoTint;
    const float shown_t = BTN_slider_thumb_y(y_bottom, y_top, min, max, *value);
    BTN_util_element(x, y_top + kUpRise, kSpriteAtlasX, kUpAtlasY, kSpriteHalfW, kArrowHalfH, col);
    BTN_util_element(x, shown_t, kSpriteAtlasX, kThumbAtlasY, kSpriteHalfW, kThumbHalfH, col);
    BTN_util_element(x, y_bottom - kDownDrop, kSpriteAtlasX, kDownAtlasY, kSpriteHalfW, kArrowHalfH,
                     col);
    return grabbed;
}

// ---------------------------------------------------------------------------
// [SECTION] Scrolling list
// ---------------------------------------------------------------------------

namespace
{
constexpr float kDefaultWidth = 290, kDefaultHeight = 220;
constexpr int kDefaultRows = 10;
constexpr float kRowStep = 10, kRowsPerUnit = 0.05f;
constexpr float kTextDx = 20, kSecondDx = 242, kTextDrop = 3;
constexpr float kIconDx = 10, kIconHalf = 6, kIconAtlasY = 88;
constexpr float kShadeDx = 18, kShadeBelow = 5, kShadePad = 22;
constexpr float kSliderGap = 16;
constexpr int kColRowText = 45, kColShade = 12, kColFocusFrame = 45;
constexpr float kShadeAlpha = 0.25f;
constexpr float kTypeAheadSecs = 1;
// The name field below the list.
constexpr float kNameDx = 35, kNameDy = 131, kNameWidth = 252;
constexpr int kNameMaxLen = 36;

// Left atlas x of each kind's 12 x 12 icon; other kinds have none.
struct kind_icon {
    int kind;
    float atlas_x;
};
constexpr kind_icon kKindIcons[] = {
    {1, 34},   // folder
    {3, 48},   // aircraft
    {4, 62},   // wing section
    {5, 90},   // missile
    {7, 146},  // tall block
    {9, 104},  // disc
    {10, 118}, // film reel
    {11, 132}, // screen
};

float icon_atlas_x(int kind)
{
    for (const kind_icon& k : kKindIcons)
        if (k.kind == kind) return k.atlas_x;
    return 0;
}

// Brings the selection into the visible rows, as Up and Down do.
void scroll_to_selection(int sel, int rows, int* centre)
{
    if (sel > *centre + rows) *centre = sel - rows;
    if (sel < *centre - rows) *centre = sel + rows;
}

bool starts_with_nocase(const std::string& name, const std::string& prefix)
{
    if (name.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

void list_key(const focus_key_t& k, int rows, int* centre, int* selection, int first, int last,
              btn_name_fn name_cb, void* name_data)
{
    if (k.vkey == ZYNT_VK_DOWN) {
        *selection += 1;
        scroll_to_selection(*selection, rows, centre);
        return;
    }
    if (k.vkey == ZYNT_VK_UP) {
        *selection -= 1;
        scroll_to_selection(*selection, rows, centre);
        return;
    }
    if (k.character < 0x20 || k.character > 0x7E) return;
    list_state& l = lists;
    const float now = xtim.real_secs;
    if (now - l.typed_at > kTypeAheadSecs) l.typed.clear();
    l.typed_at = now;
    l.typed += char(k.character);
    if (!name_cb) return;
    for (int i = first; i <= last; ++i)
        if (starts_with_nocase(name_cb(i, name_data), l.typed)) {
            *selection = i;
            scroll_to_selection(i, rows, centre);
            return;
        }
}
} // namespace

int BTN_list_rows(float height)
{
    if (height <= 0) return kDefaultRows;
    return std::max(0, int(height * kRowsPerUnit) - 1);
}

int BTN_list_and_search(int slot, float x, float y, float width, float height, int* centre,
                        int* selection, int first, int last, std::string* name,
                        const std::string& name_label, btn_name_fn name_cb, void* name_data,
                        btn_name_fn text_cb, void* text_data, btn_kind_fn kind_cb, void* kind_data)
{
    x = float(OGL_round_half_away(x));
    y = float(OGL_round_half_away(y));
    if (width <= 0) width = kDefaultWidth;
    const int rows = BTN_list_rows(height);
    if (height <= 0) height = kDefaultHeight;
    const btn_box box{x, y - height / 2, x + width, y + height / 2};
    const bool in_box = BTN_mouse_in(box);

    list_state& l = lists;
    const int key = BTN_field_key(x, y);
    const int focused =
        BTN_register_focus(key, l.queue, kMaskListSearch, mnw.mouse_press && in_box);
    if (focused && key != l.typed_list) {
        l.typed.clear();
        l.typed_list = key;
    }
    focus_key_t keys_in[kFocusQueueCap];
    const int n = BTN_consume_keys(l.queue, key, keys_in);
    for (int i = 0; i < n; ++i)
        list_key(keys_in[i], rows, centre, selection, first, last, name_cb, name_data);

    if (name)
        BTN_enterstring(x + kNameDx, y - kNameDy, name, kNameMaxLen, name_label, kNameWidth, 1);
    if (last < first) return 0;

    BTN_frame2(kPanelList, x, y - height / 2, width, height, "");
    if (first < last)
        BTN_vert_slider(slot, x + width + kSliderGap, y - height / 2, y + height / 2, first, last,
                        centre);
    if (in_box) {
        *centre -= mnw.wheel;
        mnw.wheel = 0;
    }
    *centre = std::clamp(*centre, first, last);

    // A double click is two presses on one row: a second press on another
    // row only selects it.
    int result = 0;
    if (mnw.mouse_press) {
        if (in_box) {
            *selection = *centre - OGL_round_half_away((mnw.mouse_y - y) * 0.1f);
            const int row = std::clamp(*selection, first, last);
            result = mnw.mouse_dbl && l.pressed_list == key && l.pressed_row == row;
            l.pressed_list = key;
            l.pressed_row = row;
        } else if (l.pressed_list == key) {
            l.pressed_list = 0;
        }
    }
    *selection = std::clamp(*selection, first, last);

    for (int i = -rows; i <= rows; ++i) {
        const int item = *centre + i;
        if (item < first || item > last) continue;
        const float yi = y - kRowStep * i;
        OGL_string(kColRowText, x + kTextDx, yi - kTextDrop,
                   name_cb ? name_cb(item, name_data) : "", kTextNoWrap, kCharsetProp, kTextLeft);
        if (text_cb)
            OGL_string(kColRowText, x + kSecondDx, yi - kTextDrop, text_cb(item, text_data),
                       kTextNoWrap, kCharsetProp, kTextLeft);
        if (kind_cb) {
            const float ax = icon_atlas_x(kind_cb(item, kind_data));
            if (ax > 0)
                BTN_util_element(x + kIconDx, yi, ax + kIconHalf, kIconAtlasY, kIconHalf, kIconHalf,
                                 0);
        }
        if (item == *selection)
            OGL_fillrect(kColShade, kShadeAlpha, x + kShadeDx, yi - kShadeBelow, width - kShadePad,
                         kRowStep);
    }
    if (focused) OGL_framerect(kColFocusFrame, 1, x, y - height / 2, width, height);
    return result;
}
