// The clock and frame timing. One instance, `xtim` (hl_types), read by
// everything that measures time: time-outs, rates, clicks, tooltips, blinking.
//
// Also the calendar. Each frame the clock sets the pulsing colours 78 to 83,
// and a press drops the keyboard focus (BTN_unfocus_any). Tests replace the raw
// clock (UTL_set_raw_clock_hook, tests/support/fake_clock.h) to test the 30 s, 1 s
// and 0.25 s rules without waiting.
#pragma once

#include <cstdint>
#include <string>

// Steps of the one-frame flags, in seconds, in the order of sim_flags/real_flags.
constexpr int kTimeFlagCount = 9;
extern const float kTimeFlagSteps[kTimeFlagCount];

// Days of the months of a year without 29 February.
extern const int days_in_month[12];

// The raw clock behind microsecs(): microseconds of the time of day.
std::uint64_t UTL_raw_clock_now();
// Test hook: the raw clock reads fn, so tests drive time without waiting.
// nullptr restores the real clock; returns the previous hook.
using UTL_raw_clock_fn = std::uint64_t (*)();
UTL_raw_clock_fn UTL_set_raw_clock_hook(UTL_raw_clock_fn fn);

class xtim_class
{
  public:
    xtim_class();

    // Microseconds since the first call of this function in the process.
    static inline std::uint64_t microsecs()
    {
        static const std::uint64_t origin = UTL_raw_clock_now();
        return UTL_raw_clock_now() - origin;
    }

    // Stopwatch: microseconds since *stamp, then *stamp becomes now. The
    // difference is taken on the low 32 bits, so it is right across their
    // wrap for spans under 2^31 us. A null stamp is one shared by all callers.
    static int del_time(std::uint64_t* stamp);

    // Once per frame pass: period governor, one-frame flags, mouse timing,
    // pulsing colours.
    void xtim_update();

    // One profiler mark; last_mark 1 ends the frame's log line.
    void profile_chart(std::string label, int last_mark);

    // Month (0 January .. 11 December) and day of the month (from 1) of
    // day_of_year. Days past the year's end count on in December.
    void current_month_day(int* month, int* day);
    // Whole hours, minutes and seconds of a number of seconds (truncated).
    void xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs);

    int first_frame; // 1 until the frame loop clears it
    int unused_i1, unused_i2, unused_i3;
    float unused_f1;
    float sim_rate;  // simulated against real time
    float frame_prd; // estimated frame period, seconds
    float sim_prd;   // simulated seconds per frame
    float sim_step;  // signed simulated step per frame
    float prd_ratio; // last measured/estimated period ratio, clamped
    int frame_count; // frames run; the frame loop counts it
    float real_secs; // real seconds since the first xtim_update
    float sim_secs;  // simulated seconds; nothing advances it here
    float unused_f2, unused_f3;
    float unused_f4, unused_f5;
    float unused_f6;
    float unused_f7;
    int unused_i4, unused_i5;
    int day_of_year;
    int unused_i6;
    int sim_flags[kTimeFlagCount];  // 1 in the frame a step of sim time passed
    int real_flags[kTimeFlagCount]; // the same for real time
};

// What the clock reports to the layers above it, registered by the shell at
// start-up (VOVARU_register_shell): a press this frame, on which the widgets
// drop the keyboard focus, and the pulse h (0.4 .. 1.0) the colour table
// paints its pulsing colours with. Null: nobody is told.
struct xtim_hooks {
    void (*press)();
    void (*pulse)(float h);
};
void xtim_set_hooks(const xtim_hooks& hooks);

// Forgets what xtim_update and profile_chart remember between calls (start
// time, estimators, last rises, previous pointer, previous mark), as at
// program start. For tests.
void xtim_reset_run_state();
