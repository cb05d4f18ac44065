// The keyboard focus ring. Fields that take typing have no objects, so focus
// is held by a field key derived from the field's position. Every such field
// registers in the ring when it is drawn; the keyboard layer offers each key
// event to BTN_dispatch_to_focus first, which moves the focus on Tab or puts
// the key in the focused field's queue; the field consumes its queue the next
// time it is drawn (BTN_consume_keys).
//
// Frame order: keys are dispatched during event handling, against the ring of
// the previous frame; then BTN_begin_focus_ring; then the fields are drawn,
// register again and consume what was queued for them.
#pragma once

#include <vector>

// Accept-mask bits: the keys a focused field wants queued. The character
// groups apply only to keys that are none of the keys named above them.
enum {
    kAcceptTab = 0x1,         // Tab; without it Tab moves the focus
    kAcceptReturn = 0x2,      // Return and Enter
    kAcceptErase = 0x4,       // Backspace and Delete
    kAcceptEscape = 0x8,      // Escape
    kAcceptNavigation = 0x10, // Page Up, Page Down, End, Home and the arrows
    kAcceptLetters = 0x20,    // 'A'..'Z', 'a'..'z'
    kAcceptDigits = 0x40,     // '0'..'9'
    kAcceptSigns = 0x80,      // '+' and '-'
    kAcceptPrintable = 0x100, // any other printable character
    kAcceptOther = 0x200,     // any other character
};
// The masks of the widgets: Return and Escape always reach the keyboard layer.
constexpr int kMaskTextField = 0x1F4;  // everything printable, erase, navigation
constexpr int kMaskListSearch = 0x1F0; // as the text field, without erasing
constexpr int kMaskNumberField = 0xD0; // navigation, digits, '+' and '-'

// Every widget function keeps queues of this many entries.
constexpr int kFocusQueueCap = 64;

// One field drawn in this frame.
struct focus_info_t {
    int key; // BTN_field_key of the field
    int* char_queue;
    int* vkey_queue;
    int* flag_queue;
    int* key_queue; // the field key focused when the entry was queued
    int* counter;   // entries written since the queue was last emptied
    int capacity;
    int accept_mask;
};

// The focus ring between frames, in one record: the fields read it to know
// whether they are focused, the shell's frames and windows reset it.
struct focus_ring_state {
    std::vector<focus_info_t> drawn; // the fields drawn in the current frame, in drawing order
    int focused = 0;                 // the focused field's key, 0 when none
    // Set while the current window has claimed the keyboard; no field then
    // takes focus on its own. Cleared every frame.
    int window_claimed = 0;
    // Every queue set a field has registered with. The ring forgets a widget
    // that stops being drawn; this list does not, so its stale keys can still
    // be dropped. One entry per widget function: a handful.
    std::vector<focus_info_t> queues;
};
extern focus_ring_state focus_ring;

// The key of a field drawn at (x, y): int(y) + int(x) * 8192. Fields of other
// windows may share keys; only the ring of the current frame counts.
int BTN_field_key(float x, float y);
// 1 when a field with `mask` wants the key queued (Tab aside, which moves
// the focus unless the mask has kAcceptTab).
int BTN_focus_accepts(int mask, int character, int vkey);

// Once per frame, before the application draws: drops the queued keys whose
// field was not drawn in the frame that ends, then empties the ring (the
// focus stays) and clears window_claimed.
void BTN_begin_focus_ring();
// Adds a field to this frame's ring; with take_focus it becomes the focused
// one. The queues must live in static storage. Returns 1 when it is focused.
int BTN_register_focus(int key, int* char_queue, int* vkey_queue, int* flag_queue, int* key_queue,
                       int* counter, int capacity, int accept_mask, int take_focus);
// Offers one key press or release to the focused field: 1 when it was taken
// (Tab moved the focus, or the key was queued), 0 when the keyboard layer
// handles it. A key for a full queue is taken and lost.
int BTN_dispatch_to_focus(int character, int vkey, int flags);
// No field has the focus afterwards.
void BTN_unfocus_any();
// 1 while keys wait in a field's queue for the field to be drawn.
int BTN_keys_queued();
// A window was made current: the fields of the one before are gone, and so
// are their ring entries, every queued key and the focus.
void BTN_focus_window_changed();

// ---------------------------------------------------------------------------
// The queues of one widget function (all number fields share one, all text
// fields another), in static storage of that widget.
// ---------------------------------------------------------------------------
struct focus_queue_t {
    int chars[kFocusQueueCap];
    int vkeys[kFocusQueueCap];
    int flags[kFocusQueueCap];
    int keys[kFocusQueueCap];
    int counter;
};

// A queued press for a field to act on.
struct focus_key_t {
    int character;
    int vkey;
    int flags;
};

int BTN_register_focus(int key, focus_queue_t& q, int accept_mask, int take_focus);

// What every field does with its queue when it is drawn: takes out the
// entries queued for `key`, copies the presses among them to `out` in typing
// order and returns their number (releases are passed over). Other fields'
// entries stay. A queue with no entry left from earlier frames starts again
// at 0.
int BTN_consume_keys(focus_queue_t& q, int key, focus_key_t out[kFocusQueueCap]);
