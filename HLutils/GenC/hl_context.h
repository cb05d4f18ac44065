// The X11 window and its GLX context: made once at start-up, torn down at exit.
//
// Two X windows make the program's window. The top-level window, in the
// screen's default visual, is mapped at once with the start-up backdrop as its
// background, before the OpenGL driver loads; the OpenGL child drawable fills
// it and selects no events, so every event reaches the top-level. An X error on
// the program's own window, or a lost X connection, is the loss of the window:
// logged, not printed, and the program ends through the routine registered
// with VOVARU_set_window_lost (the shutdown's VOVARU_finish_without_window).
#pragma once

#include <GL/glx.h>

// Multisample levels (mnw.alias_req / alias_now): 0 none, 1..4 = 2..16 samples.
constexpr int kAliasMaxLevel = 4;
// Attribute list length of one visual try (pairs, flags and the None end).
constexpr int kGlxAttribCount = 15;

// Exit status when no GL window can be made.
constexpr int kExitNoGL = 1;

// Opens the display, makes, maps and makes current window and context
// `index` (always 0). Returns 1; ends the process (status 1) when the display,
// a visual, the context or making it current cannot be had.
int VOVARU_make_context(int index);
// What ends the program when its window or the X connection is lost; start-up
// registers the shutdown's (VOVARU_register_shell) before the window is made.
// Unset when the window is made, Xlib's own error handlers stay.
void VOVARU_set_window_lost(void (*fn)(const char* why));
// Shows the drawn frame: swaps the buffers of window mnw.ctx_index once it
// exists.
void VOVARU_swap_buffers();
// Whether a client message is the window manager's WM_DELETE_WINDOW.
bool LIN_is_close_request(const XClientMessageEvent& e);
// 1 at start-up (records the screen), 0 at shutdown (restores it).
int VOVARU_setres(int apply);
// Destroys context and window `index`; skips what was never made.
void VOVARU_nuke_context(int index);

// A second context sharing with context 0, for a texture-loading thread;
// unused while threaded GL is off.
GLXContext VOVARU_make_context_loader(int& unused);
int VOVARU_set_context_loader(GLXContext ctx, void* unused);

// The GLX attribute list for one multisample level.
void LIN_glx_attribs(int level, int out[kGlxAttribCount]);
// Whether a window of w x h counts as full-screen on a screen of sw x sh.
bool LIN_counts_as_fullscreen(int w, int h, int sw, int sh);
