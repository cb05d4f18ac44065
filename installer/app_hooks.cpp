// The library's hooks the installer defines, its preferences and the system
// folders.
//
// Index: [SECTION] System folders; Menus; Preferences.
#include "installer/app_hooks.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "GenC/hl_init.h"
#include "GenH/hl_app.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/pref.h"
#include "installer/destination.h"

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
// [SECTION] Menus

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
