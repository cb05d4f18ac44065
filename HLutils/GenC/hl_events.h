// X11 events into the window record: pointer, buttons, wheel, keys.
//
// X key events reach the keyboard handler (keys.handle_key_raw) only from
// LIN_handleevt, with the keysyms LIN_key_syms looks up. A press belongs to the
// window it was made in: it is evaluated at its ButtonPress position, a window
// start moves the pointer position by what the origin moved, and the second
// press of a double click whose first press hit another window is dropped with
// its release.
#pragma once

#include <X11/Xlib.h>

#include "OOPS_cpp/keys.h"

// Handles one queued event (the frame pass calls it for each, in order).
void LIN_handleevt(XEvent* event);
// XCheckIfEvent predicate: accepts every event.
Bool LIN_handlewin(Display* display, XEvent* event, XPointer arg);

// A press less than this after the previous one, and no further from it on
// the screen than the slop in either direction, makes a double click.
constexpr unsigned long kDoubleClickMs = 250;
constexpr int kDoubleClickSlopPx = 4;
// A press of buttons 1 to 3: its X time (CurrentTime for a sent event
// without one), its place in the main X window's pixels, and the window
// change count (VOVARU_window_changes) of the window it was made in.
struct press_mark {
    unsigned long time;
    int x, y;
    unsigned window;
};
// Whether `now` is the second half of a double click whose first press
// `last` was made in another window: such a press belongs to that window and
// is dropped, so a double click on a button that opens a window never
// answers the new window unseen.
bool LIN_press_belongs_elsewhere(const press_mark& last, const press_mark& now);

// The keysyms of a key (levels 0 and 1 of group 0 of keycode & 0xFF) and
// whether Num Lock is on in the modifier state; all 0 without a display.
key_syms LIN_key_syms(long keycode, long state);
