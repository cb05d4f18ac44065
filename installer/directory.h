// The directory list "directory.txt": records, parsing, the disk scan and
// the small rules the decisions, downloads and folders share (platform
// filter, local path rule).
//
// The scan runs in steps across frames: the list is read within one frame, then
// each frame gives the scan kScanStepSeconds and draws the progress box over
// the main screen, whose QUIT, DESTINATION and preferences stay live.
// read_directory runs the same steps to the end in one call. With the library's
// workers the main thread opens up to 128 files ahead of the first unsigned one
// (opens, stale-temporary sweeps and their log lines stay on it, in list
// order), one task per worker signs the next unclaimed file 32 KiB at a time,
// and the main thread takes the signatures back strictly in list order, telling
// the progress box of a file when it becomes the first unsigned one: so
// signatures, log lines and box texts are those of one signer. A cancel (a new
// scan, the exit clean-up, which the shutdown runs before the workers stop)
// stops the tasks between reads and waits for them before anything is freed.
// Without workers (the library's tests, a forked child) the main thread signs
// alone, a huge file kScanPieceBytes at a time between looks at the clock.
// While a step runs, a folder_memo keeps the folder listings it reads
// (Files/case_desens.h).
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

constexpr int kDirListVersionOld = 840;
constexpr int kDirListVersionNew = 900;
constexpr const char* kDirListType = "INSTALLER";

// Signature markers of the directory list.
constexpr const char* kSigNone = "NONE"; // the local file is missing or unreadable
constexpr const char* kSigGone = "GONE"; // the release no longer ships the file

// Platform codes of a "FILE" line.
enum {
    kOsAny = 0,
    kOsMac = 1,
    kOsWindows = 2,
    kOsLinux = 3,
    kOsNever4 = 4,
    kOsNever5 = 5,
    kOsLinuxData = 6, // Linux only, not a program file
};

// One version of one file: one kept "FILE" line.
struct file_version_struct {
    int kind = 0;         // 0..4
    int os = 0;           // platform code 0..6
    int aux = 0;          // stored, not used
    float down_kb = 0;    // kilobytes to download
    float disk_kb = 0;    // kilobytes on disk
    std::string sig_want; // release's signature, or "GONE"
    std::string sig_have; // local signature, or "NONE"; current version only
    std::string path;     // prefix + path text
    int have = 0;         // sig_want == sig_have, or fetched
    int download = 0;     // fetch and unpack this version
    int nuke = 0;         // delete the user's file
};

// One file of the release: consecutive lines with the same joined path. The
// last version is the current one.
struct file_history_struct {
    std::vector<file_version_struct> versions;
};

extern std::vector<file_history_struct> sim_info; // the parsed list, in list order
extern std::set<std::string> deleted_files;       // folders where a file was deleted
extern int this_install_has_exes;                 // a wanted program file must be fetched

// Result of parsing a body.
struct dir_parse_result {
    int ok = 1; // 0: an unsafe path was found (bad_path names it)
    std::string bad_path;
    int no_file_path = 0; // 1: a joined path ends in '/' (bad_path names it)
};

// Parses the body of a directory list into out. progress, when set, is
// called for every "FILE" line with the bytes read so far and the path text.
dir_parse_result parse_directory_body(
    const char* body, const char* end, std::vector<file_history_struct>& out,
    const std::function<void(long done, const std::string& text)>& progress = nullptr);

// A joined path the engine may turn into a local file: relative, no ".."
// component, no '\' or ':', not longer than the file layer takes.
int is_safe_release_path(const std::string& path);

// Reads the list at path, rebuilds sim_info and signs every local file.
// Returns kDirReady, or kDirBadFormat (header refused, or an unsafe path).
int read_directory(const std::string& path, std::string title);

// The same in steps, so the frame loop keeps drawing and answering while a
// scan runs (a huge file takes minutes): dir_scan_begin reads the list and
// answers kDirScan while files remain to be signed (or kDirBadFormat);
// each dir_scan_step signs for about `seconds` (all when negative) and
// answers kDirScan until the scan ends with kDirReady or kDirBadFormat.
// The progress box hears of each step through engine_windows.progress.
int dir_scan_begin(const std::string& path, std::string title);
int dir_scan_step(double seconds);
// Forgets a scan in progress (a new destination, the program ends); the
// disk is left as it was.
void dir_scan_cancel();
bool dir_scan_running();
// Bytes signed between two looks at the clock.
constexpr unsigned kScanPieceBytes = 1024 * 1024;

// 1 when version `version` of file `file` has this kind and is for the target platform.
int want_this_f(int file, int version, int kind);
// Platform rule alone: 1 when code os is wanted for the target platform.
int os_wanted(int os, int target_platform);
// Removes everything up to and including the first '/'.
void trim_dest_folder(std::string& path);
// dest_dir_path + the path without its first component.
std::string local_path_of(const std::string& release_path);
// A file from the server has a format too new for this installer: tells the
// user and ends the program after this frame.
void new_format(std::string path);
