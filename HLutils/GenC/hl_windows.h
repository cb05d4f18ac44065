// Windows inside the GL window, the tooltip and pointer look, and the frame
// pass that runs one frame.
//
// The frame pass waits for input (one ppoll) 16 ms, 160 ms under an alert, not
// at all with _use_max_cpu; after a main-window frame in which nothing is under
// way and nothing pulsing was drawn (colr.pulse_drawn), up to 1 s, and no
// longer than what the frame said is due (VOVARU_frame_due: a tooltip, the
// pointer's hiding, a retry). Input ends any wait at once, and so does a server closing a running
// request's connection; bytes merely arriving do not. APP_update never runs inside itself: a modal
// window closed from a nested frame pass does not re-enter it.
#pragma once

#include <string>

#include "GenH/hl_app.h"

// One frame: wait for input, handle events, report errors, clock, the
// application's frame work, overlays, buffer swap. Main thread only.
void VOVARU_event_proc();

// Makes window `id` current (sized, centred, modal for sub-windows) and
// clears what must not leak into it. The second argument is not used.
void VOVARU_startwind(int id, int unused);
// Counts the window starts that changed the current window id; a press
// remembers it to know which window it was made in.
unsigned VOVARU_window_changes();
// Draws the requested tooltip and applies the wanted pointer look.
void mouse_help_per_wind(int id);

// A sub-window of the window table, or not (0 when the id is not in it).
struct win_spec {
    int known;         // 1 for a modal sub-window of the table
    float w, h;        // window units
    int title_slot;    // stls slot of the title, -1 for a fixed text
    const char* title; // the fixed text when title_slot is -1
};
win_spec VOVARU_window_spec(int id);
// The lower-left origin that centres a window of size `size` on a drawable
// of `res` pixels at `scale` pixels per unit (0 when it does not fit).
float VOVARU_centre_origin(int res, float size, float scale);
// Tooltip box height for a text of n characters.
int VOVARU_tooltip_height(int n);

// Time-outs of the frame pass's wait, in microseconds.
constexpr long kWaitIdleUs = 16000;    // normal frame
constexpr long kWaitAlertUs = 160000;  // an alert is open
constexpr long kWaitMaxCpuUs = 0;      // _use_max_cpu: poll
constexpr long kWaitQuietUs = 1000000; // main window, nothing under way or moving
// The time-out the next frame pass waits for input.
long VOVARU_frame_wait_us();
// The application tells, once per frame of the main window, whether nothing
// is under way (no request, scan or installation): the next pass may then
// wait for input longer. A pass uses it once.
void VOVARU_frame_quiet(int quiet);
// Something on the main window is due in us microseconds (a tooltip, a
// retry): the next pass waits no longer than that (us < 0: nothing is). The
// earliest of a frame's calls counts; a pass uses it once.
void VOVARU_frame_due(long us);
// Forgets what the frame told (quiet, due), as each pass does once it waited.
void VOVARU_frame_told_reset();
// The time-out the last frame pass gave its wait.
long VOVARU_last_frame_wait_us();
// The frame pass's wait: up to us microseconds for input on descriptor fd
// (-1: none), or until a server closes a running request's connection
// (http_class::EndWatch). Says what ended it.
constexpr int kWokeByTimeOut = 0;
constexpr int kWokeByInput = 1;
constexpr int kWokeByReplyEnd = 2;
int VOVARU_wait_for_input(int fd, long us);

// Test hook: the frame pass calls fn instead of the application's APP_update.
// nullptr restores APP_update; returns the previous hook.
using VOVARU_app_update_fn = void (*)();
VOVARU_app_update_fn VOVARU_set_app_update_hook(VOVARU_app_update_fn fn);
