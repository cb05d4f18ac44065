// Confinement of entry names and link targets, without an archive: the
// boundaries an archive can hardly carry (a NUL, the name buffer's last
// byte, the kernel's limit of links followed).
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "Files/io_zip.h"
#include "Files/zip_paths.h"
#include "support/temp_dir.h"

namespace
{

TEST(ZipPaths, EntryNames)
{
    using k = zip_name_kind;
    struct {
        std::string name;
        zip_name_kind kind;
        int want;
    } cases[] = {
        {"a", k::file, 0},
        {"a/b/", k::folder, 0},
        {"./f", k::file, 0},
        {"a//b", k::file, 0},
        {"...", k::file, 0},
        {"a/..b", k::file, 0},
        {"dir/.", k::folder, 0},
        {"dir/.", k::file, kErrZipBadName},
        {"a/../b", k::file, kErrZipUnsafeName}, // inside, but a later link could turn it
        {"../", k::folder, kErrZipUnsafeName},
        {"/", k::folder, kErrZipUnsafeName},
        {std::string("a\0b", 3), k::file, kErrZipBadName},
        {std::string(kZipNameBuf - 1, 'n'), k::file, 0},
        {std::string(kZipNameBuf, 'n'), k::file, kErrZipNameTooLong},
        {std::string(kZipNameBuf, '/'), k::folder, kErrZipNameTooLong}, // length comes first
    };
    for (const auto& c : cases)
        EXPECT_EQ(zip_check_entry_name(c.name, c.kind), c.want) << c.name.substr(0, 20);
}

TEST(ZipPaths, TargetFolderBelowTheRoot)
{
    struct {
        const char* folder;
        bool inside;
        std::vector<std::string> base;
    } cases[] = {
        {"/r/", true, {}},                // the root itself
        {"/r/a/b/", true, {"a", "b"}},    // two levels down
        {"/r/./a//b/", true, {"a", "b"}}, // "." and empty names are no folders
        {"/r/a/../b/", false, {}},        // never out and in again
        {"/rx/", false, {}},              // a name that only begins like the root
        {"/", false, {}},                 // above the root
    };
    for (const auto& c : cases) {
        zip_confinement where;
        EXPECT_EQ(zip_confine("/r/", c.folder, &where), c.inside) << c.folder;
        if (c.inside) {
            EXPECT_EQ(where.base, c.base) << c.folder;
        }
        EXPECT_EQ(where.root, "/r/") << c.folder;
    }
}

// Links on disk are followed as the kernel follows them: at most 40 in one
// path, so a loop ends refused instead of walking forever.
TEST(ZipPaths, LinksFollowedUpToTheKernelsLimit)
{
    TempDir dir;
    dir.mkdir("real");
    // n0 -> n1 -> ... -> n41 -> real
    const int kChain = 42;
    for (int i = 0; i < kChain; ++i) {
        const std::string next = i + 1 < kChain ? "n" + std::to_string(i + 1) : "real";
        ASSERT_EQ(symlink(next.c_str(), (dir / ("n" + std::to_string(i))).c_str()), 0);
    }
    ASSERT_EQ(symlink("loop_b", (dir / "loop_a").c_str()), 0);
    ASSERT_EQ(symlink("loop_a", (dir / "loop_b").c_str()), 0);
    zip_confinement where;
    ASSERT_TRUE(zip_confine(dir.path(), dir.path(), &where));

    struct {
        const char* what;
        std::string rel;
        int want;
    } names[] = {
        {"40 links", "n2/f", 0},
        {"41 links", "n1/f", kErrZipUnsafeName},
        {"a loop", "loop_a/f", kErrZipUnsafeName},
    };
    for (const auto& c : names) {
        std::string out;
        EXPECT_EQ(zip_safe_target(where, c.rel, &out), c.want) << c.what;
        if (c.want == 0) {
            EXPECT_EQ(out, dir / "real/f") << c.what;
        }
    }
    // A link target goes the same way, from the link's own folder.
    EXPECT_EQ(zip_check_link_target(where, dir / "l", "n2/f"), 0);
    EXPECT_EQ(zip_check_link_target(where, dir / "l", "n1/f"), kErrZipUnsafeName);
    EXPECT_EQ(zip_check_link_target(where, dir / "l", "loop_b"), kErrZipUnsafeName);
}

} // namespace
