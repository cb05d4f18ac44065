// Number fields: a row of digits edited digit by digit, with the mouse on
// the arrows above and below each digit or with the keys of the focused
// field.
//
// Values are worked on in double and rounded with llround: a float copy
// cannot hold every int (2147483647 becomes 2147483648), and rounding
// through int overflows for values beyond its range. Digits are read on the
// rounded whole number llround(|v| * 10^decimals), the number OGL_number
// shows, so typing the digit already shown never changes the value.
//
// Index of this file:
//   [SECTION] Digits and places
//   [SECTION] Keys, clicks and settling
//   [SECTION] The field
#include <algorithm>
#include <climits>
#include <cmath>

#include "GenH/hl_menu_table.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/tman.h"

// ---------------------------------------------------------------------------
// [SECTION] Digits and places
// ---------------------------------------------------------------------------

namespace
{
constexpr float kDigitW = 10;                 // one digit cell
constexpr float kBoxBelow = 2, kBoxAbove = 8; // the digits, around the base
constexpr float kArrowsBelow = 18, kArrowsAbove = 24;
constexpr float kUpperFrom = 3;                 // above y + 3 is the upper half
constexpr float kClickInset = 2;                // the first digit starts 2 in
constexpr int kClickableDigits = 10;            // only these answer arrow clicks
constexpr int kCursorUp = 13, kCursorDown = 14; // pointer looks over the arrows

// Whole numbers below this are exact in a long long with room for a digit
// step of the largest place; above it the double is already whole.
constexpr double kExactBelow = 1e17;
constexpr int kExactPlaces = 17;
constexpr double kWholeFrom = 4503599627370496.0; // 2^52: no fraction left

long long pow10_ll(int j)
{
    long long p = 1;
    while (j-- > 0)
        p *= 10;
    return p;
}

int last_digit(int digits)
{
    return digits > 1 ? digits - 1 : 0;
}
} // namespace

btn_box BTN_number_box(float x, float y, int digits)
{
    return {x, y - kBoxBelow, x + kDigitW * digits, y + kBoxAbove};
}

btn_box BTN_number_arrows_box(float x, float y, int digits)
{
    return {x, y - kArrowsBelow, x + kDigitW * digits, y + kArrowsAbove};
}

int BTN_number_click_digit(float x, int digits, float mouse_x)
{
    return static_cast<int>((mouse_x - x - kClickInset) * 0.1f);
}

double BTN_number_place(int digits, int decimals, int k)
{
    return std::pow(10.0, digits - decimals - 1 - k);
}

int BTN_number_digit(double value, int digits, int decimals, int k)
{
    const int j = digits - 1 - k; // the place in units of the last decimal
    if (k < 0 || j < 0 || !std::isfinite(value)) return 0;
    const double a = std::fabs(value) * std::pow(10.0, decimals);
    if (a < kExactBelow) {
        if (j > kExactPlaces) return 0;
        return static_cast<int>((std::llround(a) / pow10_ll(j)) % 10);
    }
    return static_cast<int>(std::fmod(std::floor(a / std::pow(10.0, j)), 10.0));
}

double BTN_number_with_digit(double value, int digits, int decimals, int k, int digit)
{
    const int j = digits - 1 - k;
    if (k < 0 || j < 0 || digit < 0 || digit > 9 || !std::isfinite(value)) return value;
    const double scale = std::pow(10.0, decimals);
    const double a = std::fabs(value) * scale;
    const double sign = std::signbit(value) ? -1.0 : 1.0;
    const int old = BTN_number_digit(value, digits, decimals, k);
    if (a < kExactBelow && j <= kExactPlaces) {
        const long long n = std::llround(a) + (digit - old) * pow10_ll(j);
        return sign * static_cast<double>(n) / scale;
    }
    return sign * (a + (digit - old) * std::pow(10.0, j)) / scale;
}

// ---------------------------------------------------------------------------
// [SECTION] Keys, clicks and settling
// ---------------------------------------------------------------------------
//
// What counts as a change (the field's result): Up, Down, a digit, an
// accepted '+' or '-', a click that stepped a digit. Left and Right do not.

int BTN_number_key(int character, int vkey, double* value, int* hot_digit, int digits, int decimals,
                   double min, double max)
{
    const int last = last_digit(digits);
    int& hot = *hot_digit;
    hot = std::clamp(hot, 0, last);
    switch (vkey) {
    case ZYNT_VK_LEFT:
        hot = hot == 0 ? last : hot - 1;
        return 0;
    case ZYNT_VK_RIGHT:
        hot = hot == last ? 0 : hot + 1;
        return 0;
    case ZYNT_VK_UP:
        *value += BTN_number_place(digits, decimals, hot);
        return 1;
    case ZYNT_VK_DOWN:
        *value -= BTN_number_place(digits, decimals, hot);
        return 1;
    default:
        break;
    }
    if (character >= '0' && character <= '9') {
        *value = BTN_number_with_digit(*value, digits, decimals, hot, character - '0');
        hot = hot == last ? 0 : hot + 1;
        return 1;
    }
    if (character == '+' && min < 0) {
        *value = std::fabs(*value);
        return 1;
    }
    if (character == '-' && max >= 0) {
        *value = -std::fabs(*value);
        return 1;
    }
    return 0;
}

int BTN_number_arrow_click(double* value, float x, float y, int digits, int decimals, float mouse_x,
                           float mouse_y)
{
    const bool up = mouse_y > y + kUpperFrom;
    int stepped = 0;
    // A click on the border of two columns steps both.
    for (int k = 0; k < std::min(digits, kClickableDigits); ++k) {
        const float c0 = x + kDigitW * k;
        if (mouse_x < c0 || mouse_x > c0 + kDigitW) continue;
        const double place = BTN_number_place(digits, decimals, k);
        *value += up ? place : -place;
        stepped = 1;
    }
    return stepped;
}

double BTN_number_settle(double value, int decimals, double min, double max)
{
    if (!(value >= min)) value = min;
    if (value > max) value = max;
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (std::fabs(scaled) < kWholeFrom) value = static_cast<double>(std::llround(scaled)) / scale;
    return value;
}

// ---------------------------------------------------------------------------
// [SECTION] The field
// ---------------------------------------------------------------------------

namespace
{
constexpr int kColHotDigit = 8, kColDigits = 45;
constexpr float kFieldLeft = 1, kFieldRise = 3, kFieldPad = 15;
constexpr float kArrowCentre = 6, kArrowHalfW = 7, kArrowHalfH = 9;
constexpr float kDownArrowY = -10, kUpArrowY = 18; // sprite centres from y
constexpr float kArrowAtlasX = 90, kDownAtlasY = 187, kUpAtlasY = 206;
constexpr float kLabelGap = 12;
constexpr float kHotX = 2, kHotY = -2, kHotW = 9, kHotH = 11; // the hot digit's box
constexpr float kDigitsX = 3;

// What the number fields keep between frames, shared by all of them.
struct number_field_state {
    int hot_digit = 0;     // the digit the keys act on in the focused field
    focus_queue_t queue{}; // the keys queued for number fields
};
number_field_state number_fields;

bool mouse_in(const btn_box& b)
{
    return b.x0 <= mnw.mouse_x && mnw.mouse_x <= b.x1 && b.y0 <= mnw.mouse_y && mnw.mouse_y <= b.y1;
}

void draw_field(float x, float y, double value, int digits, int decimals, const std::string& left,
                const std::string& right, int focused)
{
    BTN_frame1(kBarField, x + 0.5f * kDigitW * digits - kFieldLeft, y + kFieldRise,
               kDigitW * digits + kFieldPad, kColrNoTint);
    for (int k = 0; k < digits; ++k) {
        const float cx = x + kDigitW * k + kArrowCentre;
        BTN_util_element(cx, y + kDownArrowY, kArrowAtlasX, kDownAtlasY, kArrowHalfW, kArrowHalfH,
                         kColrNoTint);
        BTN_util_element(cx, y + kUpArrowY, kArrowAtlasX, kUpAtlasY, kArrowHalfW, kArrowHalfH,
                         kColrNoTint);
    }
    BTN_util_draw_label(x - kLabelGap, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + kDigitW * digits + kLabelGap, y, kAlignStart, right, 0);
    if (focused)
        OGL_fillrect(kColHotDigit, 1, x + kHotX + kDigitW * number_fields.hot_digit, y + kHotY,
                     kHotW, kHotH);
    OGL_number(kColDigits, x + kDigitsX, y, static_cast<float>(value), digits, decimals,
               kCharsetFix10);
}

// Decides from this frame's mouse and queued keys, then draws.
} // namespace

int BTN_number_field(float x, float y, double* value, int digits, int decimals, double min,
                     double max, const std::string& label)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);

    const bool hovered = mouse_in(BTN_number_box(x, y, digits));
    if (hovered) stls[kStlsTooltip] = help;
    number_field_state& nf = number_fields;
    const bool no_menu = mnw.menu_open == kNoMenu;
    int take_focus = 0;
    if (no_menu && hovered && mnw.mouse_press) {
        nf.hot_digit = BTN_number_click_digit(x, digits, mnw.mouse_x);
        take_focus = 1;
    }

    const int key = BTN_field_key(x, y);
    const int focused = BTN_register_focus(key, nf.queue, kMaskNumberField, take_focus);
    if (focused) nf.hot_digit = std::clamp(nf.hot_digit, 0, last_digit(digits));

    int changed = 0;
    focus_key_t keys[kFocusQueueCap];
    const int n = BTN_consume_keys(nf.queue, key, keys);
    for (int i = 0; i < n; ++i)
        changed |= BTN_number_key(keys[i].character, keys[i].vkey, value, &nf.hot_digit, digits,
                                  decimals, min, max);

    if (no_menu && !hovered && mouse_in(BTN_number_arrows_box(x, y, digits))) {
        mnw.cursor_kind = mnw.mouse_y > y + kUpperFrom ? kCursorUp : kCursorDown;
        if (mnw.mouse_press)
            changed |=
                BTN_number_arrow_click(value, x, y, digits, decimals, mnw.mouse_x, mnw.mouse_y);
    }

    *value = BTN_number_settle(*value, decimals, min, max);
    draw_field(x, y, *value, digits, decimals, left, right, focused);
    return changed;
}

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label)
{
    double v = *value;
    const int changed = BTN_number_field(x, y, &v, digits, decimals, min, max, label);
    *value = static_cast<float>(v);
    return changed;
}

int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label)
{
    return BTN_int_field(x, y, value, digits, min, max, label);
}

int BTN_int_field(float x, float y, int* value, int digits, double min, double max,
                  const std::string& label)
{
    double v = *value;
    const int changed = BTN_number_field(x, y, &v, digits, 0, min, max, label);
    // Whole already; a range beyond the int's would still overflow the cast.
    if (!(v >= INT_MIN)) v = INT_MIN;
    if (v > INT_MAX) v = INT_MAX;
    *value = static_cast<int>(std::trunc(v));
    return changed;
}
