// Widget variants and focus routines.
//
// Index of this file:
//   [SECTION] Focus
//   [SECTION] Number fields
//   [SECTION] Check boxes
//   [SECTION] Text field over a buffer
#include "OOPS_cpp/butn_variants.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "GenH/hl_report.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

// ---------------------------------------------------------------------------
// [SECTION] Focus
// ---------------------------------------------------------------------------

void BTN_window_has_focus()
{
    focus_ring.window_claimed = 1;
}

int BTN_no_focus_yet()
{
    return !focus_ring.window_claimed && !focus_ring.focused ? 1 : 0;
}

void BTN_focus_any()
{
    focus_ring.focused = focus_ring.drawn.empty() ? 0 : focus_ring.drawn.front().key;
}

// ---------------------------------------------------------------------------
// [SECTION] Number fields
// ---------------------------------------------------------------------------
//
// The ranges from a digit count reach 9999999999, beyond an int and beyond
// what a float holds exactly (99999999 as a float is 100000000, one digit
// too many): they are computed and used as doubles, and the fields clamp and
// round in double and 64-bit integers.

namespace
{
constexpr float kGridColumn = 75, kGridRow = 50, kGridRowBase = 25, kDigitW = 10;
constexpr int kColDigits = 45;
constexpr float kFieldLeft = 1, kFieldRise = 3, kFieldPad = 15; // the number field's bar
constexpr float kLabelGap = 12, kDisplayDigitsX = 4;
constexpr int kBoxStyle = 0; // BTN_bool's square box

[[noreturn]] void fatal(const std::string& line1, const std::string& line2,
                        const std::string& line4, int line)
{
    __VOVARU_alert(0, line1, line2, "value:", line4, t_exit, __FILE__, line);
    std::abort(); // the fatal alert does not return
}

double range_lo(double hi, int allow_negative)
{
    return allow_negative ? -hi : 0.0;
}

long long shown(double v, double scale)
{
    return std::llround(v * scale);
}
} // namespace

void BTN_grid_position(float i, float j, int digits, float* x, float* y)
{
    *x = kGridColumn * i + kGridColumn - kDigitW * digits;
    *y = kGridRow * j + kGridRowBase;
}

double BTN_digits_max(int digits, int decimals)
{
    if (digits < 1 || digits > kDigitsMax)
        fatal("Bad number field digit count!", "Digits must be 1 to 10.", std::to_string(digits),
              __LINE__);
    long long all_nines = 9;
    for (int k = 1; k < digits; ++k)
        all_nines = all_nines * 10 + 9;
    return static_cast<double>(all_nines) / std::pow(10.0, decimals);
}

float BTN_number_to_float(double value, int decimals, double min, double max)
{
    float f = static_cast<float>(value);
    const double scale = std::pow(10.0, decimals);
    if (!std::isfinite(f) || !std::isfinite(value * scale)) return f;
    // A few steps at most: the nearest float is within one of them.
    for (int i = 0; i < 4 && std::isfinite(max * scale) && shown(f, scale) > shown(max, scale); ++i)
        f = std::nextafter(f, -HUGE_VALF);
    for (int i = 0; i < 4 && std::isfinite(min * scale) && shown(f, scale) < shown(min, scale); ++i)
        f = std::nextafter(f, HUGE_VALF);
    return f;
}

int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    std::string label)
{
    float x, y;
    BTN_grid_position(i, j, digits, &x, &y);
    return BTN_flt_range(x, y, value, digits, decimals, min, max, label);
}

int BTN_int(float x, float y, int* value, int digits, int allow_negative, std::string label)
{
    const double hi = BTN_digits_max(digits, 0);
    return BTN_int_field(x, y, value, digits, range_lo(hi, allow_negative), hi, label);
}

// In double throughout: a float copy would lose the digits of a wide field
// (1234567891 stepped by one would store 1234567936).
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label)
{
    double v = *value;
    const int changed = BTN_number_field(x, y, &v, digits, decimals, min, max, label);
    if (changed) *value = v;
    return changed;
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative,
            std::string label)
{
    const double hi = BTN_digits_max(digits, decimals);
    const double lo = range_lo(hi, allow_negative);
    double v = *value;
    const int changed = BTN_number_field(x, y, &v, digits, decimals, lo, hi, label);
    *value = BTN_number_to_float(v, decimals, lo, hi);
    return changed;
}

int BTN_fltij(float i, float j, float* value, int digits, int decimals, int allow_negative,
              std::string label)
{
    float x, y;
    BTN_grid_position(i, j, digits, &x, &y);
    return BTN_flt(x, y, value, digits, decimals, allow_negative, label);
}

void BTN_display_number(float x, float y, float value, int digits, int decimals,
                        const std::string& label)
{
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_frame1(kBarField, x + 0.5f * kDigitW * digits - kFieldLeft, y + kFieldRise,
               kDigitW * digits + kFieldPad, kColrNoTint);
    BTN_util_draw_label(x - kLabelGap, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + kDigitW * digits + kLabelGap, y, kAlignStart, right, 0);
    OGL_number(kColDigits, x + kDisplayDigitsX, y, value, digits, decimals, kCharsetFix10);
}

// ---------------------------------------------------------------------------
// [SECTION] Check boxes
// ---------------------------------------------------------------------------

int BTN_xbyt(float x, float y, unsigned char* value, std::string label)
{
    int v = *value;
    const int r = BTN_bool(x, y, &v, label, kBoxStyle);
    *value = static_cast<unsigned char>(v & 0xFF);
    return r;
}

int BTN_xchr(float x, float y, char* value, std::string label)
{
    int v = *value;
    const int r = BTN_bool(x, y, &v, label, kBoxStyle);
    *value = static_cast<char>(v & 0xFF);
    return r;
}

int BTN_xbol(float x, float y, bool* value, std::string label)
{
    int v = *value ? 1 : 0;
    const int r = BTN_bool(x, y, &v, label, kBoxStyle);
    *value = v != 0;
    return r;
}

// ---------------------------------------------------------------------------
// [SECTION] Text field over a buffer
// ---------------------------------------------------------------------------
//
// The field edits a copy of the buffer that lives for this call only. The
// shared editor must not keep pointing at the copy, and it keys everything
// else (focus, selection, queued keys) by the field's position, so the next
// frame's copy is edited as the same field.

int BTN_enterstring(float x, float y, char* text, int max_len, std::string label, float width,
                    int take_focus)
{
    const size_t had = strnlen(text, size_t(kBufferTextMax) + 1);
    if (had > size_t(kBufferTextMax)) {
        __VOVARU_alert(0, "String too long!", text, "", "", t_exit, __FILE__, __LINE__);
        std::abort();
    }
    // Typing into a larger buffer would otherwise reach the fatal limit
    // next frame.
    const int limit = std::clamp(max_len, 0, kBufferTextMax);
    std::string copy(text, had);
    const int edited = BTN_enterstring(x, y, &copy, limit, label, width, take_focus);
    BTN_text_forget(&copy);
    // The field never lengthens a text past its limit; should it, the
    // buffer still gets no more than it is known to hold.
    copy.resize(std::min(copy.size(), std::max(had, size_t(limit))));
    std::memcpy(text, copy.c_str(), copy.size() + 1);
    return edited;
}
