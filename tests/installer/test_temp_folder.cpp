// The private temporary folder.
#include "engine_fixture.h"

#include <sys/stat.h>

namespace
{

using TempFolderTest = EngineTest;

TEST_F(TempFolderTest, PrivateTemporaryFolder)
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
