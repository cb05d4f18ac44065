#include "support/fake_clock.h"

#include <atomic>
#include <cmath>

#include "UTL/UTL_time.h"

namespace
{

std::atomic<std::uint64_t> fake_now{0};

std::uint64_t read_fake()
{
    return fake_now.load();
}

} // namespace

FakeClock::FakeClock()
{
    // Fix the origin of microsecs() on the real clock first, so the fake time,
    // which starts at the real time and only grows, never reads before it.
    (void)xtim_class::microsecs();
    fake_now = UTL_raw_clock_now();
    UTL_set_raw_clock_hook(read_fake);
    // Start on a whole second of microsecs(), so times the test reaches by
    // adding simple fractions are exact as floats.
    std::uint64_t since_origin = xtim_class::microsecs();
    fake_now += 1000000u - since_origin % 1000000u;
    xtim_reset_run_state();
}

FakeClock::~FakeClock()
{
    UTL_set_raw_clock_hook(nullptr);
}

void FakeClock::advance(double seconds)
{
    fake_now += std::uint64_t(std::llround(seconds * 1000000.0));
}

void FakeClock::advance_us(std::uint64_t us)
{
    fake_now += us;
}

std::uint64_t FakeClock::raw_us() const
{
    return fake_now.load();
}
