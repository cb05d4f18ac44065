// The replaced allocation operators and the debugging aids next to them.
#include "UTL/UTL_memory.h"

#include <csignal>
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
// they must reach the same free as the blocks came from malloc.
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

// The nothrow forms answer null where the others throw. They must be ours
// too: a block from another allocator would reach the free() above.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size, "anonymous new", 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size, "anonymous new[]", 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
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
} // namespace

UTL_stat::UTL_stat(const char* name, UTL_stat_type type, float value)
    : stat_value(value), stat_type(type), next_waiting(nullptr), value_ptr(&stat_value),
      stat_name(name)
{
    if (stat_initialized) {
        all_stats[type].insert(this);
    } else {
        next_waiting = waiting;
        waiting = this;
    }
}

UTL_stat::~UTL_stat() {}

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
