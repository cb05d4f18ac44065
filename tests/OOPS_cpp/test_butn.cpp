// The widget layer without a window: label splitting and wrapping, the
// pieces bars and panels are cut into, pop-up items, and the fatal alerts
// of programming errors (in child processes).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OOPS_cpp/butn.h"
#include "support/alert_probe.h"

namespace
{

TEST(Label, SplitTable)
{
    const struct {
        const char* label;
        const char* left;
        const char* right;
        const char* help;
    } cases[] = {
        {"Size|MB{ Size of the cache", "Size", "MB", "Size of the cache"},
        {"Speed|per second", "Speed", "per second", ""},
        {"plain", "plain", "", ""},
        {"|right only", "", "right only", ""},
        {"left{ help", "left", "", "help"},
        {"a|b|c", "a|b", "c", ""},     // the last '|' splits
        {"a{ x{ y", "a{ x", "", "y"},  // the last '{' splits
        {"L{ h|R", "L{ h", "", "h|R"}, // '{' before the last '|': no right
        {"L|R{ tip|x", "L|R{ tip", "", "tip|x"},
        {"L|R{", "L", "R", ""},  // nothing after '{'
        {"L|R{x", "L", "R", ""}, // only the skipped character
        {"", "", "", ""},
        {"|", "", "", ""},
        {"{", "", "", ""},
    };
    for (const auto& c : cases) {
        std::string l = "junk", r = "junk", h = "junk";
        BTN_expand_label(c.label, &l, &r, &h);
        EXPECT_EQ(l, c.left) << c.label;
        EXPECT_EQ(r, c.right) << c.label;
        EXPECT_EQ(h, c.help) << c.label;
    }
}

TEST(Label, WrapTable)
{
    const struct {
        const char* text;
        int align;
        int lines;
        const char* first;
        const char* second;
    } cases[] = {
        {"Anti-alias level", 0, 2, "Anti-alias", "level"}, // ' ' at 10 is nearer 8 than '-' at 4
        {"a bcdefghijkl", 2, 2, "a", "bcdefghijkl"},       // 13 characters, blank at 1
        {"abcdefghijkl ", 0, 1, "abcdefghijkl ", ""},      // blank at the last position
        {"abcdefghijklmnopqrst", 0, 1, "abcdefghijklmnopqrst", ""}, // no separator
        {"abcdef ghijkl", 1, 1, "abcdef ghijkl", ""},               // centred labels never wrap
        {"-Proxy host with a long name", 0, 1, "Proxy host with a long name", ""},
        {"-short", 2, 1, "short", ""},
        {"twelve chars", 0, 1, "twelve chars", ""},    // 12 is not more than 12
        {"ab/cd efgh/ij", 0, 2, "ab/cd", "efgh/ij"},   // nearest of 2, 5, 10 to 6
        {"abcd-ef/ghijkl", 0, 2, "abcd-ef", "ghijkl"}, // '/' at 7 is the middle
        {"", 0, 0, "", ""},
    };
    for (const auto& c : cases) {
        std::string a, b;
        EXPECT_EQ(BTN_label_lines(c.text, c.align, &a, &b), c.lines) << c.text;
        EXPECT_EQ(a, c.first) << c.text;
        EXPECT_EQ(b, c.second) << c.text;
    }
    // Equal distances: the earlier separator wins (length 14, middle 7).
    std::string a, b;
    EXPECT_EQ(BTN_label_lines("abcde fgh ijkl", 0, &a, &b), 2);
    EXPECT_EQ(a, "abcde");
    EXPECT_EQ(b, "fgh ijkl");
}

// Quads as (x0, x1, u0, u1) for bars, all spanning the same rows.
struct hpiece {
    float x0, x1, u0, u1;
};

void expect_bar(int type, float x, float y, float w, const std::vector<hpiece>& want, float y0,
                float y1, float v0, float v1)
{
    const std::vector<btn_quad> q = BTN_frame1_quads(type, x, y, w);
    ASSERT_EQ(q.size(), want.size()) << "type " << type << " width " << w;
    for (size_t i = 0; i < q.size(); ++i) {
        SCOPED_TRACE("piece " + std::to_string(i));
        EXPECT_FLOAT_EQ(q[i].x0, want[i].x0);
        EXPECT_FLOAT_EQ(q[i].x1, want[i].x1);
        EXPECT_FLOAT_EQ(q[i].u0, want[i].u0);
        EXPECT_FLOAT_EQ(q[i].u1, want[i].u1);
        EXPECT_FLOAT_EQ(q[i].y0, y0);
        EXPECT_FLOAT_EQ(q[i].y1, y1);
        EXPECT_FLOAT_EQ(q[i].v0, v0);
        EXPECT_FLOAT_EQ(q[i].v1, v1);
    }
}

TEST(Artwork, BarPieces)
{
    // Centre 100.4 rounds to 100, half width 30.5 to 31: x 69 to 131.
    expect_bar(
        2, 100.4f, 50, 61,
        {{69, 79, 304, 314}, {79, 111, 314, 346}, {111, 121, 314, 324}, {121, 131, 346, 356}}, 37,
        63, 486, 512);
    // Type 0 is 3 lower; 200 wide: caps and three middles, the third cut to 20.
    expect_bar(0, 100, 20, 200,
               {{0, 10, 1, 11},
                {10, 90, 11, 91},
                {90, 170, 11, 91},
                {170, 190, 11, 31},
                {190, 200, 91, 101}},
               4, 30, 487, 513);
    // Fields and pop-ups are 4 wider than asked.
    for (int type : {9, 10}) {
        const std::vector<btn_quad> q = BTN_frame1_quads(type, 0, 0, 100);
        ASSERT_FALSE(q.empty());
        EXPECT_FLOAT_EQ(q.back().x1 - q.front().x0, 104) << type;
    }
}

TEST(Artwork, BarCountRules)
{
    // Type 8 (caps 7, middle 2): n = (W - 14) / 2 truncated.
    const struct {
        float width;
        size_t quads;
    } cases[] = {{8, 0}, {10, 1}, {12, 2}, {14, 3}, {16, 4}, {-20, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(BTN_frame1_quads(8, 50, 50, c.width).size(), c.quads) << c.width;
    // n == -2: the right cap alone.
    const std::vector<btn_quad> one = BTN_frame1_quads(8, 50, 50, 10);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_FLOAT_EQ(one[0].x0, 48); // W 10 from 45: cap from W - 7
    EXPECT_FLOAT_EQ(one[0].u0, 289 + 9);
    // Narrower than two caps: both caps overlap, the middle runs backwards
    // without texels.
    const std::vector<btn_quad> q = BTN_frame1_quads(2, 50, 50, 14);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_FLOAT_EQ(q[0].x1, 53);
    EXPECT_FLOAT_EQ(q[2].x0, 47);
    EXPECT_LT(q[1].x1, q[1].x0);
    EXPECT_FLOAT_EQ(q[1].u1, q[1].u0);
    EXPECT_TRUE(BTN_frame1_quads(6, 0, 0, 100).empty());
    EXPECT_TRUE(BTN_frame1_quads(11, 0, 0, 100).empty());
}

TEST(Artwork, VerticalBarPieces)
{
    // Height 30 draws 38: caps of 10 and one middle piece of 18.
    const std::vector<btn_quad> q = BTN_frame0_quads(100, 50, 30);
    ASSERT_EQ(q.size(), 3u);
    const float want[3][4] = {{31, 41, 248, 258}, {41, 59, 258, 276}, {59, 69, 278, 288}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(q[i].y0, want[i][0]);
        EXPECT_FLOAT_EQ(q[i].y1, want[i][1]);
        EXPECT_FLOAT_EQ(q[i].v0, want[i][2]);
        EXPECT_FLOAT_EQ(q[i].v1, want[i][3]);
        EXPECT_FLOAT_EQ(q[i].x0, 90);
        EXPECT_FLOAT_EQ(q[i].x1, 110);
        EXPECT_FLOAT_EQ(q[i].u0, 102);
        EXPECT_FLOAT_EQ(q[i].u1, 122);
    }
}

TEST(Artwork, PanelPieces)
{
    // Type 13 at (100, 100), 200 x 100: drawn from (91, 86), 218 x 118.
    // Rows 30, 40, 18 (cut), 30; columns 35, 30 x 4, 28 (cut), 35.
    const std::vector<btn_quad> q = BTN_frame2_quads(13, 100, 100, 200, 100);
    ASSERT_EQ(q.size(), 4u * 7u);
    EXPECT_FLOAT_EQ(q.front().x0, 91);
    EXPECT_FLOAT_EQ(q.front().y0, 86);
    EXPECT_FLOAT_EQ(q.front().u0, 203);
    EXPECT_FLOAT_EQ(q.front().v0, 358);
    EXPECT_FLOAT_EQ(q.back().x1, 309);
    EXPECT_FLOAT_EQ(q.back().y1, 204);
    EXPECT_FLOAT_EQ(q.back().u1, 303);
    EXPECT_FLOAT_EQ(q.back().v1, 458);
    const btn_quad& cut = q[2 * 7 + 5]; // third row, last middle column
    EXPECT_FLOAT_EQ(cut.y1 - cut.y0, 18);
    EXPECT_FLOAT_EQ(cut.v1 - cut.v0, 18);
    EXPECT_FLOAT_EQ(cut.x1 - cut.x0, 28);
    EXPECT_FLOAT_EQ(cut.u1 - cut.u0, 28);
    EXPECT_FLOAT_EQ(cut.u0, 203 + 35);
    EXPECT_FLOAT_EQ(cut.v0, 358 + 30);
    // Type 20 comes from the installer image.
    const std::vector<btn_quad> p = BTN_frame2_quads(20, 10, 10, 100, 50);
    ASSERT_FALSE(p.empty());
    EXPECT_FLOAT_EQ(p.front().u0, 774);
    EXPECT_FLOAT_EQ(p.front().v0, 78);
    EXPECT_FLOAT_EQ(p.back().u1, 774 + 41);
    EXPECT_TRUE(BTN_frame2_quads(10, 0, 0, 10, 10).empty());
    EXPECT_TRUE(BTN_frame2_quads(21, 0, 0, 10, 10).empty());
}

TEST(Popup, ChoicesSplit)
{
    std::vector<std::string> items;
    EXPECT_EQ(BTN_split_choices("Macintosh-Windows-Linux", &items), 0);
    EXPECT_EQ(items, (std::vector<std::string>{"Macintosh", "Windows", "Linux"}));
    EXPECT_EQ(BTN_split_choices("a--b-", &items), 0);
    EXPECT_EQ(items, (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(BTN_split_choices("", &items), 0);
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(BTN_split_choices("a|b", &items), 1);

    std::string many = "x";
    for (int i = 1; i < kBTNMaxPopupItems; ++i)
        many += "-x";
    EXPECT_EQ(BTN_split_choices(many, &items), 0);
    EXPECT_EQ(items.size(), static_cast<size_t>(kBTNMaxPopupItems));
    EXPECT_EQ(BTN_split_choices(many + "-", &items), 2); // a 301st item, even an empty one
}

// User texts (folder names) made safe never reach the fatal alerts.
TEST(Popup, SafeItemsFromUserTexts)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"my-folder", "my folder"}, {"a|b", "a b"},    {"|", " "}, {"-", " "}, {"", ""},
                 {"plain", "plain"},         {"x-|-y", "x   y"}};
    std::string choices;
    for (const auto& c : cases) {
        EXPECT_EQ(BTN_popup_safe_item(c.in), c.out);
        choices += (choices.empty() ? "" : "-") + BTN_popup_safe_item(c.in);
    }
    std::vector<std::string> items;
    EXPECT_EQ(BTN_split_choices(choices, &items), 0);
    EXPECT_EQ(items.size(), sizeof(cases) / sizeof(cases[0]));
}

TEST(Popup, IdentityTruncates)
{
    EXPECT_EQ(BTN_popup_id(200, 310), 310 * 1024 + 200);
    EXPECT_EQ(BTN_popup_id(280.5f, 438), 438 * 1024 + 280);
    EXPECT_EQ(BTN_popup_id(10.9f, 0.5f), 522);
}

// Programming errors end the program with their alert; no window is open,
// so the alert is printed.
TEST(WidgetDeath, BadArgumentsAreFatal)
{
    TempCwd cwd;
    const struct {
        void (*call)();
        const char* message;
    } cases[] = {
        {[] { BTN_frame1(6, 10, 10, 50, 0); }, "Bad BTN_frame1 call!"},
        {[] { BTN_frame1(11, 10, 10, 50, 0); }, "Bad BTN_frame1 call!"},
        {[] { BTN_frame0(5, 10, 10, 50); }, "Bad BTN_frame0 call!"},
        {[] { BTN_frame0(6, 100.5f, 50, 30); }, "BTN_frame0 non-int x_center!"},
        {[] { BTN_frame0(6, 100, 50.25f, 30); }, "BTN_frame0 non-int y_center!"},
        {[] { BTN_frame2(10, 0, 0, 50, 50, "panel title"); }, "Bad BTN_frame2 call!"},
        {[] { BTN_fillwin(1, 9); }, "Bad BTN_frame2 call!"},
        {[] {
             int sel = 0;
             BTN_textlist(10, 10, &sel, "a|b", "the label");
         },
         "Found | char in text string!"},
        {[] {
             int sel = 0;
             BTN_textlist(10, 10, &sel, std::string(300, '-'), "the label");
         },
         "BTN_text_list overflow!"},
    };
    for (const auto& c : cases) {
        const ChildResult r = run_in_child(c.call);
        EXPECT_TRUE(r.aborted()) << c.message << "\n" << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
    // The panel's title and the pop-up's choices and label travel with the alert.
    ChildResult r = run_in_child([] { BTN_frame2(21, 0, 0, 5, 5, "panel title"); });
    EXPECT_NE(r.out.find("panel title"), std::string::npos) << r.out;
    r = run_in_child([] {
        int sel = 0;
        BTN_textlist(10, 10, &sel, "a|b", "the label");
    });
    EXPECT_NE(r.out.find("a|b"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the label"), std::string::npos) << r.out;
}

} // namespace
