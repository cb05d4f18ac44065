// The program-wide globals and the shared header strings. Every service
// instance is defined in hl_types.cpp and declared here, nowhere else. The
// services' classes are only named here: a file that uses a service includes
// its header.
//
// The instances are constructed in hl_types.cpp's fixed order, and their
// constructors only set fields: work that needs the log, the clock or OpenGL
// runs in VOVARU_init, in its own fixed order. This header includes only the
// records of GenH, so reading one global ties a file to nothing else.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "GenH/hl_menu_table.h"
#include "GenH/hl_mnw.h"
#include "GenH/hl_stg.h"
#include "GenH/hl_stls.h"

class OGL_extensions; // OGL/OGL_extensions.h
struct ren_struct;    // OGL/OGL_ren.h
class cmnd_class;     // OOPS_cpp/cmnd.h
class colr_class;     // OOPS_cpp/colr.h
class http_class;     // OOPS_cpp/http.h
class keys_class;     // OOPS_cpp/keys.h
class oglp_class;     // OOPS_cpp/oglp_text.h
class pref_class;     // OOPS_cpp/pref.h
class tman_class;     // OOPS_cpp/tman.h
class xcam_class;     // OOPS_cpp/xcam.h
class UTL_cmdline;    // UTL/UTL_cmdline.h
class xtim_class;     // UTL/UTL_time.h

// Where the program's own messages send the user for help.
constexpr const char* kSupportEmail = "support@zudezud.example";
constexpr const char* kSupportWeb = "www.zudezud.example";

// Shared header strings: each source file gets its own copy, built before
// anything of that file runs. Only no_install_name is read in this program.
static const std::string afl_path = "Airfoils/";
static const std::string wpn_path = "Weapons/";
static const std::string apt_path_def = "KSEA";
static const std::string acf_path = "Aircraft/";
static const std::string acf_path_def = acf_path + "General Aviation/Cessna 172SP/Cessna_172SP.acf";
static const std::string no_install_name = "Not Yet Scanned"; // placeholder release name
static const std::string data_path = "Resources/default data/";
static const std::string build_name[11] = {
    "Zudezud 9.00 Beta-19",
    "North America",
    "South America",
    "Europe",
    "Africa",
    "Asia",
    "Australia",
    "Antarctica",
    "Pacific",
    "Atlantic",
    "Indian Ocean",
};

// The movie-recording stub: there is no recorder on this platform, so it
// never presents a frame itself and every operation does nothing.
class qtim_class
{
  public:
    qtim_class() {}
    ~qtim_class() {}
    int mov_per_frame() { return 0; }
    int mov_add_frame() { return 0; }
    void stop_thread() {}
    void mov_toggle(int) {}
    void draw_record_lgt() {}
    // The movie window's body: there is no movie recording on this platform.
    void qtim_wind();
};

// Size of the shared image scratch buffer.
constexpr int kScratchBytes = 16 * 1024 * 1024;

extern float wx, wy;
extern float wx1, wy1; // the movie window's out-position; nothing reads it
extern int scratch_dx, scratch_dy;
extern unsigned char scratch_array_storage[kScratchBytes + 15];
extern unsigned char* scratch_array; // 16-byte aligned inside the storage
extern int app_done;                 // quit flag polled by main
extern int ogl_inited;               // 1 once the window can draw alerts
extern int ot_inited;                // the network layer was started
extern float lookup_sin[361], lookup_cos[361];
extern float randrat[10000];
extern std::string stl_global;
extern std::string app_path; // prefix of every file path; empty here
extern std::ofstream ouf;    // writer of versioned data files
extern std::ofstream xer;    // the log, "Log.txt"
extern int return_hit, escape_hit, delete_hit;
extern int plot_init_lights;
extern int active_popup_code, select_popup_code, popup_menu_select;
extern stls_class stls;
extern std::vector<menu_struct> menu;
extern mnw_struct mnw;
extern ren_struct ren;
extern stg_struct stg;
extern xcam_class xcam;
extern tman_class tman;
extern xtim_class xtim;
extern int num_units;
extern int g_case_sensitive;
extern http_class http;                           // the download slots and proxy settings
extern std::vector<std::string> gProxyExclude;    // hosts that bypass the proxy
extern OGL_extensions glExt;                      // OpenGL version, capabilities, entry points
extern int linkey_shft, linkey_ctrl, linkey_optn; // Shift, Control, Alt held
extern qtim_class qtim;                           // movie-recording stub
extern colr_class colr;                           // the colour table, gamma and pulse
extern pref_class pref;                           // the preferences file
extern UTL_cmdline cmdline;                       // the command-line options
extern std::string dest_dir_path;                 // the installer's destination folder, ends in '/'
extern oglp_class oglp;                           // the text scale of the bitmap fonts
extern cmnd_class cmnd;                           // the command table keys are bound to
extern keys_class keys;                           // the keyboard handler and key bindings
