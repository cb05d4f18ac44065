// The installer frame: the state machine that APP_update advances once per
// frame. Each phase and flow is its own function so the screens can call
// them between their drawing steps, and tests can run them without a window.
#pragma once

#include <string>

// The maker's server that serves "/serverlist.txt" (no '/' at the end).
extern std::string maker_host;

// The clock budget the download pump spends in every frame.
constexpr double kPumpSeconds = 0.01;

void server_list_phase(); // while server_count is -1
void directory_phase();   // while dir_state is 0 and a server exists
void scan_phase();        // when dir_state is 1: read the list, then sign the disk in steps
// Gives up a scan in progress and starts it again (another folder or
// platform).
void restart_scan();
// 1 while another installer holds the destination's lock: the scan waits.
extern int dest_busy;
// The time one frame gives the scan: the window answers between steps.
constexpr double kScanStepSeconds = 0.2;
void destination_flow(); // DESTINATION clicked (install state 0 or 2)
void install_flow();     // INSTALL clicked (install state 0, directory ready)
void quit_flow();        // QUIT clicked
void download_pump();    // while installing: grab_files for 10 ms

// One frame of logic in APP_update's order, without drawing or clicks.
void engine_frame();

// The frame hook the shell calls: this logic interleaved with the drawing
// of the main screen (screen.cpp).
void APP_update();

// Retry pacing: a slot whose request failed starts no new request until a
// second has passed, so a dead server is neither hammered nor fills the log.
constexpr double kRetrySeconds = 1.0;
// 1 when slot may start a request now.
int slot_may_start(int slot);
// Records a failure of slot at the current time.
void slot_failed(int slot);
// Forgets every recorded failure.
void slot_failures_clear();

// What the list phases keep for the status message. An archive that does
// not unpack is alerted once for each error; its retries stay quiet and the
// status message tells it until the archive unpacks.
struct list_fetch_struct {
    int unpack_error = 0;      // the last unpacking error; 0 when none since a success
    std::string unpack_server; // the server the archive came from
};
extern list_fetch_struct list_fetch;
