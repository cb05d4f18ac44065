// X11 events into the window record: pointer, buttons, wheel, keys.
#pragma once

#include <X11/Xlib.h>

// Handles one queued event (the frame pass calls it for each, in order).
void LIN_handleevt(XEvent* event);
// XCheckIfEvent predicate: accepts every event.
Bool LIN_handlewin(Display* display, XEvent* event, XPointer arg);
// A new invisible pointer shape; the caller owns it.
Cursor LIN_create_null_cursor(Display* display, Drawable drawable);

// X event types as the keyboard layer receives them.
constexpr long kKeyEvPress = 2;
constexpr long kKeyEvRelease = 3;

// The one place where a key event reaches the keyboard layer
// (keys_class::handle_key_raw once it exists).
void LIN_key_to_keyboard(long type, long keycode, long state);
