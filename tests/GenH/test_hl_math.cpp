#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

#include "GenH/hl_math.h"
#include "GenH/hl_types.h"
#include "support/alert_probe.h"
#include "support/temp_dir.h"

TEST(IntRand, EqualBoundsDrawNothing)
{
    std::srand(77);
    const int expected_next = std::rand();
    std::srand(77);
    EXPECT_EQ(int_rand(3, 3), 3);
    EXPECT_EQ(int_rand(-8, -8), -8);
    EXPECT_EQ(std::rand(), expected_next); // the generator was not advanced
}

TEST(IntRand, StaysInRangeAndReachesBothEnds)
{
    std::srand(1);
    std::set<int> seen;
    for (int i = 0; i < 2000; i++) {
        const int r = int_rand(-2, 3);
        ASSERT_GE(r, -2);
        ASSERT_LE(r, 3);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 6u);
    const int wide = int_rand(INT_MIN, INT_MAX); // no overflow in the span
    EXPECT_GE(wide, INT_MIN);
}

TEST(IntRand, ReversedRangeIsFatal)
{
    TempCwd cwd; // the alert leaves "MemoryLog.txt" behind
    const ChildResult r = run_in_child([&] {
        xer.open(cwd.path() + "Log.txt");
        int_rand(5, 3);
    });
    EXPECT_TRUE(r.aborted());
    EXPECT_NE(r.out.find("int rand range negative!"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("lo=5 hi=3"), std::string::npos) << r.out;
    const std::string log = TempDir::read(cwd.path() + "Log.txt");
    EXPECT_NE(log.find("HLutils/GenH/hl_math line 345"), std::string::npos) << log;
}
