// The shell's side of alerts (the window route) and the shutdown routines.
// The alert routine itself is at the bottom of the library (GenH/hl_report.h).
//
// Every end of the program goes through the shutdown. QUIT, the window
// manager's close and SIGTERM, SIGINT, SIGHUP (VOVARU_request_quit) end in
// VOVARU_finishup(1); a lost window or X connection runs the half that needs no
// X (VOVARU_finish_without_window) and exits with 1; a fatal alert ends without
// saving. Each runs the application's exit clean-up before the workers are
// stopped, and closes the log. VOVARU_register_shell, which hands the layers
// below their hooks, is here too.
#pragma once

#include <string>

#include "GenH/hl_report.h"

// The window route: shows the alert in window 995 until OK or Return.
// Called only on the main thread, with OpenGL ready and no alert open.
void alert_window_route(int return_window, const std::string& line1, const std::string& line2,
                        const std::string& line3, const std::string& line4, int kind,
                        const std::string& location);

// save 1 for an orderly end, 0 from a fatal alert. Does not end the process.
// Both run the application's exit clean-up (VOVARU_set_exit_cleanup).
void VOVARU_finishup(int save);

// Exit status when the window or the X connection is lost under the program.
constexpr int kExitWindowLost = 1;
// The window or the X connection is gone: runs the half of the orderly
// shutdown that needs neither (preferences, threads, clean-up, log; alerts
// print from here on) and ends the process with kExitWindowLost.
[[noreturn]] void VOVARU_finish_without_window(const char* why);

// A quit asked from outside the application (the window manager's close,
// SIGTERM, SIGINT, SIGHUP): app_done is set, and every modal window is closed
// in the frame passes that follow, so main's loop ends as on QUIT.
void VOVARU_request_quit();
// SIGTERM, SIGINT and SIGHUP only set a flag, which the next frame pass turns
// into VOVARU_request_quit; a second such signal ends the process at once.
void VOVARU_catch_quit_signals();
// The frame pass's check of that flag and of a standing quit request.
void VOVARU_poll_quit();

// Hook for opening a web page; does nothing here.
void go_to_URL(std::string url);

// Registers the shell's part of the alert route and its services for the
// layers below it (hl_report.h); start-up does it first thing.
void VOVARU_register_shell();
