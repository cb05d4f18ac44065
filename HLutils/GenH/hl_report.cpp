// The alert routine at the bottom of the library, and the shell's services
// the layers below it call, registered by the shell at start-up.
//
// Routes of an alert, by where and when it is raised:
//   worker thread        -> queued as an exce_class record for the main thread
//   "--fps_test"         -> logged only; fatal exits with status 1
//   no window yet        -> printed to stdout, logged; fatal finishes up, aborts
//   another alert open   -> printed, logged, finish-up, abort (whatever kind)
//   window ready         -> shown by the shell's window route, then logged; fatal aborts
#include "GenH/hl_report.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_memory.h"

namespace
{
std::atomic<alert_watch_fn> watch_hook{nullptr};
void (*exit_cleanup)() = nullptr;
shell_hooks shell{};

void tell_observer(int kind, const std::string& l1, const std::string& l2, const std::string& l3,
                   const std::string& l4, const char* file, int line, alert_route route)
{
    alert_watch_fn fn = watch_hook.load(std::memory_order_acquire);
    if (!fn) return;
    alert_notice n{kind, {&l1, &l2, &l3, &l4}, file, line, route};
    fn(n);
}

const char kDumpCaller[] =
    "This is the dump_mem_stats call from the following code: if(type==t_exit || type == "
    "t_alert || recursive_error)";

void print_alert(const std::string& l1, const std::string& l2, const std::string& l3,
                 const std::string& l4)
{
    std::printf("Didozuroz Error:\n");
    std::printf("%s\n\n%s\n\n%s\n\n%s\n\n", l1.c_str(), l2.c_str(), l3.c_str(), l4.c_str());
    std::printf("Sorry.\n");
    std::fflush(stdout);
}
} // namespace

alert_watch_fn alert_set_watch_hook(alert_watch_fn fn)
{
    return watch_hook.exchange(fn, std::memory_order_acq_rel);
}

std::string alert_location(const char* source_file, int source_line)
{
    return std::string("(") + (source_file ? source_file : "") + " line " +
           std::to_string(source_line) + ")";
}

void VOVARU_set_exit_cleanup(void (*fn)())
{
    exit_cleanup = fn;
}

void VOVARU_run_exit_cleanup()
{
    if (exit_cleanup) exit_cleanup();
}

void VOVARU_set_shell_hooks(const shell_hooks& hooks)
{
    shell = hooks;
}

const shell_hooks& VOVARU_shell()
{
    return shell;
}

void __VOVARU_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int kind, const char* source_file, int source_line)
{
    // Only the main thread may draw: a worker hands the alert over. For a
    // fatal one, THREAD_send_exception ends this thread.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        tell_observer(kind, line1, line2, line3, line4, source_file, source_line,
                      kAlertRouteWorker);
        exce_class record(line1, line2, line3, line4, source_file, source_line, kind);
        THREAD_send_exception(record);
        return;
    }

    std::string location = alert_location(source_file, source_line);

    if (cmdline.has_option("--fps_test")) {
        tell_observer(kind, line1, line2, line3, line4, source_file, source_line,
                      kAlertRouteFpsTest);
        xer << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n" << location << "\n";
        xer.flush();
        if (kind == t_exit) {
            VOVARU_run_exit_cleanup();
            std::exit(1);
        }
        return;
    }

    // Main thread only, so not locked.
    static int in_alert = 0;
    bool nested = in_alert != 0;
    in_alert = 1;

    if (ogl_inited == 0 || nested) {
        tell_observer(kind, line1, line2, line3, line4, source_file, source_line,
                      nested ? kAlertRouteNested : kAlertRouteText);
        print_alert(line1, line2, line3, line4);
    } else {
        tell_observer(kind, line1, line2, line3, line4, source_file, source_line,
                      kAlertRouteWindow);
        if (line1.empty() && line2.empty() && line3.empty() && line4.empty()) {
            // nothing to show
        } else if (shell.alert_window) {
            shell.alert_window(return_window, line1, line2, line3, line4, kind, location);
        } else {
            print_alert(line1, line2, line3, line4);
        }
    }

    if (kind == t_exit || kind == t_alert || nested) dump_mem_stats(kDumpCaller);
    xer << "\n"
        << line1 << "\n"
        << line2 << "\n"
        << line3 << "\n"
        << line4 << "\n"
        << location << "\n";
    xer.flush();

    if (!nested && kind != t_exit) {
        in_alert = 0;
        return;
    }

    if (shell.finish) {
        shell.finish(0);
    } else {
        VOVARU_run_exit_cleanup();
        xer.close();
    }
    app_done = 1;
    std::abort();
}
