// The installer's main screen (window 0): drawn from scratch in every frame
// by APP_update, between the steps of the state machine (frame.h). The texts
// it shows are plain functions of the state, so tests read them without a
// window.
//
// What the user reads stands out at least 4.5:1 (WCAG relative luminance) from
// what is behind it (test_screen_look_x11 samples each text on screenshots).
// Server descriptions are fitted to the column left of the radio buttons
// (server_desc_lines). The list phases add their retry texts (list_problem_text
// from net_failure_text, net_wait_text, unpack_failure_text).
#pragma once

#include <string>
#include <vector>

#include "OOPS_cpp/http.h"

// Colour ids of the screen's texts.
enum {
    kColStatusError = 1, // "could not find" messages
    kColStatusDone = 13, // "INSTALLATION COMPLETE!"
    kColFailure = 69,    // download failure and extraction-error lines
    kColText = 46,       // every other text of the screen
    kColPath = 45,       // the destination folder
};

// Where the maker's store opens (go_to_URL does nothing on this platform).
constexpr const char* kMakerStorePage = "http://store.zudezud.example/";

// kilobytes as "1.5 Meg" or "2.3 Gig" (decimal units).
void set_size_str(float kb, std::string* out);

// One line of text and its colour.
struct screen_line {
    int colour = kColText;
    std::string text;
};

// The status message of the main screen for the current state.
screen_line status_message();

// While a list is fetched, the status message adds what goes wrong: why the
// last try failed, or that the peer has been silent for this long.
constexpr float kQuietSecsShown = 3;
// "I can not reach <server>: <reason>. Trying again..." ("" when no failure).
std::string net_failure_text(const net_failure_struct& f);
// How long a running request has had no answer, and from whom.
std::string net_wait_text(const net_wait_struct& w);
// A directory archive that does not unpack.
std::string unpack_failure_text(int error, const std::string& server);
// What goes wrong with the list of slot 0 or 1 now, "" when nothing.
std::string list_problem_text(int slot);
// The directory archive's progress in whole percent ("-1" until its length
// is known, "0" when slot 1 is free).
std::string directory_percent();

// What the main screen keeps between frames.
struct main_screen_state {
    int wrl_i = 8;           // globe icon, 8..23 while installing
    float tot_availabl = -1; // free disk space: never measured here
    float tot_down_req = 0;  // download and disk kilobytes, frozen while installing
    float tot_disk_req = 0;
    std::string tot_disk_req_str;
    float totl_inst_rat = 0; // smoothed fraction done, 0..1
};
extern main_screen_state screen;

// The three totals lines (L1..L3) in their colour; updates the idle copies
// and the smoothed fraction of `screen` as the main screen does each frame.
struct totals_lines {
    int colour = kColText;
    std::string l[3];
};
totals_lines totals_block();

// The time-left line: false (no line) unless the rate is positive and the
// time left is finite; a length not yet known must not print a nonsense time.
bool time_left_line(float downloaded_kb, float total_down_kb, float elapsed_s, int streams,
                    std::string* out);

// The progress bar fill for a fraction: centre and width of its bar.
struct bar_fill {
    int centre, width;
};
bar_fill progress_fill(float fraction);

// The server chooser: radio button i at (kServerX, kServerTopY - kServerStep
// i); its description is drawn left of it, in the column from kServerTextLeft
// to kServerTextRight beside the globe.
constexpr float kServerX = 142, kServerTopY = 578, kServerStep = 20;
constexpr float kServerTextLeft = 4, kServerTextRight = 130;
// The one or two lines a server's description is drawn as, each at most
// `width` wide: split as any label is when both lines fit, else wrapped at
// blanks and, when still too long, cut with "..." at the end of line two.
std::vector<std::string> server_desc_lines(const std::string& desc, float width);

// The main screen's clickable places (window units).
constexpr float kDestFieldX0 = 135, kDestFieldX1 = 435, kDestFieldY0 = 79, kDestFieldY1 = 99;
// 1 when a press at (x, y) lies in the destination field.
int in_destination_field(float x, float y);
