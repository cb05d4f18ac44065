// The program-wide allocation operators (thin wrappers over malloc/free, so
// every allocation passes one place) and a few debugging aids.
//
// The aids: readable sizes, the statistics registry, remote debug commands and
// memory dumps.
#pragma once

#include <cstddef>
#include <cstdio>
#include <new>

// The allocator behind every operator new; file and line name the caller
// (the tag is not kept).
void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
// The same allocation without exceptions: null when no memory was found
// (a new-handler that throws std::bad_alloc ends the attempt).
void* operator new(std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
// The partners the compiler calls when a constructor throws.
void operator delete(void* block, const char* file, int line) noexcept;
void operator delete[](void* block, const char* file, int line) noexcept;
void operator delete(void* block, const std::nothrow_t&, const char* file, int line) noexcept;
void operator delete[](void* block, const std::nothrow_t&, const char* file, int line) noexcept;

// A memory size in readable units: more than 14 GiB in 'G', more than
// 1.4 MiB in 'M', more than 1.4 KiB in 'K', else in bytes 'B'; the number is
// truncated (and keeps the low 32 bits).
unsigned int mem_to_number(unsigned long long bytes);
char mem_to_suffix(unsigned long long bytes);

// Called by the alert routine: logs a line to xer naming who asks and opens
// "MemoryLog.txt" (emptied by the first dump of a run, appended later).
void dump_mem_stats(const char* who);

// The debug command that asks for a memory dump.
void DumpMemCmd();

// A remotely invocable debug command; each one is put at the head of a list.
class UTL_remote_cmd
{
  public:
    UTL_remote_cmd(const char* name, void (*fn)());
    ~UTL_remote_cmd();

    void publish() {}
    // Runs the newest command with this id; nothing when there is none.
    static void invoke(void* arg, int id);
    static void init_remote_cmds();

    UTL_remote_cmd* next_cmd;
    void (*cmd_fn)();
    const char* cmd_name;
    int cmd_id;

    static UTL_remote_cmd* cmd_list; // newest first
    static int free_id;              // id of the next command, from 1
};

// First step of start-up: ignore SIGPIPE, so a write to a socket whose peer
// has gone returns an error instead of ending the process.
void UTL_debug_init();

// Categories of named statistics.
enum UTL_stat_type : int {
    UTL_stat_perf = 4, // the drawing code's kill switches
};

// A named statistic. Made before the registry is initialised (always, in
// this program) it waits on a list, newest first.
class UTL_stat
{
  public:
    UTL_stat(const char* name, UTL_stat_type type, float value);
    // A statistic that lives in the caller's float (its own value unset).
    UTL_stat(float* value, const char* name, UTL_stat_type type);
    ~UTL_stat();

    // Registers every waiting statistic; from then on new ones register at
    // once. The waiting list stays as it is.
    static void init_stats();
    // Registers this statistic, initialised or not.
    void publish();
    // Zeroes the own values of the category (caller's floats are kept).
    static void reset_stats(UTL_stat_type type);

    float stat_value;
    UTL_stat_type stat_type;
    UTL_stat* next_waiting;
    float* value_ptr; // its own stat_value, or the caller's float
    const char* stat_name;
};

// Head of the waiting list, the number of statistics registered, and whether
// one is registered under its category.
UTL_stat* UTL_stat_waiting_head();
int UTL_stat_registered_count();
int UTL_stat_is_registered(const UTL_stat* stat);

// [SECTION] Debugging aids. No symbols are known on this platform.

struct symbol_info {
    char text1[1024];
    int value1;
    char text2[1024];
    int value2;
    char text3[1024];
    int value3;
};

// One link of a saved frame chain; callers sit at higher addresses.
struct stack_frame {
    stack_frame* next;
    void* return_address;
};

// Looks nothing up: empty texts, 0, 0 and -1.
void UTL_get_debug_symbol(void* address, symbol_info* symbol);
// Always 1.
int UTL_valid_memory(void* address, unsigned int length, int, int);
// "0x" and the whole address in hex (at least 8 digits), then " (???)".
void print_symbol(FILE* file, void* address);
// 16 bytes a line: hex in groups of four, four blanks, the printable ones.
void dump_hex(FILE* file, void* data, int length);
// Numbered lines: pc first (when not null), then the return addresses of
// the chain while each next frame lies higher; at most 100 lines.
void UTL_dump_stack(FILE* file, stack_frame* frame, void* pc);
