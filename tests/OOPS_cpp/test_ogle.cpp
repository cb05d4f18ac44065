// The text editor engine, driven through a small host: fixed-width characters
// (CR and LF take no room), a fixed line height, recorded drawing, and a check
// that every run handed to a callback lies inside the current text.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "OOPS_cpp/ogle.h"

namespace
{

struct Call {
    char kind; // 'S' string, 'R' selection rectangle, 'C' caret
    std::string text;
    float a, b, c, d; // string: x, y; box: left, bottom, right, top
};

struct Host {
    std::string text;
    size_t max_len = SIZE_MAX; // growth beyond it is refused
    float vis[4] = {0, 0, 100, 30};
    float wrap = 100;     // logical width
    float content_h = 30; // logical height, fixed by the test
    float lh = 10;
    float adv = 10;         // advance of every character but CR, LF and zero_w
    std::string zero_w;     // characters without width
    float ox = 0, oy = 0;   // scroll offsets
    float told_height = -1; // last SetLogicalHeight
    int scrolls = 0, replaces = 0;
    bool null_text = false;
    int word_break = 0;  // 0 sound, 1 never moves, 2 null, 3 past the end
    int fit_bias = 0;    // added to every hit count
    int out_of_text = 0; // runs outside the text handed to a callback
    std::vector<Call> calls;
    OGLE_Rec* rec;

    explicit Host(std::string t = "");
    ~Host() { OGLE_Destroy(rec); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host& of(OGLE_Rec* r) { return *static_cast<Host*>(r->refcon); }
    void check(const char* b, const char* e)
    {
        if (b == e) return; // an empty run reads nothing
        if (!(b >= text.data() && b <= e && e <= text.data() + text.size())) ++out_of_text;
    }
    float advance(char c) const
    {
        if (c == '\r' || c == '\n' || zero_w.find(c) != std::string::npos) return 0;
        return adv;
    }
    void layout() { OGLE_Repaginate(rec); }
    std::vector<Call> of_kind(char k) const
    {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.kind == k) out.push_back(c);
        return out;
    }
};

void visible(OGLE_Rec* r, float box[4])
{
    for (int i = 0; i < 4; ++i)
        box[i] = Host::of(r).vis[i];
}

void logical(OGLE_Rec* r, float box[4])
{
    Host& h = Host::of(r);
    box[0] = h.vis[0] - h.ox;
    box[1] = h.vis[1] - h.oy;
    box[2] = box[0] + h.wrap;
    box[3] = box[1] + h.content_h;
}

void set_height(OGLE_Rec* r, float height)
{
    Host::of(r).told_height = height;
}

void scroll_to(OGLE_Rec* r, float off[2])
{
    Host& h = Host::of(r);
    h.ox = off[0];
    h.oy = off[1];
    ++h.scrolls;
}

void get_text(OGLE_Rec* r, const char** b, const char** e)
{
    Host& h = Host::of(r);
    *b = h.null_text ? nullptr : h.text.data();
    *e = h.null_text ? nullptr : h.text.data() + h.text.size();
}

void replace_text(OGLE_Rec* r, int from, int to, const char* b, const char* e)
{
    Host& h = Host::of(r);
    ++h.replaces;
    if (from < 0 || from > to || size_t(to) > h.text.size()) {
        ++h.out_of_text;
        return;
    }
    std::string run = b ? std::string(b, e) : std::string();
    if (h.text.size() - (to - from) + run.size() > h.max_len) return; // full: refused
    h.text.replace(from, to - from, run);
}

float line_height(OGLE_Rec* r)
{
    return Host::of(r).lh;
}

float measure(OGLE_Rec* r, const char* b, const char* e)
{
    Host& h = Host::of(r);
    h.check(b, e);
    float w = 0;
    for (const char* p = b; p < e; ++p)
        w += h.advance(*p);
    return w;
}

// Characters whose middle lies left of the point; a line's break is never counted.
int fit_fwd(OGLE_Rec* r, const char* b, const char* e, float width)
{
    Host& h = Host::of(r);
    h.check(b, e);
    int n = 0;
    float acc = 0;
    for (const char* p = b; p < e && *p != '\r' && *p != '\n'; ++p) {
        if (acc + h.advance(*p) / 2 > width) break;
        acc += h.advance(*p);
        ++n;
    }
    return n + h.fit_bias;
}

int fit_rev(OGLE_Rec*, const char*, const char*, float)
{
    ADD_FAILURE() << "the engine never counts backward";
    return 0;
}

void draw_string(OGLE_Rec* r, const char* b, const char* e, float x, float y)
{
    Host& h = Host::of(r);
    h.check(b, e);
    h.calls.push_back({'S', std::string(b, e), x, y, 0, 0});
}

void draw_selection(OGLE_Rec* r, float box[4])
{
    Host::of(r).calls.push_back({box[0] == box[2] ? 'C' : 'R', "", box[0], box[1], box[2], box[3]});
}

const char* word_break(OGLE_Rec* r, const char* p, const char* e)
{
    Host& h = Host::of(r);
    h.check(p, e);
    if (h.word_break == 1) return p;
    if (h.word_break == 2) return nullptr;
    if (h.word_break == 3) return e + 5;
    while (p < e && std::isspace((unsigned char)*p))
        ++p;
    while (p < e && !std::isspace((unsigned char)*p))
        ++p;
    return p;
}

const OGLE_Callbacks kHostCallbacks = {
    visible, logical, set_height, scroll_to,   get_text,       replace_text, line_height,
    measure, fit_fwd, fit_rev,    draw_string, draw_selection, word_break};

Host::Host(std::string t) : text(std::move(t))
{
    rec = OGLE_Create(&kHostCallbacks, this);
}

std::vector<int> starts_of(const std::string& text, float wrap)
{
    Host h(text);
    h.wrap = wrap;
    h.layout();
    EXPECT_EQ(h.told_height, 10.0f * h.rec->line_starts.size()) << text;
    EXPECT_EQ(h.out_of_text, 0);
    return h.rec->line_starts;
}

void expect_box(const Call& c, float l, float b, float r, float t, const char* what)
{
    EXPECT_EQ(c.a, l) << what;
    EXPECT_EQ(c.b, b) << what;
    EXPECT_EQ(c.c, r) << what;
    EXPECT_EQ(c.d, t) << what;
}

// ---------------------------------------------------------------------------
// Creation and selection

TEST(Ogle, CreateCopiesTheTableAndLaysNothingOut)
{
    OGLE_Callbacks table = kHostCallbacks;
    int ref = 0;
    OGLE_Rec* rec = OGLE_Create(&table, &ref);
    table.GetText = nullptr; // the record keeps its own copy
    EXPECT_EQ(rec->cb.GetText, &get_text);
    EXPECT_EQ(rec->refcon, &ref);
    EXPECT_TRUE(rec->line_starts.empty());
    EXPECT_EQ(rec->sel_start, 0);
    EXPECT_EQ(rec->sel_end, 0);
    EXPECT_EQ(rec->active_end, 1);
    EXPECT_EQ(rec->sticky_x, -1);
    OGLE_Destroy(rec);
    OGLE_Destroy(nullptr);
}

TEST(Ogle, SetSelectionOrdersAndClamps)
{
    struct Case {
        int start, end;
        int s, e, active;
    } cases[] = {
        {1, 3, 1, 3, 1},   {10, 3, 3, 5, 0}, {3, 3, 3, 3, 1},  {-4, 2, 0, 2, 1},
        {-4, -1, 0, 0, 1}, {7, 9, 5, 5, 1},  {9, -9, 0, 5, 0}, {INT_MIN, INT_MAX, 0, 5, 1},
    };
    for (const Case& c : cases) {
        Host h("hello");
        h.layout();
        OGLE_SetSelection(h.rec, c.start, c.end);
        int s = -1, e = -1;
        OGLE_GetSelection(h.rec, &s, &e);
        EXPECT_EQ(s, c.s) << c.start << ".." << c.end;
        EXPECT_EQ(e, c.e) << c.start << ".." << c.end;
        EXPECT_EQ(h.rec->active_end, c.active) << c.start << ".." << c.end;
        EXPECT_EQ(h.scrolls, 0);
    }
}

TEST(Ogle, GetSelectionSkipsNullPointers)
{
    Host h("hello");
    OGLE_SetSelection(h.rec, 1, 4);
    int e = 0;
    OGLE_GetSelection(h.rec, nullptr, &e);
    EXPECT_EQ(e, 4);
    int s = 0;
    OGLE_GetSelection(h.rec, &s, nullptr);
    EXPECT_EQ(s, 1);
}

// ---------------------------------------------------------------------------
// Layout

TEST(Ogle, WordWrapTable)
{
    struct Case {
        const char* text;
        float wrap;
        std::vector<int> starts;
    } cases[] = {
        {"", 100, {0}},               // empty text: one line
        {"ab\n", 100, {0}},           // no empty line after a final break
        {"ab\r\ncd", 100, {0, 3, 4}}, // CR and LF are two breaks
        {"one \ntwo", 100, {0, 5}},   // the blank and LF stay on line 0
        {"a\n\nb", 100, {0, 2, 3}},
        {"abcdef", 5, {0, 1, 2, 3, 4, 5}}, // a word wider than the box
        {"abcdef", 25, {0, 1, 2, 3, 4}},   // ... until its rest fits
        {"ab        ", 25, {0}},           // trailing blanks never wrap
        {"aa bb cc", 50, {0, 6}},          // exactly the width still fits
        {"aa bb cc", 49, {0, 3, 6}},       // the blank stays before the wrap
        {"abc de", 30, {0, 4}},
        {"  ab", 30, {0, 2}},           // leading blanks count
        {"aa\tbb\vcc\fdd", 50, {0, 6}}, // tab, VT and FF are blanks
        {"ab cd", 0, {0, 1, 2, 3, 4}},  // no width: a character a line
        {"x\xA0y", 20, {0, 1}},         // a high byte is no blank
    };
    for (const Case& c : cases)
        EXPECT_EQ(starts_of(c.text, c.wrap), c.starts) << c.text;
}

TEST(Ogle, RewrapCutsTheArrayAndKeepsItsStorage)
{
    Host h("abcdefghij");
    h.wrap = 5;
    h.layout();
    ASSERT_EQ(h.rec->line_starts.size(), 10u);
    const int* storage = h.rec->line_starts.data();
    h.text = "abc";
    h.layout();
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(h.told_height, 30);
    h.text = "abcdefghij";
    h.layout();
    EXPECT_EQ(h.rec->line_starts.size(), 10u);
    EXPECT_EQ(h.rec->line_starts.data(), storage);
}

TEST(Ogle, LineOfAPosition)
{
    Host h("aa bb cc");
    EXPECT_EQ(OGLE_CharPosToLine(h.rec, 0), -1); // no layout yet
    h.wrap = 49;
    h.layout(); // lines at 0, 3, 6
    struct Case {
        int pos, line;
    } cases[] = {{-1, -1}, {0, 0}, {2, 0}, {3, 1}, {5, 1}, {6, 2}, {8, 2}, {100, 2}};
    for (const Case& c : cases)
        EXPECT_EQ(OGLE_CharPosToLine(h.rec, c.pos), c.line) << c.pos;
}

// ---------------------------------------------------------------------------
// Points and moves

TEST(Ogle, PointToPosition)
{
    Host h("aa bb cc"); // lines "aa ", "bb ", "cc"; bands 20..30, 10..20, 0..10
    h.wrap = 49;
    h.layout();
    struct Case {
        float x, y;
        int pos;
    } cases[] = {
        {15, 25, 2},  {14, 25, 1}, // the host's rule: the nearer edge of a character
        {-50, 25, 0},              // left of the box: the left edge
        {500, 25, 3},              // right of the box: the right edge (49)
        {5, 35, 0},                // above the first line
        {5, -5, 8},                // below the last line
        {25, 5, 8},   {5, 30, 1},  {5, 20, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OGLE_CoordToCharPos(h.rec, c.x, c.y), c.pos) << c.x << "," << c.y;
}

TEST(Ogle, KeyTable)
{
    struct Case {
        const char* text;
        int s, e, active;
        char key;
        int shift;
        const char* after;
        int s2, e2, active2;
    } cases[] = {
        {"abc", 0, 0, 1, 28, 0, "abc", 0, 0, 1}, // Left at 0
        {"abc", 3, 3, 1, 29, 0, "abc", 3, 3, 1}, // Right at the end
        {"abc", 2, 2, 1, 28, 0, "abc", 1, 1, 1},
        {"abc", 2, 2, 0, 29, 0, "abc", 3, 3, 0}, // moves keep the active end
        {"abc", 1, 3, 1, 28, 0, "abc", 1, 1, 1}, // collapse to the start
        {"abc", 1, 3, 0, 29, 0, "abc", 3, 3, 0}, // collapse to the end
        {"abc", 1, 1, 1, 29, 1, "abc", 1, 2, 1}, // Shift+Right on a caret
        {"abc", 2, 2, 1, 28, 1, "abc", 1, 2, 0}, // Shift+Left: past the anchor, flipped
        {"abcd", 1, 3, 0, 28, 1, "abcd", 0, 3, 0},
        {"abcd", 1, 3, 0, 29, 1, "abcd", 2, 3, 0},
        {"abc", 0, 0, 1, 28, 1, "abc", 0, 0, 0},
        {"abc", 2, 2, 1, 30, 0, "abc", 0, 0, 1}, // Up on the first line
        {"abc", 1, 1, 1, 31, 0, "abc", 3, 3, 1}, // Down on the last line
        {"abc", 1, 2, 1, 30, 0, "abc", 1, 1, 1}, // Up collapses without moving
        {"abc", 1, 2, 0, 31, 0, "abc", 2, 2, 0},
        {"abc", 1, 1, 1, 31, 1, "abc", 1, 3, 1},
        {"abc", 2, 2, 1, 30, 1, "abc", 0, 2, 0},
        {"abc", 0, 0, 0, 8, 0, "abc", 0, 0, 1}, // Backspace at 0
        {"abc", 2, 2, 1, 8, 0, "ac", 1, 1, 1},
        {"abc", 3, 3, 1, 8, 1, "ab", 2, 2, 1},
        {"abcd", 1, 3, 0, 8, 0, "ad", 1, 1, 1},
        {"abcd", 1, 3, 0, 'x', 0, "axd", 2, 2, 1}, // typing replaces the selection
        {"abc", 3, 3, 1, '!', 1, "abc!", 4, 4, 1},
        {"ab", 1, 1, 0, ' ', 0, "a b", 2, 2, 1},
        {"ab", 0, 0, 1, '~', 0, "~ab", 1, 1, 1},
    };
    for (const Case& c : cases) {
        Host h(c.text);
        h.wrap = 1000;
        h.layout();
        h.rec->sel_start = c.s;
        h.rec->sel_end = c.e;
        h.rec->active_end = c.active;
        OGLE_Key(h.rec, c.key, c.shift);
        std::string where = std::string(c.text) + " key " + std::to_string(int(c.key));
        EXPECT_EQ(h.text, c.after) << where;
        EXPECT_EQ(h.rec->sel_start, c.s2) << where;
        EXPECT_EQ(h.rec->sel_end, c.e2) << where;
        EXPECT_EQ(h.rec->active_end, c.active2) << where;
        EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0})) << where;
        EXPECT_EQ(h.out_of_text, 0) << where;
    }
}

TEST(Ogle, EditsRewrapMovesDoNot)
{
    Host h("aa bb");
    h.wrap = 50;
    h.layout();
    OGLE_SetSelection(h.rec, 5, 5);
    OGLE_Key(h.rec, ' ', 0);
    OGLE_Key(h.rec, 'c', 0);
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0, 6}));
    h.wrap = 1000; // the box changes behind the engine's back
    OGLE_Key(h.rec, kOGLE_Left, 0);
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0, 6}));
    OGLE_Key(h.rec, kOGLE_Backspace, 0);
    EXPECT_EQ(h.text, "aa bbc");
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0}));
}

TEST(Ogle, UpAndDownKeepTheFirstDistance)
{
    Host h("aaaaaa\nb\ncccccc"); // lines at 0, 7, 9
    h.wrap = 1000;
    h.layout();
    OGLE_SetSelection(h.rec, 5, 5);
    int expected[] = {8, 14, 8, 5};
    char keys[] = {kOGLE_Down, kOGLE_Down, kOGLE_Up, kOGLE_Up};
    for (int i = 0; i < 4; ++i) {
        OGLE_Key(h.rec, keys[i], 0);
        EXPECT_EQ(h.rec->sel_end, expected[i]) << i;
        EXPECT_EQ(h.rec->sel_start, expected[i]) << i;
        EXPECT_EQ(h.rec->sticky_x, 50) << i;
    }
    OGLE_Key(h.rec, kOGLE_Right, 0);
    EXPECT_EQ(h.rec->sticky_x, -1);
    OGLE_Key(h.rec, kOGLE_Down, 1); // Shift+Down measures afresh from the caret at 6
    EXPECT_EQ(h.rec->sel_start, 6);
    EXPECT_EQ(h.rec->sel_end, 8);
}

TEST(Ogle, ClickAndDrag)
{
    Host h("hello world");
    h.wrap = 1000;
    h.vis[2] = 200;
    h.content_h = 10;
    h.vis[3] = 10;
    h.layout();
    h.rec->sticky_x = 30;
    OGLE_Click(h.rec, 22, 5, 0);
    EXPECT_EQ(h.rec->sticky_x, -1);
    struct Step {
        char op; // 'c' click, 'e' click with extend, 'd' drag
        float x;
        int s, e, active;
    } steps[] = {
        {'c', 22, 2, 2, 1},   {'d', 61, 2, 6, 1}, {'d', 4, 0, 2, 0},  // drag past the anchor
        {'d', 31, 2, 3, 1},   {'e', 81, 2, 8, 1}, {'e', 11, 1, 8, 0}, // extend before the start
        {'e', 500, 1, 11, 1}, {'c', 41, 4, 4, 1},
    };
    for (const Step& st : steps) {
        if (st.op == 'd')
            OGLE_Drag(h.rec, st.x, 5);
        else
            OGLE_Click(h.rec, st.x, 5, st.op == 'e');
        EXPECT_EQ(h.rec->sel_start, st.s) << st.op << st.x;
        EXPECT_EQ(h.rec->sel_end, st.e) << st.op << st.x;
        EXPECT_EQ(h.rec->active_end, st.active) << st.op << st.x;
    }
}

// ---------------------------------------------------------------------------
// Drawing

TEST(Ogle, DrawsSelectionThenLinesThenNoCaret)
{
    // Lines "aa ", "bb ", "cc" in bands 20..30, 10..20, 0..10; right edge 49.
    struct Case {
        int s, e;
        std::vector<std::vector<float>> boxes;
    } cases[] = {
        {1, 2, {{10, 20, 20, 30}}}, // inside one line
        {1, 3, {{10, 20, 49, 30}}}, // to the line's end
        {1, 5, {{10, 20, 49, 30}, {0, 10, 20, 20}}},
        {0, 8, {{0, 20, 49, 30}, {0, 10, 49, 20}, {0, 0, 20, 10}}},
        {3, 6, {{0, 10, 30, 20}}}, // a whole line
    };
    for (const Case& c : cases) {
        Host h("aa bb cc");
        h.wrap = 49;
        h.layout();
        OGLE_SetSelection(h.rec, c.s, c.e);
        OGLE_Draw(h.rec, 1);
        std::vector<Call> rects = h.of_kind('R');
        ASSERT_EQ(rects.size(), c.boxes.size()) << c.s << ".." << c.e;
        for (size_t i = 0; i < rects.size(); ++i) {
            const std::vector<float>& b = c.boxes[i];
            expect_box(rects[i], b[0], b[1], b[2], b[3], "selection");
        }
        EXPECT_TRUE(h.of_kind('C').empty());
        ASSERT_EQ(h.calls.size(), rects.size() + 3);
        for (size_t i = 0; i < rects.size(); ++i)
            EXPECT_EQ(h.calls[i].kind, 'R');
        const char* lines[] = {"aa ", "bb ", "cc"};
        for (int i = 0; i < 3; ++i) {
            const Call& s = h.calls[rects.size() + i];
            EXPECT_EQ(s.kind, 'S');
            EXPECT_EQ(s.text, lines[i]);
            EXPECT_EQ(s.a, 0);
            EXPECT_EQ(s.b, 20 - 10 * i);
        }
    }
}

TEST(Ogle, CaretPlaces)
{
    struct Case {
        const char* text;
        int caret;
        float x, bottom;
    } cases[] = {
        {"aa bb cc", 0, 0, 20}, {"aa bb cc", 2, 20, 20},
        {"aa bb cc", 3, 0, 10}, // at a wrap point: the start of the next line
        {"aa bb cc", 8, 20, 0}, // at the end: the end of the last line
        {"ab\n", 3, 20, 20},    // after a final break: still on the last line
        {"", 0, 0, 20},
    };
    for (const Case& c : cases) {
        Host h(c.text);
        h.wrap = 49;
        h.layout();
        OGLE_SetSelection(h.rec, c.caret, c.caret);
        OGLE_Draw(h.rec, 0);
        EXPECT_TRUE(h.of_kind('C').empty()) << "inactive";
        h.calls.clear();
        OGLE_Draw(h.rec, 1);
        std::vector<Call> carets = h.of_kind('C');
        ASSERT_EQ(carets.size(), 1u) << c.text << " " << c.caret;
        expect_box(carets[0], c.x, c.bottom, c.x, c.bottom + 10, c.text);
        EXPECT_EQ(h.calls.back().kind, 'C'); // drawn last
    }
}

TEST(Ogle, DrawsOnlyVisibleLines)
{
    struct Case {
        float oy;
        std::vector<std::string> lines;
    } cases[] = {
        {30, {"l0\n", "l1\n", "l2\n"}},
        {25, {"l0\n", "l1\n", "l2\n", "l3\n"}}, // a line partly in view
        {0, {"l3\n", "l4\n", "l5"}},
        {100, {}},  // the text lies wholly below the box
        {-100, {}}, // or wholly above it
    };
    for (const Case& c : cases) {
        Host h("l0\nl1\nl2\nl3\nl4\nl5");
        h.content_h = 60;
        h.oy = c.oy;
        h.layout();
        OGLE_SetSelection(h.rec, 0, 17);
        OGLE_Draw(h.rec, 1);
        std::vector<std::string> drawn;
        for (const Call& s : h.of_kind('S'))
            drawn.push_back(s.text);
        EXPECT_EQ(drawn, c.lines) << c.oy;
        EXPECT_EQ(h.of_kind('R').size(), c.lines.size()) << c.oy;
    }
}

// ---------------------------------------------------------------------------
// Scrolling into view

TEST(Ogle, RevealScrollsSideways)
{
    Host h("abcdefghij"); // 100 wide in a one-line field 50 wide
    h.vis[0] = 10;
    h.vis[2] = 60;
    h.vis[3] = 11;
    h.lh = 11;
    h.content_h = 11;
    h.wrap = 50 + 1024;
    h.layout();
    struct Step {
        int caret;
        float ox;
        int scrolls;
    } steps[] = {{10, 50, 1}, {2, 20, 2}, {5, 20, 2}, {7, 20, 2}, {8, 30, 3}};
    for (const Step& st : steps) {
        OGLE_SetSelection(h.rec, st.caret, st.caret);
        OGLE_RevealSelection(h.rec);
        EXPECT_EQ(h.ox, st.ox) << st.caret;
        EXPECT_EQ(h.oy, 0) << st.caret; // a one-line box never scrolls up or down
        EXPECT_EQ(h.scrolls, st.scrolls) << st.caret;
    }
}

TEST(Ogle, RevealBringsTheCaretLineWhollyIntoView)
{
    Host h("l0\nl1\nl2\nl3\nl4\nl5");
    h.content_h = 60;
    h.oy = 30; // lines 0 to 2 in view
    h.layout();
    OGLE_SetSelection(h.rec, 1, 1);
    for (int i = 0; i < 4; ++i)
        OGLE_Key(h.rec, kOGLE_Down, 0);
    EXPECT_EQ(h.rec->sel_end, 13);
    EXPECT_EQ(h.oy, 10); // line 4's band is now 0..10, the bottom of the box
    h.calls.clear();
    OGLE_Draw(h.rec, 1);
    ASSERT_EQ(h.of_kind('C').size(), 1u);
    expect_box(h.of_kind('C')[0], 10, 0, 10, 10, "caret in view");

    // Shift+Up anchored at the bottom: the moving start end is revealed.
    for (int i = 0; i < 4; ++i)
        OGLE_Key(h.rec, kOGLE_Up, 1);
    EXPECT_EQ(h.rec->active_end, 0);
    EXPECT_EQ(h.rec->sel_start, 1);
    EXPECT_EQ(h.oy, 30); // line 0 at the top again
}

// ---------------------------------------------------------------------------
// Faults the engine guards against

TEST(OgleKeys, EveryCodeButBackspaceAndTheArrowsIsText)
{
    // Control codes, DEL and bytes above 127 are characters like any other:
    // a multi-line host types tabs, line breaks and accented letters.
    for (int code = 0; code < 256; ++code) {
        if (code == kOGLE_Backspace || (code >= kOGLE_Left && code <= kOGLE_Down)) continue;
        Host h("abc");
        h.layout();
        OGLE_SetSelection(h.rec, 1, 2);
        h.rec->sticky_x = 12;
        OGLE_Key(h.rec, char(code), 0);
        EXPECT_EQ(h.text, std::string("a") + char(code) + "c") << code;
        EXPECT_EQ(h.rec->sel_start, 2) << code;
        EXPECT_EQ(h.rec->sel_end, 2) << code;
        EXPECT_EQ(h.rec->active_end, 1) << code;
        EXPECT_EQ(h.rec->sticky_x, -1) << code;
    }
}

TEST(OgleKeys, TypedLineBreaksStartLines)
{
    Host h("");
    h.layout();
    for (char c : std::string("a\tb\rc\n\xE9"))
        OGLE_Key(h.rec, c, 0);
    EXPECT_EQ(h.text, "a\tb\rc\n\xE9");
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0, 4, 6}));
    EXPECT_EQ(h.told_height, 30);
    EXPECT_EQ(h.rec->sel_end, 7);
}

TEST(OgleGuards, AFullFieldRefusesTheTypedCharacter)
{
    struct Case {
        int s, e;
        char key;
        const char* after;
        int s2, e2;
    } cases[] = {
        {2, 2, 'x', "abcde", 2, 2}, // caret inside: nothing is cut from the end
        {5, 5, 'x', "abcde", 5, 5},
        {1, 3, 'x', "axde", 2, 2}, // replacing a selection does not grow the text
        {1, 2, 'x', "axcde", 2, 2},
        {3, 3, 8, "abde", 2, 2},
    };
    for (const Case& c : cases) {
        Host h("abcde");
        h.max_len = 5;
        h.layout();
        OGLE_SetSelection(h.rec, c.s, c.e);
        OGLE_Key(h.rec, c.key, 0);
        EXPECT_EQ(h.text, c.after) << c.s << ".." << c.e;
        EXPECT_EQ(h.rec->sel_start, c.s2) << c.s << ".." << c.e;
        EXPECT_EQ(h.rec->sel_end, c.e2) << c.s << ".." << c.e;
    }
}

TEST(OgleGuards, TextShortenedBehindTheEngineIsNeverReadPast)
{
    // The host cuts its text without re-wrapping; every call must stay inside
    // the new text, and those that move the selection leave it in the text
    // (drawing and revealing only read it).
    struct Op {
        const char* name;
        void (*run)(OGLE_Rec*);
        bool reads_only = false;
    } ops[] = {
        {"backspace", [](OGLE_Rec* r) { OGLE_Key(r, 8, 0); }},
        {"type", [](OGLE_Rec* r) { OGLE_Key(r, 'x', 0); }},
        {"left", [](OGLE_Rec* r) { OGLE_Key(r, 28, 0); }},
        {"right", [](OGLE_Rec* r) { OGLE_Key(r, 29, 0); }},
        {"up", [](OGLE_Rec* r) { OGLE_Key(r, 30, 0); }},
        {"down", [](OGLE_Rec* r) { OGLE_Key(r, 31, 0); }},
        {"shift-left", [](OGLE_Rec* r) { OGLE_Key(r, 28, 1); }},
        {"shift-up", [](OGLE_Rec* r) { OGLE_Key(r, 30, 1); }},
        {"shift-down", [](OGLE_Rec* r) { OGLE_Key(r, 31, 1); }},
        {"draw", [](OGLE_Rec* r) { OGLE_Draw(r, 1); }, true},
        {"click", [](OGLE_Rec* r) { OGLE_Click(r, 30, 5, 1); }},
        {"drag", [](OGLE_Rec* r) { OGLE_Drag(r, 90, 15); }},
        {"reveal", [](OGLE_Rec* r) { OGLE_RevealSelection(r); }, true},
    };
    for (const Op& op : ops) {
        for (int caret : {0, 1}) {
            Host h("aa bb cc dd ee");
            h.wrap = 30;
            h.layout(); // lines at 0, 3, 6, 9, 12
            OGLE_SetSelection(h.rec, caret ? 13 : 10, 13);
            h.text = "aa";
            op.run(h.rec);
            EXPECT_EQ(h.out_of_text, 0) << op.name << " " << caret;
            if (op.reads_only) continue;
            int len = int(h.text.size());
            EXPECT_GE(h.rec->sel_start, 0) << op.name;
            EXPECT_LE(h.rec->sel_start, h.rec->sel_end) << op.name;
            EXPECT_LE(h.rec->sel_end, len) << op.name << " " << caret;
        }
    }
}

TEST(OgleGuards, CaretAndDrawingStayInTheTextWhenTheCaretIsPastIt)
{
    Host h("abc");
    h.layout();
    h.rec->sel_start = h.rec->sel_end = 9; // set directly, as a host may
    OGLE_Draw(h.rec, 1);
    ASSERT_EQ(h.of_kind('C').size(), 1u);
    expect_box(h.of_kind('C')[0], 30, 20, 30, 30, "caret at the end");
    OGLE_Key(h.rec, 8, 0);
    EXPECT_EQ(h.text, "ab");
    EXPECT_EQ(h.rec->sel_end, 2);
    EXPECT_EQ(h.out_of_text, 0);
}

TEST(OgleGuards, WordBreaksThatDoNotMoveStillEnd)
{
    struct Case {
        int mode;
        float wrap;
        std::vector<int> starts;
    } cases[] = {
        {1, 100, {0}},         // stuck answer: taken one character at a time
        {2, 100, {0}},         // null answer
        {3, 100, {0}},         // past the end: cut at the end
        {1, 15, {0, 1, 3, 4}}, // one-character words wrap at blanks and in words
    };
    for (const Case& c : cases) {
        Host h("ab cd");
        h.word_break = c.mode;
        h.wrap = c.wrap;
        h.layout();
        EXPECT_EQ(h.rec->line_starts, c.starts) << c.mode << " " << c.wrap;
        EXPECT_EQ(h.out_of_text, 0);
    }
}

TEST(OgleGuards, ZeroWidthCharactersEndAndNeverLookLikeTheCaret)
{
    Host h("ab cd\nef");
    h.adv = 0;
    h.wrap = 0;
    h.layout();
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0, 6}));
    EXPECT_EQ(OGLE_CoordToCharPos(h.rec, 50, 15), 8);

    Host z("a{b");
    z.zero_w = "{";
    z.layout();
    OGLE_SetSelection(z.rec, 1, 2); // only the zero-wide '{'
    OGLE_Draw(z.rec, 1);
    EXPECT_TRUE(z.of_kind('R').empty());
    EXPECT_TRUE(z.of_kind('C').empty());
}

TEST(OgleGuards, ZeroLineHeightKeepsEveryAnswerInRange)
{
    for (float lh : {0.0f, -5.0f, NAN}) {
        Host h("aa bb cc");
        h.lh = lh;
        h.wrap = 49;
        h.layout();
        EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0, 3, 6}));
        EXPECT_EQ(OGLE_CoordToCharPos(h.rec, 15, 35), 0) << lh; // above the top
        EXPECT_EQ(OGLE_CoordToCharPos(h.rec, 15, 25), 8) << lh; // below it
        EXPECT_EQ(OGLE_CoordToCharPos(h.rec, 15, 30), 2) << lh; // at it: line 0
        OGLE_SetSelection(h.rec, 4, 4);
        OGLE_Key(h.rec, kOGLE_Down, 0);
        OGLE_Key(h.rec, kOGLE_Up, 0);
        OGLE_Key(h.rec, 'x', 0);
        OGLE_Draw(h.rec, 1);
        for (const Call& c : h.calls) {
            EXPECT_TRUE(std::isfinite(c.a) && std::isfinite(c.b)) << lh;
        }
        EXPECT_LE(h.rec->sel_end, int(h.text.size()));
        EXPECT_TRUE(std::isfinite(h.oy)) << lh;
        EXPECT_EQ(h.out_of_text, 0);
    }
}

TEST(OgleGuards, HitCountsStayInsideTheLine)
{
    struct Case {
        int bias;
        float x, y;
        int pos;
    } cases[] = {
        {100, 5, 25, 3},   // never past the line's end
        {-100, 45, 15, 3}, // never before its start
        {100, 5, 5, 8},
    };
    for (const Case& c : cases) {
        Host h("aa bb cc");
        h.wrap = 49;
        h.fit_bias = c.bias;
        h.layout();
        EXPECT_EQ(OGLE_CoordToCharPos(h.rec, c.x, c.y), c.pos) << c.bias;
        OGLE_SetSelection(h.rec, 1, 1);
        OGLE_Key(h.rec, kOGLE_Down, 0);
        EXPECT_GE(h.rec->sel_end, 3);
        EXPECT_LE(h.rec->sel_end, 6);
    }
}

TEST(OgleGuards, MissingTextIsEmpty)
{
    Host h("abc");
    h.null_text = true;
    h.layout();
    EXPECT_EQ(h.rec->line_starts, (std::vector<int>{0}));
    OGLE_SetSelection(h.rec, 2, 3);
    EXPECT_EQ(h.rec->sel_end, 0);
    OGLE_Draw(h.rec, 1);
    ASSERT_EQ(h.of_kind('S').size(), 1u);
    EXPECT_EQ(h.of_kind('S')[0].text, "");
    EXPECT_EQ(h.of_kind('C').size(), 1u);
}

} // namespace
