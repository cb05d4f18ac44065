// The folders the installer gives the library.
#include "engine_fixture.h"

namespace
{

using AppHooksTest = EngineTest;

TEST_F(AppHooksTest, SystemFolders)
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

} // namespace
