// Menu files: the line rules, Korean codes, bad files, and a Korean menu
// drawn in a real window from the font that the build draws.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "GenC/hl_menu_edit.h"
#include "GenC/hl_menu_file.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_app.h"
#include "GenH/hl_menu_font.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"
#include "menu_table_fixture.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{
const char* const kHeader = "I\n1 version\n";

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s += static_cast<char>(b);
    return s;
}

// Writes a file relative to the current folder, making its folders.
void put(const std::string& rel, const std::string& content)
{
    for (size_t at = rel.find('/'); at != std::string::npos; at = rel.find('/', at + 1))
        mkdir(rel.substr(0, at).c_str(), 0755);
    std::ofstream(rel, std::ios::binary) << content;
}

// A menu as "title|parent|id:text,id:text".
std::string describe(int index)
{
    const menu_struct& m = menu[size_t(index)];
    std::string s = m.title + "|" + std::to_string(m.parent) + "|";
    for (size_t i = 0; i < m.items.size(); ++i)
        s += (i ? "," : "") + std::to_string(m.items[i].id) + ":" + m.items[i].text;
    return s;
}

// Each test in a private current folder (paths are relative to it, as
// app_path is empty), with a fresh table.
class MenuFile : public MenuTableTest
{
  protected:
    TempCwd cwd;
};
} // namespace

TEST(MenuFileCodes, KoreanCodesBecomeBytePairs)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"65 66", bytes({1, 66, 1, 67})},
        {"300", bytes({3, 47})},
        {"999", bytes({8, 111})},
        {"0", bytes({1, 1})},
        {"126 127", bytes({1, 127, 2, 1})},
        {"1234", bytes({1, 124, 1, 5})}, // a fourth digit starts the next code
        {"5 -5", bytes({1, 6})},         // a negative code: nothing
        {"5 -5 6", bytes({1, 6, 1, 7})},
        {"   7   ", bytes({1, 8})},
        {"+5", bytes({1, 16})},   // '+' counts 1
        {"12-", bytes({1, 120})}, // (1 x 10 + 2) x 10 - 1
        {"a1", bytes({1, 2})},    // other characters count 0
        {"-", "-"},               // separators and '=' texts stay
        {"-12 3", "-12 3"},
        {"=Info 5", "=Info 5"},
        {"", ""},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        std::string t = c.in;
        char_string_to_int_string(&t);
        EXPECT_EQ(t, c.out) << "'" << c.in << "'";
    }
    // One text after another: each gives its own codes.
    std::string a = "65", b = "66";
    char_string_to_int_string(&a);
    char_string_to_int_string(&b);
    EXPECT_EQ(a, bytes({1, 66}));
    EXPECT_EQ(b, bytes({1, 67}));
}

TEST_F(MenuFile, TheBarOfTheExample)
{
    put("menus/english/main.txt", std::string(kHeader) + "0 File\n100 Open\n0 -\n101 Quit\n-\n"
                                                         "0 Edit\n200 Undo\n-\n"
                                                         "1 Recent\n300 a.txt\n-\n");
    VOVARU_read_menus("", "main.txt");
    EXPECT_EQ(describe(0), "File|-1|100:Open,0:-,101:Quit");
    EXPECT_EQ(describe(1), "Edit|-1|200:Undo");
    EXPECT_EQ(describe(2), "Recent|0|300:a.txt");
    EXPECT_EQ(describe(3), "|-1|");
    const std::vector<item_struct>& file = menu[0].items;
    EXPECT_EQ(file[1].y2 - file[1].y1, 2); // the separator
    EXPECT_EQ(file[0].y2, 748);
    EXPECT_EQ(menu[1].x1, 48);
    EXPECT_EQ(menu[1].y1, 750);
    // The submenu hangs from item 1 of menu 0 (0 x 300 + 1).
    EXPECT_EQ(menu[2].x1, file[1].x1);
    EXPECT_EQ(menu[2].y1, file[1].y1);
    EXPECT_EQ(menu[2].x2, file[1].x2);
    EXPECT_EQ(menu[2].y2, file[1].y2);
}

TEST_F(MenuFile, LineRules)
{
    const struct {
        const char* what;
        std::string body; // after the header
        std::string menu0, menu1;
    } cases[] = {
        {"indentation, empty lines, CR LF", "  \t0 File\r\n\r\n\t 100 Open\r\n\n\n\t-\r\n\n0 x\n-",
         "File|-1|100:Open", "x|-1|"},
        {"zero bytes end lines",
         std::string("0 File\0\0", 8) + "100 Open" + std::string("\0-\0", 3) + "0 x",
         "File|-1|100:Open", "x|-1|"},
        {"'-' and a blank is an item", "0 File\n- \n-\n", "File|-1|-1:", "|-1|"},
        {"no blank after the number", "0 File\n100\n100\tOpen\n-\n", "File|-1|100:,-1:", "|-1|"},
        {"trailing blanks belong to the text", "0 File  \n100 Open  \n-\n", "File  |-1|100:Open  ",
         "|-1|"},
        {"blanks after the number", "0    File\n7   Open it\n-\n", "File|-1|7:Open it", "|-1|"},
        {"numbers", "0 F\n+7 a\n-3 b\n1234567890 c\n123456789 d\n-\n",
         "F|-1|7:a,-3:b,-1:c,123456789:d", "|-1|"},
        {"separators and '=' items", "0 F\n0 -\n5 =About\n-\n", "F|-1|0:-,5:=About", "|-1|"},
        {"the data ends inside a block", "0 File\n100 Open\n101 Quit", "File|-1|100:Open,101:Quit",
         "|-1|"},
        {"a header alone", "0 File", "File|-1|", "|-1|"},
        {"nothing after the header", "", "|-1|", "|-1|"},
        {"a block without items", "0 File\n-\n0 Edit\n1 Undo\n-\n", "File|-1|", "Edit|-1|1:Undo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VOVARU_clear_menus(1);
        put("menus/english/m.txt", kHeader + c.body);
        VOVARU_read_menus("", "m.txt");
        EXPECT_EQ(describe(0), c.menu0);
        EXPECT_EQ(describe(1), c.menu1);
    }
}

TEST_F(MenuFile, HeadersThatAreAccepted)
{
    const char* const headers[] = {
        "I\n1 version\n",       "A\n1\n",          "I\r\n1 anything at all\r\n",
        "I\n\n\n1 version\n\n", "I\n+1 version\n",
    };
    for (const char* h : headers) {
        VOVARU_clear_menus(1);
        put("menus/english/m.txt", std::string(h) + "0 File\n-\n");
        VOVARU_read_menus("", "m.txt");
        EXPECT_EQ(describe(0), "File|-1|") << h;
    }
}

TEST_F(MenuFile, TheTableIsNotEmptiedFirst)
{
    VOVARU_create_menu(0, 0, "Old");
    for (int k = 0; k < 3; ++k)
        VOVARU_append_menu(0, k, k, "old", 0);
    VOVARU_create_menu(5, 0, "Keep");
    put("app/menus/english/m.txt", std::string(kHeader) + "0 File\n9 New\n-\n");
    VOVARU_read_menus("app/", "m.txt");
    EXPECT_EQ(describe(0), "File|-1|9:New,1:old,2:old");
    EXPECT_EQ(menu[5].title, "Keep");
}

TEST_F(MenuFile, EachLanguageReadsItsOwnFolder)
{
    const char* const folders[] = {
        "menus/english/", "menus/french/",    "menus/german/", "menus/italian/",
        "menus/spanish/", "menus/portugese/", "menus/korean/", ""};
    for (int lang = 0; lang < 8; ++lang) {
        put(std::string("m/") + folders[lang] + "bar.txt",
            std::string(kHeader) + "0 " + std::to_string(lang) + "\n-\n");
    }
    for (int lang = 0; lang < 8; ++lang) {
        VOVARU_clear_menus(1);
        mnw.lang = lang == 7 ? 42 : lang; // an unknown language adds no folder
        VOVARU_read_menus("m/", "bar.txt");
        std::string want = std::to_string(lang);
        if (lang == kMenuLangKorean) char_string_to_int_string(&want);
        EXPECT_EQ(menu[0].title, want) << lang;
    }
}

TEST_F(MenuFile, KoreanTextsAreCodes)
{
    mnw.lang = kMenuLangKorean;
    put("menus/korean/m.txt",
        std::string(kHeader) + "0 65 66\n300 300 999\n7 =Info\n8 -\n9 1234 -5\n10 -5\n-\n");
    VOVARU_read_menus("", "m.txt");
    const menu_struct& m = menu[0];
    EXPECT_EQ(m.title, bytes({1, 66, 1, 67}));
    EXPECT_EQ(m.x2 - m.x1, 4 * 15 + 30);
    ASSERT_EQ(m.items.size(), 5u);
    EXPECT_EQ(m.items[0].text, bytes({3, 47, 8, 111}));
    EXPECT_EQ(m.items[0].id, 300);
    EXPECT_EQ(m.items[1].text, "=Info");
    EXPECT_EQ(m.items[2].text, "-");
    EXPECT_EQ(m.items[3].text, bytes({1, 124, 1, 5}));
    EXPECT_EQ(m.items[4].text, "-5"); // a separator stays as it is
    for (const item_struct& it : m.items)
        EXPECT_EQ(it.flag, 1);
    EXPECT_EQ(m.items[0].y2 - m.items[0].y1, 14);
    EXPECT_EQ(m.items[2].y2 - m.items[2].y1, 2);
}

// Bad files and bad blocks end the program with their alert; nothing reads
// past the data or outside the table.
TEST(MenuFileFatal, BadFilesEndTheProgram)
{
    TempCwd cwd;
    const std::string open_lines = "Cannot open file!\n\nmenus/english/m.txt\n\n"
                                   "Trash this copy and re-install Zudezud.\n\n\n\n";
    std::string many_items = std::string(kHeader) + "0 File\n";
    for (int k = 0; k <= 300; ++k)
        many_items += std::to_string(k) + " i" + std::to_string(k) + "\n";
    std::string many_blocks = kHeader;
    for (int m = 0; m <= 1520; ++m)
        many_blocks += "0 T\n-\n";
    const struct {
        const char* what;
        bool present;
        std::string file;
        std::string lines;
    } cases[] = {
        {"no file", false, "", open_lines},
        {"an empty file", true, "", open_lines},
        {"version 2", true, "I\n2 version\n0 File\n-\n", open_lines},
        {"version 0", true, "I\n0 version\n", open_lines},
        {"no letter line", true, "1 version\n0 File\n-\n", open_lines},
        {"a binary header", true, std::string("i\x01\0\0\0", 5), open_lines},
        {"the letter alone", true, "I", open_lines},
        {"a header that is no number", true, std::string(kHeader) + "x File\n-\n",
         "Parent item out of range in create_menu!\n\n\n\n\n\nFile\n\n"},
        {"a header naming no item", true, std::string(kHeader) + "5 Sub\n-\n",
         "Parent item out of range in create_menu!\n\n\n\n\n\nSub\n\n"},
        {"a header of '-' and a blank", true, std::string(kHeader) + "- \n-\n",
         "Parent item out of range in create_menu!\n\n\n\n\n\n\n\n"},
        {"a huge parent code", true, std::string(kHeader) + "999999999 Sub\n-\n",
         "Parent item out of range in create_menu!\n\n\n\n\n\nSub\n\n"},
        {"an item of 40 characters", true,
         std::string(kHeader) + "0 File\n1 " + std::string(40, 'y') + "\n-\n",
         "Menu name too long in append_menu!\n\n\n\n\n\n" + std::string(40, 'y') + "\n\n"},
        {"301 items", true, many_items,
         "Item index out of range in append_menu!\n\n\n\n\n\ni300\n\n"},
        {"1521 blocks", true, many_blocks,
         "Menu index out of range in create_menu!\n\n\n\n\n\nT\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unlink("menus/english/m.txt");
        if (c.present) put("menus/english/m.txt", c.file);
        const ChildResult r = run_in_child([] {
            VOVARU_clear_menus(1);
            mnw.res_y = 768;
            VOVARU_read_menus("", "m.txt");
            std::printf("returned\n");
        });
        EXPECT_TRUE(r.aborted());
        EXPECT_EQ(r.out, "Didozuroz Error:\n" + c.lines + "Sorry.\n");
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    }

    // The English file does not stand in for a missing Korean one.
    put("menus/english/m.txt", std::string(kHeader) + "0 File\n-\n");
    const ChildResult r = run_in_child([] {
        VOVARU_clear_menus(1);
        mnw.lang = kMenuLangKorean;
        VOVARU_read_menus("", "m.txt");
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("Cannot open file!\n\nmenus/korean/m.txt\n"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------------------
// The Korean font (texture 393)

namespace
{
int font_alpha(const std::string& font, int byte, int x, int y)
{
    const int tx = (byte % kMenuFontCols) * kMenuFontCell + x;
    const int ty = (byte / kMenuFontCols) * kMenuFontCell + y;
    return static_cast<unsigned char>(font[size_t(4 * (kMenuFontTexSide * ty + tx) + 3)]);
}
} // namespace

// The letters lie inside the cell rows that a menu item shows, and only the
// letters' cells have ink. (That the generator draws the same bytes again is
// checked with the atlas, in Accents.AtlasGeneratorIsDeterministic.)
TEST(MenuFont, LettersLieWhereTheTextExpectsThem)
{
    const std::string font(reinterpret_cast<const char*>(t_menu_font_dat), kMenuFontBytes);
    int letters = 0;
    for (int b = 0; b < 4 * kMenuFontCols; ++b) {
        if (b % kMenuFontCols == kMenuFontCols - 1) continue; // wraps past the texture
        int ink = 0, outside = 0;
        for (int y = 0; y < kMenuFontCell; ++y)
            for (int x = 0; x < kMenuFontCell; ++x) {
                if (font_alpha(font, b, x, y) < 40) continue;
                ++ink;
                if (y < kMenuFontInkLow || x == kMenuFontCell - 1) ++outside;
            }
        EXPECT_EQ(outside, 0) << "byte " << b;
        if (menu_font_letter(b)) {
            EXPECT_GT(ink, 8) << "byte " << b;
            ++letters;
        } else {
            EXPECT_EQ(ink, 0) << "byte " << b;
        }
    }
    EXPECT_EQ(letters, kMenuFontConsonants + kMenuFontVowels);
    // A consonant and a vowel are real letters of some size: ㄱ spans at
    // least half the cell both ways, ㅣ is a tall bar.
    int gx0 = 99, gx1 = -1, gy0 = 99, gy1 = -1;
    for (int y = 0; y < kMenuFontCell; ++y)
        for (int x = 0; x < kMenuFontCell; ++x)
            if (font_alpha(font, kMenuFontFirstConsonant, x, y) >= 128) {
                gx0 = std::min(gx0, x);
                gx1 = std::max(gx1, x);
                gy0 = std::min(gy0, y);
                gy1 = std::max(gy1, y);
            }
    EXPECT_GE(gx1 - gx0, 6);
    EXPECT_GE(gy1 - gy0, 6);
    int bar = 0;
    const int i_byte = kMenuFontFirstVowel + kMenuFontVowels - 1; // ㅣ
    for (int y = 0; y < kMenuFontCell; ++y)
        for (int x = 0; x < kMenuFontCell; ++x)
            bar += font_alpha(font, i_byte, x, y) >= 128;
    EXPECT_GE(bar, 8);
}

// A Korean menu read from a file and opened in a real window: start-up has
// loaded the font, nothing raises "missing non-scenery texture", and the
// letters show texel for texel. ZUDEZUD_SHOTS_DIR, when set, receives
// "korean_menu.png".
TEST(MenuFont, KoreanMenuDrawnInAWindow)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempCwd cwd;
    xvfb_open_shell_window();
    // The font slot: 512 x 512, its stored rows then nothing; the atlas is
    // still what start-up samples.
    const auto& d = tman.ref_dat[size_t(kTexFixedFont)];
    EXPECT_EQ(d.state, kTexStateLoaded);
    EXPECT_EQ(d.tex_dx, 512);
    EXPECT_EQ(d.tex_dy, 512);
    EXPECT_EQ(tman.slot_for_name("scratch_array:hardwired textures"), 390);
    EXPECT_EQ(scratch_dx, 512);
    EXPECT_EQ(std::memcmp(scratch_array, t_interface_dat, kTexesInterfaceBytes), 0);
    tman.bind_ref(kTexFixedFont, 0, 0);
    std::vector<unsigned char> tex(512 * 512 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
    EXPECT_EQ(std::memcmp(tex.data(), t_menu_font_dat, kMenuFontBytes), 0);
    size_t above = 0;
    for (size_t i = kMenuFontBytes; i < tex.size(); ++i)
        above += tex[i] != 0;
    EXPECT_EQ(above, 0u);

    // ㄱ ㅏ as the title, ㄱ ㅏ ㄲ as the item.
    mnw.lang = kMenuLangKorean;
    put("menus/korean/bar.txt", std::string(kHeader) + "0 40 80\n7 40 80 41\n-\n");
    VOVARU_read_menus("", "bar.txt");
    ASSERT_EQ(menu[0].items.size(), 1u);
    const item_struct& item = menu[0].items[0];
    EXPECT_EQ(item.y1, 734);

    colr.assign(34, 0, 0, 0); // background: black
    colr.assign(38, 1, 1, 1); // menu text: white
    colr.assign(36, 1, 1, 1); // the open title's highlight
    VOVARU_set_app_update_hook([] { OGL_plot_back_col(); });
    AlertProbe probe;
    mnw.mouse_x = 900; // nothing hovered
    mnw.mouse_y = 100;
    VOVARU_event_proc();
    mnw.menu_open = 0;
    VOVARU_event_proc();
    VOVARU_event_proc();
    EXPECT_EQ(probe.count(), 0u) << probe.last().lines[0];
    const ShownPixels shown = xvfb_shown_frame("korean_menu.png");
    ASSERT_EQ(shown.w, 1024);

    // Glyph k of a line drawn at (x, y) covers x + 15k .. + 13, from y - 6
    // up. The title lies on the light bar and under the open title's
    // highlight (white here): only its letters' full texels are checked.
    const std::string font(reinterpret_cast<const char*>(t_menu_font_dat), kMenuFontBytes);
    struct line {
        const char* what;
        int x, y;
        std::string text;
        bool on_dark;
    } lines[] = {
        {"title", menu[0].x1 + 10, menu[0].y1 + 6, menu[0].title, false},
        {"item", item.x1 + 18, item.y1 + 3, item.text, true},
    };
    for (const line& l : lines) {
        SCOPED_TRACE(l.what);
        int lit = 0, dark = 0;
        for (size_t k = 0; k < l.text.size(); ++k) {
            const int b = static_cast<unsigned char>(l.text[k]);
            if (!menu_font_letter(b)) continue;
            for (int y = 0; y < kMenuFontCell; ++y)
                for (int x = 0; x < kMenuFontCell; ++x) {
                    const int a = font_alpha(font, b, x, y);
                    const unsigned char* p =
                        shown.at(l.x + kMenuFontAdvance * int(k) + x, l.y - 6 + y);
                    const int sum = p[0] + p[1] + p[2];
                    if (a == 255) {
                        EXPECT_GE(sum, 3 * 250) << "byte " << b << " at " << x << "," << y;
                        ++lit;
                    } else if (a == 0 && l.on_dark) {
                        EXPECT_LT(sum, 3 * 150) << "byte " << b << " at " << x << "," << y;
                        ++dark;
                    }
                }
        }
        EXPECT_GT(lit, 12);
        // The text ends inside its title or item.
        const int right = l.x + kMenuFontAdvance * int(l.text.size() - 1) + kMenuFontCell;
        EXPECT_LE(right, l.on_dark ? item.x2 : menu[0].x2);
        if (l.on_dark) {
            EXPECT_GT(dark, 100);
        }
    }
    VOVARU_set_app_update_hook(nullptr);
    mnw.lang = 0;
}
