// The window and input record: the window's size, the current sub-window and
// this frame's pointer and keys. Its X11 and GLX side is the shell's own
// (GenC/hl_x11.h), so no X header reaches the layers that include this one.
#pragma once

// Window ids (values of mnw.win_now).
enum {
    kWinNone = -1, // start-up made the GL window, no frame has run yet
    kWinMain = 0,  // the installer's screen, the whole drawable
    kWinLicence = 1,
    kWinPrefs = 2,
    kWinAbout = 994, // the About window of the library
    kWinAlert = 995,
    kWinQuestion = 997,   // the modified-file question
    kWinPicker = 998,     // the folder picker
    kWinSavePicker = 999, // the widget library's save picker
};

// A plain record with no operations; the one instance is `mnw` (hl_types).
// Field order follows the record's historical layout.
struct mnw_struct {
    int alias_req;      // multisampling asked for: 0 none, 1..4 = 2..16 samples
    int alias_now;      // multisampling obtained
    int ctx_index;      // which window's buffers are swapped (always 0)
    int win_now;        // current (sub-)window id
    int modal;          // 1 while the current window is a modal sub-window
    float win_x, win_y; // current window's lower-left corner, window units
    float win_w, win_h;
    int cursor_kind;  // pointer look wanted this frame (0 normal, 2 hidden)
    int menu_open;    // open menu index, -1 for none
    int res_x, res_y; // drawable size in pixels
    int res_bits;
    int set_res;
    int tex_level;
    int res_x_req, res_y_req;
    int col_res_req;
    // Screen figures, written by OGL_pix_specs.
    float centre_x, centre_y; // half the drawable width, and 384
    float area_x, area_y;     // lower-left of the 1024 x 768 area: centred, at the top
    float ortho_x0, ortho_y0, ortho_x1, ortho_y1;
    float pix_scale_x;
    float pix_scale;        // the y scale: drawable pixels per window unit, which
                            // the viewport, the scissors and the mouse read
    float mouse_x, mouse_y; // pointer, window units, relative to win_x/win_y
    int mouse_press;        // a button 1..3 went down this frame
    int mouse_click;        // a button came up < 0.25 s after its press
    int mouse_dbl;          // a press < 0.25 s after the previous press
    int mouse_release;      // a button 1..3 came up this frame
    int mouse_held;         // from a press until the next release
    int mouse_held_long;    // held for more than 0.25 s
    int wheel;              // unused wheel steps: +1 button 4, -1 button 5
    int key_hit;            // a non-modifier key went down this frame
    int key_held;           // from a non-modifier key's press to the next release
    int key_char;           // character of the last press no focused field took
    float mouse_time;       // clock time of the last pointer activity
    float press_time;       // clock time of the last press
    int lang;               // interface language, 0 English
    int profile_on;         // frame profiler switch
    int keys_off;           // while set, keys fire no commands
    int clock_mode;
    int sec_mon_inuse; // second monitor in use (never set in this program)
    int sec_mon_ctx;   // the second monitor's GL context was made
    int win_under;     // window under the pointer: the current one, or 0
                       // on the second monitor
};
