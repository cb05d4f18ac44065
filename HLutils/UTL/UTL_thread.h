// Thin layer over POSIX threads: threads, the processor count, thread-safe
// FIFO queues of pointers, and recursive locks ("critical sections").
// No error codes: a failing POSIX call here is a fatal alert, so a caller
// never goes on past one (on a worker that alert ends the thread).
#pragma once

#include <pthread.h>
#include <sys/time.h>
#include <time.h>

#include <cstdint>
#include <list>
#include <string>

// Threads. On this platform the thread handle, id and join handle are the
// same pthread_t; identities are compared with pthread_equal, never as ints.
using UTL_thread_fn = void* (*)(void*);

void UTL_thread_create(UTL_thread_fn fn, void* arg, pthread_t* thread, pthread_t* id,
                       pthread_t* join_handle);
[[noreturn]] void UTL_thread_exit(void* result);
// Waits for the thread and returns its result; a failed join is logged only.
void* UTL_thread_join(pthread_t* thread, pthread_t* join_handle);
pthread_t UTL_get_current_thread();
// Cancels the thread and returns what pthread_cancel answers (0 or an error
// number). A thread cancelled inside a queue read leaves the queue usable.
int UTL_thread_murder(pthread_t* thread);

// Sleeps ms milliseconds; below 1 returns at once.
void UTL_sleep(int ms);
// The microseconds UTL_sleep waits for ms (0 below 1), without overflow.
std::uint64_t UTL_sleep_micros(int ms);

// The number of "model name" lines of /proc/cpuinfo, at least 1.
int UTL_count_processors();
// The same over another file, so the count and its fallbacks can be tested.
int UTL_count_processors_in(const char* cpuinfo_path);

// A FIFO of pointers, null allowed, written and read by any threads. The
// queue does not own what the pointers point to.
struct UTL_message_queue {
    pthread_mutex_t lock;      // guards the rest; not recursive
    pthread_cond_t condition;  // signalled when a write finds a reader waiting
    std::list<void*> messages; // write appends at the back, read takes the front
    int readers_waiting;       // readers inside a read that may wait
};

void UTL_message_queue_create(UTL_message_queue** queue);
// No thread may be inside a read or write of the queue.
void UTL_message_queue_destroy(UTL_message_queue* queue);
void UTL_message_queue_write(UTL_message_queue* queue, void* msg);
// ms 0: poll; -1: wait as long as it takes; > 0: wait at most ms milliseconds.
// Returns the oldest message, or null when the queue stayed empty (so messages
// for polling or time-limited readers are never null).
void* UTL_message_queue_read(UTL_message_queue* queue, int ms);
// The absolute time of day ms milliseconds after now, for a timed read.
timespec UTL_queue_deadline(timeval now, int ms);

// Critical sections: the caller's mutex, made recursive.
void UTL_critical_section_create(pthread_mutex_t* mutex);
void UTL_critical_section_lock(pthread_mutex_t* mutex);
void UTL_critical_section_unlock(pthread_mutex_t* mutex);
void UTL_critical_section_destroy(pthread_mutex_t* mutex);
