// The clock: period governor, one-frame flags, mouse timing, pulsing colours
// and the frame profiler, all driven by a fake time source.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "GenC/hl_alert.h"
#include "GenC/hl_init.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "UTL/UTL_time.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace
{

class ClockTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        saved_mnw_ = mnw;
        mnw = mnw_struct{};
        mnw.win_now = kWinMain;
        xtim = xtim_class();
        VOVARU_register_shell(); // the shell paints the pulse, as start-up registers it
    }
    void TearDown() override
    {
        mnw = saved_mnw_;
        xtim = xtim_class();
    }
    // One frame pass, dt seconds after the previous one.
    void frame(double dt)
    {
        clock_.advance(dt);
        xtim.xtim_update();
    }
    void frames(int n, double dt)
    {
        for (int i = 0; i < n; ++i)
            frame(dt);
    }

    FakeClock clock_;
    mnw_struct saved_mnw_;
};

TEST_F(ClockTest, StartValues)
{
    xtim_class t;
    EXPECT_EQ(t.first_frame, 1);
    EXPECT_FLOAT_EQ(t.sim_rate, 1.0f);
    EXPECT_FLOAT_EQ(t.frame_prd, 0.02f);
    EXPECT_FLOAT_EQ(t.sim_prd, 0.02f);
    EXPECT_FLOAT_EQ(t.sim_step, 0.0f);
    EXPECT_FLOAT_EQ(t.prd_ratio, 1.0f);
    EXPECT_EQ(t.frame_count, 0);
    EXPECT_FLOAT_EQ(t.real_secs, 0.0f);
    EXPECT_FLOAT_EQ(t.sim_secs, 0.0f);
    EXPECT_EQ(t.day_of_year, 90);
    for (int i = 0; i < kTimeFlagCount; ++i) {
        EXPECT_EQ(t.sim_flags[i], 0);
        EXPECT_EQ(t.real_flags[i], 0);
    }
}

TEST_F(ClockTest, MicrosecsFollowsTheTimeSource)
{
    std::uint64_t a = xtim_class::microsecs();
    clock_.advance_us(1234);
    EXPECT_EQ(xtim_class::microsecs() - a, 1234u);
    EXPECT_EQ(xtim_class::microsecs() - a, 1234u); // stands still
}

TEST_F(ClockTest, RealSecsCountsFromTheFirstUpdate)
{
    clock_.advance(3.0); // time before the first frame does not count
    xtim.xtim_update();
    EXPECT_FLOAT_EQ(xtim.real_secs, 0.0f);
    frame(0.25);
    EXPECT_FLOAT_EQ(xtim.real_secs, 0.25f);
    frame(1.5);
    EXPECT_FLOAT_EQ(xtim.real_secs, 1.75f);
}

TEST_F(ClockTest, FirstGovernorRunClampsToHalf)
{
    frame(0.001);
    EXPECT_FLOAT_EQ(xtim.prd_ratio, 0.5f);
    EXPECT_NEAR(xtim.frame_prd, 0.02 * std::pow(0.5, 0.25), 1e-6);
    EXPECT_FLOAT_EQ(xtim.sim_prd, xtim.frame_prd);
    EXPECT_FLOAT_EQ(xtim.sim_step, xtim.frame_prd);
}

TEST_F(ClockTest, GovernorConvergesAndStaysInBounds)
{
    struct Case {
        double frame_secs;
        double expect;
    } cases[] = {
        {1.0 / 60, 1.0 / 60}, // converges on the real period
        {0.1, 1.0 / 19},      // never fewer than 19 frames a second
        {0.0001, 0.0010001},  // never more than about 1000
    };
    for (const Case& c : cases) {
        xtim_reset_run_state();
        xtim = xtim_class();
        frames(1000, c.frame_secs);
        EXPECT_NEAR(xtim.frame_prd, c.expect, c.expect * 0.01) << c.frame_secs;
    }
}

TEST_F(ClockTest, GovernorMovesAtMostAQuarterInLogScale)
{
    frames(300, 1.0 / 60);
    float before = xtim.frame_prd;
    // Ten much slower frames: one governor run, ratio clamped to 1.5.
    frames(10, 1.0);
    EXPECT_FLOAT_EQ(xtim.prd_ratio, 1.5f);
    EXPECT_NEAR(xtim.frame_prd, before * std::pow(1.5, 0.25), 1e-6);
}

TEST_F(ClockTest, SimRateAndClockMode)
{
    frames(200, 1.0 / 60);
    float p = xtim.frame_prd;
    xtim.sim_rate = 2.0f;
    frame(1.0 / 60);
    p = xtim.frame_prd;
    EXPECT_FLOAT_EQ(xtim.sim_prd, p * 2);
    EXPECT_FLOAT_EQ(xtim.sim_step, p * 2);
    xtim.sim_rate = 0;
    frame(1.0 / 60);
    EXPECT_FLOAT_EQ(xtim.sim_step, 0);
    EXPECT_FLOAT_EQ(xtim.sim_prd, xtim.frame_prd);

    xtim.sim_rate = 1.0f;
    struct Mode {
        int mode;
        float factor;
    } modes[] = {{2, -5}, {3, -1}, {4, -0.2f}, {5, 0}, {6, 0.2f}, {8, 5}, {7, 1}, {1, 1}};
    for (const Mode& m : modes) {
        mnw.clock_mode = m.mode;
        xtim.sim_rate = 3.0f; // ignored while a mode is set
        frame(1.0 / 60);
        EXPECT_FLOAT_EQ(xtim.sim_step, m.factor * xtim.frame_prd) << m.mode;
        EXPECT_FLOAT_EQ(xtim.sim_prd, xtim.frame_prd) << m.mode;
    }
}

TEST_F(ClockTest, ModalDialogFreezesTheEstimate)
{
    frames(201, 1.0 / 60); // main counter now 201
    float before = xtim.frame_prd;
    mnw.win_now = kWinQuestion;
    frames(60, 1.0); // a minute with the question open
    EXPECT_FLOAT_EQ(xtim.frame_prd, before);
    mnw.win_now = kWinMain;
    frames(9, 1.0 / 60);
    float ratio_before = xtim.prd_ratio;
    frame(1.0 / 60); // the governor runs: ten frames since the close
    EXPECT_NE(xtim.prd_ratio, ratio_before);
    EXPECT_NEAR(xtim.prd_ratio, 1.0, 0.05);
    EXPECT_NEAR(xtim.frame_prd, 1.0 / 60, 0.001);
}

TEST_F(ClockTest, SubWindowHasItsOwnEstimate)
{
    // Counts end off a multiple of ten, so no governor runs on the switch.
    frames(505, 1.0 / 60);
    float main_prd = xtim.frame_prd;
    EXPECT_NEAR(main_prd, 1.0 / 60, 0.0005);
    mnw.win_now = kWinPrefs;
    frames(505, 0.04);
    float sub_prd = xtim.frame_prd;
    EXPECT_NEAR(sub_prd, 0.04, 0.0005);
    mnw.win_now = kWinMain;
    frames(1, 1.0 / 60);
    EXPECT_FLOAT_EQ(xtim.frame_prd, main_prd); // untouched meanwhile
    mnw.win_now = kWinNone;                    // -1 counts as a sub-window
    frames(1, 0.04);
    EXPECT_FLOAT_EQ(xtim.frame_prd, sub_prd);
}

TEST_F(ClockTest, FlagsRiseOnceWhenTheirStepHasPassed)
{
    // index: 10 5 2 1 0.5 0.2 0.1 0.05 0.025
    struct Step {
        double at;
        int want[kTimeFlagCount];
    } steps[] = {
        {0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0.025, {0, 0, 0, 0, 0, 0, 0, 0, 0}}, // strictly more than the step
        {0.5, {0, 0, 0, 0, 0, 1, 1, 1, 1}},   // 0.5 not yet
        {0.5, {0, 0, 0, 0, 0, 0, 0, 0, 0}},   // one frame only
        {9.99, {0, 1, 1, 1, 1, 1, 1, 1, 1}},
        {10.0, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {10.01, {1, 0, 0, 0, 0, 0, 0, 0, 0}}, // 10 s exceeded
        {10.02, {0, 0, 0, 0, 0, 0, 0, 0, 1}}, // 0.03 s since the 0.025 flag rose
    };
    double now = 0;
    for (const Step& s : steps) {
        frame(s.at - now);
        now = s.at;
        for (int i = 0; i < kTimeFlagCount; ++i) {
            EXPECT_EQ(xtim.real_flags[i], s.want[i])
                << "t=" << s.at << " step " << kTimeFlagSteps[i];
            EXPECT_EQ(xtim.sim_flags[i], 0); // simulated time stands still
        }
    }
}

TEST_F(ClockTest, MouseDoublePressWithinAQuarterSecond)
{
    frame(1.0);
    mnw.mouse_press = 1;
    frame(0.1);
    EXPECT_EQ(mnw.mouse_held, 1);
    EXPECT_FLOAT_EQ(mnw.press_time, xtim.real_secs);
    EXPECT_FLOAT_EQ(mnw.mouse_time, xtim.real_secs);
    mnw.mouse_press = 0;
    mnw.mouse_release = 1;
    frame(0.05);
    EXPECT_EQ(mnw.mouse_click, 1);
    EXPECT_EQ(mnw.mouse_held, 0);
    mnw.mouse_release = 0;
    frame(0.1);
    mnw.mouse_press = 1;
    frame(0.05); // 0.2 s after the previous press
    EXPECT_EQ(mnw.mouse_dbl, 1);
    mnw.mouse_press = 0;
    frame(0.02);
    EXPECT_EQ(mnw.mouse_dbl, 0); // one frame only
}

TEST_F(ClockTest, MousePressAfterAPauseIsNoDoubleClick)
{
    frame(1.0);
    mnw.mouse_press = 1;
    frame(0.1);
    mnw.mouse_press = 0;
    mnw.mouse_release = 1;
    frame(0.3); // released 0.3 s after the press
    EXPECT_EQ(mnw.mouse_click, 0);
    mnw.mouse_release = 0;
    mnw.mouse_press = 1;
    frame(0.1); // 0.4 s after the previous press
    EXPECT_EQ(mnw.mouse_dbl, 0);
}

TEST_F(ClockTest, MouseHeldLongAfterAQuarterSecond)
{
    frame(1.0);
    mnw.mouse_press = 1;
    frame(0.1);
    mnw.mouse_press = 0;
    struct Step {
        double dt;
        int held_long;
    } steps[] = {{0.1, 0}, {0.1, 0}, {0.05, 0}, {0.01, 1}, {0.04, 1}}; // 0.25 exactly: not yet
    for (const Step& s : steps) {
        frame(s.dt);
        EXPECT_EQ(mnw.mouse_held_long, s.held_long) << xtim.real_secs;
    }
    mnw.mouse_release = 1;
    frame(0.01);
    EXPECT_EQ(mnw.mouse_held_long, 0);
    EXPECT_EQ(mnw.mouse_held, 0);
    EXPECT_EQ(mnw.mouse_click, 0);
}

TEST_F(ClockTest, PressAndReleaseInOneFrameLeaveTheButtonUp)
{
    frame(1.0);
    mnw.mouse_press = 1;
    mnw.mouse_release = 1;
    frame(0.1);
    EXPECT_EQ(mnw.mouse_held, 0);
    EXPECT_EQ(mnw.mouse_held_long, 0);
    EXPECT_FLOAT_EQ(mnw.press_time, xtim.real_secs);
}

TEST_F(ClockTest, PointerMovementAboveHalfAUnitIsActivity)
{
    mnw.mouse_x = 100;
    mnw.mouse_y = 100;
    frame(1.0); // the first frame sees the pointer arrive
    EXPECT_FLOAT_EQ(mnw.mouse_time, xtim.real_secs);
    struct Move {
        float dx, dy;
        bool active;
    } moves[] = {{0.5f, 0.5f, false},
                 {0.0f, 0.0f, false},
                 {0.75f, 0.0f, true},
                 {0.0f, -0.75f, true},
                 {-0.5f, 0.0f, false}};
    for (const Move& m : moves) {
        float before = mnw.mouse_time;
        mnw.mouse_x += m.dx;
        mnw.mouse_y += m.dy;
        frame(1.0);
        if (m.active)
            EXPECT_FLOAT_EQ(mnw.mouse_time, xtim.real_secs) << m.dx << "," << m.dy;
        else
            EXPECT_FLOAT_EQ(mnw.mouse_time, before) << m.dx << "," << m.dy;
    }
}

TEST_F(ClockTest, PulsingColours)
{
    frame(0.0);
    frame(0.1);
    float h = 0.7f + 0.3f * std::sin(20.0f * xtim.real_secs);
    struct Row {
        int id;
        float r, g, b;
    } rows[] = {{78, 1, 1, 1},       {79, 1, 0.5f, 0},       {80, 1, 0.3f, 0.3f},
                {81, 0.3f, 0.3f, 1}, {82, 0.2f, 0.8f, 0.2f}, {83, 0.7f, 0.7f, 0.2f}};
    for (const Row& r : rows) {
        EXPECT_FLOAT_EQ(colr.rgb[r.id][0], r.r * h) << r.id;
        EXPECT_FLOAT_EQ(colr.rgb[r.id][1], r.g * h) << r.id;
        EXPECT_FLOAT_EQ(colr.rgb[r.id][2], r.b * h) << r.id;
    }
    EXPECT_FLOAT_EQ(colr.pulse, h);
    EXPECT_GE(h, 0.4f);
    EXPECT_LE(h, 1.0f);
}

class ProfileTest : public ClockTest
{
  protected:
    void SetUp() override
    {
        ClockTest::SetUp();
        ASSERT_TRUE(open_log_in(dir_));
    }
    void TearDown() override
    {
        close_log();
        ClockTest::TearDown();
    }
    std::string log() { return read_log_in(dir_); }
    TempDir dir_;
};

TEST_F(ProfileTest, SwitchedOffWritesNothing)
{
    xtim.profile_chart("init", 0);
    xtim.profile_chart("finish", 1);
    EXPECT_EQ(log(), "");
}

TEST_F(ProfileTest, OneLinePerFrame)
{
    mnw.profile_on = 1;
    xtim.profile_chart("start", 0); // the first mark measures from nothing
    xer.flush();
    std::size_t skip = log().size();

    clock_.advance_us(1230);
    xtim.profile_chart("init", 0);
    clock_.advance_us(50);
    xtim.profile_chart("event", 0);
    clock_.advance_us(123456);
    xtim.profile_chart("finish", 1);
    EXPECT_EQ(log().substr(skip),
              "init=   123 | event=     5 | finish= 12346 |    total: 0.000 sec for topwi=0\n");

    mnw.win_now = kWinPrefs;
    clock_.advance(2.0);
    xtim.profile_chart("finish", 1);
    std::string all = log();
    EXPECT_NE(all.find("finish=200000 |    total: 2.000 sec for topwi=2\n"), std::string::npos)
        << all;
}

} // namespace

namespace
{

TEST(Calendar, MonthAndDayOfTheDayOfTheYear)
{
    const struct {
        int day_of_year, month, day;
    } cases[] = {
        {0, 0, 1},
        {30, 0, 31},
        {31, 1, 1},
        {58, 1, 28},
        {59, 2, 1},
        {90, 3, 1},
        {333, 10, 30},
        {334, 11, 1},
        {364, 11, 31},
        {365, 11, 32},
        {400, 11, 67}, // past the year's end: still December
        {100000, 11, 100000 - 334 + 1},
    };
    xtim_class t;
    for (const auto& c : cases) {
        t.day_of_year = c.day_of_year;
        int month = -1, day = -1;
        t.current_month_day(&month, &day);
        EXPECT_EQ(month, c.month) << c.day_of_year;
        EXPECT_EQ(day, c.day) << c.day_of_year;
    }
    int month = -1, day = -1;
    xtim_class().current_month_day(&month, &day); // day 90 after construction
    EXPECT_EQ(month, 3);
    EXPECT_EQ(day, 1);
    int sum = 0;
    for (int d : days_in_month)
        sum += d;
    EXPECT_EQ(sum, 365);
}

TEST(Calendar, HoursMinutesSeconds)
{
    const struct {
        float t, h, m, s;
    } cases[] = {
        {0.0f, 0, 0, 0},
        {59.9f, 0, 0, 59},
        {60.0f, 0, 1, 0},
        {3599.99f, 0, 59, 59},
        {3600.0f, 1, 0, 0},
        {3725.5f, 1, 2, 5},
        {86399.0f, 23, 59, 59},
        {360000.0f, 100, 0, 0},
        {-3725.5f, -1, -2, -5}, // truncated toward zero
        // Beyond 2^31 seconds: a defined answer, though the single-precision
        // products (60 and 3600 are floats) blur the minutes and seconds.
        {1e10f, 2777777, 42, 552},
    };
    xtim_class t;
    for (const auto& c : cases) {
        float h = -9, m = -9, s = -9;
        t.xtim_hrs_min_sec(c.t, &h, &m, &s);
        EXPECT_EQ(h, c.h) << c.t;
        EXPECT_EQ(m, c.m) << c.t;
        EXPECT_EQ(s, c.s) << c.t;
    }
}

TEST(MovieStub, NoRecorderOnThisPlatform)
{
    qtim_class q;
    q.stop_thread();
    q.mov_toggle(1);
    q.draw_record_lgt();
    EXPECT_EQ(q.mov_add_frame(), 0);
    EXPECT_EQ(q.mov_per_frame(), 0);
    EXPECT_EQ(qtim.mov_add_frame(), 0);
}

} // namespace

// The stopwatch moves the fake clock past 2^32 us (72 minutes): each test
// runs alone in a child, so no other test sees that clock.
TEST(Stopwatch, FirstCallOnAZeroStampGivesTheLow32BitsOfTheCount)
{
    XVFB_TEST_BODY(nullptr);
    FakeClock clock;
    // Ascending, and past where the fake clock starts (a whole second).
    const std::uint64_t cases[] = {1500000, 0x80000000ull - 1, 0x100000000ull + 1234,
                                   0x300000000ull + 0x7FFFFFFFull, 0x4FFFFFFFFull}; // reads as -1
    for (std::uint64_t at : cases) {
        clock.advance_us(at - xtim_class::microsecs());
        std::uint64_t stamp = 0;
        EXPECT_EQ(xtim_class::del_time(&stamp), static_cast<std::int32_t>(at & 0xFFFFFFFFu)) << at;
        EXPECT_EQ(stamp, at); // the stamp keeps all 64 bits of now
    }
}

TEST(Stopwatch, SpansAcrossTheLow32BitWrap)
{
    XVFB_TEST_BODY(nullptr);
    FakeClock clock;
    const struct {
        std::uint64_t start, span;
    } cases[] = {
        {2000000, 1500},                     // two calls 1500 us apart
        {0xFFFFFFFFull - 500, 1500},         // the low 32 bits wrap between them
        {0x100000000ull * 5 - 1, 1},         // on the wrap itself
        {0x100000000ull * 6, 0x7FFFFFFFull}, // the longest span an int holds
    };
    for (const auto& c : cases) {
        clock.advance_us(c.start - xtim_class::microsecs());
        std::uint64_t stamp = 0;
        xtim_class::del_time(&stamp);
        clock.advance_us(c.span);
        EXPECT_EQ(xtim_class::del_time(&stamp), static_cast<int>(c.span)) << c.start;
        EXPECT_EQ(xtim_class::del_time(&stamp), 0) << c.start; // the stamp became now
    }
}

TEST(Stopwatch, NullStampIsOneSharedStamp)
{
    XVFB_TEST_BODY(nullptr);
    FakeClock clock;
    xtim_class::del_time(nullptr);
    clock.advance_us(700);
    std::uint64_t mine = xtim_class::microsecs();
    clock.advance_us(300);
    EXPECT_EQ(xtim_class::del_time(&mine), 300); // another stamp leaves the shared one alone
    EXPECT_EQ(xtim_class::del_time(nullptr), 1000);
    clock.advance_us(42);
    EXPECT_EQ(xtim.del_time(nullptr), 42); // through the instance: the same stamp
}
