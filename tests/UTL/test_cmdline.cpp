// The command-line option table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "UTL/UTL_cmdline.h"
#include "support/alert_probe.h"
#include "support/cmnd_fixture.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{

// Runs fn with the log going to a private file; returns the log text.
template <typename Fn> std::string logged(Fn fn)
{
    TempDir dir;
    if (xer.is_open()) xer.close();
    xer.clear();
    xer.open(dir / "Log.txt");
    fn();
    xer.close();
    xer.clear();
    return TempDir::read(dir / "Log.txt");
}

// Parses args into a fresh table; returns the log text.
std::string parse(UTL_cmdline& c, std::vector<const char*> args)
{
    args.insert(args.begin(), "zudezud");
    return logged([&] { c.init_unix((int)args.size(), args.data()); });
}

TEST(Cmdline, NamesAndValues)
{
    UTL_cmdline c;
    parse(c,
          {"a=b=c", "=x", "--fps_test=3", "--flag", "-path", "/data/sim/", "--empty=", "--HELP"});
    const struct {
        const char* name;
        bool has;
        const char* value;
    } cases[] = {
        {"a", true, "b=c"},    {"", true, "x"},      {"--fps_test", true, "3"},
        {"--flag", true, ""},  {"-path", true, ""},  {"/data/sim/", true, ""},
        {"--empty", true, ""}, {"--HELP", true, ""}, {"--help", false, ""},
        {"--fps", false, ""},  {"a=b", false, ""},
    };
    for (auto& k : cases) {
        EXPECT_EQ(c.has_option(k.name), k.has) << k.name;
        EXPECT_EQ(c.get_option(k.name), k.value) << k.name;
    }
}

TEST(Cmdline, EchoAndRepeats)
{
    UTL_cmdline c;
    std::string log = parse(c, {"--help_me", "--pref:_log_actions=1", "--x=1", "--x=2"});
    EXPECT_EQ(log, "     '--help_me'\n"
                   "     '--pref:_log_actions'='1'\n"
                   "     '--x'='1'\n"
                   "WARNING: command line option --x=2included twice.\n"
                   "     '--x'='2'\n");
    EXPECT_EQ(c.get_option("--x"), "2");
}

// The same for one command-line string.
std::string parse_line(UTL_cmdline& c, const char* line)
{
    return logged([&] { c.init_win(line); });
}

TEST(Cmdline, OneStringOptions)
{
    const struct {
        const char* line;
        std::vector<std::pair<std::string, std::string>> want; // the whole table
        const char* log;
    } cases[] = {
        {"", {}, ""},
        {" \t\n ", {}, ""},
        {"--no_vbos --fps_test=3",
         {{"--fps_test", "3"}, {"--no_vbos", ""}},
         "     '--no_vbos'\n     '--fps_test'='3'\n"},
        {"  --a=1\t--b  ", {{"--a", "1"}, {"--b", ""}}, "     '--a'='1'\n     '--b'\n"},
        {"--x=1 --x=2",
         {{"--x", "2"}},
         "     '--x'='1'\nWARNING: command line option --x=2included twice.\n     '--x'='2'\n"},
        {"--v=a=b --e=", {{"--e", ""}, {"--v", "a=b"}}, "     '--v'='a=b'\n     '--e'\n"},
        // No quoting: a blank ends a value; an option without a name is dropped.
        {"--p=\"a b\" =lost", {{"--p", "\"a"}, {"b\"", ""}}, "     '--p'='\"a'\n     'b\"'\n"},
    };
    for (const auto& k : cases) {
        UTL_cmdline c;
        std::string log = parse_line(c, k.line);
        std::vector<std::pair<std::string, std::string>> got(c.options.begin(), c.options.end());
        EXPECT_EQ(got, k.want) << k.line;
        EXPECT_EQ(log, k.log) << k.line;
    }
    UTL_cmdline c;
    parse_line(c, nullptr);
    EXPECT_TRUE(c.options.empty());

    // The string form ends in the same handling of the printing options.
    TempCwd cwd;
    ChildResult r = run_in_child([] {
        xer.close();
        xer.clear();
        xer.open("Log.txt");
        UTL_cmdline c;
        c.init_win("  --help ");
        _exit(42);
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, std::string(kUsageText) + "\n");
    EXPECT_EQ(TempDir::read(cwd.path() + "Log.txt"), "     '--help'\n");
}

TEST(Cmdline, OptionsNobodyReadsAreNamedOnStderr)
{
    const std::string path_line =
        "Zudezud: ignoring \"-path\": it must be the first argument, followed by the folder.\n";
    auto unknown = [](const std::string& name) {
        return "Zudezud: ignoring the unknown option \"" + name + "\"; --help lists the options.\n";
    };
    const struct {
        std::vector<const char*> args;
        std::string err;
    } cases[] = {
        {{}, ""},
        {{"--no_vbos", "--fps_test=3", "--pref:_anything=1", "--no_sound", "--require_fps=30"}, ""},
        {{"-path", "/data/sim", "--no_dds"}, ""},
        {{"--hlep", "x=1", "--help_me", "-"},
         unknown("--hlep") + unknown("x") + unknown("--help_me") + unknown("-")},
        {{"--no_dds", "-path", "/data/sim"}, path_line}, // not first: nor its folder
        {{"-path"}, path_line},                          // no folder
        {{"-path=/data/sim", "/x"}, path_line + unknown("/x")},
    };
    for (const auto& c : cases) {
        ChildResult r = run_in_child([&] {
            UTL_cmdline line;
            line.app_leading_option = "-path";
            parse(line, c.args);
        });
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, c.err) << (c.args.empty() ? "" : c.args[0]);
    }
    // The one-string form, and a program without an option of its own.
    ChildResult r = run_in_child([] {
        UTL_cmdline line;
        logged([&] { line.init_win("-path /a --x=1 --no_fbos"); });
    });
    EXPECT_EQ(r.err, unknown("-path") + unknown("/a") + unknown("--x"));
}

TEST(Cmdline, TheApplicationsUsageComesFirst)
{
    TempCwd cwd;
    ChildResult r = run_in_child([] {
        xer.close();
        xer.clear();
        xer.open("Log.txt");
        UTL_cmdline c;
        c.app_usage = "Usage: tool [-x]\n\nTOOL OPTIONS\n-x\n    Does x.\n\n";
        const char* args[] = {"tool", "-h"};
        c.init_unix(2, args);
    });
    EXPECT_EQ(r.exit_code, 0);
    const std::string body =
        std::string(kUsageText).substr(std::string(kUsageText).find("\n\n") + 2);
    EXPECT_EQ(r.out, "Usage: tool [-x]\n\nTOOL OPTIONS\n-x\n    Does x.\n\n" + body + "\n");
    EXPECT_EQ(body.rfind("Flags take the form", 0), 0u);
}

TEST(Cmdline, UsageTextShape)
{
    std::string text = kUsageText;
    EXPECT_EQ(text.size(), 4080u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 86);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.rfind("Usage: Zudezud [options...]\n\n", 0), 0u);
    int long_lines = 0;
    size_t from = 0;
    while (from < text.size()) {
        size_t nl = text.find('\n', from);
        if (nl - from > 82) ++long_lines;
        from = nl + 1;
    }
    EXPECT_EQ(long_lines, 2);
    for (const char* s :
         {"--no_vbos", "--no_threaded_ogl", "--force_run", "--fps_test=n", "--require_fps=n",
          "GL_SGIS_generate_mipmap", "OPTIONS TO DISABLE HARDWARE ACCELERATION", "FRAMERATE TEST"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
}

TEST(Cmdline, PrintingOptionsExit)
{
    TempCwd cwd;
    struct {
        std::vector<const char*> args;
        bool usage;
    } cases[] = {
        {{"-h"}, true},
        {{"--help=1"}, true},
        {{"x", "--help"}, true},
        {{"--cmnds", "-h"}, false}, // the listing wins
        {{"-h", "--cmnds=all"}, false},
    };
    for (auto& k : cases) {
        ChildResult r = run_in_child([&] {
            // The log goes to the parent's private folder: the child exits
            // without running destructors.
            xer.close();
            xer.clear();
            xer.open("Log.txt");
            std::vector<const char*> args = k.args;
            args.insert(args.begin(), "zudezud");
            UTL_cmdline c;
            c.init_unix((int)args.size(), args.data());
            _exit(42); // not reached when an option printed
        });
        ASSERT_TRUE(r.exited());
        EXPECT_EQ(r.exit_code, 0);
        if (k.usage) {
            EXPECT_EQ(r.out, std::string(kUsageText) + "\n");
        } else {
            EXPECT_EQ(r.out.find("Usage:"), std::string::npos);
        }
    }
    ChildResult r = run_in_child([] {
        UTL_cmdline c;
        parse(c, {"--HELP", "--cmnd"});
        _exit(42);
    });
    EXPECT_EQ(r.exit_code, 42);
    EXPECT_EQ(r.out, "");
    // The options are echoed to the log before the program ends.
    r = run_in_child([] {
        xer.close();
        xer.clear();
        xer.open("Log.txt");
        const char* args[] = {"zudezud", "--cmnds=sim/", "-h"};
        UTL_cmdline c;
        c.init_unix(3, args);
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(TempDir::read(cwd.path() + "Log.txt"), "     '--cmnds'='sim/'\n     '-h'\n");
}

TEST(Cmdline, CommandListing)
{
    cmnd_class table;
    const char* added[][2] = {{"sim/view/forward", "Look forward."},
                              {"sim/view/back", "Look back."},
                              {"sim/quit", "Quit."},
                              {"app/about", "About."},
                              {"sim/view/forward", "Again."},
                              {"simx", "X."}};
    for (auto& a : added)
        cmnd_append(table, a[0], a[1]);
    const struct {
        const char* value;
        std::string want;
    } cases[] = {
        {"", "app/\nsim/\nsimx\n"},
        {"sim/", "operation/\nquit\nview/\n"},
        {"sim/view/", "back\nforward\n"},
        {"sim", "/\nx\n"},
        {"sim/quit", ""},
        {"nothing/", ""},
        {"ALL", ""},
    };
    TempDir dir;
    for (auto& k : cases) {
        FILE* f = std::fopen((dir / "out").c_str(), "w");
        ASSERT_NE(f, nullptr);
        CMND_print_commands(f, table, k.value);
        std::fclose(f);
        EXPECT_EQ(TempDir::read(dir / "out"), k.want) << '"' << k.value << '"';
    }

    // "all": every command in number order, path padded to 50, description.
    FILE* f = std::fopen((dir / "out").c_str(), "w");
    ASSERT_NE(f, nullptr);
    CMND_print_commands(f, table, "all");
    std::fclose(f);
    std::string want =
        std::string("sim/operation/none") + std::string(32, ' ') + " Do nothing at all!\n";
    for (auto& a : added) {
        char line[120];
        std::snprintf(line, sizeof line, "%-50s %s\n", a[0], a[1]);
        want += line;
    }
    EXPECT_EQ(TempDir::read(dir / "out"), want);
}

// The real program lists the command table and ends before any window: it
// runs here without a display. It is copied into a private folder so that
// its "Log.txt" (written beside it) is its own.
TEST(Cmdline, ProgramListsTheCommandTable)
{
    TempDir dir;
    const std::string exe = dir / "zudezud_installer";
    ASSERT_EQ(run_capture(std::string("cp '") + ZUDEZUD_INSTALLER_EXE + "' '" + exe + "'").status,
              0);
    const struct {
        const char* args;
        std::string want;
    } cases[] = {
        {"--cmnds", "sim/\n"},
        {"--cmnds=", "sim/\n"},
        {"--cmnds=sim/", "operation/\n"},
        {"--cmnds=sim/operation/", "none\n"},
        {"--cmnds=sim/operation/none", ""},
        {"--cmnds=si", "m/\n"},
        {"-h --cmnds=all",
         std::string("sim/operation/none") + std::string(32, ' ') + " Do nothing at all!\n"},
    };
    for (auto& k : cases) {
        const XvfbResult r = run_capture("env -u DISPLAY HOME='" + dir.path() + "' '" + exe + "' " +
                                         k.args + " 2>/dev/null");
        EXPECT_EQ(r.status, 0) << k.args;
        EXPECT_EQ(r.output, k.want) << k.args;
        EXPECT_NE(TempDir::read(dir / "Log.txt").find("     '--cmnds'"), std::string::npos)
            << k.args;
    }
}

} // namespace
