// Worker threads (one idle worker per processor waiting on a call queue),
// the main thread's identity, and the error records that carry alerts raised
// off the main thread to it.
//
// The installer's callers are the directory scan (signing) and the download
// streams (extraction). exce_log.cpp writes a record to the log without an
// alert (exce_class::LogAndContinue).
//
// The pool's mutable state (the workers, the queues, the free calls and the
// cookie counter, the main thread's identity) is one record in hl_thread.cpp,
// one per process: THREAD_init fills it and THREAD_shutdown empties it.
#pragma once

#include <pthread.h>

#include <string>

#include "UTL/UTL_thread.h"

// ---------------------------------------------------------------------------
// Error record
// ---------------------------------------------------------------------------

// An alert packed for the trip to the main thread.
class exce_class
{
  public:
    exce_class(std::string line1, std::string line2, std::string line3, std::string line4,
               const char* file, int line, int kind);
    exce_class(); // empty lines, "no exception", line 0, fatal
    exce_class(const exce_class& other);
    exce_class& operator=(const exce_class& other) = default;
    virtual ~exce_class();

    void MakeFatal();
    // On the main thread: the alert. Off it: log, full shutdown, exit(0).
    void Report();
    // Writes the record to the log and goes on: no alert, nothing ends.
    void LogAndContinue();

    std::string message[4];
    const char* src_file; // a string constant; not owned, not copied
    int src_line;
    int alert_type; // t_alert or t_exit
};

// Posts a heap copy: warnings to the warning queue, fatal records to the
// fatal queue (and then ends the calling thread unless it is the main one).
// Any other kind is dropped.
void THREAD_send_exception(const exce_class& record);
// Reports and deletes the fatal records, then (argument non-zero) the warnings.
void THREAD_check_exception(int with_warnings);

// The queues, for tests and diagnostics: null before THREAD_init.
UTL_message_queue* THREAD_fatal_queue();
UTL_message_queue* THREAD_warning_queue();
UTL_message_queue* THREAD_call_queue();

// ---------------------------------------------------------------------------
// Worker threads
// ---------------------------------------------------------------------------

// One call for a worker, posted as a message on the call queue.
struct THREAD_call {
    THREAD_call* next_free;
    UTL_message_queue* reply;  // the worker writes cookie here when done
    pthread_mutex_t call_lock; // guards result and done
    void* (*fn)(void*);
    void* arg;
    void* result;
    int done;
    int cookie; // never 0: 0 would read as a time-out
};

// The message on the call queue that stops one worker.
#define THREAD_STOP_MESSAGE (reinterpret_cast<void*>(-1))

void THREAD_init();
void THREAD_make_workers();
// Starts fn(arg) on a new thread through THREAD_launch; returns once the new
// thread has taken over its start record.
void THREAD_create(void* (*fn)(void*), void* arg, pthread_t* thread, pthread_t* id,
                   pthread_t* join_handle, int with_gl);
void* THREAD_launch(void* start_record);
void* xtaskproc(void* unused);
void THREAD_shutdown();
int THREAD_is_inited();
// 0 before THREAD_init and after THREAD_shutdown.
int THREAD_is_main_thread();
// Number of workers made by THREAD_make_workers (0 after THREAD_shutdown,
// and in a forked child, which has none of them).
int THREAD_worker_count();

// ---------------------------------------------------------------------------
// Asynchronous calls
// ---------------------------------------------------------------------------
// Order of use: THREAD_run_async, THREAD_is_done until it answers 1, then
// THREAD_cleanup exactly once; the record is the caller's until then.

// Hands fn(arg) to whichever worker is free; never blocks.
THREAD_call* THREAD_run_async(void* (*fn)(void*), void* arg);
// 1 once the call has finished. wait_ms as for a queue read: 0 polls, -1
// waits without limit (but a fatal alert raised by the call still ends the
// program), > 0 waits at most that long. Once it has answered 1 it answers
// 1 at once.
int THREAD_is_done(THREAD_call* call, int wait_ms);
// The call's result; the record goes back to the free list. Fatal alert
// when THREAD_is_done has not answered 1 yet.
void* THREAD_cleanup(THREAD_call* call);

// Test hook: the cookie counter becomes value (the next call gets value + 4,
// skipping 0), so a test reaches the wrap at once. Returns the previous counter.
unsigned int THREAD_set_cookie_counter_hook(unsigned int value);
// For tests: the head of the free list.
THREAD_call* THREAD_free_calls_head();
