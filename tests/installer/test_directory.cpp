#include "engine_fixture.h"

#include <map>

#include "Files/case_desens.h"
#include "Files/io_md5.h"
#include "support/release_maker.h"

namespace
{

using DirectoryTest = EngineTest;

std::vector<file_history_struct> parse(const std::string& body, dir_parse_result* res = nullptr)
{
    std::vector<file_history_struct> out;
    dir_parse_result r = parse_directory_body(body.data(), body.data() + body.size(), out);
    if (res) *res = r;
    return out;
}

TEST_F(DirectoryTest, DirAndFileLines)
{
    auto v = parse("DIR\tZ/Res ources/\n"
                   "FILE 7 9 -5 12 34 abcd my file.txt \n"
                   "  FILE -3 2 0 1 2 GONE x\n"
                   "DIRX Z/other/\nDIR\nFILEx 1 1 1 1 1 s y\n"
                   "DIR Z/p\nFILE 1 3 0 5 6\n");
    ASSERT_EQ(v.size(), 3u);
    const file_version_struct& a = v[0].versions[0];
    EXPECT_EQ(a.kind, 4);
    EXPECT_EQ(a.os, 6);
    EXPECT_EQ(a.aux, -5);
    EXPECT_EQ(a.down_kb, 12);
    EXPECT_EQ(a.disk_kb, 34);
    EXPECT_EQ(a.sig_want, "abcd");
    EXPECT_EQ(a.path, "Z/Res ources/my file.txt ");
    EXPECT_EQ(v[1].versions[0].kind, 0);
    EXPECT_EQ(v[1].versions[0].sig_want, "GONE");
    // A line that ends after its numbers: empty signature and path text.
    EXPECT_EQ(v[2].versions[0].sig_want, "");
    EXPECT_EQ(v[2].versions[0].path, "Z/p");
}

TEST_F(DirectoryTest, HistoriesAndDroppedLines)
{
    auto v = parse("DIR Z/a/\nFILE 0 0 0 1 1 s1 f\nFILE 0 0 0 1 1 s2 Earth Orbit Textures\n"
                   "DIR Z/a/\nFILE 0 0 0 1 1 s3 f\nFILE 0 0 0 1 1 s4 g\nFILE 0 0 0 1 1 s5 f\n");
    ASSERT_EQ(v.size(), 3u);
    ASSERT_EQ(v[0].versions.size(), 2u);
    EXPECT_EQ(v[0].versions[1].sig_want, "s3");
    EXPECT_EQ(v[1].versions[0].sig_want, "s4");
    EXPECT_EQ(v[2].versions[0].sig_want, "s5");
    EXPECT_TRUE(parse("").empty());
}

TEST_F(DirectoryTest, UnsafePathsRefused)
{
    struct {
        const char* path;
        int safe;
    } cases[] = {
        {"Z/a/b.txt", 1},
        {"readme", 1},
        {"Z/a..b/c", 1},
        {"Z/.../c", 1},
        {"/etc/passwd", 0},
        {"Z/../x", 0},
        {"../x", 0},
        {"Z/a/..", 0},
        {"Z/a\\b", 0},
        {"Z/c:d", 0},
        {"", 0},
        // A control character would break the request line; a blank is
        // sent as %20.
        {"Z/a b.txt", 1},
        {"Z/a\tb", 0},
        {"Z/a\x01", 0},
        {"Z/a\x7f", 0},
        {"Z/a\x1f/b", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_safe_release_path(c.path), c.safe) << c.path;
    EXPECT_EQ(is_safe_release_path("Z/" + std::string(498, 'a')), 0);
    EXPECT_EQ(is_safe_release_path("Z/" + std::string(497, 'a')), 1);

    dir_parse_result r;
    parse("DIR Z/\nFILE 0 0 0 1 1 s ok\nDIR Z/../../\nFILE 0 0 0 1 1 s evil\n", &r);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.bad_path, "Z/../../evil");
    parse("DIR Z/\nFILE 0 0 0 1 1 s ok\nFILE 0 0 0 1 1 s a\tb\n", &r);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.bad_path, "Z/a\tb");
}

TEST_F(DirectoryTest, UnsafeListIsBadFormatAndTouchesNothing)
{
    put("keep.txt", "mine");
    std::string p =
        dir_file("DIR Z/\nFILE 0 0 0 1 1 GONE keep.txt\nDIR /tmp/\nFILE 0 0 0 1 1 s x\n");
    EXPECT_EQ(read_directory(p, "t"), kDirBadFormat);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_NE(log_text().find("/tmp/x"), std::string::npos);
    EXPECT_EQ(app_done, 0);
    EXPECT_EQ(TempDir::read(dest + "keep.txt"), "mine");
}

TEST_F(DirectoryTest, PathTooLongForTheDestinationIsRefused)
{
    dest_dir_path = dest + std::string(300, 'd') + "/";
    std::string p = dir_file("DIR Z/\nFILE 0 0 0 1 1 s " + std::string(250, 'f') + "\n");
    EXPECT_EQ(read_directory(p, "t"), kDirBadFormat);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_NE(log_text().find("is too long for this destination"), std::string::npos);
}

TEST_F(DirectoryTest, ScanSignsFilesAndSums)
{
    put("same.txt", "same");
    put("old.txt", "old");
    put("gone.txt", "bye");
    std::string list = "DIR Z/\n"
                       "FILE 0 0 0 10 20 " +
                       md5_text("same") +
                       " same.txt\n"
                       "FILE 0 3 0 11 21 " +
                       md5_text("new") +
                       " old.txt\n"
                       "FILE 0 1 0 12 22 " +
                       md5_text("mac") +
                       " mac.bin\n"
                       "FILE 0 6 0 13 23 " +
                       md5_text("data") +
                       " missing.dat\n"
                       "FILE 0 0 0 0 0 GONE gone.txt\n"
                       "FILE 0 0 0 0 0 GONE never.txt\n"
                       "FILE 0 0 0 1 1 " +
                       md5_text("same").substr(0, 31) + "X up.txt\n";
    AlertProbe probe;
    EXPECT_EQ(read_directory(dir_file(list), "t"), kDirReady);
    ASSERT_EQ(sim_info.size(), 7u);
    EXPECT_EQ(sim_info[0].versions[0].sig_have, md5_text("same"));
    EXPECT_EQ(sim_info[0].versions[0].have, 1);
    EXPECT_EQ(sim_info[1].versions[0].have, 0);
    EXPECT_EQ(sim_info[2].versions[0].sig_have, "NONE");
    EXPECT_EQ(sim_info[5].versions[0].have, 0);
    // old.txt (Linux program), missing.dat (Linux data), up.txt; not the Mac file.
    EXPECT_FLOAT_EQ(stg.total_down_kb, 11 + 13 + 1);
    EXPECT_FLOAT_EQ(stg.total_disk_kb, 21 + 23 + 1);
    EXPECT_EQ(this_install_has_exes, 1);
    EXPECT_EQ(probe.count(), 0u);
}

// A destination with characters the release's paths may not hold.
TEST_F(DirectoryTest, DestinationWithAColonIsSigned)
{
    for (const char* folder : {"games:2024", "back\\slash"}) {
        tmp.mkdir(folder);
        dest_dir_path = tmp / folder + "/";
        std::ofstream(dest_dir_path + "a.txt") << "same";
        std::string list = "DIR Z/\nFILE 0 0 0 1 1 " + md5_text("same") + " a.txt\n" +
                           "FILE 0 0 0 1 1 " + md5_text("new") + " b.txt\n";
        ChildResult r = run_in_child([&] {
            int got = read_directory(dir_file(list), "t");
            std::printf("%d %zu %d %s", got, sim_info.size(), sim_info[0].versions[0].have,
                        sim_info[1].versions[0].sig_have.c_str());
        });
        EXPECT_TRUE(r.exited()) << folder << r.out;
        EXPECT_EQ(r.out, std::to_string(kDirReady) + " 2 1 NONE") << folder;
    }
}

// Temporary files of an extraction that never finished go at the next scan,
// in the folders of listed files; nothing else is touched.
TEST_F(DirectoryTest, ScanRemovesStaleTemporaries)
{
    put("Resources/a.txt", "a");
    put(".zdz_abcdefgh", "half");
    put("Resources/.zdz_0123abcd", "half");
    ::symlink("a.txt", (dest + "Resources/.zdz_link0000").c_str());
    const char* kept[] = {".zdz_notes", "Resources/.zdz_ABCDEFGH", "Resources/zdz_abcdefgh",
                          "Other/.zdz_abcdefgh", "Resources/sub/.zdz_abcdefgh"};
    for (const char* k : kept)
        put(k, "user");
    ::mkdir((dest + "Resources/.zdz_folder00").c_str(), 0755);
    std::string list = "DIR Z/\nFILE 0 0 0 1 1 GONE top.txt\n"
                       "FILE 0 0 0 1 1 " +
                       md5_text("a") +
                       " Resources/a.txt\n"
                       "FILE 0 0 0 1 1 s Missing/b.txt\n";
    EXPECT_EQ(read_directory(dir_file(list), "t"), kDirReady);
    EXPECT_FALSE(TempDir::exists(dest + ".zdz_abcdefgh"));
    EXPECT_FALSE(TempDir::exists(dest + "Resources/.zdz_0123abcd"));
    struct stat st;
    EXPECT_NE(::lstat((dest + "Resources/.zdz_link0000").c_str(), &st), 0);
    for (const char* k : kept)
        EXPECT_EQ(TempDir::read(dest + k), "user") << k;
    EXPECT_TRUE(TempDir::exists(dest + "Resources/.zdz_folder00"));
    EXPECT_EQ(TempDir::read(dest + "Resources/a.txt"), "a");
    EXPECT_EQ(sim_info[1].versions[0].have, 1);
    std::string log = log_text();
    EXPECT_NE(log.find("Removed 1 temporary file(s) an earlier run left in " + dest + ".\n"),
              std::string::npos)
        << log;
    EXPECT_NE(
        log.find("Removed 2 temporary file(s) an earlier run left in " + dest + "Resources/.\n"),
        std::string::npos);
}

// Folders opened by the listing code, by path, while a test counts them.
std::map<std::string, int>& opened_folders()
{
    static std::map<std::string, int> m;
    return m;
}

DIR* counting_open(const char* folder)
{
    ++opened_folders()[folder];
    return opendir(folder);
}

// A fresh destination: most files are missing, in a few folders, and
// findPath walks down to each of them. Every folder is listed at most once
// and the decisions are those of a scan that lists afresh for every file.
TEST_F(DirectoryTest, ScanListsEachFolderOnce)
{
    put("Res/Set1/Ready.TXT", "ready");
    std::string list = "DIR Z/Res/Set1/\nFILE 0 0 0 7 8 " + md5_text("ready") + " ready.txt\n";
    const char* folders[] = {"Res/Set1/", "Res/Set2/", "Other/", ""};
    for (int i = 0; i < 60; ++i)
        list += std::string("DIR Z/") + folders[i % 4] + "\nFILE 0 0 0 1 2 " +
                md5_text(std::to_string(i)) + " f" + std::to_string(i) + ".dat\n";

    auto decisions = [] {
        std::string out;
        for (const file_history_struct& f : sim_info)
            out += f.versions.back().sig_have + " " + std::to_string(f.versions.back().have) + "\n";
        return out + std::to_string(stg.total_down_kb) + " " + std::to_string(stg.total_disk_kb);
    };
    opened_folders().clear();
    folder_set_open_hook(counting_open);
    EXPECT_EQ(read_directory(dir_file(list), "t"), kDirReady);
    folder_set_open_hook(nullptr);
    const std::string with_memo = decisions();
    ASSERT_EQ(sim_info.size(), 61u);
    EXPECT_EQ(sim_info[0].versions[0].have, 1); // found under its other spelling
    EXPECT_EQ(sim_info[1].versions[0].sig_have, "NONE");
    EXPECT_FLOAT_EQ(stg.total_down_kb, 60);
    for (const auto& [folder, count] : opened_folders())
        EXPECT_LE(count, 1) << folder;
    EXPECT_EQ(opened_folders()["/"], 1);
    EXPECT_EQ(opened_folders()[dest.substr(0, dest.size() - 1)], 1);

    // Without the memo every missing file lists its folders again.
    std::map<std::string, int> afresh;
    std::string sig;
    for (const file_history_struct& f : sim_info) {
        opened_folders().clear();
        folder_set_open_hook(counting_open);
        calc_file_md5(local_path_of(f.versions.back().path), sig);
        folder_set_open_hook(nullptr);
        for (const auto& [folder, count] : opened_folders())
            afresh[folder] += count;
    }
    EXPECT_GT(afresh["/"], 50);
    // And a scan over the same disk decides the same.
    EXPECT_EQ(read_directory(dir_file(list), "t"), kDirReady);
    EXPECT_EQ(decisions(), with_memo);
}

TEST_F(DirectoryTest, HeaderVersions)
{
    AlertProbe probe;
    EXPECT_EQ(read_directory(dir_file("", "I\n840 version\nINSTALLER\n"), "t"), kDirReady);
    EXPECT_EQ(read_directory(dir_file("", "I\n900 version\nINSTALLER\n"), "t"), kDirReady);
    EXPECT_EQ(probe.count(), 0u);
    EXPECT_EQ(read_directory(dir_file("", "I\n901 version\nINSTALLER\n"), "t"), kDirBadFormat);
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().lines[3], tmp / "temp/directory.txt");
    EXPECT_EQ(probe.last().source_line, 141);
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(stg.install_state, kInstallFinished);
}

TEST_F(DirectoryTest, MissingListIsFatal)
{
    ChildResult r = run_in_child([&] { read_directory(tmp / "none.txt", "t"); });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("I tried to read a directory file that does not exist!"),
              std::string::npos);
}

// The list comes from the network: a record naming a folder instead of a
// file refuses the list, with a log line, like the other unsafe paths.
TEST_F(DirectoryTest, PathWithoutFileRefusesTheList)
{
    struct {
        const char* body;
        const char* path;
    } cases[] = {
        {"FILE 0 0 0 0 0 s a/\n", "a/"},
        {"DIR Z/sub/\nFILE 0 0 0 1 1 abc\n", "Z/sub/"},
        {"FILE 0 0 0 1 1 abc Z/x\nFILE 0 0 0 0 0 s Z/dir/\nFILE 0 0 0 1 1 abc Z/y\n", "Z/dir/"},
    };
    for (const auto& c : cases) {
        ChildResult r = run_in_child([&] {
            std::string p = dir_file(c.body);
            int got = read_directory(p, "t");
            std::printf("result %d files %zu\n", got, sim_info.size());
            xer.flush();
        });
        EXPECT_TRUE(r.exited()) << c.body;
        EXPECT_EQ(r.out, "result " + std::to_string(kDirBadFormat) + " files 0\n") << c.body;
        EXPECT_NE(log_text().find("refusing it for the path without a file '" +
                                  std::string(c.path) + "'.\n"),
                  std::string::npos)
            << c.body;
    }
}

// A path with a control character would be sent raw into a request line:
// the list is refused, and the log shows the character visibly.
TEST_F(DirectoryTest, PathWithControlCharacterRefusesTheList)
{
    ChildResult r = run_in_child([&] {
        std::string p = dir_file("FILE 0 0 0 1 1 abc Z/ok\nFILE 0 0 0 1 1 abc Z/a\x01"
                                 "b\x7f\n");
        int got = read_directory(p, "t");
        std::printf("result %d files %zu\n", got, sim_info.size());
        xer.flush();
    });
    EXPECT_TRUE(r.exited());
    EXPECT_EQ(r.out, "result " + std::to_string(kDirBadFormat) + " files 0\n");
    EXPECT_NE(log_text().find("refusing it for the unsafe path 'Z/a\\x01b\\x7F'.\n"),
              std::string::npos)
        << log_text();
}

TEST_F(DirectoryTest, PlatformRuleAndLocalPath)
{
    struct {
        int os, target, want;
    } cases[] = {{0, 3, 1}, {1, 1, 1}, {1, 3, 0}, {2, 2, 1}, {3, 3, 1},
                 {3, 2, 0}, {4, 3, 0}, {5, 1, 0}, {6, 3, 1}, {6, 1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(os_wanted(c.os, c.target), c.want) << c.os << c.target;
    std::string p = "top/Resources/a";
    trim_dest_folder(p);
    EXPECT_EQ(p, "Resources/a");
    p = "plain";
    trim_dest_folder(p);
    EXPECT_EQ(p, "plain");
    EXPECT_EQ(local_path_of("top/x/y"), dest + "x/y");
}

// What the progress box was asked to show.
struct ProgressCall {
    float lo, value, hi;
    int mode;
    std::string title, detail;
};
std::vector<ProgressCall>& progress_calls()
{
    static std::vector<ProgressCall> calls;
    return calls;
}
void record_progress(float lo, float value, float hi, int mode, std::string title,
                     std::string detail)
{
    progress_calls().push_back({lo, value, hi, mode, title, detail});
}

TEST_F(DirectoryTest, ProgressBoxWhileReadingAndScanning)
{
    engine_windows_struct windows = engine_windows;
    windows.progress = record_progress;
    engine_set_windows_hook(windows);
    struct {
        int files, read_calls, scan_calls, scan_step;
    } cases[] = {{1000, 2, 200, 5}, {150, 0, 150, 1}};
    for (const auto& c : cases) {
        progress_calls().clear();
        std::string body = "DIR Z/d/\n";
        for (int i = 0; i < c.files; ++i)
            body += "FILE 0 0 0 1 1 " + md5_text("x") + " f" + std::to_string(i) + "\n";
        std::string p = dir_file(body);
        EXPECT_EQ(read_directory(p, "the title"), kDirReady);
        int read_calls = 0, scan_calls = 0;
        float last_value = -1;
        for (const ProgressCall& k : progress_calls()) {
            EXPECT_EQ(k.title, "the title");
            if (k.mode == 0) {
                // Bytes of the list read so far, out of its size.
                ++read_calls;
                EXPECT_GT(k.value, last_value);
                EXPECT_LE(k.value, k.hi);
                EXPECT_EQ(k.hi, static_cast<float>(TempDir::read(p).size()));
                last_value = k.value;
            } else {
                ASSERT_EQ(k.mode, 1);
                EXPECT_EQ(k.value, static_cast<float>(scan_calls * c.scan_step));
                EXPECT_EQ(k.hi, static_cast<float>(c.files));
                EXPECT_EQ(k.detail, dest + "d/f" + std::to_string(scan_calls * c.scan_step));
                ++scan_calls;
            }
        }
        // The read counter runs on over scans: 1000 lines hold exactly two
        // multiples of 500 wherever it stands; 150 lines at most one.
        if (c.files == 1000)
            EXPECT_EQ(read_calls, c.read_calls);
        else
            EXPECT_LE(read_calls, 1);
        EXPECT_EQ(scan_calls, c.scan_calls);
    }
}

} // namespace
