// The command-line option table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "UTL/UTL_cmdline.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

// Parses args into a fresh table with the log going to a private file;
// returns the log text.
std::string parse(UTL_cmdline& c, std::vector<const char*> args)
{
    TempDir dir;
    if (xer.is_open()) xer.close();
    xer.clear();
    xer.open(dir / "Log.txt");
    args.insert(args.begin(), "zudezud");
    c.init_unix((int)args.size(), args.data());
    xer.close();
    xer.clear();
    return TempDir::read(dir / "Log.txt");
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
    const std::vector<std::string> paths = {"sim/view/forward", "sim/view/back",    "sim/quit",
                                            "app/about",        "sim/view/forward", "simx"};
    const std::vector<std::string> descs = {"Look forward.", "Look back.", "Quit.",
                                            "About.",        "Again.",     "X."};
    const struct {
        const char* prefix;
        std::vector<std::string> want;
    } cases[] = {
        {"", {"app/", "sim/", "simx"}},
        {"sim/", {"quit", "view/"}},
        {"sim/view/", {"back", "forward"}},
        {"sim", {"/", "x"}},
        {"sim/quit", {}},
        {"nothing/", {}},
    };
    for (auto& k : cases)
        EXPECT_EQ(UTL_cmds_in_path(paths, k.prefix), k.want) << k.prefix;

    TempDir dir;
    FILE* f = std::fopen((dir / "out").c_str(), "w");
    ASSERT_NE(f, nullptr);
    UTL_print_commands(f, paths, descs, "all");
    UTL_print_commands(f, paths, descs, "sim/");
    std::fclose(f);
    std::string out = TempDir::read(dir / "out");
    char first[80];
    std::snprintf(first, sizeof first, "%-50s %s\n", "sim/view/forward", "Look forward.");
    EXPECT_EQ(out.rfind(first, 0), 0u);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 6 + 2);
    EXPECT_NE(out.find("\nquit\nview/\n"), std::string::npos);
}

} // namespace
