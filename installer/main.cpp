// Zudezud installer entry point.
//
// Every call into the application shell (start-up, frame pass, shutdown) is
// in the [SECTION] Shell below, the folder picker goes into engine_windows;
// everything else is the installer's own start-up.
#include <string>

#include "Files/io_utils.h"
#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_shutdown.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/pref.h"
#include "UTL/UTL_cmdline.h"
#include "installer/app_hooks.h"
#include "installer/destination.h"
#include "installer/directory.h"
#include "installer/globals.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"
#include "installer/temp_folder.h"

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

// The top of the usage text; the library's options follow.
static const char* const kInstallerUsage =
    "Usage: zudezud_installer [-path <folder>] [--pref:<key>=<value> ...] [options...]\n"
    "\n"
    "INSTALLER OPTIONS\n"
    "-path <folder>\n"
    "    Install into or update this folder; only as the first two arguments.\n"
    "    Without it the folder in the preferences is used, else /Zudezud/.\n"
    "--pref:<key>=<value>\n"
    "    Set one preference for this run; it is saved with the others at exit.\n"
    "    Keys: _dest_dir_path, _proxy_host, _proxy_port_int (with _proxy_host,\n"
    "    downloads go through that proxy), _stream_count (0 chooses by speed),\n"
    "    _log_actions (1 writes every file to Log.txt), _rename_folder,\n"
    "    _always_ask_dir, _use_max_cpu, _proxy_port.\n"
    "--cmnds[=<path>]\n"
    "    List the commands one level below the path (\"all\": every command with\n"
    "    its description), then quit.\n"
    "\n"
    "OPTIONS OF ALL ZUDEZUD PROGRAMS\n";

int main(int argc, char** argv)
{
    // First, so that every save, even one of a start-up that fails, writes them.
    register_preferences();
    cmdline.app_usage = kInstallerUsage;
    cmdline.app_leading_option = "-path";
    shell_init(argc, argv);
    engine_windows.pick_folder = pick_folder_in_window;
    // However the run ends (quit, fatal alert, window lost), a scan stops
    // its workers and the folder goes.
    VOVARU_set_exit_cleanup([] {
        dir_scan_cancel();
        remove_private_temp();
    });
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
    const std::string default_dest = dest_dir_path;
    pref.IO_set(kPrefSetInstaller, kPrefRead);

    // "dest_dir_path=" above logged the default; this is the folder used.
    const char* source = dest_dir_path == default_dest ? "the default" : "the preferences";
    if (take_path_argument(argc, argv))
        source = "-path";
    else if (stg._always_ask_dir && pick_dest_path())
        source = "the folder picker";
    xer << "Destination folder: " << dest_dir_path << " (" << source << ")\n" << std::flush;

    while (!app_done)
        shell_frame();
    // An extraction on a worker still reads its archive from the folder.
    wait_for_unpacking();
    remove_private_temp();
    shell_finish();
    return 0;
}
