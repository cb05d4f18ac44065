// The temporary files the extraction writes an entry into before renaming it
// into place: free names beside the target, creating one, writing every byte.
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

// Each entry is written under a temporary name in its own folder and renamed
// into place: the prefix and then kZipTempRandom of [a-z0-9].
constexpr const char* kZipTempPrefix = ".zdz_";
constexpr int kZipTempRandom = 8;
// A free-looking name of that form in the folder of path (not yet created:
// open it with O_EXCL and try again on EEXIST).
std::string zip_temp_name_near(const std::string& path);
// True for exactly such a name.
bool zip_is_temp_name(const std::string& name);
// Removes the files and links named like that in app_path + folder (ends in
// '/'): left by a run that ended in the middle of an entry. Never a folder,
// never another name. Returns how many went.
int zip_remove_stale_temps(const std::string& folder);
