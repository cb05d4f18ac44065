// The font of Korean menu texts (charset 103, texture slot 393), drawn at
// build time by tools/texgen and loaded at start-up with the other built-in
// images, so that the first Korean menu finds its texture.
//
// The text routines cut 13 x 13 cells, 40 to a row, byte b at column b % 40
// and row b / 40, in texels of 1/512. Korean menu texts hold two bytes per
// character code c: c / 127 + 1, then c % 127 + 1. The first byte of every
// code below 1016 is 1..8, so bytes 1..8 stay blank; the Hangul letters sit
// on the second byte:
//
//   row 1, columns 1..30: the 30 consonants U+3131..U+314E (bytes 41..70,
//                         codes 40..69)
//   row 2, columns 1..21: the 21 vowels U+314F..U+3163 (bytes 81..101,
//                         codes 80..100)
//
// Column 39 reaches past texel 512 and wraps into column 0 of its row, so
// both stay blank. Every other cell is blank too.
#pragma once

constexpr int kMenuFontCols = 40;
constexpr int kMenuFontCell = 13;       // cell side in texels
constexpr int kMenuFontAdvance = 15;    // the text routines step 15 pixels a byte
constexpr int kMenuFontTexSide = 512;   // texture coordinates are texels / 512
constexpr int kMenuFontStoredRows = 52; // four rows of cells hold bytes 0..159
constexpr int kMenuFontBytes = kMenuFontTexSide * kMenuFontStoredRows * 4; // RGBA
// Glyph ink lies in cell rows [kMenuFontInkLow, kMenuFontCell): the rows that
// the text placement puts inside a 14-pixel menu item.
constexpr int kMenuFontInkLow = 3;

constexpr int kMenuFontFirstConsonant = 41, kMenuFontConsonants = 30;
constexpr int kMenuFontFirstVowel = 81, kMenuFontVowels = 21;

// The Unicode letter drawn in a byte's cell, 0 for a blank cell.
constexpr unsigned menu_font_letter(int byte)
{
    if (byte >= kMenuFontFirstConsonant && byte < kMenuFontFirstConsonant + kMenuFontConsonants)
        return 0x3131u + unsigned(byte - kMenuFontFirstConsonant);
    if (byte >= kMenuFontFirstVowel && byte < kMenuFontFirstVowel + kMenuFontVowels)
        return 0x314Fu + unsigned(byte - kMenuFontFirstVowel);
    return 0;
}

// The stored pixels: 512 x 52, bottom row first; the texture is 512 x 512
// with the rows above them empty.
extern "C" {
extern const unsigned char t_menu_font_dat[kMenuFontBytes];
}
