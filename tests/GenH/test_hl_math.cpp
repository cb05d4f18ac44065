#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <string>

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
}

// Each draw is lo + (rand() modulo the span), one number from the C library's
// generator per call, the span counted without overflow.
TEST(IntRand, OneDrawOffsetFromLo)
{
    const struct {
        int lo, hi;
    } cases[] = {{0, 9},
                 {-2, 3},
                 {100, 101},
                 {-7, -5},
                 {INT_MIN, INT_MAX},
                 {INT_MIN, 0},
                 {-1, INT_MAX},
                 {INT_MAX - 3, INT_MAX},
                 {INT_MIN, INT_MIN + 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.lo) + ".." + std::to_string(c.hi));
        const long long span = static_cast<long long>(c.hi) - c.lo + 1;
        for (unsigned seed : {1u, 2u, 99u, 12345u}) {
            std::srand(seed);
            const long long r1 = std::rand(), r2 = std::rand();
            std::srand(seed);
            EXPECT_EQ(int_rand(c.lo, c.hi), c.lo + r1 % span) << "seed " << seed;
            EXPECT_EQ(int_rand(c.lo, c.hi), c.lo + r2 % span) << "seed " << seed;
        }
    }
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
