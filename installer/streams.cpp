// The download streams. One grab_files call is one pass: each active stream
// makes one step on its entry (delete, pass over, or poll its transfer).
//
// Index: [SECTION] Reset; One pass; One entry; Stream rule; Unpacking.
#include "installer/streams.h"

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "UTL/UTL_time.h"
#include "installer/directory.h"
#include "installer/folders.h"
#include "installer/frame.h"
#include "installer/serverlist.h"
#include "installer/sub_wins.h"
#include "installer/utils.h"

constexpr int kLineExtractError = 390;

double engine_seconds()
{
    return xtim_class::microsecs() * 0.000001;
}

std::string stream_archive(int i)
{
    return temp_path + static_cast<char>('0' + i) + ".zip";
}

static int list_size()
{
    return static_cast<int>(sim_info.size());
}

// stream_file is compared with the list size as an unsigned number.
static bool in_list(int file)
{
    return static_cast<unsigned>(file) < static_cast<unsigned>(list_size());
}

// ---------------------------------------------------------------------------
// [SECTION] Reset

void next_class::reset_all_streams()
{
    for (int i = 0; i < kStreams; ++i) {
        // A request left running would be polled again by the next
        // installation and its archive unpacked for another file: end it.
        http.net_cancel(kNetSlotFirstStream + i);
        if (stream_active[i] && in_list(stream_file[i])) delete_file(stream_archive(i));
    }
    file_cursor = 0;
    for (int i = 0; i < kStreams; ++i) {
        stream_active[i] = i < 2;
        stream_needs_file[i] = i < 2;
        stream_file[i] = 0;
    }
    reset_time = xtim.real_secs;
    kb_partial = 0;
    kb_downloaded = 0;
    kb_installed = 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Stream rule

int wanted_streams(float rate, int stream_count)
{
    // A negative count can only come from a hand-edited file; it counts as
    // automatic, so the streams can never all stop with entries left.
    if (stream_count > 0) return stream_count;
    if (rate > 200) return 9;
    if (rate > 150) return 8;
    if (rate > 100) return 6;
    if (rate > 50) return 4;
    return 2;
}

static void stream_rule(int i)
{
    float elapsed = xtim.real_secs - next.reset_time;
    if (elapsed < 1) elapsed = 1;
    float rate = (next.kb_downloaded + next.kb_partial) / elapsed;
    int wanted = wanted_streams(rate, stg._stream_count);
    int n = 0;
    for (int j = 0; j < kStreams; ++j)
        n += next.stream_active[j] != 0;
    if (n < wanted) {
        for (int j = 0; j < kStreams; ++j) {
            if (!next.stream_active[j]) {
                next.stream_active[j] = 1;
                next.stream_needs_file[j] = 1;
                break;
            }
        }
    }
    if (n > wanted) {
        next.stream_active[i] = 0;
        next.stream_needs_file[i] = 0;
    } else {
        next.stream_needs_file[i] = 1;
    }
}

// ---------------------------------------------------------------------------
// [SECTION] One entry

static void delete_entry(const std::string& local)
{
    stg.status_code = kStatusDeleting;
    int r = delete_file(local);
    if (stg._log_actions)
        xer << "now we want to nuke a file: DELETING  file " << local << ", with result=" << r
            << ".\n"
            << std::flush;
    // Every folder between the destination and the file may now be empty.
    std::string f;
    get_path_with_path(f, local);
    while (f.size() > dest_dir_path.size()) {
        deleted_files.insert(f);
        std::string parent;
        get_path_with_path(parent, f);
        if (parent.size() >= f.size()) break;
        f = parent;
    }
    show_del_err(r); // the policy declines every code: a failed delete is not shown
}

// Returns 1 when the transfer completed (the entry is finished).
static int step_transfer(int i, file_version_struct& v, const std::string& request,
                         const std::string& local, const std::string& archive)
{
    stg.status_code = kStatusDownloading;
    int slot = kNetSlotFirstStream + i;
    int server = stg.chosen_server;
    if (server < 0 || server >= stg.server_count) server = 0;
    if (!http.slot[slot] && !slot_may_start(slot)) return 0; // paced retry

    int a = http.net_check(slot, server_name[server], request, archive);
    if (a == kNetRunning) {
        float f = 0;
        if (down_class* d = http.slot[slot])
            f = d->cont_len == -1 ? -0.01f
                : d->cont_len == 0
                    ? 0.0f
                    : static_cast<float>(d->bytes_written * 100 / d->cont_len) * 0.01f;
        stg.file_fraction = f;
        next.kb_partial += f * v.down_kb;
        return 0;
    }
    if (a == kNetFailed) {
        stg.download_failed = 1;
        slot_failed(slot);
        stg.chosen_server = choose_server_weighted(stg.server_count);
        return 0;
    }
    stg.download_failed = 0;
    extract_and_delete_file(archive, local);
    next.kb_downloaded += v.down_kb;
    next.kb_installed += v.disk_kb;
    v.have = 1;
    return 1;
}

// Returns 1 when the entry is finished.
static int handle_entry(int i)
{
    file_version_struct& v = sim_info[next.stream_file[i]].versions.back();
    int server = stg.chosen_server;
    if (server < 0 || server >= stg.server_count) server = 0;
    std::string request = server_path[server] + v.path + ".zip";
    std::string local = local_path_of(v.path);
    std::string archive = stream_archive(i);

    next.stream_needs_file[i] = 0;
    crnt_file_name = request.substr(request.rfind('/') + 1);
    crnt_file_path = request;

    if (v.nuke) {
        delete_entry(local);
        return 1;
    }
    if (v.download) return step_transfer(i, v, request, local, archive);
    stg.status_code = v.have ? kStatusHaveIt : kStatusNotNeeded;
    return 1;
}

// Whatever _log_actions says: what a run did, in one line, after the rename.
static void log_installation_result()
{
    int installed = 0, deleted = 0;
    for (const file_history_struct& f : sim_info) {
        if (f.versions.empty()) continue;
        installed += f.versions.back().download != 0;
        deleted += f.versions.back().nuke != 0;
    }
    xer << "Installation finished in " << dest_dir_path << ": " << installed
        << " file(s) installed, " << deleted << " deleted, " << int(next.kb_installed)
        << " KB written.\n"
        << std::flush;
}

// ---------------------------------------------------------------------------
// [SECTION] One pass

int grab_files()
{
    next.kb_partial = 0;
    for (int i = 0; i < kStreams; ++i) {
        if (!next.stream_active[i]) continue;
        if (next.stream_needs_file[i]) {
            next.stream_file[i] = next.file_cursor;
            next.file_cursor += 1;
            if (next.file_cursor > list_size()) next.file_cursor = list_size();
            if (next.file_cursor < 0) next.file_cursor = 0;
        }
        if (!in_list(next.stream_file[i])) continue;
        if (handle_entry(i)) stream_rule(i);
    }
    for (int i = 0; i < kStreams; ++i) {
        if (!next.stream_active[i] || !in_list(next.stream_file[i])) continue;
        if (stg.extract_error)
            xer << "Installation stopped: a file could not be extracted into " << dest_dir_path
                << ".\n"
                << std::flush;
        return stg.extract_error;
    }
    next.all_done = 1;
    finish_installation();
    log_installation_result();
    return 1;
}

// ---------------------------------------------------------------------------
// [SECTION] Unpacking

void extract_and_delete_file(std::string archive, std::string destination)
{
    std::string folder;
    get_path_with_path(folder, destination);
    // Links of the release may lead anywhere inside the installation.
    int r = zip_to_file(archive, folder, nullptr, 0, dest_dir_path);
    if (r != 0) {
        stg.extract_error = 1;
        __VOVARU_alert(kWinMain, "The installer cannot extract a file.", "Error: " + error_str(r),
                       "Compressed File: " + archive, "Destination: " + destination, t_alert,
                       "utils", kLineExtractError);
    }
    if (stg._log_actions)
        xer << "EXPANDING file " << destination << ", with result=" << r << ".\n" << std::flush;
    int w = delete_file(archive);
    if (stg._log_actions)
        xer << "DELETING  file " << archive << ", with result=" << w << ".\n" << std::flush;
}
