#include "engine_fixture.h"

#include <sys/stat.h>

namespace
{

using UtilsTest = EngineTest;

TEST_F(UtilsTest, DefaultDestination)
{
    struct {
        const char* home;
        const char* want;
    } cases[] = {
        {"/home/user/", "/Zudezud/"},
        {"/a/b/c/d/e/f/g/h/i/j/k/l/", "/a/b/Zudezud/"},
        {"/", "/Zudezud/"},
        {"", "Zudezud/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(default_dest_path(c.home), c.want) << c.home;
}

TEST_F(UtilsTest, SystemFolders)
{
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", tmp.path().substr(0, tmp.path().size() - 1).c_str(), 1);
    std::string out;
    get_OS_abs_path(kOsDirDefaultApps, out);
    EXPECT_EQ(out, tmp.path());
    get_OS_abs_path(kOsDirTemp, out);
    EXPECT_EQ(out, "/tmp/");
    get_OS_abs_path(kOsDirPrefs, out);
    EXPECT_EQ(out, tmp / ".zudezud/");
    EXPECT_TRUE(TempDir::exists(tmp / ".zudezud"));
    unsetenv("HOME");
    out = "kept";
    get_OS_abs_path(kOsDirDesktop, out);
    get_OS_abs_path(9, out);
    EXPECT_EQ(out, "kept");
    setenv("HOME", old_home.c_str(), 1);
}

TEST_F(UtilsTest, PathIsToASim)
{
    EXPECT_EQ(path_is_to_a_sim(), 0);
    for (const char* d : {"Airfoils", "Instructions", "Output"})
        tmp.mkdir(std::string("dest/") + d);
    put("Resources", "a file does not count");
    EXPECT_EQ(path_is_to_a_sim(), 0);
    ::unlink((dest + "Resources").c_str());
    tmp.mkdir("dest/Old Resources");
    EXPECT_EQ(path_is_to_a_sim(), 1);
}

TEST_F(UtilsTest, PickDestination)
{
    EXPECT_EQ(pick_dest_path(), 0); // cancelled
    EXPECT_EQ(dest_dir_path, dest);
    scripted().picked = tmp / "elsewhere/";
    EXPECT_EQ(pick_dest_path(), 1);
    EXPECT_EQ(dest_dir_path, tmp / "elsewhere/Zudezud/");
    // A folder answered without its final '/' gets one, before it is listed.
    scripted().picked = tmp / "elsewhere";
    EXPECT_EQ(pick_dest_path(), 1);
    EXPECT_EQ(dest_dir_path, tmp / "elsewhere/Zudezud/");
    for (const char* d : {"sim", "sim/Airfoils", "sim/Instructions", "sim/Output", "sim/Resources"})
        tmp.mkdir(d);
    scripted().picked = tmp / "sim";
    EXPECT_EQ(pick_dest_path(), 1);
    EXPECT_EQ(dest_dir_path, tmp / "sim/");
}

TEST_F(UtilsTest, PathArgument)
{
    struct {
        std::vector<const char*> args;
        int taken;
        const char* want;
    } cases[] = {
        {{"prog", "-path", "/data/sim/"}, 1, "/data/sim/"},
        {{"prog", "-path", "/data/sim"}, 1, "/data/sim/"},
        {{"prog", "-path"}, 0, nullptr},
        {{"prog", "-pathx", "/x/"}, 0, nullptr},
        {{"prog", "--path", "/x/"}, 0, nullptr},
        {{"prog", "/x/", "-path"}, 0, nullptr},
    };
    for (const auto& c : cases) {
        dest_dir_path = "/before/";
        std::vector<char*> argv;
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(take_path_argument(static_cast<int>(argv.size()), argv.data()), c.taken);
        EXPECT_EQ(dest_dir_path, c.want ? c.want : "/before/");
    }
}

TEST_F(UtilsTest, PrivateTemporaryFolder)
{
    ASSERT_EQ(make_private_temp(tmp.path()), 0);
    std::string made = temp_path;
    ASSERT_EQ(made.rfind(tmp.path(), 0), 0u);
    ASSERT_EQ(made.back(), '/');
    struct stat st;
    ASSERT_EQ(stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // What the installer leaves there goes with it; a link is removed, not followed.
    std::ofstream(made + "serverlist.txt") << "x";
    tmp.write("outside.txt", "keep");
    ::mkdir((made + "sub").c_str(), 0755);
    ::symlink((tmp / "outside.txt").c_str(), (made + "sub/link").c_str());
    remove_private_temp();
    EXPECT_FALSE(TempDir::exists(made));
    EXPECT_EQ(TempDir::read(tmp / "outside.txt"), "keep");
    EXPECT_TRUE(temp_path.empty());
    EXPECT_NE(make_private_temp(tmp / "no/such/"), 0);
}

} // namespace
