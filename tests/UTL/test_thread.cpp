// Threads, message queues and critical sections.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "GenH/hl_types.h"
#include "UTL/UTL_thread.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

void* as_msg(std::intptr_t v)
{
    return reinterpret_cast<void*>(v);
}
std::intptr_t as_int(void* p)
{
    return reinterpret_cast<std::intptr_t>(p);
}

int readers_waiting(UTL_message_queue* q)
{
    pthread_mutex_lock(&q->lock);
    int n = q->readers_waiting;
    pthread_mutex_unlock(&q->lock);
    return n;
}

class QueueTest : public ::testing::Test
{
  protected:
    void SetUp() override { UTL_message_queue_create(&q_); }
    void TearDown() override { UTL_message_queue_destroy(q_); }
    UTL_message_queue* q_ = nullptr;
};

TEST(QueueDeadline, CarriesIntoSeconds)
{
    struct Case {
        long sec, usec;
        int ms;
        long want_sec, want_nsec;
    } cases[] = {
        {5, 0, 250, 5, 250000000}, {0, 999500, 999, 1, 998500000}, // 1.9985 s: carried
        {0, 500000, 1500, 2, 0},                                   // exactly 10^9 ns: carried
        {7, 999999, 1, 8, 999000}, {3, 0, 1000, 4, 0},
        {3, 1, 60000, 63, 1000},
    };
    for (const Case& c : cases) {
        timeval now{c.sec, c.usec};
        timespec t = UTL_queue_deadline(now, c.ms);
        EXPECT_EQ(t.tv_sec, c.want_sec) << c.sec << "." << c.usec << " + " << c.ms;
        EXPECT_EQ(t.tv_nsec, c.want_nsec) << c.sec << "." << c.usec << " + " << c.ms;
        EXPECT_LT(t.tv_nsec, 1000000000L);
    }
}

TEST_F(QueueTest, PollOnEmptyReturnsAtOnce)
{
    EXPECT_EQ(UTL_message_queue_read(q_, 0), nullptr);
    EXPECT_EQ(q_->readers_waiting, 0);
    EXPECT_TRUE(q_->messages.empty());
}

TEST_F(QueueTest, FirstInFirstOut)
{
    for (int i = 1; i <= 5; ++i)
        UTL_message_queue_write(q_, as_msg(i));
    EXPECT_EQ(as_int(UTL_message_queue_read(q_, 0)), 1);
    EXPECT_EQ(as_int(UTL_message_queue_read(q_, -1)), 2);
    EXPECT_EQ(as_int(UTL_message_queue_read(q_, 250)), 3);
    UTL_message_queue_write(q_, as_msg(6));
    for (int want : {4, 5, 6})
        EXPECT_EQ(as_int(UTL_message_queue_read(q_, 0)), want);
    EXPECT_EQ(UTL_message_queue_read(q_, 0), nullptr);
}

TEST_F(QueueTest, NullIsAMessageForAnUnlimitedRead)
{
    UTL_message_queue_write(q_, nullptr);
    UTL_message_queue_write(q_, as_msg(9));
    EXPECT_EQ(UTL_message_queue_read(q_, -1), nullptr);
    EXPECT_EQ(as_int(UTL_message_queue_read(q_, -1)), 9);
    EXPECT_TRUE(q_->messages.empty());
}

TEST_F(QueueTest, TimedReadWaitsThenGivesUp)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UTL_message_queue_read(q_, 250), nullptr);
    auto waited = std::chrono::steady_clock::now() - start;
    // It waited (how precisely is the system's business).
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_EQ(q_->readers_waiting, 0);
}

struct ReadJob {
    UTL_message_queue* q;
    int ms;
    void* got;
};

void* read_job(void* p)
{
    ReadJob* job = static_cast<ReadJob*>(p);
    job->got = UTL_message_queue_read(job->q, job->ms);
    return nullptr;
}

void wait_for_reader(UTL_message_queue* q)
{
    while (readers_waiting(q) == 0)
        sched_yield();
}

TEST_F(QueueTest, WriteWakesAWaitingReader)
{
    // Limits far beyond the test's run: only a wake-up can end these reads
    // with the message.
    for (int ms : {-1, 600000}) {
        ReadJob job{q_, ms, nullptr};
        pthread_t t, id, join;
        UTL_thread_create(read_job, &job, &t, &id, &join);
        wait_for_reader(q_);
        UTL_message_queue_write(q_, as_msg(42));
        UTL_thread_join(&t, &join);
        EXPECT_EQ(as_int(job.got), 42) << ms;
        EXPECT_EQ(q_->readers_waiting, 0);
    }
}

// A reader cancelled inside its wait gives the queue's lock back and stops
// counting as a waiting reader: the queue stays usable for everyone else.
TEST_F(QueueTest, MurderedReaderLeavesTheQueueUsable)
{
    for (int ms : {-1, 600000}) {
        ReadJob job{q_, ms, as_msg(7)};
        pthread_t t, id, join;
        UTL_thread_create(read_job, &job, &t, &id, &join);
        wait_for_reader(q_);
        EXPECT_EQ(UTL_thread_murder(&t), 0) << ms;
        EXPECT_EQ(UTL_thread_join(&t, &join), PTHREAD_CANCELED) << ms;
        EXPECT_EQ(as_int(job.got), 7) << ms; // the read never returned

        ASSERT_EQ(pthread_mutex_trylock(&q_->lock), 0) << ms;
        EXPECT_EQ(q_->readers_waiting, 0) << ms;
        pthread_mutex_unlock(&q_->lock);
        UTL_message_queue_write(q_, as_msg(3));
        EXPECT_EQ(as_int(UTL_message_queue_read(q_, 0)), 3) << ms;
    }
}

struct WriterJob {
    UTL_message_queue* q;
    int writer;
    int count;
};

void* write_job(void* p)
{
    WriterJob* job = static_cast<WriterJob*>(p);
    for (int i = 1; i <= job->count; ++i)
        UTL_message_queue_write(job->q, as_msg(job->writer * 100000 + i));
    return nullptr;
}

struct DrainJob {
    UTL_message_queue* q;
    std::vector<std::intptr_t> got;
};

void* drain_job(void* p)
{
    DrainJob* job = static_cast<DrainJob*>(p);
    for (;;) {
        std::intptr_t v = as_int(UTL_message_queue_read(job->q, -1));
        if (v < 0) return nullptr; // stop
        job->got.push_back(v);
    }
}

TEST_F(QueueTest, ManyWritersManyReaders)
{
    const int kWriters = 4, kReaders = 3, kEach = 2000;
    WriterJob writers[kWriters];
    DrainJob readers[kReaders];
    pthread_t wt[kWriters], rt[kReaders], id, join[kWriters + kReaders];
    for (int r = 0; r < kReaders; ++r) {
        readers[r].q = q_;
        UTL_thread_create(drain_job, &readers[r], &rt[r], &id, &join[kWriters + r]);
    }
    for (int w = 0; w < kWriters; ++w) {
        writers[w] = {q_, w + 1, kEach};
        UTL_thread_create(write_job, &writers[w], &wt[w], &id, &join[w]);
    }
    for (int w = 0; w < kWriters; ++w)
        UTL_thread_join(&wt[w], &join[w]);
    for (int r = 0; r < kReaders; ++r)
        UTL_message_queue_write(q_, as_msg(-1));
    for (int r = 0; r < kReaders; ++r)
        UTL_thread_join(&rt[r], &join[kWriters + r]);

    std::set<std::intptr_t> seen;
    std::size_t total = 0;
    for (DrainJob& r : readers) {
        // Each reader sees each writer's messages in the order written.
        std::intptr_t last[kWriters + 1] = {};
        for (std::intptr_t v : r.got) {
            int w = int(v / 100000);
            EXPECT_GT(v, last[w]);
            last[w] = v;
            seen.insert(v);
        }
        total += r.got.size();
    }
    EXPECT_EQ(total, std::size_t(kWriters * kEach)); // each message exactly once
    EXPECT_EQ(seen.size(), total);
}

TEST(CriticalSection, IsRecursive)
{
    pthread_mutex_t m;
    UTL_critical_section_create(&m);
    UTL_critical_section_lock(&m);
    UTL_critical_section_lock(&m);

    struct Try {
        pthread_mutex_t* m;
        int result;
    } probe{&m, -1};
    auto try_lock = [](void* p) -> void* {
        Try* t = static_cast<Try*>(p);
        t->result = pthread_mutex_trylock(t->m);
        if (t->result == 0) pthread_mutex_unlock(t->m);
        return nullptr;
    };
    pthread_t t, id, join;
    UTL_thread_create(try_lock, &probe, &t, &id, &join);
    UTL_thread_join(&t, &join);
    EXPECT_EQ(probe.result, EBUSY);

    UTL_critical_section_unlock(&m);
    UTL_thread_create(try_lock, &probe, &t, &id, &join);
    UTL_thread_join(&t, &join);
    EXPECT_EQ(probe.result, EBUSY); // still held once

    UTL_critical_section_unlock(&m);
    UTL_thread_create(try_lock, &probe, &t, &id, &join);
    UTL_thread_join(&t, &join);
    EXPECT_EQ(probe.result, 0); // free again
    UTL_critical_section_destroy(&m);
}

TEST(Threads, CreateJoinAndIdentity)
{
    struct Job {
        pthread_t self;
    } job{};
    auto run = [](void* p) -> void* {
        static_cast<Job*>(p)->self = UTL_get_current_thread();
        return as_msg(77);
    };
    pthread_t t, id, join;
    UTL_thread_create(run, &job, &t, &id, &join);
    EXPECT_TRUE(pthread_equal(t, id));
    EXPECT_TRUE(pthread_equal(t, join));
    EXPECT_EQ(as_int(UTL_thread_join(&t, &join)), 77);
    EXPECT_TRUE(pthread_equal(job.self, t));
    EXPECT_FALSE(pthread_equal(job.self, UTL_get_current_thread()));
}

TEST(Threads, ExitGivesTheResultToJoin)
{
    auto run = [](void*) -> void* { UTL_thread_exit(as_msg(5)); };
    pthread_t t, id, join;
    UTL_thread_create(run, nullptr, &t, &id, &join);
    EXPECT_EQ(as_int(UTL_thread_join(&t, &join)), 5);
}

TEST(Threads, SleepCountsMicrosecondsIn64Bits)
{
    const struct {
        int ms;
        std::uint64_t us;
    } cases[] = {
        {-5, 0},
        {0, 0},
        {1, 1000},
        {4295, 4295000},             // beyond 32 bits of microseconds
        {2147483647, 2147483647000}, // INT_MAX: about 25 days
    };
    for (const auto& c : cases)
        EXPECT_EQ(UTL_sleep_micros(c.ms), c.us) << c.ms;
    UTL_sleep(0); // return at once
    UTL_sleep(-5);
    UTL_sleep(1);
}

class LoggedTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(open_log_in(dir_)); }
    void TearDown() override { close_log(); }
    std::string log() { return read_log_in(dir_); }
    TempDir dir_;
};

TEST_F(LoggedTest, FailedJoinIsLoggedOnly)
{
    pthread_t self = UTL_get_current_thread(), join = self;
    EXPECT_EQ(UTL_thread_join(&self, &join), nullptr);
    EXPECT_EQ(log(), "Warning: wait on thread cleanup failed with error " +
                         std::to_string(EDEADLK) + "\n");
}

TEST_F(LoggedTest, CountProcessors)
{
    struct Case {
        const char* name;
        const char* content; // null: no such file
        int want;
        const char* log_line;
        const char* stderr_has;
    } cases[] = {
        {"four",
         "processor\t: 0\nmodel name\t: X\nmodel name\t: X\nflags\nmodel name\t: X\n"
         "model name\t: X\n",
         4, "", ""},
        {"one", "model name: only\n", 1, "", ""},
        {"indented", "processor : 0\n  model name : X\nmodel\n", 1,
         "Linux CPU detect failed -- no processors in /proc/cpuinfo\n", "one CPU"},
        {"empty", "", 1, "Linux CPU detect failed -- no processors in /proc/cpuinfo\n", "one CPU"},
        {"missing", nullptr, 1, "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n",
         "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you have!\n"},
    };
    for (const Case& c : cases) {
        std::string path = dir_ / c.name;
        if (c.content) dir_.write(c.name, c.content);
        std::size_t before = log().size();
        testing::internal::CaptureStderr();
        int n = UTL_count_processors_in(path.c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(n, c.want) << c.name;
        EXPECT_EQ(log().substr(before), c.log_line) << c.name;
        EXPECT_NE(err.find(c.stderr_has), std::string::npos) << c.name << ": " << err;
        if (!c.content) {
            EXPECT_NE(err.find(std::strerror(ENOENT)), std::string::npos);
        }
    }
    EXPECT_GE(UTL_count_processors(), 1);
}

// A failing POSIX call is a fatal alert naming the call.
TEST(ThreadFailures, FatalAlertNamesTheCall)
{
    struct Case {
        const char* name;
        void (*act)();
        std::string first_line;
        int err;
    } cases[] = {
        {"unlock not held",
         [] {
             pthread_mutex_t m;
             UTL_critical_section_create(&m);
             UTL_critical_section_unlock(&m);
         },
         "\"pthread_mutex_unlock\" OS error", EPERM},
        {"destroy while held",
         [] {
             pthread_mutex_t m;
             UTL_critical_section_create(&m);
             UTL_critical_section_lock(&m);
             UTL_critical_section_destroy(&m);
         },
         "\"::pthread_mutex_destroy\" OS error", EBUSY},
        {"queue destroyed while held",
         [] {
             UTL_message_queue* q;
             UTL_message_queue_create(&q);
             pthread_mutex_lock(&q->lock);
             UTL_message_queue_destroy(q);
         },
         "\"::pthread_mutex_destroy\" OS error", EBUSY},
    };
    TempCwd cwd; // the alert writes MemoryLog.txt here
    for (const Case& c : cases) {
        ChildResult r = run_in_child(c.act);
        char err_line[64];
        std::snprintf(err_line, sizeof err_line, "err=%f", double(c.err));
        EXPECT_TRUE(r.aborted()) << c.name;
        EXPECT_EQ(r.out,
                  "Didozuroz Error:\n" + c.first_line + "\n\n" + err_line + "\n\n\n\n\n\nSorry.\n")
            << c.name;
    }
}

TEST(ThreadFailures, AlertCarriesTheLayersSourceName)
{
    TempCwd cwd;
    ChildResult r = run_in_child([] {
        pthread_mutex_t m;
        UTL_critical_section_create(&m);
        // The child aborts: tell the parent what the alert carried on stdout.
        alert_set_watch_hook([](const alert_notice& n) {
            std::printf("source=%s kind=%d\n", n.source_file, n.kind);
        });
        UTL_critical_section_unlock(&m);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(r.out.rfind("source=HLutils/UTL/UTL_thread kind=2\n", 0), 0u) << r.out;
}

} // namespace
