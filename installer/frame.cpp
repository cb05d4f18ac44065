// The installer frame: server list, directory list, the button flows and the
// download pump, and the one order in which a frame runs them.
//
// Index: [SECTION] Lists; Flows; Download pump; Frame.
#include "installer/frame.h"

#include <cstdint>
#include <sstream>

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "GenC/hl_alert.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_math.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "UTL/UTL_time.h"
#include "installer/choices.h"
#include "installer/dest_lock.h"
#include "installer/destination.h"
#include "installer/directory.h"
#include "installer/folders.h"
#include "installer/globals.h"
#include "installer/retry.h"
#include "installer/serverlist.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"

constexpr int kLineDirExtract = 203;

std::string maker_host = kMakerWebSite; // serves "/serverlist.txt"

// The text of the progress box while the list is read and the disk signed.
static const char* const kScanTitle =
    "Scanning directory text file to see if you already have Zudezud installed...";

// How often the destination's lock is asked for again while another
// installer holds it.
constexpr std::uint64_t kLockRetryUs = 1000000;

namespace
{
// What the frame keeps besides dest_busy.
struct frame_state {
    std::uint64_t dest_busy_since_us = 0; // since when another installer holds the lock
};
frame_state fs;
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Lists

void server_list_phase()
{
    if (stg.server_count != -1) return;
    if (!http.slot[kNetSlotServerList] && !slot_may_start(kNetSlotServerList)) return;
    std::string local = temp_path + "serverlist.txt";
    int a = http.net_check(kNetSlotServerList, maker_host, "/serverlist.txt", local, kNetNoCache);
    if (a == kNetFailed) {
        slot_failed(kNetSlotServerList);
        return;
    }
    if (a != kNetComplete) return;
    int n = read_server_list(local);
    if (n < 0) {
        new_format(local);
        return;
    }
    stg.server_count = n;
    stg.chosen_server = choose_server_weighted(n);
}

void directory_phase()
{
    if (stg.dir_state != kDirFetch || stg.server_count < 1) return;
    if (!http.slot[kNetSlotDirectory] && !slot_may_start(kNetSlotDirectory)) return;
    int n = stg.server_count;
    int cs = stg.chosen_server;
    if (cs < 0 || cs >= n) cs = stg.chosen_server = 0;
    std::string archive = temp_path + "directory.txt.zip";
    int a = http.net_check(kNetSlotDirectory, server_name[cs],
                           server_path[cs] + "directory.txt.zip", archive, kNetNoCache);
    if (a == kNetFailed) {
        slot_failed(kNetSlotDirectory);
        stg.chosen_server = int_rand(0, n - 1);
        return;
    }
    if (a != kNetComplete) return;
    // The extraction's own lines go to the log once for each error, as the
    // alert does: a broken archive retried every second would grow it by
    // megabytes an hour.
    std::ostringstream zip_lines;
    zip_log_to(&zip_lines);
    int r = zip_to_file(archive, temp_path, nullptr, 0);
    zip_log_to(nullptr);
    if (r == 0 || r != list_fetch.unpack_error) xer << zip_lines.str() << std::flush;
    if (r == 0) {
        stg.dir_state = kDirScan;
        list_fetch = list_fetch_struct();
    } else {
        // Fetched again, but not before a second has passed. The alert comes
        // once for each error: shown at every try it would come back a frame
        // after every OK, and nothing else on the screen could be reached.
        // The status message tells the rest.
        slot_failed(kNetSlotDirectory);
        const bool told = r == list_fetch.unpack_error;
        list_fetch.unpack_error = r;
        list_fetch.unpack_server = server_name[cs];
        if (!told)
            __VOVARU_alert(kWinMain, "DIR-scan: The installer cannot extract a file.",
                           "Error: " + error_str(r), "Compressed File/" + archive,
                           "Destination Path/" + temp_path, t_alert, "main", kLineDirExtract);
    }
    delete_file(archive);
}

int dest_busy = 0;

// Another installer holds the destination: the scan waits, and the log says
// so once.
static void wait_for_other_installer()
{
    if (!dest_busy)
        xer << "Another installer is working on " << dest_dir_path
            << ": waiting until it is done.\n"
            << std::flush;
    dest_busy = 1;
    fs.dest_busy_since_us = xtim_class::microsecs();
}

void scan_phase()
{
    if (stg.dir_state != kDirScan) return;
    if (!dir_scan_running()) {
        // Nothing is read or changed in a folder another installer works on;
        // its lock is asked for again once a second.
        if (dest_busy && xtim_class::microsecs() - fs.dest_busy_since_us < kLockRetryUs) return;
        if (dest_lock_take(dest_dir_path) == kLockBusy) {
            wait_for_other_installer();
            return;
        }
        dest_busy = 0;
        // A new scan: what the screen says of an earlier installation no
        // longer holds.
        next.all_done = 0;
        stg.dir_state = dir_scan_begin(temp_path + "directory.txt", kScanTitle);
        if (stg.dir_state != kDirScan) return;
    }
    stg.dir_state = dir_scan_step(kScanStepSeconds);
}

void restart_scan()
{
    dir_scan_cancel();
    stg.dir_state = kDirScan;
}

// ---------------------------------------------------------------------------
// [SECTION] Flows

int destination_open()
{
    return stg.install_state == kInstallIdle || stg.install_state == kInstallFinished;
}

void destination_flow()
{
    if (!destination_open()) return;
    if (!pick_dest_path()) return;
    next.reset_all_streams();
    next.all_done = 0; // the completion was another folder's
    stg.extract_error = 0;
    stg.install_state = kInstallIdle;
    // A list refused for this folder (a name too long for it) may fit the
    // new one: read it again too. A list too new for us has ended the run.
    // A scan of the old folder is given up for one of the new.
    if (stg.dir_state == kDirReady || stg.dir_state == kDirBadFormat || stg.dir_state == kDirScan) {
        restart_scan();
        dest_busy = 0;
    }
}

int install_open()
{
    return stg.install_state == kInstallIdle;
}

int install_ready()
{
    return install_open() && stg.dir_state == kDirReady;
}

void install_flow()
{
    if (!install_ready()) return;
    next.reset_all_streams();
    stg.extract_error = 0;
    // A destination that cannot be made or written: one alert, and the user
    // stays idle to choose another.
    if (make_dest_folder() != 0) return;
    // A folder made just now is locked before anything is made in it. One
    // another installer has taken since the scan is changing under us: its
    // state is read again once that installer is done.
    if (dest_lock_take(dest_dir_path) == kLockBusy) {
        restart_scan();
        wait_for_other_installer();
        return;
    }
    // A folder of the release that cannot be made: its files could not be
    // written there, so the one alert and idle as above.
    if (make_release_folders() != 0) return;
    const int agreed = engine_windows.eula() == 1;
    // The decisions run whatever the answer; a cancel keeps everything idle.
    // Installing starts only once every file has its decision: a question
    // closed by Return runs a frame pass, and no download may act on half
    // the decisions.
    const int decided = choose_files();
    stg.install_state = agreed && decided ? kInstalling : kInstallIdle;
}

void quit_flow()
{
    next.reset_all_streams();
    stg.install_state = kInstallFinished;
    app_done = 1;
}

// ---------------------------------------------------------------------------
// [SECTION] Download pump

void download_pump()
{
    if (stg.install_state != kInstalling) return;
    double end = engine_seconds() + kPumpSeconds;
    while (engine_seconds() < end && stg.install_state == kInstalling) {
        if (grab_files()) {
            stg.install_state = kInstallFinished;
            next.reset_all_streams();
            dest_lock_release(); // the installation is over: others may go on
        }
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Frame

namespace
{
void nothing() {}
int not_pressed()
{
    return 0;
}
} // namespace

const frame_screen kNoScreen = {nothing, not_pressed, nothing, not_pressed,
                                nothing, not_pressed, nothing};

// The steps in this order: a list unpacked or a destination picked in this
// frame is read by the scan of this same frame, and an installation started
// here gets its first download passes here too.
void run_frame(const frame_screen& screen)
{
    screen.background();
    server_list_phase();
    directory_phase();
    if (screen.destination()) destination_flow();
    scan_phase();
    screen.upper_part();
    if (screen.install_button()) install_flow();
    screen.store_button();
    if (screen.quit_button()) quit_flow();
    download_pump();
    screen.totals();
    VOVARU_frame_quiet(engine_quiet());
    VOVARU_frame_due(engine_due_us());
}

int engine_quiet()
{
    for (const down_class* s : http.slot)
        if (s) return 0;
    if (stg.dir_state == kDirScan && !dest_busy) return 0;
    return stg.install_state != kInstalling;
}

long engine_due_us()
{
    const std::uint64_t now = xtim_class::microsecs();
    long due = slot_retry_due_us(now);
    if (dest_busy) due = sooner_due(due, due_in_us(now, fs.dest_busy_since_us, kLockRetryUs));
    return due;
}

void engine_frame()
{
    run_frame(kNoScreen);
}
