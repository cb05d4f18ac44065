#include "engine_fixture.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "Files/io_utils.h"
#include "support/xvfb.h"

namespace
{

class FoldersTest : public EngineTest
{
  protected:
    void add(const std::string& path, const std::string& sig = "s", int os = 0)
    {
        file_version_struct v;
        v.path = path;
        v.sig_want = sig;
        v.os = os;
        sim_info.push_back(file_history_struct{{v}});
    }
    static bool is_dir(const std::string& p)
    {
        struct stat st;
        return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
};

TEST_F(FoldersTest, MakesAncestorsReleaseFoldersAndFixedFolders)
{
    dest_dir_path = dest + "deep/er/Zudezud/";
    add("Z/readme.txt");
    add("Z/Resources/plugins/x.txt");
    add("Z/Gone/y.txt", "GONE");
    add("Z/MacOnly/z", "s", 1);
    AlertProbe probe;
    make_dirs();
    EXPECT_TRUE(is_dir(dest_dir_path + "Resources/plugins"));
    EXPECT_FALSE(is_dir(dest_dir_path + "Gone"));
    EXPECT_FALSE(is_dir(dest_dir_path + "MacOnly"));
    for (const char* f : kFixedFolders)
        EXPECT_TRUE(is_dir(dest_dir_path + f)) << f;
    make_dirs(); // everything exists now: no alert
    EXPECT_EQ(probe.count(), 0u);
}

TEST_F(FoldersTest, ReportsFolderErrors)
{
    put("blocker", "a file where a folder should go");
    dest_dir_path = dest + "blocker/Zudezud/";
    AlertProbe probe;
    make_dirs();
    ASSERT_GE(probe.count(), 1u);
    AlertRecord a = probe.records()[0];
    EXPECT_EQ(a.lines[2], "Install Location: " + dest_dir_path);
    EXPECT_EQ(a.lines[3], "Install Path:" + dest + "blocker/Zudezud");
    EXPECT_EQ(a.source_line, 177);
}

// A destination that cannot be made or written: one alert naming the first
// folder that failed and why, nothing more made, and the installation does
// not start (no licence).
TEST_F(FoldersTest, UnusableDestinationGivesOneAlertAndNothingMore)
{
    put("blocker", "a file where a folder should go");
    ::mkdir((dest + "ro").c_str(), 0755);
    struct {
        std::string dest, failing;
        int code;
        bool read_only_mount; // dest/ro is a read-only file system
    } cases[] = {
        {dest + "blocker/Zudezud/", dest + "blocker/Zudezud", ENOTDIR, false},
        {dest + "blocker/", dest + "blocker", ENOTDIR, false},
        {dest + "ro/Zudezud/", dest + "ro/Zudezud", EROFS, true},
        {dest + "ro/", dest + "ro", EROFS, true},
    };
    add("Z/Resources/plugins/x.txt");
    for (const auto& c : cases) {
        // Each case in a child, where a read-only mount stays private.
        ChildResult r = run_in_child([&] {
            if (c.read_only_mount &&
                (::unshare(CLONE_NEWNS) != 0 ||
                 ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                 ::mount("tmpfs", (dest + "ro").c_str(), "tmpfs", MS_RDONLY, nullptr) != 0))
                _exit(77);
            dest_dir_path = c.dest;
            scripted() = ScriptedWindows();
            AlertProbe probe;
            stg.dir_state = kDirReady;
            install_flow();
            const bool ok = probe.count() == 1 &&
                            probe.last().lines[1] == "Error: " + error_str(c.code) &&
                            probe.last().lines[3] == "Install Path:" + c.failing &&
                            scripted().eula_calls == 0 && stg.install_state == kInstallIdle;
            _exit(ok ? 0 : 1);
        });
        if (r.exit_code == 77) {
            std::cout << "no private read-only mount here: " << c.dest << " not tried\n";
            continue;
        }
        EXPECT_EQ(r.exit_code, 0) << c.dest << "\n" << r.out << r.err;
    }
    EXPECT_FALSE(is_dir(dest + "Output"));
}

// The default destination for a user who is not root: "/" takes no new
// folder from them.
TEST_F(FoldersTest, NotRootAtTheRootGivesPermissionDenied)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    const std::string target = "/zudezud-test-" + std::to_string(::getpid()) + "/";
    ChildResult r = run_in_child([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(3);
        dest_dir_path = target;
        AlertProbe probe;
        const int code = make_dirs();
        _exit(code == EACCES && probe.count() == 1 ? 0 : 4);
    });
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_FALSE(is_dir(target));
}

// Release folders that cannot be made: one alert with the first failure and
// how many more, the others are made, and the installation stops before the
// licence, as for the destination itself.
TEST_F(FoldersTest, FailingReleaseFoldersAreCountedInOneAlertAndStopTheInstallation)
{
    dest_dir_path = dest + "Zudezud/";
    put("Zudezud/Resources", "a file where the folder should go");
    add("Z/Resources/plugins/x.txt");
    add("Z/Resources/scenery/y.txt");
    add("Z/Docs/z.txt");
    AlertProbe probe;
    stg.dir_state = kDirReady;
    install_flow();
    ASSERT_EQ(probe.count(), 1u);
    // Resources, its two release folders and Resources/preferences fail.
    EXPECT_EQ(probe.last().lines[3], "Install Path:" + dest_dir_path +
                                         "Resources (and 3 more folders that could not be made)");
    EXPECT_EQ(probe.last().lines[1], "Error: " + error_str(ENOTDIR));
    EXPECT_EQ(scripted().eula_calls, 0);
    EXPECT_EQ(stg.install_state, kInstallIdle);
    EXPECT_TRUE(is_dir(dest_dir_path + "Docs"));
    EXPECT_TRUE(is_dir(dest_dir_path + "Output/situations"));
}

TEST_F(FoldersTest, RenameToReleaseName)
{
    dest_dir_path = dest + "Zudezud/";
    ::mkdir(dest_dir_path.c_str(), 0755);
    this_install_has_exes = 1;
    install_name = "9.00r1";
    finish_installation();
    EXPECT_EQ(dest_dir_path, dest + "9.00r1/");
    EXPECT_TRUE(is_dir(dest + "9.00r1"));

    {
        // Not renamed without program files, with the preference off, or to
        // a name that is not a single folder name.
        struct {
            int exes, pref;
            std::string name;
        } cases[] = {{0, 1, "n1"}, {1, 0, "n2"},  {1, 1, "../escaped"},
                     {1, 1, ".."}, {1, 1, "a/b"}, {1, 1, ""}};
        for (const auto& c : cases) {
            dest_dir_path = dest + "9.00r1/";
            this_install_has_exes = c.exes;
            stg._rename_folder = c.pref;
            install_name = c.name;
            finish_installation();
            EXPECT_EQ(dest_dir_path, dest + "9.00r1/") << c.name;
        }
    }
    EXPECT_FALSE(is_dir(dest + "escaped"));
    EXPECT_FALSE(is_dir(tmp / "escaped"));
}

TEST_F(FoldersTest, RenameOntoNonEmptyFolderFailsQuietly)
{
    dest_dir_path = dest + "Zudezud/";
    ::mkdir(dest_dir_path.c_str(), 0755);
    put("9.00r1/x", "taken");
    this_install_has_exes = 1;
    install_name = "9.00r1";
    AlertProbe probe;
    finish_installation();
    EXPECT_EQ(dest_dir_path, dest + "Zudezud/");
    EXPECT_EQ(probe.count(), 0u);
}

TEST_F(FoldersTest, NonEmptyFoldersStay)
{
    put("a/keep", "k");
    deleted_files = {dest + "a/", dest + "b/"};
    ::mkdir((dest + "b").c_str(), 0755);
    finish_installation();
    EXPECT_TRUE(is_dir(dest + "a"));
    EXPECT_FALSE(is_dir(dest + "b"));
}

} // namespace
