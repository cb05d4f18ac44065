// Bitmap text and number text.
//
// Index of this file
//   [SECTION] Glyph layout and advances
//   [SECTION] Layout (no OpenGL)
//   [SECTION] Drawing
//   [SECTION] Number text

#include "OOPS_cpp/oglp_text.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"

namespace
{

// Cell geometry of the fixed 15-pixel font (texture 393): 40 columns of 13x13.
constexpr int kFix15Cols = 40;
constexpr int kFix15Cell = 13;
// Advances of the fixed charsets.
constexpr int kFix10Advance = 10;
constexpr int kFix15Advance = 15;
// Glyph quads start this far below the pen's y.
constexpr int kGlyphDrop = 4;
// OGL_string puts the pen this far below the y it is given.
constexpr int kStringDrop = 2;
// Estimated width of each byte of the coming word while wrapping.
constexpr int kWrapByteEstimate = 6;
// The atlas the glyph cells are addressed in.
constexpr float kAtlasSize = 512.0f;

// ---------------------------------------------------------------------------
// [SECTION] Glyph layout and advances
// ---------------------------------------------------------------------------
struct CellTable {
    int8_t col[256], row[256];
    CellTable()
    {
        for (int i = 0; i < 256; ++i)
            col[i] = row[i] = 0; // unknown bytes: the blank cell
        for (int r = 0; r < kGlyphRows; ++r)
            for (int c = 0; c < kGlyphCols; ++c) {
                col[kGlyphLayout[r][c]] = int8_t(c);
                row[kGlyphLayout[r][c]] = int8_t(r);
            }
    }
};
const CellTable& cells()
{
    static const CellTable t;
    return t;
}

bool is_break(char b)
{
    return b == ' ' || b == '-' || b == '/';
}
bool is_skipped(char b)
{
    return b == '\r' || b == '\n' || b == '\t';
}

} // namespace

void OGL_glyph_cell(int ch, int* column, int* row)
{
    const int b = ch & 0xFF;
    *column = cells().col[b];
    *row = cells().row[b];
}

int OGL_char_advance(int ch)
{
    return OGL_prop_advance(static_cast<unsigned char>(ch & 0xFF));
}

float OGL_text_width(const std::string& text)
{
    float w = 0;
    for (char b : text)
        w += float(OGL_char_advance(b));
    return w;
}

namespace
{
constexpr unsigned kDegreeSign = 0xB0; // drawn by the atlas cell of byte 0xFB
constexpr unsigned char kDegreeByte = 0xFB;

bool has_glyph(unsigned cp)
{
    static const struct Drawn {
        bool b[256] = {};
        Drawn()
        {
            for (const auto& row : kGlyphLayout)
                for (unsigned char c : row)
                    b[c] = true;
        }
    } drawn;
    return cp < 256 && drawn.b[cp];
}

// Length of the UTF-8 sequence at s[i] and its code point; 0 when the bytes
// there are not UTF-8 (overlong forms and surrogates included).
size_t utf8_at(const std::string& s, size_t i, unsigned* cp)
{
    const unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len;
    unsigned lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b < 0x80) {
        *cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        *cp = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        *cp = b & 0x0Fu;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        *cp = b & 0x07u;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return 0;
        *cp = (*cp << 6) | (c & 0x3Fu);
    }
    return len;
}
} // namespace

std::string OGL_font_text(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        unsigned cp = 0;
        const size_t len = utf8_at(utf8, i, &cp);
        i += len ? len : 1;
        if (!len)
            out += '?';
        else if (cp == kDegreeSign)
            out += char(kDegreeByte);
        else if (cp != kDegreeByte && has_glyph(cp))
            out += char(cp);
        else
            out += '?';
    }
    return out;
}

int OGL_round_half_away(float v)
{
    return v >= 0 ? int(v + 0.5f) : -int(-v + 0.5f);
}

// ---------------------------------------------------------------------------
// [SECTION] Layout (no OpenGL)
// ---------------------------------------------------------------------------
float OGL_align_x(float x, const std::string& text, int align)
{
    if (align == 1) return x - OGL_text_width(text) * 0.5f;
    if (align == 2) return x - OGL_text_width(text);
    return x;
}

// Lines end only at a blank, '-', '/' or line feed and keep that byte; the
// coming word is estimated at 6 pixels a byte rather than measured.
std::vector<text_line> OGL_wrap_lines(const std::string& text, float wrap, int adv,
                                      int* result_drop)
{
    std::vector<text_line> lines;
    int drop = 0;
    std::string buf;
    float pen = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char b = text[i];
        buf += b;
        const int e = adv > 0 ? adv : OGL_char_advance(b);
        if (b == '\n') {
            lines.push_back({buf, drop});
            drop += kTextLineStep;
            buf.clear();
            pen = 0;
            continue;
        }
        pen += float(e);
        if (i + 1 == n) {
            lines.push_back({buf, drop});
            drop += kTextLineStep;
            buf.clear();
            break;
        }
        if (is_break(b)) {
            int coming = 0;
            for (size_t j = i + 1; j < n && !is_break(text[j]); ++j)
                ++coming;
            if (pen + float(kWrapByteEstimate * coming) > wrap) {
                lines.push_back({buf, drop});
                drop += kTextLineStep;
                buf.clear();
                pen = 0;
            }
        }
    }
    if (result_drop) *result_drop = drop;
    return lines;
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing
// ---------------------------------------------------------------------------
int OGL_strtex(int charset, int colour, float* s0, float* t0, float* cell_w, float* cell_h)
{
    if (charset != kCharsetProp && charset != kCharsetFix10 && charset != kCharsetFix15) {
        __VOVARU_alert(0, "String proc with bad charset!", "", "", "", t_exit, __FILE__, __LINE__);
        std::abort(); // the fatal alert does not return
    }
    OGL_setstate(kFogOff, 1, kLightOff, kBlendOn, kDepthOff, kDepthNoWrite);
    float c[4];
    if (OGL_colour_for(colour, 1.0f, c))
        glColor3fv(c);
    else
        glColor4f(c[0], c[1], c[2], c[3]);
    tman.bind_ref(charset == kCharsetFix15 ? kTexFixedFont : kTexInterface, 0, 0);
    *s0 = 0;
    *t0 = 0;
    if (charset == kCharsetFix15) {
        *cell_w = *cell_h = float(kFix15Cell);
        return kFix15Advance;
    }
    *cell_w = float(kGlyphCellW);
    *cell_h = float(kGlyphCellH);
    return charset == kCharsetFix10 ? kFix10Advance : 0;
}

void OGL_char(float x, float y, float s0, float t0, float cell_w, float cell_h, int ch, int charset)
{
    int column, row;
    if (charset == kCharsetFix15) {
        column = ch % kFix15Cols;
        row = ch / kFix15Cols;
    } else {
        OGL_glyph_cell(ch, &column, &row);
    }
    const float s = (s0 + float(column) * cell_w) / kAtlasSize;
    const float t = (t0 + float(row) * cell_h) / kAtlasSize;
    const float ds = cell_w / kAtlasSize, dt = cell_h / kAtlasSize;
    const float px = float(int(x)), py = float(int(y) - kGlyphDrop);
    float w = cell_w, h = cell_h;
    if (oglp.text_scale > 1) {
        w *= oglp.text_scale;
        h *= oglp.text_scale;
    }
    glTexCoord2f(s, t);
    glVertex2f(px, py);
    glTexCoord2f(s, t + dt);
    glVertex2f(px, py + h);
    glTexCoord2f(s + ds, t + dt);
    glVertex2f(px + w, py + h);
    glTexCoord2f(s + ds, t);
    glVertex2f(px + w, py);
}

void str_one_line(int colour, float x, float y, const std::string& text, int charset, int align)
{
    float s0, t0, cw, ch;
    const int adv = OGL_strtex(charset, colour, &s0, &t0, &cw, &ch);
    x = OGL_align_x(x, text, align);
    glBegin(GL_QUADS);
    for (char b : text) {
        if (is_skipped(b)) continue;
        OGL_char(x, y, s0, t0, cw, ch, static_cast<signed char>(b), charset);
        x += float(adv > 0 ? adv : OGL_char_advance(b));
    }
    glEnd();
}

float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int charset,
                 int align)
{
    float s0, t0, cw, ch;
    const int adv = OGL_strtex(charset, colour, &s0, &t0, &cw, &ch);
    const float X = float(OGL_round_half_away(x + mnw.win_x));
    float Y = float(OGL_round_half_away(y + mnw.win_y - kStringDrop));
    if (wrap <= 0 || wrap >= kTextNoWrap) {
        str_one_line(colour, X, Y, text, charset, align);
    } else {
        int drop = 0;
        for (const text_line& l : OGL_wrap_lines(text, wrap, adv, &drop))
            str_one_line(colour, X, Y - float(l.drop), l.text, charset, align);
        Y -= float(drop);
    }
    return Y - mnw.win_y + kStringDrop;
}

// ---------------------------------------------------------------------------
// [SECTION] Number text
// ---------------------------------------------------------------------------
namespace
{

constexpr int kNumberMaxCells = 11; // digits drawn at most on the fixed-cell path

struct NumberParts {
    double a = 0, r = 0;
    bool negative = false;
    int n = 1; // integer digits of a
    int k = 0; // integer places asked for
};

NumberParts number_parts(float value, int digits, int decimals)
{
    NumberParts p;
    p.a = std::fabs(double(value)) * std::pow(10.0, decimals);
    p.r = p.a + 0.5;
    p.negative = value < 0 && p.a > 0.1;
    const double a = p.a;
    p.n = a <= 9 ? 1 : 2;
    if (a > 99) p.n = 3;
    if (a > 999) p.n = 4;
    if (a > 9999) p.n = 5;
    if (a > 99999) p.n = 6;
    if (a > 999999) p.n = 7;
    if (a > 9999999) p.n = 8;
    if (a > 100000000) p.n = 9;
    if (a > 1000000000) p.n = 10;
    p.k = digits - decimals;
    return p;
}

// Digit j of r; 0 where r / 10^j is beyond the int range.
char digit_of(double r, int j)
{
    const double q = std::trunc(r / std::pow(10.0, j));
    if (!(q >= 0 && q < 2147483648.0)) return '0';
    const int d = int(q) % 10;
    return char('0' + (d >= 0 && d <= 9 ? d : 0));
}

} // namespace

std::vector<number_glyph> OGL_number_cells(float value, int digits, int decimals)
{
    const NumberParts p = number_parts(value, digits, decimals);
    std::vector<number_glyph> g;
    const float cell = float(kFix10Advance);
    if (p.negative) g.push_back({'-', 1});
    if (decimals > 0) g.push_back({'.', (float(p.k) + 0.5f) * cell});
    for (int sep = 3; sep <= 9; sep += 3)
        if (p.k > sep) g.push_back({',', (float(p.k - sep) + 0.5f) * cell});
    const int m = digits < kNumberMaxCells ? digits : kNumberMaxCells;
    float pen = 0;
    for (int j = m - 1; j >= 0; --j) {
        pen += cell;
        g.push_back({digit_of(p.r, j), pen});
    }
    return g;
}

std::string OGL_number_text(float value, int digits, int decimals)
{
    NumberParts p = number_parts(value, digits, decimals);
    std::string s = p.negative ? "-" : "";
    if (p.n < decimals + 1) p.n = decimals + 1;
    if (digits < p.n) {
        // Too many digits: mantissa and power of ten, 123456 in 4 digits is 1.23x5.
        float f = std::fabs(value);
        int e = 2;
        while (f >= 999) {
            f *= 0.1f;
            ++e;
        }
        const int q = int(f + 0.5f);
        s += char('0' + (q / 100) % 10);
        s += '.';
        s += char('0' + (q / 10) % 10);
        s += char('0' + q % 10);
        s += 'x';
        s += char('0' + (e < 10 ? e : 0));
        return s;
    }
    for (int i = digits; i >= 1; --i) {
        const int c = i - decimals;
        if (i == decimals && p.k > 0)
            s += '.';
        else if ((c == 3 || c == 6 || c == 9) && p.k > c)
            s += ',';
        s += digit_of(p.r, i - 1);
    }
    return s;
}

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int charset)
{
    if (charset != kCharsetFix10) {
        OGL_string(colour, x, y, OGL_number_text(value, digits, decimals), kTextNoWrap, charset, 0);
        return;
    }
    float s0, t0, cw, ch;
    OGL_strtex(kCharsetFix10, colour, &s0, &t0, &cw, &ch);
    const float x0 = float(OGL_round_half_away(x + mnw.win_x) - kFix10Advance);
    const float y0 = float(OGL_round_half_away(y + mnw.win_y) - kStringDrop);
    glBegin(GL_QUADS);
    for (const number_glyph& g : OGL_number_cells(value, digits, decimals))
        OGL_char(x0 + g.dx, y0, s0, t0, cw, ch, g.ch, kCharsetFix10);
    glEnd();
}
