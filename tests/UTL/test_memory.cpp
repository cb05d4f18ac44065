#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <string>

#include "GenH/hl_types.h"
#include "UTL/UTL_memory.h"
#include "support/temp_dir.h"

TEST(Memory, ZeroSizedBlocksAreDistinct)
{
    void* a = ::operator new(0);
    void* b = ::operator new[](0);
    void* c = ::operator new(0, "here", 12);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(a, c);
    ::operator delete(a);
    ::operator delete[](b);
    ::operator delete(c);
    ::operator delete(nullptr);
    ::operator delete[](nullptr);
}

// Under the sanitizers a failed malloc would end the process; the exhaustion
// tests need it to answer null as the C library does.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
extern "C" const char* __tsan_default_options()
{
    return "allocator_may_return_null=1";
}

TEST(Memory, NothrowFormsShareTheAllocator)
{
    // The library hands nothrow blocks to the plain delete (std::stable_sort
    // does): both must come from and go to the same allocator.
    void* a = ::operator new(0, std::nothrow);
    void* b = ::operator new[](24, std::nothrow);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ::operator delete(a);
    ::operator delete[](b, std::nothrow);

    volatile std::size_t huge = SIZE_MAX / 2;
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](huge, std::nothrow), nullptr);
}

namespace
{
int handler_calls = 0;
void give_up_handler()
{
    // A handler that cannot free anything steps aside so the next try throws.
    handler_calls++;
    std::set_new_handler(nullptr);
}
} // namespace

TEST(Memory, ExhaustionCallsTheHandlerThenThrows)
{
    volatile std::size_t huge = SIZE_MAX / 2;
    EXPECT_THROW((void)::operator new(huge), std::bad_alloc);

    handler_calls = 0;
    std::set_new_handler(give_up_handler);
    EXPECT_THROW((void)::operator new[](huge), std::bad_alloc);
    EXPECT_EQ(handler_calls, 1);
    EXPECT_EQ(std::get_new_handler(), nullptr);
}

namespace
{
// Runs in a fresh process (the dump remembers whether it ran before): two
// dumps, the first empties "MemoryLog.txt", the second leaves it alone.
int two_dumps(const std::string& dir, bool first_fails)
{
    app_path = first_fails ? dir + "no-such-folder/" : dir;
    xer.open(dir + "Log.txt", std::ios::trunc);
    {
        std::FILE* f = std::fopen((dir + "MemoryLog.txt").c_str(), "w");
        std::fputs("before", f);
        std::fclose(f);
    }
    dump_mem_stats("first caller");
    const std::string after_first = TempDir::read(dir + "MemoryLog.txt");
    app_path = dir;
    DumpMemCmd();
    const std::string after_second = TempDir::read(dir + "MemoryLog.txt");
    xer.close();
    const std::string log = TempDir::read(dir + "Log.txt");
    // This process ends without running destructors: tidy its folder here.
    std::remove((dir + "Log.txt").c_str());
    std::remove((dir + "MemoryLog.txt").c_str());
    std::remove(dir.c_str());

    const std::string want_log =
        "OK check MemoryLog.txt! I just sent him a dump from first caller\n"
        "OK check MemoryLog.txt! I just sent him a dump from Remote Commanded Dump\n";
    if (log != want_log) return 1;
    if (!first_fails && after_first != "") return 2;      // emptied by the first dump
    if (first_fails && after_first != "before") return 3; // could not be made: untouched
    if (after_second != after_first) return 4;            // later dumps append nothing
    return 0;
}
} // namespace

TEST(MemoryDeathTest, FirstDumpEmptiesTheLogLaterOnesKeepIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: no dump yet
    TempDir t;
    EXPECT_EXIT(std::_Exit(two_dumps(t.path(), false)), testing::ExitedWithCode(0), "");
}

TEST(MemoryDeathTest, FailedFirstDumpStillCountsAsFirst)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir t;
    EXPECT_EXIT(std::_Exit(two_dumps(t.path(), true)), testing::ExitedWithCode(0), "");
}

TEST(Memory, OneDebugCommandAfterStaticInit)
{
    ASSERT_NE(UTL_remote_cmd::cmd_list, nullptr);
    EXPECT_STREQ(UTL_remote_cmd::cmd_list->cmd_name, "Dump Memory Info");
    EXPECT_EQ(UTL_remote_cmd::cmd_list->cmd_id, 1);
    EXPECT_EQ(UTL_remote_cmd::cmd_list->cmd_fn, &DumpMemCmd);
    EXPECT_EQ(UTL_remote_cmd::cmd_list->next_cmd, nullptr);
    EXPECT_EQ(UTL_remote_cmd::free_id, 2);

    // A new command goes to the head with the next id.
    UTL_remote_cmd* const head = UTL_remote_cmd::cmd_list;
    {
        UTL_remote_cmd extra("extra", nullptr);
        EXPECT_EQ(extra.cmd_id, 2);
        EXPECT_EQ(UTL_remote_cmd::cmd_list, &extra);
        EXPECT_EQ(extra.next_cmd, head);
        EXPECT_EQ(UTL_remote_cmd::free_id, 3);
    }
    UTL_remote_cmd::cmd_list = head;
    UTL_remote_cmd::free_id = 2;
}

TEST(Memory, StatisticsWaitNewestFirst)
{
    UTL_stat* const before = UTL_stat_waiting_head();
    static UTL_stat first("test/first", UTL_stat_perf, 0.0f);
    static UTL_stat second("test/second", UTL_stat_perf, 2.5f);
    EXPECT_EQ(UTL_stat_waiting_head(), &second);
    EXPECT_EQ(second.next_waiting, &first);
    EXPECT_EQ(first.next_waiting, before);
    EXPECT_EQ(second.value_ptr, &second.stat_value);
    EXPECT_EQ(*second.value_ptr, 2.5f);
    EXPECT_STREQ(second.stat_name, "test/second");
    EXPECT_EQ(second.stat_type, UTL_stat_perf);
    EXPECT_EQ(UTL_stat_registered_count(), 0); // the registry is never initialised
}

TEST(Memory, DebugInitIgnoresBrokenPipes)
{
    struct sigaction old;
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &old), 0);
    UTL_debug_init();
    struct sigaction now;
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    EXPECT_EQ(std::raise(SIGPIPE), 0); // survives
    sigaction(SIGPIPE, &old, nullptr);
}
