// Zip extraction: folders, modes, dates, links, damaged entries, and the
// refusal of entries that would write outside the target folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "GenH/hl_types.h"
#include "support/alert_probe.h"
#include "support/file_fixtures.h"
#include "support/temp_dir.h"

namespace
{

constexpr unsigned kRegular = 0100000;
constexpr unsigned kLink = 0120000;
constexpr unsigned kDir = 0040000;

struct Entry {
    std::string name;
    std::string data;
    unsigned mode = 0;                   // Unix mode for the upper half of the attributes; 0: none
    unsigned long low_attrs = 0;         // DOS attribute bits of the lower half
    tm_zip date = {8, 6, 5, 4, 2, 2021}; // 2021-03-04 05:06:08 (zip keeps even seconds)
    bool raw = false;                    // stored as given, with the size and crc below
    unsigned long raw_size = 0;
    unsigned long raw_crc = 0;
};

// Entry::date's default as local time, the file's date after extraction.
time_t entry_date()
{
    struct tm when = {};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 4;
    when.tm_hour = 5;
    when.tm_min = 6;
    when.tm_sec = 8;
    when.tm_isdst = -1;
    return mktime(&when);
}

// The mode the system gives a new file under the current umask.
unsigned new_file_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~mask;
}

Entry file(const std::string& name, const std::string& data, unsigned mode = kRegular | 0644)
{
    Entry e;
    e.name = name;
    e.data = data;
    e.mode = mode;
    return e;
}
Entry folder(const std::string& name)
{
    return file(name, "", kDir | 0755);
}
Entry link(const std::string& name, const std::string& target)
{
    return file(name, target, kLink | 0777);
}

void make_zip(const std::string& path, const std::vector<Entry>& entries)
{
    zipFile z = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(z, nullptr);
    for (const Entry& e : entries) {
        zip_fileinfo zi = {};
        zi.tmz_date = e.date;
        zi.external_fa = ((uLong)e.mode << 16) | e.low_attrs;
        ASSERT_EQ(zipOpenNewFileInZip2(z, e.name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                       e.raw ? 0 : Z_DEFLATED, e.raw ? 0 : Z_DEFAULT_COMPRESSION,
                                       e.raw ? 1 : 0),
                  ZIP_OK)
            << e.name;
        if (!e.data.empty()) {
            ASSERT_EQ(zipWriteInFileInZip(z, e.data.data(), (unsigned)e.data.size()), ZIP_OK);
        }
        int closed = e.raw ? zipCloseFileInZipRaw(z, e.raw_size, e.raw_crc) : zipCloseFileInZip(z);
        ASSERT_EQ(closed, ZIP_OK);
    }
    ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
}

unsigned long crc_of(const std::string& s)
{
    return crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(s.data()), (uInt)s.size());
}

// Stored as it is, with a checksum one bit off.
Entry bad_checksum(const std::string& name, const std::string& data)
{
    Entry e = file(name, data);
    e.raw = true;
    e.raw_size = data.size();
    e.raw_crc = crc_of(data) ^ 1;
    return e;
}

// Sends the log to a private file for the test's lifetime.
class LogCapture
{
  public:
    LogCapture() : path_(dir_ / "Log.txt")
    {
        if (xer.is_open()) xer.close();
        xer.clear();
        xer.open(path_);
    }
    ~LogCapture()
    {
        xer.close();
        xer.clear();
    }
    std::string text()
    {
        xer.flush();
        return TempDir::read(path_);
    }

  private:
    TempDir dir_;
    std::string path_;
};

// A work area: the archive goes to arc/, the extraction into out/.
struct Area {
    TempDir dir;
    std::string zip = dir / "a.zip";
    std::string out = dir / "out/";
    Area() { dir.mkdir("out"); }
    int extract(const std::vector<Entry>& entries)
    {
        make_zip(zip, entries);
        return zip_to_file(zip, out, nullptr, 0);
    }
};

TEST(Zip, FoldersFilesAndMacForksTwice)
{
    Area a;
    std::vector<Entry> entries = {folder("dir/"), file("dir/f.txt", "hello"),
                                  file("__MACOSX/dir/._f.txt", "fork"), folder("__MACOSX/"),
                                  file("top.bin", std::string(100000, 'z'))};
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(a.extract(entries), 0) << "round " << round;
        EXPECT_EQ(TempDir::read(a.out + "dir/f.txt"), "hello");
        EXPECT_EQ(TempDir::read(a.out + "top.bin"), std::string(100000, 'z'));
        EXPECT_EQ(list_dir(a.out), (std::vector<std::string>{"dir", "top.bin"}));
        EXPECT_EQ(list_dir(a.out + "dir"), (std::vector<std::string>{"f.txt"}));
    }
}

TEST(Zip, ModesAndDates)
{
    Area a;
    ASSERT_EQ(a.extract({file("tool", "#!/bin/sh\n", kRegular | 0755),
                         file("ro", "x", kRegular | 0444), file("plain", "y", 0)}),
              0);
    struct stat st;
    ASSERT_EQ(stat((a.out + "tool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(st.st_mtime, entry_date());
    EXPECT_EQ(st.st_atime, entry_date());
    ASSERT_EQ(stat((a.out + "ro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    // No attributes: what the system gives a new file, and today's date.
    ASSERT_EQ(stat((a.out + "plain").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, new_file_mode());
    EXPECT_GT(st.st_mtime, time(nullptr) - 3600);
}

TEST(Zip, DosAttributesKeepTheDefaultMode)
{
    // Only the "archive" bit, as archives made on Windows carry: the file
    // stays readable, and the entry's date still applies.
    Area a;
    Entry e = file("dos.txt", "x", 0);
    e.low_attrs = 0x20;
    ASSERT_EQ(a.extract({e}), 0);
    struct stat st;
    ASSERT_EQ(stat((a.out + "dos.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, new_file_mode());
    EXPECT_EQ(st.st_mtime, entry_date());
}

TEST(Zip, SymbolicLinks)
{
    Area a;
    ASSERT_EQ(a.extract({folder("Versions/"), folder("Versions/A/"), file("Versions/A/lib", "code"),
                         link("Versions/Current", "A"), link("lib", "Versions/Current/lib")}),
              0);
    char buf[256];
    ssize_t n = readlink((a.out + "lib").c_str(), buf, sizeof buf);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buf, (size_t)n), "Versions/Current/lib");
    EXPECT_EQ(TempDir::read(a.out + "lib"), "code");
    struct stat st;
    ASSERT_EQ(lstat((a.out + "Versions/Current").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // Again: links are replaced, not followed.
    ASSERT_EQ(a.extract({link("lib", "Versions/A/lib")}), 0);
    n = readlink((a.out + "lib").c_str(), buf, sizeof buf);
    EXPECT_EQ(std::string(buf, (size_t)n), "Versions/A/lib");
}

TEST(Zip, ReplacesAnOldLinkInsteadOfWritingThroughIt)
{
    Area a;
    a.dir.write("victim", "keep");
    ASSERT_EQ(symlink((a.dir / "victim").c_str(), (a.out + "f").c_str()), 0);
    ASSERT_EQ(a.extract({file("f", "new")}), 0);
    EXPECT_EQ(TempDir::read(a.dir / "victim"), "keep");
    struct stat st;
    ASSERT_EQ(lstat((a.out + "f").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(TempDir::read(a.out + "f"), "new");
}

TEST(Zip, DamagedEntriesWriteNothing)
{
    const std::string data = "the new content of the file";
    Entry bad_crc = bad_checksum("f", data);
    Entry short_data = bad_crc;
    short_data.raw_crc = crc_of(data);
    short_data.raw_size = data.size() + 100;

    struct {
        const char* what;
        Entry entry;
        int want;
    } cases[] = {{"crc mismatch", bad_crc, UNZ_CRCERROR},
                 {"shorter than declared", short_data, kErrZipRead}};
    for (auto& c : cases) {
        Area a;
        LogCapture log;
        a.dir.write("out/f", "old");
        EXPECT_EQ(a.extract({file("first", "1"), c.entry, file("last", "3")}), c.want) << c.what;
        EXPECT_EQ(TempDir::read(a.out + "f"), "old") << c.what;
        // Earlier entries stay, later ones are not touched, no temporary left.
        EXPECT_EQ(list_dir(a.out), (std::vector<std::string>{"f", "first"})) << c.what;
        std::string text = log.text();
        EXPECT_NE(text.find("Zip to file failed with error " + std::to_string(c.want) +
                            ". file = HLutils/Files/io_utils line = "),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("UNZIP zip_to_file failed with err=" + std::to_string(c.want) + "\n"),
                  std::string::npos);
        EXPECT_NE(text.find(". zip_file=" + a.zip + ", out_directory=" + a.out + ".\n"),
                  std::string::npos);
    }
}

// A local header that no longer matches the central directory: the entry is
// listed but cannot be opened.
TEST(Zip, EntryThatCannotBeOpenedIsLogged)
{
    struct {
        const char* what;
        Entry entry;
        const char* line;
    } cases[] = {
        {"file", file("f", "data"), "Zip to file failed with error "},
        {"link", link("f", "target"), "Zip to symlink failed with error "},
    };
    for (auto& c : cases) {
        Area a;
        LogCapture log;
        make_zip(a.zip, {c.entry});
        std::string bytes = TempDir::read(a.zip);
        ASSERT_EQ(bytes.substr(0, 4), std::string("PK\3\4", 4));
        bytes[8] = 99; // compression method of the local header
        std::ofstream(a.zip, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(zip_to_file(a.zip, a.out, nullptr, 0), UNZ_BADZIPFILE) << c.what;
        std::string text = log.text();
        std::string want = std::string(c.line) + std::to_string(UNZ_BADZIPFILE) +
                           ". file = HLutils/Files/io_utils line = ";
        size_t at = text.find(want);
        ASSERT_NE(at, std::string::npos) << c.what << "\n" << text;
        EXPECT_NE(text.find(". inFile=" + a.out + "f.\n", at), std::string::npos) << text;
        EXPECT_TRUE(list_dir(a.out).empty()) << c.what;
    }
}

// The extraction keeps where it failed in its own record: its log lines name
// the failing line, found by the extraction itself or by the folder it could
// not make, and the file operations' shared position is left alone.
TEST(Zip, FailurePlaceIsTheExtractionsOwn)
{
    const Entry bad_crc = bad_checksum("f", "the content");
    const std::string place = ". file = HLutils/Files/io_utils line = ";
    struct {
        const char* what;
        Entry entry;
        const char* line;      // the log line that names the place
        bool shared_untouched; // make_folder keeps writing the shared position
    } cases[] = {
        {"damaged file", bad_crc, "Zip to file failed with error ", true},
        {"link out", link("l", "../x"), "Zip to file failed with error err = ", true},
        {"folder without its parent", folder("no/such/"),
         "Zip to file failed with error err = ", false},
    };
    for (auto& c : cases) {
        Area a;
        LogCapture log;
        sErrFile = "elsewhere";
        sErrLine = -7;
        EXPECT_NE(a.extract({c.entry}), 0) << c.what;
        if (c.shared_untouched) {
            EXPECT_STREQ(sErrFile, "elsewhere") << c.what;
            EXPECT_EQ(sErrLine, -7) << c.what;
        }
        const std::string text = log.text();
        const size_t named = text.find(place, text.find(c.line));
        ASSERT_NE(named, std::string::npos) << c.what << "\n" << text;
        EXPECT_GT(std::atoi(text.c_str() + named + place.size()), 0) << c.what << "\n" << text;
    }
    sErrFile = "";
    sErrLine = -1;
}

TEST(Zip, MissingArchive)
{
    Area a;
    LogCapture log;
    const std::string missing = a.dir / "none.zip";
    EXPECT_EQ(zip_to_file(missing, a.out, nullptr, 0), kErrZipOpen);
    std::string want =
        "OK I am about to report that I could not open a zip file for extraction!\n"
        "That incoming file is " +
        missing +
        "\n"
        "In c-form, it is " +
        missing +
        "\n"
        "The size is " +
        std::to_string(missing.size()) +
        "\n"
        "Zip to file failed with error err = 20001. file = HLutils/Files/io_utils line = ";
    std::string text = log.text();
    EXPECT_EQ(text.substr(0, want.size()), want);
    EXPECT_NE(text.find(". zip_file=" + missing + ", out_directory=" + a.out + ".\n"),
              std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);

    // Not a zip at all.
    a.dir.write("junk.zip", "this is not an archive");
    EXPECT_EQ(zip_to_file(a.dir / "junk.zip", a.out, nullptr, 0), kErrZipOpen);
}

TEST(Zip, EmptyArchiveFails)
{
    // minizip refuses to open an archive without entries.
    Area a;
    EXPECT_EQ(a.extract({}), kErrZipOpen);
}

TEST(Zip, NameOutAndUseName)
{
    Area a;
    make_zip(a.zip, {file("stored name.txt", "abc")});
    std::string name;
    ASSERT_EQ(zip_to_file(a.zip, a.out, &name, 0), 0);
    EXPECT_EQ(name, "stored name.txt");
    name = "other.txt";
    ASSERT_EQ(zip_to_file(a.zip, a.out, &name, 1), 0);
    EXPECT_EQ(name, "stored name.txt");
    EXPECT_EQ(TempDir::read(a.out + "other.txt"), "abc");
}

TEST(Zip, UnsafeNamesAreRefused)
{
    struct {
        const char* what;
        Entry entry;
        int want;
    } cases[] = {
        {"absolute file", file("/abs_file", "x"), kErrZipUnsafeName},
        {"absolute folder", folder("/abs_dir/"), kErrZipUnsafeName},
        {"parent", file("../evil", "x"), kErrZipUnsafeName},
        {"parent inside", file("a/../../evil", "x"), kErrZipUnsafeName},
        {"parent folder", folder("../evil_dir/"), kErrZipUnsafeName},
        {"trailing parent", file("sub/..", "x"), kErrZipUnsafeName},
        {"empty name", file("", "x"), kErrZipBadName},
        {"the folder itself", file(".", "x"), kErrZipBadName},
        {"too long", file(std::string(300, 'n'), "x"), kErrZipNameTooLong},
        {"link out by parent", link("l", "../evil"), kErrZipUnsafeName},
        {"link out from a sub-folder", link("sub/l", "../../evil"), kErrZipUnsafeName},
        {"absolute link", link("l", "/etc/passwd"), kErrZipUnsafeName},
        {"link out through a link", link("l2", "up/../x"), kErrZipUnsafeName},
    };
    for (auto& c : cases) {
        Area a;
        a.dir.write("out/keep", "k");
        a.dir.mkdir("out/sub");
        ASSERT_EQ(symlink(".", (a.out + "up").c_str()), 0); // on disk, inside
        int err = a.extract({c.entry});
        EXPECT_EQ(err, c.want) << c.what;
        // Nothing outside the folder, nothing new inside it, the folder intact.
        EXPECT_EQ(list_dir(a.dir.path()), (std::vector<std::string>{"a.zip", "out"})) << c.what;
        EXPECT_EQ(list_dir(a.out), (std::vector<std::string>{"keep", "sub", "up"})) << c.what;
        EXPECT_TRUE(list_dir(a.out + "sub").empty()) << c.what;
        EXPECT_FALSE(TempDir::exists("/abs_file")) << c.what;
    }
}

TEST(Zip, NoWritingThroughLinks)
{
    TempDir elsewhere;
    Area a;
    // A link an earlier entry made, even one pointing inside.
    EXPECT_EQ(a.extract({folder("real/"), link("d", "real"), file("d/f", "x")}), kErrZipUnsafeName);
    EXPECT_TRUE(list_dir(a.out + "real").empty());
    // A link on disk that leads outside.
    ASSERT_EQ(symlink(elsewhere.path().c_str(), (a.out + "out_link").c_str()), 0);
    EXPECT_EQ(a.extract({file("out_link/f", "x")}), kErrZipUnsafeName);
    EXPECT_EQ(a.extract({folder("out_link/sub/")}), kErrZipUnsafeName);
    EXPECT_EQ(a.extract({link("out_link/l", "x")}), kErrZipUnsafeName);
    EXPECT_TRUE(list_dir(elsewhere.path()).empty());
    // A link on disk that stays inside is a folder like any other.
    ASSERT_EQ(symlink("real", (a.out + "in_link").c_str()), 0);
    EXPECT_EQ(a.extract({file("in_link/f", "ok")}), 0);
    EXPECT_EQ(TempDir::read(a.out + "real/f"), "ok");
}

// A ".." in a link target counts only right after a real folder: after a
// missing name, a file or a followed link, a later entry could put a link
// there and turn the target outside.
TEST(Zip, LinkTargetsThatCouldTurnOutside)
{
    struct {
        const char* what;
        std::vector<Entry> entries;
        int want;
    } cases[] = {
        {"after a missing name", {link("a", "d/../x"), link("d", ".")}, kErrZipUnsafeName},
        {"after a followed link",
         {folder("sub/"), link("L", "sub"), link("a", "L/../x"), link("L", ".")},
         kErrZipUnsafeName},
        {"after a file", {file("f", "x"), link("a", "f/../x"), link("f", ".")}, kErrZipUnsafeName},
        {"out of a real folder",
         {folder("bin/"), folder("lib/"), file("lib/t", "code"), link("bin/t", "../lib/t")},
         0},
    };
    for (auto& c : cases) {
        Area a;
        EXPECT_EQ(a.extract(c.entries), c.want) << c.what;
        EXPECT_FALSE(TempDir::exists(a.dir / "x")) << c.what;
        if (c.want == 0) {
            EXPECT_EQ(TempDir::read(a.out + "bin/t"), "code");
        } else {
            struct stat st;
            EXPECT_NE(lstat((a.out + "a").c_str(), &st), 0) << c.what;
        }
    }
}

// An installation unpacks each file into its own folder but confines links
// to the whole destination: a release may link between its folders.
TEST(Zip, LinksConfinedToTheRootNotTheFolder)
{
    struct {
        const char* what;
        Entry entry;
        int want;
    } cases[] = {
        {"into a sibling folder", link("libx.so", "../lib/libx.so.1"), 0},
        {"to the root", link("top", "../readme"), 0},
        {"up and down again", link("l", "../bin/../lib/libx.so.1"), 0},
        {"out of the root", link("l", "../../evil"), kErrZipUnsafeName},
        {"out and back in", link("l", "../../dest/lib/libx.so.1"), kErrZipUnsafeName},
        {"absolute into the root", link("l", "/dest/lib/libx.so.1"), kErrZipUnsafeName},
        {"name out of the root", file("../../evil", "x"), kErrZipUnsafeName},
        {"name into a sibling", file("../lib/f", "x"), kErrZipUnsafeName},
    };
    for (auto& c : cases) {
        TempDir dir;
        dir.mkdir("dest");
        dir.mkdir("dest/bin");
        dir.mkdir("dest/lib");
        dir.write("dest/lib/libx.so.1", "code");
        dir.write("dest/readme", "r");
        std::string zip = dir / "a.zip";
        make_zip(zip, {c.entry});
        EXPECT_EQ(zip_to_file(zip, dir / "dest/bin/", nullptr, 0, dir / "dest/"), c.want) << c.what;
        EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.zip", "dest"})) << c.what;
        EXPECT_EQ(list_dir(dir / "dest/lib"), (std::vector<std::string>{"libx.so.1"})) << c.what;
        if (c.want == 0)
            EXPECT_FALSE(TempDir::read(dir / "dest/bin/" + c.entry.name).empty()) << c.what;
        else
            EXPECT_TRUE(list_dir(dir / "dest/bin").empty()) << c.what;
    }
    // Without a root the folder itself is the limit, as before.
    TempDir dir;
    dir.mkdir("bin");
    dir.mkdir("lib");
    dir.write("lib/libx.so.1", "code");
    make_zip(dir / "a.zip", {link("libx.so", "../lib/libx.so.1")});
    EXPECT_EQ(zip_to_file(dir / "a.zip", dir / "bin/", nullptr, 0), kErrZipUnsafeName);
    // A folder outside the root is refused before anything is opened.
    EXPECT_EQ(zip_to_file(dir / "a.zip", dir / "bin/", nullptr, 0, dir / "lib/"),
              kErrZipUnsafeName);
    EXPECT_EQ(zip_to_file(dir / "a.zip", dir / "lib/../bin/", nullptr, 0, dir / "lib/"),
              kErrZipUnsafeName);
    EXPECT_TRUE(list_dir(dir / "bin").empty());
}

// The folders down to the target folder are the user's: a link there is
// entered as it is, but a ".." out of it is refused, since the kernel would
// step out of where the link leads.
TEST(Zip, TargetFolderReachedThroughTheUsersLink)
{
    TempDir elsewhere;
    TempDir dir;
    dir.mkdir("dest");
    dir.mkdir("dest/lib");
    dir.write("dest/lib/t", "code");
    ASSERT_EQ(symlink(elsewhere.path().c_str(), (dir / "dest/bin").c_str()), 0);
    std::string zip = dir / "a.zip";
    make_zip(zip, {file("f", "x"), link("same", "f")});
    EXPECT_EQ(zip_to_file(zip, dir / "dest/bin/", nullptr, 0, dir / "dest/"), 0);
    EXPECT_EQ(TempDir::read(elsewhere / "f"), "x");
    EXPECT_EQ(TempDir::read(elsewhere / "same"), "x");
    make_zip(zip, {link("up", "../lib/t")});
    EXPECT_EQ(zip_to_file(zip, dir / "dest/bin/", nullptr, 0, dir / "dest/"), kErrZipUnsafeName);
    EXPECT_EQ(list_dir(elsewhere.path()), (std::vector<std::string>{"f", "same"}));
}

TEST(Zip, TempNames)
{
    struct {
        const char* name;
        bool temp;
    } cases[] = {
        {".zdz_abcdefgh", true},
        {".zdz_0a1b2c3d", true},
        {".zdz_abcdefg", false},
        {".zdz_abcdefghi", false},
        {".zdz_ABCDEFGH", false},
        {".zdz_abc.efgh", false},
        {"zdz_abcdefgh", false},
        {".zdz-abcdefgh", false},
        {"x.zdz_abcdefgh", false},
        {".zdz_", false},
        {"", false},
        {".zdz_abcdefg\xe9", false},
    };
    for (auto& c : cases)
        EXPECT_EQ(zip_is_temp_name(c.name), c.temp) << c.name;
    EXPECT_FALSE(zip_is_temp_name(std::string(".zdz_abcdefg\0", 13)));
}

TEST(Zip, StaleTempsRemovedNothingElse)
{
    TempDir dir;
    dir.mkdir("f");
    dir.write("f/.zdz_abcdefgh", "half a file");
    dir.write("f/.zdz_q1w2e3r4", "");
    ASSERT_EQ(symlink("target", (dir / "f/.zdz_link0000").c_str()), 0);
    // Not ours: other names, a folder with our pattern, a sub-folder's entry.
    for (const char* keep :
         {".zdz_notes", ".zdz_ABCDEFGH", "zdz_abcdefgh", ".zdz_abcdefgh.txt", "readme"})
        dir.write(std::string("f/") + keep, "user");
    dir.mkdir("f/.zdz_folder00");
    dir.mkdir("f/sub");
    dir.write("f/sub/.zdz_deeper00", "not scanned");
    EXPECT_EQ(zip_remove_stale_temps(dir / "f/"), 3);
    EXPECT_EQ(list_dir(dir / "f"),
              (std::vector<std::string>{".zdz_ABCDEFGH", ".zdz_abcdefgh.txt", ".zdz_folder00",
                                        ".zdz_notes", "readme", "sub", "zdz_abcdefgh"}));
    EXPECT_EQ(list_dir(dir / "f/sub"), (std::vector<std::string>{".zdz_deeper00"}));
    EXPECT_EQ(zip_remove_stale_temps(dir / "missing/"), 0);
}

TEST(Zip, LargeEntryIsStreamed)
{
    Area a;
    std::string big(40 * 1024 * 1024 + 3, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = (char)((i * 2654435761u) >> 13);
    ASSERT_EQ(a.extract({file("big", big)}), 0);
    EXPECT_TRUE(TempDir::read(a.out + "big") == big);
}

TEST(Zip, FullDiskKeepsTheOldFile)
{
    Area a;
    a.dir.write("out/f", "old");
    make_zip(a.zip, {file("f", std::string(1 << 20, 'n'))});
    // A file-size limit makes the write fail part-way, as a full disk would.
    ChildResult r = run_in_child([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(zip_to_file(a.zip, a.out, nullptr, 0));
    });
    ASSERT_TRUE(r.exited());
    EXPECT_EQ(r.exit_code, EFBIG);
    EXPECT_EQ(TempDir::read(a.out + "f"), "old");
    EXPECT_EQ(list_dir(a.out), (std::vector<std::string>{"f"}));
}

TEST(Zip, MissingParentFolder)
{
    Area a;
    EXPECT_EQ(a.extract({file("no/such/f", "x")}), ENOENT);
}

// Small archives are inflated whole from memory; every damage found there
// must still come back with the code the streamed reading gives, and leave
// the old file.
void put32(std::string& bytes, size_t at, unsigned long v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = (char)((v >> (8 * i)) & 0xff);
}

void damaged_entries(const std::string& data);

TEST(Zip, DeflatedEntryDamageWritesNothing)
{
    // Small entries are inflated in one call; from 64 KiB on in steps while
    // other threads write and checksum, so damage there is found after part
    // of the entry was written to the temporary file.
    for (const size_t n : {size_t(5000), size_t(3u << 20) + 11})
        damaged_entries(std::string(n, 'd'));
}

TEST(Zip, EntriesAroundTheSteppedSizesComeOutExact)
{
    Area a;
    std::vector<Entry> entries;
    std::vector<std::string> want;
    const size_t sizes[] = {(1u << 20) - 1,       1u << 20,           (1u << 20) + 1,
                            (64u << 10) * 17 + 3, (3u << 20) + 12345, 6u << 20};
    for (size_t k = 0; k < std::size(sizes); ++k) {
        std::string d(sizes[k], '\0');
        // Half text-like, half noise, so inflate has real work and stored blocks.
        for (size_t i = 0; i < d.size(); ++i)
            d[i] = i < d.size() / 2 ? (char)('a' + (i / 7 + k) % 23)
                                    : (char)(((i + k) * 2654435761u) >> 11);
        want.push_back(d);
        entries.push_back(file("e" + std::to_string(k), d, kRegular | 0640));
    }
    ASSERT_EQ(a.extract(entries), 0);
    for (size_t k = 0; k < std::size(sizes); ++k) {
        const std::string name = "e" + std::to_string(k);
        EXPECT_TRUE(TempDir::read(a.out + name) == want[k]) << sizes[k];
        struct stat st;
        ASSERT_EQ(stat((a.out + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << sizes[k];
        EXPECT_EQ(st.st_mtime, entry_date()) << sizes[k];
    }
    EXPECT_EQ(list_dir(a.out).size(), std::size(sizes)); // no temporary left
}

// From 64 KiB on, an entry is handed to two worker threads a span at a time,
// and whatever they have not taken when inflate ends is done by the
// extracting thread. Entries of every kind and of sizes on both sides of the
// read and write steps, back to back and extracted again over themselves,
// must come out exact wherever that hand-over falls.
TEST(Zip, EntriesHandedBetweenThreadsComeOutExact)
{
    Area a;
    std::vector<std::vector<Entry>> archives; // each small enough to be read into memory
    std::vector<std::string> want;
    const size_t sizes[] = {
        (64u << 10) - 1,  64u << 10, (96u << 10) + 5, 256u << 10,       (256u << 10) + 1,
        (512u << 10) - 3, 700000,    (1u << 20) + 17, (2u << 20) + 333, 65537};
    for (size_t k = 0; k < std::size(sizes); ++k) {
        archives.emplace_back();
        for (int kind = 0; kind < 3; ++kind) {
            std::string d(sizes[k], '\0');
            for (size_t i = 0; i < d.size(); ++i)
                d[i] = kind == 0 ? (char)('a' + (i / 5 + k) % 21)
                                 : (char)(((i + 31 * k + kind) * 2654435761u) >> 9);
            Entry e = file("e" + std::to_string(k) + "_" + std::to_string(kind), d);
            if (kind == 2) {
                e.raw = true; // stored: read from the archive as it is
                e.raw_size = d.size();
                e.raw_crc = crc_of(d);
            }
            archives.back().push_back(e);
            want.push_back(d);
        }
    }
    for (int round = 0; round < 5; ++round) {
        for (const std::vector<Entry>& entries : archives)
            ASSERT_EQ(a.extract(entries), 0) << round;
        size_t i = 0;
        for (const std::vector<Entry>& entries : archives)
            for (const Entry& e : entries)
                EXPECT_TRUE(TempDir::read(a.out + e.name) == want[i++]) << e.name << " " << round;
        EXPECT_EQ(list_dir(a.out).size(), want.size()); // no temporary left
    }
}

// Entries of 64 KiB or more are written by worker threads the process keeps.
// A child forked after they started has none of them: it must extract on its
// own rather than wait for threads that are not there.
TEST(Zip, ForkedChildExtractsWithoutTheWorkers)
{
    Area a;
    std::string d((3u << 20) + 7, '\0');
    for (size_t i = 0; i < d.size(); ++i)
        d[i] = (char)('a' + (i * 7 / 3) % 19);
    const std::string small = d.substr(0, 100000);
    ASSERT_EQ(a.extract({file("parent", small)}), 0);
    make_zip(a.zip, {file("small", small), file("large", d)});
    ChildResult r = run_in_child([&] { _exit(zip_to_file(a.zip, a.out, nullptr, 0)); }, 20);
    ASSERT_TRUE(r.exited()) << r.out;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(TempDir::read(a.out + "small") == small);
    EXPECT_TRUE(TempDir::read(a.out + "large") == d);
    // And the parent's workers still serve it.
    make_zip(a.zip, {file("again", d)});
    EXPECT_EQ(zip_to_file(a.zip, a.out, nullptr, 0), 0);
    EXPECT_TRUE(TempDir::read(a.out + "again") == d);
}

// Processor time, in milliseconds, that the process's other threads take
// while this one sleeps for ms.
double others_cpu_ms_over(int ms)
{
    auto now = [](clockid_t c) {
        timespec t;
        clock_gettime(c, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    const double all0 = now(CLOCK_PROCESS_CPUTIME_ID), own0 = now(CLOCK_THREAD_CPUTIME_ID);
    usleep(ms * 1000);
    return (now(CLOCK_PROCESS_CPUTIME_ID) - all0) - (now(CLOCK_THREAD_CPUTIME_ID) - own0);
}

// The workers stay with the process, and an installer waits long stretches
// between extractions: once an entry they served is over, sound or damaged,
// they sleep until the next one instead of looking for it again and again.
TEST(Zip, IdleWorkersTakeNoProcessorTime)
{
    std::string d((256u << 10) + 9, '\0');
    for (size_t i = 0; i < d.size(); ++i)
        d[i] = (char)('a' + (i * 7 / 3) % 19);
    Entry stored = file("f", d);
    stored.raw = true;
    stored.raw_size = d.size();
    stored.raw_crc = crc_of(d);
    const struct {
        const char* what;
        Entry entry;
        int want;
    } cases[] = {
        {"deflated", file("f", d), 0},
        {"stored", stored, 0},
        {"damaged", bad_checksum("f", d), UNZ_CRCERROR},
    };
    for (const auto& c : cases) {
        Area a;
        LogCapture log; // the damaged entry's lines
        ASSERT_EQ(a.extract({c.entry}), c.want) << c.what;
        usleep(100000); // past the short while they stay awake for a next entry
        // Looking 20 000 times a second costs tens of milliseconds here.
        EXPECT_LT(others_cpu_ms_over(300), 3.0) << c.what;
    }
}

void damaged_entries(const std::string& data)
{
    struct {
        const char* what;
        int field; // offset in the local header (crc 14, sizes 18 and 22)
        unsigned long value;
        int want;
    } cases[] = {
        {"checksum", 14, crc_of(data) ^ 0x10, UNZ_CRCERROR},
        {"declared larger", 22, data.size() + 7, kErrZipRead},
        {"declared smaller", 22, data.size() - 7, UNZ_CRCERROR},
    };
    for (auto& c : cases) {
        Area a;
        LogCapture log;
        a.dir.write("out/f", "old");
        make_zip(a.zip, {file("f", data)});
        std::string bytes = TempDir::read(a.zip);
        put32(bytes, c.field, c.value);
        // The central directory says the same, so the archive itself is sound.
        size_t central = bytes.find(std::string("PK\1\2", 4));
        ASSERT_NE(central, std::string::npos);
        put32(bytes, central + c.field + 2, c.value);
        std::ofstream(a.zip, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(zip_to_file(a.zip, a.out, nullptr, 0), c.want) << c.what << " " << data.size();
        EXPECT_EQ(TempDir::read(a.out + "f"), "old") << c.what << " " << data.size();
        EXPECT_EQ(list_dir(a.out), (std::vector<std::string>{"f"})) << c.what << " " << data.size();
        EXPECT_NE(log.text().find("UNZIP zip_to_file failed with err=" + std::to_string(c.want)),
                  std::string::npos)
            << c.what;
    }
}

TEST(Zip, StoredSmallAndLargeEntriesInOneArchive)
{
    Area a;
    const std::string stored_data = "kept as it is, not deflated";
    Entry stored = file("stored", stored_data, kRegular | 0600);
    stored.raw = true;
    stored.raw_size = stored_data.size();
    stored.raw_crc = crc_of(stored_data);
    // Larger than what is inflated in one call, in an archive small enough to
    // be read whole.
    std::string large(7 * 1024 * 1024 + 5, 'x');
    for (size_t i = 0; i < large.size(); i += 4099)
        large[i] = (char)('a' + i % 26);
    ASSERT_EQ(a.extract({stored, file("small", "tiny", kRegular | 0640), file("large", large),
                         file("empty", "")}),
              0);
    EXPECT_EQ(TempDir::read(a.out + "stored"), stored_data);
    EXPECT_EQ(TempDir::read(a.out + "small"), "tiny");
    EXPECT_TRUE(TempDir::read(a.out + "large") == large);
    EXPECT_EQ(TempDir::read(a.out + "empty"), "");
    struct stat st;
    ASSERT_EQ(stat((a.out + "stored").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_mtime, entry_date());
    ASSERT_EQ(stat((a.out + "small").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(list_dir(a.out), (std::vector<std::string>{"empty", "large", "small", "stored"}));
}

} // namespace
