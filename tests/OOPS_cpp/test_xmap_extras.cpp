// The mapped-file reader's one-call open for either direction, byte-swapped
// word reads, the line report, and the empty preferences hook.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/pref.h"
#include "OOPS_cpp/xmap.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

TEST(XmapExtras, OpenForReading)
{
    TempDir dir;
    dir.write("t.txt", "I\n5 version\nbody\n");
    dir.write("b.dat", std::string("i\x07\0\0\0rest", 9));
    int text_versions[] = {4, 5, 0};
    int other_versions[] = {6, 0};
    int binary_versions[] = {7, 0};

    xmap_class m;
    m.io_dir = 9;
    EXPECT_EQ(m.io_file_open(kXmapRead, dir / "t.txt", text_versions, kFileText), 1);
    EXPECT_EQ(m.io_dir, kXmapRead);
    EXPECT_EQ(std::string(m.cursor, m.end), "body\n");
    // An unknown version: 0, but the file stays mapped.
    EXPECT_EQ(m.io_file_open(kXmapRead, dir / "t.txt", other_versions, kFileText), 0);
    EXPECT_NE(m.start, nullptr);
    EXPECT_EQ(m.io_file_open(kXmapRead, dir / "b.dat", binary_versions, kFileBinary), 1);
    EXPECT_EQ(std::string(m.cursor, m.end), "rest");
    EXPECT_EQ(m.io_file_open(kXmapRead, dir / "missing", text_versions, kFileText), 0);
    EXPECT_EQ(m.start, nullptr);
    m.io_file_close(); // reading: nothing to close
    EXPECT_FALSE(ouf.is_open());
}

TEST(XmapExtras, OpenForWritingUsesTheFirstVersion)
{
    TempDir dir;
    int versions[] = {7, 9, 0};
    xmap_class text, binary;
    ASSERT_EQ(text.io_file_open(kXmapWrite, dir / "t.txt", versions, kFileText), 1);
    EXPECT_EQ(text.io_dir, kXmapWrite);
    ouf << "line\n";
    text.io_file_close();
    EXPECT_FALSE(ouf.is_open());
    EXPECT_EQ(TempDir::read(dir / "t.txt"), "I\n7 version\nline\n");

    ASSERT_EQ(binary.io_file_open(kXmapWrite, dir / "b.dat", versions, kFileBinary), 1);
    ouf << "x";
    // Another direction does nothing, and its close leaves ouf alone.
    xmap_class other;
    EXPECT_EQ(other.io_file_open(2, dir / "o.txt", versions, kFileText), 0);
    EXPECT_EQ(other.io_dir, 2);
    other.io_file_close();
    EXPECT_TRUE(ouf.is_open());
    EXPECT_FALSE(TempDir::exists(dir / "o.txt"));
    binary.io_file_close();
    EXPECT_EQ(TempDir::read(dir / "b.dat"), std::string("i\x07\0\0\0x", 6));
}

TEST(XmapExtras, ReadNRevSwapsWholeWords)
{
    struct Case {
        int swap;
        long len;
        std::string want;
    } cases[] = {
        {0, 6, "ABCDEF"}, {1, 6, "DCBAEF"},      {1, 8, "DCBAHGFE"},    {1, 3, "ABC"},
        {1, 0, ""},       {1, 10, "DCBAHGFEIJ"}, {0, 10, "ABCDEFGHIJ"},
    };
    TempDir dir;
    dir.write("d", "ABCDEFGHIJ");
    for (const Case& c : cases) {
        xmap_class m(dir / "d");
        m.swap = c.swap;
        std::string out(12, '.');
        m.read_n_rev((long)&out[0], c.len);
        EXPECT_EQ(out, c.want + std::string(12 - c.want.size(), '.')) << c.swap << " " << c.len;
        EXPECT_EQ(m.cursor, m.start + c.len);
    }
    // Reads continue from the cursor; the last one ends exactly at the end.
    xmap_class m(dir / "d");
    m.swap = 1;
    char a[4], b[6];
    m.read_n_rev((long)a, 4);
    m.read_n_rev((long)b, 6);
    EXPECT_EQ(std::string(b, 6), "HGFEIJ");
    EXPECT_EQ(m.cursor, m.end);
}

TEST(XmapExtras, ReadNRevOutsideTheDataIsFatal)
{
    TempCwd cwd;
    TempDir dir;
    dir.write("d", "ABCDEFGHIJ");
    struct Case {
        const char* file; // null: a reader with nothing mapped
        long skip, len;
    } cases[] = {
        {"d", 0, 11},       {"d", 4, 7},        {"d", 0, -1},
        {"d", 5, LONG_MIN}, {"d", 2, LONG_MAX}, {nullptr, 0, 1},
    };
    for (const Case& c : cases) {
        ChildResult r = run_in_child([&] {
            xmap_class m(c.file ? dir / c.file : std::string());
            m.cursor += c.skip;
            char sink[16] = {};
            m.read_n_rev((long)sink, c.len);
            std::printf("read on");
        });
        EXPECT_TRUE(r.aborted()) << c.skip << " " << c.len;
        EXPECT_NE(r.out.find("Invalid read_n_rev read!"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("read on"), std::string::npos);
    }
    // A reader with nothing mapped takes a read of nothing.
    xmap_class none;
    none.read_n_rev(0, 0);
    EXPECT_EQ(none.cursor, nullptr);
}

TEST(XmapExtras, LineReportNumbersAnyLineEnds)
{
    struct Case {
        std::string data;
        size_t at;
        std::string want;
    } cases[] = {
        {"one\r\ntwo\r\nthree", 5, "2 \"two\"\n"},
        {"one\ntwo\nthree", 4, "2 \"two\"\n"},
        {"one\rtwo\rthree", 4, "2 \"two\"\n"},
        {"one\ntwo\nthree", 0, "1 \"one\"\n"},
        {"one\ntwo\nthree", 10, "3 \"three\"\n"},
        {"one\ntwo\nthree", 13, "3 \"three\"\n"},
        {"one\ntwo", 3, "1 \"one\"\n"},
        {"one\n\nthree", 4, "2 \"\"\n"},
        {"a\r\nb\nc", 5, "3 \"c\"\n"},
        {"", 0, "1 \"\"\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("t", c.data);
        ASSERT_TRUE(open_log_in(dir));
        xmap_class m(dir / "t");
        m.cursor = m.start + c.at;
        m.TXT_xer_line();
        EXPECT_EQ(read_log_in(dir), c.want) << c.at;
        close_log();
    }
}

TEST(PrefExtras, IOStaDoesNothing)
{
    TempDir dir;
    pref_class p;
    EXPECT_EQ(p.IO_sta(kPrefSetInstaller, kPrefWrite, dir / "x"), 0);
    EXPECT_FALSE(TempDir::exists(dir / "x"));
}

} // namespace
