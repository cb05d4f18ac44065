// The directory list: parsing "DIR"/"FILE" lines into sim_info, signing the
// local files, and the rules shared by the decisions and the downloads.
//
// Index: [SECTION] Rules; Parsing; Reading and scanning; Too new a format.
#include "installer/directory.h"

#include <cstdint>
#include <memory>

#include "Files/case_desens.h"
#include "Files/io_md5.h"
#include "Files/io_zip.h"
#include "GenC/hl_alert.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "UTL/UTL_time.h"
#include "installer/sub_wins.h"
#include "installer/text_scan.h"
#include "installer/utils.h"

// Source lines the alerts of this file report.
constexpr int kLineNewFormat = 141;
constexpr int kLineNoDirFile = 628;

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

// The disk scan in progress: it signs the files of sim_info one after
// another, in steps the frame loop runs between its frames.
namespace
{
struct dir_scan_struct {
    bool running = false;
    std::string list_path, title;
    int n = 0, step = 1;
    int file = 0;           // next file of sim_info to sign
    bool file_open = false; // `signer` holds a file part-signed
    std::unique_ptr<md5_file_signer> signer;
    std::set<std::string> swept; // folders cleared of stale temporaries
};
dir_scan_struct scan;

// Refuses the list: nothing of it may be used.
int refuse_list()
{
    sim_info.clear();
    stg.total_down_kb = 0;
    stg.total_disk_kb = 0;
    xer.flush();
    return kDirBadFormat;
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
} // namespace

int dir_scan_begin(const std::string& path, std::string title)
{
    static int scan_counter = 0; // runs on over every scan of the run

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
            if (scan_counter % 500 == 0)
                engine_windows.progress(0, header_bytes + done, file_bytes, 0, title, text);
            ++scan_counter;
        });
    // The list comes from the network: a bad record refuses the list, it
    // never ends the program.
    if (!res.ok) {
        xer << "Directory list " << path << ": refusing it for the unsafe path '" << res.bad_path
            << "'.\n";
        return refuse_list();
    }
    if (res.no_file_path) {
        xer << "Directory list " << path << ": refusing it for the path without a file '"
            << res.bad_path << "'.\n";
        return refuse_list();
    }

    scan.running = true;
    scan.list_path = path;
    scan.title = title;
    scan.n = static_cast<int>(sim_info.size());
    scan.step = scan.n / 200;
    if (scan.step == 0) scan.step = 1;
    scan.file = 0;
    scan.file_open = false;
    scan.swept.clear();
    return kDirScan;
}

int dir_scan_step(double seconds)
{
    if (!scan.running) return kDirReady;
    const std::uint64_t end =
        seconds < 0 ? UINT64_MAX
                    : xtim_class::microsecs() + static_cast<std::uint64_t>(seconds * 1e6);
    // Missing files send findPath through their folders: list each once per
    // step. Between steps the user may change folders (the picker makes
    // them), so no listing is kept longer.
    folder_memo listings;
    while (scan.file < scan.n) {
        const int i = scan.file;
        file_version_struct& v = sim_info[i].versions.back();
        const std::string local = local_path_of(v.path);
        if (!scan.file_open) {
            if (local.size() > static_cast<std::string::size_type>(kMaxFilePath)) {
                // The file layer ends the program for such a path: refuse the list.
                xer << "Directory list " << scan.list_path << ": the path '" << local
                    << "' is too long for this destination.\n";
                scan = dir_scan_struct();
                return refuse_list();
            }
            if (i % scan.step == 0) engine_windows.progress(0, i, scan.n, 1, scan.title, local);
            sweep_folder_of(local, scan.swept);
            v.sig_have = kSigNone;
            scan.signer.reset(new md5_file_signer);
            // The destination is the user's choice and may hold any
            // character; the release's part was checked when the list was read.
            scan.file_open = scan.signer->open(local, dest_dir_path.size()) == 0;
        }
        // A huge file is signed in pieces, with a look at the clock between
        // them, so the window keeps answering.
        while (scan.file_open && !scan.signer->done()) {
            if (scan.signer->feed(kScanPieceBytes) != 0) scan.file_open = false; // unreadable
            if (scan.file_open && !scan.signer->done() && xtim_class::microsecs() >= end) {
                const md5_file_signer& s = *scan.signer;
                const float part =
                    static_cast<float>(s.bytes_done()) / static_cast<float>(s.bytes_total());
                engine_windows.progress(0, i + part, scan.n, 1, scan.title, local);
                return kDirScan;
            }
        }
        if (scan.file_open) v.sig_have = scan.signer->signature(); // unreadable: keeps "NONE"
        scan.file_open = false;
        scan.signer.reset();
        file_signed(i, v);
        ++scan.file;
        if (scan.file < scan.n && xtim_class::microsecs() >= end) return kDirScan;
    }
    scan = dir_scan_struct();
    return kDirReady;
}

void dir_scan_cancel()
{
    scan = dir_scan_struct();
}

bool dir_scan_running()
{
    return scan.running;
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
