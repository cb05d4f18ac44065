// The destination folder: its default, the "-path" argument and the picker.
#include "installer/destination.h"

#include <cstring>
#include <vector>

#include "Files/folder_list.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "installer/sub_wins.h"

std::string default_dest_path(const std::string& home)
{
    std::string path = home;
    for (int i = 0; i < 10; ++i) {
        std::string folder;
        get_path_with_path(folder, path);
        path = folder;
    }
    return path + "Zudezud" + "/";
}

int path_is_to_a_sim()
{
    static const char* const marks[4] = {"Airfoils", "Instructions", "Output", "Resources"};
    std::vector<std::string> names;
    std::vector<int> kinds;
    int n = opensave_getitems(dest_dir_path, kListAll, names, kinds);
    int found[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i) {
        if (kinds[i] != kItemFolder) continue;
        for (int m = 0; m < 4; ++m)
            if (names[i].find(marks[m]) != std::string::npos) found[m] = 1;
    }
    return found[0] && found[1] && found[2] && found[3];
}

std::string as_dest_folder(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + '/';
}

int pick_dest_path()
{
    std::string chosen = dest_dir_path;
    if (!engine_windows.pick_folder(dest_dir_path, chosen)) return 0;
    dest_dir_path = as_dest_folder(chosen);
    if (!path_is_to_a_sim()) dest_dir_path += std::string("Zudezud") + "/";
    return 1;
}

int take_path_argument(int argc, char** argv)
{
    if (argc < 3 || strcmp(argv[1], "-path") != 0) return 0;
    dest_dir_path = as_dest_folder(argv[2]);
    return 1;
}
