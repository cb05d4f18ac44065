// Worker threads, the main thread's identity, and the error records that
// carry alerts from other threads to the main thread.
#include "Thread/hl_thread.h"

#include <cxxabi.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>

#include "GenH/hl_report.h"
#include "GenH/hl_types.h"

namespace
{

const char kThreadModuleSource[] = "HLutils/Thread/hl_thread";

// How often an unlimited wait for a call looks at the fatal records.
constexpr int kDoneRecheckMs = 100;
constexpr unsigned int kCookieStep = 4;

// The worker pool and the queues around it: what THREAD_init makes and
// THREAD_shutdown takes down again. One per process.
struct worker_pool {
    std::vector<pthread_t> threads;
    std::vector<pthread_t> joins;
    std::vector<pthread_t> ids;
    // The process that made the workers: a forked child has none of them.
    pid_t pid = 0;
    UTL_message_queue* quit_exce = nullptr; // fatal records
    UTL_message_queue* warn_exce = nullptr; // warnings
    UTL_message_queue* calls = nullptr;     // the calls for the workers
    pthread_mutex_t free_calls_lock;        // guards free_calls and next_cookie
    THREAD_call* free_calls = nullptr;      // last freed first
    // Unsigned so that it wraps instead of overflowing; the cookie of a call
    // is its value after the step, and 0 is skipped (a null reply reads as none).
    unsigned int next_cookie = 0;
    // Read by any thread that raises an alert; written by the main thread only.
    std::atomic<int> inited{0};
    pthread_t main_thread;
    std::atomic<int> main_thread_known{0};
};
worker_pool pool;

// What THREAD_create hands the new thread; lives on the creator's stack.
struct thread_start_record {
    void* (*fn)(void*);
    void* arg;
    UTL_message_queue* reply;
    int with_gl;
    GLXContext gl_context;
    int gl_drawable;
};

void drain_and_free(UTL_message_queue* q)
{
    while (void* p = UTL_message_queue_read(q, 0))
        delete static_cast<exce_class*>(p);
}

} // namespace

// ---------------------------------------------------------------------------
// Error record
// ---------------------------------------------------------------------------

exce_class::exce_class(std::string line1, std::string line2, std::string line3, std::string line4,
                       const char* file, int line, int kind)
    : message{line1, line2, line3, line4}, src_file(file), src_line(line), alert_type(kind)
{
}

exce_class::exce_class() : src_file("no exception"), src_line(0), alert_type(t_exit) {}

exce_class::exce_class(const exce_class& other)
    : message{other.message[0], other.message[1], other.message[2], other.message[3]},
      src_file(other.src_file), src_line(other.src_line), alert_type(other.alert_type)
{
}

exce_class::~exce_class() {}

void exce_class::MakeFatal()
{
    alert_type = t_exit;
}

void exce_class::Report()
{
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        xer << "EXCEPTION REPORTED FROM THREAD!!  File: " << (src_file ? src_file : "") << ", line "
            << src_line << ".\n";
        for (const std::string& m : message)
            xer << m << "\n";
        xer.flush();
        app_done = 1;
        if (VOVARU_shell().finish) VOVARU_shell().finish(1);
        std::exit(0);
    }
    __VOVARU_alert(0, message[0], message[1], message[2], message[3], alert_type, src_file,
                   src_line);
}

void THREAD_send_exception(const exce_class& record)
{
    if (record.alert_type != t_alert && record.alert_type != t_exit) return;
    if (!THREAD_is_inited()) {
        // No queues to post to: every thread counts as the main thread.
        exce_class copy(record);
        copy.Report();
        return;
    }
    if (record.alert_type == t_alert) {
        UTL_message_queue_write(pool.warn_exce, new exce_class(record));
        return;
    }
    UTL_message_queue_write(pool.quit_exce, new exce_class(record));
    if (!THREAD_is_main_thread()) UTL_thread_exit(nullptr);
}

void THREAD_check_exception(int with_warnings)
{
    if (!THREAD_is_inited()) return;
    // Fatal first: the first one ends the program.
    while (void* p = UTL_message_queue_read(pool.quit_exce, 0)) {
        exce_class* record = static_cast<exce_class*>(p);
        record->Report();
        delete record;
    }
    if (!with_warnings) return;
    while (void* p = UTL_message_queue_read(pool.warn_exce, 0)) {
        exce_class* record = static_cast<exce_class*>(p);
        record->Report();
        delete record;
    }
}

UTL_message_queue* THREAD_fatal_queue()
{
    return pool.inited ? pool.quit_exce : nullptr;
}
UTL_message_queue* THREAD_warning_queue()
{
    return pool.inited ? pool.warn_exce : nullptr;
}
UTL_message_queue* THREAD_call_queue()
{
    return pool.inited ? pool.calls : nullptr;
}

// ---------------------------------------------------------------------------
// Worker threads
// ---------------------------------------------------------------------------

void THREAD_init()
{
    if (pool.inited) return;
    pool.main_thread = UTL_get_current_thread();
    pool.main_thread_known = 1;
    UTL_message_queue_create(&pool.warn_exce);
    UTL_message_queue_create(&pool.quit_exce);
    UTL_critical_section_create(&pool.free_calls_lock);
    UTL_message_queue_create(&pool.calls);
    pool.free_calls = nullptr;
    pool.next_cookie = 0;
    pool.inited = 1;
}

void THREAD_make_workers()
{
    int n = UTL_count_processors();
    xer << "CPU count        : " << n << "\n";
    pool.pid = getpid();
    for (int i = 0; i < n; ++i) {
        pthread_t thread, id, join;
        THREAD_create(xtaskproc, nullptr, &thread, &id, &join, 1);
        pool.threads.push_back(thread);
        pool.joins.push_back(join);
        pool.ids.push_back(id);
    }
}

void THREAD_create(void* (*fn)(void*), void* arg, pthread_t* thread, pthread_t* id,
                   pthread_t* join_handle, int with_gl)
{
    thread_start_record start{fn, arg, nullptr, 0, nullptr, 0};
    // Detection never reports threaded OpenGL here, so in practice no thread
    // gets a loading context. Without a main context there is nothing to
    // share with (workers made before detection ran).
    if (VOVARU_shell().gl_for_threads && VOVARU_shell().gl_for_threads()) {
        start.with_gl = with_gl;
        if (with_gl && VOVARU_shell().make_loader)
            start.gl_context = VOVARU_shell().make_loader(start.gl_drawable);
    }
    UTL_message_queue_create(&start.reply);
    UTL_thread_create(THREAD_launch, &start, thread, id, join_handle);
    // The new thread has copied what it needs once this arrives.
    UTL_message_queue_read(start.reply, -1);
    UTL_message_queue_destroy(start.reply);
}

void* THREAD_launch(void* start_record)
{
    thread_start_record* start = static_cast<thread_start_record*>(start_record);
    if (start->with_gl && VOVARU_shell().set_loader)
        VOVARU_shell().set_loader(start->gl_context, &start->gl_drawable);
    void* (*fn)(void*) = start->fn;
    void* arg = start->arg;
    UTL_message_queue_write(start->reply, nullptr); // start may vanish now

    try {
        return fn(arg);
    } catch (abi::__forced_unwind&) {
        // pthread_exit unwinds as an exception; swallowing it aborts the process.
        throw;
    } catch (exce_class& e) {
        e.MakeFatal();
        THREAD_send_exception(e);
    } catch (std::exception& e) {
        THREAD_send_exception(exce_class("Caught an unhandled C++ exception", e.what(), "", "",
                                         kThreadModuleSource, __LINE__, t_exit));
    } catch (...) {
        THREAD_send_exception(exce_class("Caught an unhandled unknown exception", "", "", "",
                                         kThreadModuleSource, __LINE__, t_exit));
    }
    return nullptr;
}

void* xtaskproc(void* unused)
{
    for (;;) {
        void* msg = UTL_message_queue_read(pool.calls, -1);
        if (msg == THREAD_STOP_MESSAGE) return nullptr;
        THREAD_call* call = static_cast<THREAD_call*>(msg);
        void* result = call->fn(call->arg);
        UTL_critical_section_lock(&call->call_lock);
        call->result = result;
        UTL_critical_section_unlock(&call->call_lock);
        UTL_message_queue_write(call->reply,
                                reinterpret_cast<void*>(static_cast<std::intptr_t>(call->cookie)));
    }
}

void THREAD_shutdown()
{
    if (pool.inited) {
        for (size_t i = 0; i < pool.threads.size(); ++i)
            UTL_message_queue_write(pool.calls, THREAD_STOP_MESSAGE);
        for (size_t i = 0; i < pool.threads.size(); ++i)
            UTL_thread_join(&pool.threads[i], &pool.joins[i]);
        pool.threads.clear();
        pool.joins.clear();
        pool.ids.clear();

        UTL_critical_section_destroy(&pool.free_calls_lock);
        UTL_message_queue_destroy(pool.calls);
        pool.calls = nullptr;
        while (THREAD_call* c = pool.free_calls) {
            pool.free_calls = c->next_free;
            UTL_message_queue_destroy(c->reply);
            UTL_critical_section_destroy(&c->call_lock);
            delete c;
        }
        // Records nobody will report any more: freed, not shown.
        pool.inited = 0;
        drain_and_free(pool.warn_exce);
        drain_and_free(pool.quit_exce);
        UTL_message_queue_destroy(pool.warn_exce);
        UTL_message_queue_destroy(pool.quit_exce);
        pool.warn_exce = pool.quit_exce = nullptr;
        pool.main_thread_known = 0;
    }
    xer << "Clean exit from threads.\n";
}

int THREAD_is_inited()
{
    return pool.inited;
}

int THREAD_is_main_thread()
{
    return pool.main_thread_known && pthread_equal(UTL_get_current_thread(), pool.main_thread) ? 1
                                                                                               : 0;
}

int THREAD_worker_count()
{
    return pool.pid == getpid() ? int(pool.threads.size()) : 0;
}

// ---------------------------------------------------------------------------
// Asynchronous calls
// ---------------------------------------------------------------------------

THREAD_call* THREAD_run_async(void* (*fn)(void*), void* arg)
{
    UTL_critical_section_lock(&pool.free_calls_lock);
    pool.next_cookie += kCookieStep;
    if (pool.next_cookie == 0) pool.next_cookie = kCookieStep;
    const unsigned int cookie = pool.next_cookie;
    THREAD_call* call = pool.free_calls;
    if (call) pool.free_calls = call->next_free;
    UTL_critical_section_unlock(&pool.free_calls_lock);

    if (call == nullptr) {
        call = new THREAD_call;
        call->next_free = nullptr;
        UTL_message_queue_create(&call->reply);
        UTL_critical_section_create(&call->call_lock);
    }
    call->fn = fn;
    call->arg = arg;
    call->result = nullptr;
    call->done = 0;
    call->cookie = static_cast<int>(cookie); // wraps to negative ints: still not 0
    UTL_message_queue_write(pool.calls, call);
    return call;
}

int THREAD_is_done(THREAD_call* call, int wait_ms)
{
    THREAD_check_exception(0);
    // The reply is posted once: after it has been taken, another read would
    // find the queue empty (and with -1 wait for ever).
    UTL_critical_section_lock(&call->call_lock);
    int done = call->done;
    UTL_critical_section_unlock(&call->call_lock);
    if (done) return 1;

    void* reply;
    if (wait_ms == -1) {
        // A function that raised a fatal alert ended its worker without a
        // reply: keep looking at the fatal records while waiting, so the
        // alert ends the program instead of the wait never ending.
        while ((reply = UTL_message_queue_read(call->reply, kDoneRecheckMs)) == nullptr)
            THREAD_check_exception(0);
    } else {
        reply = UTL_message_queue_read(call->reply, wait_ms);
    }
    THREAD_check_exception(0);
    if (reply == nullptr) return 0;
    UTL_critical_section_lock(&call->call_lock);
    call->done = 1;
    UTL_critical_section_unlock(&call->call_lock);
    return 1;
}

void* THREAD_cleanup(THREAD_call* call)
{
    THREAD_check_exception(0);
    UTL_critical_section_lock(&call->call_lock);
    if (!call->done) {
        UTL_critical_section_unlock(&call->call_lock);
        __VOVARU_alert(0, "Thread cleanup called on not-done call.", "", "", "", t_exit,
                       kThreadModuleSource, __LINE__);
        return nullptr;
    }
    void* result = call->result;
    UTL_critical_section_unlock(&call->call_lock);

    UTL_critical_section_lock(&pool.free_calls_lock);
    call->next_free = pool.free_calls;
    pool.free_calls = call;
    UTL_critical_section_unlock(&pool.free_calls_lock);
    return result;
}

unsigned int THREAD_set_cookie_counter_hook(unsigned int value)
{
    UTL_critical_section_lock(&pool.free_calls_lock);
    const unsigned int previous = pool.next_cookie;
    pool.next_cookie = value;
    UTL_critical_section_unlock(&pool.free_calls_lock);
    return previous;
}

THREAD_call* THREAD_free_calls_head()
{
    UTL_critical_section_lock(&pool.free_calls_lock);
    THREAD_call* head = pool.free_calls;
    UTL_critical_section_unlock(&pool.free_calls_lock);
    return head;
}
