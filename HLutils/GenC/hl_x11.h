// The X11 and GLX side of the window: the connection, the windows and the
// context that hl_context makes and the shell's other units read. Only the
// shell includes it; the layers below see the window through mnw
// (GenH/hl_mnw.h), which holds no X type, and present a frame through the
// shell's hook (VOVARU_shell().swap_buffers).
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// A plain record with no operations; the one instance is `x11`. Entry 1 of
// each pair is the second monitor's, never made here.
struct x11_struct {
    XVisualInfo* visual;
    Window window[2]; // entry 0 is the main X window
    // The OpenGL surface: a child that fills window, made in the visual
    // OpenGL chose once its driver has loaded. Input goes to window.
    Window drawable[2];
    GLXContext glx_context[2];
    Display* display;
};
extern x11_struct x11;
