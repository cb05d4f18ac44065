// The clock: real time since the first frame, the frame-period governor, the
// one-frame flags, the mouse timing of the frame and the pulsing colours.
#include "UTL/UTL_time.h"

#include <sys/time.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <iomanip>

#include "GenH/hl_types.h"

const float kTimeFlagSteps[kTimeFlagCount] = {10.0f, 5.0f, 2.0f,  1.0f,  0.5f,
                                              0.2f,  0.1f, 0.05f, 0.025f};

const int days_in_month[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

namespace
{

constexpr int kMonths = 12;

// Window ids from which on no estimator runs (alert, question, picker...).
constexpr int kFirstFrozenWindow = 995;
constexpr int kLastFrozenWindow = 999;

// The governor looks at the mean period of this many frames.
constexpr int kGovernorFrames = 10;
constexpr float kMinPeriod = 0.0010001f;   // about 1000 frames a second
constexpr float kMaxPeriod = 1.0f / 19.0f; // never assume fewer than 19
constexpr float kStartPeriod = 0.02f;

// A press and its release, or two presses, closer than this are a click.
constexpr float kClickSecs = 0.25f;
// Pointer movement below this (window units) is jitter, not activity.
constexpr float kMoveSlop = 0.5f;
constexpr float kNoPointer = 999.0f;

std::uint64_t real_raw_clock()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return std::uint64_t(tv.tv_sec) * 1000000u + std::uint64_t(tv.tv_usec);
}

std::atomic<UTL_raw_clock_fn> raw_clock{nullptr};

struct estimator {
    int count = 0;
    float period = kStartPeriod;
    float ref_time = 0;
};

// What xtim_update keeps for the whole run (one set, not per object).
struct run_state {
    bool started = false;
    float start_time = 0;
    estimator main_est, sub_est;
    float sim_rise[kTimeFlagCount] = {};
    float real_rise[kTimeFlagCount] = {};
    float prev_mouse_x = kNoPointer, prev_mouse_y = kNoPointer;
    std::uint64_t prev_mark = 0;
    bool have_total = false;
    float prev_total = 0;
};
run_state rs;

// One governor run: move P a quarter of the way (in log scale) towards the
// measured mean period of the estimator's last ten frames.
void run_governor(xtim_class& t, estimator& e)
{
    float ratio = (t.real_secs - e.ref_time) * 0.1f / e.period;
    if (ratio < 0.5f) ratio = 0.5f;
    if (ratio > 1.5f) ratio = 1.5f;
    t.prd_ratio = ratio;
    e.period = e.period * std::pow(ratio, 0.25f);
    if (e.period < kMinPeriod) e.period = kMinPeriod;
    if (e.period > kMaxPeriod) e.period = kMaxPeriod;
    e.ref_time = t.real_secs;
}

void set_flags(float now, float* last_rise, int* flags)
{
    for (int i = 0; i < kTimeFlagCount; ++i) {
        flags[i] = 0;
        if (std::fabs(now - last_rise[i]) > kTimeFlagSteps[i]) {
            flags[i] = 1;
            last_rise[i] = now;
        }
    }
}

xtim_hooks hooks{};

} // namespace

void xtim_set_hooks(const xtim_hooks& h)
{
    hooks = h;
}

std::uint64_t UTL_raw_clock_now()
{
    UTL_raw_clock_fn fn = raw_clock.load(std::memory_order_acquire);
    return fn ? fn() : real_raw_clock();
}

UTL_raw_clock_fn UTL_set_raw_clock_hook(UTL_raw_clock_fn fn)
{
    return raw_clock.exchange(fn, std::memory_order_acq_rel);
}

void xtim_reset_run_state()
{
    rs = run_state();
}

xtim_class::xtim_class()
{
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    first_frame = 1;
    unused_f1 = 1.0f;
    sim_rate = 1.0f;
    frame_prd = kStartPeriod;
    sim_prd = kStartPeriod;
    prd_ratio = 1.0f;
    unused_f4 = unused_f5 = 43200.0f;
    unused_f7 = 1.0f / 19.0f;
    day_of_year = 90;
}

void xtim_class::xtim_update()
{
    // 1. Time.
    double now = double(microsecs()) * 0.000001;
    if (!rs.started) {
        rs.started = true;
        rs.start_time = float(now);
    }
    real_secs = float(now - double(rs.start_time));

    // 2-4. Period estimate, kept apart for the main window and sub-windows.
    int win = mnw.win_now;
    if (win == kWinMain) {
        estimator& e = rs.main_est;
        if (e.count++ % kGovernorFrames == 0) run_governor(*this, e);
        float p = e.period;
        frame_prd = sim_prd = sim_step = p;
        if (mnw.clock_mode != 0) {
            switch (mnw.clock_mode) {
            case 2:
                sim_step = -5.0f * p;
                break;
            case 3:
                sim_step = -p;
                break;
            case 4:
                sim_step = -0.2f * p;
                break;
            case 5:
                sim_step = 0;
                break;
            case 6:
                sim_step = 0.2f * p;
                break;
            case 8:
                sim_step = 5.0f * p;
                break;
            default:
                break;
            }
        } else if (sim_rate == 0) {
            sim_step = 0;
        } else {
            sim_prd = sim_step = p * sim_rate;
        }
        rs.sub_est.ref_time = real_secs;
    } else if (win >= kFirstFrozenWindow && win <= kLastFrozenWindow) {
        // A modal dialog may stay open for minutes: measure none of it.
        rs.main_est.ref_time = real_secs;
        rs.sub_est.ref_time = real_secs;
    } else {
        rs.main_est.ref_time = real_secs;
        estimator& e = rs.sub_est;
        if (e.count++ % kGovernorFrames == 0) run_governor(*this, e);
        frame_prd = sim_prd = sim_step = e.period;
    }

    // 5. One-frame flags.
    set_flags(sim_secs, rs.sim_rise, sim_flags);
    set_flags(real_secs, rs.real_rise, real_flags);

    // 6. Mouse timing; the first three use press_time from before this frame.
    float t = real_secs;
    mnw.mouse_held_long = (mnw.mouse_held && t > mnw.press_time + kClickSecs) ? 1 : 0;
    mnw.mouse_dbl = (mnw.mouse_press && t < mnw.press_time + kClickSecs) ? 1 : 0;
    mnw.mouse_click = (mnw.mouse_release && t < mnw.press_time + kClickSecs) ? 1 : 0;
    if (mnw.mouse_press) {
        mnw.mouse_held = 1;
        mnw.mouse_time = t;
        mnw.press_time = t;
        if (hooks.press) hooks.press(); // a press hands the keyboard focus back
    }
    if (mnw.mouse_release) {
        mnw.mouse_held = 0;
        mnw.mouse_held_long = 0;
    }
    if (std::fabs(mnw.mouse_x - rs.prev_mouse_x) > kMoveSlop ||
        std::fabs(mnw.mouse_y - rs.prev_mouse_y) > kMoveSlop)
        mnw.mouse_time = t;
    rs.prev_mouse_x = mnw.mouse_x;
    rs.prev_mouse_y = mnw.mouse_y;

    // 7. Pulsing colours: 0.4 .. 1.0, about 3.18 times a second.
    float h = 0.7f + 0.3f * std::sin(20.0f * real_secs);
    if (hooks.pulse) hooks.pulse(h);
}

void xtim_class::profile_chart(std::string label, int last_mark)
{
    if (mnw.profile_on == 0) return;
    std::uint64_t now = microsecs();
    int elapsed = int(now - rs.prev_mark);
    rs.prev_mark = now;
    xer << std::fixed << std::setw(1) << std::setprecision(0) << label << "=" << std::setw(6)
        << std::setprecision(0) << double(elapsed) * 0.1 << " | ";
    if (last_mark) {
        float now_secs = float(double(now) * 0.000001);
        float since = rs.have_total ? now_secs - rs.prev_total : 0.0f;
        xer << "   total: " << std::setw(5) << std::setprecision(3) << since
            << " sec for topwi=" << mnw.win_now << "\n";
        rs.have_total = true;
        rs.prev_total = now_secs;
    }
}

void xtim_class::current_month_day(int* month, int* day)
{
    int m = 0, days_before = 0;
    // The last month takes whatever lies beyond it: the table has no more.
    while (m < kMonths - 1 && day_of_year >= days_before + days_in_month[m])
        days_before += days_in_month[m++];
    *month = m;
    *day = day_of_year - days_before + 1;
}

int xtim_class::del_time(std::uint64_t* stamp)
{
    static std::uint64_t old = 0;
    const std::uint64_t now = microsecs();
    if (!stamp) stamp = &old;
    const std::uint32_t span = static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(*stamp);
    *stamp = now;
    return static_cast<std::int32_t>(span);
}

void xtim_class::xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs)
{
    // Truncation in double: the same as a cast to int, but no overflow for
    // times beyond 2^31 seconds.
    const double t = seconds;
    const double h = std::trunc(t * (1.0 / 3600.0));
    const double m = std::trunc(t * (1.0 / 60.0)) - std::trunc(float(h) * 60.0f);
    *hours = float(h);
    *minutes = float(m);
    *secs = float(std::trunc(t) - std::trunc(float(h) * 3600.0f) - std::trunc(float(m) * 60.0f));
}
