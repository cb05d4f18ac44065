// Bitmap text: glyph quads cut from the interface atlas (charsets 100 and 102)
// or the fixed 15-pixel font (charset 103), one line with alignment, word
// wrapping, and number text. The layout rules are plain functions as well, so
// that widgets and tests can measure and cut text without drawing it.
//
// Every text that shows a path or a file name (destination field, totals lines,
// modified-file question, progress box, folder picker, alerts) goes through
// OGL_font_text, so a character the fonts lack shows as '?' instead of
// vanishing. The body font's glyphs ink at most 9 rows (tools/texgen), so lines
// drawn 10 pixels apart keep a row of background between them.
#pragma once

#include <string>
#include <vector>

// Character sets.
enum {
    kCharsetProp = 100,  // proportional, from the atlas
    kCharsetFix10 = 102, // 10-pixel cells, from the atlas
    kCharsetFix15 = 103, // 15-pixel cells, from texture 393
};

// Where a line of text lies against its x.
enum {
    kTextLeft = 0,   // starts at x
    kTextCentre = 1, // centred on x
    kTextRight = 2,  // ends at x
};

// Glyph cells of the interface atlas: 21 columns by 5 rows of 14 x 15 texels
// from texel (0, 0).
constexpr int kGlyphCols = 21;
constexpr int kGlyphRows = 5;
constexpr int kGlyphCellW = 14;
constexpr int kGlyphCellH = 15;

// The byte drawn by each atlas cell, by row (from the first stored row) and
// column. The atlas generator (tools/texgen) draws its glyphs from this too.
inline constexpr unsigned char kGlyphLayout[kGlyphRows][kGlyphCols] = {
    {0x20, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,
     0x41, 0x61, 0x42, 0x62, 0x43, 0x63, 0x44, 0x64, 0x45, 0x65},
    {0x46, 0x66, 0x47, 0x67, 0x48, 0x68, 0x49, 0x69, 0x4A, 0x6A, 0x4B,
     0x6B, 0x4C, 0x6C, 0x4D, 0x6D, 0x4E, 0x6E, 0x4F, 0x6F, 0x50},
    {0x70, 0x51, 0x71, 0x52, 0x72, 0x53, 0x73, 0x54, 0x74, 0x55, 0x75,
     0x56, 0x76, 0x57, 0x77, 0x58, 0x78, 0x59, 0x79, 0x5A, 0x7A},
    {0x21, 0x40, 0x23, 0x24, 0x25, 0x5E, 0x26, 0x2A, 0x28, 0x29, 0x2D,
     0x5F, 0x2B, 0x3D, 0x5B, 0x5D, 0x7C, 0x5C, 0x27, 0x3A, 0x3B},
    {0x3C, 0x2E, 0x3E, 0x2C, 0x3F, 0x2F, 0x60, 0xFB, 0xC1, 0xE1, 0xC9,
     0xE9, 0xCD, 0xED, 0xD3, 0xF3, 0xDA, 0xFA, 0xD1, 0xF1, 0xBF},
};

// Advance in whole pixels after a byte of proportional (charset 100) text,
// by byte. Bytes without a glyph take no room. The atlas generator fits each
// glyph's ink inside its advance, so that neighbours never touch.
// clang-format off
inline constexpr unsigned char kPropAdvance[256] = {
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, // 0x00
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, // 0x10
     3,  4,  0,  6,  6, 11,  8,  3,  4,  4,  6,  7,  2,  4,  2,  3, // 0x20
     6,  6,  6,  6,  6,  6,  6,  6,  6,  6,  3,  3,  7,  7,  7,  6, // 0x30
     9,  8,  7,  7,  8,  6,  6,  8,  8,  3,  4,  7,  6, 10,  8,  9, // 0x40
     6,  9,  7,  6,  6,  8,  7, 11,  7,  7,  6,  4,  3,  4,  6,  6, // 0x50
     3,  6,  7,  5,  7,  6,  4,  7,  7,  3,  3,  6,  3, 10,  7,  7, // 0x60
     7,  7,  4,  4,  4,  7,  6,  9,  6,  6,  6,  0,  3,  0,  0,  0, // 0x70
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, // 0x80
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, // 0x90
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, // 0xA0
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  6, // 0xB0
     0,  6,  0,  0,  0,  0,  0,  0,  0,  6,  0,  0,  0,  6,  0,  0, // 0xC0
     0,  6,  0,  6,  0,  0,  0,  0,  0,  0,  6,  0,  0,  0,  0,  0, // 0xD0
     0,  6,  0,  0,  0,  0,  0,  0,  0,  6,  0,  0,  0,  6,  0,  0, // 0xE0
     0,  6,  0,  6,  0,  0,  0,  0,  0,  0,  6,  3,  0,  0,  0,  0, // 0xF0
};
// clang-format on
constexpr int OGL_prop_advance(unsigned char b)
{
    return kPropAdvance[b];
}

// The text scale: glyph quads are drawn this many times larger when it is
// above 1. Set to 1 here and changed by nothing in this program.
class oglp_class
{
  public:
    float text_scale;
    oglp_class() : text_scale(1.0f) {}
};
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

// The bytes that the atlas fonts draw for a UTF-8 text such as a path: each
// character the fonts have becomes its byte (ASCII with a glyph, the Latin-1
// letters of the atlas, the degree sign as 0xFB), every other one, and every
// byte that is not UTF-8, one '?' each, so that no character goes unseen.
std::string OGL_font_text(const std::string& utf8);

// Sets up drawing in a charset (state, colour, texture) and returns its fixed
// advance: 0 for 100, 10 for 102, 15 for 103. A bad charset is fatal.
int OGL_strtex(int charset, int colour, float* s0, float* t0, float* cell_w, float* cell_h);
// The four vertices of one glyph quad; the caller has opened GL_QUADS.
void OGL_char(float x, float y, float s0, float t0, float cell_w, float cell_h, int ch,
              int charset);
// One line at an absolute GL-window position, aligned against x.
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
// Left x of a line drawn at x with the alignment.
float OGL_align_x(float x, const std::string& text, int align);

// Number text: `digits` digits in all, `decimals` of them after the point.
void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int charset);
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
