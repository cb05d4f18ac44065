// The set-up scripts as a newcomer runs them: the package step (with the
// package tools replaced by recorders, so nothing is installed or stopped)
// and the demo without a display.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "support/temp_dir.h"
#include "support/text.h"
#include "support/xvfb.h"

namespace
{

// A command in `bin` that appends its name and arguments to `calls` and
// runs `body` (sh).
void recorder(const TempDir& bin, const std::string& name, const std::string& calls,
              const std::string& body = "")
{
    bin.write(name, "#!/bin/sh\necho \"" + name + " $*\" >> " + shell_quote(calls) + "\n" + body);
    ASSERT_EQ(chmod((bin / name).c_str(), 0755), 0);
}
} // namespace

TEST(Scripts, PackagesAreAskedForOnceAndInstalledOnlyWhenMissing)
{
    for (const std::string missing : {"", "xdotool"}) {
        SCOPED_TRACE(missing);
        TempDir bin;
        const std::string calls = bin / "calls.txt";
        // dpkg-query answers every package it is asked about as installed,
        // but for the missing one; apt-get and service only record.
        recorder(bin, "dpkg-query", calls,
                 "for a; do case \"$a\" in -*) ;; " + (missing.empty() ? "" : missing + ") ;; ") +
                     "*) echo \"$a ii \" ;; esac; done\n");
        recorder(bin, "apt-get", calls);
        recorder(bin, "service", calls);
        const XvfbResult r =
            run_capture("PATH=" + shell_quote(bin.path()) + ":\"$PATH\" " +
                        shell_quote(std::string(ZUDEZUD_SOURCE_DIR) + "/scripts/deps.sh"));
        EXPECT_EQ(r.status, 0) << r.output;
        const std::string log = TempDir::read(calls);
        EXPECT_EQ(count_of(log, "dpkg-query "), 1) << log;
        if (missing.empty()) {
            EXPECT_EQ(count_of(log, "apt-get "), 0) << log;
            // Without a packaged service running there is nothing to stop.
            bool running = false;
            for (const char* pid : {"/run/nginx.pid", "/run/tinyproxy/tinyproxy.pid",
                                    "/run/haproxy.pid", "/run/squid.pid"})
                running = running || TempDir::exists(pid);
            if (!running) {
                EXPECT_EQ(count_of(log, "service "), 0) << log;
            }
        } else {
            EXPECT_NE(log.find("apt-get update\n"), std::string::npos) << log;
            EXPECT_NE(log.find("apt-get install -y --no-install-recommends " + missing + "\n"),
                      std::string::npos)
                << log;
            // What was just installed may have started its service.
            for (const char* svc : {"nginx", "tinyproxy", "haproxy", "squid"})
                EXPECT_NE(log.find(std::string("service ") + svc + " stop\n"), std::string::npos)
                    << svc;
        }
    }
}

// The real demo, as without a display, against the build this test belongs
// to (cmake is replaced by a no-op: everything is built already).
TEST(Scripts, TheDemoSaysWhatItInstalledAndCleansUp)
{
    const std::string src = ZUDEZUD_SOURCE_DIR, build = ZUDEZUD_BINARY_DIR;
    if (build != src + "/build") GTEST_SKIP() << "the demo uses the build in " << src << "/build";
    for (const char* p : {"zudezud_installer", "tests/make_demo_release"})
        if (!TempDir::exists(build + "/" + p)) GTEST_SKIP() << p << " is not built";
    TempDir bin;
    const std::string calls = bin / "calls.txt";
    recorder(bin, "cmake", calls);
    const XvfbResult r = run_capture("cd " + shell_quote(src) +
                                     " && env -u DISPLAY PATH=" + shell_quote(bin.path()) +
                                     ":\"$PATH\" ./scripts/demo.sh 90 --clean");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string& out = r.output;
    const size_t at = out.find("/tmp/zudezud-demo.");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string work = out.substr(at, out.find_first_of("/ \n", at + 5) - at);
    // The destination used, every file unpacked and the result, with paths
    // inside the demo's folder.
    for (const char* line :
         {"Destination folder: Zudezud/ (-path)\n",
          "EXPANDING file Zudezud/Aircraft/c172.acf, with result=0.\n",
          "EXPANDING file Zudezud/Zudezud-demo, with result=0.\n",
          "Installation finished in Zudezud 9.00 demo/: 4 file(s) installed, 0 deleted, ",
          "\n./Instructions/Readme.txt\n", "\nremoved "})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    // Not the default destination, nor the graphics lines of the log.
    EXPECT_EQ(out.find("dest_dir_path="), std::string::npos) << out;
    EXPECT_EQ(out.find("glsl_avail"), std::string::npos) << out;
    EXPECT_FALSE(TempDir::exists(work)) << work;
}

// A hung command costs its bound, not the test's whole time-out, and says
// where it hung; nothing it started is left running.
TEST(TestRuns, AHungCommandIsStoppedWithWhatItWasDoing)
{
    const XvfbResult r = run_capture("echo started; sh -c 'sleep 987'", 1);
    EXPECT_EQ(r.status, 124);
    EXPECT_EQ(count_of(r.output, "started\n"), 1) << r.output;
    EXPECT_EQ(count_of(r.output, "[stopped after 1 s"), 1) << r.output;
    // The shell and its sleep, each with its state.
    EXPECT_EQ(count_of(r.output, "sleep 987 \n    state S"), 2) << r.output;
    EXPECT_NE(run_capture("pgrep -fx 'sleep 987'").status, 0);

    const XvfbResult quick = run_capture("echo done; exit 3", 1);
    EXPECT_EQ(quick.status, 3);
    EXPECT_EQ(quick.output, "done\n");
}

// An X server that does not start gives its own words for why.
TEST(TestRuns, AServerThatDoesNotStartSaysWhy)
{
    const XvfbResult r = xvfb_run("true", "-screen 0 1024x768x24 -no-such-option");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(count_of(r.output, "Xvfb failed to start:\n"), 1) << r.output;
    EXPECT_NE(r.output.find("Unrecognized option: -no-such-option"), std::string::npos) << r.output;
}
