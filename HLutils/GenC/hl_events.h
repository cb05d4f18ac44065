// X11 events into the window record: pointer, buttons, wheel, keys.
#pragma once

#include <X11/Xlib.h>

#include "OOPS_cpp/keys.h"

// Handles one queued event (the frame pass calls it for each, in order).
void LIN_handleevt(XEvent* event);
// XCheckIfEvent predicate: accepts every event.
Bool LIN_handlewin(Display* display, XEvent* event, XPointer arg);
// A new invisible pointer shape; the caller owns it.
Cursor LIN_create_null_cursor(Display* display, Drawable drawable);

// A press less than this after the previous one makes a double click.
constexpr unsigned long kDoubleClickMs = 250;
// Whether a press at X time `time`, made while the window-change count is
// `window`, is the second half of a double click whose first press (at
// last_time, in window last_window) was made in another window: such a
// press belongs to that window and is dropped, so a double click on a button
// that opens a window never answers the new window unseen.
bool LIN_press_belongs_elsewhere(unsigned long last_time, unsigned last_window, unsigned long time,
                                 unsigned window);

// The keysyms of a key (levels 0 and 1 of group 0 of keycode & 0xFF) and
// whether Num Lock is on in the modifier state; all 0 without a display.
key_syms LIN_key_syms(long keycode, long state);
