// Driving the shell's frame pass from a test under Xvfb: real input through
// xdotool, then frame passes until its effect shows.
#pragma once

#include <gtest/gtest.h>

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

// Runs xdotool, then waits (bounded) until its events have reached the
// program's queue, so that the next frame pass handles them.
inline void xdo_queued(const std::string& args)
{
    xdo(args);
    XSync(mnw.x_display, False);
    for (int i = 0; i < 200 && XEventsQueued(mnw.x_display, QueuedAfterReading) < 1; ++i)
        usleep(10000);
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
