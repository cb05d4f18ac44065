// Small file fixtures shared by the file tests: folder listings, shell
// commands run for their output, and sparse files past 4 GiB.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The names in a folder, sorted, without "." and ".."; empty when the
// folder cannot be read.
std::vector<std::string> list_dir(const std::string& path);

// Standard output and standard error of a shell command, as one text.
std::string run_command(const std::string& cmd);

// Offsets of the marks write_sparse_marked puts into a file of size bytes:
// the start, across the 4 GiB line, and the end.
std::vector<off_t> sparse_mark_offsets(off_t size);
// The mark written at each of them (7 bytes).
constexpr const char* kSparseMark = "zudezud";

// Makes a sparse file of size bytes holding kSparseMark at the offsets
// above, so a length or offset cut to 32 bits changes what is read. False
// when the file system keeps it whole (the caller skips); a file that
// cannot be made fails the test.
bool write_sparse_marked(const std::string& path, off_t size);
