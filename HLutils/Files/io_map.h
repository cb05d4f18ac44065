// A file opened and mapped for reading under the program's path rules: the
// path is relative to app_path, a '\\' or ':' in it is fatal (except in the
// part the user chose), the whole path takes at most kMaxFilePath characters,
// and the letter case is repaired on a case-sensitive disk. Only a regular
// file opens (non-blocking, so a FIFO cannot hang it); an empty one maps to a
// non-null start equal to its end.
//
// The data files' reader (OOPS_cpp/xmap) maps its files through this, and
// the file signer (io_md5) opens the files it signs through it.
#pragma once

#include <cstddef>
#include <string>

// Longest full path the reader and writer take (the path buffer is 500 bytes).
constexpr int kMaxFilePath = 499;

// A mapped file; all null and fd 0 while none is open.
struct io_mapping {
    const char* start = nullptr; // first mapped byte
    const char* end = nullptr;   // one past the last byte
    int fd = 0;                  // open descriptor, 0 for none
};

// Checks path, lets go of what m held, then opens and maps app_path + path;
// returns m->start (null when the file cannot be opened or mapped). The first
// user_part characters of path are a folder the user chose (the
// destination), where Linux allows '\\' and ':'.
const char* io_map_open(io_mapping* m, const std::string& path, size_t user_part);
// Unmaps and closes; m is then empty.
void io_map_close(io_mapping* m);
