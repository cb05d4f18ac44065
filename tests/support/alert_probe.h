// Watching alerts from tests without changing what they do.
//
//   AlertProbe probe;                 // records every alert while it lives
//   some_call_that_warns();           // kind 1 (t_alert) returns to the caller
//   ASSERT_EQ(probe.count(), 1u);
//   EXPECT_EQ(probe.last().lines[0], "Bad thing");
//
// A fatal alert (t_exit) ends the process: run it in a child.
//
//   ChildResult r = run_in_child([] { fatal_call(); });
//   EXPECT_TRUE(r.aborted());
//   EXPECT_NE(r.out.find("Didozuroz Error:"), std::string::npos);
//
// Alerts of kind 1 and 2 also write "MemoryLog.txt" in the current folder and
// lines to the log `xer`: use TempCwd (or open xer on a temp file) to keep them
// away from the build tree.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "GenC/hl_alert.h"

struct AlertRecord {
    int kind = 0;
    std::string lines[4];
    std::string source_file;
    int source_line = 0;
    alert_route route = kAlertRouteText;
    bool on_main_thread = true; // the thread that raised it made the probe
};

class AlertProbe
{
  public:
    AlertProbe(); // one probe at a time
    ~AlertProbe();
    AlertProbe(const AlertProbe&) = delete;
    AlertProbe& operator=(const AlertProbe&) = delete;

    std::vector<AlertRecord> records() const; // in the order raised
    std::size_t count() const;
    AlertRecord last() const; // an empty record when none
    void clear();
};

// What a child process did: its standard output and error, and how it ended.
struct ChildResult {
    std::string out, err;
    int exit_code = -1; // when it exited
    int signal = 0;     // when a signal ended it
    bool exited() const { return signal == 0 && exit_code >= 0; }
    bool aborted() const; // ended by SIGABRT
};

// Runs body in a forked child (which then exits with status 0) and waits for
// it; after timeout_s seconds SIGALRM ends the child (signal == SIGALRM).
// Checks belong in the parent: a failed EXPECT in the child is not seen.
ChildResult run_in_child(const std::function<void()>& body, int timeout_s = 60);

// Makes a private temporary folder the current folder while it lives.
class TempCwd
{
  public:
    TempCwd();
    ~TempCwd();
    TempCwd(const TempCwd&) = delete;
    TempCwd& operator=(const TempCwd&) = delete;
    const std::string& path() const { return path_; } // ends in '/'

  private:
    std::string old_, path_;
};
