// Bitmap text layout and number text, as plain functions (no window).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OOPS_cpp/oglp_text.h"
#include "support/alert_probe.h"

namespace
{

TEST(TextLayout, ProportionalAdvances)
{
    struct Case {
        std::string text;
        float width;
    } cases[] = {
        {"Hello", 27}, // 8 + 6 + 3 + 3 + 7
        {"", 0},
        {"\"{}~", 0}, // no glyph, no room
        {"\r\n\t", 0},
        {",.", 4},
        {"MmW%", 42},
        {"\xC1\xE1\xBF", 18}, // accented letters and the inverted question mark
        {"\xFB", 3},          // degree sign
        {"0123456789", 60},
        {std::string("\x80\xFF", 2), 0}, // unlisted high bytes
    };
    for (const Case& c : cases)
        EXPECT_EQ(OGL_text_width(c.text), c.width) << c.text;
}

// Every byte's advance, listed by width; a byte in no row has none.
TEST(TextLayout, AdvanceOfEveryByte)
{
    const struct {
        int advance;
        const char* bytes;
    } widths[] = {
        {2, ",."},
        {3, " '/:;I\\`ijl|\xFB"},
        {4, "!()-J[]frst"},
        {5, "c"},
        {6, "#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA"},
        {7, "+<=>BCKRVXYbdghnopqu"},
        {8, "&ADGHNU"},
        {9, "@OQw"},
        {10, "Mm"},
        {11, "%W"},
    };
    int expected[256] = {};
    for (const auto& w : widths)
        for (const char* p = w.bytes; *p; ++p) {
            const unsigned char b = static_cast<unsigned char>(*p);
            ASSERT_EQ(expected[b], 0) << "byte " << int(b) << " listed twice";
            expected[b] = w.advance;
        }
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(OGL_prop_advance(static_cast<unsigned char>(b)), expected[b]) << "byte " << b;
        EXPECT_EQ(OGL_char_advance(b), expected[b]) << "byte " << b;
    }
}

TEST(TextLayout, GlyphCells)
{
    struct Case {
        int ch, col, row;
    } cases[] = {
        {' ', 0, 0},   {'0', 1, 0},  {'A', 11, 0}, {'a', 12, 0}, {'e', 20, 0},
        {'F', 0, 1},   {'P', 20, 1}, {'p', 0, 2},  {'z', 20, 2}, {'!', 0, 3},
        {';', 20, 3},  {'<', 0, 4},  {0xFB, 7, 4}, {0xC1, 8, 4}, {0xE1, 9, 4},
        {0xBF, 20, 4}, {'"', 0, 0},  {'~', 0, 0},  {0x7F, 0, 0}, {-63, 8, 4}, // 0xC1 as signed char
    };
    for (const Case& c : cases) {
        int col = -1, row = -1;
        OGL_glyph_cell(c.ch, &col, &row);
        EXPECT_EQ(col, c.col) << c.ch;
        EXPECT_EQ(row, c.row) << c.ch;
    }
}

TEST(TextLayout, AlignmentUsesTheWholeSumWithItsFraction)
{
    EXPECT_EQ(OGL_align_x(100, "Hello", 0), 100);
    EXPECT_EQ(OGL_align_x(100, "Hello", 1), 86.5f);
    EXPECT_EQ(OGL_align_x(100, "Hello", 2), 73);
    EXPECT_EQ(OGL_align_x(100, "Hello", 7), 100); // other values act as left
}

TEST(TextLayout, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(OGL_round_half_away(10.5f), 11);
    EXPECT_EQ(OGL_round_half_away(-10.5f), -11);
    EXPECT_EQ(OGL_round_half_away(10.49f), 10);
    EXPECT_EQ(OGL_round_half_away(-0.4f), 0);
}

std::vector<std::string> texts(const std::vector<text_line>& lines)
{
    std::vector<std::string> out;
    for (const text_line& l : lines)
        out.push_back(l.text);
    return out;
}

TEST(TextLayout, WrapRules)
{
    struct Case {
        std::string text;
        float wrap;
        int adv;
        std::vector<std::string> lines;
        int drop;
    } cases[] = {
        {"aaaa bbbb", 100, 0, {"aaaa bbbb"}, 10},    // estimate 27 + 24 = 51
        {"aaaa bbbb", 40, 0, {"aaaa ", "bbbb"}, 20}, // breaks after the blank
        {"aaaaaaaaaa", 20, 0, {"aaaaaaaaaa"}, 10},   // a long word is never split
        {"", 100, 0, {}, 0},
        {"ab\n", 100, 0, {"ab\n"}, 10}, // drawn once, 10 below
        {"a\nb", 100, 0, {"a\n", "b"}, 20},
        {"one-two/three", 30, 0, {"one-", "two/", "three"}, 30},
        {"aaaa bbbb", 40, 10, {"aaaa ", "bbbb"}, 20}, // fixed cells: 50 + 24 > 40
        {"a b\nc", 20, 0, {"a ", "b\n", "c"}, 30},    // the line feed counts in the word
        {"a b\nc", 30, 0, {"a b\n", "c"}, 20},
    };
    for (const Case& c : cases) {
        int drop = -1;
        const auto lines = OGL_wrap_lines(c.text, c.wrap, c.adv, &drop);
        EXPECT_EQ(texts(lines), c.lines) << c.text << " wrap " << c.wrap;
        EXPECT_EQ(drop, c.drop) << c.text;
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].drop, int(10 * i));
    }
}

TEST(NumberText, ComposedTable)
{
    struct Case {
        float value;
        int digits, decimals;
        const char* text;
    } cases[] = {
        {123.456f, 5, 2, "123.46"},   {12345.678f, 7, 2, "12,345.68"},
        {-42, 5, 0, "-00,042"},       {42, 5, 0, "00,042"},
        {1500, 3, 0, "1.50x3"},       {999.4f, 2, 0, "1.00x3"},
        {5.5f, 1, 1, "0.06x2"},       {0, 1, 0, "0"},
        {123456, 4, 0, "1.23x5"},     {-0.004f, 2, 1, "0.0"},
        {1234567, 7, 0, "1,234,567"}, {-1500, 3, 0, "-1.50x3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OGL_number_text(c.value, c.digits, c.decimals), c.text)
            << c.value << " " << c.digits << " " << c.decimals;
}

std::string cells_str(float value, int digits, int decimals)
{
    std::string s;
    for (const number_glyph& g : OGL_number_cells(value, digits, decimals)) {
        if (!s.empty()) s += ' ';
        s += g.ch;
        s += '@';
        s += std::to_string(g.dx).substr(0, std::to_string(g.dx).find('.') + 2);
    }
    return s;
}

TEST(NumberText, FixedCellTable)
{
    struct Case {
        float value;
        int digits, decimals;
        const char* cells;
    } cases[] = {
        {123.456f, 5, 2, ".@35.0 1@10.0 2@20.0 3@30.0 4@40.0 6@50.0"},
        {1234567, 7, 0, ",@45.0 ,@15.0 1@10.0 2@20.0 3@30.0 4@40.0 5@50.0 6@60.0 7@70.0"},
        {-42, 3, 0, "-@1.0 0@10.0 4@20.0 2@30.0"},
        {-0.004f, 2, 1, ".@15.0 0@10.0 0@20.0"}, // no sign: a = 0.04
        {9.5f, 3, 0, "0@10.0 1@20.0 0@30.0"},    // r = 10.0
        {12345, 3, 0, "3@10.0 4@20.0 5@30.0"},   // digits beyond the count are dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(cells_str(c.value, c.digits, c.decimals), c.cells) << c.value;
}

TEST(NumberText, HugeValuesWriteZeroDigits)
{
    int digits = 0;
    for (const number_glyph& g : OGL_number_cells(1e30f, 11, 0)) {
        if (g.ch == ',') continue; // three separators for eleven places
        EXPECT_EQ(g.ch, '0');
        ++digits;
    }
    EXPECT_EQ(digits, 11);
}

TEST(TextDeath, BadCharsetIsFatal)
{
    TempCwd cwd;
    ChildResult r = run_in_child([] { OGL_string(45, 10, 10, "x", 9999, 101, 0); });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("String proc with bad charset!"), std::string::npos) << r.out;
}

} // namespace
