// Bitmap text: glyph quads cut from the interface atlas (charsets 100 and 102)
// or the fixed 15-pixel font (charset 103), one line with alignment, word
// wrapping, and number text. The layout rules are plain functions as well, so
// that widgets and tests can measure and cut text without drawing it.
#pragma once

#include <string>
#include <vector>

// Character sets.
enum {
    kCharsetProp  = 100,  // proportional, from the atlas
    kCharsetFix10 = 102,  // 10-pixel cells, from the atlas
    kCharsetFix15 = 103,  // 15-pixel cells, from texture 393
};

// Glyph cells of the interface atlas: 21 columns by 5 rows of 14 x 15 texels
// from texel (0, 0).
constexpr int kGlyphCols = 21;
constexpr int kGlyphRows = 5;
constexpr int kGlyphCellW = 14;
constexpr int kGlyphCellH = 15;
// Distance between wrapped lines, in pixels.
constexpr int kTextLineStep = 10;
// Wrap widths of 0 or less, or this much or more, mean one line.
constexpr float kTextNoWrap = 9999.0f;

// Cell of a byte in the atlas glyph layout; unknown bytes give cell (0, 0).
void OGL_glyph_cell(int ch, int* column, int* row);
// Advance of a byte in the proportional font, in whole pixels.
int OGL_char_advance(int ch);
// Sum of the proportional advances of every byte of the text.
float OGL_text_width(const std::string& text);

// Sets up drawing in a charset (state, colour, texture) and returns its fixed
// advance: 0 for 100, 10 for 102, 15 for 103. A bad charset is fatal.
int OGL_strtex(int charset, int colour, float* s0, float* t0, float* cell_w, float* cell_h);
// The four vertices of one glyph quad; the caller has opened GL_QUADS.
void OGL_char(float x, float y, float s0, float t0, float cell_w, float cell_h, int ch,
              int charset);
// One line at an absolute GL-window position; align 0 left, 1 centred, 2 right.
void str_one_line(int colour, float x, float y, const std::string& text, int charset, int align);
// The text call: one line or word-wrapped within `wrap`; returns the y for a
// following line, in window coordinates.
float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int charset,
                 int align);

// The lines that OGL_string draws for a wrapped text, each with its y offset
// below the first (0, 10, 20, ...), and the final offset of the call's result.
// `adv` is the charset's fixed advance (0 for proportional).
struct text_line {
    std::string text;
    int drop;
};
std::vector<text_line> OGL_wrap_lines(const std::string& text, float wrap, int adv,
                                      int* result_drop);
// Left x of a line drawn at x with the alignment (0, 1, 2).
float OGL_align_x(float x, const std::string& text, int align);

// Number text: `digits` digits in all, `decimals` of them after the point.
void OGL_number(int colour, float x, float y, float value, int digits, int decimals,
                int charset);
// The text that OGL_number draws for charsets other than 102.
std::string OGL_number_text(float value, int digits, int decimals);
// One glyph of the charset-102 layout: its byte and its x relative to x0.
struct number_glyph {
    char ch;
    float dx;
};
// The glyphs that OGL_number draws for charset 102, x relative to x0.
std::vector<number_glyph> OGL_number_cells(float value, int digits, int decimals);

// Rounds half away from zero, as the text placement does.
int OGL_round_half_away(float v);
