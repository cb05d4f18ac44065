// Driving the shell's frame pass from a test under Xvfb: real input through
// xdotool, then frame passes until its effect shows.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <string>

#include "GenC/hl_windows.h"
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
    return std::to_string(mnw.x_window[0]);
}

// Waits (bounded by a count) until the events of one xdotool call are all
// in this client's queue, so that one frame pass handles them together.
inline void wait_queued(int n)
{
    XSync(mnw.x_display, False);
    for (int i = 0; i < 200 && XEventsQueued(mnw.x_display, QueuedAfterReading) < n; ++i)
        usleep(10000);
}

// Runs xdotool, then waits (bounded) until its events have reached the
// program's queue, so that the next frame pass handles them.
inline void xdo_queued(const std::string& args)
{
    xdo(args);
    wait_queued(1);
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
