// The one-line text field and the editor record all text fields share.
//
// Index of this file:
//   [SECTION] Editor callbacks
//   [SECTION] Keys of a focused field
//   [SECTION] Text field
//
// One editor record serves the focused field. While a field is focused, the
// text fields' record below describes it and the callbacks edit its string
// in place; they are only called from inside BTN_enterstring of that field,
// so the string pointer is never used after its owner's frame.
#include <algorithm>
#include <cctype>

#include "GenH/hl_menu_table.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_focus.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/keys_tables.h"
#include "OOPS_cpp/ogle.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"

namespace
{
constexpr int kColText = 45, kColSelection = 8, kColCaret = 45;
constexpr float kLineBelow = 2, kLineAbove = 9, kLineHeight = 11;
constexpr float kNoWrapExtra = 1024; // the logical box is this much wider: one line
constexpr float kHitAbove = 8;
constexpr float kFieldDx = 2, kFieldDy = 3, kFieldPad = 10; // the white field's bar
constexpr float kLabelGapLeft = 12, kLabelGapRight = 6;
constexpr float kClipLeft = 1, kClipBelow = 3, kClipPad = 2, kClipHeight = 11;

// What the text fields keep between frames: the one editor record, what it
// is told of the focused field it serves, and the fields' key queues.
struct text_field_state {
    OGLE_Rec* editor = nullptr;       // made when the first field is drawn
    int served_key = 0;               // the field the editor's selection and scroll belong to
    std::string* text = nullptr;      // the focused field's string; null once its owner forgets it
    int x = 0, y = 0, width = 0;      // the focused field's place
    int max_len = 0;                  // its limit: the text may not grow past it
    float scroll_x = 0, scroll_y = 0; // how far the editor has moved the text
    int edited = 0;                   // the editor changed the text in this call
    int drag_key = 0;                 // the field the held button was pressed in, 0 when none
    focus_queue_t queue{};            // the keys queued for text fields
};
text_field_state text_field;
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Editor callbacks
// ---------------------------------------------------------------------------

namespace
{
float run_width(const char* b, const char* e)
{
    float w = 0;
    for (const char* p = b; p < e; ++p)
        w += OGL_char_advance(static_cast<unsigned char>(*p));
    return w;
}

void cb_visible(OGLE_Rec*, float box[4])
{
    const text_field_state& f = text_field;
    box[0] = float(f.x);
    box[1] = f.y - kLineBelow;
    box[2] = float(f.x + f.width);
    box[3] = f.y + kLineAbove;
}

void cb_logical(OGLE_Rec*, float box[4])
{
    const text_field_state& f = text_field;
    box[0] = f.x - f.scroll_x;
    box[1] = f.y - kLineBelow - f.scroll_y;
    box[2] = f.x + f.width - f.scroll_x + kNoWrapExtra;
    box[3] = f.y + kLineAbove - f.scroll_y;
}

void cb_set_height(OGLE_Rec*, float) {}

void cb_scroll(OGLE_Rec*, float offset[2])
{
    text_field.scroll_x = offset[0];
    text_field.scroll_y = offset[1];
}

void cb_text(OGLE_Rec*, const char** begin, const char** end)
{
    static const char empty = 0;
    const std::string* text = text_field.text;
    if (!text) {
        *begin = *end = &empty;
        return;
    }
    *begin = text->data();
    *end = *begin + text->size();
}

// A replacement that would make the text longer than the field's limit is
// refused: the text stays as it was and nothing counts as edited. Typing
// into a full field thus types nothing, instead of pushing out the last
// character.
void cb_replace(OGLE_Rec*, int from, int to, const char* begin, const char* end)
{
    std::string* text = text_field.text;
    if (!text) return;
    const long len = long(text->size());
    const long f = std::clamp(long(from), 0L, len);
    const long t = std::clamp(long(to), f, len);
    const long n = (begin && end && end > begin) ? long(end - begin) : 0;
    const long new_len = len - (t - f) + n;
    if (new_len > len && new_len > text_field.max_len) return;
    text_field.edited = 1;
    if (n)
        text->replace(size_t(f), size_t(t - f), begin, size_t(n));
    else
        text->erase(size_t(f), size_t(t - f));
}

float cb_line_height(OGLE_Rec*)
{
    return kLineHeight;
}

float cb_measure(OGLE_Rec*, const char* b, const char* e)
{
    return run_width(b, e);
}

// Characters up to and including the one that uses the width up.
int cb_fit_fwd(OGLE_Rec*, const char* b, const char* e, float width)
{
    if (b >= e || width <= 0) return 0;
    int n = 0;
    for (const char* p = b; p < e; ++p) {
        ++n;
        width -= OGL_char_advance(static_cast<unsigned char>(*p));
        if (width <= 0) break;
    }
    return n;
}

int cb_fit_rev(OGLE_Rec*, const char* b, const char* e, float width)
{
    if (b >= e) return 0;
    int n = 0;
    for (const char* p = e; p > b; --p) {
        ++n;
        width -= OGL_char_advance(static_cast<unsigned char>(p[-1]));
        if (width <= 0) break;
    }
    return n;
}

// The field has one line: it is drawn at the field's own base.
void cb_draw(OGLE_Rec*, const char* b, const char* e, float, float)
{
    const text_field_state& f = text_field;
    OGL_string(kColText, f.x - f.scroll_x, f.y - f.scroll_y, std::string(b, e), kTextNoWrap,
               kCharsetProp, kTextLeft);
}

// The caret fades in and out with the clock's pulse.
void cb_selection(OGLE_Rec*, float box[4])
{
    if (box[0] != box[2])
        OGL_fillrect(kColSelection, 1, box[0], box[1], box[2] - box[0], box[3] - box[1]);
    else {
        OGL_line(kColCaret, colr.pulse, box[0], box[1], box[0], box[3]);
        colr.pulse_drawn = 1;
    }
}

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

const char* cb_word_break(OGLE_Rec*, const char* p, const char* e)
{
    while (p < e && is_space(*p))
        ++p;
    while (p < e && !is_space(*p))
        ++p;
    return p;
}
} // namespace

const OGLE_Callbacks OGLE_cbs = {cb_visible, cb_logical,     cb_set_height, cb_scroll,  cb_text,
                                 cb_replace, cb_line_height, cb_measure,    cb_fit_fwd, cb_fit_rev,
                                 cb_draw,    cb_selection,   cb_word_break};

// ---------------------------------------------------------------------------
// [SECTION] Keys of a focused field
// ---------------------------------------------------------------------------
//
// The editor knows Backspace and the four arrows and takes every other code
// as text; the field gives it printable ASCII only and builds the other
// editing keys from those: on its one line, Up goes to the start and Down to
// the end.
//   Home       Up twice (the first collapses a selection, the second moves)
//   End        Down twice
//   Delete     a selection: Backspace; a caret before the end: Shift+Right,
//              then Backspace
// Tab, Return, Escape and keys without a printable character (Page Up,
// Insert, F-keys, ...) type nothing.

void BTN_text_key(OGLE_Rec* ed, int character, int vkey, int flags)
{
    const int shift = flags & kKeyFlagShift;
    switch (vkey) {
    case ZYNT_VK_HOME:
    case ZYNT_VK_END: {
        const char move = vkey == ZYNT_VK_HOME ? kOGLE_Up : kOGLE_Down;
        OGLE_Key(ed, move, shift);
        OGLE_Key(ed, move, shift);
        return;
    }
    case ZYNT_VK_DELETE: {
        int s = 0, e = 0;
        OGLE_GetSelection(ed, &s, &e);
        const char* b = nullptr;
        const char* end = nullptr;
        ed->cb.GetText(ed, &b, &end);
        if (s == e) {
            if (e >= end - b) return;
            OGLE_Key(ed, kOGLE_Right, 1);
        }
        OGLE_Key(ed, kOGLE_Backspace, 0);
        return;
    }
    default:
        break;
    }
    const bool typed = character >= 0x20 && character <= 0x7E;
    const bool editing =
        character == kOGLE_Backspace || (character >= kOGLE_Left && character <= kOGLE_Down);
    if (typed || editing) OGLE_Key(ed, char(character), shift);
}

// ---------------------------------------------------------------------------
// [SECTION] Text field
// ---------------------------------------------------------------------------
//
// Returns 1 in a frame in which the text was changed through the editor.
// The focus comes by a click in the field's box, by Tab, or on its own
// (take_focus) while nothing has it.

OGLE_Rec* BTN_text_editor()
{
    return text_field.editor;
}

void BTN_text_forget(const std::string* text)
{
    if (text_field.text == text) text_field.text = nullptr;
}

int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label,
                    float width, int take_focus)
{
    text_field_state& f = text_field;
    if (!f.editor) f.editor = OGLE_Create(&OGLE_cbs, nullptr);
    OGLE_Rec* const ed = f.editor;
    if (max_len < 0) max_len = 0;

    const btn_box box{x, y, x + width, y + kHitAbove};
    const int by_click = mnw.mouse_press && BTN_mouse_in(box);
    const int take = by_click || (take_focus && !focus_ring.window_claimed && !focus_ring.focused);
    const int key = BTN_field_key(x, y);
    const int focused = BTN_register_focus(key, f.queue, kMaskTextField, take);
    f.edited = 0;

    if (focused) {
        f.x = int(x);
        f.y = int(y);
        f.text = text;
        f.width = int(width);
        f.max_len = max_len;
        if (key != f.served_key) {
            f.scroll_x = f.scroll_y = 0;
            if (!by_click) OGLE_SetSelection(ed, 0, int(text->size()));
            OGLE_Repaginate(ed);
        }
        f.served_key = key;
        int s = 0, e = 0;
        OGLE_GetSelection(ed, &s, &e);
        e = std::clamp(e, 0, int(text->size()));
        s = std::clamp(s, 0, e);
        OGLE_SetSelection(ed, s, e);
        // Only a press in this field places its caret and starts a drag: a
        // field that takes the focus on its own after a press elsewhere
        // keeps its whole text selected.
        if (by_click) {
            OGLE_Click(ed, mnw.mouse_x, mnw.mouse_y, 0);
            f.drag_key = key;
        } else if (mnw.mouse_held && f.drag_key == key) {
            OGLE_Drag(ed, mnw.mouse_x, mnw.mouse_y);
        }
    }
    if (!mnw.mouse_held) f.drag_key = 0;

    // A key acts only on the field it was typed into, and only while the
    // editor serves that field: a key queued before the focus moved on (a
    // Tab or a click in the same batch) is dropped, not typed elsewhere.
    focus_key_t keys_in[kFocusQueueCap];
    const int n = BTN_consume_keys(f.queue, key, keys_in);
    if (focused && f.text == text)
        for (int i = 0; i < n; ++i)
            BTN_text_key(ed, keys_in[i].character, keys_in[i].vkey, keys_in[i].flags);

    BTN_frame1(kBarField, x + width / 2 - kFieldDx, y + kFieldDy, width + kFieldPad, kColrNoTint);
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_util_draw_label(x - kLabelGapLeft, y, kAlignEnd, left, 0);
    BTN_util_draw_label(x + width + kLabelGapRight, y, kAlignStart, right, 0);
    OGL_scissors(x - kClipLeft, y - kClipBelow, width + kClipPad, kClipHeight);
    if (focused)
        OGLE_Draw(ed, 1);
    else
        OGL_string(kColText, x, y, *text, kTextNoWrap, kCharsetProp, kTextLeft);
    OGL_scissors_end();

    if (f.edited && text->size() > size_t(max_len)) {
        text->resize(size_t(max_len));
        OGLE_Repaginate(ed);
    }
    return f.edited;
}
