#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <new>
#include <string>

#include "GenH/hl_types.h"
#include "UTL/UTL_memory.h"
#include "support/alert_probe.h"
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

TEST(Memory, SizesInReadableUnits)
{
    const struct {
        unsigned long long bytes;
        unsigned int number;
        char suffix;
    } cases[] = {
        {0, 0, 'B'},
        {1433, 1433, 'B'},    // 1.4 KiB is 1433.6 bytes
        {1434, 1, 'K'},       // the remainder is dropped
        {1468006, 1433, 'K'}, // 1.4 MiB is 1468006.4 bytes
        {1468007, 1, 'M'},
        {1ull << 31, 2048, 'M'}, // gigabytes wait for 14 of them
        {14ull << 30, 14336, 'M'},
        {(14ull << 30) + 1, 14, 'G'},
        {15ull << 30, 15, 'G'},
        {1ull << 62, 0, 'G'}, // 2^32 GiB: the low 32 bits of the number
        {~0ull, 0xFFFFFFFFu, 'G'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mem_to_number(c.bytes), c.number) << c.bytes;
        EXPECT_EQ(mem_to_suffix(c.bytes), c.suffix) << c.bytes;
    }
}

namespace
{
int throwing_handler_calls = 0;
void throwing_handler()
{
    throwing_handler_calls++;
    throw std::bad_alloc();
}

int patient_handler_calls = 0;
void patient_handler()
{
    // Tries three times to find memory, then steps aside.
    if (++patient_handler_calls == 3) std::set_new_handler(nullptr);
}

struct Throws {
    Throws() { throw 1; }
};
} // namespace

TEST(Memory, TaggedNothrowOperators)
{
    void* a = ::operator new(0, std::nothrow, "here", 1);
    void* b = ::operator new[](0, std::nothrow, "here", 2);
    void* c = ::operator new[](16, "here", 3);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(a, b);
    ::operator delete(a, std::nothrow, "here", 1);
    ::operator delete[](b, std::nothrow, "here", 2);
    ::operator delete[](c, "here", 3);

    int* n = new (std::nothrow, "here", 4) int(5);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(*n, 5);
    delete n;
    // A throwing constructor gives its block back through the partner.
    EXPECT_THROW(new (std::nothrow, "here", 5) Throws, int);

    volatile std::size_t huge = SIZE_MAX / 2;
    EXPECT_EQ(::operator new(huge, std::nothrow, "here", 6), nullptr);
    EXPECT_EQ(::operator new[](huge, std::nothrow, "here", 7), nullptr);
    EXPECT_THROW((void)::operator new[](huge, "here", 8), std::bad_alloc);

    // A handler that throws std::bad_alloc ends the attempt: null, no throw.
    throwing_handler_calls = 0;
    std::set_new_handler(throwing_handler);
    EXPECT_EQ(::operator new(huge, std::nothrow, "here", 9), nullptr);
    EXPECT_EQ(::operator new[](huge, std::nothrow), nullptr);
    EXPECT_EQ(throwing_handler_calls, 2);
    std::set_new_handler(nullptr);
}

TEST(Memory, NothrowTriesAgainAfterEachHandlerCall)
{
    patient_handler_calls = 0;
    std::set_new_handler(patient_handler);
    volatile std::size_t huge = SIZE_MAX / 2;
    EXPECT_EQ(::operator new(huge, std::nothrow, "here", 1), nullptr);
    EXPECT_EQ(patient_handler_calls, 3);
    EXPECT_EQ(std::get_new_handler(), nullptr);
}

namespace
{
// What a FILE* writer produced.
template <typename Fn> std::string captured(Fn fn)
{
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    fn(f);
    std::fclose(f);
    std::string out(buf, len);
    std::free(buf);
    return out;
}

// What follows every address: no symbol is known. (Escaped: "??)" is a trigraph.)
const std::string kNoSym = " (\?\?\?)\n";

void* addr(std::uintptr_t v)
{
    return reinterpret_cast<void*>(v);
}
} // namespace

TEST(Memory, PrintSymbolShowsTheWholeAddress)
{
    const struct {
        std::uintptr_t address;
        std::string want;
    } cases[] = {
        {0, "0x00000000" + kNoSym},
        {0x1234, "0x00001234" + kNoSym},
        {0xdeadbeef, "0xdeadbeef" + kNoSym},
        {0x7fff12345678, "0x7fff12345678" + kNoSym},
        {0xffffffff00000001, "0xffffffff00000001" + kNoSym},
    };
    for (const auto& c : cases)
        EXPECT_EQ(captured([&](FILE* f) { print_symbol(f, addr(c.address)); }), c.want);
}

TEST(Memory, DumpHexRows)
{
    const struct {
        std::string bytes;
        int length;
        const char* want;
    } cases[] = {
        {"ABC\x01\xE9", 5, " 41424301 E9                             ABC. .             \n"},
        {"Hello, world! 0x\xFF", 17,
         " 48656C6C 6F2C2077 6F726C64 21203078     Hell o, w orld ! 0x\n"
         " FF                                      .                  \n"},
        {"\x80\xFE", 2, " 80FE                                    ..                 \n"},
        {"xyz", 0, ""},
        {"xyz", -3, ""},
    };
    for (const auto& c : cases) {
        std::string data = c.bytes;
        EXPECT_EQ(captured([&](FILE* f) { dump_hex(f, &data[0], c.length); }), c.want) << c.length;
    }
}

TEST(Memory, DumpStackWalksUpwards)
{
    stack_frame chain[150];
    for (int i = 0; i < 150; ++i) {
        chain[i].next = i + 1 < 150 ? &chain[i + 1] : nullptr;
        chain[i].return_address = addr(0x1000 + i);
    }
    // A chain of four: the last has no caller above it and is not listed.
    chain[3].next = nullptr;
    EXPECT_EQ(captured([&](FILE* f) { UTL_dump_stack(f, chain, addr(0xABC)); }),
              "  0) 0x00000abc" + kNoSym + "  1) 0x00001000" + kNoSym + "  2) 0x00001001" + kNoSym +
                  "  3) 0x00001002" + kNoSym);
    EXPECT_EQ(captured([&](FILE* f) { UTL_dump_stack(f, chain, nullptr); }),
              "  0) 0x00001000" + kNoSym + "  1) 0x00001001" + kNoSym + "  2) 0x00001002" + kNoSym);
    // A link that points down or at itself ends the walk.
    chain[3].next = &chain[4];
    chain[1].next = &chain[0];
    EXPECT_EQ(captured([&](FILE* f) { UTL_dump_stack(f, chain, nullptr); }),
              "  0) 0x00001000" + kNoSym);
    chain[1].next = &chain[1];
    EXPECT_EQ(captured([&](FILE* f) { UTL_dump_stack(f, &chain[1], nullptr); }), "");
    EXPECT_EQ(captured([&](FILE* f) { UTL_dump_stack(f, nullptr, nullptr); }), "");

    // A long chain stops after 100 lines, numbers 0 to 99.
    chain[1].next = &chain[2];
    std::string out = captured([&](FILE* f) { UTL_dump_stack(f, chain, addr(1)); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 100);
    EXPECT_NE(out.find("\n  99) 0x00001062" + kNoSym), std::string::npos) << out;
    EXPECT_EQ(out.find("100)"), std::string::npos);
}

TEST(Memory, NoSymbolsOnThisPlatform)
{
    symbol_info s;
    std::memset(&s, 'x', sizeof s);
    UTL_get_debug_symbol(addr(0x1234), &s);
    EXPECT_STREQ(s.text1, "");
    EXPECT_STREQ(s.text2, "");
    EXPECT_STREQ(s.text3, "");
    EXPECT_EQ(s.value1, 0);
    EXPECT_EQ(s.value2, 0);
    EXPECT_EQ(s.value3, -1);
    EXPECT_EQ(UTL_valid_memory(nullptr, 100, 0, 0), 1);
}

namespace
{
int invoked = 0;
void count_invoke()
{
    invoked++;
}
} // namespace

TEST(Memory, InvokeRunsTheCommandWithThatId)
{
    UTL_remote_cmd* const head = UTL_remote_cmd::cmd_list;
    const int free_before = UTL_remote_cmd::free_id;
    UTL_remote_cmd::init_remote_cmds();
    {
        invoked = 0;
        UTL_remote_cmd mine("Count", count_invoke);
        mine.publish();
        UTL_remote_cmd::invoke(nullptr, 9999); // no such id: nothing
        EXPECT_EQ(invoked, 0);
        UTL_remote_cmd::invoke(nullptr, mine.cmd_id);
        UTL_remote_cmd::invoke(nullptr, mine.cmd_id);
        EXPECT_EQ(invoked, 2);
    }
    UTL_remote_cmd::cmd_list = head;
    UTL_remote_cmd::free_id = free_before;
}

// The registry is initialised once per process: these run in a child, which
// prints what it saw.
TEST(Memory, StatisticsRegistry)
{
    ChildResult r = run_in_child([] {
        auto say = [](const char* what, int v) { std::printf("%s=%d\n", what, v); };
        UTL_stat* kill_cull = nullptr;
        for (UTL_stat* s = UTL_stat_waiting_head(); s; s = s->next_waiting)
            if (std::strcmp(s->stat_name, "perf/kill_cull") == 0) kill_cull = s;
        say("kill_cull found", kill_cull != nullptr);
        if (!kill_cull) return;

        static float outside = 7.0f;
        static UTL_stat own("test/own", UTL_stat_perf, 3.0f);
        static UTL_stat borrowed(&outside, "test/borrowed", UTL_stat_perf);
        static UTL_stat other("test/other", UTL_stat_type(5), 4.0f);
        say("borrowed points out", borrowed.value_ptr == &outside);
        say("waiting before init", UTL_stat_waiting_head() == &other);
        UTL_stat::reset_stats(UTL_stat_perf); // empty category: nothing changes
        say("own before init", int(own.stat_value));
        say("registered before init", UTL_stat_registered_count());

        UTL_stat::init_stats();
        const int count = UTL_stat_registered_count();
        say("all registered", UTL_stat_is_registered(&own) && UTL_stat_is_registered(&borrowed) &&
                                  UTL_stat_is_registered(&other) &&
                                  UTL_stat_is_registered(kill_cull));
        UTL_stat::init_stats();
        say("second init adds nothing", UTL_stat_registered_count() == count);

        static UTL_stat later("test/later", UTL_stat_perf, 6.0f);
        say("later registered", UTL_stat_is_registered(&later));
        say("later not waiting", UTL_stat_waiting_head() == &other);

        kill_cull->stat_value = 1.0f;
        UTL_stat::reset_stats(UTL_stat_perf);
        say("own", int(own.stat_value));
        say("later", int(later.stat_value));
        say("kill_cull", int(kill_cull->stat_value));
        say("outside", int(outside));
        say("other", int(other.stat_value));
        UTL_stat::reset_stats(UTL_stat_type(9)); // made, empty
        say("count after empty category", UTL_stat_registered_count() - count);
        std::fflush(stdout);
    });
    EXPECT_TRUE(r.exited());
    EXPECT_EQ(r.out, "kill_cull found=1\n"
                     "borrowed points out=1\n"
                     "waiting before init=1\n"
                     "own before init=3\n"
                     "registered before init=0\n"
                     "all registered=1\n"
                     "second init adds nothing=1\n"
                     "later registered=1\n"
                     "later not waiting=1\n"
                     "own=0\n"
                     "later=0\n"
                     "kill_cull=0\n"
                     "outside=7\n"
                     "other=4\n"
                     "count after empty category=1\n");
}

TEST(Memory, PublishRegistersBeforeInit)
{
    ChildResult r = run_in_child([] {
        static UTL_stat s("test/published", UTL_stat_perf, 2.0f);
        std::printf("%d", UTL_stat_is_registered(&s));
        s.publish();
        std::printf("%d", UTL_stat_is_registered(&s));
        std::fflush(stdout);
    });
    EXPECT_EQ(r.out, "01");
}
