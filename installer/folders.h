// The installation folders: made before the licence window, tidied after
// the last file.
#pragma once

#include <string>

constexpr int kFixedFolderCount = 7;
extern const char* const kFixedFolders[kFixedFolderCount];

// Creates the destination with its ancestors, the folder of every wanted
// file and the seven fixed folders. Reports problems, never fails.
void make_dirs();
// The folder alert.
void make_dir_error(std::string path, int code);
// End of an installation: removes folders that deletions left empty and,
// when program files came in, renames the folder to the release name.
void finish_installation();
// 1 when name may be used as a folder name (no '/', not "." or "..", not empty).
int is_safe_folder_name(const std::string& name);
