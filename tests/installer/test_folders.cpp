#include "engine_fixture.h"

#include <sys/stat.h>

namespace {

class FoldersTest : public EngineTest {
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
    for (const char* f : kFixedFolders) EXPECT_TRUE(is_dir(dest_dir_path + f)) << f;
    make_dirs();  // everything exists now: no alert
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
        } cases[] = {{0, 1, "n1"}, {1, 0, "n2"}, {1, 1, "../escaped"}, {1, 1, ".."},
                     {1, 1, "a/b"}, {1, 1, ""}};
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

}  // namespace
