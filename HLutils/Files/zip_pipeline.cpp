// The two worker threads of the write pipeline and how threads wait for
// each other.
#include "Files/zip_pipeline.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#include "Files/zip_temps.h"

namespace
{
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
    // nap_us at a time during linger_us, then sleeps: until woken when every
    // change comes with wake() (a thread that waits for the next entry costs
    // nothing however long none comes), else waking every nap_us, so that a
    // change without wake() is still seen.
    enum class rest { until_woken, napping };
    template <class Done>
    void await(Done done, int spin_us, int nap_us, rest sleep, int linger_us = 0)
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
            if (sleep == rest::napping)
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
// entry at a time. Kept rather than started per entry: starting two threads
// costs about what a small entry saves.
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
    // The workers get() gave.
    static entry_workers& running() { return *instance_; }

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
    // checksummed here.
    zip_workers_result finish()
    {
        zip_workers_result r;
        closed_.store(true);
        const unsigned job = job_.load();
        const size_t n = ready_.load();
        const char* data = data_.load();
        // The checksum goes on while the rest is written here: on an
        // incompressible entry the writing is most of the work.
        const size_t w = take_rest(write_, job, n);
        r.write_err = write_err_;
        if (!r.write_err && n > w) r.write_err = zip_write_all(fd_.load(), data + w, n - w);
        const size_t c = take_rest(sum_, job, n);
        r.crc = crc_;
        if (n > c) r.crc = crc32(r.crc, reinterpret_cast<const Bytef*>(data + c), uInt(n - c));
        return r;
    }

  private:
    // How a worker waits (microseconds). For the next entry: it polls
    // kIdleSpinUs, naps kIdleNapUs at a time for kLingerUs (extractions come
    // in runs, and waking a sleeper costs begin() a system call), then sleeps
    // until begin() wakes it. For more bytes of its entry: it polls
    // kDataSpinUs, then naps kDataNapUs at a time (publish() wakes nobody,
    // and finish() ends every entry, so this lasts no longer than one). A
    // worker takes at most kSpan bytes at a time, so the extracting thread
    // never waits long for a span in hand.
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
        span_done_.await([&] { return l.done.load() == had; }, kSpanWaitUs, kSpanNapUs,
                         handoff::rest::napping);
        return pos_of(had);
    }
    // One worker's life: for each entry, claims and works on spans until the
    // entry is closed, the extracting thread has taken the rest, or a newer
    // entry has begun. work(bytes, n) runs on each span in order.
    template <class Work> void serve(lane& l, Work work)
    {
        for (unsigned seen = 0;;) {
            idle_.await([&] { return job_.load() != seen; }, kIdleSpinUs, kIdleNapUs,
                        handoff::rest::until_woken, kLingerUs);
            const unsigned job = seen = job_.load();
            const char* data = data_.load();
            const int fd = fd_.load();
            for (size_t pos = 0;;) {
                data_wait_.await(
                    [&] { return ready_.load() > pos || closed_.load() || job_.load() != job; },
                    kDataSpinUs, kDataNapUs, handoff::rest::napping);
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
            if (!write_err_) write_err_ = zip_write_all(fd, d, n);
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

} // namespace

bool zip_workers_ready()
{
    return entry_workers::get() != nullptr;
}

void zip_workers_begin(const char* data, int fd)
{
    entry_workers::running().begin(data, fd);
}

void zip_workers_publish(size_t n)
{
    entry_workers::running().publish(n);
}

zip_workers_result zip_workers_finish()
{
    return entry_workers::running().finish();
}
