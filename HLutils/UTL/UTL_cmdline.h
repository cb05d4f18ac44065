// The command-line option table, filled once at start-up.
//
// Filled from argv or from one string. The application puts its usage lines and
// its leading option ("-path") here before start-up; an option nobody reads is
// named on stderr, a --pref: key the preferences lack by pref. "--cmnds" lists
// the command table (cmnd).
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Option prefix that overrides a preference for one run: --pref:key=value.
extern const char* const kPrefOptionPrefix;

class UTL_cmdline
{
  public:
    // Option name (text before the first '=') -> value (after it, or "").
    std::map<std::string, std::string> options;
    // The application's own part, set before start-up parses the command
    // line: its lines at the top of the usage text (then the library's,
    // without its own usage line), and the option it reads itself as the
    // first argument, followed by one more (the installer's "-path").
    const char* app_usage = nullptr;
    const char* app_leading_option = nullptr;

    // Fills the table from argv[1..] (echoing each to the log), names each
    // option nobody reads on stderr, then runs init_common.
    void init_unix(int argc, const char** argv);
    // The same from one command-line string: options separated by blanks,
    // "name" or "name=value", no quoting.
    void init_win(const char* command_line);
    // Acts on "--cmnds", then "-h"/"--help": prints and exits with status 0.
    // Returns only when none of them was given.
    void init_common();
    bool has_option(const char* name) const;
    std::string get_option(const char* name) const;

  private:
    // Stores one option (a repeat is logged and replaces the value) and
    // echoes it to the log.
    void add_option(const std::string& name, const std::string& value);
    // One line on stderr for each argument that no part of the program
    // reads; nothing else changes. A "--pref:" key is checked where the
    // preferences are read.
    void report_unknown(const std::vector<std::string>& args) const;
};

// The options the library reads, with those its usage text lists for the
// suite's other programs (accepted, without effect here).
bool UTL_known_option(const std::string& name);

// The usage text of "-h"/"--help": 86 lines, each with its line end.
extern const char* const kUsageText;

// What "--cmnds" prints: the command table registers it (OOPS_cpp/cmnd.cpp,
// CMND_print_commands). Without one the option prints nothing.
using UTL_commands_lister_fn = void (*)(FILE* out, const std::string& value);
void UTL_set_commands_lister(UTL_commands_lister_fn fn);
