// Threads, message queues and critical sections over POSIX threads.
// Every failing call is a fatal alert naming the call; see UTL_thread.h.
#include "UTL/UTL_thread.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"

namespace
{

// The source name the failure alerts carry.
const char kThreadSource[] = "HLutils/UTL/UTL_thread";

// The first lines of the failure alerts, as users have always seen them.
const char kErrCreate[] = "\"pthread_create\" OS error";
const char kErrLock[] = "\"pthread_mutex_lock\" OS error";
const char kErrUnlock[] = "\"pthread_mutex_unlock\" OS error";
const char kErrWait[] = "\"pthread_cond_timedwait\" OS error";
const char kErrSignal[] = "\"pthread_cond_signal\" OS error";
const char kErrMutexDestroy[] = "\"::pthread_mutex_destroy\" OS error";
const char kErrCondDestroy[] = "\"::pthread_cond_desroy\" OS error";
const char kErrMutexInit[] = "\"::pthread_mutex_init\" OS error";
const char kErrCondInit[] = "\"::pthread_cond_init\" OS error";
const char kErrAttrInit[] = "\"::pthread_mutexattr_init\" OS error";
const char kErrAttrType[] = "\"::pthread_mutexattr_settype\" OS error";
const char kErrAttrDestroy[] = "\"::pthread_mutexattr_destroy\" OS error";

const char kCpuinfoPath[] = "/proc/cpuinfo";
constexpr int kCpuinfoLineBytes = 512; // 511 characters per read

// Fatal: does not return on the main thread, ends the thread on a worker.
// The error text is built in a local: two threads may fail at once.
void thread_fail(const char* call, int err, int line)
{
    char text[64];
    std::snprintf(text, sizeof text, "err=%f", double(err));
    __VOVARU_alert(0, call, text, "", "", t_exit, kThreadSource, line);
}

void lock_or_fail(pthread_mutex_t* m, int line)
{
    int err = pthread_mutex_lock(m);
    if (err) thread_fail(kErrLock, err, line);
}

void unlock_or_fail(pthread_mutex_t* m, int line)
{
    int err = pthread_mutex_unlock(m);
    if (err) thread_fail(kErrUnlock, err, line);
}

// A reader cancelled while waiting: it no longer waits, and the lock that
// the wait took back is released.
void queue_read_cancelled(void* queue)
{
    UTL_message_queue* q = static_cast<UTL_message_queue*>(queue);
    --q->readers_waiting;
    pthread_mutex_unlock(&q->lock);
}

} // namespace

// ---------------------------------------------------------------------------
// Threads
// ---------------------------------------------------------------------------

void UTL_thread_create(UTL_thread_fn fn, void* arg, pthread_t* thread, pthread_t* id,
                       pthread_t* join_handle)
{
    int err = pthread_create(thread, nullptr, fn, arg);
    if (err) thread_fail(kErrCreate, err, __LINE__);
    *id = *thread;
    *join_handle = *thread;
}

void UTL_thread_exit(void* result)
{
    pthread_exit(result);
}

void* UTL_thread_join(pthread_t* thread, pthread_t* join_handle)
{
    void* result = nullptr;
    int err = pthread_join(*thread, &result);
    if (err) xer << "Warning: wait on thread cleanup failed with error " << err << "\n";
    return result;
}

pthread_t UTL_get_current_thread()
{
    return pthread_self();
}

int UTL_thread_murder(pthread_t* thread)
{
    return pthread_cancel(*thread);
}

std::uint64_t UTL_sleep_micros(int ms)
{
    return ms < 1 ? 0 : std::uint64_t(ms) * 1000u;
}

void UTL_sleep(int ms)
{
    // usleep takes 32 bits of microseconds: about 71 minutes at most.
    std::uint64_t us = UTL_sleep_micros(ms);
    if (us == 0) return;
    timespec left;
    left.tv_sec = time_t(us / 1000000u);
    left.tv_nsec = long(us % 1000000u) * 1000L;
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

int UTL_count_processors()
{
    return UTL_count_processors_in(kCpuinfoPath);
}

int UTL_count_processors_in(const char* cpuinfo_path)
{
    FILE* f = std::fopen(cpuinfo_path, "r");
    if (!f) {
        int e = errno;
        std::fprintf(stderr,
                     "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you "
                     "have!\nPlease make sure that I have read access to that file if you "
                     "want SMP\nsupport. I'll assume for right now that you have one CPU. The "
                     "error that\nI got was:\n\t%s\n",
                     std::strerror(e));
        xer << "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n";
        return 1;
    }
    int count = 0;
    char line[kCpuinfoLineBytes];
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "model name", 10) == 0) ++count;
    std::fclose(f);
    if (count >= 1) return count;

    std::fprintf(stderr, "LINUX: I found no processors listed in /proc/cpuinfo, so I'll assume for "
                         "right now that you have one CPU.\nPlease send this message to "
                         "linux-support@zudezud.example so we can fix the CPU detection.\n");
    xer << "Linux CPU detect failed -- no processors in /proc/cpuinfo\n";
    return 1;
}

// ---------------------------------------------------------------------------
// Message queues
// ---------------------------------------------------------------------------

void UTL_message_queue_create(UTL_message_queue** queue)
{
    UTL_message_queue* q = new UTL_message_queue;
    q->readers_waiting = 0;
    *queue = q;
    int err = pthread_mutex_init(&q->lock, nullptr);
    if (err) thread_fail(kErrMutexInit, err, __LINE__);
    err = pthread_cond_init(&q->condition, nullptr);
    if (err) thread_fail(kErrCondInit, err, __LINE__);
}

void UTL_message_queue_destroy(UTL_message_queue* queue)
{
    int err = pthread_mutex_destroy(&queue->lock);
    if (err) thread_fail(kErrMutexDestroy, err, __LINE__);
    err = pthread_cond_destroy(&queue->condition);
    if (err) thread_fail(kErrCondDestroy, err, __LINE__);
    delete queue;
}

void UTL_message_queue_write(UTL_message_queue* queue, void* msg)
{
    lock_or_fail(&queue->lock, __LINE__);
    // The woken reader only runs once we unlock, after the append.
    if (queue->readers_waiting > 0) {
        int err = pthread_cond_signal(&queue->condition);
        if (err) thread_fail(kErrSignal, err, __LINE__);
    }
    queue->messages.push_back(msg);
    unlock_or_fail(&queue->lock, __LINE__);
}

timespec UTL_queue_deadline(timeval now, int ms)
{
    timespec when;
    when.tv_sec = now.tv_sec + ms / 1000;
    long nsec = long(ms % 1000) * 1000000L + long(now.tv_usec) * 1000L;
    if (nsec > 999999999L) {
        nsec -= 1000000000L;
        when.tv_sec += 1;
    }
    when.tv_nsec = nsec;
    return when;
}

void* UTL_message_queue_read(UTL_message_queue* queue, int ms)
{
    // Only 0, -1 and positive counts mean something; other negatives poll
    // rather than block for a time nobody asked for.
    if (ms < -1) ms = 0;

    timespec deadline{};
    if (ms > 0) {
        timeval now;
        gettimeofday(&now, nullptr);
        deadline = UTL_queue_deadline(now, ms);
    }

    lock_or_fail(&queue->lock, __LINE__);
    if (ms == 0 && queue->messages.empty()) {
        unlock_or_fail(&queue->lock, __LINE__);
        return nullptr;
    }
    ++queue->readers_waiting;
    // The waits are cancellation points, and a cancelled wait returns with the
    // lock held: the handler gives it back (no return may leave this block,
    // since leaving it runs the handler too).
    pthread_cleanup_push(queue_read_cancelled, queue);
    while (queue->messages.empty()) {
        int err;
        if (ms == -1) {
            err = pthread_cond_wait(&queue->condition, &queue->lock);
        } else {
            err = pthread_cond_timedwait(&queue->condition, &queue->lock, &deadline);
            if (err == ETIMEDOUT) break;
        }
        if (err) thread_fail(kErrWait, err, __LINE__);
    }
    pthread_cleanup_pop(0);
    void* msg = nullptr;
    if (!queue->messages.empty()) {
        msg = queue->messages.front();
        queue->messages.pop_front();
    }
    --queue->readers_waiting;
    unlock_or_fail(&queue->lock, __LINE__);
    return msg;
}

// ---------------------------------------------------------------------------
// Critical sections
// ---------------------------------------------------------------------------

void UTL_critical_section_create(pthread_mutex_t* mutex)
{
    pthread_mutexattr_t attr;
    int err = pthread_mutexattr_init(&attr);
    if (err) thread_fail(kErrAttrInit, err, __LINE__);
    err = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (err) thread_fail(kErrAttrType, err, __LINE__);
    err = pthread_mutex_init(mutex, &attr);
    if (err) thread_fail(kErrMutexInit, err, __LINE__);
    err = pthread_mutexattr_destroy(&attr);
    if (err) thread_fail(kErrAttrDestroy, err, __LINE__);
}

void UTL_critical_section_lock(pthread_mutex_t* mutex)
{
    lock_or_fail(mutex, __LINE__);
}

void UTL_critical_section_unlock(pthread_mutex_t* mutex)
{
    unlock_or_fail(mutex, __LINE__);
}

void UTL_critical_section_destroy(pthread_mutex_t* mutex)
{
    int err = pthread_mutex_destroy(mutex);
    if (err) thread_fail(kErrMutexDestroy, err, __LINE__);
}
