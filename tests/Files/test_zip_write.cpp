// The zip writer: round trips through zip_to_file and Debian's unzip,
// dates at the ends of the DOS range, and failures that must leave the
// source and any old archive as they were.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <minizip/unzip.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "Files/io_zip_write.h"
#include "GenH/hl_types.h"
#include "support/alert_probe.h"
#include "support/file_fixtures.h"
#include "support/temp_dir.h"

namespace
{

std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = (char)(rng() & 0xFF);
    return s;
}

time_t local_time(int year, int mon, int mday, int hour, int min, int sec)
{
    struct tm when = {};
    when.tm_year = year - 1900;
    when.tm_mon = mon - 1;
    when.tm_mday = mday;
    when.tm_hour = hour;
    when.tm_min = min;
    when.tm_sec = sec;
    when.tm_isdst = -1;
    return mktime(&when);
}

void set_mtime(const std::string& path, time_t t)
{
    struct timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0) << path;
}

// What minizip reads back from the one entry of an archive.
struct ArchiveEntry {
    int entries = 0;
    std::string name;
    unz_file_info64 info = {};
};

ArchiveEntry read_entry(const std::string& zip)
{
    ArchiveEntry e;
    unzFile z = unzOpen64(zip.c_str());
    if (!z) return e;
    unz_global_info64 g;
    if (unzGetGlobalInfo64(z, &g) == UNZ_OK) e.entries = (int)g.number_entry;
    char name[256];
    if (unzGoToFirstFile(z) == UNZ_OK &&
        unzGetCurrentFileInfo64(z, &e.info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK)
        e.name = name;
    unzClose(z);
    return e;
}

// CRC-32 of a whole file.
unsigned long file_crc(const std::string& path)
{
    unsigned long crc = crc32(0, nullptr, 0);
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return crc;
    std::vector<Bytef> buf(4 << 20);
    ssize_t n;
    while ((n = read(fd, buf.data(), buf.size())) > 0)
        crc = crc32(crc, buf.data(), (uInt)n);
    close(fd);
    return crc;
}

// Inflates the first entry of an archive as its local header and raw
// deflate stream stand, without minizip: the size and CRC-32 of the data.
bool inflate_first_entry(const std::string& zip, uint64_t* size, unsigned long* crc)
{
    int fd = open(zip.c_str(), O_RDONLY);
    if (fd < 0) return false;
    unsigned char head[30];
    bool ok = read(fd, head, sizeof head) == (ssize_t)sizeof head && head[0] == 'P' &&
              head[1] == 'K' && head[2] == 3 && head[3] == 4 && head[8] == Z_DEFLATED;
    const off_t data_at = 30 + (head[26] | head[27] << 8) + (head[28] | head[29] << 8);
    z_stream zs = {};
    ok = ok && lseek(fd, data_at, SEEK_SET) == data_at && inflateInit2(&zs, -MAX_WBITS) == Z_OK;
    *size = 0;
    *crc = crc32(0, nullptr, 0);
    std::vector<Bytef> in(1 << 20), out(4 << 20);
    int rc = Z_OK;
    while (ok && rc != Z_STREAM_END) {
        if (zs.avail_in == 0) {
            ssize_t n = read(fd, in.data(), in.size());
            if (n <= 0) break;
            zs.next_in = in.data();
            zs.avail_in = (uInt)n;
        }
        zs.next_out = out.data();
        zs.avail_out = (uInt)out.size();
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) break;
        const uInt got = (uInt)out.size() - zs.avail_out;
        *crc = crc32(*crc, out.data(), got);
        *size += got;
    }
    inflateEnd(&zs);
    close(fd);
    return ok && rc == Z_STREAM_END;
}

// Sends the log to a private file for the test's lifetime.
class LogCapture
{
  public:
    LogCapture() { EXPECT_TRUE(open_log_in(dir_)); }
    ~LogCapture() { close_log(); }
    std::string text() { return read_log_in(dir_); }

  private:
    TempDir dir_;
};

TEST(ZipWrite, RoundTripKeepsBytesModeAndDate)
{
    struct Case {
        const char* name;
        std::string data;
        mode_t mode;
        time_t mtime;
    } cases[] = {
        {"empty", "", 0644, local_time(2021, 3, 4, 5, 6, 8)},
        {"script.sh", "#!/bin/sh\necho hi\n", 0755, local_time(1999, 12, 31, 23, 59, 58)},
        {"private", std::string(5000, 'x'), 0600, local_time(2000, 2, 29, 12, 0, 0)},
        // Several of the writer's 1 MiB pieces, incompressible.
        {"noise.bin", random_bytes((5u << 20) / 2 + 7, 1), 0640, local_time(2030, 7, 1, 8, 9, 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.mkdir("sub");
        const std::string src = dir / "sub/" + c.name;
        dir.write(std::string("sub/") + c.name, c.data);
        ASSERT_EQ(chmod(src.c_str(), c.mode), 0);
        set_mtime(src, c.mtime);

        ASSERT_EQ(file_to_zip(src, dir / "a.zip"), 0);
        EXPECT_EQ(TempDir::read(src), c.data);

        // One deflated entry named by the file name alone, the mode in the
        // upper half of the attributes.
        ArchiveEntry e = read_entry(dir / "a.zip");
        EXPECT_EQ(e.entries, 1);
        EXPECT_EQ(e.name, c.name);
        EXPECT_EQ(e.info.compression_method, (uLong)Z_DEFLATED);
        EXPECT_EQ(e.info.external_fa >> 16, (uLong)(S_IFREG | c.mode));
        EXPECT_EQ(e.info.uncompressed_size, c.data.size());

        dir.mkdir("out");
        std::string first;
        ASSERT_EQ(zip_to_file(dir / "a.zip", dir / "out/", &first, 0), 0);
        EXPECT_EQ(first, c.name);
        const std::string back = dir / "out/" + c.name;
        EXPECT_EQ(TempDir::read(back), c.data);
        struct stat st;
        ASSERT_EQ(stat(back.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(st.st_mtime, c.mtime);
        EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.zip", "out", "sub"}));
    }
}

TEST(ZipWrite, DebianUnzipReadsEntryModeAndDate)
{
    TempDir dir;
    const std::string src = dir / "tool";
    dir.write("tool", "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(chmod(src.c_str(), 0751), 0);
    set_mtime(src, local_time(2019, 11, 5, 14, 3, 27));
    ASSERT_EQ(file_to_zip(src, dir / "t.zip"), 0);

    const std::string info = run_command("unzip -Z -v '" + dir / "t.zip" + "'");
    EXPECT_NE(info.find("tool"), std::string::npos) << info;
    EXPECT_NE(info.find("file system or operating system of origin:      Unix"), std::string::npos)
        << info;
    EXPECT_NE(info.find("compression method:                             deflated"),
              std::string::npos)
        << info;
    // DOS times keep even seconds.
    EXPECT_NE(info.find("file last modified on (DOS date/time):          2019 Nov 5 14:03:26"),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("Unix file attributes (100751 octal):            -rwxr-x--x"),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("uncompressed size:                              17 bytes"),
              std::string::npos)
        << info;

    // Debian's unzip extracts the same bytes and checks the CRC.
    EXPECT_EQ(run_command("unzip -p '" + dir / "t.zip" + "'"), "#!/bin/sh\nexit 0\n");
    EXPECT_NE(run_command("unzip -t '" + dir / "t.zip" + "'").find("No errors detected"),
              std::string::npos);
}

TEST(ZipWrite, DatesOutsideTheDosRangeArePinnedToItsEnds)
{
    struct Case {
        time_t mtime;
        unsigned year, mon, mday, hour, min, sec; // mon 0..11 as minizip gives it
    } cases[] = {
        {0, 1980, 0, 1, 0, 0, 0},
        {local_time(1979, 12, 31, 23, 59, 59), 1980, 0, 1, 0, 0, 0},
        {-86400 * 365, 1980, 0, 1, 0, 0, 0},
        {local_time(1980, 1, 1, 0, 0, 0), 1980, 0, 1, 0, 0, 0},
        {local_time(2107, 12, 31, 23, 59, 58), 2107, 11, 31, 23, 59, 58},
        {local_time(2108, 1, 1, 0, 0, 0), 2107, 11, 31, 23, 59, 58},
        {local_time(2250, 6, 15, 12, 0, 0), 2107, 11, 31, 23, 59, 58},
        {local_time(2024, 2, 29, 1, 2, 3), 2024, 1, 29, 1, 2, 2},
    };
    TempDir dir;
    dir.write("f", "data");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mtime);
        set_mtime(dir / "f", c.mtime);
        ASSERT_EQ(file_to_zip(dir / "f", dir / "f.zip"), 0);
        const tm_unz d = read_entry(dir / "f.zip").info.tmu_date;
        EXPECT_EQ(d.tm_year, c.year);
        EXPECT_EQ(d.tm_mon, c.mon);
        EXPECT_EQ(d.tm_mday, c.mday);
        EXPECT_EQ(d.tm_hour, c.hour);
        EXPECT_EQ(d.tm_min, c.min);
        EXPECT_EQ(d.tm_sec, c.sec);
    }
}

TEST(ZipWrite, ReplacesAnOldArchive)
{
    TempDir dir;
    dir.write("old.zip", "not even a zip");
    dir.write("f.txt", "new contents");
    ASSERT_EQ(file_to_zip(dir / "f.txt", dir / "old.zip"), 0);
    EXPECT_EQ(run_command("unzip -p '" + dir / "old.zip" + "'"), "new contents");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"f.txt", "old.zip"}));
}

TEST(ZipWrite, AnyCharacterInTheSourcePath)
{
    // The caller's own file: a colon or backslash is no path error here.
    TempDir dir;
    dir.write("a:b\\c", "odd name");
    ASSERT_EQ(file_to_zip(dir / "a:b\\c", dir / "odd.zip"), 0);
    EXPECT_EQ(read_entry(dir / "odd.zip").name, "a:b\\c");
}

TEST(ZipWrite, MissingSourceCreatesNoArchive)
{
    LogCapture log;
    TempDir dir;
    EXPECT_EQ(file_to_zip(dir / "missing", dir / "m.zip"), kErrFileOpenRead);
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{});
    EXPECT_STREQ(sErrFile, "HLutils/Files/io_utils");
    const std::string want = "file_to_zip failed with error 20006.\nfile = HLutils/Files/io_utils"
                             " line = " +
                             std::to_string(sErrLine) + "\n";
    EXPECT_NE(log.text().find(want), std::string::npos) << log.text();
}

TEST(ZipWrite, SameFileAsSourceAndArchiveIsRefused)
{
    // The same path, a hard link and a symbolic link to the source.
    TempDir dir;
    const std::string data = random_bytes(100000, 2);
    dir.write("src.bin", data);
    ASSERT_EQ(link((dir / "src.bin").c_str(), (dir / "hard").c_str()), 0);
    ASSERT_EQ(symlink("src.bin", (dir / "soft").c_str()), 0);
    for (const char* zip : {"src.bin", "hard", "soft"}) {
        SCOPED_TRACE(zip);
        EXPECT_EQ(file_to_zip(dir / "src.bin", dir / zip), kErrZipCreate);
        EXPECT_EQ(TempDir::read(dir / "src.bin"), data);
        EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"hard", "soft", "src.bin"}));
    }
    // Through the link as the source, too.
    EXPECT_EQ(file_to_zip(dir / "soft", dir / "src.bin"), kErrZipCreate);
    EXPECT_EQ(TempDir::read(dir / "src.bin"), data);
}

TEST(ZipWrite, UnwritableTargetsLeaveNothingBehind)
{
    LogCapture log;
    TempDir dir;
    dir.write("f", "x");
    dir.mkdir("folder");
    dir.write("folder/keep", "k");
    // No such folder: the archive cannot be created.
    EXPECT_EQ(file_to_zip(dir / "f", dir / "nowhere/f.zip"), kErrZipCreate);
    // A folder in the way: the final rename fails and the folder stays.
    EXPECT_EQ(file_to_zip(dir / "f", dir / "folder"), EISDIR);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"f", "folder"}));
    EXPECT_EQ(list_dir(dir / "folder"), std::vector<std::string>{"keep"});
    EXPECT_NE(log.text().find("file_to_zip failed with error 21.\n"), std::string::npos);
}

TEST(ZipWrite, FileSizeLimitKeepsOldArchiveAndSource)
{
    TempDir dir;
    const std::string data = random_bytes(512 * 1024, 3);
    dir.write("big.bin", data);
    dir.write("keep.txt", "old archive's contents");
    ASSERT_EQ(file_to_zip(dir / "keep.txt", dir / "a.zip"), 0);
    const std::string old_zip = TempDir::read(dir / "a.zip");

    ChildResult r = run_in_child([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &lim);
        std::printf("%d", file_to_zip(dir / "big.bin", dir / "a.zip"));
    });
    ASSERT_TRUE(r.exited()) << r.err;
    EXPECT_NE(r.out, "0");
    EXPECT_FALSE(r.out.empty());
    EXPECT_EQ(TempDir::read(dir / "a.zip"), old_zip);
    EXPECT_EQ(TempDir::read(dir / "big.bin"), data);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.zip", "big.bin", "keep.txt"}));
}

TEST(ZipWrite, SparseFileOverFourGigabytesUsesZip64)
{
    TempDir dir;
    const std::string path = dir / "huge";
    const off_t size = (off_t(1) << 32) + 4097;
    // Marks at the start, across the 4 GiB line and at the end: a length cut
    // to 32 bits loses the last two.
    if (!write_sparse_marked(path, size))
        GTEST_SKIP() << "this file system does not keep files sparse";

    ASSERT_EQ(file_to_zip(path, dir / "huge.zip"), 0);
    // Debian's unzip reads the zip64 sizes; the CRC must be the source's,
    // marks included, and the deflate stream must give back all of it.
    // (minizip's own reader stops at 4 GiB - 1 on such entries.)
    const std::string info = run_command("unzip -Z -v '" + dir / "huge.zip" + "'");
    EXPECT_NE(info.find("uncompressed size:                              4294971393 bytes"),
              std::string::npos)
        << info;
    const unsigned long want_crc = file_crc(path);
    char crc_line[80];
    std::snprintf(crc_line, sizeof crc_line,
                  "32-bit CRC value (hex):                         %08lx", want_crc);
    EXPECT_NE(info.find(crc_line), std::string::npos) << crc_line << "\n" << info;
    uint64_t got_size = 0;
    unsigned long got_crc = 0;
    ASSERT_TRUE(inflate_first_entry(dir / "huge.zip", &got_size, &got_crc));
    EXPECT_EQ(got_size, (uint64_t)size);
    EXPECT_EQ(got_crc, want_crc);
}

} // namespace
