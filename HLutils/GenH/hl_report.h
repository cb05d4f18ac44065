// The one alert routine every layer reports through, and what the layers
// below the shell ask of it. Both live here, at the bottom beside the log, so
// no layer includes the shell: the shell registers its window route and its
// services at start-up (VOVARU_register_shell), as an application sets an
// error callback on a windowing library.
//
// The alert routine and the thread queues need each other (this module,
// Thread/hl_thread, UTL/UTL_thread): the one circle of includes that crosses
// folders. Without the shell (the library's own tests) an alert is printed, and
// a fatal one only cleans up, closes the log and aborts.
#pragma once

#include <string>

// As GLX declares it; the X headers' macros stay out of every file.
typedef struct __GLXcontextRec* GLXContext;

// Alert kinds.
constexpr int t_alert = 1; // warning: shown, logged, the caller goes on
constexpr int t_exit = 2;  // fatal: shown, logged, then the program ends

// Shows up to four lines, logs them, and for t_exit ends the program (does
// not return). On a worker thread the alert is queued for the main thread.
// Without the shell's window route the lines are printed instead of shown.
void __VOVARU_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int kind, const char* source_file, int source_line);

// The location text of an alert: "(file line N)".
std::string alert_location(const char* source_file, int source_line);

// Test hook: fn is told of every alert once its route is chosen, on the
// thread that raised it, and changes nothing of what the alert then does. For
// the text and window routes it runs with the alert already open, so an alert
// raised from it is a nested one. nullptr restores telling no one; returns
// the previous hook.
enum alert_route {
    kAlertRouteWorker,  // queued for the main thread
    kAlertRouteFpsTest, // "--fps_test": logged only
    kAlertRouteText,    // printed to standard output (no window yet)
    kAlertRouteNested,  // printed; another alert was open: ends the program
    kAlertRouteWindow,  // shown in window 995
};
struct alert_notice {
    int kind;
    const std::string* lines[4];
    const char* source_file;
    int source_line;
    alert_route route;
};
using alert_watch_fn = void (*)(const alert_notice& notice);
alert_watch_fn alert_set_watch_hook(alert_watch_fn fn);

// What the application must undo however the program ends (its private
// temporary folder): run by every shutdown, orderly, fatal or without the
// window. Null: nothing.
void VOVARU_set_exit_cleanup(void (*fn)());
void VOVARU_run_exit_cleanup();

struct key_syms;

// The shell's part, registered at start-up; each may be null (no shell: the
// library's own tests), and then the caller does without.
struct shell_hooks {
    // Shows an alert in the window until OK or Return (main thread, window
    // ready, no other alert open); a fatal one returns with its window open.
    void (*alert_window)(int return_window, const std::string& line1, const std::string& line2,
                         const std::string& line3, const std::string& line4, int kind,
                         const std::string& location);
    // VOVARU_finishup: 1 orderly, 0 from a fatal alert. Without it a fatal
    // end only runs the exit clean-up and closes the log.
    void (*finish)(int save);
    // Return in a sub-window (VOVARU_handleclick(1)).
    void (*handle_click)(int by_key);
    // The keysyms of a key (LIN_key_syms); without it a key has none.
    key_syms (*keysyms)(long keycode, long state);
    // One frame of the start-up screen (VOVARU_show_init).
    void (*show_init)(const std::string& message, float* fraction);
    // 1 when a worker thread may share the window's OpenGL: threaded OpenGL
    // detected and the window's context made. Without it none does.
    int (*gl_for_threads)();
    // The loader context of a texture thread (VOVARU_make_context_loader,
    // VOVARU_set_context_loader).
    GLXContext (*make_loader)(int& unused);
    int (*set_loader)(GLXContext ctx, void* unused);
    // Makes a window current (VOVARU_startwind), and runs one frame pass
    // (VOVARU_event_proc): what a modal window of the library needs.
    void (*start_window)(int id);
    void (*frame)();
    // Presents the drawn frame on the window (VOVARU_swap_buffers); without
    // it nothing is shown.
    void (*swap_buffers)();
};
void VOVARU_set_shell_hooks(const shell_hooks& hooks);
const shell_hooks& VOVARU_shell();
