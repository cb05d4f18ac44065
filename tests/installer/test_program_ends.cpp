// Every way the real program ends, each run of it under its own X server in
// a private folder that is also its HOME: the exit status, the preferences
// file, its private temporary folder and the last lines of its log.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/nginx.h"
#include "support/release_maker.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{
const char* const kPrefFile = ".zudezud/Zudezud Installer.prf";

// One run of the installer, copied into its own folder (its "Log.txt" is
// written beside it) and started with the proxy on a loopback port.
class ProgramRun
{
  public:
    ~ProgramRun()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Starts it and waits until its frame loop runs (the log names the
    // temporary folder) and its window exists.
    ::testing::AssertionResult start(int proxy_port)
    {
        const std::string exe = dir_ / "zudezud_installer";
        if (run_capture("cp '" + std::string(ZUDEZUD_INSTALLER_EXE) + "' '" + exe + "'").status)
            return ::testing::AssertionFailure() << "copy failed";
        std::string home = dir_.path();
        home.pop_back();
        const std::string port = "--pref:_proxy_port_int=" + std::to_string(proxy_port);
        pid_ = fork();
        if (pid_ == 0) {
            setenv("HOME", home.c_str(), 1);
            FILE* out = std::freopen((dir_ / "out.txt").c_str(), "w", stdout);
            if (out) dup2(fileno(stdout), 2);
            execl(exe.c_str(), exe.c_str(), "--pref:_proxy_host=127.0.0.1", port.c_str(),
                  (char*)nullptr);
            _exit(127);
        }
        for (int i = 0; i < 1200 && temp_.empty(); ++i) {
            const std::string log = this->log();
            const size_t at = log.find("temp_path=");
            if (at != std::string::npos) temp_ = log.substr(at + 10, log.find('\n', at) - at - 10);
            if (temp_.empty()) usleep(50000);
        }
        if (temp_.empty()) return ::testing::AssertionFailure() << "no temp_path line: " << log();
        const XvfbResult w = run_capture("timeout 60 xdotool search --sync --name '^Didozuroz$'");
        window_ = std::strtoul(w.output.c_str(), nullptr, 10);
        if (!window_) return ::testing::AssertionFailure() << "no window: " << w.output;
        if (!TempDir::exists(temp_)) return ::testing::AssertionFailure() << "no " << temp_;
        return ::testing::AssertionSuccess();
    }

    // The raw wait status, or -1 when it did not end within `limit_s`.
    int wait_end(int limit_s = 60)
    {
        for (int i = 0; i < limit_s * 20; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            usleep(50000);
        }
        return -1;
    }

    pid_t pid() const { return pid_; }
    unsigned long window() const { return window_; }
    const std::string& temp() const { return temp_; }
    std::string log() const { return TempDir::read(dir_ / "Log.txt"); }
    std::string output() const { return TempDir::read(dir_ / "out.txt"); }
    std::string prefs() const { return TempDir::read(dir_ / kPrefFile); }
    bool prefs_exist() const { return TempDir::exists(dir_ / kPrefFile); }
    bool prefs_temp_left() const { return TempDir::exists(dir_ / kPrefFile + ".new"); }

  private:
    TempDir dir_;
    pid_t pid_ = -1;
    unsigned long window_ = 0;
    std::string temp_;
};

void expect_saved_and_clean(const ProgramRun& run)
{
    EXPECT_NE(run.prefs().find("\n_proxy_host 127.0.0.1\n"), std::string::npos) << run.prefs();
    EXPECT_FALSE(run.prefs_temp_left());
    EXPECT_FALSE(TempDir::exists(run.temp())) << run.temp();
    EXPECT_NE(run.log().find("Clean exit from threads.\n"), std::string::npos) << run.log();
}
} // namespace

TEST(ProgramEnds, WindowManagerCloseIsAnOrderlyQuit)
{
    XVFB_TEST_BODY();
    ProgramRun run;
    ASSERT_TRUE(run.start(testnet::free_port()));
    ASSERT_TRUE(xvfb_send_wm_delete(run.window()));
    const int status = run.wait_end();
    ASSERT_TRUE(WIFEXITED(status)) << status << run.output();
    EXPECT_EQ(WEXITSTATUS(status), 0) << run.output();
    expect_saved_and_clean(run);
    EXPECT_EQ(run.output().find("X11 threw me something different"), std::string::npos);
}

TEST(ProgramEnds, SignalsQuitAtTheNextFrame)
{
    XVFB_TEST_BODY();
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        ProgramRun run;
        ASSERT_TRUE(run.start(testnet::free_port()));
        kill(run.pid(), sig);
        const int status = run.wait_end();
        ASSERT_TRUE(WIFEXITED(status)) << status << run.output();
        EXPECT_EQ(WEXITSTATUS(status), 0);
        expect_saved_and_clean(run);
        EXPECT_NE(run.log().find("Quitting on signal " + std::to_string(sig) + ".\n"),
                  std::string::npos);
    }
}

// Another client destroys the window (xdotool windowclose: XDestroyWindow)
// or kills the program's connection (windowkill: XKillClient, an X I/O
// error at the next call): what needs no X runs, and the status says so.
// Closing prints nothing, also when a drawing call meets the destroyed
// window before its DestroyNotify is read (about every other close).
TEST(ProgramEnds, WindowLostUnderItSavesCleansAndFails)
{
    XVFB_TEST_BODY();
    for (const char* how :
         {"windowclose", "windowclose", "windowclose", "windowclose", "windowkill"}) {
        SCOPED_TRACE(how);
        ProgramRun run;
        ASSERT_TRUE(run.start(testnet::free_port()));
        ASSERT_EQ(
            run_capture(std::string("xdotool ") + how + " " + std::to_string(run.window())).status,
            0);
        const int status = run.wait_end();
        ASSERT_TRUE(WIFEXITED(status)) << status << run.output();
        EXPECT_EQ(WEXITSTATUS(status), 1);
        expect_saved_and_clean(run);
        EXPECT_NE(run.log().find(" Ending without the window.\n"), std::string::npos) << run.log();
        EXPECT_EQ(run.output().find("X Error"), std::string::npos) << run.output();
    }
}

// A release whose directory archive lacks "directory.txt": reading the list
// is a fatal alert. It is answered in the window by Return or by a real
// click on OK; the program then aborts without saving, but its temporary
// folder is gone and the alert is in the log.
TEST(ProgramEnds, FatalAlertAbortsWithoutSavingButCleansUp)
{
    XVFB_TEST_BODY();
    if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
    TempDir site;
    site.mkdir("web");
    site.mkdir("src");
    site.mkdir("src/Resources");
    site.write("src/Resources/readme.txt", "readme\n");
    ReleasePlan plan;
    plan.source = site / "src/";
    plan.servers = {{"files.test", "/files/", "Main server"}};
    std::string err;
    ASSERT_FALSE(make_release(plan, site / "web/", &err).empty()) << err;
    ASSERT_TRUE(write_one_entry_zip(site / "web/files/9.00r1/directory.txt.zip", "other.txt",
                                    "not the list\n", 0100644, 1500000000));
    testnet::Nginx nginx;
    ASSERT_TRUE(nginx.Start(site / "web/")) << nginx.failure();

    const struct {
        const char* how;
        std::string answer; // xdotool arguments, repeated until the program ends
    } cases[] = {
        {"Return", "key --window %d Return"},
        // Window 995 is 420 x 250 at (302, 259): OK at X pixel (512, 491).
        {"click on OK", "mousemove --window %d 512 491 click 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        ProgramRun run;
        ASSERT_TRUE(run.start(nginx.port()));
        std::string answer = c.answer;
        answer.replace(answer.find("%d"), 2, std::to_string(run.window()));
        int status = -1;
        for (int i = 0; i < 200 && status == -1; ++i) {
            run_capture("xdotool " + answer + " >/dev/null 2>&1");
            status = run.wait_end(1);
        }
        ASSERT_TRUE(WIFSIGNALED(status)) << status << run.output();
        EXPECT_EQ(WTERMSIG(status), SIGABRT);
        EXPECT_FALSE(run.prefs_exist());
        EXPECT_FALSE(TempDir::exists(run.temp())) << run.temp();
        EXPECT_NE(run.log().find("I tried to read a directory file that does not exist!\n"),
                  std::string::npos)
            << run.log();
    }
}
