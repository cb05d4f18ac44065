// The text editor engine.
//
// Index of this file
// [SECTION] Text, lines and measures
// [SECTION] Record and selection
// [SECTION] Layout (word wrap)
// [SECTION] Points, vertical moves and reveal
// [SECTION] Drawing
// [SECTION] Mouse and keys
//
// The host may change its text behind the engine's back, answer with odd
// measures or give a line height of 0, so every position handed to a callback
// is clamped into the text and every line number derived from a coordinate is
// bounded before it becomes an int.
#include "OOPS_cpp/ogle.h"

#include <algorithm>
#include <climits>
#include <cmath>

//-----------------------------------------------------------------------------
// [SECTION] Text, lines and measures
//-----------------------------------------------------------------------------

namespace
{

struct Text {
    const char* b;
    int len;
};

Text text_of(OGLE_Rec* rec)
{
    const char* b = nullptr;
    const char* e = nullptr;
    rec->cb.GetText(rec, &b, &e);
    if (!b || !e || e < b) return {"", 0};
    return {b, int(std::min<long long>(e - b, INT_MAX))};
}

int clamp_pos(int pos, int len)
{
    return std::max(0, std::min(pos, len));
}

// Characters of line i, both ends clamped into the text, so that a layout older
// than the text never hands the host a run beyond its end.
void line_span(const OGLE_Rec* rec, int i, int len, int* s, int* e)
{
    const std::vector<int>& starts = rec->line_starts;
    *s = clamp_pos(starts[i], len);
    *e = size_t(i) + 1 < starts.size() ? clamp_pos(starts[i + 1], len) : len;
}

int line_count(const OGLE_Rec* rec)
{
    return int(rec->line_starts.size());
}

float measure(OGLE_Rec* rec, const Text& t, int a, int b)
{
    a = clamp_pos(a, t.len);
    b = clamp_pos(b, t.len);
    if (a >= b) return 0;
    return rec->cb.MeasureString(rec, t.b + a, t.b + b);
}

// The host's hit count within one line, kept inside that line.
int fit(OGLE_Rec* rec, const Text& t, int s, int e, float width)
{
    int n = rec->cb.FitStringFwd(rec, t.b + s, t.b + e, width);
    return std::max(0, std::min(n, e - s));
}

// A line height that is not a positive number counts as 0: every line is then
// a band of no height at the top edge, and no coordinate becomes NaN.
float line_height(OGLE_Rec* rec)
{
    float lh = rec->cb.GetLineHeight(rec);
    return lh > 0 && std::isfinite(lh) ? lh : 0;
}

// Lines from the top edge down to the distance d, without dividing by zero.
double lines_down(double d, float lh)
{
    if (lh > 0) return d / lh;
    return d > 0 ? HUGE_VAL : (d < 0 ? -HUGE_VAL : 0);
}

// v into lo .. hi as an int; NaN gives lo.
int to_index(double v, int lo, int hi)
{
    if (!(v >= lo)) return lo;
    if (v > hi) return hi;
    return int(v);
}

// Blank: white space other than CR and LF (the default locale's isspace).
bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}
bool is_break(char c)
{
    return c == '\r' || c == '\n';
}

void settle(OGLE_Rec* rec, int len)
{
    if (rec->sel_end < rec->sel_start) {
        std::swap(rec->sel_start, rec->sel_end);
        rec->active_end = 1 - rec->active_end;
    }
    rec->sel_end = clamp_pos(rec->sel_end, len);
    rec->sel_start = clamp_pos(rec->sel_start, len);
}

} // namespace

//-----------------------------------------------------------------------------
// [SECTION] Record and selection
//-----------------------------------------------------------------------------

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* refcon)
{
    OGLE_Rec* rec = new OGLE_Rec;
    rec->cb = *callbacks;
    rec->refcon = refcon;
    return rec;
}

void OGLE_Destroy(OGLE_Rec* rec)
{
    delete rec;
}

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end)
{
    if (start) *start = rec->sel_start;
    if (end) *end = rec->sel_end;
}

void OGLE_SetSelection(OGLE_Rec* rec, int start, int end)
{
    rec->sel_start = start;
    rec->sel_end = end;
    settle(rec, text_of(rec).len);
}

void OGLE_Repaginate(OGLE_Rec* rec)
{
    OGLE_RepaginateInternal(rec);
}

//-----------------------------------------------------------------------------
// [SECTION] Layout (word wrap)
//-----------------------------------------------------------------------------

int OGLE_CharPosToLine(const OGLE_Rec* rec, int pos)
{
    const std::vector<int>& starts = rec->line_starts;
    if (starts.empty() || pos < 0) return -1;
    auto it = std::lower_bound(starts.begin(), starts.end(), pos);
    if (it == starts.end()) return line_count(rec) - 1;
    int i = int(it - starts.begin());
    return *it == pos ? i : i - 1;
}

namespace
{

// Length of the line starting at pos. Trailing blanks never wrap; a word wider
// than the whole width is cut to one character per line. Every line holds at
// least one character, whatever the measures, so the layout always ends.
int line_length(OGLE_Rec* rec, const Text& t, int pos, float wrap)
{
    const char* end = t.b + t.len;
    const char* p = t.b + pos;
    int n = 0;
    float a = 0;
    while (p < end) {
        const char* q = p;
        while (q < end && is_blank(*q))
            ++q;
        if (q == end) return n + int(end - p);
        float wb = q > p ? rec->cb.MeasureString(rec, p, q) : 0;
        n += int(q - p);
        if (is_break(*q)) return n + 1;
        // A word break that does not move forward would never end the line.
        const char* w = rec->cb.WordBreak(rec, q, end);
        if (!w || w <= q) w = q + 1;
        if (w > end) w = end;
        a += wb + rec->cb.MeasureString(rec, q, w);
        if (a > wrap) return n == 0 ? 1 : n;
        n += int(w - q);
        p = w;
    }
    return n;
}

} // namespace

void OGLE_RepaginateInternal(OGLE_Rec* rec)
{
    float box[4];
    rec->cb.GetLogicalBounds(rec, box);
    float wrap = box[2] - box[0];
    Text t = text_of(rec);
    float lh = line_height(rec);

    // Overwritten in place and cut, so steady editing keeps the same storage.
    std::vector<int>& starts = rec->line_starts;
    if (starts.empty()) starts.push_back(0);
    starts[0] = 0;
    int pos = 0;
    size_t line = 0;
    for (;;) {
        pos += line_length(rec, t, pos, wrap);
        ++line;
        if (pos >= t.len) {
            starts.resize(line);
            break;
        }
        if (line < starts.size())
            starts[line] = pos;
        else
            starts.push_back(pos);
    }
    rec->cb.SetLogicalHeight(rec, float(starts.size()) * lh);
}

//-----------------------------------------------------------------------------
// [SECTION] Points, vertical moves and reveal
//-----------------------------------------------------------------------------

int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y)
{
    float box[4];
    rec->cb.GetLogicalBounds(rec, box);
    Text t = text_of(rec);
    float lh = line_height(rec);
    if (x > box[2]) x = box[2];
    if (x < box[0]) x = box[0];
    int count = line_count(rec);
    int line = to_index(std::floor(lines_down(double(box[3]) - y, lh)), -1, count);
    if (line < 0) return 0;
    if (line >= count) return t.len;
    int s, e;
    line_span(rec, line, t.len, &s, &e);
    return s + fit(rec, t, s, e, x - box[0]);
}

int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int pos, int delta_lines, float& kept_x)
{
    Text t = text_of(rec);
    pos = clamp_pos(pos, t.len);
    int line = OGLE_CharPosToLine(rec, pos);
    int s, e;
    if (kept_x == -1) {
        s = 0;
        if (line >= 0) line_span(rec, line, t.len, &s, &e);
        kept_x = measure(rec, t, s, pos);
    }
    long long target = (long long)line + delta_lines;
    if (target < 0) return 0;
    if (target >= line_count(rec)) return t.len;
    line_span(rec, int(target), t.len, &s, &e);
    return s + fit(rec, t, s, e, kept_x);
}

void OGLE_RevealSelection(OGLE_Rec* rec)
{
    float vis[4], log[4];
    rec->cb.GetVisibleBounds(rec, vis);
    rec->cb.GetLogicalBounds(rec, log);
    Text t = text_of(rec);
    float lh = line_height(rec);

    int caret = clamp_pos(rec->active_end ? rec->sel_end : rec->sel_start, t.len);
    int line = OGLE_CharPosToLine(rec, caret);
    int s = 0, e;
    if (line >= 0) line_span(rec, line, t.len, &s, &e);
    float x = log[0] + measure(rec, t, s, caret);

    float ox0 = vis[0] - log[0], oy0 = vis[1] - log[1];
    float ox = ox0, oy = oy0;
    if (x < vis[0]) ox = x - log[0];
    if (x > vis[2]) ox = x - log[0] - (vis[2] - vis[0]);

    // The caret's whole line is brought into view; when the line is taller
    // than the box, its top wins.
    float band_top = log[3] - float(std::max(line, 0)) * lh;
    float band_bottom = band_top - lh;
    if (band_bottom < vis[1]) oy = band_bottom - log[1];
    if (band_top > vis[3]) oy = band_top - log[1] - (vis[3] - vis[1]);

    if (ox != ox0 || oy != oy0) {
        float offset[2] = {ox, oy};
        rec->cb.ScrollTo(rec, offset);
    }
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

void OGLE_Draw(OGLE_Rec* rec, int active)
{
    float vis[4], log[4];
    rec->cb.GetVisibleBounds(rec, vis);
    rec->cb.GetLogicalBounds(rec, log);
    Text t = text_of(rec);
    float lh = line_height(rec);
    const float L = log[0], R = log[2], T = log[3];
    int count = line_count(rec);

    // Only the lines that meet the visible box; a text wholly above or below
    // it draws nothing.
    int first = to_index(std::floor(lines_down(double(T) - vis[3], lh)), 0, count);
    int last = to_index(std::ceil(lines_down(double(T) - vis[1], lh)), 0, count);
    auto band_top = [&](int i) { return T - float(i) * lh; };

    int ss = clamp_pos(rec->sel_start, t.len);
    int se = clamp_pos(rec->sel_end, t.len);
    int s, e;
    if (ss < se) {
        for (int i = first; i < last; ++i) {
            line_span(rec, i, t.len, &s, &e);
            if (e <= ss) continue;
            if (s >= se) break;
            float left, right;
            if (s < ss) {
                left = L + measure(rec, t, s, ss);
                right = se < e ? L + measure(rec, t, s, se) : R;
            } else {
                left = L;
                right = e < se ? R : L + measure(rec, t, s, se);
            }
            // A zero-wide piece (characters without width) would read as the caret.
            if (left == right) continue;
            float box[4] = {left, band_top(i + 1), right, band_top(i)};
            rec->cb.DrawSelection(rec, box);
        }
    }

    for (int i = first; i < last; ++i) {
        line_span(rec, i, t.len, &s, &e);
        rec->cb.DrawString(rec, t.b + s, t.b + e, L, band_top(i + 1));
    }

    // A caret at a wrap point shows at the start of the next line; at the
    // text's end, at the end of the last line.
    if (active && ss == se && first < last) {
        for (int i = first; i < last; ++i) {
            line_span(rec, i, t.len, &s, &e);
            if (s > ss) break;
            if (ss < e || (ss == e && i == count - 1)) {
                float x = L + measure(rec, t, s, ss);
                float box[4] = {x, band_top(i + 1), x, band_top(i)};
                rec->cb.DrawSelection(rec, box);
                break;
            }
        }
    }
}

//-----------------------------------------------------------------------------
// [SECTION] Mouse and keys
//-----------------------------------------------------------------------------

void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend)
{
    rec->sticky_x = -1;
    int pos = OGLE_CoordToCharPos(rec, x, y);
    if (!extend) {
        rec->sel_start = rec->sel_end = pos;
        rec->active_end = 1;
    } else if (pos < rec->sel_start) {
        rec->sel_start = pos;
        rec->active_end = 0;
    } else {
        rec->sel_end = pos;
        rec->active_end = 1;
    }
    settle(rec, text_of(rec).len);
    OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y)
{
    rec->sticky_x = -1;
    int pos = OGLE_CoordToCharPos(rec, x, y);
    (rec->active_end ? rec->sel_end : rec->sel_start) = pos;
    settle(rec, text_of(rec).len);
    OGLE_RevealSelection(rec);
}

namespace
{

void move_key(OGLE_Rec* rec, unsigned char key, int shift)
{
    int& active = rec->active_end ? rec->sel_end : rec->sel_start;
    bool caret = rec->sel_start == rec->sel_end;
    switch (key) {
    case kOGLE_Left:
        if (shift)
            active -= 1;
        else if (caret)
            rec->sel_start = rec->sel_end = rec->sel_start - 1;
        else
            rec->sel_end = rec->sel_start;
        break;
    case kOGLE_Right:
        if (shift)
            active += 1;
        else if (caret)
            rec->sel_start = rec->sel_end = rec->sel_end + 1;
        else
            rec->sel_start = rec->sel_end;
        break;
    case kOGLE_Up:
    case kOGLE_Down: {
        int delta = key == kOGLE_Up ? -1 : 1;
        if (shift)
            active = OGLE_CharPosVerticalAdjust(rec, active, delta, rec->sticky_x);
        else if (caret)
            rec->sel_start = rec->sel_end =
                OGLE_CharPosVerticalAdjust(rec, rec->sel_start, delta, rec->sticky_x);
        else if (key == kOGLE_Up)
            rec->sel_end = rec->sel_start;
        else
            rec->sel_start = rec->sel_end;
        break;
    }
    }
    settle(rec, text_of(rec).len);
    OGLE_RevealSelection(rec);
}

void backspace(OGLE_Rec* rec)
{
    if (rec->sel_start < rec->sel_end) {
        rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_end, nullptr, nullptr);
    } else if (rec->sel_start > 0) {
        rec->sel_start -= 1;
        rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_end, nullptr, nullptr);
    } else {
        rec->active_end = 1;
        return;
    }
    rec->sel_end = rec->sel_start;
    rec->active_end = 1;
    OGLE_RepaginateInternal(rec);
    settle(rec, text_of(rec).len);
    OGLE_RevealSelection(rec);
}

// The typed character replaces the selection. A host whose text may not grow
// leaves it unchanged: the length then differs from that of the replacement,
// and the insertion is refused as a whole, with the selection kept.
void insert(OGLE_Rec* rec, char ch)
{
    int old_len = text_of(rec).len;
    int s = rec->sel_start, e = rec->sel_end;
    rec->cb.ReplaceText(rec, s, e, &ch, &ch + 1);
    int len = text_of(rec).len;
    if (len == old_len - (e - s) + 1) {
        rec->sel_start = rec->sel_end = s + 1;
        rec->active_end = 1;
    }
    OGLE_RepaginateInternal(rec);
    settle(rec, len);
    OGLE_RevealSelection(rec);
}

} // namespace

void OGLE_Key(OGLE_Rec* rec, char key, int shift)
{
    // Every code but Backspace and the arrows is text: a tab, a line break
    // or an accented byte. Which keys type what is the key mapping's and the
    // host's choice (the text field hands over printable ASCII only).
    unsigned char k = static_cast<unsigned char>(key);
    bool is_move = k >= kOGLE_Left && k <= kOGLE_Down;

    if (k != kOGLE_Up && k != kOGLE_Down) rec->sticky_x = -1;
    // The host may have shortened the text since the last call.
    settle(rec, text_of(rec).len);
    if (is_move)
        move_key(rec, k, shift);
    else if (k == kOGLE_Backspace)
        backspace(rec);
    else
        insert(rec, char(k));
}

//-----------------------------------------------------------------------------
// [SECTION] Host replacements
//-----------------------------------------------------------------------------

void* OGLE_GetRef(OGLE_Rec* rec)
{
    return rec->refcon;
}

void OGLE_ReplaceText(OGLE_Rec* rec, int from, int to, const char* begin, const char* end)
{
    // The host only ever sees a range inside its text.
    const int len = text_of(rec).len;
    from = clamp_pos(from, len);
    to = clamp_pos(to, len);
    if (to < from) std::swap(from, to);
    if (!begin || !end || end < begin) begin = end = nullptr;

    const long long d = (end - begin) - (long long)(to - from);
    auto moved = [](long long v) {
        return int(std::max<long long>(INT_MIN, std::min<long long>(v, INT_MAX)));
    };
    int& s = rec->sel_start;
    int& e = rec->sel_end;
    if (to <= s) {
        s = moved(s + d);
        e = moved(e + d);
    } else if (from <= s) {
        e = moved(e + d);
        if (e < s) {
            s = std::max(from, moved(s + d));
            e = s;
        }
    }

    rec->cb.ReplaceText(rec, from, to, begin, end);
    OGLE_RepaginateInternal(rec);
    // The rules above may leave an end past a text that got shorter (a
    // selection starting before the range keeps its old end).
    settle(rec, text_of(rec).len);
}
