// The editor class through a small subclass: every callback reaches its
// virtual operation, and host replacements keep the selection in step with
// the text and inside it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <type_traits>

#include "OOPS_cpp/ogle_class.h"

static_assert(!std::is_copy_constructible_v<OGLE>, "a copy would destroy the record twice");
static_assert(!std::is_copy_assignable_v<OGLE>, "a copy would destroy the record twice");
static_assert(std::has_virtual_destructor_v<OGLE>);

namespace
{
// Fixed-width characters, 10 wide and 10 high, in a 200-wide box.
class Editor : public OGLE
{
  public:
    std::string text;
    std::map<std::string, int> calls; // operation name -> times called
    int last_from = -1, last_to = -1;
    std::string last_insert;
    float told_height = -1;

    explicit Editor(std::string t) : text(std::move(t)) {}
    OGLE_Rec* record() { return rec; }
    std::pair<int, int> selection()
    {
        int s = -1, e = -1;
        GetSelection(&s, &e);
        return {s, e};
    }

    void GetVisibleBounds(float box[4]) override
    {
        ++calls["GetVisibleBounds"];
        box[0] = 0, box[1] = 0, box[2] = 200, box[3] = 30;
    }
    void GetLogicalBounds(float box[4]) override
    {
        ++calls["GetLogicalBounds"];
        box[0] = 0, box[1] = 0, box[2] = 200, box[3] = 30;
    }
    void SetLogicalHeight(float height) override
    {
        ++calls["SetLogicalHeight"];
        told_height = height;
    }
    void ScrollTo(float[2]) override { ++calls["ScrollTo"]; }
    void GetText(const char** begin, const char** end) override
    {
        ++calls["GetText"];
        *begin = text.data();
        *end = text.data() + text.size();
    }
    void ReplaceText(int from, int to, const char* begin, const char* end) override
    {
        ++calls["ReplaceText"];
        last_from = from;
        last_to = to;
        last_insert = begin ? std::string(begin, end) : std::string();
        text.replace(size_t(from), size_t(to - from), last_insert);
    }
    float GetLineHeight() override
    {
        ++calls["GetLineHeight"];
        return 10;
    }
    float MeasureString(const char* begin, const char* end) override
    {
        ++calls["MeasureString"];
        return 10.0f * float(end - begin);
    }
    int FitStringFwd(const char* begin, const char* end, float width) override
    {
        ++calls["FitStringFwd"];
        const int n = int(width / 10 + 0.5f);
        return n < end - begin ? n : int(end - begin);
    }
    int FitStringRev(const char*, const char*, float) override
    {
        ++calls["FitStringRev"];
        return 7;
    }
    void DrawString(const char*, const char*, float, float) override { ++calls["DrawString"]; }
    void DrawSelection(float[4]) override { ++calls["DrawSelection"]; }
    const char* WordBreak(const char* p, const char* end) override
    {
        ++calls["WordBreak"];
        while (p < end && *p != ' ')
            ++p;
        return p;
    }
};
} // namespace

TEST(OgleClass, EveryCallbackReachesItsOperation)
{
    Editor ed("hello wide world");
    EXPECT_EQ(OGLE_GetRef(ed.record()), static_cast<OGLE*>(&ed));
    ed.Repaginate();
    EXPECT_FLOAT_EQ(ed.told_height, 10); // one line
    ed.Click(55, 25, 0);                 // between "hello" and " wide"
    EXPECT_EQ(ed.selection(), std::make_pair(6, 6));
    ed.Drag(105, 25);
    EXPECT_EQ(ed.selection(), std::make_pair(6, 11));
    ed.Draw(1);
    ed.Key('X', 0);
    EXPECT_EQ(ed.text, "hello Xworld");
    ed.SetSelection(12, 12);
    ed.Key(28, 1); // Shift+Left
    EXPECT_EQ(ed.selection(), std::make_pair(11, 12));
    ed.SetSelection(0, 0);
    for (int i = 0; i < 30; ++i)
        ed.Key('y', 0); // past the box's right edge: the view scrolls
    ed.RevealSelection();
    EXPECT_EQ(OGLE::FitStringRevCB(ed.record(), ed.text.data(), ed.text.data(), 5), 7);

    for (const char* op :
         {"GetVisibleBounds", "GetLogicalBounds", "SetLogicalHeight", "ScrollTo", "GetText",
          "ReplaceText", "GetLineHeight", "MeasureString", "FitStringFwd", "FitStringRev",
          "DrawString", "DrawSelection", "WordBreak"})
        EXPECT_GT(ed.calls[op], 0) << op;
}

TEST(OgleClass, ReplacementsKeepTheSelectionInStep)
{
    const std::string twenty = "abcdefghijklmnopqrst";
    const struct {
        const char* name;
        std::string text;
        int s, e;
        int from, to;
        std::string insert;
        int want_s, want_e;
    } cases[] = {
        {"caret after the range moves by the change", twenty, 10, 10, 2, 4, "123456", 14, 14},
        {"range ending at the start moves it", twenty, 5, 8, 3, 5, "", 3, 6},
        {"selection starting inside collapses", twenty, 5, 8, 3, 10, "12", 3, 3},
        {"selection starting inside shrinks", twenty, 5, 8, 3, 6, "1", 5, 6},
        {"selection before the range stays", twenty, 0, 10, 2, 4, "", 0, 10},
        {"selection wholly before stays", twenty, 1, 3, 5, 6, "xyz", 1, 3},
        // Its end would lie past the shortened text: it is kept inside.
        {"end clamped to the shorter text", "abcdefghij", 0, 10, 2, 4, "", 0, 8},
        {"caret at the end of a cut text", "abcdefghij", 9, 10, 2, 10, "", 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor ed(c.text);
        ed.Repaginate();
        ed.SetSelection(c.s, c.e);
        const int height_calls = ed.calls["SetLogicalHeight"];
        ed.DoReplaceText(c.from, c.to, c.insert.data(), c.insert.data() + c.insert.size());
        EXPECT_EQ(ed.selection(), std::make_pair(c.want_s, c.want_e));
        EXPECT_EQ(ed.last_from, c.from);
        EXPECT_EQ(ed.last_to, c.to);
        EXPECT_EQ(ed.last_insert, c.insert);
        EXPECT_GT(ed.calls["SetLogicalHeight"], height_calls); // re-wrapped
        int s, e;
        ed.GetSelection(&s, &e);
        EXPECT_LE(e, int(ed.text.size()));
    }
}

TEST(OgleClass, ReplacementRangesAreKeptInsideTheText)
{
    Editor ed("abcdefghij");
    ed.Repaginate();
    ed.SetSelection(10, 10);
    ed.DoReplaceText(8, 50, nullptr, nullptr);
    EXPECT_EQ(ed.last_from, 8);
    EXPECT_EQ(ed.last_to, 10);
    EXPECT_EQ(ed.text, "abcdefgh");
    EXPECT_EQ(ed.selection(), std::make_pair(8, 8));
    ed.DoReplaceText(5, 2, "Z", nullptr); // reversed range, a half-null insert
    EXPECT_EQ(ed.last_from, 2);
    EXPECT_EQ(ed.last_to, 5);
    EXPECT_EQ(ed.text, "abfgh");
    EXPECT_EQ(ed.selection(), std::make_pair(5, 5));
}
