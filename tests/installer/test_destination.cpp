// The destination over a run: the scan that signs it in steps, the lock that
// keeps a second installer out of it, and what the screen says of an
// earlier installation once another folder is chosen.
#include "engine_fixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Files/io_md5.h"
#include "installer/screen.h"
#include "support/release_maker.h"
#include "support/xvfb.h"

namespace
{

using DestinationTest = EngineTest;

// What the progress box was told, in order.
std::vector<std::pair<float, std::string>>& progress_seen()
{
    static std::vector<std::pair<float, std::string>> seen;
    return seen;
}
void record_progress(float, float value, float hi, int mode, std::string, std::string detail)
{
    if (mode == 1) progress_seen().emplace_back(value / hi, detail);
}

// A list of the given files (path below the destination, content of the
// release's version); each file is wanted and signed.
std::string list_of(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::string body;
    for (const auto& f : files)
        body += "FILE 0 0 0 1 1 " + md5_text(f.second) + " Z/" + f.first + "\n";
    return body;
}

// A scan moves through a big file in steps and keeps the list order and the
// totals of a scan in one go.
TEST_F(DestinationTest, ScanInStepsMovesWithinABigFileAndEndsAsOneScan)
{
    const std::string big(24 << 20, 'b');
    put("a.txt", "a");
    put("big.bin", big);
    put("c.txt", "old c");
    dir_file(list_of({{"a.txt", "a"}, {"big.bin", big}, {"c.txt", "new c"}}));
    engine_windows_struct windows = engine_windows;
    windows.progress = record_progress;
    engine_set_windows_hook(windows);
    progress_seen().clear();

    // Steps of no time: each ends after the first piece or file.
    int state = dir_scan_begin(temp_path + "directory.txt", "t");
    int steps = 0;
    while (state == kDirScan && steps < 1000) {
        state = dir_scan_step(0);
        ++steps;
        // Half counted: the screen must not say the copy is up to date.
        stg.dir_state = state;
        if (state == kDirScan) {
            EXPECT_EQ(totals_block().l[0], "");
        }
    }
    ASSERT_EQ(state, kDirReady);
    EXPECT_GE(steps, 24);
    // The box moved through the big file, never backwards.
    int within_big = 0;
    float last = -1;
    for (const auto& p : progress_seen()) {
        EXPECT_GE(p.first, last);
        last = p.first;
        if (p.second == dest + "big.bin" && p.first > 1.0f / 3 + 0.01f) ++within_big;
    }
    EXPECT_GT(within_big, 1);
    ASSERT_EQ(sim_info.size(), 3u);
    EXPECT_EQ(sim_info[0].versions[0].have, 1);
    EXPECT_EQ(sim_info[1].versions[0].have, 1);
    EXPECT_EQ(sim_info[2].versions[0].have, 0);
    EXPECT_EQ(stg.total_down_kb, 1);
}

// Another destination picked while a scan runs gives it up and scans the new
// one; so does another platform.
TEST_F(DestinationTest, ANewDestinationDuringAScanStartsItAgain)
{
    const std::string big(8 << 20, 'b');
    put("big.bin", big);
    ::mkdir((tmp / "other").c_str(), 0755);
    ::mkdir((tmp / "other/Zudezud").c_str(), 0755);
    dir_file(list_of({{"big.bin", big}}));
    stg.server_count = 1;
    stg.dir_state = dir_scan_begin(temp_path + "directory.txt", "t");
    stg.dir_state = dir_scan_step(0);
    ASSERT_TRUE(dir_scan_running());
    scripted().picked = tmp / "other/";
    destination_flow();
    EXPECT_FALSE(dir_scan_running());
    EXPECT_EQ(stg.dir_state, kDirScan);
    for (int i = 0; i < 1000 && stg.dir_state == kDirScan; ++i)
        scan_phase();
    EXPECT_EQ(sim_info[0].versions[0].sig_have, kSigNone); // signed in the new folder
    EXPECT_EQ(dest_lock_held(), tmp / "other/Zudezud/");
}

// After an installation, another folder is not "complete": the state that
// said so goes with a new destination or a new scan.
TEST_F(DestinationTest, CompletionBelongsToTheFolderThatWasInstalled)
{
    dir_file(list_of({{"a.txt", "a"}}));
    stg.server_count = 1;
    stg.dir_state = kDirReady;
    stg.install_state = kInstallFinished;
    next.all_done = 1;
    EXPECT_EQ(status_message().text, "INSTALLATION COMPLETE!");
    scripted().picked = tmp / "other/";
    destination_flow();
    EXPECT_NE(status_message().text, "INSTALLATION COMPLETE!");
    scan_phase();
    ASSERT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(next.all_done, 0);
    EXPECT_EQ(totals_block().l[0].rfind("You are about to install", 0), 0u);

    // A scan again for another platform clears it too.
    next.all_done = 1;
    restart_scan();
    scan_phase();
    EXPECT_EQ(next.all_done, 0);
}

// Another installer: a process of its own, with HOME set to `home` ("" for
// none), that takes the lock of `folder` and holds it until it ends, as a
// run that quits or one that is killed.
class OtherInstaller
{
  public:
    OtherInstaller(const std::string& folder, const std::string& home)
    {
        if (pipe(to_) != 0 || pipe(from_) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            if (home.empty())
                unsetenv("HOME");
            else
                setenv("HOME", home.c_str(), 1);
            dest_lock_release(); // a copy of the test's own lock is not this process's
            char c = dest_lock_take(folder) == kLockHeld ? 'y' : 'n';
            if (write(from_[1], &c, 1) != 1) _exit(2);
            if (read(to_[0], &c, 1) != 1) _exit(3); // hold it until told
            _exit(0);
        }
        char c = 0;
        holds_ = pid_ > 0 && read(from_[0], &c, 1) == 1 && c == 'y';
    }
    ~OtherInstaller()
    {
        end();
        for (int fd : {to_[0], to_[1], from_[0], from_[1]})
            if (fd >= 0) close(fd);
    }
    bool holds() const { return holds_; }
    void end(bool killed = false)
    {
        if (pid_ <= 0) return;
        if (killed)
            kill(pid_, SIGKILL);
        else if (write(to_[1], "x", 1) != 1)
            kill(pid_, SIGKILL);
        int st = 0;
        waitpid(pid_, &st, 0);
        pid_ = -1;
    }

  private:
    int to_[2] = {-1, -1}, from_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool holds_ = false;
};

// Every entry below a folder, one a line ("" for an empty or missing one).
std::string entries_below(const std::string& folder)
{
    return run_capture("cd '" + folder + "' 2>/dev/null && find . -mindepth 1 | sort").output;
}

// A second installer on one destination reads and changes nothing there
// until the first is done; the screen and the log say why, once.
TEST_F(DestinationTest, AnotherInstallerHoldsTheDestination)
{
    PrivateHome home;
    put("a.txt", "a");
    put(".zdz_abcdefgh", "a dead run's temporary file"); // a scan would remove it
    dir_file(list_of({{"a.txt", "a"}}));
    OtherInstaller first(dest, home.path());
    ASSERT_TRUE(first.holds());

    FakeClock clock;
    stg.server_count = 1;
    stg.dir_state = kDirScan;
    for (int i = 0; i < 5; ++i) {
        clock.advance(1.1);
        scan_phase();
    }
    EXPECT_EQ(dest_busy, 1);
    EXPECT_EQ(stg.dir_state, kDirScan);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_TRUE(TempDir::exists(dest + ".zdz_abcdefgh"));
    EXPECT_NE(status_message().text.find("Another installer is working on " + dest),
              std::string::npos);
    const std::string waiting = "Another installer is working on " + dest;
    EXPECT_EQ(log_text().find(waiting), log_text().rfind(waiting)); // once
    EXPECT_NE(log_text().find(waiting), std::string::npos);

    first.end();  // the lock dies with its process
    scan_phase(); // within the second: not asked again yet
    EXPECT_EQ(stg.dir_state, kDirScan);
    clock.advance(1.1);
    scan_phase();
    EXPECT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(dest_busy, 0);
    EXPECT_FALSE(TempDir::exists(dest + ".zdz_abcdefgh"));
    EXPECT_EQ(dest_lock_held(), dest);
    EXPECT_FALSE(OtherInstaller(dest, home.path()).holds());
    // The lock is no file: nothing in the installation or the home folder.
    EXPECT_EQ(entries_below(dest), "./a.txt\n");
    EXPECT_EQ(entries_below(home.path()), "");

    // The end of the installation frees it.
    stg.install_state = kInstalling;
    next.reset_all_streams();
    download_pump();
    EXPECT_EQ(dest_lock_held(), "");
    EXPECT_TRUE(OtherInstaller(dest, home.path()).holds());
}

// The lock is the folder's, not its name's or its user's: every spelling of
// it, with any HOME or none, meets the one lock, either way round.
TEST_F(DestinationTest, OneLockWhateverTheSpellingAndWhoeverRunsIt)
{
    PrivateHome mine;
    TempDir theirs;
    const std::string me = mine.path(), them = theirs.path(), none;
    ASSERT_EQ(symlink(dest.c_str(), (tmp / "link").c_str()), 0);
    const struct {
        const char* what;
        std::string spelling, first_home, second_home;
    } rows[] = {
        {"the same spelling, another HOME", dest, them, me},
        {"the same spelling, no HOME for the first", dest, none, me},
        {"the same spelling, no HOME for the second", dest, me, none},
        {"a doubled slash", tmp.path() + "/dest/", me, me},
        {"a dot", tmp / "./dest/", me, me},
        {"a way back up", tmp / "temp/../dest/", me, me},
        {"a symbolic link, another HOME", tmp / "link/", them, none},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.second_home.empty())
            unsetenv("HOME");
        else
            setenv("HOME", r.second_home.c_str(), 1);
        {
            OtherInstaller first(dest, r.first_home);
            ASSERT_TRUE(first.holds());
            EXPECT_EQ(dest_lock_take(r.spelling), kLockBusy);
            EXPECT_EQ(dest_lock_held(), "");
        }
        EXPECT_EQ(dest_lock_take(r.spelling), kLockHeld);
        EXPECT_EQ(dest_lock_held(), r.spelling);
        EXPECT_FALSE(OtherInstaller(dest, r.first_home).holds());
        // Another spelling in this same process is the lock it holds.
        EXPECT_EQ(dest_lock_take(dest), kLockHeld);
        EXPECT_FALSE(OtherInstaller(r.spelling, r.first_home).holds());
        dest_lock_release();
    }
    setenv("HOME", me.c_str(), 1);
    EXPECT_EQ(entries_below(dest), "");
    EXPECT_EQ(entries_below(me), "");
    EXPECT_EQ(entries_below(them), "");
}

// A killed installer's lock goes with it and leaves nothing behind, and
// installers on different folders never wait for each other.
TEST_F(DestinationTest, LockDiesWithItsProcessAndOtherFoldersGoOn)
{
    PrivateHome home;
    ::mkdir((tmp / "other").c_str(), 0755);
    ::mkdir((tmp / "third").c_str(), 0755);
    OtherInstaller first(dest, home.path());
    ASSERT_TRUE(first.holds());
    OtherInstaller second(tmp / "other/", home.path());
    EXPECT_TRUE(second.holds());
    EXPECT_EQ(dest_lock_take(tmp / "third/"), kLockHeld);
    EXPECT_EQ(dest_lock_take(dest), kLockBusy);

    first.end(true);
    EXPECT_EQ(dest_lock_take(dest), kLockHeld);
    EXPECT_EQ(entries_below(dest), "");
    EXPECT_EQ(entries_below(home.path()), "");
}

// A destination made at INSTALL is locked before anything is made in it;
// one that another installer has made and taken since the scan sends this
// one back to waiting, with nothing made there.
TEST_F(DestinationTest, FolderMadeAtInstallIsLockedFirst)
{
    PrivateHome home;
    FakeClock clock;
    dir_file(list_of({{"Docs/a.txt", "a"}}));
    stg.server_count = 1;
    // Scanned before anyone made it: nothing to lock yet.
    const auto scan_of_a_new_folder = [&](const std::string& folder) {
        dest_dir_path = folder;
        stg.dir_state = kDirScan;
        stg.install_state = kInstallIdle;
        scan_phase();
        EXPECT_EQ(stg.dir_state, kDirReady);
        EXPECT_EQ(dest_lock_held(), "");
    };

    const std::string mine = tmp / "mine/Zudezud/";
    scan_of_a_new_folder(mine);
    install_flow();
    EXPECT_EQ(stg.install_state, kInstalling);
    EXPECT_EQ(dest_lock_held(), mine);
    EXPECT_FALSE(OtherInstaller(mine, home.path()).holds());
    EXPECT_TRUE(TempDir::exists(mine + "Docs"));
    dest_lock_release();

    const std::string theirs = tmp / "theirs/Zudezud/";
    scan_of_a_new_folder(theirs);
    ASSERT_EQ(run_capture("mkdir -p '" + theirs + "'").status, 0);
    OtherInstaller first(theirs, "");
    ASSERT_TRUE(first.holds());
    install_flow();
    EXPECT_EQ(scripted().eula_calls, 1); // the first folder's only
    EXPECT_EQ(stg.install_state, kInstallIdle);
    EXPECT_EQ(stg.dir_state, kDirScan);
    EXPECT_EQ(dest_busy, 1);
    EXPECT_EQ(entries_below(theirs), "");
    EXPECT_NE(status_message().text.find("Another installer is working on " + theirs),
              std::string::npos);
    first.end();
    clock.advance(1.1);
    scan_phase();
    EXPECT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(dest_lock_held(), theirs);
}

} // namespace
