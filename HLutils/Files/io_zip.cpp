// Zip extraction: minizip reads the archive, this module decides what gets
// created on disk and how.
//
// Index: entry names and link targets (safety); the archive in memory;
// unzip_file; unzip_symlink; zip_to_file; temporaries left behind.
#include "Files/io_zip.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <minizip/unzip.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "Files/case_desens.h"
#include "GenH/hl_types.h"

namespace
{

// Entries are streamed through a buffer of this size, whatever size the
// archive declares.
constexpr size_t kChunk = 256 * 1024;
// A link target longer than this cannot be a path.
constexpr size_t kMaxLinkTarget = 4096;
// Links followed while checking one path (the kernel's own limit).
constexpr int kMaxLinkHops = 40;
// Attempts at a free temporary name.
constexpr int kTempTries = 100;
// Archives up to this size are read whole with one read and handed to minizip
// from memory: its own file functions make dozens of small reads and seeks
// per archive. The buffer is kept for the next archive.
constexpr size_t kWholeArchive = 6u << 20;
// Entries of an archive in memory up to this size are inflated straight from
// the archive into a kept buffer; larger ones stream through kChunk. With
// kWholeArchive this bounds what the extraction keeps to 12 MiB.
constexpr size_t kWholeEntry = 6u << 20;
// Entries from this size on are handed to two more threads that create and
// write the file and checksum it while inflate runs; below it the handing
// over costs more than it saves. From kStepFrom on inflate publishes its
// output in steps (kPipeStep, shrinking to kPipeLastStep at the end).
constexpr size_t kPipeFrom = 64u << 10;
constexpr size_t kStepFrom = 1u << 20;
constexpr size_t kPipeStep = 512u << 10;
constexpr size_t kPipeLastStep = 64u << 10;
// Mode bits of a symbolic link in the entry's upper attribute half.
constexpr unsigned long kModeLink = 0xA000;
// Folder of Mac resource forks, never extracted.
constexpr const char* kMacFolder = "__MACOSX";

// The file operations and the extraction report through one module path.
void note(int line)
{
    io_note_failure(line);
}

struct extract_state {
    unzFile zip = nullptr;
    std::string root;              // nothing may leave this folder; ends in '/'
    std::vector<std::string> base; // the target folder below root, one name each
    std::set<std::string> links;   // links this extraction made (resolved paths)
};

// ---------------------------------------------------------------------------
// [SECTION] Entry names and link targets

std::vector<std::string> split_path(const std::string& path)
{
    std::vector<std::string> out;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        out.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    return out;
}

std::string join_path(const std::string& root, const std::vector<std::string>& comps)
{
    std::string out = root;
    for (size_t i = 0; i < comps.size(); ++i) {
        if (i) out += '/';
        out += comps[i];
    }
    return out;
}

// Name checks before anything is created: the name must stay below the
// target folder and must not name the folder itself.
int check_entry_name(const std::string& rel, bool is_folder)
{
    if (rel.empty()) return kErrZipBadName;
    if (rel.size() >= (size_t)kZipNameBuf) return kErrZipNameTooLong;
    if (rel.find('\0') != std::string::npos) return kErrZipBadName;
    if (rel[0] == '/') return kErrZipUnsafeName;
    std::vector<std::string> comps = split_path(rel);
    for (const std::string& c : comps)
        if (c == "..") return kErrZipUnsafeName;
    if (!is_folder) {
        const std::string& last = comps.back();
        if (last.empty() || last == ".") return kErrZipBadName;
    }
    return 0;
}

// Walks comps below root as the kernel would, following links already on
// disk. Fails when the walk leaves root, meets an absolute link or loops,
// or (with made) passes a link that this extraction made. The last component
// is followed only with follow_last. resolved gets the components reached.
// The first `trusted` components (the target folder, chosen by the caller)
// are taken as they are; a ".." may step out of one only when it is a real
// folder, since out of a link the kernel would go elsewhere.
// With strict_up a ".." must step out of a real folder reached without
// following any link: a missing name, a file or a link there could later be
// replaced by a link of another entry, and the ".." would then lead elsewhere.
int walk_inside(const std::string& root, const std::vector<std::string>& comps,
                const std::set<std::string>* made, bool follow_last, bool strict_up,
                std::vector<std::string>* resolved, size_t trusted = 0)
{
    std::deque<std::string> todo(comps.begin(), comps.end());
    std::vector<std::string> cur;
    size_t trusted_left = trusted; // of todo's first entries
    size_t trusted_in_cur = 0;     // of cur's first entries
    int hops = 0;
    bool followed = false;
    while (!todo.empty()) {
        std::string c = todo.front();
        todo.pop_front();
        bool as_is = trusted_left > 0;
        if (as_is) --trusted_left;
        if (c.empty() || c == ".") continue;
        if (c == "..") {
            if (cur.empty()) return kErrZipUnsafeName;
            bool leaves_trusted = cur.size() <= trusted_in_cur;
            if (strict_up || leaves_trusted) {
                struct stat st;
                if ((strict_up && followed) || lstat(join_path(root, cur).c_str(), &st) != 0 ||
                    !S_ISDIR(st.st_mode))
                    return kErrZipUnsafeName;
            }
            cur.pop_back();
            if (leaves_trusted) trusted_in_cur = cur.size();
            continue;
        }
        cur.push_back(c);
        if (as_is) {
            trusted_in_cur = cur.size();
            continue;
        }
        if (todo.empty() && !follow_last) break;
        std::string path = join_path(root, cur);
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        if (made && made->count(path)) return kErrZipUnsafeName;
        if (++hops > kMaxLinkHops) return kErrZipUnsafeName;
        char target[kMaxLinkTarget + 1];
        ssize_t n = readlink(path.c_str(), target, kMaxLinkTarget);
        if (n <= 0) return kErrZipUnsafeName;
        if (target[0] == '/') return kErrZipUnsafeName;
        followed = true;
        cur.pop_back();
        std::vector<std::string> more = split_path(std::string(target, (size_t)n));
        todo.insert(todo.begin(), more.begin(), more.end());
    }
    if (resolved) *resolved = cur;
    return 0;
}

// How many leading components of comps are the target folder itself.
size_t base_part(const extract_state& st, const std::vector<std::string>& comps)
{
    size_t n = 0;
    while (n < st.base.size() && n < comps.size() && comps[n] == st.base[n])
        ++n;
    return n == st.base.size() ? n : 0;
}

// Where an entry named rel may be written: its folder must be reached
// without leaving root or passing a link made by an earlier entry. out gets
// the path to write (through links already on disk).
int safe_target(extract_state& st, const std::string& rel, std::string* out)
{
    std::vector<std::string> comps = st.base;
    for (const std::string& c : split_path(rel))
        comps.push_back(c);
    std::string last = comps.back();
    comps.pop_back();
    std::vector<std::string> parent;
    int err = walk_inside(st.root, comps, &st.links, true, false, &parent, st.base.size());
    if (err) return err;
    if (!last.empty() && last != ".") parent.push_back(last);
    *out = join_path(st.root, parent);
    return 0;
}

// A link (components link_comps below root) may point only inside root.
int check_link_target(extract_state& st, const std::vector<std::string>& link_comps,
                      const std::string& target)
{
    if (!target.empty() && target[0] == '/') return kErrZipUnsafeName;
    std::vector<std::string> comps(link_comps.begin(), link_comps.end() - 1);
    size_t trusted = base_part(st, comps);
    for (const std::string& c : split_path(target))
        comps.push_back(c);
    return walk_inside(st.root, comps, nullptr, true, true, nullptr, trusted);
}

// Letters of the random part of a temporary name.
constexpr const char kTempLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

// A free name next to path for writing before the rename into place.
std::string temp_name_near(const std::string& path)
{
    // Per thread: entries' files are also created on a worker thread.
    static thread_local std::mt19937 rng(std::random_device{}());
    std::string folder;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) folder = path.substr(0, slash + 1);
    std::string name = folder + kZipTempPrefix;
    for (int i = 0; i < kZipTempRandom; ++i)
        name += kTempLetters[rng() % (sizeof(kTempLetters) - 1)];
    return name;
}

// ---------------------------------------------------------------------------
// [SECTION] The archive in memory

struct memory_archive {
    std::unique_ptr<char[]> data;
    size_t capacity = 0;
    size_t size = 0;
    size_t pos = 0;
    bool loaded = false; // the open archive is this one
};

memory_archive& archive_memory()
{
    static memory_archive m;
    return m;
}

// The whole archive into archive_memory(); false when it is no regular file
// of at most kWholeArchive bytes or cannot be read (minizip then opens it
// itself and reports what it finds).
bool read_archive(const std::string& path)
{
    memory_archive& m = archive_memory();
    m.loaded = false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (size_t)st.st_size <= kWholeArchive;
    if (ok && (size_t)st.st_size > m.capacity) {
        m.data.reset(new char[(size_t)st.st_size]);
        m.capacity = (size_t)st.st_size;
    }
    size_t got = 0;
    while (ok && got < (size_t)st.st_size) {
        ssize_t n = read(fd, m.data.get() + got, (size_t)st.st_size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            got += (size_t)n;
    }
    close(fd);
    m.size = got;
    m.pos = 0;
    m.loaded = ok;
    return ok;
}

voidpf ZCALLBACK mem_open(voidpf opaque, const void*, int mode)
{
    if (!(mode & ZLIB_FILEFUNC_MODE_READ)) return nullptr;
    static_cast<memory_archive*>(opaque)->pos = 0;
    return opaque;
}

uLong ZCALLBACK mem_read(voidpf, voidpf stream, void* buf, uLong n)
{
    memory_archive& m = *static_cast<memory_archive*>(stream);
    size_t left = m.size - m.pos;
    if (n > left) n = (uLong)left;
    if (n == 0) return 0;
    std::memcpy(buf, m.data.get() + m.pos, n);
    m.pos += n;
    return n;
}

uLong ZCALLBACK mem_write(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK mem_tell(voidpf, voidpf stream)
{
    return static_cast<memory_archive*>(stream)->pos;
}

long ZCALLBACK mem_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    memory_archive& m = *static_cast<memory_archive*>(stream);
    ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                    : origin == ZLIB_FILEFUNC_SEEK_CUR ? m.pos
                                                       : m.size;
    if (offset > m.size || base > m.size - offset) return -1;
    m.pos = (size_t)(base + offset);
    return 0;
}

int ZCALLBACK mem_close(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK mem_error(voidpf, voidpf)
{
    return 0;
}

// Opens the archive from memory when it fits, else through minizip's files.
unzFile open_archive(const std::string& path)
{
    if (!read_archive(path)) return unzOpen(path.c_str());
    zlib_filefunc64_def funcs = {mem_open, mem_read,  mem_write, mem_tell,
                                 mem_seek, mem_close, mem_error, &archive_memory()};
    return unzOpen2_64(path.c_str(), &funcs);
}

// ---------------------------------------------------------------------------
// [SECTION] One regular file

int write_all(int fd, const char* data, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (w == 0) return EIO;
        data += w;
        n -= (size_t)w;
    }
    return 0;
}

char* chunk_buffer()
{
    static std::unique_ptr<char[]> buf(new char[kChunk]);
    return buf.get();
}

// A new temporary file beside p, opened for writing; -1 with *err set when
// none could be made.
int create_temp(const std::string& p, std::string* tmp, int* err)
{
    int fd = -1;
    for (int i = 0; i < kTempTries && fd < 0; ++i) {
        *tmp = temp_name_near(p);
        fd = open(tmp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) *err = errno;
    return fd;
}

// Two threads kept for the rest of the process once an extraction needs
// them: one creates an entry's temporary file and writes the entry's bytes as
// they are published, the other checksums them. Extractions hand them one
// entry at a time (entry_with_workers), so creating the file, inflating,
// checksumming and writing overlap. Kept rather than started per entry:
// starting two threads costs about what a small entry saves.
class entry_workers
{
public:
    // The workers, started on first use; null when a thread cannot start. A
    // forked child has none of the parent's threads and starts none (POSIX
    // promises little in such a child): it extracts on its own.
    static entry_workers* get()
    {
        static std::once_flag at_fork;
        std::call_once(at_fork, [] {
            pthread_atfork(nullptr, nullptr, [] {
                instance_ = nullptr;
                failed_ = true;
            });
        });
        if (!instance_ && !failed_) {
            // Never deleted: the threads wait on it until the process ends.
            auto* w = new entry_workers;
            try {
                std::thread([w] { w->file_work(); }).detach();
                ++w->running_;
                std::thread([w] { w->checksum_work(); }).detach();
                ++w->running_;
                instance_ = w;
            } catch (const std::system_error&) {
                // A worker that did start waits for a job that never comes;
                // extractions go on without them.
                failed_ = true;
            }
        }
        return instance_;
    }

    // A new entry: its bytes will be published in data, its file made beside
    // target.
    void begin(const char* data, const std::string& target)
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            data_ = data;
            target_ = target;
            ready_ = 0;
            closed_ = false;
            finished_ = 0;
            fd = -1;
            tmp.clear();
            create_err = write_err = 0;
            crc = 0;
            ++job_;
        }
        work_.notify_all();
    }
    // Bytes [0, n) of the data are final.
    void publish(size_t n)
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            ready_ = n;
        }
        work_.notify_all();
    }
    // No more bytes come; returns once both workers are done with the entry.
    void finish()
    {
        std::unique_lock<std::mutex> lock(m_);
        closed_ = true;
        work_.notify_all();
        done_.wait(lock, [&] { return finished_ == running_; });
    }

    // The entry's results, read after finish().
    int fd = -1; // its temporary file; -1 when it could not be created
    std::string tmp;
    int create_err = 0, write_err = 0;
    uLong crc = 0;

private:
    entry_workers() = default;

    // Waits for the next entry; returns its bytes' address.
    const char* next_job(unsigned* seen)
    {
        std::unique_lock<std::mutex> lock(m_);
        work_.wait(lock, [&] { return job_ != *seen; });
        *seen = job_;
        return data_;
    }
    // Hands each newly published span to work until the entry is closed,
    // then reports (under the lock, before finish() can return).
    template <class Work, class Report>
    void follow(const char* data, Work work, Report report)
    {
        size_t pos = 0;
        for (;;) {
            size_t upto;
            bool closed;
            {
                std::unique_lock<std::mutex> lock(m_);
                work_.wait(lock, [&] { return ready_ > pos || closed_; });
                upto = ready_;
                closed = closed_;
            }
            if (upto > pos) work(data + pos, upto - pos);
            pos = upto;
            if (closed) break; // ready_ is final once closed_ is seen
        }
        std::lock_guard<std::mutex> lock(m_);
        report();
        if (++finished_ == running_) done_.notify_one();
    }
    void file_work()
    {
        for (unsigned seen = 0;;) {
            const char* data = next_job(&seen);
            std::string target;
            {
                std::lock_guard<std::mutex> lock(m_);
                target = target_;
            }
            int err = 0;
            std::string name;
            const int f = create_temp(target, &name, &err);
            {
                std::lock_guard<std::mutex> lock(m_);
                fd = f;
                tmp = name;
                create_err = err;
            }
            int werr = 0;
            follow(
                data,
                [&](const char* d, size_t n) {
                    if (f >= 0 && !werr) werr = write_all(f, d, n);
                },
                [&] { write_err = werr; });
        }
    }
    void checksum_work()
    {
        for (unsigned seen = 0;;) {
            const char* data = next_job(&seen);
            uLong c = crc32(0, nullptr, 0);
            follow(
                data,
                [&](const char* d, size_t n) {
                    c = crc32(c, reinterpret_cast<const Bytef*>(d), static_cast<uInt>(n));
                },
                [&] { crc = c; });
        }
    }

    static inline entry_workers* instance_ = nullptr;
    static inline bool failed_ = false;
    std::mutex m_;
    std::condition_variable work_, done_;
    unsigned job_ = 0;
    int running_ = 0, finished_ = 0;
    const char* data_ = nullptr;
    std::string target_;
    size_t ready_ = 0;
    bool closed_ = false;
};

// One raw inflate stream, reset per entry.
z_stream* entry_inflater()
{
    static z_stream z;
    static bool ready = inflateInit2(&z, -MAX_WBITS) == Z_OK;
    return ready && inflateReset(&z) == Z_OK ? &z : nullptr;
}

// The kept buffer an entry is inflated into whole.
char* entry_buffer(size_t size)
{
    static std::unique_ptr<char[]> buf;
    static size_t capacity = 0;
    if (size > capacity) {
        buf.reset(new char[size]);
        capacity = size;
    }
    return buf.get();
}

// Where the open entry's bytes begin in the archive in memory; null when it
// is not taken from there: the archive was not read whole, or the entry is
// encrypted, larger than kWholeEntry, of another method or out of bounds.
const char* entry_in_memory(extract_state& st, const unz_file_info& info)
{
    const memory_archive& m = archive_memory();
    if (!m.loaded || (info.flag & 1) || info.uncompressed_size > kWholeEntry) return nullptr;
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return nullptr;
    if (info.compression_method == 0 && info.compressed_size != info.uncompressed_size)
        return nullptr;
    ZPOS64_T at = unzGetCurrentFileZStreamPos64(st.zip);
    if (at > m.size || info.compressed_size > m.size - at) return nullptr;
    return m.data.get() + at;
}

// What became of an entry taken from memory.
struct memory_entry {
    bool tried = false; // false: nothing done, no file made
    bool whole = false; // the file holds the whole entry, checksum verified
    int fd = -1;        // the temporary file when one was made
    std::string tmp;
    int create_err = 0, write_err = 0;
};

// The entry inflated into out (or, stored, published from in) while the
// workers create and write its file and checksum it; from kStepFrom on
// inflate publishes in steps, so the workers follow it. False when the
// workers cannot run (nothing done).
bool entry_with_workers(z_stream* z, const char* in, char* out, const unz_file_info& info,
                        const std::string& p, memory_entry* r)
{
    entry_workers* w = entry_workers::get();
    if (!w) return false;
    const size_t size = info.uncompressed_size;
    w->begin(z ? out : in, p);
    r->tried = true;
    bool made = true;
    if (!z) {
        w->publish(size);
    } else if (size < kStepFrom) {
        z->avail_out = static_cast<uInt>(size);
        made = inflate(z, Z_FINISH) == Z_STREAM_END && z->total_out == size;
        if (made) w->publish(size);
    } else {
        int res = Z_OK;
        while (res == Z_OK && z->total_out < size) {
            // Steps shrink toward the end, so little is left to the workers
            // once inflate is done.
            const size_t left = size - z->total_out;
            z->avail_out =
                static_cast<uInt>(std::min(left, std::clamp(left / 2, kPipeLastStep, kPipeStep)));
            res = inflate(z, Z_NO_FLUSH);
            w->publish(z->total_out);
        }
        made = res == Z_STREAM_END && z->total_out == size;
    }
    w->finish();
    r->whole = made && w->crc == info.crc;
    r->fd = w->fd;
    r->tmp = w->tmp;
    r->create_err = w->create_err;
    r->write_err = w->write_err;
    return true;
}

// The entry from the archive in memory into a new temporary file beside p.
// From kPipeFrom on the workers make the file and checksum it while inflate
// runs (entry_with_workers); a smaller entry is inflated in one call,
// checksummed and written with one write right here.
memory_entry entry_from_memory(extract_state& st, const std::string& p, const unz_file_info& info)
{
    memory_entry r;
    const char* in = entry_in_memory(st, info);
    if (!in) return r;
    const size_t size = info.uncompressed_size;
    const bool deflated = info.compression_method == Z_DEFLATED;
    z_stream* z = deflated ? entry_inflater() : nullptr;
    if (deflated && !z) return r;
    char* out = deflated ? entry_buffer(size) : nullptr;
    if (deflated) {
        z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
        z->avail_in = static_cast<uInt>(info.compressed_size);
        z->next_out = reinterpret_cast<Bytef*>(out);
    }

    if (size >= kPipeFrom && entry_with_workers(z, in, out, info, p, &r)) return r;

    r.tried = true;
    r.fd = create_temp(p, &r.tmp, &r.create_err);
    if (r.fd < 0) return r;
    const char* bytes = in;
    if (deflated) {
        z->avail_out = static_cast<uInt>(size);
        if (inflate(z, Z_FINISH) != Z_STREAM_END || z->total_out != size) return r;
        bytes = out;
    }
    if (crc32(0, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(size)) != info.crc)
        return r;
    r.whole = true;
    r.write_err = write_all(r.fd, bytes, size);
    return r;
}

// The open entry streamed through minizip into fd from its start, minizip
// checking the size and (on closing) the checksum. Closes the entry.
int stream_entry(extract_state& st, int fd, const unz_file_info& info)
{
    int err = 0;
    // A try from memory may have written part of the entry.
    if (lseek(fd, 0, SEEK_SET) != 0 || ftruncate(fd, 0) != 0) {
        err = errno;
        note(__LINE__);
        unzCloseCurrentFile(st.zip);
        return err;
    }
    unzCloseCurrentFile(st.zip);
    err = unzOpenCurrentFile(st.zip);
    if (err != UNZ_OK) {
        note(__LINE__);
        return err;
    }
    char* buf = chunk_buffer();
    unsigned long long total = 0;
    for (;;) {
        int n = unzReadCurrentFile(st.zip, buf, (unsigned)kChunk);
        if (n < 0) {
            err = kErrZipRead;
            note(__LINE__);
            break;
        }
        if (n == 0) break;
        total += (unsigned)n;
        int w = write_all(fd, buf, (size_t)n);
        if (w) {
            err = w;
            note(__LINE__);
            break;
        }
    }
    if (!err && total != (unsigned long long)info.uncompressed_size) {
        err = kErrZipRead;
        note(__LINE__);
    }
    // Closing the entry checks its CRC.
    int closed = unzCloseCurrentFile(st.zip);
    if (!err && closed != UNZ_OK) {
        err = closed;
        note(__LINE__);
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
        note(__LINE__);
        return err;
    }

    memory_entry mem = entry_from_memory(st, p, info);
    std::string tmp = mem.tmp;
    int fd = mem.tried ? mem.fd : create_temp(p, &tmp, &mem.create_err);
    if (fd < 0) {
        err = mem.create_err;
        note(__LINE__);
        unzCloseCurrentFile(st.zip);
        return err;
    }
    if (mem.whole) {
        err = mem.write_err;
        if (err) note(__LINE__);
        unzCloseCurrentFile(st.zip); // nothing read through minizip: nothing for it to check
    } else {
        // Damaged or not in memory: minizip reports exactly what is wrong.
        err = stream_entry(st, fd, info);
    }
    int time_err = err ? 0 : apply_mode_and_date(fd, info);
    if (close(fd) != 0 && !err) {
        err = errno;
        note(__LINE__);
    }
    if (!err && rename(tmp.c_str(), p.c_str()) != 0) {
        err = errno;
        note(__LINE__);
    }
    if (err) unlink(tmp.c_str());
    return err ? err : time_err;
}

int unzip_file(extract_state& st, const std::string& p, const unz_file_info& info)
{
    int err = write_entry(st, p, info);
    if (err)
        xer << "Zip to file failed with error " << err << ". file = " << sErrFile
            << " line = " << sErrLine << ". inFile=" << p << ".\n";
    return err;
}

// ---------------------------------------------------------------------------
// [SECTION] One symbolic link

int unzip_symlink(extract_state& st, const std::string& p, const std::vector<std::string>& comps,
                  const unz_file_info& info)
{
    std::string target;
    int err = unzOpenCurrentFile(st.zip);
    if (err != UNZ_OK) {
        note(__LINE__);
    } else {
        if (info.uncompressed_size > kMaxLinkTarget) {
            err = kErrZipNameTooLong;
            note(__LINE__);
            unzCloseCurrentFile(st.zip);
        } else {
            char buf[kMaxLinkTarget + 1];
            int n = unzReadCurrentFile(st.zip, buf, (unsigned)kMaxLinkTarget);
            if (n < 0 || (unsigned long)n != info.uncompressed_size) {
                err = kErrZipRead;
                note(__LINE__);
                unzCloseCurrentFile(st.zip);
            } else {
                int closed = unzCloseCurrentFile(st.zip);
                if (closed != UNZ_OK) {
                    err = closed;
                    note(__LINE__);
                }
                target.assign(buf, (size_t)n);
            }
        }
    }
    if (!err && target.find('\0') != std::string::npos) {
        err = kErrZipBadName;
        note(__LINE__);
    }
    if (!err) {
        err = check_link_target(st, comps, target);
        if (err) note(__LINE__);
    }
    if (!err) {
        // Made under a temporary name and renamed over the old entry, so a
        // failure leaves the old one.
        err = kErrZipLinkOrTime;
        for (int i = 0; i < kTempTries; ++i) {
            std::string tmp = temp_name_near(p);
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
            note(__LINE__);
        else
            st.links.insert(p);
    }
    if (err)
        xer << "Zip to symlink failed with error " << err << ". file = " << sErrFile
            << " line = " << sErrLine << ". inFile=" << p << ".\n";
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

    int err = check_entry_name(rel, is_folder);
    if (err) {
        note(__LINE__);
        xer << "Zip entry refused (" << err << "): " << rel << "\n";
        return err;
    }
    std::string p;
    err = safe_target(st, rel, &p);
    if (err) {
        note(__LINE__);
        xer << "Zip entry refused (" << err << "): " << rel << "\n";
        return err;
    }
    if (is_folder) {
        err = make_folder(p + "/");
        return err == EEXIST ? 0 : err;
    }
    if ((((unsigned long)info.external_fa >> 16) & kModeLink) == kModeLink) {
        std::vector<std::string> comps = split_path(p.substr(st.root.size()));
        return unzip_symlink(st, p, comps, info);
    }
    return unzip_file(st, p, info);
}

// ---------------------------------------------------------------------------
// [SECTION] The archive

// The target folder below root, one name per component; false when folder
// is not inside root.
bool folder_below_root(const std::string& root, const std::string& folder,
                       std::vector<std::string>* base)
{
    base->clear();
    if (folder.compare(0, root.size(), root) != 0) return false;
    for (const std::string& c : split_path(folder.substr(root.size()))) {
        if (c == "..") return false;
        if (!c.empty() && c != ".") base->push_back(c);
    }
    return true;
}

// Every entry of the open archive, in order; stops at the first failure.
int extract_all(extract_state& st, std::string* name, int use_name)
{
    int err = 0;
    unzGoToFirstFile(st.zip);
    for (bool first = true;; first = false) {
        unz_file_info info;
        char stored[kZipNameBuf];
        err = unzGetCurrentFileInfo(st.zip, &info, stored, sizeof(stored), nullptr, 0, nullptr, 0);
        if (err != UNZ_OK) {
            xer << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
            note(__LINE__);
            return err;
        }
        std::string rel;
        if (info.size_filename >= (unsigned long)kZipNameBuf) {
            // Longer than the name buffer: refused, never cut short.
            err = kErrZipNameTooLong;
            note(__LINE__);
        } else {
            rel.assign(stored, info.size_filename);
            std::string stored_name = rel;
            if (use_name && name) rel = *name;
            if (first && name) *name = stored_name;
            err = extract_entry(st, rel, info);
        }
        if (err) {
            xer << "UNZIP zip_to_file failed with err=" << err << "\n";
            return err;
        }
        err = unzGoToNextFile(st.zip);
        if (err == UNZ_END_OF_LIST_OF_FILE) return 0;
        if (err) {
            note(__LINE__);
            return err;
        }
    }
}

} // namespace

int zip_to_file(std::string archive, std::string folder, std::string* name, int use_name,
                const std::string& root)
{
    archive = app_path + archive;
    folder = app_path + folder;

    extract_state st;
    st.root = root.empty() ? folder : app_path + root;
    int err = 0;
    if (!folder_below_root(st.root, folder, &st.base)) {
        note(__LINE__);
        err = kErrZipUnsafeName;
    } else if (!(st.zip = open_archive(archive))) {
        xer << "OK I am about to report that I could not open a zip file for extraction!\n";
        xer << "That incoming file is " << archive << "\n";
        xer << "In c-form, it is " << archive.c_str() << "\n";
        xer << "The size is " << archive.size() << "\n";
        note(__LINE__);
        err = kErrZipOpen;
    } else {
        err = extract_all(st, name, use_name);
        unzClose(st.zip);
    }
    if (err)
        xer << "Zip to file failed with error err = " << err << ". file = " << sErrFile
            << " line = " << sErrLine << ". zip_file=" << archive << ", out_directory=" << folder
            << ".\n";
    return err;
}

// ---------------------------------------------------------------------------
// [SECTION] Temporaries left behind

std::string zip_temp_name_near(const std::string& path)
{
    return temp_name_near(path);
}

bool zip_is_temp_name(const std::string& name)
{
    const size_t prefix = std::strlen(kZipTempPrefix);
    if (name.size() != prefix + kZipTempRandom || name.compare(0, prefix, kZipTempPrefix) != 0)
        return false;
    for (size_t i = prefix; i < name.size(); ++i)
        if (name[i] == '\0' || !std::strchr(kTempLetters, name[i])) return false;
    return true;
}

int zip_remove_stale_temps(const std::string& folder)
{
    std::string path = app_path + folder;
    const std::vector<std::string>* names = folder_names(path);
    if (!names) return 0;
    int removed = 0;
    for (const std::string& entry : *names) {
        if (!zip_is_temp_name(entry)) continue;
        // Only what the extraction makes: a file or a link, never a folder.
        struct stat st;
        if (lstat((path + entry).c_str(), &st) != 0) continue;
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
        if (unlink((path + entry).c_str()) == 0) ++removed;
    }
    if (removed) folder_memo_forget(path);
    return removed;
}
