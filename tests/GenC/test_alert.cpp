// The alert routine's routes without a window, and the shutdown routine.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "GenC/hl_alert.h"
#include "GenC/hl_shutdown.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

const char kDumpLine[] =
    "OK check MemoryLog.txt! I just sent him a dump from This is the dump_mem_stats call from "
    "the following code: if(type==t_exit || type == t_alert || recursive_error)\n";

class AlertTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        saved_ogl_ = ogl_inited;
        ogl_inited = 0;
        xer.open(log_path());
        ASSERT_TRUE(xer.is_open());
    }
    void TearDown() override
    {
        ogl_inited = saved_ogl_;
        cmdline.options.erase("--fps_test");
        if (THREAD_is_inited()) THREAD_shutdown();
        xer.close();
        xer.clear();
    }
    std::string log_path() const { return cwd_.path() + "Log.txt"; }
    std::string log()
    {
        if (xer.is_open()) xer.flush();
        return TempDir::read(log_path());
    }
    std::string memory_log() const { return cwd_.path() + "MemoryLog.txt"; }

    TempCwd cwd_; // MemoryLog.txt lands in the current folder
    int saved_ogl_ = 0;
};

TEST(AlertLocation, FileAndLine)
{
    struct Case {
        const char* file;
        int line;
        const char* want;
    } cases[] = {
        {"installer/main.cpp", 12, "(installer/main.cpp line 12)"},
        {"x.cpp", -3, "(x.cpp line -3)"},
        {"", 0, "( line 0)"},
        {nullptr, 7, "( line 7)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(alert_location(c.file, c.line), c.want);
}

TEST_F(AlertTest, WarningBeforeTheWindowIsPrintedLoggedAndReturns)
{
    AlertProbe probe;
    testing::internal::CaptureStdout();
    __VOVARU_alert(0, "Line one", "Line two", "", "Line four", t_alert, "src/x.cpp", 12);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Didozuroz Error:\nLine one\n\nLine two\n\n\n\nLine four\n\nSorry.\n");
    EXPECT_EQ(log(),
              std::string(kDumpLine) + "\nLine one\nLine two\n\nLine four\n(src/x.cpp line 12)\n");
    ASSERT_EQ(probe.count(), 1u);
    AlertRecord r = probe.last();
    EXPECT_EQ(r.kind, t_alert);
    EXPECT_EQ(r.route, kAlertRouteText);
    EXPECT_EQ(r.lines[3], "Line four");
    EXPECT_EQ(r.source_file, "src/x.cpp");
    EXPECT_EQ(r.source_line, 12);
    EXPECT_EQ(app_done, 0);

    // Not left "open": the next alert is not a nested one.
    testing::internal::CaptureStdout();
    __VOVARU_alert(0, "again", "", "", "", t_alert, "src/x.cpp", 13);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(probe.last().route, kAlertRouteText);
}

TEST_F(AlertTest, MemoryLogIsMadeEmptyAndNotEmptiedAgain)
{
    testing::internal::CaptureStdout();
    __VOVARU_alert(0, "first", "", "", "", t_alert, "a.cpp", 1);
    struct stat st;
    ASSERT_EQ(stat(memory_log().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    FILE* f = std::fopen(memory_log().c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("kept", f);
    ASSERT_EQ(std::fclose(f), 0);
    __VOVARU_alert(0, "second", "", "", "", t_alert, "a.cpp", 2);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(TempDir::read(memory_log()), "kept");
    // Two dump lines in the log.
    std::string text = log();
    EXPECT_NE(text.find(kDumpLine), text.rfind(kDumpLine));
}

// Only kinds 1 and 2 and nested alerts ask for the memory dump; any other
// kind is logged and returns like a warning.
TEST_F(AlertTest, NoMemoryDumpForOtherKinds)
{
    for (int kind : {0, 3, -1}) {
        testing::internal::CaptureStdout();
        __VOVARU_alert(0, "odd kind", "", "", "", kind, "k.cpp", kind);
        testing::internal::GetCapturedStdout();
        EXPECT_FALSE(TempDir::exists(memory_log())) << kind;
        EXPECT_EQ(log().find("OK check MemoryLog.txt!"), std::string::npos) << kind;
        EXPECT_NE(log().find("\nodd kind\n\n\n\n(k.cpp line " + std::to_string(kind) + ")\n"),
                  std::string::npos)
            << kind;
    }
}

TEST_F(AlertTest, NestedAlertOfAnyKindDumps)
{
    ChildResult r = run_in_child([] {
        alert_set_watch_hook([](const alert_notice& n) {
            if (n.route == kAlertRouteText) __VOVARU_alert(0, "inner", "", "", "", 0, "in.cpp", 3);
        });
        __VOVARU_alert(0, "outer", "", "", "", 0, "out.cpp", 1);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(log(), std::string(kDumpLine) + "\ninner\n\n\n\n(in.cpp line 3)\n");
    EXPECT_TRUE(TempDir::exists(memory_log()));
}

TEST_F(AlertTest, FatalBeforeTheWindowFinishesUpAndAborts)
{
    ChildResult r = run_in_child([] {
        THREAD_init();
        __VOVARU_alert(0, "Out of luck", "", "third", "", t_exit, "m.cpp", 99);
        std::printf("returned\n");
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(r.out, "Didozuroz Error:\nOut of luck\n\n\n\nthird\n\n\n\nSorry.\n");
    // Finish-up without saving closed the log and stopped no threads.
    EXPECT_EQ(log(), std::string(kDumpLine) + "\nOut of luck\n\nthird\n\n(m.cpp line 99)\n");
}

void raise_inside(const alert_notice& n)
{
    if (n.route == kAlertRouteText)
        __VOVARU_alert(0, "inner", "", "", "", t_alert, "in.cpp", 2);
    else if (n.route == kAlertRouteNested)
        std::printf("nested\n");
}

TEST_F(AlertTest, AlertWhileAnotherIsOpenAbortsEvenAsWarning)
{
    ChildResult r = run_in_child([] {
        alert_set_watch_hook(raise_inside);
        __VOVARU_alert(0, "outer", "", "", "", t_alert, "out.cpp", 1);
        std::printf("returned\n");
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(r.out, "nested\nDidozuroz Error:\ninner\n\n\n\n\n\n\n\nSorry.\n");
    EXPECT_EQ(log(), std::string(kDumpLine) + "\ninner\n\n\n\n(in.cpp line 2)\n");
}

TEST_F(AlertTest, EmptyWarningInTheWindowShowsNothingButIsLogged)
{
    ogl_inited = 1;
    AlertProbe probe;
    testing::internal::CaptureStdout();
    __VOVARU_alert(0, "", "", "", "", t_alert, "e.cpp", 5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(log(), std::string(kDumpLine) + "\n\n\n\n\n(e.cpp line 5)\n");
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().route, kAlertRouteWindow);
}

TEST_F(AlertTest, EmptyFatalInTheWindowIsLoggedAndAborts)
{
    ChildResult r = run_in_child([] {
        ogl_inited = 1;
        __VOVARU_alert(0, "", "", "", "", t_exit, "e.cpp", 6);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(log(), std::string(kDumpLine) + "\n\n\n\n\n(e.cpp line 6)\n");
}

TEST_F(AlertTest, FpsTestFatalOnlyLogsAndExitsWithOne)
{
    ChildResult r = run_in_child([] {
        cmdline.options["--fps_test"] = "";
        __VOVARU_alert(0, "a", "b", "c", "d", t_exit, "f.cpp", 3);
        std::printf("returned\n");
    });
    EXPECT_TRUE(r.exited());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(log(), "a\nb\nc\nd\n(f.cpp line 3)\n");
    EXPECT_FALSE(TempDir::exists(memory_log()));
}

TEST_F(AlertTest, FpsTestWarningOnlyLogsAndReturns)
{
    cmdline.options["--fps_test"] = "";
    AlertProbe probe;
    testing::internal::CaptureStdout();
    __VOVARU_alert(0, "w", "", "", "", t_alert, "f.cpp", 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(log(), "w\n\n\n\n(f.cpp line 4)\n");
    EXPECT_EQ(probe.last().route, kAlertRouteFpsTest);
    EXPECT_FALSE(TempDir::exists(memory_log()));
}

TEST_F(AlertTest, FinishupWithoutSavingKeepsThreadsAndClosesTheLog)
{
    THREAD_init();
    VOVARU_finishup(0);
    EXPECT_FALSE(xer.is_open());
    EXPECT_EQ(THREAD_is_inited(), 1);
    EXPECT_EQ(log(), "");
}

TEST_F(AlertTest, OrderlyFinishupUnderFpsTestStopsThreadsAndSavesNothing)
{
    std::string home = cwd_.path() + "home";
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    ChildResult r = run_in_child([&] {
        setenv("HOME", home.c_str(), 1);
        cmdline.options["--fps_test"] = "";
        THREAD_init();
        THREAD_make_workers();
        VOVARU_finishup(1);
        std::printf("inited=%d open=%d\n", THREAD_is_inited(), int(xer.is_open()));
    });
    EXPECT_TRUE(r.exited());
    EXPECT_EQ(r.out, "inited=0 open=0\n");
    std::string text = log();
    EXPECT_NE(text.find("Clean exit from threads.\n"), std::string::npos) << text;
    EXPECT_FALSE(TempDir::exists(home + "/.zudezud"));
}

TEST(GoToURL, DoesNothing)
{
    go_to_URL("http://127.0.0.1:1/");
    go_to_URL("");
}

} // namespace
