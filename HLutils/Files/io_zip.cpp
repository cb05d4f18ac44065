// Zip extraction: minizip reads the archive, this module decides what gets
// created on disk and how. Entry names and link targets are confined by
// zip_paths; small archives are read from memory through zip_memory.
//
// Index: unzip_file; unzip_symlink; zip_to_file; temporaries left behind.
#include "Files/io_zip.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <minizip/unzip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "Files/case_desens.h"
#include "Files/zip_memory.h"
#include "Files/zip_paths.h"
#include "GenH/hl_types.h"

namespace
{

// Entries are streamed through a buffer of this size, whatever size the
// archive declares.
constexpr size_t kChunk = 256 * 1024;
// Attempts at a free temporary name.
constexpr int kTempTries = 100;
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

// The file operations and the extraction report through one module path.
void note(int line)
{
    io_note_failure(line);
}

struct extract_state {
    unzFile zip = nullptr;
    zip_confinement where; // the root, the target folder below it, the links made
};

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

// Waiting between threads. A sleeping thread costs whoever wakes it a
// system call, and its own wake-up takes longer still, so a waiter first
// polls for a while and only then sleeps. Whoever changes what a sleeper
// waits for calls wake(), which costs nothing when none sleeps (sleepers is
// read after the change and counted under the mutex before the sleeper's last
// look, so no wake is lost).
class handoff
{
  public:
    // Returns once done() holds: polls it for about spin_us, then naps for
    // nap_us at a time during linger_us, then sleeps until woken, or with
    // nap_us > 0 wakes every nap_us (a change that comes without wake() is
    // still seen).
    template <class Done> void await(Done done, int spin_us, int nap_us, int linger_us = 0)
    {
        if (done()) return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(spin_us);
        for (unsigned i = 1;; ++i) {
            if (done()) return;
            // Reading the clock costs more than a look.
            if (i % 64 == 0 && std::chrono::steady_clock::now() >= until) break;
            cpu_relax();
        }
        // Naps while lingering are not counted: wake() skips them.
        const auto linger_end =
            std::chrono::steady_clock::now() + std::chrono::microseconds(linger_us);
        while (linger_us > 0 && std::chrono::steady_clock::now() < linger_end) {
            if (done()) return;
            std::this_thread::sleep_for(std::chrono::microseconds(nap_us));
        }
        std::unique_lock<std::mutex> lock(m_);
        sleepers_.fetch_add(1);
        while (!done()) {
            if (nap_us > 0)
                cv_.wait_for(lock, std::chrono::microseconds(nap_us));
            else
                cv_.wait(lock);
        }
        sleepers_.fetch_sub(1);
    }
    void wake()
    {
        if (sleepers_.load() == 0) return;
        {
            // Taken once so that a sleeper between its last look and its
            // wait cannot miss the notify.
            std::lock_guard<std::mutex> lock(m_);
        }
        cv_.notify_all();
    }

  private:
    static void cpu_relax()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    std::mutex m_;
    std::condition_variable cv_;
    std::atomic<int> sleepers_{0};
};

// Two threads kept for the rest of the process once an extraction needs
// them: while inflate runs, one writes the entry's bytes into its file as
// they are published, the other checksums them. Extractions hand them one
// entry at a time (entry_with_workers). Kept rather than started per entry:
// starting two threads costs about what a small entry saves.
//
// Each worker takes spans of the published bytes by claiming them. When
// inflate is done the extracting thread claims whatever is left and does it
// itself, waiting only for spans a worker already holds: it never waits for
// a worker to wake up, and a worker that wakes late finds nothing to claim.
// A claim carries the entry's number, so a worker still on an old entry
// cannot take a span of the next.
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
                std::thread([w] { w->checksum_work(); }).detach();
                instance_ = w;
            } catch (const std::system_error&) {
                // A worker that did start waits for an entry that never
                // comes; extractions go on without them.
                failed_ = true;
            }
        }
        return instance_;
    }

    // A new entry: its bytes will be published in data and written to fd.
    void begin(const char* data, int fd)
    {
        const unsigned job = job_.load() + 1;
        for (lane* l : {&write_, &sum_}) {
            l->claimed.store(claim(job, 0));
            l->done.store(claim(job, 0));
        }
        data_.store(data);
        fd_.store(fd);
        ready_.store(0);
        closed_.store(false);
        write_err_ = 0;
        crc_ = crc32(0, nullptr, 0);
        job_.store(job);
        idle_.wake();
    }
    // Bytes [0, n) of the data are final. The workers look for them often
    // enough on their own: no wake, no system call.
    void publish(size_t n) { ready_.store(n); }
    // No more bytes come: what the workers have not claimed is written and
    // checksummed here. The results are then in write_err and crc.
    void finish()
    {
        closed_.store(true);
        const unsigned job = job_.load();
        const size_t n = ready_.load();
        const char* data = data_.load();
        // The checksum goes on while the rest is written here: on an
        // incompressible entry the writing is most of the work.
        const size_t w = take_rest(write_, job, n);
        write_err = write_err_;
        if (!write_err && n > w) write_err = write_all(fd_.load(), data + w, n - w);
        const size_t c = take_rest(sum_, job, n);
        crc = crc_;
        if (n > c) crc = crc32(crc, reinterpret_cast<const Bytef*>(data + c), uInt(n - c));
    }

    // The entry's results, read after finish().
    int write_err = 0;
    uLong crc = 0;

  private:
    // How a worker waits (microseconds). For the next entry: it polls
    // kIdleSpinUs, naps kIdleNapUs at a time for kLingerUs (extractions come
    // in runs, and waking a sleeper costs begin() a system call), then sleeps
    // until woken. For more bytes of its entry: it polls kDataSpinUs, then
    // naps kDataNapUs at a time. A worker takes at most kSpan bytes at a
    // time, so the extracting thread never waits long for a span in hand.
    static constexpr int kIdleSpinUs = 50;
    static constexpr int kIdleNapUs = 50;
    static constexpr int kLingerUs = 20000;
    static constexpr int kDataSpinUs = 50;
    static constexpr int kDataNapUs = 200;
    static constexpr size_t kSpan = 256u << 10;
    // The extracting thread waiting for a span in hand: it polls, and sleeps
    // only if the worker was held up.
    static constexpr int kSpanWaitUs = 2000;
    static constexpr int kSpanNapUs = 50;
    // A claim: the entry's number above kPosBits, a byte position below.
    static constexpr int kPosBits = 40;

    struct lane {
        std::atomic<uint64_t> claimed{0}; // bytes [0, pos) are taken
        std::atomic<uint64_t> done{0};    // bytes [0, pos) are written or summed
    };
    static uint64_t claim(unsigned job, size_t pos) { return (uint64_t(job) << kPosBits) | pos; }
    static size_t pos_of(uint64_t c) { return size_t(c & ((uint64_t(1) << kPosBits) - 1)); }

    entry_workers() = default;

    // Claims the rest of the lane up to n and waits for the span a worker
    // holds, if any; returns where the rest begins.
    size_t take_rest(lane& l, unsigned job, size_t n)
    {
        const uint64_t had = l.claimed.exchange(claim(job, n));
        span_done_.await([&] { return l.done.load() == had; }, kSpanWaitUs, kSpanNapUs);
        return pos_of(had);
    }
    // One worker's life: for each entry, claims and works on spans until the
    // entry is closed, the extracting thread has taken the rest, or a newer
    // entry has begun. work(bytes, n) runs on each span in order.
    template <class Work> void serve(lane& l, Work work)
    {
        for (unsigned seen = 0;;) {
            idle_.await([&] { return job_.load() != seen; }, kIdleSpinUs, kIdleNapUs, kLingerUs);
            const unsigned job = seen = job_.load();
            const char* data = data_.load();
            const int fd = fd_.load();
            for (size_t pos = 0;;) {
                data_wait_.await(
                    [&] { return ready_.load() > pos || closed_.load() || job_.load() != job; },
                    kDataSpinUs, kDataNapUs);
                const size_t upto = std::min(ready_.load(), pos + kSpan);
                uint64_t expect = claim(job, pos);
                if (upto <= pos || !l.claimed.compare_exchange_strong(expect, claim(job, upto)))
                    break;
                // Claimed: data and fd are this entry's, read after its
                // number, and the entry cannot end before done is stored.
                work(fd, data + pos, upto - pos);
                l.done.store(claim(job, upto));
                span_done_.wake();
                pos = upto;
            }
        }
    }
    void file_work()
    {
        serve(write_, [&](int fd, const char* d, size_t n) {
            if (!write_err_) write_err_ = write_all(fd, d, n);
        });
    }
    void checksum_work()
    {
        serve(sum_, [&](int, const char* d, size_t n) {
            crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(d), static_cast<uInt>(n));
        });
    }

    static inline entry_workers* instance_ = nullptr;
    static inline bool failed_ = false;
    handoff idle_, data_wait_, span_done_;
    std::atomic<unsigned> job_{0};
    std::atomic<const char*> data_{nullptr};
    std::atomic<int> fd_{-1};
    std::atomic<size_t> ready_{0};
    std::atomic<bool> closed_{false};
    lane write_, sum_;
    // Touched only by the holder of a claim of the current entry, or by the
    // extracting thread once no span is held.
    int write_err_ = 0;
    uLong crc_ = 0;
};

// One raw inflate stream, reset per entry.
z_stream* entry_inflater()
{
    static z_stream z;
    static bool ready = inflateInit2(&z, -MAX_WBITS) == Z_OK;
    return ready && inflateReset(&z) == Z_OK ? &z : nullptr;
}

// The kept buffer an entry of up to kZipWholeEntry bytes is inflated into
// whole; reserved at its largest, as the archive's.
char* entry_buffer()
{
    static std::unique_ptr<char[]> buf(new char[kZipWholeEntry]);
    return buf.get();
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
bool feed(z_stream* z, const zip_memory_span& in)
{
    const size_t next = size_t(reinterpret_cast<const char*>(z->next_in) - in.from);
    const size_t left = in.size - next;
    if (z->avail_in >= std::min(left, kZipReadStep / 2)) return true;
    const size_t want = std::min(left, kZipReadStep);
    if (!zip_memory_load(in.at + next, in.at + next + want)) return false;
    z->avail_in = static_cast<uInt>(want);
    return true;
}

// The entry inflated into out (or, stored, published from the archive) in
// steps while the workers write it into a new temporary file beside p and
// checksum it. False when the workers cannot run (nothing done).
bool entry_with_workers(z_stream* z, const zip_memory_span& in, char* out,
                        const unz_file_info& info, const std::string& p, memory_entry* r)
{
    entry_workers* w = entry_workers::get();
    if (!w) return false;
    const size_t size = info.uncompressed_size;
    r->tried = true;
    r->fd = create_temp(p, &r->tmp, &r->create_err);
    if (r->fd < 0) return true;
    w->begin(z ? out : in.from, r->fd);
    bool made = true;
    if (!z) {
        for (size_t done = 0; made && done < size;) {
            const size_t upto = std::min(size, done + kZipReadStep);
            made = zip_memory_load(in.at + done, in.at + upto);
            if (made) w->publish(done = upto);
        }
    } else {
        int res = Z_OK;
        while (res == Z_OK && z->total_out < size && feed(z, in)) {
            // Steps shrink toward the end, so little is left to do here
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
    r->write_err = w->write_err;
    return true;
}

// The entry from the archive in memory into a new temporary file beside p.
// From kPipeFrom on the workers write the file and checksum it while inflate
// runs (entry_with_workers); a smaller entry is inflated in one call,
// checksummed and written with one write right here.
memory_entry entry_from_memory(extract_state& st, const std::string& p, const unz_file_info& info)
{
    memory_entry r;
    const zip_memory_span in = zip_memory_entry(st.zip, info);
    const char* from = in.from;
    if (!from) return r;
    const size_t size = info.uncompressed_size;
    const bool deflated = info.compression_method == Z_DEFLATED;
    z_stream* z = deflated ? entry_inflater() : nullptr;
    if (deflated && !z) return r;
    char* out = deflated ? entry_buffer() : nullptr;
    if (deflated) {
        z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(from));
        z->avail_in = 0;
        z->next_out = reinterpret_cast<Bytef*>(out);
    }

    if (size >= kPipeFrom && entry_with_workers(z, in, out, info, p, &r)) return r;

    // Read whole: a damaged entry reads nothing beyond its own bytes.
    if (!zip_memory_load(in.at, in.at + in.size)) return r;
    r.tried = true;
    r.fd = create_temp(p, &r.tmp, &r.create_err);
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

int unzip_symlink(extract_state& st, const std::string& p, const unz_file_info& info)
{
    std::string target;
    int err = unzOpenCurrentFile(st.zip);
    if (err != UNZ_OK) {
        note(__LINE__);
    } else {
        if (info.uncompressed_size > kZipMaxLinkTarget) {
            err = kErrZipNameTooLong;
            note(__LINE__);
            unzCloseCurrentFile(st.zip);
        } else {
            char buf[kZipMaxLinkTarget + 1];
            int n = unzReadCurrentFile(st.zip, buf, (unsigned)kZipMaxLinkTarget);
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
        err = zip_check_link_target(st.where, p, target);
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
            st.where.links.insert(p);
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

    int err = zip_check_entry_name(rel, is_folder ? zip_name_kind::folder : zip_name_kind::file);
    if (err) {
        note(__LINE__);
        xer << "Zip entry refused (" << err << "): " << rel << "\n";
        return err;
    }
    std::string p;
    err = zip_safe_target(st.where, rel, &p);
    if (err) {
        note(__LINE__);
        xer << "Zip entry refused (" << err << "): " << rel << "\n";
        return err;
    }
    if (is_folder) {
        err = make_folder(p + "/");
        return err == EEXIST ? 0 : err;
    }
    if ((((unsigned long)info.external_fa >> 16) & kModeLink) == kModeLink)
        return unzip_symlink(st, p, info);
    return unzip_file(st, p, info);
}

// ---------------------------------------------------------------------------
// [SECTION] The archive

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
    int err = 0;
    if (!zip_confine(root.empty() ? folder : app_path + root, folder, &st.where)) {
        note(__LINE__);
        err = kErrZipUnsafeName;
    } else if (!(st.zip = zip_memory_open(archive))) {
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
    zip_memory_close();
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
