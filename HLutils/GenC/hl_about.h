// The About window (994): name, version and credits, and the online check
// for a newer release that can download, unpack and start its installer.
//
// Everything from the network is untrusted: installer records that the
// download slots would refuse are skipped, the archive is unpacked into a
// fresh private folder, and only a regular, executable file extracted there
// is started.
//
// Nothing in the installer opens it.
#pragma once

#include <cstdint>
#include <string>

// Update states (about_record::ins_state).
enum {
    kAboutIdle = 0,        // no list read yet
    kAboutOffer = 1,       // a newer installer is known: the update button shows
    kAboutDownloading = 2, // the installer archive is being fetched
    kAboutLaunch = 3,      // unpacked: start it
    kAboutMessage = 4,     // err_msg is shown (also "up to date" and friends)
};

// Where the server list and the installer archive are stored, below app_path.
constexpr const char* kAboutListFile = "Resources/preferences/serverlist.txt";
constexpr const char* kAboutZipFile = "Resources/preferences/installer.zip";
// The fresh folders the archive is unpacked into: this prefix and six
// random characters, made private (mode 0700) by mkdtemp.
constexpr const char* kAboutUnpackPrefix = "Resources/preferences/installer_";
// A new request for the server list starts at most this often.
constexpr std::uint64_t kAboutRefetchUs = 1000000;

// The window's state for the whole run: it survives closing the window.
struct about_record {
    int version_str_found = 0;       // 1 once a "FINAL" line was read
    std::string version_str_net;     // the "FINAL" line's text
    std::int64_t version_final = -1; // "FINAL_VERSION"; -1 until a list gives one
    std::int64_t version_beta = -1;  // "BETA_VERSION"
    int is_latest = 1;
    int is_beta = 0;
    int ins_state = kAboutIdle;
    std::string err_msg;          // shown in kAboutMessage
    std::string installer_server; // host and path of the chosen installer
    std::string installer_path;
    std::string installer_app_name; // below app_path: the unpack folder + first name
    std::string progress;           // the progress line while downloading
    int list_running = 0;           // a server-list request is in slot 0
    std::uint64_t list_next_us = 0; // microsecs() before which none starts
};

// The state, and (for tests) its reset to the start values.
about_record& about_state();
void about_reset();

// Reads a stored server list (below app_path) and decides the update state.
// While a download or launch is under way only the values are taken: the
// running request and its state are left alone.
void about_read_list(const std::string& file);
// Step 1: fetches the server list (slot 0) while no "FINAL" line was read,
// starting a new request at most once per kAboutRefetchUs, and reads it.
void about_check_version();
// The update work of kAboutDownloading and kAboutLaunch: pumps slot 1,
// unpacks, starts the installer. A successful start ends the program.
void about_work();
// Whole percent of written bytes of len, 0 when len is not above 0,
// never above 100; no overflow for any 64-bit values.
int about_percent(std::int64_t written, std::int64_t len);
// Checks that folder + name (below app_path) is a regular file with execute
// permission; 0 or the error code to report (EISDIR for a folder, EACCES for
// anything else that cannot be started, or the lstat errno).
int about_check_startable(const std::string& path);

// One pass of the window: version check, drawing, update step, frame pass.
void VOVARU_about_pass();
// Makes window 994 current and runs passes until another window is.
void VOVARU_about();
