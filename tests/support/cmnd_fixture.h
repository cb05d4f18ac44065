// Commands added to a command table by a test, the way commands added at run
// time are (cmnd_class::add_cmd): at the end, with type kCmndAdded, so the
// numbers before stay.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "OOPS_cpp/cmnd.h"

inline void cmnd_append(cmnd_class& table, const std::string& path,
                        const std::string& description = "")
{
    table.add_cmd(path, description);
}

// Every call of the command hooks while it lives, in order as (hook,
// command) pairs. One at a time.
class cmnd_hook_log
{
  public:
    std::vector<std::pair<int, int>> calls;

    cmnd_hook_log()
    {
        current() = this;
        CMND_set_watch_hook(record);
    }
    ~cmnd_hook_log()
    {
        CMND_set_watch_hook(nullptr);
        current() = nullptr;
    }
    cmnd_hook_log(const cmnd_hook_log&) = delete;
    cmnd_hook_log& operator=(const cmnd_hook_log&) = delete;

    int count(int hook) const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.first == hook;
        return n;
    }

  private:
    static cmnd_hook_log*& current()
    {
        static cmnd_hook_log* log = nullptr;
        return log;
    }
    static void record(int hook, int command)
    {
        if (current()) current()->calls.emplace_back(hook, command);
    }
};
