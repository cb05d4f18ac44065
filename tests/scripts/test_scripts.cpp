// The set-up scripts as a newcomer runs them: the package step, with the
// package tools replaced by recorders, so nothing is installed or stopped.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{
std::string sh_quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

// A command in `bin` that appends its name and arguments to `calls` and
// runs `body` (sh).
void recorder(const TempDir& bin, const std::string& name, const std::string& calls,
              const std::string& body = "")
{
    bin.write(name, "#!/bin/sh\necho \"" + name + " $*\" >> " + sh_quote(calls) + "\n" + body);
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
            run_capture("PATH=" + sh_quote(bin.path()) + ":\"$PATH\" " +
                        sh_quote(std::string(ZUDEZUD_SOURCE_DIR) + "/scripts/deps.sh"));
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
