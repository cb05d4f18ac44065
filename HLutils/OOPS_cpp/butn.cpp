// Labels, push buttons, check boxes, radio buttons and the pop-up choice.
// Each widget first decides from this frame's input (its box, the mouse,
// the click) and then draws.
//
// Index of this file:
//   [SECTION] Labels
//   [SECTION] Buttons and check boxes
//   [SECTION] Pop-up choice
#include "OOPS_cpp/butn.h"

#include <cstdlib>

#include "GenH/hl_menu_table.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{
constexpr int kColLabel = 43, kColLabelHot = 80, kColSideText = 45;
constexpr int kColChoice = 45; // the text fields' dark ink: the pop-up button is light
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Labels
// ---------------------------------------------------------------------------

namespace
{
constexpr size_t kWrapAbove = 12; // labels longer than this may take two lines
constexpr float kWrapRise = 5, kWrapLineStep = 10;
} // namespace

void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help)
{
    const long len = static_cast<long>(label.size());
    long b = -1, a = -1;
    for (long i = 0; i < len; ++i) {
        if (label[i] == '|') b = i;
        if (label[i] == '{') a = i;
    }
    if (a == -1) {
        a = len;
        if (b == -1) b = len;
    } else if (b == -1) {
        b = a;
    }
    *left = label.substr(0, b);
    *right = b + 1 < a ? label.substr(b + 1, a - b - 1) : std::string();
    *help = a + 2 < len ? label.substr(a + 2) : std::string();
}

int BTN_label_lines(const std::string& text, int align, std::string* first, std::string* second)
{
    first->clear();
    second->clear();
    if (text.empty()) return 0;
    const bool dash = text[0] == '-';
    *first = dash ? text.substr(1) : text;
    const size_t len = text.size();
    if (align == kAlignCentre || dash || len <= kWrapAbove) return 1;

    // The separator nearest the middle; the earlier one on a tie.
    const long mid = static_cast<long>(len / 2);
    long k = -1;
    for (size_t i = 1; i < len; ++i) {
        const char c = text[i];
        if (c != ' ' && c != '-' && c != '/') continue;
        if (k < 0 || std::labs(static_cast<long>(i) - mid) < std::labs(k - mid))
            k = static_cast<long>(i);
    }
    if (k <= 0 || k >= static_cast<long>(len) - 1) return 1;
    *first = text.substr(0, k);
    *second = text.substr(k + 1);
    return 2;
}

void BTN_util_draw_label(float x, float y, int align, const std::string& text, int hot)
{
    int mode;
    if (align == kAlignEnd)
        mode = kTextRight;
    else if (align == kAlignCentre)
        mode = kTextCentre;
    else if (align == kAlignStart)
        mode = kTextLeft;
    else
        return;
    std::string first, second;
    const int lines = BTN_label_lines(text, align, &first, &second);
    if (lines == 0) return;
    if (lines == 2) y += kWrapRise;
    const int colour = hot ? kColLabelHot : kColLabel;
    OGL_string(colour, x, y, first, kTextNoWrap, kCharsetProp, mode);
    if (lines == 2)
        OGL_string(colour, x, y - kWrapLineStep, second, kTextNoWrap, kCharsetProp, mode);
}

// ---------------------------------------------------------------------------
// [SECTION] Buttons and check boxes
// ---------------------------------------------------------------------------
//
// What each returns 1 for (no menu open, the mouse in the box):
//   BTN_action   the frame of the press
//   BTN_bool     the frame of the press; *value toggled in that frame
//   BTN_is_int   as BTN_bool; *value = my_value when the box ends checked

namespace
{
constexpr float kButtonPad = 21, kButtonHalfH = 10, kLabelDrop = 3;
constexpr float kSideGap = 10, kSideRise = 7, kSideWrap = 500;

// Check boxes: an 18 x 18 sprite over y - 6 .. y + 12, its label 12 away.
constexpr float kBoxHalf = 9, kBoxRise = 3, kBoxLabelGap = 12;
constexpr float kBoxAtlasX[2] = {148, 92};       // style 0 square, else round
constexpr float kBoxAtlasY[2][2] = {{187, 206},  // square: empty, ticked
                                    {132, 151}}; // round: empty, chosen
constexpr float kBoxHitHalfW = 8, kBoxHitBelow = 4, kBoxHitAbove = 12;
} // namespace

int BTN_mouse_in(const btn_box& b)
{
    return mnw.menu_open == kNoMenu && b.x0 <= mnw.mouse_x && mnw.mouse_x <= b.x1 &&
           b.y0 <= mnw.mouse_y && mnw.mouse_y <= b.y1;
}

float BTN_action_width(float width, const std::string& label)
{
    return width > 0 ? width : OGL_text_width(label) + kButtonPad;
}

btn_box BTN_action_box(float x, float y, float width)
{
    return {x - width / 2, y - kButtonHalfH, x + width / 2, y + kButtonHalfH};
}

btn_box BTN_bool_box(float x, float y)
{
    return {x - kBoxHitHalfW, y - kBoxHitBelow, x + kBoxHitHalfW, y + kBoxHitAbove};
}

int BTN_action(float x, float y, float width, int down, int style, std::string label,
               std::string side_text)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    width = BTN_action_width(width, label);
    const int clicked = mnw.mouse_press && BTN_mouse_in(BTN_action_box(x, y, width));

    BTN_frame1(kBarButton, x, y, width, kColrNoTint);
    if (down) BTN_frame1(kBarButtonDown, x, y, width, kColrNoTint);
    BTN_util_draw_label(x, y - kLabelDrop, kAlignCentre, left, style == 2 && down);
    if (side_text != "-")
        OGL_string(kColSideText, x + width / 2 + kSideGap, y + kSideRise, side_text, kSideWrap,
                   kCharsetProp, kTextLeft);

    // Shown at once, so the pressed look is seen even when the caller now
    // opens a modal window.
    if (clicked && !down && style != 0) {
        BTN_frame1(kBarButtonDown, x, y, width, kColrNoTint);
        BTN_util_draw_label(x, y - kLabelDrop, kAlignCentre, label, 0);
        OGL_sbuff();
    }
    return clicked;
}

int BTN_bool(float x, float y, int* value, std::string label, int style)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    const int look = style == 0 ? 0 : 1;
    const float cy = y + kBoxRise;
    BTN_util_element(x, cy, kBoxAtlasX[look], kBoxAtlasY[look][0], kBoxHalf, kBoxHalf, kColrNoTint);
    if (*value)
        BTN_util_element(x, cy, kBoxAtlasX[look], kBoxAtlasY[look][1], kBoxHalf, kBoxHalf,
                         kColrNoTint);
    BTN_util_draw_label(x - kBoxLabelGap, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + kBoxLabelGap, y, kAlignStart, right, 0);

    if (!BTN_mouse_in(BTN_bool_box(x, y))) return 0;
    stls[kStlsTooltip] = help;
    if (!mnw.mouse_press) return 0;
    *value = *value ? 0 : 1;
    return 1;
}

int BTN_is_int(float x, float y, int* value, int my_value, std::string label)
{
    int flag = *value == my_value;
    const int r = BTN_bool(x, y, &flag, label, 1);
    if (flag) *value = my_value;
    return r;
}

// ---------------------------------------------------------------------------
// [SECTION] Pop-up choice
// ---------------------------------------------------------------------------
//
// The pop-up is open while active_popup_code holds this widget's id; the
// widget then fills menu slot 1519 and opens it in every frame it is drawn.
// The shell hands a pick back through select_popup_code and
// popup_menu_select; the widget takes it, and returns 1, the next time it is
// drawn. Only a pick clears active_popup_code.

namespace
{
constexpr float kRowStep = 12, kItemBelow = 3, kItemAbove = 9;
constexpr float kPopupBarDx = 10, kPopupBarDy = 5, kPopupBarPad = 28;
constexpr float kBoxLeft = 5, kBoxRight = 25, kBoxBelow = 2, kBoxAbove = 8;
constexpr float kSlotPadLeft = 2, kSlotPadRight = 4;
constexpr float kScreenStart = 384;  // where the on-screen test starts
constexpr int kLineBadChoices = 259; // the source line its alert has always named
} // namespace

std::string BTN_popup_safe_item(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c == '-' || c == '|') c = ' ';
    return out;
}

int BTN_split_choices(const std::string& choices, std::vector<std::string>* items)
{
    items->assign(1, std::string());
    for (char c : choices) {
        if (c == '|') return 1;
        if (c != '-') {
            items->back() += c;
            continue;
        }
        if (static_cast<int>(items->size()) == kBTNMaxPopupItems) return 2;
        items->emplace_back();
    }
    return 0;
}

int BTN_popup_id(float x, float y)
{
    return static_cast<int>(y * 1024 + x);
}

int BTN_textlist(float x, float y, int* selection, std::string choices, std::string label)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    std::vector<std::string> items;
    const int bad = BTN_split_choices(choices, &items);
    if (bad) {
        // Programming errors: callers pass user texts through
        // BTN_popup_safe_item and cap them at kBTNMaxPopupItems.
        __VOVARU_alert(0, bad == 1 ? "Found | char in text string!" : "BTN_text_list overflow!",
                       choices, "", label, t_exit, __FILE__, kLineBadChoices);
        std::abort(); // the fatal alert does not return
    }
    const int n = static_cast<int>(items.size()) - 1;
    if (*selection < 0) *selection = 0;
    if (*selection > n) *selection = n;

    float wmax = 0;
    for (const std::string& it : items)
        if (OGL_text_width(it) > wmax) wmax = OGL_text_width(it);

    BTN_frame1(kBarPopup, x + kPopupBarDx, y + kPopupBarDy, wmax + kPopupBarPad, kColrNoTint);
    BTN_util_draw_label(x - wmax / 2 - kBoxLeft, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + wmax / 2 + kBoxRight, y, kAlignStart, right, 0);

    const float bx0 = x - wmax / 2 - kBoxLeft, bx1 = x + wmax / 2 + kBoxRight;
    const bool over = bx0 <= mnw.mouse_x && mnw.mouse_x <= bx1 && y - kBoxBelow <= mnw.mouse_y &&
                      mnw.mouse_y <= y + kBoxAbove;
    const int id = BTN_popup_id(x, y);
    // The open-menu state is not consulted: the press that closed another
    // menu may open this one.
    if (over && mnw.mouse_press && active_popup_code != id) active_popup_code = id;

    int result = 0;
    if (select_popup_code == id) {
        *selection = popup_menu_select;
        if (*selection < 0) *selection = 0;
        if (*selection > n) *selection = n;
        select_popup_code = 0;
        result = 1;
    }

    if (active_popup_code != id) {
        OGL_string(kColChoice, x, y, items[*selection], kTextNoWrap, kCharsetProp, kTextCentre);
        if (over) stls[kStlsTooltip] = help;
        return result;
    }

    // Open: item 0 at the top, the current item over the button.
    mnw.menu_open = kPopupSlot;
    menu_struct& m = menu[kPopupSlot];
    const int sel = *selection;
    m.parent = -1;
    m.x1 = static_cast<short>(static_cast<int>(x - wmax / 2) - kSlotPadLeft);
    m.x2 = static_cast<short>(static_cast<int>(x + wmax / 2) + kSlotPadRight);
    m.y1 = static_cast<short>(y - kRowStep * (n - sel));
    m.y2 = static_cast<short>(m.y1 + kRowStep + kRowStep * n);
    m.items.resize(static_cast<size_t>(n) + 1);
    float low = kScreenStart, high = kScreenStart;
    for (int i = 0; i <= n; ++i) {
        item_struct& it = m.items[static_cast<size_t>(i)];
        it.text = items[static_cast<size_t>(i)];
        it.flag = 0;
        it.x1 = m.x1;
        it.x2 = m.x2;
        it.y1 = static_cast<short>(y - kRowStep * (i - sel) - kItemBelow);
        it.y2 = static_cast<short>(y + kItemAbove - kRowStep * (i - sel));
        if (it.y1 < low) low = it.y1;
        if (it.y2 > high) high = it.y2;
    }
    // Slides one item per frame until the list fits the drawable. Items are
    // in window units; the drawable starts win_y below the window.
    if (low + mnw.win_y < 0) *selection += 1;
    if (high + mnw.win_y > mnw.res_y) *selection -= 1;
    return result;
}
