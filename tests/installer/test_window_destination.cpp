// The destination going wrong, through the real window: a folder that cannot
// be made, a scan that meets a huge file, and a second installer on the same
// folder.
#include "window_run.h"

#include <signal.h>

#include "Files/io_utils.h"

namespace
{

// A small release of three files served by nginx; the proxy settings that
// reach it go on the command line after "-path <dest>".
class DestinationWindow : public WindowRun
{
  protected:
    std::vector<ReleaseEntry> release;

    void publish()
    {
        const std::string src = tmp / "src/";
        write_tree(src, {{"Resources/readme.txt", "readme\n"},
                         {"Aircraft/huge.bin", "the release's copy\n"},
                         {"Docs/notes.txt", "notes\n"}});
        ReleasePlan plan;
        plan.source = src;
        plan.servers = {{"files.zudezud.test", "/files/", "Main server"}};
        std::string err;
        release = make_release(plan, web, &err);
        ASSERT_FALSE(release.empty()) << err;
    }
    std::vector<std::string> args(const std::string& dest)
    {
        return {"-path", dest, "--pref:_proxy_host=127.0.0.1",
                "--pref:_proxy_port_int=" + std::to_string(nginx.port())};
    }
    // What is below a folder: each entry with its size and time, in order.
    static std::string listing(const std::string& folder)
    {
        return run_capture("cd " + sh_quote(folder) + " && find . -printf '%p %s %T@\\n' | sort")
            .output;
    }
    // The alert's OK button (the alert sits in the middle of the screen).
    void click_alert_ok() { click({}, 512, kResY - 490); }
    // The progress box's bar, in screen units.
    static Rect progress_bar()
    {
        const int x0 = (kResX - 512) / 2, y0 = (kResY - 138) / 2;
        return {x0 + 30, y0 + 32, x0 + 482, y0 + 39};
    }
};

// A folder that cannot be made because a regular file has its name, the
// destination itself or a folder of the release: one alert that names the
// folder and why, no licence, and the main screen stays usable.
TEST_F(DestinationWindow, FolderThatCannotBeMadeGivesOneAlertAndStaysIdle)
{
    WINDOW_RUN_BODY();
    ASSERT_NO_FATAL_FAILURE(publish());
    ASSERT_TRUE(testnet::write_file(tmp / "afile", "a file, not a folder"));
    ::mkdir((tmp / "inst").c_str(), 0755);
    ::mkdir((tmp / "inst/Zudezud").c_str(), 0755);
    ASSERT_TRUE(testnet::write_file(tmp / "inst/Zudezud/Resources", "a file, not a folder"));
    const struct {
        const char* name;
        std::string dest, path_line;
    } cases[] = {
        {"destination", tmp / "afile/Zudezud/", "Install Path:" + tmp / "afile/Zudezud\n"},
        // Resources/preferences, a fixed folder, fails with it.
        {"release-folder", tmp / "inst/Zudezud/",
         "Install Path:" + tmp / "inst/Zudezud/Resources (and 1 more folder that could not be "
                                 "made)\n"},
    };
    const std::string alert = "I am unable to install or update Zudezud.";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start_program(args(c.dest));
        wait_for_lists();
        click({}, 491, 89); // INSTALL
        ASSERT_TRUE(poll_until([&] { return modal_shown(); }, 20));
        shot(std::string(c.name) + "-alert");
        click_alert_ok();
        ASSERT_TRUE(poll_until([&] { return main_shown(); }, 20));
        // The alert is logged once it is answered.
        ASSERT_TRUE(poll_until([&] { return count_of(app.log(), alert) == 1; }, 10)) << app.log();
        EXPECT_NE(app.log().find(c.path_line), std::string::npos) << app.log();
        EXPECT_NE(app.log().find("Error: " + error_str(ENOTDIR) + "\n"), std::string::npos);
        // No licence and no second alert follow: the screen stays the main one.
        EXPECT_FALSE(poll_until([&] { return modal_shown(); }, 3));
        EXPECT_EQ(count_of(app.log(), alert), 1);
        EXPECT_TRUE(install_is_green()); // idle: the user may pick another folder
        EXPECT_EQ(requests_for("/9.00r1/Zudezud/"), 0) << nginx.ReadAccessLog(); // no archive
        shot(std::string(c.name) + "-idle");
        quit_and_expect_exit_0();
    }
}

// A scan that signs a huge file keeps the window: the box moves within the
// file, and a close, QUIT or SIGTERM ends the program at once, leaving the
// installation as it was.
TEST_F(DestinationWindow, HugeFileScanAnswersCloseQuitAndSigterm)
{
    WINDOW_RUN_BODY();
    ASSERT_NO_FATAL_FAILURE(publish());
    const std::string dest = tmp / "inst/Zudezud/";
    ::mkdir((tmp / "inst").c_str(), 0755);
    write_tree(dest, {{"Resources/readme.txt", "my readme\n"},
                      {"Docs/notes.txt", "notes\n"},
                      {"Aircraft/huge.bin", ""}});
    // Sixteen gigabytes of holes: far more than a second of signing.
    ASSERT_EQ(run_capture("truncate -s 16G " + sh_quote(dest + "Aircraft/huge.bin")).status, 0);
    const std::string before = listing(dest);

    for (const char* how : {"close", "QUIT", "SIGTERM"}) {
        SCOPED_TRACE(how);
        start_program(args(dest));
        const Rect bar = progress_bar();
        // The box appears, then its bar grows while the huge file is signed.
        ASSERT_TRUE(changes(
            {}, bar, [] {}, 60))
            << app.log();
        int moves = 0;
        for (int i = 0; i < 2; ++i)
            moves += changes(
                         {}, bar, [] {}, 10)
                         ? 1
                         : 0;
        EXPECT_EQ(moves, 2);
        shot(std::string("scanning-") + how);
        const auto t0 = std::chrono::steady_clock::now();
        if (std::string(how) == "close") {
            ASSERT_TRUE(xvfb_send_wm_delete(std::stoul(wid)));
        } else if (std::string(how) == "QUIT") {
            click({}, 985, 89);
        } else {
            kill(app.pid, SIGTERM);
        }
        ASSERT_TRUE(app.exited(30));
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // Signing the rest of the file would take far longer than this.
        EXPECT_LT(s, 3.0);
        EXPECT_EQ(app.status, 0) << testnet::read_file(app.out);
        EXPECT_EQ(listing(dest), before);
        EXPECT_FALSE(TempDir::exists(run_temp_folder()));
    }
}

// Two installers on one destination: the second says why it waits, changes
// nothing there, and goes on once the first has ended.
TEST_F(DestinationWindow, SecondInstallerWaitsForTheFirst)
{
    WINDOW_RUN_BODY();
    ASSERT_NO_FATAL_FAILURE(publish());
    const std::string dest = tmp / "inst/Zudezud/";
    ::mkdir((tmp / "inst").c_str(), 0755);
    write_tree(dest, {{"Resources/readme.txt", "my readme\n"}});
    start_program(args(dest));
    wait_for_lists();

    // The second program, with the same home, in its own folder.
    Program second;
    second.dir = tmp / "app2/";
    second.home = app.home;
    ::mkdir(second.dir.c_str(), 0755);
    ASSERT_EQ(run_capture("cp " + sh_quote(ZUDEZUD_INSTALLER_EXE) + " " +
                          sh_quote(second.dir + "zudezud_installer"))
                  .status,
              0);
    const std::string waiting = "Another installer is working on " + dest;
    ASSERT_TRUE(second.start(args(dest)));
    ASSERT_TRUE(poll_until([&] { return second.log().find(waiting) != std::string::npos; }, 60))
        << second.log();
    // Its window lies over the first: INSTALL stays red while it waits.
    usleep(500000);
    shot("second-waits");
    EXPECT_FALSE(install_is_green());
    EXPECT_EQ(count_of(second.log(), waiting), 1);

    kill(app.pid, SIGTERM); // the first ends: its lock goes with it
    ASSERT_TRUE(app.exited(30));
    EXPECT_TRUE(poll_until([&] { return install_is_green(); }, 30)) << second.log();
    shot("second-goes-on");
    kill(second.pid, SIGTERM);
    ASSERT_TRUE(second.exited(30));
    EXPECT_EQ(second.status, 0);
}

// The second installer is another user's, or has no HOME, and spells the
// folder another way: it still waits, and adds nothing to the installation.
TEST_F(DestinationWindow, SecondInstallerWaitsWhateverTheSpellingAndHome)
{
    WINDOW_RUN_BODY();
    ASSERT_NO_FATAL_FAILURE(publish());
    const std::string dest = tmp / "inst/Zudezud/";
    ::mkdir((tmp / "inst").c_str(), 0755);
    write_tree(dest, {{"Resources/readme.txt", "my readme\n"}});
    ASSERT_EQ(symlink((tmp / "inst").c_str(), (tmp / "link").c_str()), 0);
    start_program(args(dest));
    wait_for_lists();
    const std::string before = listing(dest);

    const struct {
        const char* what;
        std::string spelling, home;
    } seconds[] = {
        {"doubled slash, another HOME", tmp / "inst//Zudezud/", tmp / "home2"},
        {"through a link, no HOME", tmp / "link/./Zudezud/", ""},
    };
    int n = 0;
    for (const auto& c : seconds) {
        SCOPED_TRACE(c.what);
        Program second;
        second.dir = tmp / ("second" + std::to_string(++n) + "/");
        second.home = c.home;
        ::mkdir(second.dir.c_str(), 0755);
        if (!c.home.empty()) ::mkdir(c.home.c_str(), 0755);
        ASSERT_EQ(run_capture("cp " + sh_quote(ZUDEZUD_INSTALLER_EXE) + " " +
                              sh_quote(second.dir + "zudezud_installer"))
                      .status,
                  0);
        const std::string waiting =
            "Another installer is working on " + c.spelling + ": waiting until it is done.";
        ASSERT_TRUE(second.start(args(c.spelling)));
        EXPECT_TRUE(poll_until([&] { return second.log().find(waiting) != std::string::npos; }, 60))
            << second.log();
        usleep(500000);
        shot(std::string("second-waits-") + std::to_string(n));
        EXPECT_FALSE(install_is_green());
        EXPECT_EQ(count_of(second.log(), waiting), 1);
        kill(second.pid, SIGTERM);
        ASSERT_TRUE(second.exited(30));
        EXPECT_EQ(second.status, 0);
    }
    EXPECT_EQ(listing(dest), before);
    quit_and_expect_exit_0();
}

} // namespace
