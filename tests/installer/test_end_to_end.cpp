// The engine against a real nginx on loopback, reached through the proxy
// settings, driven frame by frame until the installation ends.
#include "engine_fixture.h"

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "Files/io_zip.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/pref.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_time.h"
#include "installer/screen.h"
#include "support/release_maker.h"
#include "support/text.h"
#include "support/xvfb.h"

namespace
{

constexpr long kFixedDate = 1500000000; // 2017-07-14, a whole second

class EndToEnd : public EngineTest
{
  protected:
    testnet::Nginx nginx;
    std::string web, src, home;
    ReleasePlan plan;
    std::string old_home;

    void SetUp() override
    {
        EngineTest::SetUp();
        old_home = getenv("HOME") ? getenv("HOME") : "";
        if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
        web = tmp / "web/";
        src = tmp / "src/";
        home = tmp / "home";
        for (const std::string& d : {web, src, home + "/"})
            ::mkdir(d.c_str(), 0755);
        plan.source = src;
        plan.servers = {{"files.test", "/files/", "Main server"}};
        ASSERT_TRUE(nginx.Start(web)) << nginx.failure();
    }

    void write_src(const std::string& rel, const std::string& content, unsigned mode = 0644)
    {
        std::string full = src + rel;
        for (std::size_t k = src.size(); k < full.size(); ++k)
            if (full[k] == '/') ::mkdir(full.substr(0, k).c_str(), 0755);
        std::ofstream(full, std::ios::binary | std::ios::trunc) << content;
        ::chmod(full.c_str(), mode);
        struct timeval tv[2] = {{kFixedDate, 0}, {kFixedDate, 0}};
        ::utimes(full.c_str(), tv);
    }
    void publish()
    {
        std::string err;
        ASSERT_FALSE(make_release(plan, web, &err).empty()) << err;
    }

    // A fresh program run: defaults, preferences from the command line,
    // a private temporary folder.
    void start_run(std::vector<std::string> extra = {})
    {
        stg = stg_struct{};
        stg_set_defaults(stg);
        install_name = no_install_name;
        sim_info.clear();
        deleted_files.clear();
        this_install_has_exes = 0;
        next = next_class();
        slot_failures_clear();
        app_done = 0;
        setenv("HOME", home.c_str(), 1);
        std::vector<std::string> args = {"zudezud_installer", "--pref:_proxy_host=127.0.0.1",
                                         "--pref:_proxy_port_int=" + std::to_string(nginx.port()),
                                         "--pref:_log_actions=1", "--pref:_use_max_cpu=1"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<const char*> argv;
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        cmdline.options.clear();
        cmdline.init_unix(static_cast<int>(argv.size()), argv.data());
        pref.IO_set(kPrefSetInstaller, kPrefRead);
        ASSERT_EQ(make_private_temp(tmp.path()), 0);
    }

    // Frames until the installation ends (or the list phases stop moving on:
    // until_ready stops once the directory is ready). Bounded in real time.
    bool run_frames(bool press_install = true, double limit_s = 90)
    {
        auto t0 = std::chrono::steady_clock::now();
        bool pressed = false;
        while (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() <
               limit_s) {
            xtim.xtim_update();
            engine_frame();
            if (app_done) return false;
            if (stg.dir_state == kDirReady && !pressed) {
                if (!press_install) return true;
                pressed = true;
                install_flow();
                if (stg.install_state != kInstalling) return true; // declined or cancelled
            }
            if (pressed && stg.install_state == kInstallFinished) return true;
        }
        return false;
    }
    void end_run() { remove_private_temp(); }
    void TearDown() override
    {
        remove_private_temp();
        setenv("HOME", old_home.c_str(), 1);
        EngineTest::TearDown();
    }

    static std::string link_target(const std::string& p)
    {
        char buf[4096];
        ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
        return n < 0 ? "" : std::string(buf, static_cast<std::size_t>(n));
    }
    static struct stat lstat_of(const std::string& p)
    {
        struct stat st {
        };
        ::lstat(p.c_str(), &st);
        return st;
    }
    int requests_for(const std::string& what)
    {
        std::string log = nginx.ReadAccessLog();
        int n = 0;
        for (std::size_t p = log.find(what); p != std::string::npos; p = log.find(what, p + 1))
            ++n;
        return n;
    }

    // The first release and a folder that already holds an older one.
    void first_release()
    {
        write_src("Resources/readme.txt", "readme v1\n");
        write_src("Resources/plugins/tool.sh", "#!/bin/sh\necho tool\n", 0755);
        write_src("bin/zudezud", std::string(300000, 'z'), 0755);
        write_src("bin/zudezud.app", "mac program", 0755);
        write_src("Docs/notes.txt", "notes v1\n");
        write_src("Resources/license.txt", "licence text\n");
        ::symlink("license.txt", (src + "Resources/link.txt").c_str());
        plan.platform["bin/zudezud"] = kOsLinux;
        plan.platform["bin/zudezud.app"] = kOsMac;
        plan.gone["Old/dropped.txt"] = "old bytes\n";
        publish();
    }
};

TEST_F(EndToEnd, InstallsThenUpdates)
{
    first_release();
    std::string inst = tmp / "inst/Zudezud/";
    dest_dir_path = inst;
    put("../inst/Zudezud/Old/dropped.txt", "old bytes\n"); // an older release's copy

    start_run();
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(next.all_done, 1);
    std::string now = tmp / "inst/9.00r1/";
    ASSERT_EQ(dest_dir_path, now); // a program file came in: renamed
    EXPECT_FALSE(TempDir::exists(inst));

    // Contents, modes, dates and the link.
    EXPECT_EQ(TempDir::read(now + "Resources/readme.txt"), "readme v1\n");
    EXPECT_EQ(TempDir::read(now + "bin/zudezud"), std::string(300000, 'z'));
    EXPECT_EQ(lstat_of(now + "Resources/plugins/tool.sh").st_mode & 07777, 0755u);
    EXPECT_EQ(lstat_of(now + "Resources/readme.txt").st_mode & 07777, 0644u);
    EXPECT_EQ(lstat_of(now + "bin/zudezud").st_mtime, kFixedDate);
    EXPECT_TRUE(S_ISLNK(lstat_of(now + "Resources/link.txt").st_mode));
    EXPECT_EQ(link_target(now + "Resources/link.txt"), "license.txt");
    EXPECT_EQ(TempDir::read(now + "Resources/link.txt"), "licence text\n");
    EXPECT_FALSE(TempDir::exists(now + "bin/zudezud.app"));
    // The dropped file and its emptied folder are gone; the fixed folders made.
    EXPECT_FALSE(TempDir::exists(now + "Old"));
    for (const char* f : kFixedFolders)
        EXPECT_TRUE(TempDir::exists(now + f)) << f;

    // Only the needed archives were asked for.
    EXPECT_EQ(requests_for("GET http://www.zudezud.example/serverlist.txt"), 1);
    EXPECT_EQ(requests_for("/files/9.00r1/directory.txt.zip"), 1);
    for (const char* f : {"Resources/readme.txt", "Resources/plugins/tool.sh", "bin/zudezud",
                          "Resources/link.txt", "Docs/notes.txt"})
        EXPECT_EQ(requests_for(std::string("/files/9.00r1/Zudezud/") + f + ".zip"), 1) << f;
    EXPECT_EQ(requests_for("zudezud.app.zip"), 0);
    EXPECT_EQ(requests_for("dropped.txt"), 0);

    std::string log = log_text();
    EXPECT_NE(log.find("EXPANDING file " + inst + "Resources/readme.txt, with result=0.\n"),
              std::string::npos);
    EXPECT_NE(log.find("DELETING  file " + temp_path), std::string::npos);
    EXPECT_NE(log.find("now we want to nuke a file: DELETING  file " + inst +
                       "Old/dropped.txt, with result=0.\n"),
              std::string::npos);
    EXPECT_NE(log.find("cleanup: DELETING  file " + inst + "Old/, with result=0.\n"),
              std::string::npos);
    // The result, in the folder's final name.
    EXPECT_NE(log.find("Installation finished in " + now + ": 6 file(s) installed, 1 deleted, "),
              std::string::npos)
        << log;
    std::string temp = temp_path;
    end_run();
    EXPECT_FALSE(TempDir::exists(temp));

    // An update run over that folder, once per answer to the question about
    // a file the user changed (readme, still shipped; notes, now dropped).
    struct {
        int answer;
        bool readme_replaced, notes_deleted, installs;
    } cases[] = {
        {kAskActOnFile, true, true, true},    {kAskKeepFile, false, false, true},
        {kAskActOnFolder, true, true, true},  {kAskKeepFolder, false, false, true},
        {kAskCancelAll, false, false, false},
    };
    write_src("Resources/readme.txt", "readme v2\n");
    write_src("bin/zudezud", std::string(300000, 'y'), 0755);
    ::unlink((src + "Resources/plugins/tool.sh").c_str());
    ::unlink((src + "Docs/notes.txt").c_str());
    plan.name = "9.00r2";
    plan.older["Resources/readme.txt"] = {"readme v1\n"};
    plan.older["bin/zudezud"] = {std::string(300000, 'z')};
    plan.gone = {{"Resources/plugins/tool.sh", "#!/bin/sh\necho tool\n"},
                 {"Docs/notes.txt", "notes v1\n"}};
    publish();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        std::string base = tmp / ("upd" + std::to_string(c.answer) + "/");
        std::string cmd = "cp -a '" + now + "' '" + base + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::ofstream(base + "Resources/readme.txt", std::ios::trunc) << "user edit\n";
        std::ofstream(base + "Docs/notes.txt", std::ios::trunc) << "user notes\n";
        dest_dir_path = base;
        scripted() = ScriptedWindows();
        scripted().answers = {c.answer, c.answer};
        start_run({"--pref:_rename_folder=0"});
        ASSERT_TRUE(run_frames());
        EXPECT_EQ(stg.install_state, c.installs ? kInstallFinished : kInstallIdle);
        EXPECT_EQ(dest_dir_path, base);
        EXPECT_EQ(TempDir::read(base + "Resources/readme.txt"),
                  c.readme_replaced ? "readme v2\n" : "user edit\n");
        EXPECT_EQ(TempDir::exists(base + "Docs/notes.txt"), !c.notes_deleted);
        EXPECT_EQ(TempDir::read(base + "bin/zudezud"), std::string(300000, c.installs ? 'y' : 'z'));
        // The unchanged dropped file goes without a question.
        EXPECT_EQ(TempDir::exists(base + "Resources/plugins/tool.sh"), !c.installs);
        // Asked in list order: the dropped notes first (delete texts), then the readme.
        ASSERT_GE(scripted().asked.size(), 1u);
        EXPECT_EQ(scripted().asked[0], std::make_pair(base + "Docs/notes.txt", 1));
        if (c.answer != kAskCancelAll) {
            ASSERT_EQ(scripted().asked.size(), 2u);
            EXPECT_EQ(scripted().asked[1], std::make_pair(base + "Resources/readme.txt", 0));
        } else {
            EXPECT_EQ(scripted().asked.size(), 1u);
        }
        end_run();
    }
}

// A destination saved or given without its final '/' still names the
// folder: the release goes inside it, never beside it.
TEST_F(EndToEnd, DestinationFromThePreferencesWithoutSlash)
{
    first_release();
    ::mkdir((home + "/.zudezud").c_str(), 0755);
    for (bool by_option : {false, true}) {
        SCOPED_TRACE(by_option ? "option" : "file");
        std::string inst = tmp / (by_option ? "opt/Zudezud" : "file/Zudezud");
        std::ofstream(home + "/.zudezud/Zudezud Installer.prf", std::ios::trunc)
            << "I\n9001 version\n_dest_dir_path " << (by_option ? tmp / "unused/" : inst) << "\n";
        std::vector<std::string> extra = {"--pref:_rename_folder=0"};
        if (by_option) extra.push_back("--pref:_dest_dir_path=" + inst);
        start_run(extra);
        EXPECT_EQ(dest_dir_path, inst + "/");
        ASSERT_TRUE(run_frames()) << log_text();
        EXPECT_EQ(stg.extract_error, 0);
        EXPECT_EQ(TempDir::read(inst + "/Resources/readme.txt"), "readme v1\n");
        EXPECT_EQ(TempDir::read(inst + "/bin/zudezud"), std::string(300000, 'z'));
        EXPECT_FALSE(TempDir::exists(inst + "Resources"));
        EXPECT_FALSE(TempDir::exists(inst + "bin"));
        end_run();
    }
    EXPECT_FALSE(TempDir::exists(tmp / "unused"));
}

// A release may link between its own folders; a link out of the
// installation is still refused.
TEST_F(EndToEnd, LinksBetweenFoldersOfTheRelease)
{
    write_src("lib/libx.so.1", "library");
    write_src("bin/run", "program", 0755);
    ASSERT_EQ(::symlink("../lib/libx.so.1", (src + "bin/libx.so").c_str()), 0);
    ASSERT_EQ(::symlink("../Resources/data", (src + "bin/data").c_str()), 0);
    write_src("Resources/data/a.txt", "a");
    publish();
    std::string inst = tmp / "inst/Zudezud/";
    dest_dir_path = inst;
    AlertProbe probe;
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(probe.count(), 0u);
    EXPECT_EQ(link_target(inst + "bin/libx.so"), "../lib/libx.so.1");
    EXPECT_EQ(TempDir::read(inst + "bin/libx.so"), "library");
    EXPECT_EQ(TempDir::read(inst + "bin/data/a.txt"), "a");
    end_run();

    // The next release adds a link that leaves the installation.
    tmp.mkdir("outside");
    tmp.write("outside/secret", "not the release's");
    ASSERT_EQ(::symlink("../../../outside/secret", (src + "bin/evil").c_str()), 0);
    plan.name = "9.00r2";
    publish();
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 1);
    struct stat st;
    EXPECT_NE(::lstat((inst + "bin/evil").c_str(), &st), 0);
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().lines[0], "The installer cannot extract a file.");
    EXPECT_EQ(probe.last().lines[3], "Destination: " + inst + "bin/evil");
    EXPECT_EQ(link_target(inst + "bin/libx.so"), "../lib/libx.so.1");
    end_run();
}

// Linux allows ':' in a folder name; the user's destination may hold one.
TEST_F(EndToEnd, DestinationWithAColon)
{
    first_release();
    std::string inst = tmp / "inst/games:2024/";
    dest_dir_path = inst;
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(TempDir::read(inst + "Resources/readme.txt"), "readme v1\n");
    end_run();
    // A second run signs what is there and fetches nothing again.
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames(false));
    ASSERT_FALSE(sim_info.empty());
    for (const file_history_struct& f : sim_info) {
        const file_version_struct& v = f.versions.back();
        if (v.sig_want != kSigGone && v.os != kOsMac) {
            EXPECT_EQ(v.have, 1) << v.path;
        }
    }
    EXPECT_FLOAT_EQ(stg.total_down_kb, 0);
    end_run();
}

TEST_F(EndToEnd, DeclinedLicenceDownloadsNothing)
{
    first_release();
    dest_dir_path = tmp / "inst/Zudezud/";
    scripted().eula_answer = 0;
    start_run();
    ASSERT_TRUE(run_frames());
    EXPECT_EQ(stg.install_state, kInstallIdle);
    EXPECT_EQ(scripted().eula_calls, 1);
    EXPECT_EQ(requests_for("/files/9.00r1/Zudezud/"), 0);
    EXPECT_TRUE(TempDir::exists(dest_dir_path + "Resources/preferences")); // folders made first
    end_run();
}

TEST_F(EndToEnd, NotFoundRetriedAtMostOncePerSecond)
{
    first_release();
    plan.servers = {{"files.test", "/nowhere/", "Empty server"}};
    std::string err;
    // Only the list names the server; nothing is published under its path.
    std::ofstream(web + "serverlist.txt", std::ios::trunc)
        << "I\n820 version\nSERVERS\nFINAL 9.00r1\nSERVER files.test\n/nowhere/\nEmpty\n";
    dest_dir_path = tmp / "inst/Zudezud/";
    FakeClock clock;
    start_run();
    auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            engine_frame();
            usleep(1000);
        }
    };
    const std::string what = "/nowhere/9.00r1/directory.txt.zip";
    // The 404 has been handled once the slot is free again.
    for (int i = 0; i < 20000 && !(requests_for(what) >= 1 && !http.slot[kNetSlotDirectory]); ++i)
        frames(1);
    ASSERT_EQ(http.slot[kNetSlotDirectory], nullptr);
    frames(300); // the clock stands still: no new request
    EXPECT_EQ(requests_for(what), 1);
    EXPECT_EQ(stg.dir_state, kDirFetch);
    clock.advance(1.0);
    for (int i = 0; i < 20000 && requests_for(what) < 2; ++i)
        frames(1);
    frames(300);
    EXPECT_EQ(requests_for(what), 2);
    EXPECT_FALSE(TempDir::exists(dest_dir_path));
    end_run();
}

TEST_F(EndToEnd, SecondServerTakesOver)
{
    first_release();
    plan.servers = {{"dead.test", "/dead/", "Dead"}, {"files.test", "/files/", "Main"}};
    publish();
    testnet::remove_tree(web + "dead");
    dest_dir_path = tmp / "inst/Zudezud/";
    start_run();
    // Make the dead server the choice for the list and again for the files.
    for (int i = 0; i < 50000 && stg.server_count < 0; ++i) {
        server_list_phase();
        usleep(200);
    }
    ASSERT_EQ(stg.server_count, 2);
    stg.chosen_server = 0;
    ASSERT_TRUE(run_frames(false));
    stg.chosen_server = 0;
    ASSERT_TRUE(run_frames());
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(TempDir::read(dest_dir_path + "Resources/readme.txt"), "readme v1\n");
    EXPECT_GE(requests_for("/dead/9.00r1/directory.txt.zip"), 1);
    EXPECT_GE(requests_for("/dead/9.00r1/Zudezud/"), 1);
    EXPECT_EQ(stg.download_failed, 0);
    end_run();
}

TEST_F(EndToEnd, CorruptArchiveLeavesTheUsersFileWhole)
{
    first_release();
    // Flip bytes in the middle of the compressed data of one archive.
    std::string zip = web + "files/9.00r1/Zudezud/bin/zudezud.zip";
    std::string bytes = TempDir::read(zip);
    ASSERT_GT(bytes.size(), 400u);
    for (std::size_t k = 100; k < 140; ++k)
        bytes[k] = static_cast<char>(bytes[k] ^ 0x5a);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;
    dest_dir_path = tmp / "inst/Zudezud/";
    put("../inst/Zudezud/bin/zudezud", "user's program");
    scripted().answers = {kAskActOnFile};
    AlertProbe probe;
    start_run();
    ASSERT_TRUE(run_frames());
    EXPECT_EQ(stg.extract_error, 1);
    EXPECT_EQ(stg.install_state, kInstallFinished);
    EXPECT_EQ(TempDir::read(dest_dir_path + "bin/zudezud"), "user's program");
    bool seen = false;
    for (const AlertRecord& a : probe.records()) {
        if (a.lines[0] != "The installer cannot extract a file.") continue;
        seen = true;
        EXPECT_EQ(a.lines[1].rfind("Error: ", 0), 0u);
        // One of the stream archives, temp_path + digit + ".zip".
        std::string want = "Compressed File: " + temp_path;
        EXPECT_EQ(a.lines[2].rfind(want, 0), 0u);
        EXPECT_EQ(a.lines[2].size(), want.size() + 5);
        EXPECT_EQ(a.lines[2].substr(want.size() + 1), ".zip");
        EXPECT_EQ(a.lines[3], "Destination: " + dest_dir_path + "bin/zudezud");
        EXPECT_EQ(a.source_file, "utils");
        EXPECT_EQ(a.source_line, 390);
    }
    EXPECT_TRUE(seen);
    const std::string log = log_text();
    EXPECT_NE(log.find("Installation stopped: a file could not be extracted into " + dest_dir_path +
                       ".\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Installation finished"), std::string::npos);
    EXPECT_FALSE(TempDir::exists(temp_path + "0.zip"));
    EXPECT_FALSE(TempDir::exists(temp_path + "1.zip"));
    end_run();
}

TEST_F(EndToEnd, TruncatedDirectoryListIsFetchedAgain)
{
    first_release();
    std::string zip = web + "files/9.00r1/directory.txt.zip";
    std::string bytes = TempDir::read(zip);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
    dest_dir_path = tmp / "inst/Zudezud/";
    AlertProbe probe;
    FakeClock clock; // stands still until moved
    start_run();
    auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            engine_frame();
            usleep(500);
        }
    };
    const std::string what = "/files/9.00r1/directory.txt.zip";
    for (int i = 0; i < 20000 && probe.count() < 1; ++i)
        frames(1);
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().lines[0], "DIR-scan: The installer cannot extract a file.");
    EXPECT_EQ(probe.last().lines[1].rfind("Error: ", 0), 0u);
    EXPECT_EQ(probe.last().lines[2], "Compressed File/" + temp_path + "directory.txt.zip");
    EXPECT_EQ(probe.last().lines[3], "Destination Path/" + temp_path);
    EXPECT_EQ(probe.last().source_file, "main");
    EXPECT_EQ(probe.last().source_line, 203);
    EXPECT_EQ(stg.dir_state, kDirFetch);
    EXPECT_FALSE(TempDir::exists(temp_path + "directory.txt.zip")); // deleted after the attempt
    // Fetched again from the same server, but not within the same second.
    frames(300);
    EXPECT_EQ(requests_for(what), 1);
    EXPECT_EQ(probe.count(), 1u);
    clock.advance(1.0);
    // Until the second archive has failed to unpack too (which starts the
    // next second's wait again).
    for (int i = 0; i < 20000 && (requests_for(what) < 2 || http.slot[kNetSlotDirectory] ||
                                  slot_may_start(kNetSlotDirectory));
         ++i)
        frames(1);
    EXPECT_EQ(requests_for(what), 2);
    EXPECT_EQ(stg.dir_state, kDirFetch);
    // The same failure is alerted once; the status message tells it meanwhile.
    EXPECT_EQ(probe.count(), 1u);
    EXPECT_NE(status_message().text.find("does not unpack"), std::string::npos);
    EXPECT_FALSE(TempDir::exists(dest_dir_path));
    end_run();
}

// The real clock, moved ahead when the test says: the download pump spends
// its 10 ms a frame as in the program, and a silent peer reaches the 30 s
// rule without the wait.
class ClockAhead
{
  public:
    ClockAhead()
    {
        ahead_us = 0;
        UTL_set_raw_clock_hook(read);
        xtim_reset_run_state();
    }
    ~ClockAhead() { UTL_set_raw_clock_hook(nullptr); }
    ClockAhead(const ClockAhead&) = delete;
    ClockAhead& operator=(const ClockAhead&) = delete;
    void advance(double seconds) { ahead_us += std::uint64_t(std::llround(seconds * 1e6)); }

  private:
    static inline std::atomic<std::uint64_t> ahead_us{0};
    // As the raw clock reads the real time.
    static std::uint64_t read()
    {
        timeval tv;
        gettimeofday(&tv, nullptr);
        return std::uint64_t(tv.tv_sec) * 1000000u + std::uint64_t(tv.tv_usec) + ahead_us;
    }
};

// The archives a folder holds, under any stream's name, one name a line.
std::string archives_in(const std::string& folder)
{
    std::string names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0)
                names += name + "\n";
        }
        closedir(d);
    }
    return names;
}

TEST_F(EndToEnd, ServerDyingMidTransferNeverHalfWritesAFile)
{
    // Content that does not compress, so the archive takes a while at the
    // rate limit below.
    std::string big(400000, '\0');
    unsigned x = 12345;
    for (char& c : big)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    write_src("big.bin", big);
    plan.older["big.bin"] = {"old big"};
    publish();
    int port = nginx.port();
    nginx.Stop();
    testnet::NginxOptions slow;
    slow.root = web;
    slow.port = port;
    slow.extra_server_conf = "limit_rate 20k;";
    ASSERT_TRUE(nginx.Start(slow)) << nginx.failure();
    dest_dir_path = tmp / "inst/Zudezud/";
    put("../inst/Zudezud/big.bin", "old big");

    ClockAhead clock;
    start_run();
    auto frame = [&] {
        xtim.xtim_update();
        engine_frame();
        usleep(500);
    };
    for (int i = 0; i < 20000 && stg.dir_state != kDirReady; ++i)
        frame();
    ASSERT_EQ(stg.dir_state, kDirReady);
    install_flow();
    ASSERT_EQ(stg.install_state, kInstalling);
    // Run until part of the archive has arrived, then the server dies.
    down_class* d = nullptr;
    for (int i = 0; i < 40000 && !(d && d->bytes_written > 0); ++i) {
        frame();
        d = http.slot[kNetSlotFirstStream];
    }
    ASSERT_TRUE(d && d->bytes_written > 0 && d->bytes_written < d->cont_len);
    nginx.Stop();
    // A dead peer is given up after 30 s without data.
    for (int i = 0; i < 100; ++i)
        frame();
    clock.advance(31.0);
    for (int i = 0; i < 20000 && !stg.download_failed; ++i)
        frame();
    EXPECT_EQ(stg.download_failed, 1);
    EXPECT_EQ(TempDir::read(dest_dir_path + "big.bin"), "old big");
    // What came is deleted with the failure, not at the end.
    EXPECT_EQ(archives_in(temp_path), "");
    // The server comes back; the stream fetches the archive again.
    testnet::NginxOptions back;
    back.root = web;
    back.port = port;
    ASSERT_TRUE(nginx.Start(back)) << nginx.failure();
    clock.advance(1.0);
    for (int i = 0; i < 40000 && stg.install_state == kInstalling; ++i)
        frame();
    EXPECT_EQ(stg.install_state, kInstallFinished);
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(stg.download_failed, 0);
    EXPECT_TRUE(TempDir::read(dest_dir_path + "big.bin") == big);
    end_run();
}

// With the library's workers running, as in the program, each archive is
// extracted on a worker while the pump goes on receiving. What the log, the
// tree and the alerts show stays what the extraction on the pump showed.
TEST_F(EndToEnd, ArchivesExtractedOnAWorker)
{
    THREAD_init();
    THREAD_make_workers();
    ASSERT_GT(THREAD_worker_count(), 0);
    ASSERT_EQ(THREAD_free_calls_head(), nullptr);
    // Small and large files (the large ones go through the write pipeline),
    // some that do not compress, a link, and a dropped file the pump deletes
    // meanwhile.
    std::vector<std::pair<std::string, std::string>> files;
    unsigned x = 777;
    for (int k = 0; k < 16; ++k) {
        std::string body(static_cast<std::size_t>(300) << (k % 13), static_cast<char>('a' + k));
        if (k % 2)
            for (char& c : body)
                c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        files.emplace_back((k % 3 ? "Data/" : "Docs/") + std::to_string(k) + ".bin", body);
    }
    for (const auto& f : files)
        write_src(f.first, f.second);
    ASSERT_EQ(::symlink("0.bin", (src + "Docs/link.bin").c_str()), 0);
    plan.gone["Old/dropped.txt"] = "old bytes\n";
    publish();
    std::string inst = tmp / "inst/Zudezud/";
    dest_dir_path = inst;
    put("../inst/Zudezud/Old/dropped.txt", "old bytes\n");

    // The line after the one that holds at.
    auto line_after = [](const std::string& log, std::size_t at) {
        const std::size_t from = log.find('\n', at) + 1;
        return log.substr(from, log.find('\n', from) - from);
    };
    // Each installed file: its "EXPANDING" line once, the line after it its
    // archive's "DELETING".
    auto expect_lines = [&](const std::string& log, const std::string& rel) {
        const std::string line = "EXPANDING file " + inst + rel + ", with result=0.\n";
        const std::size_t at = log.find(line);
        ASSERT_NE(at, std::string::npos) << rel << "\n" << log;
        EXPECT_EQ(log.find(line, at + 1), std::string::npos) << rel;
        const std::string after = line_after(log, at);
        EXPECT_EQ(after.rfind("DELETING  file " + temp_path, 0), 0u) << after;
        EXPECT_EQ(after.substr(after.size() - 20), ".zip, with result=0.") << after;
    };

    AlertProbe probe;
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(next.all_done, 1);
    EXPECT_EQ(probe.count(), 0u);
    for (const auto& f : files)
        EXPECT_TRUE(TempDir::read(inst + f.first) == f.second) << f.first;
    EXPECT_EQ(link_target(inst + "Docs/link.bin"), "0.bin");
    EXPECT_FALSE(TempDir::exists(inst + "Old"));
    std::string log = log_text();
    for (const auto& f : files)
        expect_lines(log, f.first);
    expect_lines(log, "Docs/link.bin");
    const std::string done = ": 17 file(s) installed, 1 deleted, ";
    const std::size_t result = log.find("Installation finished in " + inst + done);
    ASSERT_NE(result, std::string::npos) << log;
    EXPECT_LT(log.rfind("EXPANDING file "), result);
    // The extractions went through the workers' calls.
    EXPECT_NE(THREAD_free_calls_head(), nullptr);
    end_run();

    // A broken archive in the next release, which changes every file: alerted
    // as before, the installation stops with every archive gone (those
    // waiting for the worker too), and once the server has it right,
    // installing again completes.
    for (const auto& f : files) {
        write_src(f.first, f.second + "more");
        plan.older[f.first] = {f.second};
    }
    plan.name = "9.00r2";
    publish();
    const std::string zip = web + "files/9.00r2/Zudezud/Data/1.bin.zip";
    const std::string good = TempDir::read(zip);
    std::string bad = good;
    for (std::size_t k = 100; k < 140; ++k)
        bad[k] = static_cast<char>(bad[k] ^ 0x5a);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bad;
    const std::size_t earlier = log_text().size();
    probe.clear();
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 1);
    EXPECT_EQ(stg.install_state, kInstallFinished);
    ASSERT_EQ(probe.count(), 1u);
    const AlertRecord a = probe.last();
    EXPECT_EQ(a.lines[0], "The installer cannot extract a file.");
    EXPECT_EQ(a.lines[1].rfind("Error: ", 0), 0u);
    EXPECT_EQ(a.lines[2].rfind("Compressed File: " + temp_path, 0), 0u);
    EXPECT_EQ(a.lines[3], "Destination: " + inst + "Data/1.bin");
    EXPECT_EQ(a.source_file, "utils");
    EXPECT_EQ(a.source_line, 390);
    EXPECT_TRUE(TempDir::read(inst + "Data/1.bin") == files[1].second);
    log = log_text().substr(earlier);
    // The extraction's own line, then the alert, then the entry's lines.
    const std::size_t failed = log.find("Zip to file failed with error err = ");
    const std::size_t alert = log.find("The installer cannot extract a file.\n");
    const std::size_t expanding = log.find("EXPANDING file " + inst + "Data/1.bin, with result=");
    const std::size_t stopped =
        log.find("Installation stopped: a file could not be extracted into " + inst + ".\n");
    ASSERT_NE(failed, std::string::npos) << log;
    ASSERT_NE(alert, std::string::npos) << log;
    ASSERT_NE(expanding, std::string::npos) << log;
    ASSERT_NE(stopped, std::string::npos) << log;
    EXPECT_LT(failed, alert);
    EXPECT_LT(alert, expanding);
    EXPECT_LT(expanding, stopped);
    EXPECT_EQ(line_after(log, expanding).rfind("DELETING  file " + temp_path, 0), 0u);
    EXPECT_EQ(log.find("Installation finished"), std::string::npos);
    EXPECT_EQ(archives_in(temp_path), "");
    end_run();

    std::ofstream(zip, std::ios::binary | std::ios::trunc) << good;
    probe.clear();
    start_run({"--pref:_rename_folder=0"});
    ASSERT_TRUE(run_frames()) << log_text();
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(probe.count(), 0u);
    for (const auto& f : files)
        EXPECT_TRUE(TempDir::read(inst + f.first) == f.second + "more") << f.first;
    EXPECT_EQ(archives_in(temp_path), "");
    end_run();
    THREAD_shutdown();
}

// The test's body again, alone, in a child of this test program in a mount
// namespace of its own (`unshare --mount`): the small disks it mounts go
// with it.
constexpr const char* kMountsMark = "ZUDEZUD_PRIVATE_MOUNTS";
enum class PrivateMounts { kRanThere, kInside, kUnavailable };
PrivateMounts run_with_private_mounts(std::string* why)
{
    if (std::getenv(kMountsMark)) return PrivateMounts::kInside;
    if (run_capture("unshare --mount true").status != 0) {
        *why = "unshare --mount is not available here";
        return PrivateMounts::kUnavailable;
    }
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        ADD_FAILURE() << "cannot read /proc/self/exe";
        return PrivateMounts::kRanThere;
    }
    self[n] = 0;
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + t->test_suite_name() + "." + t->name();
    const XvfbResult r = run_capture(std::string("env ") + kMountsMark + "=1 unshare --mount " +
                                     shell_quote(self) + " " + shell_quote(filter));
    if (r.status == 0 && r.output.find("[  SKIPPED ] 1 test") != std::string::npos) {
        *why = r.output;
        return PrivateMounts::kUnavailable;
    }
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("[  PASSED  ] 1 test."), std::string::npos) << r.output;
    return PrivateMounts::kRanThere;
}

// A tmpfs of `size` bytes mounted at a fresh folder while it lives.
class SmallDisk
{
  public:
    SmallDisk(const std::string& folder, const std::string& size) : folder_(folder)
    {
        ::mkdir(folder.c_str(), 0700);
        ok_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (ok_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool ok() const { return ok_; }
    std::string path() const { return folder_ + "/"; }

  private:
    std::string folder_;
    bool ok_ = false;
};

// The published directory list with every archive listed at 1 KB: the
// streams learn an archive's size only from its reply.
void understate_archive_sizes(const std::string& zip, const std::string& scratch)
{
    ::mkdir(scratch.c_str(), 0700);
    ASSERT_EQ(zip_to_file(zip, scratch, nullptr, 0), 0);
    std::istringstream in(TempDir::read(scratch + "directory.txt"));
    std::string list, line;
    while (std::getline(in, line)) {
        // FILE 0 <platform> 0 <archive KB> <file KB> <signature> <name>
        if (line.rfind("FILE ", 0) == 0) {
            std::istringstream words(line);
            std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
            ASSERT_GE(w.size(), 8u) << line;
            w[4] = "1";
            line.clear();
            for (const std::string& word : w)
                line += (line.empty() ? "" : " ") + word;
        }
        list += line + "\n";
    }
    ASSERT_TRUE(write_one_entry_zip(zip, "directory.txt", list, S_IFREG | 0644, kFixedDate));
}

// The temporary folder on a small disk, four streams and a worker: the
// archives waiting for the worker count against the room there, so the
// streams wait for it instead of failing with a full disk, and a download
// that finds the disk full all the same (a list that understates the
// archives) is deleted at once and tried again once there is room. A folder
// that cannot hold one archive stops the installation with one alert. No
// archive is left there after success, that stop or QUIT.
TEST_F(EndToEnd, TemporaryFolderOnASmallDisk)
{
    std::string why;
    switch (run_with_private_mounts(&why)) {
    case PrivateMounts::kRanThere:
        return;
    case PrivateMounts::kUnavailable:
        GTEST_SKIP() << why;
    case PrivateMounts::kInside:
        break;
    }
    {
        SmallDisk probe_disk(tmp / "probe", "64k");
        if (!probe_disk.ok()) GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    THREAD_init();
    THREAD_make_workers();
    ASSERT_GT(THREAD_worker_count(), 0);
    // 24 files that do not compress: each archive takes 700 KiB.
    std::vector<std::string> bodies;
    unsigned x = 4242;
    for (int k = 0; k < 24; ++k) {
        std::string body(700 * 1024, '\0');
        for (char& c : body)
            c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        write_src("Data/" + std::to_string(k) + ".bin", body);
        bodies.push_back(body);
    }
    publish();
    const std::string list_zip = web + "files/9.00r1/directory.txt.zip";
    const std::string true_list = TempDir::read(list_zip);
    understate_archive_sizes(list_zip, tmp / "scratch/");
    const std::string understated = TempDir::read(list_zip);

    // A run on its own destination with the temporary folder on disk.
    int runs = 0;
    auto start_on = [&](const SmallDisk& disk) {
        dest_dir_path = tmp / ("inst" + std::to_string(runs++) + "/Zudezud/");
        start_run({"--pref:_rename_folder=0", "--pref:_stream_count=4"});
        remove_private_temp();
        ASSERT_EQ(make_private_temp(disk.path()), 0);
    };
    const std::string full = "No space left on device";
    struct {
        const char* size;
        bool true_sizes, completes;
    } cases[] = {
        {"2500k", true, true},  // room for three archives
        {"2500k", false, true}, // the same, found out by failing
        {"512k", true, false},  // smaller than one archive
        {"512k", false, false}, // the same, found out by failing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.size) + (c.true_sizes ? ", true sizes" : ", understated"));
        std::ofstream(list_zip, std::ios::binary | std::ios::trunc)
            << (c.true_sizes ? true_list : understated);
        SmallDisk disk(tmp / ("disk" + std::to_string(runs)), c.size);
        ASSERT_TRUE(disk.ok());
        AlertProbe probe;
        const std::size_t earlier = log_text().size();
        const int asked = requests_for("/files/9.00r1/Zudezud/Data/");
        start_on(disk);
        EXPECT_TRUE(run_frames(true, 60)) << log_text().substr(earlier);
        const std::string log = log_text().substr(earlier);
        EXPECT_EQ(stg.install_state, kInstallFinished);
        EXPECT_EQ(archives_in(temp_path), "");
        if (c.completes) {
            EXPECT_EQ(stg.extract_error, 0);
            EXPECT_EQ(stg.download_failed, 0);
            EXPECT_EQ(probe.count(), 0u);
            for (int k = 0; k < 24; ++k)
                EXPECT_TRUE(TempDir::read(dest_dir_path + "Data/" + std::to_string(k) + ".bin") ==
                            bodies[k])
                    << k;
            EXPECT_NE(
                log.find("Installation finished in " + dest_dir_path + ": 24 file(s) installed"),
                std::string::npos)
                << log;
            // With the true sizes no download starts that the disk cannot take.
            EXPECT_EQ(log.find(full) == std::string::npos, c.true_sizes) << log;
        } else {
            EXPECT_EQ(stg.extract_error, 1);
            EXPECT_EQ(probe.count(), 1u) << log;
            const AlertRecord a = probe.count() ? probe.last() : AlertRecord();
            EXPECT_EQ(a.lines[0], "The installer cannot download a file: the temporary folder "
                                  "has too little free room.");
            // The archive's room on the disk, a little more than its 700 KiB.
            EXPECT_EQ(a.lines[1], "Room needed: 704 KB for one archive");
            EXPECT_EQ(a.lines[2].rfind("Free room there: 5", 0), 0u) << a.lines[2];
            EXPECT_EQ(a.lines[3], "Temporary Folder: " + temp_path);
            EXPECT_EQ(count_of(log, a.lines[0]), 1) << log;
            EXPECT_EQ(count_of(log, "Installation stopped: a download does not fit in the "
                                    "temporary folder.\n"),
                      1)
                << log;
            EXPECT_EQ(log.find("Installation finished"), std::string::npos) << log;
            // With the true sizes it stops before any archive is asked for.
            EXPECT_EQ(requests_for("/files/9.00r1/Zudezud/Data/") == asked, c.true_sizes);
        }
        end_run();
    }

    // QUIT while archives are received and extracted.
    std::ofstream(list_zip, std::ios::binary | std::ios::trunc) << true_list;
    SmallDisk disk(tmp / "quit", "2500k");
    ASSERT_TRUE(disk.ok());
    start_on(disk);
    for (int i = 0; i < 200000 && stg.dir_state != kDirReady; ++i) {
        xtim.xtim_update();
        engine_frame();
    }
    ASSERT_EQ(stg.dir_state, kDirReady);
    install_flow();
    ASSERT_EQ(stg.install_state, kInstalling);
    auto receiving = [] {
        for (int i = 0; i < kStreams; ++i)
            if (down_class* d = http.slot[kNetSlotFirstStream + i])
                if (d->bytes_written > 0) return true;
        return false;
    };
    // Bounded by time, not by frames: under load a frame count runs out
    // before a stream is seen receiving while something is installed.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!(next.kb_installed > 0 && receiving()) && std::chrono::steady_clock::now() < give_up) {
        xtim.xtim_update();
        engine_frame();
    }
    ASSERT_TRUE(next.kb_installed > 0 && receiving());
    quit_flow();
    EXPECT_EQ(archives_in(temp_path), "");
    end_run();
    THREAD_shutdown();
}

} // namespace
