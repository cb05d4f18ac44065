// The installer's globals, system folders, destination and private temp folder.
//
// Index: [SECTION] Installer globals; System folders; Destination;
// Preferences; Private temporary folder.
#include "installer/utils.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Files/folder_list.h"
#include "Files/io_utils.h"
#include "GenC/hl_hooks.h"
#include "GenC/hl_init.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/pref.h"
#include "installer/directory.h"
#include "installer/frame.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"

// ---------------------------------------------------------------------------
// [SECTION] Installer globals (the library's own are in hl_types)

std::string temp_path;
std::string install_name;
std::string server_name[kMaxServers];
std::string server_path[kMaxServers];
std::string server_desc[kMaxServers];
std::string crnt_file_name;
std::string crnt_file_path;
std::vector<file_history_struct> sim_info;
std::set<std::string> deleted_files;
int this_install_has_exes = 0;
next_class next;
std::string maker_host = kMakerWebSite; // serves "/serverlist.txt"
engine_windows_struct engine_windows = {handle_EULA, select_alert, scan_progress, pick_folder_none};

// ---------------------------------------------------------------------------
// [SECTION] System folders

void get_OS_abs_path(int index, std::string& out)
{
    const char* home = getenv("HOME");
    switch (index) {
    case kOsDirApp: {
        std::string folder;
        VOVARU_set_app_path(&folder);
        for (char& c : folder)
            if (c == '\\' || c == ':') c = '/';
        out = folder;
        break;
    }
    case kOsDirDesktop:
    case kOsDirDefaultApps:
        if (home) out = std::string(home) + "/";
        break;
    case kOsDirTemp:
        out = "/tmp/";
        break;
    case kOsDirPrefs:
        if (home) {
            out = std::string(home) + "/" + ".zudezud/";
            mkdir(out.c_str(), 0777); // result not needed: the reader copes with a missing folder
        }
        break;
    default:
        break;
    }
}

void log_system_folders()
{
    static const char* const labels[5] = {
        "os_dir_this_app\t\t=", "os_dir_desktop\t\t=", "os_dir_default_apps\t=",
        "os_dir_temp\t\t\t=", "os_dir_prefs\t\t\t="};
    for (int i = 0; i < 5; ++i) {
        std::string folder;
        get_OS_abs_path(i, folder);
        xer << labels[i] << folder << "\n";
    }
    xer << "\n";
}

// ---------------------------------------------------------------------------
// [SECTION] Destination

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

// The library's menu hooks (GenH/hl_app.h): the installer has no menus.
void APP_handlemenu(int item_id) {}
void function_key(int key) {}
void make_shortcut() {}

// ---------------------------------------------------------------------------
// [SECTION] Preferences

namespace
{

// A folder read from the file or a --pref: option; an empty one names no
// folder, and the default stands.
void take_dest_folder(const std::string& folder)
{
    if (!folder.empty()) dest_dir_path = as_dest_folder(folder);
}

} // namespace

void register_preferences()
{
    // The file's keys, in the file's order.
    static const pref_field fields[] = {
        {"_use_max_cpu", &stg._use_max_cpu, nullptr, nullptr},
        {"_rename_folder", &stg._rename_folder, nullptr, nullptr},
        {"_stream_count", &stg._stream_count, nullptr, nullptr},
        {"_log_actions", &stg._log_actions, nullptr, nullptr},
        {"_always_ask_dir", &stg._always_ask_dir, nullptr, nullptr},
        {"_dest_dir_path", nullptr, &dest_dir_path, take_dest_folder},
        {"_proxy_host", nullptr, &http._proxy_host, nullptr},
        {"_proxy_port", nullptr, &http._proxy_port, nullptr},
        {"_proxy_port_int", &http._proxy_port_int, nullptr, nullptr},
    };
    pref_register_fields(fields, sizeof(fields) / sizeof(fields[0]));
}

// ---------------------------------------------------------------------------
// [SECTION] Private temporary folder

int make_private_temp(const std::string& parent)
{
    std::string pattern = parent + "zudezud-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) return errno; // mkdtemp makes it with mode 0700
    temp_path = std::string(buf.data()) + "/";
    return 0;
}

static int remove_entry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path); // best effort: the folder is ours alone
    return 0;
}

void remove_private_temp()
{
    if (temp_path.empty() || temp_path == "/tmp/") return;
    std::string dir = temp_path.substr(0, temp_path.size() - 1);
    // Deepest first and without following links: an archive may have made
    // folders or links in here.
    nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    temp_path.clear();
}
