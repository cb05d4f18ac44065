// Shared set-up of the installer engine tests: a clean engine state, a
// private destination and temporary folder, the log in a temp file, and the
// modal windows replaced by scripted answers.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "GenH/hl_app.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "installer/app_hooks.h"
#include "installer/choices.h"
#include "installer/dest_lock.h"
#include "installer/destination.h"
#include "installer/directory.h"
#include "installer/folders.h"
#include "installer/frame.h"
#include "installer/globals.h"
#include "installer/retry.h"
#include "installer/serverlist.h"
#include "installer/streams.h"
#include "installer/sub_wins.h"
#include "installer/temp_folder.h"
#include "support/alert_probe.h"
#include "support/fake_clock.h"
#include "support/nginx.h"
#include "support/temp_dir.h"

// What the scripted windows saw and will answer.
struct ScriptedWindows {
    int eula_answer = 1;
    int eula_calls = 0;
    std::deque<int> answers; // select_alert answers, in order; kAskKeepFile when empty
    std::vector<std::pair<std::string, int>> asked; // path, gone
    std::string picked;                             // folder the picker answers; "" cancels
};
inline ScriptedWindows& scripted()
{
    static ScriptedWindows s;
    return s;
}

inline int scripted_eula()
{
    ++scripted().eula_calls;
    return scripted().eula_answer;
}
inline int scripted_ask(std::string path, int gone)
{
    scripted().asked.emplace_back(path, gone);
    if (scripted().answers.empty()) return kAskKeepFile;
    int a = scripted().answers.front();
    scripted().answers.pop_front();
    return a;
}
inline void scripted_progress(float, float, float, int, std::string, std::string) {}
inline int scripted_pick(const std::string&, std::string& chosen)
{
    if (scripted().picked.empty()) return 0;
    chosen = scripted().picked;
    return 1;
}

class EngineTest : public ::testing::Test
{
  protected:
    TempDir tmp;      // holds dest/, temp/ and the log
    TempCwd cwd;      // alerts write MemoryLog.txt into the current folder
    std::string dest; // destination folder, ends in '/'

    void SetUp() override
    {
        scripted() = ScriptedWindows();
        engine_set_windows_hook({scripted_eula, scripted_ask, scripted_progress, scripted_pick});
        ::mkdir((tmp / "dest").c_str(), 0755); // SetUp may run again inside a test
        ::mkdir((tmp / "temp").c_str(), 0700);
        dest = tmp / "dest/";
        dest_dir_path = dest;
        temp_path = tmp / "temp/";
        if (xer.is_open()) xer.close();
        xer.clear();
        xer.open(tmp / "Log.txt");
        stg = stg_struct{};
        stg_set_defaults(stg);
        install_name = no_install_name;
        for (int i = 0; i < kMaxServers; ++i)
            server_name[i] = server_path[i] = server_desc[i] = "";
        sim_info.clear();
        deleted_files.clear();
        this_install_has_exes = 0;
        for (int s = 0; s < kNetSlots; ++s)
            http.net_cancel(s);
        http._proxy_host.clear();
        http._proxy_port.clear();
        http._proxy_port_int = 0;
        next = next_class();
        slot_failures_clear();
        http.ForgetFailures();
        app_done = 0;
        dir_scan_cancel();
        dest_lock_release();
        dest_busy = 0;
    }
    void TearDown() override
    {
        dir_scan_cancel();
        dest_lock_release();
        for (int s = 0; s < kNetSlots; ++s)
            http.net_cancel(s);
        xer.close();
        xer.clear();
    }

    std::string log_text()
    {
        xer.flush();
        return TempDir::read(tmp / "Log.txt");
    }
    // A file below dest (parents made).
    void put(const std::string& rel, const std::string& content)
    {
        std::string full = dest + rel;
        for (std::size_t k = dest.size(); k < full.size(); ++k)
            if (full[k] == '/') ::mkdir(full.substr(0, k).c_str(), 0755);
        std::ofstream(full, std::ios::binary) << content;
    }
    // Writes a directory list file and returns its path.
    std::string dir_file(const std::string& body,
                         const std::string& header = "I\n900 version\nINSTALLER\n")
    {
        std::string p = tmp / "temp/directory.txt";
        std::ofstream(p, std::ios::binary) << header << body;
        return p;
    }
};
