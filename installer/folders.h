// The installation folders: made before the licence window, tidied after
// the last file.
#pragma once

#include <string>

constexpr int kFixedFolderCount = 7;
extern const char* const kFixedFolders[kFixedFolderCount];

// Creates the destination with its ancestors. A destination that cannot be
// made or written is reported and answers its error code: nothing more may
// be made, and the installation must not start.
int make_dest_folder();
// Creates the folder of every wanted file and the seven fixed folders. All
// are tried, and their failures reported in one alert; the answer is then
// the first one's code, and the installation must not start either.
int make_release_folders();
// make_dest_folder, then make_release_folders when it answered 0.
int make_dirs();
// The folder alert; more counts the further folders that failed.
void make_dir_error(std::string path, int code, int more = 0);
// End of an installation: removes folders that deletions left empty and,
// when program files came in, renames the folder to the release name.
void finish_installation();
// 1 when name may be used as a folder name (no '/', not "." or "..", not empty).
int is_safe_folder_name(const std::string& name);
