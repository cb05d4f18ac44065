// The real program's command line as a user meets it: the usage text, the
// lines for options nobody reads, the log it cannot write and the
// destination it really uses. Each run is a copy of the program in a private
// folder that is also its HOME.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "OOPS_cpp/pref.h"
#include "support/nginx.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/xvfb.h"

namespace
{
struct Outcome {
    int status = -1;
    std::string out, err, log;
};

// The program copied into `dir` (a folder that ends in '/'), run there with
// `args` through the shell, without a display unless `display` is set; the
// command `before` runs first in the same shell (`as` prefixes the program).
class Program
{
  public:
    explicit Program(const std::string& dir) : dir_(dir)
    {
        EXPECT_EQ(run_capture("cp " + shell_quote(ZUDEZUD_INSTALLER_EXE) + " " +
                              shell_quote(dir_ + "zudezud_installer"))
                      .status,
                  0);
    }
    Outcome run(const std::string& args, const std::string& as = "") const
    {
        std::string home = dir_;
        home.pop_back();
        const XvfbResult r = run_capture(
            "cd " + shell_quote(dir_) + " && (env -u DISPLAY HOME=" + shell_quote(home) + " " + as +
            " ./zudezud_installer " + args + " >out.txt 2>err.txt)");
        return {r.status, TempDir::read(dir_ + "out.txt"), TempDir::read(dir_ + "err.txt"),
                TempDir::read(dir_ + "Log.txt")};
    }

  private:
    std::string dir_;
};

size_t line_of(const std::string& text, const std::string& line)
{
    const size_t at = ("\n" + text).find("\n" + line + "\n");
    return at == std::string::npos
               ? std::string::npos
               : static_cast<size_t>(std::count(text.begin(), text.begin() + at, '\n'));
}

std::string unknown(const std::string& name)
{
    return "Zudezud: ignoring the unknown option \"" + name + "\"; --help lists the options.\n";
}
} // namespace

TEST(CommandLine, HelpStartsWithTheInstallersOwnOptions)
{
    TempDir dir;
    Program app(dir.path());
    const Outcome r = app.run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: zudezud_installer [-path <folder>] [--pref:<key>=<value> ...] "
                          "[options...]\n\n",
                          0),
              0u)
        << r.out;
    // One usage line only, and the installer's options before the library's.
    EXPECT_EQ(r.out.find("Usage: Zudezud"), std::string::npos);
    const size_t library = line_of(r.out, "OPTIONS TO DISABLE HARDWARE ACCELERATION");
    for (const char* own : {"-path <folder>", "--pref:<key>=<value>", "--cmnds[=<path>]"}) {
        const size_t at = line_of(r.out, own);
        EXPECT_LT(at, 20u) << own << "\n" << r.out;
        EXPECT_LT(at, library) << own;
    }
    for (const char* kept : {"--no_vbos", "--force_run", "--fps_test=n"})
        EXPECT_NE(line_of(r.out, kept), std::string::npos) << kept;
}

TEST(CommandLine, EveryOptionNobodyReadsIsNamedOnce)
{
    TempDir dir;
    Program app(dir.path());
    const std::string folder = "-path " + shell_quote(dir / "dest");
    const struct {
        std::string args, err;
    } cases[] = {
        {folder + " --no_dds --pref:_log_actions=1 --fps_test=3 --no_sound -h", ""},
        {"--hlep --force_run -h", unknown("--hlep")},
        {folder + " junk --pth=/x --NO_DDS -h",
         unknown("junk") + unknown("--pth") + unknown("--NO_DDS")},
        // Not first: the installer does not read it, nor the folder after it.
        {"--no_dds -path /x -h",
         "Zudezud: ignoring \"-path\": it must be the first argument, followed by the folder.\n"},
        {"--cmnds --bogus", unknown("--bogus")},
    };
    for (const auto& c : cases) {
        const Outcome r = app.run(c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        EXPECT_NE(r.out, "") << c.args; // and the usage text or listing still comes
    }
}

TEST(CommandLine, ALogThatCannotBeWrittenIsNamedWithItsReason)
{
    {
        // A folder where the log file should be.
        TempDir dir;
        dir.mkdir("Log.txt");
        const Outcome r = Program(dir.path()).run("-h");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "Zudezud: cannot write the log file " + dir / "Log.txt" +
                             " (Is a directory); going on without it.\n");
        EXPECT_EQ(r.out.rfind("Usage: ", 0), 0u);
    }
    if (geteuid() != 0) GTEST_SKIP() << "another user's program needs root to set up";
    // Another user's program in a folder only its owner may write.
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const Outcome r =
        Program(dir.path()).run("-h", "setpriv --reuid=65534 --regid=65534 --clear-groups");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Zudezud: cannot write the log file " + dir / "Log.txt" +
                         " (Permission denied); going on without it.\n");
    EXPECT_FALSE(TempDir::exists(dir / "Log.txt"));
}

// The run goes on after the lines; the log's last word on the destination
// is the folder the installer uses. Under a private X server, with the
// proxy on a closed loopback port, ended by SIGTERM once the line is there.
TEST(CommandLine, TheLogNamesTheDestinationReallyUsed)
{
    TempDir dir;
    Program app(dir.path());
    dir.mkdir(".zudezud");
    std::string home = dir.path();
    home.pop_back();
    const std::string quiet = " --pref:_proxy_host=127.0.0.1 --pref:_proxy_port_int=" +
                              std::to_string(testnet::free_port());
    const struct {
        std::string args, prefs, line, err;
    } cases[] = {
        {"-path " + shell_quote(dir / "dest") + quiet + " --pref:_log_action=1 --bogus", "",
         "Destination folder: " + dir / "dest/" + " (-path)",
         unknown("--bogus") + "Zudezud: ignoring \"--pref:_log_action\": there is no "
                              "preference \"_log_action\".\n"},
        {quiet, "_dest_dir_path /srv/sim\n", "Destination folder: /srv/sim/ (the preferences)", ""},
        {quiet, "", "Destination folder: /Zudezud/ (the default)", ""},
    };
    for (const auto& c : cases) {
        dir.write(".zudezud/Zudezud Installer.prf", "I\n9001 version\n" + c.prefs);
        const std::string script =
            "cd " + shell_quote(dir.path()) +
            " || exit 1; rm -f Log.txt; HOME=" + shell_quote(home) + " ./zudezud_installer " +
            c.args +
            " >out.txt 2>err.txt & pid=$!; "
            "for i in $(seq 1200); do grep -q '^Destination folder' Log.txt 2>/dev/null && break; "
            "sleep 0.05; done; kill -TERM $pid; wait $pid";
        const XvfbResult r = xvfb_run(script);
        EXPECT_EQ(r.status, 0) << c.args << "\n" << r.output;
        const std::string log = TempDir::read(dir / "Log.txt");
        EXPECT_NE(line_of(log, c.line), std::string::npos) << c.args << "\n" << log;
        // The default before the preferences and -path stays as it was.
        EXPECT_NE(line_of(log, "dest_dir_path=/Zudezud/"), std::string::npos) << log;
        EXPECT_EQ(TempDir::read(dir / "err.txt"), c.err) << c.args;
    }
}

// Without a home folder nothing is read or saved, but --pref: options still
// hold for the run: the proxy they name is asked for the server list, and
// the user is told once, on stderr and in the log, that nothing is saved.
TEST(CommandLine, PrefOptionsHoldWithoutAHomeFolder)
{
    if (!testnet::nginx_installed()) GTEST_SKIP() << "nginx is not installed";
    TempDir dir;
    Program app(dir.path());
    testnet::Nginx proxy;
    ASSERT_TRUE(proxy.Start(dir.path())) << proxy.failure();
    const std::string script =
        "cd " + shell_quote(dir.path()) +
        " || exit 1; env -u HOME ./zudezud_installer --pref:_proxy_host=127.0.0.1 "
        "--pref:_proxy_port_int=" +
        std::to_string(proxy.port()) +
        " >out.txt 2>err.txt & pid=$!; for i in $(seq 400); do "
        "grep -q serverlist " +
        shell_quote(proxy.access_log()) +
        " 2>/dev/null && break; sleep 0.05; done; kill -TERM $pid; wait $pid";
    const XvfbResult r = xvfb_run(script);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(proxy.ReadAccessLog().find("serverlist"), std::string::npos)
        << TempDir::read(dir / "Log.txt");
    const std::string said = std::string(kPrefNoHomeLine) + "\n";
    EXPECT_EQ(TempDir::read(dir / "err.txt"), "Zudezud: " + said);
    EXPECT_EQ(count_of(TempDir::read(dir / "Log.txt"), said), 1);
    EXPECT_FALSE(TempDir::exists(dir / "Resources"));
}
