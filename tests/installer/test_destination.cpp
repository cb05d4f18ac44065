// The destination over a run: the scan that signs it in steps, the lock that
// keeps a second installer out of it, and what the screen says of an
// earlier installation once another folder is chosen.
#include "engine_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include "Files/io_md5.h"
#include "installer/screen.h"
#include "support/release_maker.h"

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
    engine_windows.progress = record_progress;
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

// A second installer on one destination reads and changes nothing there
// until the first is done; the screen and the log say why, once.
TEST_F(DestinationTest, AnotherInstallerHoldsTheDestination)
{
    put("a.txt", "a");
    put(".zdz_abcdefgh", "a dead run's temporary file"); // a scan would remove it
    dir_file(list_of({{"a.txt", "a"}}));

    int to_child[2], from_child[2];
    ASSERT_EQ(pipe(to_child), 0);
    ASSERT_EQ(pipe(from_child), 0);
    const pid_t child = fork();
    if (child == 0) {
        char c = dest_lock_take(dest) == kLockHeld ? 'y' : 'n';
        if (write(from_child[1], &c, 1) != 1) _exit(2);
        if (read(to_child[0], &c, 1) != 1) _exit(3); // hold it until told
        _exit(0);                                    // the lock dies with us
    }
    char c = 0;
    ASSERT_EQ(read(from_child[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

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

    ASSERT_EQ(write(to_child[1], "x", 1), 1);
    int st = 0;
    ASSERT_EQ(waitpid(child, &st, 0), child);
    scan_phase(); // within the second: not asked again yet
    EXPECT_EQ(stg.dir_state, kDirScan);
    clock.advance(1.1);
    scan_phase();
    EXPECT_EQ(stg.dir_state, kDirReady);
    EXPECT_EQ(dest_busy, 0);
    EXPECT_FALSE(TempDir::exists(dest + ".zdz_abcdefgh"));
    EXPECT_EQ(dest_lock_held(), dest);
    // The lock file lives beside the preferences, not in the installation.
    EXPECT_TRUE(TempDir::exists(dest_lock_path(dest)));
    EXPECT_EQ(dest_lock_path(dest).find(dest), std::string::npos);

    // The end of the installation frees it, and its file goes.
    stg.install_state = kInstalling;
    next.reset_all_streams();
    download_pump();
    EXPECT_EQ(dest_lock_held(), "");
    EXPECT_FALSE(TempDir::exists(dest_lock_path(dest)));
    for (int fd : {to_child[0], to_child[1], from_child[0], from_child[1]})
        close(fd);
}

// Two destinations never share a lock; the same one always does.
TEST(DestinationLock, FileNamedAfterTheDestination)
{
    dest_lock_folder = "/locks/";
    EXPECT_EQ(dest_lock_path("/a/Zudezud/"), dest_lock_path("/a/Zudezud/"));
    EXPECT_NE(dest_lock_path("/a/Zudezud/"), dest_lock_path("/b/Zudezud/"));
    EXPECT_EQ(dest_lock_path("/a/Zudezud/").rfind("/locks/destination-", 0), 0u);
    dest_lock_folder.clear();
}

} // namespace
