// File operations and the error codes every file and network call returns.
// A code is 0 for success, a Linux errno value, or one of the own codes below.
//
// Also here: the existence tests, launch_app (which ends this program through
// the shell's shutdown hook once the other one runs) and the large-address
// patch of Windows executables. A code is returned, never shown: what the user
// must see goes through __VOVARU_alert, once, where the failure is found.
#pragma once

#include <string>

// The program's own error codes.
enum {
    kErrZipOpen = 20001,       // a zip archive cannot be opened
    kErrZipRead = 20002,       // a zip archive cannot be read
    kErrZipCreate = 20003,     // a zip archive cannot be created
    kErrZipWrite = 20004,      // a zip archive cannot be written
    kErrZipForkTooBig = 20005, // a source resource fork of more than 2 GB
    kErrFileOpenRead = 20006,  // a file cannot be opened for reading
    kErrNetReconnect = 20007,  // network: internal reconnect error
    kErrNetBadState = 20008,   // network: bad state
    kErrNetAlloc = 20009,      // network: no connection could be allocated
    kErrNetWriteFile = 20010,  // network: the incoming file cannot be written
    kErrNetNoServer = 20011,   // network: the server cannot be found
    kErrZipCorrupt = 20012,    // a downloaded archive has a bad header
    // Large-address patch of a Windows executable; these two have no user
    // text (error_str gives its fallback).
    kErrNotExeMZ = 20013, // the file does not start with "MZ"
    kErrNotExePE = 20014, // no "PE\0\0" where the DOS header points
};

struct err_msg_row {
    int code;
    const char* text;
};

// The user texts of the codes, ended by the row {0, nullptr}.
extern const err_msg_row kErrMsgs[];

// Where the last failing file step was: this module's path and the line.
// Set by the file operations here and by the zip writer, read by the zip
// writer's log line; each thread has its own (an extraction may run off the
// main thread). The zip extraction keeps its own place instead, under the
// same module path.
extern thread_local const char* sErrFile;
extern thread_local int sErrLine;

// The module path recorded in sErrFile and named by the zip extraction.
constexpr const char* kIoUtilsSource = "HLutils/Files/io_utils";

// Records a failure at line in sErrFile/sErrLine; pass __LINE__.
inline void io_note_failure(int line)
{
    sErrFile = kIoUtilsSource;
    sErrLine = line;
}

// Text of any code; unknown codes get "Unknown error occurred (%d)".
std::string error_str(int code);

// Whether a failure is worth an alert to the user.
int show_del_err(int err);      // never: always 0
int show_make_dir_err(int err); // any failure except "exists already"

// Creates one folder (mode 0755); one trailing '/' is dropped first.
// 0, or the errno (17 when it exists, 2 when the parent is missing).
int make_folder(const std::string& path);

// Removes app_path + path: an empty folder when it ends in '/', else the
// file or link. 0, 2 for an empty path, or the errno.
int delete_file(std::string path);

// Renames folder + from to folder + to (plain concatenation), replacing an
// existing target. 0 or the errno.
int rename_file(const std::string& folder, const std::string& from, const std::string& to);

// 1 when app_path + path (one trailing '/' dropped, letter case repaired)
// is an existing folder.
bool dir_exists(std::string path);
// 1 when app_path + path (letter case repaired) exists and is not a folder.
bool file_exists(std::string path);

// Starts app_path + app (one trailing '/' dropped) with the arguments
// "-path" arg (none when arg is empty) and, once the program is running,
// shuts this one down and exits with status 1. Returns only when the start
// failed: the errno of fork, pipe or execv.
int launch_app(const std::string& app, const std::string& arg);

// Sets the large-address-aware bit of a Windows (PE) executable at path (no
// app_path prefix). 0, an errno, 5 for a short read or write, kErrNotExeMZ
// or kErrNotExePE.
int make_file_large_address_aware(std::string path);
