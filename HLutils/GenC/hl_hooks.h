// Small hooks of the window layer: the modifier keys held, the pointer's
// place in the window record, and hooks that do nothing on this platform.
#pragma once

// Alt, Shift held (as the X events left linkey_optn, linkey_shft); Caps Lock
// is never reported.
int has_optionkey();
int has_shiftkey();
int has_capslock(); // always 0

// A pointer at (x, y) pixels of X window `window`, y down from the top, into
// the mouse position of mnw (window units, y up) and the window under it. On
// the second monitor's window the position continues right of the drawable
// and the window under it is 0; anywhere else it is the current window, and
// the position is relative to that window's origin.
void VOVARU_load_mxy(unsigned long window, int x, int y);

// Window-layer hook; does nothing here.
void IBM_turnoff();
