// Running commands and test bodies under a private X server (Xvfb -displayfd)
// with Mesa's software OpenGL (LIBGL_ALWAYS_SOFTWARE=1, direct rendering).
//
//   TEST(Window, OpensWithItsTitle) {
//       XVFB_TEST_BODY();            // parent: re-runs this test alone under Xvfb
//       ...                          // child: the body, with DISPLAY set
//   }
//
//   XvfbResult r = xvfb_run("glxinfo -B");      // one command under a server
//   XvfbResult r = xvfb_run_this_test(kXvfbNoGlx); // the body without GLX
//
// Each run gets its own server, so tests may run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Server arguments: one 24-bit screen of the given size; the GLX extension on.
extern const char* const kXvfbScreen;     // 1280 x 1024
extern const char* const kXvfbScreen1024; // 1024 x 768: the window fills it
extern const char* const kXvfbNoGlx;      // 1280 x 1024 without GLX

struct XvfbResult {
    int status = -1;    // exit status; 128 + signal when killed
    std::string output; // standard output and standard error together
};

// Runs `command` (through /bin/sh) under its own server.
XvfbResult xvfb_run(const std::string& command, const std::string& server_args = kXvfbScreen);

// Runs `command` through /bin/sh, capturing its output (no server). One
// still running after `seconds` is stopped with status 124; its output then
// ends with what it and each process it started were doing. The bound is well
// inside a test's own time-out, which would end the test without a word.
constexpr int kCommandSeconds = 200;
XvfbResult run_capture(const std::string& command, int seconds = kCommandSeconds);
// `s` as one word of a /bin/sh command line, in single quotes.
std::string shell_quote(const std::string& s);

// 1 inside the child that XVFB_TEST_BODY started.
bool xvfb_inside();

// Runs the current test alone in a child process of this test program. With
// server_args it runs under its own server; with nullptr it runs without one
// and with DISPLAY unset. `env` adds NAME=VALUE pairs for the child.
XvfbResult xvfb_run_this_test(const char* server_args = kXvfbScreen,
                              const std::vector<std::string>& env = {});

// Runs the current test alone, under its own server, in a copy of this test
// program placed in `folder` with HOME set to it: start-up writes "Log.txt"
// beside the program and the preferences under HOME.
XvfbResult xvfb_run_this_test_copied(const std::string& folder);

// In the parent: run this test's body in a child under Xvfb and expect it to
// pass; in the child: go on with the body.
#define XVFB_TEST_BODY(...)                                                                        \
    do {                                                                                           \
        if (!xvfb_inside()) {                                                                      \
            XvfbResult xvfb_r_ = xvfb_run_this_test(__VA_ARGS__);                                  \
            ASSERT_EQ(xvfb_r_.status, 0) << xvfb_r_.output;                                        \
            ASSERT_NE(xvfb_r_.output.find("[  PASSED  ] 1 test."), std::string::npos)              \
                << xvfb_r_.output;                                                                 \
            return;                                                                                \
        }                                                                                          \
    } while (0)

// Inside a child: makes the program's window and context the way start-up
// does (requests, screen, window, figures, capabilities, built-in images,
// menus, window -1) and registers the shell, without the log or threads. Interface colours 34..47
// get fixed test values instead of the ones sampled from the atlas. The drawable is 1024 x 768
// unless another size is asked for.
void xvfb_open_shell_window(int width = 1024, int height = 768);

// What the X server shows in the program's window, read back with XGetImage
// after the frame was swapped: independent of the GL read-back paths.
struct ShownPixels {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb; // rows from the top, 3 bytes a pixel
    // The pixel at (x, y) in GL terms: y counts up from the bottom row.
    const unsigned char* at(int x, int y) const { return &rgb[3 * ((h - 1 - y) * w + x)]; }
};
ShownPixels xvfb_read_shell_window();
// The same for any window of the display (another connection, another thread).
struct _XDisplay; // Xlib's Display
ShownPixels xvfb_read_window(_XDisplay* display, unsigned long window, int width, int height);

// What a window manager sends when the user closes a window (ICCCM
// 4.2.8.1): a WM_PROTOCOLS client message naming WM_DELETE_WINDOW, which it
// sends only to a window that lists that protocol. Fails when the window
// does not list it.
::testing::AssertionResult xvfb_send_wm_delete(unsigned long window);

// Screenshot tests: the environment that passes ZUDEZUD_SHOTS_DIR on to the
// child, and the swapped frame as shown, also saved as `shot_name` in that
// folder when it is set.
std::vector<std::string> xvfb_shots_env();
ShownPixels xvfb_shown_frame(const char* shot_name);

// The interface atlas as the image generator wrote it (512 x 512 RGBA, stored
// rows from t = 0): independent of the copy the program was linked with.
std::vector<unsigned char> built_in_atlas_pixels();

// The shown pixel at GL (x, y) is (r, g, b), each channel within tol.
::testing::AssertionResult shown_is(const ShownPixels& p, int x, int y, int r, int g, int b,
                                    int tol = 2);
// How many shown pixels of the rectangle [x0, x1) x [y0, y1) are (r, g, b) within tol.
int shown_count(const ShownPixels& p, int x0, int y0, int x1, int y1, int r, int g, int b,
                int tol = 2);
