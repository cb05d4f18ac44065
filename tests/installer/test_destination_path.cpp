// Where the destination comes from: the default, -path and the picker.
#include "engine_fixture.h"

namespace
{

using DestinationPathTest = EngineTest;

TEST_F(DestinationPathTest, DefaultDestination)
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

TEST_F(DestinationPathTest, PathIsToASim)
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

TEST_F(DestinationPathTest, PickDestination)
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

TEST_F(DestinationPathTest, PathArgument)
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

} // namespace
