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

// The keysyms of a key (levels 0 and 1 of group 0 of keycode & 0xFF) and
// whether Num Lock is on in the modifier state; all 0 without a display.
key_syms LIN_key_syms(long keycode, long state);
