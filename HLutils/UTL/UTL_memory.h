// The program-wide allocation operators (thin wrappers over malloc/free, so
// every allocation passes one place) and a few debugging aids.
#pragma once

#include <cstddef>

// The allocator behind every operator new; file and line name the caller.
void* operator new(std::size_t size, const char* file, int line);
void operator delete(void* block, const char* file, int line) noexcept;

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
enum UTL_stat_type {
    UTL_stat_perf = 4, // the drawing code's kill switches
};

// A named statistic. Made before the registry is initialised (always, in
// this program) it waits on a list, newest first.
class UTL_stat
{
  public:
    UTL_stat(const char* name, UTL_stat_type type, float value);
    ~UTL_stat();

    float stat_value;
    UTL_stat_type stat_type;
    UTL_stat* next_waiting;
    float* value_ptr; // its own stat_value
    const char* stat_name;
};

// Head of the waiting list, and the number of statistics registered by type.
UTL_stat* UTL_stat_waiting_head();
int UTL_stat_registered_count();
