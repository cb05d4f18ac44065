#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Files/folder_list.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "support/alert_probe.h"
#include "support/cmnd_fixture.h"
#include "support/temp_dir.h"

namespace
{

struct Listing {
    int count;
    std::vector<std::string> names;
    std::vector<int> kinds;
};

Listing list(const std::string& folder, int type)
{
    Listing l;
    l.names = {"stale"};
    l.kinds = {99};
    l.count = opensave_getitems(folder, type, l.names, l.kinds);
    return l;
}

// The spellings of name in a folder, in the order the system lists them.
void system_order(const std::string& folder, const char* name, std::vector<std::string>& out)
{
    DIR* d = opendir(folder.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
        if (strcasecmp(e->d_name, name) == 0) out.push_back(e->d_name);
    closedir(d);
}

} // namespace

TEST(OpensaveGetitems, SortsWithoutRegardToCase)
{
    TempDir t;
    for (const char* n : {"b", "A", "c", "ab", "a_", "abc"})
        t.write(n);
    const Listing l = list(t.path(), kListAll);
    EXPECT_EQ(l.count, 6);
    // A proper prefix sorts first; '_' (0x5f) sorts before 'b' after tolower.
    EXPECT_EQ(l.names, (std::vector<std::string>{"A", "a_", "ab", "abc", "b", "c"}));
    EXPECT_EQ(l.kinds, std::vector<int>(6, kItemFile));
}

TEST(OpensaveGetitems, NamesEqualButForCaseKeepListingOrder)
{
    TempDir t;
    const std::vector<std::string> same = {"readme", "README", "ReadMe", "rEADME", "Readme"};
    for (const std::string& n : same)
        t.write(n);
    t.write("a");
    t.write("z");

    // The order the system lists them in.
    std::vector<std::string> listed;
    ASSERT_NO_FATAL_FAILURE(system_order(t.path(), "readme", listed));

    std::vector<std::string> want = {"a"};
    want.insert(want.end(), listed.begin(), listed.end());
    want.push_back("z");
    EXPECT_EQ(list(t.path(), kListAll).names, want);
}

TEST(OpensaveGetitems, ManySpellingsOfOneNameKeepListingOrder)
{
    // All sixteen spellings of "abcd", with names that sort before and after
    // them scattered through the listing: a sort that moves a smaller name
    // forward by swapping it with an equal one would mix the spellings.
    TempDir t;
    std::vector<std::string> before, after;
    for (int i = 0; i < 10; i++) {
        before.push_back("a" + std::to_string(i));
        after.push_back("b" + std::to_string(i));
    }
    for (int mask = 0; mask < 16; mask++) {
        std::string n = "abcd";
        for (int i = 0; i < 4; i++)
            if (mask & (1 << i)) n[i] = static_cast<char>(toupper(n[i]));
        t.write(n);
    }
    for (const std::string& n : before)
        t.write(n);
    for (const std::string& n : after)
        t.write(n);

    std::vector<std::string> listed;
    ASSERT_NO_FATAL_FAILURE(system_order(t.path(), "abcd", listed));
    ASSERT_EQ(listed.size(), 16u);

    std::vector<std::string> want = before;
    want.insert(want.end(), listed.begin(), listed.end());
    want.insert(want.end(), after.begin(), after.end());
    EXPECT_EQ(list(t.path(), kListAll).names, want);
}

TEST(OpensaveGetitems, KindsAndTypeFilters)
{
    TempDir t;
    t.write(".hidden");
    t.write("notes.txt");
    t.write("LOUD.TXT");
    t.write("Mixed.TxT");
    t.write("pic.png");
    t.write("pic-2.png");
    t.write("plane.acf");
    t.write("x");
    t.write("tx"); // shorter than an extension
    t.mkdir("folder");
    t.mkdir("book.txt"); // a folder with a known extension takes that kind
    t.mkdir(".git");
    ASSERT_EQ(symlink((t / "gone").c_str(), (t / "dangling").c_str()), 0);

    struct Case {
        int type;
        std::vector<std::string> names;
        std::vector<int> kinds;
    } cases[] = {
        {kListAll,
         {"book.txt", "folder", "LOUD.TXT", "Mixed.TxT", "notes.txt", "pic-2.png", "pic.png",
          "plane.acf", "tx", "x"},
         {kItemText, kItemFolder, kItemText, kItemText, kItemText, kItemImage, kItemImage,
          kItemAircraft, kItemFile, kItemFile}},
        {kListFolders, {"folder"}, {kItemFolder}},
        {kItemText,
         {"book.txt", "folder", "LOUD.TXT", "Mixed.TxT", "notes.txt"},
         {kItemText, kItemFolder, kItemText, kItemText, kItemText}},
        {kItemAircraft, {"folder", "plane.acf"}, {kItemFolder, kItemAircraft}},
        {kListPanelImages, {"folder", "pic.png"}, {kItemFolder, kItemImage}},
    };
    for (const Case& c : cases) {
        const Listing l = list(t.path(), c.type);
        EXPECT_EQ(l.count, static_cast<int>(c.names.size())) << "type " << c.type;
        EXPECT_EQ(l.names, c.names) << "type " << c.type;
        EXPECT_EQ(l.kinds, c.kinds) << "type " << c.type;
    }
}

TEST(OpensaveGetitems, PanelImagesLeftOutOfImageListing)
{
    TempDir t;
    t.mkdir("Resources");
    t.mkdir("Resources/bitmaps");
    t.mkdir("Resources/bitmaps/cockpit");
    t.mkdir("Resources/bitmaps/cockpit/-panels-");
    t.write("Resources/bitmaps/cockpit/-panels-/Panel.png");
    t.mkdir("Resources/bitmaps/cockpit/-panels-/sub");

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(t.path().c_str()), 0);
    const Listing images = list("Resources/bitmaps/cockpit/-panels-/", kListPanelImages);
    const Listing all = list("Resources/bitmaps/cockpit/-panels-/", kListAll);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(images.count, 0);
    EXPECT_EQ(all.names, (std::vector<std::string>{"Panel.png", "sub"}));
}

TEST(OpensaveGetitems, NothingListedWithoutTheDisk)
{
    const Listing none = list("no such folder", kListNothing);
    EXPECT_EQ(none.count, 0);
    EXPECT_TRUE(none.names.empty());
    EXPECT_TRUE(none.kinds.empty());
}

// Type 21 lists the levels of the global command table like folders.
TEST(OpensaveGetitems, CommandTableLevels)
{
    // Commands added for this test only, removed again at its end.
    struct Added {
        size_t before = cmnd.paths.size();
        explicit Added(const std::vector<std::string>& paths)
        {
            for (const std::string& p : paths)
                cmnd_append(cmnd, p);
        }
        ~Added()
        {
            cmnd.enum_names.resize(before);
            cmnd.paths.resize(before);
            cmnd.descriptions.resize(before);
            cmnd.types.resize(before);
        }
    } added({"t/b", "t/a/x", "t/B", "t/a/y", "t/c/", "t/B/z"});

    const struct {
        const char* folder;
        std::vector<std::string> names;
        std::vector<int> kinds;
    } cases[] = {
        {"", {"sim", "t"}, {kItemFolder, kItemFolder}},
        {"sim/", {"operation"}, {kItemFolder}},
        {"sim/operation/", {"none"}, {kItemFile}},
        {"si", {"m"}, {kItemFolder}},
        {"sim/operation/none", {}, {}},
        {"no such level/", {}, {}},
        // Byte order as the table gives it, not the case-blind order of
        // folders; "B" is a command and a level at once.
        {"t/",
         {"B", "B", "a", "b", "c"},
         {kItemFile, kItemFolder, kItemFolder, kItemFile, kItemFolder}},
        {"t/a/", {"x", "y"}, {kItemFile, kItemFile}},
    };
    for (const auto& k : cases) {
        const Listing l = list(k.folder, kListCommands);
        EXPECT_EQ(l.count, static_cast<int>(k.names.size())) << '"' << k.folder << '"';
        EXPECT_EQ(l.names, k.names) << '"' << k.folder << '"';
        EXPECT_EQ(l.kinds, k.kinds) << '"' << k.folder << '"';
    }
}

TEST(OpensaveGetitems, MissingFolderGivesEmptyLists)
{
    TempDir t;
    const Listing l = list(t / "missing/", kListAll);
    EXPECT_EQ(l.count, 0);
    EXPECT_TRUE(l.names.empty());
    EXPECT_TRUE(l.kinds.empty());
}

TEST(OpensaveGetitems, OneCharacterPathNeedsNoSlash)
{
    EXPECT_GT(list("/", kListFolders).count, 0);
    const Listing dot = list(".", kListAll); // no alert; "." + name rarely exists
    EXPECT_EQ(dot.count, static_cast<int>(dot.names.size()));
}

TEST(OpensaveGetitems, AppPathIsPrefixed)
{
    TempDir t;
    t.mkdir("inner");
    t.write("inner/f");
    const std::string saved = app_path;
    app_path = t.path();
    const Listing l = list("inner/", kListAll);
    app_path = saved;
    EXPECT_EQ(l.names, std::vector<std::string>{"f"});
}

TEST(OpensaveGetitems, PathWithoutSlashIsFatal)
{
    TempCwd cwd; // the alert leaves "MemoryLog.txt" behind
    const std::string folder = cwd.path() + "sub";
    const ChildResult r = run_in_child([&] {
        xer.open(cwd.path() + "Log.txt");
        std::vector<std::string> n;
        std::vector<int> k;
        opensave_getitems(folder, kListAll, n, k);
    });
    EXPECT_TRUE(r.aborted());
    for (const std::string& line :
         {std::string("Working path does not appear to be a directory!"),
          std::string("This is not consistent with my labelling practices!"),
          std::string("I need to end all paths with the directory indicator!"), folder})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    const std::string log = TempDir::read(cwd.path() + "Log.txt");
    EXPECT_NE(log.find("HLutils/Files/io_utils line 907"), std::string::npos) << log;
}

// The empty path is the base folder: with an empty app_path, the current one.
TEST(OpensaveGetitems, EmptyPathListsTheBaseFolder)
{
    TempCwd cwd;
    ASSERT_EQ(app_path, "");
    ASSERT_EQ(::mkdir("sub", 0755), 0);
    FILE* f = std::fopen("b.txt", "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const Listing l = list("", kListAll);
    EXPECT_EQ(l.names, (std::vector<std::string>{"b.txt", "sub"}));
    EXPECT_EQ(l.kinds, (std::vector<int>{kItemText, kItemFolder}));
}
