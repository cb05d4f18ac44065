// The About window and its online version check.
//
// Index of this file:
//   [SECTION] Texts and numbers
//   [SECTION] State
//   [SECTION] Server list: reading and deciding
//   [SECTION] Update work: download, unpack, start
//   [SECTION] The window
//
// The network work runs inside the window's frame passes, one step a pass,
// through download slots 0 (server list) and 1 (installer archive). The
// installer uses the same two slots; the two never run at the same time.
#include "GenC/hl_about.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenC/hl_windows.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/xmap.h"
#include "UTL/UTL_time.h"

// ---------------------------------------------------------------------------
// [SECTION] Texts and numbers
// ---------------------------------------------------------------------------

namespace
{
constexpr int kListVersion = 820; // the server list's header version
constexpr const char* kListType = "SERVERS";
constexpr const char* kListPath = "/serverlist.txt";
constexpr int kSlotInstaller = kNetSlotDirectory; // slot 1: the installer archive

// The maker's server (serves the list) and web site.
constexpr const char* kMakerHost = kSupportWeb;
const std::string kWebSite = kSupportWeb;

const std::string kMsgNoNet = "Can't connect to the net to find latest version.";
const std::string kMsgUpToDate = "Your version of Zudezud is up to date.";
const std::string kMsgLatestBeta = "You have the latest Zudezud beta.";
const std::string kMsgNewBeta = "There is a newer beta of Zudezud available! Please visit " +
                                kWebSite + " to download the update.";
const std::string kMsgNewFinal = "There is a new version of Zudezud available! Please visit " +
                                 kWebSite + " to download the update.";
const std::string kMsgDownloadFailed = "I was unable to download the installer from the net.";

// Layout of the 600 x 300 window (y up from its bottom).
constexpr float kTextX = 20, kTextMargin = 40;
constexpr float kTitleDrop = 45, kAuthorDrop = 55, kWebDrop = 65;
constexpr float kVersionDrop = 85, kInstallerLineDrop = 95;
constexpr float kCreditsDrop = 125, kCreditStep = 10;
constexpr float kStatusDrop = 235;
constexpr float kSiteButtonX = 191, kUpdateButtonX = 492, kButtonY = 17;
constexpr int kColHeading = 49, kColText = 47, kColStatus = 58;

const char* const kCredits[] = {
    "Art: Mira Holt",
    "Code subroutines: Janek Sorrel",
    "Linux port: Tove Lindqvist",
    "Airport and navigation-aid data: Ruben Achterberg",
    "Intro screen: Celia Marchetti",
    "Icons: Oskar Brandt",
    "Additional elevation data: Hana Petrova, from www.elevation.example",
    "Forest prototypes for Europe and the US: Idris Kettle",
};

std::string with_code(const char* what, int err)
{
    return std::string(what) + error_str(err) + " (" + std::to_string(err) + ")";
}
} // namespace

// ---------------------------------------------------------------------------
// [SECTION] State
// ---------------------------------------------------------------------------

about_record& about_state()
{
    static about_record record;
    return record;
}

void about_reset()
{
    about_state() = about_record();
}

// ---------------------------------------------------------------------------
// [SECTION] Server list: reading and deciding
// ---------------------------------------------------------------------------

namespace
{
struct installer_where {
    std::string host, path;
};

// "<host> <path>": taken only as the download slots accept it (a bare host
// without a trailing '/', a path from the root), as the installer does with
// its own server records; the slots end the program for anything else.
void read_installer_line(xmap_class& map, installer_where* out)
{
    map.skip_blanks();
    std::string host = map.scan_word();
    map.skip_blanks();
    std::string path = map.scan_to_line_end();
    if (host.empty() || host.back() == '/' || path.empty() || path[0] != '/') {
        xer << "About: skipping an installer record with host '" << host << "' and path '" << path
            << "'.\n";
        return;
    }
    out->host = host;
    out->path = path;
}

// Decides from the values the lists gave so far.
void decide(about_record& s, const installer_where& beta, const installer_where& final_rel)
{
    const std::int64_t built = kInstallerBuild;
    s.is_latest = 1;
    s.is_beta = 0;
    s.ins_state = kAboutMessage;
    if (s.version_final == -1) {
        s.err_msg = kMsgNoNet;
        return;
    }
    if (s.version_final == built) {
        s.err_msg = kMsgUpToDate;
        return;
    }
    if (s.version_final < built) {
        if (s.version_beta <= built) {
            s.err_msg = kMsgLatestBeta;
            return;
        }
        s.is_beta = 1;
    }
    s.is_latest = 0;
    const installer_where& w = s.is_beta ? beta : final_rel;
    s.installer_server = w.host;
    s.installer_path = w.path;
    if (!w.host.empty() && !w.path.empty())
        s.ins_state = kAboutOffer;
    else
        s.err_msg = s.is_beta ? kMsgNewBeta : kMsgNewFinal;
}
} // namespace

void about_read_list(const std::string& file)
{
    about_record& s = about_state();
    installer_where beta, final_rel;
    xmap_class map(file);
    static const int versions[] = {kListVersion, 0};
    if (map.check_file(kFileText, versions, kListType, nullptr) == kListVersion) {
        // Every line, also past "ENDOFLIST"; a line with no key of ours is
        // passed over. Versions go through the saturating scanner.
        while (!map.at_end()) {
            if (map.match_word("BETA")) {
                // its release name is not used
            } else if (map.match_word("FINAL")) {
                map.skip_blanks();
                s.version_str_net = map.scan_to_line_end();
                s.version_str_found = 1;
            } else if (map.match_word("BETA_INSTALLER_LIN")) {
                read_installer_line(map, &beta);
            } else if (map.match_word("FINAL_INSTALLER_LIN")) {
                read_installer_line(map, &final_rel);
            } else if (map.match_word("BETA_VERSION")) {
                s.version_beta = map.scan_int();
            } else if (map.match_word("FINAL_VERSION")) {
                s.version_final = map.scan_int();
            }
            map.skip_to_line_end();
            map.skip_white();
        }
    }
    // A list that arrives while the installer downloads or starts must not
    // take the running request's state (and with it the request) away.
    if (s.ins_state == kAboutDownloading || s.ins_state == kAboutLaunch) return;
    decide(s, beta, final_rel);
}

void about_check_version()
{
    about_record& s = about_state();
    if (s.version_str_found) return;
    // A server that keeps failing (or lists keep lacking "FINAL") is asked
    // again after a pause, never every frame.
    const std::uint64_t now = xtim_class::microsecs();
    if (!s.list_running && now < s.list_next_us) return;
    const int answer =
        http.net_check(kNetSlotServerList, kMakerHost, kListPath, kAboutListFile, kNetNoCache);
    s.list_running = answer == kNetRunning;
    if (s.list_running) return;
    s.list_next_us = now + kAboutRefetchUs;
    if (answer == kNetComplete) about_read_list(kAboutListFile);
}

// ---------------------------------------------------------------------------
// [SECTION] Update work: download, unpack, start
// ---------------------------------------------------------------------------

int about_percent(std::int64_t written, std::int64_t len)
{
    if (len <= 0 || written <= 0) return 0;
    if (written >= len) return 100;
    // 128 bits hold written * 100 for any 64-bit count, so the percentage
    // is truncated once, exactly.
    return static_cast<int>(static_cast<__int128>(written) * 100 / len);
}

int about_check_startable(const std::string& path)
{
    struct stat st;
    if (lstat((app_path + path).c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    // Not a link (it could point anywhere), nothing without execute permission.
    if (!S_ISREG(st.st_mode) || !(st.st_mode & S_IXUSR)) return EACCES;
    return 0;
}

namespace
{
// Unpacks the archive into a fresh private folder; *app gets the first
// stored name below app_path, a trailing '/' cut off. 0 or the error code.
int unpack_installer(std::string* app)
{
    std::string tmpl = app_path + kAboutUnpackPrefix + "XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) return errno;
    const std::string folder = std::string(buf.data()).substr(app_path.size()) + "/";
    std::string name;
    const int err = zip_to_file(kAboutZipFile, folder, &name, 0);
    if (err != 0) return err;
    if (!name.empty() && name.back() == '/') name.pop_back();
    *app = folder + name;
    return 0;
}
} // namespace

void about_work()
{
    about_record& s = about_state();
    if (s.ins_state == kAboutDownloading) {
        const int answer =
            http.net_check(kSlotInstaller, s.installer_server, s.installer_path, kAboutZipFile);
        s.progress.clear();
        if (answer == kNetRunning) {
            const down_class* req = http.slot[kSlotInstaller];
            s.progress = "Downloading the installer...";
            if (req == nullptr || req->cont_len != -1) {
                const int pct = req ? about_percent(req->bytes_written, req->cont_len) : 0;
                s.progress += std::to_string(pct) + "% complete";
            }
        } else if (answer == kNetComplete) {
            const int err = unpack_installer(&s.installer_app_name);
            if (err != 0) {
                s.err_msg = with_code("There was an error unzipping the installer: ", err);
                s.ins_state = kAboutMessage;
            } else {
                s.ins_state = kAboutLaunch;
            }
        } else {
            s.ins_state = kAboutMessage;
            s.err_msg = kMsgDownloadFailed;
        }
    } else if (s.ins_state == kAboutLaunch) {
        // Only what this run extracted into its own folder, and only a
        // program: anything else is reported like a failed start.
        int err = about_check_startable(s.installer_app_name);
        if (err == 0) err = launch_app(s.installer_app_name, app_path); // returns on failure only
        s.err_msg = with_code("There was an error launching the installer: ", err);
        s.ins_state = kAboutMessage;
    }
}

// ---------------------------------------------------------------------------
// [SECTION] The window
// ---------------------------------------------------------------------------

namespace
{
void about_line(int colour, float drop, const std::string& text)
{
    OGL_string(colour, kTextX, mnw.win_h - drop, text, mnw.win_w - kTextMargin, kCharsetProp,
               kTextLeft);
}
} // namespace

void VOVARU_about_pass()
{
    about_record& s = about_state();
    about_check_version();

    OGL_plot_back_col();
    BTN_fillwin(1, kPanelNone);
    BTN_subwin(0, kPanelInset, -1, 35, -1, -1, "", &wx, &wy);
    about_line(kColHeading, kTitleDrop, build_name[0]);
    about_line(kColHeading, kAuthorDrop, "Written by the Zudezud team.");
    about_line(kColHeading, kWebDrop, kWebSite);
    if (s.version_str_found)
        about_line(kColText, kVersionDrop,
                   "The current version of Zudezud at is now " + s.version_str_net + ".");
    else
        about_line(kColText, kVersionDrop,
                   "I could not connect to the net to find the current version of Zudezud at " +
                       kWebSite + "!");
    about_line(kColText, kInstallerLineDrop,
               "An installer to update to that version can be downloaded from " + kWebSite + ".");
    float drop = kCreditsDrop;
    for (const char* credit : kCredits) {
        about_line(kColText, drop, credit);
        drop += kCreditStep;
    }
    if (BTN_action(kSiteButtonX, kButtonY, 0, 0, 1, "Visit " + kWebSite + " for free updates!",
                   "-"))
        go_to_URL(kWebSite);

    if (s.ins_state == kAboutOffer) {
        if (BTN_action(kUpdateButtonX, kButtonY, 0, 0, 1,
                       s.is_beta ? " Get New Beta! " : "Update Zudezud!", "-"))
            s.ins_state = kAboutDownloading;
    } else {
        about_work();
    }
    if (s.ins_state == kAboutDownloading && !s.progress.empty())
        about_line(kColStatus, kStatusDrop, s.progress);
    else if (s.ins_state == kAboutMessage)
        about_line(kColStatus, kStatusDrop, s.err_msg);

    VOVARU_event_proc();
}

void VOVARU_about()
{
    VOVARU_startwind(kWinAbout, 0);
    while (mnw.win_now == kWinAbout)
        VOVARU_about_pass();
}
