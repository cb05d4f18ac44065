// Variants of the live widgets for other value types, ranges and placements,
// and routines that claim or move the keyboard focus. The installer uses
// none of them. Each variant converts the caller's value to what the
// underlying widget takes (butn.h), runs it and converts the result back:
// drawing, hit boxes, keys and results are those of that widget.
//
// The text field over a character buffer edits a per-call copy, which the
// shared editor is told to forget when the call ends.
#pragma once

#include <string>

// ---------------------------------------------------------------------------
// Focus
// ---------------------------------------------------------------------------

// The current window claims the keyboard for this frame: no field takes the
// focus on its own.
void BTN_window_has_focus();
// 1 while neither the window nor a field holds the keyboard.
int BTN_no_focus_yet();
// The first field drawn in this frame gets the focus; none drawn yet: no
// field has it.
void BTN_focus_any();

// ---------------------------------------------------------------------------
// Number fields
// ---------------------------------------------------------------------------

// Column i and row j of a grid of number fields: fields of any digit count
// end at the same x in a column.
void BTN_grid_position(float i, float j, int digits, float* x, float* y);
// Largest value of a field of `digits` digits (9, 99, ... 9999999999),
// divided by 10^decimals; exact in a double. Digit counts outside 1 .. 10
// are a programming error: fatal.
constexpr int kDigitsMax = 10;
double BTN_digits_max(int digits, int decimals);
// The float a settled value is stored as: the nearest one, or the next one
// toward zero where the nearest would show a number beyond [min, max] (a
// float cannot hold 99999999).
float BTN_number_to_float(double value, int decimals, double min, double max);

// Each returns 1 when the value changed in this frame.
// BTN_flt_range at the grid position of (i, j).
int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    std::string label);
// An int field over the range of its digit count, 0 .. max or -max .. max.
int BTN_int(float x, float y, int* value, int digits, int allow_negative, std::string label);
// A field over a double; the double is written only in a frame in which the
// field changed it, so it keeps its precision otherwise.
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label);
// A float field over the range of its digit count and decimals.
int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative,
            std::string label);
// BTN_flt at the grid position of (i, j).
int BTN_fltij(float i, float j, float* value, int digits, int decimals, int allow_negative,
              std::string label);
// The number field's look without arrows, hit box or focus: draws only.
void BTN_display_number(float x, float y, float value, int digits, int decimals,
                        const std::string& label);

// ---------------------------------------------------------------------------
// Check boxes over narrow variables (the square box of BTN_bool)
// ---------------------------------------------------------------------------
//
// Any non-zero value shows ticked; a click stores 0 into a ticked box and 1
// into an empty one. Each returns BTN_bool's result.
int BTN_xbyt(float x, float y, unsigned char* value, std::string label);
int BTN_xchr(float x, float y, char* value, std::string label);
int BTN_xbol(float x, float y, bool* value, std::string label);

// ---------------------------------------------------------------------------
// Text field over a character buffer
// ---------------------------------------------------------------------------

// Longest text a buffer field takes; a longer one is the fatal alert
// "String too long!".
constexpr int kBufferTextMax = 499;
// The text field of butn.h over a zero-terminated buffer of at least
// max_len + 1 bytes. Typing stops at max_len (and at kBufferTextMax); the
// text written back is never longer than the buffer's text was or than that
// limit. Returns 1 in a frame in which the text was changed.
int BTN_enterstring(float x, float y, char* text, int max_len, std::string label, float width,
                    int take_focus);
