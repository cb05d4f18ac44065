// Zip extraction: minizip reads the archive, this module decides what gets
// created on disk and how. Entry names and link targets are confined by
// zip_paths; small archives are read from memory through zip_memory; from
// 64 KiB an entry's file is written by the workers of zip_pipeline; each
// file is written under a temporary name of zip_temps.
//
// A regular file goes one of three routes: taken from memory and inflated in
// one call, taken from memory and handed to the workers, or (not in memory,
// or anything wrong with it there) streamed through minizip.
//
// Index: an entry from the archive in memory; one regular file (unzip_file);
// one symbolic link (unzip_symlink); the archive (zip_to_file).
#include "Files/io_zip.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <minizip/unzip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "Files/io_utils.h"
#include "Files/zip_memory.h"
#include "Files/zip_paths.h"
#include "Files/zip_pipeline.h"
#include "Files/zip_temps.h"
#include "GenH/hl_types.h"

namespace
{

// Entries are streamed through a buffer of this size, whatever size the
// archive declares.
constexpr size_t kChunk = 256 * 1024;
// Entries from this size on are handed to two more threads that write the
// file and checksum it while inflate runs; below it the handing over costs
// more than it saves. Inflate publishes its output in steps of kPipeStep,
// shrinking to kPipeLastStep at the end.
constexpr size_t kPipeFrom = 64u << 10;
constexpr size_t kPipeStep = 512u << 10;
constexpr size_t kPipeLastStep = 32u << 10;
// Mode bits of a symbolic link in the entry's upper attribute half.
constexpr unsigned long kModeLink = 0xA000;
// Folder of Mac resource forks, never extracted.
constexpr const char* kMacFolder = "__MACOSX";

// Where this thread's extractions write their log lines; null: the log.
thread_local std::ostream* log_sink = nullptr;
std::ostream& zip_log()
{
    return log_sink ? *log_sink : xer;
}

// What an extraction keeps for the next one, in one record: the inflater,
// the buffers an entry is inflated into or streamed through, and the archive
// in memory. One per process, so the buffers are reserved once; hence one
// extraction at a time.
struct zip_extraction_context {
    z_stream inflater{};           // raw inflate, reset per entry
    bool inflater_tried = false;   // inflateInit2 was called once
    bool inflater_ready = false;   // and succeeded
    std::unique_ptr<char[]> whole; // kZipWholeEntry bytes, made on first use
    std::unique_ptr<char[]> chunk; // kChunk bytes, made on first use
    zip_memory_archive archive;
};

zip_extraction_context& extraction_context()
{
    static zip_extraction_context ctx;
    return ctx;
}

// One extraction: the open archive, where it may write, and where it failed.
struct extract_state {
    zip_extraction_context& ctx = extraction_context();
    unzFile zip = nullptr;
    zip_confinement where; // the root, the target folder below it, the links made
    // The last failing step, named in the log lines: the module path the file
    // operations report under, and the line. Setting a file's date that fails
    // leaves it as it was.
    const char* failed_file = "";
    int failed_line = -1;
    void note(int line)
    {
        failed_file = kIoUtilsSource;
        failed_line = line;
    }
};

// ---------------------------------------------------------------------------
// [SECTION] An entry from the archive in memory

// The context's inflate stream, reset for an entry; null when it cannot be
// made (it is then never tried again).
z_stream* entry_inflater(zip_extraction_context& ctx)
{
    if (!ctx.inflater_tried) {
        ctx.inflater_tried = true;
        ctx.inflater_ready = inflateInit2(&ctx.inflater, -MAX_WBITS) == Z_OK;
    }
    return ctx.inflater_ready && inflateReset(&ctx.inflater) == Z_OK ? &ctx.inflater : nullptr;
}

// The kept buffer an entry of up to kZipWholeEntry bytes is inflated into
// whole; reserved at its largest, as the archive's.
char* entry_buffer(zip_extraction_context& ctx)
{
    if (!ctx.whole) ctx.whole.reset(new char[kZipWholeEntry]);
    return ctx.whole.get();
}

// What became of an entry taken from memory.
struct memory_entry {
    bool tried = false; // false: nothing done, no file made
    bool whole = false; // the file holds the whole entry, checksum verified
    int fd = -1;        // the temporary file when one was made
    std::string tmp;
    int create_err = 0, write_err = 0;
};

// Tops up inflate's input from the archive, reading on as inflate goes;
// false when the archive cannot be read on.
bool feed(zip_memory_archive& m, z_stream* z, const zip_memory_span& in)
{
    const size_t next = size_t(reinterpret_cast<const char*>(z->next_in) - in.from);
    const size_t left = in.size - next;
    if (z->avail_in >= std::min(left, kZipReadStep / 2)) return true;
    const size_t want = std::min(left, kZipReadStep);
    if (!zip_memory_load(m, in.at + next, in.at + next + want)) return false;
    z->avail_in = static_cast<uInt>(want);
    return true;
}

// The entry inflated into out (or, stored, published from the archive) in
// steps while the workers write it into a new temporary file beside p and
// checksum it. False when the workers cannot run (nothing done).
bool entry_with_workers(zip_memory_archive& m, z_stream* z, const zip_memory_span& in, char* out,
                        const unz_file_info& info, const std::string& p, memory_entry* r)
{
    if (!zip_workers_ready()) return false;
    const size_t size = info.uncompressed_size;
    r->tried = true;
    r->fd = zip_create_temp(p, &r->tmp, &r->create_err);
    if (r->fd < 0) return true;
    zip_workers_begin(z ? out : in.from, r->fd);
    bool made = true;
    if (!z) {
        for (size_t done = 0; made && done < size;) {
            const size_t upto = std::min(size, done + kZipReadStep);
            made = zip_memory_load(m, in.at + done, in.at + upto);
            if (made) zip_workers_publish(done = upto);
        }
    } else {
        int res = Z_OK;
        while (res == Z_OK && z->total_out < size && feed(m, z, in)) {
            // Steps shrink toward the end, so little is left to do here
            // once inflate is done.
            const size_t left = size - z->total_out;
            z->avail_out =
                static_cast<uInt>(std::min(left, std::clamp(left / 2, kPipeLastStep, kPipeStep)));
            res = inflate(z, Z_NO_FLUSH);
            zip_workers_publish(z->total_out);
        }
        made = res == Z_STREAM_END && z->total_out == size;
    }
    const zip_workers_result done = zip_workers_finish();
    r->whole = made && done.crc == info.crc;
    r->write_err = done.write_err;
    return true;
}

// The entry from the archive in memory into a new temporary file beside p.
// From kPipeFrom on the workers write the file and checksum it while inflate
// runs (entry_with_workers); a smaller entry is inflated in one call,
// checksummed and written with one write right here.
memory_entry entry_from_memory(extract_state& st, const std::string& p, const unz_file_info& info)
{
    memory_entry r;
    zip_memory_archive& m = st.ctx.archive;
    const zip_memory_span in = zip_memory_entry(m, st.zip, info);
    const char* from = in.from;
    if (!from) return r;
    const size_t size = info.uncompressed_size;
    const bool deflated = info.compression_method == Z_DEFLATED;
    z_stream* z = deflated ? entry_inflater(st.ctx) : nullptr;
    if (deflated && !z) return r;
    char* out = deflated ? entry_buffer(st.ctx) : nullptr;
    if (deflated) {
        z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(from));
        z->avail_in = 0;
        z->next_out = reinterpret_cast<Bytef*>(out);
    }

    if (size >= kPipeFrom && entry_with_workers(m, z, in, out, info, p, &r)) return r;

    // Read whole: a damaged entry reads nothing beyond its own bytes.
    if (!zip_memory_load(m, in.at, in.at + in.size)) return r;
    r.tried = true;
    r.fd = zip_create_temp(p, &r.tmp, &r.create_err);
    if (r.fd < 0) return r;
    const char* bytes = from;
    if (deflated) {
        z->avail_in = static_cast<uInt>(in.size);
        z->avail_out = static_cast<uInt>(size);
        if (inflate(z, Z_FINISH) != Z_STREAM_END || z->total_out != size) return r;
        bytes = out;
    }
    if (crc32(0, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(size)) != info.crc)
        return r;
    r.whole = true;
    r.write_err = zip_write_all(r.fd, bytes, size);
    return r;
}

// ---------------------------------------------------------------------------
// [SECTION] One regular file

// The kept buffer an entry streams through.
char* chunk_buffer(zip_extraction_context& ctx)
{
    if (!ctx.chunk) ctx.chunk.reset(new char[kChunk]);
    return ctx.chunk.get();
}

// The open entry streamed through minizip into fd from its start, minizip
// checking the size and (on closing) the checksum. Closes the entry.
int stream_entry(extract_state& st, int fd, const unz_file_info& info)
{
    int err = 0;
    // A try from memory may have written part of the entry.
    if (lseek(fd, 0, SEEK_SET) != 0 || ftruncate(fd, 0) != 0) {
        err = errno;
        st.note(__LINE__);
        unzCloseCurrentFile(st.zip);
        return err;
    }
    unzCloseCurrentFile(st.zip);
    err = unzOpenCurrentFile(st.zip);
    if (err != UNZ_OK) {
        st.note(__LINE__);
        return err;
    }
    char* buf = chunk_buffer(st.ctx);
    unsigned long long total = 0;
    for (;;) {
        int n = unzReadCurrentFile(st.zip, buf, (unsigned)kChunk);
        if (n < 0) {
            err = kErrZipRead;
            st.note(__LINE__);
            break;
        }
        if (n == 0) break;
        total += (unsigned)n;
        int w = zip_write_all(fd, buf, (size_t)n);
        if (w) {
            err = w;
            st.note(__LINE__);
            break;
        }
    }
    if (!err && total != (unsigned long long)info.uncompressed_size) {
        err = kErrZipRead;
        st.note(__LINE__);
    }
    // Closing the entry checks its CRC.
    int closed = unzCloseCurrentFile(st.zip);
    if (!err && closed != UNZ_OK) {
        err = closed;
        st.note(__LINE__);
    }
    return err;
}

// The entry's mode and date on the open file; the result of setting the date.
int apply_mode_and_date(int fd, const unz_file_info& info)
{
    if (info.external_fa == 0) return 0;
    // Archives made on DOS/Windows carry only attribute bits in the low
    // half; applying their empty Unix half would leave the file mode 000.
    if ((info.external_fa >> 16) != 0) fchmod(fd, (mode_t)((info.external_fa >> 16) & 0777));
    time_t now = time(nullptr);
    struct tm when;
    localtime_r(&now, &when);
    when.tm_sec = (int)info.tmu_date.tm_sec;
    when.tm_min = (int)info.tmu_date.tm_min;
    when.tm_hour = (int)info.tmu_date.tm_hour;
    when.tm_mday = (int)info.tmu_date.tm_mday;
    when.tm_mon = (int)info.tmu_date.tm_mon;
    when.tm_year = (int)info.tmu_date.tm_year - 1900;
    when.tm_isdst = -1;
    struct timeval tv[2];
    tv[0].tv_sec = tv[1].tv_sec = mktime(&when);
    tv[0].tv_usec = tv[1].tv_usec = 0;
    return futimes(fd, tv);
}

// Writes the current entry to p via a temporary file in p's folder. A damaged
// entry, a short write or a failed close leaves whatever was at p untouched.
int write_entry(extract_state& st, const std::string& p, const unz_file_info& info)
{
    int err = unzOpenCurrentFile(st.zip);
    if (err != UNZ_OK) {
        st.note(__LINE__);
        return err;
    }

    memory_entry mem = entry_from_memory(st, p, info);
    std::string tmp = mem.tmp;
    int fd = mem.tried ? mem.fd : zip_create_temp(p, &tmp, &mem.create_err);
    if (fd < 0) {
        err = mem.create_err;
        st.note(__LINE__);
        unzCloseCurrentFile(st.zip);
        return err;
    }
    if (mem.whole) {
        err = mem.write_err;
        if (err) st.note(__LINE__);
        unzCloseCurrentFile(st.zip); // nothing read through minizip: nothing for it to check
    } else {
        // Damaged or not in memory: minizip reports exactly what is wrong.
        err = stream_entry(st, fd, info);
    }
    int time_err = err ? 0 : apply_mode_and_date(fd, info);
    if (close(fd) != 0 && !err) {
        err = errno;
        st.note(__LINE__);
    }
    if (!err && rename(tmp.c_str(), p.c_str()) != 0) {
        err = errno;
        st.note(__LINE__);
    }
    if (err) unlink(tmp.c_str());
    return err ? err : time_err;
}

int unzip_file(extract_state& st, const std::string& p, const unz_file_info& info)
{
    int err = write_entry(st, p, info);
    if (err)
        zip_log() << "Zip to file failed with error " << err << ". file = " << st.failed_file
                  << " line = " << st.failed_line << ". inFile=" << p << ".\n";
    return err;
}

// ---------------------------------------------------------------------------
// [SECTION] One symbolic link

int unzip_symlink(extract_state& st, const std::string& p, const unz_file_info& info)
{
    std::string target;
    int err = unzOpenCurrentFile(st.zip);
    if (err != UNZ_OK) {
        st.note(__LINE__);
    } else {
        if (info.uncompressed_size > kZipMaxLinkTarget) {
            err = kErrZipNameTooLong;
            st.note(__LINE__);
            unzCloseCurrentFile(st.zip);
        } else {
            char buf[kZipMaxLinkTarget + 1];
            int n = unzReadCurrentFile(st.zip, buf, (unsigned)kZipMaxLinkTarget);
            if (n < 0 || (unsigned long)n != info.uncompressed_size) {
                err = kErrZipRead;
                st.note(__LINE__);
                unzCloseCurrentFile(st.zip);
            } else {
                int closed = unzCloseCurrentFile(st.zip);
                if (closed != UNZ_OK) {
                    err = closed;
                    st.note(__LINE__);
                }
                target.assign(buf, (size_t)n);
            }
        }
    }
    if (!err && target.find('\0') != std::string::npos) {
        err = kErrZipBadName;
        st.note(__LINE__);
    }
    if (!err) {
        err = zip_check_link_target(st.where, p, target);
        if (err) st.note(__LINE__);
    }
    if (!err) {
        // Made under a temporary name and renamed over the old entry, so a
        // failure leaves the old one.
        err = kErrZipLinkOrTime;
        for (int i = 0; i < kZipTempTries; ++i) {
            std::string tmp = zip_temp_name_near(p);
            if (symlink(target.c_str(), tmp.c_str()) != 0) {
                if (errno == EEXIST) continue;
                break;
            }
            if (rename(tmp.c_str(), p.c_str()) == 0)
                err = 0;
            else
                unlink(tmp.c_str());
            break;
        }
        if (err)
            st.note(__LINE__);
        else
            st.where.links.insert(p);
    }
    if (err)
        zip_log() << "Zip to symlink failed with error " << err << ". file = " << st.failed_file
                  << " line = " << st.failed_line << ". inFile=" << p << ".\n";
    return err;
}

bool begins_with(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// One entry: the target, its checks, and the folder, link or file made.
int extract_entry(extract_state& st, const std::string& rel, const unz_file_info& info)
{
    bool is_folder = !rel.empty() && rel.back() == '/';
    if (begins_with(rel, kMacFolder)) return 0;

    int err = zip_check_entry_name(rel, is_folder ? zip_name_kind::folder : zip_name_kind::file);
    if (err) {
        st.note(__LINE__);
        zip_log() << "Zip entry refused (" << err << "): " << rel << "\n";
        return err;
    }
    std::string p;
    err = zip_safe_target(st.where, rel, &p);
    if (err) {
        st.note(__LINE__);
        zip_log() << "Zip entry refused (" << err << "): " << rel << "\n";
        return err;
    }
    if (is_folder) {
        err = make_folder(p + "/");
        if (err == EEXIST) return 0;
        if (err) st.note(__LINE__);
        return err;
    }
    if ((((unsigned long)info.external_fa >> 16) & kModeLink) == kModeLink)
        return unzip_symlink(st, p, info);
    return unzip_file(st, p, info);
}

// ---------------------------------------------------------------------------
// [SECTION] The archive

// Under which name entries are extracted: as stored, or under the name the
// caller gave (meant for an archive of one entry).
enum class entry_name { stored, given };

// Every entry of the open archive, in order; stops at the first failure.
// name, when not null, gets the first entry's stored name.
int extract_all(extract_state& st, std::string* name, entry_name names)
{
    int err = 0;
    unzGoToFirstFile(st.zip);
    for (bool first = true;; first = false) {
        unz_file_info info;
        char stored[kZipNameBuf];
        err = unzGetCurrentFileInfo(st.zip, &info, stored, sizeof(stored), nullptr, 0, nullptr, 0);
        if (err != UNZ_OK) {
            zip_log() << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
            st.note(__LINE__);
            return err;
        }
        std::string rel;
        if (info.size_filename >= (unsigned long)kZipNameBuf) {
            // Longer than the name buffer: refused, never cut short.
            err = kErrZipNameTooLong;
            st.note(__LINE__);
        } else {
            rel.assign(stored, info.size_filename);
            std::string stored_name = rel;
            if (names == entry_name::given && name) rel = *name;
            if (first && name) *name = stored_name;
            err = extract_entry(st, rel, info);
        }
        if (err) {
            zip_log() << "UNZIP zip_to_file failed with err=" << err << "\n";
            return err;
        }
        err = unzGoToNextFile(st.zip);
        if (err == UNZ_END_OF_LIST_OF_FILE) return 0;
        if (err) {
            st.note(__LINE__);
            return err;
        }
    }
}

} // namespace

void zip_log_to(std::ostream* sink)
{
    log_sink = sink;
}

int zip_to_file(std::string archive, std::string folder, std::string* name, int use_name,
                const std::string& root)
{
    archive = app_path + archive;
    folder = app_path + folder;

    extract_state st;
    int err = 0;
    if (!zip_confine(root.empty() ? folder : app_path + root, folder, &st.where)) {
        st.note(__LINE__);
        err = kErrZipUnsafeName;
    } else if (!(st.zip = zip_memory_open(st.ctx.archive, archive))) {
        zip_log() << "OK I am about to report that I could not open a zip file for extraction!\n";
        zip_log() << "That incoming file is " << archive << "\n";
        zip_log() << "In c-form, it is " << archive.c_str() << "\n";
        zip_log() << "The size is " << archive.size() << "\n";
        st.note(__LINE__);
        err = kErrZipOpen;
    } else {
        err = extract_all(st, name, use_name ? entry_name::given : entry_name::stored);
        unzClose(st.zip);
    }
    zip_memory_close(st.ctx.archive);
    if (err)
        zip_log() << "Zip to file failed with error err = " << err << ". file = " << st.failed_file
                  << " line = " << st.failed_line << ". zip_file=" << archive
                  << ", out_directory=" << folder << ".\n";
    return err;
}
