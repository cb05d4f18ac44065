// Shared by the download-slot tests: a private log and temp folder, clean
// proxy settings and slots, and a poller that drives one slot the way the
// installer does.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "UTL/UTL_time.h"
#include "support/nginx.h"

// Drives one slot like the installer: one net_check per poll, stopping at
// the first answer other than running.
struct SlotPoller {
    int slot = kNetSlotFirstStream;
    std::string server, path, local;
    int answer = kNetRunning;
    int polls = 0;

    void poll()
    {
        if (answer != kNetRunning) return;
        answer = http.net_check(slot, server, path, local);
        ++polls;
    }
    // Polls until an answer, at most max_ms of real time (then -1).
    int run(int max_ms = 20000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
        while (answer == kNetRunning && std::chrono::steady_clock::now() < until) {
            poll();
            if (answer == kNetRunning) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return answer == kNetRunning ? -1 : answer;
    }
    down_class* request() const { return http.slot[slot]; }
};

class HttpTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        signal(SIGPIPE, SIG_IGN); // as start-up does
        dir_ = testnet::make_temp_dir("http");
        ASSERT_FALSE(dir_.empty());
        log_ = dir_ + "/Log.txt";
        xer.open(log_, std::ios::out | std::ios::trunc);
        http._proxy_host.clear();
        http._proxy_port.clear();
        http._proxy_port_int = 0;
        gProxyExclude.clear();
        http.ForgetFailures();
        set_clock(1000.0f);
    }
    void TearDown() override
    {
        for (int i = 0; i < kNetSlots; ++i)
            http.net_cancel(i);
        http._proxy_host.clear();
        http._proxy_port_int = 0;
        gProxyExclude.clear();
        xer.close();
        testnet::remove_tree(dir_);
    }

    // The clock the requests read; it only moves when a test moves it.
    static void set_clock(float secs) { xtim.real_secs = secs; }
    void via_proxy(int port)
    {
        http._proxy_host = "127.0.0.1";
        http._proxy_port_int = port;
    }
    std::string Log()
    {
        xer.flush();
        return testnet::read_file(log_);
    }
    std::string path(const std::string& rel) const { return dir_ + "/" + rel; }

    std::string dir_, log_;
};

// Bytes that do not repeat, from a seed.
inline std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = (char)(gen() & 0xff);
    return s;
}

// A served folder with a small list and a large file (a blank in both the
// folder and the file name), and an nginx to serve it.
class HttpNginxTest : public HttpTest
{
  protected:
    void SetUp() override
    {
        HttpTest::SetUp();
        root_ = path("www");
        ASSERT_EQ(mkdir(root_.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((root_ + "/rel 1").c_str(), 0755), 0);
        small_ = "SERVER 1\n";
        big_ = random_bytes(3 * 1024 * 1024 + 17, 7); // many reads of 64 KiB
        ASSERT_TRUE(testnet::write_file(root_ + "/serverlist.txt", small_));
        ASSERT_TRUE(testnet::write_file(root_ + "/rel 1/big file.zip", big_));
    }
    bool start_nginx(const std::string& extra_server_conf = "")
    {
        testnet::NginxOptions o;
        o.root = root_;
        o.extra_server_conf = extra_server_conf;
        if (!nginx_.Start(o)) {
            failure_ = nginx_.failure();
            return false;
        }
        return true;
    }

    std::string root_, small_, big_, failure_;
    testnet::Nginx nginx_;
};
