// Screenshots of a modal window (preferences, question, picker, alert) as
// the program runs it: the window runs its own loop on the test's thread
// while a watcher on its own X connection waits until a steady frame other
// than the one before is shown, keeps it (saved as `shot_name` under
// ZUDEZUD_SHOTS_DIR when that is set) and then closes the window with real
// input (xdotool arguments, "{win}" standing for the program's window).
//
//   ShownPixels p = shot_of_modal([] { handle_prefs(); }, "key --window {win} Return",
//                                 "prefs.png");
#pragma once

#include <functional>
#include <string>

#include "support/xvfb.h"

ShownPixels shot_of_modal(const std::function<void()>& run_window, const std::string& close_input,
                          const char* shot_name = nullptr);
