// Accented letters of the atlas font must show their accent: at least two
// rows of full ink above the base letter, read from the generated atlas and
// from a zoomed rendering in a real window (charsets 100 and 102 both cut
// their glyphs from these cells).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GenC/hl_windows.h"
#include "GenH/hl_app.h"
#include "GenH/hl_menu_font.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "TEX/tex_fixtures.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{
// Full ink: 90 % coverage or more. The stems of the plain capitals are drawn
// at 255 and their anti-aliased edges at about half, so a row that reaches
// this is as dark as the letters themselves, not a grey smudge.
constexpr int kFullInk = 230;
// Coverage above this counts as part of a letter when its top is measured.
constexpr int kSomeInk = 24;

struct accented {
    unsigned char byte;
    unsigned char same_height; // a plain letter of the base letter's height
};
// Í is measured against I itself; í against u, whose top is the x-height
// where the dotless i under the accent ends.
constexpr accented kLetters[] = {
    {0xC1, 'A'}, {0xC9, 'E'}, {0xCD, 'I'}, {0xD3, 'O'}, {0xDA, 'U'}, {0xD1, 'N'},
    {0xE1, 'a'}, {0xE9, 'e'}, {0xED, 'u'}, {0xF3, 'o'}, {0xFA, 'u'}, {0xF1, 'n'},
};

int atlas_alpha(unsigned char byte, int x, int y)
{
    int col = 0, row = 0;
    OGL_glyph_cell(byte, &col, &row);
    const int px = col * kGlyphCellW + x, py = row * kGlyphCellH + y;
    return t_interface_dat[4 * (512 * py + px) + 3];
}

// Top row of a plain letter's ink in its cell.
int letter_top(unsigned char byte)
{
    for (int y = kGlyphCellH - 1; y >= 0; --y)
        for (int x = 0; x < kGlyphCellW; ++x)
            if (atlas_alpha(byte, x, y) > kSomeInk) return y;
    return -1;
}

// Rows above `top` in which some pixel of the cell is fully inked, where
// `ink(x, y)` gives the coverage of texel (x, y) of the cell.
template <class Ink> int full_rows_above(int top, Ink ink)
{
    int rows = 0;
    for (int y = top + 1; y < kGlyphCellH; ++y)
        for (int x = 0; x < kGlyphCellW; ++x)
            if (ink(x, y) >= kFullInk) {
                ++rows;
                break;
            }
    return rows;
}

std::string name_of(unsigned char byte)
{
    char s[16];
    std::snprintf(s, sizeof(s), "byte 0x%02X", byte);
    return s;
}
} // namespace

TEST(Accents, TwoFullRowsAboveTheLetterInTheAtlas)
{
    ASSERT_EQ(letter_top('I'), letter_top('E')); // one cap height
    // The threshold is what the letters' own stems reach.
    int stem = 0;
    for (int y = 0; y < kGlyphCellH; ++y)
        for (int x = 0; x < kGlyphCellW; ++x)
            stem = std::max(stem, atlas_alpha('I', x, y));
    EXPECT_GE(stem, kFullInk);

    for (const accented& l : kLetters) {
        SCOPED_TRACE(name_of(l.byte));
        const int top = letter_top(l.same_height);
        ASSERT_GT(top, 0);
        EXPECT_GE(full_rows_above(top, [&](int x, int y) { return atlas_alpha(l.byte, x, y); }), 2);
        // The base letter keeps the plain letter's height: the accent is
        // not drawn by stretching it.
        EXPECT_GE(letter_top(l.byte), top);
    }
}

// The atlas and the Korean menu font are drawn from the fonts and fixed
// numbers only: drawing them again gives the bytes the program holds.
TEST(Accents, AtlasGeneratorIsDeterministic)
{
    TempDir out;
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/";
    const XvfbResult r =
        run_capture(std::string(ZUDEZUD_BINARY_DIR) + "/tools/texgen " + out.path() + " " + dejavu +
                    "DejaVuSans.ttf " + dejavu + "DejaVuSans-Bold.ttf " +
                    "/usr/share/fonts/truetype/nanum/NanumGothic.ttf");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string raw = TempDir::read(out / "texes0.raw");
    ASSERT_EQ(raw.size(), size_t(kTexesInterfaceBytes));
    EXPECT_EQ(raw, std::string(reinterpret_cast<const char*>(t_interface_dat), raw.size()));
    const std::string font = TempDir::read(out / "texes4.raw");
    ASSERT_EQ(font.size(), size_t(kMenuFontBytes));
    EXPECT_EQ(font, std::string(reinterpret_cast<const char*>(t_menu_font_dat), font.size()));
}

// Each letter drawn alone, six times enlarged, in charsets 100 and 102, white
// on black; the screen shows the atlas texel for texel (nearest filtering),
// accents included. ZUDEZUD_SHOTS_DIR, when set, receives "accents.png".
TEST(Accents, ZoomedInAWindow)
{
    XVFB_TEST_BODY(kXvfbScreen1024);
    xvfb_open_shell_window();
    colr.assign(0, 1, 1, 1);
    colr.assign(kColLight, 1, 1, 1);
    VOVARU_startwind(kWinMain, 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    constexpr int kZoom = 6;
    const int charsets[2] = {kCharsetProp, kCharsetFix10};
    std::string line;
    for (const accented& l : kLetters)
        line += char(l.byte);
    oglp.text_scale = kZoom;
    for (int set = 0; set < 2; ++set)
        for (size_t i = 0; i < std::size(kLetters); ++i)
            OGL_string(0, 10 + float(i) * (kGlyphCellW * kZoom - 2), 680 - set * 120,
                       std::string(1, char(kLetters[i].byte)), kTextNoWrap, charsets[set], 0);
    oglp.text_scale = 1;
    // The same letters at their real size, between I and i for comparison.
    OGL_string(0, 10, 420, "I " + line + " i", kTextNoWrap, kCharsetProp, 0);
    glFinish();

    std::vector<uint8_t> px(size_t(1024) * 768 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    auto screen = [&](int x, int y) { return int(px[(size_t(y) * 1024 + x) * 3 + 1]); };

    for (int set = 0; set < 2; ++set)
        for (size_t i = 0; i < std::size(kLetters); ++i) {
            const accented& l = kLetters[i];
            SCOPED_TRACE(name_of(l.byte) + " charset " + std::to_string(charsets[set]));
            // Where OGL_string puts the quad: x whole, y - 2 - 4.
            const int qx = 10 + int(i) * (kGlyphCellW * kZoom - 2), qy = 680 - set * 120 - 6;
            auto texel = [&](int x, int y) {
                return screen(qx + x * kZoom + kZoom / 2, qy + y * kZoom + kZoom / 2);
            };
            int differ = 0;
            for (int y = 0; y < kGlyphCellH; ++y)
                for (int x = 0; x < kGlyphCellW; ++x)
                    differ += std::abs(texel(x, y) - atlas_alpha(l.byte, x, y)) > 3;
            EXPECT_EQ(differ, 0);
            EXPECT_GE(full_rows_above(letter_top(l.same_height), texel), 2);
        }

    if (const char* dir = std::getenv("ZUDEZUD_SHOTS_DIR"); dir && *dir) {
        texfix::PngSpec spec;
        spec.width = 1024;
        spec.height = 768;
        std::vector<std::vector<uint8_t>> rows;
        for (int y = 767; y >= 0; --y)
            rows.emplace_back(px.begin() + y * 1024 * 3, px.begin() + (y + 1) * 1024 * 3);
        EXPECT_TRUE(texfix::write_png(std::string(dir) + "/accents.png", spec, rows));
    }
}
