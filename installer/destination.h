// The destination folder (dest_dir_path): its default, the "-path" argument
// and the picker. The destination is the user's: it always ends in '/', and
// the reader's '/'-only rule for paths applies to the release's part after
// it, not to it.
#pragma once

#include <string>

// The folder Zudezud next to the tenth ancestor of home (normally "/Zudezud/").
std::string default_dest_path(const std::string& home);

// 1 when dest_dir_path holds folders named like Airfoils, Instructions,
// Output and Resources.
int path_is_to_a_sim();

// Asks for the destination; 1 when dest_dir_path changed, 0 on cancel.
int pick_dest_path();

// A folder as a destination: every path is appended to it, so it ends in
// '/'; one is added when missing. An empty text stays empty.
std::string as_dest_folder(const std::string& folder);

// Applies "-path <folder>" when it is the first argument pair; 1 if applied.
int take_path_argument(int argc, char** argv);
