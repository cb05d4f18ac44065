// The command-line option table, filled once at start-up.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class UTL_cmdline
{
  public:
    // Option name (text before the first '=') -> value (after it, or "").
    std::map<std::string, std::string> options;

    // Fills the table from argv[1..] (echoing each to the log), then runs
    // init_common.
    void init_unix(int argc, const char** argv);
    // Acts on "--cmnds", then "-h"/"--help": prints and exits with status 0.
    // Returns only when none of them was given.
    void init_common();
    bool has_option(const char* name) const;
    std::string get_option(const char* name) const;
};

// The usage text of "-h"/"--help": 86 lines, each with its line end.
extern const char* const kUsageText;

// Prints the command listing of "--cmnds": every command with "all", else the
// names one level below the prefix value. paths/descs are the command table.
void UTL_print_commands(FILE* out, const std::vector<std::string>& paths,
                        const std::vector<std::string>& descs, const std::string& value);
// The names one level below prefix, in byte order, each once (sub-levels end
// in '/').
std::vector<std::string> UTL_cmds_in_path(const std::vector<std::string>& paths,
                                          const std::string& prefix);
