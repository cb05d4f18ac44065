// Worker threads, the main thread's identity and cross-thread error records.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

const char kHere[] = "test_hl_thread.cpp";

class ThreadModuleTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(open_log_in(dir_)); }
    void TearDown() override
    {
        if (THREAD_is_inited()) THREAD_shutdown();
        close_log();
    }
    std::string log() { return read_log_in(dir_); }
    // Takes every record of a queue without reporting it.
    static std::vector<exce_class> take_all(UTL_message_queue* q)
    {
        std::vector<exce_class> out;
        while (void* p = UTL_message_queue_read(q, 0)) {
            exce_class* r = static_cast<exce_class*>(p);
            out.push_back(*r);
            delete r;
        }
        return out;
    }
    // Runs fn on a thread made by THREAD_create and waits for it to end.
    static void* run_on_thread(void* (*fn)(void*), void* arg = nullptr)
    {
        pthread_t t, id, join;
        THREAD_create(fn, arg, &t, &id, &join, 0);
        return UTL_thread_join(&t, &join);
    }

    TempDir dir_;
    TempCwd cwd_; // alerts write MemoryLog.txt in the current folder
};

TEST_F(ThreadModuleTest, MainThreadIdentity)
{
    EXPECT_EQ(THREAD_is_inited(), 0);
    EXPECT_EQ(THREAD_is_main_thread(), 0); // before init no thread is
    THREAD_init();
    EXPECT_EQ(THREAD_is_inited(), 1);
    EXPECT_EQ(THREAD_is_main_thread(), 1);
    int on_worker = -1;
    run_on_thread(
        [](void* p) -> void* {
            *static_cast<int*>(p) = THREAD_is_main_thread();
            return nullptr;
        },
        &on_worker);
    EXPECT_EQ(on_worker, 0);
    THREAD_shutdown();
    EXPECT_EQ(THREAD_is_inited(), 0);
    EXPECT_EQ(THREAD_is_main_thread(), 0);
}

TEST_F(ThreadModuleTest, OneIdleWorkerPerProcessorStoppedAtShutdown)
{
    THREAD_init();
    THREAD_make_workers();
    int n = UTL_count_processors();
    EXPECT_EQ(THREAD_worker_count(), n);
    THREAD_shutdown();
    EXPECT_EQ(THREAD_worker_count(), 0);
    EXPECT_EQ(THREAD_is_inited(), 0);
    EXPECT_EQ(log(), "CPU count        : " + std::to_string(n) + "\nClean exit from threads.\n");
}

TEST_F(ThreadModuleTest, WorkerRunsACallAndReportsItsCookie)
{
    THREAD_init();
    THREAD_make_workers();
    THREAD_call call{};
    UTL_message_queue_create(&call.reply);
    UTL_critical_section_create(&call.call_lock);
    call.fn = [](void* arg) -> void* { return static_cast<char*>(arg) + 1; };
    static char buf[2];
    call.arg = buf;
    call.cookie = 17;
    UTL_message_queue_write(THREAD_call_queue(), &call);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(UTL_message_queue_read(call.reply, -1)), 17);
    UTL_critical_section_lock(&call.call_lock);
    EXPECT_EQ(call.result, buf + 1);
    UTL_critical_section_unlock(&call.call_lock);
    UTL_message_queue_destroy(call.reply);
    UTL_critical_section_destroy(&call.call_lock);
}

TEST_F(ThreadModuleTest, ShutdownWithoutWorkersOrInit)
{
    THREAD_shutdown(); // never initialised: nothing to stop
    THREAD_init();
    THREAD_shutdown();
    EXPECT_EQ(log(), "Clean exit from threads.\nClean exit from threads.\n");
}

TEST_F(ThreadModuleTest, RecordConstructors)
{
    exce_class empty;
    for (const std::string& m : empty.message)
        EXPECT_EQ(m, "");
    EXPECT_STREQ(empty.src_file, "no exception");
    EXPECT_EQ(empty.src_line, 0);
    EXPECT_EQ(empty.alert_type, t_exit);

    exce_class r("a", "b", "c", "d", kHere, 12, t_alert);
    exce_class copy(r);
    EXPECT_EQ(copy.message[3], "d");
    EXPECT_EQ(copy.src_file, kHere); // the pointer, not a copy of the text
    EXPECT_EQ(copy.src_line, 12);
    EXPECT_EQ(copy.alert_type, t_alert);
    copy.MakeFatal();
    EXPECT_EQ(copy.alert_type, t_exit);
    exce_class* heap = new exce_class(r);
    delete heap;
}

TEST_F(ThreadModuleTest, SendSortsRecordsByKind)
{
    THREAD_init();
    THREAD_send_exception(exce_class("w", "", "", "", kHere, 1, t_alert));
    THREAD_send_exception(exce_class("f", "", "", "", kHere, 2, t_exit)); // main goes on
    THREAD_send_exception(exce_class("k3", "", "", "", kHere, 3, 3));
    THREAD_send_exception(exce_class("k0", "", "", "", kHere, 4, 0));
    std::vector<exce_class> fatal = take_all(THREAD_fatal_queue());
    std::vector<exce_class> warn = take_all(THREAD_warning_queue());
    ASSERT_EQ(fatal.size(), 1u);
    EXPECT_EQ(fatal[0].message[0], "f");
    ASSERT_EQ(warn.size(), 1u);
    EXPECT_EQ(warn[0].message[0], "w");
}

TEST_F(ThreadModuleTest, CheckWithZeroLeavesWarningsQueued)
{
    THREAD_init();
    AlertProbe probe;
    THREAD_send_exception(exce_class("w1", "", "", "", kHere, 1, t_alert));
    THREAD_send_exception(exce_class("w2", "", "", "", kHere, 2, t_alert));
    testing::internal::CaptureStdout();
    THREAD_check_exception(0);
    EXPECT_EQ(probe.count(), 0u);
    THREAD_check_exception(1);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(probe.count(), 2u); // in the order posted
    EXPECT_EQ(probe.records()[0].lines[0], "w1");
    EXPECT_EQ(probe.records()[1].lines[0], "w2");
    EXPECT_EQ(probe.records()[1].source_line, 2);
    EXPECT_EQ(UTL_message_queue_read(THREAD_warning_queue(), 0), nullptr);
}

TEST_F(ThreadModuleTest, FatalRecordsAreReportedFirst)
{
    ChildResult r = run_in_child([] {
        THREAD_init();
        THREAD_send_exception(exce_class("warn one", "", "", "", kHere, 1, t_alert));
        THREAD_send_exception(exce_class("warn two", "", "", "", kHere, 2, t_alert));
        THREAD_send_exception(exce_class("fatal", "x", "", "", kHere, 3, t_exit));
        THREAD_check_exception(1);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_EQ(r.out, "Didozuroz Error:\nfatal\n\nx\n\n\n\n\n\nSorry.\n");
}

struct TaskOutcome {
    bool after_alert = false;
};

TEST_F(ThreadModuleTest, EscapingExceptionsBecomeOneFatalRecord)
{
    THREAD_init();
    struct Case {
        const char* name;
        void* (*task)(void*);
        std::string lines[4];
        bool from_module; // the record names the thread module's source
    } cases[] = {
        {"std::exception",
         [](void*) -> void* { throw std::runtime_error("disk on fire"); },
         {"Caught an unhandled C++ exception", "disk on fire", "", ""},
         true},
        {"unknown",
         [](void*) -> void* { throw 42; },
         {"Caught an unhandled unknown exception", "", "", ""},
         true},
        {"exce_class warning",
         [](void*) -> void* { throw exce_class("mine", "2", "3", "4", kHere, 9, t_alert); },
         {"mine", "2", "3", "4"},
         false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run_on_thread(c.task), nullptr) << c.name;
        std::vector<exce_class> fatal = take_all(THREAD_fatal_queue());
        ASSERT_EQ(fatal.size(), 1u) << c.name;
        EXPECT_EQ(fatal[0].alert_type, t_exit) << c.name;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(fatal[0].message[i], c.lines[i]) << c.name;
        if (c.from_module)
            EXPECT_STREQ(fatal[0].src_file, "HLutils/Thread/hl_thread") << c.name;
        else
            EXPECT_EQ(fatal[0].src_line, 9);
        EXPECT_EQ(UTL_message_queue_read(THREAD_warning_queue(), 0), nullptr) << c.name;
    }
}

// pthread_exit unwinds through the catch-all of the thread's entry routine;
// the process must survive it.
TEST_F(ThreadModuleTest, FatalAlertOnAWorkerEndsOnlyThatThread)
{
    THREAD_init();
    AlertProbe probe;
    TaskOutcome outcome;
    run_on_thread(
        [](void* p) -> void* {
            __VOVARU_alert(0, "bad", "worse", "", "", t_exit, kHere, 77);
            static_cast<TaskOutcome*>(p)->after_alert = true;
            return nullptr;
        },
        &outcome);
    EXPECT_FALSE(outcome.after_alert);
    std::vector<exce_class> fatal = take_all(THREAD_fatal_queue());
    ASSERT_EQ(fatal.size(), 1u);
    EXPECT_EQ(fatal[0].message[0], "bad");
    EXPECT_EQ(fatal[0].message[1], "worse");
    EXPECT_EQ(fatal[0].src_line, 77);
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().route, kAlertRouteWorker);
    EXPECT_FALSE(probe.last().on_main_thread);
}

TEST_F(ThreadModuleTest, WarningOnAWorkerReturnsToIt)
{
    THREAD_init();
    TaskOutcome outcome;
    run_on_thread(
        [](void* p) -> void* {
            __VOVARU_alert(0, "just so you know", "", "", "", t_alert, kHere, 5);
            static_cast<TaskOutcome*>(p)->after_alert = true;
            return nullptr;
        },
        &outcome);
    EXPECT_TRUE(outcome.after_alert);
    std::vector<exce_class> warn = take_all(THREAD_warning_queue());
    ASSERT_EQ(warn.size(), 1u);
    EXPECT_EQ(warn[0].message[0], "just so you know");
    EXPECT_EQ(UTL_message_queue_read(THREAD_fatal_queue(), 0), nullptr);
}

TEST_F(ThreadModuleTest, ReportOnTheMainThreadIsAnAlert)
{
    THREAD_init();
    AlertProbe probe;
    testing::internal::CaptureStdout();
    exce_class("l1", "l2", "l3", "l4", kHere, 8, t_alert).Report();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Didozuroz Error:\nl1\n\nl2\n\nl3\n\nl4\n\nSorry.\n");
    ASSERT_EQ(probe.count(), 1u);
    EXPECT_EQ(probe.last().kind, t_alert);
}

TEST_F(ThreadModuleTest, ReportOffTheMainThreadLogsAndExits)
{
    std::string home = dir_ / "home";
    dir_.mkdir("home");
    ChildResult r = run_in_child([&] {
        setenv("HOME", home.c_str(), 1); // an orderly end may save preferences
        VOVARU_register_shell();         // the shell's shutdown, as start-up registers it
        THREAD_init();
        run_on_thread([](void*) -> void* {
            exce_class("one", "two", "", "four", "worker.cpp", 31, t_exit).Report();
            return nullptr;
        });
        std::printf("still here\n");
    });
    EXPECT_TRUE(r.exited());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
    std::string text = log();
    EXPECT_EQ(text.rfind("EXCEPTION REPORTED FROM THREAD!!  File: worker.cpp, line 31.\n"
                         "one\ntwo\n\nfour\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("Clean exit from threads.\n"), std::string::npos); // full shutdown
}

} // namespace
