// Driving the folder picker (window 998) from a test under Xvfb with real
// input: a script of steps that the picker's watch hook runs, once per pass.
// Each step waits for its condition and then acts (xdotool input, queued
// before the next frame pass); a script that does not finish within its
// passes fails and closes the picker by starting window 0.
//
//   picker_open_window();
//   g_steps = {{"select", always, [](const picker_view&) { click(kSelectX, kButtonY); }}};
//   std::string answer;
//   EXPECT_EQ(run_picker(folder, &answer), 1);
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/PlatformUtils.h"

namespace picker_drive
{
struct step {
    const char* what;
    std::function<bool(const picker_view&)> ready;
    std::function<void(const picker_view&)> act;
};
extern std::vector<step> g_steps;
extern std::size_t g_next; // the step to run next
extern int g_passes;       // picker passes seen
// Alerts raised meanwhile (their four lines); each is dismissed by a click on OK.
extern std::vector<std::vector<std::string>> g_alerts;

// Window 998's parts (window units).
constexpr float kListX = 100, kListY = 180; // a point on the list's middle row
constexpr float kPopupX = 280, kPopupY = 440;
constexpr float kButtonY = 28, kNewFolderX = 430, kCancelX = 35, kSelectX = 510;

// A click or keys in the program's window, at a point of the current window.
void click(float x, float y);
void keys_queued(const std::string& names);
// The y of the list's entry i.
float row_of(int i, const picker_view& v);
// Clicks the open pop-up's item for `level`.
void click_level(int level);

bool popup_open(const picker_view& v);
bool always(const picker_view& v);
// Waits n passes once it is the next step: what a pass draws is shown by the
// next pass's frame, and a window start drops the focus ring.
step pause(int n);

// Opens the program's window, runs window 0's first frame, and watches the
// picker and the alerts; the script starts empty.
void open_picker_window();
// Starts the script again (the steps are set by the caller).
void restart_script();
// Runs the picker on the script, the buffer holding "unchanged" at first;
// expects the script finished.
int run_picker(const std::string& start, std::string* answer, std::size_t size = 2048);
// Expects every step ran.
void expect_script_done();
} // namespace picker_drive
