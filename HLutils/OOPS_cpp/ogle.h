// The text editor engine: edits a run of host-owned text inside a box. It lays
// the text out in word-wrapped lines, keeps a selection whose moving end is the
// caret, maps mouse points to positions, moves and edits with keys, scrolls the
// caret into view and issues the drawing. Fonts, colours, storage and windows
// belong to the host, reached only through the 13 callbacks given at creation.
//
// Positions are character offsets from the text's begin, 0 .. length. Boxes are
// float window pixels, y up, in the order left, bottom, right, top.
#pragma once

#include <vector>

struct OGLE_Rec;

// The host's callbacks, in their fixed slot order.
struct OGLE_Callbacks {
    // 1: the window area in which text is visible.
    void (*GetVisibleBounds)(OGLE_Rec* rec, float box[4]);
    // 2: the laid-out text at its current scroll: left edge where lines begin,
    // top edge the top of line 0, width the wrap width.
    void (*GetLogicalBounds)(OGLE_Rec* rec, float box[4]);
    // 3: told after every re-wrap: line count x line height.
    void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
    // 4: put the visible left edge offset[0] right of the logical left edge and
    // the visible bottom offset[1] above the logical bottom.
    void (*ScrollTo)(OGLE_Rec* rec, float offset[2]);
    // 5: the current text; nothing is read at *end.
    void (*GetText)(OGLE_Rec* rec, const char** begin, const char** end);
    // 6: replace positions from .. to - 1 by begin .. end; both null deletes. A
    // host may refuse to let its text grow (a full field): it then leaves the
    // text as it was, and the engine takes the typed character as refused.
    void (*ReplaceText)(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
    // 7: the height of one line.
    float (*GetLineHeight)(OGLE_Rec* rec);
    // 8: the width of begin .. end set on one line.
    float (*MeasureString)(OGLE_Rec* rec, const char* begin, const char* end);
    // 9: how many characters from begin lie left of the point width right of begin.
    int (*FitStringFwd)(OGLE_Rec* rec, const char* begin, const char* end, float width);
    // 10: the same counted backward from end (kept for hosts; the engine never calls it).
    int (*FitStringRev)(OGLE_Rec* rec, const char* begin, const char* end, float width);
    // 11: draw begin .. end with the line's left end at x and its bottom at y.
    void (*DrawString)(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
    // 12: one selection rectangle; left == right is the caret, a vertical stroke.
    void (*DrawSelection)(OGLE_Rec* rec, float box[4]);
    // 13: for p at a character that is not white space, the position just after
    // the word beginning there (above p, at most end).
    const char* (*WordBreak)(OGLE_Rec* rec, const char* p, const char* end);
};

struct OGLE_Rec {
    OGLE_Callbacks cb;            // copied at creation
    void* refcon = nullptr;       // the host's own value, never interpreted
    std::vector<int> line_starts; // start of each line; [0] == 0, strictly increasing
    int sel_start = 0;            // first selected position
    int sel_end = 0;              // position after the selection; == sel_start is a caret
    int active_end = 1;           // 1: sel_end is the caret, 0: sel_start is
    float sticky_x = -1;          // distance from the logical left that Up/Down keep; -1 none
};

// Arrow characters as the keyboard layer delivers them.
enum {
    kOGLE_Backspace = 8,
    kOGLE_Left = 28,
    kOGLE_Right = 29,
    kOGLE_Up = 30,
    kOGLE_Down = 31,
};

// The callbacks are copied; nothing is laid out until OGLE_Repaginate.
OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* refcon);
void OGLE_Destroy(OGLE_Rec* rec); // null is ignored

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end); // null pointers skip their value
// Reversed ends are swapped (flipping the active end); both are clamped into the text.
void OGLE_SetSelection(OGLE_Rec* rec, int start, int end);
// Re-wraps the whole text; a host calls it after changing the text or the box itself.
void OGLE_Repaginate(OGLE_Rec* rec);
// Visible lines and the selection, plus the caret when active is nonzero.
void OGLE_Draw(OGLE_Rec* rec, int active);
void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
// One key: 8 is Backspace, 28 .. 31 the arrows; every other code (a tab,
// CR, LF, a byte above 127) replaces the selection as one character.
void OGLE_Key(OGLE_Rec* rec, char key, int shift);
void OGLE_RevealSelection(OGLE_Rec* rec);

// The engine's inner steps, callable for hosts and tests.
int OGLE_CharPosToLine(const OGLE_Rec* rec, int pos); // -1 without layout or for pos < 0
void OGLE_RepaginateInternal(OGLE_Rec* rec);
int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y);
int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int pos, int delta_lines, float& kept_x);

// For hosts that keep an object behind the record (the editor class).
void* OGLE_GetRef(OGLE_Rec* rec);
// Replaces positions from .. to - 1 by begin .. end (both null, or end not
// after begin, inserts nothing) and re-wraps. A selection after the range
// moves with the text; one that starts inside it shrinks with it. The
// selection is then kept inside the new text; the caret is not revealed.
void OGLE_ReplaceText(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
