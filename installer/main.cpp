// Zudezud installer entry point.
//
// Every call into the application shell (start-up, frame pass, shutdown) is
// in the [SECTION] Shell below, the folder picker goes into engine_windows;
// everything else is the installer's own start-up.
#include <string>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "installer/frame.h"
#include "installer/sub_wins.h"
#include "installer/utils.h"

// ---------------------------------------------------------------------------
// [SECTION] Shell

static void shell_init(int argc, char** argv)
{
    VOVARU_init(argc, argv);
}

static void shell_frame()
{
    VOVARU_event_proc();
}

static void shell_finish()
{
    VOVARU_finishup(1);
}

// ---------------------------------------------------------------------------
// [SECTION] Installer start-up

int main(int argc, char** argv)
{
    shell_init(argc, argv);
    engine_windows.pick_folder = pick_folder_in_window;
    // However the run ends (quit, fatal alert, window lost), the folder goes.
    VOVARU_set_exit_cleanup(remove_private_temp);
    log_system_folders();

    std::string home;
    get_OS_abs_path(kOsDirDefaultApps, home);
    dest_dir_path = default_dest_path(home);
    xer << "dest_dir_path=" << dest_dir_path << "\n";

    // A private folder, not the shared "/tmp/" itself: another user could
    // have planted links under the fixed names there.
    std::string tmp;
    get_OS_abs_path(kOsDirTemp, tmp);
    if (int err = make_private_temp(tmp))
        __VOVARU_alert(kWinMain, "I could not make a temporary folder for the downloads.",
                       "Error: " + error_str(err), tmp, "", t_exit, "main", __LINE__);
    xer << "temp_path=" << temp_path << "\n";
    xer.flush();

    stls[603] = "OK";
    install_name = no_install_name;
    stg_set_defaults(stg);
    pref.IO_set(kPrefSetInstaller, kPrefRead);

    if (!take_path_argument(argc, argv) && stg._always_ask_dir) pick_dest_path();

    while (!app_done) shell_frame();
    remove_private_temp();
    shell_finish();
    return 0;
}
