// The installer's preferences file: exact writing, reading rules, option
// overrides.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <string>

#include "GenC/hl_alert.h"
#include "GenC/hl_shutdown.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/pref.h"
#include "UTL/UTL_cmdline.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

// HOME points at a private folder; settings and options start from the
// defaults that main sets.
class Pref : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        file_ = home_ / ".zudezud/Zudezud Installer.prf";
        cmdline.options.clear();
        defaults();
    }
    void TearDown() override
    {
        cmdline.options.clear();
        defaults();
    }
    static void defaults()
    {
        stg._use_max_cpu = 0;
        stg._rename_folder = 1;
        stg._stream_count = 0;
        stg._log_actions = 0;
        stg._always_ask_dir = 0;
        dest_dir_path = "/Zudezud/";
        http._proxy_host.clear();
        http._proxy_port.clear();
        http._proxy_port_int = 0;
    }
    void write_file(const std::string& text)
    {
        if (!TempDir::exists(home_ / ".zudezud")) home_.mkdir(".zudezud");
        home_.write(".zudezud/Zudezud Installer.prf", text);
    }

    PrivateHome home_;
    std::string file_;
};

TEST_F(Pref, WritesEveryKeyInOrder)
{
    stg._use_max_cpu = 1;
    stg._rename_folder = 0;
    stg._stream_count = 3;
    stg._log_actions = 1;
    stg._always_ask_dir = -2;
    dest_dir_path = "/data/my sim/";
    http._proxy_host = "proxy.local";
    http._proxy_port = "8080";
    http._proxy_port_int = 8080;
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    EXPECT_EQ(TempDir::read(file_),
              "I\n9001 version\n"
              "_use_max_cpu 1\n_rename_folder 0\n_stream_count 3\n_log_actions 1\n"
              "_always_ask_dir -2\n_dest_dir_path /data/my sim/\n_proxy_host proxy.local\n"
              "_proxy_port 8080\n_proxy_port_int 8080\n");
}

TEST_F(Pref, EmptyStringsAreNotWritten)
{
    dest_dir_path.clear();
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    EXPECT_EQ(TempDir::read(file_),
              "I\n9001 version\n"
              "_use_max_cpu 0\n_rename_folder 1\n_stream_count 0\n_log_actions 0\n"
              "_always_ask_dir 0\n_proxy_port_int 0\n");
}

TEST_F(Pref, ReadsBackWhatItWrote)
{
    stg._stream_count = 4;
    dest_dir_path = "/a b/";
    http._proxy_host = "h";
    http._proxy_port_int = 3128;
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    defaults();
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(stg._stream_count, 4);
    EXPECT_EQ(dest_dir_path, "/a b/");
    EXPECT_EQ(http._proxy_host, "h");
    EXPECT_EQ(http._proxy_port, "");
    EXPECT_EQ(http._proxy_port_int, 3128);
}

TEST_F(Pref, ReadingRules)
{
    write_file("I\n9001 version\n"
               "_log_actions 1\n"
               "_log_actions 0\n"                   // the later line wins
               "\n   _dest_dir_path    /x y/ z  \n" // leading blanks go, the rest stays
               "_stream_count 12abc\n"
               "_use_max_cpu abc\n"
               "_rename_folder 99999999999999\n"
               "_always_ask_dir\n" // no value
               "_proxy_host\n"
               "_Proxy_Port 81\n" // other letter case: unknown
               "_unknown_key kept only in memory\n"
               "_proxy_port_int\t-99999999999999\r\n");
    stg._always_ask_dir = 5;
    http._proxy_host = "before";
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(stg._log_actions, 0);
    EXPECT_EQ(dest_dir_path, "/x y/ z  /"); // a folder: the final '/' is added
    EXPECT_EQ(stg._stream_count, 12);
    EXPECT_EQ(stg._use_max_cpu, 0);
    EXPECT_EQ(stg._rename_folder, INT_MAX);
    EXPECT_EQ(stg._always_ask_dir, 0);
    EXPECT_EQ(http._proxy_host, "");
    EXPECT_EQ(http._proxy_port, "");
    EXPECT_EQ(http._proxy_port_int, INT_MIN);

    // Saving drops the unknown keys.
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    std::string saved = TempDir::read(file_);
    EXPECT_EQ(saved.find("_unknown_key"), std::string::npos);
    EXPECT_EQ(saved.find("_Proxy_Port"), std::string::npos);
}

TEST_F(Pref, BadFilesKeepTheDefaults)
{
    const char* files[] = {
        "I\n9000 version\n_stream_count 3\n", // other version
        "\nI\n9001 version\n_stream_count 3\n",
        "",
        "_stream_count 3\n",
    };
    for (const char* f : files) {
        write_file(f);
        pref.IO_set(kPrefSetInstaller, kPrefRead);
        EXPECT_EQ(stg._stream_count, 0) << f;
        EXPECT_EQ(dest_dir_path, "/Zudezud/") << f;
    }
    // No file at all.
    std::remove(file_.c_str());
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(stg._rename_folder, 1);
}

TEST_F(Pref, OptionsOverrideTheFileAndAreSaved)
{
    write_file("I\n9001 version\n_stream_count 2\n_proxy_host file.host\n");
    cmdline.options["--pref:_stream_count"] = "4";
    cmdline.options["--pref:_proxy_host"] = ""; // given without '='
    cmdline.options["--pref:_dest_dir_path"] = "/opt/z z/";
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(stg._stream_count, 4);
    EXPECT_EQ(http._proxy_host, "");
    EXPECT_EQ(dest_dir_path, "/opt/z z/");

    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    cmdline.options.clear();
    defaults();
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(stg._stream_count, 4);
    EXPECT_EQ(http._proxy_host, "");
    EXPECT_EQ(dest_dir_path, "/opt/z z/");
}

TEST_F(Pref, AnOptionForNoKeyIsNamedOnStderr)
{
    ChildResult r = run_in_child([] {
        cmdline.options["--pref:_stream_count"] = "3";
        cmdline.options["--pref:_log_action"] = "1"; // one letter short
        cmdline.options["--pref:"] = "x";
        cmdline.options["--no_dds"] = "";
        pref.IO_set(kPrefSetInstaller, kPrefRead);
        _exit(stg._stream_count);
    });
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err, "Zudezud: ignoring \"--pref:\": there is no preference \"\".\n"
                     "Zudezud: ignoring \"--pref:_log_action\": there is no preference "
                     "\"_log_action\".\n");
}

// Every path is appended to the destination: however it is given, it ends
// in '/'. An empty value names no folder and keeps the default.
TEST_F(Pref, DestinationEndsInASlash)
{
    struct {
        const char* value;
        const char* want;
    } cases[] = {
        {"/data/inst/Zudezud", "/data/inst/Zudezud/"},
        {"/data/inst/Zudezud/", "/data/inst/Zudezud/"},
        {"/my sim", "/my sim/"},
        {"/", "/"},
        {"", "/Zudezud/"},
    };
    for (const auto& c : cases) {
        for (bool by_option : {false, true}) {
            defaults();
            cmdline.options.clear();
            if (by_option) {
                write_file("I\n9001 version\n_dest_dir_path /from/the/file/\n");
                cmdline.options["--pref:_dest_dir_path"] = c.value;
            } else {
                write_file(std::string("I\n9001 version\n_dest_dir_path ") + c.value + "\n");
            }
            pref.IO_set(kPrefSetInstaller, kPrefRead);
            EXPECT_EQ(dest_dir_path, c.want) << c.value << (by_option ? " (option)" : " (file)");
        }
    }
}

TEST_F(Pref, ScanClassAnswers)
{
    write_file("I\n9001 version\n_a 7\n_s text here\n");
    scan_class s(file_, kPrefRead);
    int v = -1;
    std::string t = "untouched";
    EXPECT_EQ(s.int_io(&v, "_a"), 1);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(s.fetch_or_get("", t, "_s"), 1);
    EXPECT_EQ(t, "text here");
    EXPECT_EQ(s.fetch_or_get("", t, "_none"), 0);
    EXPECT_EQ(t, "text here");
    EXPECT_EQ(s.int_io(&v, "_none"), 0);
    EXPECT_EQ(v, 7);
}

TEST_F(Pref, UnwritableFileRaisesTheAlert)
{
    TempCwd cwd;
    home_.mkdir(".zudezud");
    home_.mkdir(".zudezud/Zudezud Installer.prf"); // a folder where the file goes
    AlertProbe probe;
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().kind, t_alert);
    EXPECT_EQ(probe.last().lines[0].rfind("I could not save the file!", 0), 0u);
    ouf.clear();
}

TEST_F(Pref, NoHomeMeansNoFile)
{
    TempCwd cwd;
    unsetenv("HOME");
    stg._stream_count = 3;
    AlertProbe probe;
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(probe.count(), 0u);
    EXPECT_EQ(stg._stream_count, 3);
    EXPECT_TRUE(
        TempDir::read(cwd.path() + "Resources/preferences/Set Zudezud.prfZudezud Installer.prf")
            .empty());
}

TEST_F(Pref, SavedAtOrderlyExitUnlessFpsTest)
{
    TempCwd cwd;
    for (bool fps : {true, false}) {
        std::remove(file_.c_str());
        ChildResult r = run_in_child([&] {
            if (fps) cmdline.options["--fps_test"] = "";
            stg._stream_count = 2;
            VOVARU_finishup(1);
        });
        ASSERT_TRUE(r.exited()) << r.out << r.err;
        EXPECT_EQ(TempDir::exists(file_), !fps);
    }
    EXPECT_NE(TempDir::read(file_).find("_stream_count 2\n"), std::string::npos);
}

// The file is written beside its place and renamed over it: a save that
// cannot be completed (here a disk that takes only 64 bytes more) leaves the
// old file whole and no temporary file behind, and tells the user once.
TEST_F(Pref, SaveThatCannotBeCompletedKeepsTheOldFile)
{
    TempCwd cwd;
    const std::string old_file = "I\n9001 version\n_stream_count 5\n";
    const std::string temp = file_ + kPrefTempSuffix;
    for (rlim_t limit : {rlim_t(64), RLIM_INFINITY}) {
        SCOPED_TRACE(limit == RLIM_INFINITY ? "room enough" : "disk full");
        write_file(old_file);
        home_.write(".zudezud/Zudezud Installer.prf.new", "half of a killed run's save");
        ChildResult r = run_in_child([&] {
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG
            struct rlimit lim;
            getrlimit(RLIMIT_FSIZE, &lim);
            lim.rlim_cur = limit;
            setrlimit(RLIMIT_FSIZE, &lim);
            dest_dir_path = "/" + std::string(200, 'd') + "/";
            stg._stream_count = 2;
            pref.IO_set(kPrefSetInstaller, kPrefWrite);
        });
        ASSERT_TRUE(r.exited()) << r.out << r.err;
        EXPECT_FALSE(TempDir::exists(temp));
        const std::string now = TempDir::read(file_);
        if (limit == RLIM_INFINITY) {
            EXPECT_NE(now.find("_stream_count 2\n_log_actions"), std::string::npos) << now;
            EXPECT_NE(now.find("\n_proxy_port_int 0\n"), std::string::npos) << now;
            EXPECT_EQ(r.out.find("I could not save the file!"), std::string::npos) << r.out;
        } else {
            EXPECT_EQ(now, old_file);
            EXPECT_NE(r.out.find("I could not save the file!"), std::string::npos) << r.out;
        }
    }
}

} // namespace

// Any character is legal in a home folder's name on Linux; only the files the
// program names itself follow its own path rules.
TEST_F(Pref, HomeFolderMayHoldAColon)
{
    TempDir odd;
    odd.mkdir("games:2024");
    std::string home = odd / "games:2024";
    setenv("HOME", home.c_str(), 1);
    stg._stream_count = 3;
    pref.IO_set(kPrefSetInstaller, kPrefWrite);
    defaults();
    pref.IO_set(kPrefSetInstaller, kPrefRead);
    EXPECT_EQ(stg._stream_count, 3);
}
