// The About window's version check: server lists to states and messages,
// the pause between list requests, a download cut short, and the installer
// fetched through nginx, unpacked into its own folder and started.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "Files/io_utils.h"
#include "GenC/hl_about.h"
#include "GenC/hl_x11.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "support/alert_probe.h"
#include "support/fake_clock.h"
#include "support/file_fixtures.h"
#include "support/frame_driver.h"
#include "support/nginx.h"
#include "support/release_maker.h"
#include "support/script_peer.h"
#include "support/temp_dir.h"

namespace
{

const std::string kHead = "I\n820 version\nSERVERS\n";
const std::string kNoNet = "Can't connect to the net to find latest version.";
const std::string kUpToDate = "Your version of Zudezud is up to date.";
const std::string kLatestBeta = "You have the latest Zudezud beta.";
const std::string kNewFinal = "There is a new version of Zudezud available!";
const std::string kNewBeta = "There is a newer beta of Zudezud available!";
const std::string kDownloadFailed = "I was unable to download the installer from the net.";
const std::string kLaunchError = "There was an error launching the installer: ";
const std::string kUnzipError = "There was an error unzipping the installer: ";
constexpr unsigned kRegularFile = S_IFREG;

// A private application folder with "Resources/preferences/", the log in
// it, no proxy and the window's state at its start.
class AboutTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        signal(SIGPIPE, SIG_IGN); // as start-up does
        dir_.mkdir("Resources");
        dir_.mkdir("Resources/preferences");
        dir_.mkdir("home");
        ASSERT_TRUE(open_log_in(dir_));
        app_path = dir_.path();
        http._proxy_host.clear();
        http._proxy_port_int = 0;
        about_reset();
    }
    void TearDown() override
    {
        for (int i = 0; i < kNetSlots; ++i)
            http.net_cancel(i);
        http._proxy_host.clear();
        http._proxy_port_int = 0;
        app_path.clear();
        about_reset();
        close_log();
    }
    void via_proxy(int port)
    {
        http._proxy_host = "127.0.0.1";
        http._proxy_port_int = port;
    }
    void write_list(const std::string& body) const { dir_.write(kAboutListFile, body); }
    std::string pref(const std::string& rel) const
    {
        return dir_ / ("Resources/preferences/" + rel);
    }

    TempDir dir_;
};

// Runs step until cond holds, at most max_ms of real time.
bool pump_until(const std::function<bool()>& cond, const std::function<void()>& step,
                int max_ms = 20000)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > until) return false;
        step();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// ---------------------------------------------------------------------------
// Reading lists

TEST_F(AboutTest, ListsGiveStatesAndMessages)
{
    const int64_t big = INT_MAX, small = INT_MIN;
    struct Case {
        const char* what;
        std::string list;
        int state;
        std::string msg_start; // err_msg begins with it
        std::string host, path;
        int is_beta;
        int64_t final_v, beta_v;
    } cases[] = {
        {"empty file", "", kAboutMessage, kNoNet, "", "", 0, -1, -1},
        {"header only", kHead, kAboutMessage, kNoNet, "", "", 0, -1, -1},
        {"wrong version", "I\n819 version\nSERVERS\nFINAL_VERSION 90019\n", kAboutMessage, kNoNet,
         "", "", 0, -1, -1},
        {"wrong type word", "I\n820 version\nSERVER\nFINAL_VERSION 90019\n", kAboutMessage, kNoNet,
         "", "", 0, -1, -1},
        {"beta but no final", kHead + "BETA_VERSION 90020\nBETA_INSTALLER_LIN b /b.zip\n",
         kAboutMessage, kNoNet, "", "", 0, -1, 90020},
        {"up to date", kHead + "FINAL_VERSION 90019\n", kAboutMessage, kUpToDate, "", "", 0, 90019,
         -1},
        {"newer with installer",
         kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN files.test /inst/lin.zip\n", kAboutOffer,
         "", "files.test", "/inst/lin.zip", 0, 90020, -1},
        {"newer without installer", kHead + "FINAL_VERSION 90020\n", kAboutMessage, kNewFinal, "",
         "", 0, 90020, -1},
        {"latest beta", kHead + "FINAL_VERSION 90018\nBETA_VERSION 90019\n", kAboutMessage,
         kLatestBeta, "", "", 0, 90018, 90019},
        {"newer beta",
         kHead + "FINAL_VERSION 90018\nBETA_VERSION 90020\nBETA_INSTALLER_LIN b.test /b/x.zip\n"
                 "FINAL_INSTALLER_LIN f.test /f.zip\n",
         kAboutOffer, "", "b.test", "/b/x.zip", 1, 90018, 90020},
        {"newer beta without installer",
         kHead + "FINAL_VERSION 90018\nBETA_VERSION 90020\nFINAL_INSTALLER_LIN f.test /f.zip\n",
         kAboutMessage, kNewBeta, "", "", 1, 90018, 90020},
        {"final version with nothing after it", kHead + "FINAL_VERSION\n", kAboutMessage,
         kLatestBeta, "", "", 0, 0, -1},
        {"signed and odd digits", kHead + "FINAL_VERSION 1\nBETA_VERSION -5\n", kAboutMessage,
         kLatestBeta, "", "", 0, 1, -5},
        {"a letter is a digit", kHead + "FINAL_VERSION 1\nBETA_VERSION 9a\n", kAboutMessage,
         kLatestBeta, "", "", 0, 1, 139},
        {"huge numbers saturate", kHead + "FINAL_VERSION 99999999999999999999999999\n",
         kAboutMessage, kNewFinal, "", "", 0, big, -1},
        {"huge negative", kHead + "FINAL_VERSION -99999999999999999999999999\nBETA_VERSION 1\n",
         kAboutMessage, kLatestBeta, "", "", 0, small, 1},
        {"longer key and a tab after FINAL",
         kHead + "BETA_INSTALLERS x /y\nFINAL\tr2\nFINAL_VERSION 90020\n", kAboutMessage, kNewFinal,
         "", "", 0, 90020, -1},
        {"blanks before keys, CR line ends, past ENDOFLIST",
         kHead + "ENDOFLIST\r\n \t FINAL_VERSION 90020\r\n\r\n\tFINAL_INSTALLER_LIN h  /p q\r\n",
         kAboutOffer, "", "h", "/p q", 0, 90020, -1},
        {"no trailing line end",
         kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN h /last/line.zip", kAboutOffer, "", "h",
         "/last/line.zip", 0, 90020, -1},
        {"number at the very end", kHead + "FINAL_VERSION 9002", kAboutMessage, kLatestBeta, "", "",
         0, 9002, -1},
        {"host ending in a slash is skipped",
         kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN h/ /p.zip\n", kAboutMessage, kNewFinal,
         "", "", 0, 90020, -1},
        {"path without a leading slash is skipped",
         kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN h p.zip\n", kAboutMessage, kNewFinal, "",
         "", 0, 90020, -1},
        {"host alone is skipped", kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN h\n",
         kAboutMessage, kNewFinal, "", "", 0, 90020, -1},
        {"a bad record after a good one keeps the good one",
         kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN h /ok.zip\nFINAL_INSTALLER_LIN x/ /no\n",
         kAboutOffer, "", "h", "/ok.zip", 0, 90020, -1},
        {"bad beta record",
         kHead + "FINAL_VERSION 1\nBETA_VERSION 90020\nBETA_INSTALLER_LIN b.test/ b.zip\n",
         kAboutMessage, kNewBeta, "", "", 1, 1, 90020},
    };
    AlertProbe alerts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        about_reset();
        write_list(c.list);
        about_read_list(kAboutListFile);
        const about_record& s = about_state();
        EXPECT_EQ(s.ins_state, c.state);
        if (c.state == kAboutMessage) {
            EXPECT_EQ(s.err_msg.rfind(c.msg_start, 0), 0u) << s.err_msg;
        }
        if (c.state == kAboutOffer) {
            EXPECT_EQ(s.installer_server, c.host);
            EXPECT_EQ(s.installer_path, c.path);
        }
        EXPECT_EQ(s.is_beta, c.is_beta);
        EXPECT_EQ(
            s.is_latest,
            c.state == kAboutOffer || c.msg_start == kNewFinal || c.msg_start == kNewBeta ? 0 : 1);
        EXPECT_EQ(s.version_final, c.final_v);
        EXPECT_EQ(s.version_beta, c.beta_v);
    }
    EXPECT_EQ(alerts.count(), 0u);
    // Skipped records are logged.
    EXPECT_NE(read_log_in(dir_).find("About: skipping an installer record with host 'h/' and "
                                     "path '/p.zip'.\n"),
              std::string::npos);
}

TEST_F(AboutTest, FinalLineAndLaterLists)
{
    write_list(kHead + "FINAL  9.00r2 (stable)\nFINAL_VERSION 90019\n");
    about_read_list(kAboutListFile);
    about_record& s = about_state();
    EXPECT_EQ(s.version_str_found, 1);
    EXPECT_EQ(s.version_str_net, "9.00r2 (stable)");
    EXPECT_EQ(s.err_msg, kUpToDate);

    // A later list without a header sets nothing: the earlier values decide.
    write_list("not a list\nFINAL_VERSION 90020\n");
    about_read_list(kAboutListFile);
    EXPECT_EQ(s.version_final, 90019);
    EXPECT_EQ(s.err_msg, kUpToDate);

    // A list without "FINAL_VERSION" keeps the number; an offer made earlier
    // is decided anew by every later list.
    write_list(kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN h /i.zip\n");
    about_read_list(kAboutListFile);
    EXPECT_EQ(s.ins_state, kAboutOffer);
    write_list(kHead + "BETA 9.1b\n");
    about_read_list(kAboutListFile);
    EXPECT_EQ(s.version_final, 90020);
    EXPECT_EQ(s.ins_state, kAboutMessage);
    EXPECT_EQ(s.err_msg.rfind(kNewFinal, 0), 0u);
    EXPECT_NE(s.err_msg.find("www.zudezud.example"), std::string::npos);
}

TEST(AboutPercent, WholePercentWithoutOverflow)
{
    struct {
        int64_t written, len;
        int want;
    } cases[] = {
        {500, 2000, 25},
        {1999, 2000, 99},
        {2000, 2000, 100},
        {750, 1000, 75},
        {0, 1000, 0},
        {10, 0, 0},
        {10, -1, 0},
        {-5, 100, 0},
        {3000, 2000, 100},
        {INT64_MAX - 1, INT64_MAX, 99},
        // Past INT64_MAX / 100 written bytes: still truncated, never rounded up.
        {INT64_MAX / 2, INT64_MAX, 49},
        {INT64_MAX / 2 + 1, INT64_MAX, 50},
        {INT64_MAX / 100 + 1, INT64_MAX, 1},
        {int64_t(4500000000000000000), int64_t(9000000000000000099), 49},
        {int64_t(4500000000000000050), int64_t(9000000000000000099), 50},
        {int64_t(99) * (INT64_MAX / 100), INT64_MAX, 98},
        {int64_t(5) << 40, int64_t(10) << 40, 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(about_percent(c.written, c.len), c.want) << c.written << " of " << c.len;
}

// ---------------------------------------------------------------------------
// Fetching the list

TEST_F(AboutTest, ListRequestsPauseASecondBetweenTries)
{
    TempDir www;
    testnet::Nginx nginx;
    ASSERT_TRUE(nginx.Start(www.path())) << nginx.failure();
    via_proxy(nginx.port());
    FakeClock clock;
    auto requests = [&] {
        const std::string log = nginx.ReadAccessLog();
        size_t n = 0;
        for (size_t at = log.find("/serverlist.txt"); at != std::string::npos;
             at = log.find("/serverlist.txt", at + 1))
            ++n;
        return n;
    };
    auto fetch_done = [&](size_t n) {
        // nginx logs a request once it is answered; the slot is free once
        // the answer was taken.
        return pump_until([&] { return requests() == n && !about_state().list_running; },
                          about_check_version);
    };

    // 1: the list is missing (404): a failed fetch. 2: a list without "FINAL".
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round == 1) www.write("serverlist.txt", kHead + "FINAL_VERSION 90019\n");
        const size_t before = requests();
        if (round == 1) clock.advance(1.0);
        ASSERT_TRUE(fetch_done(before + 1));
        for (int i = 0; i < 50; ++i)
            about_check_version();
        clock.advance(0.999);
        for (int i = 0; i < 50; ++i)
            about_check_version();
        EXPECT_EQ(http.slot[kNetSlotServerList], nullptr);
        EXPECT_EQ(requests(), before + 1);
        // A second later the next request goes out.
        clock.advance(0.001);
        ASSERT_TRUE(fetch_done(before + 2));
    }
    EXPECT_EQ(about_state().err_msg, kUpToDate);
    EXPECT_EQ(about_state().version_str_found, 0);
    // Asked of the maker's server, through the proxy.
    EXPECT_NE(nginx.ReadAccessLog().find("GET http://www.zudezud.example/serverlist.txt"),
              std::string::npos);

    // Once "FINAL" was read, nothing more is fetched.
    www.write("serverlist.txt", kHead + "FINAL 9.00r2\nFINAL_VERSION 90019\n");
    clock.advance(1.0);
    const size_t before = requests();
    ASSERT_TRUE(
        pump_until([] { return about_state().version_str_found == 1; }, about_check_version));
    clock.advance(5.0);
    for (int i = 0; i < 20; ++i)
        about_check_version();
    EXPECT_EQ(http.slot[kNetSlotServerList], nullptr);
    EXPECT_EQ(requests(), before + 1);
}

// nginx in front, a scripted upstream for the archive: the body stops at
// 750 of 1000 bytes; meanwhile a list without "FINAL" arrives.
TEST_F(AboutTest, CutDownloadShowsItsProgressAndALateListLeavesItAlone)
{
    testnet::ScriptPeer upstream;
    ASSERT_TRUE(upstream.Listen());
    TempDir www;
    www.write("serverlist.txt",
              kHead + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN dl.test /cut/inst.zip\n");
    testnet::NginxOptions o;
    o.root = www.path();
    o.extra_server_conf =
        "    location /cut/ { proxy_pass http://127.0.0.1:" + std::to_string(upstream.port()) +
        "; proxy_buffering off; }\n";
    testnet::Nginx nginx;
    ASSERT_TRUE(nginx.Start(o)) << nginx.failure();
    via_proxy(nginx.port());
    FakeClock clock;
    about_record& s = about_state();

    ASSERT_TRUE(pump_until([&] { return s.ins_state == kAboutOffer; }, about_check_version));
    s.ins_state = kAboutDownloading; // the update button
    ASSERT_TRUE(upstream.Accept(about_work));
    ASSERT_TRUE(upstream.ReadRequest(about_work));
    EXPECT_EQ(upstream.request().rfind("GET /cut/inst.zip HTTP/1.", 0), 0u) << upstream.request();
    ASSERT_TRUE(
        upstream.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(750, 'z')));
    ASSERT_TRUE(
        pump_until([&] { return s.progress.find("75%") != std::string::npos; }, about_work));
    EXPECT_EQ(s.progress, "Downloading the installer...75% complete");
    down_class* running = http.slot[1];
    ASSERT_NE(running, nullptr);

    // The next list says "up to date" and has no "FINAL": taken, but the
    // download goes on untouched.
    www.write("serverlist.txt", kHead + "FINAL_VERSION 90019\n");
    clock.advance(1.0);
    ASSERT_TRUE(pump_until([&] { return s.version_final == 90019; }, about_check_version));
    EXPECT_EQ(s.ins_state, kAboutDownloading);
    EXPECT_EQ(http.slot[1], running);
    EXPECT_EQ(s.installer_server, "dl.test");
    EXPECT_EQ(s.installer_path, "/cut/inst.zip");
    about_work();
    EXPECT_EQ(s.ins_state, kAboutDownloading);
    EXPECT_EQ(s.progress, "Downloading the installer...75% complete");

    // The body never completes: the download failed, nothing is started.
    upstream.CloseConnection();
    ASSERT_TRUE(pump_until([&] { return s.ins_state != kAboutDownloading; }, about_work));
    EXPECT_EQ(s.ins_state, kAboutMessage);
    EXPECT_EQ(s.err_msg, kDownloadFailed);
}

// ---------------------------------------------------------------------------
// Download, unpack, start

// Serves a list offering "/inst/installer.zip" and the archive given.
class AboutInstallTest : public AboutTest
{
  protected:
    void SetUp() override
    {
        AboutTest::SetUp();
        www_.mkdir("inst");
        www_.write("serverlist.txt", kHead + "FINAL 9.00r2\nFINAL_VERSION 90020\n"
                                             "FINAL_INSTALLER_LIN dl.test /inst/installer.zip\n");
        ASSERT_TRUE(nginx_.Start(www_.path())) << nginx_.failure();
    }
    void make_archive(const std::string& name, const std::string& data, unsigned mode) const
    {
        ASSERT_TRUE(write_one_entry_zip(www_ / "inst/installer.zip", name, data, mode, 1600000000));
    }
    // In a child with its own HOME: list, update button, download, unpack,
    // start. Prints the state and message when it comes back.
    ChildResult run_update() const
    {
        const std::string home = dir_ / "home";
        const int port = nginx_.port();
        return run_in_child([home, port] {
            setenv("HOME", home.c_str(), 1);
            http._proxy_host = "127.0.0.1";
            http._proxy_port_int = port;
            about_record& s = about_state();
            pump_until([&] { return s.ins_state == kAboutOffer; }, about_check_version);
            s.ins_state = kAboutDownloading;
            pump_until([&] { return s.ins_state == kAboutMessage; }, about_work);
            std::printf("came back %d|%s", s.ins_state, s.err_msg.c_str());
        });
    }
    // The folders the archive was unpacked into.
    std::vector<std::string> unpack_folders() const
    {
        std::vector<std::string> out;
        for (const std::string& n : list_dir(dir_ / "Resources/preferences"))
            if (n.rfind("installer_", 0) == 0) out.push_back(n);
        return out;
    }

    TempDir www_;
    testnet::Nginx nginx_;
};

TEST_F(AboutInstallTest, FetchesUnpacksAndStartsTheInstaller)
{
    // Records its arguments in HOME, then ends.
    make_archive("Setup.sh",
                 "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"$HOME/args.tmp\"\n"
                 "mv \"$HOME/args.tmp\" \"$HOME/args.txt\"\n",
                 kRegularFile | 0755);
    const ChildResult r = run_update();
    // launch_app shut the program down after the start.
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_EQ(r.out.find("came back"), std::string::npos) << r.out;
    std::string args;
    for (int i = 0; i < 200 && !TempDir::exists(dir_ / "home/args.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    args = TempDir::read(dir_ / "home/args.txt");

    const std::vector<std::string> folders = unpack_folders();
    ASSERT_EQ(folders.size(), 1u);
    const std::string folder = pref(folders[0]);
    EXPECT_EQ(args, folder + "/Setup.sh\n-path\n" + dir_.path() + "\n");
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u); // private
    EXPECT_TRUE(TempDir::exists(pref("installer.zip")));
    EXPECT_NE(nginx_.ReadAccessLog().find("GET http://dl.test/inst/installer.zip"),
              std::string::npos);
}

TEST_F(AboutInstallTest, WhatCannotBeStartedIsReported)
{
    struct Case {
        const char* what;
        std::string name;
        unsigned mode;
        std::string msg;
    } cases[] = {
        {"a folder", "Setup/", S_IFDIR | 0755, kLaunchError + "Is a directory (21)"},
        {"not executable", "Setup.sh", kRegularFile | 0644,
         kLaunchError + error_str(EACCES) + " (13)"},
        {"a link", "Setup", S_IFLNK | 0777, kLaunchError + error_str(EACCES) + " (13)"},
        {"a name leaving the folder", "../Setup.sh", kRegularFile | 0755,
         kUnzipError + error_str(EPERM) + " (1)"},
        {"an absolute name", "/tmp/Setup.sh", kRegularFile | 0755,
         kUnzipError + error_str(EPERM) + " (1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A link's data is its target, inside the folder.
        const std::string data = S_ISLNK(c.mode)   ? "real.sh"
                                 : S_ISDIR(c.mode) ? ""
                                                   : "#!/bin/sh\ntouch \"$HOME/ran\"\n";
        make_archive(c.name, data, c.mode);
        const ChildResult r = run_update();
        // The program goes on, showing the message.
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.out, "came back " + std::to_string(kAboutMessage) + "|" + c.msg);
        EXPECT_FALSE(TempDir::exists(dir_ / "home/ran"));
        EXPECT_FALSE(TempDir::exists(pref("Setup.sh")));
    }
    // Each try had a fresh folder of its own.
    EXPECT_EQ(unpack_folders().size(), 5u);
}

TEST_F(AboutInstallTest, MissingArchiveFailsTheDownload)
{
    www_.write("serverlist.txt", kHead + "FINAL_VERSION 90020\n"
                                         "FINAL_INSTALLER_LIN dl.test /inst/none.zip\n");
    const ChildResult r = run_update();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "came back " + std::to_string(kAboutMessage) + "|" + kDownloadFailed);
    EXPECT_TRUE(unpack_folders().empty());
}

} // namespace

// ---------------------------------------------------------------------------
// The window under a private X server

namespace
{
// Pixels of the rectangle [x0, x1) x [y0, y1) that differ between two frames.
int changed_pixels(const ShownPixels& a, const ShownPixels& b, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += std::memcmp(a.at(x, y), b.at(x, y), 3) != 0;
    return n;
}

template <typename F> bool passes_until(F cond, int max_passes = 400)
{
    for (int i = 0; i < max_passes; ++i) {
        VOVARU_about_pass();
        if (cond()) return true;
    }
    return false;
}
} // namespace

// Window 994 is 600 x 300 at (212, 234) of the 1024 x 768 drawable; its
// update button is centred at (492, 17), X pixel (704, 517); the message
// line is at y 65 of the window.
TEST(AboutWindow, UpdateButtonMessageAndReturn)
{
    XVFB_TEST_BODY(kXvfbScreen1024, xvfb_shots_env());
    TempDir dir;
    dir.mkdir("Resources");
    dir.mkdir("Resources/preferences");
    app_path = dir.path();
    xvfb_open_shell_window();
    const std::string w = std::to_string(x11.window[0]);
    about_reset();
    about_record& s = about_state();
    s.version_str_found = 1; // no list is fetched
    s.version_str_net = "9.00r2";
    s.ins_state = kAboutOffer;
    s.is_latest = 0;
    s.installer_server = "dl.test";
    s.installer_path = "/inst/installer.zip";
    // The download goes to a closed loopback port and fails at once.
    http._proxy_host = "127.0.0.1";
    http._proxy_port_int = testnet::free_port();

    VOVARU_startwind(kWinAbout, 0);
    xdo("mousemove --window " + w + " 1000 20");
    ASSERT_TRUE(passes_until([] { return mnw.mouse_x > 700; }));
    VOVARU_about_pass();
    const ShownPixels offer = xvfb_shown_frame("about_window.png");
    ASSERT_EQ(offer.w, 1024);

    xdo("mousemove --window " + w + " 704 517 click 1");
    ASSERT_TRUE(passes_until([&] { return s.ins_state == kAboutMessage; }));
    EXPECT_EQ(s.err_msg, kDownloadFailed);
    xdo("mousemove --window " + w + " 1000 20");
    ASSERT_TRUE(passes_until([] { return mnw.mouse_x > 700; }));
    VOVARU_about_pass();
    const ShownPixels message = xvfb_shown_frame("about_window_message.png");
    // The button is gone, the message line is drawn; the credits stay.
    EXPECT_GT(changed_pixels(offer, message, 212 + 440, 234 + 8, 212 + 545, 234 + 27), 100);
    EXPECT_GT(changed_pixels(offer, message, 212 + 20, 234 + 62, 212 + 200, 234 + 72), 50);
    EXPECT_EQ(changed_pixels(offer, message, 212 + 20, 234 + 100, 212 + 580, 234 + 180), 0);

    // Return closes the window: VOVARU_about comes back in the main window.
    xdo("key --window " + w + " Return");
    VOVARU_about();
    EXPECT_EQ(mnw.win_now, kWinMain);
    EXPECT_EQ(s.ins_state, kAboutMessage); // kept for the next opening
    app_path.clear();
}
