// Driving the shell's frame pass from a test under Xvfb: real input through
// xdotool, then frame passes until its effect shows.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <string>

#include "GenC/hl_windows.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "support/xvfb.h"

// Runs xdotool with the given arguments; a failure fails the test.
inline void xdo(const std::string& args)
{
    const XvfbResult r = run_capture("xdotool " + args);
    ASSERT_EQ(r.status, 0) << r.output;
}

// Runs frames until the condition holds (bounded by a frame count, not time).
template <typename F> bool frames_until(F cond, int max_frames = 400)
{
    for (int i = 0; i < max_frames; ++i) {
        VOVARU_event_proc();
        if (cond()) return true;
    }
    return false;
}

// The X id of the main window, for xdotool's --window.
inline std::string shell_window_id()
{
    return std::to_string(x11.window[0]);
}

// Waits (bounded by a count) until the events of one xdotool call are all
// in this client's queue, so that one frame pass handles them together.
inline void wait_queued(int n)
{
    XSync(x11.display, False);
    for (int i = 0; i < 200 && XEventsQueued(x11.display, QueuedAfterReading) < n; ++i)
        usleep(10000);
}

// Runs xdotool, then waits (bounded) until its events have reached the
// program's queue, so that the next frame pass handles them.
inline void xdo_queued(const std::string& args)
{
    xdo(args);
    wait_queued(1);
}

// Gives a keycode that the server's map leaves empty the keysyms of a
// national layout's key (lower without Shift, upper with it) and returns it,
// for xdotool to type by number; 0 when no keycode is free. The map is
// changed on the program's own connection, so its key lookups see it at once.
inline int national_key(KeySym lower, KeySym upper)
{
    int min = 0, max = 0, per = 0;
    XDisplayKeycodes(x11.display, &min, &max);
    KeySym* map = XGetKeyboardMapping(x11.display, static_cast<KeyCode>(min), max - min + 1, &per);
    int code = 0;
    for (int k = max; k >= min && !code; --k) {
        bool empty = true;
        for (int i = 0; i < per; ++i)
            empty = empty && map[(k - min) * per + i] == NoSymbol;
        if (empty) code = k;
    }
    XFree(map);
    if (!code) return 0;
    KeySym syms[2] = {lower, upper};
    XChangeKeyboardMapping(x11.display, code, 2, syms, 1);
    XSync(x11.display, False);
    return code;
}

// Types the xdotool key names into the main window, waits for `events` of
// them and runs three frame passes.
inline void keys_typed(const std::string& names, int events = 1)
{
    xdo("key --window " + shell_window_id() + " " + names);
    wait_queued(events);
    for (int i = 0; i < 3; ++i)
        VOVARU_event_proc();
}
