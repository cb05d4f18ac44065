// Error records written to the log without an alert, and their assignment.
#include <gtest/gtest.h>

#include <string>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "Thread/hl_thread.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

namespace
{

TEST(ExceLog, LogAndContinueWritesTheRecordOnly)
{
    struct Case {
        int kind;
        const char* file;
        std::string want;
    } cases[] = {
        {0, "a.cpp", "Logging non-fatal Exception thrown from file: a.cpp, line 12.\n"},
        {t_alert, "a.cpp", "Logging fatal Exception thrown from file: a.cpp, line 12.\n"},
        {t_exit, "a.cpp", "Logging fatal Exception thrown from file: a.cpp, line 12.\n"},
        // No source file: nothing printed for it, and the log goes on.
        {t_exit, nullptr, "Logging fatal Exception thrown from file: , line 12.\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_TRUE(open_log_in(dir));
        AlertProbe probe;
        exce_class r("one", "", "three", "four", c.file, 12, c.kind);
        r.LogAndContinue();
        xer << "after\n";
        EXPECT_TRUE(xer.good());
        EXPECT_EQ(read_log_in(dir), c.want + "one\n\nthree\nfour\nafter\n");
        EXPECT_EQ(probe.count(), 0u);
        close_log();
    }
}

TEST(ExceLog, AssignmentCopiesEveryField)
{
    static const char kFile[] = "x.cpp";
    exce_class from("a", "b", "c", "d", kFile, 7, t_alert);
    exce_class to;
    exce_class& same = (to = from);
    EXPECT_EQ(&same, &to);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(to.message[i], from.message[i]);
    EXPECT_EQ(to.src_file, kFile);
    EXPECT_EQ(to.src_line, 7);
    EXPECT_EQ(to.alert_type, t_alert);
}

} // namespace
