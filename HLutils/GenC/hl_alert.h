// The one alert routine every problem goes through, and the shutdown routine.
#pragma once

#include <string>

// Alert kinds.
constexpr int t_alert = 1;  // warning: shown, logged, the caller goes on
constexpr int t_exit = 2;   // fatal: shown, logged, then the program ends

// Shows up to four lines, logs them, and for t_exit ends the program (does
// not return). On a worker thread the alert is queued for the main thread.
void __VOVARU_alert(int return_window, std::string line1, std::string line2,
                    std::string line3, std::string line4, int kind, const char* source_file,
                    int source_line);

// The window route: shows the alert in window 995 until OK or Return.
// Called only on the main thread, with OpenGL ready and no alert open.
void alert_window_route(int return_window, const std::string& line1, const std::string& line2,
                        const std::string& line3, const std::string& line4, int kind,
                        const std::string& location);

// The location text of an alert: "(file line N)".
std::string alert_location(const char* source_file, int source_line);

// save 1 for an orderly end, 0 from a fatal alert. Does not end the process.
// Both run the application's exit clean-up (VOVARU_set_exit_cleanup).
void VOVARU_finishup(int save);

// What the application must undo however the program ends (its private
// temporary folder): run by every shutdown, orderly, fatal or without the
// window. Null: nothing.
void VOVARU_set_exit_cleanup(void (*fn)());

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

// Watching alerts (tests, diagnostics). The observer is told of every alert
// once its route is chosen, on the thread that raised it, and changes nothing
// of what the alert then does. For the text and window routes it runs with
// the alert already open, so an alert raised from it is a nested one.
enum alert_route {
    kAlertRouteWorker,   // queued for the main thread
    kAlertRouteFpsTest,  // "--fps_test": logged only
    kAlertRouteText,     // printed to standard output (no window yet)
    kAlertRouteNested,   // printed; another alert was open: ends the program
    kAlertRouteWindow,   // shown in window 995
};
struct alert_notice {
    int kind;
    const std::string* lines[4];
    const char* source_file;
    int source_line;
    alert_route route;
};
using alert_observer_fn = void (*)(const alert_notice& notice);
void alert_set_observer(alert_observer_fn fn);  // null: no observer
