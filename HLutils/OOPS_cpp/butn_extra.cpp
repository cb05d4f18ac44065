// Tabs, the horizontal slider and the character field.
//
// Index of this file:
//   [SECTION] Tabs
//   [SECTION] Horizontal slider
//   [SECTION] Character field
#include "OOPS_cpp/butn_extra.h"

#include <cmath>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{
constexpr int kPointerUp = 13, kPointerDown = 14; // pointer-hint kinds
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Tabs
// ---------------------------------------------------------------------------
//
// BTN_tab returns 1 in the frame of a press on it. The hit box reaches 50
// left of the centre but only 40 right of it.

namespace
{
constexpr float kTabColumn = 88, kTabLeft = 53, kTabTop = 38, kTabRow = 32;
constexpr float kTabHitLeft = 50, kTabHitRight = 40, kTabHalfH = 13, kTabHalfW = 49;
constexpr float kTabAtlasX = 253, kTabAtlasY = 472, kTabAtlasYSelected = 499;
constexpr float kTabTextDx = 40, kTabTextDy = 4;
constexpr int kColTabSelected = 41, kColTab = 42;
} // namespace

void BTN_tab_centre(int column, int row, float* cx, float* cy)
{
    *cx = kTabColumn * static_cast<float>(column) + kTabLeft;
    *cy = mnw.win_h - kTabTop - kTabRow * static_cast<float>(row);
}

int BTN_tab(int column, int row, int* selected, int my_value, std::string label)
{
    float cx, cy;
    BTN_tab_centre(column, row, &cx, &cy);
    const int clicked = mnw.mouse_press && BTN_mouse_in({cx - kTabHitLeft, cy - kTabHalfH,
                                                         cx + kTabHitRight, cy + kTabHalfH});
    if (clicked) *selected = my_value;
    const bool on = *selected == my_value;
    BTN_util_element(cx, cy, kTabAtlasX, on ? kTabAtlasYSelected : kTabAtlasY, kTabHalfW, kTabHalfH,
                     kColrNoTint);
    OGL_string(on ? kColTabSelected : kColTab, cx - kTabTextDx, cy - kTabTextDy, label, kTextNoWrap,
               kCharsetProp, kTextLeft);
    return clicked;
}

// ---------------------------------------------------------------------------
// [SECTION] Horizontal slider
// ---------------------------------------------------------------------------
//
// BTN_horz_slider returns 1 in every frame in which it is editable, the
// mouse is held and lies within 20 of the bar; the value then follows the
// mouse. No grab is kept between frames.

namespace
{
constexpr float kNarrowest = 0.01f; // a range is spread to at least this
constexpr float kLabelGap = 8, kTipHalfH = 7, kCaptionRise = 10, kDragReach = 20;
constexpr float kFillRise = 4;
constexpr int kColCaption = 43, kNoFill = 12;
constexpr float kKnobRise = 2, kKnobHalfW = 10, kKnobHalfH = 11;
constexpr float kKnobAtlasX = 272, kKnobAtlasY = 278;

// v within lo .. hi; NaN gives lo.
float clampf(float v, float lo, float hi)
{
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}
} // namespace

float BTN_slider_fill_width(float f)
{
    return 2 * std::trunc(std::trunc(f) / 2 + 0.5f);
}

int BTN_horz_slider(float x, float y, float width, int colour, float min, float max, float* value,
                    int editable, std::string label, std::string caption)
{
    // A bar without width has no place to draw or drag in.
    if (!(width > 0)) return 0;
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);

    float lo = min, hi = max;
    if (lo < hi && hi - lo < kNarrowest)
        hi = lo + kNarrowest;
    else if (!(hi > lo) && hi + kNarrowest > lo)
        lo = hi + kNarrowest;
    const float low = lo < hi ? lo : hi, high = lo < hi ? hi : lo;
    // Ends too large to spread leave no span: nothing is filled or dragged.
    const bool span = high > low;

    BTN_frame1(kBarSliderTrack, x + width / 2, y, width, kColrNoTint);
    BTN_util_draw_label(x - kLabelGap, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + width + kLabelGap, y, kAlignStart, right, 0);
    if (BTN_mouse_in({x, y - kTipHalfH, x + width, y + kTipHalfH})) stls[kStlsTooltip] = help;
    OGL_string(kColCaption, x + width / 2, y + kCaptionRise, caption, kTextNoWrap, kCharsetProp,
               kTextCentre);

    const float f = span ? clampf((*value - lo) * width / (hi - lo), 0, width) : 0;

    int result = 0;
    if (editable && mnw.mouse_held &&
        BTN_mouse_in({x - kDragReach, y - kDragReach, x + width + kDragReach, y + kDragReach})) {
        if (span) *value = clampf(low + (mnw.mouse_x - x) * (high - low) / width, low, high);
        result = 1;
    }

    if (colour != kNoFill && f > 0) {
        const float w = BTN_slider_fill_width(f);
        BTN_frame1(kBarSliderFill, x + w / 2, y + kFillRise, w, colour);
    }
    if (editable) {
        const float kx = span ? clampf(x + (*value - low) * width / (high - low), x, x + width) : x;
        BTN_util_element(kx, y + kKnobRise, kKnobAtlasX, kKnobAtlasY, kKnobHalfW, kKnobHalfH,
                         kColrNoTint);
    }
    return result;
}

// ---------------------------------------------------------------------------
// [SECTION] Character field
// ---------------------------------------------------------------------------
//
// Like the number field, with symbols for digits: the hot position is one
// value for all character fields and the queues are shared. The hot position
// is brought within this field's length before every use: another, longer
// field may have left it beyond, and keys queued while this field had the
// focus are still taken after the focus has gone.

namespace
{
constexpr char kAlphabet[kCharsAlphabet + 1] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
constexpr int kMaskCharField = 0x1F0; // navigation and printable characters
constexpr float kCell = 10;
constexpr float kHitBelow = 2, kHitAbove = 8, kArrowsBelow = 18, kArrowsAbove = 24;
constexpr float kArrowSplit = 3; // above y + 3 is the up arrow
constexpr float kArrowDx = 6, kArrowHalfW = 7, kArrowHalfH = 9;
constexpr float kArrowDownDy = -10, kArrowUpDy = 18;
constexpr float kArrowAtlasX = 90, kArrowDownAtlasY = 187, kArrowUpAtlasY = 206;
constexpr float kLabelEnd = 6;
constexpr int kColHot = 8, kColChars = 45;

// What the character fields keep between frames, shared by all of them.
struct char_field_state {
    int hot = 0;           // the position the keys act on in the focused field
    focus_queue_t queue{}; // the keys queued for character fields
};
char_field_state char_fields;

int hot_in(int length)
{
    int& hot = char_fields.hot;
    if (hot < 0) hot = 0;
    if (hot >= length) hot = length - 1;
    return hot;
}

bool storable(int c)
{
    return c == ' ' || c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
}

// One queued press.
void act(const focus_key_t& k, char* text, int length)
{
    const int hot = hot_in(length);
    switch (k.vkey) {
    case ZYNT_VK_LEFT:
        char_fields.hot = hot == 0 ? length - 1 : hot - 1;
        return;
    case ZYNT_VK_RIGHT:
        char_fields.hot = hot + 1 >= length ? 0 : hot + 1;
        return;
    case ZYNT_VK_DOWN:
        text[hot] = BTN_chars_step(text[hot], 1);
        return;
    case ZYNT_VK_UP:
        text[hot] = BTN_chars_step(text[hot], -1);
        return;
    }
    if (!storable(k.character)) return;
    text[hot] = static_cast<char>(k.character >= 'a' && k.character <= 'z' ? k.character - 32
                                                                           : k.character);
    char_fields.hot = hot + 1 >= length ? 0 : hot + 1;
}
} // namespace

int BTN_chars_index(char c)
{
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    for (int i = 0; i < kCharsAlphabet; ++i)
        if (kAlphabet[i] == c && c) return i;
    return 1;
}

char BTN_chars_step(char c, int steps)
{
    const int i = ((BTN_chars_index(c) + steps) % kCharsAlphabet + kCharsAlphabet) % kCharsAlphabet;
    return kAlphabet[i];
}

void BTN_chars(float x, float y, char* text, int length, std::string label)
{
    if (length <= 0) return;
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    const float d = static_cast<float>(length);
    const int key = BTN_field_key(x, y);

    const bool on_chars =
        mnw.mouse_press && BTN_mouse_in({x, y - kHitBelow, x + kCell * d, y + kHitAbove});
    if (on_chars) char_fields.hot = static_cast<int>((mnw.mouse_x - x) * 0.1f);
    const int focused = BTN_register_focus(key, char_fields.queue, kMaskCharField, on_chars);

    focus_key_t keys_in[kFocusQueueCap];
    const int n = BTN_consume_keys(char_fields.queue, key, keys_in);
    for (int i = 0; i < n; ++i)
        act(keys_in[i], text, length);

    BTN_frame1(kBarField, x + 1 + 5 * d, y + 3, kCell * d + 11, kColrNoTint);
    for (int k = 0; k < length; ++k) {
        const float ax = x + kCell * static_cast<float>(k) + kArrowDx;
        BTN_util_element(ax, y + kArrowDownDy, kArrowAtlasX, kArrowDownAtlasY, kArrowHalfW,
                         kArrowHalfH, kColrNoTint);
        BTN_util_element(ax, y + kArrowUpDy, kArrowAtlasX, kArrowUpAtlasY, kArrowHalfW, kArrowHalfH,
                         kColrNoTint);
    }
    BTN_util_draw_label(x - kLabelEnd, y, kAlignEnd, left, 0);
    if (focused)
        OGL_fillrect(kColHot, 1, x + 2 + kCell * static_cast<float>(hot_in(length)), y - 2, 9, 11);
    for (int k = 0; k < length; ++k)
        OGL_string(kColChars, x + kCell * static_cast<float>(k) + 2, y, std::string(1, text[k]),
                   kTextNoWrap, kCharsetProp, kTextLeft);

    // The arrows of every column that holds the mouse (a column edge holds
    // two).
    for (int k = 0; k < length; ++k) {
        const float cx = x + kCell * static_cast<float>(k);
        if (BTN_mouse_in({cx, y - kHitBelow, cx + kCell, y + kHitAbove})) stls[kStlsTooltip] = help;
        if (on_chars || !mnw.mouse_press ||
            !BTN_mouse_in({cx, y - kArrowsBelow, cx + kCell, y + kArrowsAbove}))
            continue;
        const bool up = mnw.mouse_y > y + kArrowSplit;
        mnw.cursor_kind = up ? kPointerUp : kPointerDown;
        text[k] = BTN_chars_step(text[k], up ? -1 : 1);
    }
}
