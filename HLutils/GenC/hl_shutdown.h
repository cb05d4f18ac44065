// The shutdown and the quit requests from outside.
//
// Every end of the program goes through the shutdown. QUIT, the window
// manager's close and SIGTERM, SIGINT, SIGHUP (VOVARU_request_quit) end in
// VOVARU_finishup(1); a lost window or X connection runs the half that needs no
// X (VOVARU_finish_without_window) and exits with 1; a fatal alert ends without
// saving. Each runs the application's exit clean-up before the workers are
// stopped, and closes the log.
#pragma once

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
