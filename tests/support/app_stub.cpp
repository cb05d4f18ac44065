// The application's side of the library (GenH/hl_app.h) for the programs
// that test the library alone: no frame work and no menus; the system folders
// are answered as the installer answers them, so a save of the preferences
// lands where the tests look for it.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "GenC/hl_init.h"
#include "GenH/hl_app.h"

void APP_update() {}
void APP_handlemenu(int item_id) {}
void function_key(int key) {}
void make_shortcut() {}

void get_OS_abs_path(int index, std::string& out)
{
    const char* home = std::getenv("HOME");
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
            out = std::string(home) + "/.zudezud/";
            mkdir(out.c_str(), 0777);
        }
        break;
    default:
        break;
    }
}
