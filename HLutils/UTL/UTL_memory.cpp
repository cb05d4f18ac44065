// The replaced allocation operators and the debugging aids next to them.
#include "UTL/UTL_memory.h"

#include <cctype>
#include <cinttypes>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <set>

#include "GenH/hl_types.h"

// [SECTION] Allocation

void* operator new(std::size_t size, const char* file, int line)
{
    if (size == 0) size = 1;
    for (;;) {
        if (void* block = std::malloc(size)) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void operator delete(void* block, const char* file, int line) noexcept
{
    std::free(block);
}

void* operator new(std::size_t size)
{
    return operator new(size, "anonymous new", 0);
}

void* operator new[](std::size_t size)
{
    return operator new(size, "anonymous new[]", 0);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

// The sized forms come from the compiler for every delete of a complete type;
// they must reach the same free as the blocks came from malloc. Not inlined:
// the containers of this file would otherwise show the compiler a tagged new
// paired with free, which it reports as a mismatch.
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

// The nothrow forms answer null where the others throw. They must be ours
// too: a block from another allocator would reach the free() above. Any
// exception but std::bad_alloc from a new-handler ends the program here.
void* operator new(std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept
{
    if (size == 0) size = 1;
    for (;;) {
        if (void* block = std::malloc(size)) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) return nullptr;
        try {
            handler();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& nt, const char* file,
                     int line) noexcept
{
    return operator new(size, nt, file, line);
}

void* operator new(std::size_t size, const std::nothrow_t& nt) noexcept
{
    return operator new(size, nt, "anonymous new-nt", 0);
}

void* operator new[](std::size_t size, const std::nothrow_t& nt) noexcept
{
    return operator new(size, nt, "anonymous new-nt[]", 0);
}

void* operator new[](std::size_t size, const char* file, int line)
{
    return operator new(size, file, line);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const char* file, int line) noexcept
{
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&, const char* file, int line) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&, const char* file, int line) noexcept
{
    std::free(block);
}

// [SECTION] Sizes in readable units

namespace
{
struct mem_unit {
    int shift;
    char suffix;
};

// Strictly above these counts a size takes the next unit. Only gigabytes
// wait for 14 of them; megabytes and kilobytes take 1.4 (1468006.4 and
// 1433.6 bytes, so above 1468006 and 1433 whole bytes).
constexpr unsigned long long kGigaFrom = 14ull << 30;
constexpr unsigned long long kMegaFrom = 1468006;
constexpr unsigned long long kKiloFrom = 1433;

mem_unit mem_unit_of(unsigned long long bytes)
{
    if (bytes > kGigaFrom) return {30, 'G'};
    if (bytes > kMegaFrom) return {20, 'M'};
    if (bytes > kKiloFrom) return {10, 'K'};
    return {0, 'B'};
}
} // namespace

unsigned int mem_to_number(unsigned long long bytes)
{
    return static_cast<unsigned int>(bytes >> mem_unit_of(bytes).shift);
}

char mem_to_suffix(unsigned long long bytes)
{
    return mem_unit_of(bytes).suffix;
}

// [SECTION] Memory dump

namespace
{
int first_dump = 1; // the first dump of a run empties "MemoryLog.txt"
constexpr size_t kDumpPathBytes = 500;
} // namespace

void dump_mem_stats(const char* who)
{
    xer << "OK check MemoryLog.txt! I just sent him a dump from " << who << "\n";

    char path[kDumpPathBytes];
    std::snprintf(path, sizeof path, "%sMemoryLog.txt", app_path.c_str());
    FILE* f = std::fopen(path, first_dump ? "w" : "a");
    first_dump = 0;
    // Nothing is written: the file only marks that a dump was asked for.
    if (f != nullptr) std::fclose(f);
}

// [SECTION] Debug commands

UTL_remote_cmd* UTL_remote_cmd::cmd_list = nullptr;
int UTL_remote_cmd::free_id = 1;

UTL_remote_cmd::UTL_remote_cmd(const char* name, void (*fn)())
    : next_cmd(cmd_list), cmd_fn(fn), cmd_name(name), cmd_id(free_id++)
{
    cmd_list = this;
}

UTL_remote_cmd::~UTL_remote_cmd() {}

namespace
{
int remote_cmds_inited = 0; // nothing reads it
} // namespace

void UTL_remote_cmd::invoke(void* arg, int id)
{
    // The handlers take no arguments: arg has nowhere to go.
    for (UTL_remote_cmd* c = cmd_list; c != nullptr; c = c->next_cmd) {
        if (c->cmd_id != id) continue;
        if (c->cmd_fn) c->cmd_fn();
        return;
    }
}

void UTL_remote_cmd::init_remote_cmds()
{
    remote_cmds_inited = 1;
}

void DumpMemCmd()
{
    dump_mem_stats("Remote Commanded Dump");
}

static UTL_remote_cmd dump_mem_now("Dump Memory Info", DumpMemCmd);

void UTL_debug_init()
{
    std::signal(SIGPIPE, SIG_IGN);
}

// [SECTION] Statistics registry

namespace
{
std::map<UTL_stat_type, std::set<UTL_stat*>> all_stats;
int stat_initialized = 0; // nothing in this program sets it
UTL_stat* waiting = nullptr;

// Registers at once once the registry exists, else waits, newest first.
void register_or_wait(UTL_stat* stat)
{
    if (stat_initialized) {
        all_stats[stat->stat_type].insert(stat);
    } else {
        stat->next_waiting = waiting;
        waiting = stat;
    }
}
} // namespace

UTL_stat::UTL_stat(const char* name, UTL_stat_type type, float value)
    : stat_value(value), stat_type(type), next_waiting(nullptr), value_ptr(&stat_value),
      stat_name(name)
{
    register_or_wait(this);
}

UTL_stat::UTL_stat(float* value, const char* name, UTL_stat_type type)
    : stat_type(type), next_waiting(nullptr), value_ptr(value), stat_name(name)
{
    register_or_wait(this);
}

// Statistics live as long as the program: nothing to unregister.
UTL_stat::~UTL_stat() {}

void UTL_stat::init_stats()
{
    for (UTL_stat* s = waiting; s != nullptr; s = s->next_waiting)
        all_stats[s->stat_type].insert(s);
    stat_initialized = 1;
}

void UTL_stat::publish()
{
    all_stats[stat_type].insert(this);
}

void UTL_stat::reset_stats(UTL_stat_type type)
{
    for (UTL_stat* s : all_stats[type])
        s->stat_value = 0;
}

UTL_stat* UTL_stat_waiting_head()
{
    return waiting;
}

int UTL_stat_registered_count()
{
    int n = 0;
    for (const auto& kv : all_stats)
        n += static_cast<int>(kv.second.size());
    return n;
}

int UTL_stat_is_registered(const UTL_stat* stat)
{
    auto it = all_stats.find(stat->stat_type);
    return it != all_stats.end() && it->second.count(const_cast<UTL_stat*>(stat)) ? 1 : 0;
}

// [SECTION] Debugging aids

void UTL_get_debug_symbol(void* address, symbol_info* symbol)
{
    symbol->text1[0] = symbol->text2[0] = symbol->text3[0] = '\0';
    symbol->value1 = 0;
    symbol->value2 = 0;
    symbol->value3 = -1;
}

int UTL_valid_memory(void* address, unsigned int length, int, int)
{
    return 1;
}

void print_symbol(FILE* file, void* address)
{
    std::fprintf(file, "0x%08" PRIxPTR " (\?\?\?)\n", reinterpret_cast<std::uintptr_t>(address));
}

namespace
{
constexpr int kHexRow = 16;
constexpr int kHexGroup = 4;
constexpr int kMaxStackLines = 100;
} // namespace

void dump_hex(FILE* file, void* data, int length)
{
    const unsigned char* row = static_cast<const unsigned char*>(data);
    for (int left = length; left > 0; left -= kHexRow, row += kHexRow) {
        for (int i = 0; i < kHexRow; ++i) {
            if (i % kHexGroup == 0) std::fputc(' ', file);
            if (i < left)
                std::fprintf(file, "%02X", row[i]);
            else
                std::fputs("  ", file);
        }
        std::fputs("    ", file);
        for (int i = 0; i < kHexRow; ++i) {
            if (i % kHexGroup == 0) std::fputc(' ', file);
            if (i < left)
                std::fputc(std::isprint(row[i]) ? row[i] : '.', file);
            else
                std::fputc(' ', file);
        }
        std::fputc('\n', file);
    }
}

void UTL_dump_stack(FILE* file, stack_frame* frame, void* pc)
{
    int n = 0;
    if (pc != nullptr) {
        std::fprintf(file, " % 2d) ", n++);
        print_symbol(file, pc);
    }
    // A chain that stops growing upwards is broken or at its end.
    auto higher = [](const stack_frame* a, const stack_frame* b) {
        return reinterpret_cast<std::uintptr_t>(a) > reinterpret_cast<std::uintptr_t>(b);
    };
    for (; frame != nullptr && higher(frame->next, frame) && n < kMaxStackLines;
         frame = frame->next) {
        std::fprintf(file, " % 2d) ", n++);
        print_symbol(file, frame->return_address);
    }
}
