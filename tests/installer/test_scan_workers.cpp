// The scan on the library's worker threads: the same signatures, decisions,
// log lines and progress box as the scan on the main thread alone, and a
// cancelled scan that stops its workers and leaves the disk as it was.
#include "engine_fixture.h"

#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "Files/io_md5.h"
#include "OOPS_cpp/xmap.h"
#include "Thread/hl_thread.h"
#include "support/release_maker.h"

namespace
{

// What the progress box was asked to show while signing (mode 1).
struct Announce {
    float value, hi;
    std::string detail;
    bool operator==(const Announce& o) const
    {
        return value == o.value && hi == o.hi && detail == o.detail;
    }
};
std::vector<Announce>& announced()
{
    static std::vector<Announce> calls;
    return calls;
}
void record_progress(float, float value, float hi, int mode, std::string, std::string detail)
{
    if (mode == 1) announced().push_back({value, hi, detail});
}
// The announcements of a file becoming the first unsigned one (whole
// values); the others tell how far a step got within a file.
std::vector<Announce> whole_announcements()
{
    std::vector<Announce> out;
    for (const Announce& a : announced())
        if (a.value == std::floor(a.value)) out.push_back(a);
    return out;
}

// Bytes that differ from file to file and from piece to piece.
std::string bytes_of(size_t size, unsigned seed)
{
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// Every entry below a folder: path, kind, size, change time and, for small
// files, content.
std::string listing(const std::string& folder)
{
    std::string out;
    DIR* d = ::opendir(folder.c_str());
    if (!d) return out;
    std::map<std::string, std::string> entries;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = folder + "/" + name;
        struct stat st;
        if (::lstat(full.c_str(), &st) != 0) continue;
        std::string line = full + " " + std::to_string(st.st_mode) + " " +
                           std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) +
                           "." + std::to_string(st.st_mtim.tv_nsec) + "\n";
        if (S_ISREG(st.st_mode) && st.st_size < (1 << 20)) line += TempDir::read(full) + "\n";
        if (S_ISDIR(st.st_mode)) line += listing(full);
        entries[name] = line;
    }
    ::closedir(d);
    for (const auto& e : entries)
        out += e.second;
    return out;
}

int entries_in(const char* folder)
{
    int n = 0;
    DIR* d = ::opendir(folder);
    while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') ++n;
    ::closedir(d);
    return n;
}

// The scan's tasks for n files: one per worker, at most one per processor
// the test may run on.
int tasks_for(int n)
{
    cpu_set_t allowed;
    EXPECT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    return std::min({THREAD_worker_count(), CPU_COUNT(&allowed), n});
}

int free_calls()
{
    int n = 0;
    for (THREAD_call* c = THREAD_free_calls_head(); c; c = c->next_free)
        ++n;
    return n;
}

class ScanWorkersTest : public EngineTest
{
  protected:
    void TearDown() override
    {
        EngineTest::TearDown(); // cancels a scan: its tasks end first
        if (THREAD_is_inited()) THREAD_shutdown();
    }

    // The decisions of the last scan, one line a file, then the totals.
    static std::string decisions()
    {
        std::string out;
        for (const file_history_struct& f : sim_info) {
            const file_version_struct& v = f.versions.back();
            out += v.path + " " + v.sig_have + " " + std::to_string(v.have) + "\n";
        }
        return out + std::to_string(stg.total_down_kb) + " " + std::to_string(stg.total_disk_kb) +
               " " + std::to_string(this_install_has_exes);
    }

    // What one scan left: its decisions, its log lines and its progress box.
    struct Outcome {
        int state;
        std::string decisions, log;
        std::vector<Announce> whole;
    };

    // Runs a scan over the list at `list` (in steps of `seconds`, or in one
    // call when negative), with the stale temporaries put back first.
    Outcome scan(const std::string& list, double seconds)
    {
        for (const std::string& t : stale)
            put(t, "half");
        this_install_has_exes = 0;
        announced().clear();
        const size_t log_before = log_text().size();
        Outcome o;
        if (seconds < 0) {
            o.state = read_directory(list, "t");
        } else {
            o.state = dir_scan_begin(list, "t");
            // A frame's worth of other work between the steps.
            for (int i = 0; i < 100000 && o.state == kDirScan; ++i) {
                o.state = dir_scan_step(seconds);
                ::usleep(100);
            }
        }
        o.decisions = decisions();
        o.log = log_text().substr(log_before);
        o.whole = whole_announcements();
        return o;
    }

    std::vector<std::string> stale; // temporaries a dead run left
};

// Sizes around the 32 KiB pieces the signer reads, and a few megabytes.
const size_t kSizes[] = {0,      1,       32767,         32768,         32769,
                         65535,  65536,   65537,         3 * 32768 - 1, 3 * 32768 + 1,
                         100000, 1 << 20, (1 << 20) + 1, (3 << 20) + 7, (5 << 20) - 3};

TEST_F(ScanWorkersTest, SameSignaturesLogAndOrderAsOneSigner)
{
    engine_windows_struct windows = engine_windows;
    windows.progress = record_progress;
    engine_set_windows_hook(windows);
    // More files than the workers keep open ahead, in folders that hold a
    // dead run's temporaries, with files missing or unreadable between them.
    std::string body;
    std::map<std::string, std::string> content; // listed path below dest -> bytes
    int k = 0;
    auto add = [&](const std::string& rel, const std::string* bytes, int os) {
        if (bytes) {
            put(rel, *bytes);
            content[rel] = *bytes;
        }
        // Every third file differs from the release; a few are gone.
        std::string want = bytes ? md5_text(*bytes) : md5_text("x");
        if (k % 3 == 1) want = md5_text("the release's " + rel);
        if (k % 17 == 5) want = kSigGone;
        body += "FILE 0 " + std::to_string(os) + " 0 " + std::to_string(k + 1) + " " +
                std::to_string(2 * k + 1) + " " + want + " Z/" + rel + "\n";
        ++k;
    };
    for (size_t size : kSizes) {
        const std::string b = bytes_of(size, static_cast<unsigned>(size));
        add("sizes/s" + std::to_string(size) + ".bin", &b, k % 4);
    }
    for (int i = 0; i < 300; ++i) {
        const std::string rel = "f" + std::to_string(i % 7) + "/n" + std::to_string(i) + ".dat";
        if (i % 41 == 7) {
            add(rel, nullptr, 0); // missing
        } else if (i % 53 == 11) {
            ::mkdir((dest + "f" + std::to_string(i % 7)).c_str(), 0755);
            ::mkdir((dest + rel).c_str(), 0755); // a folder where the file should be
            add(rel, nullptr, 3);
        } else {
            const std::string b = bytes_of((i * 7919) % 150000, 1000 + i);
            add(rel, &b, i % 7);
        }
    }
    stale = {".zdz_abcdefgh", "sizes/.zdz_0123abcd", "f3/.zdz_zzzzzzzz", "f6/.zdz_00000000"};
    const std::string list = dir_file(body);

    // The reference: the main thread alone, one signer after another.
    ASSERT_EQ(THREAD_worker_count(), 0);
    const Outcome alone = scan(list, -1);
    ASSERT_EQ(alone.state, kDirReady);
    ASSERT_EQ(sim_info.size(), static_cast<size_t>(k));
    for (const file_history_struct& f : sim_info) {
        const file_version_struct& v = f.versions.back();
        std::string rel = v.path.substr(2), sig = kSigNone;
        if (content.count(rel)) {
            EXPECT_EQ(calc_file_md5(dest + rel, sig), 0) << rel;
            EXPECT_EQ(sig, md5_text(content[rel])) << rel;
        }
        EXPECT_EQ(v.sig_have, sig) << rel;
    }
    EXPECT_NE(alone.log.find("Removed 1 temporary file(s) an earlier run left in " + dest + "f3/"),
              std::string::npos)
        << alone.log;
    ASSERT_EQ(alone.whole.size(), static_cast<size_t>(k)); // under 400 files: each one told

    THREAD_init();
    THREAD_make_workers();
    const int workers = THREAD_worker_count();
    ASSERT_GT(workers, 0);
    struct {
        const char* how;
        double seconds;
    } runs[] = {{"in one call", -1}, {"in steps of no time", 0}, {"in steps of 1 ms", 0.001}};
    for (const auto& r : runs) {
        SCOPED_TRACE(r.how);
        const Outcome on = scan(list, r.seconds);
        EXPECT_EQ(on.state, kDirReady);
        EXPECT_EQ(on.decisions, alone.decisions);
        EXPECT_EQ(on.log, alone.log);
        EXPECT_TRUE(on.whole == alone.whole);
        // The scan ran on the workers: each of its tasks came back.
        EXPECT_EQ(free_calls(), tasks_for(k));
    }

    // A forked child has none of the workers: it signs on its own.
    ChildResult child = run_in_child(
        [&] { std::printf("%d\n%s", read_directory(list, "t"), decisions().c_str()); });
    EXPECT_TRUE(child.exited()) << child.err;
    EXPECT_EQ(child.out, std::to_string(kDirReady) + "\n" + alone.decisions);
}

// A path too long for the destination refuses the list once every file
// before it is signed, with the same log lines as the main thread alone.
TEST_F(ScanWorkersTest, TooLongPathRefusesAfterTheFilesBeforeIt)
{
    std::string body = "DIR Z/\n";
    for (int i = 0; i < 200; ++i) {
        put("d" + std::to_string(i % 3) + "/f" + std::to_string(i), bytes_of(i * 100, i));
        body += "FILE 0 0 0 1 1 s d" + std::to_string(i % 3) + "/f" + std::to_string(i) + "\n";
        // Safe in the list, too long once below the destination.
        if (i == 150) body += "FILE 0 0 0 1 1 s " + std::string(kMaxFilePath - 2, 'f') + "\n";
    }
    stale = {"d0/.zdz_abcdefgh", "d2/.zdz_abcdefgh"};
    const std::string list = dir_file(body);
    const Outcome alone = scan(list, -1);
    THREAD_init();
    THREAD_make_workers();
    const Outcome on = scan(list, -1);
    EXPECT_EQ(alone.state, kDirBadFormat);
    EXPECT_EQ(on.state, kDirBadFormat);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_NE(on.log.find("is too long for this destination"), std::string::npos);
    EXPECT_EQ(on.log, alone.log);
    EXPECT_EQ(free_calls(), tasks_for(201));
}

// Cancelled while the workers sign a huge file: the tasks stop between
// pieces and are waited for, no thread is left, and the disk is as it was.
TEST_F(ScanWorkersTest, CancelMidScanStopsTheWorkersAndChangesNothing)
{
    engine_windows_struct windows = engine_windows;
    windows.progress = record_progress;
    engine_set_windows_hook(windows);
    put("a.txt", "a");
    put("b/c.txt", "c");
    put("huge.bin", "");
    // Eight gigabytes of holes: far more than the test waits.
    ASSERT_EQ(::truncate((dest + "huge.bin").c_str(), 8LL << 30), 0);
    const std::string list = dir_file("FILE 0 0 0 1 1 " + md5_text("a") + " Z/a.txt\n" +
                                      "FILE 0 0 0 1 1 s Z/huge.bin\n" + "FILE 0 0 0 1 1 " +
                                      md5_text("c") + " Z/b/c.txt\n");
    const std::string before = listing(tmp / "dest");
    const int threads_before = entries_in("/proc/self/task");

    THREAD_init();
    THREAD_make_workers();
    const int tasks = tasks_for(3);
    announced().clear();
    ASSERT_EQ(dir_scan_begin(list, "t"), kDirScan);
    // Steps until the box moves within the huge file: a worker signs it.
    bool within = false;
    for (int i = 0; i < 10000 && !within; ++i) {
        ASSERT_EQ(dir_scan_step(0.01), kDirScan);
        for (const Announce& a : announced())
            within = within || (a.detail == dest + "huge.bin" && a.value > 1 && a.value < 2);
    }
    ASSERT_TRUE(within);
    EXPECT_TRUE(dir_scan_running());

    dir_scan_cancel();
    EXPECT_FALSE(dir_scan_running());
    // Every task returned and its record went back.
    EXPECT_EQ(free_calls(), tasks);
    THREAD_shutdown();
    EXPECT_EQ(entries_in("/proc/self/task"), threads_before);
    EXPECT_EQ(listing(tmp / "dest"), before);
}

} // namespace
