// Asynchronous calls on the worker threads: cookies, the free list, waiting
// and collecting, from one caller and from many at once.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <set>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

void* as_msg(std::intptr_t v)
{
    return reinterpret_cast<void*>(v);
}

void* twice(void* arg)
{
    return as_msg(reinterpret_cast<std::intptr_t>(arg) * 2);
}

// Blocks until the gate queue gives a message, then returns its argument.
struct Gate {
    UTL_message_queue* open = nullptr;
    UTL_message_queue* finished = nullptr; // the function posts here last
};
void* wait_at_gate(void* arg)
{
    Gate* g = static_cast<Gate*>(arg);
    UTL_message_queue_read(g->open, -1);
    UTL_message_queue_write(g->finished, as_msg(1));
    return as_msg(99);
}

class AsyncTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(open_log_in(dir_));
        THREAD_init();
        THREAD_make_workers();
    }
    void TearDown() override
    {
        THREAD_shutdown();
        close_log();
    }
    // Runs fn(arg) and waits for it; returns the record (for its cookie) and
    // the result.
    static void* run_and_collect(void* (*fn)(void*), void* arg, int* cookie = nullptr,
                                 THREAD_call** record = nullptr)
    {
        THREAD_call* call = THREAD_run_async(fn, arg);
        if (cookie) *cookie = call->cookie;
        if (record) *record = call;
        EXPECT_EQ(THREAD_is_done(call, -1), 1);
        return THREAD_cleanup(call);
    }

    TempDir dir_;
};

TEST_F(AsyncTest, CookiesStepByFourAndSkipZero)
{
    int cookie = 0;
    EXPECT_EQ(run_and_collect(twice, as_msg(21), &cookie), as_msg(42));
    EXPECT_EQ(cookie, 4);
    run_and_collect(twice, as_msg(1), &cookie);
    EXPECT_EQ(cookie, 8);

    // Across the top of the counter: no signed overflow, never 0.
    const struct {
        unsigned int counter;
        int want;
    } cases[] = {
        {0x7FFFFFFCu, int(0x80000000u)}, // past INT_MAX
        {0xFFFFFFF8u, -4},               // the last before the wrap
        {0xFFFFFFFCu, 4},                // wraps through 0 to 4
        {0xFFFFFFFEu, 2},                // a counter off the step still skips nothing else
    };
    for (const auto& c : cases) {
        THREAD_set_cookie_counter_hook(c.counter);
        EXPECT_EQ(run_and_collect(twice, as_msg(5), &cookie), as_msg(10)) << c.counter;
        EXPECT_EQ(cookie, c.want) << std::hex << c.counter;
    }
    THREAD_set_cookie_counter_hook(0xFFFFFFFCu);
    run_and_collect(twice, as_msg(5));
    run_and_collect(twice, as_msg(5), &cookie);
    EXPECT_EQ(cookie, 8); // counting on after the wrap
}

TEST_F(AsyncTest, RecordsAreRecycledLastFreedFirst)
{
    EXPECT_EQ(THREAD_free_calls_head(), nullptr);
    THREAD_call* a = THREAD_run_async(twice, as_msg(1));
    THREAD_call* b = THREAD_run_async(twice, as_msg(2));
    ASSERT_NE(a, b);
    ASSERT_EQ(THREAD_is_done(a, -1), 1);
    ASSERT_EQ(THREAD_is_done(b, -1), 1);
    EXPECT_EQ(THREAD_cleanup(a), as_msg(2));
    EXPECT_EQ(THREAD_cleanup(b), as_msg(4));
    EXPECT_EQ(THREAD_free_calls_head(), b);
    EXPECT_EQ(b->next_free, a);

    THREAD_call* again = nullptr;
    EXPECT_EQ(run_and_collect(twice, as_msg(3), nullptr, &again), as_msg(6));
    EXPECT_EQ(again, b);
    THREAD_call* c = THREAD_run_async(twice, as_msg(4));
    EXPECT_EQ(c, b); // freed again by the cleanup above, so first once more
    ASSERT_EQ(THREAD_is_done(c, -1), 1);
    THREAD_cleanup(c);
}

TEST_F(AsyncTest, PollWaitAndAskAgain)
{
    Gate g;
    UTL_message_queue_create(&g.open);
    UTL_message_queue_create(&g.finished);
    THREAD_call* call = THREAD_run_async(wait_at_gate, &g);
    EXPECT_EQ(THREAD_is_done(call, 0), 0);
    EXPECT_EQ(THREAD_is_done(call, 20), 0); // a bounded wait gives up
    UTL_message_queue_write(g.open, as_msg(1));
    EXPECT_EQ(THREAD_is_done(call, -1), 1);
    // The reply was taken: asking again must not wait for another one.
    EXPECT_EQ(THREAD_is_done(call, -1), 1);
    EXPECT_EQ(THREAD_is_done(call, 0), 1);
    EXPECT_EQ(THREAD_cleanup(call), as_msg(99));
    UTL_message_queue_read(g.finished, -1);
    UTL_message_queue_destroy(g.open);
    UTL_message_queue_destroy(g.finished);
}

TEST_F(AsyncTest, SixtyFourCallsAtOnce)
{
    constexpr int kCalls = 64;
    std::vector<THREAD_call*> calls;
    std::set<int> cookies;
    for (int i = 0; i < kCalls; ++i) {
        calls.push_back(THREAD_run_async(twice, as_msg(i)));
        cookies.insert(calls.back()->cookie);
    }
    EXPECT_EQ(cookies.size(), size_t(kCalls));
    EXPECT_EQ(cookies.count(0), 0u);
    // Collected in reverse, so many finish before they are asked about.
    for (int i = kCalls - 1; i >= 0; --i) {
        ASSERT_EQ(THREAD_is_done(calls[i], -1), 1) << i;
        EXPECT_EQ(THREAD_cleanup(calls[i]), as_msg(2 * i)) << i;
    }
    int freed = 0;
    for (THREAD_call* c = THREAD_free_calls_head(); c; c = c->next_free)
        ++freed;
    EXPECT_EQ(freed, kCalls);
}

// Eight threads each keep eight calls in flight: the free list and the
// cookie counter are shared by all of them.
TEST_F(AsyncTest, ManyCallersShareTheFreeList)
{
    constexpr int kCallers = 8;
    constexpr int kInFlight = 8;
    constexpr int kRounds = 20;
    struct Caller {
        int id = 0;
        int wrong = 0;
        std::vector<int> cookies;
    };
    std::vector<Caller> callers(kCallers);
    std::vector<pthread_t> threads(kCallers), ids(kCallers), joins(kCallers);
    for (int t = 0; t < kCallers; ++t) {
        callers[t].id = t;
        UTL_thread_create(
            [](void* p) -> void* {
                Caller* me = static_cast<Caller*>(p);
                for (int round = 0; round < kRounds; ++round) {
                    THREAD_call* calls[kInFlight];
                    for (int i = 0; i < kInFlight; ++i) {
                        calls[i] = THREAD_run_async(twice, as_msg(me->id * 1000 + i));
                        me->cookies.push_back(calls[i]->cookie);
                    }
                    for (int i = 0; i < kInFlight; ++i) {
                        while (!THREAD_is_done(calls[i], 5)) {
                        }
                        if (THREAD_cleanup(calls[i]) != as_msg(2 * (me->id * 1000 + i)))
                            ++me->wrong;
                    }
                }
                return nullptr;
            },
            &callers[t], &threads[t], &ids[t], &joins[t]);
    }
    std::set<int> all;
    size_t total = 0;
    for (int t = 0; t < kCallers; ++t) {
        UTL_thread_join(&threads[t], &joins[t]);
        EXPECT_EQ(callers[t].wrong, 0) << t;
        all.insert(callers[t].cookies.begin(), callers[t].cookies.end());
        total += callers[t].cookies.size();
    }
    EXPECT_EQ(total, size_t(kCallers * kInFlight * kRounds));
    EXPECT_EQ(all.size(), total); // every call got its own cookie
    int freed = 0;
    for (THREAD_call* c = THREAD_free_calls_head(); c; c = c->next_free)
        ++freed;
    EXPECT_LE(freed, kCallers * kInFlight); // reused, not one record per call
}

// The child makes its own workers: no thread may be running at the fork
// (ThreadSanitizer refuses new threads after a multi-threaded fork).
TEST(AsyncFatal, CleanupBeforeDoneIsFatal)
{
    TempDir dir;
    TempCwd cwd; // the alert writes MemoryLog.txt in the current folder
    ASSERT_TRUE(open_log_in(dir));
    // Even a call whose function has returned is not done until
    // THREAD_is_done has said so.
    ChildResult r = run_in_child([] {
        THREAD_init();
        THREAD_make_workers();
        Gate g;
        UTL_message_queue_create(&g.open);
        UTL_message_queue_create(&g.finished);
        UTL_message_queue_write(g.open, as_msg(1));
        THREAD_call* call = THREAD_run_async(wait_at_gate, &g);
        UTL_message_queue_read(g.finished, -1);
        THREAD_cleanup(call);
        std::printf("returned\n");
    });
    EXPECT_TRUE(r.aborted()) << r.err;
    EXPECT_NE(r.out.find("Thread cleanup called on not-done call."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("returned"), std::string::npos);
    EXPECT_NE(read_log_in(dir).find("HLutils/Thread/hl_thread line"), std::string::npos);
    close_log();
}

TEST(AsyncFatal, FatalAlertInTheCallEndsAnUnlimitedWait)
{
    TempDir dir;
    TempCwd cwd; // the alert writes MemoryLog.txt in the current folder
    ASSERT_TRUE(open_log_in(dir));
    // The worker ends without a reply; the waiting caller must report the
    // alert (and so end) rather than wait for ever.
    ChildResult r = run_in_child(
        [] {
            THREAD_init();
            THREAD_make_workers();
            THREAD_call* call = THREAD_run_async(
                [](void*) -> void* {
                    __VOVARU_alert(0, "Disk gone", "", "", "", t_exit, "task.cpp", 12);
                    return nullptr;
                },
                nullptr);
            THREAD_is_done(call, -1);
            std::printf("returned\n");
        },
        30);
    EXPECT_NE(r.signal, SIGALRM) << "still waiting";
    EXPECT_TRUE(r.aborted()) << r.err;
    EXPECT_NE(r.out.find("Disk gone"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("returned"), std::string::npos);
    close_log();
}

} // namespace
