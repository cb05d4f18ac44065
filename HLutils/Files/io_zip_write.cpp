// The zip writer: the source is mapped, deflated into a temporary archive
// beside the target, and the temporary renamed over the target at the end.
//
// Index: entry header (date, attributes); writing the entry; file_to_zip.
#include "Files/io_zip_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <minizip/zip.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "Files/io_utils.h"
#include "Files/io_zip.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"

namespace
{

// minizip takes lengths as unsigned int: the data goes in pieces of this size.
constexpr size_t kWriteChunk = 1 << 20;
// Deflate can grow incompressible data by about 0.03 %, so from this size on
// the compressed size may pass 32 bits: such entries get zip64 records.
constexpr uint64_t kZip64From = 0xFF000000u;
// "Made by" of the central header: Unix (3) in the high byte, so tools read
// the upper half of the external attributes as the file's mode; zip 3.0 low.
constexpr unsigned long kMadeByUnix = (3u << 8) | 30u;
// Attempts at a free temporary name.
constexpr int kTempTries = 100;
// The DOS date of an entry holds the years 1980 to 2107, even seconds.
constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

// ---------------------------------------------------------------------------
// [SECTION] Entry header

void set_dos_limit(tm_zip& d, bool last)
{
    d.tm_year = last ? kDosLastYear : kDosFirstYear;
    d.tm_mon = last ? 11 : 0;
    d.tm_mday = last ? 31 : 1;
    d.tm_hour = last ? 23 : 0;
    d.tm_min = last ? 59 : 0;
    d.tm_sec = last ? 58 : 0;
}

// The entry's date from a modification time in local time. Times outside
// the DOS range are pinned to its ends: minizip would wrap them into
// another, wrong year.
void set_entry_date(zip_fileinfo& info, time_t mtime)
{
    struct tm t;
    if (!localtime_r(&mtime, &t)) {
        set_dos_limit(info.tmz_date, mtime > 0);
        return;
    }
    const long year = t.tm_year + 1900L;
    if (year < kDosFirstYear || year > kDosLastYear) {
        set_dos_limit(info.tmz_date, year > kDosLastYear);
        return;
    }
    info.tmz_date.tm_sec = (uInt)t.tm_sec;
    info.tmz_date.tm_min = (uInt)t.tm_min;
    info.tmz_date.tm_hour = (uInt)t.tm_hour;
    info.tmz_date.tm_mday = (uInt)t.tm_mday;
    info.tmz_date.tm_mon = (uInt)t.tm_mon;
    info.tmz_date.tm_year = (uInt)year;
}

// ---------------------------------------------------------------------------
// [SECTION] Writing the entry

// Opens the entry, writes data, closes the entry. Returns 0 or the first
// minizip error, noted at its step.
int write_entry(zipFile zf, const std::string& name, const zip_fileinfo& info, const char* data,
                uint64_t size)
{
    int err = zipOpenNewFileInZip4_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                      DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeByUnix, 0,
                                      size >= kZip64From ? 1 : 0);
    if (err != ZIP_OK) {
        io_note_failure(__LINE__);
        return err;
    }
    for (uint64_t done = 0; done < size;) {
        const uint64_t left = size - done;
        const unsigned n = (unsigned)(left < kWriteChunk ? left : kWriteChunk);
        err = zipWriteInFileInZip(zf, data + done, n);
        if (err != ZIP_OK) {
            io_note_failure(__LINE__);
            zipCloseFileInZip(zf);
            return err;
        }
        done += n;
    }
    err = zipCloseFileInZip(zf);
    if (err != ZIP_OK) io_note_failure(__LINE__);
    return err;
}

// Creates a new, empty file with a temporary name beside path; "" when none
// could be made (errno set).
std::string make_temp_beside(const std::string& path)
{
    for (int i = 0; i < kTempTries; ++i) {
        std::string tmp = zip_temp_name_near(path);
        int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return tmp;
        }
        if (errno != EEXIST) break;
    }
    return std::string();
}

// Packs the mapped source into a new archive at zip. Returns 0 or the code
// of the first failure; on failure nothing at zip has changed.
int pack(const xmap_class& src, const std::string& name, const std::string& zip)
{
    struct stat from;
    const bool have_stat = fstat(src.fd, &from) == 0;
    // Renaming the archive over its own source would destroy the source.
    struct stat to;
    if (have_stat && stat(zip.c_str(), &to) == 0 && to.st_dev == from.st_dev &&
        to.st_ino == from.st_ino) {
        io_note_failure(__LINE__);
        return kErrZipCreate;
    }

    const std::string tmp = make_temp_beside(zip);
    zipFile zf = tmp.empty() ? nullptr : zipOpen64(tmp.c_str(), APPEND_STATUS_CREATE);
    if (!zf) {
        if (!tmp.empty()) unlink(tmp.c_str());
        io_note_failure(__LINE__);
        return kErrZipCreate;
    }

    zip_fileinfo info = {};
    set_entry_date(info, have_stat ? from.st_mtime : 0);
    if (have_stat) info.external_fa = (uLong)from.st_mode << 16;

    int err = write_entry(zf, name, info, src.start, (uint64_t)(src.end - src.start));
    if (err) {
        zipClose(zf, nullptr);
    } else {
        // minizip closes and frees the archive whatever this returns.
        err = zipClose(zf, nullptr);
        if (err != ZIP_OK) io_note_failure(__LINE__);
    }
    if (!err && rename(tmp.c_str(), zip.c_str()) != 0) {
        err = errno;
        io_note_failure(__LINE__);
    }
    if (err) unlink(tmp.c_str());
    return err;
}

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] file_to_zip

int file_to_zip(std::string src, std::string zip)
{
    const size_t slash = src.rfind('/');
    const std::string name = slash == std::string::npos ? src : src.substr(slash + 1);

    // The caller's own file: any character may stand in its path.
    xmap_class data(src, src.size());
    int err = 0;
    if (!data.start) {
        io_note_failure(__LINE__);
        err = kErrFileOpenRead;
    } else {
        err = pack(data, name, app_path + zip);
    }
    if (err)
        xer << "file_to_zip failed with error " << err << ".\nfile = " << sErrFile
            << " line = " << sErrLine << "\n";
    return err;
}
