// The installer frame: the state machine that APP_update advances once per
// frame. run_frame holds the one order of a frame's steps; the window puts its
// drawing between them (APP_update), the tests run the same frame without a
// window (engine_frame) and the benchmark with a stopwatch between the steps.
//
// The logic steps run in one fixed order: server list, directory list,
// DESTINATION, scan, INSTALL, QUIT, download pump. Each decides from the state
// whether it is due (a flow also needs its button's press); nobody else repeats
// a step's condition or the order. At the end of each frame run_frame tells the
// shell whether nothing is under way (engine_quiet), so its next pass may wait
// longer for input. A directory archive that does not unpack is alerted once
// for each error, and the extraction's failure lines (caught with
// zip_log_to) reach the log once for each error too; its retries are quiet
// and paced like failed downloads.
#pragma once

#include <string>

// The maker's server that serves "/serverlist.txt" (no '/' at the end).
extern std::string maker_host;

// The clock budget the download pump spends in every frame.
constexpr double kPumpSeconds = 0.01;

// The logic steps of a frame. Each decides itself whether it is due, so the
// window's frame and the windowless one run the same steps in the same order.
void server_list_phase(); // while server_count is -1
void directory_phase();   // while dir_state is 0 and a server exists
void scan_phase();        // while dir_state is 1: read the list, then sign the disk in steps
// Gives up a scan in progress and starts it again (another folder or
// platform).
void restart_scan();
// 1 while another installer holds the destination's lock: the scan waits.
extern int dest_busy;
// The time one frame gives the scan: the window answers between steps.
constexpr double kScanStepSeconds = 0.2;
// The flows run when their button was pressed, and only in their states.
int destination_open();  // install state 0 or 2: DESTINATION works
void destination_flow(); // DESTINATION pressed
int install_open();      // install state 0: INSTALL is shown
int install_ready();     // ... and works: the directory is ready
void install_flow();     // INSTALL pressed
void quit_flow();        // QUIT pressed, in any state
void download_pump();    // while installing: grab_files for 10 ms

// What the window does between the logic steps of a frame: it draws the
// main screen and tells which buttons this frame's press hit (1 when hit).
struct frame_screen {
    void (*background)();
    int (*destination)(); // the field, the hint and the DESTINATION button
    void (*upper_part)(); // globe, server chooser, preferences, picture, panels, status
    int (*install_button)();
    void (*store_button)();
    int (*quit_button)();
    void (*totals)(); // the totals block, the bar and the scan's progress box
};
// A frame without a window: nothing drawn, nothing pressed.
extern const frame_screen kNoScreen;

// One frame: the logic steps in their fixed order, with the screen's steps
// between them.
void run_frame(const frame_screen& screen);

// 1 when nothing is under way: no request, no scan due or running (a scan
// waiting for another installer's lock aside), no installation. run_frame
// tells the window, which may then wait longer for input.
int engine_quiet();
// Microseconds until a retry is due (a failed request's, the destination
// lock's), -1 when none is waiting: run_frame tells the window, so a quiet
// wait does not put it off.
long engine_due_us();

// One frame of logic without drawing or presses: run_frame(kNoScreen).
void engine_frame();

// APP_update, the frame hook the shell calls (GenH/hl_app.h), is run_frame
// with the main screen (screen.cpp).
