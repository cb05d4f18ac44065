// The installer's modal windows, and the table through which the engine
// reaches them. The engine never calls a window directly: it calls through
// engine_windows, so every flow runs without a window (tests put their own
// functions in through engine_set_windows_hook; the program keeps the real ones).
//
// The windows are the licence, the preferences, the modified-file question, the
// scan progress box and the folder picker; main puts the real picker into the
// table (pick_folder_in_window, a 2048-byte answer).
#pragma once

#include <string>

#include "GenH/hl_mnw.h" // window ids

// Answers of the modified-file question (select_alert).
enum {
    kAskActOnFile = 1,   // overwrite (or delete) this file
    kAskKeepFile = 2,    // keep this file
    kAskCancelAll = 3,   // cancel the whole installation
    kAskActOnFolder = 4, // overwrite (or delete) every changed file in this folder
    kAskKeepFolder = 5,  // keep every changed file in this folder
};

// The licence window: 1 when the terms were accepted.
int handle_EULA();
// The modified-file question about the local file at path; gone selects the
// delete texts. Answers one of kAsk*.
int select_alert(std::string path, int gone);
// The scan progress box (mode 0 reading the list, 1 signing the disk),
// drawn over the background and shown at once.
void dir_progress_bar(float lo, float value, float hi, int mode, std::string title,
                      std::string detail);
// What the box shows, and the box alone drawn into the current frame.
struct progress_box_struct {
    float lo = 0, value = 0, hi = 0;
    int mode = 0;
    std::string title, detail;
};
extern progress_box_struct progress_box;
void draw_progress_box(const progress_box_struct& box);
// The engine's progress: remembers it for the frames that draw the box
// while the disk is signed, and shows the reading of the list at once.
void scan_progress(float lo, float value, float hi, int mode, std::string title,
                   std::string detail);
// The preferences window; every change takes effect at once.
void handle_prefs();

// Pure parts of the windows, for tests.
extern const char* const kLicenceLines[3]; // the licence terms
// The filled part of the progress box: 0.52 when lo == hi, else 0.04..1.
float progress_fraction(float lo, float value, float hi);
// The progress box's second line for a mode.
const char* progress_mode_line(int mode);
// The proxy port number from its text, as the preferences window sets it at
// every turn: an empty text keeps the number, one that is no number gives -1.
void prefs_take_port_text();
// The port text as the preferences window opens with it: the number in use,
// unless the text already reads as that number ("abc" for -1 stays).
void prefs_show_stored_port();

// The folder picker: 1 and the chosen folder, or 0 when cancelled.
int pick_folder_none(const std::string& start, std::string& chosen);
// The same in the program's window (GetFilePathFromUser); main installs it.
int pick_folder_in_window(const std::string& start, std::string& chosen);

struct engine_windows_struct {
    int (*eula)();
    int (*ask_modified)(std::string path, int gone);
    void (*progress)(float lo, float value, float hi, int mode, std::string title,
                     std::string detail);
    int (*pick_folder)(const std::string& start, std::string& chosen);
};
extern engine_windows_struct engine_windows;
// Test hook: the engine calls the entries of windows instead. A nullptr entry
// restores its start value (the modal windows; no picker); returns the
// previous table.
engine_windows_struct engine_set_windows_hook(const engine_windows_struct& windows);
