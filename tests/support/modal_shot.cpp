#include "support/modal_shot.h"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/oglp.h"

ShownPixels shot_of_modal(const std::function<void()>& run_window, const std::string& close_input,
                          const char* shot_name)
{
    const unsigned long window = x11.window[0];
    const int w = mnw.res_x, h = mnw.res_y;
    // A plain frame first: the window's own frame then always differs from it,
    // also when the same window was shown just before.
    OGL_plot_back_col();
    OGL_sbuff();
    glFinish();
    const ShownPixels before = xvfb_read_shell_window();
    ShownPixels shot;
    std::atomic<bool> closed{false};
    std::thread watcher([&] {
        Display* d = XOpenDisplay(nullptr);
        ShownPixels last;
        for (int i = 0; d && i < 500 && !closed; ++i) { // 10 s at most
            const ShownPixels now = xvfb_read_window(d, window, w, h);
            if (now.rgb != before.rgb && now.rgb == last.rgb) {
                shot = now;
                break;
            }
            last = now;
            usleep(20000);
        }
        if (d) XCloseDisplay(d);
        const char* shots = std::getenv("ZUDEZUD_SHOTS_DIR");
        if (shot_name && shots && !shot.rgb.empty())
            run_capture("import -window root '" + std::string(shots) + "/" + shot_name + "'");
        std::string input = close_input;
        const size_t at = input.find("{win}");
        if (at != std::string::npos) input.replace(at, 5, std::to_string(window));
        // Closed with real input, also when no frame was taken: the window's
        // loop must end for the test to go on.
        for (int tries = 0; tries < 5 && !closed; ++tries) {
            run_capture("xdotool " + input);
            for (int i = 0; i < 150 && !closed; ++i) // 3 s before trying again
                usleep(20000);
        }
    });
    run_window();
    closed = true;
    watcher.join();
    EXPECT_FALSE(shot.rgb.empty()) << "the window showed no steady frame";
    return shot;
}
