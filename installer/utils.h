// The installer's entry helpers and file-level globals: destination folder,
// private temporary folder, release name, server tables, system folders.
//
// Also the library's hooks APP_handlemenu and get_OS_abs_path, and the
// preferences the installer registers (register_preferences). The destination
// is the user's: it always ends in '/', and the reader's '/'-only rule for
// paths applies to the release's part after it, not to it.
#pragma once

#include <string>

#include "GenH/hl_app.h"

// The maker's web site and its download page, named in the too-new-format
// alert and on the main screen.
constexpr const char* kMakerWebSite = "www.zudezud.example";
constexpr const char* kMakerDownloadPage = "http://www.zudezud.example/download.html";

// Servers a server list may name; records past this are read and dropped.
constexpr int kMaxServers = 10;

extern std::string temp_path;                // private temporary folder, ends in '/'
extern std::string install_name;             // release name from the server list
extern std::string server_name[kMaxServers]; // host of each server
extern std::string server_path[kMaxServers]; // path prefix + install_name + "/"
extern std::string server_desc[kMaxServers]; // description for the chooser
extern std::string crnt_file_name;           // archive handled last by the download step
extern std::string crnt_file_path;           // its request path

// get_OS_abs_path and the menu hooks, which the library asks for, are
// declared by it (GenH/hl_app.h) and defined here.

// Registers the installer's preferences (names and settings, in the file's
// order) with the library; start-up does it before the file is read.
void register_preferences();

// Writes the five "os_dir_..." lines to the log.
void log_system_folders();

// The folder Zudezud next to the tenth ancestor of home (normally "/Zudezud/").
std::string default_dest_path(const std::string& home);

// 1 when dest_dir_path holds folders named like Airfoils, Instructions,
// Output and Resources.
int path_is_to_a_sim();

// Asks for the destination; 1 when dest_dir_path changed, 0 on cancel.
int pick_dest_path();

// A folder as a destination: every path is appended to it, so it ends in
// '/'; one is added when missing. An empty text stays empty.
std::string as_dest_folder(const std::string& folder);

// Applies "-path <folder>" when it is the first argument pair; 1 if applied.
int take_path_argument(int argc, char** argv);

// The private temporary folder: made under parent ("/tmp/") with mode 0700
// so no other user can place links where the installer writes. Returns 0 and
// sets temp_path, or an error code.
int make_private_temp(const std::string& parent);
// Removes the private temporary folder and what the installer left in it.
void remove_private_temp();
