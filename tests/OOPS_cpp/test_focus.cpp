// The keyboard focus ring, driven as the frame pass and the fields drive it:
// keys are dispatched between frames, and each frame starts the ring and then
// lets every drawn field register and consume its queue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/keys_tables.h"

namespace
{
// One queue set per widget function, in static storage as in the widgets.
focus_queue_t number_queue, text_queue;

// A field as a widget would draw it.
struct field {
    field(float x_, float y_, focus_queue_t* q_, int mask_) : x(x_), y(y_), q(q_), mask(mask_) {}
    float x, y;
    focus_queue_t* q;
    int mask;
    std::string typed; // characters of the presses it acted on
    std::vector<focus_key_t> got;
    int key() const { return BTN_field_key(x, y); }
};

// Draws the field: registers it, then consumes what was queued for it.
int draw(field& f, int take_focus = 0)
{
    const int focused = BTN_register_focus(f.key(), *f.q, f.mask, take_focus);
    focus_key_t out[kFocusQueueCap];
    const int n = BTN_consume_keys(*f.q, f.key(), out);
    for (int i = 0; i < n; ++i) {
        f.got.push_back(out[i]);
        if (out[i].character) f.typed += static_cast<char>(out[i].character);
    }
    return focused;
}

// One frame pass after the event phase: the ring starts, the fields draw.
void frame(std::vector<field*> fields)
{
    BTN_begin_focus_ring();
    for (field* f : fields)
        draw(*f);
}

// A key press as the keyboard layer offers it; the release follows, so both
// reach the queue like real typing.
int press(int character, int vkey, int mods = 0)
{
    const int taken = BTN_dispatch_to_focus(character, vkey, mods | kKeyFlagDown);
    BTN_dispatch_to_focus(character, vkey, mods | kKeyFlagUp);
    return taken;
}
int type_char(char c)
{
    return press(c, c >= '0' && c <= '9' ? c : 0);
}
int tab(int mods = 0)
{
    return press(9, ZYNT_VK_TAB, mods);
}

class FocusRing : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        mnw.win_now = kWinMain;
        BTN_focus_window_changed();
    }
    void TearDown() override { BTN_focus_window_changed(); }
};
} // namespace

TEST(FocusKeys, FieldKeyDropsFractionsTowardZero)
{
    EXPECT_EQ(BTN_field_key(100.9f, 50.9f), 50 + 100 * 8192);
    EXPECT_EQ(BTN_field_key(0.5f, 7.0f), 7);
    EXPECT_EQ(BTN_field_key(-1.5f, 3.2f), 3 - 8192);
}

TEST(FocusKeys, AcceptMasks)
{
    struct accept_case {
        int mask, character, vkey, accepted;
    };
    const accept_case cases[] = {
        // Return and Enter go on to the keyboard layer for text and number fields.
        {kMaskTextField, 13, ZYNT_VK_RETURN, 0},
        {kMaskNumberField, 13, ZYNT_VK_RETURN, 0},
        {kMaskTextField, 0, ZYNT_VK_ENTER, 0},
        {kMaskNumberField, 13, ZYNT_VK_ENTER, 0},
        {kAcceptReturn, 13, ZYNT_VK_RETURN, 1},
        {kMaskTextField, 27, ZYNT_VK_ESCAPE, 0},
        {kAcceptEscape, 27, ZYNT_VK_ESCAPE, 1},
        // Letters are not for number fields.
        {kMaskNumberField, 'a', ZYNT_VK_A, 0},
        {kMaskNumberField, 'Z', ZYNT_VK_Z, 0},
        {kMaskTextField, 'a', ZYNT_VK_A, 1},
        {kMaskNumberField, '7', ZYNT_VK_7, 1},
        {kMaskNumberField, '7', ZYNT_VK_NUMPAD7, 1},
        {kMaskNumberField, '+', ZYNT_VK_EQUAL, 1},
        {kMaskNumberField, '-', ZYNT_VK_SUBTRACT, 1},
        {kMaskNumberField, '.', ZYNT_VK_PERIOD, 0},
        {kMaskNumberField, kCharUp, ZYNT_VK_UP, 1},
        {kMaskNumberField, 0, ZYNT_VK_HOME, 1},
        {kMaskNumberField, 8, ZYNT_VK_BACK, 0},
        {kMaskTextField, 8, ZYNT_VK_BACK, 1},
        {kMaskTextField, 0, ZYNT_VK_DELETE, 1},
        {kMaskListSearch, 8, ZYNT_VK_BACK, 0},
        {kMaskListSearch, 'q', ZYNT_VK_Q, 1},
        {kMaskTextField, ' ', ZYNT_VK_SPACE, 1},
        {kMaskNumberField, ' ', ZYNT_VK_SPACE, 0},
        {kMaskTextField, '~', ZYNT_VK_BACKQUOTE, 1},
        // Ctrl+A has no character; a Latin-1 letter is not printable here.
        {kMaskTextField, 0, ZYNT_VK_A, 0},
        {kAcceptOther, 0, ZYNT_VK_A, 1},
        {kMaskTextField, 0xE9, 0, 0},
        {kMaskTextField, 9, ZYNT_VK_TAB, 0},
        {kAcceptTab, 9, ZYNT_VK_TAB, 1},
        // The vkey decides before the character does.
        {kAcceptDigits, '5', ZYNT_VK_LEFT, 0},
    };
    for (const accept_case& c : cases)
        EXPECT_EQ(BTN_focus_accepts(c.mask, c.character, c.vkey), c.accepted)
            << "mask " << c.mask << " char " << c.character << " vkey " << c.vkey;
}

TEST_F(FocusRing, RegisterReportsAndTakesTheFocus)
{
    field a{100, 50, &number_queue, kMaskNumberField}, b{200, 50, &number_queue, kMaskNumberField};
    BTN_begin_focus_ring();
    EXPECT_EQ(draw(a), 0);
    EXPECT_EQ(draw(b, 1), 1);
    EXPECT_EQ(focus_ring.focused, b.key());
    BTN_begin_focus_ring();
    EXPECT_EQ(focus_ring.drawn.size(), 0u);
    EXPECT_EQ(focus_ring.focused, b.key()); // the focus outlives the ring
    EXPECT_EQ(draw(a), 0);
    EXPECT_EQ(draw(b), 1);
    BTN_unfocus_any();
    EXPECT_EQ(focus_ring.focused, 0);
}

TEST_F(FocusRing, TabCyclesInDrawingOrderAndShiftTabWraps)
{
    field a{100, 300, &number_queue, kMaskNumberField}, b{100, 200, &text_queue, kMaskTextField},
        c{100, 100, &number_queue, kMaskNumberField};
    frame({&a, &b, &c});
    EXPECT_EQ(BTN_dispatch_to_focus('5', ZYNT_VK_5, kKeyFlagDown), 0); // nothing focused
    EXPECT_EQ(tab(), 1);
    EXPECT_EQ(focus_ring.focused, a.key());
    frame({&a, &b, &c});
    EXPECT_EQ(tab(), 1);
    EXPECT_EQ(focus_ring.focused, b.key());
    EXPECT_EQ(tab(), 1);
    EXPECT_EQ(focus_ring.focused, c.key());
    EXPECT_EQ(tab(), 1);
    EXPECT_EQ(focus_ring.focused, a.key()); // wraps forward
    EXPECT_EQ(tab(kKeyFlagShift), 1);
    EXPECT_EQ(focus_ring.focused, c.key()); // and backward
    EXPECT_EQ(BTN_dispatch_to_focus(9, ZYNT_VK_TAB, kKeyFlagUp), 0);
    frame({&a, &b, &c});
    EXPECT_TRUE(a.got.empty() && b.got.empty() && c.got.empty()); // Tab was never queued
}

TEST_F(FocusRing, ShiftTabWithNothingFocusedTakesTheFirstField)
{
    field a{10, 30, &text_queue, kMaskTextField}, b{10, 20, &text_queue, kMaskTextField};
    frame({&a, &b});
    EXPECT_EQ(tab(kKeyFlagShift), 1);
    EXPECT_EQ(focus_ring.focused, a.key());
    // With no field drawn a Tab goes on to the keyboard layer.
    BTN_unfocus_any();
    frame({});
    EXPECT_EQ(tab(), 0);
    EXPECT_EQ(focus_ring.focused, 0);
}

TEST_F(FocusRing, AFieldThatAcceptsTabGetsItQueued)
{
    field a{10, 30, &text_queue, kMaskTextField | kAcceptTab},
        b{10, 20, &text_queue, kMaskTextField};
    BTN_begin_focus_ring();
    draw(a, 1);
    draw(b);
    EXPECT_EQ(tab(), 1);
    EXPECT_EQ(BTN_dispatch_to_focus(9, ZYNT_VK_TAB, kKeyFlagUp), 1); // the release too
    EXPECT_EQ(focus_ring.focused, a.key());
    frame({&a, &b});
    ASSERT_EQ(a.got.size(), 1u); // the release is consumed without acting on it
    EXPECT_EQ(a.got[0].vkey, ZYNT_VK_TAB);
    EXPECT_EQ(a.got[0].flags, kKeyFlagDown);
    EXPECT_TRUE(b.got.empty());
}

TEST_F(FocusRing, AlertWindowTakesNothing)
{
    field a{10, 30, &number_queue, kMaskNumberField}, b{10, 20, &number_queue, kMaskNumberField};
    BTN_begin_focus_ring();
    draw(a, 1);
    draw(b);
    mnw.win_now = kWinAlert;
    EXPECT_EQ(type_char('4'), 0);
    EXPECT_EQ(tab(), 0);
    EXPECT_EQ(focus_ring.focused, a.key());
    mnw.win_now = kWinMain;
    frame({&a, &b});
    EXPECT_TRUE(a.got.empty());
    EXPECT_EQ(number_queue.counter, 0);
}

TEST_F(FocusRing, ReturnAndLettersGoOnToTheKeyboardLayer)
{
    field num{10, 30, &number_queue, kMaskNumberField}, txt{10, 60, &text_queue, kMaskTextField};
    BTN_begin_focus_ring();
    draw(num, 1);
    draw(txt);
    EXPECT_EQ(press(13, ZYNT_VK_RETURN), 0);
    EXPECT_EQ(press(13, ZYNT_VK_ENTER), 0);
    EXPECT_EQ(type_char('x'), 0);
    EXPECT_EQ(type_char('3'), 1);
    EXPECT_EQ(focus_ring.focused, num.key());
    frame({&num, &txt});
    EXPECT_EQ(num.typed, "3");

    BTN_begin_focus_ring();
    draw(num);
    draw(txt, 1);
    EXPECT_EQ(press(13, ZYNT_VK_RETURN), 0);
    EXPECT_EQ(type_char('x'), 1);
    frame({&num, &txt});
    EXPECT_EQ(txt.typed, "x");
    EXPECT_EQ(num.typed, "3");
}

TEST_F(FocusRing, KeysQueuedAroundATabReachTheirOwnFields)
{
    field a{10, 30, &number_queue, kMaskNumberField}, b{10, 20, &number_queue, kMaskNumberField};
    frame({&a, &b});
    tab();
    type_char('1');
    tab();
    type_char('2');
    type_char('3');
    frame({&a, &b});
    EXPECT_EQ(a.typed, "1");
    EXPECT_EQ(b.typed, "23");
    frame({&a, &b});
    EXPECT_EQ(number_queue.counter, 0);
}

TEST_F(FocusRing, StaleFocusIsClearedByTheNextKey)
{
    field a{10, 30, &number_queue, kMaskNumberField}, b{10, 20, &number_queue, kMaskNumberField};
    BTN_begin_focus_ring();
    draw(a, 1);
    frame({&b}); // a's window is gone; b belongs to another one
    EXPECT_EQ(focus_ring.focused, a.key());
    EXPECT_EQ(type_char('9'), 0);
    EXPECT_EQ(focus_ring.focused, 0);
    frame({&b});
    EXPECT_TRUE(a.got.empty() && b.got.empty());
    EXPECT_EQ(tab(), 1); // the first key after that is a plain Tab again
    EXPECT_EQ(focus_ring.focused, b.key());
}

TEST_F(FocusRing, AFullQueueKeepsTheFirstEntriesAndStartsAgain)
{
    field a{10, 30, &number_queue, kMaskNumberField};
    BTN_begin_focus_ring();
    draw(a, 1);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(BTN_dispatch_to_focus('0' + i % 10, ZYNT_VK_0 + i % 10, kKeyFlagDown), 1) << i;
    EXPECT_EQ(number_queue.counter, kFocusQueueCap);
    frame({&a});
    ASSERT_EQ(a.typed.size(), static_cast<size_t>(kFocusQueueCap));
    for (int i = 0; i < kFocusQueueCap; ++i)
        EXPECT_EQ(a.typed[i], '0' + i % 10);
    frame({&a});
    EXPECT_EQ(number_queue.counter, 0);
    type_char('5');
    frame({&a});
    EXPECT_EQ(a.typed.back(), '5');
}

// A digit and Return in one batch: the digit is queued for the field, the
// Return closes its window before the field is drawn again. The digit must not
// stay in the queue that the number fields of every window share.
TEST_F(FocusRing, AKeyForAClosedWindowIsDroppedOnTheWindowChange)
{
    field sub{300, 200, &number_queue, kMaskNumberField},
        main_field{100, 50, &number_queue, kMaskNumberField};
    BTN_begin_focus_ring();
    draw(sub, 1);
    EXPECT_EQ(type_char('7'), 1);
    EXPECT_EQ(press(13, ZYNT_VK_RETURN), 0); // the keyboard layer closes the window:
    BTN_focus_window_changed();
    EXPECT_EQ(focus_ring.focused, 0);
    EXPECT_EQ(focus_ring.drawn.size(), 0u);
    EXPECT_EQ(number_queue.counter, 0);

    // The main window: a click focuses its field, then 100 keys, one a frame.
    BTN_begin_focus_ring();
    draw(main_field, 1);
    std::string sent;
    for (int i = 0; i < 100; ++i) {
        const char c = static_cast<char>('0' + i % 10);
        sent += c;
        EXPECT_EQ(type_char(c), 1) << i;
        frame({&main_field});
    }
    EXPECT_EQ(main_field.typed, sent);
    EXPECT_TRUE(sub.got.empty());
}

// The same without a window change: the field just stops being drawn.
TEST_F(FocusRing, AKeyForAFieldNoLongerDrawnIsDroppedAtTheNextFrame)
{
    field gone{300, 200, &number_queue, kMaskNumberField},
        other{100, 50, &number_queue, kMaskNumberField};
    BTN_begin_focus_ring();
    draw(gone, 1);
    type_char('7');
    frame({});       // the key waits for a field that is not drawn
    frame({&other}); // dropped here
    EXPECT_EQ(number_queue.counter, 0);

    BTN_begin_focus_ring();
    draw(other, 1);
    std::string sent;
    for (int i = 0; i < 100; ++i) {
        const char c = static_cast<char>('0' + i % 10);
        sent += c;
        type_char(c);
        if (i % 3 == 0) type_char('+'); // several keys in some frames
        if (i % 3 == 0) sent += '+';
        frame({&other});
    }
    EXPECT_EQ(other.typed, sent);
    EXPECT_TRUE(gone.got.empty());
}

TEST_F(FocusRing, FieldsOfTwoWidgetsAtOneSpotKeepTheirOwnQueues)
{
    // A number field and a text field with the same key: a key queued for the
    // text field is not the number field's, and it goes when the text field
    // is no longer drawn.
    field num{10, 30, &number_queue, kMaskNumberField}, txt{10, 30, &text_queue, kMaskTextField};
    BTN_begin_focus_ring();
    draw(txt, 1);
    type_char('k');
    frame({&num});
    EXPECT_TRUE(num.got.empty());
    frame({&num});
    EXPECT_EQ(text_queue.counter, 0);
}
