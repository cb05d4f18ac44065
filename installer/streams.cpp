// The download streams. One grab_files call is one pass: each active stream
// makes one step on its entry (delete, pass over, poll its transfer, or look
// at its archive's extraction).
//
// Index: [SECTION] Reset; One pass; One entry; Stream rule; Room in the
// temporary folder; Unpacking; Unpacking on a worker.
#include "installer/streams.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>
#include <sstream>

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_time.h"
#include "installer/directory.h"
#include "installer/folders.h"
#include "installer/globals.h"
#include "installer/retry.h"
#include "installer/serverlist.h"

constexpr int kLineExtractError = 390;
constexpr int kLineNoRoom = 391;

next_class next;

namespace
{
// The room in the temporary folder (section Room in the temporary folder).
struct room_state {
    bool looked = false;                // the first pass has looked at the disk
    bool same_disk = false;             // the destination is on the folder's disk
    bool stopped = false;               // the installation stopped for want of room
    long long announced[kStreams] = {}; // length announced for the stream's entry
};

// One archive handed over to a worker (section Unpacking on a worker).
struct unpack_job {
    int stream = 0, file = 0;
    int name = 0;             // which of the stream's names it was downloaded to
    std::string from;         // that name
    long long disk_bytes = 0; // what it takes in the temporary folder
    std::string archive, destination, folder, root;
    int result = 0, deleted = 0; // zip_to_file's and delete_file's codes
    std::string log;             // zip_to_file's own lines
};

struct unpacking_state {
    // Shared with the worker, under lock.
    std::mutex lock;
    std::deque<unpack_job> todo, done;
    bool draining = false; // a worker call takes the jobs, or one has failed
    // This thread's.
    THREAD_call* call = nullptr;
    int held[kStreams] = {};   // names handed over: bit k for name k
    int target[kStreams] = {}; // the running download's name + 1 (0: none)
    int jobs = 0;              // handed over, not yet finished
    float kb = 0;              // down_kb of those
    long long disk_bytes = 0;  // what those take in the temporary folder
};

// What the download streams keep besides the stream table `next`.
struct streams_state {
    room_state room;
    unpacking_state unpacking;
};
streams_state ss;
} // namespace

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

// The extraction on a worker (section Unpacking on a worker).
static bool unpack_on_workers();
static std::string download_target(int i, bool starting, float kb);
static int hand_over(int i, const std::string& local);
static void unpack_poll();
static bool unpack_busy();
static float unpack_kb();
static long long unpack_disk_bytes();
static void unpack_stop();

// The room in the temporary folder (section Room in the temporary folder).
static void room_reset();
static void room_first_look();
static bool room_stopped();
static void room_note_length(int i, long long length);
static int room_to_start(int i, const file_version_struct& v);

// ---------------------------------------------------------------------------
// [SECTION] Reset

void next_class::reset_all_streams()
{
    // An archive being extracted is read until the extraction ends; the
    // waiting ones are deleted.
    unpack_stop();
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
    room_reset();
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

// Returns 1 when the transfer completed and the stream is done with the
// entry: it is finished, or (on a worker) its archive is handed over.
static int step_transfer(int i, file_version_struct& v, const std::string& request,
                         const std::string& local, const std::string& archive)
{
    stg.status_code = kStatusDownloading;
    int slot = kNetSlotFirstStream + i;
    int server = stg.chosen_server;
    if (server < 0 || server >= stg.server_count) server = 0;
    const bool workers = unpack_on_workers();
    const bool starting = !http.slot[slot];
    // An installation that is stopping starts nothing more.
    if (starting && stg.extract_error) return 0;
    const std::string target = workers ? download_target(i, starting, v.down_kb) : archive;
    if (target.empty()) return 0;                    // no name it may take: waits
    if (starting && !slot_may_start(slot)) return 0; // paced retry
    if (starting && !room_to_start(i, v)) return 0;  // waits for room

    int a = http.net_check(slot, server_name[server], request, target);
    if (a == kNetRunning) {
        float f = 0;
        if (down_class* d = http.slot[slot]) {
            f = d->cont_len == -1 ? -0.01f
                : d->cont_len == 0
                    ? 0.0f
                    : static_cast<float>(d->bytes_written * 100 / d->cont_len) * 0.01f;
            room_note_length(i, d->cont_len);
        }
        stg.file_fraction = f;
        next.kb_partial += f * v.down_kb;
        return 0;
    }
    if (a == kNetFailed) {
        // What came is deleted at once: its room is the next try's.
        delete_file(target);
        slot_failed(slot);
        // A full temporary folder is no fault of the server: the same one
        // is asked again once there is room.
        if (http.LastFailure(slot).file_error == ENOSPC) return 0;
        stg.download_failed = 1;
        stg.chosen_server = choose_server_weighted(stg.server_count);
        return 0;
    }
    stg.download_failed = 0;
    // The pump goes on receiving while a worker extracts; the entry is
    // finished when its extraction ends.
    if (workers) return hand_over(i, local);
    extract_and_delete_file(archive, local);
    next.kb_downloaded += v.down_kb;
    next.kb_installed += v.disk_kb;
    v.have = 1;
    return 1;
}

// Returns 1 when the stream is done with the entry.
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
    unpack_poll();
    next.kb_partial = unpack_kb();
    room_first_look();
    for (int i = 0; i < kStreams && !room_stopped(); ++i) {
        if (!next.stream_active[i]) continue;
        if (next.stream_needs_file[i]) {
            room_note_length(i, 0);
            next.stream_file[i] = next.file_cursor;
            next.file_cursor += 1;
            if (next.file_cursor > list_size()) next.file_cursor = list_size();
            if (next.file_cursor < 0) next.file_cursor = 0;
        }
        if (!in_list(next.stream_file[i])) continue;
        if (handle_entry(i)) stream_rule(i);
    }
    bool complete = !unpack_busy();
    for (int i = 0; i < kStreams; ++i)
        complete = complete && !(next.stream_active[i] && in_list(next.stream_file[i]));
    if (!complete || stg.extract_error) {
        if (room_stopped())
            xer << "Installation stopped: a download does not fit in the temporary folder.\n"
                << std::flush;
        else if (stg.extract_error)
            xer << "Installation stopped: a file could not be extracted into " << dest_dir_path
                << ".\n"
                << std::flush;
        return stg.extract_error;
    }
    next.all_done = 1;
    wait_for_unpacking(); // the worker call, done with its last archive, returns
    finish_installation();
    log_installation_result();
    return 1;
}

// ---------------------------------------------------------------------------
// [SECTION] Room in the temporary folder
//
// The archives share the temporary folder's disk with whatever else is
// there, so the room is asked of the disk itself (statvfs). A download
// starts only when the room left, less what the running downloads will
// still write, holds its archive (the size the list gives, or the length
// its last try announced) and, when the destination is on the same disk,
// its extraction; otherwise the stream waits for the worker to delete the
// archives it has extracted. A download that still finds the disk full is
// deleted and tried again after the pause of a failed one. When the folder
// could not hold an archive even without any of ours, the installation
// stops with one alert: at its first pass for the largest archive, at a
// start for the stream's.

namespace
{
struct disk_room {
    bool known = false;
    long long block = 1, free = 0; // bytes
};

disk_room temp_disk_room()
{
    disk_room r;
    struct statvfs fs;
    if (temp_path.empty() || statvfs(temp_path.c_str(), &fs) != 0) return r;
    r.known = true;
    r.block = fs.f_frsize > 0 ? static_cast<long long>(fs.f_frsize) : 1;
    r.free = static_cast<long long>(fs.f_bavail) * r.block;
    return r;
}

long long whole_blocks(long long bytes, long long block)
{
    return bytes <= 0 ? 0 : (bytes + block - 1) / block * block;
}

// What one archive of v takes in the folder, with its extraction when that
// goes to the same disk; length: the length announced for it, if any.
long long room_needed(const file_version_struct& v, long long length, long long block)
{
    const long long archive = std::max(static_cast<long long>(v.down_kb) * 1024, length);
    const long long extraction = ss.room.same_disk ? static_cast<long long>(v.disk_kb) * 1024 : 0;
    return whole_blocks(archive, block) + whole_blocks(extraction, block);
}

void stop_for_room(long long need, long long room_there)
{
    ss.room.stopped = true;
    stg.extract_error = 1; // ends the installation as a failed one
    __VOVARU_alert(kWinMain,
                   "The installer cannot download a file: the temporary folder has too little "
                   "free room.",
                   "Room needed: " + std::to_string((need + 1023) / 1024) + " KB for one archive" +
                       (ss.room.same_disk ? " and its extraction" : ""),
                   "Free room there: " + std::to_string(room_there / 1024) + " KB",
                   "Temporary Folder: " + temp_path, t_alert, "streams", kLineNoRoom);
}
} // namespace

static void room_reset()
{
    ss.room = room_state();
}

static void room_first_look()
{
    if (ss.room.looked) return;
    ss.room.looked = true;
    struct stat t, d;
    ss.room.same_disk = stat(temp_path.c_str(), &t) == 0 && stat(dest_dir_path.c_str(), &d) == 0 &&
                        t.st_dev == d.st_dev;
    const disk_room r = temp_disk_room();
    if (!r.known) return;
    long long largest = 0;
    for (const file_history_struct& f : sim_info) {
        if (f.versions.empty()) continue;
        const file_version_struct& v = f.versions.back();
        if (v.download && !v.nuke) largest = std::max(largest, room_needed(v, 0, r.block));
    }
    // Nothing of ours is in the folder yet.
    if (r.free < largest) stop_for_room(largest, r.free);
}

static bool room_stopped()
{
    return ss.room.stopped;
}

static void room_note_length(int i, long long length)
{
    if (length >= 0) ss.room.announced[i] = length;
}

// 1: stream i may start its download of v now; 0: it waits.
static int room_to_start(int i, const file_version_struct& v)
{
    const disk_room r = temp_disk_room();
    if (!r.known) return 1;
    const long long need = room_needed(v, ss.room.announced[i], r.block);
    long long coming = 0, partial = 0; // of the other streams' running downloads
    for (int j = 0; j < kStreams; ++j) {
        const down_class* d = http.slot[kNetSlotFirstStream + j];
        if (j == i || d == nullptr) continue;
        long long whole = d->cont_len;
        if (whole < 0)
            whole = in_list(next.stream_file[j])
                        ? static_cast<long long>(
                              sim_info[next.stream_file[j]].versions.back().down_kb) *
                              1024
                        : 0;
        const long long written = whole_blocks(d->bytes_written, r.block);
        partial += written;
        coming += std::max(0LL, whole_blocks(whole, r.block) - written);
    }
    if (r.free - coming >= need) return 1;
    const long long without_ours = r.free + partial + unpack_disk_bytes();
    if (without_ours < need) stop_for_room(need, without_ours);
    return 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Unpacking

// What extract_and_delete_file tells once zip_to_file has answered r: the
// alert, the log line.
static void tell_extraction(const std::string& archive, const std::string& destination, int r)
{
    if (r != 0) {
        stg.extract_error = 1;
        __VOVARU_alert(kWinMain, "The installer cannot extract a file.", "Error: " + error_str(r),
                       "Compressed File: " + archive, "Destination: " + destination, t_alert,
                       "utils", kLineExtractError);
    }
    if (stg._log_actions)
        xer << "EXPANDING file " << destination << ", with result=" << r << ".\n" << std::flush;
}

// ... and once delete_file has answered w.
static void tell_deletion(const std::string& archive, int w)
{
    if (stg._log_actions)
        xer << "DELETING  file " << archive << ", with result=" << w << ".\n" << std::flush;
}

void extract_and_delete_file(std::string archive, std::string destination)
{
    std::string folder;
    get_path_with_path(folder, destination);
    // Links of the release may lead anywhere inside the installation.
    tell_extraction(archive, destination, zip_to_file(archive, folder, nullptr, 0, dest_dir_path));
    tell_deletion(archive, delete_file(archive));
}

// ---------------------------------------------------------------------------
// [SECTION] Unpacking on a worker
//
// With the library's workers running (the program's), a stream whose
// download has completed hands its archive over and takes its next entry at
// once, so the pump keeps every stream receiving. A worker extracts the
// archives one after the other (zip_to_file's buffers are shared), in the
// order they were handed over, and goes on from one to the next by itself,
// also while the frame waits. Each pass first finishes the entries whose
// extraction has ended, as extract_and_delete_file would, on this thread:
// the extraction's own log lines, the alert, the log lines, the archive's
// removal, the totals. The installation is complete once no extraction is
// left.
//
// An archive is extracted under its stream's name (temp_path + digit +
// ".zip") and deleted by the worker right after. While some wait or are
// extracted, the stream's next downloads go to its other names (digit, "-",
// k, ".zip"), which the worker renames to the first before extracting; so a
// stream downloads to its first name only while it holds none. The archives
// waiting keep the worker busy through a frame's wait, when nothing is
// received; another one is taken only while those handed over stay under
// kWaitingKb, so a release of huge files does not fill the temporary folder
// (archive_name_for). A stream that may take no name waits.

int archive_name_for(int held, float waiting_kb, float kb)
{
    if (held == 0) return 0;
    if (waiting_kb + kb >= kWaitingKb) return -1;
    for (int k = 1; k < kArchiveNames; ++k)
        if (!(held & (1 << k))) return k;
    return -1;
}

namespace
{
std::string held_archive(int i, int k)
{
    if (k == 0) return stream_archive(i);
    return temp_path + static_cast<char>('0' + i) + '-' + static_cast<char>('0' + k) + ".zip";
}

// The worker call: extracts until nothing is left to take.
void* drain(void*)
{
    for (;;) {
        unpack_job job;
        {
            std::lock_guard<std::mutex> hold(ss.unpacking.lock);
            if (ss.unpacking.todo.empty()) {
                ss.unpacking.draining = false;
                return nullptr;
            }
            job = std::move(ss.unpacking.todo.front());
            ss.unpacking.todo.pop_front();
        }
        // The stream's earlier archive is deleted already (the jobs of a
        // stream come in order).
        if (job.from != job.archive) std::rename(job.from.c_str(), job.archive.c_str());
        std::ostringstream log;
        zip_log_to(&log);
        job.result = zip_to_file(job.archive, job.folder, nullptr, 0, job.root);
        zip_log_to(nullptr);
        job.log = log.str();
        job.deleted = delete_file(job.archive);
        std::lock_guard<std::mutex> hold(ss.unpacking.lock);
        const bool failed = job.result != 0;
        ss.unpacking.done.push_back(std::move(job));
        // The installation ends with the pass that sees it: nothing more is
        // extracted (draining stays set until the reset).
        if (failed) return nullptr;
    }
}

// Forgets the worker call once it has returned; wait: also waits for it.
void settle_call(bool wait)
{
    if (ss.unpacking.call && THREAD_is_done(ss.unpacking.call, wait ? -1 : 0)) {
        THREAD_cleanup(ss.unpacking.call);
        ss.unpacking.call = nullptr;
    }
}

// The entries whose extraction has ended, in the order they ended.
void finish_done()
{
    std::deque<unpack_job> done;
    {
        std::lock_guard<std::mutex> hold(ss.unpacking.lock);
        done.swap(ss.unpacking.done);
    }
    for (const unpack_job& job : done) {
        xer << job.log;
        tell_extraction(job.archive, job.destination, job.result);
        tell_deletion(job.archive, job.deleted);
        ss.unpacking.held[job.stream] &= ~(1 << job.name);
        --ss.unpacking.jobs;
        ss.unpacking.disk_bytes -= job.disk_bytes;
        if (!in_list(job.file)) continue;
        file_version_struct& v = sim_info[job.file].versions.back();
        ss.unpacking.kb -= v.down_kb;
        next.kb_downloaded += v.down_kb;
        next.kb_installed += v.disk_kb;
        v.have = 1;
    }
    if (ss.unpacking.jobs == 0) {
        ss.unpacking.kb = 0;
        ss.unpacking.disk_bytes = 0;
    }
}

// The archives not yet taken are deleted and forgotten; none is taken
// afterwards until the next one is handed over.
void drop_waiting()
{
    std::deque<unpack_job> todo;
    {
        std::lock_guard<std::mutex> hold(ss.unpacking.lock);
        todo.swap(ss.unpacking.todo);
    }
    for (const unpack_job& job : todo) {
        delete_file(job.from);
        ss.unpacking.held[job.stream] &= ~(1 << job.name);
        --ss.unpacking.jobs;
        ss.unpacking.disk_bytes -= job.disk_bytes;
        if (in_list(job.file)) ss.unpacking.kb -= sim_info[job.file].versions.back().down_kb;
    }
}
} // namespace

static bool unpack_on_workers()
{
    return THREAD_worker_count() > 0;
}

// Where stream i's download of kb goes; starting: its request starts now.
// Empty while it may not take another name.
static std::string download_target(int i, bool starting, float kb)
{
    if (starting)
        ss.unpacking.target[i] = archive_name_for(ss.unpacking.held[i], ss.unpacking.kb, kb) + 1;
    if (ss.unpacking.target[i] == 0) return std::string();
    return held_archive(i, ss.unpacking.target[i] - 1);
}

// Stream i's download has completed: its archive is handed over.
static int hand_over(int i, const std::string& local)
{
    unpack_job job;
    job.stream = i;
    job.file = next.stream_file[i];
    job.name = ss.unpacking.target[i] - 1;
    job.from = held_archive(i, job.name);
    job.archive = stream_archive(i);
    job.destination = local;
    get_path_with_path(job.folder, local);
    // Links of the release may lead anywhere inside the installation.
    job.root = dest_dir_path;
    struct stat st;
    if (stat(job.from.c_str(), &st) == 0)
        job.disk_bytes = static_cast<long long>(st.st_blocks) * 512;
    ss.unpacking.held[i] |= 1 << job.name;
    ss.unpacking.target[i] = 0;
    ++ss.unpacking.jobs;
    ss.unpacking.disk_bytes += job.disk_bytes;
    if (in_list(job.file)) ss.unpacking.kb += sim_info[job.file].versions.back().down_kb;
    bool start = false;
    {
        std::lock_guard<std::mutex> hold(ss.unpacking.lock);
        ss.unpacking.todo.push_back(std::move(job));
        start = !ss.unpacking.draining;
        ss.unpacking.draining = true;
    }
    if (start) {
        settle_call(true); // a call that found nothing left is returning
        ss.unpacking.call = THREAD_run_async(drain, nullptr);
    }
    return 1;
}

// At the start of every pass.
static void unpack_poll()
{
    if (ss.unpacking.jobs == 0) return;
    settle_call(false);
    finish_done();
    // Once an extraction has failed the installation ends with this pass:
    // nothing more is extracted.
    if (stg.extract_error) drop_waiting();
}

static bool unpack_busy()
{
    return ss.unpacking.jobs > 0;
}

static float unpack_kb()
{
    return ss.unpacking.kb;
}

static long long unpack_disk_bytes()
{
    return ss.unpacking.disk_bytes;
}

static void unpack_stop()
{
    drop_waiting();
    settle_call(true);
    finish_done();
    for (int i = 0; i < kStreams; ++i) {
        // A download into another name (the first: the reset's own).
        if (ss.unpacking.target[i] > 1) delete_file(held_archive(i, ss.unpacking.target[i] - 1));
        ss.unpacking.target[i] = 0;
    }
    std::lock_guard<std::mutex> hold(ss.unpacking.lock);
    ss.unpacking.draining = false;
}

void wait_for_unpacking()
{
    settle_call(true);
    finish_done();
}
