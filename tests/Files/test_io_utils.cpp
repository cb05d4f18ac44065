#include <cerrno>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "support/temp_dir.h"

TEST(ErrorStr, TextsAsTheyStand)
{
    struct Case {
        int code;
        const char* want;
    } cases[] = {
        {20001, "We were unable to open a zip file. It may be missing or damaged"},
        {20007, "We were unable to connct to the network due to an internal reconnect error"},
        {20008, "We wre unable to connect to the network due to a bad state error"},
        {20011, "We could not find the server over the network"},
        {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
        {28, "No space left on device. Perhaps your hard drive is full"},
        {13, "Permission denied. Perhaps you do not have access to a directory or file system"},
        {1,
         "Operation not permitted. Perhaps you do not have access to a directory or file system"},
        {2, "No such file or directory"},
        {17, "File exists"},
        {39, "Directory not empty"},
        {19, "Operation not supported by device"},
        {30, "The destination file system is read-only"},
        {18, "Cross-device link"},
        // Codes without a row.
        {15, "Unknown error occurred (15)"},
        {-1, "Unknown error occurred (-1)"},
        {0, "Unknown error occurred (0)"},
        {20013, "Unknown error occurred (20013)"},
        {-102, "Unknown error occurred (-102)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(error_str(c.code), c.want) << c.code;
}

TEST(ErrorStr, TableShape)
{
    std::set<int> codes;
    int rows = 0;
    for (const err_msg_row* r = kErrMsgs; r->text != nullptr; r++, rows++) {
        EXPECT_TRUE(codes.insert(r->code).second) << "duplicate " << r->code;
        EXPECT_EQ(error_str(r->code), r->text);
    }
    EXPECT_EQ(rows, 50);
    EXPECT_EQ(kErrMsgs[0].code, 20001);
    EXPECT_EQ(kErrMsgs[49].code, 18);
    EXPECT_EQ(kErrMsgs[50].code, 0);
}

TEST(ErrorPolicy, WhichFailuresAreShown)
{
    for (int err : {0, 2, 13, 39})
        EXPECT_EQ(show_del_err(err), 0) << err;
    EXPECT_EQ(show_make_dir_err(0), 0);
    EXPECT_EQ(show_make_dir_err(EEXIST), 0);
    EXPECT_EQ(show_make_dir_err(ENOENT), 1);
    EXPECT_EQ(show_make_dir_err(EACCES), 1);
}

TEST(MakeFolder, TrailingSlashExistingAndMissingParent)
{
    TempDir t;
    EXPECT_EQ(make_folder(t / "one/"), 0);
    EXPECT_TRUE(TempDir::exists(t / "one"));
    EXPECT_EQ(make_folder(t / "one"), EEXIST);
    EXPECT_EQ(make_folder(t / "two//"), 0); // only one '/' is dropped; mkdir takes the other
    sErrFile = "";
    sErrLine = -1;
    EXPECT_EQ(make_folder(t / "missing/child/"), ENOENT); // one level only
    EXPECT_STREQ(sErrFile, "HLutils/Files/io_utils");
    EXPECT_GT(sErrLine, 0);
}

TEST(DeleteFile, FilesFoldersAndErrors)
{
    TempDir t;
    t.write("f.txt", "x");
    t.mkdir("empty");
    t.mkdir("full");
    t.write("full/inside", "y");
    ASSERT_EQ(symlink((t / "full").c_str(), (t / "link").c_str()), 0);

    EXPECT_EQ(delete_file(""), ENOENT);
    EXPECT_EQ(delete_file(t / "f.txt"), 0);
    EXPECT_FALSE(TempDir::exists(t / "f.txt"));
    EXPECT_EQ(delete_file(t / "f.txt"), ENOENT);
    EXPECT_EQ(delete_file(t / "empty/"), 0);
    EXPECT_FALSE(TempDir::exists(t / "empty"));
    EXPECT_EQ(delete_file(t / "full/"), ENOTEMPTY);
    EXPECT_EQ(TempDir::read(t / "full/inside"), "y"); // nothing lost
    EXPECT_EQ(delete_file(t / "link"), 0);            // the link goes, not its target
    EXPECT_FALSE(TempDir::exists(t / "link"));
    EXPECT_TRUE(TempDir::exists(t / "full/inside"));
}

TEST(DeleteFile, PrefixesAppPath)
{
    TempDir t;
    t.write("rel.txt");
    const std::string saved = app_path;
    app_path = t.path();
    const int r = delete_file("rel.txt");
    app_path = saved;
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(TempDir::exists(t / "rel.txt"));
}

TEST(RenameFile, ConcatenatesAndReplaces)
{
    TempDir t;
    t.write("a", "new");
    t.write("b", "old");
    EXPECT_EQ(rename_file(t.path(), "a", "b"), 0);
    EXPECT_FALSE(TempDir::exists(t / "a"));
    EXPECT_EQ(TempDir::read(t / "b"), "new");
    EXPECT_EQ(rename_file(t.path(), "a", "c"), ENOENT);

    // Without the trailing '/' the names are glued onto the last component.
    t.write("prea", "glued");
    const std::string no_slash = t.path().substr(0, t.path().size() - 1);
    EXPECT_EQ(rename_file(no_slash + "/pre", "a", "z"), 0);
    EXPECT_EQ(TempDir::read(t / "prez"), "glued");
}
