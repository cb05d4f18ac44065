// The temporary files the extraction writes an entry into before renaming it
// into place: free names beside the target, creating one, writing every byte.
// Their side that others need (the names, the sweep of stale ones) is
// declared in io_zip.h.
// May call: POSIX files, the folder listings (case_desens). Called by: the
// zip extraction (io_zip, zip_pipeline).
#pragma once

#include <cstddef>
#include <string>

// Attempts at a free temporary name.
constexpr int kZipTempTries = 100;

// A new temporary file beside p, opened for writing, its name in tmp; -1 with
// *err set to the errno when none could be made.
int zip_create_temp(const std::string& p, std::string* tmp, int* err);

// Writes all n bytes to fd: 0, or the errno (EIO when nothing is written).
int zip_write_all(int fd, const char* data, size_t n);
