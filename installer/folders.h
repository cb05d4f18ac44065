// The installation folders: made before the licence window, tidied after
// the last file.
#pragma once

#include <string>

constexpr int kFixedFolderCount = 7;
extern const char* const kFixedFolders[kFixedFolderCount];

// Creates the destination with its ancestors, the folder of every wanted
// file and the seven fixed folders. A destination that cannot be made or
// written is reported and answers its error code: nothing more is made, and
// the installation must not start. Other folders are all tried, and their
// failures reported in one alert; the answer is then the first one's code,
// and the installation must not start either.
int make_dirs();
// The folder alert; more counts the further folders that failed.
void make_dir_error(std::string path, int code, int more = 0);
// End of an installation: removes folders that deletions left empty and,
// when program files came in, renames the folder to the release name.
void finish_installation();
// 1 when name may be used as a folder name (no '/', not "." or "..", not empty).
int is_safe_folder_name(const std::string& name);
