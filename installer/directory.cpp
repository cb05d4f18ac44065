// The directory list: parsing "DIR"/"FILE" lines into sim_info, signing the
// local files, and the rules shared by the decisions and the downloads.
//
// Index: [SECTION] Rules; Parsing; Reading and scanning; Too new a format.
#include "installer/directory.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Files/case_desens.h"
#include "Files/io_md5.h"
#include "Files/io_zip.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_time.h"
#include "installer/globals.h"
#include "installer/sub_wins.h"
#include "installer/text_scan.h"

// Source lines the alerts of this file report.
constexpr int kLineNewFormat = 141;
constexpr int kLineNoDirFile = 628;

std::vector<file_history_struct> sim_info;
std::set<std::string> deleted_files;
int this_install_has_exes = 0;

// ---------------------------------------------------------------------------
// [SECTION] Rules

int os_wanted(int os, int target_platform)
{
    if (os == kOsAny) return 1;
    if (os >= kOsMac && os <= kOsLinux) return os == target_platform;
    if (os == kOsLinuxData) return target_platform == kPlatLinux;
    return 0;
}

int want_this_f(int file, int version, int kind)
{
    const file_version_struct& v = sim_info[file].versions[version];
    return v.kind == kind && os_wanted(v.os, stg.target_platform);
}

void trim_dest_folder(std::string& path)
{
    std::string::size_type slash = path.find('/');
    if (slash != std::string::npos) path.erase(0, slash + 1);
}

std::string local_path_of(const std::string& release_path)
{
    std::string rel = release_path;
    trim_dest_folder(rel);
    return dest_dir_path + rel;
}

int is_safe_release_path(const std::string& path)
{
    if (path.empty() || path[0] == '/') return 0;
    if (path.size() > static_cast<std::string::size_type>(kMaxFilePath)) return 0;
    if (path.find_first_of("\\:") != std::string::npos) return 0;
    // A control character would break the request line that asks for it.
    if (!http_sendable_path(path)) return 0;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (path.compare(start, slash - start, "..") == 0 && slash - start == 2) return 0;
        start = slash + 1;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// [SECTION] Parsing

namespace
{

// A decimal field: optional '-' then '+', every character up to the next
// blank or line end taken as a digit. Saturates rather than overflowing.
int64_t scan_number(text_scan& s)
{
    s.skip_blanks();
    bool neg = false;
    if (s.cur < s.end && *s.cur == '-') {
        neg = true;
        ++s.cur;
    }
    if (s.cur < s.end && *s.cur == '+') {
        neg = false;
        ++s.cur;
    }
    int64_t v = 0;
    while (s.cur < s.end && !xmap_is_white(*s.cur)) {
        v = v * 10 + (static_cast<unsigned char>(*s.cur) - '0');
        if (v > INT32_MAX) v = INT32_MAX;
        if (v < INT32_MIN) v = INT32_MIN;
        ++s.cur;
    }
    return neg ? -v : v;
}

int clamp_int(int64_t v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : static_cast<int>(v));
}

// The word at the cursor followed directly by a blank.
bool line_word(text_scan& s, const char* word)
{
    const char* p = s.cur;
    for (; *word; ++word, ++p)
        if (p >= s.end || *p != *word) return false;
    if (p >= s.end || !xmap_is_blank(*p)) return false;
    s.cur = p;
    return true;
}

} // namespace

dir_parse_result
parse_directory_body(const char* body, const char* end, std::vector<file_history_struct>& out,
                     const std::function<void(long done, const std::string& text)>& progress)
{
    dir_parse_result res;
    text_scan s{body, end};
    std::string prefix, last_path;
    bool any_kept = false;
    s.skip_white();
    while (!s.at_end()) {
        s.skip_blanks();
        if (line_word(s, "DIR")) {
            s.skip_blanks();
            prefix = s.rest_of_line();
        } else if (line_word(s, "FILE")) {
            file_version_struct v;
            v.kind = clamp_int(scan_number(s), 0, 4);
            v.os = clamp_int(scan_number(s), 0, 6);
            v.aux = clamp_int(scan_number(s), INT32_MIN, INT32_MAX);
            v.down_kb = static_cast<float>(scan_number(s));
            v.disk_kb = static_cast<float>(scan_number(s));
            s.skip_blanks();
            v.sig_want = s.word();
            s.skip_blanks();
            std::string text = s.rest_of_line();
            s.skip_white();
            bool dropped = text.find("900 red terrain") != std::string::npos ||
                           text.find("Earth Orbit Textures") != std::string::npos;
            if (!dropped) {
                v.path = prefix + text;
                // The path becomes a file on the user's disk: refuse the
                // whole list rather than write or delete outside the folder.
                if (!is_safe_release_path(v.path)) {
                    res.ok = 0;
                    res.bad_path = v.path;
                    return res;
                }
                if (!any_kept || v.path != last_path) out.emplace_back();
                any_kept = true;
                last_path = v.path;
                if (v.path.back() == '/') {
                    res.no_file_path = 1;
                    res.bad_path = v.path;
                    return res;
                }
                out.back().versions.push_back(v);
            }
            if (progress) progress(static_cast<long>(s.cur - body), text);
            continue;
        } else {
            s.skip_to_line_end();
        }
        s.skip_white();
    }
    return res;
}

// ---------------------------------------------------------------------------
// [SECTION] Reading and scanning

// A run that ended in the middle of an entry leaves the extraction's hidden
// temporary file beside it; each folder of the installation is cleared of
// them once per scan.
static void sweep_folder_of(const std::string& local, std::set<std::string>& swept)
{
    std::string folder;
    get_path_with_path(folder, local);
    if (!swept.insert(folder).second) return;
    if (int n = zip_remove_stale_temps(folder))
        xer << "Removed " << n << " temporary file(s) an earlier run left in " << folder << ".\n";
}

// The disk scan in progress: it signs the files of sim_info in list order,
// in steps the frame loop runs between its frames. With the library's
// workers, the main thread opens files ahead of the first unsigned one (so
// an open, its sweep and its log lines happen there, in list order), the
// workers sign them several at once, and the main thread takes the
// signatures back in list order. Without workers (the library's tests, a
// forked child) the main thread signs them one after another itself.
namespace
{
// Files open ahead of the first unsigned one: enough to keep every worker
// busy behind a big file, few enough for descriptors and buffers.
constexpr int kScanWindow = 128;

// One file handed to the workers. The main thread fills it before it
// publishes it; then the worker that claims it owns signer and failed until
// it sets done.
struct scan_file {
    std::string local;
    md5_file_signer signer;
    bool opened = false;                 // open() succeeded
    bool done = false;                   // nothing more to sign; under the pool's lock
    bool failed = false;                 // unreadable while signed: no signature
    std::atomic<std::uint64_t> bytes{0}; // signed so far, for the progress box
};

// The files in flight between the main thread and the sign tasks (one task
// per worker, each taking the next unclaimed file until none comes).
struct scan_pool {
    std::mutex lock;
    std::condition_variable work;                 // tasks: a file was published, or the end
    std::condition_variable finished;             // main thread: a file was signed
    std::unique_ptr<scan_file> ring[kScanWindow]; // file i at i % kScanWindow
    int opened = 0;                               // files [0, opened) were published
    int claimed = 0;                              // the next file a task takes
    bool last = false;                            // nothing more will be published
    std::atomic<bool> cancel{false};              // drop the scan: tasks stop between pieces
    std::vector<THREAD_call*> calls;              // main thread only

    scan_pool() = default;
    scan_pool(const scan_pool&) = delete;
    scan_pool& operator=(const scan_pool&) = delete;
    ~scan_pool() { stop(true); }

    // Ends the tasks (at once with cancel, else once the published files
    // are signed) and waits for them: nothing of the pool may go before.
    void stop(bool drop)
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (drop) cancel = true;
            last = true;
        }
        work.notify_all();
        std::vector<THREAD_call*> waiting;
        waiting.swap(calls);
        // After THREAD_shutdown no worker is left to wait for.
        if (!THREAD_is_inited()) return;
        for (THREAD_call* call : waiting) {
            THREAD_is_done(call, -1);
            THREAD_cleanup(call);
        }
    }
};

// Signs one claimed file a piece at a time, looking at the cancel flag
// between pieces.
void sign_claimed(scan_file& f, const std::atomic<bool>& cancel)
{
    while (!f.signer.done() && !cancel.load(std::memory_order_relaxed)) {
        if (f.signer.feed(1) != 0) { // 1 byte: one piece
            f.failed = true;
            return;
        }
        f.bytes.store(f.signer.bytes_done(), std::memory_order_relaxed);
    }
}

// A worker's task: signs the next unclaimed file until the main thread
// publishes no more, or the scan is dropped.
void* sign_task(void* arg)
{
    scan_pool& p = *static_cast<scan_pool*>(arg);
    std::unique_lock<std::mutex> hold(p.lock);
    while (!p.cancel) {
        if (p.claimed < p.opened) {
            scan_file& f = *p.ring[p.claimed++ % kScanWindow];
            if (f.done) continue; // unreadable or empty: nothing to sign
            hold.unlock();
            sign_claimed(f, p.cancel);
            hold.lock();
            f.done = true;
            p.finished.notify_one();
        } else if (p.last) {
            break;
        } else {
            p.work.wait(hold);
        }
    }
    return nullptr;
}

// The workers sign when there are any, this is the main thread and the
// process is the one that made them.
int scan_task_count()
{
    if (!THREAD_is_inited() || !THREAD_is_main_thread()) return 0;
    int n = THREAD_worker_count();
    // More tasks than the processors this process may run on only take
    // turns with the main thread, which opens the files.
    cpu_set_t allowed;
    if (n > 0 && sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        n = std::min(n, std::max(1, CPU_COUNT(&allowed)));
    return n;
}

struct dir_scan_struct {
    bool running = false;
    std::string list_path, title;
    int n = 0, step = 1;
    int file = 0;                // next file of sim_info to sign
    std::set<std::string> swept; // folders cleared of stale temporaries
    // Signed here, one file at a time:
    bool file_open = false; // `signer` holds a file part-signed
    std::unique_ptr<md5_file_signer> signer;
    // Signed by the workers:
    std::unique_ptr<scan_pool> pool;
    int opened = 0;     // files opened and published
    int refuse_at = -1; // the file whose path is too long
    int announced = -1; // the last file the progress box was told of
};

// What the directory module keeps between calls: the scan in progress, and
// what outlives each scan.
struct directory_state {
    dir_scan_struct scan;
    // A fatal alert while a scan is ended runs the exit clean-up, which
    // ends it again: the outer wait goes on alone.
    bool stopping = false;
    int scan_counter = 0; // runs on over every scan of the run
};
directory_state ds;

// Ends the scan in progress, its tasks first.
void scan_reset(bool drop)
{
    if (ds.stopping) return;
    ds.stopping = true;
    if (ds.scan.pool) ds.scan.pool->stop(drop);
    ds.scan = dir_scan_struct();
    ds.stopping = false;
}

// Refuses the list: nothing of it may be used.
int refuse_list()
{
    sim_info.clear();
    stg.total_down_kb = 0;
    stg.total_disk_kb = 0;
    xer.flush();
    return kDirBadFormat;
}

// The file layer ends the program for a path this long: the list is refused.
bool too_long(const std::string& local)
{
    return local.size() > static_cast<std::string::size_type>(kMaxFilePath);
}

int refuse_too_long(const std::string& local)
{
    xer << "Directory list " << ds.scan.list_path << ": the path '" << local
        << "' is too long for this destination.\n";
    scan_reset(true);
    return refuse_list();
}

// The signature of file i is known: compare it and count it.
void file_signed(int i, file_version_struct& v)
{
    const int vi = static_cast<int>(sim_info[i].versions.size()) - 1;
    v.have = v.sig_want == v.sig_have;
    if (v.sig_want != kSigGone && !v.have && want_this_f(i, vi, v.kind)) {
        stg.total_down_kb += v.down_kb;
        stg.total_disk_kb += v.disk_kb;
        if (v.os >= kOsMac && v.os <= kOsLinux) this_install_has_exes = 1;
    }
}

// A step on the main thread alone, until the clock passes `end`.
int scan_step_here(std::uint64_t end)
{
    while (ds.scan.file < ds.scan.n) {
        const int i = ds.scan.file;
        file_version_struct& v = sim_info[i].versions.back();
        const std::string local = local_path_of(v.path);
        if (!ds.scan.file_open) {
            if (too_long(local)) return refuse_too_long(local);
            if (i % ds.scan.step == 0)
                engine_windows.progress(0, i, ds.scan.n, 1, ds.scan.title, local);
            sweep_folder_of(local, ds.scan.swept);
            v.sig_have = kSigNone;
            ds.scan.signer.reset(new md5_file_signer);
            // The destination is the user's choice and may hold any
            // character; the release's part was checked when the list was read.
            ds.scan.file_open = ds.scan.signer->open_file(local, dest_dir_path.size()) == 0;
        }
        // A huge file is signed in pieces, with a look at the clock between
        // them, so the window keeps answering.
        while (ds.scan.file_open && !ds.scan.signer->done()) {
            if (ds.scan.signer->feed(kScanPieceBytes) != 0) ds.scan.file_open = false; // unreadable
            if (ds.scan.file_open && !ds.scan.signer->done() && xtim_class::microsecs() >= end) {
                const md5_file_signer& s = *ds.scan.signer;
                const float part =
                    static_cast<float>(s.bytes_done()) / static_cast<float>(s.bytes_total());
                engine_windows.progress(0, i + part, ds.scan.n, 1, ds.scan.title, local);
                return kDirScan;
            }
        }
        if (ds.scan.file_open) v.sig_have = ds.scan.signer->signature(); // unreadable: keeps "NONE"
        ds.scan.file_open = false;
        ds.scan.signer.reset();
        file_signed(i, v);
        ++ds.scan.file;
        if (ds.scan.file < ds.scan.n && xtim_class::microsecs() >= end) return kDirScan;
    }
    scan_reset(false);
    return kDirReady;
}

// Opens files ahead of the first unsigned one and hands them to the tasks.
// A path too long for the destination stops the opening; the list is
// refused once every file before it is signed, as a scan in one thread
// would.
void open_ahead(scan_pool& p)
{
    bool published = false;
    while (ds.scan.opened < ds.scan.n && ds.scan.opened - ds.scan.file < kScanWindow &&
           ds.scan.refuse_at < 0) {
        const int i = ds.scan.opened;
        file_version_struct& v = sim_info[i].versions.back();
        auto f = std::make_unique<scan_file>();
        f->local = local_path_of(v.path);
        if (too_long(f->local)) {
            ds.scan.refuse_at = i;
            break;
        }
        sweep_folder_of(f->local, ds.scan.swept);
        v.sig_have = kSigNone;
        f->opened = f->signer.open_file(f->local, dest_dir_path.size()) == 0;
        f->done = !f->opened || f->signer.done();
        std::lock_guard<std::mutex> hold(p.lock);
        p.ring[i % kScanWindow] = std::move(f);
        p.opened = ++ds.scan.opened;
        if (ds.scan.opened == ds.scan.n) p.last = true; // the tasks may end once idle
        published = true;
    }
    if (published) p.work.notify_all();
}

// A step that leaves the signing to the workers, until the clock passes `end`.
int scan_step_on_workers(std::uint64_t end)
{
    scan_pool& p = *ds.scan.pool;
    for (;;) {
        open_ahead(p);
        if (ds.scan.file == ds.scan.refuse_at) {
            file_version_struct& v = sim_info[ds.scan.file].versions.back();
            return refuse_too_long(local_path_of(v.path));
        }
        // The box hears of a file when it becomes the first unsigned one.
        std::unique_lock<std::mutex> hold(p.lock);
        scan_file& head = *p.ring[ds.scan.file % kScanWindow];
        if (ds.scan.announced != ds.scan.file) {
            ds.scan.announced = ds.scan.file;
            if (ds.scan.file % ds.scan.step == 0) {
                hold.unlock();
                engine_windows.progress(0, ds.scan.file, ds.scan.n, 1, ds.scan.title, head.local);
                hold.lock();
            }
        }
        // Wait for the head in slices, so the raw clock (which tests replace)
        // decides when the step ends.
        constexpr std::uint64_t kSliceUs = 20000;
        while (!head.done) {
            const std::uint64_t now = xtim_class::microsecs();
            if (now >= end) {
                hold.unlock();
                const std::uint64_t total = head.signer.bytes_total();
                const std::uint64_t bytes = head.bytes.load(std::memory_order_relaxed);
                // A file read to its end but not yet marked done is not
                // shown as a whole one.
                if (bytes > 0 && bytes < total) {
                    const float part = static_cast<float>(bytes) / static_cast<float>(total);
                    engine_windows.progress(0, ds.scan.file + part, ds.scan.n, 1, ds.scan.title,
                                            head.local);
                }
                return kDirScan;
            }
            const std::uint64_t wait = std::min(end - now, kSliceUs);
            p.finished.wait_for(hold, std::chrono::microseconds(wait));
        }
        // A file nobody claimed yet (unreadable, empty) is not left to a task.
        if (p.claimed <= ds.scan.file) p.claimed = ds.scan.file + 1;
        std::unique_ptr<scan_file> f = std::move(p.ring[ds.scan.file % kScanWindow]);
        hold.unlock();

        const int i = ds.scan.file;
        file_version_struct& v = sim_info[i].versions.back();
        if (f->opened && !f->failed) v.sig_have = f->signer.signature(); // else "NONE"
        file_signed(i, v);
        ++ds.scan.file;
        if (ds.scan.file == ds.scan.n) {
            scan_reset(false);
            return kDirReady;
        }
        // Files already signed are taken back whatever the clock says: that
        // costs next to nothing.
    }
}
} // namespace

int dir_scan_begin(const std::string& path, std::string title)
{
    dir_scan_cancel();
    deleted_files.clear();
    stg.total_down_kb = 0;
    stg.total_disk_kb = 0;
    sim_info.clear();

    xmap_class map(path);
    if (!map.start) {
        __VOVARU_alert(kWinMain, "I tried to read a directory file that does not exist!",
                       "The file is:", path, "", t_exit, "utils", kLineNoDirFile);
        return kDirBadFormat;
    }
    static const int versions[] = {kDirListVersionOld, kDirListVersionNew, 0};
    if (map.check_file(kFileText, versions, kDirListType, nullptr) == 0) {
        new_format(path);
        return kDirBadFormat;
    }

    const char* body = map.cursor;
    float header_bytes = static_cast<float>(body - map.start);
    float file_bytes = static_cast<float>(map.end - map.start);
    dir_parse_result res =
        parse_directory_body(body, map.end, sim_info, [&](long done, const std::string& text) {
            if (ds.scan_counter % 500 == 0)
                engine_windows.progress(0, header_bytes + done, file_bytes, 0, title, text);
            ++ds.scan_counter;
        });
    // The list comes from the network: a bad record refuses the list, it
    // never ends the program.
    if (!res.ok) {
        xer << "Directory list " << path << ": refusing it for the unsafe path '"
            << http_visible(res.bad_path) << "'.\n";
        return refuse_list();
    }
    if (res.no_file_path) {
        xer << "Directory list " << path << ": refusing it for the path without a file '"
            << res.bad_path << "'.\n";
        return refuse_list();
    }

    ds.scan.running = true;
    ds.scan.list_path = path;
    ds.scan.title = title;
    ds.scan.n = static_cast<int>(sim_info.size());
    ds.scan.step = ds.scan.n / 200;
    if (ds.scan.step == 0) ds.scan.step = 1;
    const int tasks = std::min(scan_task_count(), ds.scan.n);
    if (tasks > 0) {
        ds.scan.pool = std::make_unique<scan_pool>();
        for (int t = 0; t < tasks; ++t)
            ds.scan.pool->calls.push_back(THREAD_run_async(sign_task, ds.scan.pool.get()));
    }
    return kDirScan;
}

int dir_scan_step(double seconds)
{
    if (!ds.scan.running) return kDirReady;
    const std::uint64_t end =
        seconds < 0 ? UINT64_MAX
                    : xtim_class::microsecs() + static_cast<std::uint64_t>(seconds * 1e6);
    // Missing files send findPath through their folders: list each once per
    // step. Between steps the user may change folders (the picker makes
    // them), so no listing is kept longer.
    folder_memo listings;
    return ds.scan.pool ? scan_step_on_workers(end) : scan_step_here(end);
}

void dir_scan_cancel()
{
    scan_reset(true);
}

bool dir_scan_running()
{
    return ds.scan.running;
}

int read_directory(const std::string& path, std::string title)
{
    int state = dir_scan_begin(path, title);
    while (state == kDirScan)
        state = dir_scan_step(-1);
    return state;
}

// ---------------------------------------------------------------------------
// [SECTION] Too new a format

void new_format(std::string path)
{
    __VOVARU_alert(kWinMain,
                   "OK I am checking the Rererud servers and I am finding file formats that are "
                   "newer than I can understand!",
                   "In other words, you need to get a new installer!",
                   std::string("No problem... grab it at the download section of ") +
                       kMakerWebSite + ".",
                   path, t_alert, "utils", kLineNewFormat);
    go_to_URL(kMakerDownloadPage);
    stg.install_state = kInstallFinished;
    app_done = 1;
}
