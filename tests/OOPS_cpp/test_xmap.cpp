// Mapped-file reader, versioned headers and ouf_open.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

struct HeaderCase {
    const char* what;
    std::string data;
    std::vector<int> versions; // without the terminating 0
    const char* type_word;
    int want;              // result of check_file
    const char* want_rest; // expected rest, or null when not checked
    const char* body;      // text expected at the cursor, or null
};

int check(const TempDir& dir, const HeaderCase& c, int mode, std::string* rest, std::string* at)
{
    dir.write("f", c.data);
    xmap_class m(dir / "f");
    EXPECT_NE(m.start, nullptr) << c.what;
    std::vector<int> v = c.versions;
    v.push_back(0);
    int got = m.check_file(mode, v.data(), c.type_word, rest);
    *at = std::string(m.cursor, (size_t)(m.end - m.cursor));
    return got;
}

TEST(Xmap, TextHeaders)
{
    const std::string bom = "\xEF\xBB\xBF";
    const HeaderCase cases[] = {
        {"plain", "I\n9001 version\n_key 1\n", {9001}, nullptr, 9001, "version", "_key 1\n"},
        {"A means I", "A\n9001 version\nbody", {9001}, nullptr, 9001, "version", "body"},
        {"rest of line 1 ignored",
         "Ifoo bar\n9001 version\nbody",
         {9001},
         nullptr,
         9001,
         "version",
         "body"},
        {"blank lines and blanks",
         "I\n\n\n  9001 version\n\n  body",
         {9001},
         nullptr,
         9001,
         "version",
         "body"},
        {"number only", "I\n9001\nbody", {9001}, nullptr, 9001, "", "body"},
        {"notice kept in rest",
         "I\n820 version (c) Maker\nx",
         {820},
         nullptr,
         820,
         "version (c) Maker",
         "x"},
        {"CR LF and NUL line ends",
         std::string("I\r\n840 version\r\n\0x", 18),
         {840},
         nullptr,
         840,
         "version",
         "x"},
        {"second of two versions", "I\n900 version\nx", {840, 900}, nullptr, 900, nullptr, "x"},
        {"blank first line", "\nI\n9001 version\n", {9001}, nullptr, 0, nullptr, nullptr},
        {"byte-order mark", bom + "I\n9001 version\n", {9001}, nullptr, 0, nullptr, nullptr},
        {"wrong letter", "X\n9001 version\n", {9001}, nullptr, 0, nullptr, nullptr},
        {"lower-case a is binary only", "a\n9001 version\n", {9001}, nullptr, 0, nullptr, nullptr},
        {"lower-case i is binary only", "i\n9001 version\n", {9001}, nullptr, 0, nullptr, nullptr},
        {"letter O in number", "I\n90O1 version\n", {9001}, nullptr, 0, nullptr, nullptr},
        {"other version, rest still set",
         "I\n9002 version xyz\nbody",
         {9001},
         nullptr,
         0,
         "version xyz",
         "body"},
        {"empty list", "I\n9001 version\n", {}, nullptr, 0, nullptr, nullptr},
        {"type word",
         "I\n820 version\nSERVERS and more\n\nFINAL x",
         {820},
         "SERVERS",
         820,
         nullptr,
         "FINAL x"},
        {"type word at the very end",
         "I\n820 version\nSERVERS",
         {820},
         "SERVERS",
         820,
         nullptr,
         ""},
        {"longer word is not the type word",
         "I\n820 version\nSERVERSX\n",
         {820},
         "SERVERS",
         0,
         nullptr,
         "SERVERSX\n"},
        {"other type word",
         "I\n900 version\n  SERVERS\nx",
         {900},
         "INSTALLER",
         0,
         nullptr,
         "SERVERS\nx"},
        {"type word with CR LF",
         "I\r\n840 version\r\nINSTALLER extra\r\nDIR a",
         {840},
         "INSTALLER",
         840,
         nullptr,
         "DIR a"},
    };
    TempDir dir;
    for (const HeaderCase& c : cases) {
        std::string rest = "unset", at;
        int got = check(dir, c, kFileText, &rest, &at);
        EXPECT_EQ(got, c.want) << c.what;
        if (c.want_rest) {
            EXPECT_EQ(rest, c.want_rest) << c.what;
        }
        if (c.body) {
            EXPECT_EQ(at, c.body) << c.what;
        }
    }
}

TEST(Xmap, BinaryHeaders)
{
    const int v9001[] = {9001, 0};
    struct Case {
        const char* what;
        std::string data;
        int want;
        int want_swap;
        size_t left; // bytes after the cursor
    } cases[] = {
        {"swapped", std::string("a\x00\x00\x23\x29rest", 9), 9001, 1, 4},
        {"native", std::string("i\x29\x23\x00\x00rest", 9), 9001, 0, 4},
        {"native bytes of a swapped file", std::string("i\x00\x00\x23\x29", 5), 0, 0, 0},
        {"short version counts zeros", std::string("i\x29\x23", 3), 9001, 0, 0},
        {"bad letter", std::string("I\x29\x23\x00\x00", 5), 0, 0, 4},
        {"upper-case A is text only", std::string("A\x00\x00\x23\x29", 5), 0, 0, 4},
    };
    TempDir dir;
    for (const Case& c : cases) {
        dir.write("b", c.data);
        xmap_class m(dir / "b");
        EXPECT_EQ(m.check_file(kFileBinary, v9001, nullptr, nullptr), c.want) << c.what;
        EXPECT_EQ(m.swap, c.want_swap) << c.what;
        EXPECT_EQ((size_t)(m.end - m.cursor), c.left) << c.what;
    }
    // The swapped bytes read natively are a version of their own.
    dir.write("b", std::string("i\x00\x00\x23\x29", 5));
    xmap_class m(dir / "b");
    const int odd[] = {0x29230000, 0};
    EXPECT_EQ(m.check_file(kFileBinary, odd, nullptr, nullptr), 0x29230000);
    // A type word follows the version directly.
    dir.write("b", std::string("i\x29\x23\x00\x00WORD\nbody", 14));
    xmap_class t(dir / "b");
    EXPECT_EQ(t.check_file(kFileBinary, v9001, "WORD", nullptr), 9001);
    EXPECT_EQ(std::string(t.cursor, (size_t)(t.end - t.cursor)), "body");
}

TEST(Xmap, TextHeaderLeavesSwapAlone)
{
    TempDir dir;
    dir.write("b", std::string("a\x00\x00\x23\x29", 5));
    dir.write("t", "A\n9001 version\n");
    const int v[] = {9001, 0};
    xmap_class m(dir / "b");
    ASSERT_EQ(m.check_file(kFileBinary, v, nullptr, nullptr), 9001);
    ASSERT_EQ(m.swap, 1);
    ASSERT_NE(m.retry(dir / "t"), nullptr);
    EXPECT_EQ(m.check_file(kFileText, v, nullptr, nullptr), 9001);
    EXPECT_EQ(m.swap, 1);
}

// Only regular files are read: a folder or a pipe is "cannot be opened",
// silently, and a pipe without a writer does not block the reader.
TEST(Xmap, FoldersAndPipesDoNotOpen)
{
    TempCwd cwd;
    TempDir dir;
    dir.mkdir("folder");
    for (int i = 0; i < 200; ++i) // large enough for an indexed folder
        dir.write("folder/entry_with_a_long_name_" + std::to_string(i));
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const char* name : {"folder", "folder/", "pipe"}) {
        ChildResult r = run_in_child(
            [&] {
                AlertProbe probe;
                xmap_class m(dir / name);
                _exit(m.start == nullptr && m.fd == 0 && probe.count() == 0 ? 0 : 1);
            },
            20);
        ASSERT_TRUE(r.exited()) << name;
        EXPECT_EQ(r.exit_code, 0) << name;
    }
}

TEST(Xmap, EmptyMissingAndRetry)
{
    TempDir dir;
    dir.write("empty", "");
    dir.write("two", "I\n1 version\n");
    const int v1[] = {1, 0};

    xmap_class e(dir / "empty");
    ASSERT_NE(e.start, nullptr);
    EXPECT_EQ(e.start, e.end);
    EXPECT_EQ(e.cursor, e.start);
    EXPECT_EQ(e.check_file(kFileText, v1, nullptr, nullptr), 0);

    xmap_class none(dir / "missing");
    EXPECT_EQ(none.start, nullptr);
    EXPECT_EQ(none.fd, 0);
    EXPECT_EQ(none.check_file(kFileText, v1, nullptr, nullptr), 0);

    xmap_class blank;
    EXPECT_EQ(blank.start, nullptr);
    EXPECT_EQ(blank.retry(dir / "two"), blank.start);
    EXPECT_EQ(blank.check_file(kFileText, v1, nullptr, nullptr), 1);
    EXPECT_EQ(blank.retry(dir / "missing"), nullptr);
    EXPECT_EQ(blank.start, nullptr);
    EXPECT_EQ(blank.fd, 0);
}

TEST(Xmap, RepairsLetterCase)
{
    TempDir dir;
    dir.mkdir("Data");
    dir.write("Data/List.txt", "I\n5 version\n");
    xmap_class m(dir / "data/LIST.TXT");
    EXPECT_NE(m.start, nullptr);
}

TEST(Xmap, ScanInt)
{
    struct Case {
        std::string text;
        int want;
        std::string left;
    } cases[] = {
        {"123 x", 123, " x"},
        {"  42\n", 42, "\n"},
        {"-5", -5, ""},
        {"-+7", 7, ""},
        {"+7", 7, ""},
        {"-", 0, ""},
        {" \n7", 0, "\n7"},
        {"90O1", 9311, ""}, // every character counts as a digit
        {"2147483647", INT_MAX, ""},
        {"-2147483648", INT_MIN, ""},
        {"99999999999999999999999999 y", INT_MAX, " y"},
        {"-99999999999999999999999999", INT_MIN, ""},
        {"!!!!!!!!!!!!!!!!!!!!!!!!!!", INT_MIN, ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        dir.write("n", c.text);
        xmap_class m(dir / "n");
        EXPECT_EQ(m.scan_int(), c.want) << c.text;
        EXPECT_EQ(std::string(m.cursor, (size_t)(m.end - m.cursor)), c.left) << c.text;
    }
}

TEST(Xmap, WordsAndLines)
{
    TempDir dir;
    dir.write("w", "  FILE a b\tc\r\nnext");
    xmap_class m(dir / "w");
    EXPECT_FALSE(m.match_word("FIL"));
    EXPECT_EQ(m.cursor, m.start + 2);
    EXPECT_TRUE(m.match_word("FILE"));
    m.skip_blanks();
    EXPECT_EQ(m.scan_word(), "a");
    m.skip_blanks();
    EXPECT_EQ(m.scan_to_line_end(), "b\tc");
    m.skip_white();
    EXPECT_EQ(m.scan_word(), "next");
    EXPECT_TRUE(m.at_end());
}

struct OufCase {
    const char* what;
    int type;
    int version;
    std::string notice;
    std::string body;
    std::string want;
};

TEST(Xmap, OufOpenWritesExactHeaders)
{
    const OufCase cases[] = {
        {"text, no notice", kFileText, 9001, kNoNotice, "_k 1\n", "I\n9001 version\n_k 1\n"},
        {"text with notice", kFileText, 820, " (c) Maker", "", "I\n820 version (c) Maker\n"},
        {"binary", kFileBinary, 9001, kNoNotice, "", std::string("i\x29\x23\x00\x00", 5)},
    };
    TempDir dir;
    for (const OufCase& c : cases) {
        ASSERT_EQ(ouf_open(dir / "out", c.type, c.version, c.notice), 1) << c.what;
        ouf << c.body;
        ouf.close();
        EXPECT_EQ(TempDir::read(dir / "out"), c.want) << c.what;
    }
    // The text stream stays in fixed notation for the body.
    ASSERT_EQ(ouf_open(dir / "out", kFileText, 1, kNoNotice), 1);
    ouf << 1.5f;
    ouf.close();
    EXPECT_EQ(TempDir::read(dir / "out"), "I\n1 version\n1.500000");
}

TEST(Xmap, OufOpenLowersLastThreeLetters)
{
    TempDir dir;
    struct {
        const char* given;
        const char* written;
    } cases[] = {{"SETTINGS.PRF", "SETTINGS.prf"}, {"README", "REAdme"}, {"ab", "ab"}};
    for (auto& c : cases) {
        ASSERT_EQ(ouf_open(dir / c.given, kFileText, 1, kNoNotice), 1) << c.given;
        ouf.close();
        EXPECT_TRUE(TempDir::exists(dir / c.written)) << c.given;
    }
}

TEST(Xmap, OufOpenMakesOneFolderLevel)
{
    TempCwd cwd; // the alert writes MemoryLog.txt here
    TempDir dir;
    ASSERT_EQ(ouf_open(dir / "new/f.txt", kFileText, 7, kNoNotice), 1);
    ouf.close();
    EXPECT_EQ(TempDir::read(dir / "new/f.txt"), "I\n7 version\n");

    AlertProbe probe;
    EXPECT_EQ(ouf_open(dir / "a/b/f.txt", kFileText, 7, kNoNotice), 0);
    ASSERT_EQ(probe.count(), 1u);
    AlertRecord r = probe.last();
    EXPECT_EQ(r.kind, t_alert);
    EXPECT_EQ(r.lines[0].rfind("I could not save the file!", 0), 0u);
    EXPECT_EQ(r.lines[1], dir / "a/b/f.txt");
    EXPECT_FALSE(ouf.is_open());
    ouf << "lost";
    EXPECT_FALSE(ouf.good());
    ouf.clear();
}

TEST(Xmap, FatalPathAlerts)
{
    TempCwd cwd;
    TempDir dir;
    const std::string too_long = dir.path() + std::string(kMaxFilePath, 'x');
    const std::vector<std::string> bad = {dir / "a:b", dir / "a\\b", too_long};
    for (const std::string& p : bad) {
        ChildResult r = run_in_child([&] { xmap_class m(p); });
        EXPECT_TRUE(r.aborted()) << p;
    }
    ChildResult r = run_in_child([&] {
        dir.write("f", "x");
        xmap_class m(dir / "f");
        const int v[] = {1, 0};
        m.check_file(3, v, nullptr, nullptr);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("Bad check_file type!"), std::string::npos);
    r = run_in_child([&] { ouf_open(dir / "f", 5, 1, kNoNotice); });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("Bad ouf_open type!"), std::string::npos);
}

// A folder the user chose may hold ':' or '\\' (Linux allows both); the rule
// stays for the part of the path that follows it.
TEST(Xmap, UserFolderMayHoldAnyCharacter)
{
    TempCwd cwd;
    TempDir dir;
    dir.mkdir("games:2024");
    dir.mkdir("back\\slash");
    dir.write("games:2024/f", "colon");
    dir.write("back\\slash/f", "backslash");
    struct {
        std::string folder;
        const char* content;
    } ok[] = {{dir / "games:2024/", "colon"}, {dir / "back\\slash/", "backslash"}};
    for (const auto& c : ok) {
        ChildResult r = run_in_child([&] {
            xmap_class m(c.folder + "f", c.folder.size());
            if (m.start) std::printf("%.*s", (int)(m.end - m.start), m.start);
            xmap_class again;
            again.retry(c.folder + "f", c.folder.size());
            std::printf(" %d", again.start != nullptr);
        });
        EXPECT_TRUE(r.exited()) << c.folder;
        EXPECT_EQ(r.out, std::string(c.content) + " 1") << c.folder;
        // Past the user's part, the character is still fatal.
        r = run_in_child([&] { xmap_class m(c.folder + "x:y", c.folder.size()); });
        EXPECT_TRUE(r.aborted()) << c.folder;
        EXPECT_NE(r.out.find("I got a bad dirchar!"), std::string::npos);
        r = run_in_child([&] { xmap_class m(c.folder + "f", dir.path().size()); });
        EXPECT_TRUE(r.aborted()) << c.folder;
    }
}

} // namespace
