#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "Files/case_desens.h"
#include "support/temp_dir.h"

namespace
{
std::string repaired(const std::string& in)
{
    std::vector<char> buf(in.begin(), in.end());
    buf.push_back('\0');
    findPath(buf.data());
    return std::string(buf.data());
}
} // namespace

TEST(FindPath, Table)
{
    TempDir t;
    t.mkdir("Alpha");
    t.mkdir("Alpha/Beta");
    t.write("Alpha/Beta/file.TXT");
    t.mkdir("Data");
    t.mkdir("data");
    t.write("data/x");
    struct Case {
        const char* rel;
        const char* want;
    } cases[] = {
        {"Alpha/Beta/file.TXT", "Alpha/Beta/file.TXT"}, // exists: unchanged
        {"alpha/BETA/FILE.txt", "Alpha/Beta/file.TXT"},
        {"alpha/beta/", "Alpha/Beta/"},
        {"ALPHA/nothing/beta", "Alpha/nothing/beta"},             // stops at the first miss
        {"alpha/beta/file.TXT/more", "Alpha/Beta/file.TXT/more"}, // a file is no folder
        {"zzz/alpha", "zzz/alpha"},
        {"alpha//beta", "Alpha//beta"}, // an empty component matches nothing
        // Both "Data" and "data" exist: the exact spelling wins whichever the
        // listing returns first.
        {"Data/missing", "Data/missing"},
        {"data/missing", "data/missing"},
        {"data/X", "data/x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(repaired(t / c.rel), t / c.want) << c.rel;

    // Only the two spellings on disk are possible for a third one.
    const std::string any = repaired(t / "DATA/missing");
    EXPECT_TRUE(any == t / "Data/missing" || any == t / "data/missing") << any;
}

TEST(FindPath, RelativeAndRootComponents)
{
    TempDir t;
    t.mkdir("Sub");
    t.write("Sub/Name.dat");
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(t.path().c_str()), 0);
    const std::string rel = repaired("sub/name.DAT");
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(rel, "Sub/Name.dat");

    // The first component of an absolute path is looked up in "/".
    const std::string root_dir = t.path().substr(0, t.path().find('/', 1));
    std::string upper = root_dir;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (upper != root_dir && !TempDir::exists(upper)) {
        const std::string rest = t.path().substr(root_dir.size());
        EXPECT_EQ(repaired(upper + rest + "sub/x"), root_dir + rest + "Sub/x");
    }
}

TEST(FindPath, EmptyAndRootPathsUnchanged)
{
    EXPECT_EQ(repaired(""), "");
    EXPECT_EQ(repaired("/"), "/");
    EXPECT_EQ(repaired("/no-such-top-level-zudezud/x"), "/no-such-top-level-zudezud/x");
}

// Inside a memo a folder is listed once: a file added later is not seen
// until the folder is forgotten; after the memo every call lists afresh.
TEST(FindPath, MemoKeepsListingsUntilForgotten)
{
    TempDir t;
    t.mkdir("Dir");
    {
        folder_memo memo;
        EXPECT_EQ(repaired(t / "dir/file.txt"), t / "Dir/file.txt");
        t.write("Dir/File.TXT");
        EXPECT_EQ(repaired(t / "dir/file.txt"), t / "Dir/file.txt");
        folder_memo_forget(t / "Dir/"); // either spelling of the folder name
        EXPECT_EQ(repaired(t / "dir/file.txt"), t / "Dir/File.TXT");
        t.write("Dir/other.TXT");
        {
            folder_memo inner;
        }
        EXPECT_EQ(repaired(t / "Dir/OTHER.txt"), t / "Dir/OTHER.txt"); // still the outer memo
    }
    EXPECT_EQ(repaired(t / "Dir/OTHER.txt"), t / "Dir/other.TXT");
    ASSERT_NE(folder_names(t.path()), nullptr);
    EXPECT_EQ(folder_names(t / "missing"), nullptr);
}
