// Widgets of the library the installer does not use: a row of tabs along the
// top of the window, a horizontal slider and a fixed-length character field.
// They follow the conventions of butn.h (immediate mode, window units, y up).
#pragma once

#include <string>

// One tab; columns run 88 apart from the left, rows 32 apart down from the
// top of the window. A click makes *selected my_value and returns 1.
int BTN_tab(int column, int row, int* selected, int my_value, std::string label);
// The centre of a tab.
void BTN_tab_centre(int column, int row, float* cx, float* cy);

// A bar over [x, x + width] filled up to *value within min .. max (a reversed
// range fills from the right); colour 12 means no fill. When editable, a knob
// shows the value and the held mouse drags it: 1 while it does.
int BTN_horz_slider(float x, float y, float width, int colour, float min, float max, float* value,
                    int editable, std::string label, std::string caption);
// The drawn width of a fill f pixels wide: whole and even, 7.9 gives 8.
float BTN_slider_fill_width(float f);

// `length` characters, each stepped through blank, '0'..'9', 'A'..'Z', '-'
// by the arrows above (back) and below (forward) it, or with the focus by
// Up, Down, Left, Right and typing.
void BTN_chars(float x, float y, char* text, int length, std::string label);
// The place of a character in that alphabet (lower case counts as upper,
// anything else as '0'), and the character `steps` places on, wrapping.
constexpr int kCharsAlphabet = 38;
int BTN_chars_index(char c);
char BTN_chars_step(char c, int steps);
